#include "properties/ColorWheelModel.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr float kPi = 3.14159265358979f;

float HueChannel(float p, float q, float t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0f / 6) return p + (q - p) * 6 * t;
    if (t < 0.5f) return q;
    if (t < 2.0f / 3) return p + (q - p) * (2.0f / 3 - t) * 6;
    return p;
}

uint32_t ToByte(float v) { return uint32_t(std::clamp(v, 0.0f, 1.0f) * 255.0f); }

int RoundHalfAway(float v) { return int(v < 0 ? v - 0.5f : v + 0.5f); }
}  // namespace

uint32_t HslToArgb(float h, float s, float l) {
    float r = l, g = l, b = l;
    if (s >= 1e-6f) {
        const float q = l < 0.5f ? (1 + s) * l : s + l - s * l;
        const float p = 2 * l - q;
        const float hh = std::fmod(h / 360.0f + 1.0f, 1.0f);
        r = HueChannel(p, q, hh + 1.0f / 3);
        g = HueChannel(p, q, hh);
        b = HueChannel(p, q, hh - 1.0f / 3);
    }
    return 0xFF000000u | ToByte(r) << 16 | ToByte(g) << 8 | ToByte(b);
}

Hsl RgbToHsl(uint8_t red, uint8_t green, uint8_t blue) {
    const float r = red / 255.0f, g = green / 255.0f, b = blue / 255.0f;
    const float mx = std::max({r, g, b}), mn = std::min({r, g, b});
    Hsl out;
    out.lightness = (mx + mn) / 2;
    const float d = mx - mn;
    if (d < 1e-6f) return out;
    out.saturation = out.lightness > 0.5f ? d / (2 - mx - mn) : d / (mx + mn);
    if (mx == r) out.hue = std::fmod((g - b) / d + 6, 6.0f) * 60;
    else if (mx == g) out.hue = ((b - r) / d + 2) * 60;
    else out.hue = ((r - g) / d + 4) * 60;
    return out;
}

ColorWheelLayout ComputeColorWheelLayout(int width, int height, float hue) {
    ColorWheelLayout l;
    const float W = float(width), H = float(height);
    l.centreX = W / 2;
    l.outerRadius = std::min(std::max(H - 148, 150.0f), std::max(W - 16, 0.0f)) * 0.92f * 0.5f;
    l.centreY = l.outerRadius + 30;
    l.innerRadius = 0.7f * l.outerRadius;
    l.triangleRadius = l.innerRadius - 4;
    for (int k = 0; k < 3; ++k) {
        const float a = (hue + k * 120.0f) * kPi / 180.0f;
        l.vertex[k] = {l.centreX + std::cos(a) * l.triangleRadius, l.centreY + std::sin(a) * l.triangleRadius};
    }
    l.modeTop = std::max(2 * l.outerRadius + 42, 180.0f);
    for (int i = 0; i < 3; ++i) l.rowCentreY[i] = l.modeTop + 22 + 26 * i + 13;
    l.trackWidth = W - 70;
    l.fieldX = W - 44;
    return l;
}

void TriangleWeights(const ColorWheelLayout& l, ColorWheelPoint p, float w[3]) {
    const ColorWheelPoint a = l.vertex[0], b = l.vertex[1], c = l.vertex[2];
    const float area = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
    if (std::fabs(area) < 1e-6f) {
        w[0] = w[1] = w[2] = 0;
        return;
    }
    w[0] = ((b.x - p.x) * (c.y - p.y) - (c.x - p.x) * (b.y - p.y)) / area;
    w[1] = ((c.x - p.x) * (a.y - p.y) - (a.x - p.x) * (c.y - p.y)) / area;
    w[2] = 1 - w[0] - w[1];
}

