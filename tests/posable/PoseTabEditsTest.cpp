#include "posable/PoseTabEdits.h"

#include "PosableFixtures.h"
#include "canvas_view/CanvasPoseSession.h"
#include "document/CQuillfenEditorDoc.h"
#include "posable/PosedPreview.h"
#include "posable/RuntimeScene.h"

#include <gtest/gtest.h>

#include <cmath>

#include <functional>

using namespace posable_test;

namespace {

// A document with the Pose Editor open on two parts; the backdrop layer comes
// first and is empty, so the tab's part is "object_2", the first object of
// the next layer.
struct PoseEditorDoc {
    CQuillfenEditorDoc doc;
    PoseEditorDoc() {
        doc.workspaceMode = kWorkspacePoseEditor;
        doc.poseEditorObjectId = "object_1";
        doc.poseScene.Reset();
        Layer* layer = doc.poseScene.FindLayer("layer_1");
        CanvasObject torso = SolidObject("object_2", 10, 20, 4, 4, 0xFF00FF00);
        torso.name = "Torso";
        layer->objects = {torso, SolidObject("object_3", 0, 0, 4, 4, 0xFFFF0000)};
    }
    CanvasObject& Part() { return *doc.poseScene.FindObject("object_2"); }
};

// A posable object of two boned parts, selected on the canvas.
struct CanvasPosableDoc {
    CQuillfenEditorDoc doc;
    CanvasPosableDoc() {
        PosableScene s;
        s.width = s.height = 3000;
        s.parts.push_back(BonedPart("left", 100, 100, 50, 50, 0xFFFF0000));
        s.parts.push_back(BonedPart("right", 200, 100, 50, 50, 0xFF0000FF));
        CanvasObject o;
        o.id = "object_1";
        o.name = "Figure";
        o.x = 400;
        o.y = 300;
        EXPECT_TRUE(ApplyPosableScene(o, s, 1, 1));  // 150 x 50 at rest
        doc.mainScene.FindLayer("layer_1")->objects.push_back(o);
        doc.mainScene.SelectObject("object_1");
    }
    CanvasObject& Object() { return *doc.mainScene.FindObject("object_1"); }
    // The left part moved 100 left and 40 up: the picture grows to 250 x 90.
    std::vector<PartPose> MovedLeftPart() {
        CanvasDocument unfolded, runtime;
        std::vector<JointLink> links, runtimeLinks;
        CanvasDocument::LoadFromScene(Object().posableScene, unfolded, links);
        BuildRuntimeDocument(unfolded, links, runtime, runtimeLinks);
        runtime.FindObject("left__bone_1")->x -= 100;
        runtime.FindObject("left__bone_1")->y -= 40;
        return CanvasDocument::BuildPartPoses(runtime);
    }
};

}  // namespace

TEST(PoseTabEdits, FieldEditsAndTheAspectLinkFollowTheSnapshot) {
    const ObjectTransform snapshot{0, 0, 200, 100, 15, 0.5f};
    const ObjectTransform midDrag{5, 6, 250, 130, 15, 0.5f};  // a step whose H no longer matches
    const ObjectTransform flat{0, 0, 200, 0, 0, 1};
    struct Case {
        const char* name;
        PoseObjectField field;
        float value;
        bool linked;
        const ObjectTransform* snapshot;
        ObjectTransform expected;
        bool otherSide;
    } cases[] = {
        {"x", PoseObjectField::X, -7, true, &snapshot, {-7, 6, 250, 130, 15, 0.5f}, false},
        {"y", PoseObjectField::Y, 9, true, &snapshot, {5, 9, 250, 130, 15, 0.5f}, false},
        {"w linked", PoseObjectField::Width, 300, true, &snapshot, {5, 6, 300, 150, 15, 0.5f}, true},
        {"h linked", PoseObjectField::Height, 50, true, &snapshot, {5, 6, 100, 50, 15, 0.5f}, true},
        {"w unlinked", PoseObjectField::Width, 300, false, &snapshot, {5, 6, 300, 130, 15, 0.5f}, false},
        {"h unlinked", PoseObjectField::Height, 50, false, &snapshot, {5, 6, 250, 50, 15, 0.5f}, false},
        {"no interaction", PoseObjectField::Width, 300, true, nullptr, {5, 6, 300, 130, 15, 0.5f}, false},
        {"flat snapshot", PoseObjectField::Width, 300, true, &flat, {5, 6, 300, 130, 15, 0.5f}, false},
    };
    for (const Case& c : cases) {
        const PoseObjectFieldResult r = EditPoseObjectField(midDrag, c.field, c.value, c.linked, c.snapshot);
        EXPECT_EQ(r.transform.x, c.expected.x) << c.name;
        EXPECT_EQ(r.transform.y, c.expected.y) << c.name;
        EXPECT_FLOAT_EQ(r.transform.width, c.expected.width) << c.name;
        EXPECT_FLOAT_EQ(r.transform.height, c.expected.height) << c.name;
        EXPECT_EQ(r.transform.rotation, c.expected.rotation) << c.name;
        EXPECT_EQ(r.transform.opacity, c.expected.opacity) << c.name;
        EXPECT_EQ(r.otherSideChanged, c.otherSide) << c.name;
    }
}

