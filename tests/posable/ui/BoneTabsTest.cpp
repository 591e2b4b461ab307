// The Pose Editor's property tabs in the properties pane: which tool shows
// which tab, the Bone tab's values and its one undo step per interaction
// across a context change, and the Add Bone and Links tabs' texts and
// enabled controls.
#include "document/CQuillfenEditorDoc.h"
#include "posable/BoneTabModel.h"
#include "posable/ui/CPropTabAddBone.h"
#include "posable/ui/CPropTabBone.h"
#include "posable/ui/CPropTabLinkJoints.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropNumericEdit.h"
#include "properties/ui/CPropertiesPane.h"
#include "../../platform/ui/QtTestApp.h"

#include <gtest/gtest.h>

namespace {

struct TestHost : PropertiesPaneHost {
    CQuillfenEditorDoc* doc = nullptr;
    CQuillfenEditorDoc* GetActiveDocument() override { return doc; }
};

Bone MakeBone(const std::string& id, const std::string& name) {
    Bone b;
    b.id = id;
    b.name = name;
    b.tailX = 1;
    return b;
}

// A document open in the Pose Editor on two parts, "part_a" with bone a1
// ("Upper arm", width 0.9) and "part_b" with bone b1.
struct BoneTabsTest : ::testing::Test {
    CQuillfenEditorDoc doc;
    TestHost host;
    void SetUp() override {
        EnsureQtApp();
        host.doc = &doc;
        SetPropertiesPaneHost(&host);
        doc.workspaceMode = kWorkspacePoseEditor;
        doc.poseEditorObjectId = "object_1";
        CanvasObject a, b;
        a.id = "part_a";
        a.bones = {MakeBone("a1", "Upper arm")};
        a.bones[0].width = 0.9f;
        b.id = "part_b";
        b.bones = {MakeBone("b1", "Lower arm")};
        doc.poseScene.layers.at(0).objects = {a, b};
    }
    void TearDown() override { SetPropertiesPaneHost(nullptr); }
    CanvasObject& Part(const std::string& id) { return *doc.poseScene.FindObject(id); }
};

}  // namespace

TEST_F(BoneTabsTest, PaneShowsTheToolsTabs) {
    RegisterBoneTabs();
    QWidget frame;
    auto* pane = new CPropertiesPane();  // owned by frame
    ASSERT_TRUE(pane->CreateChildren(&frame, QRect(0, 0, 900, 140)));
    auto active = [&](int tool) {
        doc.activeTool = tool;
        pane->UpdateForContext();
        IPropertyTab* t = pane->ActiveTab();
        return t ? t->GetTitle() : std::string();
    };
    EXPECT_EQ(active(kToolAddBone), "Add Bone");
    EXPECT_EQ(pane->ActiveTab()->GetTabWidth(), 110);
    EXPECT_EQ(active(kToolLinkJoints), "Links");
    doc.SetBoneSelection("part_a", "a1", 1);
    EXPECT_EQ(active(kToolSelectMoveJoint), "Bone");
    auto* bone = dynamic_cast<CPropTabBone*>(pane->ActiveTab());
    ASSERT_NE(bone, nullptr);
    EXPECT_EQ(bone->Title(), "Upper arm");
}

TEST_F(BoneTabsTest, BoneTabEditIsOneStepOnTheBoneItBeganOn) {
    CPropTabBone tab;
    tab.resize(700, 120);
    TabContext ctx = BuildTabContext(&doc);
    ctx.poseSelectedObjectId = "part_a", ctx.poseBoneId = "a1";
    tab.OnContext(ctx);
    CPropNumericEdit* width = tab.NumericEdit(kBoneTabWidth);
    CPropNumericEdit* feather = tab.NumericEdit(kBoneTabFeather);
    EXPECT_EQ(width->value, 500);  // 0.9 x 600, held to the control's range
    EXPECT_FLOAT_EQ(feather->value, 1);
    EXPECT_FLOAT_EQ(Part("part_a").bones[0].width, 0.9f);

    // A drag on Feather; mid-way the selection moves to part_b's bone.
    tab.OnCommand(kBoneTabFeather, kPropBegin, feather);
    feather->SetValue(20);
    tab.OnCommand(kBoneTabFeather, kPropChanged, feather);
    TabContext other = ctx;
    other.poseSelectedObjectId = "part_b", other.poseBoneId = "b1";
    tab.OnContext(other);
    EXPECT_FLOAT_EQ(feather->value, 20);  // the controls are left alone
    EXPECT_EQ(width->value, 500);
    feather->SetValue(30);
    tab.OnCommand(kBoneTabFeather, kPropChanged, feather);
    tab.OnCommand(kBoneTabFeather, kPropEnd, feather);
    EXPECT_FLOAT_EQ(Part("part_a").bones[0].feather, 0.3f);
    EXPECT_FLOAT_EQ(Part("part_b").bones[0].feather, 0.01f);
    ASSERT_EQ(doc.poseUndo.undo.size(), 1u);
    EXPECT_EQ(doc.poseUndo.undo.back().objectId, "part_a");
    EXPECT_FALSE(tab.Editing());
    // The tab now shows part_b's bone.
    EXPECT_EQ(tab.Title(), "Lower arm");
    EXPECT_FLOAT_EQ(feather->value, 1);

    // A checkbox click is its own step, on the bone now shown.
    CPropCheckbox* stretch = tab.Checkbox(kBoneTabStretchable);
    stretch->Toggle();
    EXPECT_TRUE(Part("part_b").bones[0].stretchable);
    EXPECT_EQ(doc.poseUndo.undo.size(), 2u);
}

TEST_F(BoneTabsTest, AddBoneAndLinksTabsShowCountsAndEnableTheirControls) {
    CPropTabAddBone addBone;
    EXPECT_TRUE(addBone.Text().isEmpty());
    doc.poseScene.SelectObject("part_b");
    addBone.Refresh();
    EXPECT_EQ(addBone.Text(), "Bones: 1");
    EXPECT_TRUE(addBone.DeleteLastButton()->isEnabled());
    addBone.OnCommand(401, kPropClick, addBone.DeleteLastButton());
    EXPECT_TRUE(Part("part_b").bones.empty());
    EXPECT_EQ(addBone.Text(), "Bones: 0");
    EXPECT_FALSE(addBone.DeleteLastButton()->isEnabled());

    CPropTabLinkJoints links;
    JointLink link;
    link.ends = {{"part_a", "a1", 0}, {"part_b", "b1", 1}};
    doc.poseLinkGroups = {link};
    CanvasObject plain;
    plain.id = "object_1";
    doc.mainScene.layers.at(0).objects = {plain};
    doc.mainScene.SelectObject("object_1");
    links.UpdateControls();
    EXPECT_EQ(links.GroupsText(), "Groups: 1");
    EXPECT_EQ(links.JointsText(), "Joints: 2");
    EXPECT_FALSE(links.UseIk()->isEnabled());  // the canvas selection is not posable
    EXPECT_TRUE(links.RemoveAll()->isEnabled());
    links.OnCommand(602, kPropClick, links.RemoveAll());
    EXPECT_EQ(links.GroupsText(), "Groups: 0");
    EXPECT_FALSE(links.RemoveAll()->isEnabled());
    host.doc = nullptr;
    links.UpdateControls();
    addBone.Refresh();
    EXPECT_EQ(links.JointsText(), "Joints: 0");
    EXPECT_EQ(addBone.Text(), "Bones: 0");
}
