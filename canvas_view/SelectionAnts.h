#pragma once
// The canvas view's display of the pixel selection without a window: the
// marching-ants outline rasterised into a bitmap that covers only the part of
// the selection inside the viewport, the red tint of the unselected area at
// mask resolution, and the caches that redraw each only when what it shows
// changed. The view blits the bitmaps.
//
// Pixels are premultiplied B, G, R, A words (0xAARRGGBB in a uint32_t).
#include "platform/RectI.h"
#include "scene/SelectionMask.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The mask outline's polylines with every point that only continues a
// straight run dropped, so a long mask edge becomes one segment. A point is
// dropped when the steps into and out of it point the same way; a step that
// turns back keeps its corner.
std::vector<std::vector<OutlinePoint>> MergeStraightRuns(const SelectionOutline& outline);

// The client rectangle the ants bitmap covers: the selection's bounds (canvas
// pixels x, y, w, h) mapped with the zoom and origin, rounded outwards and
// widened by 2 pixels on each side, then cut to the viewport. Empty when the
// selection lies outside the viewport or is empty.
RectI AntsClipRect(int x, int y, int w, int h, float zoom, float originX, float originY, const RectI& viewport);

// The ants of the runs (mask units) at this zoom and origin, drawn into a
// bitmap covering `clip`: every run a 1-pixel line of 0xDC000000 under white
// dashes of 4 on, 4 off, the dash pattern starting `phase` pixels back at the
// start of each run and running on across its corners. Pixels are written
// (not blended); pixels outside the runs are left as they are. Vertices land
// on the nearest client pixel; segments outside the clip cost only their
// length in the dash count.
void RenderAnts(const std::vector<std::vector<OutlinePoint>>& runs, float zoom, float originX, float originY,
                float phase, const RectI& clip, uint32_t* pixels, size_t stridePixels);

// What an ants bitmap was drawn for; a bitmap is reused only for an equal key.
struct AntsCacheKey {
    const SelectionMask* mask = nullptr;
    uint64_t revision = 0;
    RectI clip;
    float zoom = -1.0f, originX = 0, originY = 0, phase = -2.0f;
    bool operator==(const AntsCacheKey&) const = default;
};

// The ants bitmap of the scene's mask for the current view. Its size is at
// most the viewport's, whatever the zoom and the selection's size.
class MarchingAntsCache {
public:
    // Brings the bitmap up to date for the mask seen at this zoom, origin and
    // phase through the viewport; builds the mask's outline when it is stale.
    // False when there is nothing to draw (no outline, nothing selected, or
    // the selection outside the viewport).
    bool Update(SelectionMask& mask, float zoom, float originX, float originY, float phase, const RectI& viewport);
    // Forgets what was drawn; the next Update redraws. Keeps the memory.
    void Invalidate();

    const RectI& Clip() const { return key_.clip; }
    const uint32_t* Pixels() const { return pixels_.data(); }
    size_t BitmapBytes() const { return pixels_.size() * sizeof(uint32_t); }
    // How many times the bitmap was drawn, for tests.
    int RedrawCount() const { return redraws_; }

private:
    bool valid_ = false;
    AntsCacheKey key_;
    std::vector<uint32_t> pixels_;
    int redraws_ = 0;
    // The merged runs and the bounds of the mask revision they were made of.
    const SelectionMask* runsMask_ = nullptr;
    uint64_t runsRevision_ = 0;
    bool runsValid_ = false, hasBounds_ = false;
    int boundsX_ = 0, boundsY_ = 0, boundsW_ = 0, boundsH_ = 0;
    std::vector<std::vector<OutlinePoint>> runs_;
};

// The tint of the unselected area (SelectionMask::RenderOverlay) at mask
// resolution, rendered once per mask change and only scaled by the view.
class SelectionTintCache {
public:
    // False when the mask selects nothing or has no area.
    bool Update(const SelectionMask& mask);
    void Invalidate() { valid_ = false; }

    int Width() const { return width_; }
    int Height() const { return height_; }
    const uint32_t* Pixels() const { return pixels_.data(); }
    int RenderCount() const { return renders_; }

private:
    bool valid_ = false, hasSelection_ = false;
    const SelectionMask* mask_ = nullptr;
    uint64_t revision_ = 0;
    int width_ = 0, height_ = 0;
    std::vector<uint32_t> pixels_;
    int renders_ = 0;
};
