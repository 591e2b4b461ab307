#include "filters/Blur.h"

#include "filters/EffectInstance.h"

void InitBlurParams(EffectParams& p) { p.Set(BlurParams{}); }
