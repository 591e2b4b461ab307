#include "filters/KaleidoscopeBlur.h"

#include "filters/BevelShading.h"
#include "filters/DistanceTransform.h"
#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"
#include "platform/CpuLevel.h"

#include <cstring>

#include <immintrin.h>

void InitKaleidoscopeBlurParams(EffectParams& p) { p.Set(KaleidoscopeBlurParams{}); }

void ScaleKaleidoscopeBlurParams(EffectParams& p, float f) {
    if (auto* r = p.Get<KaleidoscopeBlurParams>()) r->width = ScaledFilterSize(r->width, f);
}

namespace {

// The taps of one pixel, already known to lie inside the image: the
// alpha-weighted sums of their bilinear samples, taken in tap order.
struct TapSums {
    float sum = 0;
    alignas(16) float acc[4] = {0, 0, 0, 0};
};
using SumTapsFn = void (*)(const Bitmap& S, const float* px, const float* py, int n, TapSums& out);

// One tap: bilinear in all four channels at once, each lane with the
// operations of the scalar formula in the same order; the weight is the
// sampled alpha / 255.
[[gnu::always_inline]] inline void AddTap(const Bitmap& S, float px, float py, float& sum, __m128& acc) {
    const __m128i zero = _mm_setzero_si128();
    auto load2 = [&](const uint8_t* p, __m128& a, __m128& b) {
        const __m128i v = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero);
        a = _mm_cvtepi32_ps(_mm_unpacklo_epi16(v, zero));
        b = _mm_cvtepi32_ps(_mm_unpackhi_epi16(v, zero));
    };
    const int i = int(px), j = int(py);
    const float fx = px - float(i), fy = py - float(j);
    __m128 a0, b0, a1, b1;
    load2(S.Row(j) + size_t(i) * 4, a0, b0);
    load2(S.Row(j + 1) + size_t(i) * 4, a1, b1);
    const __m128 gx = _mm_set1_ps(1 - fx), fx4 = _mm_set1_ps(fx);
    const __m128 top = _mm_add_ps(_mm_mul_ps(a0, gx), _mm_mul_ps(b0, fx4));
    const __m128 bottom = _mm_add_ps(_mm_mul_ps(a1, gx), _mm_mul_ps(b1, fx4));
    const __m128 v = _mm_add_ps(_mm_mul_ps(top, _mm_set1_ps(1 - fy)), _mm_mul_ps(bottom, _mm_set1_ps(fy)));
    const float q = _mm_cvtss_f32(_mm_shuffle_ps(v, v, 3)) / 255.0f;
    sum += q;
    acc = _mm_add_ps(acc, _mm_mul_ps(_mm_set1_ps(q), v));
}

void SumTapsBaseline(const Bitmap& S, const float* px, const float* py, int n, TapSums& out) {
    float sum = 0;
    __m128 acc = _mm_setzero_ps();
    for (int t = 0; t < n; ++t) AddTap(S, px[t], py[t], sum, acc);
    out.sum = sum;
    _mm_store_ps(out.acc, acc);
}

// Texels (i, j) and (i + 1, j), all four channels as floats.
__attribute__((target("avx2"), always_inline)) inline __m256 TexelPairAvx2(const Bitmap& S, int i, int j) {
    return _mm256_cvtepi32_ps(
        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(S.Row(j) + size_t(i) * 4))));
}

// Taps A and B side by side, A in the low halves of 256-bit registers and B
// in the high ones (no fused multiply-add: each lane rounds as AddTap does):
// v gets their bilinear samples, q each tap's weight (sampled alpha / 255) in
// all four of its lanes.
__attribute__((target("avx2"), always_inline)) inline void TapPairAvx2(const Bitmap& S, float pxA, float pyA,
                                                                       float pxB, float pyB, __m256& v, __m256& q) {
    const int iA = int(pxA), jA = int(pyA), iB = int(pxB), jB = int(pyB);
    const float fxA = pxA - float(iA), fyA = pyA - float(jA);
    const float fxB = pxB - float(iB), fyB = pyB - float(jB);
    const __m256 A0 = TexelPairAvx2(S, iA, jA), A1 = TexelPairAvx2(S, iA, jA + 1);
    const __m256 B0 = TexelPairAvx2(S, iB, jB), B1 = TexelPairAvx2(S, iB, jB + 1);
    // [A texel i | B texel i] and [A texel i + 1 | B texel i + 1], top and bottom rows.
    const __m256 a0 = _mm256_permute2f128_ps(A0, B0, 0x20), b0 = _mm256_permute2f128_ps(A0, B0, 0x31);
    const __m256 a1 = _mm256_permute2f128_ps(A1, B1, 0x20), b1 = _mm256_permute2f128_ps(A1, B1, 0x31);
    const __m256 gx = _mm256_set_m128(_mm_set1_ps(1 - fxB), _mm_set1_ps(1 - fxA));
    const __m256 fx = _mm256_set_m128(_mm_set1_ps(fxB), _mm_set1_ps(fxA));
    const __m256 gy = _mm256_set_m128(_mm_set1_ps(1 - fyB), _mm_set1_ps(1 - fyA));
    const __m256 fy = _mm256_set_m128(_mm_set1_ps(fyB), _mm_set1_ps(fyA));
    const __m256 top = _mm256_add_ps(_mm256_mul_ps(a0, gx), _mm256_mul_ps(b0, fx));
    const __m256 bottom = _mm256_add_ps(_mm256_mul_ps(a1, gx), _mm256_mul_ps(b1, fx));
    v = _mm256_add_ps(_mm256_mul_ps(top, gy), _mm256_mul_ps(bottom, fy));
    const __m256i broadcastAlpha = _mm256_setr_epi32(3, 3, 3, 3, 7, 7, 7, 7);
    q = _mm256_permutevar8x32_ps(_mm256_div_ps(v, _mm256_set1_ps(255.0f)), broadcastAlpha);
}

