#pragma once
// The Pose Editor's "Pose" property tab: the place (X, Y, W, H) and the name
// of the part being rigged, the first part of the Pose Editor scene, with a
// link that keeps W:H as it was when a drag or step began, and its number of
// bones. Each numeric interaction is one undo step; the name is committed
// when its field loses the focus.
#include "properties/ui/CPropTabs.h"

#include <QString>

class CPropLinkButton;
class CPropNumericEdit;
class QLineEdit;

class CPropTabPoseObject : public CPropTabPage {
    Q_OBJECT
public:
    enum ControlIds : int { kIdX = 301, kIdY = 302, kIdW = 303, kIdH = 304, kIdLink = 305, kIdName = 306 };

    explicit CPropTabPoseObject(QWidget* parent = nullptr);
    bool AppliesTo(const TabContext& ctx) const override { return PropTabApplies(PropTabKind::PoseObject, ctx); }
    std::string GetTitle() const override { return "Pose"; }
    void OnContext(const TabContext&) override { Reload(); }
    void Refresh() override { Reload(); }
    bool OnCommand(int id, int code, CWndBase* sender) override;
    // The name field's text, trimmed, becomes the part's name (see
    // CommitPoseEditorPartName); run when the field loses the focus.
    void CommitName();

    CPropNumericEdit *x = nullptr, *y = nullptr, *w = nullptr, *h = nullptr;
    CPropLinkButton* link = nullptr;
    QLineEdit* name = nullptr;
    const QString& BonesText() const { return bonesText_; }
    bool Editing() const { return editing_; }

protected:
    QString CaptionText(int kind) const override;
    void PaintExtra(QPainter& p) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void Reload();
    void LiveEdit(int id);
    bool editing_ = false;
    ObjectTransform snapshot_;
    std::string snapshotId_;
    QString bonesText_;
};
