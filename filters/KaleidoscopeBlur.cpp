#include "filters/KaleidoscopeBlur.h"

#include "filters/BevelShading.h"
#include "filters/DistanceTransform.h"
#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

#include <cstring>

#include <emmintrin.h>

void InitKaleidoscopeBlurParams(EffectParams& p) { p.Set(KaleidoscopeBlurParams{}); }

void ScaleKaleidoscopeBlurParams(EffectParams& p, float f) {
    if (auto* r = p.Get<KaleidoscopeBlurParams>()) r->width = ScaledFilterSize(r->width, f);
}

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

    const std::vector<uint8_t> A = AlphaPlane(source);
    const std::unique_ptr<float[]> D = UninitialisedPlane<float>(A.size());
    DistanceTransform(A.data(), w, h, D.get(), true);
    const int stride = ContourTapStride(r);
    const Bitmap& S = source;
    const __m128i zero = _mm_setzero_si128();
    // Two neighbouring pixels' B, G, R, A as floats.
    auto load2 = [&](const uint8_t* p, __m128& a, __m128& b) {
        const __m128i v = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero);
        a = _mm_cvtepi32_ps(_mm_unpacklo_epi16(v, zero));
        b = _mm_cvtepi32_ps(_mm_unpackhi_epi16(v, zero));
    };
#pragma omp parallel for schedule(dynamic, 16) if (int64_t(w) * h > kFilterParallelPixels)
    for (int y = 0; y < h; ++y) {
        // The result starts as the source row; blurred pixels are written over it.
        uint8_t* dst = out->Row(y);
        std::memcpy(dst, S.Row(y), size_t(w) * 4);
        for (int x = 0; x < w; ++x) {
            if (!A[size_t(y) * size_t(w) + size_t(x)]) continue;
            const DistanceGradientAt g = DistanceGradient(D.get(), w, h, x, y);
            if (g.length < 0.1f) continue;  // on a ridge of the distance field
            const float tx = -g.gy / g.length, ty = g.gx / g.length;
            float sum = 0;
            __m128 acc = _mm_setzero_ps();
            int lo = -r, hi = r;
            // Taps of a pixel further than r from every border all lie inside.
            if (x <= r || y <= r || x >= w - 2 - r || y >= h - 2 - r) ContourTapRange(x, y, tx, ty, w, h, r, lo, hi);
            ContourStrideRange(stride, r, lo, hi);
            for (int k = lo; k <= hi; k += stride) {
                const float px = float(x) + tx * float(k), py = float(y) + ty * float(k);
                if (px < 0 || px >= float(w - 1) || py < 0 || py >= float(h - 1)) continue;
                const int i = int(px), j = int(py);
                const float fx = px - float(i), fy = py - float(j);
                // Bilinear in all four channels at once, each lane with the
                // operations of the scalar formula in the same order.
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
            if (sum > 0) {
                alignas(16) float a[4];
                _mm_store_ps(a, acc);
                for (int c = 0; c < 3; ++c) dst[4 * x + c] = RoundByte(a[c] / sum);
            }
        }
    }
    return out;
}
