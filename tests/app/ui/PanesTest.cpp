// The shell's panes offscreen: the layer list editing the document with
// undo, the icon toolbar and the tool strip following the command table, and
// a colour-wheel drag on a light cone as one undo step.
#include "tests/app/ui/TestEditorApp.h"

#include "app/LayerListLayout.h"
#include "app/ui/CLayerListWnd.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CQuillfenEditorApp.h"
#include "app/ui/CRightPane.h"
#include "app/ui/CVerticalToolStripWnd.h"
#include "document/CQuillfenEditorDoc.h"
#include "platform/Clipboard.h"
#include "platform/Profile.h"
#include "platform/Prompts.h"
#include "platform/qt/CToolbarHostWnd.h"
#include "platform/qt/CommandUi.h"
#include "properties/ui/CColorWheelWnd.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropDialogs.h"
#include "properties/ui/CPropertiesPane.h"
#include "filters/ui/CPropTabEffect.h"

#include <QAction>
#include <QDockWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>

#include <algorithm>

#include <gtest/gtest.h>

namespace {
struct Editor : TestEditorApp {
    Editor() { ShowFrame(); }
    CLayerListWnd* List() const { return frame->Workspace()->RightPane()->LayerList(); }
};

CanvasObject Box(const std::string& id, int z) {
    CanvasObject o;
    o.id = id;
    o.name = id;
    o.width = o.height = 40;
    o.z = z;
    return o;
}

QPoint CentreOf(const CLayerListWnd* list, LayerListBox::Kind kind, const std::string& id) {
    for (const LayerListBox& b : LayoutLayerList(list->View())) {
        const bool match = kind == LayerListBox::Header ? b.layer && b.layer->id == id : b.object && b.object->id == id;
        if (b.kind == kind && match) return QPoint((b.box.left + b.box.right) / 2, (b.box.top + b.box.bottom) / 2);
    }
    ADD_FAILURE() << "no row for " << id;
    return {};
}
}  // namespace

TEST(LayerList, DragReordersOntoAnotherLayerAndUndoes) {
    Editor e;
    CanvasDocument& scene = e.doc->mainScene;
    Layer& top = scene.AddLayer();  // layer_2, on top
    ASSERT_TRUE(scene.AddObjectToLayer(top, Box("object_1", 0)));
    ASSERT_TRUE(scene.AddObjectToLayer(*scene.FindLayer("layer_1"), Box("object_2", 0)));
    scene.ClearSelection();
    CLayerListWnd* list = e.List();
    ASSERT_GT(list->height(), 300);

    // A press that moves 3 right and 3 down (18 > 16) drags: nothing is selected.
    const QPoint from = CentreOf(list, LayerListBox::Object, "object_1");
    const QPoint onto = CentreOf(list, LayerListBox::Header, "layer_1");
    list->OnLButtonDown(MK_LBUTTON, from);
    list->OnMouseMove(MK_LBUTTON, from + QPoint(3, 3));
    EXPECT_TRUE(list->RowDragging());
    list->OnMouseMove(MK_LBUTTON, onto);
    list->grab();  // paints the drag feedback
    EXPECT_TRUE(scene.selectedIds.empty());
    list->OnLButtonUp(0, onto);
    ASSERT_EQ(scene.FindLayerOfObject("object_1")->id, "layer_1");
    EXPECT_EQ(scene.FindLayer("layer_1")->IndexOfObject("object_1"), 0);  // dropped on the header: topmost

    e.doc->OnEditUndo();
    EXPECT_EQ(scene.FindLayerOfObject("object_1")->id, "layer_2");

    // A press released within 4 pixels selects.
    const QPoint row = CentreOf(list, LayerListBox::Object, "object_2");
    list->OnLButtonDown(MK_LBUTTON, row);
    list->OnMouseMove(MK_LBUTTON, row + QPoint(2, 2));
    list->OnLButtonUp(0, row + QPoint(2, 2));
    EXPECT_EQ(scene.selectedIds, std::vector<std::string>{"object_2"});

    // Ctrl is taken from the click itself: it adds, then takes away again.
    const QPoint other = CentreOf(list, LayerListBox::Object, "object_1");
    for (const auto& expected : {std::vector<std::string>{"object_2", "object_1"}, std::vector<std::string>{"object_2"}}) {
        list->OnLButtonDown(MK_LBUTTON | MK_CONTROL, other);
        list->OnLButtonUp(MK_CONTROL, other);
        EXPECT_EQ(scene.selectedIds, expected);
    }
}

