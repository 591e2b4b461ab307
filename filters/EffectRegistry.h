#pragma once
// The fixed registry of filter types (one row per type, in add-menu order)
// and the application of a filter stack to an object's bitmap.
#include "filters/EffectInstance.h"
#include "platform/Bitmap.h"

#include <cstdint>
#include <span>
#include <vector>

// Groups of the add menu. 3, 4 and 6 hold no type; 4 is also the category of
// the fallback row.
enum EffectCategory : uint8_t {
    kCategoryAdjustColor = 0,
    kCategoryBevelEmboss = 1,
    kCategoryBlur = 2,
    kCategoryNoise = 3,
    kCategoryOther = 4,
    kCategoryShadowGlow = 5,
    kCategorySharpen = 6,
};

// Runs one filter on a straight-alpha bitmap. Returns a new bitmap, or null
// when the filter has no effect; offset is where the output's top-left corner
// lies relative to the input's, in input pixels (negative when it grows).
using EffectApplyFn = BitmapPtr (*)(const Bitmap& source, const EffectParams& params, float& offsetX,
                                    float& offsetY);
// Writes the type's default record.
using EffectInitFn = void (*)(EffectParams& params);
// Multiplies the record's size fields by factor.
using EffectScaleFn = void (*)(EffectParams& params, float factor);

struct EffectTypeInfo {
    uint8_t type;
    uint8_t category;
    const char* name;  // UTF-8 display name
    EffectApplyFn apply;
    EffectInitFn init;
    bool noLivePreview;
    EffectScaleFn scale;
};

// The parameter views are not part of a row: the user-interface library keeps
// its own table of view factories by type (filters/ui/EffectParamsViews.h).

// The 18 rows in add-menu order.
std::span<const EffectTypeInfo> GetEffectRegistry();
// The first row of that type, or the constant "Unknown" row (category 4, no
// functions) when there is none.
const EffectTypeInfo& FindEffectTypeInfo(uint8_t type);
// A new instance: enabled, with the row's default record (the empty record
// when the type has no row).
EffectInstance MakeEffectInstance(uint8_t type);

// Multiplies the size fields of the instance's parameters by factor, for the
// types that have a scale rule; others are left alone.
void ScaleEffectParams(EffectInstance& instance, float factor);

// Runs the enabled instances in order on source (never changed). Returns the
// last filter's output and the summed offset of its top-left corner from the
// source's, or the source itself with (0, 0) when no filter produced output.
BitmapPtr ApplyEffectStack(const BitmapPtr& source, const std::vector<EffectInstance>& stack, float& offsetX,
                           float& offsetY);
// The same with another row lookup in place of FindEffectTypeInfo (tests run
// stacks of stand-in filters through it).
using EffectRowLookup = const EffectTypeInfo& (*)(uint8_t type);
BitmapPtr ApplyEffectStack(const BitmapPtr& source, const std::vector<EffectInstance>& stack, float& offsetX,
                           float& offsetY, EffectRowLookup lookup);

// True when some instance is enabled and its type can be applied.
bool EffectStackHasActiveFilter(const std::vector<EffectInstance>& stack);
