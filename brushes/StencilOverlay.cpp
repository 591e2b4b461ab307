#include "brushes/StencilOverlay.h"

#include "brushes/BitmapPaintSession.h"
#include "brushes/StencilLibraryStore.h"
#include "filters/BlurKernels.h"
#include "platform/CpuLevel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

constexpr float kDegToRad = 0.017453292f;
constexpr float kRadToDeg = 57.295776f;

StencilOverlay* currentOverlay = nullptr;

// The stencil brush reads the application's overlay; a pending rebuild is
// done first so a stroke never samples a stale placement, and the low-pass
// copy is made when the stroke transfers detail.
const StencilImprintInput* CurrentStencilImprint() {
    if (!currentOverlay) return nullptr;
    currentOverlay->Refresh();
    currentOverlay->EnsureDetailCopy();
    return &currentOverlay->imprint;
}

}  // namespace

void SetCurrentStencilOverlay(StencilOverlay* overlay) {
    currentOverlay = overlay;
    BitmapPaintSession::stencilSource = overlay ? &CurrentStencilImprint : nullptr;
}

StencilOverlay* GetCurrentStencilOverlay() { return currentOverlay; }

// ---------------------------------------------------------------- gizmo

RectI StencilGizmo::FrameRect(const RectI& client) {
    const RectI inset{client.left + 80, client.top + 80, client.right - 80, client.bottom - 80};
    if (inset.IsEmpty()) return {};
    const int side = std::min(inset.Width(), inset.Height());
    if (side < 64) return {};
    const int half = side / 2;
    const int cx = inset.left + inset.Width() / 2, cy = inset.top + inset.Height() / 2;
    return {cx - half, cy - half, cx + half, cy + half};
}

PointF StencilGizmo::Center(const RectI& f) {
    return {float(f.left) + float(f.right - f.left) / 2.0f, float(f.top) + float(f.bottom - f.top) / 2.0f};
}

StencilGizmoHit StencilGizmo::HitTest(const RectI& f, PointF p) {
    if (f.IsEmpty()) return kGizmoNone;
    const float l = float(f.left), t = float(f.top), r = float(f.right), b = float(f.bottom);
    const PointF c = Center(f);
    auto near = [&](float x, float y, float rx, float ry) { return std::fabs(p.x - x) <= rx && std::fabs(p.y - y) <= ry; };
    if (p.x >= r - 62 && p.x < r - 12 && p.y >= b - 62 && p.y < b - 12) return kGizmoMove;
    if (near(c.x, t - 34, 8.4f, 8.4f)) return kGizmoRotate;
    if (near(l, t, 10.8f, 10.8f)) return kGizmoCornerTopLeft;
    if (near(r, t, 10.8f, 10.8f)) return kGizmoCornerTopRight;
    if (near(r, b, 10.8f, 10.8f)) return kGizmoCornerBottomRight;
    if (near(l, b, 10.8f, 10.8f)) return kGizmoCornerBottomLeft;
    if (near(c.x, t, 13.75f, 8.0f)) return kGizmoEdgeTop;
    if (near(r, c.y, 8.0f, 13.75f)) return kGizmoEdgeRight;
    if (near(c.x, b, 13.75f, 8.0f)) return kGizmoEdgeBottom;
    if (near(l, c.y, 8.0f, 13.75f)) return kGizmoEdgeLeft;
    return kGizmoNone;
}

// ---------------------------------------------------------------- overlay

StencilOverlay::StencilOverlay(StencilLibraryStore* store) : store_(store) {}

StencilLibraryStore& StencilOverlay::Store() const { return store_ ? *store_ : StencilLibraryStore::Instance(); }

BitmapPtr StencilOverlay::SourceImage() const { return HasStencil() ? Store().LoadEntryBitmap(activeIndex) : nullptr; }

void StencilOverlay::DropPlaced() {
    imprint.placedBitmap.reset();
    imprint.detailPixels.clear();
    imprint.detailPixels.shrink_to_fit();
}

