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
// The colour table for brightness b and contrast c (both clamped to [-1, 1]):
// T[i] = byte of ((i - 127.5) (c + 1) + 127.5) + 255 b.
void BuildBrightnessContrastTable(float brightness, float contrast, uint8_t table[256]);
// Same-size output, offset (0, 0); null for another record or an empty source.
BitmapPtr ApplyBrightnessContrast(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY);
