#include "app/LayerListThumbnails.h"

#include "platform/Raster.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int kSide = 90;

void Checkerboard(Bitmap& b, int cell) {
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            const bool light = ((x % (2 * cell)) < cell) == ((y % (2 * cell)) < cell);
            b.SetPixel(x, y, light ? 0xFF4E5460u : 0xFF3C424Cu);
        }
}

void DrawFitted(Bitmap& target, const Bitmap& src) {
    const float side = float(target.Width());
    const float f = std::min(side / std::max(1, src.Height()), side / std::max(1, src.Width()));
    const float w = f * src.Width(), h = f * src.Height();
    DrawBitmapRect(RasterTarget::Of(target), src, {(side - w) / 2, (side - h) / 2, w, h});
}
}  // namespace

void UpdateObjectThumbnails(CanvasObject& o, const ThumbnailSessionSource& session, int side) {
    ObjectRenderCaches& c = o.caches;
    side = std::clamp(side, 1, 16 * kSide);
    if (c.thumbsValid && c.thumb && c.thumbDimmed && c.thumb->Width() == side) return;
    BitmapPtr thumb = Bitmap::Create(side, side), dim = Bitmap::Create(side, side);
    if (!thumb || !dim) return;
    if (o.kind == kObjectLightCone) ClearTarget(RasterTarget::Of(*thumb), 0xFF000000u);
    else Checkerboard(*thumb, std::max(1, (6 * side + kSide / 2) / kSide));
    BitmapPtr source;
    if (session.pixels) {
        // The painting in progress: the object's rectangle of the session surface.
        const int x0 = int(std::floor(o.x)), y0 = int(std::floor(o.y));
        const int w = std::max(1, int(std::lround(o.width))), h = std::max(1, int(std::lround(o.height)));
        source = Bitmap::Create(w, h);
        if (source) {
            ClearTarget(RasterTarget::Of(*source), 0);
            for (int y = 0; y < h; ++y) {
                const int sy = y0 + y;
                if (sy < 0 || sy >= session.height) continue;
                for (int x = 0; x < w; ++x) {
                    const int sx = x0 + x;
                    if (sx < 0 || sx >= session.width) continue;
                    source->SetPixel(x, y, reinterpret_cast<const uint32_t*>(session.pixels + sy * session.stride)[sx]);
                }
            }
        }
    } else {
        if (o.kind == kObjectLightCone) source = o.GetLightConeBitmap();
        if (!source) source = o.ComposeBitmap();
    }
    if (source && source->Width() > 0 && source->Height() > 0) DrawFitted(*thumb, *source);
    ClearTarget(RasterTarget::Of(*dim), 0);
    ColorMatrix m;
    const float rows[5][5] = {{0.3f, 0.3f, 0.3f, 0, 0}, {0.59f, 0.59f, 0.59f, 0, 0}, {0.11f, 0.11f, 0.11f, 0, 0},
                              {0, 0, 0, 0.45f, 0}, {0.12f, 0.12f, 0.14f, 0, 1}};
    std::copy(&rows[0][0], &rows[0][0] + 25, &m.m[0][0]);
    ImageDrawOptions opt;
    opt.colorMatrix = &m;
    DrawBitmapRect(RasterTarget::Of(*dim), *thumb, {0, 0, float(side), float(side)}, opt);
    c.thumb = thumb;
    c.thumbDimmed = dim;
    c.thumbsValid = true;
}

BitmapPtr MaskThumbnail(CanvasObject& o) {
    ObjectRenderCaches& c = o.caches;
    if (c.thumbsValid && c.maskThumb) return c.maskThumb;
    if (!o.HasUsableMask()) return nullptr;
    BitmapPtr b = Bitmap::Create(o.maskWidth, o.maskHeight);
    if (!b) return nullptr;
    for (int y = 0; y < o.maskHeight; ++y)
        for (int x = 0; x < o.maskWidth; ++x) {
            const uint32_t v = o.maskPixels[size_t(y) * size_t(o.maskWidth) + size_t(x)];
            b->SetPixel(x, y, 0xFF000000u | v << 16 | v << 8 | v);
        }
    c.maskThumb = b;
    return b;
}
