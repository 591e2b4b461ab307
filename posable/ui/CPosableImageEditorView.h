#pragma once
// The view hosted while an object is open in the Pose Editor (workspace mode
// 1): the parts of the object being rigged on the scene's background, their
// bones, bone regions and joint links, the frame of the selected parts and
// the "Preview" and "Finish" buttons. It has its own zoom and scroll, the
// mouse tools of the Pose Editor (parts, Add Bone, Select/Move Joint, Link
// Joints) and a paint session for painting on a part.
#include "canvas_view/SelectionAnts.h"
#include "platform/Bitmap.h"
#include "platform/CompositeSurface.h"
#include "platform/Raster.h"
#include "platform/RectI.h"
#include "platform/qt/CThemedScrollCtrl.h"
#include "platform/qt/CView.h"
#include "platform/qt/CZoomReadoutWnd.h"
#include "posable/BoneShape.h"
#include "posable/PoseEditorTools.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

class BitmapPaintSession;
class QDragEnterEvent;
class QDropEvent;
class QPainter;

// One cached bone-region raster: the view-space parameters it was made for,
// the box it covers (in raster pixels, cut to the viewport), its scale, and
// where it lies relative to the head.
struct BoneOverlayCacheEntry {
    std::string partId, boneId;
    bool jointTool = false;
    float key[16] = {};
    int clip[5] = {};
    float offsetX = 0, offsetY = 0;
    int scale = 1;
    ByteMaskRect mask;  // the region's coverage, drawn as a tint
    bool drawnThisFrame = false;
};

class CPosableImageEditorView : public CView {
    Q_OBJECT
public:
    explicit CPosableImageEditorView(QWidget* parent = nullptr);
    ~CPosableImageEditorView() override;

    int WorkspaceMode() const override { return 1; }
    void OnInitialUpdate() override;
    void OnUpdate(CView* sender, int hint) override;

    // Renders the client area into the back buffer as a paint would.
    void RenderToBackBuffer();
    const CompositeSurface& BackBuffer() const { return backBuffer_; }

    // Navigation.
    RectF Viewport() const;
    void SetZoomAt(float zoom, PointF viewPoint);
    void ZoomToFitContent();
    void UpdateScrollBars();
    void LayoutChildWindows();
    void UpdatePlacementBounds();
    void OnZoomPresetPicked(int percent);
    const PoseViewState& View() const { return tools_.view; }
    PoseEditorTools& Tools() { return tools_; }
    BitmapPaintSession& PaintSession() { return *session_; }
    size_t OverlayCacheSize() const { return overlayCache_.size(); }
    int OverlayRasterCount() const { return overlayRasters_; }
    // Off: the frame's part and region-tint draws are made one after another
    // instead of queued on one batch (the plain way, kept to check the batch
    // against).
    void SetOverlayBatching(bool on) { overlayBatching_ = on; }

    // Where the bone menu asked for from the keyboard opens, in view pixels:
    // the selected end's cap-length handle, else the centre of the view.
    QPoint KeyboardBoneMenuPoint() const;

    bool HitTestFinishButton(PointF p) const;
    bool HitTestPreviewButton(PointF p) const;
    void ResetInteraction();

