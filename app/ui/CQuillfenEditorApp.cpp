#include "app/ui/CQuillfenEditorApp.h"

#include "brushes/BrushLibrary.h"
#include "brushes/ui/CPropTabBrush.h"
#include "brushes/ui/CPropTabStencil.h"
#include "selection/ui/CPropTabSelection.h"

#include "app/AppOwnedObjects.h"
#include "app/SeedBrushLibraries.h"
#include "app/StartupOptions.h"
#include "app/ui/CMainFrame.h"
#include "brushes/BrushLibrary.h"
#include "brushes/StencilLibraryStore.h"
#include "brushes/StencilOverlay.h"
#include "canvas_view/ui/CCanvasLayoutView.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/CommandIds.h"
#include "document/DialogProvider.h"
#include "filters/ui/CEffectDialog.h"
#include "filters/ui/CPropTabEffect.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Profile.h"
#include "platform/Prompts.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtProfile.h"
#include "platform/qt/QtPrompts.h"
#include "platform/qt/QuitSignals.h"
#include "posable/PoseEditorSession.h"
#include "posable/ui/CPosableImageEditorView.h"
#include "posable/ui/CPropTabBone.h"
#include "selection/InpaintSession.h"
#include "selection/ui/CInpaintView.h"
#include "posable/ui/CPropTabPose.h"
#include "posable/ui/CTestBonesDlg.h"
#include "properties/ui/CPropDialogs.h"

#include "platform/qt/EditorTheme.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QStyle>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace {
CQuillfenEditorApp* g_app = nullptr;

// The document's modal dialogs, each opened over the main frame: the canvas
// size dialog (PropDialogProvider), Test Bones from the Pose Editor's
// provider, the adjustment dialogs from the filters.
class AppDialogs : public PropDialogProvider {
public:
    void RunBrightnessDialog(CQuillfenEditorDoc& doc) override { RunBrightnessAdjustment(doc, parent); }
    void RunTestBonesDialog(const CanvasDocument& poseScene, const std::vector<JointLink>& links) override {
        testBones.RunTestBonesDialog(poseScene, links);
    }
    TestBonesDialogProvider testBones;
};
constexpr int kRecentFileCount = 4;
const char* kRecentSection = "Recent File List";

const std::vector<FileFilter>& ProjectFilters() {
    static const std::vector<FileFilter> f{{"Plindrow Documents (*.qvk)", {"*.qvk"}}, {"All Files (*.*)", {"*"}}};
    return f;
}
}  // namespace

CQuillfenEditorApp::CQuillfenEditorApp() { g_app = this; }

CQuillfenEditorApp::~CQuillfenEditorApp() {
    if (!exited_) DeleteAppOwnedObjects();
    frame_.reset();
    doc_.reset();
    // The brushes code was handed the profile and the prompts for the run:
    // take them back before they are destroyed, so no later library or tab
    // reads through a dangling pointer.
    if (sharedServices_) {
        SetBrushLibraryPlaces({});
        SetStencilPlaces({});
        SetBrushTabPrompts(nullptr);
        RegisterStencilTab(nullptr);
    }
    if (g_app == this) g_app = nullptr;
}

CQuillfenEditorApp* CQuillfenEditorApp::Instance() { return g_app; }

void CQuillfenEditorApp::UseServices(std::unique_ptr<Profile> profile, std::unique_ptr<Prompts> prompts,
                                     std::unique_ptr<IClipboard> clipboard) {
    profile_ = std::move(profile);
    prompts_ = std::move(prompts);
    clipboard_ = std::move(clipboard);
}