// Two taps at a time in the halves of 256-bit registers (no fused
// multiply-add: each lane still rounds as the baseline does); the sums still
// take the first tap before the second.
__attribute__((target("avx2"))) void SumTapsAvx2(const Bitmap& S, const float* px, const float* py, int n,
                                                 TapSums& out) {
    float sum = 0;
    __m128 acc = _mm_setzero_ps();
    int t = 0;
    for (; t + 1 < n; t += 2) {
        __m256 v, q;
        TapPairAvx2(S, px[t], py[t], px[t + 1], py[t + 1], v, q);
        sum += _mm_cvtss_f32(_mm256_castps256_ps128(q));
        sum += _mm_cvtss_f32(_mm256_extractf128_ps(q, 1));
        const __m256 qv = _mm256_mul_ps(q, v);
        acc = _mm_add_ps(acc, _mm256_castps256_ps128(qv));
        acc = _mm_add_ps(acc, _mm256_extractf128_ps(qv, 1));
    }
    if (t < n) AddTap(S, px[t], py[t], sum, acc);
    out.sum = sum;
    _mm_store_ps(out.acc, acc);
}

// Two pixels at a time, the taps of pixel A in the low halves of 256-bit
// registers and those of pixel B in the high halves: each pixel's sums take
// its taps one after another exactly as above, but the two chains of
// additions run side by side instead of one after the other.
using SumTapPairsFn = void (*)(const Bitmap& S, const float* pxA, const float* pyA, int nA, TapSums& outA,
                               const float* pxB, const float* pyB, int nB, TapSums& outB);

__attribute__((target("avx2"))) void SumTapPairsAvx2(const Bitmap& S, const float* pxA, const float* pyA, int nA,
                                                     TapSums& outA, const float* pxB, const float* pyB, int nB,
                                                     TapSums& outB) {
    __m256 sum = _mm256_setzero_ps(), acc = _mm256_setzero_ps();
    const int n = std::min(nA, nB);
    for (int t = 0; t < n; ++t) {
        __m256 v, q;
        TapPairAvx2(S, pxA[t], pyA[t], pxB[t], pyB[t], v, q);
        sum = _mm256_add_ps(sum, q);
        acc = _mm256_add_ps(acc, _mm256_mul_ps(q, v));
    }
    // The longer list goes on alone.
    float sA = _mm_cvtss_f32(_mm256_castps256_ps128(sum)), sB = _mm_cvtss_f32(_mm256_extractf128_ps(sum, 1));
    __m128 aA = _mm256_castps256_ps128(acc), aB = _mm256_extractf128_ps(acc, 1);
    for (int t = n; t < nA; ++t) AddTap(S, pxA[t], pyA[t], sA, aA);
    for (int t = n; t < nB; ++t) AddTap(S, pxB[t], pyB[t], sB, aB);
    outA.sum = sA;
    _mm_store_ps(outA.acc, aA);
    outB.sum = sB;
    _mm_store_ps(outB.acc, aB);
}

SumTapsFn PickSumTaps() { return ActiveCpuLevel() >= CpuLevel::Avx2 ? &SumTapsAvx2 : &SumTapsBaseline; }
SumTapPairsFn PickSumTapPairs() { return ActiveCpuLevel() >= CpuLevel::Avx2 ? &SumTapPairsAvx2 : nullptr; }

}  // namespace

