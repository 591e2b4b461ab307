// The paint session's headers come before any Qt header (keyword clash).
#include "brushes/BitmapPaintSession.h"
// The canvas view's input: the switchboard that hands every press, move,
// release and key to the active tool, the Move tool's selection and
// transform drags, Skew and Distort, the paint and selection tools, the
// stacking commands and dropped files.
#include "canvas_view/DropImport.h"
#include "canvas_view/ui/DroppedPaths.h"
#include "canvas_view/SelectionPress.h"
#include "canvas_view/StackingLookup.h"
#include "canvas_view/ToolDispatch.h"
#include "canvas_view/WarpDrag.h"
#include "brushes/StencilOverlay.h"
#include "canvas_view/ui/CCanvasLayoutView.h"
#include "canvas_view/ui/CanvasViewCursors.h"
#include "canvas_view/ui/EyedropperPick.h"

#include "canvas_view/BrushToolQueries.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentHost.h"
#include "platform/Profile.h"
#include "posable/PosedPreview.h"
#include "platform/Prompts.h"
#include "scene/SelectionMask.h"
#include "selection/SelectionToolController.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kAntsTimer = 37633;
constexpr float kPi = 3.1415927f;

int RoundHalfAway(float v) { return int(v < 0 ? -std::floor(-v + 0.5f) : std::floor(v + 0.5f)); }

bool HighlightUnderMouse(CQuillfenEditorDoc& doc) {
    DocumentHost* host = doc.Host();
    Profile* profile = host ? host->GetProfile() : nullptr;
    return !profile || profile->GetAppDword("Settings", "HighlightObjectUnderMouse", 1) != 0;
}

bool MaskSelectsAnything(const CanvasDocument& scene) {
    return scene.selectionMask && scene.selectionMask->HasSelection();
}
}  // namespace

void CCanvasLayoutView::ClientToCanvas(QPoint p, float& x, float& y) const {
    if (!(geo_.zoom > 0)) {
        x = y = 0;
        return;
    }
    const_cast<CCanvasLayoutView*>(this)->SyncGeometry();
    // On a dense screen the pointer resolves device pixels between client ones.
    const QPointF q = geo_.ratio == 1.0f ? QPointF(p) : PrecisePoint(p);
    geo_.ClientToCanvas(float(q.x()), float(q.y()), x, y);
}

uint32_t CCanvasLayoutView::PaintColourWord() const {
    uint32_t argb = 0xFF1E74AA;
    CQuillfenEditorDoc* doc = GetDocument();
    if (DocumentHost* host = doc ? doc->Host() : nullptr) {
        uint32_t c = 0;
        if (host->GetPaintColour(c)) argb = 0xFF000000u | c;
    }
    // The engine's word: R in the lowest byte, then G, B, A.
    const uint32_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    return r | (g << 8) | (b << 16) | 0xFF000000u;
}

void CCanvasLayoutView::StartAntsTimerIfNeeded() {
    if (!HasTimer(kAntsTimer) && HasMarchingAnts()) SetTimer(kAntsTimer, 300);
}

bool CCanvasLayoutView::HasMarchingAnts() const {
    CanvasDocument* scene = MainScene();
    if (!scene || !session_->IsActive() || !MaskSelectsAnything(*scene)) return false;
    CQuillfenEditorDoc* doc = GetDocument();
    DocumentHost* host = doc ? doc->Host() : nullptr;
    Profile* profile = host ? host->GetProfile() : nullptr;
    return !profile || profile->GetAppDword("Settings", "SelectionOverlay", 0) == 0;
}

void CCanvasLayoutView::OnTimer(int id) {
    if (id != kAntsTimer) return CView::OnTimer(id);
    // The ants stand still while a stroke paints.
    if (strokeActive_) return;
    if (!HasMarchingAnts()) {
        KillTimer(kAntsTimer);
        return;
    }
    antsPhase_ += 1.0f;
    if (antsPhase_ > 1024.0f) antsPhase_ = 0.0f;
    update();
}

// --- Document updates: keep the paint session in step with tool and selection ---

bool CCanvasLayoutView::EnsureSessionOn(CQuillfenEditorDoc& doc, const std::string& id, bool created) {
    if (session_->IsActive() && session_->PaintedObjectId() != id) session_->Commit(doc);
    // A painting that could not be stored keeps its session: nothing of this
    // press goes into another object's session.
    if (session_->IsActive()) return session_->PaintedObjectId() == id;
    return session_->Begin(doc, id, created);
}

void CCanvasLayoutView::SyncPaintSession(CQuillfenEditorDoc& doc) {
    CanvasDocument& scene = doc.mainScene;
    const int tool = doc.activeTool;
    if (!session_->IsActive()) sessionCommitRefused_ = false;
    const auto commit = [&] {
        if (sessionCommitRefused_) return;
        session_->Commit(doc);
        sessionCommitRefused_ = session_->IsActive();
    };
    if (session_->IsActive()) {
        if (tool < 9) {
            commit();
        } else if (scene.primarySelectedId != session_->PaintedObjectId()) {
            commit();
        } else {
            const CanvasObject* o = scene.FindObject(session_->PaintedObjectId());
            if (!o || o->kind != kObjectBitmap) {
                session_->Cancel(doc);
            } else {
                const bool maskEdit = !scene.selectedMaskObjectId.empty() &&
                                      scene.selectedMaskObjectId == session_->PaintedObjectId();
                if (maskEdit != session_->maskMode()) commit();
                else session_->SetTool(tool);
            }
        }
    }
    // A command that needed the painting in the model is still running: the
    // session reopens when it has finished.
    if (doc.PaintSessionsHeld()) return;
    if (session_->IsActive() || doc.workspaceMode != 0 || !(IsBrushTool(tool) || IsSelectionTool(tool))) return;
    // Only a selected bitmap opens a session here. An object to paint on is
    // made by the first press of a brush (OnPaintToolDown), so choosing a
    // brush alone neither changes the document nor replaces the selection
    // that a command is meant for.
    const std::string id = scene.primarySelectedId;
    const CanvasObject* o = id.empty() ? nullptr : scene.FindObject(id);
    if (!o || o->kind != kObjectBitmap) return;
    if (!session_->Begin(doc, id, false)) return;
    session_->SetTool(tool);
    StartAntsTimerIfNeeded();
    PendingInpaintResult& fill = doc.pendingInpaint;
    if (!fill.pixels.empty()) {
        if (fill.objectId == session_->PaintedObjectId() && fill.pixels.type() == CV_8UC4)
            session_->WritePixels(fill.x, fill.y, fill.pixels.cols, fill.pixels.rows, fill.pixels.data,
                                 int32_t(fill.pixels.step));
        fill.pixels.release();
    }
    fill.objectId.clear();
    doc.RefreshAllViews();
}

