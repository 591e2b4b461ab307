#include "filters/GaussianBevel.h"

#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

void InitGaussianBevelParams(EffectParams& p) { p.Set(GaussianBevelParams{}); }

void ScaleGaussianBevelParams(EffectParams& p, float f) {
    if (auto* r = p.Get<GaussianBevelParams>()) r->width = ScaledFilterSize(r->width, f);
}
