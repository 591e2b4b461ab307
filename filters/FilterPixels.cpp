#include "filters/FilterPixels.h"

#include "filters/BlurKernels.h"
#include "filters/WorkPlaneCache.h"
#include "platform/Raster.h"

#include <cstdlib>
#include <cstring>

BitmapPtr CreateFilterOutput(int64_t width, int64_t height) {
    if (!BitmapSizeAllowed(width, height)) return nullptr;
    return Bitmap::Create(int(width), int(height));
}

BitmapPtr CopyFilterSource(const Bitmap& source) { return source.Clone(); }

void DrawSourceOver(Bitmap& target, const Bitmap& source, int x, int y) {
    ImageDrawOptions o;
    o.interpolation = Interpolation::Nearest;
    o.compositing = Compositing::SourceOver;
    o.antiAlias = false;
    DrawBitmapRect(RasterTarget::Of(target), source,
                   RectF{float(x), float(y), float(source.Width()), float(source.Height())}, o);
}

void* AllocateWorkPlaneBytes(size_t bytes) { return AcquireWorkPlaneBlock(bytes); }

void WorkPlaneFree::operator()(void* p) const { ReleaseWorkPlaneBlock(p); }

WorkPlane<uint8_t> AlphaWorkPlane(const Bitmap& source) {
    const int w = source.Width(), h = source.Height();
    WorkPlane<uint8_t> plane = MakeWorkPlane<uint8_t>(size_t(w) * size_t(h));
#pragma omp parallel for schedule(static) if (int64_t(w) * h > kFilterParallelPixels)
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = source.Row(y);
        uint8_t* d = plane.get() + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) d[x] = s[4 * x + 3];
    }
    return plane;
}

BitmapPtr MapColourBytes(const Bitmap& source, const uint8_t blue[256], const uint8_t green[256],
                         const uint8_t red[256]) {
    const int w = source.Width(), h = source.Height();
    BitmapPtr out = CreateFilterOutput(w, h);
    if (!out) return nullptr;
#pragma omp parallel for schedule(static) if (int64_t(w) * h > kFilterParallelPixels)
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = source.Row(y);
        uint8_t* d = out->Row(y);
        for (int x = 0; x < w; ++x, s += 4, d += 4) {
            d[0] = blue[s[0]];
            d[1] = green[s[1]];
            d[2] = red[s[2]];
            d[3] = s[3];
        }
    }
    return out;
}

void CopySourceInto(Bitmap& out, const Bitmap& source, int x, int y) {
#pragma omp parallel for schedule(static) if (int64_t(source.Width()) * source.Height() > kFilterParallelPixels)
    for (int j = 0; j < source.Height(); ++j)
        std::memcpy(out.Row(y + j) + size_t(x) * 4, source.Row(j), size_t(source.Width()) * 4);
}

BitmapPtr BlurWithBorder(const Bitmap& source, float radius, PremultipliedBlurKernel kernel, float& offsetX,
                         float& offsetY) {
    offsetX = offsetY = 0;
    const int w = source.Width(), h = source.Height();
    const float x = float(std::max(w, h)) * radius;
    const int r = x > 0 ? WholePixels(x) : 0;
    if (r < 1) return CopyFilterSource(source);
    BitmapPtr out = CreateFilterOutput(int64_t(w) + 2 * int64_t(r), int64_t(h) + 2 * int64_t(r));
    if (!out) return nullptr;
    CopySourceInto(*out, source, r, r);
    const size_t count = size_t(out->Width()) * size_t(out->Height());
    PremultiplyAlpha(out->Data(), count);
    kernel(out->Data(), out->Width(), out->Height(), r);
    UnpremultiplyAlpha(out->Data(), count);
    offsetX = offsetY = float(-r);
    return out;
}

BitmapPtr CopyBitmapRows(const Bitmap& source) {
    const int w = source.Width(), h = source.Height();
    BitmapPtr out = CreateFilterOutput(w, h);
    if (!out) return nullptr;
#pragma omp parallel for schedule(static) if (int64_t(w) * h > kFilterParallelPixels)
    for (int y = 0; y < h; ++y) std::memcpy(out->Row(y), source.Row(y), size_t(w) * 4);
    return out;
}

void BlendColourByPlane(Bitmap& out, const Bitmap& source, const uint8_t* plane, uint32_t colour) {
    const ColourBytes c(colour);
    const int w = source.Width(), h = source.Height();
#pragma omp parallel for schedule(static) if (int64_t(w) * h > kFilterParallelPixels)
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = source.Row(y);
        const uint8_t* p = plane + size_t(y) * size_t(w);
        uint8_t* d = out.Row(y);
        for (int x = 0; x < w; ++x, s += 4, d += 4) {
            const int P = p[x], Q = 255 - P;
            d[0] = uint8_t((c.b * P + s[0] * Q + 128) / 255);
            d[1] = uint8_t((c.g * P + s[1] * Q + 128) / 255);
            d[2] = uint8_t((c.r * P + s[2] * Q + 128) / 255);
            d[3] = s[3];
        }
    }
}

void FillColourWithPlaneAlpha(Bitmap& out, const uint8_t* plane, uint32_t colour, float opacity) {
    const uint32_t rgb = colour & 0x00FFFFFFu;
    const int w = out.Width(), h = out.Height();
#pragma omp parallel for schedule(static) if (int64_t(w) * h > kFilterParallelPixels)
    for (int y = 0; y < h; ++y) {
        const uint8_t* p = plane + size_t(y) * size_t(w);
        uint32_t* d = out.Row32(y);
        for (int x = 0; x < w; ++x)
            if (const uint8_t a = ScaleByOpacity(p[x], opacity)) d[x] = rgb | (uint32_t(a) << 24);
    }
}
