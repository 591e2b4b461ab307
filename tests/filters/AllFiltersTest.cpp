#include "FilterTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <type_traits>
#include <variant>

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
