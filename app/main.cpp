// The program: start-up, the message loop and exit.
#include "app/StartupOptions.h"
#include "app/ui/CQuillfenEditorApp.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
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

    CQuillfenEditorApp app;
    int code = 1;
    if (app.InitInstance(args)) code = QApplication::exec();
    return app.ExitInstance(code);
}
