#include "scene/ObjectRender.h"

#include "filters/EffectRegistry.h"
#include "scene/CanvasDocument.h"
#include "scene/LayerBlend.h"
#include "scene/ObjectGeometry.h"
#include "scene/QuadWarp.h"

#include <algorithm>
#include <cmath>

bool ScaleDragActive = false;

BitmapPtr CanvasObject::GetBaseBitmap() { return kind == kObjectLightCone ? GetLightConeBitmap() : ComposeBitmap(); }

BitmapPtr CanvasObject::ComposeBitmap() {
    ObjectRenderCaches& c = caches;
    // A light cone's render lives in its own slot: this slot only ever holds
    // composed parts.
    if (ScaleDragActive && c.baseValid && c.base && HasCostlyRender()) return c.base;
    const int64_t W = RoundedPixelSide(width), H = RoundedPixelSide(height);
    if (c.baseValid && c.base && c.base->Width() == W && c.base->Height() == H) return c.base;
    if (!BitmapSizeAllowed(W, H)) return nullptr;
    BitmapPtr bmp = Bitmap::Create(int(W), int(H));
    if (!bmp) return nullptr;
    c.base = bmp;

    std::vector<ImagePart*> order;
    for (ImagePart& p : parts)
        if (p.visible) order.push_back(&p);
    std::stable_sort(order.begin(), order.end(), [](const ImagePart* a, const ImagePart* b) { return a->z < b->z; });
    const RasterTarget target = RasterTarget::Of(*bmp);
    // An image that exists but cannot be drawn (its size, memory) fails the
    // whole base image, so no picture is ever made with it silently missing;
    // bytes that are no image this program reads just draw nothing.
    auto fail = [&c] {
        c.base.reset();
        c.baseValid = false;
        return nullptr;
    };
    for (ImagePart* p : order) {
        BitmapPtr src = p->GetArgb();
        if (!src) {
            if (p->DecodeFailedToFit()) return fail();
            continue;
        }
        const float sx = float(W) / std::max(p->pixelWidth, 1.0f);
        const float sy = float(H) / std::max(p->pixelHeight, 1.0f);
        const float dw = p->displayWidth > 0 ? p->displayWidth : p->pixelWidth;
        const float dh = p->displayHeight > 0 ? p->displayHeight : p->pixelHeight;
        ImageDrawOptions opt;
        opt.interpolation = Interpolation::Bicubic;
        opt.compositing = Compositing::SourceOver;
        const ColorMatrix alpha = ColorMatrix::AlphaScale(std::isnan(p->opacity) ? 1.0f : std::clamp(p->opacity, 0.0f, 1.0f));
        opt.colorMatrix = &alpha;
        DrawBitmapRect(target, *src, RectF{sx * p->offsetX, sy * p->offsetY, sx * dw, sy * dh}, opt);
    }
    c.baseValid = true;
    return bmp;
}

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

BitmapPtr GetWarpBitmap(CanvasObject& o, const BitmapPtr& baseBitmap) {
    ObjectRenderCaches& c = o.caches;
    // Keyed on the quad and on the base image it was made from.
    if (c.warpValid && c.warp && c.warpQuad.BitEquals(o.warp) && c.warpSource == baseBitmap) return c.warp;
    float ox = 0, oy = 0;
    BitmapPtr w = baseBitmap ? WarpBitmapToQuad(baseBitmap, o.warp, ox, oy) : nullptr;
    if (!w) {
        // A stale warp of another quad must not be shown in its place.
        c.warp.reset();
        c.warpSource.reset();
        c.warpValid = false;
        return nullptr;
    }
    c.warp = w;
    c.warpQuad = o.warp;
    c.warpSource = baseBitmap;
    c.warpOriginX = ox;
    c.warpOriginY = oy;
    c.warpValid = true;
    return w;
}

std::string ObjectLabel(const CanvasObject& o) { return "\"" + (o.name.empty() ? o.id : o.name) + "\""; }

std::string ObjectRenderFailureText(const CanvasObject& o) {
    if (!BitmapSizeAllowed(RoundedPixelSide(o.width), RoundedPixelSide(o.height)))
        return "The object " + ObjectLabel(o) + " is too large to render.";
    for (const ImagePart& p : o.parts)
        if (p.visible && p.DecodeFailedToFit() && p.decodeError == DecodeError::kTooLarge)
            return "An image of the object " + ObjectLabel(o) + " is too large to draw. " +
                   DecodeErrorText(DecodeError::kTooLarge);
    return "Not enough memory to render the object " + ObjectLabel(o) + ".";
}

