#include "filters/InnerBevel.h"

#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

void InitInnerBevelParams(EffectParams& p) { p.Set(InnerBevelParams{}); }

void ScaleInnerBevelParams(EffectParams& p, float f) {
    if (auto* r = p.Get<InnerBevelParams>()) r->width = ScaledFilterSize(r->width, f);
}
