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