TEST(LayerList, DoubleClickOnTheCanvasEditsItsColourInTheProgramsDialog) {
    Editor e;
    e.doc->mainScene.canvasColour = 0xFF336699;
    CLayerListWnd* list = e.List();
    QPoint canvasRow;
    for (const LayerListBox& b : LayoutLayerList(list->View()))
        if (b.kind == LayerListBox::Canvas) canvasRow = QPoint((b.box.left + b.box.right) / 2, (b.box.top + b.box.bottom) / 2);
    ASSERT_FALSE(canvasRow.isNull());

    bool ours = false;
    uint32_t shown = 0, previous = 0;
    QTimer::singleShot(0, [&] {
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(modal, nullptr);
        auto* dlg = qobject_cast<CMyColorSelectDlg*>(modal);
        ours = dlg != nullptr;
        if (!dlg || !dlg->Wheel()) {
            modal->reject();
            return;
        }
        shown = dlg->color;
        previous = dlg->Wheel()->showPrevious ? dlg->previousColor : 0;
        dlg->Wheel()->SetHsl(120, 1, 0.5f);
        dlg->Wheel()->SendCommandToParent(kColorWheelChanged);
        dlg->accept();
    });
    list->OnLButtonDblClk(0, canvasRow);
    ASSERT_TRUE(ours) << "another colour dialog opened";
    EXPECT_EQ(shown, 0x996633u);  // a COLORREF: red in the low byte
    EXPECT_EQ(previous, 0x996633u);
    EXPECT_EQ(e.doc->mainScene.canvasColour, 0xFF00FF00u);
}

TEST(LayerList, DotsToggleVisibilityAndLockWithUndo) {
    Editor e;
    CanvasDocument& scene = e.doc->mainScene;
    ASSERT_TRUE(scene.AddObjectToLayer(*scene.FindLayer("layer_1"), Box("object_1", 0)));
    CLayerListWnd* list = e.List();
    const QPoint header = CentreOf(list, LayerListBox::Header, "layer_1");
    const QPoint object = CentreOf(list, LayerListBox::Object, "object_1");
    struct Case {
        QPoint at;
        std::function<bool()> flag;
    } cases[] = {
        {QPoint(18, header.y()), [&] { return scene.FindLayer("layer_1")->visible; }},
        {QPoint(36, header.y()), [&] { return scene.FindLayer("layer_1")->locked; }},
        {QPoint(18, object.y()), [&] { return scene.FindObject("object_1")->visible; }},
        {QPoint(36, object.y()), [&] { return scene.FindObject("object_1")->locked; }},
    };
    for (const Case& c : cases) {
        const bool before = c.flag();
        const size_t steps = e.doc->mainUndo.undo.size();
        list->OnLButtonDown(MK_LBUTTON, c.at);
        list->OnLButtonUp(0, c.at);
        EXPECT_NE(c.flag(), before) << c.at.x() << "," << c.at.y();
        EXPECT_EQ(e.doc->mainUndo.undo.size(), steps + 1);
        e.doc->OnEditUndo();
        EXPECT_EQ(c.flag(), before);
    }
    // A half-notch wheel step scrolls nothing; two of them one notch.
    list->SetScrollOffset(0);
    for (int i = 0; i < 30; ++i) scene.AddObjectToLayer(*scene.FindLayer("layer_1"), Box("x" + std::to_string(i), i + 1));
    list->OnMouseWheel(0, -60, {});
    EXPECT_EQ(list->ScrollOffset(), 0);
    list->OnMouseWheel(0, -60, {});
    EXPECT_EQ(list->ScrollOffset(), 54);
}