// --- The switchboard ---

void CCanvasLayoutView::OnLButtonDown(unsigned flags, QPoint p) {
    setFocus(Qt::MouseFocusReason);
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    const int tool = doc->activeTool;
    switch (RouteForTool(tool)) {
    case CanvasInputRoute::None: break;
    case CanvasInputRoute::Eyedropper: {
        SetCapture();
        picking_ = true;
        // Where the screen cannot be read, the loupe samples what this view shows.
        const LoupeSnapshotFallback displayed =
            BackBufferSnapshot(this, pickBuffer_, [this] { RenderPicture(pickBuffer_); });
        EyedropperPick::Instance().Begin(mapToGlobal(p), doc->Host(), this, displayed);
        pickedColour_ = EyedropperPick::Instance().PickedColour();
        break;
    }
    case CanvasInputRoute::Stencil:
        // A press on the gizmo moves, turns or scales the stencil; elsewhere the stencil brush paints.
        if (StencilOverlay* overlay = GetCurrentStencilOverlay()) {
            if (overlay->dragMode != 0) break;  // a right-button drag runs
            if (overlay->OnButtonDown(StencilViewGeometry{GetCanvasClientRect(), GetCanvasScreenRect(), geo_.zoom},
                                      PointF{float(p.x()), float(p.y())})) {
                SetCapture();
                doc->RefreshAllViews();
                break;
            }
            overlay->painting = true;
            overlay->Refresh();  // the stroke imprints the current placement
            overlay->EnsureDetailCopy();
        }
        OnPaintToolDown(tool, p);
        break;
    case CanvasInputRoute::Paint: OnPaintToolDown(tool, p); break;
    case CanvasInputRoute::Selection: OnSelectionToolDown(tool, p); break;
    case CanvasInputRoute::Warp: OnWarpToolDown(p); break;
    case CanvasInputRoute::Light: OnLightToolDown(flags, p); break;
    case CanvasInputRoute::Pose: OnPoseToolDown(p); break;
    case CanvasInputRoute::Move: OnMoveToolDown(flags, p); break;
    }
}

void CCanvasLayoutView::OnLButtonUp(unsigned, QPoint p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    const int tool = doc->activeTool;
    if (picking_) {
        if (HasCapture()) ReleaseCapture();
        picking_ = false;
        EyedropperPick::Instance().End(doc->Host(), this);
        UpdateCursor(p);  // the pointer shows again where it was released
    }
    switch (RouteForTool(tool)) {
    case CanvasInputRoute::None:
    case CanvasInputRoute::Eyedropper: break;
    case CanvasInputRoute::Stencil:
        if (StencilOverlay* overlay = GetCurrentStencilOverlay()) {
            overlay->painting = false;
            if (overlay->dragMode != 0) {
                if (!overlay->OnLeftButtonUp()) break;  // a right-button drag ends with its own button
                if (HasCapture()) ReleaseCapture();
                doc->RefreshAllViews();
                ReportStencilPlacement();
                break;
            }
        }
        OnPaintToolUp();
        break;
    case CanvasInputRoute::Paint: OnPaintToolUp(); break;
    case CanvasInputRoute::Selection: {
        if (HasCapture()) ReleaseCapture();
        CanvasDocument& scene = doc->mainScene;
        if (!scene.selectionMask) break;
        scene.EnsureSelectionMask();
        float x, y;
        ClientToCanvas(p, x, y);
        if (doc->SelectionTool(scene).dragging)
            doc->SelectionTool(scene).EndDrag(RoundHalfAway(x), RoundHalfAway(y));
        StartAntsTimerIfNeeded();
        doc->RefreshAllViews();
        break;
    }
    case CanvasInputRoute::Warp: EndWarpDrag(); break;
    case CanvasInputRoute::Light:
        if (lightDragActive_) OnLightToolUp();
        else OnMoveToolUp();
        break;
    case CanvasInputRoute::Pose: OnPoseToolUp(); break;
    case CanvasInputRoute::Move: OnMoveToolUp(); break;
    }
    if (lightDragActive_) OnLightToolUp();
    if (pose_.dragActive) OnPoseToolUp();
    // A drag begun under another tool ends with the button, whatever the tool now.
    if (dragArmed_ || marqueeArmed_ || marqueeDragging_) OnMoveToolUp();
    if (strokeActive_) OnPaintToolUp();
    if (warpHandle_ >= 0) EndWarpDrag();
}

void CCanvasLayoutView::OnMouseMove(unsigned flags, QPoint p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    const int tool = doc->activeTool;
    switch (RouteForTool(tool)) {
    case CanvasInputRoute::None: break;
    case CanvasInputRoute::Eyedropper:
        if (picking_ && EyedropperPick::IsActive()) {
            EyedropperPick::Instance().MoveTo(mapToGlobal(p));
            pickedColour_ = EyedropperPick::Instance().PickedColour();
        }
        break;
    case CanvasInputRoute::Stencil:
        if (StencilOverlay* overlay = GetCurrentStencilOverlay(); overlay && overlay->dragMode != 0) {
            if (overlay->OnMouseMove(PointF{float(p.x()), float(p.y())})) doc->RefreshAllViews();
            break;
        }
        if (StencilGizmoAt(p) != 0) {  // no brush circle over the gizmo
            HideBrushCursor();
            break;
        }
        OnPaintToolMove(p);
        break;
    case CanvasInputRoute::Paint: OnPaintToolMove(p); break;
    case CanvasInputRoute::Selection: {
        CanvasDocument& scene = doc->mainScene;
        if (!scene.selectionMask) break;
        scene.EnsureSelectionMask();
        SelectionToolController& c = doc->SelectionTool(scene);
        float x, y;
        ClientToCanvas(p, x, y);
        if (c.dragging) {
            c.DragTo(RoundHalfAway(x), RoundHalfAway(y));
            doc->RefreshAllViews();
        } else if (c.polygonOpen) {
            cursorClient_ = p;
            cursorCanvasX_ = x;
            cursorCanvasY_ = y;
            doc->RefreshAllViews();
        }
        break;
    }
    case CanvasInputRoute::Warp: OnWarpToolDrag(tool, p); break;
    case CanvasInputRoute::Light: OnLightToolDrag(flags, p); break;
    case CanvasInputRoute::Pose: OnPoseToolDrag(p); break;
    case CanvasInputRoute::Move: OnMoveToolMove(flags, p); break;
    }
    UpdateCursor(p);
}

