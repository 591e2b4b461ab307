#pragma once
// The "Bone" property tab of the Pose Editor: the shape settings of the
// selected bone (width, feather, cap lengths and widths, shifts, offsets,
// round caps, stretchable). Edits show in every view at once; each finished
// interaction is one undo step.
#include "posable/BoneTabModel.h"
#include "properties/ui/CPropTabs.h"

#include <QString>

#include <string>

class CPropCheckbox;
class CPropNumericEdit;

class CPropTabBone : public CPropTabPage {
    Q_OBJECT
public:
    explicit CPropTabBone(QWidget* parent = nullptr);
    bool AppliesTo(const TabContext& ctx) const override { return PropTabApplies(PropTabKind::Bone, ctx); }
    std::string GetTitle() const override { return "Bone"; }
    void OnContext(const TabContext& ctx) override;
    void Refresh() override { RefreshFromBone(); }
    bool OnCommand(int id, int code, CWndBase* sender) override;

    // Loads the selected bone's values into the controls; nothing while a
    // value is being edited.
    void RefreshFromBone();
    // The control with the id (501..510, 520..522), or null.
    CPropNumericEdit* NumericEdit(int id) const;
    CPropCheckbox* Checkbox(int id) const;
    const QString& Title() const { return title_; }
    bool Editing() const { return edit_.Open(); }

protected:
    void PaintExtra(QPainter& p) override;

private:
    void CommitEdit();
    void OnCheckbox(int id);

    CPropNumericEdit* edits_[10] = {};
    CPropCheckbox* checks_[3] = {};
    std::string objectId_, boneId_;
    QString title_;
    BoneTabEdit edit_;
};

// A tab's one-line text in a grid cell: 12 px, left edge 4 px in, vertically
// centred, cut with an ellipsis.
void DrawBoneTabCellText(QPainter& p, const PropRect& cell, const QString& text);

// Registers the Bone, Add Bone and Links tabs with the properties pane.
void RegisterBoneTabs();