TEST(PoseTabEdits, ThePartIsTheFirstObjectOfThePoseEditorScene) {
    PoseEditorDoc d;
    ASSERT_NE(FindPoseEditorPart(d.doc), nullptr);
    EXPECT_EQ(FindPoseEditorPart(d.doc)->id, "object_2");
    d.doc.workspaceMode = kWorkspaceCanvas;
    EXPECT_EQ(FindPoseEditorPart(d.doc), nullptr);
    d.doc.workspaceMode = kWorkspacePoseEditor;
    d.doc.poseEditorObjectId.clear();
    EXPECT_EQ(FindPoseEditorPart(d.doc), nullptr);
}

TEST(PoseTabEdits, TypedNamesAreTrimmedAndBlankOnesRestored) {
    struct Case {
        const char* typed;
        PartNameCommit result;
        const char* name;
    } cases[] = {
        {"   ", PartNameCommit::Restored, "Torso"},
        {"", PartNameCommit::Restored, "Torso"},
        {" Torso\t", PartNameCommit::Unchanged, "Torso"},
        {"  Upper arm \n", PartNameCommit::Renamed, "Upper arm"},
    };
    for (const Case& c : cases) {
        PoseEditorDoc d;
        std::string shown = "stale";
        EXPECT_EQ(CommitPoseEditorPartName(d.doc, c.typed, shown), c.result) << c.typed;
        EXPECT_EQ(d.Part().name, c.name);
        EXPECT_EQ(shown, c.name);
        const bool renamed = c.result == PartNameCommit::Renamed;
        EXPECT_EQ(d.doc.poseUndo.undo.size(), renamed ? 1u : 0u);
        EXPECT_TRUE(d.doc.mainUndo.undo.empty());
        EXPECT_EQ(d.doc.IsModified(), renamed);
        EXPECT_EQ(d.doc.poseScene.FindObject("object_3")->name, "object_3");
        if (!renamed) continue;
        d.doc.OnEditUndo();
        EXPECT_EQ(d.Part().name, "Torso");
        d.doc.OnEditRedo();
        EXPECT_EQ(d.Part().name, "Upper arm");
    }
    PoseEditorDoc closed;
    closed.doc.poseEditorObjectId.clear();
    std::string shown;
    EXPECT_EQ(CommitPoseEditorPartName(closed.doc, "Leg", shown), PartNameCommit::NoPart);
    EXPECT_EQ(closed.Part().name, "Torso");
}

TEST(PoseTabEdits, ResetPoseKeepsTheDisplayedSizeAsOneUndoStep) {
    CanvasPosableDoc d;
    ASSERT_TRUE(CommitPose(d.doc, "object_1", d.MovedLeftPart(), 1, 1, 100, 100));
    ASSERT_EQ(d.Object().width, 250);
    // Resized on the canvas to twice its size.
    d.Object().width = 500;
    d.Object().height = 180;
    const CanvasObject posed = d.Object();
    d.doc.SetModifiedFlag(false);

    ASSERT_TRUE(ResetPosableObjectPose(d.doc));
    EXPECT_FALSE(d.Object().hasPose);
    EXPECT_TRUE(d.Object().partPoses.empty());
    EXPECT_EQ(d.Object().width, 300);
    EXPECT_EQ(d.Object().height, 100);
    EXPECT_TRUE(d.doc.IsModified());
    ASSERT_EQ(d.doc.mainUndo.undo.size(), 1u);
    EXPECT_EQ(d.doc.mainUndo.undo[0].kind, kUndoWholeObject);

    d.doc.OnEditUndo();
    EXPECT_TRUE(d.Object().hasPose);
    EXPECT_EQ(d.Object().partPoses.size(), posed.partPoses.size());
    EXPECT_EQ(d.Object().width, 500);
    EXPECT_EQ(d.Object().height, 180);
    d.doc.OnEditRedo();
    EXPECT_FALSE(d.Object().hasPose);
    EXPECT_EQ(d.Object().width, 300);
}

// Posing moves the object's box around the posed parts; Reset Pose puts
// the very box back, also at a scale and turn that make fractions.
TEST(PoseTabEdits, PoseThenResetGivesBackTheRestBox) {
    for (const float scale : {1.0f, 1.37f}) {
        CanvasPosableDoc d;
        d.Object().width *= scale;
        d.Object().height *= scale;
        d.Object().rotation = 20;
        const CanvasObject rest = d.Object();
        ASSERT_TRUE(CommitPose(d.doc, "object_1", d.MovedLeftPart(), scale, scale, 100, 100));
        EXPECT_NEAR(d.Object().width, 250 * scale, 1e-3) << scale;
        EXPECT_GT(std::abs(d.Object().x - rest.x), 10) << scale;
        ASSERT_TRUE(ResetPosableObjectPose(d.doc));
        EXPECT_NEAR(d.Object().x, rest.x, 1e-3) << scale;
        EXPECT_NEAR(d.Object().y, rest.y, 1e-3) << scale;
        EXPECT_NEAR(d.Object().width, rest.width, 1e-3) << scale;
        EXPECT_NEAR(d.Object().height, rest.height, 1e-3) << scale;
        EXPECT_FLOAT_EQ(d.Object().rotation, 20) << scale;
    }
}

