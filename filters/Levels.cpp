#include "filters/Levels.h"

#include "filters/EffectInstance.h"

void InitLevelsParams(EffectParams& p) { p.Set(LevelsParams{}); }
