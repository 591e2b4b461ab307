#include "filters/KaleidoscopeBlur.h"

#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

void InitKaleidoscopeBlurParams(EffectParams& p) { p.Set(KaleidoscopeBlurParams{}); }

void ScaleKaleidoscopeBlurParams(EffectParams& p, float f) {
    if (auto* r = p.Get<KaleidoscopeBlurParams>()) r->width = ScaledFilterSize(r->width, f);
}
