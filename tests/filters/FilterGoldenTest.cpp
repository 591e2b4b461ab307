#include "FilterTestUtil.h"

#include "platform/CpuLevel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <omp.h>

namespace {

// The bytes each filter gives on one fixture, pinned as hashes: kernels are
// rewritten for speed (threads, vector lanes, work skipped where it changes
// nothing), and any change to a single output byte shows here. The fixture is
// large enough for every row loop to go parallel, and each case runs on one
// thread and on several, at every instruction-set level the machine has.

// A soft disk and a ring with a hole (semi-transparent rims, flat runs, a
// ridge down the middle of each) in varying colour, on transparency.
const Bitmap& Fixture() {
    static BitmapPtr src;
    if (src) return *src;
    src = Bitmap::Create(320, 240);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const float d = std::hypot(x - 100.0f, y - 120.0f);
            const float e = std::hypot(x - 235.0f, y - 110.0f);
            float a = std::clamp(80.5f - d, 0.0f, 1.0f);
            a = std::max(a, std::min(std::clamp(70.0f - e, 0.0f, 1.0f), std::clamp(e - 25.0f, 0.0f, 1.0f)));
            if (x > 290 && y > 200) a = 0.5f;  // a half-transparent block touching the image border
            const uint32_t A = uint32_t(a * 255.0f + 0.5f);
            src->SetPixel(x, y, A << 24 | uint32_t((x * 3) & 0xFF) << 16 | uint32_t((y * 5) & 0xFF) << 8 |
                                    uint32_t((x ^ y) & 0xFF));
        }
    return *src;
}

uint64_t Hash(const FilterRun& r) {
    uint64_t h = 1469598103934665603ull;
    auto add = [&](uint64_t v) {
        h ^= v;
        h *= 1099511628211ull;
    };
    add(uint64_t(r.out->Width()));
    add(uint64_t(r.out->Height()));
    add(uint64_t(int64_t(r.ox)));
    add(uint64_t(int64_t(r.oy)));
    for (int y = 0; y < r.out->Height(); ++y)
        for (int x = 0; x < r.out->Width(); ++x) add(r.out->Pixel(x, y));
    return h;
}

struct GoldenCase {
    const char* name;
    uint8_t type;
    void (*edit)(EffectParams&);
    uint64_t hash;
};

template <class R>
R& Rec(EffectParams& p) {
    return *p.Get<R>();
}

