#include "filters/DropShadow.h"

#include "filters/EffectInstance.h"

void InitDropShadowParams(EffectParams& p) { p.Set(DropShadowParams{}); }