bool CQuillfenEditorApp::InitInstance(const std::vector<std::string>& args) {
    QApplication::setApplicationName(appTitle_);
    QApplication::setApplicationDisplayName(appTitle_);
    QApplication::setOrganizationName("Vostrel");
    ApplyEditorTheme();

    // The process-wide objects of the brushes subsystem. The current brush
    // library is registered with the brushes code for as long as it lives.
    GetAppObjectFactories().makeBrushLibrary = [] {
        std::shared_ptr<BrushLibrary> library(new BrushLibrary, [](BrushLibrary* l) {
            SetCurrentBrushLibrary(nullptr);
            delete l;
        });
        SetCurrentBrushLibrary(library.get());
        return library;
    };
    // The stencil store and overlay: the stencil brush reads the overlay's
    // placed stencil for as long as the overlay lives.
    GetAppObjectFactories().makeStencilStore = [] {
        std::shared_ptr<StencilLibraryStore> store(new StencilLibraryStore, [](StencilLibraryStore* s) {
            SetCurrentStencilStore(nullptr);
            delete s;
        });
        SetCurrentStencilStore(store.get());
        return store;
    };
    GetAppObjectFactories().makeStencilOverlay = [] {
        std::shared_ptr<StencilOverlay> overlay(new StencilOverlay, [](StencilOverlay* o) {
            SetCurrentStencilOverlay(nullptr);
            delete o;
        });
        SetCurrentStencilOverlay(overlay.get());
        return overlay;
    };
    CreateAppOwnedObjects();
    // The brush tabs join the properties pane before the frame makes it.
    RegisterBrushTabs();
    RegisterSelectionTabs();

    // The per-user profile and the recent-file list of four entries.
    if (!profile_) profile_ = std::make_unique<QtProfile>();
    if (!prompts_) prompts_ = std::make_unique<QtPrompts>();
    if (!clipboard_) clipboard_ = std::make_unique<QtClipboard>();
    sharedServices_ = true;
    SetBrushTabPrompts(prompts_.get());
    RegisterStencilTab(prompts_.get());
    RegisterPoseTabs();
    RegisterEyedropperTab();
    RegisterBoneTabs();
    LoadRecentFiles();

    if (programFolder.empty()) programFolder = GetProgramFolder();
    // The user's brushes folder is only made when there is something to copy into it.
    const std::string installedBrushes = programFolder.empty() ? std::string() : JoinPath(programFolder, "Brushes");
    SeedUserBrushLibraries(*profile_, installedBrushes,
                           DirectoryExists(installedBrushes) ? GetAppDocumentsPath("", "brushes") : std::string());
    // Where the current brush library is looked for (the folder is made on first use).
    const std::string documents = GetDocumentsFolder();
    SetBrushLibraryPlaces({documents.empty() ? std::string("brushes") : JoinPath(JoinPath(documents, "Plindrow"), "brushes"),
                           installedBrushes, profile_.get()});
    // The stencil libraries: the user's under Documents (or beside the working
    // folder without one) and the installed ones beside the program.
    SetStencilPlaces({documents.empty() ? std::string("stencils") : JoinPath(JoinPath(documents, "Plindrow"), "stencils"),
                      programFolder.empty() ? std::string() : JoinPath(programFolder, "stencils"), profile_.get()});

    // Document, frame and view.
    doc_ = std::make_unique<CQuillfenEditorDoc>();
    frame_ = std::make_unique<CMainFrame>(commands_, prompts_.get(), profile_.get());
    auto makeCanvasView = [](QWidget* parent) -> CView* { return new CCanvasLayoutView(parent); };
    frame_->viewFactories[0] = makeCanvasView;
    frame_->viewFactories[1] = [](QWidget* parent) -> CView* { return new CPosableImageEditorView(parent); };
    static PosableEditorProvider poseEditor;  // stateless: one for the run
    doc_->SetPoseEditorProvider(&poseEditor);
    frame_->viewFactories[2] = [](QWidget* parent) -> CView* { return new CInpaintView(parent); };
    doc_->SetSmartFillProvider(&GetInpaintSmartFillProvider());
    static TestBonesDialogProvider testBones;  // Test Bones, until a fuller dialog provider is installed
    if (!doc_->Dialogs()) doc_->SetDialogProvider(&testBones);
    frame_->canClose = [this] { return SaveModified(); };
    if (auto* qp = dynamic_cast<QtPrompts*>(prompts_.get())) qp->SetParent(frame_.get());
    RegisterEffectTab();  // the pane creates its tabs with the frame
    if (!frame_->Create(makeCanvasView, doc_.get())) return false;
    doc_->SetHost(frame_.get());
    doc_->SetClipboard(clipboard_.get());
    doc_->SetPaintSessionProvider(frame_.get());
    static AppDialogs dialogs;  // stateless but for its parent: one for the run
    dialogs.parent = frame_.get();
    doc_->SetDialogProvider(&dialogs);
    doc_->RegisterCommands(commands_);
    RegisterCommands();
    RefreshRecentMenu();

    // The command line, or the demonstration project beside the program.
    const StartupOptions options = ParseStartupOptions(args, programFolder);
    const auto openStart = std::chrono::steady_clock::now();
    doc_->OnNewDocument();
    if (!options.fileToOpen.empty()) OpenDocumentFile(options.fileToOpen);
    const double openMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - openStart).count();
    // The view fits the canvas to its size, so the frame is laid out first.
    frame_->PlaceInitially(QSize(1280, 860));
    frame_->LayoutNow();
    if (CView* v = frame_->GetWorkspaceView()) v->OnInitialUpdate();
    UpdateTitle();

    if (showMainWindow) {
        frame_->show();
        if (std::getenv("PLINDROW_TIMING")) {
            // Opt-in timing of opening the project and composing the first
            // frame, for checking start-up speed by hand.
            if (auto* view = dynamic_cast<CCanvasLayoutView*>(frame_->GetWorkspaceView())) {
                const auto drawStart = std::chrono::steady_clock::now();
                view->RenderToBackBuffer();
                const double drawMs =
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - drawStart).count();
                char line[160];
                std::snprintf(line, sizeof line, "Timing: project opened in %.1f ms, first frame drawn in %.1f ms",
                              openMs, drawMs);
                LogInfo(line);
            }
        }
    }
    LogInfo("Startup initialized");
    return true;
}

