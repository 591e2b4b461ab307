#include "posable/ui/CPropTabAddBone.h"

#include "document/CQuillfenEditorDoc.h"
#include "posable/BoneTabModel.h"
#include "properties/ui/CPropButtons.h"

#include <QPainter>

namespace {
constexpr int kDeleteLastId = 401;
}

CPropTabAddBone::CPropTabAddBone(QWidget* parent) : CPropTabPage(parent, 4108) {
    deleteLast_ = new CPropTextButton(this);
    deleteLast_->Create(this, kDeleteLastId, "Delete last", QRect(12, 34, 86, 22));
    deleteLast_->setEnabled(false);
}

void CPropTabAddBone::Refresh() {
    CQuillfenEditorDoc* doc = GetActiveDocument();
    const AddBoneTabState s = doc ? ReadAddBoneTab(*doc) : AddBoneTabState{};
    text_ = QString("Bones: %1").arg(s.boneCount);
    deleteLast_->setEnabled(s.canDeleteLast);
    update();
}

bool CPropTabAddBone::OnCommand(int id, int code, CWndBase* sender) {
    if (id == kDeleteLastId && code == kPropClick) {
        if (CQuillfenEditorDoc* doc = GetActiveDocument()) DeleteLastBone(*doc);
        Refresh();
        return true;
    }
    return CPropTabPage::OnCommand(id, code, sender);
}

void CPropTabAddBone::resizeEvent(QResizeEvent* e) {
    CPropTabPage::resizeEvent(e);
    deleteLast_->setGeometry(12, 34, 86, 22);
}

void CPropTabAddBone::PaintExtra(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (!text_.isEmpty()) DrawPropText(p, text_, 12, 10, 0xFFD7DCE2, CreateUiFont(12));
}
