// The program: start-up, the message loop and exit.
#include "app/StartupOptions.h"
#include "app/ui/CQuillfenEditorApp.h"
#include "platform/Files.h"
#include "platform/qt/QuitSignals.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Start-up, the message loop and exit; returns the exit code. Everything the
// program owns, the toolkit included, is gone when it returns.
int Run(int argc, char** argv) {
    // Idle OpenMP workers that spin between the pixel loops steal the cores the
    // busy ones need whenever the machine is loaded, which turned a 7 ms frame
    // into most of a second. The runtime reads its wait policy when it loads,
    // so the program asks for sleeping workers and starts itself again once.
    if (!std::getenv("OMP_WAIT_POLICY")) {
        ::setenv("OMP_WAIT_POLICY", "passive", 1);
        ::execv("/proc/self/exe", argv);  // returns only on failure: carry on as we are
    }
    // A save that reaches the file-size limit fails and cleans up instead of
    // killing the program with its temporary file left behind.
    IgnoreFileSizeLimitSignal();
    // Without a display Qt would abort with its own backtrace; say plainly what is missing.
    const std::string reason =
        MissingDisplayReason(std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"));
    if (!reason.empty()) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return 2;
    }
    QApplication qapp(argc, argv);
    std::vector<std::string> args;
    for (const QString& a : QApplication::arguments()) args.push_back(a.toStdString());

    // SIGTERM and Ctrl+C end the program in any state, without questions
    // (a start-up warning or a save prompt open included).
    InstallQuitSignals([] {
        if (CQuillfenEditorApp* a = CQuillfenEditorApp::Instance()) a->EndOnSignal();
        else QuitAllEventLoops(0);
    });

    CQuillfenEditorApp app;
    int code = 1;
    // A request to end that came during start-up (while a warning was
    // shown) is not lost: the message loop is then not entered at all.
    if (app.InitInstance(args)) code = app.Ending() ? 0 : QApplication::exec();
    return app.ExitInstance(code);
}
}  // namespace

int main(int argc, char** argv) {
    const int code = Run(argc, argv);
    // The program's own objects, its settings and the toolkit (which hands the
    // clipboard over) are closed by now. What remains are the finalizers of the
    // 160 or so shared libraries the image codecs pull in, which kept the
    // process alive for a noticeable time after Exit: skip them.
    std::fflush(nullptr);
    std::_Exit(code);
}
