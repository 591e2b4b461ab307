#include "scene/SceneCompose.h"

#include "scene/BlendModes.h"
#include "scene/CanvasDocument.h"
#include "scene/ObjectGeometry.h"
#include "scene/ObjectRender.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr uint8_t kModeDissolve = 2;
constexpr uint8_t kModePhotoBash = 45;

struct Frame {
    double cx, cy, ct, st, w, h;
};

Frame FrameOf(const CanvasObject& o) {
    const double theta = double(DegreesToRadians(o.rotation));
    return {double(o.x) + o.width / 2.0, double(o.y) + o.height / 2.0, std::cos(theta), std::sin(theta),
            double(o.width), double(o.height)};
}

// Canvas point to the object's local frame; false outside 0..w x 0..h.
bool ToLocal(const Frame& f, double px, double py, double& lx, double& ly) {
    const double dx = px - f.cx, dy = py - f.cy;
    lx = dx * f.ct + dy * f.st + f.w / 2;
    ly = dy * f.ct - dx * f.st + f.h / 2;
    return lx >= 0 && lx <= f.w && ly >= 0 && ly <= f.h;
}

uint8_t ToByte(float v) {
    if (!(v > 0)) return 0;
    if (v >= 1) return 255;
    return uint8_t(v * 255.0f + 0.5f);
}

}  // namespace

namespace {

// The sampler of FloatImage::SampleBilinear, inlined into the row loop. Most
// samples have all four texels inside the image and skip the bounds tests.
inline FloatImage::Sample SampleAt(const FloatImage& im, float x, float y) {
    FloatImage::Sample s;
    const float xs = x - 0.5f, ys = y - 0.5f;
    const float fx0 = std::floor(xs), fy0 = std::floor(ys);
    // Both texel columns (or rows) outside, or NaN: nothing to sample.
    if (!(fx0 >= -1.0f && fy0 >= -1.0f && fx0 < float(im.width) && fy0 < float(im.height))) return s;
    const int x0 = int(fx0), y0 = int(fy0);
    const float fx = xs - fx0, fy = ys - fy0;
    const float w00 = (1 - fx) * (1 - fy), w10 = fx * (1 - fy), w01 = (1 - fx) * fy, w11 = fx * fy;
    const size_t rowFloats = size_t(im.width) * 4;
    float r = 0, g = 0, b = 0, a = 0;
    auto add = [&](const float* p, float w) {
        const float wa = w * p[3];
        r += wa * p[0];
        g += wa * p[1];
        b += wa * p[2];
        a += wa;
    };
    if (x0 >= 0 && y0 >= 0 && x0 + 1 < im.width && y0 + 1 < im.height) {
        const float* p = im.pixels.data() + size_t(y0) * rowFloats + size_t(x0) * 4;
        add(p, w00);
        add(p + 4, w10);
        add(p + rowFloats, w01);
        add(p + rowFloats + 4, w11);
    } else {
        const int tx[4] = {x0, x0 + 1, x0, x0 + 1}, ty[4] = {y0, y0, y0 + 1, y0 + 1};
        const float wts[4] = {w00, w10, w01, w11};
        for (int k = 0; k < 4; ++k) {
            if (tx[k] < 0 || ty[k] < 0 || tx[k] >= im.width || ty[k] >= im.height) continue;
            add(im.pixels.data() + size_t(ty[k]) * rowFloats + size_t(tx[k]) * 4, wts[k]);
        }
    }
    if (a > 0) {
        const float inv = 1.0f / a;
        s = {r * inv, g * inv, b * inv, a};
    }
    return s;
}

}  // namespace

FloatImage::Sample FloatImage::SampleBilinear(float x, float y) const { return SampleAt(*this, x, y); }

bool CanvasObject::RenderToFloat(FloatImage& out) {
    BitmapPtr bmp = GetBaseBitmap();
    if (!bmp) return false;
    const int W = bmp->Width(), H = bmp->Height();
    if (W <= 0 || H <= 0) return false;
    try {
        out.pixels.assign(size_t(W) * size_t(H) * 4, 0.0f);
    } catch (const std::bad_alloc&) {
        out.pixels.clear();
        return false;
    }
    // The base image's straight bytes, unchanged: a plain copy is the
    // nearest-neighbour, source-copy draw of the image onto itself.
    constexpr float k = 1.0f / 255.0f;
#pragma omp parallel for schedule(static)
    for (int y = 0; y < H; ++y) {
        const uint8_t* src = bmp->Row(y);
        float* dst = out.pixels.data() + size_t(y) * size_t(W) * 4;
        for (int x = 0; x < W; ++x) {
            dst[4 * x + 0] = src[4 * x + 2] * k;
            dst[4 * x + 1] = src[4 * x + 1] * k;
            dst[4 * x + 2] = src[4 * x + 0] * k;
            dst[4 * x + 3] = src[4 * x + 3] * k;
        }
    }
    out.width = W;
    out.height = H;
    out.offsetX = out.offsetY = 0;
    out.objectWidth = width;
    out.objectHeight = height;
    return true;
}

