// The owner-drawn controls of the "Effect" tab and the brightness dialog,
// driven offscreen through their mouse handlers.
#include "../../platform/ui/QtTestApp.h"

#include "filters/EffectRegistry.h"
#include "filters/ui/CEffectDialog.h"
#include "filters/ui/CEffectStackListWnd.h"
#include "filters/ui/CPropCurveEdit.h"
#include "filters/ui/LevelsControls.h"

#include "../../document/BitmapObjects.h"
#include "../../document/DocumentFixture.h"

#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropSliderWnd.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A parent that records the controls' notifications.
class Sink : public CWndBase {
public:
    std::vector<int> codes;
    bool OnCommand(int, int code, CWndBase*) override {
        codes.push_back(code);
        return true;
    }
};

// Constructed before any widget member.
struct AppFirst {
    AppFirst() { EnsureQtApp(); }
};

struct ListEnv : AppFirst {
    std::vector<EffectInstance> stack;
    CEffectStackListWnd list;
    std::vector<std::string> log;
    explicit ListEnv(int count, int height = 200) {
        EnsureQtApp();
        for (int i = 0; i < count; ++i) stack.push_back(MakeEffectInstance(uint8_t(i % 18)));
        list.getStack = [this] { return &stack; };
        list.onSelect = [this](int i) { log.push_back("select " + std::to_string(i)); };
        list.onEnableOne = [this](int i, bool on) { log.push_back("enable " + std::to_string(i) + " " + (on ? "1" : "0")); };
        list.onEnableAll = [this](bool on) { log.push_back(std::string("all ") + (on ? "1" : "0")); };
        list.onAdd = [this](QPoint) { log.push_back("add"); };
        list.onRemove = [this](int i) { log.push_back("remove " + std::to_string(i)); };
        list.onMove = [this](int i, int d) { log.push_back("move " + std::to_string(i) + " " + std::to_string(d)); };
        list.resize(208, height);
    }
    QPoint RowPoint(int row) const { return QPoint(60, 22 + 22 * row + 11 - list.Scroll()); }
};

TEST(EffectStackList, ButtonsReportOnlyWhatTheSelectionAllows) {
    ListEnv env(3);
    CEffectStackListWnd& l = env.list;
    l.OnLButtonDown(0, l.UpRect().center());        // no selection: nothing
    l.OnLButtonDown(0, l.RemoveRect().center());
    l.OnLButtonDown(0, env.RowPoint(0));            // select row 0
    l.OnLButtonDown(0, l.UpRect().center());        // first row cannot go up
    l.OnLButtonDown(0, l.DownRect().center());
    l.OnLButtonDown(0, env.RowPoint(2));
    l.OnLButtonDown(0, l.DownRect().center());      // last row cannot go down
    l.OnLButtonDown(0, l.RemoveRect().center());
    l.OnLButtonDown(0, QPoint(12, 22 + 22 + 11));   // row 1's enable box
    l.OnLButtonDown(0, l.AddRect().center());
    env.stack[1].enabled = false;
    env.stack[2].enabled = false;
    l.OnLButtonDown(0, l.MasterRect().center());    // one of three on: all off
    for (auto& e : env.stack) e.enabled = false;
    l.OnLButtonDown(0, l.MasterRect().center());    // none on: all on
    const std::vector<std::string> expected{"select 0", "move 0 1", "select 2", "remove 2", "enable 1 0",
                                            "add",      "all 0",    "all 1"};
    EXPECT_EQ(env.log, expected);
}

TEST(EffectStackList, ScrollingSelectionAndRefresh) {
    ListEnv env(20, 22 + 110);
    CEffectStackListWnd& l = env.list;
    EXPECT_EQ(l.MaxScroll(), 22 * 20 - 110);
    l.SetSelection(19);
    EXPECT_EQ(l.Scroll(), 330);  // the last row's bottom meets the area's bottom
    l.OnMouseWheel(0, 120, {});
    EXPECT_EQ(l.Scroll(), 330 - 66);
    l.OnMouseWheel(0, 60, {});
    EXPECT_EQ(l.Scroll(), 330 - 66);
    l.SetSelection(0);
    EXPECT_EQ(l.Scroll(), 0);
    l.SetSelection(40);
    EXPECT_EQ(l.Selection(), -1);

    // A thumb drag that loses the capture ends like a release.
    const QRect thumb = l.ThumbRect();
    ASSERT_FALSE(thumb.isEmpty());
    l.OnLButtonDown(0, thumb.center());
    l.OnMouseMove(0, thumb.center() + QPoint(0, 40));
    EXPECT_GT(l.Scroll(), 0);
    l.OnCaptureLost();
    const int after = l.Scroll();
    l.OnMouseMove(0, thumb.center() + QPoint(0, 80));
    EXPECT_EQ(l.Scroll(), after);

    l.SetSelection(19);
    env.stack.resize(5);
    l.Refresh();
    EXPECT_EQ(l.Selection(), 4);
    EXPECT_EQ(l.Scroll(), 0);
    int index = -1;
    EXPECT_EQ(l.HitTest(QPoint(200, 60), index), CEffectStackListWnd::kZoneNone);  // no bar when rows fit
    env.stack.clear();
    l.Refresh();
    EXPECT_EQ(l.Selection(), -1);
}