int CQuillfenEditorApp::ExitInstance(int exitCode) {
    if (exited_) return exitCode;
    exited_ = true;
    LogInfo("Application exiting");
    DeleteAppOwnedObjects();
    return exitCode;
}

void CQuillfenEditorApp::RegisterCommands() {
    auto app = CommandTarget::Application;
    commands_.Add(app, kCmdFileNew, [this] { OnFileNew(); });
    commands_.Add(app, kCmdFileOpen, [this] { OnFileOpen(); });
    // The document's own save handlers take precedence when it registers them.
    commands_.Add(app, kCmdFileSave, [this] { OnFileSave(); });
    commands_.Add(app, kCmdFileSaveAs, [this] { OnFileSaveAs(); });
    commands_.Add(app, kCmdAppAbout, [this] { OnAppAbout(); });
    commands_.Add(app, kCmdAppExit, [this] { OnAppExit(); });
}

void CQuillfenEditorApp::UpdateTitle() {
    if (!frame_ || !doc_) return;
    frame_->setWindowTitle(QString::fromStdString(doc_->GetTitle() + " - " + appTitle_));
}

bool CQuillfenEditorApp::SaveModified() {
    if (ending_ || !doc_ || !doc_->IsModified() || !prompts_) return true;
    PromptAnswer a = prompts_->ShowMessage(
        MakeMessage("Save changes to " + doc_->GetTitle() + "?", PromptIcon::Exclamation, PromptButtons::YesNoCancel));
    if (a == PromptAnswer::Cancel) return false;
    if (a == PromptAnswer::Yes) return OnFileSave();
    return true;
}

void CQuillfenEditorApp::EndOnSignal() {
    if (!ending_) {
        ending_ = true;
        LogInfo(doc_ && doc_->IsModified() ? "Ending on request; the unsaved changes are not saved"
                                           : "Ending on request");
    }
    QuitAllEventLoops(0);
}

void CQuillfenEditorApp::OnFileNew() {
    if (!doc_ || !SaveModified()) return;
    doc_->OnNewDocument();
    doc_->SetPathName("");
    if (frame_) frame_->UpdateAllViews();
    UpdateTitle();
}

bool CQuillfenEditorApp::OpenDocumentFile(const std::string& path) {
    if (!doc_) return false;
    // On failure the document has said why and is left as it was, so the
    // views, the title and the recent files stay too.
    if (!doc_->OnOpenDocument(path)) return false;
    AddToRecentFiles(path);
    if (frame_) frame_->UpdateAllViews();
    UpdateTitle();
    return true;
}

