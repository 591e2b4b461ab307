#include "posable/PoseEditorTools.h"

#include "PosableFixtures.h"
#include "document/CQuillfenEditorDoc.h"
#include "platform/Profile.h"
#include "platform/Prompts.h"
#include "posable/PoseEditorSession.h"
#include "posable/RuntimeRig.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace posable_test;

namespace {

CanvasObject Part(float x, float y, float w, float h, float rotation) {
    CanvasObject o;
    o.id = "part";
    o.x = x;
    o.y = y;
    o.width = w;
    o.height = h;
    o.rotation = rotation;
    return o;
}

float Dist(PointF a, PointF b) { return std::hypot(a.x - b.x, a.y - b.y); }

struct Host : DocumentHost {
    CQuillfenEditorDoc* doc = nullptr;
    ScriptedPrompts prompts;
    MemoryProfile profile;
    void UpdateAllViews() override {}
    void InvalidateAllViews() override {}
    void RefreshPropertiesPane() override {}
    void UpdateStatusText() override {}
    void SetWorkspaceMode(int mode) override { doc->SetEditorMode(mode); }
    Prompts* GetPrompts() override { return &prompts; }
    Profile* GetProfile() override { return &profile; }
};

// A document with 100 x 100 parts open in the Pose Editor, the view at
// zoom 1 showing the scene from (0, 0).
class PoseToolsTest : public ::testing::Test {
protected:
    PoseToolsTest() {
        host.doc = &doc;
        doc.SetHost(&host);
        doc.SetPoseEditorProvider(&provider);
        Layer* layer = doc.mainScene.FindLayer("layer_1");
        CanvasObject o = SolidObject("object_1", 100, 100, 100, 100, 0xFFFF8000);
        o.z = 1;
        doc.mainScene.AddObjectToLayer(*layer, o);
        doc.mainScene.SelectObject("object_1");
        EXPECT_TRUE(doc.EnterBoneEditor());
        part = doc.poseScene.FindObject("object_1_item");
        doc.poseScene.SelectObject("object_1_item");
        tools.view.viewportWidth = 1600;
        tools.view.viewportHeight = 1000;
        tools.view.sceneWidth = doc.poseScene.width;
        tools.view.sceneHeight = doc.poseScene.height;
        tools.view.scrollX = part->x - 100;
        tools.view.scrollY = part->y - 100;
    }
    // The view point of a normalised point of the part.
    PointF At(float u, float v) { return PartPointToView(*part, u, v, tools.view); }
    size_t UndoCount() { return doc.poseUndo.undo.size(); }

    Host host;
    CQuillfenEditorDoc doc;
    PosableEditorProvider provider;
    PoseEditorTools tools;
    CanvasObject* part = nullptr;
};

}  // namespace

