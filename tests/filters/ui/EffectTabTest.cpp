// The "Effect" tab over a real document: list operations with undo, each
// view's controls mapped to its record, one undo step per interaction.
#include "../../platform/ui/QtTestApp.h"

#include "filters/EffectRegistry.h"
#include "filters/ui/BevelParamsView.h"
#include "filters/ui/CEffectParamsView.h"
#include "filters/ui/CEffectStackListWnd.h"
#include "filters/ui/CPropCurveEdit.h"
#include "filters/ui/CPropHueSatSlider.h"
#include "filters/ui/CPropTabEffect.h"
#include "filters/ui/EffectViewFactories.h"
#include "filters/ui/LevelsControls.h"
#include "properties/ui/CPropAngleEdit.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropDropdown.h"
#include "properties/ui/CPropNumericEdit.h"

#include "../../document/BitmapObjects.h"
#include "../../document/DocumentFixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

CPropNumericEdit* EditById(QWidget* view, int id) {
    for (CPropNumericEdit* e : view->findChildren<CPropNumericEdit*>())
        if (e->GetDlgCtrlID() == id) return e;
    return nullptr;
}

struct PaneHost : PropertiesPaneHost {
    CQuillfenEditorDoc* doc = nullptr;
    CQuillfenEditorDoc* GetActiveDocument() override { return doc; }
};

class EffectTabTest : public DocumentFixture {
protected:
    void SetUp() override {
        EnsureQtApp();
        RegisterEffectParamsViews();
        paneHost.doc = &doc;
        SetPropertiesPaneHost(&paneHost);
        AddTo(doc.mainScene, "layer_1", MakeSolidObject("bmp", "Pic", 0, 0, 8, 6, 0xFF336699));
        doc.mainScene.SelectObject("bmp");
        tab = std::make_unique<CPropTabEffect>();
        tab->resize(900, 120);
        TabContext ctx;
        ctx.objectId = "bmp";
        ctx.objectKind = 1;
        ctx.selectionCount = 1;
        tab->OnContext(ctx);
        doc.ClearAllUndo();
    }
    void TearDown() override {
        tab.reset();
        SetPropertiesPaneHost(nullptr);
    }
    std::vector<EffectInstance>& Stack() { return Obj("bmp").effects; }
    CEffectParamsView* View() { return dynamic_cast<CEffectParamsView*>(tab->View()); }
    // One user interaction with a value control: begin, changes, end.
    void Interact(int id, const std::function<void()>& set) {
        IEffectParamsView* view = tab->View();
        ASSERT_NE(view, nullptr);
        view->OnCommand(id, kPropBegin, nullptr);
        set();
        view->OnCommand(id, kPropChanged, nullptr);
        view->OnCommand(id, kPropEnd, nullptr);
    }

    PaneHost paneHost;
    std::unique_ptr<CPropTabEffect> tab;
};

TEST_F(EffectTabTest, AddingSelectsTheNewFilterAndListOperationsUndo) {
    EXPECT_EQ(tab->HintText(), "Click + to add a filter.");
    tab->AddEffect(kEffectBlur);
    tab->AddEffect(kEffectInvert);
    ASSERT_EQ(Stack().size(), 2u);
    EXPECT_EQ(tab->List()->Selection(), 1);
    EXPECT_EQ(tab->View(), nullptr);
    EXPECT_EQ(tab->HintText(), "This filter has no parameters yet.");
    tab->List()->onMove(1, -1);
    EXPECT_EQ(Stack()[0].type, kEffectInvert);
    EXPECT_EQ(tab->List()->Selection(), 0);
    tab->List()->onEnableOne(1, false);
    EXPECT_FALSE(Stack()[1].enabled);
    tab->List()->onRemove(1);
    ASSERT_EQ(Stack().size(), 1u);
    EXPECT_EQ(tab->List()->Selection(), 0);
    for (int i = 0; i < 5; ++i) doc.OnEditUndo();
    EXPECT_TRUE(Stack().empty());
    EXPECT_FALSE(doc.CanUndo());
    tab->Refresh();
    EXPECT_EQ(tab->List()->Selection(), -1);
}

