#include "posable/ui/CPropTabPoseObject.h"

#include "document/CQuillfenEditorDoc.h"
#include "posable/PoseTabEdits.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropNumericEdit.h"
#include "properties/ui/CPropertiesPane.h"

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>

#include <limits>

namespace {

enum PoseObjectCells { kCellNameCaption = 1, kCellNameEdit = 2 };

// The name field's cell: a window cell, which FindPropCell does not look at.
const PropCell* NameEditCell(const std::vector<PropGroup>& groups) {
    for (const PropGroup& g : groups)
        for (const PropCell& c : g.cells)
            if (!c.noWindow && c.kind == kCellNameEdit) return &c;
    return nullptr;
}

PoseObjectField FieldOf(int id) {
    switch (id) {
    case CPropTabPoseObject::kIdX: return PoseObjectField::X;
    case CPropTabPoseObject::kIdY: return PoseObjectField::Y;
    case CPropTabPoseObject::kIdW: return PoseObjectField::Width;
    default: return PoseObjectField::Height;
    }
}

ObjectTransform TransformOf(const CanvasObject& o) { return {o.x, o.y, o.width, o.height, o.rotation, o.opacity}; }

}  // namespace

CPropTabPoseObject::CPropTabPoseObject(QWidget* parent) : CPropTabPage(parent, 4107) {
    const float lo = std::numeric_limits<float>::lowest(), hi = std::numeric_limits<float>::max();
    struct EditSpec {
        CPropNumericEdit** edit;
        int id;
        const char* label;
        float minimum;
    } edits[] = {{&x, kIdX, "X", lo}, {&y, kIdY, "Y", lo}, {&w, kIdW, "W", 1}, {&h, kIdH, "H", 1}};
    for (const EditSpec& s : edits) {
        auto* e = new CPropNumericEdit(this);
        e->Create(this, s.id, QRect());
        e->SetLabel(s.label);
        e->SetLabelWidth(16);
        e->SetStep(1);
        e->SetDecimals(0);
        e->SetRange(s.minimum, hi);
        *s.edit = e;
    }
    link = new CPropLinkButton(this);
    link->Create(this, kIdLink, QRect());
    link->SetCheck(true);

    name = new QLineEdit(this);
    name->setObjectName("PoseObjectName");
    name->setFrame(false);
    name->setFont(QApplication::font("QMessageBox"));
    name->setStyleSheet(
        "QLineEdit { background: rgb(42,45,50); color: rgb(220,224,230); border: none; padding: 0px; "
        "selection-background-color: rgb(60,108,168); }");
    name->installEventFilter(this);
    name->show();

    PropCell nameCell = PropWindowCell(name, 1, 0, 3, 1);
    nameCell.kind = kCellNameEdit;
    groups_.push_back({4,
                       {PropWindowCell(link, 0, 0, 1, 2), PropWindowCell(w, 1, 0), PropWindowCell(h, 1, 1),
                        PropWindowCell(x, 2, 0), PropWindowCell(y, 2, 1)}});
    groups_.push_back({4, {PropCaptionCell(kCellNameCaption, 0, 0), nameCell}});
    PlaceGroups();
}

QString CPropTabPoseObject::CaptionText(int kind) const { return kind == kCellNameCaption ? "Name" : QString(); }

void CPropTabPoseObject::resizeEvent(QResizeEvent* e) {
    CPropTabPage::resizeEvent(e);
    // The field sits inside its drawn frame, at the numeric edits' text height.
    if (const PropCell* c = NameEditCell(groups_))
        name->setGeometry(c->rect.left + 2, c->rect.top + (c->rect.Height() - 16) / 2 + 2, c->rect.Width() - 4, 16);
}

