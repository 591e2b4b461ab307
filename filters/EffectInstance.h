#pragma once
// One filter of an object's stack: its type, whether it is on, and its
// parameters. EffectParams holds the parameter record of exactly one filter
// type; copying an instance copies the record deeply (curve point lists too).
// Each record lives in its filter's own header beside its defaults, scale rule
// and apply function.
#include "filters/Blur.h"
#include "filters/BrightnessContrast.h"
#include "filters/ColorFill.h"
#include "filters/DropShadow.h"
#include "filters/Emboss.h"
#include "filters/GaussianBevel.h"
#include "filters/GaussianBlur.h"
#include "filters/Glow.h"
#include "filters/HueSaturation.h"
#include "filters/InnerBevel.h"
#include "filters/InnerGlow.h"
#include "filters/InnerShadow.h"
#include "filters/Invert.h"
#include "filters/KaleidoscopeBlur.h"
#include "filters/Levels.h"
#include "filters/MotionBlur.h"
#include "filters/NewtonianShadow.h"
#include "filters/OuterBevel.h"

#include <cstdint>
#include <variant>
#include <vector>

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

// The alternatives in their fixed order: the index of each is the record's
// alternative number, which is not the filter's type code.
using EffectParamsVariant =
    std::variant<EmptyEffectParams,         // 0  Invert
                 BlurParams,                // 1  Blur
                 DropShadowParams,          // 2  Drop Shadow
                 GaussianBlurParams,        // 3  Gaussian Blur
                 GaussianBevelParams,       // 4  Gaussian Bevel
                 InnerBevelParams,          // 5  Inner Bevel
                 GlowParams,                // 6  Glow
                 InnerGlowParams,           // 7  Inner Glow
                 InnerShadowParams,         // 8  Inner Shadow
                 OuterBevelParams,          // 9  Outer Bevel
                 KaleidoscopeBlurParams,    // 10 Kaleidoscope Blur
                 EmbossParams,              // 11 Emboss
                 BrightnessContrastParams,  // 12 Brightness/Contrast
                 HueSaturationParams,       // 13 Hue/Saturation
                 ColorFillParams,           // 14 Color Fill
                 LevelsParams,              // 15 Levels
                 NewtonianShadowParams,     // 16 Newtonian Shadow
                 MotionBlurParams>;         // 17 Motion Blur

struct EffectParams {
    EffectParamsVariant value;

    int Alternative() const { return static_cast<int>(value.index()); }
    // The record when it is of type T, else null. Every reader of a record
    // goes through these so that a mismatched record is simply ignored.
    template <class T>
    T* Get() { return std::get_if<T>(&value); }
    template <class T>
    const T* Get() const { return std::get_if<T>(&value); }
    template <class T>
    void Set(T record) { value = std::move(record); }

    bool operator==(const EffectParams&) const = default;
};

struct EffectInstance {
    uint8_t type = kEffectInvert;  // any byte; unknown types stay in the stack, inert
    bool enabled = true;
    EffectParams params;

    bool operator==(const EffectInstance&) const = default;
};