TEST_F(EffectTabTest, AViewEditIsOneUndoStepAndFollowsTheStackThroughUndo) {
    tab->AddEffect(kEffectBlur);
    doc.ClearAllUndo();
    ASSERT_NE(View(), nullptr);
    CPropNumericEdit* radius = View()->Numeric(1001);
    ASSERT_NE(radius, nullptr);
    EXPECT_FLOAT_EQ(radius->value, 5);
    Interact(1001, [&] {
        radius->value = 8;
        View()->OnCommand(1001, kPropChanged, nullptr);
        radius->value = 12.5f;
    });
    EXPECT_FLOAT_EQ(Stack()[0].params.Get<BlurParams>()->radius, 0.125f);
    doc.OnEditUndo();
    EXPECT_FLOAT_EQ(Stack()[0].params.Get<BlurParams>()->radius, 0.05f);
    EXPECT_FALSE(doc.CanUndo());
    // The stack was replaced by the undo: the open view edits the new one.
    tab->Refresh();
    Interact(1001, [&] { radius->value = 20; });
    EXPECT_FLOAT_EQ(Stack()[0].params.Get<BlurParams>()->radius, 0.2f);
    // The object is gone: an edit does nothing and nothing crashes.
    doc.mainScene.DeleteObject("bmp");
    Interact(1001, [&] { radius->value = 3; });
    EXPECT_EQ(tab->CurrentInstance(), nullptr);
}

TEST_F(EffectTabTest, EachViewWritesItsControlsIntoItsRecord) {
    struct Case {
        uint8_t type;
        int id;
        float shown;  // the control's value after the user's change
        std::function<float(const EffectParams&)> stored;
        float expected;
    };
    const Case cases[] = {
        {kEffectBrightnessContrast, 1002, -40, [](auto& p) { return p.template Get<BrightnessContrastParams>()->contrast; }, -0.4f},
        {kEffectColorFill, 1001, 25, [](auto& p) { return p.template Get<ColorFillParams>()->opacity; }, 0.25f},
        {kEffectGaussianBlur, 1001, 2.5f, [](auto& p) { return p.template Get<GaussianBlurParams>()->radius; }, 0.025f},
        {kEffectDropShadow, 1002, 7, [](auto& p) { return p.template Get<DropShadowParams>()->softness; }, 0.07f},
        {kEffectInnerShadow, 1001, 9, [](auto& p) { return p.template Get<InnerShadowParams>()->distance; }, 9},
        {kEffectGlow, 1003, 50, [](auto& p) { return p.template Get<GlowParams>()->opacity; }, 0.5f},
        {kEffectInnerGlow, 1001, 6, [](auto& p) { return p.template Get<InnerGlowParams>()->width; }, 6},
        {kEffectKaleidoscopeBlur, 1001, 3.5f, [](auto& p) { return p.template Get<KaleidoscopeBlurParams>()->width; }, 3.5f},
        {kEffectMotionBlur, 1102, 44, [](auto& p) { return p.template Get<MotionBlurParams>()->length; }, 44},
        {kEffectHueSaturation, 1005, -30, [](auto& p) { return p.template Get<HueSaturationParams>()->saturation; }, -0.3f},
        {kEffectNewtonianShadow, 1003, 1.5f, [](auto& p) { return p.template Get<NewtonianShadowParams>()->spread; }, 1.5f},
        {kEffectGaussianBevel, 1003, 37, [](auto& p) { return p.template Get<GaussianBevelParams>()->strength; }, 0.37f},
        {kEffectEmboss, 1001, 20, [](auto& p) { return p.template Get<EmbossParams>()->width; }, 20},
        {kEffectOuterBevel, 1002, 12, [](auto& p) { return p.template Get<OuterBevelParams>()->softness; }, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FindEffectTypeInfo(c.type).name);
        Stack().clear();
        tab->AddEffect(c.type);
        doc.ClearAllUndo();
        ASSERT_NE(tab->View(), nullptr);
        CPropNumericEdit* edit = EditById(tab->View(), c.id);
        ASSERT_NE(edit, nullptr);
        Interact(c.id, [&] { edit->value = c.shown; });
        EXPECT_NEAR(c.stored(Stack()[0].params), c.expected, 1e-5f);
        EXPECT_TRUE(doc.CanUndo());
        doc.OnEditUndo();
        EXPECT_FALSE(doc.CanUndo());
    }
}

