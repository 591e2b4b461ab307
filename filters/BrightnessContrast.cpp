#include "filters/BrightnessContrast.h"

#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

void InitBrightnessContrastParams(EffectParams& p) { p.Set(BrightnessContrastParams{}); }

void BuildBrightnessContrastTable(float brightness, float contrast, uint8_t table[256]) {
    const float b = ClampParam(brightness, -1, 1), c = ClampParam(contrast, -1, 1);
    for (int i = 0; i < 256; ++i) {
        const float v = ((float(i) - 127.5f) * (c + 1.0f) + 127.5f) + 255.0f * b + 0.5f;
        table[i] = TruncByte(v);
    }
}

BitmapPtr ApplyBrightnessContrast(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    const auto* r = params.Get<BrightnessContrastParams>();
    if (!r || source.Width() < 1 || source.Height() < 1) return nullptr;
    uint8_t table[256];
    BuildBrightnessContrastTable(r->brightness, r->contrast, table);
    return MapColourBytes(source, table, table, table);
}
