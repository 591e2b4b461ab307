#include "document/EffectPayload.h"

#include "filters/EffectRegistry.h"

#include <algorithm>
#include <limits>
#include <cmath>

namespace {

// A stored float that is not finite falls back to the field's default.
float ReadFloat(ArchiveReader& ar, float fallback) {
    const float v = ar.ReadF32();
    return std::isfinite(v) ? v : fallback;
}

uint8_t ReadEnumByte(ArchiveReader& ar, int count) {
    const uint8_t v = ar.ReadU8();
    return v < count ? v : 0;
}

// The instance's record, or the type's defaults when it holds another record.
template <class T>
T RecordOrDefault(const EffectParams* params, const T& fallback) {
    if (params)
        if (const T* r = params->Get<T>()) return *r;
    return fallback;
}

// The bevel records share their first fields and curve.
template <class T>
void WriteBevelCommon(ArchiveWriter& ar, const T& r) {
    ar.WriteF32(r.width);
    ar.WriteF32(r.softness);
    ar.WriteF32(r.strength);
    ar.WriteF32(r.angle);
    ar.WriteU8(r.profile);
    ar.WriteU32(static_cast<uint32_t>(r.points.size()));
    for (const CurvePoint& p : r.points) {
        ar.WriteF32(p.x);
        ar.WriteF32(p.y);
    }
}

template <class T>
void ReadBevelCommon(ArchiveReader& ar, T& r) {
    const T d;
    r.width = ReadFloat(ar, d.width);
    r.softness = ReadFloat(ar, d.softness);
    r.strength = ReadFloat(ar, d.strength);
    r.angle = ReadFloat(ar, d.angle);
    r.profile = ReadEnumByte(ar, kBevelProfileCount);
    const uint32_t stored = ar.ReadCount(8);
    const uint32_t kept = std::min(stored, kMaxStoredCurvePoints);
    r.points.clear();
    r.points.reserve(kept);
    for (uint32_t i = 0; i < kept; ++i) {
        CurvePoint p;
        // A point without a finite x is dropped below, not moved to 0.
        p.x = ReadFloat(ar, std::numeric_limits<float>::quiet_NaN());
        p.y = ReadFloat(ar, 0);
        r.points.push_back(p);
    }
    // Skipping the rest keeps the fields after the curve in step.
    ar.Skip(size_t(stored - kept) * 8);
    // Stored curves are held to what the curve editor allows, so a damaged
    // or hand-made file cannot give the bevel an unsorted or unbounded curve.
    r.points = NormalizeCurvePoints(r.points);
}

template <class T>
uint32_t BevelLength(const EffectParams* params, uint32_t fixed) {
    const T* r = params ? params->Get<T>() : nullptr;
    return fixed + 8 * static_cast<uint32_t>(r ? r->points.size() : DefaultBevelCurve().size());
}

}  // namespace

uint32_t EffectPayloadLength(uint8_t type, const EffectParams* params) {
    switch (type) {
    case kEffectDropShadow:
    case kEffectInnerShadow: return 20;
    case kEffectGlow:
    case kEffectInnerGlow:
    case kEffectGaussianBevel: return 16;
    case kEffectBlur:
    case kEffectGaussianBlur:
    case kEffectKaleidoscopeBlur: return 4;
    case kEffectBrightnessContrast:
    case kEffectColorFill:
    case kEffectMotionBlur: return 8;
    case kEffectHueSaturation: return 13;
    case kEffectLevels: return 81;
    case kEffectNewtonianShadow: return 37;
    case kEffectInnerBevel: return BevelLength<InnerBevelParams>(params, 21);
    case kEffectOuterBevel: return BevelLength<OuterBevelParams>(params, 26);
    case kEffectEmboss: return BevelLength<EmbossParams>(params, 21);
    default: return 0;
    }
}

void WriteLevelsChannel(ArchiveWriter& ar, const LevelsChannel& c) {
    ar.WriteI32(c.inputLow);
    ar.WriteI32(c.inputHigh);
    ar.WriteF32(c.gamma);
    ar.WriteI32(c.outputLow);
    ar.WriteI32(c.outputHigh);
}

LevelsChannel ReadLevelsChannel(ArchiveReader& ar) {
    const LevelsChannel d;
    LevelsChannel c;
    c.inputLow = ar.ReadI32();
    c.inputHigh = ar.ReadI32();
    c.gamma = ReadFloat(ar, d.gamma);
    c.outputLow = ar.ReadI32();
    c.outputHigh = ar.ReadI32();
    return c;
}