TEST_F(EffectTabTest, ProfileCurveColourAndLevelsControls) {
    tab->AddEffect(kEffectOuterBevel);
    auto* view = dynamic_cast<CBevelParamsView*>(tab->View());
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->Curve()->isHidden());
    doc.ClearAllUndo();
    view->Profile()->SetCurSel(4);
    view->OnCommand(1000, kPropClick, nullptr);
    EXPECT_EQ(Stack()[0].params.Get<OuterBevelParams>()->profile, 4);
    EXPECT_FALSE(view->Curve()->isHidden());
    EXPECT_EQ(view->Panels().size(), 3u);
    Interact(1005, [&] { view->Curve()->SetPoints({{0, 0}, {0.5f, 0.8f}, {1, 1}}); });
    EXPECT_EQ(Stack()[0].params.Get<OuterBevelParams>()->points.size(), 3u);
    // Colours from the wheel arrive opaque; the same colour again does nothing.
    tab->GetColorSink()->SetColor(0x00112233);
    EXPECT_EQ(Stack()[0].params.Get<OuterBevelParams>()->color, 0xFF112233u);
    tab->GetColorSink()->SetColor(0xFF112233);
    int steps = 0;
    while (doc.CanUndo()) doc.OnEditUndo(), ++steps;
    EXPECT_EQ(steps, 3);  // profile, curve, colour

    Stack().clear();
    tab->AddEffect(kEffectLevels);
    auto* levels = dynamic_cast<CEffectParamsView*>(tab->View());
    ASSERT_NE(levels, nullptr);
    auto* channel = levels->findChild<CPropDropdown*>();
    channel->SetCurSel(2);
    levels->OnCommand(1001, kPropClick, nullptr);
    auto* shadow = levels->findChildren<CPropNumericEdit*>().front();
    ASSERT_EQ(shadow->GetDlgCtrlID(), 1002);
    Interact(1002, [&] { shadow->value = 300; });  // above input high - 1
    const LevelsParams& r = *Stack()[0].params.Get<LevelsParams>();
    EXPECT_EQ(r.channel, 2);
    EXPECT_EQ(r.green.inputLow, 254);
    EXPECT_EQ(r.rgb.inputLow, 0);
}

