// Two forms of the same per-pixel arithmetic: the plain one over float
// object images (the reference), and the vector one that samples the 8-bit
// base images directly, eight pixels at a time, into a planar accumulator.
// A byte times (1 / 255) is the same float either way, and every other step
// is the same IEEE operation in the same order, so the two agree bit for bit.
//
// The vector rows may be built where fused multiply-adds exist; contracting
// a * b + c would round differently from the plain form.
#pragma GCC diagnostic ignored "-Wpsabi"
#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#else
#pragma GCC optimize("fp-contract=off")
#endif

#include "scene/SceneCompose.h"

#include "platform/CpuLevel.h"
#include "platform/LargePages.h"
#include "scene/BlendModes.h"
#include "scene/CanvasDocument.h"
#include "scene/ObjectGeometry.h"
#include "scene/ObjectRender.h"
#include "scene/RenderCacheHolds.h"

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>
#include <omp.h>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr uint8_t kModeDissolve = 2;
constexpr uint8_t kModePhotoBash = 45;
constexpr float kInv255 = 1.0f / 255.0f;

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

// A zeroed float buffer of canvas size, mapped directly on large pages when
// it is large: touching a few hundred megabytes 4 KB at a time costs more than
// composing them. Small ones (a thumbnail, a small export) come from the heap.
class FloatBuffer {
public:
    FloatBuffer() = default;
    FloatBuffer(const FloatBuffer&) = delete;
    FloatBuffer& operator=(const FloatBuffer&) = delete;
    ~FloatBuffer() { Free(); }

    bool Allocate(size_t count) {
        Free();
        if (count == 0 || count > SIZE_MAX / sizeof(float)) return false;
        if (count * sizeof(float) >= kMappedBlockBytes)
            data_ = static_cast<float*>(MapLargePages(count * sizeof(float), bytes_));
        else
            data_ = static_cast<float*>(std::calloc(count, sizeof(float)));
        return data_ != nullptr;
    }
    float* data() const { return data_; }

private:
    void Free() {
        if (bytes_) UnmapLargePages(data_, bytes_);
        else std::free(data_);
        data_ = nullptr;
        bytes_ = 0;
    }
    float* data_ = nullptr;
    size_t bytes_ = 0;
};

bool Fail(std::string* error, std::string text) {
    if (error) *error = std::move(text);
    return false;
}

// One object's pass over its bounds.
struct ObjectPass {
    Frame f{};
    bool useMask = false;
    int mw = 0, mh = 0;
    const uint8_t* mask = nullptr;
    float opacity = 1;
    uint8_t mode = 0;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    float originX = 0, originY = 0;
    bool hasBase = false;
    Frame bf{};
    // Reference: float images. Vector path: the 8-bit base images.
    const FloatImage* fimage = nullptr;
    const FloatImage* fbase = nullptr;
    const Bitmap* image = nullptr;
    const Bitmap* baseImage = nullptr;
};

// ---------------------------------------------------------------- reference

// Interleaved R, G, B, A accumulator, one pixel at a time.
void ReferenceRows(const ObjectPass& p, float* acc, int OW) {
    const Frame& f = p.f;
    const Frame& bf = p.bf;
    const FloatImage& im = *p.fimage;
    const FloatImage* bim = p.fbase;
#pragma omp parallel for schedule(static)
    for (int r = p.y0; r < p.y1; ++r) {  // ComposeObjectsRows
        float* row = acc + size_t(r) * size_t(OW) * 4;
        const double py = double(r) + p.originY + 0.5;
        for (int c = p.x0; c < p.x1; ++c) {
            const double px = double(c) + p.originX + 0.5;
            double lx, ly;
            if (!ToLocal(f, px, py, lx, ly)) continue;
            const FloatImage::Sample s = SampleAt(im, float(lx) + im.offsetX, float(ly) + im.offsetY);
            float A = s.a;
            if (A <= 0) continue;
            if (p.useMask) {
                const int my = std::clamp(int(ly / f.h * p.mh), 0, p.mh - 1);
                const int mx = std::clamp(int(lx / f.w * p.mw), 0, p.mw - 1);
                A *= float(p.mask[size_t(my) * size_t(p.mw) + size_t(mx)]) / 255.0f;
                if (A <= 0) continue;
            }
            A *= p.opacity;
            if (A <= 0) continue;
            if (p.hasBase) {
                double bx, by;
                if (!ToLocal(bf, px, py, bx, by)) continue;
                A *= SampleAt(*bim, float(bx) + bim->offsetX, float(by) + bim->offsetY).a;
                if (A <= 0) continue;
            }
            float* d = row + 4 * c;
            float rr, rg, rb, ra;
            CompositePixelWithBlend(rr, rg, rb, ra, d[0], d[1], d[2], d[3], s.r, s.g, s.b, A, p.mode);
            d[0] = rr;
            d[1] = rg;
            d[2] = rb;
            d[3] = ra;
        }
    }
}