void CPropTabPoseObject::PaintExtra(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (const PropCell* c = NameEditCell(groups_)) {
        const QRect r(c->rect.left, c->rect.top, c->rect.Width(), c->rect.Height());
        p.fillRect(r, ArgbColor(kPropEditBackground));
        DrawPropFrame(p, r, kPropFrame);
    }
    if (!bonesText_.isEmpty()) DrawPropText(p, bonesText_, 12, 68, kPropCaption, CreateUiFont(12));
}

void CPropTabPoseObject::Reload() {
    if (editing_) return;
    CQuillfenEditorDoc* doc = GetActiveDocument();
    const CanvasObject* part = doc ? FindPoseEditorPart(*doc) : nullptr;
    if (!part) {
        if (!bonesText_.isEmpty()) {
            bonesText_.clear();
            update();
        }
        return;
    }
    updating_ = true;
    x->SetValue(part->x), y->SetValue(part->y), w->SetValue(part->width), h->SetValue(part->height);
    const QString partName = QString::fromStdString(part->name);
    if (!name->hasFocus() && name->text() != partName) name->setText(partName);
    updating_ = false;
    const QString bones = QString("Bones: %1").arg(part->bones.size());
    if (bones != bonesText_) {
        bonesText_ = bones;
        update();
    }
}

void CPropTabPoseObject::LiveEdit(int id) {
    CQuillfenEditorDoc* doc = GetActiveDocument();
    CanvasObject* part = doc ? FindPoseEditorPart(*doc) : nullptr;
    if (!part) return;
    const CPropNumericEdit* edit = id == kIdX ? x : id == kIdY ? y : id == kIdW ? w : h;
    const PoseObjectFieldResult r =
        EditPoseObjectField(TransformOf(*part), FieldOf(id), edit->value, link->checked, editing_ ? &snapshot_ : nullptr);
    if (r.otherSideChanged) {
        updating_ = true;
        if (id == kIdW) h->SetValue(r.transform.height);
        else w->SetValue(r.transform.width);
        updating_ = false;
    }
    doc->poseScene.SetObjectTransform(part->id, r.transform);
    doc->SetModifiedFlag(true);
    doc->RefreshAllViews();
}

bool CPropTabPoseObject::OnCommand(int id, int code, CWndBase* sender) {
    if (id < kIdX || id > kIdH) return CPropTabPage::OnCommand(id, code, sender);
    CQuillfenEditorDoc* doc = GetActiveDocument();
    switch (code) {
    case kPropBegin:
        if (editing_) return true;
        if (const CanvasObject* part = doc ? FindPoseEditorPart(*doc) : nullptr) {
            snapshotId_ = part->id;
            snapshot_ = TransformOf(*part);
            editing_ = true;
        }
        return true;
    case kPropChanged:
        if (!updating_) LiveEdit(id);
        return true;
    case kPropEnd: {
        if (!editing_) return true;
        editing_ = false;
        const CanvasObject* part = doc ? doc->poseScene.FindObject(snapshotId_) : nullptr;
        if (part && doc->IsPoseEditorOpen()) {
            doc->CommitObjectTransform(snapshotId_, snapshot_, TransformOf(*part));
            doc->SetModifiedFlag(true);
            doc->UpdateAllViews();
        }
        return true;
    }
    default: return true;
    }
}

bool CPropTabPoseObject::eventFilter(QObject* watched, QEvent* e) {
    if (watched == name && e->type() == QEvent::FocusOut) CommitName();
    return CPropTabPage::eventFilter(watched, e);
}

void CPropTabPoseObject::CommitName() {
    CQuillfenEditorDoc* doc = GetActiveDocument();
    if (!doc) return;
    std::string shown;
    const PartNameCommit result = CommitPoseEditorPartName(*doc, name->text().toStdString(), shown);
    if (result == PartNameCommit::NoPart) return;
    const QString text = QString::fromStdString(shown);
    if (name->text() != text) name->setText(text);
    if (result == PartNameCommit::Renamed)
        if (CPropertiesPane* pane = CPropertiesPane::Instance()) pane->UpdateForContext();
}
