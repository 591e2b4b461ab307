#include "filters/Emboss.h"

#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

void InitEmbossParams(EffectParams& p) { p.Set(EmbossParams{}); }

void ScaleEmbossParams(EffectParams& p, float f) {
    if (auto* r = p.Get<EmbossParams>()) {
        r->width = ScaledFilterSize(r->width, f);
        r->softness = ScaledFilterSize(r->softness, f);
    }
}
