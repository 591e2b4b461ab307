#include "filters/EffectRegistry.h"

#include <gtest/gtest.h>

#include <new>
#include <set>
#include <string>

namespace {

TEST(EffectRegistry, RowsInMenuOrderWithTheirAlternatives) {
    struct Row {
        uint8_t type, category;
        const char* name;
        int alternative;
        bool scales, noLivePreview;
    };
    const Row expected[] = {
        {11, 0, "Brightness/Contrast", 12, false, false}, {12, 0, "Hue/Saturation", 13, false, false},
        {13, 0, "Color Fill", 14, false, false},          {14, 0, "Levels", 15, false, false},
        {15, 0, "Invert", 0, false, false},               {4, 2, "Blur", 1, false, false},
        {5, 2, "Gaussian Blur", 3, false, false},         {10, 2, "Kaleidoscope Blur", 10, true, false},
        {17, 2, "Motion Blur", 17, true, true},           {0, 5, "Drop Shadow", 2, false, false},
        {1, 5, "Inner Shadow", 8, true, false},           {16, 5, "Newtonian Shadow", 16, true, false},
        {2, 5, "Glow", 6, true, false},                   {3, 5, "Inner Glow", 7, true, false},
        {7, 1, "Inner Bevel", 5, true, false},            {8, 1, "Outer Bevel", 9, true, false},
        {6, 1, "Gaussian Bevel", 4, true, false},         {9, 1, "Emboss", 11, true, false},
    };
    const auto rows = GetEffectRegistry();
    ASSERT_EQ(rows.size(), std::size(expected));
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(rows[i].type, expected[i].type);
        EXPECT_EQ(rows[i].category, expected[i].category);
        EXPECT_EQ(std::string(rows[i].name), expected[i].name);
        EXPECT_EQ(rows[i].scale != nullptr, expected[i].scales);
        EXPECT_EQ(rows[i].noLivePreview, expected[i].noLivePreview);
        ASSERT_NE(rows[i].init, nullptr);
        EXPECT_EQ(&FindEffectTypeInfo(expected[i].type), &rows[i]);
        EXPECT_EQ(MakeEffectInstance(expected[i].type).params.Alternative(), expected[i].alternative);
    }
}

TEST(EffectRegistry, UnknownTypesFallBackToAnInertRow) {
    for (int type : {18, 25, 255}) {
        const EffectTypeInfo& row = FindEffectTypeInfo(uint8_t(type));
        EXPECT_EQ(std::string(row.name), "Unknown");
        EXPECT_EQ(row.category, kCategoryOther);
        EXPECT_EQ(row.apply, nullptr);
        EXPECT_EQ(row.init, nullptr);
        EXPECT_EQ(row.scale, nullptr);
        const EffectInstance e = MakeEffectInstance(uint8_t(type));
        EXPECT_EQ(e.type, type);
        EXPECT_TRUE(e.enabled);
        EXPECT_EQ(e.params.Alternative(), 0);
    }
}

TEST(EffectParams, CopiesOwnTheirCurvePoints) {
    EffectInstance a = MakeEffectInstance(kEffectEmboss);
    a.params.Get<EmbossParams>()->points.push_back({0.5f, 0.5f});
    EffectInstance b = a;
    b.params.Get<EmbossParams>()->points[0].y = 0.25f;
    EXPECT_EQ(a.params.Get<EmbossParams>()->points[0].y, 0.0f);
    EXPECT_EQ(b.params.Get<EmbossParams>()->points.size(), 3u);
    EXPECT_EQ(b.params.Get<InnerBevelParams>(), nullptr);
    b = MakeEffectInstance(kEffectInvert);
    EXPECT_NE(a, b);
}