TEST(PoseEditorGeometry, HandleBoxesAtZoomAndRotation) {
    // Bone across the middle of a 100 x 100 part; handles in part pixels:
    // width at (50, 80.5), feather at (50, 19.5) (feather 0.01 of 100 is 1
    // pixel: b = sqrt(1/12.5)), tail cap at (80 + 0.12 * 60 + 28, 50).
    Bone b = MakeBone("b", 0.2f, 0.5f, 0.8f, 0.5f);
    const float fb = 12.5f + std::sqrt(1.0f / 12.5f) * 12.5f + 18;
    struct Case {
        float zoom, rotation;
        BoneHandle handle;
        int end;
        PointF part;  // expected position in part pixels before rotation
    } cases[] = {
        {1, 0, BoneHandle::Width, 1, {50, 80.5f}},
        {8, 0, BoneHandle::Width, 1, {50, 80.5f}},
        {1, 90, BoneHandle::Width, 1, {50, 80.5f}},
        {8, 90, BoneHandle::Feather, 1, {50, 50 - fb}},
        {1, 0, BoneHandle::CapLength, 1, {115.2f, 50}},
        {8, 30, BoneHandle::CapLength, 0, {-15.2f, 50}},
        {1, 0, BoneHandle::RoundCapWidth, 0, {20, 80.5f}},
        {8, 45, BoneHandle::RoundCapOffset, 0, {27.2f, 50}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "zoom " << c.zoom << " rotation " << c.rotation << " handle "
                                        << int(c.handle));
        CanvasObject o = Part(0, 0, 100, 100, c.rotation);
        o.bones = {b};
        PoseViewState v;
        v.zoom = c.zoom;
        const PointF expected = v.SceneToView(NormalizedToCanvas(o, c.part.x / 100, c.part.y / 100));
        PointF at;
        ASSERT_TRUE(GetBoneHandle(o, b, c.end, c.handle, v, at));
        EXPECT_NEAR(at.x, expected.x, 0.01);
        EXPECT_NEAR(at.y, expected.y, 0.01);
        // Picked within 12 view pixels, not beyond; the first in priority wins.
        EXPECT_EQ(HitTestBoneHandles(o, b, c.end, true, v, {at.x + 11.99f, at.y}), c.handle);
        EXPECT_NE(HitTestBoneHandles(o, b, c.end, true, v, {at.x + 12.01f, at.y}), c.handle);
    }
    // Flat caps have no round-cap handles; without the selected flag the
    // cap-length handle is not live.
    CanvasObject o = Part(0, 0, 100, 100, 0);
    b.roundTailCap = 0;
    PointF at;
    EXPECT_FALSE(GetBoneHandle(o, b, 1, BoneHandle::RoundCapWidth, PoseViewState{}, at));
    ASSERT_TRUE(GetBoneHandle(o, b, 1, BoneHandle::CapLength, PoseViewState{}, at));
    EXPECT_EQ(HitTestBoneHandles(o, b, 1, false, PoseViewState{}, at), BoneHandle::None);
    // A zero-length bone has no handles.
    EXPECT_FALSE(GetBoneHandle(o, MakeBone("z", 0.5f, 0.5f, 0.5f, 0.5f), 1, BoneHandle::Width, PoseViewState{}, at));
}

TEST(PoseEditorGeometry, JointAndMidpointPriority) {
    // Parent a, child b hanging on a's tail, c's head on the same spot as b's.
    CanvasObject o = Part(0, 0, 200, 100, 0);
    o.bones = {MakeBone("a", 0.1f, 0.5f, 0.5f, 0.5f), MakeBone("b", 0.5f, 0.5f, 0.9f, 0.5f),
               MakeBone("c", 0.5f, 0.5f, 0.5f, 0.9f)};
    struct Case {
        float zoom;
        PointF p;
        bool tieToHead;
        bool found;
        const char* bone;
        int end;
    } cases[] = {
        {1, {100, 50}, false, true, "a", 1},   // equally near tails beat heads
        {1, {100, 50}, true, true, "c", 0},    // with tie-to-head the last equal head
        {1, {20, 68}, false, true, "a", 0},    // 18 pixels away
        {1, {20, 68.1f}, false, false, "", 1}, // just beyond
        {8, {160, 400 + 18}, false, true, "a", 0},
        {8, {160, 400 + 19}, false, false, "", 1},
    };
    for (const Case& c : cases) {
        PoseViewState v;
        v.zoom = c.zoom;
        std::string id;
        int end = -1;
        EXPECT_EQ(HitTestJoint(o, v, c.p, c.tieToHead, id, end), c.found) << c.p.x << "," << c.p.y;
        EXPECT_EQ(id, c.bone);
        EXPECT_EQ(end, c.end);
    }
    std::string mid;
    EXPECT_TRUE(HitTestBoneMidpoint(o, PoseViewState{}, {60, 60}, mid));  // 10 from a's midpoint
    EXPECT_EQ(mid, "a");
    EXPECT_FALSE(HitTestBoneMidpoint(o, PoseViewState{}, {60, 60.1f}, mid));
}

