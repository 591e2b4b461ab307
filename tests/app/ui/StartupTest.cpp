#include "tests/platform/ui/QtTestApp.h"
#include "app/MainMenu.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CQuillfenEditorApp.h"
#include "app/ui/CThemedStatusBar.h"
#include "brushes/BrushLibrary.h"
#include "canvas_view/ui/CCanvasLayoutView.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/ProjectFile.h"
#include "document/ClipboardFormats.h"
#include "document/CommandIds.h"
#include "platform/Clipboard.h"
#include "platform/Codecs.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/Prompts.h"
#include "platform/qt/CommandUi.h"

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QMimeData>
#include <QScreen>
#include <QDockWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

#include <sys/stat.h>

namespace {
struct StartedApp {
    CQuillfenEditorApp app;
    ScriptedPrompts* prompts = nullptr;
    MemoryProfile* profile = nullptr;
    bool ok = false;

    QTemporaryDir programDir;
    std::string startupLog;

    explicit StartedApp(std::vector<std::string> args, const std::string& folder = {}) {
        EnsureQtApp();
        auto p = std::make_unique<ScriptedPrompts>();
        auto pr = std::make_unique<MemoryProfile>();
        prompts = p.get();
        profile = pr.get();
        app.UseServices(std::move(pr), std::move(p), std::make_unique<MemoryClipboard>());
        app.showMainWindow = false;
        // An empty program folder unless the test gives one: no demo beside it.
        app.programFolder = folder.empty() ? programDir.path().toStdString() : folder;
        testing::internal::CaptureStdout();
        ok = app.InitInstance(args);
        startupLog = testing::internal::GetCapturedStdout();
    }
};

std::string WriteProject(const QTemporaryDir& dir, const char* name, float width, float height) {
    CanvasDocument scene;
    scene.width = width;
    scene.height = height;
    CanvasObject o;
    o.id = "object_1";
    o.name = "Box";
    o.x = 10.4f;
    o.y = 20.6f;
    o.width = o.height = 50;
    scene.layers[1].objects.push_back(o);
    scene.selectedIds = {"object_1"};
    scene.primarySelectedId = "object_1";
    const std::string path = dir.filePath(name).toStdString();
    EXPECT_TRUE(WriteFileAtomic(path, WriteProjectBytes(scene)));
    return path;
}

void CollectActions(QMenu* menu, std::map<int, QString>& out) {
    for (QAction* a : menu->actions()) {
        if (a->menu()) CollectActions(a->menu(), out);
        else if (!a->isSeparator()) out[a->data().toInt()] = a->text();
    }
}
}  // namespace

TEST(Startup, FrameMenuAndLogLines) {
    int code = 0;
    std::string out;
    {
        StartedApp s({"plindrow"});
        out = s.startupLog;
        ASSERT_TRUE(s.ok);
        CMainFrame* frame = s.app.MainFrame();
        ASSERT_NE(frame, nullptr);

        QStringList top;
        std::map<int, QString> items;
        for (QAction* a : frame->menuBar()->actions()) {
            top << a->text();
            if (a->menu()) CollectActions(a->menu(), items);
            else items[a->data().toInt()] = a->text();
        }
        EXPECT_EQ(top, (QStringList{"&File", "&Edit", "&View", "Modify", "Image", "Selection", "FIlters",
                                    "Posable Editor", "Settings", "&Help"}));
        EXPECT_EQ(items[57601], "&Open...\tCtrl+O");
        EXPECT_EQ(items[32814], "Light Cone");
        EXPECT_EQ(items[32859], "FIlters");
        EXPECT_EQ(frame->ToolbarPane()->windowTitle(), "Toolbar");
        EXPECT_EQ(frame->ToolsPane()->windowTitle(), "Tools");

        // Items without a handler show disabled once the idle update ran.
        QCoreApplication::processEvents();
        EXPECT_FALSE(frame->ActionFor(57607)->isEnabled());  // Print
        EXPECT_FALSE(frame->ActionFor(32859)->isEnabled());  // FIlters
        EXPECT_FALSE(frame->ActionFor(32874)->isEnabled());  // Add to Kitbash
        EXPECT_TRUE(frame->ActionFor(57600)->isEnabled());   // New
        EXPECT_TRUE(frame->ActionFor(57664)->isEnabled());   // About

        // A new document: 1024 x 1024, white, hosted in the canvas view.
        EXPECT_EQ(s.app.Document()->mainScene.width, 1024);
        EXPECT_NE(dynamic_cast<CCanvasLayoutView*>(frame->GetWorkspaceView()), nullptr);
        testing::internal::CaptureStdout();
        code = s.app.ExitInstance(0);
        out += testing::internal::GetCapturedStdout();
    }
    EXPECT_EQ(code, 0);
    EXPECT_NE(out.find("[INFO] Startup initialized\n"), std::string::npos);
    EXPECT_NE(out.find("[INFO] Application exiting\n"), std::string::npos);
    EXPECT_LT(out.find("Startup initialized"), out.find("Application exiting"));
}

