#include "app/ui/CMainFrame.h"

#include "app/MainMenu.h"
#include "app/StatusText.h"
#include "app/ui/FramePaneHost.h"
#include "canvas_view/ui/CCanvasLayoutView.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/CommandIds.h"
#include "platform/CommandTable.h"
#include "platform/qt/CView.h"
#include "platform/qt/CommandUi.h"
#include "platform/qt/CToolbarHostWnd.h"
#include "app/ui/CVerticalToolStripWnd.h"
#include "selection/InpaintApply.h"
#include "selection/ui/CInpaintProgressWnd.h"

#include <QAction>
#include <QClipboard>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QCloseEvent>
#include <QDockWidget>
#include <QLayout>
#include <QMenuBar>
#include <QShortcut>
#include <QTimer>

#include <algorithm>

namespace {
// The main toolbar's icons are 36 pixels; its pane is that plus 2.
constexpr int kToolbarIconSize = 36;
constexpr int kToolsPaneWidth = 82;

QKeySequence KeysOf(const Accelerator& a) {
    QString text;
    if (a.ctrl) text += "Ctrl+";
    if (a.shift) text += "Shift+";
    text += QString::fromStdString(a.key == "Insert" ? "Ins" : a.key == "Delete" ? "Del" : a.key);
    return QKeySequence(text);
}

// An empty caption bar. A plain QWidget's size hint is invalid (-1, -1); the
// dock takes the hint's height as its caption height and would then ask for a
// minimum height of -1, which Qt rejects with a warning.
class CNoTitleBar : public QWidget {
public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return {0, 0}; }
};

QDockWidget* MakeFixedPane(QMainWindow* frame, const char* caption, int id, QWidget* content) {
    auto* pane = new QDockWidget(caption, frame);
    pane->setObjectName(caption);
    pane->setFeatures(QDockWidget::NoDockWidgetFeatures);
    auto* noTitle = new CNoTitleBar(pane);  // no caption bar, no gripper
    noTitle->setFixedSize(0, 0);
    pane->setTitleBarWidget(noTitle);
    pane->setWidget(content);
    if (auto* w = qobject_cast<CWndBase*>(content)) w->SetDlgCtrlID(id);
    return pane;
}
}  // namespace

CMainFrame::CMainFrame(CommandTable& commands, Prompts* prompts, Profile* profile)
    : commands_(commands), prompts_(prompts), profile_(profile) {
    setWindowTitle("Plindrow");
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x22, 0x26, 0x2C));
    setPalette(pal);
    menuBar()->setStyleSheet(
        "QMenuBar { background: #22262C; color: #C8D2DC; }"
        "QMenuBar::item:selected { background: #363C45; }"
        "QMenuBar::item:disabled { color: #6A727D; }");
    commandUi_ = std::make_unique<CommandUi>(commands_, this);
    // The hosted view registers its commands as the active view before every
    // query, so a replaced view never leaves handlers behind.
    commandUi_->beforeQuery = [this] { RegisterViewCommands(); };
    // Paste follows what any program puts on the clipboard.
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        connect(clipboard, &QClipboard::dataChanged, commandUi_.get(), &CommandUi::ScheduleUpdate);
}

bool CMainFrame::PostIdleTask(std::function<void()> task) {
    // A task posted while a command runs must not run inside a dialog that
    // command opens (its event loop is not idle for the command): it waits
    // until no modal dialog or pop-up is up. Gone with the frame.
    QTimer::singleShot(0, this, [this, task = std::move(task)]() mutable {
        if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
            QTimer::singleShot(30, this, [this, task = std::move(task)]() mutable { PostIdleTask(std::move(task)); });
            return;
        }
        task();
    });
    return true;
}

CMainFrame::~CMainFrame() {
    commandUi_->beforeQuery = nullptr;
    commands_.ClearTarget(CommandTarget::ActiveView);
    commands_.ClearTarget(CommandTarget::Frame);
    if (GetPropertiesPaneHost() == paneHost_.get()) SetPropertiesPaneHost(nullptr);
}

