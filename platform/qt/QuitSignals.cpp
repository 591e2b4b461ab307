#include "platform/qt/QuitSignals.h"

#include <QApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};
std::unique_ptr<QSocketNotifier> g_notifier;
std::function<void()> g_onQuit;

void OnQuitSignal(int) {
    const int saved = errno;
    char c = 1;
    if (g_pipe[0] >= 0) (void)!::write(g_pipe[0], &c, 1);
    // The fallback: SIGALRM's default action ends the process.
    ::alarm(kQuitSignalGraceSeconds);
    errno = saved;
}

}  // namespace

bool InstallQuitSignals(std::function<void()> onQuit) {
    RemoveQuitSignals();
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return false;
    }
    // A burst of signals must never block the handler.
    ::fcntl(g_pipe[0], F_SETFL, ::fcntl(g_pipe[0], F_GETFL) | O_NONBLOCK);
    g_onQuit = std::move(onQuit);
    g_notifier = std::make_unique<QSocketNotifier>(g_pipe[1], QSocketNotifier::Read);
    QObject::connect(g_notifier.get(), &QSocketNotifier::activated, [] {
        char buf[64];
        (void)!::read(g_pipe[1], buf, sizeof buf);
        if (g_onQuit) g_onQuit();
    });
    struct sigaction sa {};
    sa.sa_handler = OnQuitSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGALRM, SIG_DFL);
    return true;
}

void RemoveQuitSignals() {
    ::alarm(0);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    g_notifier.reset();
    g_onQuit = nullptr;
    for (int& fd : g_pipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

void QuitAllEventLoops(int code) {
    // Closing the windows would ask to save changes, a question nobody is
    // there to answer: the loops are ended directly, the modal ones too (exit
    // ends every loop of the thread; a dialog opened after it returns at once).
    QApplication::exit(code);
}
