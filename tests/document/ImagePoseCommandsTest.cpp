#include "CommandFixture.h"

#include "document/ImageCommands.h"
#include "scene/PixelOps.h"

namespace {

std::vector<uint8_t> Png(int w, int h, uint32_t argb) {
    BitmapPtr b = Bitmap::Create(w, h);
    b->Clear(argb);
    std::vector<uint8_t> out;
    EncodeBitmapToPng(*b, out);
    return out;
}

struct ImageEnv : CommandEnv {
    ImageEnv() {
        CanvasObject o = MakeObject("object_1", "Tree", 0, 0);
        o.width = 4;
        o.height = 2;
        ImagePart part;
        part.id = "image_1";
        part.encoded = Png(4, 2, 0xFF102030);
        part.pixelWidth = 4;
        part.pixelHeight = 2;
        o.parts.push_back(part);
        AddTo(doc.mainScene, "layer_1", o);
        doc.mainScene.SelectObject("object_1");
    }
    CanvasObject& Obj() { return *doc.mainScene.FindObject("object_1"); }
};

}  // namespace

TEST(ImageCommands, AddMaskRoundsThePartSizeAndIsUndone) {
    ImageEnv env;
    env.Obj().parts[0].pixelWidth = 300.5f;
    env.Obj().parts[0].pixelHeight = 200.4f;
    EXPECT_TRUE(env.table.Execute(kCmdAddMask));
    EXPECT_EQ(env.Obj().maskWidth, 301);
    EXPECT_EQ(env.Obj().maskHeight, 200);
    EXPECT_TRUE(env.Obj().HasUsableMask());
    EXPECT_EQ(env.Obj().maskPixels[301 * 200 - 1], 255);
    EXPECT_FALSE(env.table.QueryState(kCmdAddMask).enabled);
    env.doc.OnEditUndo();
    EXPECT_FALSE(env.Obj().HasUsableMask());

    // A size from a file beyond the caps is refused, not allocated.
    env.Obj().parts[0].pixelWidth = 1e9f;
    env.doc.OnImageAddMask();
    EXPECT_FALSE(env.Obj().HasUsableMask());
}

TEST(ImageCommands, InvertColoursTwiceRestoresThemAndAMaskRowInvertsTheMask) {
    ImageEnv env;
    const std::vector<uint8_t> original = env.Obj().parts[0].encoded;
    env.doc.OnImageInvert();
    BitmapPtr inverted = DecodePngToBitmap(env.Obj().parts[0].encoded);
    ASSERT_TRUE(inverted);
    EXPECT_EQ(inverted->Pixel(0, 0), 0xFFEFDFCFu);
    env.doc.OnImageInvert();
    EXPECT_EQ(DecodePngToBitmap(env.Obj().parts[0].encoded)->Pixel(3, 1), 0xFF102030u);
    EXPECT_EQ(env.doc.mainUndo.undo.size(), 2u);

    // The mask row: only the selected part of a canvas-aligned mask changes.
    env.Obj().maskPixels = {0, 10, 200, 255, 0, 10, 200, 255};
    env.Obj().maskWidth = 4;
    env.Obj().maskHeight = 2;
    env.Obj().maskEnabled = true;
    env.doc.mainScene.width = 4;
    env.doc.mainScene.height = 2;
    env.doc.mainScene.selectedMaskObjectId = "object_1";
    SelectRect(env.doc.mainScene, 1, 0, 2, 1);
    env.doc.OnImageInvert();
    EXPECT_EQ(env.Obj().maskPixels, (std::vector<uint8_t>{0, 245, 55, 255, 0, 10, 200, 255}));
    EXPECT_EQ(DecodePngToBitmap(env.Obj().parts[0].encoded)->Pixel(0, 0), 0xFF102030u);
}

