#pragma once
// The main canvas view: shows the main scene's canvas at a zoom, centred when
// smaller than the view and scrollable when larger, with its two themed
// scroll bars and the zoom readout. It paints from two cached canvas-sized
// surfaces, so zooming and scrolling only rescale the live surface.
#include "canvas_view/CanvasCompositeCache.h"
#include "canvas_view/CanvasViewGeometry.h"
#include "platform/CompositeSurface.h"
#include "platform/qt/CThemedScrollCtrl.h"
#include "platform/qt/CView.h"
#include "platform/qt/CZoomReadoutWnd.h"

class CanvasDocument;

class CCanvasLayoutView : public CView {
    Q_OBJECT
public:
    explicit CCanvasLayoutView(QWidget* parent = nullptr);
    ~CCanvasLayoutView() override;

    void OnInitialUpdate() override;
    void OnUpdate(CView* sender, int hint) override;
    void RegisterCommands(CommandTable& table) override;
    int WorkspaceMode() const override { return 0; }

    // Geometry (the viewport, the canvas on screen, zoom and scroll).
    RectI GetCanvasClientRect() const;
    RectF GetCanvasScreenRect() const;
    void SetZoomAt(float zoom, QPoint clientPoint);
    void ZoomToFit();
    void UpdateScrollBars();
    void LayoutChildWindows();
    void UpdatePlacementBounds();
    void OnZoomPresetPicked(int percent);
    void OnViewZoomIn();
    void OnViewZoomOut();
    void OnViewZoomActual();
    void OnViewZoomFit();
    float Zoom() const { return geo_.zoom; }
    const CanvasViewGeometry& Geometry() const { return geo_; }

    void OnHScroll(int code, int position, CWndBase* bar) override;
    void OnVScroll(int code, int position, CWndBase* bar) override;
    bool OnMouseWheel(unsigned flags, int delta, QPoint point) override;

    // Painting, exposed for tests: renders the client area into the back
    // buffer as a paint would.
    void RenderToBackBuffer();
    const CompositeSurface& BackBuffer() const { return backBuffer_; }
    const CanvasCompositeCache& Caches() const { return caches_; }
    CThemedScrollCtrl& VerticalBar() { return vbar_; }
    CThemedScrollCtrl& HorizontalBar() { return hbar_; }
    CZoomReadoutWnd& Readout() { return readout_; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    CanvasDocument* MainScene() const;
    uint64_t ChangeCounter() const;
    void SyncGeometry();
    void SyncReadout();
    void RefreshStatusBar();
    // Bars, repaint, status bar and readout after the zoom changed.
    void ShowZoomChange();
    // Zooms about the centre of the viewport.
    void ZoomAtViewportCentre(float zoom);
    bool PaintCachedCanvas(CompositeSurface& target, const RectI& client);
    void PaintUncached(CompositeSurface& target);
    void DrawCacheStats(CompositeSurface& target, const RectI& viewport);
    int ScaledBarThickness() const { return MulDiv(20, GetDpi(), 96); }
    int ScaledReadoutWidth() const { return MulDiv(70, GetDpi(), 96); }

    CanvasViewGeometry geo_;
    CThemedScrollCtrl vbar_;
    CThemedScrollCtrl hbar_;
    CZoomReadoutWnd readout_;
    bool childrenCreated_ = false;
    CompositeSurface backBuffer_;
    CanvasCompositeCache caches_;
};
