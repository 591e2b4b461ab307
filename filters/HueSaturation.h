#pragma once
// Hue/Saturation: every pixel through HSL, its hue rotated, saturation scaled
// and lightness shifted, or (colorize) hue and saturation replaced; alpha and
// size kept.
#include "platform/Bitmap.h"

#include <cstdint>

struct EffectParams;

struct HueSaturationParams {
    float hue = 0;         // degrees, used clamped to [-180, 180]; with colorize the target hue
    float saturation = 0;  // used clamped to [-1, 1]; with colorize the target saturation
    float lightness = 0;   // used clamped to [-1, 1]
    uint8_t colorize = 0;  // non-zero: replace hue and saturation instead of adjusting them
    bool operator==(const HueSaturationParams&) const = default;
};

// Writes the defaults above and selects the record.
void InitHueSaturationParams(EffectParams& p);
// h, s, l in [0, 1] to red, green, blue in [0, 1], single precision.
void HslToRgb(float h, float s, float l, float& red, float& green, float& blue);
// Same size, offset (0, 0), alpha kept; an exact copy for the neutral record;
// null for another record or an empty source.
BitmapPtr ApplyHueSaturation(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY);