Affine StencilOverlay::ImageToCanvas(int w, int h) const {
    const float a = transform.rotation * kDegToRad;
    const double cs = std::cos(a), sn = std::sin(a);
    const double sx = std::max(0.01f, transform.scale * transform.stretchX);
    const double sy = std::max(0.01f, transform.scale * transform.stretchY);
    Affine m{cs * sx, sn * sx, -sn * sy, cs * sy, 0, 0};
    m.tx = transform.centerX - m.a * w / 2.0 - m.c * h / 2.0;
    m.ty = transform.centerY - m.b * w / 2.0 - m.d * h / 2.0;
    return m;
}

void StencilOverlay::SelectStencil(int index) {
    StencilLibraryStore& store = Store();
    if (index < 0 || size_t(index) >= store.entries.size()) {
        activeIndex = -1;
        activePath.clear();
        DropPlaced();
        placeError.clear();
        dirty = false;
        return;
    }
    BitmapPtr image = store.LoadEntryBitmap(index);
    if (!image) return;
    activeIndex = index;
    activePath = store.entries[size_t(index)].path;
    transform.scale = 1;
    transform.rotation = 0;
    transform.stretchX = transform.stretchY = 1;
    if (transform.centerX == 0 && transform.centerY == 0) {
        transform.centerX = float(image->Width()) / 2;
        transform.centerY = float(image->Height()) / 2;
    }
    dirty = true;
    Rebuild();
    dirty = false;
}

void StencilOverlay::FindActiveAgain() {
    if (!HasStencil()) return;
    const std::vector<StencilEntry>& entries = Store().entries;
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].path == activePath) {
            activeIndex = int32_t(i);
            return;
        }
    SelectStencil(-1);
}

void StencilOverlay::ResetTransform(std::optional<PointF> canvasSize) {
    transform.scale = 1;
    transform.rotation = 0;
    transform.stretchX = transform.stretchY = 1;
    if (canvasSize) {
        transform.centerX = canvasSize->x / 2;
        transform.centerY = canvasSize->y / 2;
        canvasW_ = canvasSize->x;
        canvasH_ = canvasSize->y;
    }
    dirty = true;
    if (HasStencil()) Rebuild();
    else DropPlaced();
    dirty = false;
}

void StencilOverlay::SetCanvasSize(float width, float height) {
    if (width == canvasW_ && height == canvasH_) return;
    canvasW_ = width;
    canvasH_ = height;
    dirty = true;
}

void StencilOverlay::Refresh() {
    if (!dirty) return;
    if (HasStencil()) Rebuild();
    else DropPlaced();
    dirty = false;
}

