#pragma once
// Outer Bevel: a solid rim as wide as the bevel around the object, shaded as a
// slope falling away from it and optionally smoothed along the outline; the
// object is drawn on top and the image grows by width plus softness.
#include "filters/BevelShading.h"
#include "platform/Bitmap.h"

#include <cstdint>
#include <vector>

struct EffectParams;

struct OuterBevelParams {
    float width = 8;     // reach of the rim in pixels
    float softness = 8;  // half-length in pixels of the smoothing along the outline
    float strength = 1;  // used clamped to [0, 1]
    float angle = 135;   // light direction in degrees
    uint8_t profile = kBevelFlat;
    std::vector<CurvePoint> points = DefaultBevelCurve();  // used when profile is Custom
    bool useObjectColor = true;    // rim colour from the object's nearest edge, else `color`
    uint32_t color = 0xFFC8C8C8;   // alpha byte not used
    bool operator==(const OuterBevelParams&) const = default;
};

// Writes the defaults above and selects the record.
void InitOuterBevelParams(EffectParams& p);
// Rescale on object resize; nothing unless the record is its own.
// Width becomes max(f x width, 0); the rest stays.
void ScaleOuterBevelParams(EffectParams& p, float f);
// The output grows by pad = round(width) + round(softness) on every side,
// offset (-pad, -pad); a same-size copy when the width rounds below 1 or the
// strength is 0. Null for another record, an empty source or an output beyond
// the size caps.
BitmapPtr ApplyOuterBevel(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY);
