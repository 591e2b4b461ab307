// The Pose Editor tabs' model rules: the Bone tab's control-to-field table,
// one undo step per interaction paired on the object it began on, the Add
// Bone tab's part choice, count and "Delete last", and the Links tab's
// counts, IK switch and "Remove all links".
#include "posable/BoneTabModel.h"

#include "PosableFixtures.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/Undo.h"

#include <gtest/gtest.h>

using namespace posable_test;

namespace {

CanvasObject PartWithBones(const std::string& id, std::vector<Bone> bones) {
    CanvasObject o;
    o.id = id;
    o.name = id;
    o.width = o.height = 100;
    o.bones = std::move(bones);
    return o;
}

Bone Child(const std::string& id, const std::string& parent) {
    Bone b = MakeBone(id, 0, 0, 1, 1);
    b.hasParent = true;
    b.parentId = parent;
    return b;
}

// A document open in the Pose Editor on two parts, "part_a" (bones a1, a2)
// and "part_b" (bone b1), in that order on the first layer.
struct BoneTabModelTest : ::testing::Test {
    CQuillfenEditorDoc doc;
    BoneTabModelTest() {
        doc.workspaceMode = kWorkspacePoseEditor;
        doc.poseEditorObjectId = "object_1";
        doc.poseScene.layers.at(0).objects = {
            PartWithBones("part_a", {MakeBone("a1", 0, 0, 1, 0), MakeBone("a2", 0, 1, 1, 1)}),
            PartWithBones("part_b", {MakeBone("b1", 0, 0, 1, 1)})};
    }
    CanvasObject& Part(const std::string& id) { return *doc.poseScene.FindObject(id); }
    size_t UndoCount() const { return doc.poseUndo.undo.size(); }
    const UndoStep& LastStep() const { return doc.poseUndo.undo.back(); }
};

}  // namespace

TEST(BoneTabFields, ControlsShowAndWriteTheirFields) {
    struct Row {
        int id;
        float Bone::*field;
        float stored;
        double shown;
    };
    const Row rows[] = {
        {kBoneTabWidth, &Bone::width, 0.5f, 300},          {kBoneTabFeather, &Bone::feather, 0.25f, 25},
        {kBoneTabHeadCap, &Bone::headCapLength, 0.3f, 0.3}, {kBoneTabTailCap, &Bone::tailCapLength, 0.4f, 0.4},
        {kBoneTabHeadCapWidth, &Bone::headCapWidth, 0.6f, 0.6}, {kBoneTabTailCapWidth, &Bone::tailCapWidth, 0.7f, 0.7},
        {kBoneTabHeadShift, &Bone::headShift, -0.5f, -0.5},  {kBoneTabTailShift, &Bone::tailShift, 0.5f, 0.5},
        {kBoneTabHeadOffset, &Bone::headOffset, -0.2f, -0.2}, {kBoneTabTailOffset, &Bone::tailOffset, 0.2f, 0.2},
    };
    ASSERT_EQ(BoneNumericFields().size(), std::size(rows));
    for (const Row& r : rows) {
        SCOPED_TRACE(r.id);
        Bone b;
        b.*(r.field) = r.stored;
        EXPECT_NEAR(BoneFieldShown(b, r.id), r.shown, 1e-5);
        Bone written;
        ASSERT_TRUE(WriteBoneField(written, r.id, r.shown));
        EXPECT_FLOAT_EQ(written.*(r.field), r.stored);
        // The edit writes only its own field.
        Bone expected;
        expected.*(r.field) = r.stored;
        EXPECT_TRUE(BoneListsEqual({expected}, {written}));
    }
    // A width beyond the control's range is shown as stored; the control
    // clamps it, and only a write from the control changes the bone.
    Bone wide;
    wide.width = 0.9f;
    EXPECT_NEAR(BoneFieldShown(wide, kBoneTabWidth), 540, 1e-3);
    EXPECT_EQ(FindBoneNumericField(kBoneTabWidth)->maximum, 500);
    EXPECT_FALSE(WriteBoneField(wide, 520, 1));

    // Round-cap flags other than 1 show unchecked; a click writes 1.
    Bone caps;
    caps.roundHeadCap = 2;
    caps.roundTailCap = 1;
    EXPECT_FALSE(BoneCheckShown(caps, kBoneTabRoundHead));
    EXPECT_TRUE(BoneCheckShown(caps, kBoneTabRoundTail));
    EXPECT_FALSE(BoneCheckShown(caps, kBoneTabStretchable));
    WriteBoneCheck(caps, kBoneTabRoundHead, true);
    WriteBoneCheck(caps, kBoneTabRoundTail, false);
    WriteBoneCheck(caps, kBoneTabStretchable, true);
    EXPECT_EQ(caps.roundHeadCap, 1);
    EXPECT_EQ(caps.roundTailCap, 0);
    EXPECT_TRUE(caps.stretchable);
}

