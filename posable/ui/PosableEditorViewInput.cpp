// The paint session's headers come before any Qt header (keyword clash).
#include "brushes/BitmapPaintSession.h"
// The Pose Editor view's input: presses, moves and releases handed to the
// active tool or the paint session, the eyedropper pick, the pointer's
// shape, the Delete key, the bone menu, the marching ants' timer and
// dropped files.


#include "posable/ui/CPosableImageEditorView.h"
#include "posable/ui/PosableEditorViewShared.h"

#include "brushes/BrushSettings.h"
#include "brushes/BrushEngine.h"
#include "canvas_view/SelectionPress.h"
#include "canvas_view/BrushToolQueries.h"
#include "canvas_view/DropImport.h"
#include "canvas_view/ui/DroppedPaths.h"
#include "canvas_view/ToolDispatch.h"
#include "canvas_view/ui/CanvasViewCursors.h"
#include "canvas_view/ui/EyedropperPick.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/CommandIds.h"
#include "document/DocumentHost.h"
#include "platform/Profile.h"
#include "platform/Prompts.h"
#include "posable/BoneShape.h"
#include "posable/RuntimeRig.h"
#include "scene/SelectionMask.h"
#include "selection/SelectionToolController.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <cmath>

using namespace posable_view;

namespace {

constexpr const char* kPartOutsideCanvas =
    "This part reaches outside the Pose Editor canvas, so painting on it would cut off its pixels. "
    "Move it fully onto the canvas to paint or select on it.";

}  // namespace

PointF CPosableImageEditorView::ViewPoint(QPoint point) const {
    // On a dense screen the pointer resolves device pixels between view pixels.
    const QPointF q = tools_.view.ratio == 1.0f ? QPointF(point) : PrecisePoint(point);
    return {float(q.x()), float(q.y())};
}

void CPosableImageEditorView::ResetInteraction() {
    // An abandoned cap-width drag takes its key hint with it.
    if (tools_.activeHandle == BoneHandle::RoundCapWidth)
        if (DocumentHost* host = GetFrameHost()) host->SetStatusHint(std::string());
    tools_.Reset();
    finishHover_ = previewHover_ = false;
}

void CPosableImageEditorView::OnLButtonDown(unsigned flags, QPoint point) {
    setFocus();
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    SyncView();
    const PointF p = ViewPoint(point);
    tools_.lastPoint = p;
    if (HitTestFinishButton(p)) {
        // Finish commits the painting itself: a commit that fails is said
        // once, and the Pose Editor stays open with the session.
        ResetInteraction();
        doc->FinishBoneEditor();
        return;
    }
    if (HitTestPreviewButton(p)) {
        // Test Bones stores the painting itself: a commit that fails is said
        // once and stops the preview, with the session kept open.
        doc->OnTestBones();
        return;
    }
    const int tool = doc->activeTool;
    if (tool == kToolRefine) return;
    if (tool == kToolEyedropper) {
        SetCapture();
        picking_ = true;
        // Where the screen cannot be read, the loupe samples what this view shows.
        const LoupeSnapshotFallback displayed = BackBufferSnapshot(this, backBuffer_, [this] { RenderToBackBuffer(); });
        EyedropperPick::Instance().Begin(mapToGlobal(point), doc->Host(), this, displayed);
        return;
    }
    const PointF q = tools_.view.ViewToScene(p);
    if ((BrushTool(tool) || SelectionTool(tool)) && session_->IsActive() &&
        session_->PaintedObjectId() != doc->poseScene.primarySelectedId) {
        // The open session paints another part: its painting goes in first.
        // One that cannot be stored keeps its session (the commit said why),
        // and nothing of this press goes into it.
        if (!CommitSession()) {
            sessionCommitRefused_ = true;
            return;
        }
    }
    if ((BrushTool(tool) || SelectionTool(tool)) && !session_->IsActive()) {
        // A bitmap part that cannot be painted for lying partly off the
        // canvas: say so instead of moving it.
        const CanvasDocument& scene = doc->poseScene;
        const CanvasObject* o = scene.primarySelectedId.empty() ? nullptr : scene.FindObject(scene.primarySelectedId);
        if (o && o->kind == kObjectBitmap && !PartFitsScene(*o, scene)) {
            if (doc->Host() && doc->Host()->GetPrompts()) doc->Host()->GetPrompts()->Warn(kPartOutsideCanvas);
            return;
        }
    }
    if (BrushTool(tool) && session_->IsActive()) {
        // The clone brushes take their source from the first press and from
        // every press with Alt; no stroke starts.
        BrushEngine* engine = session_->Engine();
        if ((tool == 13 || tool == 14) && engine && (IsKeyDown(VK_MENU) || !engine->cloneSourceSet)) {
            engine->SetCloneSource(q.x, q.y);
            if (CloneSamplesAllLayers()) session_->BuildCloneBackdrop();
            doc->RefreshAllViews();
            return;
        }
        strokeActive_ = true;
        // More painting: ending the session tries to store it again.
        sessionCommitRefused_ = false;
        SetCapture();
        session_->StrokeBegin(q.x, q.y, PaintColourWord(), 1.0f);
        StartAntsTimerIfNeeded();
        doc->RefreshAllViews();
        return;
    }
    if (SelectionTool(tool) && session_->IsActive() && SelectionPress(tool, p)) return;
    bool handled = false;
    if (tool == kToolAddBone) handled = tools_.AddBonePress(*doc, p) && tools_.addActive;
    else if (tool == kToolSelectMoveJoint) handled = tools_.JointPress(*doc, p);
    else if (tool == kToolLinkJoints) handled = tools_.LinkPress(*doc, p) && tools_.linkDrag;
    if (tool == kToolAddBone || tool == kToolSelectMoveJoint || tool == kToolLinkJoints) {
        if (handled || tool == kToolSelectMoveJoint) {
            if (tools_.Busy()) SetCapture();
            update();
            return;
        }
        if (tool == kToolAddBone || tool == kToolLinkJoints) {
            update();
            return;
        }
    }
    tools_.PartPress(*doc, p, (flags & MK_CONTROL) != 0);
    if (tools_.Busy()) SetCapture();
    update();
}

