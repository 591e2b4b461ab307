#pragma once
// Software 2D drawing onto the editor's 32-bit buffers: bitmaps drawn into
// rectangles or parallelograms (nearest, bilinear or bicubic sampling, with
// anti-aliased edges), colour matrices, and anti-aliased polygon, path and
// rounded-rectangle fills.
//
// Pixels are bytes B, G, R, A. A target is either premultiplied (a
// CompositeSurface) or straight (a Bitmap); sources are always straight
// Bitmaps. Sampling filters premultiplied colour so transparent texels never
// bleed their colour. Floats become bytes by clamp, x255, +0.5, truncate.
//
// Geometry: pixel (i, j) covers [i, i+1) x [j, j+1) and is sampled at its
// centre (i + 0.5, j + 0.5) on both the source and the target, so an
// untransformed draw at integer positions copies pixels exactly.
#include <cstdint>
#include <vector>

class Bitmap;
class CompositeSurface;

struct PointF {
    float x = 0, y = 0;
};

struct RectF {
    float x = 0, y = 0, width = 0, height = 0;
};

// x' = a x + c y + tx, y' = b x + d y + ty.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static Affine Translation(double x, double y) { return {1, 0, 0, 1, x, y}; }
    // Clockwise on screen (y down) by `degrees` about (cx, cy).
    static Affine RotationAbout(double degrees, double cx, double cy);
    // The transform that applies `first`, then `*this`.
    Affine After(const Affine& first) const;
    PointF Map(PointF p) const;
    // False when the transform is singular.
    bool Invert(Affine& out) const;
};

// 5 x 5 colour matrix on straight colours in [0, 1], row-vector convention:
// [r g b a 1] x m gives [r' g' b' a' _]. Rows and columns are R, G, B, A, offset.
struct ColorMatrix {
    float m[5][5] = {{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, 1, 0}, {0, 0, 0, 0, 1}};
    static ColorMatrix AlphaScale(float k);
    // True when the matrix only scales alpha (then `alphaScale` holds the factor).
    bool IsAlphaScaleOnly(float* alphaScale) const;
};

enum class Interpolation : uint8_t {
    Nearest,   // the texel whose area holds the sample point
    Bilinear,  // 2 x 2 texels
    Bicubic,   // 4 x 4 texels (Keys, a = -0.5); shrinking draws are area-prefiltered first
};

enum class Compositing : uint8_t {
    SourceOver,  // Porter-Duff over; keeps the target's alpha under the source
    SourceCopy,  // replaces the target (blended with it only by edge coverage)
};

enum class FillRule : uint8_t { Winding, EvenOdd };

// A view of the pixels being drawn on. Rows top-down, `stride` bytes apart.
struct RasterTarget {
    uint8_t* pixels = nullptr;
    int width = 0, height = 0;
    int64_t stride = 0;
    bool premultiplied = false;

    static RasterTarget Of(CompositeSurface& s);
    static RasterTarget Of(Bitmap& b);
    bool Empty() const { return !pixels || width <= 0 || height <= 0; }
};

struct ImageDrawOptions {
    Interpolation interpolation = Interpolation::Bicubic;
    Compositing compositing = Compositing::SourceOver;
    bool antiAlias = true;   // exact-area edges; off: a pixel is in when at least half covered
    float opacity = 1.0f;    // alpha scale, clamped to [0, 1]
    const ColorMatrix* colorMatrix = nullptr;  // applied to the straight source before opacity
    const Affine* world = nullptr;              // applied to the destination geometry
};

// Draws `src` (the whole bitmap) into the rectangle `dest`, mapped by the
// options' world transform. False when nothing could be drawn (empty target
// or source, singular geometry, out of memory).
bool DrawBitmapRect(const RasterTarget& target, const Bitmap& src, const RectF& dest,
                    const ImageDrawOptions& options = {});

// Draws the part `srcRect` (source pixels) of `src` into the parallelogram
// with corners upperLeft, upperRight and lowerLeft (world transform applied).
bool DrawBitmapToPoints(const RasterTarget& target, const Bitmap& src, const RectF& srcRect,
                        PointF upperLeft, PointF upperRight, PointF lowerLeft,
                        const ImageDrawOptions& options = {});

// DrawBitmapToPoints through the plain per-pixel path (every pixel mapped,
// sampled and composited on its own): the reference the fast paths are held
// to by tests and benchmarks. Same results within one level per channel.
bool DrawBitmapToPointsReference(const RasterTarget& target, const Bitmap& src, const RectF& srcRect,
                                 PointF upperLeft, PointF upperRight, PointF lowerLeft,
                                 const ImageDrawOptions& options = {});

// An 8-bit coverage mask, row by row (0 clear, 255 full).
struct TintMask {
    const uint8_t* bytes = nullptr;
    int width = 0, height = 0;
    int64_t stride = 0;
};

