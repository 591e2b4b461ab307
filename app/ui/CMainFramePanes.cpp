// The frame's wiring of its icon toolbar, tool strip and right pane: the
// main toolbar's buttons, the pane toggles of View > Toolbars and Docking
// Windows, and the services through which the colour wheel and the layer
// list reach the document.
#include "app/IconShapes.h"
#include "app/ui/CLayerListWnd.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CRightPane.h"
#include "app/ui/CVerticalToolStripWnd.h"
#include "app/ui/FramePaneHost.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/CommandIds.h"
#include "platform/qt/CToolbarHostWnd.h"
#include "platform/qt/CView.h"
#include "platform/qt/CommandUi.h"
#include "posable/ui/CBoneListWnd.h"
#include "properties/ui/CColorWheelWnd.h"
#include "properties/ui/CPropDialogs.h"
#include "properties/ui/CPropertiesPane.h"

#include <QAction>
#include <QDockWidget>
#include <QMenu>

namespace {
CToolbarButtonDesc MainButton(int id, const char* icon, const char* text = "", const char* tip = "") {
    CToolbarButtonDesc d = CToolbarButtonDesc::Command(id, icon, text, tip);
    d.face.polygon = BuiltInIcon(icon);
    return d;
}
}  // namespace

CRightPane* CMainFrame::RightPaneWnd() const { return workspace_ ? workspace_->RightPane() : nullptr; }

void CMainFrame::BuildMainToolbar() {
    CToolbarHostWnd* bar = mainToolbar_;
    bar->SetDarkTheme();
    // The main toolbar's icon files are drawn light: they are shown as they are.
    bar->SetInvertIcons(false);
    bar->SetIconSize(36);
    bar->SetCommandUi(commandUi_.get());
    bar->SetButtons({MainButton(kCmdFileNew, "new.png", "New", "Create a new project"),
                     MainButton(kCmdFileOpen, "open.png", "Open", "Open a project"),
                     MainButton(kCmdFileSave, "save.png", "Save", "Save the project"),
                     CToolbarButtonDesc::MakeSeparator(12), CToolbarButtonDesc::MakeLabel("Main", 40),
                     CToolbarButtonDesc::MakeSeparator(8),
                     MainButton(kCmdBringToTop, "top.png", "Bring to Top", "Move the selected layer above all others"),
                     MainButton(kCmdRaise, "moveup.png", "Raise", "Move the selected layer one position up"),
                     MainButton(kCmdLower, "movedown.png", "Lower", "Move the selected layer one position down"),
                     MainButton(kCmdSendToBottom, "bottom.png", "Send to Bottom", "Move the selected layer below all others"),
                     CToolbarButtonDesc::MakeSeparator(8)});
    toolbarPane_->setFixedHeight(bar->BarHeight() + 2);
    toolsStrip_->Strip()->SetCommandUi(commandUi_.get());
}

void CMainFrame::WirePanes() {
    CRightPane* pane = RightPaneWnd();
    if (!pane) return;
    pane->ColorWheel()->SetProfile(profile_);
    if (pane->CanvasPage()) pane->CanvasPage()->Toolbar()->SetCommandUi(commandUi_.get());
    if (pane->PosablePage()) pane->PosablePage()->Toolbar()->SetCommandUi(commandUi_.get());
    if (CPropertiesPane* props = workspace_->PropertiesPane(); props && props->SelectionToolbar())
        props->SelectionToolbar()->SetCommandUi(commandUi_.get());
    if (CLayerListWnd* list = pane->LayerList()) {
        list->documentSource = [this]() -> CQuillfenEditorDoc* {
            CView* v = GetWorkspaceView();
            return v && v->GetDocument() ? v->GetDocument() : doc_;
        };
        list->pickColor = [list](uint32_t& argb) {
            // The program's own colour dialog, the starting colour shown beside the new one.
            CMyColorSelectDlg dlg(list);
            dlg.color = dlg.previousColor = ArgbToColorRef(argb);
            dlg.hasPrevious = true;
            if (dlg.exec() != QDialog::Accepted) return false;
            argb = ColorRefToArgb(dlg.color);
            return true;
        };
    }
    if (auto* bones = pane->PosablePage() ? qobject_cast<CBoneListWnd*>(pane->PosablePage()->List()) : nullptr)
        bones->documentSource = [this]() -> CQuillfenEditorDoc* {
            CView* v = GetWorkspaceView();
            return v && v->GetDocument() ? v->GetDocument() : doc_;
        };
    pane->colorPicked = [this](uint32_t argb) { DeliverPickedColor(argb); };
    pane->colorDragBegan = [this] { BeginColorDrag(); };
    pane->colorDragEnded = [this] { EndColorDrag(); };
    pane->applyInpaint = [this] { ApplyInpaint(); };
    pane->cancelInpaint = [this] { CancelInpaint(); };
}