ColorWheelHit ColorWheelHitTest(const ColorWheelLayout& l, float x, float y) {
    auto in = [&](float rx, float ry, float rw, float rh) { return x >= rx && x < rx + rw && y >= ry && y < ry + rh; };
    if (in(8, l.modeTop - 2, 28, 18)) return {ColorWheelPart::ModeHsl, -1};
    if (in(40, l.modeTop - 2, 28, 18)) return {ColorWheelPart::ModeRgb, -1};
    for (int i = 0; i < 3; ++i)
        if (std::fabs(y - l.rowCentreY[i]) <= 11 && x >= l.fieldX && x < l.fieldX + l.fieldWidth)
            return {ColorWheelPart::Field, i};
    const float d = std::hypot(x - l.centreX, y - l.centreY);
    if (d >= l.innerRadius - 1 && d <= l.outerRadius + 1) return {ColorWheelPart::Ring, -1};
    float w[3];
    TriangleWeights(l, {x, y}, w);
    if (w[0] >= -0.002f && w[1] >= -0.002f && w[2] >= -0.002f && (w[0] != 0 || w[1] != 0 || w[2] != 0))
        return {ColorWheelPart::Triangle, -1};
    for (int i = 0; i < 3; ++i)
        if (std::fabs(y - l.rowCentreY[i]) <= 13 && x >= l.trackX && x <= l.trackX + l.trackWidth)
            return {ColorWheelPart::Slider, i};
    return {};
}

void ColorWheelColor::UpdateRgbFromHsl() {
    const uint32_t c = HslToArgb(hue, saturation, lightness);
    red = uint8_t(c >> 16);
    green = uint8_t(c >> 8);
    blue = uint8_t(c);
}

void ColorWheelColor::SetHsl(float h, float s, float l) {
    prevHue = hue;
    prevSaturation = saturation;
    prevLightness = lightness;
    hue = std::fmod(h + 3600.0f, 360.0f);
    if (hue < 0) hue += 360.0f;  // hues below -3600 still land in range
    saturation = std::clamp(s, 0.0f, 1.0f);
    lightness = std::clamp(l, 0.0f, 1.0f);
    UpdateRgbFromHsl();
}

void ColorWheelColor::SetComponent(int row, int v) {
    if (row < 0 || row > 2) return;
    if (rgbMode) {
        const uint8_t b = uint8_t(std::clamp(v, 0, 255));
        (row == 0 ? red : row == 1 ? green : blue) = b;
        const Hsl h = RgbToHsl(red, green, blue);
        hue = h.hue;
        saturation = h.saturation;
        lightness = h.lightness;
        return;
    }
    if (row == 0) hue = float(std::clamp(v, 0, 360));
    else (row == 1 ? saturation : lightness) = std::clamp(v, 0, 100) / 100.0f;
    UpdateRgbFromHsl();
}

int ColorWheelColor::ShownValue(int row) const {
    if (rgbMode) return row == 0 ? red : row == 1 ? green : blue;
    if (row == 0) return RoundHalfAway(hue);
    return RoundHalfAway((row == 1 ? saturation : lightness) * 100);
}

void ColorWheelColor::DragRing(const ColorWheelLayout& l, float x, float y) {
    float deg = std::atan2(y - l.centreY, x - l.centreX) * 180.0f / kPi;
    hue = std::fmod(deg + 360.0f, 360.0f);
    UpdateRgbFromHsl();
}

bool ColorWheelColor::DragTriangle(const ColorWheelLayout& l, float x, float y) {
    float w[3];
    TriangleWeights(l, {x, y}, w);
    for (float& v : w) v = std::max(v, 0.0f);
    const float sum = w[0] + w[1] + w[2];
    if (sum < 1e-6f) return false;
    const float V = (w[0] + w[1]) / sum;
    const float Sv = V > 1e-6f ? (w[0] / sum) / V : 0;
    const float L = V * (1 - Sv / 2);
    const float m = std::min(L, 1 - L);
    saturation = std::clamp(m <= 1e-6f ? 0.0f : (V - L) / m, 0.0f, 1.0f);
    lightness = std::clamp(L, 0.0f, 1.0f);
    UpdateRgbFromHsl();
    return true;
}

void ColorWheelColor::DragSlider(const ColorWheelLayout& l, int row, float x) {
    const float t = l.trackWidth > 0 ? std::clamp((x - l.trackX) / l.trackWidth, 0.0f, 1.0f) : 0.0f;
    if (rgbMode) {
        SetComponent(row, RoundHalfAway(t * 255));
        return;
    }
    if (row == 0) hue = t * 360;
    else if (row == 1) saturation = t;
    else lightness = t;
}
