#include "filters/KaleidoscopeBlur.h"

#include "filters/BevelShading.h"
#include "filters/DistanceTransform.h"
#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

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
    BitmapPtr out = CopyFilterSource(source);  // R starts as the source; S is the source itself
    if (!out || r < 1) return out;

    const std::vector<uint8_t> A = AlphaPlane(source);
    const std::unique_ptr<float[]> D = UninitialisedPlane<float>(A.size());
    DistanceTransform(A.data(), w, h, D.get(), true);
    const int stride = ContourTapStride(r);
    const Bitmap& S = source;
#pragma omp parallel for schedule(dynamic, 16) if (int64_t(w) * h > kFilterParallelPixels)
    for (int y = 0; y < h; ++y) {
        uint8_t* dst = out->Row(y);
        for (int x = 0; x < w; ++x) {
            if (!A[size_t(y) * size_t(w) + size_t(x)]) continue;
            const DistanceGradientAt g = DistanceGradient(D.get(), w, h, x, y);
            if (g.length < 0.1f) continue;  // on a ridge of the distance field
            const float tx = -g.gy / g.length, ty = g.gx / g.length;
            float sum = 0, acc[3] = {0, 0, 0};
            int lo, hi;
            ContourTapRange(x, y, tx, ty, w, h, r, lo, hi);
            ContourStrideRange(stride, r, lo, hi);
            for (int k = lo; k <= hi; k += stride) {
                const float px = float(x) + tx * float(k), py = float(y) + ty * float(k);
                if (px < 0 || px >= float(w - 1) || py < 0 || py >= float(h - 1)) continue;
                const int i = int(px), j = int(py);
                const float fx = px - float(i), fy = py - float(j);
                const uint8_t* p0 = S.Row(j) + size_t(i) * 4;
                const uint8_t* p1 = S.Row(j + 1) + size_t(i) * 4;
                float v[4];
                for (int c = 0; c < 4; ++c)
                    v[c] = (float(p0[c]) * (1 - fx) + float(p0[4 + c]) * fx) * (1 - fy) +
                           (float(p1[c]) * (1 - fx) + float(p1[4 + c]) * fx) * fy;
                const float q = v[3] / 255.0f;
                sum += q;
                for (int c = 0; c < 3; ++c) acc[c] += q * v[c];
            }
            if (sum > 0)
                for (int c = 0; c < 3; ++c) dst[4 * x + c] = RoundByte(acc[c] / sum);
        }
    }
    return out;
}