bool CMainFrame::Create(const CWorkspaceArea::ViewFactory& makeView, CQuillfenEditorDoc* doc) {
    doc_ = doc;
    BuildMenuBar();

    mainToolbar_ = new CToolbarHostWnd(nullptr, 1);
    toolbarPane_ = MakeFixedPane(this, "Toolbar", 32772, mainToolbar_);
    toolbarPane_->setFixedHeight(kToolbarIconSize + 2);
    toolsStrip_ = new CVerticalToolsPane(nullptr);
    toolsPane_ = MakeFixedPane(this, "Tools", 133, toolsStrip_);
    toolsPane_->setFixedWidth(kToolsPaneWidth);
    addDockWidget(Qt::TopDockWidgetArea, toolbarPane_);
    addDockWidget(Qt::LeftDockWidgetArea, toolsPane_);
    setCorner(Qt::TopLeftCorner, Qt::TopDockWidgetArea);
    setCorner(Qt::TopRightCorner, Qt::TopDockWidgetArea);

    paneHost_ = std::make_unique<FramePaneHost>(*this);
    SetPropertiesPaneHost(paneHost_.get());
    activeColorSink = [this](uint32_t argb) { return DeliverToPropertiesPaneSink(workspace_, argb); };
    workspace_ = new CWorkspaceArea(this);
    if (!workspace_->Create(makeView, doc)) return false;
    setCentralWidget(workspace_);
    BuildMainToolbar();
    WirePanes();
    BuildPaneToggles();
    BuildAccelerators();
    RegisterViewCommands();
    commandUi_->ScheduleUpdate();
    return true;
}

void CMainFrame::BuildMenu(QMenu* parent, const std::vector<MenuEntry>& entries) {
    for (const MenuEntry& e : entries) {
        if (e.kind == MenuEntry::kSeparator) {
            parent->addSeparator();
        } else if (e.kind == MenuEntry::kPopup) {
            QMenu* sub = parent->addMenu(QString::fromStdString(e.text));
            commandUi_->WatchMenu(sub);
            BuildMenu(sub, e.children);
        } else {
            QAction* a = parent->addAction(QString::fromStdString(e.text));
            a->setData(e.id);
            actions_.emplace(uint32_t(e.id), a);
            commandUi_->BindAction(a, uint32_t(e.id));
            if (uint32_t(e.id) == kCmdFileRecentFile1) {
                recentMenuHolder_ = parent;
                recentPlaceholder_ = a;
            }
        }
    }
}

void CMainFrame::BuildMenuBar() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MenuBar");
    for (const MenuEntry& e : MainMenuEntries()) {
        if (e.kind == MenuEntry::kPopup) {
            QMenu* m = bar->addMenu(QString::fromStdString(e.text));
            commandUi_->WatchMenu(m);
            BuildMenu(m, e.children);
        } else if (e.kind == MenuEntry::kCommand) {
            // A command item on the bar itself.
            QAction* a = bar->addAction(QString::fromStdString(e.text));
            a->setData(e.id);
            actions_.emplace(uint32_t(e.id), a);
            commandUi_->BindAction(a, uint32_t(e.id));
        }
    }
}

void CMainFrame::BuildAccelerators() {
    for (const Accelerator& a : MainAccelerators()) commandUi_->AddShortcut(this, KeysOf(a), uint32_t(a.command));
}

void CMainFrame::SetRecentFiles(const std::vector<std::string>& paths,
                                const std::function<void(const std::string&)>& open) {
    if (!recentMenuHolder_ || !recentPlaceholder_) return;
    for (QAction* a : recentActions_) {
        recentMenuHolder_->removeAction(a);
        a->deleteLater();
    }
    recentActions_.clear();
    recentPlaceholder_->setVisible(paths.empty());
    int n = 0;
    for (const std::string& p : paths) {
        QString text = QString("&%1 %2").arg(++n).arg(QString::fromStdString(p));
        auto* a = new QAction(text, recentMenuHolder_);
        recentMenuHolder_->insertAction(recentPlaceholder_, a);
        connect(a, &QAction::triggered, this, [open, p] { open(p); });
        recentActions_.push_back(a);
    }
}

QAction* CMainFrame::ActionFor(uint32_t id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

QRect CMainFrame::InitialGeometry(const QSize& preferred, const QRect& available, const QSize& decoration) {
    const QSize room = (available.size() - decoration).expandedTo(QSize(1, 1));
    const QSize client = preferred.boundedTo(room);
    const QSize outer = client + decoration;
    // The window with its decoration centred in the available area.
    const QPoint topLeft = available.topLeft() + QPoint(std::max(0, (available.width() - outer.width()) / 2),
                                                        std::max(0, (available.height() - outer.height()) / 2));
    return {topLeft, client};
}

void CMainFrame::PlaceInitially(const QSize& preferred) {
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        resize(preferred);
        return;
    }
    // The window manager's title bar and borders are not known before the
    // window is shown; the style's title height and frame width stand in.
    const int border = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const QRect r = InitialGeometry(preferred, screen->availableGeometry(), QSize(2 * border, title + 2 * border));
    resize(r.size());
    move(r.topLeft());  // a window's position is that of its frame
}