BitmapPtr ApplyKaleidoscopeBlur(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    const auto* rec = params.Get<KaleidoscopeBlurParams>();
    const int w = source.Width(), h = source.Height();
    if (!rec || w < 1 || h < 1) return nullptr;
    // Samples further than the diagonal from the pixel always fall outside the image.
    const int r = std::min(WholePixels(rec->width), FilterDiagonal(w, h));
    if (r < 1) return CopyFilterSource(source);
    BitmapPtr out = CreateFilterOutput(w, h);
    if (!out) return nullptr;

    const WorkPlane<uint8_t> A = AlphaWorkPlane(source);
    const WorkPlane<float> D = MakeWorkPlane<float>(size_t(w) * size_t(h));
    DistanceTransform(A.get(), w, h, D.get(), true);
    const int stride = ContourTapStride(r);
    const SumTapsFn sumTaps = PickSumTaps();
    const SumTapPairsFn sumTapPairs = PickSumTapPairs();
    const Bitmap& S = source;
    // Rows go out in blocks of 16. Taps spread over a long reach land far from
    // their pixel, and the next row's taps land one row further on: within a
    // block the rows are worked a strip of columns at a time, so that those
    // taps are still in cache when the next row asks for them.
    constexpr int kRowBlock = 16;
    const int strip = stride > 1 ? 64 : w;
#pragma omp parallel for schedule(dynamic, 1) if (int64_t(w) * h > kFilterParallelPixels)
    for (int y0 = 0; y0 < h; y0 += kRowBlock) {
        const int y1 = std::min(h, y0 + kRowBlock);
        for (int y = y0; y < y1; ++y)
            // The result starts as the source row; blurred pixels are written over it.
            std::memcpy(out->Row(y), S.Row(y), size_t(w) * 4);
        for (int xa = 0; xa < w; xa += strip) {
            for (int y = y0; y < y1; ++y) {
                uint8_t* dst = out->Row(y);
                // The taps of up to two pixels waiting to be summed together.
                float px[2][2 * kContourTapsPerSide + 1], py[2][2 * kContourTapsPerSide + 1];
                int taps[2] = {0, 0}, xs[2] = {0, 0};
                int waiting = 0;
                auto write = [&](int x, const TapSums& t) {
                    if (t.sum > 0)
                        for (int c = 0; c < 3; ++c) dst[4 * x + c] = RoundByte(t.acc[c] / t.sum);
                };
                for (int x = xa, xb = std::min(w, xa + strip); x < xb; ++x) {
                    if (!A[size_t(y) * size_t(w) + size_t(x)]) continue;
                    const DistanceGradientAt g = DistanceGradient(D.get(), w, h, x, y);
                    if (g.length < 0.1f) continue;  // on a ridge of the distance field
                    const float tx = -g.gy / g.length, ty = g.gx / g.length;
                    // The taps that lie inside the image, in order.
                    float* sx = px[waiting];
                    float* sy = py[waiting];
                    int n = 0;
                    int lo = -r, hi = r;
                    if (x > r + 1 && y > r + 1 && x < w - 3 - r && y < h - 3 - r) {
                        // More than r + 1 from every border (|t| is 1 to within a few
                        // units in the last place): every tap lies inside.
                        ContourStrideRange(stride, r, lo, hi);
                        for (int k = lo; k <= hi; k += stride, ++n) {
                            sx[n] = float(x) + tx * float(k);
                            sy[n] = float(y) + ty * float(k);
                        }
                    } else {
                        ContourTapRange(x, y, tx, ty, w, h, r, lo, hi);
                        ContourStrideRange(stride, r, lo, hi);
                        for (int k = lo; k <= hi; k += stride) {
                            const float qx = float(x) + tx * float(k), qy = float(y) + ty * float(k);
                            if (qx < 0 || qx >= float(w - 1) || qy < 0 || qy >= float(h - 1)) continue;
                            sx[n] = qx;
                            sy[n] = qy;
                            ++n;
                        }
                    }
                    taps[waiting] = n;
                    xs[waiting] = x;
                    if (!sumTapPairs) {
                        TapSums t;
                        sumTaps(S, sx, sy, n, t);
                        write(x, t);
                    } else if (waiting == 0) {
                        waiting = 1;
                    } else {
                        TapSums t0, t1;
                        sumTapPairs(S, px[0], py[0], taps[0], t0, px[1], py[1], taps[1], t1);
                        write(xs[0], t0);
                        write(xs[1], t1);
                        waiting = 0;
                    }
                }
                if (waiting) {
                    TapSums t;
                    sumTaps(S, px[0], py[0], taps[0], t);
                    write(xs[0], t);
                }
            }
        }
    }
    return out;
}
