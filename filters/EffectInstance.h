#pragma once
// One filter of an object's stack: its type, whether it is on, and its
// parameters. EffectParams holds the parameter record of exactly one filter
// type; copying an instance copies the record deeply (curve point lists too).
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

// Cross-section of a bevel: 0 Flat, 1 Smooth, 2 Ball, 3 Sloped, 4 Custom (the
// record's curve). Any other value behaves as Flat.
enum BevelProfile : uint8_t {
    kBevelFlat = 0,
    kBevelSmooth = 1,
    kBevelBall = 2,
    kBevelSloped = 3,
    kBevelCustom = 4,
};
constexpr int kBevelProfileCount = 5;

// A point of a custom bevel curve, both coordinates meant to lie in 0..1.
struct CurvePoint {
    float x = 0, y = 0;
    bool operator==(const CurvePoint&) const = default;
};

inline std::vector<CurvePoint> DefaultBevelCurve() { return {{0, 0}, {1, 1}}; }

// Invert has no parameters; an instance whose record was not stored also holds this.
struct EmptyEffectParams {
    bool operator==(const EmptyEffectParams&) const = default;
};

// Sizes of Blur, Gaussian Blur and Drop Shadow are fractions of the larger image side.
struct BlurParams {
    float radius = 0.05f;
    bool operator==(const BlurParams&) const = default;
};

struct GaussianBlurParams {
    float radius = 0.05f;
    bool operator==(const GaussianBlurParams&) const = default;
};

struct DropShadowParams {
    float distance = 0.04f;
    float angle = 315;  // degrees, direction (cos a, -sin a) with y down
    float softness = 0.03f;
    float opacity = 0.6f;
    uint32_t colour = 0xFF000000;
    bool operator==(const DropShadowParams&) const = default;
};

// Sizes in pixels from here on.
struct InnerShadowParams {
    float distance = 4;
    float angle = 315;
    float softness = 4;
    float opacity = 0.5f;
    uint32_t colour = 0xFF000000;
    bool operator==(const InnerShadowParams&) const = default;
};

struct GlowParams {
    float width = 4;
    float softness = 0;
    float opacity = 0.75f;
    uint32_t colour = 0xFFEB2020;
    bool operator==(const GlowParams&) const = default;
};

struct InnerGlowParams {
    float width = 4;
    float softness = 0;
    float opacity = 0.75f;
    uint32_t colour = 0xFFF5C83C;
    bool operator==(const InnerGlowParams&) const = default;
};

struct GaussianBevelParams {
    float width = 8;
    float softness = 2;
    float strength = 1;
    float angle = 135;
    bool operator==(const GaussianBevelParams&) const = default;
};

struct InnerBevelParams {
    float width = 8;
    float softness = 8;
    float strength = 1;
    float angle = 135;
    uint8_t profile = kBevelFlat;
    std::vector<CurvePoint> points = DefaultBevelCurve();
    bool operator==(const InnerBevelParams&) const = default;
};

struct OuterBevelParams {
    float width = 8;
    float softness = 8;
    float strength = 1;
    float angle = 135;
    uint8_t profile = kBevelFlat;
    std::vector<CurvePoint> points = DefaultBevelCurve();
    bool useObjectColor = true;
    uint32_t color = 0xFFC8C8C8;
    bool operator==(const OuterBevelParams&) const = default;
};

struct EmbossParams {
    float width = 8;
    float softness = 8;
    float strength = 1;
    float angle = 135;
    uint8_t profile = kBevelFlat;
    std::vector<CurvePoint> points = DefaultBevelCurve();
    bool operator==(const EmbossParams&) const = default;
};

struct KaleidoscopeBlurParams {
    float width = 8;
    bool operator==(const KaleidoscopeBlurParams&) const = default;
};

struct BrightnessContrastParams {
    float brightness = 0;
    float contrast = 0;
    bool operator==(const BrightnessContrastParams&) const = default;
};

struct HueSaturationParams {
    float hue = 0;  // degrees
    float saturation = 0;
    float lightness = 0;
    uint8_t colorize = 0;
    bool operator==(const HueSaturationParams&) const = default;
};

struct ColorFillParams {
    uint32_t colour = 0xFFC85050;
    float opacity = 1.0f;
    bool operator==(const ColorFillParams&) const = default;
};

// 0 RGB, 1 Red, 2 Green, 3 Blue.
enum LevelsChannelIndex : uint8_t { kLevelsRgb = 0, kLevelsRed = 1, kLevelsGreen = 2, kLevelsBlue = 3 };

struct LevelsChannel {
    int32_t inputLow = 0;
    int32_t inputHigh = 255;
    float gamma = 1.0f;
    int32_t outputLow = 0;
    int32_t outputHigh = 255;
    bool operator==(const LevelsChannel&) const = default;
};

struct LevelsParams {
    uint8_t channel = kLevelsRgb;  // the curve the view shows
    LevelsChannel rgb, red, green, blue;
    bool operator==(const LevelsParams&) const = default;
};

// 0 Linear, 1 Smooth, 2 Sharp; any other value acts as Linear.
enum NewtonianFalloff : uint8_t { kFalloffLinear = 0, kFalloffSmooth = 1, kFalloffSharp = 2 };

struct NewtonianShadowParams {
    float length = 0.7f;  // fraction of the image height
    float tilt = 65;      // degrees
    float spread = 0.7f;  // multiple of the image width
    float softness = 40;
    float tipOpacity = 0.2f;
    int32_t contact = 8;
    uint8_t falloff = kFalloffLinear;
    uint32_t baseColour = 0xFF000000;
    uint32_t tipColour = 0xFF000000;
    float opacity = 0.7f;
    bool operator==(const NewtonianShadowParams&) const = default;
};

struct MotionBlurParams {
    float angle = 0;
    float length = 30;
    bool operator==(const MotionBlurParams&) const = default;
};

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
