#pragma once
// Levels: each colour channel through its own levels curve, then through the
// composite RGB curve; alpha and size kept.
#include "platform/Bitmap.h"

#include <cstdint>

struct EffectParams;

// 0 RGB, 1 Red, 2 Green, 3 Blue.
enum LevelsChannelIndex : uint8_t { kLevelsRgb = 0, kLevelsRed = 1, kLevelsGreen = 2, kLevelsBlue = 3 };

// One curve: [inputLow, inputHigh] stretched to full scale, bent by gamma
// (above 1 brightens), squeezed into [outputLow, outputHigh] (which may be
// reversed, inverting).
struct LevelsChannel {
    int32_t inputLow = 0;
    int32_t inputHigh = 255;
    float gamma = 1.0f;
    int32_t outputLow = 0;
    int32_t outputHigh = 255;
    bool operator==(const LevelsChannel&) const = default;
};

struct LevelsParams {
    uint8_t channel = kLevelsRgb;  // the curve the view shows; the filter does not read it
    LevelsChannel rgb, red, green, blue;
    bool operator==(const LevelsParams&) const = default;
};

// Writes the defaults above and selects the record.
void InitLevelsParams(EffectParams& p);
