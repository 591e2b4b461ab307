#include "filters/MotionBlur.h"

#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

void InitMotionBlurParams(EffectParams& p) { p.Set(MotionBlurParams{}); }

void ScaleMotionBlurParams(EffectParams& p, float f) {
    if (auto* r = p.Get<MotionBlurParams>()) r->length = f * r->length;
}
