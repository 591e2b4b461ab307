#pragma once
// Blur: Stack Blur of the whole image on premultiplied pixels; the image
// grows by the radius on every side. The radius is a fraction of the larger
// side, so there is no scale rule.
#include "platform/Bitmap.h"

#include <cstdint>

struct EffectParams;

struct BlurParams {
    float radius = 0.05f;  // fraction of max(width, height); 0 or less: no blur
    bool operator==(const BlurParams&) const = default;
};

// Writes the defaults above and selects the record.
void InitBlurParams(EffectParams& p);
