#include "filters/GaussianBlur.h"

#include "filters/EffectInstance.h"

void InitGaussianBlurParams(EffectParams& p) { p.Set(GaussianBlurParams{}); }
