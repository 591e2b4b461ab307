#pragma once
// Brightness/Contrast: every colour byte through one 256-entry table that
// shifts and steepens around mid-grey; alpha and size kept.
#include "platform/Bitmap.h"

#include <cstdint>

struct EffectParams;

struct BrightnessContrastParams {
    float brightness = 0;  // added lightness, fraction of full scale; used clamped to [-1, 1]
    float contrast = 0;    // slope minus one around 127.5; used clamped to [-1, 1]
    bool operator==(const BrightnessContrastParams&) const = default;
};

// Writes the defaults above and selects the record.
void InitBrightnessContrastParams(EffectParams& p);
