#include "filters/HueSaturation.h"

#include "filters/EffectInstance.h"

void InitHueSaturationParams(EffectParams& p) { p.Set(HueSaturationParams{}); }