void CPosableImageEditorView::OnLButtonUp(unsigned, QPoint point) {
    CQuillfenEditorDoc* doc = GetDocument();
    const PointF p = ViewPoint(point);
    const bool held = HasCapture();
    if (held) ReleaseCapture();
    if (picking_) {
        EndPick();
        UpdateCursor(p);  // the pointer shows again where it was released
        return;
    }
    if (!doc) return;
    SyncView();
    const int tool = doc->activeTool;
    if (strokeActive_) {
        strokeActive_ = false;
        if (session_->IsActive()) session_->StrokeEnd();
        doc->RefreshAllViews();
        return;
    }
    if (SelectionTool(tool) && session_->IsActive()) {
        SelectionToolController& sel = doc->SelectionTool(doc->poseScene);
        if (sel.dragging) {
            const PointF q = tools_.view.ViewToScene(p);
            sel.EndDrag(int(std::lround(q.x)), int(std::lround(q.y)));
            StartAntsTimerIfNeeded();
            doc->RefreshAllViews();
            return;
        }
    }
    if (tools_.addActive) tools_.AddBoneRelease(*doc, p);
    else if (tool == kToolSelectMoveJoint) tools_.JointRelease(*doc);
    else if (tools_.linkDrag) tools_.LinkRelease(*doc);
    else tools_.PartRelease(*doc, p);
    update();
}

void CPosableImageEditorView::EndPick() {
    if (!picking_) return;
    picking_ = false;
    CQuillfenEditorDoc* doc = GetDocument();
    EyedropperPick::Instance().End(doc ? doc->Host() : nullptr, this);
}

void CPosableImageEditorView::OnCaptureLost() {
    // A drag that loses the mouse ends as a release does.
    EndPick();
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    if (strokeActive_) {
        strokeActive_ = false;
        if (session_->IsActive()) session_->StrokeEnd();
        doc->RefreshAllViews();
    }
    SelectionToolController& sel = doc->SelectionTool(doc->poseScene);
    if (sel.dragging) sel.EndDrag(sel.dragCurrentX, sel.dragCurrentY);
    tools_.CaptureLost(*doc, doc->activeTool);
    update();
}

