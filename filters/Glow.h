#pragma once
// Glow: a band of solid colour of the given width around the silhouette,
// optionally softened, under the object; the image grows by the band.
#include "platform/Bitmap.h"

#include <cstdint>

struct EffectParams;

struct GlowParams {
    float width = 4;     // pixels; negative counts as 0
    float softness = 0;  // blur radius in pixels; negative counts as 0
    float opacity = 0.75f;         // used clamped to [0, 1]
    uint32_t colour = 0xFFEB2020;  // alpha byte not used
    bool operator==(const GlowParams&) const = default;
};

// Writes the defaults above and selects the record.
void InitGlowParams(EffectParams& p);
// Rescale on object resize; nothing unless the record is its own.
// Width becomes max(f x width, 0); the rest stays.
void ScaleGlowParams(EffectParams& p, float f);
// The output grows by pad = round(softness) + ceil(width) on every side,
// offset (-pad, -pad); an exact copy when pad < 1 or the opacity is 0. Null
// for another record, an empty source or an output beyond the size caps.
BitmapPtr ApplyGlow(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY);
