#pragma once
// Drop Shadow: a solid-coloured, disk-blurred copy of the silhouette, moved
// along a direction, under the object; the image grows to hold it. Sizes are
// fractions of the larger image side, so there is no scale rule.
#include "platform/Bitmap.h"

#include <cstdint>

struct EffectParams;

struct DropShadowParams {
    float distance = 0.04f;  // fraction of max(width, height); 0 or less: no offset
    float angle = 315;       // degrees, direction (cos a, -sin a) with y down
    float softness = 0.03f;  // blur radius, fraction of max(width, height)
    float opacity = 0.6f;    // used clamped to [0, 1]
    uint32_t colour = 0xFF000000;  // 0xAARRGGBB; the alpha byte is not used
    bool operator==(const DropShadowParams&) const = default;
};

// Writes the defaults above and selects the record.
void InitDropShadowParams(EffectParams& p);
// The output grows by the shadow's offset and blur radius where they reach
// past the object; offset (-left, -top). Null for another record, an empty
// source or an output beyond the size caps.
BitmapPtr ApplyDropShadow(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY);
