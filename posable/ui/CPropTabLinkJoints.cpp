#include "posable/ui/CPropTabLinkJoints.h"

#include "document/CQuillfenEditorDoc.h"
#include "posable/BoneTabModel.h"
#include "posable/ui/CPropTabBone.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropertiesPane.h"

#include <QPainter>

namespace {
constexpr int kGroupsCell = 1, kJointsCell = 2;
constexpr int kUseIkId = 601, kRemoveAllId = 602;

void UpdatePane() {
    if (CPropertiesPane* pane = CPropertiesPane::Instance()) pane->UpdateForContext();
}
}  // namespace

CPropTabLinkJoints::CPropTabLinkJoints(QWidget* parent) : CPropTabPage(parent, 4109) {
    useIk_ = new CPropCheckbox(this);
    useIk_->Create(this, kUseIkId, "Use IK", QRect());
    removeAll_ = new CPropTextButton(this);
    removeAll_->Create(this, kRemoveAllId, "Remove all links", QRect());
    groups_.push_back({2, {PropCaptionCell(kGroupsCell, 0, 0, 4), PropCaptionCell(kJointsCell, 0, 1, 4)}});
    groups_.push_back({2, {PropWindowCell(useIk_, 0, 0, 4), PropWindowCell(removeAll_, 0, 1, 4)}});
    PlaceGroups();
}

void CPropTabLinkJoints::UpdateControls() {
    CQuillfenEditorDoc* doc = GetActiveDocument();
    const LinkCounts counts = doc ? CountLinks(doc->poseLinkGroups) : LinkCounts{};
    groupsText_ = QString("Groups: %1").arg(counts.groups);
    jointsText_ = QString("Joints: %1").arg(counts.joints);
    const CanvasObject* target = doc ? IkTargetObject(*doc) : nullptr;
    updating_ = true;
    useIk_->setEnabled(target != nullptr);
    useIk_->SetCheck(target && target->posableScene.usePartialIK);
    updating_ = false;
    removeAll_->setEnabled(counts.groups > 0);
    update();
}

bool CPropTabLinkJoints::OnCommand(int id, int code, CWndBase* sender) {
    if (code == kPropClick && (id == kUseIkId || id == kRemoveAllId)) {
        if (updating_) return true;
        CQuillfenEditorDoc* doc = GetActiveDocument();
        const bool changed = doc && (id == kUseIkId ? SetUseIk(*doc, useIk_->checked) : RemoveAllLinks(*doc));
        if (changed) UpdatePane();
        UpdateControls();
        return true;
    }
    return CPropTabPage::OnCommand(id, code, sender);
}

void CPropTabLinkJoints::PaintExtra(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (const PropCell* cell = FindPropCell(groups_, kGroupsCell)) DrawBoneTabCellText(p, cell->rect, groupsText_);
    if (const PropCell* cell = FindPropCell(groups_, kJointsCell)) DrawBoneTabCellText(p, cell->rect, jointsText_);
}