struct CurveEnv : AppFirst {
    Sink parent;
    CPropCurveEdit* curve;
    CurveEnv() {
        EnsureQtApp();
        curve = new CPropCurveEdit(&parent, 1005);
        curve->resize(216, 116);  // plot 200 x 100 from (8, 8)
    }
    QPoint At(float x, float y) const { return curve->PointToClient({x, y}); }
};

TEST(CurveEdit, SetPointsNormalises) {
    CurveEnv env;
    const float nan = std::nanf("");
    struct Case {
        std::vector<CurvePoint> in, out;
    };
    const Case cases[] = {
        {{{0.4f, 0.9f}}, {{0, 0}, {1, 1}}},
        {{{0.8f, 1.3f}, {0.2f, -0.5f}}, {{0, 0}, {1, 1}}},
        {{{0.1f, 0.2f}, {0.5f, nan}, {nan, 0.3f}, {0.9f, 0.7f}}, {{0, 0.2f}, {0.5f, 0}, {1, 0.7f}}},
        {{}, {{0, 0}, {1, 1}}},
        // inner points beyond the ends are held to them, keeping the order
        {{{-3, 0.1f}, {-2, 0.2f}, {0.5f, 0.3f}, {7, 0.4f}, {0.9f, 0.5f}},
         {{0, 0.1f}, {0, 0.2f}, {0.5f, 0.3f}, {0.9f, 0.5f}, {1, 0.4f}}},
        {{{0, 0.5f}, {0.5f, 0.2f}, {0.5f, 0.8f}, {1, 0.5f}}, {{0, 0.5f}, {0.5f, 0.2f}, {0.5f, 0.8f}, {1, 0.5f}}},
    };
    for (const Case& c : cases) {
        env.curve->SetPoints(c.in);
        const std::vector<CurvePoint>& p = env.curve->Points();
        EXPECT_EQ(p, c.out);
        // Whatever came in, the curve drawn from it is finite everywhere.
        for (int k = 0; k <= 200; ++k) EXPECT_TRUE(std::isfinite(EvaluateCurve(p, float(k) / 200)));
    }
    // Points stacked on one x: grabbing and dragging the middle one moves it
    // only vertically, as it has no room between its neighbours.
    CPropCurveEdit& c = *env.curve;
    c.SetPoints({{0, 0}, {1, 0.5f}, {1, 0.5f}, {1, 1}});
    c.OnLButtonDown(0, env.At(1, 0.5f));
    ASSERT_EQ(c.DragIndex(), 2);  // the later of equally near points
    c.OnMouseMove(0, env.At(0.5f, 0.7f));
    EXPECT_FLOAT_EQ(c.Points()[2].x, 1.0f);
    EXPECT_NEAR(c.Points()[2].y, 0.7f, 0.01f);
    c.OnLButtonUp(0, {});
    c.grab();  // paints the stacked points without faults
}

TEST(CurveEdit, AddDragAndRemoveWithTheirNotifications) {
    CurveEnv env;
    CPropCurveEdit& c = *env.curve;
    // 7 pixels right of the first point adds a point; 6 pixels grabs it.
    c.OnLButtonDown(0, env.At(0, 0) + QPoint(6, 0));
    EXPECT_EQ(c.DragIndex(), 0);
    c.OnLButtonUp(0, {});
    EXPECT_EQ(env.parent.codes, (std::vector<int>{0x1001, 0x1002}));
    env.parent.codes.clear();
    // A click on the left border adds a point at x = 0.001 after the first.
    c.OnLButtonDown(0, QPoint(8, 60));
    ASSERT_EQ(c.Points().size(), 3u);
    EXPECT_FLOAT_EQ(c.Points()[1].x, 0.001f);
    EXPECT_EQ(c.DragIndex(), 1);
    EXPECT_EQ(env.parent.codes, (std::vector<int>{0x1001, 0x1000}));
    // Dragged past its right neighbour it stops 0.001 short of it.
    c.OnMouseMove(0, QPoint(400, 0));
    EXPECT_FLOAT_EQ(c.Points()[1].x, 0.999f);
    EXPECT_FLOAT_EQ(c.Points()[1].y, 1.0f);
    // Losing the capture ends the drag as a release does.
    c.OnCaptureLost();
    EXPECT_EQ(c.DragIndex(), -1);
    EXPECT_EQ(env.parent.codes.back(), 0x1002);
    // The last point moves only vertically.
    c.OnLButtonDown(0, env.At(1, 1));
    c.OnMouseMove(0, env.At(0.5f, 0.25f));
    EXPECT_EQ(c.Points().back().x, 1.0f);
    EXPECT_NEAR(c.Points().back().y, 0.25f, 0.01f);
    c.OnLButtonUp(0, {});
    // Right clicks remove inner points only.
    env.parent.codes.clear();
    c.OnRButtonDown(0, env.At(0, 0));
    EXPECT_EQ(c.Points().size(), 3u);
    c.OnRButtonDown(0, env.At(c.Points()[1].x, c.Points()[1].y));
    EXPECT_EQ(c.Points().size(), 2u);
    EXPECT_EQ(env.parent.codes, (std::vector<int>{0x1001, 0x1000, 0x1002}));
}

