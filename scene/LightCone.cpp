#include "scene/LightCone.h"

#include "scene/ObjectGeometry.h"
#include "scene/ObjectRender.h"

#include <algorithm>
#include <array>
#include <cmath>

// Bytes are B, G, R, A with alpha 255 everywhere; channel values round as
// clamp, x255, +0.5, truncate.
BitmapPtr RenderLightCone(const LightConeParams& lp, float width, float height) {
    const int64_t W64 = RoundedPixelSide(width), H64 = RoundedPixelSide(height);
    if (!BitmapSizeAllowed(W64, H64)) return nullptr;
    const int W = int(W64), H = int(H64);
    BitmapPtr bmp = Bitmap::Create(W, H);
    if (!bmp) return nullptr;

    // Non-finite parameters fall back to their defaults so that no NaN reaches
    // the table index.
    auto finiteOr = [](float v, float d) { return std::isfinite(v) ? v : d; };
    const double M = std::max(double(finiteOr(lp.height, 200)), 1.0);
    const double theta = std::clamp(double(finiteOr(lp.coneAngle, 25)), 0.5, 89.0) * (3.14159265358979323846 / 180.0);
    const double amount = std::max(double(finiteOr(lp.amount, 1)), 0.0);
    const double ambient = std::clamp(double(finiteOr(lp.ambient, 0.5f)), 0.0, 1.0);
    const double falloff = std::max(double(finiteOr(lp.falloff, 1)), 0.1);
    const double Lx = (double(finiteOr(lp.lightX, 0)) + 0.5) * W, Ly = (double(finiteOr(lp.lightY, 0)) + 0.5) * H;
    const double Tx = (double(finiteOr(lp.targetX, 0)) + 0.5) * W, Ty = (double(finiteOr(lp.targetY, 0)) + 0.5) * H;
    double dx = Tx - Lx, dy = Ty - Ly, dz = -M;
    const double len = std::sqrt(dx * dx + dy * dy + dz * dz);
    dx /= len;
    dy /= len;
    dz /= len;
    const double c = std::cos(theta);
    const double c2 = c * c;
    const double k = 1.0 / std::max(1.0 - c, 1e-6);
    const double tr = double((lp.tint >> 16) & 0xFF) / 255.0;
    const double tg = double((lp.tint >> 8) & 0xFF) / 255.0;
    const double tb = double(lp.tint & 0xFF) / 255.0;

    auto toByte = [](double v) { return uint32_t(std::clamp(v, 0.0, 1.0) * 255.0 + 0.5); };
    std::array<uint32_t, 1024> table;
    for (int i = 0; i < 1024; ++i) {
        const double s = std::pow(std::max(1.0 - double(i) / 1023.0, 0.0), falloff) * amount;
        table[size_t(i)] = 0xFF000000u | (toByte(s * tr + ambient) << 16) | (toByte(s * tg + ambient) << 8) |
                           toByte(s * tb + ambient);
    }
    const uint32_t a = toByte(ambient);
    const uint32_t ambientPixel = 0xFF000000u | (a << 16) | (a << 8) | a;

    const double vz = -M;
#pragma omp parallel for schedule(static)
    for (int y = 0; y < H; ++y) {
        uint32_t* row = bmp->Row32(y);
        const double vy = double(y) - Ly;
        const double rowDot = vy * dy + vz * dz;
        const double rowQ = vy * vy + vz * vz;
        for (int x = 0; x < W; ++x) {
            const double vx = double(x) - Lx;
            const double dot = vx * dx + rowDot;
            const double q = vx * vx + rowQ;
            if (dot >= 0 && dot * dot >= q * c2) {
                const double t = std::clamp((1.0 - dot / std::sqrt(q)) * k, 0.0, 1.0);
                row[x] = table[size_t(t * 1023.0)];
            } else {
                row[x] = ambientPixel;
            }
        }
    }
    return bmp;
}

BitmapPtr CanvasObject::GetLightConeBitmap() {
    if (kind != kObjectLightCone) return nullptr;
    ObjectRenderCaches& c = caches;
    if (ScaleDragActive && c.lightValid && c.light) return c.light;
    const int64_t W = RoundedPixelSide(width), H = RoundedPixelSide(height);
    if (c.lightValid && c.light && c.light->Width() == W && c.light->Height() == H) return c.light;
    BitmapPtr bmp = RenderLightCone(lightCone, float(W), float(H));
    if (!bmp) return nullptr;
    c.light = bmp;
    c.lightValid = true;
    return bmp;
}
