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