TEST(Startup, OpensTheProjectOnTheCommandLineAndShowsItsStatus) {
    QTemporaryDir dir;
    const std::string path = WriteProject(dir, "scene.qvk", 1024, 768);
    StartedApp s({"plindrow", path});
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.app.Document()->mainScene.height, 768);
    EXPECT_TRUE(s.prompts->MessageTexts().empty());
    EXPECT_EQ(s.app.MainFrame()->windowTitle(), "scene.qvk - Plindrow");
    EXPECT_EQ(s.app.RecentFiles(), std::vector<std::string>{path});

    CThemedStatusBar* bar = s.app.MainFrame()->Workspace()->StatusBar();
    EXPECT_EQ(bar->leftText, "1 Bitmap on Layer 1");
    EXPECT_EQ(bar->rightText, "Canvas: 1024 x 768   Pos: 10, 21");
    s.app.MainFrame()->SetStatusHint("Cap Width");
    EXPECT_EQ(bar->leftText, "Cap Width");
    s.app.MainFrame()->SetStatusHint("");
    EXPECT_EQ(bar->leftText, "1 Bitmap on Layer 1");
    s.app.ExitInstance(0);
}

TEST(Startup, OpensTheDemoBesideTheProgramOnlyWithoutAFile) {
    QTemporaryDir folder, other;
    WriteProject(folder, "demo.qvk", 640, 480);
    StartedApp demo({"plindrow"}, folder.path().toStdString());
    ASSERT_TRUE(demo.ok);
    EXPECT_EQ(demo.app.Document()->mainScene.width, 640);

    const std::string path = WriteProject(other, "named.qvk", 300, 200);
    StartedApp named({"plindrow", path}, folder.path().toStdString());
    ASSERT_TRUE(named.ok);
    EXPECT_EQ(named.app.Document()->mainScene.width, 300);
    demo.app.ExitInstance(0);
    named.app.ExitInstance(0);
}

TEST(Startup, UnreadableProjectLeavesTheEditorRunningOnANewDocument) {
    QTemporaryDir dir;
    const std::string bad = dir.filePath("broken.qvk").toStdString();
    ASSERT_TRUE(WriteFileAtomic(bad, std::vector<uint8_t>{'Q', 'V', 'K', '1', 99, 0, 0, 0}));
    StartedApp s({"plindrow", bad});
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.prompts->MessageTexts(),
              std::vector<std::string>{"Failed to open document.\n\n" + bad + "\nUnexpected file format."});
    EXPECT_FALSE(s.app.Document()->IsModified());
    EXPECT_TRUE(s.app.RecentFiles().empty());
    EXPECT_EQ(s.app.Document()->mainScene.width, 1024);
    EXPECT_EQ(s.app.Document()->mainScene.layers.size(), 2u);
    EXPECT_EQ(s.app.MainFrame()->windowTitle(), "Unnamed - Plindrow");

    // A missing file is reported too, and changes nothing.
    StartedApp m({"plindrow", dir.filePath("missing.qvk").toStdString()});
    ASSERT_TRUE(m.ok);
    EXPECT_EQ(m.prompts->MessageTexts().size(), 1u);
    s.app.ExitInstance(0);
    m.app.ExitInstance(0);
}

