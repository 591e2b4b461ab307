// Straight colours in [0, 1]; see BlendModes.h.
#include "scene/BlendModes.h"

#include <utility>

namespace {

struct ModeInfo {
    const char* name;
    int group;
};

constexpr ModeInfo kModes[kBlendModeCount] = {
    {"Normal", 1},          {"Average", 1},           {"Dissolve", 1},         {"Darken", 2},
    {"Multiply", 2},        {"Color Burn", 2},        {"Inverse Color Burn", 2}, {"Soft Burn", 2},
    {"Linear Burn", 2},     {"Lighten", 3},           {"Screen", 3},           {"Color Dodge", 3},
    {"Inverse Color Dodge", 3}, {"Soft Dodge", 3},    {"Linear Dodge", 3},     {"Overlay", 4},
    {"Soft Light", 4},      {"Fuzzy Light", 4},       {"Hard Light", 4},       {"Vivid Light", 4},
    {"Linear Light", 4},    {"Pin Light", 4},         {"Hard Mix", 4},         {"Difference", 5},
    {"Exclusion", 5},       {"Negation", 5},          {"Hue", 6},              {"Saturation", 6},
    {"Color", 6},           {"Luminosity", 6},        {"Red", 6},              {"Green", 6},
    {"Blue", 6},            {"Reflect", 7},           {"Glow", 7},             {"Freeze", 7},
    {"Heat", 7},            {"Additive", 8},          {"Subtractive", 8},      {"Subtract", 8},
    {"Interpolation", 8},   {"Stamp", 8},             {"XOR", 8},              {"Invert", 9},
    {"Tint", 9},            {"Photo-Bash Blend", 10},
};

using ChannelFn = float (*)(float, float);
using ColorFn = void (*)(float, float, float, float, float, float, float&, float&, float&);
using CompositeFn = void (*)(float, float, float, float, float, float, float, float, float&, float&, float&, float&);

// One table entry per mode, each the compile-time formula for floats.
template <int... M>
constexpr auto MakeTables(std::integer_sequence<int, M...>) {
    struct Tables {
        ChannelFn channel[sizeof...(M)];
        ColorFn color[sizeof...(M)];
        CompositeFn composite[sizeof...(M)];
    };
    return Tables{{&blendfn::Channel<M, false, float>...},
                  {&blendfn::BlendColor<M, false, float>...},
                  {&blendfn::CompositeWithBlend<M, float>...}};
}
constexpr auto kTables = MakeTables(std::make_integer_sequence<int, kBlendModeCount>{});

}  // namespace

const char* BlendModeName(int mode) { return mode >= 0 && mode < kBlendModeCount ? kModes[mode].name : ""; }

int BlendModeGroup(int mode) { return mode >= 0 && mode < kBlendModeCount ? kModes[mode].group : 0; }

bool BlendModeIsNonSeparable(int mode) { return (mode >= kBlendHue && mode <= kBlendBlue) || mode == kBlendTint; }

float BlendChannel(float b, float s, int mode) {
    if (mode < 0 || mode >= kBlendModeCount) return s;
    return kTables.channel[mode](b, s);
}

void SetLumClip(float& r, float& g, float& b, float l) { blendfn::SetLum(r, g, b, l); }

void BlendNonSeparable(float& outR, float& outG, float& outB, float br, float bg, float bb, float sr, float sg,
                       float sb, int mode) {
    if (mode < 0 || mode >= kBlendModeCount) mode = kBlendNormal;
    kTables.color[mode](br, bg, bb, sr, sg, sb, outR, outG, outB);
}

void CompositePixelWithBlend(float& outR, float& outG, float& outB, float& outA, float br, float bg, float bb,
                             float ab, float sr, float sg, float sb, float as, int mode) {
    if (as <= 0.0f) {
        outR = br, outG = bg, outB = bb, outA = ab;
        return;
    }
    if (as + ab * (1.0f - as) <= 0.0f) {
        outR = outG = outB = outA = 0.0f;
        return;
    }
    if (mode < 0 || mode >= kBlendModeCount) mode = kBlendNormal;
    kTables.composite[mode](br, bg, bb, ab, sr, sg, sb, as, outR, outG, outB, outA);
}