TEST(CurveEdit, FullCurvesAndTinyPlotsRefuseNewPointsAndDragsStayValid) {
    CurveEnv env;
    CPropCurveEdit& c = *env.curve;
    std::vector<CurvePoint> many;
    for (int i = 0; i < 32; ++i) many.push_back({float(i) / 31.0f, 0.5f});
    c.SetPoints(many);
    c.OnLButtonDown(0, QPoint(100, 10));
    EXPECT_EQ(c.Points().size(), 32u);
    EXPECT_EQ(c.DragIndex(), -1);
    // A right-click removal during a drag leaves no stale drag index.
    c.OnLButtonDown(0, env.At(c.Points()[31].x, 0.5f));
    ASSERT_EQ(c.DragIndex(), 31);
    c.OnRButtonDown(0, env.At(c.Points()[15].x, 0.5f));
    EXPECT_EQ(c.Points().size(), 31u);
    EXPECT_EQ(c.DragIndex(), -1);
    c.OnMouseMove(0, QPoint(50, 50));  // nothing dragged, nothing out of range

    c.SetPoints({});
    c.resize(19, 40);  // plot 3 pixels wide
    c.OnLButtonDown(0, QPoint(10, 20));
    EXPECT_EQ(c.Points().size(), 2u);
}

TEST(LevelsControls, TrackMappingCountingAndMarkerDrags) {
    EnsureQtApp();
    EXPECT_EQ(LevelsValueToX(273, 0), 8);
    EXPECT_EQ(LevelsValueToX(273, 255), 264);
    EXPECT_EQ(LevelsXToValue(273, 264), 255);
    EXPECT_FLOAT_EQ(GammaToMarkerFraction(1.0f), 0.5f);
    EXPECT_FLOAT_EQ(MarkerFractionToGamma(0), 9.99f);
    EXPECT_FLOAT_EQ(MarkerFractionToGamma(1), 0.1f);

    BitmapPtr big = Bitmap::Create(1000, 1000);
    big->Clear(0xFF808080);
    LevelsCounts counts = CountLevels(big.get());
    EXPECT_EQ(counts.bins[3][128], 500 * 500);  // every second pixel both ways
    BitmapPtr clear = Bitmap::Create(500, 500);
    EXPECT_EQ(CountLevels(clear.get()).bins[3][0], 0);  // transparent pixels are never counted

    Sink parent;
    auto* histogram = new CPropLevelsHistogram(&parent, 1009);
    histogram->resize(273, 80);
    histogram->SetSource(big);
    histogram->SetSource(big);
    EXPECT_EQ(histogram->CountRuns(), 1);
    histogram->SetInputHigh(100);
    const int y = 80 - 24 + 5;
    histogram->OnLButtonDown(0, QPoint(histogram->MarkerX(CPropLevelsHistogram::kInputLow), y));
    histogram->OnMouseMove(0, QPoint(260, y));
    EXPECT_EQ(histogram->InputLow(), 99);  // one below input high
    histogram->OnLButtonUp(0, {});
    EXPECT_EQ(parent.codes, (std::vector<int>{0x1001, 0x1000, 0x1002}));

    auto* output = new CPropLevelsOutput(&parent, 1010);
    output->resize(273, 27);
    output->OnLButtonDown(0, QPoint(LevelsValueToX(273, 255), 20));
    output->OnMouseMove(0, QPoint(8, 20));
    output->OnCaptureLost();
    EXPECT_EQ(output->OutputHigh(), 0);  // the markers may cross
    EXPECT_EQ(output->OutputLow(), 0);
}

