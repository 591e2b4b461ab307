#pragma once
// The canvas "Pose" property tab of the Pose tool, for the selected posable
// object: "Reset Pose" puts it back into its rest pose (one undo step) and
// "Use Partial IK" switches whether a tail drag solves the chain by inverse
// kinematics. Both controls are disabled without a posable object.
#include "properties/ui/CPropTabs.h"

class CPropCheckbox;
class CPropTextButton;

class CPropTabPose : public CPropTabPage {
    Q_OBJECT
public:
    enum ControlIds : int { kIdReset = 701, kIdPartialIK = 702 };

    explicit CPropTabPose(QWidget* parent = nullptr);
    bool AppliesTo(const TabContext& ctx) const override { return PropTabApplies(PropTabKind::Pose, ctx); }
    std::string GetTitle() const override { return "Pose"; }
    void OnContext(const TabContext& ctx) override;
    void Refresh() override { UpdateControls(); }
    bool OnCommand(int id, int code, CWndBase* sender) override;
    void ResetPose();

    CPropTextButton* reset = nullptr;
    CPropCheckbox* partialIK = nullptr;
    const std::string& ObjectId() const { return objectId_; }

private:
    void UpdateControls();
    std::string objectId_;
};

// Registers both "Pose" tabs (this one and the Pose Editor's) with the
// properties pane.
void RegisterPoseTabs();
