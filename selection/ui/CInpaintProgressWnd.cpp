#include "selection/ui/CInpaintProgressWnd.h"

#include "platform/Log.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>

#include <system_error>

std::function<std::thread(std::function<void()>)> CInpaintProgressWnd::startThread =
    [](std::function<void()> body) { return std::thread(std::move(body)); };

CInpaintProgressWnd::CInpaintProgressWnd(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Inpaint");
    setModal(true);
    setWindowFlags((windowFlags() | Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) &
                   ~Qt::WindowContextHelpButtonHint);
    // The 309 x 87 dialog-unit template, laid out in the dialog's font.
    const QFontMetrics fm(font());
    const int bx = std::max(1, fm.averageCharWidth()), by = std::max(1, fm.height());
    auto X = [bx](int du) { return du * bx / 4; };
    auto Y = [by](int du) { return du * by / 8; };
    setFixedSize(X(309), Y(87));
    message_ = new QLabel("Inpainting - this may take a moment.", this);
    message_->setGeometry(X(16), Y(15), X(270), std::max(Y(8), fm.height()));
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 0);  // busy: the length of the fill is not known
    progress_->setTextVisible(false);
    progress_->setGeometry(X(7), Y(31), X(295), Y(14));
    cancellingLabel_ = new QLabel("Cancelling...", this);
    cancellingLabel_->setGeometry(X(7), Y(67), X(227), std::max(Y(8), fm.height()));
    cancellingLabel_->hide();
    cancelButton_ = new QPushButton("Cancel", this);
    cancelButton_->setGeometry(X(252), Y(66), X(50), Y(14));
    cancelButton_->setAutoDefault(false);
    connect(cancelButton_, &QPushButton::clicked, this, &CInpaintProgressWnd::reject);
}

CInpaintProgressWnd::~CInpaintProgressWnd() {
    // RunTask always joins; this only guards a dialog destroyed mid-run.
    if (worker_.joinable()) {
        cancel_.store(true);
        worker_.join();
    }
}

void CInpaintProgressWnd::WorkerBody() {
    bool r = false;
    try {
        r = task_ ? task_(cancel_) : false;
    } catch (const std::exception& e) {
        LogError(std::string("Inpaint worker: ") + e.what());
        r = false;
    }
    result_ = r;
    done_.store(true);
    // The only way the worker touches the dialog: a call queued to its thread.
    QMetaObject::invokeMethod(this, "OnTaskDone", Qt::QueuedConnection);
}

bool CInpaintProgressWnd::RunTask(const InpaintTask& task, bool& cancelled) {
    cancelled = false;
    cancel_.store(false);
    done_.store(false);
    result_ = false;
    cancelled_ = false;
    task_ = task;
    cancelButton_->setEnabled(true);
    cancellingLabel_->hide();
    bool started = false;
    try {
        worker_ = startThread([this] { WorkerBody(); });
        started = worker_.joinable();
    } catch (const std::system_error& e) {
        LogError(std::string("Inpaint: the worker thread could not be started: ") + e.what());
    }
    if (started) exec();
    if (worker_.joinable()) worker_.join();
    worker_ = std::thread();
    cancelled = cancelled_;
    const bool ok = started && result_ && !cancelled_;
    task_ = nullptr;
    return ok;
}

InpaintTaskRunner CInpaintProgressWnd::Runner(QWidget* parent) {
    return [parent](const InpaintTask& task, bool& cancelled) {
        CInpaintProgressWnd dialog(parent);
        return dialog.RunTask(task, cancelled);
    };
}

void CInpaintProgressWnd::reject() {
    if (cancel_.exchange(true)) return;
    cancelled_ = true;
    cancelButton_->setEnabled(false);
    cancellingLabel_->show();
}

void CInpaintProgressWnd::closeEvent(QCloseEvent* e) {
    e->ignore();
    reject();
}

void CInpaintProgressWnd::OnTaskDone() { QDialog::done(1); }
