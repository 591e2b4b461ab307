#include "filters/GaussianBevel.h"

#include "filters/DiskBlur.h"
#include "filters/EffectInstance.h"
#include "filters/BevelShading.h"
#include "filters/FilterPixels.h"

#include <cstring>

void InitGaussianBevelParams(EffectParams& p) { p.Set(GaussianBevelParams{}); }

void ScaleGaussianBevelParams(EffectParams& p, float f) {
    if (auto* r = p.Get<GaussianBevelParams>()) r->width = ScaledFilterSize(r->width, f);
}


BitmapPtr ApplyGaussianBevel(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    const auto* rec = params.Get<GaussianBevelParams>();
    const int W = source.Width(), H = source.Height();
    if (!rec || W < 1 || H < 1) return nullptr;
    // The disk average costs time in proportion to its radius; radii far past
    // any sensible bevel are limited so that a damaged record cannot stall.
    const int maxRadius = std::min(2048, FilterDiagonal(W, H));
    const int b = std::min(WholePixels(rec->width), maxRadius);
    const int s = std::min(WholePixels(rec->softness), maxRadius);
    const float k = ClampParam(rec->strength, 0, 1);
    if (b < 1 || k <= 0) return CopyFilterSource(source);
    BitmapPtr out = CreateFilterOutput(W, H);
    if (!out) return nullptr;

    // Height: the alpha averaged over a disk of radius b.
    const size_t n = size_t(W) * size_t(H);
    const WorkPlane<uint8_t> A = AlphaWorkPlane(source);
    const WorkPlane<uint8_t> P = MakeWorkPlane<uint8_t>(n);
    const bool parallel = int64_t(W) * H > kFilterParallelPixels;
#pragma omp parallel for schedule(static) if (parallel)
    for (int y = 0; y < H; ++y) std::memcpy(P.get() + size_t(y) * size_t(W), A.get() + size_t(y) * size_t(W), size_t(W));
    DiskBlur(P.get(), W, H, b);
    const float g = 64.0f / float(b);
    const BevelLight L = BevelLightVector(rec->angle);
    const WorkPlane<uint8_t> S = MakeWorkPlane<uint8_t>(n);
#pragma omp parallel for schedule(static) if (parallel)
    for (int y = 0; y < H; ++y) {
        const uint8_t* row = P.get() + size_t(y) * size_t(W);
        const uint8_t* up = P.get() + size_t(std::max(y - 1, 0)) * size_t(W);
        const uint8_t* down = P.get() + size_t(std::min(y + 1, H - 1)) * size_t(W);
        for (int x = 0; x < W; ++x) {
            const size_t i = size_t(y) * size_t(W) + size_t(x);
            if (!A[i]) {
                S[i] = 128;
                continue;
            }
            const float nx = (float(row[std::min(x + 1, W - 1)]) - float(row[std::max(x - 1, 0)])) * -0.5f / g;
            const float ny = (float(down[x]) - float(up[x])) * -0.5f / g;
            S[i] = BevelShadeByte(BevelShadeValue(nx, ny, L, k));
        }
    }
    if (s >= 1) {
        // Soft shading only where the blurred alpha is above one half; the
        // outer half of the edge keeps the crisp shading.
        const WorkPlane<uint8_t> soft = MakeWorkPlane<uint8_t>(n);
#pragma omp parallel for schedule(static) if (parallel)
        for (int y = 0; y < H; ++y)
            std::memcpy(soft.get() + size_t(y) * size_t(W), S.get() + size_t(y) * size_t(W), size_t(W));
        DiskBlur(soft.get(), W, H, s);
#pragma omp parallel for schedule(static) if (parallel)
        for (int y = 0; y < H; ++y)
            for (size_t i = size_t(y) * size_t(W), e = i + size_t(W); i < e; ++i)
                if (P[i] > 128) S[i] = soft[i];
    }
    ComposeShadedColours(*out, source, S.get());
    return out;
}