// ---------------------------------------------------------------- vector rows

#if defined(__x86_64__)

typedef int32_t I8 __attribute__((vector_size(32)));
typedef uint32_t U8 __attribute__((vector_size(32)));
typedef double D8 __attribute__((vector_size(64)));
typedef int64_t L8 __attribute__((vector_size(64)));

#define AVX2FN inline __attribute__((target("avx2"), always_inline))

constexpr int kChunk = 512;  // pixels of a row sampled before they are composited

// The samples of one run of a row: straight colour and the final alpha A
// (0 where the pixel is left alone).
struct Span {
    float r[kChunk], g[kChunk], b[kChunk], a[kChunk];
};

AVX2FN bool AnyLane(I8 m) { return _mm256_movemask_ps((__m256)m) != 0; }
AVX2FN F32x8 Floor(F32x8 v) { return (F32x8)_mm256_floor_ps((__m256)v); }
AVX2FN F32x8 Load(const float* p) {
    F32x8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
AVX2FN void Store(float* p, F32x8 v) { std::memcpy(p, &v, sizeof v); }
AVX2FN I8 Narrow(L8 m) { return __builtin_convertvector(m, I8); }
AVX2FN L8 Widen(I8 m) { return __builtin_convertvector(m, L8); }

// One texel of the bilinear sum: wa = w x alpha; colour += wa x colour;
// alpha += wa. A texel read as 0 (outside the image) adds exactly nothing.
template <bool Colour>
AVX2FN void AddTexel(I8 px, F32x8 w, F32x8& r, F32x8& g, F32x8& b, F32x8& a) {
    const F32x8 wa = w * (__builtin_convertvector((px >> 24) & 0xFF, F32x8) * kInv255);
    if constexpr (Colour) {
        r = r + wa * (__builtin_convertvector((px >> 16) & 0xFF, F32x8) * kInv255);
        g = g + wa * (__builtin_convertvector((px >> 8) & 0xFF, F32x8) * kInv255);
        b = b + wa * (__builtin_convertvector(px & 0xFF, F32x8) * kInv255);
    }
    a = a + wa;
}

// The texels at (tx, ty); 0 for lanes outside the image or outside `act`.
AVX2FN I8 GatherTexels(const int* data, int W, int H, I8 act, I8 tx, I8 ty) {
    const I8 in = act & (tx >= 0) & (tx < W) & (ty >= 0) & (ty < H);
    const I8 idx = in ? ty * W + tx : I8{};
    return (I8)_mm256_mask_i32gather_epi32(_mm256_setzero_si256(), data, (__m256i)idx, (__m256i)in, 4);
}

AVX2FN I8 LoadTexels(const int* p) {
    I8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Bilinear sample of an 8-bit straight BGRA image at (x, y) in pixels, the
// sampler of SampleAt: the same weights, the same sums in the same order.
// Lanes outside `act` give 0; `act` loses the lanes whose sample is transparent.
template <bool Colour>
AVX2FN void SampleImage(const Bitmap& im, F32x8 x, F32x8 y, I8& act, F32x8& r, F32x8& g, F32x8& b, F32x8& a) {
    const int W = im.Width(), H = im.Height();
    const F32x8 xs = x - 0.5f, ys = y - 0.5f;
    const F32x8 fx0 = Floor(xs), fy0 = Floor(ys);
    act &= (fx0 >= -1.0f) & (fy0 >= -1.0f) & (fx0 < float(W)) & (fy0 < float(H));
    const F32x8 zero{};
    const I8 ix = __builtin_convertvector(act ? fx0 : zero, I8);
    const I8 iy = __builtin_convertvector(act ? fy0 : zero, I8);
    const F32x8 fx = xs - fx0, fy = ys - fy0;
    const F32x8 w00 = (1.0f - fx) * (1.0f - fy), w10 = fx * (1.0f - fy), w01 = (1.0f - fx) * fy, w11 = fx * fy;
    r = g = b = a = zero;
    const int* data = reinterpret_cast<const int*>(im.Data());
    const I8 lane = {0, 1, 2, 3, 4, 5, 6, 7};
    I8 p00, p10, p01, p11;
    // An unturned object samples eight neighbouring texels of the same two
    // rows: plain loads read the same bytes the gathers would.
    if (_mm256_movemask_ps((__m256)(act & (ix == ix[0] + lane) & (iy == iy[0]))) == 0xFF && ix[0] >= 0 &&
        ix[0] + 8 < W && iy[0] >= 0 && iy[0] + 1 < H) {
        const int* row = data + size_t(iy[0]) * size_t(W) + size_t(ix[0]);
        p00 = LoadTexels(row);
        p10 = LoadTexels(row + 1);
        p01 = LoadTexels(row + W);
        p11 = LoadTexels(row + W + 1);
    } else {
        p00 = GatherTexels(data, W, H, act, ix, iy);
        p10 = GatherTexels(data, W, H, act, ix + 1, iy);
        p01 = GatherTexels(data, W, H, act, ix, iy + 1);
        p11 = GatherTexels(data, W, H, act, ix + 1, iy + 1);
    }
    AddTexel<Colour>(p00, w00, r, g, b, a);
    AddTexel<Colour>(p10, w10, r, g, b, a);
    AddTexel<Colour>(p01, w01, r, g, b, a);
    AddTexel<Colour>(p11, w11, r, g, b, a);
    const I8 pos = a > 0.0f;
    if constexpr (Colour) {
        const F32x8 inv = 1.0f / a;
        r = pos ? r * inv : zero;
        g = pos ? g * inv : zero;
        b = pos ? b * inv : zero;
    }
    a = pos ? a : zero;
    act &= pos;
}

// Samples columns c0 .. c0 + n - 1 of row `row` into the span, with the
// steps of ReferenceRows up to the composite.
__attribute__((target("avx2"))) void SampleSpanAvx2(const ObjectPass& p, int row, int c0, int n, Span& s) {
    const I8 lane = {0, 1, 2, 3, 4, 5, 6, 7};
    const double py = double(row) + p.originY + 0.5;
    const double dy = py - p.f.cy;
    const double bdy = py - p.bf.cy;
    const F32x8 zero{};
    for (int i = 0; i < n; i += 8) {
        I8 act = lane < (n - i);
        const D8 px = __builtin_convertvector(lane + (c0 + i), D8) + double(p.originX) + 0.5;
        const D8 dx = px - p.f.cx;
        const D8 lx = dx * p.f.ct + dy * p.f.st + p.f.w / 2;
        const D8 ly = dy * p.f.ct - dx * p.f.st + p.f.h / 2;
        act &= Narrow((lx >= 0.0) & (lx <= p.f.w) & (ly >= 0.0) & (ly <= p.f.h));
        F32x8 sr = zero, sg = zero, sb = zero, A = zero;
        if (AnyLane(act)) {
            // Lanes outside are pinned to 0 so that every conversion below stays defined.
            L8 act64 = Widen(act);
            const D8 lxa = act64 ? lx : D8{}, lya = act64 ? ly : D8{};
            // The image's sample offset is always 0.
            SampleImage<true>(*p.image, __builtin_convertvector(lxa, F32x8) + 0.0f,
                              __builtin_convertvector(lya, F32x8) + 0.0f, act, sr, sg, sb, A);
            if (p.useMask && AnyLane(act)) {
                act64 = Widen(act);
                const D8 myd = act64 ? lya / p.f.h * double(p.mh) : D8{};
                const D8 mxd = act64 ? lxa / p.f.w * double(p.mw) : D8{};
                const I8 my = __builtin_convertvector(myd, I8), mx = __builtin_convertvector(mxd, I8);
                F32x8 m = zero;
                for (int k = 0; k < 8; ++k) {
                    if (!act[k]) continue;
                    const int cy = std::clamp(int(my[k]), 0, p.mh - 1), cx = std::clamp(int(mx[k]), 0, p.mw - 1);
                    m[k] = float(p.mask[size_t(cy) * size_t(p.mw) + size_t(cx)]);
                }
                A = A * (m / 255.0f);
                act &= A > 0.0f;
            }
            A = A * p.opacity;
            act &= A > 0.0f;
            if (p.hasBase && AnyLane(act)) {
                const D8 bdx = px - p.bf.cx;
                const D8 bx = bdx * p.bf.ct + bdy * p.bf.st + p.bf.w / 2;
                const D8 by = bdy * p.bf.ct - bdx * p.bf.st + p.bf.h / 2;
                act &= Narrow((bx >= 0.0) & (bx <= p.bf.w) & (by >= 0.0) & (by <= p.bf.h));
                act64 = Widen(act);
                const D8 bxa = act64 ? bx : D8{}, bya = act64 ? by : D8{};
                I8 bact = act;
                F32x8 unused, ba;
                SampleImage<false>(*p.baseImage, __builtin_convertvector(bxa, F32x8) + 0.0f,
                                   __builtin_convertvector(bya, F32x8) + 0.0f, bact, unused, unused, unused, ba);
                A = A * ba;
                act &= A > 0.0f;
            }
        }
        Store(s.r + i, sr);
        Store(s.g + i, sg);
        Store(s.b + i, sb);
        Store(s.a + i, act ? A : zero);
    }
}

// The blend formulas serve every lane width, so they carry no target
// attribute, and clang refuses eight-lane vectors passed by value from an
// AVX2 function into one without it: the lanes cross through memory here.
// Inlined into the AVX2 caller, the copies fold away.
template <int M> inline __attribute__((always_inline)) void BlendLanes(const F32x8* in, F32x8* out) {
    blendfn::CompositeWithBlend<M>(in[0], in[1], in[2], in[3], in[4], in[5], in[6], in[7], out[0], out[1], out[2],
                                   out[3]);
}

// Composites the span's samples into n accumulator pixels (planar R, G, B,
// A rows) with mode M: CompositePixelWithBlend, eight pixels at a time.
template <int M>
__attribute__((target("avx2"))) void CompositeSpanAvx2(float* R, float* G, float* B, float* Al, const Span& s, int n) {
    const I8 lane = {0, 1, 2, 3, 4, 5, 6, 7};
    const F32x8 zero{};
    for (int i = 0; i < n; i += 8) {
        const F32x8 as = Load(s.a + i);
        const I8 on = as > 0.0f;
        if (!AnyLane(on)) continue;
        const __m256i m = (__m256i)(lane < (n - i));
        const F32x8 br = (F32x8)_mm256_maskload_ps(R + i, m), bg = (F32x8)_mm256_maskload_ps(G + i, m);
        const F32x8 bb = (F32x8)_mm256_maskload_ps(B + i, m), ab = (F32x8)_mm256_maskload_ps(Al + i, m);
        const F32x8 in[8] = {br, bg, bb, ab, Load(s.r + i), Load(s.g + i), Load(s.b + i), as};
        F32x8 out[4];
        BlendLanes<M>(in, out);
        F32x8 r = out[0], g = out[1], b = out[2], a = out[3];
        const I8 gone = (as + ab * (1.0f - as)) <= 0.0f;
        r = gone ? zero : r;
        g = gone ? zero : g;
        b = gone ? zero : b;
        a = gone ? zero : a;
        _mm256_maskstore_ps(R + i, m, (__m256)(on ? r : br));
        _mm256_maskstore_ps(G + i, m, (__m256)(on ? g : bg));
        _mm256_maskstore_ps(B + i, m, (__m256)(on ? b : bb));
        _mm256_maskstore_ps(Al + i, m, (__m256)(on ? a : ab));
    }
}

using CompositeSpanFn = void (*)(float*, float*, float*, float*, const Span&, int);

template <int... M> constexpr auto MakeCompositeTable(std::integer_sequence<int, M...>) {
    struct Table {
        CompositeSpanFn fn[sizeof...(M)];
    };
    return Table{{&CompositeSpanAvx2<M>...}};
}
constexpr auto kCompositeSpans = MakeCompositeTable(std::make_integer_sequence<int, kBlendModeCount>{});

bool VectorRowsAvailable() { return ActiveCpuLevel() >= CpuLevel::Avx2; }

// Planar accumulator: plane k of pixel (c, r) at acc[k * N + r * OW + c].
void VectorRows(const ObjectPass& p, float* acc, int OW, size_t N) {
    const CompositeSpanFn composite = kCompositeSpans.fn[p.mode];
#pragma omp parallel
    {
        Span span;
#pragma omp for schedule(static)
        for (int r = p.y0; r < p.y1; ++r) {  // ComposeObjectsRows
            float* R = acc + size_t(r) * size_t(OW);
            for (int c = p.x0; c < p.x1; c += kChunk) {
                const int n = std::min(kChunk, p.x1 - c);
                SampleSpanAvx2(p, r, c, n, span);
                composite(R + c, R + N + c, R + 2 * N + c, R + 3 * N + c, span, n);
            }
        }
    }
}

// ToByte on eight values: 0 for v <= 0 (or NaN), 255 for v >= 1, else
// v x 255 + 0.5 truncated.
AVX2FN U8 Bytes(F32x8 v) {
    const F32x8 inner = v > 0.0f ? (v < 1.0f ? v : F32x8{} + 1.0f) : F32x8{};
    const U8 t = (U8)__builtin_convertvector(inner * 255.0f + 0.5f, I8);
    const U8 low = (U8)(v > 0.0f);
    return (v >= 1.0f) ? U8{} + 255u : (t & low);
}

// The groups of eight of a BGRA row; returns how many pixels it wrote.
__attribute__((target("avx2"))) int WriteBgraAvx2(const float* R, const float* G, const float* B, const float* A,
                                                  uint8_t* d, int OW) {
    int c = 0;
    for (; c + 8 <= OW; c += 8) {
        const U8 px = Bytes(Load(B + c)) | (Bytes(Load(G + c)) << 8) | (Bytes(Load(R + c)) << 16) |
                      (Bytes(Load(A + c)) << 24);
        std::memcpy(d + 4 * size_t(c), &px, sizeof px);
    }
    return c;
}

// Composes every pass over rows r0 .. r0 + rows - 1 of a band of planar
// planes (plane stride P): each pixel sees the objects in the same order as
// in VectorRows, so the band gives the same values.
void BandRows(const std::vector<ObjectPass>& passes, float* planes, size_t P, int OW, int r0, int rows,
              Span& span) {
    for (const ObjectPass& p : passes) {
        const CompositeSpanFn composite = kCompositeSpans.fn[p.mode];
        const int ra = std::max(p.y0, r0), rb = std::min(p.y1, r0 + rows);
        for (int r = ra; r < rb; ++r) {
            float* R = planes + size_t(r - r0) * size_t(OW);
            for (int c = p.x0; c < p.x1; c += kChunk) {
                const int n = std::min(kChunk, p.x1 - c);
                SampleSpanAvx2(p, r, c, n, span);
                composite(R + c, R + P + c, R + 2 * P + c, R + 3 * P + c, span, n);
            }
        }
    }
}

#else

bool VectorRowsAvailable() { return false; }
void VectorRows(const ObjectPass&, float*, int, size_t) {}
int WriteBgraAvx2(const float*, const float*, const float*, const float*, uint8_t*, int) { return 0; }
struct Span {};
void BandRows(const std::vector<ObjectPass>&, float*, size_t, int, int, int, Span&) {}

#endif  // __x86_64__

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
        out.pixels.shrink_to_fit();
        return false;
    }
    // The base image's straight bytes, unchanged: a plain copy is the
    // nearest-neighbour, source-copy draw of the image onto itself.
    constexpr float k = kInv255;
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

namespace {

// True when the object's base image is in its cache, so that asking for it
// builds nothing (the cache tests of ComposeBitmap and GetLightConeBitmap).
bool ImageCached(const CanvasObject& o) {
    const ObjectRenderCaches& c = o.caches;
    const bool light = o.kind == kObjectLightCone;
    const BitmapPtr& b = light ? c.light : c.base;
    if (!(light ? c.lightValid : c.baseValid) || !b) return false;
    if (ScaleDragActive && o.HasCostlyRender()) return true;
    return b->Width() == RoundedPixelSide(o.width) && b->Height() == RoundedPixelSide(o.height);
}

void WriteBgraRow(const float* R, size_t P, uint8_t* d, int OW) {
    const float *G = R + P, *B = G + P, *A = B + P;
    int c = VectorRowsAvailable() ? WriteBgraAvx2(R, G, B, A, d, OW) : 0;
    for (; c < OW; ++c) {
        d[4 * c + 0] = ToByte(B[c]);
        d[4 * c + 1] = ToByte(G[c]);
        d[4 * c + 2] = ToByte(R[c]);
        d[4 * c + 3] = ToByte(A[c]);
    }
}

// An object's pass as far as it is known before its images: frames, bounds,
// mask, opacity, mode. False when the object adds nothing to the output.
bool PlanPass(const std::vector<CanvasObject*>& objects, size_t i, float originX, float originY, int OW, int OH,
              ObjectPass& p, CanvasObject*& base) {
    CanvasObject& o = *objects[i];
    base = nullptr;
    if (!(o.opacity > 0) || !(o.width > 0) || !(o.height > 0)) return false;
    if (o.clipToLayerBelow) {
        for (size_t k = i; k-- > 0;) {
            if (!objects[k]->clipToLayerBelow) {
                base = objects[k];
                break;
            }
        }
        if (!base) return false;
    }
    p.f = FrameOf(o);
    const RotatedBox box = RotatedRectBox(o.x, o.y, p.f.w, p.f.h, p.f.cx, p.f.cy, p.f.ct, p.f.st);
    if (!box.IsFinite()) return false;
    // Clamped in doubles before any integer cast.
    p.x0 = int(std::clamp(std::floor(box.minX - originX), 0.0, double(OW)));
    p.y0 = int(std::clamp(std::floor(box.minY - originY), 0.0, double(OH)));
    p.x1 = int(std::clamp(std::ceil(box.maxX - originX), 0.0, double(OW)));
    p.y1 = int(std::clamp(std::ceil(box.maxY - originY), 0.0, double(OH)));
    // An object that misses the output needs no image.
    if (p.x0 >= p.x1 || p.y0 >= p.y1) return false;
    p.useMask = o.HasUsableMask();
    p.mw = o.maskWidth;
    p.mh = o.maskHeight;
    p.mask = o.maskPixels.data();
    p.opacity = std::min(o.opacity, 1.0f);
    p.mode = (o.blendMode == kModeDissolve || o.blendMode == kModePhotoBash || o.blendMode >= kBlendModeCount)
                 ? 0
                 : o.blendMode;
    p.originX = originX;
    p.originY = originY;
    p.hasBase = base != nullptr;
    if (base) p.bf = FrameOf(*base);
    return true;
}

// When every image is already cached (the display has drawn the scene), the
// vector rows run band by band: each band goes through all objects while it
// is in the cache, and no canvas-sized accumulator is needed.
bool ComposeInBands(std::vector<ObjectPass>& passes, const std::vector<std::pair<CanvasObject*, CanvasObject*>>& who,
                    const float bg[4], const ComposeOutput& out, std::string* error) {
    const int OW = out.width, OH = out.height;
    std::vector<BitmapPtr> keep;  // the cached images, held for the duration
    keep.reserve(who.size() * 2);
    for (size_t i = 0; i < passes.size(); ++i) {
        BitmapPtr image = who[i].first->GetBaseBitmap();
        BitmapPtr baseImage = who[i].second ? who[i].second->GetBaseBitmap() : nullptr;
        if (!image || (who[i].second && !baseImage)) return Fail(error, ObjectRenderFailure(*who[i].first));
        passes[i].image = image.get();
        passes[i].baseImage = baseImage.get();
        keep.push_back(std::move(image));
        keep.push_back(std::move(baseImage));
    }
    const int rows = std::clamp(32768 / OW, 1, OH);
    const size_t P = size_t(OW) * size_t(rows);
    const int threads = std::max(1, omp_get_max_threads());
    FloatBuffer planes;
    if (!planes.Allocate(P * 4 * size_t(threads))) return Fail(error, "Not enough memory to compose the image.");
    const int bands = (OH + rows - 1) / rows;
#pragma omp parallel num_threads(threads)
    {
        Span span;
        float* mine = planes.data() + P * 4 * size_t(omp_get_thread_num());
#pragma omp for schedule(dynamic)
        for (int band = 0; band < bands; ++band) {
            const int r0 = band * rows, n = std::min(rows, OH - r0);
            for (int k = 0; k < 4; ++k) std::fill_n(mine + size_t(k) * P, size_t(n) * size_t(OW), bg[k]);
            BandRows(passes, mine, P, OW, r0, n, span);
            for (int r = 0; r < n; ++r)
                WriteBgraRow(mine + size_t(r) * size_t(OW), P, out.pixels + size_t(r0 + r) * size_t(out.rowPitch), OW);
        }
    }
    return true;
}

// The object loop shared by both forms: order, clip bases, bounds, the
// caches each object needs while it is composed, and failures.
bool ComposeObjects(const std::vector<CanvasObject*>& objects, uint32_t canvasColour, float originX, float originY,
                    const ComposeOutput& out, std::string* error, bool vector) {
    if (!out.pixels || out.width <= 0 || out.height <= 0 || out.rowPitch < int64_t(out.width) * 4)
        return Fail(error, "There is no image to compose into.");
    // The float accumulator is 16 bytes a pixel: sizes beyond the bitmap caps are refused.
    if (!BitmapSizeAllowed(out.width, out.height))
        return Fail(error, "The image of " + std::to_string(out.width) + " x " + std::to_string(out.height) +
                               " pixels is too large to compose.");
    const int OW = out.width, OH = out.height;
    const float bg[4] = {float((canvasColour >> 16) & 0xFF) / 255.0f, float((canvasColour >> 8) & 0xFF) / 255.0f,
                         float(canvasColour & 0xFF) / 255.0f, float(canvasColour >> 24) / 255.0f};

    std::vector<ObjectPass> passes;
    std::vector<std::pair<CanvasObject*, CanvasObject*>> who;  // object, clip base
    bool allCached = true;
    for (size_t i = 0; i < objects.size(); ++i) {
        ObjectPass p;
        CanvasObject* base = nullptr;
        if (!PlanPass(objects, i, originX, originY, OW, OH, p, base)) continue;
        passes.push_back(p);
        who.emplace_back(objects[i], base);
        allCached = allCached && ImageCached(*objects[i]) && (!base || ImageCached(*base));
    }
    if (vector && allCached) {
        if (!ComposeInBands(passes, who, bg, out, error)) return false;
        if (error) error->clear();
        return true;
    }

    const size_t N = size_t(OW) * size_t(OH);
    FloatBuffer accBuffer;
    if (!accBuffer.Allocate(N * 4)) return Fail(error, "Not enough memory to compose the image.");
    float* acc = accBuffer.data();
#pragma omp parallel for schedule(static)
    for (int r = 0; r < OH; ++r) {
        if (vector) {
            for (int k = 0; k < 4; ++k) std::fill_n(acc + size_t(k) * N + size_t(r) * size_t(OW), OW, bg[k]);
        } else {
            float* p = acc + size_t(r) * size_t(OW) * 4;
            for (int c = 0; c < OW; ++c) std::copy(bg, bg + 4, p + 4 * c);
        }
    }

    CacheHolds holds;
    FloatImage img, baseImg;
    for (size_t i = 0; i < passes.size(); ++i) {
        ObjectPass& p = passes[i];
        CanvasObject& o = *who[i].first;
        CanvasObject* base = who[i].second;
        holds.Keep(&o, base);
        BitmapPtr image, baseImage;
        if (vector) {
            if (base && !(baseImage = base->GetBaseBitmap())) return Fail(error, ObjectRenderFailure(*base));
            if (!(image = o.GetBaseBitmap())) return Fail(error, ObjectRenderFailure(o));
            p.image = image.get();
            p.baseImage = baseImage.get();
            VectorRows(p, acc, OW, N);
        } else {
            if (base && !base->RenderToFloat(baseImg)) return Fail(error, ObjectRenderFailure(*base));
            if (!o.RenderToFloat(img)) return Fail(error, ObjectRenderFailure(o));
            p.fimage = &img;
            p.fbase = &baseImg;
            ReferenceRows(p, acc, OW);
        }
    }
    holds.ReleaseAll();
    // The float images of the last objects go before the conversion.
    img = FloatImage{};
    baseImg = FloatImage{};

#pragma omp parallel for schedule(static)
    for (int r = 0; r < OH; ++r) {  // FloatToBgraRows
        uint8_t* d = out.pixels + size_t(r) * size_t(out.rowPitch);
        if (vector) {
            WriteBgraRow(acc + size_t(r) * size_t(OW), N, d, OW);
        } else {
            const float* p = acc + size_t(r) * size_t(OW) * 4;
            for (int c = 0; c < OW; ++c) {
                d[4 * c + 0] = ToByte(p[4 * c + 2]);
                d[4 * c + 1] = ToByte(p[4 * c + 1]);
                d[4 * c + 2] = ToByte(p[4 * c + 0]);
                d[4 * c + 3] = ToByte(p[4 * c + 3]);
            }
        }
    }
    if (error) error->clear();
    return true;
}

}  // namespace

bool SceneComposeLayers(const std::vector<CanvasObject*>& objects, uint32_t canvasColour, float originX,
                        float originY, const ComposeOutput& out, std::string* error) {
    return ComposeObjects(objects, canvasColour, originX, originY, out, error, VectorRowsAvailable());
}

bool SceneComposeLayersReference(const std::vector<CanvasObject*>& objects, uint32_t canvasColour, float originX,
                                 float originY, const ComposeOutput& out, std::string* error) {
    return ComposeObjects(objects, canvasColour, originX, originY, out, error, false);
}

bool scene_compose(CanvasDocument& scene, const ComposeOutput& out, std::string* error) {
    std::vector<CanvasObject*> list;
    for (const Drawable& d : CompositeRenderer::CollectDrawables(scene)) list.push_back(d.object);
    return SceneComposeLayers(list, scene.canvasColour, 0, 0, out, error);
}