void CCanvasLayoutView::OnMouseLeave() {
    if (cursorShown_) {
        const QRect r = BrushCursorRect();
        cursorShown_ = false;
        if (!r.isEmpty()) update(r);
    }
    ClearHover();
}

// A drag that loses the mouse ends as a release does, so nothing stays
// half-done (the live-resize flag in particular).
void CCanvasLayoutView::OnCaptureLost() {
    if (picking_) {
        picking_ = false;
        CQuillfenEditorDoc* doc = GetDocument();
        EyedropperPick::Instance().End(doc ? doc->Host() : nullptr, this);
    }
    // A stencil gizmo drag that loses the mouse ends as a release does.
    if (StencilOverlay* overlay = GetCurrentStencilOverlay(); overlay && overlay->dragMode != 0) {
        overlay->OnCaptureLost();
        if (CQuillfenEditorDoc* doc = GetDocument()) doc->RefreshAllViews();
    }
    if (pose_.dragActive) OnPoseToolUp();
    if (lightDragActive_) OnLightToolUp();
    if (dragArmed_ || marqueeArmed_ || marqueeDragging_) OnMoveToolUp();
    if (strokeActive_) OnPaintToolUp();
    if (warpHandle_ >= 0) EndWarpDrag();
    if (CQuillfenEditorDoc* doc = GetDocument()) {
        CanvasDocument& scene = doc->mainScene;
        if (doc->SelectionTool(scene).dragging) {
            doc->SelectionTool(scene).EndDrag(doc->SelectionTool(scene).dragCurrentX,
                                               doc->SelectionTool(scene).dragCurrentY);
            doc->RefreshAllViews();
        }
    }
}

void CCanvasLayoutView::OnLButtonDblClk(unsigned, QPoint) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    CanvasDocument& scene = doc->mainScene;
    const int tool = doc->activeTool;
    if (tool == 21 || tool == 24) {
        if (scene.selectionMask) {
            scene.EnsureSelectionMask();
            if (doc->SelectionTool(scene).polygonOpen) {
                doc->SelectionTool(scene).FinishPolygon();
                doc->RefreshAllViews();
                return;
            }
        }
    }
    const CanvasObject* o = scene.primarySelectedId.empty() ? nullptr : scene.FindObject(scene.primarySelectedId);
    if (!o || !o->visible) return;
    if (tool == 0 && o->kind == kObjectPosable) doc->SetActiveTool(2);
    else if (tool == 0 && o->kind == kObjectLightCone) doc->SetActiveTool(8);
    else if (tool == 2 || tool == 8) doc->SetActiveTool(0);
}

bool CCanvasLayoutView::OnKeyDown(int key) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return false;
    CanvasDocument& scene = doc->mainScene;
    const bool painting = session_->IsActive();
    switch (key) {
    case Qt::Key_Backspace:
        if (painting && MaskSelectsAnything(scene)) {
            session_->EraseSelection(*doc);
            doc->RefreshAllViews();
            return true;
        }
        return false;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (painting && scene.selectionMask) {
            scene.EnsureSelectionMask();
            if (doc->SelectionTool(scene).polygonOpen) {
                doc->SelectionTool(scene).FinishPolygon();
                doc->RefreshAllViews();
                return true;
            }
        }
        return false;
    case Qt::Key_Escape: {
        // Escape ends only what is in progress; what is painted stays in the
        // session, undoable stroke by stroke.
        if (StencilOverlay* overlay = GetCurrentStencilOverlay(); overlay && overlay->dragMode != 0) {
            overlay->OnCaptureLost();
            if (HasCapture()) ReleaseCapture();
            doc->RefreshAllViews();
            return true;
        }
        if (strokeActive_) {
            if (StencilOverlay* overlay = GetCurrentStencilOverlay()) overlay->painting = false;
            OnPaintToolUp();
            return true;
        }
        if (lightDragActive_) {
            OnLightToolUp();
            return true;
        }
        if (pose_.dragActive) {
            OnPoseToolUp();
            return true;
        }
        if (warpHandle_ >= 0) {
            EndWarpDrag();
            return true;
        }
        if (dragArmed_ || MarqueeActive()) {
            OnMoveToolUp();
            return true;
        }
        if (painting && scene.selectionMask) {
            scene.EnsureSelectionMask();
            SelectionToolController& c = doc->SelectionTool(scene);
            if (c.dragging || c.polygonOpen) {
                c.Cancel();
                if (HasCapture()) ReleaseCapture();
                doc->RefreshAllViews();
                return true;
            }
        }
        if (painting && session_->HoldsOnlyAnEmptyCreatedObject()) {
            // An object made only to be painted on, with nothing on it, goes away.
            session_->Cancel(*doc);
            doc->UpdateAllViews();
            return true;
        }
        return false;
    }
    case Qt::Key_Delete:
        doc->DeleteSelected();
        return true;
    default:
        return false;
    }
}

bool CCanvasLayoutView::OnKeyUp(int key) {
    (void)key;
    return false;
}

void CCanvasLayoutView::keyPressEvent(QKeyEvent* e) {
    if (OnStencilKey(e, true)) return;
    if (e->key() == Qt::Key_Alt && cursorShown_) update(BrushCursorRect());
    // Alt turns some brushes into the eyedropper and back.
    if (e->key() == Qt::Key_Alt) UpdateCursor(mapFromGlobal(QCursor::pos()));
    if (!OnKeyDown(e->key())) {
        CView::keyPressEvent(e);
    } else {
        e->accept();
    }
}

void CCanvasLayoutView::keyReleaseEvent(QKeyEvent* e) {
    if (OnStencilKey(e, false)) return;
    if (e->key() == Qt::Key_Alt && cursorShown_) update(BrushCursorRect());
    if (e->key() == Qt::Key_Alt) UpdateCursor(mapFromGlobal(QCursor::pos()));
    if (!OnKeyUp(e->key())) CView::keyReleaseEvent(e);
}

// --- Move tool ---

