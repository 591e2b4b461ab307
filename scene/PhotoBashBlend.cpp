// Surface premultiplied B, G, R, A; layer straight. The backdrop copy is taken
// as stored (premultiplied) and only its B, G, R are used. The mix runs in 8.8
// fixed point: K = ((mix8 (blurred backdrop - blurred layer)) >> 8) + layer,
// with an arithmetic shift (rounds toward minus infinity), K clamped to
// [0, 255]; new = ((256 - a8) d + a8 K + 128) >> 8 with a8 = (alpha op8 + 127) >> 8.
#include "scene/PhotoBashBlend.h"

#include "filters/StackBlur.h"
#include "scene/LayerBlend.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

void DrawLayerBackdropBlur(CompositeSurface& surface, const Bitmap& layer, float originX, float originY, float opacity,
                           int bgRadius, int fgRadius, float mix) {
    opacity = ClampOpacity(opacity);
    mix = ClampOpacity(mix);
    const int W = layer.Width(), H = layer.Height();
    BlendRect place;
    if (!surface.pixels || !PlaceLayerOnSurface(surface, W, H, originX, originY, place)) return;
    bgRadius = std::clamp(bgRadius, 1, kStackBlurMaxRadius);
    fgRadius = std::clamp(fgRadius, 1, kStackBlurMaxRadius);
    const int ox = place.ox, oy = place.oy, x0 = place.x0, y0 = place.y0, x1 = place.x1, y1 = place.y1;

    const size_t rowBytes = size_t(W) * 4;
    std::vector<uint8_t> back, fore;
    try {
        back.assign(rowBytes * size_t(H), 0);
        fore.assign(rowBytes * size_t(H), 0);
    } catch (const std::bad_alloc&) {
        return;
    }
    for (int i = 0; i < H; ++i) {
        std::memcpy(fore.data() + size_t(i) * rowBytes, layer.Row(i), rowBytes);
        const int sy = oy + i;
        if (sy < y0 || sy >= y1) continue;  // rows off the surface stay zero
        std::memcpy(back.data() + size_t(i) * rowBytes + size_t(x0 - ox) * 4, surface.Row(sy) + size_t(x0) * 4,
                    size_t(x1 - x0) * 4);
    }
    {
        CGaussianRecBlur blur;
        blur.StackBlurColor32(back.data(), W, H, bgRadius, bgRadius);
        blur.StackBlurColor32(fore.data(), W, H, fgRadius, fgRadius);
    }

    const int op8 = int(opacity * 256.0f + 0.5f);
    const int mix8 = int(mix * 256.0f + 0.5f);
#pragma omp parallel for schedule(static) if (int64_t(x1 - x0) * (y1 - y0) > 32768)
    for (int y = y0; y < y1; ++y) {  // PhotoBashMixRows
        uint8_t* d = surface.Row(y) + size_t(x0) * 4;
        const size_t off = size_t(y - oy) * rowBytes + size_t(x0 - ox) * 4;
        const uint8_t* l = layer.Row(y - oy) + size_t(x0 - ox) * 4;
        const uint8_t* bb = back.data() + off;
        const uint8_t* bl = fore.data() + off;
        for (int x = x0; x < x1; ++x, d += 4, l += 4, bb += 4, bl += 4) {
            const int a8 = (l[3] * op8 + 127) >> 8;
            if (a8 == 0) continue;
            for (int c = 0; c < 3; ++c) {
                const int k = std::clamp(((mix8 * (int(bb[c]) - int(bl[c]))) >> 8) + l[c], 0, 255);
                d[c] = uint8_t(std::clamp(((256 - a8) * d[c] + a8 * k + 128) >> 8, 0, 255));
            }
            d[3] = 255;
        }
    }
}