TEST(PoseEditorGeometry, NavigationZoomKeepsPointAndScrollStaysInWorld) {
    PoseViewState v;
    v.viewportWidth = 800;
    v.viewportHeight = 600;
    v.sceneWidth = v.sceneHeight = 3000;
    v.scrollX = 1000;
    v.scrollY = 1000;
    const PointF under = v.ViewToScene({200, 150});
    v.SetZoomAt(v.zoom * 1.1f, {200, 150});
    const PointF after = v.ViewToScene({200, 150});
    EXPECT_NEAR(after.x, under.x, 0.01);
    EXPECT_NEAR(after.y, under.y, 0.01);
    for (int i = 0; i < 100; ++i) v.SetZoomAt(v.zoom * 1.1f, {0, 0});
    EXPECT_FLOAT_EQ(v.zoom, 8.0f);
    for (int i = 0; i < 100; ++i) v.SetZoomAt(v.zoom * 0.9090909f, {0, 0});
    EXPECT_FLOAT_EQ(v.zoom, 0.1f);
    // The viewport covers more than the world at 0.1: the scroll sits at its corner.
    const RectF w = v.ScrollWorld();
    EXPECT_FLOAT_EQ(w.width, 800 / 0.15f);
    EXPECT_FLOAT_EQ(v.scrollX, w.x);
    // A rotated part fits by its corners, centred.
    CanvasDocument scene;
    Layer& layer = scene.layers.front();
    CanvasObject o = Part(1000, 1000, 200, 100, 90);
    layer.objects.push_back(o);
    v.FitContent(scene);
    const PointF centre = v.SceneToView({1100, 1050});
    EXPECT_NEAR(centre.x, 400, 0.5);
    EXPECT_NEAR(centre.y, 300, 0.5);
    EXPECT_NEAR(v.zoom, (600 - 64) / 200.0f, 0.001);
}

// At 100 % a screen with device pixel ratio r shows one scene unit per
// physical pixel (1 / r view pixels); pointer positions between view pixels
// map to the scene units between them, and joints are picked within the same
// 18 view pixels at every ratio.
TEST(PoseEditorGeometry, DeviceRatioMapsViewPointsAndJointPicks) {
    CanvasObject o = Part(1000, 1000, 200, 100, 0);
    o.bones = {MakeBone("a", 0, 0.5f, 1, 0.5f)};  // head at scene (1000, 1050)
    struct Case {
        float ratio;
        PointF view;   // a pointer position...
        PointF scene;  // ...and the scene point under it
    } cases[] = {
        {1.0f, {410, 300}, {1010, 1000}},
        {1.5f, {410, 300.5f}, {1015, 1000.75f}},
        {2.0f, {410.5f, 300}, {1021, 1000}},  // half a view pixel is a whole scene unit
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ratio);
        PoseViewState v;
        v.ratio = c.ratio;
        v.viewportWidth = 800;
        v.viewportHeight = 600;
        v.sceneWidth = v.sceneHeight = 3000;
        v.scrollX = 1000 - 400, v.scrollY = 1000 - 300;  // scene (1000, 1000) at view (400, 300) at zoom 1
        v.zoom = 1;
        v.SetZoomAt(1.0f, {400, 300});  // the 100 % preset, about that point
        EXPECT_NEAR(v.DisplayZoom(), 1.0f, 1e-6);
        EXPECT_NEAR(v.zoom, 1.0f / c.ratio, 1e-6);
        const PointF a = v.SceneToView({1000, 1000}), b = v.SceneToView({1001, 1000});
        EXPECT_NEAR(a.x, 400, 1e-3);
        EXPECT_NEAR((b.x - a.x) * c.ratio, 1.0f, 1e-4);
        const PointF q = v.ViewToScene(c.view);
        EXPECT_NEAR(q.x, c.scene.x, 1e-3);
        EXPECT_NEAR(q.y, c.scene.y, 1e-3);

        const PointF head = v.SceneToView({1000, 1050});
        std::string id;
        int end = -1;
        EXPECT_TRUE(HitTestJoint(o, v, {head.x, head.y + 17.95f}, false, id, end));
        EXPECT_EQ(end, 0);
        EXPECT_FALSE(HitTestJoint(o, v, {head.x, head.y + 18.05f}, false, id, end));
    }
    // The limits and the fit count device pixels too.
    for (float ratio : {1.0f, 1.5f, 2.0f}) {
        SCOPED_TRACE(ratio);
        PoseViewState v;
        v.ratio = ratio;
        v.viewportWidth = 800;
        v.viewportHeight = 600;
        for (int i = 0; i < 100; ++i) v.SetZoomAt(v.DisplayZoom() * 1.1f, {0, 0});
        EXPECT_NEAR(v.DisplayZoom(), 8.0f, 1e-5);
        for (int i = 0; i < 100; ++i) v.SetZoomAt(v.DisplayZoom() * 0.9090909f, {0, 0});
        EXPECT_NEAR(v.DisplayZoom(), 0.1f, 1e-6);
        CanvasDocument scene;
        scene.layers.front().objects.push_back(Part(0, 0, 2, 2, 0));
        v.FitContent(scene);
        EXPECT_NEAR(v.DisplayZoom(), 8.0f, 1e-5);
    }
}