// Draws `mask` as a tint: the straight 0xAARRGGBB colour, its alpha scaled by
// the mask sampled bilinearly (edges clamped), over the rectangle with its
// top-left at (x, y) and `scale` target pixels per mask pixel, composited
// source-over with exact-area edges and limited to the pixels whose centres
// lie in `clip` (all of the target when null). Pixels where the mask is clear
// are left as they are. Cheaper than drawing a tinted bitmap: no colour
// channels are filtered. False when nothing could be drawn.
bool DrawTintMask(const RasterTarget& target, const TintMask& mask, float x, float y, float scale, uint32_t argb,
                  const RectF* clip = nullptr);
// The same, every pixel mapped and sampled on its own: the reference the fast
// path is held to (within one level per channel, from the order of the
// filter's float sums).
bool DrawTintMaskReference(const RasterTarget& target, const TintMask& mask, float x, float y, float scale,
                           uint32_t argb, const RectF* clip = nullptr);

// Several tint masks drawn in order with one sharing-out of rows among
// threads: the bytes of DrawTintMask called for each in turn. Returns how
// many drew anything.
struct TintMaskDraw {
    TintMask mask;
    float x = 0, y = 0, scale = 1;
    uint32_t argb = 0;
};
int DrawTintMasks(const RasterTarget& target, const TintMaskDraw* draws, int count, const RectF* clip = nullptr);

// Draws queued and then made in one sharing-out of rows among threads, for a
// frame of many draws (parts, then their overlays): each row takes every
// queued draw that reaches it in the order they were queued, so the bytes are
// those of the same draws made one after another, without a start and stop
// of the threads per draw. What comes before a bitmap's rows (recolouring, a
// shrinking prefilter) is done when it is queued; a tint mask's column map is
// made by Run, in the same sharing-out as the rows. Sources (bitmaps, mask
// bytes) must stay as they are until Run. A batch kept from frame to frame
// reuses its storage.
class RasterBatch {
public:
    RasterBatch();
    ~RasterBatch();
    RasterBatch(const RasterBatch&) = delete;
    RasterBatch& operator=(const RasterBatch&) = delete;

    // Drops what is queued and draws on `target` from now on.
    void Begin(const RasterTarget& target);
    // As DrawBitmapRect and DrawTintMasks.
    bool AddBitmapRect(const Bitmap& src, const RectF& dest, const ImageDrawOptions& options = {});
    int AddTintMasks(const TintMaskDraw* draws, int count, const RectF* clip = nullptr);
    // Draws what is queued and empties the queue.
    void Run();

private:
    struct Impl;
    Impl* impl_;
};

// Sets every pixel to `argb` (straight 0xAARRGGBB; premultiplied on a
// premultiplied target).
void ClearTarget(const RasterTarget& target, uint32_t argb);

// Closed polygons and polylines made of straight segments; curves are
// flattened when added.
class RasterPath {
public:
    void MoveTo(float x, float y);
    void LineTo(float x, float y);
    // Cubic Bezier from the current point.
    void CubicTo(float x1, float y1, float x2, float y2, float x3, float y3);
    void Close();
    void AddPolygon(const PointF* points, int count);
    void AddRect(const RectF& r);
    // A rectangle with quarter-ellipse corners of the given radii (clamped to half the sides).
    void AddRoundedRect(const RectF& r, float radiusX, float radiusY);
    void AddEllipse(const RectF& r);
    bool Empty() const { return figures_.empty(); }

    // Each figure is implicitly closed when filled.
    const std::vector<std::vector<PointF>>& Figures() const { return figures_; }

private:
    std::vector<std::vector<PointF>> figures_;
    bool open_ = false;
};

struct FillOptions {
    FillRule rule = FillRule::Winding;
    Compositing compositing = Compositing::SourceOver;
    bool antiAlias = true;
    const Affine* world = nullptr;
};

// Fills with a straight 0xAARRGGBB colour, coverage by exact pixel area.
void FillPath(const RasterTarget& target, const RasterPath& path, uint32_t argb, const FillOptions& options = {});
void FillPolygon(const RasterTarget& target, const PointF* points, int count, uint32_t argb,
                 const FillOptions& options = {});
void FillRect(const RasterTarget& target, const RectF& rect, uint32_t argb, const FillOptions& options = {});
void FillRoundedRect(const RasterTarget& target, const RectF& rect, float radius, uint32_t argb,
                     const FillOptions& options = {});

// Coverage of the path over a w x h grid (row-major, values in [0, 1]); the
// rasteriser behind every fill, exposed for masks and tests.
std::vector<float> RasterizeCoverage(const RasterPath& path, int width, int height, FillRule rule,
                                     const Affine* world = nullptr);
