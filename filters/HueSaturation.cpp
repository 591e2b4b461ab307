#include "filters/HueSaturation.h"

#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

void InitHueSaturationParams(EffectParams& p) { p.Set(HueSaturationParams{}); }

namespace {

constexpr float kThird = 0.33333334f, kSixth = 0.16666667f, kTwoThirds = 0.6666667f;

float HueChannel(float p, float q, float t) {
    if (t >= 1.0f)
        t -= 1.0f;
    else if (t < 0.0f)
        t += 1.0f;
    if (t < kSixth) return ((q - p) * 6.0f) * t + p;
    if (t < 0.5f) return q;
    if (t < kTwoThirds) return ((q - p) * (kTwoThirds - t)) * 6.0f + p;
    return p;
}

}  // namespace

void HslToRgb(float h, float s, float l, float& red, float& green, float& blue) {
    if (s < 1e-6f) {
        red = green = blue = l;
        return;
    }
    const float q = l < 0.5f ? (s + 1.0f) * l : (s + l) - s * l;
    const float p = (l + l) - q;
    red = HueChannel(p, q, h + kThird);
    green = HueChannel(p, q, h);
    blue = HueChannel(p, q, h - kThird);
}

BitmapPtr ApplyHueSaturation(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    const auto* rec = params.Get<HueSaturationParams>();
    const int w = source.Width(), h = source.Height();
    if (!rec || w < 1 || h < 1) return nullptr;
    const bool colorize = rec->colorize != 0;
    if (!colorize && std::fabs(rec->hue) < 0.001f && std::fabs(rec->saturation) < 1e-4f &&
        std::fabs(rec->lightness) < 1e-4f)
        return CopyFilterSource(source);
    BitmapPtr out = CreateFilterOutput(w, h);
    if (!out) return nullptr;

    const float shift = ClampParam(rec->hue, -180, 180) / 360.0f;
    const float satFactor = ClampParam(rec->saturation, -1, 1) + 1.0f;
    const float lightAdd = ClampParam(rec->lightness, -1, 1) * 0.5f;
    // Colorize takes the stored hue unclamped (wrapped) and the stored saturation.
    const float u = (rec->hue + 180.0f) / 360.0f;
    const float targetHue = std::isfinite(u) ? u - std::floor(u) : 0.0f;
    const float targetSat = ClampParam((rec->saturation + 1.0f) * 0.5f, 0, 1);
    constexpr float kInv255 = 1.0f / 255.0f;

#pragma omp parallel for schedule(static) if (int64_t(w) * h > kFilterParallelPixels)
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = source.Row(y);
        uint8_t* d = out->Row(y);
        for (int x = 0; x < w; ++x, s += 4, d += 4) {
            const float r = s[2] * kInv255, g = s[1] * kInv255, b = s[0] * kInv255;
            const float mx = std::max(r, std::max(g, b)), mn = std::min(r, std::min(g, b));
            float L = (mx + mn) * 0.5f;
            const float dd = mx - mn;
            float H = 0, S = 0;
            if (dd >= 1e-6f) {
                S = L > 0.5f ? dd / (2.0f - mx - mn) : dd / (mx + mn);
                if (mx == r)
                    H = (g - b) / dd + (b > g ? 6.0f : 0.0f);
                else if (mx == g)
                    H = (b - r) / dd + 2.0f;
                else
                    H = (r - g) / dd + 4.0f;
                H = H / 6.0f;
            }
            if (colorize) {
                H = targetHue;
                S = targetSat;
            } else {
                H = H + shift;
                if (H >= 1.0f)
                    H -= 1.0f;
                else if (H < 0.0f)
                    H += 1.0f;
                S = ClampParam(S * satFactor, 0, 1);
            }
            L = ClampParam(L + lightAdd, 0, 1);
            float ro, go, bo;
            HslToRgb(H, S, L, ro, go, bo);
            d[0] = RoundByte(bo * 255.0f);
            d[1] = RoundByte(go * 255.0f);
            d[2] = RoundByte(ro * 255.0f);
            d[3] = s[3];
        }
    }
    return out;
}