TEST(PoseEditorGeometry, UniqueSceneBoneIdSpansEveryPart) {
    CanvasDocument scene;
    CanvasObject a = Part(0, 0, 10, 10, 0), b = Part(0, 0, 10, 10, 0);
    a.bones = {MakeBone("bone_1", 0, 0, 1, 1)};
    b.id = "other";
    b.bones = {MakeBone("bone_2", 0, 0, 1, 1)};
    scene.layers.front().objects = {a, b};
    EXPECT_EQ(MakeUniqueSceneBoneId(scene), "bone_3");
}

TEST_F(PoseToolsTest, AddBoneGestureAddsOneUndoableBone) {
    ASSERT_NE(part, nullptr);
    doc.activeTool = kToolAddBone;
    // A drag shorter than 16 scene units adds nothing.
    const PointF start = At(0.2f, 0.5f);
    tools.AddBonePress(doc, start);
    tools.AddBoneMove(doc, {start.x + 15.9f, start.y});
    tools.AddBoneRelease(doc, {start.x + 15.9f, start.y});
    EXPECT_TRUE(part->bones.empty());
    EXPECT_EQ(UndoCount(), 0u);

    tools.AddBonePress(doc, start);
    tools.AddBoneRelease(doc, At(0.6f, 0.5f));
    ASSERT_EQ(part->bones.size(), 1u);
    EXPECT_EQ(part->bones[0].name, "Bone 1");
    EXPECT_FALSE(part->bones[0].hasParent);
    EXPECT_EQ(UndoCount(), 1u);
    // A later bone must start on a joint: away from them nothing starts;
    // on the tail it becomes a child of the first bone.
    tools.AddBonePress(doc, {At(0.6f, 0.5f).x, At(0.6f, 0.5f).y + 19});
    EXPECT_FALSE(tools.addActive);
    tools.AddBonePress(doc, {At(0.6f, 0.5f).x + 3, At(0.6f, 0.5f).y});
    tools.AddBoneRelease(doc, At(0.6f, 0.9f));
    ASSERT_EQ(part->bones.size(), 2u);
    EXPECT_TRUE(part->bones[1].hasParent);
    EXPECT_EQ(part->bones[1].parentId, part->bones[0].id);
    EXPECT_EQ(part->bones[1].parentEnd, 1);
    EXPECT_FLOAT_EQ(part->bones[1].headX, part->bones[0].tailX);
    EXPECT_NE(part->bones[1].id, part->bones[0].id);
    EXPECT_EQ(UndoCount(), 2u);
    doc.OnEditUndo();
    part = doc.poseScene.FindObject(doc.poseScene.primarySelectedId);
    EXPECT_EQ(part->bones.size(), 1u);
}

TEST_F(PoseToolsTest, JointDragThresholdCtrlAndUndo) {
    part->bones = {MakeBone("bone_1", 0.2f, 0.5f, 0.5f, 0.5f), MakeBone("bone_2", 0.5f, 0.5f, 0.8f, 0.5f)};
    part->bones[1].hasParent = true;
    part->bones[1].parentId = "bone_1";
    doc.activeTool = kToolSelectMoveJoint;
    // Press the shared joint: both bones' ends there are grabbed.
    const PointF j = At(0.5f, 0.5f);
    tools.JointPress(doc, j);
    EXPECT_EQ(tools.grabbedJoints.size(), 2u);
    EXPECT_EQ(doc.boneSelection.boneId, "bone_2");  // ties go to the head here
    tools.JointMove(doc, {j.x + 1, j.y + 1}, true, false, false);  // below the 2-pixel threshold
    EXPECT_FLOAT_EQ(part->bones[0].tailX, 0.5f);
    tools.JointMove(doc, {j.x + 10, j.y}, true, false, false);
    EXPECT_FLOAT_EQ(part->bones[0].tailX, 0.6f);
    EXPECT_FLOAT_EQ(part->bones[1].headX, 0.6f);
    EXPECT_FLOAT_EQ(part->bones[1].tailX, 0.8f);
    tools.JointRelease(doc);
    EXPECT_EQ(UndoCount(), 1u);
    // A press and release without motion records nothing.
    tools.JointPress(doc, At(0.6f, 0.5f));
    tools.JointRelease(doc);
    EXPECT_EQ(UndoCount(), 1u);
    doc.OnEditUndo();
    part = doc.poseScene.FindObject(doc.poseScene.primarySelectedId);
    EXPECT_FLOAT_EQ(part->bones[0].tailX, 0.5f);
    EXPECT_FLOAT_EQ(part->bones[1].headX, 0.5f);
}