TEST(ImageCommands, ConversionIsOfferedAndNoChangesNothing) {
    ImageEnv env;
    env.Obj().kind = kObjectPosable;
    const std::string before = Signature(env.doc.mainScene);
    env.host.prompts.QueueAnswer(PromptAnswer::No);
    env.doc.OnImageInvert();
    env.doc.OnImageBrightness();  // unanswered: No is the default
    const std::vector<std::string> texts = env.host.prompts.MessageTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], ConvertForEffectQuestion("Tree", "Invert"));
    EXPECT_EQ(texts[1].rfind("Convert \"Tree\" to Bitmap to apply Brightness?\n\n", 0), 0u);
    EXPECT_EQ(env.host.prompts.Records()[0].message.defaultAnswer, PromptAnswer::No);
    EXPECT_EQ(Signature(env.doc.mainScene), before);
    EXPECT_TRUE(env.doc.mainUndo.undo.empty());
    EXPECT_EQ(env.host.brightnessRuns, 0);

    env.Obj().kind = kObjectBitmap;
    env.doc.OnImageBrightness();
    EXPECT_EQ(env.host.brightnessRuns, 1);
}

TEST(ImageCommands, InvertWhilePaintingGoesToTheSession) {
    ImageEnv env;
    PaintingSession session;
    session.objectId = "object_1";
    env.doc.paintSession = &session;
    const std::vector<uint8_t> original = env.Obj().parts[0].encoded;
    env.doc.OnImageInvert();
    EXPECT_EQ(session.pixelOps, 1);
    EXPECT_EQ(env.Obj().parts[0].encoded, original);
    EXPECT_TRUE(env.doc.mainUndo.undo.empty());
}

TEST(ImageCommands, InpaintReportsWhatIsMissingAndStartsTheWorkspace) {
    ImageEnv env;
    FakeInpaint inpaint;
    env.doc.SetSmartFillProvider(&inpaint);
    env.doc.OnImageInpaint();
    PaintingSession session;
    session.objectId = "object_1";
    env.doc.paintSession = &session;
    env.doc.OnImageInpaint();
    EXPECT_EQ(env.doc.inpaintSession, nullptr);
    SelectRect(env.doc.mainScene, 0, 0, 2, 2);
    inpaint.beginSucceeds = false;
    env.doc.OnImageInpaint();
    EXPECT_EQ(env.doc.inpaintSession, nullptr);  // a failed begin leaves no session
    EXPECT_EQ(session.commits, 0);
    EXPECT_EQ(env.host.prompts.MessageTexts(),
              (std::vector<std::string>{kInpaintNeedsPaintSession, kInpaintNeedsSelection, kInpaintCannotStart}));

    inpaint.beginSucceeds = true;
    env.doc.OnImageInpaint();
    ASSERT_NE(env.doc.inpaintSession, nullptr);
    EXPECT_EQ(session.commits, 1);  // after the session began
    EXPECT_EQ(env.doc.paintSession, nullptr);
    EXPECT_EQ(env.host.modes, (std::vector<int>{kWorkspaceInpaint}));

    // The source tools on the begun record: hole {0,255,0 / 0,0,0}, alpha {255,255,0 / 255,255,255}.
    env.doc.workspaceMode = kWorkspaceInpaint;
    env.doc.OnInpaintSelectAllSource();
    EXPECT_EQ(inpaint.last->source, (std::vector<uint8_t>{255, 0, 0, 255, 255, 255}));
    env.doc.OnInpaintClearSource();
    EXPECT_EQ(inpaint.last->source, std::vector<uint8_t>(6, 0));
}

// --- Pose Editor bones and links ---

