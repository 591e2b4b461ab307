#include "filters/ColorFill.h"

#include "filters/EffectInstance.h"

void InitColorFillParams(EffectParams& p) { p.Set(ColorFillParams{}); }
