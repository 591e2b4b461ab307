#include "properties/ObjectTabModel.h"

#include "properties/PropNumbers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

const BlendListItems& ObjectTabBlendItems() {
    static const BlendListItems items = [] {
        BlendListItems l;
        auto mode = [&](uint8_t v, const char* text) {
            l.texts.push_back(text);
            l.values.push_back(v);
        };
        auto separator = [&] {
            l.texts.push_back("");
            l.values.push_back(kBlendListNoMode);
        };
        auto columnBreak = [&] {
            l.texts.push_back("\x1F");
            l.values.push_back(kBlendListNoMode);
        };
        mode(0, "Normal"), mode(1, "Average"), mode(2, "Dissolve"), separator();
        mode(3, "Darken"), mode(4, "Multiply"), mode(5, "Color Burn"), mode(6, "Inverse Color Burn");
        mode(7, "Soft Burn"), mode(8, "Linear Burn"), separator();
        mode(9, "Lighten"), mode(10, "Screen"), mode(11, "Color Dodge"), mode(12, "Inverse Color Dodge");
        mode(13, "Soft Dodge"), mode(14, "Linear Dodge"), separator();
        mode(15, "Overlay"), mode(16, "Soft Light"), mode(17, "Fuzzy Light"), mode(18, "Hard Light");
        mode(19, "Vivid Light"), mode(20, "Linear Light"), mode(21, "Pin Light"), mode(22, "Hard Mix"), columnBreak();
        mode(23, "Difference"), mode(24, "Exclusion"), mode(25, "Negation"), separator();
        mode(26, "Hue"), mode(27, "Saturation"), mode(28, "Color"), mode(29, "Luminosity"), mode(30, "Red");
        mode(31, "Green"), mode(32, "Blue"), separator();
        mode(33, "Reflect"), mode(34, "Glow"), mode(35, "Freeze"), mode(36, "Heat"), separator();
        mode(37, "Additive"), mode(38, "Subtractive"), mode(39, "Subtract"), mode(40, "Interpolation");
        mode(41, "Stamp"), mode(42, "XOR"), separator();
        mode(43, "Invert"), mode(44, "Tint"), separator();
        mode(45, "Photo-Bash Blend");
        return l;
    }();
    return items;
}

int BlendItemIndexForMode(uint8_t mode) {
    const auto& values = ObjectTabBlendItems().values;
    for (size_t i = 0; i < values.size(); ++i)
        if (values[i] == mode && mode != kBlendListNoMode) return int(i);
    return 0;
}

namespace {
std::string Whole(float v) { return FormatPropNumber(v, 0); }
}  // namespace

std::string ObjectInfoText(const CanvasObject& o) {
    if (o.kind == kObjectPosable) return "Posable Object";
    if (o.kind == kObjectLightCone) return "Light Cone";
    std::string text = "Bitmap";
    if (o.parts.empty()) return text;
    const float sw = o.parts.front().pixelWidth, sh = o.parts.front().pixelHeight;
    const float w = o.width, h = o.height;
    if (!(sw > 0.5f && sh > 0.5f)) return text;
    if (!(std::fabs(w - sw) > 1 || std::fabs(h - sh) > 1)) return text;
    const bool larger = w > sw + 1 || h > sh + 1;
    const bool smaller = w < sw - 1 || h < sh - 1;
    const std::string stored = Whole(sw) + "\u00D7" + Whole(sh);
    if (larger && smaller) return text + " (displayed " + Whole(w) + "\u00D7" + Whole(h) + ", stored " + stored + ")";
    if (larger) return text + " (upscaled \u2014 stored " + stored + ")";
    if (smaller) return text + " (downscaled \u2014 stored " + stored + ")";
    return text;
}

LightSliderRange LightSliderRangeOf(int slider) {
    switch (slider) {
    case kLightSliderHeight: return {20, 255};
    case kLightSliderCone: return {5, 60};
    case kLightSliderAmount: return {0, 200};
    case kLightSliderAmbient: return {-100, 100};
    default: return {10, 400};
    }
}

LightSliderValues LightSlidersFromParams(const LightConeParams& p) {
    auto clamp = [](int slider, float v) {
        const LightSliderRange r = LightSliderRangeOf(slider);
        return ClampPropValue(v, r.minimum, r.maximum);
    };
    LightSliderValues v;
    v.height = clamp(kLightSliderHeight, p.height);
    v.cone = clamp(kLightSliderCone, p.coneAngle);
    v.amount = clamp(kLightSliderAmount, p.amount * 100);
    v.ambient = clamp(kLightSliderAmbient, (p.ambient - 0.5f) * 200);
    v.falloff = clamp(kLightSliderFalloff, p.falloff * 100);
    return v;
}

LightConeParams LightParamsWithSlider(const LightConeParams& params, int slider, float value) {
    LightConeParams p = params;
    switch (slider) {
    case kLightSliderHeight: p.height = std::max(value, 1.0f); break;
    case kLightSliderCone: p.coneAngle = value; break;
    case kLightSliderAmount: p.amount = value * 0.01f; break;
    case kLightSliderAmbient: p.ambient = value * 0.005f + 0.5f; break;
    case kLightSliderFalloff: p.falloff = value * 0.01f; break;
    default: break;
    }
    return p;
}
