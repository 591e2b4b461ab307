#include "FilterTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <variant>

#include <omp.h>

namespace {

// Damaged or extreme records (as a project file may hold): every filter
// finishes, returns an image within the size caps or nothing, never crashes.
TEST(AllFilters, ExtremeParametersFinish) {
    const BitmapPtr src = RectOnClear(24, 16, 4, 4, 20, 12, 0xFF8040C0);
    const float nan = std::nanf("");
    for (float v : {nan, 1e30f, -1e30f, 1e6f}) {
        std::vector<EffectInstance> cases;
        for (int t = 0; t < kEffectTypeCount; ++t) cases.push_back(MakeEffectInstance(uint8_t(t)));
        auto set = [&](auto visit) {
            for (EffectInstance& e : cases) std::visit(visit, e.params.value);
        };
        set([&](auto& r) {
            using R = std::decay_t<decltype(r)>;
            if constexpr (requires { r.width; }) r.width = v;
            if constexpr (requires { r.softness; }) r.softness = v;
            if constexpr (requires { r.distance; }) r.distance = v;
            if constexpr (requires { r.radius; }) r.radius = v;
            if constexpr (requires { r.length; }) r.length = v;
            if constexpr (requires { r.angle; }) r.angle = v;
            if constexpr (requires { r.opacity; }) r.opacity = v;
            if constexpr (requires { r.strength; }) r.strength = v;
            if constexpr (requires { r.hue; }) r.hue = v;
            if constexpr (requires { r.brightness; }) r.brightness = v;
            if constexpr (std::is_same_v<R, LevelsParams>) r.rgb.gamma = v;
            if constexpr (std::is_same_v<R, NewtonianShadowParams>) r.tilt = r.spread = v;
        });
        for (const EffectInstance& e : cases) {
            float ox = 0, oy = 0;
            const BitmapPtr out = FindEffectTypeInfo(e.type).apply(*src, e.params, ox, oy);
            if (!out) continue;
            EXPECT_TRUE(BitmapSizeAllowed(out->Width(), out->Height())) << int(e.type) << " " << v;
            EXPECT_TRUE(std::isfinite(ox) && std::isfinite(oy)) << int(e.type) << " " << v;
        }
    }
}

}  // namespace

namespace {

// Filters share their rows out to worker threads; one thread and several give
// the same bytes for every type (the fixture is large enough to go parallel).
TEST(AllFilters, ThreadsGiveTheSameBytes) {
    BitmapPtr src = Bitmap::Create(300, 230);
    for (int y = 0; y < 230; ++y)
        for (int x = 0; x < 300; ++x) {
            const float d = std::hypot(x - 150.0f, y - 115.0f);
            const uint32_t a = uint32_t(std::clamp(100.0f - d, 0.0f, 1.0f) * 255.0f);
            src->SetPixel(x, y, a << 24 | uint32_t(x & 0xFF) << 16 | uint32_t(y) << 8 | uint32_t((x * y) & 0xFF));
        }
    const int threads = omp_get_max_threads();
    for (int t = 0; t < kEffectTypeCount; ++t) {
        const EffectInstance e = MakeEffectInstance(uint8_t(t));
        float ox, oy;
        omp_set_num_threads(1);
        const BitmapPtr one = FindEffectTypeInfo(e.type).apply(*src, e.params, ox, oy);
        omp_set_num_threads(std::max(threads, 4));
        const BitmapPtr many = FindEffectTypeInfo(e.type).apply(*src, e.params, ox, oy);
        omp_set_num_threads(threads);
        ASSERT_TRUE(one && many) << t;
        EXPECT_TRUE(SamePixels(*one, *many)) << FindEffectTypeInfo(e.type).name;
    }
}

}  // namespace

