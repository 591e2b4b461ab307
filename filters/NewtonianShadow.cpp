#include "filters/NewtonianShadow.h"

#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"
#include "filters/StackBlur.h"

#include <cmath>
#include <cstring>
#include <limits>

void InitNewtonianShadowParams(EffectParams& p) { p.Set(NewtonianShadowParams{}); }

void ScaleNewtonianShadowParams(EffectParams& p, float f) {
    auto* r = p.Get<NewtonianShadowParams>();
    if (!r) return;
    r->softness = f * r->softness;
    const float c = std::trunc(f * static_cast<float>(r->contact) + 0.5f);
    // An out-of-range float does not convert to int32; saturate instead.
    if (std::isnan(c)) return;
    if (c >= 2147483520.0f)
        r->contact = std::numeric_limits<int32_t>::max();
    else if (c <= -2147483648.0f)
        r->contact = std::numeric_limits<int32_t>::min();
    else
        r->contact = static_cast<int32_t>(c);
}

namespace {

struct QuadPoint {
    float x, y;
};

// The sharp coverage of one output pixel: its centre mapped back into the
// source by the inverse of the bilinear patch TL + u e1 + v e2 + u v e3, then
// the source's alpha sampled bilinearly there (0 outside).
inline uint8_t ShadowQuadPixel(const Bitmap& src, QuadPoint tl, QuadPoint e1, QuadPoint e2, QuadPoint e3, float k2,
                               int x, int y) {
    const float px = float(x) + 0.5f - tl.x, py = float(y) + 0.5f - tl.y;
    const float k0 = e1.x * py - e1.y * px;
    const float k1 = py * e3.x - px * e3.y + e1.y * e2.x - e1.x * e2.y;
    float v;
    if (std::fabs(k2) <= 1e-7f) {
        v = -k0 / k1;
    } else {
        const float q = std::max(k1 * k1 - 4.0f * k2 * k0, 0.0f);
        v = (-k1 + std::sqrt(q)) / (2.0f * k2);
        if (!(v >= 0.0f && v <= 1.0f)) v = (-k1 - std::sqrt(q)) / (2.0f * k2);
    }
    const float u = (px - v * e2.x) / (e1.x + v * e3.x);
    if (!std::isfinite(u) || !std::isfinite(v) || u < -0.001f || u > 1.001f || v < -0.001f || v > 1.001f) return 0;
    const int w = src.Width(), h = src.Height();
    const float sx = u * float(w) - 0.5f, sy = v * float(h) - 0.5f;
    const int i = int(std::floor(sx)), j = int(std::floor(sy));
    const float fx = sx - float(i), fy = sy - float(j);
    auto alpha = [&](int xx, int yy) -> float {
        return (xx < 0 || yy < 0 || xx >= w || yy >= h) ? 0.0f : float(src.Row(yy)[4 * xx + 3]);
    };
    const float a00 = alpha(i, j), a10 = alpha(i + 1, j), a01 = alpha(i, j + 1), a11 = alpha(i + 1, j + 1);
    const float top = a00 + (a10 - a00) * fx, bottom = a01 + (a11 - a01) * fx;
    return TruncByte(top + (bottom - top) * fy + 0.5f);
}

}  // namespace

void RasterizeShadowQuad(const Bitmap& source, float blX, float blY, float brX, float brY, float tlX, float tlY,
                         float trX, float trY, int planeWidth, int x0, int x1, int y0, int y1, uint8_t* sharp) {
    const QuadPoint tl{tlX, tlY};
    const QuadPoint e1{trX - tlX, trY - tlY}, e2{blX - tlX, blY - tlY};
    const QuadPoint e3{tlX - trX - blX + brX, tlY - trY - blY + brY};
    const float k2 = e3.y * e2.x - e3.x * e2.y;
#pragma omp parallel for schedule(static) if (int64_t(x1 - x0 + 1) * (y1 - y0 + 1) > kFilterParallelPixels)
    for (int y = y0; y <= y1; ++y) {
        uint8_t* row = sharp + size_t(y) * size_t(planeWidth);
        for (int x = x0; x <= x1; ++x) row[x] = ShadowQuadPixel(source, tl, e1, e2, e3, k2, x, y);
    }
}