TEST_F(PoseToolsTest, WidthHandleDragAndDeleteSelectedBone) {
    part->bones = {MakeBone("bone_1", 0.2f, 0.5f, 0.8f, 0.5f)};
    doc.activeTool = kToolSelectMoveJoint;
    doc.SetBoneSelection(part->id, "bone_1", 1);
    PointF handle;
    ASSERT_TRUE(GetBoneHandle(*part, part->bones[0], 1, BoneHandle::Width, tools.view, handle));
    tools.JointPress(doc, handle);
    EXPECT_EQ(tools.activeHandle, BoneHandle::Width);
    // Half width 12.5 + 18 under the handle: 10 further out is a width of 0.45.
    tools.JointMove(doc, {handle.x, handle.y + 10}, true, false, false);
    EXPECT_NEAR(part->bones[0].width, 0.45f, 1e-4);
    EXPECT_NEAR(part->bones[0].tailCapWidth, 0.45f, 1e-4);  // the caps keep their proportion
    tools.JointRelease(doc);
    EXPECT_EQ(UndoCount(), 1u);
    // Delete acts on the selected bone even after another was pressed last.
    tools.dragBoneId = "elsewhere";
    EXPECT_TRUE(tools.DeleteSelectedBone(doc));
    EXPECT_TRUE(part->bones.empty());
    doc.OnEditUndo();
    part = doc.poseScene.FindObject(doc.poseScene.primarySelectedId);
    EXPECT_EQ(part->bones.size(), 1u);
}

TEST_F(PoseToolsTest, PartToolWaitsForThresholdThenMovesWithOneUndoStep) {
    doc.activeTool = kToolMove;
    doc.poseScene.ClearSelection();
    const float x0 = part->x;
    const PointF p = At(0.5f, 0.5f);
    tools.PartPress(doc, p, false);
    EXPECT_EQ(doc.poseScene.primarySelectedId, part->id);
    tools.PartMove(doc, {p.x + 3, p.y});
    EXPECT_FLOAT_EQ(part->x, x0);
    tools.PartMove(doc, {p.x + 10, p.y});
    EXPECT_FLOAT_EQ(part->x, x0 + 10);
    tools.PartRelease(doc, {p.x + 10, p.y});
    EXPECT_EQ(UndoCount(), 1u);
    // A drag that loses the capture commits like a release.
    tools.PartPress(doc, At(0.5f, 0.5f), false);
    tools.PartMove(doc, {At(0.5f, 0.5f).x + 5, At(0.5f, 0.5f).y});
    tools.CaptureLost(doc, kToolMove);
    EXPECT_FALSE(tools.Busy());
    EXPECT_EQ(UndoCount(), 2u);
}