FrameRect CCanvasLayoutView::GetObjectScreenRect(const CanvasObject& o) const {
    const float w = std::max(o.width, 1.0f), h = std::max(o.height, 1.0f);
    float x0 = 0, y0 = 0, x1 = w, y1 = h;
    if (!o.warp.IsIdentity()) {
        const Quad& q = o.warp;
        const float xs[4] = {q.x0, q.x1, q.x2, q.x3}, ys[4] = {q.y0, q.y1, q.y2, q.y3};
        x0 = y0 = 1e30f;
        x1 = y1 = -1e30f;
        for (int i = 0; i < 4; ++i) {
            x0 = std::min(x0, w * xs[i]), x1 = std::max(x1, w * xs[i]);
            y0 = std::min(y0, h * ys[i]), y1 = std::max(y1, h * ys[i]);
        }
    }
    const float z = geo_.zoom, ox = geo_.OriginX(), oy = geo_.OriginY();
    return {(o.x + x0) * z + ox, (o.y + y0) * z + oy, std::max((x1 - x0) * z, 1.0f), std::max((y1 - y0) * z, 1.0f)};
}

bool CCanvasLayoutView::GetSelectionCanvasBounds(GroupBox& out) const {
    CanvasDocument* scene = MainScene();
    if (!scene) return false;
    bool any = false;
    float l = 0, t = 0, r = 0, b = 0;
    for (const std::string& id : scene->selectedIds) {
        const CanvasObject* o = scene->FindObject(id);
        if (!o || !o->visible) continue;
        const SceneRect bb = o->GetBounds();
        const float bl = bb.x, bt = bb.y, br = bb.x + std::max(bb.width, 0.0f), bbm = bb.y + std::max(bb.height, 0.0f);
        if (!any) l = bl, t = bt, r = br, b = bbm, any = true;
        else l = std::min(l, bl), t = std::min(t, bt), r = std::max(r, br), b = std::max(b, bbm);
    }
    if (!any) return false;
    out = {l, t, std::max(r - l, 1.0f), std::max(b - t, 1.0f)};
    return true;
}

bool CCanvasLayoutView::GetSelectionScreenBounds(FrameRect& out) const {
    GroupBox g;
    if (!GetSelectionCanvasBounds(g)) return false;
    const float z = geo_.zoom;
    out = {g.x * z + geo_.OriginX(), g.y * z + geo_.OriginY(), std::max(g.width * z, 1.0f), std::max(g.height * z, 1.0f)};
    return true;
}

TransformHandle CCanvasLayoutView::HitTestSelectionHandles(QPoint p) const {
    CanvasDocument* scene = MainScene();
    if (!scene) return kHandleNone;
    const_cast<CCanvasLayoutView*>(this)->SyncGeometry();
    if (scene->selectedIds.size() >= 2) {
        FrameRect r;
        if (!GetSelectionScreenBounds(r)) return kHandleNone;
        return HitTestObjectHandles(float(p.x()), float(p.y()), style_, r, 0);
    }
    const CanvasObject* o = scene->primarySelectedId.empty() ? nullptr : scene->FindObject(scene->primarySelectedId);
    if (!o || o->locked) return kHandleNone;
    const FrameRect r = GetObjectScreenRect(*o);
    const float w = std::max(o->width, 1.0f), h = std::max(o->height, 1.0f);
    float cx, cy;
    geo_.CanvasToClient(o->x + w / 2, o->y + h / 2, cx, cy);
    return HitTestObjectHandles(float(p.x()), float(p.y()), style_, r, o->rotation, true, cx, cy);
}

namespace {
ObjectTransform TransformOf(const CanvasObject& o) { return {o.x, o.y, o.width, o.height, o.rotation, o.opacity}; }
bool SameTransform(const ObjectTransform& a, const ObjectTransform& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height && a.rotation == b.rotation &&
           a.opacity == b.opacity;
}
}  // namespace

void CCanvasLayoutView::ArmTransformDrag(int handle, QPoint p) {
    CanvasDocument& scene = *MainScene();
    dragArmed_ = true;
    handle_ = handle;
    pressPoint_ = lastPoint_ = p;
    ClientToCanvas(p, pressCanvasX_, pressCanvasY_);
    primarySnap_ = {};
    if (const CanvasObject* o = scene.FindObject(scene.primarySelectedId))
        primarySnap_ = {o->id, TransformOf(*o)};
    snaps_.clear();
    for (const std::string& id : scene.selectedIds)
        if (const CanvasObject* o = scene.FindObject(id)) snaps_.push_back({id, TransformOf(*o)});
    groupBox_ = {};
    GetSelectionCanvasBounds(groupBox_);
    groupAngle_ = 0;
}

void CCanvasLayoutView::OnMoveToolDown(unsigned flags, QPoint p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    CanvasDocument& scene = doc->mainScene;
    const std::vector<std::string> before = scene.selectedIds;
    float cx, cy;
    ClientToCanvas(p, cx, cy);
    const std::string hit = scene.HitTest({cx, cy});
    const int handle = HitTestSelectionHandles(p);
    if (handle == kHandleNone || handle == kHandleInside || scene.selectedIds.empty()) {
        if (!hit.empty() && (flags & MK_CONTROL)) {
            if (scene.IsSelected(hit)) scene.RemoveFromSelection(hit);
            else scene.AddToSelection(hit);
            EndDrag();
            doc->UpdateAllViews();
            return;
        }
        if (!hit.empty()) {
            if (scene.IsSelected(hit)) {
                awaitingThreshold_ = false;
            } else {
                scene.ClearSelection();
                scene.selectedMaskObjectId.clear();
                scene.SelectObject(hit);
                awaitingThreshold_ = true;
            }
            const bool wait = awaitingThreshold_;
            ArmTransformDrag(kHandleInside, p);
            awaitingThreshold_ = wait;
        } else if (handle == kHandleInside && !scene.selectedIds.empty()) {
            ArmTransformDrag(kHandleInside, p);
            awaitingThreshold_ = false;
        } else {
            EndDrag();
            marqueeArmed_ = true;
            additiveMarquee_ = (flags & MK_CONTROL) != 0;
            pressPoint_ = marqueeStart_ = marqueeEnd_ = p;
        }
        SetCapture();
        if (scene.selectedIds != before) doc->UpdateAllViews();
        else doc->RefreshAllViews();
        return;
    }
    ArmTransformDrag(handle, p);
    awaitingThreshold_ = false;
    if (handle >= kHandleTopLeft && handle <= kHandleLeft) {
        scene.deferInvalidation = true;
        ScaleDragActive = true;
        scene.pendingInvalidations.clear();
    }
    SetCapture();
    doc->RefreshAllViews();
}

