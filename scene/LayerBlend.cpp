// Surface: premultiplied B, G, R, A bytes. Layer: straight B, G, R, A bytes.
// Bytes become floats as byte x (1 / 255). The four-pixel path rounds halves
// to even, the per-pixel path adds 0.5 and truncates (see LayerBlend.h).
//
// Each path has one generic lane driver, instantiated per mode for 4 lanes
// (baseline SSE2), 8 lanes (AVX2) or 16 lanes (AVX-512), chosen at run time, and a scalar
// reference below that follows the formulas one pixel at a time.
// The wide lane helpers are always inlined into the AVX row functions; the
// ABI note the compilers give for their out-of-line form does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
// The AVX-512 rows may use fused multiply-adds; contracting a * b + c would
// round differently from the scalar formulas, so every product stays a product.
#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#else
#pragma GCC optimize("fp-contract=off")
#endif

#include "scene/LayerBlend.h"

#include "platform/CpuLevel.h"
#include "platform/Raster.h"
#include "scene/BlendModes.h"
#include "scene/PhotoBashBlend.h"

#include <algorithm>
#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <cmath>
#include <cstring>
#include <utility>

namespace {

using namespace blendfn;

#define LANEFN inline __attribute__((always_inline))

constexpr float kInv255 = 1.0f / 255.0f;

constexpr bool KernelMode(int m) {
    switch (m) {
    case kBlendNormal:
    case kBlendDissolve:
    case kBlendVividLight:
    case kBlendHue:
    case kBlendSaturation:
    case kBlendColor:
    case kBlendLuminosity:
    case kBlendRed:
    case kBlendGreen:
    case kBlendBlue:
    case kBlendInterpolation:
    case kBlendXor:
    case kBlendTint:
    case kBlendPhotoBash: return false;
    default: return m >= 0 && m < kBlendModeCount;
    }
}

template <class V> struct Lanes;
template <> struct Lanes<F32x4> {
    typedef uint32_t U __attribute__((vector_size(16)));
    typedef int32_t I __attribute__((vector_size(16)));
    static constexpr int N = 4;
};
template <> struct Lanes<F32x8> {
    typedef uint32_t U __attribute__((vector_size(32)));
    typedef int32_t I __attribute__((vector_size(32)));
    static constexpr int N = 8;
};
template <> struct Lanes<F32x16> {
    typedef uint32_t U __attribute__((vector_size(64)));
    typedef int32_t I __attribute__((vector_size(64)));
    static constexpr int N = 16;
};

template <class V> LANEFN V ToFloat(typename Lanes<V>::U u) {
    return __builtin_convertvector((typename Lanes<V>::I)u, V);
}
template <class V> LANEFN typename Lanes<V>::U ToU32(V v) {
    return (typename Lanes<V>::U) __builtin_convertvector(v, typename Lanes<V>::I);
}
// For clang, lane masks are folded to four lanes (OR for Any, AND for All) and
// read with the baseline SSE sign-mask instruction; GCC uses the full-width builtins.
template <class M> LANEFN auto FoldTo4(M m, bool any) {
    if constexpr (sizeof(M) == 64) {
        const auto lo = __builtin_shufflevector(m, m, 0, 1, 2, 3, 4, 5, 6, 7);
        const auto hi = __builtin_shufflevector(m, m, 8, 9, 10, 11, 12, 13, 14, 15);
        return FoldTo4(any ? (lo | hi) : (lo & hi), any);
    } else if constexpr (sizeof(M) == 32) {
        const auto lo = __builtin_shufflevector(m, m, 0, 1, 2, 3);
        const auto hi = __builtin_shufflevector(m, m, 4, 5, 6, 7);
        return any ? (lo | hi) : (lo & hi);
    } else {
        return m;
    }
}
// True when any lane of a comparison mask is set.
template <class V, class M> LANEFN bool Any(M m) {
#if defined(__x86_64__) && !defined(__clang__)
    if constexpr (Lanes<V>::N == 4) return __builtin_ia32_movmskps((F32x4)m) != 0;
    else if constexpr (Lanes<V>::N == 8) return __builtin_ia32_movmskps256((F32x8)m) != 0;
    else return __builtin_ia32_ptestmd512(m, m, (unsigned short)0xFFFF) != 0;
#elif defined(__x86_64__)
    const auto m4 = FoldTo4(m, true);
    return _mm_movemask_ps((__m128)m4) != 0;
#else
    const auto m4 = FoldTo4(m, true);
    return (m4[0] | m4[1] | m4[2] | m4[3]) != 0;
#endif
}
// True when every lane of a comparison mask is set.
template <class V, class M> LANEFN bool All(M m) {
#if defined(__x86_64__) && !defined(__clang__)
    if constexpr (Lanes<V>::N == 4) return __builtin_ia32_movmskps((F32x4)m) == 0xF;
    else if constexpr (Lanes<V>::N == 8) return __builtin_ia32_movmskps256((F32x8)m) == 0xFF;
    else return __builtin_ia32_ptestmd512(m, m, (unsigned short)0xFFFF) == 0xFFFF;
#elif defined(__x86_64__)
    const auto m4 = FoldTo4(m, false);
    return _mm_movemask_ps((__m128)m4) == 0xF;
#else
    const auto m4 = FoldTo4(m, false);
    return (m4[0] & m4[1] & m4[2] & m4[3]) != 0;
#endif
}
// Nearest integer, halves to even (the default rounding of the conversion).
// Wide vectors convert four lanes at a time, as Sqrt does.
template <class V> LANEFN typename Lanes<V>::U RoundToU32(V v) {
#if defined(__x86_64__) && !defined(__clang__)
    // GCC keeps the full-width conversions; splitting them cost a third of the speed.
    if constexpr (Lanes<V>::N == 4) return (typename Lanes<V>::U)__builtin_ia32_cvtps2dq(v);
    else if constexpr (Lanes<V>::N == 8) return (typename Lanes<V>::U)__builtin_ia32_cvtps2dq256(v);
    else
        return (typename Lanes<V>::U)__builtin_ia32_cvtps2dq512_mask(v, typename Lanes<V>::I{}, (unsigned short)0xFFFF,
                                                                     4);
#elif defined(__x86_64__)
    if constexpr (Lanes<V>::N == 4) {
        return (typename Lanes<V>::U)_mm_cvtps_epi32((__m128)v);
    } else if constexpr (Lanes<V>::N == 8) {
        const auto lo = RoundToU32<F32x4>(__builtin_shufflevector(v, v, 0, 1, 2, 3));
        const auto hi = RoundToU32<F32x4>(__builtin_shufflevector(v, v, 4, 5, 6, 7));
        return (typename Lanes<V>::U)__builtin_shufflevector(lo, hi, 0, 1, 2, 3, 4, 5, 6, 7);
    } else {
        const auto lo = RoundToU32<F32x8>(__builtin_shufflevector(v, v, 0, 1, 2, 3, 4, 5, 6, 7));
        const auto hi = RoundToU32<F32x8>(__builtin_shufflevector(v, v, 8, 9, 10, 11, 12, 13, 14, 15));
        return (typename Lanes<V>::U)__builtin_shufflevector(lo, hi, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14,
                                                             15);
    }
#else
    return ToU32(RoundHalfEven(v));
#endif
}

// clamp(v, 0, 1) x 255 + 0.5, truncated
template <class V> LANEFN typename Lanes<V>::U ByteTrunc(V v) {
    v = v > 0.0f ? v : K<V>(0);
    v = v < 1.0f ? v : K<V>(1);
    return ToU32(v * 255.0f + 0.5f);
}
// clamp(v x 255, 0, 255), rounded half to even
template <class V> LANEFN typename Lanes<V>::U ByteHalfEven(V v) {
    v = v * 255.0f;
    v = v > 0.0f ? v : K<V>(0);
    v = v < 255.0f ? v : K<V>(255);
    return RoundToU32(v);
}

// ---------------------------------------------------------------- per pixel

LANEFN uint8_t ByteRound(float v) {  // clamp to [0, 1], x 255, + 0.5, truncate
    v = v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
    return uint8_t(v * 255.0f + 0.5f);
}

// One pixel of the per-pixel path for mode M (not Dissolve).
template <int M> LANEFN void PixelOne(uint8_t* d, const uint8_t* s, float opacity) {
    const float as = s[3] * kInv255 * opacity;
    if (!(as > 0.0f)) return;
    const float ab = d[3] * kInv255;
    const float inv = 1.0f / ab;
    const float cbb = ab > 0.0f ? d[0] * kInv255 * inv : 0.0f;
    const float cbg = ab > 0.0f ? d[1] * kInv255 * inv : 0.0f;
    const float cbr = ab > 0.0f ? d[2] * kInv255 * inv : 0.0f;
    float r, g, b, a;
    CompositeWithBlend<M>(cbr, cbg, cbb, ab, s[2] * kInv255, s[1] * kInv255, s[0] * kInv255, as, r, g, b, a);
    d[0] = ByteRound(b * a);
    d[1] = ByteRound(g * a);
    d[2] = ByteRound(r * a);
    d[3] = ByteRound(a);
}

template <class U> LANEFN U DissolveHash(U x, U y) {
    U h = (y * 0x9E37u) ^ (x * 0x9E3779B1u);
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

// Lanes of the per-pixel path: the same arithmetic as PixelOne, N pixels at once.
template <int M, class V> LANEFN void PixelLanes(uint8_t* d, const uint8_t* s, float opacity, uint32_t x, uint32_t y) {
    using U = typename Lanes<V>::U;
    U dp, sp;
    std::memcpy(&dp, d, sizeof(U));
    std::memcpy(&sp, s, sizeof(U));
    const V as = ToFloat<V>(sp >> 24) * kInv255 * opacity;
    const auto on = as > 0.0f;
    if (!Any<V>(on)) return;
    U out;
    if constexpr (M == kBlendDissolve) {
        U xs;
        for (int i = 0; i < Lanes<V>::N; ++i) xs[i] = x + uint32_t(i);
        const V thr = ToFloat<V>(DissolveHash(xs, U{} + y) & 0xFFFFu) / 65535.0f;
        out = as > thr ? (sp | 0xFF000000u) : dp;
    } else {
        const V ab = ToFloat<V>(dp >> 24) * kInv255;
        const V inv = 1.0f / ab;
        const auto hasB = ab > 0.0f;
        const V cbb = hasB ? ToFloat<V>(dp & 0xFFu) * kInv255 * inv : K<V>(0);
        const V cbg = hasB ? ToFloat<V>((dp >> 8) & 0xFFu) * kInv255 * inv : K<V>(0);
        const V cbr = hasB ? ToFloat<V>((dp >> 16) & 0xFFu) * kInv255 * inv : K<V>(0);
        const V csb = ToFloat<V>(sp & 0xFFu) * kInv255;
        const V csg = ToFloat<V>((sp >> 8) & 0xFFu) * kInv255;
        const V csr = ToFloat<V>((sp >> 16) & 0xFFu) * kInv255;
        V r, g, b, a;
        CompositeWithBlend<M>(cbr, cbg, cbb, ab, csr, csg, csb, as, r, g, b, a);
        const U px = ByteTrunc(b * a) | (ByteTrunc(g * a) << 8) | (ByteTrunc(r * a) << 16) | (ByteTrunc(a) << 24);
        out = on ? px : dp;
    }
    std::memcpy(d, &out, sizeof(U));
}

template <int M, class V> LANEFN void PixelRow(uint8_t* d, const uint8_t* s, int n, float opacity, int x, int y) {
    constexpr int N = Lanes<V>::N;
    int i = 0;
    for (; i + N <= n; i += N) PixelLanes<M, V>(d + 4 * i, s + 4 * i, opacity, uint32_t(x + i), uint32_t(y));
    if constexpr (N == 16) {
        if (i + 8 <= n) {
            PixelLanes<M, F32x8>(d + 4 * i, s + 4 * i, opacity, uint32_t(x + i), uint32_t(y));
            i += 8;
        }
    }
    if constexpr (M == kBlendDissolve) {
        for (; i < n; ++i) {
            const float as = s[4 * i + 3] * kInv255 * opacity;
            if (as > 0.0f && as > DissolveThreshold(uint32_t(x + i), uint32_t(y))) {
                std::memcpy(d + 4 * i, s + 4 * i, 3);
                d[4 * i + 3] = 255;
            }
        }
    } else {
        for (; i < n; ++i) PixelOne<M>(d + 4 * i, s + 4 * i, opacity);
    }
}

// ---------------------------------------------------------------- four pixels

template <int M, class V> LANEFN void SimdLanes(uint8_t* d, const uint8_t* s, float opacity) {
    using U = typename Lanes<V>::U;
    U dp, sp;
    std::memcpy(&dp, d, sizeof(U));
    std::memcpy(&sp, s, sizeof(U));
    const V as = ToFloat<V>(sp >> 24) * kInv255 * opacity;
    const auto on = as > 0.0f;
    if (!Any<V>(on)) return;
    const V csb = ToFloat<V>(sp & 0xFFu) * kInv255;
    const V csg = ToFloat<V>((sp >> 8) & 0xFFu) * kInv255;
    const V csr = ToFloat<V>((sp >> 16) & 0xFFu) * kInv255;
    const V ab = ToFloat<V>(dp >> 24) * kInv255;
    const V ao = as + ab * (1.0f - as);
    const V kb = (1.0f - as) * ab;
    V cbb, cbg, cbr, ob, og, orr;
    if (All<V>((dp >> 24) == 255u)) {
        // Opaque backdrop: 1 / max(ab, 1e-6) is exactly 1 and (1 - ab) Cs
        // vanishes, so the general formula reduces to B as + (1 - as) Cb
        // without changing a bit.
        cbb = ToFloat<V>(dp & 0xFFu) * kInv255;
        cbg = ToFloat<V>((dp >> 8) & 0xFFu) * kInv255;
        cbr = ToFloat<V>((dp >> 16) & 0xFFu) * kInv255;
        ob = Channel<M, true>(cbb, csb) * as + kb * cbb;
        og = Channel<M, true>(cbg, csg) * as + kb * cbg;
        orr = Channel<M, true>(cbr, csr) * as + kb * cbr;
    } else {
        const V inv = 1.0f / Max(ab, K<V>(1e-6f));
        const auto hasB = ab > 0.0f;
        cbb = hasB ? ToFloat<V>(dp & 0xFFu) * kInv255 * inv : K<V>(0);
        cbg = hasB ? ToFloat<V>((dp >> 8) & 0xFFu) * kInv255 * inv : K<V>(0);
        cbr = hasB ? ToFloat<V>((dp >> 16) & 0xFFu) * kInv255 * inv : K<V>(0);
        const V ka = 1.0f - ab;
        ob = (ka * csb + ab * Channel<M, true>(cbb, csb)) * as + kb * cbb;
        og = (ka * csg + ab * Channel<M, true>(cbg, csg)) * as + kb * cbg;
        orr = (ka * csr + ab * Channel<M, true>(cbr, csr)) * as + kb * cbr;
    }
    if (!All<V>(ao == 1.0f)) {
        // Divide by max(ao, 1e-6) and multiply back by ao (0 where ao <= 0);
        // both factors are exactly 1 where ao is 1.
        const V invo = 1.0f / Max(ao, K<V>(1e-6f));
        const V back = ao > 0.0f ? ao : K<V>(0);
        ob = ob * invo * back;
        og = og * invo * back;
        orr = orr * invo * back;
    }
    const U px = ByteHalfEven(ob) | (ByteHalfEven(og) << 8) | (ByteHalfEven(orr) << 16) | (ByteHalfEven(ao) << 24);
    const U out = on ? px : dp;
    std::memcpy(d, &out, sizeof(U));
}

template <int M, class V> LANEFN void SimdRow(uint8_t* d, const uint8_t* s, int n, float opacity) {
    constexpr int N = Lanes<V>::N;
    int i = 0;
    for (; i + N <= n; i += N) SimdLanes<M, V>(d + 4 * i, s + 4 * i, opacity);
    if constexpr (N == 16) {
        if (i + 8 <= n) {
            SimdLanes<M, F32x8>(d + 4 * i, s + 4 * i, opacity);
            i += 8;
        }
    }
    if constexpr (N >= 8) {
        if (i + 4 <= n) {
            SimdLanes<M, F32x4>(d + 4 * i, s + 4 * i, opacity);
            i += 4;
        }
    }
    for (; i < n; ++i) PixelOne<M>(d + 4 * i, s + 4 * i, opacity);
}

// ---------------------------------------------------------------- dispatch

using RowFn = void (*)(uint8_t* d, const uint8_t* s, int n, float opacity, int x, int y);

template <int M> void SimdRowSse(uint8_t* d, const uint8_t* s, int n, float op, int, int) {
    SimdRow<M, F32x4>(d, s, n, op);
}
template <int M> __attribute__((target("avx2"))) void SimdRowAvx2(uint8_t* d, const uint8_t* s, int n, float op, int,
                                                                   int) {
    SimdRow<M, F32x8>(d, s, n, op);
}
template <int M> __attribute__((target("avx512f,avx512dq,avx512bw,avx512vl"))) void SimdRowAvx512(uint8_t* d, const uint8_t* s, int n, float op,
                                                                       int, int) {
    SimdRow<M, F32x16>(d, s, n, op);
}
template <int M> __attribute__((target("avx512f,avx512dq,avx512bw,avx512vl"))) void PixelRowAvx512(uint8_t* d, const uint8_t* s, int n,
                                                                        float op, int x, int y) {
    PixelRow<M, F32x16>(d, s, n, op, x, y);
}
template <int M> void PixelRowSse(uint8_t* d, const uint8_t* s, int n, float op, int x, int y) {
    PixelRow<M, F32x4>(d, s, n, op, x, y);
}
template <int M> __attribute__((target("avx2"))) void PixelRowAvx2(uint8_t* d, const uint8_t* s, int n, float op,
                                                                    int x, int y) {
    PixelRow<M, F32x8>(d, s, n, op, x, y);
}

struct RowTables {
    RowFn simd[kBlendModeCount];
    RowFn pixel[kBlendModeCount];
};

// Level: the CpuLevel as an int (0 baseline SSE2, 1 AVX2, 2 AVX-512).
template <int Level, int... M> RowTables MakeRowTables(std::integer_sequence<int, M...>) {
    RowTables t{};
    ((t.simd[M] = !KernelMode(M) ? nullptr
                  : Level == 2   ? &SimdRowAvx512<KernelMode(M) ? M : 1>
                  : Level == 1   ? &SimdRowAvx2<KernelMode(M) ? M : 1>
                                 : &SimdRowSse<KernelMode(M) ? M : 1>),
     ...);
    ((t.pixel[M] = Level == 2 ? &PixelRowAvx512<M> : Level == 1 ? &PixelRowAvx2<M> : &PixelRowSse<M>), ...);
    return t;
}

// The tables of the active level, each built on first use.
const RowTables& Tables() {
    using Seq = std::make_integer_sequence<int, kBlendModeCount>;
    switch (ActiveCpuLevel()) {
    case CpuLevel::Avx512: {
        static const RowTables t = MakeRowTables<2>(Seq{});
        return t;
    }
    case CpuLevel::Avx2: {
        static const RowTables t = MakeRowTables<1>(Seq{});
        return t;
    }
    case CpuLevel::Baseline: break;
    }
    static const RowTables t = MakeRowTables<0>(Seq{});
    return t;
}

void RunRows(CompositeSurface& surface, const uint8_t* layer, int64_t pitch, const BlendRect& r, float opacity,
             RowFn fn) {
    const int n = r.x1 - r.x0;
#pragma omp parallel for schedule(static) if (int64_t(n) * (r.y1 - r.y0) > 32768)
    for (int y = r.y0; y < r.y1; ++y) {
        uint8_t* d = surface.Row(y) + int64_t(r.x0) * 4;
        const uint8_t* s = layer + int64_t(y - r.oy) * pitch + int64_t(r.x0 - r.ox) * 4;
        fn(d, s, n, opacity, r.x0, y);
    }
}

bool ValidRect(const CompositeSurface& surface, const uint8_t* layer, const BlendRect& r) {
    return surface.pixels && layer && r.x0 >= 0 && r.y0 >= 0 && r.x1 <= surface.width && r.y1 <= surface.height &&
           r.x0 < r.x1 && r.y0 < r.y1;
}

// Radius + 0.5 truncated; values that do not fit an int (or NaN) are pinned
// first, the blur clamps them to its range anyway.
int RoundRadius(float r) {
    if (!(r > 0.0f)) return 0;
    return r >= 1000.0f ? 1000 : int(r + 0.5f);
}

}  // namespace

float ClampOpacity(float o) { return o > 0.0f ? (o < 1.0f ? o : 1.0f) : 0.0f; }

bool PlaceLayerOnSurface(const CompositeSurface& surface, int layerWidth, int layerHeight, float originX,
                         float originY, BlendRect& r) {
    if (layerWidth < 1 || layerHeight < 1) return false;
    if (!std::isfinite(originX) || !std::isfinite(originY)) return false;
    const double ox = std::trunc(double(originX)), oy = std::trunc(double(originY));
    const double x0 = std::max(ox, 0.0), y0 = std::max(oy, 0.0);
    const double x1 = std::min(ox + layerWidth, double(surface.width));
    const double y1 = std::min(oy + layerHeight, double(surface.height));
    if (x0 >= x1 || y0 >= y1) return false;
    r.ox = int(ox), r.oy = int(oy), r.x0 = int(x0), r.y0 = int(y0), r.x1 = int(x1), r.y1 = int(y1);
    return true;
}

bool HasBlendKernel(int mode) { return KernelMode(mode); }

float DissolveThreshold(uint32_t x, uint32_t y) {
    uint32_t h = (y * 0x9E37u) ^ (x * 0x9E3779B1u);
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return float(h & 0xFFFFu) / 65535.0f;
}

void BlendLayerSimd(CompositeSurface& surface, const uint8_t* layer, int64_t layerPitch, const BlendRect& r, int mode,
                    float opacity) {
    if (!ValidRect(surface, layer, r) || mode < 0 || mode >= kBlendModeCount) return;
    const RowTables& t = Tables();
    RowFn fn = t.simd[mode] ? t.simd[mode] : t.pixel[mode];
    RunRows(surface, layer, layerPitch, r, ClampOpacity(opacity), fn);
}

void BlendPixelRows(CompositeSurface& surface, const uint8_t* layer, int64_t layerPitch, const BlendRect& r, int mode,
                    float opacity) {
    if (!ValidRect(surface, layer, r) || mode < 0 || mode >= kBlendModeCount) return;
    RunRows(surface, layer, layerPitch, r, ClampOpacity(opacity), Tables().pixel[mode]);
}

void DrawLayerWithBlend(CompositeSurface& surface, const Bitmap& layer, float originX, float originY, int mode,
                        float opacity, const PhotoBashParams& photoBash) {
    if (!surface.pixels || surface.width <= 0 || surface.height <= 0) return;
    if (mode == kBlendNormal) {
        // A plain source-over draw at the exact (fractional) origin.
        ImageDrawOptions o;
        o.interpolation = Interpolation::Bilinear;
        o.opacity = ClampOpacity(std::isnan(opacity) ? 0.0f : opacity);
        DrawBitmapRect(RasterTarget::Of(surface), layer,
                       {originX, originY, float(layer.Width()), float(layer.Height())}, o);
        return;
    }
    if (mode == kBlendPhotoBash) {
        DrawLayerBackdropBlur(surface, layer, originX, originY, opacity, RoundRadius(photoBash.bgRadius),
                              RoundRadius(photoBash.fgRadius), photoBash.mix);
        return;
    }
    opacity = ClampOpacity(opacity);
    BlendRect r;
    if (!PlaceLayerOnSurface(surface, layer.Width(), layer.Height(), originX, originY, r)) return;
    if (mode < 0 || mode >= kBlendModeCount) mode = kBlendNormal;  // unknown values blend as Normal
    if (HasBlendKernel(mode)) BlendLayerSimd(surface, layer.Data(), layer.Stride(), r, mode, opacity);
    else BlendPixelRows(surface, layer.Data(), layer.Stride(), r, mode, opacity);
    surface.dirty = true;
}

// ---------------------------------------------------------------- references

namespace {

using GuardedChannelFn = float (*)(float, float);
template <int... M> constexpr auto MakeGuarded(std::integer_sequence<int, M...>) {
    struct T {
        GuardedChannelFn fn[sizeof...(M)];
    };
    return T{{&Channel<M, true, float>...}};
}
constexpr auto kGuarded = MakeGuarded(std::make_integer_sequence<int, kBlendModeCount>{});

void PixelReference(uint8_t* d, const uint8_t* s, float opacity, int mode, uint32_t x, uint32_t y) {
    const float as = s[3] * kInv255 * opacity;
    if (as <= 0.0f) return;
    if (mode == kBlendDissolve) {
        if (as > DissolveThreshold(x, y)) d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = 255;
        return;
    }
    const float ab = d[3] * kInv255;
    float cb[3] = {0, 0, 0};
    if (ab > 0.0f)
        for (int c = 0; c < 3; ++c) cb[c] = d[c] * kInv255 * (1.0f / ab);
    float r, g, b, a;
    CompositePixelWithBlend(r, g, b, a, cb[2], cb[1], cb[0], ab, s[2] * kInv255, s[1] * kInv255, s[0] * kInv255, as,
                            mode);
    auto byte = [](float v) { return uint8_t(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
    d[0] = byte(b * a), d[1] = byte(g * a), d[2] = byte(r * a), d[3] = byte(a);
}

void SimdReference(uint8_t* d, const uint8_t* s, float opacity, int mode) {
    const float as = s[3] * kInv255 * opacity;
    if (as <= 0.0f) return;
    const float ab = d[3] * kInv255;
    const float inv = 1.0f / std::max(ab, 1e-6f);
    const float ao = as + ab * (1.0f - as);
    uint8_t out[4];
    for (int c = 0; c < 3; ++c) {
        const float cb = ab > 0.0f ? d[c] * kInv255 * inv : 0.0f;
        const float cs = s[c] * kInv255;
        const float bl = kGuarded.fn[mode](cb, cs);
        float v = (((1.0f - ab) * cs + ab * bl) * as + (1.0f - as) * ab * cb) * (1.0f / std::max(ao, 1e-6f)) *
                  (ao > 0.0f ? ao : 0.0f);
        out[c] = uint8_t(std::nearbyint(std::clamp(v * 255.0f, 0.0f, 255.0f)));
    }
    out[3] = uint8_t(std::nearbyint(std::clamp(ao * 255.0f, 0.0f, 255.0f)));
    std::memcpy(d, out, 4);
}

}  // namespace

void BlendLayerSimdReference(CompositeSurface& surface, const uint8_t* layer, int64_t layerPitch, const BlendRect& r,
                             int mode, float opacity) {
    if (!ValidRect(surface, layer, r) || mode < 0 || mode >= kBlendModeCount) return;
    opacity = ClampOpacity(opacity);
    for (int y = r.y0; y < r.y1; ++y) {
        uint8_t* d = surface.Row(y);
        const uint8_t* s = layer + int64_t(y - r.oy) * layerPitch - int64_t(r.ox) * 4;
        const int groupsEnd = KernelMode(mode) ? r.x0 + (r.x1 - r.x0) / 4 * 4 : r.x0;
        for (int x = r.x0; x < r.x1; ++x) {
            if (x < groupsEnd) SimdReference(d + 4 * x, s + 4 * x, opacity, mode);
            else PixelReference(d + 4 * x, s + 4 * x, opacity, mode, uint32_t(x), uint32_t(y));
        }
    }
}

void BlendPixelRowsReference(CompositeSurface& surface, const uint8_t* layer, int64_t layerPitch, const BlendRect& r,
                             int mode, float opacity) {
    if (!ValidRect(surface, layer, r) || mode < 0 || mode >= kBlendModeCount) return;
    opacity = ClampOpacity(opacity);
    for (int y = r.y0; y < r.y1; ++y) {
        uint8_t* d = surface.Row(y);
        const uint8_t* s = layer + int64_t(y - r.oy) * layerPitch - int64_t(r.ox) * 4;
        for (int x = r.x0; x < r.x1; ++x) PixelReference(d + 4 * x, s + 4 * x, opacity, mode, uint32_t(x), uint32_t(y));
    }
}