TEST(Startup, AcceleratorsSendTheirCommands) {
    StartedApp s({"plindrow"});
    ASSERT_TRUE(s.ok);
    CMainFrame* frame = s.app.MainFrame();
    std::map<int, int> runs;
    // Each with a rule of its own, so the document's rules (nothing selected,
    // no paint session) do not disable them.
    for (int id : {32830, 32829, 57634, 57637, 57607})
        s.app.Commands().Add(CommandTarget::Frame, uint32_t(id), [&runs, id] { ++runs[id]; },
                             [](CommandUpdate& u) { u.Enable(true); });
    frame->show();
    QApplication::setActiveWindow(frame);
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    QTest::keyClick(frame, Qt::Key_I, Qt::ControlModifier);
    QTest::keyClick(frame, Qt::Key_I, Qt::ControlModifier | Qt::ShiftModifier);  // runs nothing
    QTest::keyClick(frame, Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(frame, Qt::Key_Insert, Qt::ControlModifier);
    QTest::keyClick(frame, Qt::Key_Insert, Qt::ShiftModifier);
    QTest::keyClick(frame, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(runs[32830], 1);
    EXPECT_EQ(runs[32829], 1);
    EXPECT_EQ(runs[57634], 1);
    EXPECT_EQ(runs[57637], 1);
    EXPECT_EQ(runs[57607], 1);
    frame->hide();
    s.app.Commands().ClearTarget(CommandTarget::Frame);
    s.app.ExitInstance(0);
}

namespace {
std::vector<std::string> g_qtWarnings;
void CollectQtWarning(QtMsgType type, const QMessageLogContext&, const QString& msg) {
    if (type != QtDebugMsg && type != QtInfoMsg) g_qtWarnings.push_back(msg.toStdString());
}
}  // namespace

// Laying out the shown frame must not ask Qt for impossible sizes: the panes
// without a caption bar once asked for a minimum height of -1.
TEST(Startup, ShowingTheFrameRaisesNoQtWarnings) {
    StartedApp s({"plindrow"});
    ASSERT_TRUE(s.ok);
    g_qtWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(CollectQtWarning);
    s.app.MainFrame()->show();
    QCoreApplication::processEvents();
    s.app.MainFrame()->resize(640, 480);
    QCoreApplication::processEvents();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(g_qtWarnings.empty()) << (g_qtWarnings.empty() ? "" : g_qtWarnings.front());
    testing::internal::CaptureStdout();
    s.app.ExitInstance(0);
    testing::internal::GetCapturedStdout();
}

namespace {
// A started application with the real Qt clipboard (offscreen here).
struct StartedAppWithQtClipboard {
    CQuillfenEditorApp app;
    QTemporaryDir programDir;
    bool ok = false;
    StartedAppWithQtClipboard() {
        EnsureQtApp();
        app.UseServices(std::make_unique<MemoryProfile>(), std::make_unique<ScriptedPrompts>(), nullptr);
        app.showMainWindow = false;
        app.programFolder = programDir.path().toStdString();
        testing::internal::CaptureStdout();
        ok = app.InitInstance({"plindrow"});
        testing::internal::GetCapturedStdout();
    }
    ~StartedAppWithQtClipboard() {
        testing::internal::CaptureStdout();
        app.ExitInstance(0);
        testing::internal::GetCapturedStdout();
    }
};

// An object as it would be pasted anywhere: everything but its id, name and place.
std::vector<uint8_t> ContentOf(CanvasObject o) {
    o.id.clear();
    o.name.clear();
    o.x = o.y = 0;
    o.z = 0;
    return WriteObjectPayload(o);
}
}  // namespace

// Copy, Cut and Paste from the menu and the keyboard go through the system
// clipboard: the copied object arrives there, Paste becomes available and
// brings back an identical object, and Cut removes the original.
TEST(Startup, CopyCutAndPasteGoThroughTheSystemClipboard) {
    EnsureQtApp();
    QGuiApplication::clipboard()->clear();
    StartedAppWithQtClipboard s;
    ASSERT_TRUE(s.ok);
    CMainFrame* frame = s.app.MainFrame();
    CQuillfenEditorDoc* doc = s.app.Document();
    QTemporaryDir dir;
    BitmapPtr picture = Bitmap::Create(6, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) picture->SetPixel(x, y, 0xFF000000u | uint32_t(x * 40) << 16 | uint32_t(y * 60));
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodePng(*picture, png));
    const std::string path = dir.filePath("picture.png").toStdString();
    ASSERT_TRUE(WriteFileAtomic(path, png));
    std::string error;
    ASSERT_TRUE(doc->ImportImageFiles(path, -1, -1, error)) << error;
    const std::string original = doc->mainScene.primarySelectedId;
    ASSERT_FALSE(original.empty());
    frame->CommandUiBinding().UpdateNow();
    EXPECT_FALSE(frame->ActionFor(kCmdEditPaste)->isEnabled());

    // Edit > Copy.
    frame->ActionFor(kCmdEditCopy)->trigger();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat(kCanvasObjectClipFormat));
    EXPECT_EQ(data->formats().size(), 1);
    QCoreApplication::processEvents();
    frame->CommandUiBinding().UpdateNow();
    ASSERT_TRUE(frame->ActionFor(kCmdEditPaste)->isEnabled());

    // Edit > Paste: a second object, identical but for its id, name and place.
    frame->ActionFor(kCmdEditPaste)->trigger();
    const std::string pasted = doc->mainScene.primarySelectedId;
    ASSERT_NE(pasted, original);
    const CanvasObject* a = doc->mainScene.FindObject(original);
    const CanvasObject* b = doc->mainScene.FindObject(pasted);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(ContentOf(*a), ContentOf(*b));
    EXPECT_EQ(b->parts.at(0).encoded, png);

    // Ctrl+X cuts the pasted copy: gone from the scene, on the clipboard.
    frame->show();
    QApplication::setActiveWindow(frame);
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    QGuiApplication::clipboard()->clear();
    QCoreApplication::processEvents();
    frame->CommandUiBinding().UpdateNow();
    QTest::keyClick(frame, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(doc->mainScene.FindObject(pasted), nullptr);
    ASSERT_NE(QGuiApplication::clipboard()->mimeData(), nullptr);
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat(kCanvasObjectClipFormat));
    // Ctrl+V brings it back.
    QCoreApplication::processEvents();
    frame->CommandUiBinding().UpdateNow();
    QTest::keyClick(frame, Qt::Key_V, Qt::ControlModifier);
    const CanvasObject* c = doc->mainScene.FindObject(doc->mainScene.primarySelectedId);
    ASSERT_NE(c, nullptr);
    EXPECT_NE(c->id, original);
    EXPECT_EQ(ContentOf(*a), ContentOf(*c));
    frame->hide();
    QGuiApplication::clipboard()->clear();
}