void WriteEffectParams(ArchiveWriter& ar, uint8_t type, const EffectParams* params) {
    switch (type) {
    case kEffectDropShadow: {
        const auto r = RecordOrDefault(params, DropShadowParams{});
        ar.WriteF32(r.distance); ar.WriteF32(r.angle); ar.WriteF32(r.softness); ar.WriteF32(r.opacity);
        ar.WriteU32(r.colour);
        break;
    }
    case kEffectInnerShadow: {
        const auto r = RecordOrDefault(params, InnerShadowParams{});
        ar.WriteF32(r.distance); ar.WriteF32(r.angle); ar.WriteF32(r.softness); ar.WriteF32(r.opacity);
        ar.WriteU32(r.colour);
        break;
    }
    case kEffectGlow: {
        const auto r = RecordOrDefault(params, GlowParams{});
        ar.WriteF32(r.width); ar.WriteF32(r.softness); ar.WriteF32(r.opacity); ar.WriteU32(r.colour);
        break;
    }
    case kEffectInnerGlow: {
        const auto r = RecordOrDefault(params, InnerGlowParams{});
        ar.WriteF32(r.width); ar.WriteF32(r.softness); ar.WriteF32(r.opacity); ar.WriteU32(r.colour);
        break;
    }
    case kEffectBlur: ar.WriteF32(RecordOrDefault(params, BlurParams{}).radius); break;
    case kEffectGaussianBlur: ar.WriteF32(RecordOrDefault(params, GaussianBlurParams{}).radius); break;
    case kEffectGaussianBevel: {
        const auto r = RecordOrDefault(params, GaussianBevelParams{});
        ar.WriteF32(r.width); ar.WriteF32(r.softness); ar.WriteF32(r.strength); ar.WriteF32(r.angle);
        break;
    }
    case kEffectInnerBevel: WriteBevelCommon(ar, RecordOrDefault(params, InnerBevelParams{})); break;
    case kEffectOuterBevel: {
        const auto r = RecordOrDefault(params, OuterBevelParams{});
        WriteBevelCommon(ar, r);
        ar.WriteFlag(r.useObjectColor);
        ar.WriteU32(r.color);
        break;
    }
    case kEffectEmboss: WriteBevelCommon(ar, RecordOrDefault(params, EmbossParams{})); break;
    case kEffectKaleidoscopeBlur: ar.WriteF32(RecordOrDefault(params, KaleidoscopeBlurParams{}).width); break;
    case kEffectBrightnessContrast: {
        const auto r = RecordOrDefault(params, BrightnessContrastParams{});
        ar.WriteF32(r.brightness); ar.WriteF32(r.contrast);
        break;
    }
    case kEffectHueSaturation: {
        const auto r = RecordOrDefault(params, HueSaturationParams{});
        ar.WriteF32(r.hue); ar.WriteF32(r.saturation); ar.WriteF32(r.lightness);
        ar.WriteFlag(r.colorize != 0);
        break;
    }
    case kEffectColorFill: {
        const auto r = RecordOrDefault(params, ColorFillParams{});
        ar.WriteU32(r.colour); ar.WriteF32(r.opacity);
        break;
    }
    case kEffectLevels: {
        const auto r = RecordOrDefault(params, LevelsParams{});
        ar.WriteU8(r.channel);
        for (const LevelsChannel* c : {&r.rgb, &r.red, &r.green, &r.blue}) WriteLevelsChannel(ar, *c);
        break;
    }
    case kEffectNewtonianShadow: {
        const auto r = RecordOrDefault(params, NewtonianShadowParams{});
        ar.WriteF32(r.length); ar.WriteF32(r.tilt); ar.WriteF32(r.spread); ar.WriteF32(r.softness);
        ar.WriteF32(r.tipOpacity);
        ar.WriteI32(r.contact);
        ar.WriteU8(r.falloff);
        ar.WriteU32(r.baseColour); ar.WriteU32(r.tipColour);
        ar.WriteF32(r.opacity);
        break;
    }
    case kEffectMotionBlur: {
        const auto r = RecordOrDefault(params, MotionBlurParams{});
        ar.WriteF32(r.angle); ar.WriteF32(r.length);
        break;
    }
    default: break;  // Invert and unknown types carry nothing
    }
}

void WriteEffectInstance(ArchiveWriter& ar, const EffectInstance& instance) {
    ar.WriteU8(instance.type);
    ar.WriteFlag(instance.enabled);
    ar.WriteU32(EffectPayloadLength(instance.type, &instance.params));
    WriteEffectParams(ar, instance.type, &instance.params);
}

void WriteEffectStack(ArchiveWriter& ar, const std::vector<EffectInstance>& stack) {
    ar.WriteU32(static_cast<uint32_t>(stack.size()));
    for (const EffectInstance& e : stack) WriteEffectInstance(ar, e);
}

