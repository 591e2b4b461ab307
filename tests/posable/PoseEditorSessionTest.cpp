#include "posable/PoseEditorSession.h"

#include "PosableFixtures.h"
#include "document/CQuillfenEditorDoc.h"
#include "platform/Profile.h"
#include "platform/Prompts.h"
#include "posable/PosedPreview.h"

#include <gtest/gtest.h>

using namespace posable_test;

namespace {

// A frame that switches views like the main frame does (telling the
// document), or refuses to.
struct SwitchingHost : DocumentHost {
    bool refuse = false;
    std::vector<int> requested;
    CQuillfenEditorDoc* doc = nullptr;
    ScriptedPrompts prompts;
    MemoryProfile profile;
    void UpdateAllViews() override {}
    void InvalidateAllViews() override {}
    void RefreshPropertiesPane() override {}
    void UpdateStatusText() override {}
    void SetWorkspaceMode(int mode) override {
        requested.push_back(mode);
        if (!refuse && doc) doc->SetEditorMode(mode);
    }
    Prompts* GetPrompts() override { return &prompts; }
    Profile* GetProfile() override { return &profile; }
};

class PoseEditorSessionTest : public ::testing::Test {
protected:
    PoseEditorSessionTest() {
        host.doc = &doc;
        doc.SetHost(&host);
        doc.SetPoseEditorProvider(&provider);
    }
    void Add(const std::string& layerId, CanvasObject o) {
        Layer* layer = doc.mainScene.FindLayer(layerId);
        ASSERT_NE(layer, nullptr);
        o.z = layer->HighestZ() + 1;
        ASSERT_TRUE(doc.mainScene.AddObjectToLayer(*layer, o));
    }
    CanvasObject& Obj(const std::string& id) { return *doc.mainScene.FindObject(id); }

    SwitchingHost host;
    CQuillfenEditorDoc doc;
    PosableEditorProvider provider;
};

}  // namespace

TEST_F(PoseEditorSessionTest, PlainObjectOpenedAndFinishedUntouchedStaysPlain) {
    // A 40 x 20 picture shown at twice its size.
    CanvasObject o = SolidObject("object_1", 50, 60, 40, 20, 0xFF00FF00);
    o.width = 80;
    o.height = 40;
    Add("layer_1", o);
    doc.mainScene.SelectObject("object_1");
    const std::vector<uint8_t> picture = Obj("object_1").parts[0].encoded;

    ASSERT_TRUE(doc.EnterBoneEditor());
    EXPECT_EQ(doc.workspaceMode, kWorkspacePoseEditor);
    EXPECT_EQ(doc.poseEditorObjectId, "object_1");
    EXPECT_TRUE(doc.enteredFromPlainObject);
    EXPECT_FLOAT_EQ(doc.poseEntryScaleX, 2);
    const CanvasObject* item = doc.poseScene.FindObject("object_1_item");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->width, 40);  // at the image's own scale, centred in 2000 x 2000
    EXPECT_EQ(item->x, 980);
    EXPECT_EQ(doc.poseScene.width, 3000);

    ASSERT_TRUE(doc.FinishBoneEditor());
    EXPECT_EQ(doc.workspaceMode, kWorkspaceCanvas);
    EXPECT_TRUE(doc.poseEditorObjectId.empty());
    EXPECT_FLOAT_EQ(doc.poseEntryScaleX, 1);
    EXPECT_EQ(Obj("object_1").kind, kObjectBitmap);
    EXPECT_EQ(Obj("object_1").parts[0].encoded, picture);
    EXPECT_EQ(host.requested, (std::vector<int>{1, 0}));
    EXPECT_FALSE(doc.FinishBoneEditor());  // nothing open any more
}

