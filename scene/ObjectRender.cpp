#include "scene/ObjectRender.h"

#include "filters/EffectRegistry.h"
#include "scene/CanvasDocument.h"
#include "scene/ObjectGeometry.h"

#include <algorithm>
#include <cmath>

bool ScaleDragActive = false;

BitmapPtr CanvasObject::GetBaseBitmap() { return kind == kObjectLightCone ? GetLightConeBitmap() : ComposeBitmap(); }

// Placeholder until the raster drawing lands: no composed image yet.
BitmapPtr CanvasObject::ComposeBitmap() { return nullptr; }

// Straight alpha: only the alpha byte changes, (mask * alpha + 127) / 255.
BitmapPtr CanvasObject::ApplyMaskPlane(const BitmapPtr& bitmap) {
    if (!bitmap) return nullptr;
    if (kind != kObjectBitmap || !HasUsableMask()) return bitmap;
    const int W = bitmap->Width(), H = bitmap->Height();
    if (W <= 0 || H <= 0) return bitmap;
    ObjectRenderCaches& c = caches;
    // Keyed on the very bitmap it was made from, so a re-warp of the same box
    // size never shows the previous warp's mask.
    if (c.maskedValid && c.masked && c.maskedSource == bitmap && c.masked->Width() == W && c.masked->Height() == H)
        return c.masked;
    BitmapPtr out = Bitmap::Create(W, H);
    if (!out) return bitmap;
    const int mw = maskWidth, mh = maskHeight;
    const double sy = double(mh) / H, sx = double(mw) / W;
    const uint8_t* mask = maskPixels.data();
#pragma omp parallel for schedule(static)
    for (int i = 0; i < H; ++i) {
        const uint32_t* src = bitmap->Row32(i);
        uint32_t* dst = out->Row32(i);
        const int my = std::clamp(int((i + 0.5) * sy), 0, mh - 1);
        const uint8_t* mrow = mask + size_t(my) * size_t(mw);
        for (int j = 0; j < W; ++j) {
            const int mx = std::clamp(int((j + 0.5) * sx), 0, mw - 1);
            const uint32_t p = src[j];
            const uint32_t a = (uint32_t(mrow[mx]) * (p >> 24) + 127) / 255;
            dst[j] = (p & 0x00FFFFFFu) | (a << 24);
        }
    }
    c.masked = out;
    c.maskedSource = bitmap;
    c.maskedValid = true;
    return out;
}

BitmapPtr CanvasObject::GetEffectBitmap(const BitmapPtr& bitmap, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    if (!bitmap) return nullptr;
    if (!EffectStackHasActiveFilter(effects)) return bitmap;
    ObjectRenderCaches& c = caches;
    if (c.effectValid && c.effect && c.effectGeneration == generation && c.effectSource == bitmap) {
        offsetX = c.effectOffsetX;
        offsetY = c.effectOffsetY;
        return c.effect;
    }
    float ox = 0, oy = 0;
    BitmapPtr out = ApplyEffectStack(bitmap, effects, ox, oy);
    if (!out || out == bitmap) return bitmap;
    c.effect = out;
    c.effectSource = bitmap;
    c.effectOffsetX = ox;
    c.effectOffsetY = oy;
    c.effectGeneration = generation;
    c.effectValid = true;
    offsetX = ox;
    offsetY = oy;
    return out;
}
