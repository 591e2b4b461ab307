// SIGTERM ends the program in any state: here with unsaved changes and the
// save prompt open, a question nobody is there to answer. (The program itself
// is ended during its start-up warning by plindrow.EndsOnSigtermDuringTheStartupWarning.)
#include "tests/platform/ui/QtTestApp.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CQuillfenEditorApp.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/ProjectFile.h"
#include "platform/Clipboard.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/qt/QtPrompts.h"
#include "platform/qt/QuitSignals.h"

#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

TEST(EndOnSignal, SigtermWhileTheSavePromptIsOpenEndsWithoutTouchingTheFile) {
    EnsureQtApp();
    QTemporaryDir dir;
    const std::string path = dir.filePath("saved.qvk").toStdString();
    CanvasDocument scene;
    ASSERT_TRUE(SaveProjectFile(path, scene));
    std::vector<uint8_t> before;
    ASSERT_TRUE(ReadWholeFile(path, before));

    CQuillfenEditorApp app;
    app.UseServices(std::make_unique<MemoryProfile>(), std::make_unique<QtPrompts>(),
                    std::make_unique<MemoryClipboard>());
    app.showMainWindow = false;
    app.programFolder = dir.path().toStdString();
    ASSERT_TRUE(app.InitInstance({"plindrow", path}));
    app.Document()->mainScene.width = 77;
    app.Document()->SetModifiedFlag(true);
    ASSERT_TRUE(InstallQuitSignals([&app] { app.EndOnSignal(); }));

    // Closing asks whether to save; while that box is open, SIGTERM comes.
    bool promptOpen = false;
    QTimer::singleShot(0, [&app] { app.MainFrame()->close(); });
    QTimer::singleShot(300, [&promptOpen] {
        promptOpen = QApplication::activeModalWidget() != nullptr;
        ::kill(::getpid(), SIGTERM);
    });
    const int code = QApplication::exec();
    RemoveQuitSignals();

    EXPECT_TRUE(promptOpen);
    EXPECT_TRUE(app.Ending());
    EXPECT_EQ(code, 0);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    std::vector<uint8_t> after;
    ASSERT_TRUE(ReadWholeFile(path, after));
    EXPECT_EQ(after, before);
    // Whatever asks afterwards gets no question.
    EXPECT_TRUE(app.SaveModified());
    app.ExitInstance(code);
}