void CCanvasLayoutView::OnMoveToolMove(unsigned flags, QPoint p) {
    const bool left = (flags & MK_LBUTTON) != 0 || HasCapture();
    if (dragArmed_ && left) {
        ClearHover();
        if (awaitingThreshold_) {
            if (std::abs(p.x() - pressPoint_.x()) < 4 && std::abs(p.y() - pressPoint_.y()) < 4) return;
            awaitingThreshold_ = false;
        }
        ApplyTransformDrag(p);
        return;
    }
    UpdateHover(p);
    if ((marqueeArmed_ || marqueeDragging_) && left) {
        if (marqueeArmed_ && !marqueeDragging_) {
            if (std::abs(p.x() - pressPoint_.x()) < 4 && std::abs(p.y() - pressPoint_.y()) < 4) return;
            marqueeDragging_ = true;
            marqueeArmed_ = false;
        }
        marqueeEnd_ = p;
        update();
    }
}

void CCanvasLayoutView::ApplyTransformDrag(QPoint p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || handle_ == kHandleNone) return;
    CanvasDocument& scene = doc->mainScene;
    const CanvasObject* primary = scene.FindObject(primarySnap_.id);
    if (!primary || primary->locked) return;
    float px, py;
    ClientToCanvas(p, px, py);
    if (scene.selectedIds.size() < 2) {
        scene.SetObjectTransform(primarySnap_.id,
                                 ApplySingleDrag(primarySnap_.t, handle_, pressCanvasX_, pressCanvasY_, px, py));
    } else {
        float angle = 0;
        const std::vector<ObjectTransform> out =
            ApplyGroupDrag(snaps_, groupBox_, handle_, pressCanvasX_, pressCanvasY_, px, py, &angle);
        if (handle_ == kHandleRotate) groupAngle_ = angle;
        for (size_t i = 0; i < snaps_.size() && i < out.size(); ++i) {
            const CanvasObject* o = scene.FindObject(snaps_[i].id);
            if (!o || o->locked) continue;
            scene.SetObjectTransform(snaps_[i].id, out[i]);
        }
    }
    doc->SetModifiedFlag();
    lastPoint_ = p;
    doc->RefreshAllViews();
}

void CCanvasLayoutView::OnMoveToolUp() {
    CQuillfenEditorDoc* doc = GetDocument();
    if (dragArmed_ && doc) {
        CanvasDocument& scene = doc->mainScene;
        if (snaps_.size() < 2) {
            for (const TransformSnapshot& s : snaps_)
                if (const CanvasObject* o = scene.FindObject(s.id))
                    if (!SameTransform(s.t, TransformOf(*o))) doc->CommitObjectTransform(s.id, s.t, TransformOf(*o));
        } else {
            std::vector<UndoTransformEntry> entries;
            for (const TransformSnapshot& s : snaps_)
                if (const CanvasObject* o = scene.FindObject(s.id)) {
                    UndoTransformEntry e;
                    e.objectId = s.id;
                    e.before = s.t;
                    e.after = TransformOf(*o);
                    entries.push_back(e);
                }
            doc->CommitObjectTransforms(entries);
        }
        // A posable object drawn larger than its preview is rendered again
        // at its new size rather than left stretched.
        bool rerendered = false;
        for (const TransformSnapshot& s : snaps_)
            if (CanvasObject* o = scene.FindObject(s.id)) rerendered |= UpdatePosableImageResolution(*o);
        if (rerendered) doc->UpdateAllViews();
    } else if (doc) {
        if (!marqueeArmed_ && !marqueeDragging_) return;
        if (marqueeDragging_) {
            SelectObjectsInMarquee(additiveMarquee_);
        } else if (!additiveMarquee_) {
            doc->mainScene.ClearSelection();
            doc->UpdateAllViews();
        }
    } else {
        return;
    }
    EndDrag();
    if (HasCapture()) ReleaseCapture();
    update();
}

void CCanvasLayoutView::EndDrag() {
    CQuillfenEditorDoc* doc = GetDocument();
    CanvasDocument* scene = MainScene();
    if (scene && scene->deferInvalidation) {
        scene->deferInvalidation = false;
        ScaleDragActive = false;
        for (const std::string& id : scene->pendingInvalidations)
            if (CanvasObject* o = scene->FindObject(id)) o->InvalidateCaches();
        scene->pendingInvalidations.clear();
        if (doc) doc->RefreshAllViews();
    }
    // The flag is process-wide: never leave it on, whoever set it.
    if (!scene || !scene->deferInvalidation) ScaleDragActive = false;
    dragArmed_ = awaitingThreshold_ = marqueeArmed_ = marqueeDragging_ = additiveMarquee_ = false;
    handle_ = 0;
    primarySnap_ = {};
    snaps_.clear();
    groupAngle_ = 0;
}

void CCanvasLayoutView::SelectObjectsInMarquee(bool additive) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    CanvasDocument& scene = doc->mainScene;
    const float left = float(std::min(marqueeStart_.x(), marqueeEnd_.x()));
    const float top = float(std::min(marqueeStart_.y(), marqueeEnd_.y()));
    const int dw = std::abs(marqueeEnd_.x() - marqueeStart_.x()), dh = std::abs(marqueeEnd_.y() - marqueeStart_.y());
    const float w = dw < 2 ? 1.0f : float(dw), h = dh < 2 ? 1.0f : float(dh);
    if (!additive) scene.ClearSelection();
    SyncGeometry();
    const float z = geo_.zoom, ox = geo_.OriginX(), oy = geo_.OriginY();
    for (Layer& layer : scene.layers) {
        if (!layer.visible || layer.locked) continue;
        for (CanvasObject& o : layer.objects) {
            if (!o.visible || o.locked) continue;
            const SceneRect b = o.GetBounds();
            const float bl = b.x * z + ox, bt = b.y * z + oy, br = bl + b.width * z, bb = bt + b.height * z;
            if (!(bl < left + w && br > left && bt < top + h && bb > top)) continue;
            const float ow = std::max(o.width, 1.0f), oh = std::max(o.height, 1.0f);
            const float qx[4] = {o.warp.x0, o.warp.x1, o.warp.x2, o.warp.x3};
            const float qy[4] = {o.warp.y0, o.warp.y1, o.warp.y2, o.warp.y3};
            QuadPoints outline{};
            for (int i = 0; i < 4; ++i) {
                const ScenePoint c = o.LocalToCanvas({ow * qx[i], oh * qy[i]});
                outline.x[i] = c.x * z + ox;
                outline.y[i] = c.y * z + oy;
            }
            if (OutlineOverlapsRect(outline, left, top, w, h)) scene.AddToSelection(o.id);
        }
    }
    doc->UpdateAllViews();
}

