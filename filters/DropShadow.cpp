#include "filters/DropShadow.h"

#include "filters/DiskBlur.h"
#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

#include <cstring>

void InitDropShadowParams(EffectParams& p) { p.Set(DropShadowParams{}); }

BitmapPtr ApplyDropShadow(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    const auto* rec = params.Get<DropShadowParams>();
    const int w = source.Width(), h = source.Height();
    if (!rec || w < 1 || h < 1) return nullptr;
    const float m = float(std::max(w, h));
    const float distance = m * rec->distance, softness = m * rec->softness;
    const int dp = distance > 0 ? WholePixels(distance) : 0;
    const int sp = softness > 0 ? WholePixels(softness) : 0;
    const float o = ClampParam(rec->opacity, 0, 1);
    const float a = ClampParam(rec->angle, -1e6f, 1e6f) * 3.1415927f / 180.0f;
    const int dx = RoundAway(std::cos(a) * float(dp)), dy = RoundAway(-std::sin(a) * float(dp));
    const int left = std::max(sp - dx, 0), top = std::max(sp - dy, 0);
    const int right = std::max(sp + dx, 0), bottom = std::max(sp + dy, 0);
    BitmapPtr out = CreateFilterOutput(int64_t(left) + w + right, int64_t(top) + h + bottom);
    if (!out) return nullptr;
    const int W = out->Width(), H = out->Height();

    // The coverage plane: the silhouette at its shifted place, 0 around it.
    // Each row is written whole once, on the worker threads.
    const WorkPlane<uint8_t> plane = MakeWorkPlane<uint8_t>(size_t(W) * size_t(H));
    const int x0 = left + dx, y0 = top + dy;
#pragma omp parallel for schedule(static) if (int64_t(W) * H > kFilterParallelPixels)
    for (int y = 0; y < H; ++y) {
        uint8_t* p = plane.get() + size_t(y) * size_t(W);
        if (y < y0 || y >= y0 + h) {
            std::memset(p, 0, size_t(W));
            continue;
        }
        const uint8_t* s = source.Row(y - y0);
        std::memset(p, 0, size_t(x0));
        for (int x = 0; x < w; ++x) p[x0 + x] = RoundByte(float(s[4 * x + 3]) * o);
        std::memset(p + x0 + w, 0, size_t(W - x0 - w));
    }
    if (sp > 0) DiskBlur(plane.get(), W, H, sp);
    FillColourWithPlaneAlpha(*out, plane.get(), rec->colour);
    DrawSourceOver(*out, source, left, top);
    offsetX = float(-left);
    offsetY = float(-top);
    return out;
}
