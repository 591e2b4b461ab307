#include "filters/InnerShadow.h"

#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"
#include "filters/StackBlur.h"

void InitInnerShadowParams(EffectParams& p) { p.Set(InnerShadowParams{}); }

void ScaleInnerShadowParams(EffectParams& p, float f) {
    if (auto* r = p.Get<InnerShadowParams>()) r->distance = ScaledFilterSize(r->distance, f);
}

BitmapPtr ApplyInnerShadow(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    const auto* rec = params.Get<InnerShadowParams>();
    const int w = source.Width(), h = source.Height();
    if (!rec || w < 1 || h < 1) return nullptr;
    // A shift by the diagonal already takes every pixel from outside the object.
    const int diagonal = FilterDiagonal(w, h);
    const int sp = std::min(WholePixels(rec->softness), diagonal);
    const float o = ClampParam(rec->opacity, 0, 1);
    const float t = ClampParam(rec->distance, 0, float(diagonal));
    if ((t < 0.5f && sp < 1) || o <= 0) return CopyFilterSource(source);
    BitmapPtr out = CreateFilterOutput(w, h);
    if (!out) return nullptr;
    const float a = ClampParam(rec->angle, -1e6f, 1e6f) * 3.1415927f / 180.0f;
    const int dx = RoundAway(std::cos(a) * t), dy = RoundAway(-std::sin(a) * t);

    const std::vector<uint8_t> A = AlphaPlane(source);
    // The shadow of the surroundings, moved along the direction; the outside
    // of the image counts as fully transparent surroundings.
    std::vector<uint8_t> P(A.size());
    const bool parallel = int64_t(w) * h > kFilterParallelPixels;
#pragma omp parallel for schedule(static) if (parallel)
    for (int y = 0; y < h; ++y) {
        const int sy = y - dy;
        uint8_t* p = P.data() + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) {
            const int sx = x - dx;
            p[x] = (sx < 0 || sx >= w || sy < 0 || sy >= h) ? 255 : uint8_t(255 - A[size_t(sy) * size_t(w) + size_t(sx)]);
        }
    }
    if (sp > 0) CGaussianRecBlur().StackBlurAlpha8(P.data(), w, h, sp, sp);
#pragma omp parallel for schedule(static) if (parallel)
    for (int64_t i = 0; i < int64_t(P.size()); ++i) P[size_t(i)] = uint8_t((P[size_t(i)] * A[size_t(i)] + 128) / 255);
    ScalePlaneByOpacity(P, o);
    BlendColourByPlane(*out, source, P.data(), rec->colour);
    return out;
}