void CPosableImageEditorView::OnMouseMove(unsigned flags, QPoint point) {
    const PointF p = ViewPoint(point);
    const bool fh = HitTestFinishButton(p), ph = HitTestPreviewButton(p);
    if (fh != finishHover_ || ph != previewHover_) {
        finishHover_ = fh;
        previewHover_ = ph;
        update();
    }
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    if (picking_) {
        if (EyedropperPick::IsActive()) EyedropperPick::Instance().MoveTo(mapToGlobal(point));
        return;
    }
    SyncView();
    const int tool = doc->activeTool;
    const bool down = (flags & MK_LBUTTON) != 0;
    const PointF q = tools_.view.ViewToScene(p);
    if (BrushTool(tool)) {
        brushCursorView_ = p;
        brushCursorScene_ = q;
        brushCursorShown_ = true;
        update();
        if (strokeActive_ && session_->IsActive()) {
            session_->StrokeMove(q.x, q.y, PaintColourWord(), 1.0f);
            doc->RefreshAllViews();
            return;
        }
    }
    if (SelectionTool(tool) && session_->IsActive()) {
        SelectionToolController& sel = doc->SelectionTool(doc->poseScene);
        if (sel.dragging) {
            sel.DragTo(int(std::lround(q.x)), int(std::lround(q.y)));
            doc->RefreshAllViews();
            return;
        }
        if (sel.polygonOpen) {
            // The rubber band of the lasso follows the pointer.
            brushCursorView_ = p;
            brushCursorScene_ = q;
            doc->RefreshAllViews();
            return;
        }
    }
    bool changed = false;
    if (tool == kToolAddBone) changed = tools_.AddBoneMove(*doc, p);
    else if (tool == kToolSelectMoveJoint)
        changed = tools_.JointMove(*doc, p, down, (flags & MK_CONTROL) != 0, IsKeyDown(0x12));
    else if (tool == kToolLinkJoints) changed = tools_.LinkMove(*doc, p);
    if (!changed && down) changed = tools_.PartMove(*doc, p);
    UpdateCursor(p);
    if (changed) update();
}

void CPosableImageEditorView::UpdateCursor(PointF p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    const int tool = doc->activeTool;
    if (tool == kToolEyedropper && !HitTestFinishButton(p) && !HitTestPreviewButton(p)) {
        if (EyedropperPick::IsActive()) setCursor(Qt::BlankCursor);
        else setCursor(EyedropperCursor());
        return;
    }
    // Cursor by tool and handle.
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (HitTestFinishButton(p) || HitTestPreviewButton(p)) shape = Qt::PointingHandCursor;
    else if (tool == kToolAddBone || SelectionTool(tool)) shape = Qt::CrossCursor;
    // Only the brush outline drawn into the frame shows.
    else if (BrushTool(tool)) shape = Qt::BlankCursor;
    else if (tool == kToolLinkJoints) {
        JointLinkEnd e;
        shape = (tools_.linkDrag || HitTestAnyJoint(doc->poseScene, tools_.view, p, e)) ? Qt::CrossCursor
                                                                                         : Qt::ArrowCursor;
    } else if (tool == kToolSelectMoveJoint) {
        shape = tools_.JointToolMoveCursor(*doc, p) ? Qt::SizeAllCursor : Qt::ArrowCursor;
    } else if (tool == kToolMove) {
        const int h = tools_.partDrag ? tools_.grabbedHandle : tools_.HitTestPartHandle(*doc, p);
        // The resize arrows follow the frame as it turns with a lone part.
        const CanvasObject* o = SelectedPoseEditorPart(*doc);
        const float angle = o && doc->poseScene.selectedIds.size() < 2 ? o->rotation : 0;
        static const Qt::CursorShape kResize[4] = {Qt::SizeHorCursor, Qt::SizeFDiagCursor, Qt::SizeVerCursor,
                                                   Qt::SizeBDiagCursor};
        if (h == kPartHandleRotate) shape = Qt::PointingHandCursor;
        else if (const int r = ResizeCursorFor(h, angle); r >= 0) shape = kResize[r];
    }
    if (cursor().shape() != shape) setCursor(shape);
}

void CPosableImageEditorView::OnLButtonDblClk(unsigned, QPoint) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    const int tool = doc->activeTool;
    if (tool == kToolPolygonLasso || tool == kToolCurveLasso) {
        SelectionToolController& sel = doc->SelectionTool(doc->poseScene);
        if (sel.polygonOpen) {
            sel.FinishPolygon();
            doc->RefreshAllViews();
        }
        return;
    }
    if (tool == kToolMove) {
        doc->SetActiveTool(kToolSelectMoveJoint);
        CanvasObject* o = doc->poseScene.primarySelectedId.empty()
                              ? nullptr
                              : doc->poseScene.FindObject(doc->poseScene.primarySelectedId);
        if (o && !o->bones.empty()) doc->SetBoneSelection(o->id, o->bones.front().id, 0);
        else doc->ClearBoneSelection();
        doc->UpdateAllViews();
    } else if (tool == kToolSelectMoveJoint) {
        doc->SetActiveTool(kToolMove);
        doc->UpdateAllViews();
    }
}

