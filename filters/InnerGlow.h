#pragma once
// Inner Glow: a band of colour of the given width inside the silhouette, along
// its edges and the image border, blended into the object's pixels; size kept.
#include "platform/Bitmap.h"

#include <cstdint>

struct EffectParams;

struct InnerGlowParams {
    float width = 4;     // pixels; negative counts as 0
    float softness = 0;  // blur radius in pixels; negative counts as 0
    float opacity = 0.75f;         // used clamped to [0, 1]
    uint32_t colour = 0xFFF5C83C;  // alpha byte not used
    bool operator==(const InnerGlowParams&) const = default;
};

// Writes the defaults above and selects the record.
void InitInnerGlowParams(EffectParams& p);
// Rescale on object resize; nothing unless the record is its own.
// Width becomes max(f x width, 0); the rest stays.
void ScaleInnerGlowParams(EffectParams& p, float f);
// Same size, offset (0, 0), alpha kept; an exact copy when the width is below
// 1 or the opacity is 0. Null for another record or an empty source.
BitmapPtr ApplyInnerGlow(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY);
