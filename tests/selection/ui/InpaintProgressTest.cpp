// The fixture first: Qt's "slots" keyword would break the brush headers.
#include "../InpaintFixture.h"

#include "selection/ui/CInpaintProgressWnd.h"
#include "selection/ui/CInpaintView.h"
#include "platform/DeviceScale.h"
#include "../../platform/ui/QtTestApp.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <system_error>
#include <thread>

namespace {

CInpaintProgressWnd* ShownDialog() { return qobject_cast<CInpaintProgressWnd*>(QApplication::activeModalWidget()); }

// Presses Cancel on the dialog once it is shown (the user-interface thread).
void PressCancelWhenShown() {
    QTimer* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [poll] {
        if (CInpaintProgressWnd* d = ShownDialog()) {
            d->CancelButton()->click();
            poll->deleteLater();
            poll->stop();
        }
    });
    poll->start(5);
}

// A fill that runs until it is cancelled.
InpaintResult FillUntilCancelled(const InpaintPlane&, const InpaintPlane&, const InpaintPlane*, const InpaintOutput&,
                                 const std::atomic<bool>* cancel, const InpaintOptions&) {
    while (!cancel->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return InpaintResult::Cancelled;
}

// The real fill, after which the user presses Cancel: the press is queued
// before the worker's completion, so it reaches the dialog after the fill
// succeeded and before the dialog ends.
InpaintResult FillThenCancel(const InpaintPlane& p, const InpaintPlane& h, const InpaintPlane* s,
                             const InpaintOutput& o, const std::atomic<bool>* cancel, const InpaintOptions& opt) {
    const InpaintResult r = InpaintFill(p, h, s, o, cancel, opt);
    QMetaObject::invokeMethod(qApp, [] {
        if (CInpaintProgressWnd* d = ShownDialog()) d->CancelButton()->click();
    }, Qt::QueuedConnection);
    return r;
}

InpaintResult FailingFill(const InpaintPlane&, const InpaintPlane&, const InpaintPlane*, const InpaintOutput&,
                          const std::atomic<bool>*, const InpaintOptions&) {
    return InpaintResult::Failed;
}

}  // namespace

