// The properties pane and its own tabs over a real document: which tabs show,
// live edits recorded as one undo step per interaction, the light tab's
// slider mapping, and the canvas size and colour dialogs.
#include "document/CQuillfenEditorDoc.h"
#include "platform/qt/CToolbarHostWnd.h"
#include "properties/ObjectTabModel.h"
#include "properties/PropNumbers.h"
#include "properties/ui/CColorWheelWnd.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropColorWell.h"
#include "properties/ui/CPropDialogs.h"
#include "properties/ui/CPropDropdown.h"
#include "properties/ui/CPropNumericEdit.h"
#include "properties/ui/CPropSliderWnd.h"
#include "properties/ui/CPropTabs.h"
#include "properties/ui/CPropertiesPane.h"
#include "../../platform/ui/QtTestApp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {
struct TestHost : PropertiesPaneHost {
    CQuillfenEditorDoc* doc = nullptr;
    std::string caption;
    uint32_t wheelColor = 0;
    CQuillfenEditorDoc* GetActiveDocument() override { return doc; }
    bool HasColorWheel() override { return true; }
    std::string ColorWheelCaption() override { return caption; }
    void SetColorWheelCaption(const std::string& text) override { caption = text; }
    void LoadColorWheel(uint32_t ref) override { wheelColor = ref; }
};

// A document with a 200 x 100 bitmap ("object_1", stored 200 x 100) and a
// light cone ("object_2") on a 1000 x 800 canvas.
struct TabsFixture : ::testing::Test {
    CQuillfenEditorDoc doc;
    TestHost host;
    void SetUp() override {
        EnsureQtApp();
        host.doc = &doc;
        SetPropertiesPaneHost(&host);
        doc.mainScene.width = 1000, doc.mainScene.height = 800;
        CanvasObject bitmap;
        bitmap.id = "object_1";
        bitmap.x = 10, bitmap.y = 20, bitmap.width = 200, bitmap.height = 100;
        ImagePart part;
        part.pixelWidth = 200, part.pixelHeight = 100;
        bitmap.parts.push_back(part);
        CanvasObject light;
        light.id = "object_2";
        light.kind = kObjectLightCone;
        light.width = 1000, light.height = 800;
        doc.mainScene.layers[0].objects = {bitmap, light};
    }
    void TearDown() override { SetPropertiesPaneHost(nullptr); }
    void Select(const std::string& id, int tool) {
        doc.mainScene.selectedIds = {id};
        doc.mainScene.primarySelectedId = id;
        doc.activeTool = tool;
    }
    CanvasObject& Object(const std::string& id) { return *doc.mainScene.FindObject(id); }
};

QPoint SliderX(const CPropSliderWnd& s, float value) {
    const int right = s.width() - (s.showValueBox ? 60 : 8);
    const float t = (value - s.minimum) / (s.maximum - s.minimum);
    return QPoint(8 + int(std::lround(t * float(right - 8))), 10);
}
}  // namespace

TEST_F(TabsFixture, PaneShowsTheTabsOfTheContext) {
    QWidget frame;
    frame.resize(900, 200);
    auto* panePtr = new CPropertiesPane();  // owned by frame
    CPropertiesPane& pane = *panePtr;
    ASSERT_TRUE(pane.CreateChildren(&frame, QRect(0, 0, 900, 140)));
    auto titles = [&] {
        std::string s;
        for (IPropertyTab* t : pane.VisibleTabs()) s += (s.empty() ? "" : ",") + t->GetTitle();
        return s;
    };
    EXPECT_EQ(titles(), "Info");  // the message tab
    Select("object_2", kToolLight);
    pane.UpdateForContext();
    EXPECT_EQ(titles(), "Light");
    ASSERT_NE(pane.ColorSink(), nullptr);
    EXPECT_EQ(host.caption, "Light Tint");
    // Move tool on the light: the object tab, no sink, the wheel emptied of
    // its caption and showing the light's tint.
    Object("object_2").lightCone.tint = 0xFF102030;
    Select("object_2", kToolMove);
    pane.UpdateForContext();
    EXPECT_EQ(titles(), "Info");
    EXPECT_EQ(pane.ColorSink(), nullptr);
    EXPECT_EQ(host.caption, "");
    EXPECT_EQ(host.wheelColor, 0x302010u);
    EXPECT_EQ(pane.ActiveTab(), pane.FindTab(PropTabKind::Object));
    // Two objects: the message tab says so; the strip keeps 40 px at least.
    doc.mainScene.selectedIds = {"object_1", "object_2"};
    pane.UpdateForContext();
    auto* message = dynamic_cast<CPropTabMessage*>(pane.ActiveTab());
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->message, "Multiple objects selected");
    EXPECT_EQ(pane.Strip()->TabRects().at(0).rect.width(), 80);
    // A picked colour with no sink tints the single selected light.
    Select("object_2", kToolMove);
    pane.UpdateForContext();
    pane.DeliverPickedColor(0x80112233);
    EXPECT_EQ(Object("object_2").lightCone.tint, 0xFF112233u);
}