std::string UnshowableObjectsWarning(CanvasDocument& scene, bool keepShownImages) {
    std::vector<std::string> labels;
    for (Layer& layer : scene.layers)
        for (CanvasObject& o : layer.objects) {
            bool unshowable = false;
            for (ImagePart& p : o.parts) {
                const bool had = p.decodeTried;
                unshowable = p.CannotBeShown() || unshowable;
                // A failed decode is remembered; a decoded image is let go
                // unless the display is about to decode it anyway.
                const bool shown = keepShownImages && layer.visible && o.visible && p.visible;
                if (!had && p.decoded && !shown) p.InvalidateDecoded();
            }
            if (unshowable) labels.push_back(ObjectLabel(o));
        }
    if (labels.empty()) return {};
    if (labels.size() == 1)
        return "The object " + labels.front() +
               " holds an image that cannot be shown (damaged, or not a PNG, JPEG or BMP image). It is kept in the "
               "project as it is and draws nothing.";
    return "These objects hold images that cannot be shown (damaged, or not a PNG, JPEG or BMP images). They are "
           "kept in the project as they are and draw nothing:" +
           [&] {
               std::string names;
               for (const std::string& l : labels) names += "\n" + l;
               return names;
           }();
}

void CompositeRenderer::NoteFailure(const CanvasObject& o, const std::string& text) {
    failed = true;
    if (failure.empty()) failure = text.empty() ? ObjectRenderFailureText(o) : text;
}

CompositeRenderer::CompositeRenderer(CompositeSurface& surface) : target(RasterTarget::Of(surface)) {}

namespace {

// The renderer's filtering, edges and world transform with the opacity
// clamped to [0, 1] (NaN draws nothing).
ImageDrawOptions RendererDrawOptions(const CompositeRenderer& r, float opacity) {
    ImageDrawOptions opt;
    opt.interpolation = r.interpolation;
    opt.antiAlias = r.antiAlias;
    opt.opacity = std::isnan(opacity) ? 0.0f : std::clamp(opacity, 0.0f, 1.0f);
    opt.world = &r.world;
    return opt;
}

}  // namespace

void DrawBitmapWithOpacity(CompositeRenderer& r, const Bitmap& bitmap, float x, float y, float w, float h,
                           float opacity) {
    const ImageDrawOptions opt = RendererDrawOptions(r, opacity);
    if (!DrawBitmapRect(r.target, bitmap, RectF{x, y, w, h}, opt)) r.failed = true;
}

void DrawBitmapToPoints(CompositeRenderer& r, const Bitmap& bitmap, PointF upperLeft, PointF upperRight,
                        PointF lowerLeft, float opacity) {
    const ImageDrawOptions opt = RendererDrawOptions(r, opacity);
    const RectF src{0, 0, float(bitmap.Width()), float(bitmap.Height())};
    if (!DrawBitmapToPoints(r.target, bitmap, src, upperLeft, upperRight, lowerLeft, opt)) r.failed = true;
}

// Straight alpha on both sides: only the target's alpha byte is scaled,
// (t * s + 127) / 255.
bool ApplyClipBaseAlpha(Bitmap& target, float originX, float originY, CanvasObject& base) {
    BitmapPtr coverage;
    double offX = 0, offY = 0, a = 0, b = 0;
    BitmapPtr baseBitmap = base.GetBaseBitmap();
    if (!base.warp.IsIdentity()) {
        // The warp is made here when the base's own draw did not make it (a
        // base at opacity 0 still clips), so the clip never depends on order.
        BitmapPtr w = GetWarpBitmap(base, baseBitmap);
        if (w) {
            coverage = w;
            offX = base.caches.warpOriginX;
            offY = base.caches.warpOriginY;
            a = w->Width();
            b = w->Height();
        }
    }
    if (!coverage) {
        coverage = baseBitmap;
        a = base.width;
        b = base.height;
    }
    if (!coverage || coverage->Width() < 1 || coverage->Height() < 1 || !(a > 0) || !(b > 0)) return false;
    if (target.Width() < 1 || target.Height() < 1) return true;

    const double theta = double(DegreesToRadians(base.rotation));
    const double ct = std::cos(theta), st = std::sin(theta);
    const double bcx = double(base.x) + base.width / 2.0, bcy = double(base.y) + base.height / 2.0;
    const double hw = base.width / 2.0, hh = base.height / 2.0;
    const int cw = coverage->Width(), ch = coverage->Height();
    const int tw = target.Width(), th = target.Height();
    const Bitmap& cov = *coverage;
#pragma omp parallel for schedule(static)
    for (int i = 0; i < th; ++i) {  // ClipBaseAlphaRows
        uint32_t* row = target.Row32(i);
        const double dy = double(i) + originY + 0.5 - bcy;
        for (int j = 0; j < tw; ++j) {
            const uint32_t t = row[j] >> 24;
            if (t == 0) continue;
            const double dx = double(j) + originX + 0.5 - bcx;
            const double u = (dx * ct + dy * st + hw - offX) / a;
            const double v = (dy * ct - dx * st + hh - offY) / b;
            uint32_t na = 0;
            if (u >= 0 && u <= 1 && v >= 0 && v <= 1) {
                const int px = std::clamp(int(cw * u), 0, cw - 1);
                const int py = std::clamp(int(ch * v), 0, ch - 1);
                const uint32_t s = cov.Pixel(px, py) >> 24;
                na = s == 0 ? 0 : (t * s + 127) / 255;
            }
            row[j] = (row[j] & 0x00FFFFFFu) | (na << 24);
        }
    }
    return true;
}