namespace {

// Cubic convolution (a = -0.75, as OpenCV's bicubic) at 256 sub-pixel steps:
// integer taps in 1/16384 that sum to exactly 16384 (whole-pixel positions
// copy), and the same as floats for the vertical pass and the edge path.
// The SIMD path reads them already laid out: horizontal taps as (w0, w1) and
// (w2, w3) pairs for the pairwise multiply-add, vertical taps broadcast and
// scaled by 1/16384.
struct CubicWeights {
    float f[256][4];
    alignas(16) int16_t w01[256][8];
    alignas(16) int16_t w23[256][8];
    alignas(32) float wy[256][4][4];
};

const CubicWeights& Cubic() {
    static const CubicWeights* table = [] {
        auto* c = new CubicWeights{};
        constexpr double A = -0.75;
        for (int k = 0; k < 256; ++k) {
            const double t = k / 256.0;
            double w[4];
            w[0] = ((A * (t + 1) - 5 * A) * (t + 1) + 8 * A) * (t + 1) - 4 * A;
            w[1] = ((A + 2) * t - (A + 3)) * t * t + 1;
            w[2] = ((A + 2) * (1 - t) - (A + 3)) * (1 - t) * (1 - t) + 1;
            w[3] = 1 - w[0] - w[1] - w[2];
            int16_t iw[4];
            int sum = 0;
            for (int j = 0; j < 4; ++j) {
                c->f[k][j] = float(w[j]);
                iw[j] = int16_t(std::lround(w[j] * 16384));
                sum += iw[j];
            }
            iw[1] = int16_t(iw[1] + 16384 - sum);
            for (int i = 0; i < 8; i += 2) {
                c->w01[k][i] = iw[0], c->w01[k][i + 1] = iw[1];
                c->w23[k][i] = iw[2], c->w23[k][i + 1] = iw[3];
            }
            for (int j = 0; j < 4; ++j)
                for (int i = 0; i < 4; ++i) c->wy[k][j][i] = float(w[j] / 16384.0);
        }
        return c;
    }();
    return *table;
}

#if defined(__SSE2__)
// One pixel from the 4 x 4 premultiplied texels at r: rows of four pixels
// are multiplied pairwise by the horizontal taps, then summed in floats by
// the vertical ones; colour is kept at or below alpha.
inline uint32_t CubicPixelSse2(const uint8_t* r, size_t stride, int fx, int fy, const CubicWeights& cw) {
    const __m128i w01 = _mm_load_si128(reinterpret_cast<const __m128i*>(cw.w01[fx]));
    const __m128i w23 = _mm_load_si128(reinterpret_cast<const __m128i*>(cw.w23[fx]));
    const __m128i zero = _mm_setzero_si128();
    __m128 sum = _mm_setzero_ps();
    for (int j = 0; j < 4; ++j, r += stride) {
        const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r));
        const __m128i next = _mm_srli_si128(q, 4);
        const __m128i p01 = _mm_unpacklo_epi8(_mm_unpacklo_epi8(q, next), zero);
        const __m128i p23 = _mm_unpacklo_epi8(_mm_unpackhi_epi8(q, next), zero);
        const __m128i h = _mm_add_epi32(_mm_madd_epi16(p01, w01), _mm_madd_epi16(p23, w23));
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_cvtepi32_ps(h), _mm_load_ps(cw.wy[fy][j])));
    }
    const __m128i v = _mm_cvtps_epi32(sum);
    __m128i v16 = _mm_packs_epi32(v, v);
    v16 = _mm_min_epi16(v16, _mm_shufflelo_epi16(v16, 0xFF));
    return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(v16, v16)));
}
#endif

// The inverse map of one placed row: source sample position (pixel centres
// on integers) u = u0 + du X, v = v0 + dv X for the placed pixel X.
struct WarpRowMap {
    double u0, du, v0, dv;
};

// Placed pixels [xa, xb) whose 4 x 4 footprint can touch the source; all
// others are transparent.
void FootprintSpan(const WarpRowMap& m, int srcW, int srcH, int width, int& xa, int& xb) {
    double lo = 0, hi = width;
    auto limit = [&](double c, double slope, double min, double max) {
        if (std::fabs(slope) < 1e-12) {
            if (c < min || c >= max) hi = lo;
            return;
        }
        double a = (min - c) / slope, b = (max - c) / slope;
        if (a > b) std::swap(a, b);
        lo = std::max(lo, std::floor(a) - 1);
        hi = std::min(hi, std::ceil(b) + 1);
    };
    limit(m.u0, m.du, -3, srcW + 2);
    limit(m.v0, m.dv, -3, srcH + 2);
    xa = hi > lo ? int(std::max(0.0, lo)) : 0;
    xb = hi > lo ? int(std::min(double(width), hi)) : 0;
}

// A pixel whose 4 x 4 footprint reaches past the source's edges: taps
// outside it are transparent.
void EdgePixel(const uint8_t* src, size_t stride, int srcW, int srcH, int ix, int iy, int fx, int fy,
               const CubicWeights& cw, uint8_t* o) {
    float acc[4] = {0, 0, 0, 0};
    for (int j = 0; j < 4; ++j) {
        const int sy = iy - 1 + j;
        if (sy < 0 || sy >= srcH) continue;
        const uint8_t* row = src + size_t(sy) * stride;
        for (int i = 0; i < 4; ++i) {
            const int sx = ix - 1 + i;
            if (sx < 0 || sx >= srcW) continue;
            const float w = cw.f[fy][j] * cw.f[fx][i];
            for (int c = 0; c < 4; ++c) acc[c] += w * row[size_t(sx) * 4 + c];
        }
    }
    auto toByte = [](float v) { return uint8_t(std::clamp(std::lround(v), 0L, 255L)); };
    const uint8_t a = toByte(acc[3]);
    for (int c = 0; c < 3; ++c) o[c] = std::min(toByte(acc[c]), a);
    o[3] = a;
}

