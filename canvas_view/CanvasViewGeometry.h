#pragma once
// Where the canvas lies in the canvas view: zoom and scroll state, the
// viewport (client area minus the scroll bars), the canvas origin, the mapping
// between canvas units and client pixels, zooming about a point, fitting, the
// scroll ranges and the placement bounds handed to the scene. The view calls
// these; they need no window.
//
// Client coordinates are the window's own (96-dpi) pixels. On a screen with a
// device pixel ratio the zoom the user sees counts device pixels, as a
// DPI-aware program's does: 100 % shows one image pixel per physical pixel.
#include "platform/Raster.h"
#include "platform/RectI.h"

struct ScrollBarSetting {
    int minimum = 0, maximum = 0, page = 1, position = 0;
};

struct CanvasViewGeometry {
    static constexpr float kMinZoom = 0.1f;
    static constexpr float kMaxZoom = 8.0f;
    static constexpr int kMargin = 24;  // on each side, not scaled

    float zoom = 1.0f;     // client pixels per canvas unit
    float ratio = 1.0f;    // device pixels per client pixel
    int scrollX = 0, scrollY = 0;
    float canvasW = 1024, canvasH = 1024;  // 1024 x 1024 without a document
    RectI client;
    int barThickness = 20;  // scaled to the screen

    // The zoom the user sets and reads: device pixels per canvas unit. Its
    // limits (0.1 .. 8.0) apply to this value.
    float DisplayZoom() const { return zoom * ratio; }

    RectI Viewport() const;
    float OriginX() const;
    float OriginY() const;
    RectF CanvasScreenRect() const;
    void CanvasToClient(float x, float y, float& px, float& py) const;
    void ClientToCanvas(float px, float py, float& x, float& y) const;
    // ceil(zoom * W + 48) and ceil(zoom * H + 48).
    int RangeX() const;
    int RangeY() const;

    // Zooms to display zoom z (clamped to 0.1 .. 8.0) keeping the canvas point under the
    // client point (px, py) in place; false when the zoom moved less than
    // 0.00001 and nothing changed. The offsets are not clamped here.
    bool SetZoomAt(float z, int px, int py);
    // The largest zoom that shows the whole canvas (display zoom within
    // 0.1 .. 8.0), offsets 0.
    void ZoomToFit();
    // Limits both offsets to 0 .. range - viewport.
    void ClampScroll();
    // The bar settings; position is the clamped offset.
    ScrollBarSetting HorizontalBar() const;
    ScrollBarSetting VerticalBar() const;
    // Integer centre of the viewport: ((right - left) / 2, (bottom - top) / 2).
    void ViewportCentre(int& x, int& y) const;

    // The picture's placement in a buffer of device pixels: the canvas origin
    // and the device pixels per canvas unit.
    float DeviceOriginX() const { return OriginX() * ratio; }
    float DeviceOriginY() const { return OriginY() * ratio; }
    float DeviceZoom() const { return DisplayZoom(); }
};

// The new scroll offset for a scroll code: lines of 32 pixels, pages of the
// bar's page but at least 32, thumb codes take the thumb position; limited to
// 0 .. maximum - (page - 1).
int ComputeScrollPosition(int code, int thumbPosition, int current, int page, int barMaximum);

struct PlacementBounds {
    bool valid = false;
    float x = 0, y = 0, width = 0, height = 0;
};
// The rectangle objects are kept inside while placing them: the viewport
// divided by 0.12, centred on the canvas; invalid for an empty viewport.
PlacementBounds ComputePlacementBounds(const RectI& viewport, float canvasW, float canvasH);

struct CanvasChildLayout {
    PlaceI verticalBar, horizontalBar, zoomReadout;
};
// The two bars and the zoom readout over the client rectangle; s is the bar
// thickness and w the readout width, both scaled.
CanvasChildLayout LayoutCanvasChildren(const RectI& client, int s, int w);

// Canvas size in whole pixels: each side rounded half away from zero, at least 1.
int CanvasPixelSize(float side);
