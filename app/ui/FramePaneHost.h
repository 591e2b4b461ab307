#pragma once
// What the properties pane and its tabs reach of the main frame: the
// workspace view's document and the right pane's colour wheel.
#include "properties/ui/IPropertyTab.h"

class CMainFrame;
class CWorkspaceArea;

class FramePaneHost : public PropertiesPaneHost {
public:
    explicit FramePaneHost(CMainFrame& frame) : frame_(frame) {}
    CQuillfenEditorDoc* GetActiveDocument() override;
    bool HasColorWheel() override;
    std::string ColorWheelCaption() override;
    void SetColorWheelCaption(const std::string& text) override;
    void LoadColorWheel(uint32_t colorRef) override;

private:
    CMainFrame& frame_;
};

// Gives a picked colour to the properties pane's colour sink when it has one
// (the active tab then re-reads the model); false when there is none.
bool DeliverToPropertiesPaneSink(CWorkspaceArea* workspace, uint32_t argb);
// A colour-wheel drag as one interaction of the pane's colour sink; false
// when there is none.
bool BeginPropertiesPaneColorEdit(CWorkspaceArea* workspace);
void EndPropertiesPaneColorEdit(CWorkspaceArea* workspace);
// While the frame gives the wheel's colour to a target the pane has no sink
// for (a light's tint), the pane does not load that colour back into the
// wheel, which already shows it.
class WheelDeliveryScope {
public:
    explicit WheelDeliveryScope(CWorkspaceArea* workspace);
    ~WheelDeliveryScope();
    WheelDeliveryScope(const WheelDeliveryScope&) = delete;
    WheelDeliveryScope& operator=(const WheelDeliveryScope&) = delete;

private:
    CWorkspaceArea* workspace_;
};