// One placed row of premultiplied BGRA from the premultiplied source; the
// kernel computes the pixels whose footprint lies wholly inside it.
template <class Kernel>
[[gnu::always_inline]] inline void WarpRowWith(const uint8_t* src, size_t stride, int srcW, int srcH,
                                               const WarpRowMap& m, int width, uint8_t* out) {
    const CubicWeights& cw = Cubic();
    int xa, xb;
    FootprintSpan(m, srcW, srcH, width, xa, xb);
    std::memset(out, 0, size_t(xa) * 4);
    if (xb < width) std::memset(out + size_t(std::max(xa, xb)) * 4, 0, size_t(width - std::max(xa, xb)) * 4);
    for (int x = xa; x < xb; ++x) {
        // Positions stay within a few pixels of the source here, so the
        // shifted truncation is a floor; 8 bits of fraction pick the weights.
        const int64_t U = int64_t((m.u0 + m.du * x + 8.0) * 256.0), V = int64_t((m.v0 + m.dv * x + 8.0) * 256.0);
        const int ix = int(U >> 8) - 8, iy = int(V >> 8) - 8;
        const int fx = int(U & 255), fy = int(V & 255);
        uint8_t* o = out + size_t(x) * 4;
        if (ix >= 1 && ix + 2 < srcW && iy >= 1 && iy + 2 < srcH) {
            const uint32_t px = Kernel::Pixel(src + size_t(iy - 1) * stride + size_t(ix - 1) * 4, stride, fx, fy, cw);
            std::memcpy(o, &px, 4);
        } else {
            EdgePixel(src, stride, srcW, srcH, ix, iy, fx, fy, cw, o);
        }
    }
}

#if defined(__SSE2__)
struct Sse2Kernel {
    [[gnu::always_inline]] static inline uint32_t Pixel(const uint8_t* r, size_t stride, int fx, int fy,
                                                        const CubicWeights& cw) {
        return CubicPixelSse2(r, stride, fx, fy, cw);
    }
};

// The same with two texel rows per 256-bit register.
struct Avx2Kernel {
    __attribute__((target("avx2"))) static inline uint32_t Pixel(const uint8_t* r, size_t stride, int fx,
                                                                               int fy, const CubicWeights& cw) {
        const __m256i w01 = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(cw.w01[fx])));
        const __m256i w23 = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(cw.w23[fx])));
        const __m256i zero = _mm256_setzero_si256();
        __m256 sum = _mm256_setzero_ps();
        for (int j = 0; j < 4; j += 2, r += 2 * stride) {
            const __m256i q = _mm256_inserti128_si256(
                _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r))),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(r + stride)), 1);
            const __m256i next = _mm256_srli_si256(q, 4);
            const __m256i p01 = _mm256_unpacklo_epi8(_mm256_unpacklo_epi8(q, next), zero);
            const __m256i p23 = _mm256_unpacklo_epi8(_mm256_unpackhi_epi8(q, next), zero);
            const __m256i h = _mm256_add_epi32(_mm256_madd_epi16(p01, w01), _mm256_madd_epi16(p23, w23));
            sum = _mm256_add_ps(sum, _mm256_mul_ps(_mm256_cvtepi32_ps(h), _mm256_loadu_ps(cw.wy[fy][j])));
        }
        const __m128i v = _mm_cvtps_epi32(_mm_add_ps(_mm256_castps256_ps128(sum), _mm256_extractf128_ps(sum, 1)));
        __m128i v16 = _mm_packs_epi32(v, v);
        v16 = _mm_min_epi16(v16, _mm_shufflelo_epi16(v16, 0xFF));
        return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(v16, v16)));
    }
};

void WarpRowSse2(const uint8_t* src, size_t stride, int srcW, int srcH, const WarpRowMap& m, int width, uint8_t* out) {
    WarpRowWith<Sse2Kernel>(src, stride, srcW, srcH, m, width, out);
}

