#pragma once
// The region of a part's image that one bone claims: a capsule laid along the
// bone (a rectangular body and two caps, each flat or half an ellipse) with a
// feathered edge. It decides which pixels become the bone's runtime part and
// is drawn as the bone's tinted overlay in the Pose Editor.
//
// Pixel space: x right, y down, pixel (i, j) sampled at its centre. Along the
// bone u runs from the head (0) to the tail (L); across it v is positive to
// the right of the bone seen from head to tail.
#include "platform/Bitmap.h"
#include "scene/PosableRecords.h"

#include <cstdint>
#include <vector>

// A rectangle of a part's pixel space (it may reach outside the image) and
// one byte per pixel, row by row: 0 outside the region, 255 fully inside.
struct ByteMaskRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
    std::vector<uint8_t> bytes;
};

// One region in pixels (all lengths in pixels).
struct BoneShapeParams {
    double headX = 0, headY = 0, tailX = 0, tailY = 0;
    double halfWidth = 0.5;
    double headCapLength = 0, tailCapLength = 0;
    double headShift = 0, tailShift = 0;
    double headOffset = 0, tailOffset = 0;
    double headCapHalfWidth = 0.5, tailCapHalfWidth = 0.5;
    bool roundHead = true, roundTail = true;
    double feather = 0;
};

// A whole-pixel box: left and top whole numbers, width and height at least 1.
struct BoneShapeBox {
    double left = 0, top = 0;
    int width = 1, height = 1;
};

// The pixel region of a bone on a part of display size (w, h): the bone's
// fractions of s = max(w, h) and of the bone length L made into pixels.
BoneShapeParams MakeBoneShapeParams(const Bone& bone, double w, double h);

namespace BoneShape {

// True when the pixel-space point lies inside the region (edges included).
bool Contains(const BoneShapeParams& p, double x, double y);
// The box around the region plus a margin of feather + 2 pixels.
BoneShapeBox Bounds(const BoneShapeParams& p);
// A new box-sized bitmap holding the region in `rgba` (red, green, blue,
// alpha bytes), feathered, as premultiplied B, G, R, A bytes; transparent
// everywhere for a bone shorter than one pixel. Null when the box is too big
// to allocate.
BitmapPtr Rasterize(const BoneShapeParams& p, const BoneShapeBox& box, const uint8_t rgba[4]);

// The region's coverage over `box`, feathered, one byte per pixel (as the
// alpha Rasterize gives for an opaque colour), into mask (x, y the box's
// corner). All clear for a bone shorter than one pixel. False (mask
// untouched) when the box is too big to allocate.
bool RasterizeMask(const BoneShapeParams& p, const BoneShapeBox& box, ByteMaskRect& mask);

// How an overlay of a region is rasterised for a view: only the part that
// meets a clip rectangle (plus the blur's reach, so the feather is right at
// the clip's edges), and at 1/scale of the view's resolution when the
// feather is wide enough to hide it, so the work stays bounded by the clip
// whatever the zoom. `scaled` is the region in raster pixels; raster pixel
// (i, j) covers view pixels from (box.left + i) * scale. Empty when the
// region misses the clip.
struct OverlayPlan {
    BoneShapeParams scaled;
    BoneShapeBox box;
    int scale = 1;
    bool empty = true;
};
// The clip is given in the region's own pixel space (left, top, right,
// bottom); the feather is taken as at most 254 pixels.
OverlayPlan PlanOverlay(const BoneShapeParams& p, double clipLeft, double clipTop, double clipRight,
                        double clipBottom);

}  // namespace BoneShape

// Fills mask with the bone's region on a part of display size (w, h); with
// wholeImage, the whole rounded part size at 255. False (mask untouched) for
// a bone shorter than one pixel or a region that cannot be drawn.
bool BuildBoneMask(float w, float h, const Bone& bone, bool wholeImage, ByteMaskRect& mask);
