#include "filters/InnerShadow.h"

#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

void InitInnerShadowParams(EffectParams& p) { p.Set(InnerShadowParams{}); }

void ScaleInnerShadowParams(EffectParams& p, float f) {
    if (auto* r = p.Get<InnerShadowParams>()) r->distance = ScaledFilterSize(r->distance, f);
}
