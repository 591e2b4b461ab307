#include "filters/InnerBevel.h"

#include "filters/DistanceTransform.h"
#include "filters/EffectInstance.h"
#include "filters/BevelShading.h"
#include "filters/FilterPixels.h"

#include <cstring>

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
    std::vector<float> D(n);
    DistanceTransform(A.data(), W, H, D.data(), true);
    std::vector<float> Gx(n, 0.0f), Gy(n, 0.0f);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const size_t i = size_t(y) * size_t(W) + size_t(x);
            if (!A[i]) continue;
            const DistanceGradientAt g = DistanceGradient(D.data(), W, H, x, y);
            Gx[i] = g.gx;
            Gy[i] = g.gy;
        }
    // [1 2 1] / 4 along rows, then along columns, over the whole plane.
    std::vector<float> tmp(n);
    for (std::vector<float>* G : {&Gx, &Gy}) {
        std::vector<float>& g = *G;
        for (int y = 0; y < H; ++y) {
            const float* r = g.data() + size_t(y) * size_t(W);
            float* t = tmp.data() + size_t(y) * size_t(W);
            for (int x = 0; x < W; ++x) t[x] = (2 * r[x] + r[std::max(x - 1, 0)] + r[std::min(x + 1, W - 1)]) * 0.25f;
        }
        for (int y = 0; y < H; ++y) {
            const float* up = tmp.data() + size_t(std::max(y - 1, 0)) * size_t(W);
            const float* mid = tmp.data() + size_t(y) * size_t(W);
            const float* down = tmp.data() + size_t(std::min(y + 1, H - 1)) * size_t(W);
            float* r = g.data() + size_t(y) * size_t(W);
            for (int x = 0; x < W; ++x) r[x] = (2 * mid[x] + up[x] + down[x]) * 0.25f;
        }
    }

    const BevelLight L = BevelLightVector(rec->angle);
    const BevelSlopeTable T = BuildBevelSlopeTable(rec->profile, rec->points);
    std::vector<uint8_t> S(n, 128);
    auto inBand = [&](size_t i) { return A[i] && D[i] > 0 && D[i] < wf; };
    for (size_t i = 0; i < n; ++i) {
        if (!inBand(i)) continue;
        // The distance grows inwards, so the normal leans outwards.
        const float sigma = BevelSlopeAt(T, D[i], wf);
        S[i] = BevelShadeByte(BevelShadeValue(-sigma * Gx[i] * 1.5f, -sigma * Gy[i] * 1.5f, L, k));
    }
    if (s >= 1) {
        const std::vector<uint8_t> S0 = S;
#pragma omp parallel for schedule(dynamic, 16) if (int64_t(W) * H > kFilterParallelPixels)
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const size_t i = size_t(y) * size_t(W) + size_t(x);
                if (!inBand(i)) continue;
                const float m = std::sqrt(Gx[i] * Gx[i] + Gy[i] * Gy[i]);
                if (m < 0.1f) continue;
                const float tx = -Gy[i] / m, ty = Gx[i] / m;
                float sum = 0;
                int count = 0;
                int lo, hi;
                ContourTapRange(x, y, tx, ty, W, H, s, lo, hi);
                for (int l = lo; l <= hi; ++l) {
                    const float sx = float(x) + float(l) * tx, sy = float(y) + float(l) * ty;
                    if (!ContourTapInside(sx, sy, W, H)) continue;
                    if (!A[size_t(int(sy)) * size_t(W) + size_t(int(sx))]) continue;
                    sum += ContourSample(S0.data(), W, sx, sy);
                    ++count;
                }
                if (count) S[i] = RoundByte(sum / float(count));
            }
    }
    ComposeShadedColours(*out, source, S.data());
    return out;
}

BitmapPtr ApplyInnerBevel(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    return RenderInnerBevel(source, params, offsetX, offsetY);
}