void CompositeRenderer::DrawObject(CompositeSurface& surface, CanvasObject& o, CanvasObject* base) {
    if (!o.visible || !(o.opacity > 0) || (o.clipToLayerBelow && !base)) return;
    double x = o.x, y = o.y, w = o.width, h = o.height;
    const double cx = x + w / 2, cy = y + h / 2;
    BitmapPtr cur = o.GetBaseBitmap();
    if (!cur) {
        NoteFailure(o);
        return;
    }

    double sx = 1, sy = 1;
    if (ScaleDragActive && o.HasCostlyRender()) {
        const ObjectRenderCaches& c = o.caches;
        const bool light = o.kind == kObjectLightCone;
        const bool valid = light ? c.lightValid : c.baseValid;
        const Bitmap* frozen = (light ? c.light : c.base).get();
        if (valid && frozen) {
            sx = w / frozen->Width();
            sy = h / frozen->Height();
        }
    }
    if (!o.warp.IsIdentity()) {
        if (BitmapPtr warped = GetWarpBitmap(o, cur)) {
            x += sx * o.caches.warpOriginX;
            y += sy * o.caches.warpOriginY;
            w = warped->Width() * sx;
            h = warped->Height() * sy;
            cur = warped;
        } else {
            NoteFailure(o, "The object " + ObjectLabel(o) +
                               " could not be warped: the warped image is too large or memory ran out.");
        }
    }
    if (BitmapPtr masked = o.ApplyMaskPlane(cur)) {
        // The mask plane gives its input back only when it does not apply or
        // memory ran out.
        if (masked == cur && o.kind == kObjectBitmap && o.HasUsableMask()) NoteFailure(o);
        cur = masked;
    }
    float ex = 0, ey = 0;
    BitmapPtr filtered = o.GetEffectBitmap(cur, ex, ey);
    if (filtered && filtered != cur) {
        x += sx * ex;
        y += sy * ey;
        w = filtered->Width() * sx;
        h = filtered->Height() * sy;
        cur = filtered;
    }

    if (o.blendMode == 0 && !o.clipToLayerBelow) {
        const Affine saved = world;
        world = saved.After(Affine::RotationAbout(o.rotation, cx, cy));
        DrawBitmapWithOpacity(*this, *cur, float(x), float(y), float(w), float(h), o.opacity);
        world = saved;
        return;
    }

    // Blended or clipped: the rotated object goes into a temporary layer
    // bitmap covering its bounds plus one pixel, limited to the surface so an
    // object far larger than the canvas costs no more than the canvas.
    const double theta = double(DegreesToRadians(o.rotation));
    const double ct = std::cos(theta), st = std::sin(theta);
    const RotatedBox box = RotatedRectBox(x, y, w, h, cx, cy, ct, st);
    if (!box.IsFinite()) return;
    const double L = std::floor(box.minX) - 1, T = std::floor(box.minY) - 1;
    const double R = std::ceil(box.maxX) + 1, B = std::ceil(box.maxY) + 1;
    if (R - L <= 0 || B - T <= 0) return;
    // Photo-Bash Blend blurs the layer itself, so it keeps the layer beyond
    // the surface edge that its largest radius can reach.
    const double margin = o.blendMode == 45 ? 256 : 0;
    const double cl = std::max(L, -margin), ctop = std::max(T, -margin);
    const double cr = std::min(R, surface.width + margin), cb = std::min(B, surface.height + margin);
    if (cr - cl <= 0 || cb - ctop <= 0) return;
    const int64_t tw = int64_t(cr - cl), th = int64_t(cb - ctop);
    if (!BitmapSizeAllowed(tw, th)) {
        NoteFailure(o);
        return;
    }
    BitmapPtr layer = Bitmap::Create(int(tw), int(th));
    if (!layer) {
        NoteFailure(o);
        return;
    }
    const Affine place = Affine::Translation(-cl, -ctop).After(Affine::RotationAbout(o.rotation, cx, cy));
    ImageDrawOptions opt;
    opt.interpolation = Interpolation::Bicubic;
    opt.antiAlias = true;
    opt.world = &place;
    if (!DrawBitmapRect(RasterTarget::Of(*layer), *cur, RectF{float(x), float(y), float(w), float(h)}, opt)) {
        failed = true;
        return;
    }
    if (o.clipToLayerBelow && !ApplyClipBaseAlpha(*layer, float(cl), float(ctop), *base)) {
        if (!base->GetBaseBitmap()) NoteFailure(*base);
        return;
    }
    DrawLayerWithBlend(surface, *layer, float(cl), float(ctop), o.blendMode, o.opacity, o.photoBash);
}
