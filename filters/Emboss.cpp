#include "filters/Emboss.h"

#include "filters/DistanceTransform.h"
#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

#include <cstring>
#include "filters/StackBlur.h"

#include <cstdlib>

void InitEmbossParams(EffectParams& p) { p.Set(EmbossParams{}); }

void ScaleEmbossParams(EffectParams& p, float f) {
    if (auto* r = p.Get<EmbossParams>()) {
        r->width = ScaledFilterSize(r->width, f);
        r->softness = ScaledFilterSize(r->softness, f);
    }
}

BitmapPtr ApplyEmboss(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    const auto* rec = params.Get<EmbossParams>();
    const int w = source.Width(), h = source.Height();
    if (!rec || w < 1 || h < 1) return nullptr;
    const int u = WholePixels(rec->width), ws = WholePixels(rec->softness);
    const float k = ClampParam(rec->strength, 0, 1);
    if (u < 1 || k <= 0) return CopyFilterSource(source);
    const int pad = u + ws;
    BitmapPtr out = CreateFilterOutput(int64_t(w) + 2 * int64_t(pad), int64_t(h) + 2 * int64_t(pad));
    if (!out) return nullptr;
    const int W = out->Width(), H = out->Height();
    const size_t n = size_t(W) * size_t(H);

    // A: the alpha on a transparent border; M: 255 outside the object.
    const WorkPlane<uint8_t> A = MakeWorkPlane<uint8_t>(n), M = MakeWorkPlane<uint8_t>(n);
    const bool parallel = int64_t(W) * H > kFilterParallelPixels;
#pragma omp parallel for schedule(static) if (parallel)
    for (int y = 0; y < H; ++y) {
        uint8_t* a = A.get() + size_t(y) * size_t(W);
        uint8_t* m = M.get() + size_t(y) * size_t(W);
        std::memset(a, 0, size_t(W));
        if (y >= pad && y < pad + h) {
            const uint8_t* s = source.Row(y - pad);
            for (int x = 0; x < w; ++x) a[pad + x] = s[4 * x + 3];
        }
        for (int x = 0; x < W; ++x) m[x] = a[x] ? 0 : 255;
    }
    // Distances are read in the ring (below u) and beside it: those below
    // u + 1 must be exact.
    const WorkPlane<float> D = MakeWorkPlane<float>(n);
    DistanceTransformBelow(M.get(), W, H, D.get(), false, u + 2);
    const BevelSlopeTable T = BuildBevelSlopeTable(rec->profile, rec->points);
    const BevelLight L = BevelLightVector(rec->angle);
    const float fu = float(u);

    // The ring: pixels outside the object closer than u, shaded with the
    // normal leaning away from the object (the distance grows outwards).
    const WorkPlane<uint8_t> S = MakeWorkPlane<uint8_t>(n);
#pragma omp parallel for schedule(dynamic, 16) if (parallel)
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const size_t i = size_t(y) * size_t(W) + size_t(x);
            S[i] = 128;
            if (!(D[i] > 0 && D[i] < fu)) continue;
            const DistanceGradientAt g = DistanceGradient(D.get(), W, H, x, y);
            if (g.length < 0.1f) continue;
            const float sigma = BevelSlopeAt(T, D[i], fu);
            S[i] = BevelShadeByte(BevelShadeValue(sigma * g.gx * 1.5f, sigma * g.gy * 1.5f, L, k));
        }

    // Smoothing along the outline, weighted by how much of each tap lies in the open.
    const WorkPlane<uint8_t> S0 = MakeWorkPlane<uint8_t>(n);
#pragma omp parallel for schedule(static) if (parallel)
    for (int y = 0; y < H; ++y)
        std::memcpy(S0.get() + size_t(y) * size_t(W), S.get() + size_t(y) * size_t(W), size_t(W));
#pragma omp parallel for schedule(dynamic, 16) if (parallel)
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const size_t i = size_t(y) * size_t(W) + size_t(x);
            if (!(D[i] > 0 && D[i] < fu)) continue;
            const DistanceGradientAt g = DistanceGradient(D.get(), W, H, x, y);
            if (g.length < 0.1f) continue;
            const float tx = -g.gy / g.length, ty = g.gx / g.length;
            float sum = 0, total = 0;
            for (int l = -7; l <= 7; ++l) {
                const float sx = float(x) + float(l) * tx, sy = float(y) + float(l) * ty;
                if (!ContourTapInside(sx, sy, W, H)) continue;
                const float weight = ContourSample(M.get(), W, sx, sy) / 255.0f;
                if (weight <= 0) continue;
                sum += weight * ContourSample(S0.get(), W, sx, sy);
                total += weight;
            }
            if (total > 0) S[i] = RoundByte(sum / total);
        }
    if (ws >= 1) CGaussianRecBlur().StackBlurAlpha8(S.get(), W, H, ws, ws);

    // Light turns into translucent white, shadow into translucent black; the
    // object's own footprint stays empty under it.
#pragma omp parallel for schedule(static) if (parallel)
    for (int y = 0; y < H; ++y) {
        uint32_t* d = out->Row32(y);
        for (int x = 0; x < W; ++x) {
            const size_t i = size_t(y) * size_t(W) + size_t(x);
            if (A[i] || S[i] == 128) continue;
            const uint32_t rgb = S[i] > 128 ? 0x00FFFFFFu : 0u;
            const float a = float(std::abs(int(S[i]) - 128)) * 0.007874016f * 255.0f;
            d[x] = rgb | uint32_t(RoundByte(a)) << 24;
        }
    }
    DrawSourceOver(*out, source, pad, pad);
    offsetX = offsetY = float(-pad);
    return out;
}
