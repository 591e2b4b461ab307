#include "filters/Levels.h"

#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

void InitLevelsParams(EffectParams& p) { p.Set(LevelsParams{}); }

bool LevelsCurveIsIdentity(const LevelsChannel& c) {
    return c.inputLow == 0 && c.inputHigh == 255 && c.outputLow == 0 && c.outputHigh == 255 &&
           std::fabs(c.gamma - 1.0f) < 1e-4f;
}

void BuildLevelsLut(const LevelsChannel& curve, uint8_t table[256]) {
    const int lo = std::clamp(curve.inputLow, 0, 254);
    const int hi = std::clamp(curve.inputHigh, lo + 1, 255);
    const float e = 1.0f / ClampParam(curve.gamma, 0.01f, 9.99f);
    const int olo = std::clamp(curve.outputLow, 0, 255), ohi = std::clamp(curve.outputHigh, 0, 255);
    for (int i = 0; i < 256; ++i) {
        const float t = ClampParam(float(i - lo) / float(hi - lo), 0, 1);
        const float v = std::pow(t, e) * float(ohi - olo) + float(olo) + 0.5f;
        table[i] = TruncByte(v);
    }
}

BitmapPtr ApplyLevels(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    const auto* r = params.Get<LevelsParams>();
    if (!r || source.Width() < 1 || source.Height() < 1) return nullptr;
    const LevelsChannel* curves[4] = {&r->rgb, &r->red, &r->green, &r->blue};
    uint8_t t[4][256];
    bool identity = true;
    for (int k = 0; k < 4; ++k) {
        if (LevelsCurveIsIdentity(*curves[k])) {
            for (int i = 0; i < 256; ++i) t[k][i] = uint8_t(i);
        } else {
            identity = false;
            BuildLevelsLut(*curves[k], t[k]);
        }
    }
    if (identity) return CopyFilterSource(source);
    uint8_t red[256], green[256], blue[256];
    for (int i = 0; i < 256; ++i) {
        red[i] = t[0][t[1][i]];
        green[i] = t[0][t[2][i]];
        blue[i] = t[0][t[3][i]];
    }
    return MapColourBytes(source, blue, green, red);
}