namespace {

// Sizes past the object's diagonal reach nothing more inside the object, so
// filters that keep the object's size give exactly the bytes of the diagonal
// for any larger record (which keeps their cost bounded); the filters whose
// output grows with a size stay within the size caps instead.
TEST(AllFilters, SizesPastTheDiagonalActAsTheDiagonal) {
    BitmapPtr src = Bitmap::Create(40, 27);
    for (int y = 0; y < 27; ++y)
        for (int x = 0; x < 40; ++x) {
            const float d = std::hypot(x - 19.5f, y - 13.0f);
            const uint32_t a = uint32_t(std::clamp(12.0f - d, 0.0f, 1.0f) * 255.0f);
            src->SetPixel(x, y, a << 24 | uint32_t(x * 6) << 16 | uint32_t(y * 9) << 8 | uint32_t((x * y) & 0xFF));
        }
    const float diagonal = std::ceil(std::hypot(40.0f, 27.0f));
    auto withSizes = [](uint8_t type, float v) {
        EffectInstance e = MakeEffectInstance(type);
        std::visit(
            [&](auto& r) {
                if constexpr (requires { r.width; }) r.width = v;
                if constexpr (requires { r.softness; }) r.softness = v;
                if constexpr (requires { r.distance; }) r.distance = v;
                if constexpr (requires { r.radius; }) r.radius = v;
                if constexpr (requires { r.length; }) r.length = v;
            },
            e.params.value);
        return e;
    };
    for (int t = 0; t < kEffectTypeCount; ++t) {
        const EffectTypeInfo& info = FindEffectTypeInfo(uint8_t(t));
        float hx = 0, hy = 0, dx = 0, dy = 0;
        const BitmapPtr huge = info.apply(*src, withSizes(uint8_t(t), 1e6f).params, hx, hy);
        if (huge) {
            EXPECT_TRUE(BitmapSizeAllowed(huge->Width(), huge->Height())) << info.name;
        }
        const BitmapPtr diag = info.apply(*src, withSizes(uint8_t(t), diagonal).params, dx, dy);
        if (!huge || !diag || diag->Width() != src->Width() || diag->Height() != src->Height()) continue;
        EXPECT_TRUE(SamePixels(*huge, *diag)) << info.name;
        EXPECT_EQ(hx, dx) << info.name;
        EXPECT_EQ(hy, dy) << info.name;
    }
}

}  // namespace

namespace {

// A stored record with every size at 1e6 on an object of a few hundred
// pixels: every filter comes back (outlines sampled with a bounded number of
// taps, disks and shifts clamped to the diagonal, grown outputs refused past
// the size caps) instead of walking millions of taps per pixel.
TEST(AllFilters, HostileSizesFinishOnARealObject) {
    BitmapPtr src = Bitmap::Create(400, 300);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) {
            const float d = std::hypot(x - 200.0f, y - 150.0f);
            const uint32_t a = uint32_t(std::clamp(140.0f - d, 0.0f, 1.0f) * 255.0f);
            src->SetPixel(x, y, a << 24 | uint32_t(x & 0xFF) << 16 | uint32_t(y & 0xFF) << 8 | 0x40);
        }
    for (int t = 0; t < kEffectTypeCount; ++t) {
        EffectInstance e = MakeEffectInstance(uint8_t(t));
        std::visit(
            [](auto& r) {
                if constexpr (requires { r.width; }) r.width = 1e6f;
                if constexpr (requires { r.softness; }) r.softness = 1e6f;
                if constexpr (requires { r.distance; }) r.distance = 1e6f;
                if constexpr (requires { r.length; }) r.length = 1e6f;
                if constexpr (requires { r.radius; }) r.radius = 1e6f;
            },
            e.params.value);
        float ox = 0, oy = 0;
        const BitmapPtr out = FindEffectTypeInfo(e.type).apply(*src, e.params, ox, oy);
        if (out) {
            EXPECT_TRUE(BitmapSizeAllowed(out->Width(), out->Height())) << FindEffectTypeInfo(e.type).name;
        }
    }
}

}  // namespace