void CCanvasLayoutView::UpdateHover(QPoint p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || doc->activeTool != 0 || dragArmed_ || MarqueeActive() || !HighlightUnderMouse(*doc)) {
        ClearHover();
        return;
    }
    float x, y;
    ClientToCanvas(p, x, y);
    std::string id = doc->mainScene.HitTest({x, y});
    if (!id.empty() && doc->mainScene.IsSelected(id)) id.clear();
    if (id != hoverId_) {
        hoverId_ = id;
        update();
        if (DocumentHost* host = doc->Host()) host->SetLayerListHoverObject(hoverId_);
    }
}

void CCanvasLayoutView::ClearHover() {
    if (hoverId_.empty()) return;
    hoverId_.clear();
    update();
    if (CQuillfenEditorDoc* doc = GetDocument())
        if (DocumentHost* host = doc->Host()) host->SetLayerListHoverObject({});
}

void CCanvasLayoutView::UpdateCursor(QPoint p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    const int tool = doc->activeTool;
    switch (RouteForTool(tool)) {
    case CanvasInputRoute::Eyedropper:
        if (EyedropperPick::IsActive()) setCursor(Qt::BlankCursor);
        else setCursor(EyedropperCursor());
        return;
    case CanvasInputRoute::Stencil:
        if (SetStencilCursor(p)) return;
        [[fallthrough]];
    case CanvasInputRoute::Paint:
        if (IsKeyDown(VK_MENU) && (tool == 9 || tool == 10 || tool == 15)) setCursor(EyedropperCursor());
        else setCursor(Qt::BlankCursor);
        return;
    case CanvasInputRoute::Selection: setCursor(Qt::CrossCursor); return;
    case CanvasInputRoute::Warp: {
        if (warpHandle_ >= 0 && warpHandle_ < 8) {
            setCursor(Qt::CrossCursor);
            return;
        }
        CanvasDocument& scene = doc->mainScene;
        const CanvasObject* o = scene.FindObject(scene.primarySelectedId);
        bool over = false;
        if (o && o->visible && !o->locked) {
            SyncGeometry();
            over = PickQuadHandle(ComputeQuadHandles(*o, geo_.zoom, geo_.OriginX(), geo_.OriginY()), float(p.x()),
                                  float(p.y())) >= 0;
        }
        setCursor(over ? Qt::CrossCursor : Qt::ArrowCursor);
        return;
    }
    case CanvasInputRoute::Pose: UpdatePoseCursor(p); return;
    case CanvasInputRoute::None: return;
    default: break;
    }
    const int handle = dragArmed_ && handle_ != 0 ? handle_ : int(HitTestSelectionHandles(p));
    if (handle == kHandleRotate) {
        setCursor(Qt::PointingHandCursor);
        return;
    }
    CanvasDocument& scene = doc->mainScene;
    float angle = 0;
    if (scene.selectedIds.size() < 2) {
        if (const CanvasObject* o = scene.FindObject(scene.primarySelectedId)) angle = o->rotation;
    } else if (dragArmed_ && handle_ == kHandleRotate) {
        angle = groupAngle_;
    }
    switch (ResizeCursorFor(handle, angle)) {
    case 0: setCursor(Qt::SizeHorCursor); break;
    case 1: setCursor(Qt::SizeFDiagCursor); break;
    case 2: setCursor(Qt::SizeVerCursor); break;
    case 3: setCursor(Qt::SizeBDiagCursor); break;
    default: setCursor(Qt::ArrowCursor); break;
    }
}

// --- Skew and Distort ---

void CCanvasLayoutView::OnWarpToolDown(QPoint p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    CanvasDocument& scene = doc->mainScene;
    CanvasObject* o = scene.FindObject(scene.primarySelectedId);
    if (!o || !o->visible || o->locked) return;
    SyncGeometry();
    const QuadHandles h = ComputeQuadHandles(*o, geo_.zoom, geo_.OriginX(), geo_.OriginY());
    const int k = PickQuadHandle(h, float(p.x()), float(p.y()));
    if (k >= 0) {
        warpHandle_ = k;
        warpId_ = o->id;
        warpStart_ = o->warp;
    } else {
        if (!InsideQuadOutline(h, float(p.x()), float(p.y()))) return;
        warpHandle_ = 8;
        warpId_ = o->id;
        warpStartX_ = o->x;
        warpStartY_ = o->y;
        ClientToCanvas(p, warpPressX_, warpPressY_);
    }
    SetCapture();
    update();
}

void CCanvasLayoutView::OnWarpToolDrag(int tool, QPoint p) {
    if (warpHandle_ < 0) return;
    if (!IsKeyDown(VK_LBUTTON) && !HasCapture()) {
        EndWarpDrag();
        return;
    }
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    CanvasObject* o = doc->mainScene.FindObject(warpId_);
    if (!o) return;
    float px, py;
    ClientToCanvas(p, px, py);
    if (warpHandle_ == 8) {
        o->x = float(RoundHalfAway(px - warpPressX_ + warpStartX_));
        o->y = float(RoundHalfAway(py - warpPressY_ + warpStartY_));
        o->width = float(std::max(RoundHalfAway(o->width), 1));
        o->height = float(std::max(RoundHalfAway(o->height), 1));
    } else {
        const float w = std::max(o->width, 1.0f), h = std::max(o->height, 1.0f);
        const float cx = o->x + w / 2, cy = o->y + h / 2;
        const float th = -o->rotation * kPi / 180.0f;
        const float dx = px - cx, dy = py - cy;
        const float tx = dx * std::cos(th) - dy * std::sin(th) + cx, ty = dx * std::sin(th) + dy * std::cos(th) + cy;
        o->warp = DragQuadHandle(o->warp, warpStart_, warpHandle_, (tx - o->x) / w, (ty - o->y) / h, tool == 6);
    }
    doc->SetModifiedFlag();
    doc->RefreshAllViews();
}

void CCanvasLayoutView::EndWarpDrag() {
    if (warpHandle_ < 0) return;
    if (HasCapture()) ReleaseCapture();
    warpHandle_ = -1;
    warpId_.clear();
}

// --- Canvas Pose tool ---