void CMainFrame::LayoutNow() {
    if (layout()) layout()->activate();
    if (workspace_) workspace_->RecalcLayout();
}

CView* CMainFrame::GetWorkspaceView() const { return workspace_ ? workspace_->View() : nullptr; }

void CMainFrame::RegisterViewCommands() {
    CView* v = GetWorkspaceView();
    if (v == registeredView_) return;
    commands_.ClearTarget(CommandTarget::ActiveView);
    registeredView_ = v;
    if (v) v->RegisterCommands(commands_);
}

bool CMainFrame::SetWorkspaceModeTo(int mode) {
    auto it = viewFactories.find(mode);
    CView* current = GetWorkspaceView();
    if (!current || current->WorkspaceMode() != mode) {
        if (it == viewFactories.end() || !workspace_) return false;
        // The view about to go holds the open painting: it goes into the
        // model first, and a painting that cannot be stored keeps the mode
        // (the session has said why).
        if (doc_ && !doc_->CommitPaintSession()) return false;
        if (!workspace_->SwitchView(it->second, [mode](CView* v) { return v->WorkspaceMode() == mode; }, mode))
            return false;
    }
    workspace_->SetRightPaneMode(mode);
    if (doc_ && doc_->workspaceMode != mode) doc_->SetEditorMode(mode);
    if (toolsStrip_ && toolsStrip_->Mode() != mode) toolsStrip_->SetMode(mode);
    RegisterViewCommands();
    commandUi_->ScheduleUpdate();
    return true;
}

void CMainFrame::SetWorkspaceMode(int mode) { SetWorkspaceModeTo(mode); }

void CMainFrame::UpdateStatusText() {
    if (!workspace_ || !workspace_->StatusBar()) return;
    CView* v = GetWorkspaceView();
    CQuillfenEditorDoc* doc = v ? v->GetDocument() : nullptr;
    StatusTexts t = ComposeStatusTexts(doc ? &doc->SceneInUse() : nullptr, statusHint_);
    CThemedStatusBar* bar = workspace_->StatusBar();
    if (t.left == bar->leftText && t.right == bar->rightText) return;
    bar->leftText = t.left;
    bar->rightText = t.right;
    bar->update();
}

void CMainFrame::SetStatusHint(const std::string& text) {
    if (text == statusHint_) return;
    statusHint_ = text;
    UpdateStatusText();
}

void CMainFrame::ApplyInpaint() {
    if (!doc_) {
        SetWorkspaceMode(0);
        return;
    }
    ::ApplyInpaint(*doc_, CInpaintProgressWnd::Runner(this));
}

void CMainFrame::CancelInpaint() {
    if (!doc_) {
        SetWorkspaceMode(0);
        return;
    }
    ::CancelInpaint(*doc_);
}

void CMainFrame::UpdateAllViews() {
    if (CView* v = GetWorkspaceView()) v->OnUpdate(nullptr, 0);
    RefreshPropertiesPane();  // the selection or the object may have changed
    commandUi_->ScheduleUpdate();
}

void CMainFrame::InvalidateAllViews() {
    if (CView* v = GetWorkspaceView()) v->update();
}

void CMainFrame::RefreshPropertiesPane() {
    if (CPropertiesPane* pane = workspace_ ? workspace_->PropertiesPane() : nullptr) pane->UpdateForContext();
}

DocumentEditSession* CMainFrame::FindPaintingView() {
    CView* view = GetWorkspaceView();
    if (auto* canvas = dynamic_cast<CCanvasLayoutView*>(view)) return canvas->ActivePaintSession();
    // The Pose Editor paints on a part in a session it registers with the
    // document; its strokes are undone one by one as on the canvas.
    if (view && doc_ && view->WorkspaceMode() == kWorkspacePoseEditor && doc_->paintSession &&
        doc_->paintSession->IsActive())
        return doc_->paintSession;
    return nullptr;
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    if (canClose && !canClose()) {
        e->ignore();
        return;
    }
    QMainWindow::closeEvent(e);
}
