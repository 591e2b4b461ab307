#pragma once
// The fixed registry of filter types and the application of a filter stack.
#include "filters/EffectInstance.h"
#include "platform/Bitmap.h"

#include <vector>

// Multiplies the size fields of the instance's parameters by factor, for the
// types that have a scale rule; others are left alone.
void ScaleEffectParams(EffectInstance& instance, float factor);

// Runs the enabled instances in order on source (never changed). Returns the
// last filter's output and the summed offset of its top-left corner from the
// source's, or the source itself with (0, 0) when no filter produced output.
BitmapPtr ApplyEffectStack(const BitmapPtr& source, const std::vector<EffectInstance>& stack, float& offsetX,
                           float& offsetY);

// True when some instance is enabled and its type can be applied.
bool EffectStackHasActiveFilter(const std::vector<EffectInstance>& stack);
