// The canvas view's part of the Stencil Kitbash tool beyond the left-button
// switchboard: right-button drags that move the stencil from anywhere, the
// Tab key that hides the stencil while it is held, the cursor of each gizmo
// part, and reporting a placement the overlay refused.
#include "brushes/StencilOverlay.h"
#include "brushes/ui/StencilOverlayDrawing.h"
#include "canvas_view/ToolDispatch.h"
#include "canvas_view/ui/CCanvasLayoutView.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentHost.h"
#include "platform/Prompts.h"

#include <QKeyEvent>

namespace {

// The overlay when the document's tool is the Stencil Kitbash tool, else null.
StencilOverlay* ActiveStencilOverlay(const CQuillfenEditorDoc* doc) {
    if (!doc || RouteForTool(doc->activeTool) != CanvasInputRoute::Stencil) return nullptr;
    return GetCurrentStencilOverlay();
}

}  // namespace

StencilViewGeometry CCanvasLayoutView::StencilGeometry() const {
    return StencilViewGeometry{GetCanvasClientRect(), GetCanvasScreenRect(), geo_.zoom};
}

void CCanvasLayoutView::OnRButtonDown(unsigned, QPoint p) {
    setFocus(Qt::MouseFocusReason);
    CQuillfenEditorDoc* doc = GetDocument();
    StencilOverlay* overlay = ActiveStencilOverlay(doc);
    if (!overlay || strokeActive_) return;
    if (!overlay->OnRightButtonDown(StencilGeometry(), PointF{float(p.x()), float(p.y())})) return;
    SetCapture();
    HideBrushCursor();
    UpdateCursor(p);
    doc->RefreshAllViews();
}

void CCanvasLayoutView::OnRButtonUp(unsigned, QPoint p) {
    CQuillfenEditorDoc* doc = GetDocument();
    StencilOverlay* overlay = GetCurrentStencilOverlay();
    // Whatever the tool is by now, a right drag ends with its button.
    if (!doc || !overlay || !overlay->OnRightButtonUp()) return;
    if (HasCapture()) ReleaseCapture();
    doc->RefreshAllViews();
    UpdateCursor(p);
    ReportStencilPlacement();
}

void CCanvasLayoutView::ReportStencilPlacement() {
    StencilOverlay* overlay = GetCurrentStencilOverlay();
    CQuillfenEditorDoc* doc = GetDocument();
    if (!overlay || overlay->placeError.empty() || !doc) return;
    const std::string text = overlay->placeError;
    // Once per refusal: the next rebuild sets it again if it still applies.
    overlay->placeError.clear();
    if (DocumentHost* host = doc->Host())
        if (Prompts* prompts = host->GetPrompts()) prompts->ShowMessage(MakeMessage(text, PromptIcon::Exclamation));
}

bool CCanvasLayoutView::OnStencilKey(QKeyEvent* e, bool down) {
    if (e->key() != Qt::Key_Tab || (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) return false;
    CQuillfenEditorDoc* doc = GetDocument();
    StencilOverlay* overlay = ActiveStencilOverlay(doc);
    if (!overlay) return false;
    // The held-key state first: drawing shows the stencil again when Tab is
    // no longer down, in case its release went to another window.
    if (down) CView::keyPressEvent(e);
    else CView::keyReleaseEvent(e);
    e->accept();
    if (!down && e->isAutoRepeat()) return true;
    if (overlay->OnTabKey(down)) doc->RefreshAllViews();
    return true;
}

bool CCanvasLayoutView::focusNextPrevChild(bool next) {
    if (ActiveStencilOverlay(GetDocument())) return false;
    return CView::focusNextPrevChild(next);
}

StencilGizmoHit CCanvasLayoutView::StencilGizmoAt(QPoint p) const {
    const StencilOverlay* overlay = ActiveStencilOverlay(GetDocument());
    if (!overlay || overlay->dragMode != kStencilDragNone || overlay->painting || strokeActive_) return kGizmoNone;
    return overlay->HitTestGizmo(GetCanvasClientRect(), PointF{float(p.x()), float(p.y())});
}

bool CCanvasLayoutView::SetStencilCursor(QPoint p) {
    const StencilOverlay* overlay = ActiveStencilOverlay(GetDocument());
    if (!overlay) return false;
    // While a drag runs the cursor of the part that began it stays.
    const StencilGizmoHit hit =
        overlay->dragMode != kStencilDragNone ? StencilGizmoHit(overlay->dragHandle) : StencilGizmoAt(p);
    Qt::CursorShape shape;
    if (!StencilGizmoCursor(hit, shape)) return false;
    setCursor(shape);
    return true;
}

void CCanvasLayoutView::HideBrushCursor() {
    if (!cursorShown_) return;
    const QRect r = BrushCursorRect();
    cursorShown_ = false;
    if (!r.isEmpty()) update(r);
}
