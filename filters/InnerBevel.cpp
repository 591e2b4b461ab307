#include "filters/InnerBevel.h"

#include "filters/DistanceTransform.h"
#include "filters/EffectInstance.h"
#include "filters/BevelShading.h"
#include "filters/FilterPixels.h"

#include <cstring>
#include <utility>

void InitInnerBevelParams(EffectParams& p) { p.Set(InnerBevelParams{}); }

void ScaleInnerBevelParams(EffectParams& p, float f) {
    if (auto* r = p.Get<InnerBevelParams>()) r->width = ScaledFilterSize(r->width, f);
}


BitmapPtr RenderInnerBevel(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    const auto* rec = params.Get<InnerBevelParams>();
    const int W = source.Width(), H = source.Height();
    if (!rec || W < 1 || H < 1) return nullptr;
    // No distance inside the object reaches past its diagonal.
    const int diagonal = FilterDiagonal(W, H);
    const float wf = ClampParam(rec->width, 0, float(diagonal));
    const int s = std::min(WholePixels(rec->softness), diagonal);
    const float k = ClampParam(rec->strength, 0, 1);
    if (wf < 1 || k <= 0) return CopyFilterSource(source);
    BitmapPtr out = CreateFilterOutput(W, H);
    if (!out) return nullptr;

    const std::vector<uint8_t> A = AlphaPlane(source);
    const size_t n = A.size();
    const std::unique_ptr<float[]> D = UninitialisedPlane<float>(n);
    DistanceTransform(A.data(), W, H, D.get(), true);
    const std::unique_ptr<float[]> Gx = UninitialisedPlane<float>(n), Gy = UninitialisedPlane<float>(n);
    const std::unique_ptr<float[]> tx = UninitialisedPlane<float>(n), ty = UninitialisedPlane<float>(n);
    const bool parallel = int64_t(W) * H > kFilterParallelPixels;
    const size_t w = size_t(W);
    // The gradient of D inside the object (0 outside), then [1 2 1] / 4 along
    // rows into (tx, ty) and along columns back, over the whole plane.
#pragma omp parallel if (parallel)
    {
#pragma omp for schedule(static)
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const size_t i = size_t(y) * w + size_t(x);
                if (!A[i]) {
                    Gx[i] = Gy[i] = 0.0f;
                    continue;
                }
                const DistanceGradientAt g = DistanceGradient(D.get(), W, H, x, y);
                Gx[i] = g.gx;
                Gy[i] = g.gy;
            }
#pragma omp for schedule(static)
        for (int y = 0; y < H; ++y)
            for (const auto& [g, t] : {std::pair{Gx.get(), tx.get()}, std::pair{Gy.get(), ty.get()}}) {
                const float* r = g + size_t(y) * w;
                float* o = t + size_t(y) * w;
                for (int x = 0; x < W; ++x) o[x] = (2 * r[x] + r[std::max(x - 1, 0)] + r[std::min(x + 1, W - 1)]) * 0.25f;
            }
#pragma omp for schedule(static)
        for (int y = 0; y < H; ++y)
            for (const auto& [g, t] : {std::pair{Gx.get(), tx.get()}, std::pair{Gy.get(), ty.get()}}) {
                const float* up = t + size_t(std::max(y - 1, 0)) * w;
                const float* mid = t + size_t(y) * w;
                const float* down = t + size_t(std::min(y + 1, H - 1)) * w;
                float* r = g + size_t(y) * w;
                for (int x = 0; x < W; ++x) r[x] = (2 * mid[x] + up[x] + down[x]) * 0.25f;
            }
    }

    const BevelLight L = BevelLightVector(rec->angle);
    const BevelSlopeTable T = BuildBevelSlopeTable(rec->profile, rec->points);
    auto inBand = [&](size_t i) { return A[i] && D[i] > 0 && D[i] < wf; };
    std::vector<uint8_t> S(n);
#pragma omp parallel for schedule(static) if (parallel)
    for (int y = 0; y < H; ++y)
        for (size_t i = size_t(y) * w, e = i + w; i < e; ++i) {
            if (!inBand(i)) {
                S[i] = 128;
                continue;
            }
            // The distance grows inwards, so the normal leans outwards.
            const float sigma = BevelSlopeAt(T, D[i], wf);
            S[i] = BevelShadeByte(BevelShadeValue(-sigma * Gx[i] * 1.5f, -sigma * Gy[i] * 1.5f, L, k));
        }
    if (s >= 1) {
        // Smoothed into a second plane (the taps read the unsmoothed one).
        std::vector<uint8_t> S1(n);
        const int stride = ContourTapStride(s);
#pragma omp parallel for schedule(dynamic, 16) if (parallel)
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const size_t i = size_t(y) * w + size_t(x);
                S1[i] = S[i];
                if (!inBand(i)) continue;
                const float m = std::sqrt(Gx[i] * Gx[i] + Gy[i] * Gy[i]);
                if (m < 0.1f) continue;
                const float ux = -Gy[i] / m, uy = Gx[i] / m;
                float sum = 0;
                int count = 0;
                int lo, hi;
                ContourTapRange(x, y, ux, uy, W, H, s, lo, hi);
                ContourStrideRange(stride, s, lo, hi);
                for (int l = lo; l <= hi; l += stride) {
                    const float sx = float(x) + float(l) * ux, sy = float(y) + float(l) * uy;
                    if (!ContourTapInside(sx, sy, W, H)) continue;
                    if (!A[size_t(int(sy)) * w + size_t(int(sx))]) continue;
                    sum += ContourSample(S.data(), W, sx, sy);
                    ++count;
                }
                if (count) S1[i] = RoundByte(sum / float(count));
            }
        S.swap(S1);
    }
    ComposeShadedColours(*out, source, S.data());
    return out;
}

BitmapPtr ApplyInnerBevel(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    return RenderInnerBevel(source, params, offsetX, offsetY);
}