TEST(InpaintProgress, ApplyEndToEnd) {
    EnsureQtApp();
    const auto savedStart = CInpaintProgressWnd::startThread;
    struct Case {
        const char* name;
        InpaintFillFunction fill;
        bool pressCancel;
        bool failThreadStart;
        InpaintApplyOutcome outcome;
    };
    const Case cases[] = {
        {"success", &InpaintFill, false, false, InpaintApplyOutcome::Applied},
        {"cancel during the run", &FillUntilCancelled, true, false, InpaintApplyOutcome::Cancelled},
        {"cancel after success", &FillThenCancel, false, false, InpaintApplyOutcome::Cancelled},
        {"engine failure", &FailingFill, false, false, InpaintApplyOutcome::Failed},
        {"thread cannot start", &InpaintFill, false, true, InpaintApplyOutcome::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InpaintEnv env;
        InpaintSession* s = env.Start(30, 24, 12, 10);
        ASSERT_NE(s, nullptr);
        const cv::Mat display = s->display.clone();
        const size_t steps = env.doc.mainUndo.undo.size();
        if (c.failThreadStart)
            CInpaintProgressWnd::startThread = [](std::function<void()>) -> std::thread {
                throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
            };
        if (c.pressCancel) PressCancelWhenShown();
        const InpaintApplyOutcome outcome = ApplyInpaint(env.doc, CInpaintProgressWnd::Runner(nullptr), c.fill);
        CInpaintProgressWnd::startThread = savedStart;
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        if (outcome == InpaintApplyOutcome::Applied) {
            EXPECT_EQ(env.doc.inpaintSession, nullptr);
            EXPECT_EQ(env.doc.workspaceMode, kWorkspaceCanvas);
            EXPECT_EQ(env.doc.mainUndo.undo.size(), steps + 1);
            BitmapPtr after = PictureOf(env.Obj());
            ASSERT_TRUE(after);
            EXPECT_NE(after->Pixel(20, 16), kBlob);
        } else {
            EXPECT_EQ(GetActiveInpaintSession(env.doc), s);
            EXPECT_EQ(env.doc.workspaceMode, kWorkspaceInpaint);
            EXPECT_EQ(cv::norm(display, s->display, cv::NORM_INF), 0.0);
            EXPECT_EQ(env.doc.mainUndo.undo.size(), steps);
            EXPECT_EQ(PictureOf(env.Obj())->Pixel(20, 16), kBlob);
        }
        EXPECT_TRUE(env.doc.pendingInpaint.pixels.empty());
        const bool failed = outcome == InpaintApplyOutcome::Failed;
        EXPECT_EQ(env.host.prompts.MessageTexts(),
                  failed ? std::vector<std::string>{kInpaintApplyFailed} : std::vector<std::string>{});
    }
}

TEST(InpaintProgress, CancelIsRequestedOnce) {
    EnsureQtApp();
    CInpaintProgressWnd dialog;
    std::atomic<int> seen{0};
    // The close box, then Cancel twice: one request, and the button is off.
    QTimer::singleShot(10, &dialog, [&dialog] {
        QCloseEvent close;
        QApplication::sendEvent(&dialog, &close);
        dialog.CancelButton()->click();
        dialog.reject();
    });
    bool cancelled = false;
    const bool ok = dialog.RunTask([&seen](const std::atomic<bool>& cancel) {
        while (!cancel.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++seen;
        return true;
    }, cancelled);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(seen.load(), 1);
    EXPECT_FALSE(dialog.CancelButton()->isEnabled());
    EXPECT_FALSE(dialog.CancellingLabel()->isHidden());
    // A task that ends before the dialog has painted still ends it.
    EXPECT_TRUE(dialog.RunTask([](const std::atomic<bool>&) { return true; }, cancelled));
    EXPECT_FALSE(cancelled);
}

TEST(InpaintView, FitsTheCropAndPaintsTheSource) {
    EnsureQtApp();
    InpaintEnv env;
    InpaintSession* s = env.Start(30, 24, 12, 10);
    ASSERT_NE(s, nullptr);
    CInpaintView view;
    view.SetDocument(&env.doc);
    view.resize(420, 320);  // client 400 x 300
    view.FitToWindow();
    // Zooms count device pixels: one image pixel per device pixel at entry
    // (never enlarged), whatever the screen's device pixel ratio.
    const float ratio = float(SaneRatio(view.devicePixelRatioF()));
    EXPECT_FLOAT_EQ(view.Zoom() * ratio, 1.0f);
    // Client pixels map to device pixels (times the ratio), and the image
    // starts at the device pixel nearest the offset.
    auto imageX = [&](int cx) {
        return int(std::floor((cx * ratio - std::lround(view.OffsetX() * ratio)) / (view.Zoom() * ratio) + 1e-4));
    };
    auto imageY = [&](int cy) {
        return int(std::floor((cy * ratio - std::lround(view.OffsetY() * ratio)) / (view.Zoom() * ratio) + 1e-4));
    };
    const QPoint probe(int(view.OffsetX()) + 5, int(view.OffsetY()) + 7);
    int x = -1, y = -1;
    ASSERT_TRUE(view.ViewToImage(probe, x, y));
    EXPECT_EQ(x, imageX(probe.x()));
    EXPECT_EQ(y, imageY(probe.y()));
    // Zoom stops at 32.
    for (int i = 0; i < 60; ++i) view.OnMouseWheel(0, 120, QPoint(200, 150));
    EXPECT_FLOAT_EQ(view.Zoom() * ratio, 32.0f);
    view.FitToWindow();
    // A drag of 20 image pixels with radius 4 lays dabs along the line: the
    // source covers the whole segment and nothing far from it.
    s->ClearSource();
    s->brushRadius = 4;
    const QPoint origin(int(view.OffsetX()), int(view.OffsetY()));
    auto near = [&](int ix, int iy) {
        return origin + QPoint(int(std::lround(ix * view.Zoom())), int(std::lround(iy * view.Zoom())));
    };
    const QPoint a = near(2, 30), b = near(22, 30);
    view.OnLButtonDown(MK_LBUTTON, a);
    view.OnMouseMove(MK_LBUTTON, b);
    view.OnLButtonUp(0, b);
    const int row = imageY(a.y()), x0 = imageX(a.x()), x1 = imageX(b.x());
    ASSERT_LT(x1 + 8, s->source.cols);
    ASSERT_GE(row - 10, 0);
    for (int px = x0; px <= x1; ++px) EXPECT_EQ(s->source.at<uint8_t>(row, px), 255) << px;
    EXPECT_EQ(s->source.at<uint8_t>(row, x1 + 8), 0);
    EXPECT_EQ(s->source.at<uint8_t>(row - 10, x0 + 8), 0);
    const QImage shot = view.grab().toImage();
    const qreal r = shot.devicePixelRatio();
    EXPECT_EQ(shot.pixelColor(int(2.5 * r), int(2.5 * r)), QColor(22, 26, 30));
}