// Every control of the Levels view in turn on the Red curve: what the user
// sets, the curve stored after it and what the edit of that value shows.
TEST_F(EffectTabTest, LevelsControlsMapToTheShownChannelsCurve) {
    tab->AddEffect(kEffectLevels);
    auto* view = dynamic_cast<CEffectParamsView*>(tab->View());
    ASSERT_NE(view, nullptr);
    auto* histogram = view->findChild<CPropLevelsHistogram*>();
    auto* output = view->findChild<CPropLevelsOutput*>();
    ASSERT_TRUE(histogram && output);
    doc.ClearAllUndo();
    view->findChild<CPropDropdown*>()->SetCurSel(1);
    view->OnCommand(1001, kPropClick, nullptr);
    LevelsParams& r = *Stack()[0].params.Get<LevelsParams>();
    ASSERT_EQ(r.channel, 1);

    struct Step {
        int id;
        std::function<void()> set;
        LevelsChannel red;  // in, in high, gamma, out, out high
        float shown;        // the edit of this id afterwards (edits only)
    };
    auto edit = [&](int id, float v) { return [=, this] { EditById(tab->View(), id)->value = v; }; };
    const Step script[] = {
        {1003, edit(1003, 10), {0, 10, 1, 0, 255}, 10},
        {1002, edit(1002, 20), {9, 10, 1, 0, 255}, 9},  // one below input high
        {1003, edit(1003, 300), {9, 255, 1, 0, 255}, 255},
        {1002, edit(1002, 20.5f), {21, 255, 1, 0, 255}, 20.5f},  // halves away from zero
        {1004, edit(1004, 2.5f), {21, 255, 2.5f, 0, 255}, 2.5f},
        {1004, edit(1004, 50), {21, 255, 9.99f, 0, 255}, 50},
        {1005, edit(1005, 300), {21, 255, 9.99f, 255, 255}, 300},
        {1006, edit(1006, -4), {21, 255, 9.99f, 255, 0}, -4},
        {1009, [&] { histogram->SetInputLow(40), histogram->SetInputHigh(200), histogram->SetGamma(0.5f); },
         {40, 200, 0.5f, 255, 0}, 0},
        {1010, [&] { output->SetOutputLow(10), output->SetOutputHigh(245); }, {40, 200, 0.5f, 10, 245}, 0},
    };
    for (const Step& step : script) {
        SCOPED_TRACE(step.id);
        Interact(step.id, step.set);
        EXPECT_EQ(r.red, step.red);
        if (step.id <= 1006) {
            EXPECT_FLOAT_EQ(EditById(tab->View(), step.id)->value, step.shown);
        }
    }
    // The markers follow typed values; the edits follow dragged markers.
    EXPECT_EQ(histogram->InputLow(), 40);
    EXPECT_FLOAT_EQ(EditById(view, 1002)->value, 40);
    EXPECT_FLOAT_EQ(EditById(view, 1004)->value, 0.5f);
    EXPECT_FLOAT_EQ(EditById(view, 1006)->value, 245);
    // Only the Red curve changed; "Auto" resets just that curve, as "Reset" does.
    EXPECT_EQ(r.rgb, LevelsChannel{});
    EXPECT_EQ(r.green, LevelsChannel{});
    r.green.gamma = 3;  // a stored value on another curve
    view->OnCommand(1007, kPropClick, nullptr);
    EXPECT_EQ(r.red, LevelsChannel{});
    EXPECT_FLOAT_EQ(r.green.gamma, 3);
    EXPECT_EQ(r.channel, 1);
    EXPECT_FLOAT_EQ(EditById(view, 1003)->value, 255);
    EXPECT_EQ(histogram->InputHigh(), 255);
    // One undo step per interaction: the channel pick, the script and "Auto".
    int undone = 0;
    while (doc.CanUndo()) doc.OnEditUndo(), ++undone;
    EXPECT_EQ(undone, 1 + int(std::size(script)) + 1);
}

// Each Hue/Saturation slider and its numeric field follow each other.
TEST_F(EffectTabTest, HueSaturationSlidersAndFieldsFollowEachOther) {
    tab->AddEffect(kEffectHueSaturation);
    auto* view = dynamic_cast<CEffectParamsView*>(tab->View());
    ASSERT_NE(view, nullptr);
    CPropHueSatSlider* sliders[3] = {};
    for (CPropHueSatSlider* s : view->findChildren<CPropHueSatSlider*>()) sliders[s->GetDlgCtrlID() - 1001] = s;
    ASSERT_TRUE(sliders[0] && sliders[1] && sliders[2]);
    doc.ClearAllUndo();
    const HueSaturationParams& r = *Stack()[0].params.Get<HueSaturationParams>();
    Interact(1002, [&] { sliders[1]->SetValue(40); });
    EXPECT_FLOAT_EQ(r.saturation, 0.4f);
    EXPECT_FLOAT_EQ(EditById(view, 1005)->value, 40);
    Interact(1001, [&] { sliders[0]->SetValue(120); });
    EXPECT_FLOAT_EQ(r.hue, 120);
    EXPECT_FLOAT_EQ(EditById(view, 1004)->value, 120);
    Interact(1004, [&] { EditById(view, 1004)->value = -90; });
    EXPECT_FLOAT_EQ(r.hue, -90);
    EXPECT_FLOAT_EQ(sliders[0]->Value(), -90);
    Interact(1006, [&] { EditById(view, 1006)->value = -25; });
    EXPECT_FLOAT_EQ(r.lightness, -0.25f);
    EXPECT_FLOAT_EQ(sliders[2]->Value(), -25);
    auto* colorize = view->findChild<CPropCheckbox*>();
    ASSERT_NE(colorize, nullptr);
    colorize->SetCheck(true);
    view->OnCommand(1007, kPropClick, nullptr);
    EXPECT_EQ(r.colorize, 1);
    int undone = 0;
    while (doc.CanUndo()) doc.OnEditUndo(), ++undone;
    EXPECT_EQ(undone, 5);
}

}  // namespace

