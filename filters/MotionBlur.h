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
// The averaging of every output pixel into `out`, which must be w + 2 px by
// h + 2 py: the row-wise fast path and the plain per-pixel reference it is
// held to (within one level per byte). Colours are averaged premultiplied and
// written straight.
void MotionBlurRows(const Bitmap& source, const MotionBlurParams& params, Bitmap& out);
void MotionBlurReference(const Bitmap& source, const MotionBlurParams& params, Bitmap& out);
// The output grows by half the motion vector on each side, offset (-px, -py);
// an exact copy when the length is below 0.5. Null for another record, an
// empty source or an output beyond the size caps.
BitmapPtr ApplyMotionBlur(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY);