EffectParams ReadEffectParams(ArchiveReader& ar, uint8_t type) {
    EffectParams out;
    switch (type) {
    case kEffectDropShadow: {
        DropShadowParams r;
        const DropShadowParams d;
        r.distance = ReadFloat(ar, d.distance); r.angle = ReadFloat(ar, d.angle);
        r.softness = ReadFloat(ar, d.softness); r.opacity = ReadFloat(ar, d.opacity);
        r.colour = ar.ReadU32();
        out.Set(r);
        break;
    }
    case kEffectInnerShadow: {
        InnerShadowParams r;
        const InnerShadowParams d;
        r.distance = ReadFloat(ar, d.distance); r.angle = ReadFloat(ar, d.angle);
        r.softness = ReadFloat(ar, d.softness); r.opacity = ReadFloat(ar, d.opacity);
        r.colour = ar.ReadU32();
        out.Set(r);
        break;
    }
    case kEffectGlow: {
        GlowParams r;
        const GlowParams d;
        r.width = ReadFloat(ar, d.width); r.softness = ReadFloat(ar, d.softness);
        r.opacity = ReadFloat(ar, d.opacity); r.colour = ar.ReadU32();
        out.Set(r);
        break;
    }
    case kEffectInnerGlow: {
        InnerGlowParams r;
        const InnerGlowParams d;
        r.width = ReadFloat(ar, d.width); r.softness = ReadFloat(ar, d.softness);
        r.opacity = ReadFloat(ar, d.opacity); r.colour = ar.ReadU32();
        out.Set(r);
        break;
    }
    case kEffectBlur: out.Set(BlurParams{ReadFloat(ar, BlurParams{}.radius)}); break;
    case kEffectGaussianBlur: out.Set(GaussianBlurParams{ReadFloat(ar, GaussianBlurParams{}.radius)}); break;
    case kEffectGaussianBevel: {
        GaussianBevelParams r;
        const GaussianBevelParams d;
        r.width = ReadFloat(ar, d.width); r.softness = ReadFloat(ar, d.softness);
        r.strength = ReadFloat(ar, d.strength); r.angle = ReadFloat(ar, d.angle);
        out.Set(r);
        break;
    }
    case kEffectInnerBevel: {
        InnerBevelParams r;
        ReadBevelCommon(ar, r);
        out.Set(std::move(r));
        break;
    }
    case kEffectOuterBevel: {
        OuterBevelParams r;
        ReadBevelCommon(ar, r);
        r.useObjectColor = ar.ReadFlag();
        r.color = ar.ReadU32();
        out.Set(std::move(r));
        break;
    }
    case kEffectEmboss: {
        EmbossParams r;
        ReadBevelCommon(ar, r);
        out.Set(std::move(r));
        break;
    }
    case kEffectKaleidoscopeBlur:
        out.Set(KaleidoscopeBlurParams{ReadFloat(ar, KaleidoscopeBlurParams{}.width)});
        break;
    case kEffectBrightnessContrast: {
        BrightnessContrastParams r;
        r.brightness = ReadFloat(ar, 0); r.contrast = ReadFloat(ar, 0);
        out.Set(r);
        break;
    }
    case kEffectHueSaturation: {
        HueSaturationParams r;
        r.hue = ReadFloat(ar, 0); r.saturation = ReadFloat(ar, 0); r.lightness = ReadFloat(ar, 0);
        r.colorize = ar.ReadFlag() ? 1 : 0;
        out.Set(r);
        break;
    }
    case kEffectColorFill: {
        ColorFillParams r;
        r.colour = ar.ReadU32();
        r.opacity = ReadFloat(ar, ColorFillParams{}.opacity);
        out.Set(r);
        break;
    }
    case kEffectLevels: {
        LevelsParams r;
        r.channel = ReadEnumByte(ar, 4);
        r.rgb = ReadLevelsChannel(ar);
        r.red = ReadLevelsChannel(ar);
        r.green = ReadLevelsChannel(ar);
        r.blue = ReadLevelsChannel(ar);
        out.Set(r);
        break;
    }
    case kEffectNewtonianShadow: {
        NewtonianShadowParams r;
        const NewtonianShadowParams d;
        r.length = ReadFloat(ar, d.length); r.tilt = ReadFloat(ar, d.tilt); r.spread = ReadFloat(ar, d.spread);
        r.softness = ReadFloat(ar, d.softness); r.tipOpacity = ReadFloat(ar, d.tipOpacity);
        r.contact = ar.ReadI32();
        r.falloff = ReadEnumByte(ar, 3);
        r.baseColour = ar.ReadU32(); r.tipColour = ar.ReadU32();
        r.opacity = ReadFloat(ar, d.opacity);
        out.Set(r);
        break;
    }
    case kEffectMotionBlur: {
        MotionBlurParams r;
        r.angle = ReadFloat(ar, 0); r.length = ReadFloat(ar, MotionBlurParams{}.length);
        out.Set(r);
        break;
    }
    default: out.Set(EmptyEffectParams{}); break;
    }
    return out;
}

EffectInstance ReadEffectInstance(ArchiveReader& ar) {
    EffectInstance e;
    e.type = ar.ReadU8();
    e.enabled = ar.ReadFlag();
    const uint32_t length = ar.ReadU32();
    // The window confines the payload to its stated length and skips any surplus.
    const size_t saved = ar.BeginLimit(length);
    if (e.type < kEffectTypeCount && length > 0)
        e.params = ReadEffectParams(ar, e.type);
    else
        e.params.Set(EmptyEffectParams{});
    ar.EndLimit(saved);
    return e;
}

std::vector<EffectInstance> ReadEffectStack(ArchiveReader& ar) {
    const uint32_t count = ar.ReadCount(6);  // type, flag and length at least
    std::vector<EffectInstance> stack;
    stack.reserve(std::min<uint32_t>(count, 1024));
    for (uint32_t i = 0; i < count; ++i) stack.push_back(ReadEffectInstance(ar));
    return stack;
}
