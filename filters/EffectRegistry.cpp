#include "filters/EffectRegistry.h"

#include <algorithm>
#include <array>
#include <new>

namespace {

// Rows in add-menu order: type, category, name, apply, init, no live preview, scale.
const std::array<EffectTypeInfo, kEffectTypeCount> kRegistry = {{
    {kEffectBrightnessContrast, kCategoryAdjustColor, "Brightness/Contrast",
     ApplyBrightnessContrast, InitBrightnessContrastParams, false, nullptr},
    {kEffectHueSaturation, kCategoryAdjustColor, "Hue/Saturation",
     ApplyHueSaturation, InitHueSaturationParams, false, nullptr},
    {kEffectColorFill, kCategoryAdjustColor, "Color Fill",
     ApplyColorFill, InitColorFillParams, false, nullptr},
    {kEffectLevels, kCategoryAdjustColor, "Levels",
     ApplyLevels, InitLevelsParams, false, nullptr},
    {kEffectInvert, kCategoryAdjustColor, "Invert",
     ApplyInvert, InitInvertParams, false, nullptr},
    {kEffectBlur, kCategoryBlur, "Blur",
     ApplyBlur, InitBlurParams, false, nullptr},
    {kEffectGaussianBlur, kCategoryBlur, "Gaussian Blur",
     ApplyGaussianBlur, InitGaussianBlurParams, false, nullptr},
    {kEffectKaleidoscopeBlur, kCategoryBlur, "Kaleidoscope Blur",
     ApplyKaleidoscopeBlur, InitKaleidoscopeBlurParams, false, ScaleKaleidoscopeBlurParams},
    {kEffectMotionBlur, kCategoryBlur, "Motion Blur",
     ApplyMotionBlur, InitMotionBlurParams, true, ScaleMotionBlurParams},
    {kEffectDropShadow, kCategoryShadowGlow, "Drop Shadow",
     ApplyDropShadow, InitDropShadowParams, false, nullptr},
    {kEffectInnerShadow, kCategoryShadowGlow, "Inner Shadow",
     ApplyInnerShadow, InitInnerShadowParams, false, ScaleInnerShadowParams},
    {kEffectNewtonianShadow, kCategoryShadowGlow, "Newtonian Shadow",
     ApplyNewtonianShadow, InitNewtonianShadowParams, false, ScaleNewtonianShadowParams},
    {kEffectGlow, kCategoryShadowGlow, "Glow",
     ApplyGlow, InitGlowParams, false, ScaleGlowParams},
    {kEffectInnerGlow, kCategoryShadowGlow, "Inner Glow",
     ApplyInnerGlow, InitInnerGlowParams, false, ScaleInnerGlowParams},
    {kEffectInnerBevel, kCategoryBevelEmboss, "Inner Bevel",
     ApplyInnerBevel, InitInnerBevelParams, false, ScaleInnerBevelParams},
    {kEffectOuterBevel, kCategoryBevelEmboss, "Outer Bevel",
     ApplyOuterBevel, InitOuterBevelParams, false, ScaleOuterBevelParams},
    {kEffectGaussianBevel, kCategoryBevelEmboss, "Gaussian Bevel",
     ApplyGaussianBevel, InitGaussianBevelParams, false, ScaleGaussianBevelParams},
    {kEffectEmboss, kCategoryBevelEmboss, "Emboss",
     ApplyEmboss, InitEmbossParams, false, ScaleEmbossParams},
}};

const EffectTypeInfo kUnknownEffect = {0xFF, kCategoryOther, "Unknown", nullptr, nullptr, false, nullptr};

}  // namespace

std::span<const EffectTypeInfo> GetEffectRegistry() { return kRegistry; }

const EffectTypeInfo& FindEffectTypeInfo(uint8_t type) {
    for (const EffectTypeInfo& row : kRegistry)
        if (row.type == type) return row;
    return kUnknownEffect;
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
        BitmapPtr out;
        try {
            out = row.apply(*current, instance.params, stepX, stepY);
        } catch (const std::bad_alloc&) {
            // A huge object may not have room for a filter's working planes:
            // that filter is skipped, like one that has no effect.
            out = nullptr;
        }
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