    // Mouse input (also used by tests and tools without a window system).
    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnLButtonUp(unsigned flags, QPoint point) override;
    void OnLButtonDblClk(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;
    bool OnMouseWheel(unsigned flags, int delta, QPoint point) override;
    void OnCaptureLost() override;
    void OnHScroll(int code, int position, CWndBase* bar) override;
    void OnVScroll(int code, int position, CWndBase* bar) override;
    // The Delete key: the selected pixels of the part when any are selected,
    // else the selected bone (tool 4) or the hovered link end (tool 5).
    void OnDeleteKey();
    // Imports dropped image files centred on the view point; returns how many.
    int DropFiles(const std::vector<std::string>& paths, QPoint point);

    // The marching ants of the pixel selection while painting.
    static constexpr int kAntsTimer = 0x7001;
    bool HasMarchingAnts() const;
    void OnTimer(int id) override;
    float AntsPhase() const { return antsPhase_; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void SyncView();
    // The view point of a mouse event's position, unrounded on a dense screen.
    PointF ViewPoint(QPoint point) const;
    void ShowZoomChange();
    void DrawScene(QPainter& p);
    // The frame's pixels: the parts and the primary part's region tints are
    // queued (or, without batching, drawn at once) on the viewport's part of
    // the back buffer between BeginFrameDraws and RunFrameDraws.
    void BeginFrameDraws();
    void QueuePart(CanvasObject& part);
    void QueueBitmap(BitmapPtr src, const RectF& dest, ImageDrawOptions opt, const Affine& world);
    // Draws in the back buffer's device pixels.
    void QueueTints(const std::vector<TintMaskDraw>& draws);
    void QueueBoneRegions(const CanvasObject& part, bool addPreview);
    void RunFrameDraws();
    // The bone being added, from the Add Bone drag.
    Bone PreviewBone() const;
    void DrawBones(QPainter& p, CanvasObject& part, bool partSelected, bool addPreview);
    void DrawSelectedBoneHandles(QPainter& p, const CanvasObject& part, const Bone& bone);
    // The bone region's mask (made when the cache lacks it) as a draw into
    // the back buffer; false when there is nothing to draw.
    bool BoneRegionDraw(const CanvasObject& part, const Bone& bone, bool selectedTint, TintMaskDraw& out);
    // Makes the masks of the bones' regions the cache lacks, several at once.
    void PrepareBoneRegions(const CanvasObject& part, const std::vector<const Bone*>& bones);
    void StoreOverlay(const std::string& partId, const std::string& boneId, const BoneShape::OverlayPlan& plan,
                      const float key[16], const int clip[5], bool jointTool, ByteMaskRect&& mask);
    void DrawJointLinks(QPainter& p);
    void DrawOverlayButton(QPainter& p, const RectF& r, const char* text, bool hovered, uint32_t fill,
                           uint32_t hoverFill);
    RectF FinishButtonRect() const;
    RectF PreviewButtonRect() const;
    // The colour wheel's colour as the brush engine's colour word.
    uint32_t PaintColourWord() const;
    bool BrushTool(int tool) const;
    bool SelectionTool(int tool) const;
    // False when the painting could not be stored and its session stays open.
    bool CommitSession();
    void StartAntsTimerIfNeeded();
    void AltChanged();
    bool SelectionPress(int tool, PointF viewPoint);
    void DrawSelectionTint(QPainter& p);
    void DrawSelectionOverlay(QPainter& p);
    void DrawCloneSourceMarker(QPainter& p);
    void DrawBrushCursor(QPainter& p);
    // The pointer's shape for the tool and what lies under it.
    void UpdateCursor(PointF viewPoint);
    void EndPick();
    void ShowBoneMenu(QPoint globalPos, PointF viewPoint, bool fromKeyboard);

    PoseEditorTools tools_;
    // Held by pointer: its headers cannot be read under the moc keywords.
    std::unique_ptr<BitmapPaintSession> session_;
    bool strokeActive_ = false;
    // The last commit of the open session was refused (and said): updates do
    // not try again until the user paints more or the session ends.
    bool sessionCommitRefused_ = false;
    CThemedScrollCtrl vbar_;
    CThemedScrollCtrl hbar_;
    CZoomReadoutWnd readout_;
    bool childrenCreated_ = false;
    bool finishHover_ = false, previewHover_ = false;
    CompositeSurface backBuffer_;
    std::vector<BoneOverlayCacheEntry> overlayCache_;
    int overlayRasters_ = 0;  // rasters made (for tests of the cache)
    bool overlayBatching_ = true;
    // Kept from frame to frame, so its storage is reused.
    RasterBatch frameBatch_;
    RasterTarget frameTarget_;
    PointF frameOrigin_;  // the frame target's top-left, in view pixels
    std::vector<BitmapPtr> frameSources_;
    std::deque<Affine> frameWorlds_;
    float antsPhase_ = 0;
    MarchingAntsCache ants_;
    SelectionTintCache tint_;
    // The brush cursor: shown from the first brush move on; its scene point
    // is also the rubber band's end of an open lasso.
    bool brushCursorShown_ = false;
    PointF brushCursorView_{-1, -1};
    PointF brushCursorScene_{0, 0};
    // An eyedropper pick this view started and has not ended.
    bool picking_ = false;
};