__attribute__((target("avx2"))) void WarpRowAvx2(const uint8_t* src, size_t stride, int srcW, int srcH,
                                                 const WarpRowMap& m, int width, uint8_t* out) {
    WarpRowWith<Avx2Kernel>(src, stride, srcW, srcH, m, width, out);
}
#else
struct ScalarKernel {
    static uint32_t Pixel(const uint8_t* r, size_t stride, int fx, int fy, const CubicWeights& cw) {
        float acc[4] = {0, 0, 0, 0};
        for (int j = 0; j < 4; ++j, r += stride)
            for (int i = 0; i < 4; ++i)
                for (int c = 0; c < 4; ++c) acc[c] += cw.f[fy][j] * cw.f[fx][i] * r[i * 4 + c];
        auto toByte = [](float v) { return uint32_t(std::clamp(std::lround(v), 0L, 255L)); };
        const uint32_t a = toByte(acc[3]);
        return std::min(toByte(acc[0]), a) | std::min(toByte(acc[1]), a) << 8 | std::min(toByte(acc[2]), a) << 16 | a << 24;
    }
};
#endif

using WarpRowFn = void (*)(const uint8_t*, size_t, int, int, const WarpRowMap&, int, uint8_t*);

WarpRowFn PickWarpRow() {
#if defined(__SSE2__)
    return ActiveCpuLevel() >= CpuLevel::Avx2 ? &WarpRowAvx2 : &WarpRowSse2;
#else
    return [](const uint8_t* src, size_t stride, int srcW, int srcH, const WarpRowMap& m, int width, uint8_t* out) {
        WarpRowWith<ScalarKernel>(src, stride, srcW, srcH, m, width, out);
    };
#endif
}

// Warps the stencil into `placed` (straight alpha). Rows run in parallel.
void WarpStencil(const Bitmap& image, const StencilTransform& t, float originX, float originY, Bitmap& placed) {
    const int width = placed.Width(), height = placed.Height();
    const int W = image.Width(), H = image.Height();
    // The premultiplied source, copied and premultiplied row by row in
    // parallel into memory that is not cleared first (every byte is written).
    const size_t stride = size_t(image.Stride());
    std::unique_ptr<uint8_t[]> premul(new uint8_t[stride * size_t(H)]);
#pragma omp parallel for schedule(static) if (int64_t(W) * H >= (int64_t(1) << 16))
    for (int y = 0; y < H; ++y) {
        uint8_t* row = premul.get() + size_t(y) * stride;
        std::memcpy(row, image.Row(y), stride);
        PremultiplyAlpha(row, stride / 4);
    }
    const double s = std::max(t.scale, 0.01f);
    const double sx = s * std::max(t.stretchX, 0.01f), sy = s * std::max(t.stretchY, 0.01f);
    const double a = double(t.rotation * kDegToRad);
    const double cs = std::cos(a), sn = std::sin(a);
    const WarpRowFn warpRow = PickWarpRow();
#pragma omp parallel for schedule(dynamic, 8) if (int64_t(width) * height >= (int64_t(1) << 16))
    for (int y = 0; y < height; ++y) {
        // Placed pixel centre (x + 0.5, y + 0.5) back to the image's pixel-centre grid.
        const double dx0 = originX + 0.5 - t.centerX, dy = originY + y + 0.5 - t.centerY;
        const WarpRowMap m{(dx0 * cs + dy * sn) / sx + W / 2.0 - 0.5, cs / sx, (dy * cs - dx0 * sn) / sy + H / 2.0 - 0.5,
                           -sn / sy};
        uint8_t* row = placed.Row(y);
        warpRow(premul.get(), stride, W, H, m, width, row);
        UnpremultiplyAlpha(row, size_t(width));
    }
}

