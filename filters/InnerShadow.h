#pragma once
// Inner Shadow: the surroundings cast a shadow into the silhouette along the
// edges facing away from the direction; size kept. Sizes in pixels.
#include "platform/Bitmap.h"

#include <cstdint>

struct EffectParams;

struct InnerShadowParams {
    float distance = 4;  // pixels; negative counts as 0
    float angle = 315;   // degrees, direction (cos a, -sin a) with y down
    float softness = 4;  // blur radius in pixels; negative counts as 0
    float opacity = 0.5f;          // used clamped to [0, 1]
    uint32_t colour = 0xFF000000;  // alpha byte not used
    bool operator==(const InnerShadowParams&) const = default;
};

// Writes the defaults above and selects the record.
void InitInnerShadowParams(EffectParams& p);
// Rescale on object resize; nothing unless the record is its own.
// Distance becomes max(f x distance, 0); the rest stays.
void ScaleInnerShadowParams(EffectParams& p, float f);
// Same size, offset (0, 0), alpha kept; an exact copy when there is nothing
// to draw. Null for another record or an empty source.
BitmapPtr ApplyInnerShadow(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY);
