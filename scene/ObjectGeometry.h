#pragma once
// Mappings between an object's frame and the canvas, and the rounding of an
// object's size to the pixel size of its rendered images. The CanvasObject
// and CanvasDocument members of this area are declared with those types.
#include <cstdint>

// An object side in canvas units as the pixel side of its images: the larger
// of the value and 1, rounded half away from zero, at least 1. Values beyond
// the bitmap caps (and NaN) come back as a side the caps reject, never as an
// overflowed integer.
int64_t RoundedPixelSide(float units);

// An object side as stored: nearest integer (halves away from zero), 1 .. the
// bitmap side cap; a non-finite side becomes 1 so that it never reaches an
// integer conversion in the renderers.
float WholeObjectSide(float units);

// The axis-aligned box around the rectangle (x, y, w, h) turned about
// (cx, cy) by the angle whose cosine and sine are ct and st, in doubles.
struct RotatedBox {
    double minX, minY, maxX, maxY;
    bool IsFinite() const;
};
RotatedBox RotatedRectBox(double x, double y, double w, double h, double cx, double cy, double ct, double st);

// Degrees to radians the way every mapping of the scene does it, in single precision.
inline float DegreesToRadians(float degrees) { return degrees * (3.1415927f / 180.0f); }