TEST(IconToolbar, FollowsTheCommandTableAndSendsClicks) {
    EnsureQtApp();
    CommandTable table;
    CommandUi ui(table);
    int sent = 0;
    table.Add(CommandTarget::Document, 10, [&] { ++sent; }, [](CommandUpdate& u) { u.Enable(false); });
    table.Add(CommandTarget::Document, 11, [&] { ++sent; }, [](CommandUpdate& u) { u.SetCheck(true); });
    table.Add(CommandTarget::Document, 12, [&] { ++sent; });  // no update rule: stays enabled
    CToolbarHostWnd bar;
    bar.SetDarkTheme();
    bar.SetIconSize(10);
    EXPECT_EQ(bar.IconSize(), 24);
    bar.resize(400, 36);
    bar.SetCommandUi(&ui);
    bar.SetButtons({CToolbarButtonDesc::Command(10, "a"), CToolbarButtonDesc::Command(11, "b"),
                    CToolbarButtonDesc::Command(12, "c"), CToolbarButtonDesc::Command(13, "d")});
    const auto& en = bar.Entries();
    EXPECT_FALSE(en[0].enabled);
    EXPECT_TRUE(en[1].checked && en[1].enabled);
    EXPECT_TRUE(en[2].enabled && !en[2].checked);
    EXPECT_TRUE(en[3].enabled);  // a button no one handles stays enabled

    // Rules change: the next idle update follows them.
    table.SetUpdateRule(CommandTarget::Document, 10, [](CommandUpdate& u) { u.Enable(true); });
    ui.UpdateNow();
    EXPECT_TRUE(bar.Entries()[0].enabled);

    auto click = [&bar](int i) {
        const RectI& r = bar.Entries()[size_t(i)].rect;
        const QPoint p((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        bar.OnLButtonDown(MK_LBUTTON, p);
        bar.OnLButtonUp(0, p);
    };
    click(2);
    EXPECT_EQ(sent, 1);
    table.SetUpdateRule(CommandTarget::Document, 12, [](CommandUpdate& u) { u.Enable(false); });
    ui.UpdateNow();
    click(2);  // disabled: no press, nothing sent
    EXPECT_EQ(sent, 1);
    bar.grab();
}

TEST(ToolStrip, HoldOpensTheFlyoutAndAPickBecomesTheFace) {
    EnsureQtApp();
    CommandTable table;
    CommandUi ui(table);
    std::vector<uint32_t> sent;
    for (uint32_t id : {32818u, 32819u, 32820u, 32857u})
        table.Add(CommandTarget::Document, id, [&sent, id] { sent.push_back(id); });
    CVerticalToolStripWnd strip;
    strip.SetCommandUi(&ui);
    strip.resize(78, 900);
    strip.show();
    strip.SetMode(0, 32);
    int mixer = -1;
    for (size_t i = 0; i < strip.Buttons().size(); ++i)
        if (strip.Buttons()[i].item.commandId == 32818) mixer = int(i);
    ASSERT_GE(mixer, 0);
    const RectI& r = strip.Buttons()[size_t(mixer)].rect;
    const QPoint p((r.left + r.right) / 2, (r.top + r.bottom) / 2);

    // A short click sends the face's command.
    strip.OnLButtonDown(MK_LBUTTON, p);
    EXPECT_TRUE(strip.HoldTimerRunning());
    strip.OnLButtonUp(0, p);
    EXPECT_EQ(sent, std::vector<uint32_t>{32818});
    EXPECT_EQ(strip.Flyout(), nullptr);

    // Holding 400 ms opens the list and sends nothing.
    strip.OnLButtonDown(MK_LBUTTON, p);
    QTest::qWait(300);
    EXPECT_EQ(strip.Flyout(), nullptr);
    QTest::qWait(250);
    ASSERT_NE(strip.Flyout(), nullptr);
    EXPECT_EQ(sent.size(), 1u);
    strip.Flyout()->grab();
    strip.Flyout()->Close(2);  // Smudge Brush
    EXPECT_EQ(sent.back(), 32820u);
    EXPECT_EQ(strip.Buttons()[size_t(mixer)].item.commandId, 32820u);

    // Moving off the pressed button before 400 ms cancels the hold.
    strip.OnLButtonDown(MK_LBUTTON, p);
    strip.OnMouseMove(MK_LBUTTON, QPoint(p.x(), 890));
    EXPECT_FALSE(strip.HoldTimerRunning());
    strip.OnLButtonUp(0, QPoint(p.x(), 890));
    QTest::qWait(450);
    EXPECT_EQ(strip.Flyout(), nullptr);

    // A mode change forgets the picked face.
    strip.SetMode(1, 32);
    strip.SetMode(0, 32);
    EXPECT_EQ(strip.Buttons()[size_t(mixer)].item.commandId, 32818u);
}

TEST(ColorWheel, ADragOnALightConeIsOneUndoStepAlsoWhenTheCaptureIsLost) {
    Editor e;
    ASSERT_TRUE(e.doc->InsertLightCone());
    CanvasDocument& scene = e.doc->mainScene;
    ASSERT_EQ(scene.selectedIds.size(), 1u);
    CanvasObject* light = scene.FindObject(scene.primarySelectedId);
    ASSERT_EQ(light->kind, kObjectLightCone);
    const uint32_t before = light->lightCone.tint;
    const size_t steps = e.doc->mainUndo.undo.size();

    CColorWheelWnd* wheel = e.frame->Workspace()->RightPane()->ColorWheel();
    // The properties pane showed the selected light's white tint in the
    // wheel; a saturated colour makes the drag below change it.
    wheel->SetHsl(200, 1.0f, 0.5f);
    const ColorWheelLayout l = ComputeColorWheelLayout(wheel->width(), wheel->height(), wheel->Hue());
    const float mid = (l.innerRadius + l.outerRadius) / 2;
    wheel->OnLButtonDown(MK_LBUTTON, QPoint(int(l.centreX + mid), int(l.centreY)));
    for (int i = 1; i <= 5; ++i)
        wheel->OnMouseMove(MK_LBUTTON, QPoint(int(l.centreX), int(l.centreY + mid * i / 5)));
    EXPECT_NE(light->lightCone.tint, before);  // live while dragging
    EXPECT_EQ(e.doc->mainUndo.undo.size(), steps);
    wheel->OnCaptureLost();  // ends as a release does
    EXPECT_FALSE(wheel->Dragging());
    EXPECT_EQ(e.doc->mainUndo.undo.size(), steps + 1);
    EXPECT_EQ(light->lightCone.tint, 0xFF000000u | (wheel->Argb() & 0xFFFFFF));
    e.doc->OnEditUndo();
    EXPECT_EQ(scene.FindObject(light->id)->lightCone.tint, before);

    // A typed value outside a drag is a step of its own.
    wheel->SetHsl(10, 0.5f, 0.5f);
    e.frame->DeliverPickedColor(0xFF00FF00);
    EXPECT_EQ(scene.FindObject(light->id)->lightCone.tint, 0xFF00FF00u);
    EXPECT_EQ(e.doc->mainUndo.undo.size(), steps + 1);
}

namespace {
// A press on the hue ring, `moves` moves around it, a release; no moves: a click.
void UseWheel(CColorWheelWnd* wheel, int moves) {
    const ColorWheelLayout l = ComputeColorWheelLayout(wheel->width(), wheel->height(), wheel->Hue());
    const float mid = (l.innerRadius + l.outerRadius) / 2;
    wheel->OnLButtonDown(MK_LBUTTON, QPoint(int(l.centreX + mid), int(l.centreY)));
    for (int i = 1; i <= moves; ++i)
        wheel->OnMouseMove(MK_LBUTTON, QPoint(int(l.centreX), int(l.centreY + mid * i / moves)));
    wheel->OnLButtonUp(0, {});
}
}  // namespace

// Each wheel interaction is one undo step, whatever the colour goes to: the
// Info tab (a light's tint through the frame), the Light tab, every filter
// colour well; a filter's step holds its list, not the 40 MiB picture; an
// interaction that ends on the colour it began with records nothing.
TEST(ColorWheel, EachInteractionIsOneUndoStepForEveryTarget) {
    constexpr int kNoFilter = -1;
    struct Case {
        const char* what;
        int tool;
        PropTabKind tab;
        int filter;
        int moves;
    };
    const Case cases[] = {
        {"Info tab, light tint", kToolMove, PropTabKind::Object, kNoFilter, 6},
        {"Light tab drag", kToolLight, PropTabKind::LightCone, kNoFilter, 6},
        {"Light tab click", kToolLight, PropTabKind::LightCone, kNoFilter, 0},
        {"Drop Shadow", kToolMove, PropTabKind::Effect, kEffectDropShadow, 6},
        {"Glow", kToolMove, PropTabKind::Effect, kEffectGlow, 6},
        {"Color Fill", kToolMove, PropTabKind::Effect, kEffectColorFill, 6},
        {"Outer Bevel", kToolMove, PropTabKind::Effect, kEffectOuterBevel, 6},
        {"Newtonian Shadow", kToolMove, PropTabKind::Effect, kEffectNewtonianShadow, 6},
        {"Drop Shadow click", kToolMove, PropTabKind::Effect, kEffectDropShadow, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Editor e;
        CanvasDocument& scene = e.doc->mainScene;
        std::string id;
        if (c.filter == kNoFilter) {
            ASSERT_TRUE(e.doc->InsertLightCone());
            id = scene.primarySelectedId;
        } else {
            CanvasObject o = Box("object_9", 0);
            o.parts.assign(1, ImagePart{});
            o.parts[0].encoded.assign(size_t(40) << 20, 0x5A);  // never drawn: the canvas is not shown here
            o.visible = false;
            ASSERT_TRUE(scene.AddObjectToLayer(*scene.FindLayer("layer_1"), o));
            id = "object_9";
            scene.SelectObject(id);
        }
        e.doc->SetActiveTool(c.tool);
        CPropertiesPane* pane = e.frame->Workspace()->PropertiesPane();
        pane->UpdateForContext();
        IPropertyTab* tab = pane->FindTab(c.tab);
        const auto& visible = pane->VisibleTabs();
        const auto at = std::find(visible.begin(), visible.end(), tab);
        ASSERT_NE(at, visible.end());
        pane->SelectVisible(int(at - visible.begin()));
        if (c.filter != kNoFilter) static_cast<CPropTabEffect*>(tab)->AddEffect(uint8_t(c.filter));
        EXPECT_EQ(pane->ColorSink() != nullptr, c.tab != PropTabKind::Object);
        auto colour = [&]() -> uint32_t {
            if (c.filter == kNoFilter) return scene.FindObject(id)->lightCone.tint;
            return pane->ColorSink()->GetColor();
        };

        CColorWheelWnd* wheel = e.frame->Workspace()->RightPane()->ColorWheel();
        wheel->SetHsl(200, 1.0f, 0.5f);  // saturated, so the ring changes the colour
        const uint32_t before = colour();
        const size_t steps = e.doc->mainUndo.undo.size(), bytes = e.doc->HistoryBytes();
        UseWheel(wheel, c.moves);
        const uint32_t after = colour();
        EXPECT_NE(after, before);
        EXPECT_EQ(e.doc->mainUndo.undo.size(), steps + 1);
        EXPECT_LT(e.doc->HistoryBytes() - bytes, size_t(64) << 10);

        // The same click again ends on the colour it began with: no step, and
        // the modified flag stays as it was.
        wheel->SetHsl(0, 1.0f, 0.5f);
        UseWheel(wheel, 0);
        const uint32_t settled = colour();
        const size_t settledSteps = e.doc->mainUndo.undo.size();
        e.doc->SetModifiedFlag(false);
        UseWheel(wheel, 0);
        EXPECT_EQ(colour(), settled);
        EXPECT_EQ(e.doc->mainUndo.undo.size(), settledSteps);
        EXPECT_FALSE(e.doc->IsModified());

        // One Ctrl+Z per interaction.
        EXPECT_LE(e.doc->mainUndo.undo.size() - steps, 2u);
        while (e.doc->mainUndo.undo.size() > steps) e.doc->OnEditUndo();
        EXPECT_EQ(colour(), before);
        // The wheel follows its target through undo and redo (its HSL
        // position may round a channel by one).
        auto near = [](uint32_t a, uint32_t b) {
            for (int shift : {0, 8, 16})
                if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 1) return false;
            return true;
        };
        EXPECT_PRED2(near, wheel->Argb(), before);
        e.doc->OnEditRedo();
        EXPECT_NE(colour(), before);
        EXPECT_PRED2(near, wheel->Argb(), colour());
    }
}

TEST(RightPane, PagesPerModeAndLayout) {
    EnsureQtApp();
    CRightPane pane;
    pane.resize(220, 800);
    pane.show();
    EXPECT_EQ(CRightPane::WheelHeight(220), 347);
    EXPECT_EQ(CRightPane::WheelHeight(330), 448);
    EXPECT_EQ(pane.Page(0)->geometry(), QRect(0, 347, 220, 800 - 347));
    EXPECT_EQ(pane.CanvasPage()->Toolbar()->height(), 40);
    pane.SetMode(2);
    EXPECT_FALSE(pane.ColorWheel()->isVisible());
    EXPECT_EQ(pane.ApplyButton()->geometry(), QRect(10, 10, 200, 32));
    EXPECT_EQ(pane.CancelButton()->geometry(), QRect(10, 48, 200, 32));
    // The buttons are the pane's own text buttons and end the smart fill.
    EXPECT_EQ(pane.ApplyButton()->text, "Apply");
    EXPECT_EQ(pane.CancelButton()->GetDlgCtrlID(), 1102);
    int clickedApply = 0, clickedCancel = 0;
    pane.applyInpaint = [&] { ++clickedApply; };
    pane.cancelInpaint = [&] { ++clickedCancel; };
    for (CPropTextButton* b : {pane.ApplyButton(), pane.CancelButton()}) {
        b->OnLButtonDown(MK_LBUTTON, QPoint(5, 5));
        b->OnLButtonUp(0, QPoint(5, 5));
    }
    EXPECT_EQ(clickedApply, 1);
    EXPECT_EQ(clickedCancel, 1);
    EXPECT_EQ(pane.Page(2)->geometry().top(), 90);
    EXPECT_TRUE(pane.Page(2)->isVisible());
    EXPECT_FALSE(pane.Page(0)->isVisible());
    // A later page replaces the placeholder of its mode.
    auto* page = new QWidget;
    pane.SetPage(2, page);
    EXPECT_EQ(pane.Page(2), page);
    EXPECT_TRUE(page->isVisible());
    int applied = 0;
    pane.applyInpaint = [&] { ++applied; };
    pane.OnCommand(CRightPane::kApplyId, 0, nullptr);
    EXPECT_EQ(applied, 1);
    // A notification from another wheel is ignored.
    CColorWheelWnd other;
    int picked = 0;
    pane.colorPicked = [&](uint32_t) { ++picked; };
    pane.OnCommand(CRightPane::kWheelId, kColorWheelChanged, &other);
    EXPECT_EQ(picked, 0);
}

TEST(MainFrame, ViewMenuTogglesTheDockingPanes) {
    Editor e;
    QAction* toolbar = nullptr;
    QAction* tools = nullptr;
    QMenu* panes = nullptr;
    for (QAction* top : e.frame->menuBar()->actions())
        if (top->text() == "&View" && top->menu())
            for (QAction* a : top->menu()->actions())
                if (a->menu() && a->text() == "&Toolbars and Docking Windows") panes = a->menu();
    ASSERT_NE(panes, nullptr);
    for (QAction* a : panes->actions()) {
        if (a->text() == "Toolbar") toolbar = a;
        if (a->text() == "Tools") tools = a;
        if (a->isVisible()) {
            EXPECT_NE(a->text(), "<placeholder>");
        }
    }
    ASSERT_NE(toolbar, nullptr);
    ASSERT_NE(tools, nullptr);
    EXPECT_TRUE(tools->isChecked());
    tools->trigger();
    EXPECT_TRUE(e.frame->ToolsPane()->isHidden());
    tools->trigger();
    EXPECT_FALSE(e.frame->ToolsPane()->isHidden());
    // The workspace mode reaches the tool strip and the right pane.
    ASSERT_TRUE(e.frame->SetWorkspaceModeTo(0));
    EXPECT_EQ(e.frame->ToolsStrip()->Mode(), 0);
    EXPECT_EQ(e.frame->Workspace()->RightPane()->Mode(), 0);
}
