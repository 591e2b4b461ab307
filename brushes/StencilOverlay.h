#pragma once
// The state of the Stencil Kitbash tool: which stencil of the active library
// is placed, its transform on the canvas (centre, uniform scale, clockwise
// rotation, two axis stretches), the preview opacity, the imprint settings of
// the stencil brush, and the placed image (the transformed stencil in canvas
// orientation, straight BGRA) with its low-pass copy that the imprint dab
// samples. The transform is edited with a gizmo fixed in the middle of the
// canvas view and by right-button drags.
//
// Transform: image pixel position L (W x H image) maps to the canvas point
// centre + R(rotation) ((L.x - W/2) sx, (L.y - H/2) sy), R clockwise on screen
// with y down, sx = scale x stretchX, sy = scale x stretchY.
//
// Window-free: the canvas view hands in its geometry and points, and captures
// the mouse, refreshes and draws (brushes/ui/StencilOverlayDrawing.h).
#include "brushes/HostDabs.h"
#include "platform/Bitmap.h"
#include "platform/Raster.h"
#include "platform/RectI.h"

#include <cstdint>
#include <optional>
#include <string>

class StencilLibraryStore;

enum StencilDragMode : uint8_t { kStencilDragNone = 0, kStencilDragMove, kStencilDragRotate, kStencilDragScale, kStencilDragStretch };

// The part of the gizmo under a point.
enum StencilGizmoHit : uint8_t {
    kGizmoNone = 0,
    kGizmoCornerTopLeft,
    kGizmoCornerTopRight,
    kGizmoCornerBottomRight,
    kGizmoCornerBottomLeft,
    kGizmoEdgeTop,
    kGizmoEdgeRight,
    kGizmoEdgeBottom,
    kGizmoEdgeLeft,
    kGizmoRotate,
    kGizmoMove,
};

// The gizmo's geometry in view client pixels.
namespace StencilGizmo {
// The frame square: the client rectangle inset by 80 on every side, its
// smaller side rounded down to even, centred; empty when below 64.
RectI FrameRect(const RectI& canvasClient);
StencilGizmoHit HitTest(const RectI& frame, PointF p);
// Centre of the frame in floating point (cx, cy of the handles).
PointF Center(const RectI& frame);
}  // namespace StencilGizmo

struct StencilTransform {
    float centerX = 0, centerY = 0;
    float scale = 1, rotation = 0;
    float stretchX = 1, stretchY = 1;
    bool operator==(const StencilTransform&) const = default;
};

// What the overlay needs of the canvas view at a press.
struct StencilViewGeometry {
    RectI canvasClient;   // client area less the scroll bars
    RectF canvasScreen;   // the canvas in client pixels (x, y = its origin)
    float zoom = 1;       // canvas pixels to client pixels
};

// Limits of the gizmo drags.
constexpr float kStencilMinScale = 0.05f, kStencilMaxScale = 50.0f;
constexpr float kStencilMinStretch = 0.05f, kStencilMaxStretch = 20.0f;
// The placed image reaches this far beyond the canvas (the largest dab radius).
constexpr int kStencilClipMargin = 256;
// A placed image above this many pixels is refused (with the detail copy it
// takes eight bytes a pixel).
constexpr int64_t kMaxPlacedStencilPixels = int64_t(1) << 27;

class StencilOverlay {
public:
    // The store the stencils come from (null: StencilLibraryStore::Instance()).
    explicit StencilOverlay(StencilLibraryStore* store = nullptr);

    // --- state (read by the tabs and the view) ---
    bool HasStencil() const { return activeIndex >= 0; }
    int32_t activeIndex = -1;
    std::string activePath;  // the active stencil's file, to find it again after a re-read
    StencilTransform transform;
    float overlayOpacity = 0.5f;
    // The imprint settings and the placed image: the stencil dab reads this
    // at every dab (blendMode, eraseMode, lockTransparency, detailTransfer,
    // detailRadius are the brush tab's; the rest is rebuilt here).
    StencilImprintInput imprint;

    uint8_t dragMode = kStencilDragNone;
    uint8_t dragHandle = kGizmoNone;
    PointF pressPoint, gizmoCenter, pivotCanvas, pivotLocal;
    StencilTransform dragStart;
    float dragZoom = 1;
    bool rightDrag = false;  // the drag began with the right button: its release ends it
    bool painting = false;   // a stencil-brush stroke is in progress: no gizmo
    bool hidden = false;     // Tab held: no preview (the imprint still works)
    bool dirty = true;      // the placed image must be rebuilt

