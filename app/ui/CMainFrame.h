#pragma once
// The program's one top-level window: the menu bar, the fixed "Toolbar" pane
// along the top, the fixed "Tools" pane along the left and the workspace as
// its client. It routes commands through the command table and offers the
// services through which views, panes and the document reach each other.
#include "app/ui/CWorkspaceArea.h"
#include "document/DocumentHost.h"
#include "document/PaintSessionProvider.h"
#include "scene/CanvasObject.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>
#include <string>

class CommandTable;
class CommandUi;
class CQuillfenEditorDoc;
class CView;
class CRightPane;
class CToolbarHostWnd;
class CVerticalToolsPane;
class QAction;
class QDockWidget;
class QMenu;
class PropertiesPaneHost;

class CMainFrame : public QMainWindow, public DocumentHost, public PaintSessionProvider {
    Q_OBJECT
public:
    CMainFrame(CommandTable& commands, Prompts* prompts, Profile* profile);
    ~CMainFrame() override;

    // Builds the menu bar, the panes and the workspace hosting a view made by
    // makeView on doc. False when a part cannot be made.
    bool Create(const CWorkspaceArea::ViewFactory& makeView, CQuillfenEditorDoc* doc);

    // Places the panes and the workspace's children for the current size now,
    // also while the frame is hidden.
    void LayoutNow();
    // Gives the frame its first size: preferred, shrunk where needed so that
    // the window with its title bar and borders fits the available area of
    // its screen (in device-independent pixels, so at any scale factor), and
    // centres it there.
    void PlaceInitially(const QSize& preferred);
    // The arithmetic of PlaceInitially: the client size for a frame whose
    // window-manager decoration adds decoration, within available.
    static QRect InitialGeometry(const QSize& preferred, const QRect& available, const QSize& decoration);
    // The view hosted in the workspace, or null.
    CView* GetWorkspaceView() const;
    CWorkspaceArea* Workspace() const { return workspace_; }
    CQuillfenEditorDoc* Document() const { return doc_; }
    // Switches the hosted view; mode 0 hosts the canvas layout view.
    bool SetWorkspaceModeTo(int mode);
    const std::string& StatusHint() const { return statusHint_; }
    void SetLayerListHoverObject(const std::string& objectId);
    void SetColorWheelCaption(const std::string& text);
    // Gives a picked colour (0xAARRGGBB) to the properties pane's active
    // colour sink, or else as the tint of the one selected light cone. Inside
    // a colour drag (BeginColorDrag .. EndColorDrag) the target changes live
    // and the whole drag is recorded as one undo step when it ends.
    void DeliverPickedColor(uint32_t argb);
    void BeginColorDrag();
    void EndColorDrag();
    // The properties pane's active colour sink: true when it took the colour.
    std::function<bool(uint32_t argb)> activeColorSink;

    CToolbarHostWnd* MainToolbar() const { return mainToolbar_; }
    CVerticalToolsPane* ToolsStrip() const { return toolsStrip_; }
    CRightPane* RightPaneWnd() const;
    // The inpaint workspace's Apply (the fill on a worker behind the progress
    // dialog, then back to the canvas) and Cancel (back to the canvas).
    void ApplyInpaint();
    void CancelInpaint();

    // The menu action of a command id (the first one when several), or null.
    QAction* ActionFor(uint32_t id) const;
    CommandUi& CommandUiBinding() { return *commandUi_; }
    CommandTable& Commands() { return commands_; }
    QDockWidget* ToolbarPane() const { return toolbarPane_; }
    QDockWidget* ToolsPane() const { return toolsPane_; }
    // Refreshes the "Recent File" entries from a list of paths.
    void SetRecentFiles(const std::vector<std::string>& paths, const std::function<void(const std::string&)>& open);

    // Asked before the window closes; false keeps it open (a declined save).
    std::function<bool()> canClose;
    // The view factory of each workspace mode the frame can host.
    std::map<int, CWorkspaceArea::ViewFactory> viewFactories;

    // DocumentHost
    void UpdateAllViews() override;
    void InvalidateAllViews() override;
    void RefreshPropertiesPane() override;
    void UpdateStatusText() override;
    void SetStatusHint(const std::string& text) override;
    void SetWorkspaceMode(int mode) override;
    Prompts* GetPrompts() override { return prompts_; }
    // Runs the task from the event loop once no modal dialog or pop-up is up.
    bool PostIdleTask(std::function<void()> task) override;
    Profile* GetProfile() override { return profile_; }

    // PaintSessionProvider: the frame knows which of its views paints.
    DocumentEditSession* FindPaintingView() override;
    // The paint colour is the right pane wheel's.
    bool GetPaintColour(uint32_t& argb) override;
    void SetPaintColour(uint32_t argb) override;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void BuildMenu(QMenu* parent, const std::vector<struct MenuEntry>& entries);
    void BuildMenuBar();
    void BuildAccelerators();
    void RegisterViewCommands();
    // The icon toolbar, the tool strip and the right pane (CMainFramePanes.cpp).
    void BuildMainToolbar();
    void WirePanes();
    void BuildPaneToggles();

    CommandTable& commands_;
    Prompts* prompts_;
    Profile* profile_;
    std::unique_ptr<CommandUi> commandUi_;
    std::unique_ptr<PropertiesPaneHost> paneHost_;  // what the properties pane asks of the frame
    CQuillfenEditorDoc* doc_ = nullptr;
    CWorkspaceArea* workspace_ = nullptr;
    QDockWidget* toolbarPane_ = nullptr;
    QDockWidget* toolsPane_ = nullptr;
    QMenu* recentMenuHolder_ = nullptr;
    QAction* recentPlaceholder_ = nullptr;
    std::vector<QAction*> recentActions_;
    std::multimap<uint32_t, QAction*> actions_;
    std::string statusHint_;
    CView* registeredView_ = nullptr;
    CToolbarHostWnd* mainToolbar_ = nullptr;
    CVerticalToolsPane* toolsStrip_ = nullptr;
    struct ColorDrag {
        bool active = false;
        std::string lightId;  // the light cone whose tint the drag changes live
        LightConeParams before;
    } colorDrag_;
};
