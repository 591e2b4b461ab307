#include "filters/Invert.h"

#include "filters/EffectInstance.h"

void InitInvertParams(EffectParams& p) { p.Set(EmptyEffectParams{}); }
