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
// The 256-entry table of one curve: t = (i - lo) / (hi - lo) in [0, 1],
// v = t^(1 / gamma) stretched onto [outputLow, outputHigh], with lo in
// [0, 254], hi in [lo + 1, 255], gamma in [0.01, 9.99] and the outputs in
// [0, 255] (the record itself is not changed).
void BuildLevelsLut(const LevelsChannel& curve, uint8_t table[256]);
// True when the stored curve changes nothing.
bool LevelsCurveIsIdentity(const LevelsChannel& curve);
// Each channel through its own curve, then through the RGB curve; same size,
// offset (0, 0); null for another record or an empty source.
BitmapPtr ApplyLevels(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY);