TEST(PoseLinks, DropMergesAndDeletesByIdentityWithDuplicateIds) {
    auto end = [](const char* obj, int e) { return JointLinkEnd{obj, "bone_1", e}; };
    // Two groups that share an id (as a damaged file may hold).
    std::vector<JointLink> links = {{"lj_1", "lj_1", {end("A", 1), end("B", 0)}},
                                    {"lj_1", "lj_1", {end("C", 1), end("D", 0)}}};
    ASSERT_TRUE(ApplyLinkDrop(links, end("A", 1), end("C", 1)));
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].ends.size(), 4u);
    // Groups sharing a part never merge; same group: no change.
    links.push_back({"lj_2", "lj_2", {end("E", 0), end("A", 0)}});
    EXPECT_FALSE(ApplyLinkDrop(links, end("E", 0), end("B", 0)));
    EXPECT_FALSE(ApplyLinkDrop(links, end("A", 1), end("D", 0)));
    // New group, and adding to one.
    std::vector<JointLink> fresh;
    ASSERT_TRUE(ApplyLinkDrop(fresh, end("A", 0), end("B", 1)));
    EXPECT_EQ(fresh[0].id, "lj_1");
    ASSERT_TRUE(ApplyLinkDrop(fresh, end("C", 0), end("B", 1)));
    EXPECT_EQ(fresh[0].ends.size(), 3u);
    EXPECT_FALSE(ApplyLinkDrop(fresh, end("A", 0), end("A", 1)));  // same part

    // Delete: only the group holding the end goes, not its id twin.
    std::vector<JointLink> twins = {{"lj_1", "lj_1", {end("A", 1), end("B", 0)}},
                                    {"lj_1", "lj_1", {end("C", 1), end("D", 0)}}};
    ASSERT_TRUE(RemoveLinkEnd(twins, end("D", 0)));
    ASSERT_EQ(twins.size(), 1u);
    EXPECT_EQ(twins[0].ends[0].objectId, "A");
    EXPECT_FALSE(RemoveLinkEnd(twins, end("Z", 0)));
    // A three-end group keeps two.
    ASSERT_TRUE(RemoveLinkEnd(fresh, end("C", 0)));
    EXPECT_EQ(fresh[0].ends.size(), 2u);
}

TEST_F(PoseToolsTest, LinkGestureAcrossPartsIsOneUndoStep) {
    part->bones = {MakeBone("bone_1", 0.2f, 0.5f, 0.8f, 0.5f)};
    CanvasObject other = SolidObject("other", part->x + 200, part->y, 100, 100, 0xFF0080FF);
    other.bones = {MakeBone("bone_9", 0.2f, 0.5f, 0.8f, 0.5f)};
    doc.poseScene.layers.front().objects.push_back(other);
    doc.activeTool = kToolLinkJoints;
    const CanvasObject& o = *doc.poseScene.FindObject("other");
    tools.LinkPress(doc, At(0.8f, 0.5f));
    ASSERT_TRUE(tools.linkDrag);
    // Over another joint of the source's own part: no target.
    tools.LinkMove(doc, At(0.2f, 0.5f));
    EXPECT_TRUE(tools.linkTarget.boneId.empty());
    tools.LinkMove(doc, PartPointToView(o, 0.2f, 0.5f, tools.view));
    EXPECT_EQ(tools.linkTarget.objectId, "other");
    tools.LinkRelease(doc);
    ASSERT_EQ(doc.poseLinkGroups.size(), 1u);
    EXPECT_EQ(UndoCount(), 1u);
    // Delete over the hovered end removes the two-end group.
    tools.LinkMove(doc, At(0.8f, 0.5f));
    EXPECT_TRUE(tools.RemoveHoveredLinkEnd(doc));
    EXPECT_TRUE(doc.poseLinkGroups.empty());
    doc.OnEditUndo();
    EXPECT_EQ(doc.poseLinkGroups.size(), 1u);
}

TEST(PoseEditorBones, RemapKeepsBonesOnTheirScenePoints) {
    // A part grown by painting beyond its edge and moved: the bones stay on
    // the same scene points.
    CanvasObject part = Part(100, 100, 100, 50, 30);
    std::vector<Bone> bones = {MakeBone("b", 0.1f, 0.2f, 0.9f, 0.8f)};
    part.bones = bones;
    const ObjectTransform old{part.x, part.y, part.width, part.height, part.rotation, 1};
    const PointF head = NormalizedToCanvas(part, 0.1f, 0.2f), tail = NormalizedToCanvas(part, 0.9f, 0.8f);
    part.x = 80;
    part.y = 60;
    part.width = 150;
    part.height = 120;
    part.rotation = 0;
    RemapBonesToPart(part, old, bones);
    EXPECT_LT(Dist(NormalizedToCanvas(part, part.bones[0].headX, part.bones[0].headY), head), 0.01f);
    EXPECT_LT(Dist(NormalizedToCanvas(part, part.bones[0].tailX, part.bones[0].tailY), tail), 0.01f);
}

