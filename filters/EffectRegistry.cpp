#include "filters/EffectRegistry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

void InitDropShadowParams(EffectParams& p) { p.Set(DropShadowParams{}); }
void InitInnerShadowParams(EffectParams& p) { p.Set(InnerShadowParams{}); }
void InitGlowParams(EffectParams& p) { p.Set(GlowParams{}); }
void InitInnerGlowParams(EffectParams& p) { p.Set(InnerGlowParams{}); }
void InitBlurParams(EffectParams& p) { p.Set(BlurParams{}); }
void InitGaussianBlurParams(EffectParams& p) { p.Set(GaussianBlurParams{}); }
void InitGaussianBevelParams(EffectParams& p) { p.Set(GaussianBevelParams{}); }
void InitInnerBevelParams(EffectParams& p) { p.Set(InnerBevelParams{}); }
void InitOuterBevelParams(EffectParams& p) { p.Set(OuterBevelParams{}); }
void InitEmbossParams(EffectParams& p) { p.Set(EmbossParams{}); }
void InitKaleidoscopeBlurParams(EffectParams& p) { p.Set(KaleidoscopeBlurParams{}); }
void InitBrightnessContrastParams(EffectParams& p) { p.Set(BrightnessContrastParams{}); }
void InitHueSaturationParams(EffectParams& p) { p.Set(HueSaturationParams{}); }
void InitColorFillParams(EffectParams& p) { p.Set(ColorFillParams{}); }
void InitLevelsParams(EffectParams& p) { p.Set(LevelsParams{}); }
void InitInvertParams(EffectParams& p) { p.Set(EmptyEffectParams{}); }
void InitNewtonianShadowParams(EffectParams& p) { p.Set(NewtonianShadowParams{}); }
void InitMotionBlurParams(EffectParams& p) { p.Set(MotionBlurParams{}); }

namespace {

// Sizes never turn negative when an object shrinks or is mirrored by a negative factor.
float ScaledSize(float value, float f) { return std::max(f * value, 0.0f); }

template <class T>
void ScaleWidth(EffectParams& p, float f) {
    if (T* r = p.Get<T>()) r->width = ScaledSize(r->width, f);
}

}  // namespace

void ScaleInnerShadowParams(EffectParams& p, float f) {
    if (auto* r = p.Get<InnerShadowParams>()) r->distance = ScaledSize(r->distance, f);
}
void ScaleGlowParams(EffectParams& p, float f) { ScaleWidth<GlowParams>(p, f); }
void ScaleInnerGlowParams(EffectParams& p, float f) { ScaleWidth<InnerGlowParams>(p, f); }
void ScaleGaussianBevelParams(EffectParams& p, float f) { ScaleWidth<GaussianBevelParams>(p, f); }
void ScaleInnerBevelParams(EffectParams& p, float f) { ScaleWidth<InnerBevelParams>(p, f); }
void ScaleOuterBevelParams(EffectParams& p, float f) { ScaleWidth<OuterBevelParams>(p, f); }
void ScaleKaleidoscopeBlurParams(EffectParams& p, float f) { ScaleWidth<KaleidoscopeBlurParams>(p, f); }

void ScaleEmbossParams(EffectParams& p, float f) {
    if (auto* r = p.Get<EmbossParams>()) {
        r->width = ScaledSize(r->width, f);
        r->softness = ScaledSize(r->softness, f);
    }
}

void ScaleNewtonianShadowParams(EffectParams& p, float f) {
    auto* r = p.Get<NewtonianShadowParams>();
    if (!r) return;
    r->softness = f * r->softness;
    const float c = std::trunc(f * static_cast<float>(r->contact) + 0.5f);
    // An out-of-range float does not convert to int32; saturate instead.
    if (std::isnan(c)) return;
    if (c >= 2147483520.0f)
        r->contact = std::numeric_limits<int32_t>::max();
    else if (c <= -2147483648.0f)
        r->contact = std::numeric_limits<int32_t>::min();
    else
        r->contact = static_cast<int32_t>(c);
}

void ScaleMotionBlurParams(EffectParams& p, float f) {
    if (auto* r = p.Get<MotionBlurParams>()) r->length = f * r->length;
}