class BrightnessDialogTest : public DocumentFixture {
protected:
    void SetUp() override {
        EnsureQtApp();
        AddTo(doc.mainScene, "layer_1", MakeSolidObject("bmp", "Pic", 0, 0, 6, 4, 0xFF404040));
        doc.mainScene.SelectObject("bmp");
        doc.ClearAllUndo();
    }
    // The slider moved by the user to a value.
    static void Slide(CEffectBrightnessDlg& dialog, float value) {
        ASSERT_NE(dialog.Slider(), nullptr);
        dialog.Slider()->value = value;
        dialog.Slider()->SendCommandToParent(kPropChanged);
    }
    static void Click(CPropTextButton* button) {
        ASSERT_NE(button, nullptr);
        button->SendCommandToParent(kPropClick);
    }
};

TEST_F(BrightnessDialogTest, PreviewThenCancelLeavesTheObjectAndOkRecordsOneStep) {
    const std::vector<uint8_t> bytes = Obj("bmp").parts[0].encoded;
    {
        CEffectBrightnessDlg dialog(doc);
        ASSERT_TRUE(dialog.Open());
        EXPECT_EQ(dialog.Slider()->GetDlgCtrlID(), CEffectBrightnessDlg::kSliderId);
        EXPECT_EQ(dialog.Slider()->minimum, -100);
        EXPECT_EQ(dialog.Slider()->maximum, 100);
        Slide(dialog, 50);
        EXPECT_NE(Obj("bmp").parts[0].GetDecoded()->Pixel(0, 0), 0xFF404040u);
        Click(dialog.CancelButton());
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_EQ(Obj("bmp").parts[0].encoded, bytes);
    EXPECT_EQ(Obj("bmp").parts[0].GetDecoded()->Pixel(0, 0), 0xFF404040u);
    EXPECT_FALSE(doc.CanUndo());
    {
        CEffectBrightnessDlg dialog(doc);
        ASSERT_TRUE(dialog.Open());
        Slide(dialog, 20);
    }  // destroyed without a choice: restored like Cancel
    EXPECT_EQ(Obj("bmp").parts[0].encoded, bytes);
    EXPECT_EQ(Obj("bmp").parts[0].GetDecoded()->Pixel(0, 0), 0xFF404040u);
    {
        CEffectBrightnessDlg dialog(doc);
        ASSERT_TRUE(dialog.Open());
        dialog.show();
        Slide(dialog, -60);
        EXPECT_NE(Obj("bmp").parts[0].GetDecoded()->Pixel(0, 0), 0xFF404040u);
        dialog.close();  // the close box
        EXPECT_FALSE(dialog.Session().IsOpen());
        EXPECT_EQ(Obj("bmp").parts[0].GetDecoded()->Pixel(0, 0), 0xFF404040u);
    }
    EXPECT_FALSE(doc.CanUndo());

    CEffectBrightnessDlg dialog(doc);
    ASSERT_TRUE(dialog.Open());
    Slide(dialog, 50);
    Slide(dialog, 20);
    Click(dialog.OkButton());
    EXPECT_TRUE(dialog.Committed());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(PictureOf(Obj("bmp"))->Pixel(0, 0), 0xFF404040u + 25u * 0x010101u);
    doc.OnEditUndo();
    EXPECT_EQ(Obj("bmp").parts[0].encoded, bytes);
    EXPECT_FALSE(doc.CanUndo());
}

bool FailingEncoder(const Bitmap&, std::vector<uint8_t>&) { return false; }

TEST_F(BrightnessDialogTest, AResultThatCannotBeStoredIsReportedAndTheDialogStaysOpen) {
    const std::vector<uint8_t> bytes = Obj("bmp").parts[0].encoded;
    CEffectBrightnessDlg dialog(doc);
    ASSERT_TRUE(dialog.Open());
    dialog.Session().SetEncoder(FailingEncoder);
    Slide(dialog, 40);
    Click(dialog.OkButton());
    EXPECT_FALSE(dialog.Committed());
    EXPECT_EQ(host.prompts.MessageTexts().size(), 1u);
    EXPECT_TRUE(dialog.Session().IsOpen());
    EXPECT_EQ(Obj("bmp").parts[0].encoded, bytes);
    EXPECT_FALSE(doc.CanUndo());
    // Still previewing: the user can cancel and gets the picture back ...
    EXPECT_NE(Obj("bmp").parts[0].GetDecoded()->Pixel(0, 0), 0xFF404040u);
    // ... or try again once storing works.
    dialog.Session().SetEncoder(nullptr);
    Click(dialog.OkButton());
    EXPECT_TRUE(dialog.Committed());
    EXPECT_TRUE(doc.CanUndo());
}

TEST_F(BrightnessDialogTest, NothingToAdjustEndsTheDialogBeforeItShows) {
    doc.mainScene.selectedIds.clear();
    CEffectBrightnessDlg dialog(doc);
    EXPECT_FALSE(dialog.RunModal());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(host.prompts.MessageTexts().empty());
}

}  // namespace
