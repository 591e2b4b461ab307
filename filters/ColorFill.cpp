#include "filters/ColorFill.h"

#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

void InitColorFillParams(EffectParams& p) { p.Set(ColorFillParams{}); }

BitmapPtr ApplyColorFill(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    const auto* r = params.Get<ColorFillParams>();
    if (!r || source.Width() < 1 || source.Height() < 1) return nullptr;
    const int a = int(ClampParam(r->opacity, 0, 1) * 256.0f + 0.5f);
    const ColourBytes fill(r->colour);
    uint8_t tb[256], tg[256], tr[256];
    for (int c = 0; c < 256; ++c) {
        tb[c] = uint8_t((c * (256 - a) + a * fill.b + 128) >> 8);
        tg[c] = uint8_t((c * (256 - a) + a * fill.g + 128) >> 8);
        tr[c] = uint8_t((c * (256 - a) + a * fill.r + 128) >> 8);
    }
    return MapColourBytes(source, tb, tg, tr);
}
