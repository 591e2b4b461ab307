#pragma once
// The colour wheel's colour and geometry without a window: the HSL <-> RGB
// conversions the whole program shares, the placement of the hue ring, the
// saturation/lightness triangle, the mode switch and the three slider rows for
// a client size, and what a press or a drag at a point does to the colour.
#include <cstdint>

// Opaque 0xFFRRGGBB from hue in degrees, saturation and lightness in 0..1;
// channels are truncated, not rounded.
uint32_t HslToArgb(float hue, float saturation, float lightness);

struct Hsl {
    float hue = 0, saturation = 0, lightness = 0;
};
Hsl RgbToHsl(uint8_t red, uint8_t green, uint8_t blue);

struct ColorWheelPoint {
    float x = 0, y = 0;
};

struct ColorWheelLayout {
    float centreX = 0, centreY = 0;
    float outerRadius = 0, innerRadius = 0, triangleRadius = 0;
    ColorWheelPoint vertex[3];  // pure hue, white, black
    float modeTop = 0;           // B: the mode labels sit at B - 2
    float rowCentreY[3] = {};
    float trackX = 22, trackWidth = 0;
    float fieldX = 0, fieldWidth = 42;
};
// Geometry for a client of width x height with the triangle turned to hue.
ColorWheelLayout ComputeColorWheelLayout(int width, int height, float hue);

// Barycentric weights of p for the triangle's vertices (0 when degenerate).
void TriangleWeights(const ColorWheelLayout& l, ColorWheelPoint p, float w[3]);

// What a press lands on.
enum class ColorWheelPart { None, ModeHsl, ModeRgb, Field, Ring, Triangle, Slider };
struct ColorWheelHit {
    ColorWheelPart part = ColorWheelPart::None;
    int row = -1;  // fields and sliders
};
ColorWheelHit ColorWheelHitTest(const ColorWheelLayout& l, float x, float y);

// The wheel's colour: HSL with the RGB bytes kept in step.
struct ColorWheelColor {
    float hue = 200, saturation = 0.85f, lightness = 0.45f;
    float prevHue = 200, prevSaturation = 0.85f, prevLightness = 0.45f;
    bool rgbMode = false;
    uint8_t red = 21, green = 136, blue = 212;

    // Keeps the colour as the previous one, wraps the hue into 0..360 and
    // clamps the rest.
    void SetHsl(float h, float s, float l);
    void UpdateRgbFromHsl();
    // A typed value or an RGB slider for row 0..2 (clamped to the row's range).
    void SetComponent(int row, int value);
    // The value shown in a row's numeric field.
    int ShownValue(int row) const;
    // Drags; each returns false when nothing changed.
    void DragRing(const ColorWheelLayout& l, float x, float y);
    bool DragTriangle(const ColorWheelLayout& l, float x, float y);
    void DragSlider(const ColorWheelLayout& l, int row, float x);
    uint32_t Argb() const { return HslToArgb(hue, saturation, lightness); }
};
