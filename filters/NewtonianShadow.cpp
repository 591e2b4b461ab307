#include "filters/NewtonianShadow.h"

#include "filters/EffectInstance.h"

#include <cmath>
#include <limits>

void InitNewtonianShadowParams(EffectParams& p) { p.Set(NewtonianShadowParams{}); }

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
