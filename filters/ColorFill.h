#pragma once
// Color Fill: every pixel's colour blended towards one solid colour; alpha
// and size kept.
#include "platform/Bitmap.h"

#include <cstdint>

struct EffectParams;

struct ColorFillParams {
    uint32_t colour = 0xFFC85050;  // 0xAARRGGBB; the alpha byte is not used
    float opacity = 1.0f;          // weight of the fill colour; used clamped to [0, 1]
    bool operator==(const ColorFillParams&) const = default;
};

// Writes the defaults above and selects the record.
void InitColorFillParams(EffectParams& p);
// Each colour byte c becomes (c (256 - a) + a fill + 128) >> 8 with
// a = trunc(opacity x 256 + 0.5); same size, offset (0, 0); null for another
// record or an empty source.
BitmapPtr ApplyColorFill(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY);
