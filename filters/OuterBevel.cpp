#include "filters/OuterBevel.h"

#include "filters/DistanceTransform.h"
#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

#include <cstring>

void InitOuterBevelParams(EffectParams& p) { p.Set(OuterBevelParams{}); }

void ScaleOuterBevelParams(EffectParams& p, float f) {
    if (auto* r = p.Get<OuterBevelParams>()) r->width = ScaledFilterSize(r->width, f);
}

BitmapPtr ApplyOuterBevel(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    const auto* rec = params.Get<OuterBevelParams>();
    const int w = source.Width(), h = source.Height();
    if (!rec || w < 1 || h < 1) return nullptr;
    const int d = WholePixels(rec->width);
    const int f = WholePixels(rec->softness);
    const float k = ClampParam(rec->strength, 0, 1);
    if (d < 1 || k <= 0) return CopyFilterSource(source);
    const int pad = d + f;
    BitmapPtr out = CreateFilterOutput(int64_t(w) + 2 * int64_t(pad), int64_t(h) + 2 * int64_t(pad));
    if (!out) return nullptr;
    const int W = out->Width(), H = out->Height();
    const size_t n = size_t(W) * size_t(H);

    // P: the source on a transparent border; M: 255 outside the object.
    const size_t rowBytes = size_t(W) * 4;
    const WorkPlane<uint8_t> P = MakeWorkPlane<uint8_t>(n * 4);
    const WorkPlane<uint8_t> M = MakeWorkPlane<uint8_t>(n);
    const bool parallel = int64_t(W) * H > kFilterParallelPixels;
#pragma omp parallel for schedule(static) if (parallel)
    for (int y = 0; y < H; ++y) {
        uint8_t* p = P.get() + size_t(y) * rowBytes;
        uint8_t* m = M.get() + size_t(y) * size_t(W);
        if (y < pad || y >= pad + h) {
            std::memset(p, 0, rowBytes);
            std::memset(m, 255, size_t(W));
            continue;
        }
        const size_t left = size_t(pad) * 4, inner = size_t(w) * 4;
        std::memset(p, 0, left);
        std::memcpy(p + left, source.Row(y - pad), inner);
        std::memset(p + left + inner, 0, rowBytes - left - inner);
        for (int x = 0; x < W; ++x) m[x] = p[4 * x + 3] ? 0 : 255;
    }
    // Distances are read on the rim (up to d + 0.5) and beside it: those
    // below d + 1.5 must be exact.
    const WorkPlane<float> D = MakeWorkPlane<float>(n);
    DistanceTransformBelow(M.get(), W, H, D.get(), false, d + 2);
    const BevelSlopeTable T = BuildBevelSlopeTable(rec->profile, rec->points);
    const BevelLight L = BevelLightVector(rec->angle);
    const float R = float(d) + 0.5f, fd = float(d);
    const ColourBytes colour(rec->color);
    const bool objectColour = rec->useObjectColor;
    const uint8_t* pp = P.get();

    // The rim: every pixel up to R from the object, its colour from the
    // object's nearest edge (or the parameter colour), shaded as a slope
    // falling away from the object, its alpha the coverage of the outer edge.
    Bitmap& O = *out;
#pragma omp parallel for schedule(dynamic, 16) if (parallel)
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const float dist = D[size_t(y) * size_t(W) + size_t(x)];
            if (!(dist <= R)) continue;
            uint8_t* o = O.Row(y) + size_t(x) * 4;
            if (dist == 0) {
                // The object's own footprint: full coverage, no shading, the
                // colour sampled exactly at the pixel (never on the last row or
                // column, which lie in the border).
                if (objectColour) std::memcpy(o, pp + (size_t(y) * size_t(W) + size_t(x)) * 4, 3);
                else o[0] = colour.b, o[1] = colour.g, o[2] = colour.r;
                o[3] = 255;
                continue;
            }
            const float coverage = ClampParam(R - dist, 0, 1);
            const DistanceGradientAt g = DistanceGradient(D.get(), W, H, x, y);
            float c[3] = {float(colour.b), float(colour.g), float(colour.r)};
            if (objectColour) {
                float sx = float(x), sy = float(y);
                if (dist > 0 && g.length >= 0.1f) {
                    sx -= g.gx * dist / g.length;
                    sy -= g.gy * dist / g.length;
                }
                if (ContourTapInside(sx, sy, W, H))
                    for (int ch = 0; ch < 3; ++ch) c[ch] = float(RoundByte(ContourSampleChannel(pp, W, ch, sx, sy)));
            }
            float t = 0;
            if (dist > 0 && dist < fd && g.length >= 0.1f) {
                const float sigma = BevelSlopeAt(T, dist, fd);
                t = BevelShadeValue(sigma * g.gx * 1.5f, sigma * g.gy * 1.5f, L, k);
            }
            for (int ch = 0; ch < 3; ++ch) {
                float v = c[ch];
                if (t > 0)
                    v = std::trunc((255.0f - v) * t + v + 0.5f);
                else if (t < 0)
                    v = std::trunc(v * (t + 1.0f) + 0.5f);
                o[ch] = TruncByte(v);
            }
            o[3] = uint8_t(coverage * 255.0f + 0.5f);
        }

    if (f >= 1) {
        // Smoothing of the rim's colour along the outline, weighted by coverage.
        const WorkPlane<uint8_t> O0 = MakeWorkPlane<uint8_t>(n * 4);
#pragma omp parallel for schedule(static) if (parallel)
        for (int y = 0; y < H; ++y) std::memcpy(O0.get() + size_t(y) * rowBytes, O.Row(y), rowBytes);
        const uint8_t* o0 = O0.get();
        // Taps farther than W + H from the pixel always fall outside the image.
        const int taps = std::min(f, W + H);
        const int stride = ContourTapStride(taps);
#pragma omp parallel for schedule(dynamic, 16) if (parallel)
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const float dist = D[size_t(y) * size_t(W) + size_t(x)];
                if (!(dist > 0 && dist <= R)) continue;
                const DistanceGradientAt g = DistanceGradient(D.get(), W, H, x, y);
                if (g.length < 0.1f) continue;
                const float tx = -g.gy / g.length, ty = g.gx / g.length;
                float sum[3] = {0, 0, 0}, total = 0;
                int lo, hi;
                ContourTapRange(x, y, tx, ty, W, H, taps, lo, hi);
                ContourStrideRange(stride, taps, lo, hi);
                for (int l = lo; l <= hi; l += stride) {
                    const float sx = float(x) + float(l) * tx, sy = float(y) + float(l) * ty;
                    if (!ContourTapInside(sx, sy, W, H)) continue;
                    const float weight = ContourSampleChannel(o0, W, 3, sx, sy) * 0.003921569f;
                    for (int ch = 0; ch < 3; ++ch) sum[ch] += weight * ContourSampleChannel(o0, W, ch, sx, sy);
                    total += weight;
                }
                if (total > 0) {
                    uint8_t* o = O.Row(y) + size_t(x) * 4;
                    for (int ch = 0; ch < 3; ++ch) o[ch] = RoundByte(sum[ch] / total);
                }
            }
    }
    DrawSourceOver(O, source, pad, pad);
    offsetX = offsetY = float(-pad);
    return out;
}
