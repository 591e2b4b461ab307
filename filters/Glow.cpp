#include "filters/Glow.h"

#include "filters/DistanceTransform.h"
#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"
#include "filters/StackBlur.h"

#include <cstring>

void InitGlowParams(EffectParams& p) { p.Set(GlowParams{}); }

void ScaleGlowParams(EffectParams& p, float f) {
    if (auto* r = p.Get<GlowParams>()) r->width = ScaledFilterSize(r->width, f);
}

BitmapPtr ApplyGlow(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    const auto* rec = params.Get<GlowParams>();
    const int w = source.Width(), h = source.Height();
    if (!rec || w < 1 || h < 1) return nullptr;
    const int sp = WholePixels(rec->softness);
    const float o = ClampParam(rec->opacity, 0, 1);
    const float wd = ClampParam(rec->width, 0, float(kMaxFilterPixels));
    const int pad = sp + int(std::ceil(wd));
    if (pad < 1 || o <= 0) return CopyFilterSource(source);
    BitmapPtr out = CreateFilterOutput(int64_t(w) + 2 * int64_t(pad), int64_t(h) + 2 * int64_t(pad));
    if (!out) return nullptr;
    const int W = out->Width(), H = out->Height();
    const size_t n = size_t(W) * size_t(H);

    // Outside mask: 255 where the padded alpha is 0.
    const WorkPlane<uint8_t> M = MakeWorkPlane<uint8_t>(n);
    const bool parallel = int64_t(W) * H > kFilterParallelPixels;
#pragma omp parallel for schedule(static) if (parallel)
    for (int y = 0; y < H; ++y) {
        uint8_t* m = M.get() + size_t(y) * size_t(W);
        std::memset(m, 255, size_t(W));
        if (y < pad || y >= pad + h) continue;
        const uint8_t* s = source.Row(y - pad);
        for (int x = 0; x < w; ++x) m[pad + x] = s[4 * x + 3] ? 0 : 255;
    }
    // The band only reads distances below wd + 0.5: farther pixels get 0
    // whatever their exact distance.
    const WorkPlane<float> D = MakeWorkPlane<float>(n);
    DistanceTransformBelow(M.get(), W, H, D.get(), false, int(std::ceil(wd + 0.5f)));
    // The band's strength goes where the mask was (read no more).
    uint8_t* G = M.get();
#pragma omp parallel for schedule(static) if (parallel)
    for (int y = 0; y < H; ++y)
        for (size_t i = size_t(y) * size_t(W), e = i + size_t(W); i < e; ++i)
            G[i] = uint8_t(ClampParam(wd + 0.5f - D[i], 0, 1) * 255.0f + 0.5f);
    if (sp > 0) CGaussianRecBlur().StackBlurAlpha8(G, W, H, sp, sp);
    FillColourWithPlaneAlpha(*out, G, rec->colour, o);
    DrawSourceOver(*out, source, pad, pad);
    offsetX = offsetY = float(-pad);
    return out;
}
