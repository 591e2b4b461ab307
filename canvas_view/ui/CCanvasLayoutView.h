#pragma once
// The main canvas view: shows the main scene's canvas at a zoom, centred when
// smaller than the view and scrollable when larger, with its two themed
// scroll bars and the zoom readout. It paints from two cached canvas-sized
// surfaces, so zooming and scrolling only rescale the live surface.
#include "canvas_view/CanvasCompositeCache.h"
#include "canvas_view/CanvasPoseSession.h"
#include "canvas_view/CanvasViewGeometry.h"
#include "canvas_view/LightGizmo.h"
#include "canvas_view/SelectionAnts.h"
#include "canvas_view/TransformDrag.h"
#include "canvas_view/TransformHandles.h"
#include "document/PaintSessionProvider.h"
#include "platform/CompositeSurface.h"
#include "platform/qt/CThemedScrollCtrl.h"
#include "platform/qt/CView.h"
#include "platform/qt/CZoomReadoutWnd.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class BitmapPaintSession;
class CanvasDocument;
class CQuillfenEditorDoc;
class QKeyEvent;
class QPainter;
struct StencilViewGeometry;
enum StencilGizmoHit : uint8_t;

// Registers the eyedropper's "Picker" tab with the properties pane, before
// the frame is created (CPropTabEyedropper.h).
void RegisterEyedropperTab();

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
    // Client pixels per canvas unit: what drawing and input scale by.
    float Zoom() const { return geo_.zoom; }
    // The zoom the user reads in the readout: device pixels per canvas unit.
    float DisplayZoom() const { return geo_.DisplayZoom(); }
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

    // --- Input, dispatched by the document's tool at every message ---
    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnLButtonUp(unsigned flags, QPoint point) override;
    void OnLButtonDblClk(unsigned flags, QPoint point) override;
    void OnRButtonDown(unsigned flags, QPoint point) override;
    void OnRButtonUp(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;
    void OnMouseLeave() override;
    void OnCaptureLost() override;
    void OnTimer(int id) override;
    // True when the key was consumed.
    bool OnKeyDown(int key);
    bool OnKeyUp(int key);
    // Imports image files dropped at a client point; returns how many were imported.
    int DropFiles(const std::vector<std::string>& paths, QPoint point);

    // The view's paint session (the one the document's provider returns).
    // Its header clashes with the window kit's keywords: include
    // "brushes/BitmapPaintSession.h" before any Qt header to use it.
    BitmapPaintSession& PaintSession() { return *session_; }
    // The session while it is open, else null.
    DocumentEditSession* ActivePaintSession();
    bool StrokeActive() const { return strokeActive_; }
    bool DragArmed() const { return dragArmed_; }
    bool MarqueeActive() const { return marqueeArmed_ || marqueeDragging_; }
    int WarpHandle() const { return warpHandle_; }
    bool LightDragActive() const { return lightDragActive_; }
    uint32_t PickedColour() const { return pickedColour_; }
    const CanvasPoseSession& PoseSession() const { return pose_; }
    // Drops the Pose tool's session without writing its pose back and opens
    // it again where the tool applies: the posed object was rebuilt.
    void RestartPoseSession();
    // Client rectangle of an object's unrotated frame (widened to its warp).
    FrameRect GetObjectScreenRect(const CanvasObject& o) const;
    bool GetSelectionCanvasBounds(GroupBox& out) const;
    bool GetSelectionScreenBounds(FrameRect& out) const;
    TransformHandle HitTestSelectionHandles(QPoint p) const;
    // True when the selection shows as marching ants and selects anything.
    bool HasMarchingAnts() const;
    const MarchingAntsCache& AntsCache() const { return ants_; }
    float AntsPhase() const { return antsPhase_; }
    // Mean luminance 0..1 of the back buffer around a client point.
    float SampleCursorLuminance(int x, int y) const;
    const TransformHandleStyle& HandleStyle() const { return style_; }

    // Stacking commands on the primary selected object.
    void OnObjectRaise();
    void OnObjectLower();
    void OnObjectBringToTop();
    void OnObjectSendToBottom();
    bool CanRaise() const;
    bool CanLower() const;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    // Tab belongs to the Stencil Kitbash tool (it hides the stencil), not to focus moves.
    bool focusNextPrevChild(bool next) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

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
    // The scene as the view frames it, without tool overlays, the brush
    // circle or the statistics line: 0 when nothing could be drawn, 2 when
    // the cached path drew it, 1 the uncached one.
    int RenderPicture(CompositeSurface& target);
    void DrawCacheStats(CompositeSurface& target, const RectI& viewport);
    int ScaledBarThickness() const { return MulDiv(20, GetDpi(), 96); }
    int ScaledReadoutWidth() const { return MulDiv(70, GetDpi(), 96); }

    void ClientToCanvas(QPoint p, float& x, float& y) const;
    void SyncPaintSession(CQuillfenEditorDoc& doc);
    void StartAntsTimerIfNeeded();
    uint32_t PaintColourWord() const;
    // Move tool.
    void OnMoveToolDown(unsigned flags, QPoint p);
    void OnMoveToolMove(unsigned flags, QPoint p);
    void OnMoveToolUp();
    void ArmTransformDrag(int handle, QPoint p);
    void ApplyTransformDrag(QPoint p);
    void SelectObjectsInMarquee(bool additive);
    void EndDrag();
    void UpdateHover(QPoint p);
    void ClearHover();
    void UpdateCursor(QPoint p);
    // Skew and Distort.
    void OnWarpToolDown(QPoint p);
    void OnWarpToolDrag(int tool, QPoint p);
    void EndWarpDrag();
    // Canvas Pose tool.
    void SyncPoseSession();
    void OnPoseToolDown(QPoint p);
    void OnPoseToolDrag(QPoint p);
    void OnPoseToolUp();
    void UpdatePoseCursor(QPoint p);
    void DrawPoseSession(QPainter& g);
    // Light tool.
    void OnLightToolDown(unsigned flags, QPoint p);
    void OnLightToolDrag(unsigned flags, QPoint p);
    void OnLightToolUp();
    void DrawLightConeGizmo(QPainter& g, const LightGizmoGeometry& geo);
    // Paint and selection tools.
    void OnPaintToolDown(int tool, QPoint p);
    void OnPaintToolMove(QPoint p);
    void OnPaintToolUp();
    void OnSelectionToolDown(int tool, QPoint p);
    bool EnsureSessionOn(CQuillfenEditorDoc& doc, const std::string& id, bool created);
    // Samples the displayed composite under p; deliver hands it to the paint colour.
    void PickColourAt(QPoint p, bool deliver);
    QRect BrushCursorRect() const;
    // The brush size of the active tool's slot, in canvas pixels.
    float BrushSize() const;
    void HideBrushCursor();
    // Stencil Kitbash tool: the view's geometry for the overlay, Tab, the
    // gizmo part under a point (none while a drag or stroke runs), its
    // cursor (false when none applies), and a refused placement's message.
    StencilViewGeometry StencilGeometry() const;
    bool OnStencilKey(QKeyEvent* e, bool down);
    StencilGizmoHit StencilGizmoAt(QPoint p) const;
    bool SetStencilCursor(QPoint p);
    void ReportStencilPlacement();
    // Drawing.
    CanvasObjectPainter ScenePainter(CanvasDocument& scene);
    void DrawToolOverlays(QPainter& g);
    void DrawFrameFor(QPainter& g, const FrameRect& r, float angle, bool hasPivot, float px, float py,
                      bool simple, const TransformHandleStyle& s);
    void DrawDashedObjectOutline(QPainter& g, const FrameRect& r, float angle);
    void DrawMarquee(QPainter& g);
    void DrawSelectionTint(QPainter& g);
    void DrawSelectionOutline(QPainter& g);
    void DrawBrushCursor(QPainter& g);
    void DrawCloneSourceMarker(QPainter& g);

    CanvasViewGeometry geo_;
    TransformHandleStyle style_;
    std::unique_ptr<BitmapPaintSession> session_;
    // The session's painting could not be stored when a tool or selection
    // change ended it: it stays open, and updates do not try (and say so)
    // again until more is painted or a command asks for the painting.
    bool sessionCommitRefused_ = false;
    bool strokeActive_ = false;
    bool cursorShown_ = false;
    float cursorCanvasX_ = 0, cursorCanvasY_ = 0;
    QPoint cursorClient_{-1, -1};
    // Move tool.
    bool dragArmed_ = false, awaitingThreshold_ = false;
    bool marqueeDragging_ = false, marqueeArmed_ = false, additiveMarquee_ = false;
    int handle_ = 0;
    QPoint lastPoint_, pressPoint_, marqueeStart_, marqueeEnd_;
    float pressCanvasX_ = 0, pressCanvasY_ = 0;
    TransformSnapshot primarySnap_;
    GroupBox groupBox_;
    std::vector<TransformSnapshot> snaps_;
    float groupAngle_ = 0;
    std::string hoverId_;
    // Skew and Distort.
    int warpHandle_ = -1;
    std::string warpId_;
    Quad warpStart_;
    float warpStartX_ = 0, warpStartY_ = 0, warpPressX_ = 0, warpPressY_ = 0;
    // Canvas Pose tool.
    CanvasPoseSession pose_;
    bool inPoseSync_ = false;
    // Light tool.
    bool lightDragActive_ = false;
    std::string lightId_;
    int lightMode_ = 0;
    LightConeParams lightBefore_;
    LightGizmoGeometry lightGeometry_;
    LightGizmoStyle lightStyle_;
    // Eyedropper.
    bool picking_ = false;
    uint32_t pickedColour_ = 0;
    // Selection display.
    float antsPhase_ = 0;
    MarchingAntsCache ants_;
    SelectionTintCache tint_;
    bool inSync_ = false;
    CThemedScrollCtrl vbar_;
    CThemedScrollCtrl hbar_;
    CZoomReadoutWnd readout_;
    bool childrenCreated_ = false;
    CompositeSurface backBuffer_;
    CompositeSurface pickBuffer_;  // the bare picture an Alt-click reads
    CanvasCompositeCache caches_;
};