// A project that cannot be opened at all leaves the open document as it was,
// also in the editor.
TEST(Startup, AProjectThatCannotBeOpenedLeavesTheOpenDocumentAlone) {
    QTemporaryDir dir;
    const std::string path = WriteProject(dir, "scene.qvk", 640, 480);
    StartedApp s({"plindrow", path});
    ASSERT_TRUE(s.ok);
    const std::string pipe = dir.filePath("pipe.qvk").toStdString();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& bad : {dir.filePath("gone.qvk").toStdString(), dir.path().toStdString(), pipe}) {
        EXPECT_FALSE(s.app.OpenDocumentFile(bad)) << bad;
        EXPECT_EQ(s.app.Document()->mainScene.width, 640);
        EXPECT_NE(s.app.Document()->mainScene.FindObject("object_1"), nullptr);
        EXPECT_EQ(s.app.Document()->GetPathName(), path);
        EXPECT_EQ(s.app.MainFrame()->windowTitle(), "scene.qvk - Plindrow");
    }
    EXPECT_EQ(s.prompts->MessageTexts().size(), 3u);
    EXPECT_EQ(s.app.RecentFiles(), std::vector<std::string>{path});

    s.app.ExitInstance(0);
}

// A text file named like a project, opened over a modified document through
// File > Open and through the recent-files menu after the user chose not to
// save: the message names the file, and the document, its unsaved change,
// its view, the title and the recent files all stay.
TEST(Startup, ATextFileOpenedOverAModifiedDocumentLeavesItModifiedAndUnchanged) {
    QTemporaryDir dir;
    const std::string path = WriteProject(dir, "scene.qvk", 640, 480);
    StartedApp s({"plindrow", path});
    ASSERT_TRUE(s.ok);
    // x.qvk was a project once and is in the recent files; it is a text now.
    const std::string text = WriteProject(dir, "x.qvk", 300, 200);
    ASSERT_TRUE(s.app.OpenDocumentFile(text));
    ASSERT_TRUE(s.app.OpenDocumentFile(path));
    const std::string notes = "shopping list\n- milk\n";
    ASSERT_TRUE(WriteFileAtomic(text, notes.data(), notes.size()));
    const std::vector<std::string> recent = s.app.RecentFiles();
    ASSERT_EQ(recent, (std::vector<std::string>{path, text}));
    CQuillfenEditorDoc* doc = s.app.Document();
    doc->SetCanvasColor(0xFF102030);
    ASSERT_TRUE(doc->IsModified());
    const std::vector<uint8_t> before = WriteProjectBytes(doc->mainScene);
    auto* view = dynamic_cast<CCanvasLayoutView*>(s.app.MainFrame()->GetWorkspaceView());
    ASSERT_NE(view, nullptr);
    view->SetZoomAt(3.0f, QPoint(0, 0));
    const float zoom = view->Zoom();

    auto expectUnchanged = [&] {
        EXPECT_EQ(s.prompts->MessageTexts(),
                  (std::vector<std::string>{"Save changes to scene.qvk?",
                                            "Failed to open document.\n\n" + text + "\nUnexpected file format."}));
        EXPECT_EQ(WriteProjectBytes(doc->mainScene), before);
        EXPECT_TRUE(doc->IsModified());
        EXPECT_EQ(doc->GetPathName(), path);
        EXPECT_EQ(doc->mainUndo.undo.size(), 1u);
        EXPECT_EQ(s.app.MainFrame()->windowTitle(), "scene.qvk - Plindrow");
        EXPECT_EQ(s.app.RecentFiles(), recent);
        EXPECT_EQ(view->Zoom(), zoom);
    };
    s.prompts->ClearRecords();
    s.prompts->QueueAnswer(PromptAnswer::No);
    s.prompts->QueueOpenFiles({text});
    s.app.MainFrame()->ActionFor(kCmdFileOpen)->trigger();
    expectUnchanged();

    s.prompts->ClearRecords();
    s.prompts->QueueAnswer(PromptAnswer::No);
    QAction* recentText = nullptr;
    for (QAction* a : s.app.MainFrame()->findChildren<QAction*>())
        if (a->text() == "&2 " + QString::fromStdString(text)) recentText = a;
    ASSERT_NE(recentText, nullptr);
    recentText->trigger();
    expectUnchanged();
    s.app.ExitInstance(0);
}