void CPosableImageEditorView::OnDeleteKey() {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    // Selected pixels of an unlocked bitmap part are erased first, whatever the tool.
    CanvasDocument& scene = doc->poseScene;
    const CanvasObject* o = scene.primarySelectedId.empty() ? nullptr : scene.FindObject(scene.primarySelectedId);
    if (MaskSelectsAnything(scene) && o && o->kind == kObjectBitmap && !o->locked) {
        const std::string id = o->id;
        // A painting on another part that cannot be stored keeps its
        // session (the commit said why): nothing is erased from it.
        if (session_->IsActive() && session_->PaintedObjectId() != id && !CommitSession()) {
            sessionCommitRefused_ = true;
            return;
        }
        o = scene.FindObject(id);  // the commit may have replaced the parts
        if (!o) return;
        bool open = session_->IsActive() && session_->PaintedObjectId() == id;
        if (!open && !session_->IsActive() && PartFitsScene(*o, scene) && session_->Begin(*doc, id, false)) {
            doc->paintSession = session_.get();
            session_->SetTool(doc->activeTool);
            open = true;
        }
        if (open) session_->EraseSelection(*doc);
        else if (!PartFitsScene(*o, scene) && doc->Host() && doc->Host()->GetPrompts())
            doc->Host()->GetPrompts()->Warn(kPartOutsideCanvas);
        doc->RefreshAllViews();
        update();
        return;
    }
    if (doc->activeTool == kToolMove) {
        // The selected parts go as one undo step; a drag of them ends first
        // so its records do not name parts that no longer exist.
        tools_.Reset();
        doc->DeleteSelectedObjects();
        doc->UpdateAllViews();
    } else if (doc->activeTool == kToolSelectMoveJoint) tools_.DeleteSelectedBone(*doc);
    else if (doc->activeTool == kToolLinkJoints) tools_.RemoveHoveredLinkEnd(*doc);
    update();
}

void CPosableImageEditorView::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Delete) {
        OnDeleteKey();
        e->accept();
        return;
    }
    if (e->key() == Qt::Key_Alt) AltChanged();
    CView::keyPressEvent(e);
}

void CPosableImageEditorView::keyReleaseEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Alt) AltChanged();
    CView::keyReleaseEvent(e);
}

void CPosableImageEditorView::AltChanged() {
    // The clone brushes' cursor shows a cross while Alt sets the source.
    CQuillfenEditorDoc* doc = GetDocument();
    if (doc && brushCursorShown_ && (doc->activeTool == 13 || doc->activeTool == 14)) update();
}

void CPosableImageEditorView::contextMenuEvent(QContextMenuEvent* e) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || doc->activeTool != kToolSelectMoveJoint) return;
    if (e->reason() == QContextMenuEvent::Keyboard) ShowBoneMenu(QPoint(), {0, 0}, true);
    else ShowBoneMenu(e->globalPos(), {float(e->pos().x()), float(e->pos().y())}, false);
}

QPoint CPosableImageEditorView::KeyboardBoneMenuPoint() const {
    const QPoint centre(width() / 2, height() / 2);
    CQuillfenEditorDoc* doc = GetDocument();
    const CanvasObject* part = doc ? SelectedPoseEditorPart(*doc) : nullptr;
    const BoneSelection& sel = doc ? doc->boneSelection : BoneSelection{};
    const Bone* bone = part && sel.objectId == part->id ? FindBone(*part, sel.boneId) : nullptr;
    PointF at;
    if (!bone || !GetBoneHandle(*part, *bone, sel.handleIndex == 0 ? 0 : 1, BoneHandle::CapLength, tools_.view, at))
        return centre;
    return QPoint(int(std::lround(at.x)), int(std::lround(at.y)));
}