namespace {

struct PoseEnv : CommandEnv {
    PoseEnv() {
        doc.workspaceMode = kWorkspacePoseEditor;
        doc.poseEditorObjectId = "object_9";
        Bone root, child, other;
        root.id = "bone_1";
        root.width = 0.5f;
        root.feather = 0.2f;
        root.headShift = 0.3f;
        root.roundHeadCap = 0;
        child.id = "bone_2";
        child.hasParent = true;
        child.parentId = "bone_1";
        child.roundHeadCap = 2;
        CanvasObject arm = MakeObject("object_1", "Arm");
        arm.bones = {root, child};
        AddTo(doc.poseScene, "layer_1", arm);
        other.id = "bone_1";
        CanvasObject hand = MakeObject("object_2", "Hand");
        hand.bones = {other};
        AddTo(doc.poseScene, "layer_1", hand);
        CanvasObject leg = MakeObject("object_3", "Leg");
        leg.bones = {other};
        AddTo(doc.poseScene, "layer_1", leg);
        doc.poseScene.SelectObject("object_1");
        doc.boneSelection = {"object_1", "bone_2", true, 0};
        doc.poseLinkGroups = {
            JointLink{"lj_1", "", {{"object_1", "bone_2", 1}, {"object_2", "bone_1", 0}}},
            JointLink{"lj_2", "", {{"object_1", "bone_1", 0}, {"object_2", "bone_1", 1}, {"object_3", "bone_1", 0}}},
        };
    }
    CanvasObject& Arm() { return *doc.poseScene.FindObject("object_1"); }
    std::string Pose() { return Signature(doc.poseScene, &doc.poseLinkGroups); }
};

}  // namespace

TEST(PoseCommands, RemoveBoneDropsLinkEndsInTwoUndoSteps) {
    PoseEnv env;
    const std::string before = env.Pose();
    env.doc.OnBoneRemove();
    EXPECT_TRUE(env.Arm().bones.empty());
    ASSERT_EQ(env.doc.poseLinkGroups.size(), 1u);  // lj_1 kept one end and went
    EXPECT_EQ(env.doc.poseLinkGroups[0].id, "lj_2");
    EXPECT_EQ(env.doc.poseLinkGroups[0].ends.size(), 2u);
    // Links first, so that Undo restores the bones before the links naming them.
    ASSERT_EQ(env.doc.poseUndo.undo.size(), 2u);
    EXPECT_EQ(env.doc.poseUndo.undo[0].kind, kUndoJointLinks);
    EXPECT_EQ(env.doc.poseUndo.undo[1].kind, kUndoBones);
    EXPECT_TRUE(env.doc.boneSelection.boneId.empty());
    env.doc.OnEditUndo();
    env.doc.OnEditUndo();
    // A link step carries no selection; everything else is as it was.
    env.doc.poseScene.activeLayerId = "layer_1";
    env.doc.poseScene.SelectObject("object_1");
    EXPECT_EQ(env.Pose(), before);
    env.doc.OnEditRedo();
    env.doc.OnEditRedo();
    EXPECT_TRUE(env.Arm().bones.empty());
    EXPECT_EQ(env.doc.poseLinkGroups.size(), 1u);
}

TEST(PoseCommands, DeleteBoneOnlyWithoutChildrenAndKeepsTheObjectSelected) {
    PoseEnv env;
    env.doc.boneSelection.boneId = "bone_1";  // bone_2 hangs from it
    const std::string before = env.Pose();
    env.doc.OnDeleteBone();
    EXPECT_EQ(env.Pose(), before);

    env.doc.boneSelection.boneId = "bone_2";
    env.doc.OnDeleteBone();
    ASSERT_EQ(env.Arm().bones.size(), 1u);
    EXPECT_EQ(env.doc.poseLinkGroups.size(), 1u);
    EXPECT_EQ(env.doc.poseScene.primarySelectedId, "object_1");
    EXPECT_EQ(env.doc.poseScene.selectedIds, std::vector<std::string>{"object_1"});
    env.doc.OnEditUndo();  // the bone first
    EXPECT_EQ(env.Arm().bones.size(), 2u);
    EXPECT_EQ(env.doc.poseLinkGroups.size(), 1u);
    env.doc.OnEditUndo();
    EXPECT_EQ(env.doc.poseLinkGroups.size(), 2u);
}

