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

    const WorkPlane<uint8_t> A = AlphaWorkPlane(source);
    const size_t n = size_t(W) * size_t(H);
    // Distances are read at band pixels (below wf) and their neighbours up to
    // two pixels away: those below wf + 2 sqrt(2) must be exact.
    const WorkPlane<float> D = MakeWorkPlane<float>(n);
    DistanceTransformBelow(A.get(), W, H, D.get(), true, int(wf) + 4);
    const bool parallel = int64_t(W) * H > kFilterParallelPixels;
    const size_t w = size_t(W);
    auto inBand = [&](size_t i) { return A[i] && D[i] > 0 && D[i] < wf; };

    // The gradient of D inside the object and 0 outside it, smoothed by
    // [1 2 1] / 4 along rows, then along columns. Only band pixels read it, so
    // it is worked out at those alone, from their 3 x 3 neighbourhood, in the
    // order of the two whole-plane passes (the same floats).
    auto gradient = [&](int x, int y, float& gx, float& gy) {
        const size_t i = size_t(y) * w + size_t(x);
        if (!A[i]) {
            gx = gy = 0;
            return;
        }
        const float* row = D.get() + size_t(y) * w;
        gx = (row[std::min(x + 1, W - 1)] - row[std::max(x - 1, 0)]) * 0.5f;
        gy = (D[size_t(std::min(y + 1, H - 1)) * w + size_t(x)] - D[size_t(std::max(y - 1, 0)) * w + size_t(x)]) * 0.5f;
    };
    auto rowSmoothed = [&](int x, int y, float& gx, float& gy) {
        float cx, cy, lx, ly, rx, ry;
        gradient(x, y, cx, cy);
        gradient(std::max(x - 1, 0), y, lx, ly);
        gradient(std::min(x + 1, W - 1), y, rx, ry);
        gx = (2 * cx + lx + rx) * 0.25f;
        gy = (2 * cy + ly + ry) * 0.25f;
    };
    auto smoothedGradient = [&](int x, int y, float& gx, float& gy) {
        float mx, my, ux, uy, dx, dy;
        rowSmoothed(x, y, mx, my);
        rowSmoothed(x, std::max(y - 1, 0), ux, uy);
        rowSmoothed(x, std::min(y + 1, H - 1), dx, dy);
        gx = (2 * mx + ux + dx) * 0.25f;
        gy = (2 * my + uy + dy) * 0.25f;
    };

    const BevelLight L = BevelLightVector(rec->angle);
    const BevelSlopeTable T = BuildBevelSlopeTable(rec->profile, rec->points);
    // Shade plane S (128 level) and, at band pixels, the smoothed gradient
    // (planes the smoothing reads only there).
    const WorkPlane<uint8_t> S = MakeWorkPlane<uint8_t>(n);
    const WorkPlane<float> Gx = MakeWorkPlane<float>(s >= 1 ? n : 0), Gy = MakeWorkPlane<float>(s >= 1 ? n : 0);
#pragma omp parallel for schedule(dynamic, 16) if (parallel)
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const size_t i = size_t(y) * w + size_t(x);
            if (!inBand(i)) {
                S[i] = 128;
                continue;
            }
            float gx, gy;
            smoothedGradient(x, y, gx, gy);
            if (s >= 1) Gx[i] = gx, Gy[i] = gy;
            // The distance grows inwards, so the normal leans outwards.
            const float sigma = BevelSlopeAt(T, D[i], wf);
            S[i] = BevelShadeByte(BevelShadeValue(-sigma * gx * 1.5f, -sigma * gy * 1.5f, L, k));
        }

    // The object's box: taps outside it land on transparent pixels, which never count.
    int bx0 = W, by0 = H, bx1 = -1, by1 = -1;
#pragma omp parallel for schedule(static) reduction(min : bx0, by0) reduction(max : bx1, by1) if (parallel)
    for (int y = 0; y < H; ++y) {
        const uint8_t* row = A.get() + size_t(y) * w;
        int first = 0, last = W - 1;
        while (first < W && !row[first]) ++first;
        if (first == W) continue;
        while (!row[last]) --last;
        bx0 = std::min(bx0, first);
        bx1 = std::max(bx1, last);
        by0 = std::min(by0, y);
        by1 = std::max(by1, y);
    }

    // Each row of the output: a copy of the source, with band pixels shaded by
    // their shade byte, averaged along the outline when s >= 1 (the taps read
    // the unsmoothed plane). Pixels off the band keep the level 128.
    const int stride = ContourTapStride(std::max(s, 1));
#pragma omp parallel for schedule(dynamic, 16) if (parallel)
    for (int y = 0; y < H; ++y) {
        const uint8_t* src = source.Row(y);
        uint8_t* dst = out->Row(y);
        std::memcpy(dst, src, w * 4);
        for (int x = 0; x < W; ++x) {
            const size_t i = size_t(y) * w + size_t(x);
            if (!inBand(i)) continue;
            uint8_t shade = S[i];
            const float m = s >= 1 ? std::sqrt(Gx[i] * Gx[i] + Gy[i] * Gy[i]) : 0.0f;
            if (m >= 0.1f) {
                const float ux = -Gy[i] / m, uy = Gx[i] / m;
                float sum = 0;
                int count = 0;
                int lo, hi, boxLo, boxHi;
                ContourTapRange(x, y, ux, uy, W, H, s, lo, hi);
                ContourTapRangeInBox(x, y, ux, uy, bx0, by0, bx1, by1, s, boxLo, boxHi);
                lo = std::max(lo, boxLo);
                hi = std::min(hi, boxHi);
                ContourStrideRange(stride, s, lo, hi);
                for (int l = lo; l <= hi; l += stride) {
                    const float sx = float(x) + float(l) * ux, sy = float(y) + float(l) * uy;
                    if (!ContourTapInside(sx, sy, W, H)) continue;
                    if (!A[size_t(int(sy)) * w + size_t(int(sx))]) continue;
                    sum += ContourSample(S.get(), W, sx, sy);
                    ++count;
                }
                if (count) shade = RoundByte(sum / float(count));
            }
            ShadePixelColours(dst + 4 * size_t(x), src + 4 * size_t(x), shade);
        }
    }
    return out;
}

BitmapPtr ApplyInnerBevel(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    return RenderInnerBevel(source, params, offsetX, offsetY);
}
