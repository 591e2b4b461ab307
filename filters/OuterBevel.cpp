#include "filters/OuterBevel.h"

#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

void InitOuterBevelParams(EffectParams& p) { p.Set(OuterBevelParams{}); }

void ScaleOuterBevelParams(EffectParams& p, float f) {
    if (auto* r = p.Get<OuterBevelParams>()) r->width = ScaledFilterSize(r->width, f);
}