TEST_F(BoneTabModelTest, InteractionIsOneStepOnTheObjectItBeganOn) {
    BoneTabEdit edit;
    ASSERT_TRUE(edit.Begin(doc, "part_a", "a2"));
    EXPECT_TRUE(edit.Live(doc, kBoneTabWidth, 120));
    EXPECT_TRUE(edit.Live(doc, kBoneTabWidth, 180));
    // The selection moves to another part mid-interaction: a second begin is
    // refused, and the live writes and the commit stay on part_a.
    EXPECT_FALSE(edit.Begin(doc, "part_b", "b1"));
    EXPECT_TRUE(edit.Live(doc, kBoneTabWidth, 240));
    EXPECT_TRUE(edit.Commit(doc));
    EXPECT_FLOAT_EQ(Part("part_a").bones[1].width, 0.4f);
    EXPECT_FLOAT_EQ(Part("part_b").bones[0].width, 0.25f);
    ASSERT_EQ(UndoCount(), 1u);
    EXPECT_EQ(LastStep().kind, kUndoBones);
    EXPECT_EQ(LastStep().objectId, "part_a");
    EXPECT_FLOAT_EQ(LastStep().bonesBefore[1].width, 0.25f);
    doc.OnEditUndo();
    EXPECT_FLOAT_EQ(Part("part_a").bones[1].width, 0.25f);
    EXPECT_FLOAT_EQ(Part("part_b").bones[0].width, 0.25f);

    // Back where it started: no step. Without an open interaction nothing is
    // written, and a missing object begins nothing.
    ASSERT_TRUE(edit.Begin(doc, "part_b", "b1"));
    edit.Live(doc, kBoneTabFeather, 30);
    edit.Live(doc, kBoneTabFeather, 1);
    edit.Commit(doc);
    EXPECT_EQ(UndoCount(), 0u);
    EXPECT_FALSE(edit.Live(doc, kBoneTabFeather, 30));
    EXPECT_FALSE(edit.Begin(doc, "gone", "b1"));
    EXPECT_FALSE(edit.Commit(doc));
}

TEST_F(BoneTabModelTest, CheckboxClicksAreOneStepEach) {
    EXPECT_TRUE(ApplyBoneCheck(doc, "part_a", "a1", kBoneTabStretchable, true));
    EXPECT_TRUE(ApplyBoneCheck(doc, "part_a", "a1", kBoneTabRoundHead, false));
    EXPECT_EQ(UndoCount(), 2u);
    EXPECT_FALSE(ApplyBoneCheck(doc, "part_a", "missing", kBoneTabStretchable, true));
    EXPECT_EQ(UndoCount(), 2u);
    doc.OnEditUndo();
    EXPECT_EQ(Part("part_a").bones[0].roundHeadCap, 1);
    EXPECT_TRUE(Part("part_a").bones[0].stretchable);
}

TEST_F(BoneTabModelTest, AddBoneTabWorksOnTheSelectedPartElseTheFirst) {
    // Nothing selected: the first part.
    EXPECT_EQ(AddBoneTabPart(doc), &Part("part_a"));
    EXPECT_EQ(ReadAddBoneTab(doc).boneCount, 2);
    // The part the Add Bone tool adds to is the one counted and trimmed.
    doc.poseScene.SelectObject("part_b");
    EXPECT_EQ(AddBoneTabPart(doc), &Part("part_b"));
    EXPECT_EQ(ReadAddBoneTab(doc).boneCount, 1);
    ASSERT_TRUE(DeleteLastBone(doc));
    EXPECT_TRUE(Part("part_b").bones.empty());
    EXPECT_EQ(Part("part_a").bones.size(), 2u);
    const AddBoneTabState empty = ReadAddBoneTab(doc);
    EXPECT_TRUE(empty.hasPart);
    EXPECT_EQ(empty.boneCount, 0);
    EXPECT_FALSE(empty.canDeleteLast);
    EXPECT_FALSE(DeleteLastBone(doc));
    // Outside the Pose Editor: no part, count 0.
    doc.poseEditorObjectId.clear();
    EXPECT_FALSE(ReadAddBoneTab(doc).hasPart);
}

