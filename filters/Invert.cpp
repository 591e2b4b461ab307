#include "filters/Invert.h"

#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

void InitInvertParams(EffectParams& p) { p.Set(EmptyEffectParams{}); }

BitmapPtr ApplyInvert(const Bitmap& source, const EffectParams&, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    if (source.Width() < 1 || source.Height() < 1) return nullptr;
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = uint8_t(255 - i);
    return MapColourBytes(source, table, table, table);
}
