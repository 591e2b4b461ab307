#pragma once
// One filter of an object's stack: its type, whether it is on, and its
// parameters. The parameter records of the 18 filter types are completed with
// the filter registry.
#include <cstdint>

enum EffectType : uint8_t {
    kEffectDropShadow = 0,
    kEffectInnerShadow = 1,
    kEffectGlow = 2,
    kEffectInnerGlow = 3,
    kEffectBlur = 4,
    kEffectGaussianBlur = 5,
    kEffectGaussianBevel = 6,
    kEffectInnerBevel = 7,
    kEffectOuterBevel = 8,
    kEffectEmboss = 9,
    kEffectKaleidoscopeBlur = 10,
    kEffectBrightnessContrast = 11,
    kEffectHueSaturation = 12,
    kEffectColorFill = 13,
    kEffectLevels = 14,
    kEffectInvert = 15,
    kEffectNewtonianShadow = 16,
    kEffectMotionBlur = 17,
};
constexpr int kEffectTypeCount = 18;

struct EffectParams {
    int8_t alternative = -1;
};

struct EffectInstance {
    uint8_t type = kEffectInvert;
    bool enabled = true;
    EffectParams params;
};