// The general prefiltered draw, for shrinking (and as the reference).
BitmapPtr DrawPlacedStencil(const Bitmap& image, const StencilTransform& t, float originX, float originY, int width,
                            int height) {
    BitmapPtr placed = Bitmap::Create(width, height);
    if (!placed) return nullptr;
    const float s = std::max(t.scale, 0.01f), sx = s * std::max(t.stretchX, 0.01f), sy = s * std::max(t.stretchY, 0.01f);
    const float a = t.rotation * kDegToRad;
    const float cs = std::cos(a), sn = std::sin(a);
    const float w = float(image.Width()), h = float(image.Height());
    // Image corner (x, y) on the placed image's own pixel grid.
    auto map = [&](float x, float y) {
        const float dx = (x - w / 2) * sx, dy = (y - h / 2) * sy;
        return PointF{t.centerX + dx * cs - dy * sn - originX, t.centerY + dx * sn + dy * cs - originY};
    };
    ImageDrawOptions o;
    o.interpolation = Interpolation::Bicubic;
    o.compositing = Compositing::SourceCopy;
    if (!DrawBitmapToPoints(RasterTarget::Of(*placed), image, RectF{0, 0, w, h}, map(0, 0), map(w, 0), map(0, h), o))
        placed->Clear(0);
    return placed;
}

bool Enlarges(const StencilTransform& t) {
    const float s = std::max(t.scale, 0.01f);
    return s * std::max(t.stretchX, 0.01f) >= 1.0f && s * std::max(t.stretchY, 0.01f) >= 1.0f;
}

}  // namespace

