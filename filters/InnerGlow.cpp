#include "filters/InnerGlow.h"

#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

void InitInnerGlowParams(EffectParams& p) { p.Set(InnerGlowParams{}); }

void ScaleInnerGlowParams(EffectParams& p, float f) {
    if (auto* r = p.Get<InnerGlowParams>()) r->width = ScaledFilterSize(r->width, f);
}
