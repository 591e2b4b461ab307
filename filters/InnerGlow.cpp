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

    const size_t n = size_t(w) * size_t(h);
    const WorkPlane<uint8_t> A = AlphaWorkPlane(source);
    const WorkPlane<float> D = MakeWorkPlane<float>(n);
    // The band only reads distances below wd + 0.5: farther pixels get 0
    // whatever their exact distance.
    DistanceTransformBelow(A.get(), w, h, D.get(), true, int(std::ceil(wd + 0.5f)));
    // The band's strength at pixel i, before softening and opacity.
    auto band = [&](size_t i) -> uint8_t {
        return A[i] ? RoundByte(ClampParam(wd + 0.5f - D[i], 0, 1) * 255.0f * (float(A[i]) / 255.0f)) : 0;
    };
    WorkPlane<uint8_t> G;
    if (sp > 0) {
        G = MakeWorkPlane<uint8_t>(n);
#pragma omp parallel for schedule(static) if (int64_t(w) * h > kFilterParallelPixels)
        for (int y = 0; y < h; ++y)
            for (size_t i = size_t(y) * size_t(w), e = i + size_t(w); i < e; ++i) G[i] = band(i);
        CGaussianRecBlur().StackBlurAlpha8(G.get(), w, h, sp, sp);
    }
    // Opacity and the colour blend in one pass over the rows; without
    // softening the band is worked out there too.
    const ColourBytes c(rec->colour);
#pragma omp parallel for schedule(static) if (int64_t(w) * h > kFilterParallelPixels)
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = source.Row(y);
        uint8_t* d = out->Row(y);
        const size_t row = size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x, s += 4, d += 4) {
            int P = sp > 0 ? G[row + size_t(x)] : band(row + size_t(x));
            if (o < 1.0f) P = TruncByte(float(P) * o);
            const int Q = 255 - P;
            d[0] = uint8_t((c.b * P + s[0] * Q + 128) / 255);
            d[1] = uint8_t((c.g * P + s[1] * Q + 128) / 255);
            d[2] = uint8_t((c.r * P + s[2] * Q + 128) / 255);
            d[3] = s[3];
        }
    }
    return out;
}
