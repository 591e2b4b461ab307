#pragma once
// Turn selection shapes (rectangle, inscribed ellipse, closed polygon, magic-wand
// region) into 8-bit coverage rectangles that the selection controller combines
// into the scene's mask. Coverage bytes: 0 unselected .. 255 selected.
#include <cstdint>
#include <span>
#include <vector>

// How a shape's edge is rasterised. Feather mode rasterises hard, then blurs the
// coverage with GaussianBlurMask(featherRadius).
enum SelectionEdgeMode : int32_t {
    kSelectionEdgeHard = 0,
    kSelectionEdgeAntialias = 1,
    kSelectionEdgeFeather = 2,
};

struct SelectionEdgeOptions {
    int32_t edgeMode = kSelectionEdgeAntialias;
    float featherRadius = 2.0f;  // pixels
};

// A rectangle of mask pixels and its width x height coverage bytes, row-major.
// Always inside 0..clip size; an empty result has width = height = 0, no bytes.
struct SelectionCoverage {
    int32_t x = 0, y = 0, width = 0, height = 0;
    std::vector<uint8_t> bytes;
    bool Empty() const { return width <= 0 || height <= 0; }
};

struct SelectionPoint {
    float x = 0, y = 0;
};

// The box x..x + width, y..y + height. Hard and feather modes select the pixels
// whose centres lie in the half-open box; antialias mode covers by area.
SelectionCoverage RasterizeRectSelection(float x, float y, float width, float height,
                                         const SelectionEdgeOptions& options, int32_t clipWidth,
                                         int32_t clipHeight);

// The ellipse inscribed in the box, sampled once per pixel (hard, feather) or on
// a 4 x 4 grid (antialias). Empty when either radius is not positive.
SelectionCoverage RasterizeEllipseSelection(float x, float y, float width, float height,
                                            const SelectionEdgeOptions& options, int32_t clipWidth,
                                            int32_t clipHeight);

// The closed polygon through the points, even-odd rule; horizontal coverage is
// exact in every mode, vertical is 1 (hard, feather) or 4 (antialias) samples
// per row. Empty for fewer than 3 points or any non-finite coordinate.
SelectionCoverage RasterizePolygonSelection(std::span<const SelectionPoint> points,
                                            const SelectionEdgeOptions& options, int32_t clipWidth,
                                            int32_t clipHeight);

// The 4-connected region around the seed whose pixels differ from the seed's in
// no channel (B, G, R or A) by more than the tolerance (clamped to 0..255).
// `pixels` are width x height tightly packed B, G, R, A pixels (straight alpha).
// Empty for a seed outside the image. Antialias mode softens the edge with
// BoxBlur3x3, feather mode with GaussianBlurMask.
SelectionCoverage MagicWandFillPixels(const uint32_t* pixels, int32_t width, int32_t height, int32_t seedX,
                                      int32_t seedY, int32_t tolerance, const SelectionEdgeOptions& options);

// The same over any pixel view with Width(), Height() and
// ReadRect(x, y, w, h, uint32_t* out) (the canvas write views): the view is read
// once in full. A null view gives an empty result.
template <class PixelView>
SelectionCoverage MagicWandFill(PixelView* source, int32_t seedX, int32_t seedY, int32_t tolerance,
                                const SelectionEdgeOptions& options) {
    if (!source) return {};
    const int32_t w = source->Width(), h = source->Height();
    if (w <= 0 || h <= 0 || seedX < 0 || seedY < 0 || seedX >= w || seedY >= h) return {};
    std::vector<uint32_t> pixels(size_t(w) * size_t(h));
    source->ReadRect(0, 0, w, h, pixels.data());
    return MagicWandFillPixels(pixels.data(), w, h, seedX, seedY, tolerance, options);
}

// In-place 3 x 3 box blur: a horizontal then a vertical pass of (left + self +
// right) / 3 in integers, edge indices clamped. Nothing below 1 x 1.
void BoxBlur3x3(uint8_t* bytes, int32_t width, int32_t height);