void CPosableImageEditorView::ShowBoneMenu(QPoint globalPos, PointF vp, bool fromKeyboard) {
    CQuillfenEditorDoc* doc = GetDocument();
    CanvasObject* part = doc->poseScene.primarySelectedId.empty()
                             ? nullptr
                             : doc->poseScene.FindObject(doc->poseScene.primarySelectedId);
    if (!part || part->bones.empty()) return;
    std::string id;
    int end = 1;
    if (!fromKeyboard && HitTestJoint(*part, tools_.view, vp, true, id, end)) doc->SetBoneSelection(part->id, id, end);
    // The menu acts on the selected bone, the one the tabs edit.
    const BoneSelection sel = doc->boneSelection;
    const Bone* bone = sel.objectId == part->id ? FindBone(*part, sel.boneId) : nullptr;
    if (!bone) return;
    const int e = sel.handleIndex == 0 ? 0 : 1;
    bool hasChild = false;
    for (const Bone& b : part->bones)
        if (b.hasParent && b.parentId == bone->id) hasChild = true;
    QMenu menu(this);
    QAction* del = menu.addAction("Delete Bone");
    del->setEnabled(!part->locked && !hasChild);
    QAction* stretch = menu.addAction("Stretchable");
    stretch->setCheckable(true);
    stretch->setChecked(bone->stretchable);
    stretch->setEnabled(!part->locked);
    QAction* round = menu.addAction("Round Endpoint");
    round->setCheckable(true);
    round->setChecked((e == 0 ? bone->roundHeadCap : bone->roundTailCap) == 1);
    round->setEnabled(!part->locked);
    QAction* copy = menu.addAction("Copy from Parent");
    copy->setEnabled(!part->locked && bone->hasParent && FindBone(*part, bone->parentId));
    QAction* picked = menu.exec(fromKeyboard ? mapToGlobal(KeyboardBoneMenuPoint()) : globalPos);
    if (!picked) return;
    if (picked == del) {
        tools_.DeleteSelectedBone(*doc);
    } else if (picked == stretch || picked == round) {
        const std::vector<Bone> before = part->bones;
        Bone* b = FindBone(*part, sel.boneId);
        if (!b) return;
        if (picked == stretch) b->stretchable = !b->stretchable;
        else {
            int32_t& r = e == 0 ? b->roundHeadCap : b->roundTailCap;
            r = r == 1 ? 0 : 1;
        }
        part->BumpGeneration();
        doc->SetBoneDefinitions(part->id, before, part->bones);
        doc->SetModifiedFlag(true);
        doc->UpdateAllViews();
    } else if (picked == copy) {
        doc->OnBoneCopyFromParent();
    }
    update();
}

// --- Painting and selecting inside a part ---

bool CPosableImageEditorView::SelectionPress(int tool, PointF vp) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return false;
    CanvasDocument& scene = doc->poseScene;
    session_->SetTool(tool);
    const PointF q = tools_.view.ViewToScene(vp);
    const int x = int(std::lround(q.x)), y = int(std::lround(q.y));
    switch (PressSelectionTool(scene, doc->SelectionTool(scene), tool, x, y, IsKeyDown(VK_SHIFT),
                               IsKeyDown(VK_MENU))) {
    case SelectionPressKind::Click: break;
    case SelectionPressKind::PolygonClick:
        brushCursorView_ = vp;
        brushCursorScene_ = q;
        break;
    case SelectionPressKind::Drag: SetCapture(); break;
    }
    StartAntsTimerIfNeeded();
    doc->RefreshAllViews();
    return true;
}

bool CPosableImageEditorView::HasMarchingAnts() const {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || SelectionOverlayMode(*doc) != 0) return false;
    return MaskSelectsAnything(doc->poseScene);
}

void CPosableImageEditorView::StartAntsTimerIfNeeded() {
    if (!HasTimer(kAntsTimer) && session_->IsActive() && HasMarchingAnts()) SetTimer(kAntsTimer, 300);
}

void CPosableImageEditorView::OnTimer(int id) {
    if (id != kAntsTimer) return CView::OnTimer(id);
    // The ants stand still while a stroke paints.
    if (strokeActive_) return;
    if (!HasMarchingAnts()) {
        KillTimer(kAntsTimer);
        return;
    }
    antsPhase_ += 1.0f;
    if (antsPhase_ >= 1024.0f) antsPhase_ -= 1024.0f;
    update();
}
// --- Dropped files ---

int CPosableImageEditorView::DropFiles(const std::vector<std::string>& paths, QPoint point) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return 0;
    SyncView();
    const PointF q = tools_.view.ViewToScene({float(point.x()), float(point.y())});
    const int n = ImportDroppedFilesAndReport(*doc, paths, q.x, q.y);
    if (n > 0) setFocus(Qt::OtherFocusReason);
    return n;
}

void CPosableImageEditorView::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void CPosableImageEditorView::dropEvent(QDropEvent* e) {
    e->acceptProposedAction();
    DropFiles(DroppedLocalPaths(*e->mimeData()), e->position().toPoint());
}