void CCanvasLayoutView::SyncPoseSession() {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || inPoseSync_) return;
    inPoseSync_ = true;
    CanvasDocument& scene = doc->mainScene;
    const CanvasObject* o = scene.FindObject(scene.primarySelectedId);
    if (doc->activeTool == 2 && doc->workspaceMode == 0 && o && o->kind == kObjectPosable) {
        const bool wasOpenHere = pose_.open && pose_.objectId == o->id;
        if (pose_.Open(*doc, o->id) && !wasOpenHere) update();
    } else if (pose_.open) {
        // Leaving the tool or the object keeps the pose: one undo step.
        pose_.Close(doc, true);
        update();
    }
    inPoseSync_ = false;
}

void CCanvasLayoutView::RestartPoseSession() {
    if (pose_.dragActive && HasCapture()) ReleaseCapture();
    if (pose_.open) pose_.Close(GetDocument(), false);
    SyncPoseSession();
    update();
}

void CCanvasLayoutView::OnPoseToolDown(QPoint p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || !pose_.open) return;
    SyncGeometry();
    std::string part;
    int end = 1;
    if (!pose_.PickJoint(doc->mainScene, geo_.zoom, geo_.OriginX(), geo_.OriginY(), float(p.x()), float(p.y()), part,
                         end))
        return;
    pose_.dragActive = true;
    pose_.dragPartId = part;
    pose_.dragEnd = end;
    SetCapture();
}

void CCanvasLayoutView::UpdatePoseCursor(QPoint p) {
    // The Pose tool draws no transform frame, so it shows no resize arrows:
    // only the hand over a joint it can pick.
    CQuillfenEditorDoc* doc = GetDocument();
    bool overJoint = false;
    if (doc && pose_.open) {
        SyncGeometry();
        std::string part;
        int end = 1;
        overJoint = pose_.PickJoint(doc->mainScene, geo_.zoom, geo_.OriginX(), geo_.OriginY(), float(p.x()),
                                    float(p.y()), part, end);
    }
    setCursor(overJoint ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void CCanvasLayoutView::OnPoseToolDrag(QPoint p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || !pose_.dragActive || !HasCapture()) return;
    float x, y;
    ClientToCanvas(p, x, y);
    if (pose_.DragTo(doc->mainScene, {x, y})) update();
}

void CCanvasLayoutView::OnPoseToolUp() {
    if (HasCapture()) ReleaseCapture();
    pose_.dragActive = false;
    pose_.dragPartId.clear();
    // Each drag is one undo step, stored at once: Save, Copy, Export and the
    // rest see the pose the screen shows, and Undo takes it back.
    if (CQuillfenEditorDoc* doc = GetDocument()) {
        if (pose_.CommitPose(*doc)) update();
    }
}

// --- Light tool ---

void CCanvasLayoutView::OnLightToolDown(unsigned flags, QPoint p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    CanvasDocument& scene = doc->mainScene;
    const CanvasObject* o = scene.FindObject(scene.primarySelectedId);
    if (o && o->kind == kObjectLightCone && o->visible && !o->locked) {
        // The geometry of the cone as it is now, not as it was last drawn.
        SyncGeometry();
        lightGeometry_ = ComputeLightGizmo(*o, geo_.zoom, geo_.OriginX(), geo_.OriginY());
        const int mode = PickLightHandle(lightGeometry_, float(p.x()), float(p.y()), 11.0f);
        if (mode != 0) {
            SetCapture();
            lightId_ = o->id;
            lightMode_ = mode;
            lightBefore_ = o->lightCone;
            lightDragActive_ = true;
            return;
        }
    }
    float x, y;
    ClientToCanvas(p, x, y);
    const std::string hit = scene.HitTest({x, y});
    const CanvasObject* h = hit.empty() ? nullptr : scene.FindObject(hit);
    if (h && h->kind == kObjectLightCone) {
        scene.ClearSelection();
        scene.selectedMaskObjectId.clear();
        scene.SelectObject(hit);
        doc->UpdateAllViews();
        return;
    }
    OnMoveToolDown(flags, p);
}

void CCanvasLayoutView::OnLightToolDrag(unsigned flags, QPoint p) {
    if (!lightDragActive_) {
        OnMoveToolMove(flags, p);
        return;
    }
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || !(geo_.zoom > 0)) return;
    CanvasDocument& scene = doc->mainScene;
    CanvasObject* o = scene.FindObject(lightId_);
    if (!o) return;
    const float w = std::max(o->width, 1.0f), h = std::max(o->height, 1.0f);
    float x, y;
    ClientToCanvas(p, x, y);
    const float dx = x - (o->x + w / 2), dy = y - (o->y + h / 2);
    const float th = -o->rotation * kPi / 180.0f;
    const float lx = dx * std::cos(th) - dy * std::sin(th), ly = dx * std::sin(th) + dy * std::cos(th);
    const LightConeParams n = ApplyLightDrag(o->lightCone, lightMode_, lx, ly, w, h);
    if (n != o->lightCone) {
        o->lightCone = n;
        o->InvalidateCaches();
        const std::string id = o->id;
        if (scene.observer) scene.observer(id);
    }
    doc->SetModifiedFlag();
    doc->RefreshAllViews();
}

void CCanvasLayoutView::OnLightToolUp() {
    if (HasCapture()) ReleaseCapture();
    CQuillfenEditorDoc* doc = GetDocument();
    const CanvasObject* o = doc ? doc->mainScene.FindObject(lightId_) : nullptr;
    if (o && o->lightCone != lightBefore_) {
        doc->CommitLightConeParams(lightId_, lightBefore_, o->lightCone);
        doc->SetModifiedFlag();
        doc->UpdateAllViews();
    }
    lightDragActive_ = false;
    lightMode_ = 0;
    lightId_.clear();
}

// --- Paint and selection tools ---

void CCanvasLayoutView::PickColourAt(QPoint p, bool deliver) {
    // The displayed picture, un-premultiplied; never an overlay's colour.
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || RenderPicture(pickBuffer_) == 0) return;
    // The picture holds device pixels.
    const QPointF q = (geo_.ratio == 1.0f ? QPointF(p) : PrecisePoint(p)) * geo_.ratio;
    const int dx = int(std::floor(q.x())), dy = int(std::floor(q.y()));
    if (dx < 0 || dy < 0 || dx >= pickBuffer_.width || dy >= pickBuffer_.height) return;
    const uint8_t* px = pickBuffer_.pixels + int64_t(dy) * pickBuffer_.Pitch() + int64_t(dx) * 4;
    const int a = px[3];
    auto un = [a](int c) { return a == 0 ? 0 : std::min(255, (c * 255 + a / 2) / a); };
    pickedColour_ = 0xFF000000u | uint32_t(un(px[2])) << 16 | uint32_t(un(px[1])) << 8 | uint32_t(un(px[0]));
    if (!deliver) return;
    if (DocumentHost* host = doc->Host()) host->SetPaintColour(pickedColour_);
}

