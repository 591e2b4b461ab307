#include "filters/InnerShadow.h"

#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"
#include "filters/StackBlur.h"

#include <algorithm>
#include <cstring>

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

    // The shadow of the surroundings, moved along the direction; the outside
    // of the image counts as fully transparent surroundings. Row y reads
    // source row y - dy, columns x - dx: only x in [x0, x1) land inside.
    const WorkPlane<uint8_t> P = MakeWorkPlane<uint8_t>(size_t(w) * size_t(h));
    const int x0 = std::clamp(dx, 0, w), x1 = std::clamp(w + dx, 0, w);
    const bool parallel = int64_t(w) * h > kFilterParallelPixels;
#pragma omp parallel for schedule(static) if (parallel)
    for (int y = 0; y < h; ++y) {
        const int sy = y - dy;
        uint8_t* p = P.get() + size_t(y) * size_t(w);
        if (sy < 0 || sy >= h) {
            std::memset(p, 255, size_t(w));
            continue;
        }
        std::memset(p, 255, size_t(x0));
        const uint8_t* s = source.Row(sy);
        for (int x = x0; x < x1; ++x) p[x] = uint8_t(255 - s[4 * (x - dx) + 3]);
        std::memset(p + x1, 255, size_t(w - x1));
    }
    if (sp > 0) CGaussianRecBlur().StackBlurAlpha8(P.get(), w, h, sp, sp);
    // Inside the object only, at the record's opacity.
#pragma omp parallel for schedule(static) if (parallel)
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = source.Row(y);
        uint8_t* p = P.get() + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) p[x] = ScaleByOpacity(uint8_t((p[x] * s[4 * x + 3] + 128) / 255), o);
    }
    BlendColourByPlane(*out, source, P.get(), rec->colour);
    return out;
}
