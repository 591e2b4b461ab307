#include "posable/ui/CPropTabBone.h"

#include "document/CQuillfenEditorDoc.h"
#include "posable/ui/CPropTabAddBone.h"
#include "posable/ui/CPropTabLinkJoints.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropNumericEdit.h"
#include "properties/ui/CPropertiesPane.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int kTitleCell = 1;
constexpr int kCheckIds[3] = {kBoneTabRoundHead, kBoneTabRoundTail, kBoneTabStretchable};
constexpr const char* kCheckLabels[3] = {"Round head cap", "Round tail cap", "Stretchable"};

void UpdatePane() {
    if (CPropertiesPane* pane = CPropertiesPane::Instance()) pane->UpdateForContext();
}
}  // namespace

void DrawBoneTabCellText(QPainter& p, const PropRect& cell, const QString& text) {
    if (text.isEmpty()) return;
    const QFont font = CreateUiFont(12);
    const QRect r(cell.left + 4, cell.top, std::max(0, cell.Width() - 4), cell.Height());
    p.setFont(font);
    p.setPen(ArgbColor(0xFFD7DCE2));
    p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               QFontMetrics(font).elidedText(text, Qt::ElideRight, r.width()));
}

CPropTabBone::CPropTabBone(QWidget* parent) : CPropTabPage(parent, 4106) {
    const std::vector<BoneNumericField>& fields = BoneNumericFields();
    for (size_t i = 0; i < fields.size() && i < 10; ++i) {
        const BoneNumericField& f = fields[i];
        auto* e = new CPropNumericEdit(this);
        e->Create(this, f.id, QRect());
        e->SetLabel(f.label);
        e->SetLabelWidth(55);
        e->SetRange(f.minimum, f.maximum);
        e->SetStep(f.step);
        e->SetDecimals(f.decimals);
        edits_[i] = e;
    }
    for (int i = 0; i < 3; ++i) {
        checks_[i] = new CPropCheckbox(this);
        checks_[i]->Create(this, kCheckIds[i], kCheckLabels[i], QRect());
    }
    auto edit = [&](int id) { return NumericEdit(id); };
    groups_.push_back({3,
                       {PropCaptionCell(kTitleCell, 0, 0, 4), PropWindowCell(edit(kBoneTabHeadCap), 0, 1, 2),
                        PropWindowCell(edit(kBoneTabTailCap), 2, 1, 2), PropWindowCell(edit(kBoneTabHeadCapWidth), 0, 2, 2),
                        PropWindowCell(edit(kBoneTabTailCapWidth), 2, 2, 2)}});
    groups_.push_back({4,
                       {PropWindowCell(edit(kBoneTabWidth), 0, 0, 2), PropWindowCell(edit(kBoneTabFeather), 2, 0, 2),
                        PropWindowCell(edit(kBoneTabHeadShift), 0, 1, 2), PropWindowCell(edit(kBoneTabTailShift), 2, 1, 2),
                        PropWindowCell(edit(kBoneTabHeadOffset), 0, 2, 2),
                        PropWindowCell(edit(kBoneTabTailOffset), 2, 2, 2)}});
    groups_.push_back({3,
                       {PropWindowCell(checks_[0], 0, 0, 4), PropWindowCell(checks_[1], 0, 1, 4),
                        PropWindowCell(checks_[2], 0, 2, 4)}});
    PlaceGroups();
}

CPropNumericEdit* CPropTabBone::NumericEdit(int id) const {
    return id >= kBoneTabWidth && id <= kBoneTabTailOffset ? edits_[id - kBoneTabWidth] : nullptr;
}

CPropCheckbox* CPropTabBone::Checkbox(int id) const {
    return id >= kBoneTabRoundHead && id <= kBoneTabStretchable ? checks_[id - kBoneTabRoundHead] : nullptr;
}

void CPropTabBone::OnContext(const TabContext& ctx) {
    objectId_ = ctx.poseSelectedObjectId;
    boneId_ = ctx.poseBoneId;
    RefreshFromBone();
}

void CPropTabBone::RefreshFromBone() {
    // The values being dragged are not overwritten by the views' updates.
    if (edit_.Open()) return;
    title_.clear();
    CQuillfenEditorDoc* doc = GetActiveDocument();
    if (const Bone* b = doc ? FindPoseEditorBone(*doc, objectId_, boneId_) : nullptr) {
        title_ = QString::fromStdString(b->name);
        updating_ = true;
        for (const BoneNumericField& f : BoneNumericFields())
            if (CPropNumericEdit* e = NumericEdit(f.id)) e->SetValue(float(BoneFieldShown(*b, f.id)));
        for (int id : kCheckIds) Checkbox(id)->SetCheck(BoneCheckShown(*b, id));
        updating_ = false;
    }
    update();
}

void CPropTabBone::CommitEdit() {
    CQuillfenEditorDoc* doc = GetActiveDocument();
    if (doc) edit_.Commit(*doc);
    else edit_ = BoneTabEdit{};
    // The selection may have moved during the interaction: show it now.
    RefreshFromBone();
    UpdatePane();
}

void CPropTabBone::OnCheckbox(int id) {
    CQuillfenEditorDoc* doc = GetActiveDocument();
    if (!doc || !ApplyBoneCheck(*doc, objectId_, boneId_, id, Checkbox(id)->checked)) {
        RefreshFromBone();  // the box shows the model again
        return;
    }
    UpdatePane();
}

bool CPropTabBone::OnCommand(int id, int code, CWndBase* sender) {
    if (NumericEdit(id)) {
        CQuillfenEditorDoc* doc = GetActiveDocument();
        switch (code) {
        case kPropBegin:
            if (doc && !edit_.Open()) edit_.Begin(*doc, objectId_, boneId_);
            return true;
        case kPropChanged:
            if (!updating_ && doc) edit_.Live(*doc, id, NumericEdit(id)->value);
            return true;
        case kPropEnd:
            if (edit_.Open()) CommitEdit();
            return true;
        default: break;
        }
    } else if (Checkbox(id) && code == kPropClick) {
        if (!updating_) OnCheckbox(id);
        return true;
    }
    return CPropTabPage::OnCommand(id, code, sender);
}

void CPropTabBone::PaintExtra(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (const PropCell* cell = FindPropCell(groups_, kTitleCell)) DrawBoneTabCellText(p, cell->rect, title_);
}

void RegisterBoneTabs() {
    CPropertiesPane::RegisterTabFactory(PropTabKind::Bone,
                                        [](QWidget* pane) -> IPropertyTab* { return new CPropTabBone(pane); });
    CPropertiesPane::RegisterTabFactory(PropTabKind::AddBone,
                                        [](QWidget* pane) -> IPropertyTab* { return new CPropTabAddBone(pane); });
    CPropertiesPane::RegisterTabFactory(PropTabKind::LinkJoints,
                                        [](QWidget* pane) -> IPropertyTab* { return new CPropTabLinkJoints(pane); });
}
