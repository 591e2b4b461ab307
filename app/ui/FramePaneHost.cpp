#include "app/ui/FramePaneHost.h"

#include "app/ui/CMainFrame.h"
#include "app/ui/CRightPane.h"
#include "platform/qt/CView.h"
#include "properties/ui/CColorWheelWnd.h"

CQuillfenEditorDoc* FramePaneHost::GetActiveDocument() {
    CView* view = frame_.GetWorkspaceView();
    return view ? view->GetDocument() : nullptr;
}

bool FramePaneHost::HasColorWheel() {
    CRightPane* pane = frame_.RightPaneWnd();
    return pane && pane->ColorWheel();
}

std::string FramePaneHost::ColorWheelCaption() {
    CRightPane* pane = frame_.RightPaneWnd();
    return pane && pane->ColorWheel() ? pane->ColorWheel()->caption : std::string();
}

void FramePaneHost::SetColorWheelCaption(const std::string& text) { frame_.SetColorWheelCaption(text); }

void FramePaneHost::LoadColorWheel(uint32_t colorRef) {
    CRightPane* pane = frame_.RightPaneWnd();
    if (pane && pane->ColorWheel()) pane->ColorWheel()->SetColor(colorRef);
}

bool BeginPropertiesPaneColorEdit(CWorkspaceArea* workspace) {
    CPropertiesPane* pane = workspace ? workspace->PropertiesPane() : nullptr;
    return pane && pane->BeginColorEdit();
}

void EndPropertiesPaneColorEdit(CWorkspaceArea* workspace) {
    if (CPropertiesPane* pane = workspace ? workspace->PropertiesPane() : nullptr) pane->EndColorEdit();
}

bool DeliverToPropertiesPaneSink(CWorkspaceArea* workspace, uint32_t argb) {
    CPropertiesPane* pane = workspace ? workspace->PropertiesPane() : nullptr;
    if (!pane || !pane->ColorSink()) return false;
    pane->DeliverPickedColor(argb);
    return true;
}

WheelDeliveryScope::WheelDeliveryScope(CWorkspaceArea* workspace) : workspace_(workspace) {
    if (CPropertiesPane* pane = workspace_ ? workspace_->PropertiesPane() : nullptr) pane->BeginWheelDelivery();
}

WheelDeliveryScope::~WheelDeliveryScope() {
    if (CPropertiesPane* pane = workspace_ ? workspace_->PropertiesPane() : nullptr) pane->EndWheelDelivery();
}