// The part frame is the canvas's: 14 pixels outside the part, the rotation
// handle 34 above that, and pick boxes larger than what is drawn. Each drag
// is one undo step that undo takes back.
TEST_F(PoseToolsTest, FrameHandlesResizeAndRotateOnePart) {
    doc.activeTool = kToolMove;
    const float x0 = part->x, y0 = part->y;
    const PointF tl = At(0, 0);  // the part is 100 x 100 at zoom 1
    struct Case {
        const char* name;
        PointF press, delta;
        float x, y, width, height, rotation;
    } cases[] = {
        {"bottom-right corner keeps the aspect", {tl.x + 114, tl.y + 114}, {50, 20}, x0, y0, 150, 150, 0},
        {"corner pick box beyond the drawn circle", {tl.x + 123, tl.y + 123}, {-20, -30}, x0, y0, 80, 80, 0},
        {"right edge stretches one axis", {tl.x + 114, tl.y + 50}, {30, 7}, x0, y0, 130, 100, 0},
        {"top edge keeps the bottom", {tl.x + 50, tl.y - 14}, {5, -20}, x0, y0 - 20, 100, 120, 0},
        {"rotation handle 48 above the part", {tl.x + 50, tl.y - 48}, {98, 98}, x0, y0, 100, 100, 90},
        {"inside the margin moves", {tl.x - 10, tl.y + 10}, {10, 10}, x0 + 10, y0 + 10, 100, 100, 0},
    };
    for (const Case& c : cases) {
        const size_t steps = UndoCount();
        tools.PartPress(doc, c.press, false);
        const PointF to{c.press.x + c.delta.x, c.press.y + c.delta.y};
        tools.PartMove(doc, to);
        tools.PartRelease(doc, to);
        part = doc.poseScene.FindObject("object_1_item");
        EXPECT_NEAR(part->x, c.x, 0.01) << c.name;
        EXPECT_NEAR(part->y, c.y, 0.01) << c.name;
        EXPECT_NEAR(part->width, c.width, 0.01) << c.name;
        EXPECT_NEAR(part->height, c.height, 0.01) << c.name;
        EXPECT_NEAR(part->rotation, c.rotation, 0.01) << c.name;
        EXPECT_EQ(UndoCount(), steps + 1) << c.name;
        doc.OnEditUndo();
        part = doc.poseScene.FindObject("object_1_item");
        EXPECT_FLOAT_EQ(part->width, 100) << c.name;
        EXPECT_FLOAT_EQ(part->rotation, 0) << c.name;
    }
    // On a turned part the handles turn with it: the right edge's handle of
    // a part turned by 90 degrees lies below its centre.
    part->rotation = 90;
    EXPECT_EQ(tools.HitTestPartHandle(doc, {tl.x + 50, tl.y + 114}), kPartHandleRight);
    EXPECT_EQ(tools.HitTestPartHandle(doc, {tl.x + 114, tl.y + 50}), kPartHandleTop);
}

