// The eyedropper through the canvas view (offscreen, where the loupe samples
// the view's displayed composite) and the "Picker" tab's typed colours.
#include "brushes/BitmapPaintSession.h"
#include "canvas_view/ui/CCanvasLayoutView.h"
#include "canvas_view/ui/CPropTabEyedropper.h"
#include "canvas_view/ui/EyedropperPick.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentHost.h"
#include "properties/ui/CPropButtons.h"

#include "../../platform/ui/QtTestApp.h"

#include <QClipboard>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

// The frame as the document and the tabs see it: a colour wheel holding
// the paint colour.
struct WheelHost : DocumentHost, PropertiesPaneHost {
    CQuillfenEditorDoc* doc = nullptr;
    uint32_t paint = 0xFF1E74AA;
    int delivered = 0;
    void UpdateAllViews() override {}
    void InvalidateAllViews() override {}
    void RefreshPropertiesPane() override {}
    void UpdateStatusText() override {}
    void SetWorkspaceMode(int) override {}
    Prompts* GetPrompts() override { return nullptr; }
    Profile* GetProfile() override { return nullptr; }
    bool GetPaintColour(uint32_t& argb) override {
        argb = paint;
        return true;
    }
    void SetPaintColour(uint32_t argb) override {
        paint = argb;
        ++delivered;
    }
    CQuillfenEditorDoc* GetActiveDocument() override { return doc; }
};

// The application exists before any widget member is made.
struct AppFirst {
    AppFirst() { EnsureQtApp(); }
};

struct EyedropperFixture : ::testing::Test {
    AppFirst app;
    CQuillfenEditorDoc doc;
    WheelHost host;
    void SetUp() override {
        host.doc = &doc;
        doc.SetHost(&host);
        SetPropertiesPaneHost(&host);
    }
    void TearDown() override { SetPropertiesPaneHost(nullptr); }
};

struct CanvasPickFixture : EyedropperFixture {
    CCanvasLayoutView view;
    void SetUp() override {
        EyedropperFixture::SetUp();
        doc.mainScene.Reset();
        doc.mainScene.width = 400;
        doc.mainScene.height = 300;
        doc.mainScene.canvasColour = 0xFF336699;
        view.SetDocument(&doc);
        view.resize(520, 420);
        view.OnInitialUpdate();
        view.OnZoomPresetPicked(100);
        doc.activeTool = kToolEyedropper;
        view.OnUpdate(nullptr, 0);
    }
    // The client point of a canvas point (100 % is one canvas pixel per
    // device pixel, so a client pixel spans 1 / zoom canvas pixels).
    QPoint Client(float x, float y) {
        const RectF r = view.GetCanvasScreenRect();
        return QPoint(int(std::lround(r.x + x * view.Zoom())), int(std::lround(r.y + y * view.Zoom())));
    }
};

}  // namespace

TEST_F(CanvasPickFixture, PressDragReleaseMakesThePickedColourThePaintColour) {
    view.OnLButtonDown(MK_LBUTTON, Client(200, 150));
    ASSERT_TRUE(EyedropperPick::IsActive());
    CColorPickerLoupe* loupe = EyedropperPick::Instance().Loupe();
    ASSERT_NE(loupe, nullptr);
    EXPECT_TRUE(loupe->shown);
    EXPECT_TRUE(loupe->isVisible());
    EXPECT_EQ(loupe->previous, 0xFF1E74AAu);  // the paint colour before the press
    EXPECT_EQ(loupe->picked, 0xFF336699u);
    EXPECT_EQ(host.delivered, 0);

    // Outside the canvas the view shows its workspace background.
    view.OnMouseMove(MK_LBUTTON, QPoint(2, 2));
    const uint32_t outside = EyedropperPick::Instance().PickedColour();
    EXPECT_NE(outside, 0xFF336699u);
    view.OnMouseMove(MK_LBUTTON, Client(210, 150));
    EXPECT_EQ(EyedropperPick::Instance().PickedColour(), 0xFF336699u);
    EXPECT_EQ(loupe->Image().pixel(70, 70), 0xFF336699u);
    EXPECT_EQ(loupe->Image().pixel(70, 131), 0xFF1E74AAu);

    view.OnLButtonUp(0, Client(210, 150));
    EXPECT_FALSE(EyedropperPick::IsActive());
    EXPECT_FALSE(loupe->isVisible());
    EXPECT_FALSE(view.HasCapture());
    EXPECT_EQ(host.delivered, 1);
    EXPECT_EQ(host.paint, 0xFF336699u);

    // A release without a pick delivers nothing.
    view.OnLButtonUp(0, Client(210, 150));
    EXPECT_EQ(host.delivered, 1);
}