TEST(PoseTabEdits, ResetPoseStoresALivePoseForUndo) {
    CanvasPosableDoc d;
    const LivePose live{d.MovedLeftPart(), 1, 1, 100, 100};
    ASSERT_TRUE(ResetPosableObjectPose(d.doc, &live));
    EXPECT_FALSE(d.Object().hasPose);
    EXPECT_EQ(d.Object().width, 150);
    ASSERT_EQ(d.doc.mainUndo.undo.size(), 1u);
    d.doc.OnEditUndo();
    EXPECT_TRUE(d.Object().hasPose);  // the pose that was on screen, not the rest the object stored
    EXPECT_EQ(d.Object().width, 250);
    EXPECT_EQ(d.Object().height, 90);
}

TEST(PoseTabEdits, APoseSessionFollowsResetAndUndoButKeepsItsOwnDrags) {
    CanvasPosableDoc d;
    d.doc.activeTool = kToolPose;
    ASSERT_TRUE(CommitPose(d.doc, "object_1", d.MovedLeftPart(), 1, 1, 100, 100));
    CanvasPoseSession session;
    ASSERT_TRUE(session.Open(d.doc, "object_1"));
    EXPECT_EQ(session.bounds.x, 0);  // the moved part's left edge

    // A drag in the session leaves the object alone: the session stays.
    session.runtime.FindObject("right__bone_1")->y += 7;
    ASSERT_TRUE(session.Open(d.doc, "object_1"));
    EXPECT_EQ(session.runtime.FindObject("right__bone_1")->y, 107);

    ASSERT_TRUE(ResetPosableObjectPose(d.doc));
    ASSERT_TRUE(session.Open(d.doc, "object_1"));
    EXPECT_EQ(session.bounds.x, 100);
    d.doc.OnEditUndo();
    ASSERT_TRUE(session.Open(d.doc, "object_1"));
    EXPECT_EQ(session.bounds.x, 0);
    EXPECT_EQ(session.runtime.FindObject("right__bone_1")->y, 100);
    // Closing writes back what the object now shows, not a stale rest pose.
    session.Close(&d.doc, true);
    EXPECT_TRUE(d.Object().hasPose);
    EXPECT_EQ(d.Object().width, 250);
}

TEST(PoseTabEdits, ResetPoseNeedsOneSelectedPosableObjectOnTheCanvas) {
    const std::function<void(CanvasPosableDoc&)> spoil[] = {
        [](CanvasPosableDoc& d) { d.doc.workspaceMode = kWorkspacePoseEditor; },
        [](CanvasPosableDoc& d) { d.doc.mainScene.ClearSelection(); },
        [](CanvasPosableDoc& d) { d.Object().kind = kObjectBitmap; },
        [](CanvasPosableDoc& d) { d.Object().hasPosableScene = false; },
        // Nothing of the scene is visible: the rest pose cannot be rendered.
        [](CanvasPosableDoc& d) {
            for (PosablePart& p : d.Object().posableScene.parts) p.visible = false;
        },
    };
    for (size_t i = 0; i < std::size(spoil); ++i) {
        CanvasPosableDoc d;
        const LivePose live{d.MovedLeftPart(), 1, 1, 100, 100};
        spoil[i](d);
        const CanvasObject before = d.Object();
        EXPECT_FALSE(ResetPosableObjectPose(d.doc, &live)) << i;
        EXPECT_FALSE(d.doc.IsModified()) << i;
        EXPECT_TRUE(d.doc.mainUndo.undo.empty()) << i;
        EXPECT_EQ(d.Object().hasPose, before.hasPose) << i;
        EXPECT_EQ(d.Object().width, before.width) << i;
    }
}

TEST(PoseTabEdits, PartialIKSwitchesOnlyPosableObjects) {
    CanvasPosableDoc d;
    EXPECT_TRUE(SetPosablePartialIK(d.doc, "object_1", true));
    EXPECT_TRUE(d.Object().posableScene.usePartialIK);
    EXPECT_TRUE(d.doc.IsModified());
    EXPECT_TRUE(SetPosablePartialIK(d.doc, "object_1", false));
    EXPECT_FALSE(d.Object().posableScene.usePartialIK);
    EXPECT_FALSE(SetPosablePartialIK(d.doc, "missing", true));
    d.Object().kind = kObjectBitmap;
    EXPECT_FALSE(SetPosablePartialIK(d.doc, "object_1", true));
    EXPECT_FALSE(d.Object().posableScene.usePartialIK);
}