    // Why the last rebuild placed nothing although a stencil is active
    // (empty otherwise): shown to the user by whoever asked for the change.
    std::string placeError;

    // --- operations ---
    // Makes an entry of the store's active library the stencil (any index
    // outside the entries clears it). An image that does not decode changes nothing.
    void SelectStencil(int index);
    // After the store re-read its library (files may have been added before
    // it): points activeIndex at the active stencil's file again, or clears
    // the stencil when the file is no longer listed, so the grid and the
    // placed stencil never disagree.
    void FindActiveAgain();
    // Scale, rotation and stretches back to 1, 0, 1, 1; with a canvas size the
    // centre goes to its middle. Rebuilds.
    void ResetTransform(std::optional<PointF> canvasSize);
    // The canvas the placed image is clipped to (plus kStencilClipMargin);
    // marks the placed image for a rebuild when it changes. Without one the
    // placed image is the whole transformed stencil, within the pixel cap.
    void SetCanvasSize(float width, float height);
    // Rebuilds the placed image when dirty.
    void Refresh();
    // Renders the placed image from the stencil and the transform, and drops
    // the low-pass copy (EnsureDetailCopy makes it again when it is needed).
    void Rebuild();
    // With detail transfer on: makes the low-pass copy of the placed image
    // when it is missing (a rebuild dropped it), so strokes never blur the
    // stencil per dab and modes that do not use it never pay for it. Called
    // when a stroke begins and when detail transfer is chosen. When memory
    // runs out the placed image is dropped as a failed rebuild drops it, with
    // `placeError` set.
    void EnsureDetailCopy();
    // The active stencil's image (decoded by the store, cached), or null.
    BitmapPtr SourceImage() const;

    // Gizmo and drags, in view client pixels. The view captures the mouse
    // when a press returns true, releases it when a release returns true,
    // and refreshes all views whenever a call returns true.
    StencilGizmoHit HitTestGizmo(const RectI& canvasClient, PointF p) const;
    bool OnButtonDown(const StencilViewGeometry& view, PointF p);
    // Right press: a move drag from anywhere when a placed image exists
    // (not while another drag or a stroke is in progress).
    bool OnRightButtonDown(const StencilViewGeometry& view, PointF p);
    bool OnMouseMove(PointF p);
    // Ends the drag, whichever button began it.
    bool OnButtonUp();
    // The release of one button: ends only a drag that button began.
    bool OnLeftButtonUp() { return !rightDrag && OnButtonUp(); }
    bool OnRightButtonUp() { return rightDrag && OnButtonUp(); }
    // A drag that lost the mouse capture ends as a release does.
    bool OnCaptureLost() { return OnButtonUp(); }
    // Moves the centre so the pivot stays at its canvas point.
    void KeepPivot();

    // The Tab key hides the preview while it is held; true when `hidden`
    // changed (the view then refreshes). Key repeats change nothing.
    bool OnTabKey(bool down);
    // Before drawing: a preview hidden by a Tab whose release the view never
    // saw (focus moved meanwhile) shows again. True when `hidden` changed.
    bool ShowIfTabReleased(bool tabDown);

    // The transform as an affine map from image pixels to canvas pixels.
    Affine ImageToCanvas(int imageWidth, int imageHeight) const;
    // Rebuilds and low-pass copies done so far (tests check that drags
    // rebuild once and that the copy is made only when needed).
    int rebuildCount = 0;
    int detailBuildCount = 0;

private:
    StencilLibraryStore& Store() const;
    void DropPlaced();

    StencilLibraryStore* store_;
    float canvasW_ = 0, canvasH_ = 0;
};

// Renders the stencil with a transform into a w x h straight BGRA bitmap
// whose pixel (0, 0) lies at canvas (originX, originY); bicubic, transparent
// outside the stencil. The drawing step of Rebuild. Enlargements go through
// a parallel bicubic warp on premultiplied colour; `reference` forces the
// general prefiltered draw that shrinking uses, which the warp is held to in tests.
BitmapPtr RenderPlacedStencil(const Bitmap& image, const StencilTransform& t, float originX, float originY, int width,
                              int height, bool reference = false);

// The application's overlay, reached by the stencil brush (null when none).
void SetCurrentStencilOverlay(StencilOverlay* overlay);
StencilOverlay* GetCurrentStencilOverlay();
