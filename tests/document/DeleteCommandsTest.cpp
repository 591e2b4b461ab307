#include "DocumentFixture.h"

#include "scene/SelectionMask.h"

namespace {

// A paint session that also knows the erase of selected pixels.
struct ErasingSession : FakeSession {
    int erases = 0;
    void EraseSelection(CQuillfenEditorDoc&) override { ++erases; }
};

}  // namespace

TEST_F(DocumentFixture, DeleteKeepsLockedObjectsAndUndoRestoresTheSelection) {
    AddTo(doc.mainScene, "layer_1", MakeObject("object_3", "Bush"));
    Obj("object_3").locked = true;
    doc.mainScene.AddToSelection("object_3");
    const std::string before = Main();

    ASSERT_TRUE(doc.GetSelectionState());
    ASSERT_TRUE(doc.DeleteSelectedObjects());
    EXPECT_EQ(doc.mainScene.FindObject("object_1"), nullptr);
    EXPECT_NE(doc.mainScene.FindObject("object_3"), nullptr);
    EXPECT_TRUE(doc.mainScene.selectedIds.empty());
    ASSERT_EQ(doc.mainUndo.undo.size(), 1u);
    EXPECT_EQ(doc.mainUndo.undo.back().kind, kUndoObjectDeleted);
    doc.OnEditUndo();
    EXPECT_EQ(Main(), before);  // object back in its place, both selected again
}

TEST_F(DocumentFixture, DeleteSeveralObjectsRecordsOneStep) {
    doc.mainScene.AddToSelection("object_2");
    const std::string before = Main();
    ASSERT_TRUE(doc.DeleteSelectedObjects());
    EXPECT_TRUE(doc.mainScene.FindLayer("layer_1")->objects.empty());
    EXPECT_EQ(doc.mainUndo.undo.back().kind, kUndoObjectsDeleted);
    doc.OnEditUndo();
    EXPECT_EQ(Main(), before);
    doc.mainScene.FindLayer("layer_1")->locked = true;
    EXPECT_FALSE(doc.GetSelectionState());  // everything selected lies on a locked layer
    EXPECT_FALSE(doc.DeleteSelectedObjects());
}

TEST_F(DocumentFixture, PoseEditorKeepsAtLeastOneObject) {
    doc.workspaceMode = kWorkspacePoseEditor;
    doc.poseEditorObjectId = "object_1";
    AddTo(doc.poseScene, "layer_1", MakeObject("object_1"));
    AddTo(doc.poseScene, "layer_1", MakeObject("object_2"));
    doc.poseScene.SelectObject("object_1");
    doc.poseScene.AddToSelection("object_2");
    EXPECT_FALSE(doc.GetSelectionState());
    EXPECT_FALSE(doc.DeleteSelectedObjects());
    doc.poseScene.RemoveFromSelection("object_2");
    EXPECT_TRUE(doc.DeleteSelectedObjects());
    EXPECT_EQ(doc.poseUndo.undo.size(), 1u);
    EXPECT_TRUE(doc.mainUndo.undo.empty());
}

TEST_F(DocumentFixture, DeleteKeyPrefersSelectedPixelsThenMaskThenObjects) {
    ErasingSession session;
    doc.paintSession = &session;
    doc.activeTool = kToolPaintBrush;
    doc.mainScene.EnsureSelectionMask();
    doc.mainScene.selectionMask->Invert();  // everything selected
    ASSERT_TRUE(doc.DeleteSelected());
    EXPECT_EQ(session.erases, 1);
    EXPECT_EQ(session.cancels, 0);
    EXPECT_NE(doc.mainScene.FindObject("object_1"), nullptr);

    // No pixel selection, a mask row selected: the session is committed (never
    // cancelled), then the mask goes.
    doc.mainScene.selectionMask->Clear();
    Obj("object_2").maskPixels = std::vector<uint8_t>(6, 255);
    Obj("object_2").maskWidth = 3;
    Obj("object_2").maskHeight = 2;
    Obj("object_2").maskEnabled = true;
    doc.mainScene.selectedMaskObjectId = "object_2";
    ASSERT_TRUE(doc.DeleteSelected());
    EXPECT_EQ(session.commits, 1);
    EXPECT_EQ(session.cancels, 0);
    EXPECT_EQ(doc.activeTool, kToolMove);
    EXPECT_FALSE(Obj("object_2").maskEnabled);
    EXPECT_TRUE(doc.mainScene.selectedMaskObjectId.empty());
    EXPECT_EQ(doc.mainUndo.undo.back().kind, kUndoWholeObject);
    EXPECT_NE(doc.mainScene.FindObject("object_1"), nullptr);

    ASSERT_TRUE(doc.DeleteSelected());  // then the selected object
    EXPECT_EQ(doc.mainScene.FindObject("object_1"), nullptr);
}

TEST_F(DocumentFixture, DeleteLayerAsksOnlyWhenItHoldsObjects) {
    Layer& l2 = doc.mainScene.AddLayer();  // "Layer 2", active and empty
    const std::string id2 = l2.id;
    ASSERT_TRUE(doc.CanDeleteActiveLayer());
    ASSERT_TRUE(doc.DeleteActiveLayer());
    EXPECT_TRUE(host.prompts.Records().empty());
    EXPECT_EQ(doc.mainScene.FindLayer(id2), nullptr);
    EXPECT_EQ(doc.mainScene.activeLayerId, doc.mainScene.layers.front().id);

    doc.mainScene.SetActiveLayer("layer_1");
    doc.mainScene.FindLayer("layer_1")->name = "Layer 2";
    AddTo(doc.mainScene, "layer_1", MakeObject("object_3"));
    const std::string before = Main();
    host.prompts.QueueAnswer(PromptAnswer::No);
    EXPECT_FALSE(doc.DeleteActiveLayer());
    EXPECT_EQ(Main(), before);
    ASSERT_EQ(host.prompts.Records().size(), 1u);
    const MessageRequest& asked = host.prompts.Records()[0].message;
    EXPECT_EQ(asked.text, "Layer \"Layer 2\" contains 3 item(s).\n\nDelete the layer and all items inside it?");
    EXPECT_EQ(asked.buttons, PromptButtons::YesNo);
    EXPECT_EQ(asked.icon, PromptIcon::Exclamation);
    EXPECT_EQ(asked.defaultAnswer, PromptAnswer::No);

    host.prompts.QueueAnswer(PromptAnswer::Yes);
    ASSERT_TRUE(doc.DeleteActiveLayer());
    EXPECT_EQ(doc.mainScene.FindLayer("layer_1"), nullptr);
    EXPECT_EQ(doc.mainScene.activeLayerId, "backdrop");
    EXPECT_FALSE(doc.CanDeleteActiveLayer());  // one layer left
    doc.OnEditUndo();
    ASSERT_EQ(doc.mainScene.layers.back().id, "layer_1");  // appended at the top again
    EXPECT_EQ(doc.mainScene.layers.back().objects.size(), 3u);
}