TEST_F(TabsFixture, ObjectTabEditsAreOneUndoStepEach) {
    Select("object_1", kToolMove);
    CPropTabObject tab;
    tab.resize(900, 116);
    tab.show();
    tab.OnContext(BuildTabContext(&doc));
    EXPECT_FLOAT_EQ(tab.w->value, 200);
    EXPECT_EQ(tab.InfoText(), "Bitmap");

    // Opacity dragged from 100 to 50: one transform step 1.0 -> 0.5.
    CPropSliderWnd& opacity = *tab.opacity;
    opacity.OnLButtonDown(0, SliderX(opacity, 100));
    opacity.OnMouseMove(MK_LBUTTON, SliderX(opacity, 75));
    opacity.OnMouseMove(MK_LBUTTON, SliderX(opacity, 50));
    opacity.OnLButtonUp(0, SliderX(opacity, 50));
    ASSERT_EQ(doc.mainUndo.undo.size(), 1u);
    EXPECT_EQ(doc.mainUndo.undo[0].kind, kUndoObjectTransform);
    EXPECT_FLOAT_EQ(doc.mainUndo.undo[0].transformBefore.opacity, 1.0f);
    EXPECT_NEAR(doc.mainUndo.undo[0].transformAfter.opacity, 0.5f, 0.02f);

    // Typing a width with the link on follows the aspect; one step.
    tab.w->Edit()->setFocus();
    tab.w->Edit()->setText("400");
    QTest::keyClick(tab.w->Edit(), Qt::Key_Return);
    EXPECT_FLOAT_EQ(Object("object_1").width, 400);
    EXPECT_FLOAT_EQ(Object("object_1").height, 200);
    EXPECT_FLOAT_EQ(tab.h->value, 200);
    ASSERT_EQ(doc.mainUndo.undo.size(), 2u);
    EXPECT_FLOAT_EQ(doc.mainUndo.undo[1].transformBefore.width, 200);
    EXPECT_FLOAT_EQ(doc.mainUndo.undo[1].transformAfter.height, 200);
    tab.Refresh();
    EXPECT_EQ(tab.InfoText(), "Bitmap (upscaled \u2014 stored 200\u00D7100)");

    // With the link off only the width changes.
    tab.link->Toggle();
    tab.w->Edit()->setText("300");
    QTest::keyClick(tab.w->Edit(), Qt::Key_Return);
    EXPECT_FLOAT_EQ(Object("object_1").width, 300);
    EXPECT_FLOAT_EQ(Object("object_1").height, 200);
    EXPECT_EQ(doc.mainUndo.undo.size(), 3u);

    // A drag that loses the capture still records its step.
    tab.x->OnLButtonDown(0, QPoint(2, 10));
    tab.x->OnMouseMove(MK_LBUTTON, QPoint(12, 10));
    tab.x->OnCaptureLost();
    EXPECT_FLOAT_EQ(Object("object_1").x, 15);
    EXPECT_EQ(doc.mainUndo.undo.size(), 4u);

    // Photo-Bash Blend shows its rows; another mode removes them.
    EXPECT_FALSE(tab.PhotoBashShown());
    tab.blend->SetCurSel(BlendItemIndexForMode(45));
    tab.OnCommand(230, kPropClick, tab.blend);
    EXPECT_EQ(Object("object_1").blendMode, 45);
    EXPECT_TRUE(tab.PhotoBashShown());
    EXPECT_TRUE(tab.mix->isVisible());
    EXPECT_EQ(doc.mainUndo.undo.back().kind, kUndoBlendMode);
    tab.blend->SetCurSel(BlendItemIndexForMode(4));
    tab.OnCommand(230, kPropClick, tab.blend);
    EXPECT_FALSE(tab.PhotoBashShown());
    EXPECT_FALSE(tab.mix->isVisible());
}

