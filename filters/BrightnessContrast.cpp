#include "filters/BrightnessContrast.h"

#include "filters/EffectInstance.h"

void InitBrightnessContrastParams(EffectParams& p) { p.Set(BrightnessContrastParams{}); }