TEST_F(BoneTabModelTest, DeleteLastRefusesLockedOrParentBones) {
    Part("part_a").bones[0] = Child("a1", "a2");  // the last bone has a child
    EXPECT_FALSE(ReadAddBoneTab(doc).canDeleteLast);
    EXPECT_FALSE(DeleteLastBone(doc));
    Part("part_a").bones[0] = MakeBone("a1", 0, 0, 1, 0);
    EXPECT_TRUE(ReadAddBoneTab(doc).canDeleteLast);
    Part("part_a").locked = true;
    EXPECT_FALSE(ReadAddBoneTab(doc).canDeleteLast);
    EXPECT_FALSE(DeleteLastBone(doc));
    EXPECT_EQ(Part("part_a").bones.size(), 2u);
    EXPECT_EQ(UndoCount(), 0u);
}

TEST_F(BoneTabModelTest, DeleteLinkedSelectedLastBoneIsTwoStepsAndClearsSelection) {
    JointLink link;
    link.id = "lj_1";
    link.ends = {{"part_a", "a2", 1}, {"part_b", "b1", 0}};
    doc.poseLinkGroups = {link};
    doc.SetBoneSelection("part_a", "a2", 1);
    ASSERT_TRUE(DeleteLastBone(doc));
    EXPECT_EQ(Part("part_a").bones.size(), 1u);
    EXPECT_TRUE(doc.poseLinkGroups.empty());
    EXPECT_TRUE(doc.boneSelection.boneId.empty());
    ASSERT_EQ(UndoCount(), 2u);
    EXPECT_EQ(doc.poseUndo.undo[0].kind, kUndoJointLinks);
    EXPECT_EQ(doc.poseUndo.undo[1].kind, kUndoBones);
    doc.OnEditUndo();
    doc.OnEditUndo();
    EXPECT_EQ(Part("part_a").bones.size(), 2u);
    ASSERT_EQ(doc.poseLinkGroups.size(), 1u);
    EXPECT_EQ(doc.poseLinkGroups[0].ends.size(), 2u);
}

TEST_F(BoneTabModelTest, LinksCountsRemoveAllAndUseIk) {
    JointLink two, three;
    two.ends = {{"part_a", "a1", 0}, {"part_b", "b1", 0}};
    three.ends = {{"part_a", "a1", 1}, {"part_b", "b1", 1}, {"part_a", "a2", 1}};
    doc.poseLinkGroups = {two, two, three};
    const LinkCounts counts = CountLinks(doc.poseLinkGroups);
    EXPECT_EQ(counts.groups, 3);
    EXPECT_EQ(counts.joints, 7);

    ASSERT_TRUE(RemoveAllLinks(doc));
    EXPECT_TRUE(doc.poseLinkGroups.empty());
    EXPECT_EQ(UndoCount(), 1u);
    EXPECT_FALSE(RemoveAllLinks(doc));
    EXPECT_EQ(UndoCount(), 1u);
    doc.OnEditUndo();
    EXPECT_EQ(CountLinks(doc.poseLinkGroups).joints, 7);

    // "Use IK" switches only a posable object selected in the main scene.
    CanvasObject plain, posable;
    plain.id = "object_1";
    posable.id = "object_2";
    posable.kind = kObjectPosable;
    doc.mainScene.layers.at(0).objects = {plain, posable};
    doc.mainScene.SelectObject("object_1");
    EXPECT_EQ(IkTargetObject(doc), nullptr);
    EXPECT_FALSE(SetUseIk(doc, true));
    doc.mainScene.SelectObject("object_2");
    ASSERT_TRUE(SetUseIk(doc, true));
    EXPECT_TRUE(doc.mainScene.FindObject("object_2")->posableScene.usePartialIK);
    EXPECT_EQ(UndoCount(), 0u);  // no undo step
    EXPECT_EQ(doc.mainUndo.undo.size(), 0u);
}