BitmapPtr ApplyNewtonianShadow(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    const auto* rec = params.Get<NewtonianShadowParams>();
    const int w = source.Width(), h = source.Height();
    if (!rec || w < 1 || h < 1) return nullptr;
    const float length = ClampParam(rec->length, 0, 5);
    const float tilt = ClampParam(rec->tilt, -89, 89);
    const float spread = ClampParam(rec->spread, 0.05f, 4);
    const float softness = ClampParam(rec->softness, 0, 200);
    const float tipOpacity = ClampParam(rec->tipOpacity, 0, 1);
    const int contact = std::clamp(rec->contact, 0, 100);
    const float opacity = ClampParam(rec->opacity, 0, 1);
    const float T = tilt * kDegreesToRadians;
    if (length < 0.001f || opacity < 0.001f) return CopyFilterSource(source);

    const float fw = float(w), fh = float(h);
    const float tipY = fh - fh * length;
    const float half = fw * 0.5f;
    const float tipHalf = half * spread;
    const float tipCentre = std::sin(T) * length * fh + half;
    const float tipLeft = tipCentre - tipHalf, tipRight = tipCentre + tipHalf;
    const float pad = softness + 4.0f;
    const float minX = std::min({0.0f, tipLeft, tipRight});
    const float maxX = std::max({fw, tipLeft, tipRight});
    const float minY = std::min(0.0f, tipY);
    const float X0 = minX - pad, Y0 = minY - pad;
    const int W = int(std::ceil(maxX + pad - X0)), H = int(std::ceil(fh - Y0));
    if (W < 1 || H < 1) return nullptr;
    const int ox = RoundAway(-X0), oy = RoundAway(-Y0);
    offsetX = float(-ox);
    offsetY = float(-oy);
    BitmapPtr out = CreateFilterOutput(W, H);
    if (!out) return nullptr;
    const size_t n = size_t(W) * size_t(H);
    const WorkPlane<uint8_t> sharp = MakeWorkPlane<uint8_t>(n);

    const float blX = -X0, blY = fh - Y0, brX = fw - X0, brY = fh - Y0;
    const float tlX = tipLeft - X0, tlY = tipY - Y0, trX = tipRight - X0, trY = tipY - Y0;
    const int x0 = std::max(int(std::floor(std::min({blX, brX, tlX, trX}))), 0);
    const int x1 = std::min(int(std::ceil(std::max({blX, brX, tlX, trX}))), W - 1);
    const int y0 = std::max(int(std::floor(std::min({blY, brY, tlY, trY}))), 0);
    const int y1 = std::min(int(std::ceil(std::max({blY, brY, tlY, trY}))), H - 1);
    // The plane is 0 outside the outline's box; the box is rasterised whole.
#pragma omp parallel for schedule(static) if (int64_t(W) * H > kFilterParallelPixels)
    for (int y = 0; y < H; ++y) {
        uint8_t* row = sharp.get() + size_t(y) * size_t(W);
        if (y < y0 || y > y1 || x0 > x1) {
            std::memset(row, 0, size_t(W));
        } else {
            std::memset(row, 0, size_t(x0));
            std::memset(row + x1 + 1, 0, size_t(W - 1 - x1));
        }
    }
    RasterizeShadowQuad(source, blX, blY, brX, brY, tlX, tlY, trX, trY, W, x0, x1, y0, y1, sharp.get());

    // Without softening the blurred plane is the sharp one.
    WorkPlane<uint8_t> blurredPlane;
    const uint8_t* blurred = sharp.get();
    if (softness > 0.5f) {
        blurredPlane = MakeWorkPlane<uint8_t>(n);
#pragma omp parallel for schedule(static) if (int64_t(W) * H > kFilterParallelPixels)
        for (int y = 0; y < H; ++y)
            std::memcpy(blurredPlane.get() + size_t(y) * size_t(W), sharp.get() + size_t(y) * size_t(W), size_t(W));
        const int r = RoundAway(softness);
        CGaussianRecBlur().StackBlurAlpha8(blurredPlane.get(), W, H, r, r);
        blurred = blurredPlane.get();
    }

    const ColourBytes baseC(rec->baseColour), tipC(rec->tipColour);
    const float base = fh - Y0;
    const float span = std::max(base - tlY, 1.0f);
#pragma omp parallel for schedule(static) if (int64_t(W) * H > kFilterParallelPixels)
    for (int y = 0; y < H; ++y) {
        const float d = base - float(y);
        float t = ClampParam(d / span, 0, 1);
        if (rec->falloff == kFalloffSmooth)
            t = t * t * (3.0f - 2.0f * t);
        else if (rec->falloff == kFalloffSharp)
            t = t * t;
        float c = 1.0f;
        if (contact > 0 && d >= 0 && d < float(contact)) {
            const float k = 1.0f - d / float(contact);
            c = 1.0f + 0.6f * k * k;
        }
        const uint32_t rgb = uint32_t(RoundByte((float(tipC.b) - float(baseC.b)) * t + float(baseC.b))) |
                             uint32_t(RoundByte((float(tipC.g) - float(baseC.g)) * t + float(baseC.g))) << 8 |
                             uint32_t(RoundByte((float(tipC.r) - float(baseC.r)) * t + float(baseC.r))) << 16;
        const float fade = (1.0f - (1.0f - tipOpacity) * t) * opacity * c;
        const uint8_t* s = sharp.get() + size_t(y) * size_t(W);
        const uint8_t* b = blurred + size_t(y) * size_t(W);
        uint32_t* o = out->Row32(y);
        for (int x = 0; x < W; ++x) {
            const float a = (float(b[x]) - float(s[x])) * t + float(s[x]);
            o[x] = rgb | uint32_t(TruncByte(a * fade)) << 24;
        }
    }
    DrawSourceOver(*out, source, ox, oy);
    return out;
}
