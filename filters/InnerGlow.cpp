#include "filters/InnerGlow.h"

#include "filters/DistanceTransform.h"
#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"
#include "filters/StackBlur.h"

void InitInnerGlowParams(EffectParams& p) { p.Set(InnerGlowParams{}); }

void ScaleInnerGlowParams(EffectParams& p, float f) {
    if (auto* r = p.Get<InnerGlowParams>()) r->width = ScaledFilterSize(r->width, f);
}

BitmapPtr ApplyInnerGlow(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    const auto* rec = params.Get<InnerGlowParams>();
    const int w = source.Width(), h = source.Height();
    if (!rec || w < 1 || h < 1) return nullptr;
    const int diagonal = FilterDiagonal(w, h);
    const int sp = std::min(WholePixels(rec->softness), diagonal);
    const float o = ClampParam(rec->opacity, 0, 1);
    const float wd = ClampParam(rec->width, 0, float(diagonal));
    if (wd < 1 || o <= 0) return CopyFilterSource(source);
    BitmapPtr out = CreateFilterOutput(w, h);
    if (!out) return nullptr;

    const std::vector<uint8_t> A = AlphaPlane(source);
    const std::unique_ptr<float[]> D = UninitialisedPlane<float>(A.size());
    DistanceTransform(A.data(), w, h, D.get(), true);
    std::vector<uint8_t> G(A.size());
#pragma omp parallel for schedule(static) if (int64_t(w) * h > kFilterParallelPixels)
    for (int64_t j = 0; j < int64_t(A.size()); ++j) {
        const size_t i = size_t(j);
        G[i] = A[i] ? RoundByte(ClampParam(wd + 0.5f - D[i], 0, 1) * 255.0f * (float(A[i]) / 255.0f)) : 0;
    }
    if (sp > 0) CGaussianRecBlur().StackBlurAlpha8(G.data(), w, h, sp, sp);
    ScalePlaneByOpacity(G, o);
    BlendColourByPlane(*out, source, G.data(), rec->colour);
    return out;
}