TEST_F(EffectTabTest, AfterUndoOfAReorderThePanelShowsTheSelectedFilterAndEditsIt) {
    tab->AddEffect(kEffectDropShadow);
    tab->AddEffect(kEffectBlur);
    tab->List()->onMove(1, -1);  // Blur, Drop Shadow
    tab->List()->SetSelection(1);
    tab->List()->onSelect(1);
    ASSERT_EQ(tab->ShownType(), kEffectDropShadow);
    doc.OnEditUndo();  // Drop Shadow, Blur: the selected row is Blur now
    tab->Refresh();
    ASSERT_EQ(Stack()[1].type, kEffectBlur);
    EXPECT_EQ(tab->ShownType(), kEffectBlur);
    ASSERT_NE(View(), nullptr);
    EXPECT_EQ(View()->Alternative(), Stack()[1].params.Alternative());
    Interact(1001, [&] { View()->Numeric(1001)->value = 30; });
    EXPECT_FLOAT_EQ(Stack()[1].params.Get<BlurParams>()->radius, 0.3f);
    // Redo brings the other type back under the selection, and its controls.
    doc.OnEditUndo();
    doc.OnEditRedo();
    tab->Refresh();
    EXPECT_EQ(tab->ShownType(), int(Stack()[1].type));
    // An undo that empties the stack leaves no panel.
    while (doc.CanUndo()) doc.OnEditUndo();
    tab->Refresh();
    EXPECT_EQ(tab->View(), nullptr);
    EXPECT_EQ(tab->ShownType(), -1);
}

// A filter step keeps the filter list, not the object's picture: a hundred
// slider interactions on a 40 MiB object add well under 1 MiB of history.
TEST_F(EffectTabTest, FilterStepsHoldTheFilterListNotThePicture) {
    Obj("bmp").parts.front().encoded.assign(size_t(40) << 20, 0x5A);
    Obj("bmp").maskPixels.assign(size_t(4) << 20, 255);
    struct Case {
        const char* what;
        std::function<void()> act;
        size_t steps;
    };
    int next = 0;
    const Case cases[] = {
        {"add", [&] { tab->AddEffect(kEffectBlur), tab->AddEffect(kEffectDropShadow); }, 2},
        {"reorder", [&] { tab->List()->onMove(1, -1); }, 1},
        {"toggle", [&] { tab->List()->onEnableOne(0, false), tab->List()->onEnableAll(true); }, 2},
        {"remove", [&] { tab->List()->onRemove(1); }, 1},
        {"100 slider drags",
         [&] {
             ASSERT_NE(View(), nullptr);
             for (int i = 0; i < 100; ++i)
                 Interact(1001, [&] { View()->Numeric(1001)->value = float(1 + (next++ % 50)); });
         },
         100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const size_t steps = doc.mainUndo.undo.size(), bytes = doc.HistoryBytes();
        c.act();
        EXPECT_EQ(doc.mainUndo.undo.size() - steps, c.steps);
        EXPECT_LT(doc.HistoryBytes() - bytes, size_t(1) << 20);
    }
    doc.OnEditUndo();
    EXPECT_EQ(Obj("bmp").parts.front().encoded.size(), size_t(40) << 20);
}