const GoldenCase kCases[] = {
    {"drop shadow", kEffectDropShadow, nullptr, 0xc4107ec71e6ea8c5ull},
    {"drop shadow hard", kEffectDropShadow, [](EffectParams& p) { Rec<DropShadowParams>(p).softness = 0; }, 0x941ada946590130dull},
    {"inner shadow", kEffectInnerShadow, nullptr, 0x4b821e9424bb2894ull},
    {"glow", kEffectGlow, [](EffectParams& p) { Rec<GlowParams>(p).softness = 5; }, 0x94b98806baed0567ull},
    {"inner glow", kEffectInnerGlow, [](EffectParams& p) { Rec<InnerGlowParams>(p).softness = 5; }, 0x7ddeed9f8904a308ull},
    {"blur", kEffectBlur, nullptr, 0xe1a021840bbb6b4aull},
    {"gaussian blur", kEffectGaussianBlur, nullptr, 0x7655b753939ec621ull},
    {"gaussian bevel", kEffectGaussianBevel, nullptr, 0x12990c4514b3d9a4ull},
    {"gaussian bevel wide", kEffectGaussianBevel,
     [](EffectParams& p) {
         Rec<GaussianBevelParams>(p).width = 23;
         Rec<GaussianBevelParams>(p).softness = 6;
         Rec<GaussianBevelParams>(p).angle = 300;
     },
     0x6a98fd30250029e1ull},
    {"inner bevel", kEffectInnerBevel, nullptr, 0x1a619c6616ebd9b5ull},
    {"inner bevel ball", kEffectInnerBevel,
     [](EffectParams& p) {
         Rec<InnerBevelParams>(p).width = 5.5f;
         Rec<InnerBevelParams>(p).softness = 3;
         Rec<InnerBevelParams>(p).profile = kBevelBall;
     },
     0x1572fbff0808aecaull},
    {"inner bevel wide", kEffectInnerBevel,
     [](EffectParams& p) {
         Rec<InnerBevelParams>(p).width = 60;
         Rec<InnerBevelParams>(p).softness = 40;
         Rec<InnerBevelParams>(p).profile = kBevelCustom;
         Rec<InnerBevelParams>(p).points = {{0, 0}, {0.3f, 0.7f}, {1, 1}};
     },
     0x79e4d06f188d403bull},
    {"outer bevel", kEffectOuterBevel, nullptr, 0x4d3e18af9f4fdea4ull},
    {"outer bevel colour", kEffectOuterBevel,
     [](EffectParams& p) {
         Rec<OuterBevelParams>(p).width = 14;
         Rec<OuterBevelParams>(p).softness = 3;
         Rec<OuterBevelParams>(p).useObjectColor = false;
         Rec<OuterBevelParams>(p).profile = kBevelSmooth;
     },
     0xd706175d3e1eb6b8ull},
    {"emboss", kEffectEmboss, nullptr, 0x65697a7ecbfbd06full},
    {"kaleidoscope", kEffectKaleidoscopeBlur, nullptr, 0xc49164c998f4bbf0ull},
    {"kaleidoscope narrow", kEffectKaleidoscopeBlur,
     [](EffectParams& p) { Rec<KaleidoscopeBlurParams>(p).width = 1; }, 0xd803f1eef7537fafull},
    {"kaleidoscope wide", kEffectKaleidoscopeBlur,
     [](EffectParams& p) { Rec<KaleidoscopeBlurParams>(p).width = 45; }, 0xa1cf00a185ccd319ull},
    {"kaleidoscope taps spread past 64 a side", kEffectKaleidoscopeBlur,
     [](EffectParams& p) { Rec<KaleidoscopeBlurParams>(p).width = 300; }, 0xf9c0f3e7be792041ull},
    {"brightness contrast", kEffectBrightnessContrast,
     [](EffectParams& p) {
         Rec<BrightnessContrastParams>(p).brightness = 0.2f;
         Rec<BrightnessContrastParams>(p).contrast = 0.3f;
     },
     0x2f60182307a71c53ull},
    {"hue saturation", kEffectHueSaturation,
     [](EffectParams& p) {
         Rec<HueSaturationParams>(p).hue = 40;
         Rec<HueSaturationParams>(p).saturation = 0.3f;
         Rec<HueSaturationParams>(p).lightness = -0.1f;
     },
     0x26afb5d059a78a76ull},
    {"colorize", kEffectHueSaturation,
     [](EffectParams& p) {
         Rec<HueSaturationParams>(p).hue = 200;
         Rec<HueSaturationParams>(p).colorize = 1;
     },
     0x3211bd2a3a0c3b53ull},
    {"color fill", kEffectColorFill, nullptr, 0x851e890899d5e9e3ull},
    {"levels", kEffectLevels,
     [](EffectParams& p) {
         Rec<LevelsParams>(p).rgb.gamma = 1.6f;
         Rec<LevelsParams>(p).red.inputLow = 30;
         Rec<LevelsParams>(p).blue.outputHigh = 200;
     },
     0x1d8bdab3e697fb83ull},
    {"invert", kEffectInvert, nullptr, 0x4f81ac4064442463ull},
    {"newtonian shadow", kEffectNewtonianShadow, nullptr, 0x0497e768050ea9f7ull},
    {"motion blur", kEffectMotionBlur, nullptr, 0x556d405456d98c42ull},
    {"motion blur slanted", kEffectMotionBlur,
     [](EffectParams& p) {
         Rec<MotionBlurParams>(p).angle = 30;
         Rec<MotionBlurParams>(p).length = 41;
     },
     0xc9c78b157aad707dull},
};

TEST(FilterGolden, OutputsKeepTheirBytesOnAnyThreadCount) {
    const bool print = std::getenv("FILTER_GOLDEN_PRINT") != nullptr;
    const int threads = omp_get_max_threads();
    // One thread at the best instruction-set level, then several at every level.
    std::vector<std::pair<CpuLevel, int>> runs = {{ActiveCpuLevel(), 1}};
    for (CpuLevel level : AvailableCpuLevels()) runs.push_back({level, std::max(threads, 4)});
    for (const GoldenCase& c : kCases) {
        EffectInstance e = MakeEffectInstance(c.type);
        if (c.edit) c.edit(e.params);
        for (const auto& [level, n] : runs) {
            const ScopedCpuLevel hold(level);
            omp_set_num_threads(n);
            FilterRun r;
            r.out = FindEffectTypeInfo(c.type).apply(Fixture(), e.params, r.ox, r.oy);
            omp_set_num_threads(threads);
            ASSERT_TRUE(r.out) << c.name;
            const uint64_t h = Hash(r);
            if (print) std::printf("%s %s %d 0x%016" PRIx64 "ull\n", c.name, CpuLevelName(level), n, h);
            else EXPECT_EQ(h, c.hash) << c.name << " at " << CpuLevelName(level) << " on " << n << " threads";
        }
    }
}

}  // namespace
