#pragma once
// Invert: the colour bytes complemented; alpha and size kept. It has no
// parameters (the empty record).
#include "platform/Bitmap.h"

#include <cstdint>

struct EffectParams;

// Invert has no parameters; an instance whose record was not stored also holds this.
struct EmptyEffectParams {
    bool operator==(const EmptyEffectParams&) const = default;
};

// Writes the defaults above and selects the record.
void InitInvertParams(EffectParams& p);
// Colour bytes complemented, alpha copied; the record is never read, so any
// record works. Same size, offset (0, 0); null for an empty source.
BitmapPtr ApplyInvert(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY);
