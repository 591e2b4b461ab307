#pragma once
// One QApplication for the whole test binary (offscreen under CTest).
#include <QApplication>

inline QApplication& EnsureQtApp() {
    static int argc = 1;
    static char name[] = "test_app_ui";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}