TEST_F(TabsFixture, LightTabWritesOnlyTheMovedSlider) {
    Select("object_2", kToolLight);
    CPropTabLightCone tab;
    tab.resize(900, 116);
    tab.show();
    Object("object_2").lightCone.height = 300;  // set by the gizmo
    Object("object_2").lightCone.ambient = 0.25f;
    tab.OnContext(BuildTabContext(&doc));
    EXPECT_FLOAT_EQ(tab.sliders[0]->value, 255);
    EXPECT_FLOAT_EQ(tab.sliders[3]->value, -50);
    ASSERT_NE(tab.GetColorSink(), nullptr);
    EXPECT_EQ(tab.GetColorSink()->GetTitle(), "Light Tint");

    CPropSliderWnd& cone = *tab.sliders[1];
    cone.OnLButtonDown(0, SliderX(cone, 40));
    cone.OnLButtonUp(0, SliderX(cone, 40));
    const LightConeParams& p = Object("object_2").lightCone;
    EXPECT_NEAR(p.coneAngle, 40, 1);
    EXPECT_FLOAT_EQ(p.height, 300);
    EXPECT_FLOAT_EQ(p.ambient, 0.25f);
    ASSERT_EQ(doc.mainUndo.undo.size(), 1u);
    EXPECT_EQ(doc.mainUndo.undo[0].kind, kUndoLightCone);
    EXPECT_FLOAT_EQ(doc.mainUndo.undo[0].lightBefore.coneAngle, 25);

    // Amb at its ends; a drag that ends where it began records nothing.
    CPropSliderWnd& amb = *tab.sliders[3];
    const QPoint start(30, 10);
    Object("object_2").lightCone =
        LightParamsWithSlider(p, kLightSliderAmbient, SliderValueFromX(30, amb.width(), true, -100, 100, 1));
    const float startAmbient = p.ambient;
    tab.Refresh();
    amb.OnLButtonDown(0, start);
    amb.OnMouseMove(MK_LBUTTON, QPoint(0, 10));
    EXPECT_FLOAT_EQ(p.ambient, 0);
    amb.OnMouseMove(MK_LBUTTON, QPoint(amb.width(), 10));
    EXPECT_FLOAT_EQ(p.ambient, 1);
    amb.OnMouseMove(MK_LBUTTON, start);
    amb.OnLButtonUp(0, start);
    EXPECT_FLOAT_EQ(p.ambient, startAmbient);
    EXPECT_EQ(doc.mainUndo.undo.size(), 1u);

    // The sink writes opaque tints and reads white for a bitmap's id.
    tab.GetColorSink()->SetColor(0x00ABCDEF);
    EXPECT_EQ(p.tint, 0xFFABCDEFu);
    CLightConeColorSinkhole other;
    other.doc = &doc;
    other.objectId = "object_1";
    EXPECT_EQ(other.GetColor(), 0xFFFFFFFFu);
}

TEST_F(TabsFixture, CanvasSizeDialogArithmetic) {
    CSetCanvasSizeDlg dlg;
    dlg.resultWidth = 800, dlg.resultHeight = 600;
    dlg.InitDialog();
    EXPECT_EQ(dlg.widthPreview->text(), "W: 800 px");
    dlg.unitCombo->setCurrentIndex(1);  // percent
    EXPECT_EQ(dlg.widthEdit->text(), "100");
    EXPECT_EQ(dlg.heightEdit->text(), "100");
    dlg.widthEdit->setText("50");  // linked: the percent is copied
    EXPECT_EQ(dlg.heightEdit->text(), "50");
    EXPECT_EQ(dlg.widthPreview->text(), "W: 400 px");
    EXPECT_EQ(dlg.heightPreview->text(), "H: 300 px");
    dlg.accept();
    EXPECT_EQ(dlg.resultWidth, 400);
    EXPECT_EQ(dlg.resultHeight, 300);

    CSetCanvasSizeDlg px;
    px.resultWidth = 800, px.resultHeight = 600;
    px.InitDialog();
    px.widthEdit->setText("1");
    EXPECT_EQ(px.heightEdit->text(), "1");
    px.widthEdit->setText("400");
    EXPECT_EQ(px.heightEdit->text(), "300");
    px.linkedCheck->setChecked(false);
    px.widthEdit->setText("40000");
    EXPECT_EQ(px.heightEdit->text(), "300");
    EXPECT_EQ(px.widthPreview->text(), "W: 32767 px");
    // A size that is not a number keeps the dialog open with the message.
    QString told;
    px.onInvalidInput = [&](const QString& text) { told = text; };
    px.heightEdit->setText("3x");
    px.accept();
    EXPECT_EQ(told, "Enter an integer.");
    EXPECT_EQ(px.result(), 0);
    // Custom shows the swatch, White hides it; a picked colour selects Custom.
    px.colorRadios[2]->click();
    EXPECT_TRUE(px.swatch()->isVisibleTo(&px));
    px.colorRadios[0]->click();
    EXPECT_FALSE(px.swatch()->isVisibleTo(&px));
    px.runColorDialog = [](uint32_t& c) { return c = 0x123456, true; };
    px.PickColor();
    EXPECT_EQ(px.colorMode, 2);
    EXPECT_EQ(px.customColor, 0x123456u);
    // The grid: Up from the centre is the top middle; Left from 0 stays 0.
    EXPECT_EQ(px.grid()->selected, 4);
    QTest::keyClick(px.grid(), Qt::Key_Up);
    EXPECT_EQ(px.grid()->selected, 1);
    px.grid()->selected = 0;
    QTest::keyClick(px.grid(), Qt::Key_Left);
    EXPECT_EQ(px.grid()->selected, 0);
}