void CMainFrame::BuildPaneToggles() {
    // The "<placeholder>" of View > Toolbars and Docking Windows becomes one
    // checkable item per docking pane.
    QAction* placeholder = ActionFor(kCmdViewToolbar);
    if (!placeholder) return;
    QMenu* menu = nullptr;
    for (QObject* o : placeholder->associatedObjects())
        if (auto* m = qobject_cast<QMenu*>(o)) menu = m;
    if (!menu) return;
    for (QDockWidget* dock : {toolbarPane_, toolsPane_}) {
        auto* a = new QAction(dock->windowTitle(), menu);
        a->setCheckable(true);
        a->setChecked(true);
        connect(a, &QAction::toggled, dock, [dock](bool on) { dock->setVisible(on); });
        connect(dock, &QDockWidget::visibilityChanged, a, [a, dock](bool) { a->setChecked(!dock->isHidden()); });
        menu->insertAction(placeholder, a);
    }
    // Hidden rather than removed: the command binding still refers to it.
    placeholder->setVisible(false);
}

void CMainFrame::SetLayerListHoverObject(const std::string& objectId) {
    CRightPane* pane = RightPaneWnd();
    CLayerListWnd* list = pane ? pane->LayerList() : nullptr;
    if (!list || list->hoverObjectId == objectId) return;
    list->hoverObjectId = objectId;
    list->update();
}

void CMainFrame::SetColorWheelCaption(const std::string& text) {
    CRightPane* pane = RightPaneWnd();
    if (!pane || pane->ColorWheel()->caption == text) return;
    pane->ColorWheel()->caption = text;
    pane->ColorWheel()->update();
}

void CMainFrame::BeginColorDrag() {
    colorDrag_ = {};
    colorDrag_.active = true;
    // The pane's colour target makes the drag its own one step.
    if (BeginPropertiesPaneColorEdit(workspace_)) return;
    if (!doc_ || doc_->workspaceMode != 0) return;
    CanvasDocument& scene = doc_->mainScene;
    if (scene.selectedIds.size() != 1) return;
    if (CanvasObject* o = scene.FindObject(scene.primarySelectedId); o && o->kind == kObjectLightCone) {
        colorDrag_.lightId = o->id;
        colorDrag_.before = o->lightCone;
    }
}

void CMainFrame::EndColorDrag() {
    if (!colorDrag_.active) return;
    EndPropertiesPaneColorEdit(workspace_);
    ColorDrag drag = colorDrag_;
    colorDrag_ = {};
    if (!doc_ || drag.lightId.empty()) return;
    CanvasObject* o = doc_->mainScene.FindObject(drag.lightId);
    if (!o || o->lightCone == drag.before) return;
    // The whole drag becomes one undo step.
    WheelDeliveryScope delivery(workspace_);
    doc_->CommitLightConeParams(o->id, drag.before, o->lightCone);
    doc_->SetModifiedFlag(true);
    doc_->RefreshAllViews();
    RefreshPropertiesPane();
}

void CMainFrame::DeliverPickedColor(uint32_t argb) {
    if (activeColorSink && activeColorSink(argb)) return;
    CView* v = GetWorkspaceView();
    CQuillfenEditorDoc* doc = v && v->GetDocument() ? v->GetDocument() : doc_;
    if (!doc) return;
    if (colorDrag_.active) {
        // Live while dragging; EndColorDrag records the step.
        if (colorDrag_.lightId.empty()) return;
        CanvasObject* o = doc->mainScene.FindObject(colorDrag_.lightId);
        const uint32_t tint = 0xFF000000u | (argb & 0xFFFFFF);
        if (!o || o->lightCone.tint == tint) return;
        WheelDeliveryScope delivery(workspace_);
        o->lightCone.tint = tint;
        o->InvalidateCaches();
        doc->RefreshAllViews();
        return;
    }
    WheelDeliveryScope delivery(workspace_);
    if (!doc->SetLightTint(argb)) return;
    RefreshPropertiesPane();
}

bool CMainFrame::GetPaintColour(uint32_t& argb) {
    CRightPane* pane = RightPaneWnd();
    CColorWheelWnd* wheel = pane ? pane->ColorWheel() : nullptr;
    if (!wheel) return false;
    argb = wheel->Argb();
    return true;
}

void CMainFrame::SetPaintColour(uint32_t argb) {
    CRightPane* pane = RightPaneWnd();
    if (CColorWheelWnd* wheel = pane ? pane->ColorWheel() : nullptr)
        wheel->SetColor(((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16));
    DeliverPickedColor(argb | 0xFF000000u);
}
