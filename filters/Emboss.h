#pragma once
// Emboss: a ring of translucent light and shadow around the object, as if the
// ground sloped away from it; the object stays unchanged on top and the image
// grows by width plus softness.
#include "filters/BevelShading.h"
#include "platform/Bitmap.h"

#include <cstdint>
#include <vector>

struct EffectParams;

struct EmbossParams {
    float width = 8;     // reach of the ring in pixels
    float softness = 8;  // blur radius of the shading in pixels
    float strength = 1;  // used clamped to [0, 1]
    float angle = 135;   // light direction in degrees
    uint8_t profile = kBevelFlat;
    std::vector<CurvePoint> points = DefaultBevelCurve();  // used when profile is Custom
    bool operator==(const EmbossParams&) const = default;
};

// Writes the defaults above and selects the record.
void InitEmbossParams(EffectParams& p);
// Rescale on object resize; nothing unless the record is its own.
// Width and softness become max(f x value, 0); the rest stays.
void ScaleEmbossParams(EffectParams& p, float f);
// The output grows by pad = round(width) + round(softness) on every side,
// offset (-pad, -pad); a same-size copy when the width rounds below 1 or the
// strength is 0. Null for another record, an empty source or an output beyond
// the size caps.
BitmapPtr ApplyEmboss(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY);