void SceneComposeLayers(const std::vector<CanvasObject*>& objects, uint32_t canvasColour, float originX,
                        float originY, const ComposeOutput& out) {
    if (!out.pixels || out.width <= 0 || out.height <= 0 || out.rowPitch < int64_t(out.width) * 4) return;
    // The float accumulator is 16 bytes a pixel: sizes beyond the bitmap caps are refused.
    if (!BitmapSizeAllowed(out.width, out.height)) return;
    const int OW = out.width, OH = out.height;
    std::vector<float> acc;
    try {
        acc.resize(size_t(OW) * size_t(OH) * 4);
    } catch (const std::bad_alloc&) {
        return;
    }
    const float bg[4] = {float((canvasColour >> 16) & 0xFF) / 255.0f, float((canvasColour >> 8) & 0xFF) / 255.0f,
                         float(canvasColour & 0xFF) / 255.0f, float(canvasColour >> 24) / 255.0f};
#pragma omp parallel for schedule(static)
    for (int r = 0; r < OH; ++r) {
        float* p = acc.data() + size_t(r) * size_t(OW) * 4;
        for (int c = 0; c < OW; ++c) std::copy(bg, bg + 4, p + 4 * c);
    }

    FloatImage img, baseImg;
    for (size_t i = 0; i < objects.size(); ++i) {
        CanvasObject& o = *objects[i];
        if (!(o.opacity > 0) || !(o.width > 0) || !(o.height > 0)) continue;
        CanvasObject* base = nullptr;
        if (o.clipToLayerBelow) {
            for (size_t k = i; k-- > 0;) {
                if (!objects[k]->clipToLayerBelow) {
                    base = objects[k];
                    break;
                }
            }
            if (!base || !base->RenderToFloat(baseImg)) continue;
        }
        if (!o.RenderToFloat(img)) continue;

        const Frame f = FrameOf(o);
        const RotatedBox box = RotatedRectBox(o.x, o.y, f.w, f.h, f.cx, f.cy, f.ct, f.st);
        if (!box.IsFinite()) continue;
        // Clamped in doubles before any integer cast.
        const int x0 = int(std::clamp(std::floor(box.minX - originX), 0.0, double(OW)));
        const int y0 = int(std::clamp(std::floor(box.minY - originY), 0.0, double(OH)));
        const int x1 = int(std::clamp(std::ceil(box.maxX - originX), 0.0, double(OW)));
        const int y1 = int(std::clamp(std::ceil(box.maxY - originY), 0.0, double(OH)));
        if (x0 >= x1 || y0 >= y1) continue;

        const bool useMask = o.HasUsableMask();
        const int mw = o.maskWidth, mh = o.maskHeight;
        const uint8_t* mask = o.maskPixels.data();
        const float opacity = std::min(o.opacity, 1.0f);
        const uint8_t mode = (o.blendMode == kModeDissolve || o.blendMode == kModePhotoBash) ? 0 : o.blendMode;
        const Frame bf = base ? FrameOf(*base) : Frame{};
        const FloatImage& im = img;
        const FloatImage& bim = baseImg;
#pragma omp parallel for schedule(static)
        for (int r = y0; r < y1; ++r) {  // ComposeObjectsRows
            float* row = acc.data() + size_t(r) * size_t(OW) * 4;
            const double py = double(r) + originY + 0.5;
            for (int c = x0; c < x1; ++c) {
                const double px = double(c) + originX + 0.5;
                double lx, ly;
                if (!ToLocal(f, px, py, lx, ly)) continue;
                const FloatImage::Sample s = SampleAt(im, float(lx) + im.offsetX, float(ly) + im.offsetY);
                float A = s.a;
                if (A <= 0) continue;
                if (useMask) {
                    const int my = std::clamp(int(ly / f.h * mh), 0, mh - 1);
                    const int mx = std::clamp(int(lx / f.w * mw), 0, mw - 1);
                    A *= float(mask[size_t(my) * size_t(mw) + size_t(mx)]) / 255.0f;
                    if (A <= 0) continue;
                }
                A *= opacity;
                if (A <= 0) continue;
                if (base) {
                    double bx, by;
                    if (!ToLocal(bf, px, py, bx, by)) continue;
                    A *= SampleAt(bim, float(bx) + bim.offsetX, float(by) + bim.offsetY).a;
                    if (A <= 0) continue;
                }
                float* d = row + 4 * c;
                float rr, rg, rb, ra;
                CompositePixelWithBlend(rr, rg, rb, ra, d[0], d[1], d[2], d[3], s.r, s.g, s.b, A, mode);
                d[0] = rr;
                d[1] = rg;
                d[2] = rb;
                d[3] = ra;
            }
        }
    }

#pragma omp parallel for schedule(static)
    for (int r = 0; r < OH; ++r) {  // FloatToBgraRows
        const float* p = acc.data() + size_t(r) * size_t(OW) * 4;
        uint8_t* d = out.pixels + size_t(r) * size_t(out.rowPitch);
        for (int c = 0; c < OW; ++c) {
            d[4 * c + 0] = ToByte(p[4 * c + 2]);
            d[4 * c + 1] = ToByte(p[4 * c + 1]);
            d[4 * c + 2] = ToByte(p[4 * c + 0]);
            d[4 * c + 3] = ToByte(p[4 * c + 3]);
        }
    }
}

void scene_compose(CanvasDocument& scene, const ComposeOutput& out) {
    std::vector<CanvasObject*> list;
    for (const Drawable& d : CompositeRenderer::CollectDrawables(scene)) list.push_back(d.object);
    SceneComposeLayers(list, scene.canvasColour, 0, 0, out);
}
