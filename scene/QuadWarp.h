#pragma once
// The bilinear four-corner warp of an object's base image: the inverse map of
// a point to the unit square, the point-in-quad test, the edge-clamped
// bilinear sampler and the render of a bitmap into the quad's bounding box.
// Pixels are straight-alpha B, G, R, A bytes.
#include "platform/Bitmap.h"
#include "scene/CanvasObject.h"

#include <cstdint>

namespace QuadWarp {

struct InverseResult {
    float u = 0, v = 0;
    bool ok = false;
};

// Solves p = P0 + u e1 + v e2 + u v g for (u, v); ok when both lie in the
// unit square with a tolerance of 1e-4.
InverseResult InverseMap(ScenePoint p0, ScenePoint p1, ScenePoint p2, ScenePoint p3, ScenePoint p);
// Even-odd crossing test over the edges P0-P1-P2-P3-P0.
bool ContainsPoint(ScenePoint p0, ScenePoint p1, ScenePoint p2, ScenePoint p3, ScenePoint p);
// Bilinear sample with pixel k's centre at k; coordinates are clamped to the
// image, so edges repeat. Each channel rounds with +0.5 and truncation.
uint32_t SampleBilinear(const uint8_t* pixels, int rowPitch, int width, int height, float x, float y);
// Maps a point of the warped frame (object units from the object's top-left)
// to the unwarped frame. False when the size is not positive or the point
// lies outside the warped outline.
bool MapPoint(const Quad& quad, ScenePoint point, float width, float height, ScenePoint& out);

}  // namespace QuadWarp

// Renders source bent into the quad, into a bitmap covering the quad's
// bounding box in whole pixels; offset receives the box's top-left in the
// source's pixel space. Null for an empty source, a degenerate or non-finite
// quad, or a result beyond the bitmap caps.
BitmapPtr WarpBitmapToQuad(const BitmapPtr& source, const Quad& quad, float& offsetX, float& offsetY);