// Two selected parts share one frame around their bounds: an edge stretches
// both along that axis, the rotation handle turns both about the bounds'
// centre; each drag is one undo step for both.
TEST_F(PoseToolsTest, FrameHandlesEditAGroup) {
    doc.activeTool = kToolMove;
    CanvasObject second = *part;
    second.id = "second";
    second.x = part->x + 200;
    Layer* layer = nullptr;
    for (Layer& l : doc.poseScene.layers)
        for (const CanvasObject& o : l.objects)
            if (o.id == part->id) layer = &l;
    ASSERT_NE(layer, nullptr);
    ASSERT_TRUE(doc.poseScene.AddObjectToLayer(*layer, second));
    part = doc.poseScene.FindObject("object_1_item");
    doc.poseScene.SelectObject(part->id);
    doc.poseScene.AddToSelection("second");
    const float x0 = part->x, y0 = part->y;
    const PointF tl = At(0, 0);  // bounds: 300 x 100 from the first part's corner
    // The right edge of the bounds, dragged 150 to the right: both widths x 1.5.
    tools.PartPress(doc, {tl.x + 314, tl.y + 50}, false);
    tools.PartMove(doc, {tl.x + 464, tl.y + 50});
    tools.PartRelease(doc, {tl.x + 464, tl.y + 50});
    const CanvasObject* a = doc.poseScene.FindObject("object_1_item");
    const CanvasObject* b = doc.poseScene.FindObject("second");
    EXPECT_NEAR(a->width, 150, 0.01);
    EXPECT_NEAR(b->width, 150, 0.01);
    EXPECT_NEAR(a->x, x0, 0.01);
    EXPECT_NEAR(b->x, x0 + 300, 0.01);
    EXPECT_NEAR(b->height, 100, 0.01);
    EXPECT_EQ(UndoCount(), 1u);
    doc.OnEditUndo();
    // The rotation handle, 48 above the bounds' top edge, turned a quarter:
    // each part turns by 90 degrees and its centre swings about (x0 + 150, y0 + 50).
    tools.PartPress(doc, {tl.x + 150, tl.y - 48}, false);
    tools.PartMove(doc, {tl.x + 250, tl.y + 50});
    tools.PartRelease(doc, {tl.x + 250, tl.y + 50});
    a = doc.poseScene.FindObject("object_1_item");
    b = doc.poseScene.FindObject("second");
    EXPECT_NEAR(a->rotation, 90, 0.01);
    EXPECT_NEAR(b->rotation, 90, 0.01);
    EXPECT_NEAR(a->x + 50, x0 + 150, 0.01);
    EXPECT_NEAR(a->y + 50, y0 + 50 - 100, 0.01);
    EXPECT_NEAR(b->y + 50, y0 + 50 + 100, 0.01);
    EXPECT_EQ(UndoCount(), 1u);
}

// The selected end's cap outline and guide, in view pixels, for a bone
// 60 pixels long across a 100 x 100 part at zoom 2.
TEST(PoseEditorGeometry, CapOutlineAndGuide) {
    CanvasObject part = Part(0, 0, 100, 100, 0);
    PoseViewState view;
    view.zoom = 2;
    Bone bone = MakeBone("b", 0.2f, 0.5f, 0.5f, 0.5f);  // head (40, 100), tail (100, 100) in view pixels
    bone.tailShift = 0.1f;
    bone.tailOffset = 0.05f;
    bone.roundTailCap = 0;
    struct Case {
        int end;
        float capLength;
        bool hasShape, round, guide;
        PointF centre;
        float halfLength, halfWidth;
    } cases[] = {
        // Round head: the guide reaches 40 past the cap's half width (25).
        {0, 0.12f, true, true, true, {40, 100}, 7.2f, 25},
        // Flat tail, shifted back along the bone and offset across it.
        {1, 0.12f, true, false, false, {100 - 6, 100 + 10}, 7.2f, 25},
        // A cap shorter than half a pixel has no outline; the guide stays.
        {0, 0.005f, false, true, true, {0, 0}, 0, 0},
    };
    for (const Case& c : cases) {
        bone.headCapLength = bone.tailCapLength = c.capLength;
        CapOutline cap;
        ASSERT_TRUE(GetCapOutline(part, bone, c.end, view, cap));
        EXPECT_EQ(cap.hasShape, c.hasShape) << c.end;
        EXPECT_EQ(cap.round, c.round) << c.end;
        EXPECT_EQ(cap.hasGuide, c.guide) << c.end;
        if (c.guide) {
            EXPECT_NEAR(cap.guideA.x, 40, 1e-3);
            EXPECT_NEAR(cap.guideA.y, 100 + 65, 1e-3);
            EXPECT_NEAR(cap.guideB.y, 100 - 65, 1e-3);
        }
        if (!c.hasShape) continue;
        EXPECT_NEAR(cap.centre.x, c.centre.x, 1e-3) << c.end;
        EXPECT_NEAR(cap.centre.y, c.centre.y, 1e-3) << c.end;
        EXPECT_NEAR(cap.halfLength, c.halfLength, 1e-3) << c.end;
        EXPECT_NEAR(cap.halfWidth, c.halfWidth, 1e-3) << c.end;
        EXPECT_NEAR(cap.angle, 0, 1e-3) << c.end;
    }
    // A bone under a pixel long shows nothing.
    bone.tailX = bone.headX + 0.001f;
    CapOutline none;
    EXPECT_FALSE(GetCapOutline(part, bone, 0, view, none));
}
