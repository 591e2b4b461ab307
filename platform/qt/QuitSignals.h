#pragma once
// Ending the program on SIGTERM (a session manager, `kill`) and SIGINT
// (Ctrl+C) in any state: the signal reaches the event loop through a pipe, so
// the quit runs on the user-interface thread, also while a modal dialog runs
// its own loop. Should the program not be back in any event loop within a
// few seconds (a long computation on that thread), the kernel ends it:
// every save is atomic, so what is already saved is never damaged.
#include <functional>

// Installs the handlers; onQuit runs on the user-interface thread at the
// first event loop after a signal. False when the pipe cannot be made (the
// signals then keep their default action, which ends the program at once).
bool InstallQuitSignals(std::function<void()> onQuit);
// Restores the default actions and closes the pipe.
void RemoveQuitSignals();
// Ends every running event loop, modal dialogs' included, and makes loops
// started afterwards return at once, until QApplication::exec runs again.
void QuitAllEventLoops(int code);
// Seconds after a signal before the kernel ends a program that did not quit.
constexpr unsigned kQuitSignalGraceSeconds = 5;
