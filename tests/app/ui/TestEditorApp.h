#pragma once
// The running application as the offscreen tests drive it: profile, prompts
// and clipboard in memory, a temporary program folder, the main window left
// hidden, and what start-up and exit print kept out of the test output.
#include "app/ui/CMainFrame.h"
#include "app/ui/CQuillfenEditorApp.h"
#include "platform/Clipboard.h"
#include "platform/Profile.h"
#include "platform/Prompts.h"
#include "tests/platform/ui/QtTestApp.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

struct TestEditorApp {
    QTemporaryDir programDir;
    CQuillfenEditorApp app;
    CMainFrame* frame = nullptr;
    CQuillfenEditorDoc* doc = nullptr;

    explicit TestEditorApp(const std::vector<std::string>& args = {}) {
        EnsureQtApp();
        app.UseServices(std::make_unique<MemoryProfile>(), std::make_unique<ScriptedPrompts>(),
                        std::make_unique<MemoryClipboard>());
        app.showMainWindow = false;
        app.programFolder = programDir.path().toStdString();
        testing::internal::CaptureStdout();
        const bool ok = app.InitInstance(args);
        testing::internal::GetCapturedStdout();
        EXPECT_TRUE(ok);
        frame = app.MainFrame();
        doc = app.Document();
    }
    ~TestEditorApp() {
        testing::internal::CaptureStdout();
        app.ExitInstance(0);
        testing::internal::GetCapturedStdout();
    }
    TestEditorApp(const TestEditorApp&) = delete;
    TestEditorApp& operator=(const TestEditorApp&) = delete;

    // The main window shown and laid out at the size the shell tests use.
    void ShowFrame() {
        frame->resize(1400, 900);
        frame->show();
        frame->LayoutNow();
    }
};
