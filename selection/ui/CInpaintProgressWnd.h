#pragma once
// The modal "Inpaint" dialog: runs one cancellable task on a worker thread
// behind a busy progress bar. The worker reaches the dialog only by posting
// its completion (a queued call); the dialog joins it after its modal loop,
// so the worker never outlives the dialog.
#include "selection/InpaintApply.h"

#include <QDialog>

#include <atomic>
#include <functional>
#include <thread>

class QLabel;
class QProgressBar;
class QPushButton;

class CInpaintProgressWnd : public QDialog {
    Q_OBJECT
public:
    explicit CInpaintProgressWnd(QWidget* parent = nullptr);
    ~CInpaintProgressWnd() override;

    // Runs the task modally. True only when the task returned true and the
    // user did not cancel; cancelled tells whether the user cancelled. When
    // the worker cannot be started the dialog is not shown and the result is
    // false, not cancelled.
    bool RunTask(const InpaintTask& task, bool& cancelled);
    // The runner ApplyInpaint takes: a fresh dialog over parent per task.
    static InpaintTaskRunner Runner(QWidget* parent);

    // How the worker thread is started; tests replace it to make the start
    // fail (by throwing std::system_error, as std::thread does).
    static std::function<std::thread(std::function<void()>)> startThread;

    QPushButton* CancelButton() const { return cancelButton_; }
    QLabel* CancellingLabel() const { return cancellingLabel_; }
    bool CancelRequested() const { return cancel_.load(); }

public slots:
    // Cancel, Escape and the close box ask the task to stop; the dialog
    // stays until the worker reports back.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* e) override;

private slots:
    void OnTaskDone();

private:
    void WorkerBody();

    QLabel* message_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* cancellingLabel_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    InpaintTask task_;
    std::thread worker_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> done_{false};
    bool result_ = false;  // written by the worker before it posts, read after
    bool cancelled_ = false;
};
