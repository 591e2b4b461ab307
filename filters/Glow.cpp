#include "filters/Glow.h"

#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

void InitGlowParams(EffectParams& p) { p.Set(GlowParams{}); }

void ScaleGlowParams(EffectParams& p, float f) {
    if (auto* r = p.Get<GlowParams>()) r->width = ScaledFilterSize(r->width, f);
}
