#pragma once
// Motion Blur: each pixel averaged (premultiplied) over a straight segment
// centred on it; the image grows by half the segment on each side.
#include "platform/Bitmap.h"

#include <cstdint>

struct EffectParams;

struct MotionBlurParams {
    float angle = 0;    // degrees, direction (cos a, -sin a) with y down
    float length = 30;  // pixels, used clamped to [0, 500]
    bool operator==(const MotionBlurParams&) const = default;
};

// Writes the defaults above and selects the record.
void InitMotionBlurParams(EffectParams& p);
// Rescale on object resize; nothing unless the record is its own.
// Length times f without a clamp.
void ScaleMotionBlurParams(EffectParams& p, float f);