TEST_F(TabsFixture, SetCanvasCommandRunsTheDialogAndAnchorsTheObjects) {
    PropDialogProvider provider;
    doc.SetDialogProvider(&provider);
    struct Case {
        int anchor;
        float dx, dy;
    } cases[] = {{0, 0, 0}, {4, 100, 100}, {8, 200, 200}, {5, 200, 100}};
    for (const Case& c : cases) {
        doc.mainScene.width = 1000, doc.mainScene.height = 800;
        Object("object_1").x = 10, Object("object_1").y = 20;
        provider.onDialogShown = [&](CSetCanvasSizeDlg& dlg) {
            dlg.linkedCheck->setChecked(false);
            dlg.widthEdit->setText("1200");
            dlg.heightEdit->setText("1000");
            dlg.grid()->selected = c.anchor;
            dlg.accept();
        };
        doc.OnModifySetCanvasSize();
        EXPECT_FLOAT_EQ(doc.mainScene.width, 1200) << c.anchor;
        EXPECT_FLOAT_EQ(doc.mainScene.height, 1000) << c.anchor;
        EXPECT_FLOAT_EQ(Object("object_1").x, 10 + c.dx) << c.anchor;
        EXPECT_FLOAT_EQ(Object("object_1").y, 20 + c.dy) << c.anchor;
    }
    // Cancel changes nothing.
    provider.onDialogShown = [](CSetCanvasSizeDlg& dlg) { dlg.reject(); };
    doc.OnModifySetCanvasSize();
    EXPECT_FLOAT_EQ(doc.mainScene.width, 1200);
    doc.SetDialogProvider(nullptr);
}

TEST_F(TabsFixture, ColourDialogReturnsTheStartingColourWhenUntouched) {
    // A colour that the wheel's HSL round trip does not give back exactly.
    uint32_t start = 0;
    for (uint32_t c : {0x336699u, 0x0A1B2Cu, 0x123456u, 0x7F3A11u, 0x01FE80u, 0x9C4D2Eu}) {
        CColorWheelWnd probe;
        probe.SetColor(c);
        if (ArgbToColorRef(probe.Argb()) != c) start = c;
    }
    ASSERT_NE(start, 0u) << "every sample survived the round trip";
    CMyColorSelectDlg dlg;
    dlg.color = start;
    dlg.InitDialog();
    ASSERT_NE(dlg.Wheel(), nullptr);
    dlg.accept();
    EXPECT_EQ(dlg.color, start);

    // A change in the wheel is what OK returns.
    CMyColorSelectDlg moved;
    moved.color = start;
    moved.InitDialog();
    moved.Wheel()->SetHsl(120, 1, 0.5f);
    moved.Wheel()->SendCommandToParent(kColorWheelChanged);
    moved.accept();
    EXPECT_EQ(moved.color, 0x00FF00u);
}

TEST_F(TabsFixture, SelectionToolbarSitsBesideTheStripForPaintAndSelectionTools) {
    QWidget frame;
    frame.resize(900, 200);
    auto* pane = new CPropertiesPane();  // owned by frame
    ASSERT_TRUE(pane->CreateChildren(&frame, QRect(0, 0, 900, 140)));
    CToolbarHostWnd* bar = pane->SelectionToolbar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetDlgCtrlID(), 4002);
    std::vector<int> ids;
    for (const ToolbarButtonEntry& e : bar->Entries()) ids.push_back(e.desc.face.commandId);
    EXPECT_EQ(ids, (std::vector<int>{32828, 32830, 32855, 32867}));

    struct Case {
        int tool;
        bool shown;
    };
    for (const Case c : {Case{kToolMove, false}, Case{9, true}, Case{kToolStencilKitbash, false}, Case{18, true},
                         Case{27, true}, Case{kToolLight, false}}) {
        Select("object_1", c.tool);
        pane->UpdateForContext();
        EXPECT_EQ(!bar->isHidden(), c.shown) << c.tool;
        EXPECT_EQ(pane->Strip()->width(), c.shown ? 900 - 168 : 900) << c.tool;
        if (c.shown) {
            EXPECT_EQ(bar->geometry(), QRect(900 - 168, 0, 168, 24)) << c.tool;
        }
    }
    // A pane narrower than the toolbar leaves the strip no width.
    Select("object_1", 9);
    pane->UpdateForContext();
    pane->resize(120, 140);
    pane->Layout();
    EXPECT_EQ(pane->Strip()->width(), 0);
}