TEST_F(PoseEditorSessionTest, AddingABoneMakesThePlainObjectPosableAtItsCanvasScale) {
    CanvasObject o = SolidObject("object_1", 50, 60, 40, 20, 0xFF00FF00);
    o.width = 80;
    o.height = 40;
    Add("layer_1", o);
    doc.mainScene.SelectObject("object_1");
    ASSERT_TRUE(doc.EnterBoneEditor());
    doc.poseScene.FindObject("object_1_item")->bones.push_back(MakeBone("bone_1", 0.1f, 0.5f, 0.9f, 0.5f));
    ASSERT_TRUE(doc.FinishBoneEditor());
    const CanvasObject& after = Obj("object_1");
    EXPECT_EQ(after.kind, kObjectPosable);
    EXPECT_EQ(after.posableScene.parts.size(), 1u);
    EXPECT_EQ(after.parts[0].pixelWidth, 40);
    EXPECT_EQ(after.width, 80);
    EXPECT_EQ(after.height, 40);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(PoseEditorSessionTest, PosableObjectLoadsItsLinksAndFinishesAtRest) {
    CanvasObject o;
    o.id = "object_1";
    PosableScene scene;
    scene.width = scene.height = 2000;
    scene.parts.push_back(BonedPart("a", 100, 100, 50, 50, 0xFFFF0000));
    scene.parts.push_back(BonedPart("b", 150, 100, 50, 50, 0xFF0000FF));
    scene.links.push_back({"lj_1", "Link", {{"a", "bone_1", 1}, {"b", "bone_1", 0}}});
    scene.links.push_back({"lj_2", "Dangling", {{"a", "bone_1", 0}, {"gone", "bone_1", 0}}});
    scene.usePartialIK = true;
    ASSERT_TRUE(ApplyPosableScene(o, scene, 1, 1));
    Add("layer_1", o);
    doc.mainScene.SelectObject("object_1");
    // Posed on the canvas: part "a" moved 50 to the left.
    const std::vector<PartPose> poses{PartPose{"a__bone_1", 50, 100, 50, 50, 0, 1, 0, 0.5f, 1, 0.5f}};
    ASSERT_TRUE(CommitPose(doc, "object_1", poses, 1, 1, 100, 100));
    ASSERT_EQ(Obj("object_1").width, 150);

    ASSERT_TRUE(doc.EnterBoneEditor());
    EXPECT_FALSE(doc.enteredFromPlainObject);
    ASSERT_EQ(doc.poseLinkGroups.size(), 1u);
    EXPECT_EQ(doc.poseLinkGroups[0].id, "lj_1");
    EXPECT_EQ(doc.poseScene.width, 3000);

    // Edits in the Pose Editor have their own undo, dropped on finishing.
    doc.poseUndo.undo.push_back(UndoStep{});
    ASSERT_TRUE(doc.FinishBoneEditor());
    EXPECT_TRUE(doc.poseUndo.undo.empty());
    const CanvasObject& after = Obj("object_1");
    EXPECT_FALSE(after.hasPose);
    EXPECT_TRUE(after.partPoses.empty());
    EXPECT_EQ(after.posableScene.width, 3000);  // exported at the size it was shown
    EXPECT_TRUE(after.posableScene.usePartialIK);
    EXPECT_EQ(after.width, 100);
}

TEST_F(PoseEditorSessionTest, EnteringNeedsTheCanvasAnObjectAndTheFrame) {
    EXPECT_FALSE(doc.EnterBoneEditor());  // nothing selected
    Add("layer_1", SolidObject("object_1", 0, 0, 10, 10, 0xFF000000));
    doc.mainScene.SelectObject("object_1");
    host.refuse = true;
    EXPECT_FALSE(doc.EnterBoneEditor());
    EXPECT_TRUE(doc.poseEditorObjectId.empty());
    EXPECT_EQ(doc.workspaceMode, kWorkspaceCanvas);
    host.refuse = false;
    doc.workspaceMode = kWorkspaceInpaint;
    EXPECT_FALSE(doc.EnterBoneEditor());
    EXPECT_TRUE(host.requested.size() == 1);
}

TEST_F(PoseEditorSessionTest, FinishFailsWhileTheObjectIsGoneAndStaysOpen) {
    Add("layer_1", SolidObject("object_1", 0, 0, 10, 10, 0xFF000000));
    doc.mainScene.SelectObject("object_1");
    ASSERT_TRUE(doc.EnterBoneEditor());
    doc.mainScene.DeleteObject("object_1");
    EXPECT_FALSE(doc.FinishBoneEditor());
    EXPECT_EQ(doc.workspaceMode, kWorkspacePoseEditor);
    EXPECT_EQ(doc.poseEditorObjectId, "object_1");
}

TEST_F(PoseEditorSessionTest, HigherResolutionObjectKeepsItsSizeThroughTheEditor) {
    CanvasObject o;
    o.id = "object_1";
    PosableScene scene;
    scene.parts.push_back(BonedPart("a", 100, 100, 50, 50, 0xFFFF0000));
    ASSERT_TRUE(ApplyPosableScene(o, scene, 1, 1));
    o.width = 150;
    o.height = 150;
    ASSERT_TRUE(UpdatePosableImageResolution(o));
    Add("layer_1", o);
    doc.mainScene.SelectObject("object_1");
    ASSERT_TRUE(doc.EnterBoneEditor());
    ASSERT_TRUE(doc.FinishBoneEditor());
    EXPECT_EQ(Obj("object_1").width, 150);
    EXPECT_EQ(Obj("object_1").height, 150);
}

TEST_F(PoseEditorSessionTest, MultiObjectNeedsTwoUnlockedSelections) {
    Add("layer_1", SolidObject("object_1", 0, 0, 10, 10, 0xFF000000));
    CanvasObject locked = SolidObject("object_2", 20, 0, 10, 10, 0xFF000000);
    locked.locked = true;
    Add("layer_1", locked);
    doc.mainScene.SelectObject("object_1");
    doc.mainScene.AddToSelection("object_2");
    EXPECT_FALSE(doc.CanCreateMultiObject());
    doc.OnCreateMultiObject();
    EXPECT_EQ(doc.mainScene.FindLayer("layer_1")->objects.size(), 2u);
    EXPECT_TRUE(doc.mainUndo.undo.empty());
}

TEST_F(PoseEditorSessionTest, MultiObjectMergesLayersWithOneUndoStepAndOpensIt) {
    Layer& second = doc.mainScene.AddLayer();
    const std::string secondId = second.id;
    Add("layer_1", SolidObject("object_1", 100, 100, 40, 20, 0xFFFF0000));
    Add(secondId, SolidObject("object_2", 3100, 200, 30, 30, 0xFF0000FF));
    Add(secondId, SolidObject("object_3", 0, 0, 5, 5, 0xFF00FF00));  // not selected
    doc.mainScene.SelectObject("object_1");
    doc.mainScene.AddToSelection("object_2");
    doc.mainScene.primarySelectedId = "object_2";
    doc.mainScene.SetActiveLayer("layer_1");
    ASSERT_TRUE(doc.CanCreateMultiObject());
    ASSERT_TRUE(provider.CreateMultiObjectChecked(doc));

    EXPECT_EQ(doc.mainScene.FindObject("object_1"), nullptr);
    EXPECT_EQ(doc.mainScene.FindObject("object_2"), nullptr);
    const std::string id = doc.mainScene.primarySelectedId;
    const CanvasObject* made = doc.mainScene.FindObject(id);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(doc.mainScene.FindLayerOfObject(id)->id, secondId);  // the primary's layer
    EXPECT_EQ(doc.mainScene.activeLayerId, secondId);
    EXPECT_EQ(made->name, "Posable copy");
    EXPECT_EQ(made->kind, kObjectPosable);
    EXPECT_EQ(made->x, 100);
    EXPECT_EQ(made->y, 100);
    EXPECT_EQ(made->width, 3030);
    EXPECT_EQ(made->height, 130);
    // Far apart: the scene is the union plus 512 on that axis, 3000 on the other.
    EXPECT_EQ(made->posableScene.width, 3030 + 512);
    EXPECT_EQ(made->posableScene.height, 3000);
    ASSERT_EQ(made->posableScene.parts.size(), 2u);
    EXPECT_EQ(made->posableScene.parts[0].id, "object_1_item");
    EXPECT_EQ(made->posableScene.parts[0].x, 256);
    EXPECT_EQ(made->posableScene.parts[0].y, 1435);
    ASSERT_EQ(doc.mainUndo.undo.size(), 1u);
    EXPECT_EQ(doc.mainUndo.undo[0].kind, kUndoObjectsToPosable);
    // The new object is open in the Pose Editor.
    EXPECT_EQ(doc.workspaceMode, kWorkspacePoseEditor);
    EXPECT_EQ(doc.poseEditorObjectId, id);
    EXPECT_NE(doc.poseScene.FindObject("object_2_item"), nullptr);

    // Finish, then undo brings both objects back to their own layers.
    ASSERT_TRUE(doc.FinishBoneEditor());
    doc.OnEditUndo();
    EXPECT_EQ(doc.mainScene.FindObject(id), nullptr);
    EXPECT_EQ(doc.mainScene.FindLayerOfObject("object_1")->id, "layer_1");
    EXPECT_EQ(doc.mainScene.FindLayerOfObject("object_2")->id, secondId);
    EXPECT_EQ(doc.mainScene.primarySelectedId, "object_2");
    doc.OnEditRedo();
    EXPECT_NE(doc.mainScene.FindObject(id), nullptr);
    EXPECT_EQ(doc.mainScene.FindObject("object_1"), nullptr);
}

TEST_F(PoseEditorSessionTest, MultiObjectNamesTakeTheNextFreeCopyName) {
    CanvasObject taken = SolidObject("object_9", 500, 500, 5, 5, 0xFF000000);
    taken.name = "Posable copy";
    Add("layer_1", taken);
    Add("layer_1", SolidObject("object_1", 0, 0, 10, 10, 0xFF000000));
    Add("layer_1", SolidObject("object_2", 20, 0, 10, 10, 0xFF000000));
    doc.mainScene.SelectObject("object_1");
    doc.mainScene.AddToSelection("object_2");
    ASSERT_TRUE(provider.CreateMultiObjectChecked(doc));
    EXPECT_EQ(doc.mainScene.FindObject(doc.poseEditorObjectId)->name, "Posable copy 2");
}