TEST(EffectRegistry, ScaleRules) {
    const float f = 2.0f;
    auto scaled = [&](uint8_t type, auto mutate) {
        EffectInstance e = MakeEffectInstance(type);
        mutate(e.params);
        ScaleEffectParams(e, f);
        return e;
    };
    EXPECT_EQ(scaled(kEffectInnerShadow, [](EffectParams&) {}).params.Get<InnerShadowParams>()->distance, 8);
    EXPECT_EQ(scaled(kEffectInnerShadow, [](EffectParams&) {}).params.Get<InnerShadowParams>()->softness, 4);
    EXPECT_EQ(scaled(kEffectGlow, [](EffectParams&) {}).params.Get<GlowParams>()->width, 8);
    EXPECT_EQ(scaled(kEffectInnerGlow, [](EffectParams&) {}).params.Get<InnerGlowParams>()->width, 8);
    EXPECT_EQ(scaled(kEffectKaleidoscopeBlur, [](EffectParams&) {}).params.Get<KaleidoscopeBlurParams>()->width, 16);
    EXPECT_EQ(scaled(kEffectGaussianBevel, [](EffectParams&) {}).params.Get<GaussianBevelParams>()->softness, 2);
    EXPECT_EQ(scaled(kEffectInnerBevel, [](EffectParams&) {}).params.Get<InnerBevelParams>()->softness, 8);
    EXPECT_EQ(scaled(kEffectOuterBevel, [](EffectParams&) {}).params.Get<OuterBevelParams>()->width, 16);
    const EffectInstance emboss = scaled(kEffectEmboss, [](EffectParams&) {});
    EXPECT_EQ(emboss.params.Get<EmbossParams>()->width, 16);
    EXPECT_EQ(emboss.params.Get<EmbossParams>()->softness, 16);
    const EffectInstance motion =
        scaled(kEffectMotionBlur, [](EffectParams& p) { p.Get<MotionBlurParams>()->length = -5; });
    EXPECT_EQ(motion.params.Get<MotionBlurParams>()->length, -10);  // no clamp
    const EffectInstance newton = scaled(kEffectNewtonianShadow, [](EffectParams& p) {
        p.Get<NewtonianShadowParams>()->contact = 3;
        p.Get<NewtonianShadowParams>()->length = 0.5f;
    });
    EXPECT_EQ(newton.params.Get<NewtonianShadowParams>()->softness, 80);
    EXPECT_EQ(newton.params.Get<NewtonianShadowParams>()->contact, 6);
    EXPECT_EQ(newton.params.Get<NewtonianShadowParams>()->length, 0.5f);
    // Fractions of the image side are not rescaled.
    EXPECT_EQ(scaled(kEffectDropShadow, [](EffectParams&) {}).params, MakeEffectInstance(kEffectDropShadow).params);
    EXPECT_EQ(scaled(kEffectBlur, [](EffectParams&) {}).params, MakeEffectInstance(kEffectBlur).params);

    // Never negative, and half-up rounding of the contact length.
    EffectInstance glow = MakeEffectInstance(kEffectGlow);
    ScaleEffectParams(glow, -3.0f);
    EXPECT_EQ(glow.params.Get<GlowParams>()->width, 0.0f);
    EffectInstance n = MakeEffectInstance(kEffectNewtonianShadow);
    n.params.Get<NewtonianShadowParams>()->contact = 5;
    ScaleEffectParams(n, 0.5f);
    EXPECT_EQ(n.params.Get<NewtonianShadowParams>()->contact, 3);
    n.params.Get<NewtonianShadowParams>()->contact = 2000000000;
    ScaleEffectParams(n, 1e6f);
    EXPECT_EQ(n.params.Get<NewtonianShadowParams>()->contact, INT32_MAX);

    // A record of another type is left alone.
    EffectInstance mismatched = MakeEffectInstance(kEffectGlow);
    mismatched.params.Set(MotionBlurParams{});
    ScaleEffectParams(mismatched, f);
    EXPECT_EQ(mismatched.params.Get<MotionBlurParams>()->length, 30);
}

// Stand-in filters: type 4 grows the image by a border of (radius x 100)
// pixels, type 11 returns nothing, type 13 runs out of memory; every other
// type uses its registry row.
BitmapPtr GrowBorder(const Bitmap& src, const EffectParams& p, float& ox, float& oy) {
    const auto* r = p.Get<BlurParams>();
    if (!r) return nullptr;
    const int b = int(r->radius * 100);
    auto out = Bitmap::Create(src.Width() + 2 * b, src.Height() + 2 * b);
    ox = oy = float(-b);
    return out;
}
BitmapPtr Nothing(const Bitmap&, const EffectParams&, float& ox, float& oy) {
    ox = oy = 99;  // must not count
    return nullptr;
}
BitmapPtr OutOfMemory(const Bitmap&, const EffectParams&, float&, float&) { throw std::bad_alloc(); }
const EffectTypeInfo& TestLookup(uint8_t type) {
    static const EffectTypeInfo oom = {13, 0, "Color Fill", OutOfMemory, InitColorFillParams, false, nullptr};
    if (type == 13) return oom;
    static const EffectTypeInfo grow = {4, 2, "Blur", GrowBorder, InitBlurParams, false, nullptr};
    static const EffectTypeInfo none = {11, 0, "B/C", Nothing, InitBrightnessContrastParams, false, nullptr};
    if (type == 4) return grow;
    if (type == 11) return none;
    return FindEffectTypeInfo(type);
}

EffectInstance Border(float radius, bool enabled = true) {
    EffectInstance e = MakeEffectInstance(kEffectBlur);
    e.params.Get<BlurParams>()->radius = radius;
    e.enabled = enabled;
    return e;
}

TEST(ApplyEffectStack, SumsOffsetsAndSkipsWhatDoesNotApply) {
    const BitmapPtr src = Bitmap::Create(4, 3);
    float ox = 1, oy = 1;
    EXPECT_EQ(ApplyEffectStack(src, {}, ox, oy, TestLookup), src);
    EXPECT_EQ(ox, 0);
    EXPECT_EQ(oy, 0);

    const std::vector<EffectInstance> inert = {Border(0.1f, false), MakeEffectInstance(kEffectBrightnessContrast),
                                               MakeEffectInstance(25)};
    EXPECT_EQ(ApplyEffectStack(src, inert, ox, oy, TestLookup), src);
    EXPECT_EQ(ox, 0);

    const std::vector<EffectInstance> two = {Border(0.1f), MakeEffectInstance(kEffectBrightnessContrast),
                                             Border(0.05f)};
    const BitmapPtr out = ApplyEffectStack(src, two, ox, oy, TestLookup);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->Width(), 4 + 30);
    EXPECT_EQ(out->Height(), 3 + 30);
    EXPECT_EQ(ox, -15);
    EXPECT_EQ(oy, -15);
    EXPECT_EQ(src->Width(), 4);

    // A filter that runs out of memory is skipped like one without effect.
    const BitmapPtr skipped =
        ApplyEffectStack(src, {Border(0.1f), MakeEffectInstance(kEffectColorFill)}, ox, oy, TestLookup);
    ASSERT_NE(skipped, nullptr);
    EXPECT_EQ(skipped->Width(), 4 + 20);
    EXPECT_EQ(ox, -10);
    EXPECT_FALSE(EffectStackHasActiveFilter({Border(0.1f, false), MakeEffectInstance(25)}));
}

}  // namespace
