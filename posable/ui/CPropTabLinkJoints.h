#pragma once
// The "Links" property tab of the Link Joints tool: how many joint-link
// groups and linked joints the Pose Editor holds, "Use IK" of the posable
// object selected on the canvas, and "Remove all links".
#include "properties/ui/CPropTabs.h"

#include <QString>

class CPropCheckbox;
class CPropTextButton;

class CPropTabLinkJoints : public CPropTabPage {
    Q_OBJECT
public:
    explicit CPropTabLinkJoints(QWidget* parent = nullptr);
    bool AppliesTo(const TabContext& ctx) const override { return PropTabApplies(PropTabKind::LinkJoints, ctx); }
    std::string GetTitle() const override { return "Links"; }
    void OnContext(const TabContext&) override { UpdateControls(); }
    void Refresh() override { UpdateControls(); }
    bool OnCommand(int id, int code, CWndBase* sender) override;

    void UpdateControls();
    CPropCheckbox* UseIk() const { return useIk_; }
    CPropTextButton* RemoveAll() const { return removeAll_; }
    const QString& GroupsText() const { return groupsText_; }
    const QString& JointsText() const { return jointsText_; }

protected:
    void PaintExtra(QPainter& p) override;

private:
    CPropCheckbox* useIk_ = nullptr;
    CPropTextButton* removeAll_ = nullptr;
    QString groupsText_, jointsText_;
};
