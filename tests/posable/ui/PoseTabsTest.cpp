// The two "Pose" property tabs over a real document: the Pose Editor's part
// placed and named through its tab, one undo step per interaction, and the
// canvas tab's Reset Pose and Use Partial IK on a posable object.
#include "document/CQuillfenEditorDoc.h"
#include "posable/PosedPreview.h"
#include "posable/ui/CPropTabPose.h"
#include "posable/ui/CPropTabPoseObject.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropNumericEdit.h"
#include "properties/ui/CPropertiesPane.h"
#include "tests/platform/ui/QtTestApp.h"
#include "tests/posable/PosableFixtures.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

using namespace posable_test;

namespace {

struct TestHost : PropertiesPaneHost {
    CQuillfenEditorDoc* doc = nullptr;
    CQuillfenEditorDoc* GetActiveDocument() override { return doc; }
};

struct PoseTabsFixture : ::testing::Test {
    CQuillfenEditorDoc doc;
    TestHost host;
    void SetUp() override {
        EnsureQtApp();
        host.doc = &doc;
        SetPropertiesPaneHost(&host);
    }
    void TearDown() override { SetPropertiesPaneHost(nullptr); }

    // The Pose Editor open on a 200 x 100 part with two bones.
    void OpenPoseEditor() {
        doc.workspaceMode = kWorkspacePoseEditor;
        doc.poseEditorObjectId = "object_1";
        CanvasObject part = SolidObject("object_1", 10, 20, 200, 100, 0xFF00FF00);
        part.name = "Torso";
        part.bones = {MakeBone("bone_1", 0, 0.5f, 0.5f, 0.5f), MakeBone("bone_2", 0.5f, 0.5f, 1, 0.5f)};
        doc.poseScene.FindLayer("layer_1")->objects = {part};
    }
    CanvasObject& Part() { return *doc.poseScene.FindObject("object_1"); }

    // A posable object of two boned parts, selected on the canvas with the Pose tool.
    void SelectPosable() {
        PosableScene s;
        s.width = s.height = 3000;
        s.parts.push_back(BonedPart("left", 100, 100, 50, 50, 0xFFFF0000));
        s.parts.push_back(BonedPart("right", 200, 100, 50, 50, 0xFF0000FF));
        CanvasObject o;
        o.id = "object_1";
        ASSERT_TRUE(ApplyPosableScene(o, s, 1, 1));
        doc.mainScene.FindLayer("layer_1")->objects = {o, SolidObject("object_2", 0, 0, 8, 8, 0xFF000000)};
        doc.mainScene.SelectObject("object_1");
        doc.activeTool = kToolPose;
    }
    CanvasObject& Posable() { return *doc.mainScene.FindObject("object_1"); }

    static void LoseFocus(QLineEdit* edit) {
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(edit, &out);
    }
};

}  // namespace