void CQuillfenEditorApp::OnFileOpen() {
    if (!doc_ || !prompts_ || !SaveModified()) return;
    OpenFileRequest r;
    r.filters = ProjectFilters();
    r.defaultExtension = "qvk";
    std::vector<std::string> files = prompts_->AskOpenFiles(r);
    if (files.empty()) return;
    if (!OpenDocumentFile(files.front())) return;
    if (CView* v = frame_ ? frame_->GetWorkspaceView() : nullptr) v->OnInitialUpdate();
}

bool CQuillfenEditorApp::OnFileSave() {
    if (!doc_) return false;
    if (doc_->GetPathName().empty()) return OnFileSaveAs();
    if (!doc_->OnSaveDocument(doc_->GetPathName())) return false;
    doc_->SetModifiedFlag(false);
    UpdateTitle();
    return true;
}

bool CQuillfenEditorApp::OnFileSaveAs() {
    if (!doc_ || !prompts_) return false;
    SaveFileRequest r;
    r.filters = ProjectFilters();
    r.defaultExtension = "qvk";
    r.proposedName = doc_->GetPathName().empty() ? std::string(kDefaultDocumentName) + ".qvk" : doc_->GetPathName();
    std::optional<std::string> path = prompts_->AskSaveFile(r);
    if (!path) return false;
    if (!doc_->OnSaveDocument(*path)) return false;
    doc_->SetPathName(*path);
    doc_->SetModifiedFlag(false);
    AddToRecentFiles(*path);
    UpdateTitle();
    return true;
}

void CQuillfenEditorApp::OnAppAbout() {
    QDialog dlg(frame_.get());
    ConfigureAboutDialog(dlg);
    dlg.exec();
}

void CQuillfenEditorApp::ConfigureAboutDialog(QDialog& dlg) {
    const QString title = "About Plindrow";
    dlg.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addWidget(new QLabel("Plindrow, Version 1.0", &dlg));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dlg);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    layout->addWidget(buttons);
    // A title bar cuts its text short rather than widen the window: the
    // dialog is made wide enough for the title beside the window manager's
    // icon and buttons (taken as six title-bar heights). Window managers draw
    // titles in a font of their own, often larger and bold: half as much
    // again as the dialog's bold font gives room for it.
    QFont titleFont = dlg.font();
    titleFont.setBold(true);
    const int titleBar = dlg.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &dlg);
    const int needed = QFontMetrics(titleFont).horizontalAdvance(title) * 3 / 2 + 6 * std::max(titleBar, 24);
    dlg.setMinimumWidth(std::max(needed, layout->sizeHint().width()));
}

void CQuillfenEditorApp::OnAppExit() {
    if (frame_) frame_->close();
}

void CQuillfenEditorApp::LoadRecentFiles() {
    recent_.clear();
    if (!profile_) return;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        std::string p = profile_->GetAppString(kRecentSection, "File" + std::to_string(i), "");
        if (!p.empty()) recent_.push_back(p);
    }
}

void CQuillfenEditorApp::SaveRecentFiles() {
    if (!profile_) return;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const std::string name = "File" + std::to_string(i);
        if (size_t(i) <= recent_.size()) profile_->WriteAppString(kRecentSection, name, recent_[size_t(i) - 1]);
        else profile_->DeleteValue(AppProfileSection(kRecentSection), name);
    }
}

void CQuillfenEditorApp::AddToRecentFiles(const std::string& path) {
    std::erase(recent_, path);
    recent_.insert(recent_.begin(), path);
    if (recent_.size() > size_t(kRecentFileCount)) recent_.resize(kRecentFileCount);
    SaveRecentFiles();
    RefreshRecentMenu();
}

void CQuillfenEditorApp::RefreshRecentMenu() {
    if (!frame_) return;
    frame_->SetRecentFiles(recent_, [this](const std::string& p) {
        if (!SaveModified()) return;
        if (!OpenDocumentFile(p)) return;
        if (CView* v = frame_->GetWorkspaceView()) v->OnInitialUpdate();
    });
}