TEST_F(CanvasPickFixture, LostCaptureEndsThePickAsAReleaseDoes) {
    view.OnLButtonDown(MK_LBUTTON, QPoint(2, 2));
    view.OnMouseMove(MK_LBUTTON, Client(10, 10));
    ASSERT_TRUE(view.HasCapture());
    view.ReleaseCapture();
    view.OnCaptureLost();
    EXPECT_FALSE(EyedropperPick::IsActive());
    EXPECT_FALSE(EyedropperPick::Instance().Loupe()->isVisible());
    EXPECT_EQ(host.paint, 0xFF336699u);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

namespace {
void FocusOut(QLineEdit* e) {
    QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
    QCoreApplication::sendEvent(e, &out);
}
}  // namespace

TEST_F(EyedropperFixture, PickerTabAppliesValidTextsAndRestoresInvalidOnes) {
    host.paint = 0xFF0C2238;
    CPropTabEyedropper tab(nullptr);
    tab.resize(430, 120);
    tab.show();
    EXPECT_EQ(tab.RgbEdit()->text(), "12, 34, 56");
    EXPECT_EQ(tab.HexEdit()->text(), "0C2238");

    struct Case {
        bool hex;
        const char* typed;
        uint32_t paint;  // the paint colour afterwards
    };
    const Case cases[] = {
        {false, "200 , 100 , 50", 0xFFC86432},
        {false, "1, 2, 256", 0xFFC86432},
        {false, "1, 2, 3 and more", 0xFFC86432},
        {true, "  #FF0000 ", 0xFFFF0000},
        {true, "GG0000", 0xFFFF0000},
        {true, "0x0000ff", 0xFF0000FF},
    };
    for (const Case& c : cases) {
        QLineEdit* edit = c.hex ? tab.HexEdit() : tab.RgbEdit();
        edit->setText(c.typed);
        FocusOut(edit);
        EXPECT_EQ(host.paint, c.paint) << c.typed;
        // Both fields show the current colour in their canonical forms.
        const uint32_t p = host.paint;
        EXPECT_EQ(tab.RgbEdit()->text().toStdString(),
                  std::to_string(p >> 16 & 0xFF) + ", " + std::to_string(p >> 8 & 0xFF) + ", " +
                      std::to_string(p & 0xFF))
            << c.typed;
        EXPECT_EQ(tab.HexEdit()->text().size(), 6) << c.typed;
    }
    EXPECT_EQ(tab.HexEdit()->text(), "0000FF");

    // Copy puts exactly the shown text on the clipboard.
    tab.RgbCopy()->OnLButtonDown(MK_LBUTTON, QPoint(5, 5));
    tab.RgbCopy()->OnLButtonUp(0, QPoint(5, 5));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "0, 0, 255");
}

TEST_F(EyedropperFixture, PickerTabNeverOverwritesTheFieldBeingTyped) {
    CPropTabEyedropper tab(nullptr);
    tab.resize(430, 120);
    tab.show();
    QApplication::setActiveWindow(&tab);
    tab.RgbEdit()->setFocus();
    if (!tab.RgbEdit()->hasFocus()) GTEST_SKIP() << "no keyboard focus on this platform";
    tab.RgbEdit()->setText("12, 3");
    host.paint = 0xFF102030;  // the wheel changed
    tab.OnTimer(CPropTabEyedropper::kReadoutTimer);
    EXPECT_EQ(tab.RgbEdit()->text(), "12, 3");
    EXPECT_EQ(tab.HexEdit()->text(), "102030");
}