TEST_F(PoseTabsFixture, PoseObjectTabPlacesThePartWithOneStepPerEdit) {
    OpenPoseEditor();
    CPropTabPoseObject tab;
    tab.resize(900, 116);
    tab.show();
    tab.OnContext(BuildTabContext(&doc));
    EXPECT_FLOAT_EQ(tab.x->value, 10);
    EXPECT_FLOAT_EQ(tab.w->value, 200);
    EXPECT_EQ(tab.name->text(), "Torso");
    EXPECT_EQ(tab.BonesText(), "Bones: 2");
    EXPECT_TRUE(tab.link->checked);

    // A typed width with the link on carries the height along: one step on
    // the Pose Editor's undo pair.
    tab.w->Edit()->setFocus();
    tab.w->Edit()->setText("300");
    QTest::keyClick(tab.w->Edit(), Qt::Key_Return);
    EXPECT_FLOAT_EQ(Part().width, 300);
    EXPECT_FLOAT_EQ(Part().height, 150);
    EXPECT_FLOAT_EQ(tab.h->value, 150);
    ASSERT_EQ(doc.poseUndo.undo.size(), 1u);
    EXPECT_EQ(doc.poseUndo.undo[0].kind, kUndoObjectTransform);
    EXPECT_FLOAT_EQ(doc.poseUndo.undo[0].transformBefore.height, 100);
    EXPECT_TRUE(doc.mainUndo.undo.empty());

    // A drag that loses the capture still ends as one step.
    tab.x->OnLButtonDown(0, QPoint(2, 10));
    tab.x->OnMouseMove(MK_LBUTTON, QPoint(12, 10));
    tab.x->OnCaptureLost();
    EXPECT_FALSE(tab.Editing());
    EXPECT_FLOAT_EQ(Part().x, 15);
    EXPECT_EQ(doc.poseUndo.undo.size(), 2u);
    doc.OnEditUndo();
    doc.OnEditUndo();
    EXPECT_FLOAT_EQ(Part().x, 10);
    EXPECT_FLOAT_EQ(Part().width, 200);

    // The name field commits on losing the focus, trimmed; blank restores.
    tab.name->setText("  Upper body ");
    LoseFocus(tab.name);
    EXPECT_EQ(Part().name, "Upper body");
    EXPECT_EQ(tab.name->text(), "Upper body");
    tab.name->setText("   ");
    LoseFocus(tab.name);
    EXPECT_EQ(Part().name, "Upper body");
    EXPECT_EQ(tab.name->text(), "Upper body");

    // Without a part the tab edits nothing and shows no bone count.
    doc.poseScene.FindLayer("layer_1")->objects.clear();
    tab.Refresh();
    EXPECT_TRUE(tab.BonesText().isEmpty());
    tab.name->setText("Leg");
    LoseFocus(tab.name);
    tab.OnCommand(CPropTabPoseObject::kIdW, kPropBegin, tab.w);
    EXPECT_FALSE(tab.Editing());
}

TEST_F(PoseTabsFixture, CanvasPoseTabResetsThePoseAndSwitchesPartialIK) {
    SelectPosable();
    CPropTabPose tab;
    tab.resize(900, 116);
    tab.show();
    tab.OnContext(BuildTabContext(&doc));
    EXPECT_TRUE(tab.reset->isEnabled());
    EXPECT_TRUE(tab.partialIK->isEnabled());
    EXPECT_FALSE(tab.partialIK->checked);

    tab.partialIK->Toggle();
    EXPECT_TRUE(Posable().posableScene.usePartialIK);
    EXPECT_TRUE(tab.partialIK->checked);

    Posable().hasPose = true;
    Posable().partPoses.push_back(PartPose{"left__bone_1"});
    tab.OnCommand(CPropTabPose::kIdReset, kPropClick, tab.reset);
    EXPECT_FALSE(Posable().hasPose);
    ASSERT_EQ(doc.mainUndo.undo.size(), 1u);
    doc.OnEditUndo();
    EXPECT_TRUE(Posable().hasPose);

    // A bitmap: both controls disabled and unchecked.
    doc.mainScene.SelectObject("object_2");
    tab.OnContext(BuildTabContext(&doc));
    EXPECT_FALSE(tab.reset->isEnabled());
    EXPECT_FALSE(tab.partialIK->isEnabled());
    EXPECT_FALSE(tab.partialIK->checked);
}

TEST_F(PoseTabsFixture, BothPoseTabsJoinThePane) {
    RegisterPoseTabs();
    QWidget frame;
    frame.resize(900, 200);
    auto* pane = new CPropertiesPane();  // owned by frame
    ASSERT_TRUE(pane->CreateChildren(&frame, QRect(0, 0, 900, 140)));
    SelectPosable();
    pane->UpdateForContext();
    ASSERT_EQ(pane->VisibleTabs().size(), 1u);
    EXPECT_EQ(pane->VisibleTabs()[0], pane->FindTab(PropTabKind::Pose));
    OpenPoseEditor();
    doc.activeTool = kToolMove;
    pane->UpdateForContext();
    ASSERT_EQ(pane->VisibleTabs().size(), 1u);
    EXPECT_EQ(pane->VisibleTabs()[0], pane->FindTab(PropTabKind::PoseObject));
    EXPECT_EQ(pane->VisibleTabs()[0]->GetTitle(), "Pose");
}