namespace {

// Rows in add-menu order. Apply functions and parameter views are filled in
// by the filters and the effect tab.
std::array<EffectTypeInfo, kEffectTypeCount> g_registry = {{
    {kEffectBrightnessContrast, kCategoryAdjustColor, "Brightness/Contrast", nullptr, InitBrightnessContrastParams,
     nullptr, false, nullptr},
    {kEffectHueSaturation, kCategoryAdjustColor, "Hue/Saturation", nullptr, InitHueSaturationParams, nullptr, false,
     nullptr},
    {kEffectColorFill, kCategoryAdjustColor, "Color Fill", nullptr, InitColorFillParams, nullptr, false, nullptr},
    {kEffectLevels, kCategoryAdjustColor, "Levels", nullptr, InitLevelsParams, nullptr, false, nullptr},
    {kEffectInvert, kCategoryAdjustColor, "Invert", nullptr, InitInvertParams, nullptr, false, nullptr},
    {kEffectBlur, kCategoryBlur, "Blur", nullptr, InitBlurParams, nullptr, false, nullptr},
    {kEffectGaussianBlur, kCategoryBlur, "Gaussian Blur", nullptr, InitGaussianBlurParams, nullptr, false, nullptr},
    {kEffectKaleidoscopeBlur, kCategoryBlur, "Kaleidoscope Blur", nullptr, InitKaleidoscopeBlurParams, nullptr, false,
     ScaleKaleidoscopeBlurParams},
    {kEffectMotionBlur, kCategoryBlur, "Motion Blur", nullptr, InitMotionBlurParams, nullptr, true,
     ScaleMotionBlurParams},
    {kEffectDropShadow, kCategoryShadowGlow, "Drop Shadow", nullptr, InitDropShadowParams, nullptr, false, nullptr},
    {kEffectInnerShadow, kCategoryShadowGlow, "Inner Shadow", nullptr, InitInnerShadowParams, nullptr, false,
     ScaleInnerShadowParams},
    {kEffectNewtonianShadow, kCategoryShadowGlow, "Newtonian Shadow", nullptr, InitNewtonianShadowParams, nullptr,
     false, ScaleNewtonianShadowParams},
    {kEffectGlow, kCategoryShadowGlow, "Glow", nullptr, InitGlowParams, nullptr, false, ScaleGlowParams},
    {kEffectInnerGlow, kCategoryShadowGlow, "Inner Glow", nullptr, InitInnerGlowParams, nullptr, false,
     ScaleInnerGlowParams},
    {kEffectInnerBevel, kCategoryBevelEmboss, "Inner Bevel", nullptr, InitInnerBevelParams, nullptr, false,
     ScaleInnerBevelParams},
    {kEffectOuterBevel, kCategoryBevelEmboss, "Outer Bevel", nullptr, InitOuterBevelParams, nullptr, false,
     ScaleOuterBevelParams},
    {kEffectGaussianBevel, kCategoryBevelEmboss, "Gaussian Bevel", nullptr, InitGaussianBevelParams, nullptr, false,
     ScaleGaussianBevelParams},
    {kEffectEmboss, kCategoryBevelEmboss, "Emboss", nullptr, InitEmbossParams, nullptr, false, ScaleEmbossParams},
}};

const EffectTypeInfo kUnknownEffect = {0xFF, kCategoryOther, "Unknown", nullptr, nullptr, nullptr, false, nullptr};

}  // namespace

std::span<const EffectTypeInfo> GetEffectRegistry() { return g_registry; }

const EffectTypeInfo& FindEffectTypeInfo(uint8_t type) {
    for (const EffectTypeInfo& row : g_registry)
        if (row.type == type) return row;
    return kUnknownEffect;
}

void SetEffectViewFactory(uint8_t type, EffectCreateViewFn factory) {
    for (EffectTypeInfo& row : g_registry)
        if (row.type == type) {
            row.createView = factory;
            return;
        }
}

EffectInstance MakeEffectInstance(uint8_t type) {
    EffectInstance instance;
    instance.type = type;
    instance.enabled = true;
    const EffectTypeInfo& row = FindEffectTypeInfo(type);
    if (row.init)
        row.init(instance.params);
    else
        instance.params.Set(EmptyEffectParams{});
    return instance;
}

void ScaleEffectParams(EffectInstance& instance, float factor) {
    const EffectTypeInfo& row = FindEffectTypeInfo(instance.type);
    if (row.scale) row.scale(instance.params, factor);
}

BitmapPtr ApplyEffectStack(const BitmapPtr& source, const std::vector<EffectInstance>& stack, float& offsetX,
                           float& offsetY) {
    return ApplyEffectStack(source, stack, offsetX, offsetY, FindEffectTypeInfo);
}

BitmapPtr ApplyEffectStack(const BitmapPtr& source, const std::vector<EffectInstance>& stack, float& offsetX,
                           float& offsetY, EffectRowLookup lookup) {
    offsetX = offsetY = 0;
    if (!source) return nullptr;
    BitmapPtr current = source;
    float sumX = 0, sumY = 0;
    for (const EffectInstance& instance : stack) {
        if (!instance.enabled) continue;
        const EffectTypeInfo& row = lookup(instance.type);
        if (!row.apply) continue;
        float stepX = 0, stepY = 0;
        BitmapPtr out = row.apply(*current, instance.params, stepX, stepY);
        if (!out) continue;
        sumX += stepX;
        sumY += stepY;
        current = std::move(out);  // the previous intermediate goes with its last holder
    }
    if (current == source) return source;
    offsetX = sumX;
    offsetY = sumY;
    return current;
}

bool EffectStackHasActiveFilter(const std::vector<EffectInstance>& stack) {
    return std::any_of(stack.begin(), stack.end(), [](const EffectInstance& e) {
        return e.enabled && FindEffectTypeInfo(e.type).apply != nullptr;
    });
}
