#pragma once
// Inner Bevel: a band along the inside of the outline shaded as a slope rising
// into the object, lit from one direction, optionally smoothed along the
// outline. Size kept.
#include "filters/BevelShading.h"
#include "platform/Bitmap.h"

#include <cstdint>
#include <vector>

struct EffectParams;

struct InnerBevelParams {
    float width = 8;     // depth of the band in pixels, used unrounded
    float softness = 8;  // half-length in pixels of the smoothing along the outline
    float strength = 1;  // used clamped to [0, 1]
    float angle = 135;   // light direction in degrees
    uint8_t profile = kBevelFlat;
    std::vector<CurvePoint> points = DefaultBevelCurve();  // used when profile is Custom
    bool operator==(const InnerBevelParams&) const = default;
};

// Writes the defaults above and selects the record.
void InitInnerBevelParams(EffectParams& p);
// Rescale on object resize; nothing unless the record is its own.
// Width becomes max(f x width, 0); the rest stays.
void ScaleInnerBevelParams(EffectParams& p, float f);
// The filter itself; ApplyInnerBevel forwards to it.
BitmapPtr RenderInnerBevel(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY);
// Same size, offset (0, 0), alpha and transparent pixels kept; a copy when
// the width is below 1 or the strength is 0. Null for another record or an
// empty source.
BitmapPtr ApplyInnerBevel(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY);
