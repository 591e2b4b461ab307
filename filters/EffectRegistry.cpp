#include "filters/EffectRegistry.h"

// Placeholder bodies until the registry rows exist: no type scales or applies.
void ScaleEffectParams(EffectInstance&, float) {}

BitmapPtr ApplyEffectStack(const BitmapPtr& source, const std::vector<EffectInstance>&, float& offsetX,
                           float& offsetY) {
    offsetX = offsetY = 0;
    return source;
}

bool EffectStackHasActiveFilter(const std::vector<EffectInstance>&) { return false; }