void CCanvasLayoutView::OnPaintToolDown(int tool, QPoint p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    if (IsKeyDown(VK_MENU) && (tool == 9 || tool == 10 || tool == 15)) {
        PickColourAt(p, true);
        return;
    }
    CanvasDocument& scene = doc->mainScene;
    std::string id = scene.primarySelectedId;
    const CanvasObject* o = id.empty() ? nullptr : scene.FindObject(id);
    if (o && o->kind != kObjectBitmap) return;
    bool created = false;
    if (!o) {
        // An object made for painting; it marks the document modified only
        // once something is painted on it, and goes away when nothing is.
        if (!scene.AddEmptyObject(&id)) return;
        created = true;
    }
    const bool open = EnsureSessionOn(*doc, id, created);
    if (created) {
        if (!open) scene.DeleteObject(id);
        doc->UpdateAllViews();
    }
    if (!open) return;
    // More painting: ending the session tries to store it again.
    sessionCommitRefused_ = false;
    session_->SetTool(tool);
    float x, y;
    ClientToCanvas(p, x, y);
    BrushEngine* engine = session_->Engine();
    if ((tool == 13 || tool == 14) && engine && (IsKeyDown(VK_MENU) || !engine->cloneSourceSet)) {
        engine->SetCloneSource(x, y);
        if (CloneSamplesAllLayers()) session_->BuildCloneBackdrop();
    } else {
        session_->StrokeBegin(x, y, PaintColourWord(), 1.0f);
        strokeActive_ = true;
        StartAntsTimerIfNeeded();
        SetCapture();
    }
    doc->RefreshAllViews();
}

void CCanvasLayoutView::OnPaintToolMove(QPoint p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    const QRect before = BrushCursorRect();
    cursorClient_ = p;
    ClientToCanvas(p, cursorCanvasX_, cursorCanvasY_);
    cursorShown_ = true;
    const QRect dirty = before.united(BrushCursorRect());
    if (!dirty.isEmpty()) update(dirty);
    if (strokeActive_ && session_->IsActive()) {
        session_->StrokeMove(cursorCanvasX_, cursorCanvasY_, PaintColourWord(), 1.0f);
        doc->RefreshAllViews();
    }
}

void CCanvasLayoutView::OnPaintToolUp() {
    if (!strokeActive_) return;
    strokeActive_ = false;
    if (HasCapture()) ReleaseCapture();
    CQuillfenEditorDoc* doc = GetDocument();
    if (session_->IsActive() && doc) {
        // The session marks the document modified when the stroke changed something.
        session_->StrokeEnd();
        doc->RefreshAllViews();
    }
}

void CCanvasLayoutView::OnSelectionToolDown(int tool, QPoint p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    CanvasDocument& scene = doc->mainScene;
    const CanvasObject* o = scene.FindObject(scene.primarySelectedId);
    if (!o || o->kind != kObjectBitmap) return;
    if (!EnsureSessionOn(*doc, o->id, false)) return;
    session_->SetTool(tool);
    float fx, fy;
    ClientToCanvas(p, fx, fy);
    switch (PressSelectionTool(scene, doc->SelectionTool(scene), tool, RoundHalfAway(fx), RoundHalfAway(fy),
                               IsKeyDown(VK_SHIFT), IsKeyDown(VK_MENU))) {
    case SelectionPressKind::Click: break;
    case SelectionPressKind::PolygonClick:
        cursorClient_ = p;
        cursorCanvasX_ = fx;
        cursorCanvasY_ = fy;
        break;
    case SelectionPressKind::Drag: SetCapture(); break;
    }
    StartAntsTimerIfNeeded();
    doc->RefreshAllViews();
}

// --- Stacking ---

namespace {
void MoveWithin(CQuillfenEditorDoc* doc, int (*index)(const SelectedObjectInLayer&)) {
    if (!doc) return;
    const SelectedObjectInLayer f = FindSelectedObjectInLayer(&doc->mainScene);
    if (!f.found) return;
    const int i = index(f);
    if (i < 0) return;
    doc->MoveObjectToLayer(doc->mainScene.primarySelectedId, f.layerId, i);
}
}  // namespace

void CCanvasLayoutView::OnObjectRaise() {
    MoveWithin(GetDocument(), [](const SelectedObjectInLayer& f) { return f.index > 0 ? f.index - 1 : -1; });
}
void CCanvasLayoutView::OnObjectLower() {
    MoveWithin(GetDocument(), [](const SelectedObjectInLayer& f) { return f.index < f.count - 1 ? f.index + 2 : -1; });
}
void CCanvasLayoutView::OnObjectBringToTop() {
    MoveWithin(GetDocument(), [](const SelectedObjectInLayer& f) { return f.index != 0 ? 0 : -1; });
}
void CCanvasLayoutView::OnObjectSendToBottom() {
    MoveWithin(GetDocument(), [](const SelectedObjectInLayer& f) { return f.count != f.index + 1 ? f.count : -1; });
}

bool CCanvasLayoutView::CanRaise() const {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || session_->IsActive()) return false;
    const SelectedObjectInLayer f = FindSelectedObjectInLayer(&doc->mainScene);
    return f.found && f.index >= 1;
}

bool CCanvasLayoutView::CanLower() const {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || session_->IsActive()) return false;
    const SelectedObjectInLayer f = FindSelectedObjectInLayer(&doc->mainScene);
    return f.found && f.index < f.count - 1;
}

// --- Dropped files ---

int CCanvasLayoutView::DropFiles(const std::vector<std::string>& paths, QPoint p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return 0;
    float x, y;
    ClientToCanvas(p, x, y);
    const int n = ImportDroppedFilesAndReport(*doc, paths, x, y);
    if (n > 0) setFocus(Qt::OtherFocusReason);
    return n;
}

void CCanvasLayoutView::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void CCanvasLayoutView::dropEvent(QDropEvent* e) {
    e->acceptProposedAction();
    DropFiles(DroppedLocalPaths(*e->mimeData()), e->position().toPoint());
}