BitmapPtr RenderPlacedStencil(const Bitmap& image, const StencilTransform& t, float originX, float originY, int width,
                              int height, bool reference) {
    if (!BitmapSizeAllowed(width, height)) return nullptr;
    if (reference || !Enlarges(t)) return DrawPlacedStencil(image, t, originX, originY, width, height);
    // Enlarging (the common case, and the costly one): a bicubic warp on
    // premultiplied colour, so transparent texels lend no colour. Every
    // pixel is written, so the raster is not cleared first.
    try {
        const size_t bytes = size_t(width) * size_t(height) * 4;
        std::shared_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[bytes]);
        if (!buffer) return nullptr;
        BitmapPtr view = Bitmap::Wrap(buffer.get(), width, height, width * 4);
        if (!view) return nullptr;
        BitmapPtr placed(view.get(), [view, buffer](Bitmap*) {});
        WarpStencil(image, t, originX, originY, *placed);
        return placed;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void StencilOverlay::Rebuild() {
    ++rebuildCount;
    placeError.clear();
    DropPlaced();
    BitmapPtr image = SourceImage();
    if (!image) return;
    const float s = std::max(transform.scale, 0.01f);
    const double hw = image->Width() * 0.5 * s * std::max(transform.stretchX, 0.01f);
    const double hh = image->Height() * 0.5 * s * std::max(transform.stretchY, 0.01f);
    const double a = transform.rotation * kDegToRad;
    const double cs = std::cos(a), sn = std::sin(a);
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    const double corners[4][2] = {{-hw, -hh}, {hw, -hh}, {hw, hh}, {-hw, hh}};
    for (int i = 0; i < 4; ++i) {
        const double x = corners[i][0] * cs - corners[i][1] * sn, y = corners[i][0] * sn + corners[i][1] * cs;
        if (i == 0 || x < minX) minX = x;
        if (i == 0 || x > maxX) maxX = x;
        if (i == 0 || y < minY) minY = y;
        if (i == 0 || y > maxY) maxY = y;
    }
    // The whole transformed stencil, in 64-bit (doubles hold these exactly).
    double x0 = 0, y0 = 0;
    double x1 = std::max(1.0, std::ceil(maxX - minX)), y1 = std::max(1.0, std::ceil(maxY - minY));
    const double ox = transform.centerX + minX, oy = transform.centerY + minY;
    if (!std::isfinite(ox) || !std::isfinite(oy) || !std::isfinite(x1) || !std::isfinite(y1)) return;
    // Only what a dab can reach: the canvas plus a margin. Whole pixels are
    // cut so the kept part stays on the same sampling grid.
    if (canvasW_ > 0 && canvasH_ > 0) {
        x0 = std::max(0.0, std::floor(-kStencilClipMargin - ox));
        y0 = std::max(0.0, std::floor(-kStencilClipMargin - oy));
        x1 = std::min(x1, std::ceil(double(canvasW_) + kStencilClipMargin - ox));
        y1 = std::min(y1, std::ceil(double(canvasH_) + kStencilClipMargin - oy));
        if (x1 <= x0 || y1 <= y0) return;  // entirely off the canvas: nothing to imprint
    }
    const double pw = x1 - x0, ph = y1 - y0;
    if (pw * ph > double(kMaxPlacedStencilPixels) || !BitmapSizeAllowed(int64_t(pw), int64_t(ph))) {
        placeError = "The stencil is too large to place at this size.";
        return;
    }
    const int w = int(pw), h = int(ph);
    const float originX = float(ox + x0), originY = float(oy + y0);
    BitmapPtr placed = RenderPlacedStencil(*image, transform, originX, originY, w, h);
    if (!placed) {
        placeError = "There is not enough memory to place the stencil.";
        return;
    }
    imprint.placedBitmap = std::move(placed);
    imprint.placedOriginX = originX;
    imprint.placedOriginY = originY;
}

void StencilOverlay::EnsureDetailCopy() {
    if (!imprint.detailTransfer || !imprint.placedBitmap) return;
    const Bitmap& placed = *imprint.placedBitmap;
    const int w = placed.Width(), h = placed.Height();
    const size_t count = size_t(w) * size_t(h);
    if (imprint.detailPixels.size() == count * 4) return;
    // The warp keeps colour at or below alpha, and for such colour
    // premultiplying the straight placed image gives back the warp's
    // premultiplied colour exactly: starting from it loses nothing.
    try {
        std::vector<uint8_t> detail(placed.Data(), placed.Data() + count * 4);
        PremultiplyAlpha(detail.data(), count);
        const double radius = std::max(1.0, double(imprint.detailRadius));
        GaussianBlurRecursive(detail.data(), w, h, radius, radius, 4);
        UnpremultiplyAlpha(detail.data(), count);
        imprint.detailPixels = std::move(detail);
        ++detailBuildCount;
    } catch (const std::bad_alloc&) {
        DropPlaced();
        placeError = "There is not enough memory to place the stencil.";
    }
}

// ---------------------------------------------------------------- drags

StencilGizmoHit StencilOverlay::HitTestGizmo(const RectI& canvasClient, PointF p) const {
    if (!HasStencil()) return kGizmoNone;
    const RectI frame = StencilGizmo::FrameRect(canvasClient);
    if (frame.IsEmpty()) return kGizmoNone;
    return StencilGizmo::HitTest(frame, p);
}

bool StencilOverlay::OnButtonDown(const StencilViewGeometry& view, PointF p) {
    if (!HasStencil() || dragMode != kStencilDragNone) return false;
    const RectI frame = StencilGizmo::FrameRect(view.canvasClient);
    if (frame.IsEmpty()) return false;
    const StencilGizmoHit hit = StencilGizmo::HitTest(frame, p);
    if (hit == kGizmoNone) return false;
    dragMode = hit <= kGizmoCornerBottomLeft ? kStencilDragScale
               : hit <= kGizmoEdgeLeft       ? kStencilDragStretch
               : hit == kGizmoRotate         ? kStencilDragRotate
                                             : kStencilDragMove;
    dragHandle = hit;
    dragStart = transform;
    pressPoint = p;
    gizmoCenter = {float((frame.left + frame.right) / 2), float((frame.top + frame.bottom) / 2)};
    dragZoom = view.zoom;
    pivotCanvas = view.zoom > 0 ? PointF{(gizmoCenter.x - view.canvasScreen.x) / view.zoom,
                                         (gizmoCenter.y - view.canvasScreen.y) / view.zoom}
                                : PointF{0, 0};
    const BitmapPtr image = SourceImage();
    const float w = image ? float(image->Width()) : 0.0f, h = image ? float(image->Height()) : 0.0f;
    const float dx = pivotCanvas.x - transform.centerX, dy = pivotCanvas.y - transform.centerY;
    const float a = transform.rotation * kDegToRad;
    const float cs = std::cos(a), sn = std::sin(a);
    pivotLocal = {(dx * cs + dy * sn) / std::max(0.01f, transform.scale * transform.stretchX) + w / 2,
                  (dy * cs - dx * sn) / std::max(0.01f, transform.scale * transform.stretchY) + h / 2};
    return true;
}

bool StencilOverlay::OnRightButtonDown(const StencilViewGeometry& view, PointF p) {
    if (dragMode != kStencilDragNone || painting) return false;
    Refresh();
    // Not only a placed image: a stencil moved off the canvas or refused as
    // too large has none, and must still be draggable back.
    if (!imprint.placedBitmap && !SourceImage()) return false;
    dragMode = kStencilDragMove;
    dragHandle = kGizmoMove;
    rightDrag = true;
    dragStart = transform;
    pressPoint = p;
    dragZoom = view.zoom;
    return true;
}

void StencilOverlay::KeepPivot() {
    const BitmapPtr image = SourceImage();
    if (!image) return;
    const float w = float(image->Width()), h = float(image->Height());
    const float lx = (pivotLocal.x - w / 2) * std::max(0.01f, transform.scale * transform.stretchX);
    const float ly = (pivotLocal.y - h / 2) * std::max(0.01f, transform.scale * transform.stretchY);
    const float a = transform.rotation * kDegToRad;
    const float cs = std::cos(a), sn = std::sin(a);
    transform.centerX = pivotCanvas.x - (lx * cs - ly * sn);
    transform.centerY = pivotCanvas.y - (lx * sn + ly * cs);
}

bool StencilOverlay::OnMouseMove(PointF p) {
    if (dragMode == kStencilDragNone) return false;
    const PointF q = pressPoint, g = gizmoCenter;
    switch (dragMode) {
    case kStencilDragMove: {
        const float z = dragZoom > 0 ? dragZoom : 1.0f;
        transform.centerX = dragStart.centerX + (p.x - q.x) / z;
        transform.centerY = dragStart.centerY + (p.y - q.y) / z;
        break;
    }
    case kStencilDragRotate: {
        float delta = (std::atan2(p.y - g.y, p.x - g.x) - std::atan2(q.y - g.y, q.x - g.x)) * kRadToDeg;
        while (delta > 180) delta -= 360;
        while (delta < -180) delta += 360;
        transform.rotation = dragStart.rotation + delta;
        break;
    }
    case kStencilDragScale: {
        const float d0 = std::hypot(q.x - g.x, q.y - g.y);
        const float f = d0 > 1 ? std::hypot(p.x - g.x, p.y - g.y) / d0 : 1.0f;
        transform.scale = std::clamp(dragStart.scale * f, kStencilMinScale, kStencilMaxScale);
        break;
    }
    case kStencilDragStretch: {
        const float dirs[4][2] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}};
        const float* dir = dirs[std::clamp(int(dragHandle) - int(kGizmoEdgeTop), 0, 3)];
        const float o = (q.x - g.x) * dir[0] + (q.y - g.y) * dir[1];
        float t = o > 1 ? ((p.x - g.x) * dir[0] + (p.y - g.y) * dir[1]) / o : 1.0f;
        t = std::clamp(t, kStencilMinStretch, kStencilMaxStretch);
        if (dragHandle == kGizmoEdgeRight || dragHandle == kGizmoEdgeLeft)
            transform.stretchX = std::clamp(dragStart.stretchX * t, kStencilMinStretch, kStencilMaxStretch);
        else
            transform.stretchY = std::clamp(dragStart.stretchY * t, kStencilMinStretch, kStencilMaxStretch);
        break;
    }
    default: break;
    }
    if (dragMode != kStencilDragMove) KeepPivot();
    dirty = true;
    return true;
}

bool StencilOverlay::OnButtonUp() {
    if (dragMode == kStencilDragNone) return false;
    dragMode = kStencilDragNone;
    dragHandle = kGizmoNone;
    rightDrag = false;
    pressPoint = gizmoCenter = pivotCanvas = pivotLocal = PointF{};
    dragStart = StencilTransform{};
    dragZoom = 1;
    Refresh();
    return true;
}

bool StencilOverlay::OnTabKey(bool down) {
    if (hidden == down) return false;
    hidden = down;
    return true;
}

bool StencilOverlay::ShowIfTabReleased(bool tabDown) {
    if (!hidden || tabDown) return false;
    hidden = false;
    return true;
}
