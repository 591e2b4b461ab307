#pragma once
// Small pieces every filter shares: the size rule of the rescale functions,
// the float-to-byte rules, parameter clamps that survive NaN, output bitmaps
// within the size caps, straight-alpha copies and source-over draws at whole
// pixel positions, and an image's alpha plane.
//
// Filters read and write straight-alpha B, G, R, A bitmaps.
#include "platform/Bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

// Sizes never turn negative when an object shrinks or is mirrored by a negative factor.
inline float ScaledFilterSize(float value, float f) { return std::max(f * value, 0.0f); }

// v clamped to [lo, hi]; NaN counts as lo, so a damaged record cannot poison a loop.
inline float ClampParam(float v, float lo, float hi) { return !(v >= lo) ? lo : (v > hi ? hi : v); }

// The general float-to-byte rule: + 0.5, clamp to [0, 255], truncate.
inline uint8_t RoundByte(float v) {
    v += 0.5f;
    return uint8_t(!(v > 0.0f) ? 0.0f : (v > 255.0f ? 255.0f : v));
}
// Clamp to [0, 255] and truncate, without the half (where a filter asks for it).
inline uint8_t TruncByte(float v) { return uint8_t(!(v > 0.0f) ? 0.0f : (v > 255.0f ? 255.0f : v)); }

// A size in pixels made whole: trunc(max(v, 0) + 0.5). Values far beyond any
// bitmap side are capped so that sums of sizes stay within int.
constexpr int kMaxFilterPixels = 1 << 20;
inline int WholePixels(float v) {
    const float x = std::trunc(ClampParam(v, 0.0f, float(kMaxFilterPixels)) + 0.5f);
    return int(std::min(x, float(kMaxFilterPixels)));
}

// The object's diagonal in whole pixels. A width, softness or distance past it
// reaches nothing more inside the object, so filters whose output keeps the
// object's size clamp their sizes here: any record then costs what the
// diagonal costs.
inline int FilterDiagonal(int w, int h) { return int(std::ceil(std::hypot(double(w), double(h)))); }

// The nearest integer, halves away from zero, capped to +-kMaxFilterPixels.
inline int RoundAway(float v) {
    return int(std::round(ClampParam(v, -float(kMaxFilterPixels), float(kMaxFilterPixels))));
}

// Angles in degrees to radians in single precision.
constexpr float kDegreesToRadians = 0.017453292f;

// A zero-filled output (transparent black), or null when the size is not
// positive or exceeds the bitmap caps.
BitmapPtr CreateFilterOutput(int64_t width, int64_t height);

// An exact same-size copy of source (source-copy drawing at its own size), or
// null when memory is short.
BitmapPtr CopyFilterSource(const Bitmap& source);

// The same copy with its rows shared out to worker threads (for working
// copies of large images); null when memory is short.
BitmapPtr CopyBitmapRows(const Bitmap& source);

// A plane of n values whose every element the caller writes before reading:
// no zero fill on one thread ahead of a parallel pass that fills it anyway.
template <typename T>
std::unique_ptr<T[]> UninitialisedPlane(size_t n) {
    return std::unique_ptr<T[]>(new T[n]);
}

// The same on large pages: a working plane of a large image otherwise costs a
// page fault for every 4 KiB its passes first touch, and on a busy or
// virtualised machine those faults, not the pixels, set the filter's time.
// Elements are not initialised; throws std::bad_alloc when memory is short.
struct WorkPlaneFree {
    void operator()(void* p) const;
};
template <typename T>
using WorkPlane = std::unique_ptr<T[], WorkPlaneFree>;
void* AllocateWorkPlaneBytes(size_t bytes);
template <typename T>
WorkPlane<T> MakeWorkPlane(size_t n) {
    static_assert(std::is_trivially_copyable_v<T>);
    return WorkPlane<T>(static_cast<T*>(AllocateWorkPlaneBytes(n * sizeof(T))));
}

// Draws source over target with its top-left corner at (x, y), at its own
// size, straight alpha on both (Porter-Duff over).
void DrawSourceOver(Bitmap& target, const Bitmap& source, int x, int y);

// The alpha bytes of source in a working plane, tight rows of width bytes.
WorkPlane<uint8_t> AlphaWorkPlane(const Bitmap& source);

// Colour bytes of a 0xAARRGGBB parameter (its alpha byte is never used).
struct ColourBytes {
    uint8_t b, g, r;
    explicit ColourBytes(uint32_t argb)
        : b(uint8_t(argb & 0xFF)), g(uint8_t((argb >> 8) & 0xFF)), r(uint8_t((argb >> 16) & 0xFF)) {}
};

// Pixel loops go to worker threads only when the image is large enough to pay for them.
constexpr int64_t kFilterParallelPixels = 65536;

// A same-size copy of source with blue, green and red each looked up in its
// own 256-entry table and alpha copied; null when memory is short.
BitmapPtr MapColourBytes(const Bitmap& source, const uint8_t blue[256], const uint8_t green[256],
                         const uint8_t red[256]);

// Copies source into out (which is at least as large) with its top-left
// corner at (x, y), replacing what was there (source-copy at whole pixels).
void CopySourceInto(Bitmap& out, const Bitmap& source, int x, int y);

// The shared frame of Blur and Gaussian Blur: r = trunc(max(w, h) x radius
// + 0.5) (0 when that product is not positive); below 1 an exact copy with
// offset (0, 0); otherwise the source on a transparent border of r pixels,
// premultiplied, run through `kernel` (tight 32-bit pixels, width, height, r),
// unpremultiplied, with offset (-r, -r).
using PremultipliedBlurKernel = void (*)(uint8_t* pixels, int width, int height, int r);
BitmapPtr BlurWithBorder(const Bitmap& source, float radius, PremultipliedBlurKernel kernel, float& offsetX,
                         float& offsetY);

// A plane byte p at an opacity: trunc(clamp(p x opacity, 0, 255)), without
// the half; p itself when opacity is 1 or more.
inline uint8_t ScaleByOpacity(uint8_t p, float opacity) { return opacity < 1.0f ? TruncByte(float(p) * opacity) : p; }

// out (the source's size) gets, for each colour byte, (colour x P + source x
// (255 - P) + 128) / 255 with P the plane's byte, and the source's alpha.
void BlendColourByPlane(Bitmap& out, const Bitmap& source, const uint8_t* plane, uint32_t colour);

// Every pixel of out (plane-sized) whose plane byte, scaled by opacity as
// ScaleByOpacity does, is above 0 becomes the colour with that alpha; the
// others are left as they are.
void FillColourWithPlaneAlpha(Bitmap& out, const uint8_t* plane, uint32_t colour, float opacity = 1.0f);