// The first size fits the available area with room for the window's frame;
// a screen large enough keeps the preferred size, centred.
TEST(Startup, FirstFrameSizeFitsTheAvailableArea) {
    const QSize preferred(1280, 860), decoration(4, 30);
    struct Case {
        QRect available;
        QRect expected;
    } cases[] = {
        {{0, 0, 1920, 1080}, {318, 95, 1280, 860}},
        {{0, 0, 800, 480}, {0, 0, 796, 450}},        // 1600 x 960 at scale factor 2
        {{100, 20, 1300, 890}, {108, 20, 1280, 860}},  // exactly room for it, beside a panel
    };
    for (const Case& c : cases) {
        const QRect r = CMainFrame::InitialGeometry(preferred, c.available, decoration);
        EXPECT_EQ(r, c.expected) << c.available.width() << "x" << c.available.height();
        EXPECT_TRUE(c.available.contains(QRect(r.topLeft(), r.size() + decoration)));
    }

    StartedApp s({"plindrow"});
    ASSERT_TRUE(s.ok);
    const QRect available = s.app.MainFrame()->screen()->availableGeometry();
    EXPECT_LE(s.app.MainFrame()->width(), available.width());
    EXPECT_LE(s.app.MainFrame()->height(), available.height());
    s.app.ExitInstance(0);
}

// The about dialog is wide enough for its whole title in a title bar.
TEST(Startup, AboutDialogIsWideEnoughForItsTitle) {
    EnsureQtApp();
    QDialog dlg;
    CQuillfenEditorApp::ConfigureAboutDialog(dlg);
    QFont bold = dlg.font();
    bold.setBold(true);
    EXPECT_EQ(dlg.windowTitle(), "About Plindrow");
    EXPECT_GE(dlg.minimumWidth(), QFontMetrics(bold).horizontalAdvance(dlg.windowTitle()) * 3 / 2 + 144);
}

// The brushes code is handed the app's profile for the run; once the app is
// gone nothing may read it (the next app or tab in the same process would).
TEST(Startup, ClosedAppLeavesTheBrushesNoProfile) {
    {
        StartedApp s({"plindrow"});
        ASSERT_TRUE(s.ok);
        EXPECT_EQ(GetBrushLibraryPlaces().profile, s.profile);
    }
    EXPECT_EQ(GetBrushLibraryPlaces().profile, nullptr);
    EXPECT_EQ(ReadLastSelectedBrushLibrary(), "");
}
