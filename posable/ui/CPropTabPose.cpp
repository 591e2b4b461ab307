#include "posable/ui/CPropTabPose.h"

#include "canvas_view/ui/CCanvasLayoutView.h"
#include "document/CQuillfenEditorDoc.h"
#include "posable/PoseTabEdits.h"
#include "posable/ui/CPropTabPoseObject.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropertiesPane.h"

namespace {

// The visible canvas view showing the document, or null (another workspace).
CCanvasLayoutView* CanvasViewOf(QWidget* from, const CQuillfenEditorDoc* doc) {
    for (CCanvasLayoutView* v : from->window()->findChildren<CCanvasLayoutView*>())
        if (v->GetDocument() == doc && v->isVisible()) return v;
    return nullptr;
}

}  // namespace

CPropTabPose::CPropTabPose(QWidget* parent) : CPropTabPage(parent, 4112) {
    reset = new CPropTextButton(this);
    reset->Create(this, kIdReset, "Reset Pose", QRect());
    partialIK = new CPropCheckbox(this);
    partialIK->Create(this, kIdPartialIK, "Use Partial IK", QRect());
    groups_.push_back({2, {PropWindowCell(reset, 0, 0, 4, 1), PropWindowCell(partialIK, 0, 1, 4, 1)}});
    PlaceGroups();
    UpdateControls();
}

void CPropTabPose::OnContext(const TabContext& ctx) {
    objectId_ = ctx.objectId;
    UpdateControls();
}

void CPropTabPose::UpdateControls() {
    CQuillfenEditorDoc* doc = GetActiveDocument();
    const CanvasObject* o = doc && !objectId_.empty() ? doc->mainScene.FindObject(objectId_) : nullptr;
    const bool posable = o && o->kind == kObjectPosable;
    reset->setEnabled(posable);
    partialIK->setEnabled(posable);
    partialIK->SetCheck(posable && o->posableScene.usePartialIK);
    update();
}

void CPropTabPose::ResetPose() {
    CQuillfenEditorDoc* doc = GetActiveDocument();
    if (!doc) return;
    CCanvasLayoutView* view = CanvasViewOf(this, doc);
    // A pose being dragged on the canvas is what the user sees: undo brings it back.
    LivePose live;
    const bool hasLive = view && view->PoseSession().open && view->PoseSession().objectId == doc->mainScene.primarySelectedId;
    if (hasLive) {
        const CanvasPoseSession& s = view->PoseSession();
        live = {CanvasDocument::BuildPartPoses(s.runtime), s.scaleX, s.scaleY, s.bounds.x, s.bounds.y};
    }
    if (!ResetPosableObjectPose(*doc, hasLive ? &live : nullptr)) return;
    if (view) view->RestartPoseSession();
    if (CPropertiesPane* pane = CPropertiesPane::Instance()) pane->UpdateForContext();
}

bool CPropTabPose::OnCommand(int id, int code, CWndBase* sender) {
    if (code != kPropClick || (id != kIdReset && id != kIdPartialIK))
        return CPropTabPage::OnCommand(id, code, sender);
    if (id == kIdReset) {
        ResetPose();
        return true;
    }
    CQuillfenEditorDoc* doc = GetActiveDocument();
    if (doc && SetPosablePartialIK(*doc, objectId_, partialIK->checked)) {
        if (CPropertiesPane* pane = CPropertiesPane::Instance()) pane->UpdateForContext();
    }
    UpdateControls();
    return true;
}

void RegisterPoseTabs() {
    CPropertiesPane::RegisterTabFactory(PropTabKind::PoseObject,
                                        [](QWidget* pane) -> IPropertyTab* { return new CPropTabPoseObject(pane); });
    CPropertiesPane::RegisterTabFactory(PropTabKind::Pose,
                                        [](QWidget* pane) -> IPropertyTab* { return new CPropTabPose(pane); });
}