TEST(PoseCommands, CopyFromParentTakesTheShapeOnly) {
    PoseEnv env;
    env.doc.OnBoneCopyFromParent();
    const Bone& b = env.Arm().bones[1];
    EXPECT_FLOAT_EQ(b.width, 0.5f);
    EXPECT_FLOAT_EQ(b.feather, 0.2f);
    EXPECT_FLOAT_EQ(b.headShift, 0.3f);
    EXPECT_EQ(b.roundHeadCap, 2);  // round caps stay
    EXPECT_EQ(env.doc.poseUndo.undo.size(), 1u);
    env.doc.boneSelection.boneId = "bone_1";  // no parent
    const std::string now = env.Pose();
    env.doc.OnBoneCopyFromParent();
    EXPECT_EQ(env.Pose(), now);
}

TEST(PoseCommands, ToggleRoundEndpointAndStretchable) {
    PoseEnv env;
    env.doc.OnBoneRoundEndpoint();
    EXPECT_EQ(env.Arm().bones[1].roundHeadCap, 1);  // 2 counts as not round
    env.doc.OnBoneRoundEndpoint();
    EXPECT_EQ(env.Arm().bones[1].roundHeadCap, 0);
    env.doc.boneSelection.handleIndex = 1;
    env.doc.OnBoneRoundEndpoint();
    EXPECT_EQ(env.Arm().bones[1].roundTailCap, 0);
    env.doc.OnBoneStretchable();
    EXPECT_TRUE(env.Arm().bones[1].stretchable);
    EXPECT_EQ(env.doc.poseUndo.undo.size(), 4u);
    env.Arm().locked = true;
    env.doc.OnBoneStretchable();
    EXPECT_TRUE(env.Arm().bones[1].stretchable);
}

TEST(PoseCommands, BreakLinkRemovesTheObjectsEnds) {
    PoseEnv env;
    env.doc.poseScene.SelectObject("object_2");
    env.doc.OnBreakLink();
    // lj_1 had two ends and goes; lj_2 keeps the other two.
    ASSERT_EQ(env.doc.poseLinkGroups.size(), 1u);
    EXPECT_EQ(env.doc.poseLinkGroups[0].ends.size(), 2u);
    EXPECT_EQ(env.doc.poseLinkGroups[0].ends[1].objectId, "object_3");
    EXPECT_EQ(env.doc.poseUndo.undo.size(), 1u);
    env.doc.OnBreakLink();  // in no link any more
    EXPECT_EQ(env.doc.poseUndo.undo.size(), 1u);
}

TEST(PoseCommands, MoveJointSelectsTheFirstBoneAndTestBonesCommitsPainting) {
    PoseEnv env;
    env.doc.OnToolSelectMoveJoint();
    EXPECT_EQ(env.doc.activeTool, kToolSelectMoveJoint);
    EXPECT_EQ(env.doc.boneSelection.boneId, "bone_1");
    EXPECT_EQ(env.doc.boneSelection.handleIndex, 0);
    env.Arm().bones.clear();
    env.doc.OnToolSelectMoveJoint();
    EXPECT_TRUE(env.doc.boneSelection.boneId.empty());

    FakeSession session;
    env.doc.paintSession = &session;
    env.doc.OnTestBones();
    EXPECT_EQ(session.commits, 1);
    EXPECT_EQ(env.host.testBonesRuns, 1);
}

TEST(PoseCommands, UsePartialIKFlipsTheMainSceneObjectWithoutUndo) {
    PoseEnv env;
    CanvasObject figure = MakeObject("object_9", "Figure");
    figure.kind = kObjectPosable;
    AddTo(env.doc.mainScene, "layer_1", figure);
    env.doc.mainScene.SelectObject("object_9");
    env.doc.OnUsePartialIK();  // from the Pose Editor too
    EXPECT_TRUE(env.doc.mainScene.FindObject("object_9")->posableScene.usePartialIK);
    EXPECT_TRUE(env.doc.IsModified());
    EXPECT_TRUE(env.doc.mainUndo.undo.empty() && env.doc.poseUndo.undo.empty());
}
