#include "posable/PosedPreview.h"

#include "PosableFixtures.h"
#include "document/CQuillfenEditorDoc.h"
#include "platform/Raster.h"
#include "posable/RuntimeScene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace posable_test;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Two boned parts side by side: "left" at (100, 100) and "right" at (200, 100), 50 x 50.
PosableScene TwoPartScene() {
    PosableScene s;
    s.width = s.height = 3000;
    s.parts.push_back(BonedPart("left", 100, 100, 50, 50, 0xFFFF0000));
    s.parts.push_back(BonedPart("right", 200, 100, 50, 50, 0xFF0000FF));
    return s;
}

void Runtime(const PosableScene& s, CanvasDocument& runtime) {
    CanvasDocument unfolded;
    std::vector<JointLink> links;
    CanvasDocument::LoadFromScene(s, unfolded, links);
    std::vector<JointLink> rl;
    BuildRuntimeDocument(unfolded, links, runtime, rl);
}

// Where the object shows the scene point q: its preview maps the render's
// bounds origin to the object's top-left, scaled to the object's size, and
// the whole turns about the object's centre.
PointF CanvasOfScenePoint(const CanvasObject& o, const SceneRect& renderBounds, PointF q) {
    const double ex = o.width / o.parts[0].pixelWidth, ey = o.height / o.parts[0].pixelHeight;
    const double lx = (q.x - renderBounds.x) * ex - o.width / 2, ly = (q.y - renderBounds.y) * ey - o.height / 2;
    const double th = o.rotation * kPi / 180, c = std::cos(th), s = std::sin(th);
    return {float(o.x + o.width / 2 + lx * c - ly * s), float(o.y + o.height / 2 + lx * s + ly * c)};
}

struct PosableDoc {
    CQuillfenEditorDoc doc;
    CanvasObject* object = nullptr;
    PosableDoc(float scale = 1, float rotation = 0) {
        CanvasObject o;
        o.id = "object_1";
        o.name = "Posable";
        o.x = 400;
        o.y = 300;
        EXPECT_TRUE(ApplyPosableScene(o, TwoPartScene(), scale, scale));
        o.rotation = rotation;
        Layer* layer = doc.mainScene.FindLayer("layer_1");
        layer->objects.push_back(o);
        object = doc.mainScene.FindObject("object_1");
    }
};

}  // namespace

TEST(PosedPreview, RenderCoversTheUnionOrTheTarget) {
    CanvasDocument runtime;
    Runtime(TwoPartScene(), runtime);
    PosePreviewImage image;
    SceneRect bounds;
    ASSERT_TRUE(RenderPosedScene(runtime, image, bounds));
    EXPECT_EQ(image.fileName, "posable_preview.png");
    EXPECT_EQ(image.width, 150);
    EXPECT_EQ(image.height, 50);
    EXPECT_EQ(bounds.x, 100);
    EXPECT_EQ(bounds.y, 100);
    BitmapPtr decoded = DecodeImage(image.png);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->Pixel(10, 25), 0xFFFF0000u);
    EXPECT_EQ(decoded->Pixel(75, 25) >> 24, 0u);  // the gap between the parts
    EXPECT_EQ(decoded->Pixel(140, 25), 0xFF0000FFu);

    ASSERT_TRUE(RenderPosedScene(runtime, image, bounds, 300.2f, 99.5f));
    EXPECT_EQ(image.width, 301);
    EXPECT_EQ(image.height, 100);

    for (Layer& l : runtime.layers)
        for (CanvasObject& o : l.objects) o.visible = false;
    EXPECT_FALSE(RenderPosedScene(runtime, image, bounds));
}

TEST(PosedPreview, ApplyPosableSceneShowsTheRestPose) {
    CanvasObject o = SolidObject("object_1", 10.4f, 20.6f, 8, 8, 0xFF000000);
    o.maskEnabled = true;
    o.maskWidth = o.maskHeight = 1;
    o.maskPixels = {0};
    o.hasPose = true;
    o.partPoses.push_back(PartPose{});
    ASSERT_TRUE(ApplyPosableScene(o, TwoPartScene(), 0.5f, 2.0f));
    EXPECT_EQ(o.kind, kObjectPosable);
    EXPECT_TRUE(o.hasPosableScene);
    EXPECT_EQ(o.posableScene.parts.size(), 2u);
    EXPECT_FALSE(o.hasPose);
    EXPECT_TRUE(o.partPoses.empty());
    EXPECT_FALSE(o.maskEnabled);
    ASSERT_EQ(o.parts.size(), 1u);
    EXPECT_EQ(o.parts[0].id, "posable_preview");
    EXPECT_EQ(o.parts[0].name, "Preview");
    EXPECT_EQ(o.parts[0].source, "posable_preview.png");
    EXPECT_EQ(o.parts[0].pixelWidth, 150);
    EXPECT_EQ(o.x, 10);
    EXPECT_EQ(o.y, 21);
    EXPECT_EQ(o.width, 75);
    EXPECT_EQ(o.height, 100);

    // Nothing visible: the object is left alone.
    PosableScene empty = TwoPartScene();
    for (PosablePart& p : empty.parts) p.visible = false;
    CanvasObject before = o;
    EXPECT_FALSE(ApplyPosableScene(o, empty, 1, 1));
    EXPECT_EQ(o.posableScene.parts[0].visible, true);
    EXPECT_EQ(o.width, before.width);
}

TEST(PosedPreview, ResolutionFollowsEnlargementOnly) {
    PosableDoc d;
    CanvasObject& o = *d.object;
    o.width = 225;  // 1.5 times the preview
    o.height = 75;
    ASSERT_TRUE(UpdatePosableImageResolution(o));
    EXPECT_EQ(o.parts[0].pixelWidth, 225);
    EXPECT_EQ(o.parts[0].displayHeight, 75);
    EXPECT_EQ(o.width, 225);
    o.width = 100;
    o.height = 30;
    EXPECT_FALSE(UpdatePosableImageResolution(o));
}

TEST(PosedPreview, AHigherResolutionSurvivesResetCommitAndFinishScale) {
    PosableDoc d;
    CanvasObject& o = *d.object;
    o.width = 300;  // twice the scene-unit size
    o.height = 100;
    ASSERT_TRUE(UpdatePosableImageResolution(o));
    ASSERT_EQ(o.parts[0].pixelWidth, 300);

    // Reset Pose passes the object's size over its preview's pixels.
    ASSERT_TRUE(ApplyPosableScene(o, o.posableScene, o.width / o.parts[0].pixelWidth,
                                  o.height / o.parts[0].pixelHeight));
    EXPECT_EQ(o.width, 300);
    EXPECT_EQ(o.height, 100);
    EXPECT_EQ(o.parts[0].pixelWidth, 300);  // and it stays as sharp

    // A pose that changes nothing commits at the same size and place.
    CanvasDocument runtime;
    Runtime(o.posableScene, runtime);
    PosePreviewImage image;
    SceneRect rest;
    ASSERT_TRUE(RenderPosedScene(runtime, image, rest));
    const float x = o.x, y = o.y;
    ASSERT_TRUE(CommitPose(d.doc, "object_1", CanvasDocument::BuildPartPoses(runtime),
                           o.width / o.parts[0].pixelWidth, o.height / o.parts[0].pixelHeight, rest.x, rest.y));
    CanvasObject& after = *d.doc.mainScene.FindObject("object_1");
    EXPECT_EQ(after.width, 300);
    EXPECT_EQ(after.height, 100);
    EXPECT_EQ(after.x, x);
    EXPECT_EQ(after.y, y);
}

TEST(PosedPreview, CommitPoseOnARotatedObjectKeepsUntouchedPartsInPlace) {
    for (float rotation : {0.0f, 90.0f, 30.0f}) {
        PosableDoc d(2.0f, rotation);
        CanvasObject& o = *d.object;
        CanvasDocument runtime;
        Runtime(o.posableScene, runtime);
        PosePreviewImage image;
        SceneRect rest;
        ASSERT_TRUE(RenderPosedScene(runtime, image, rest));
        const PointF rightCentre{225, 125};
        const PointF before = CanvasOfScenePoint(o, rest, rightCentre);

        // The left part moves 100 left and 40 up: the picture grows.
        runtime.FindObject("left__bone_1")->x -= 100;
        runtime.FindObject("left__bone_1")->y -= 40;
        std::vector<PartPose> poses = CanvasDocument::BuildPartPoses(runtime);
        poses.push_back(PartPose{"deleted__bone_9", 0, 0, 5, 5, 0, 1, 0, 0, 1, 1});  // ignored
        ASSERT_TRUE(CommitPose(d.doc, "object_1", poses, o.width / o.parts[0].pixelWidth,
                               o.height / o.parts[0].pixelHeight, rest.x, rest.y));
        CanvasObject& after = *d.doc.mainScene.FindObject("object_1");
        EXPECT_TRUE(after.hasPose);
        EXPECT_EQ(after.partPoses.size(), 3u);
        EXPECT_EQ(after.width, 2 * 250);
        EXPECT_EQ(after.height, 2 * 90);
        SceneRect posed;
        ASSERT_TRUE(RenderPosedScene(runtime, image, posed));
        const PointF now = CanvasOfScenePoint(after, posed, rightCentre);
        EXPECT_LE(std::hypot(now.x - before.x, now.y - before.y), 1.0) << "rotation " << rotation;
    }
}

TEST(PosedPreview, CommitPoseOnlyOnThePosableObjectsOfTheCanvas) {
    PosableDoc d;
    const std::vector<PartPose> poses;
    d.doc.workspaceMode = kWorkspacePoseEditor;
    EXPECT_FALSE(CommitPose(d.doc, "object_1", poses, 1, 1, 100, 100));
    d.doc.workspaceMode = kWorkspaceInpaint;
    EXPECT_FALSE(CommitPose(d.doc, "object_1", poses, 1, 1, 100, 100));
    d.doc.workspaceMode = kWorkspaceCanvas;
    EXPECT_FALSE(CommitPose(d.doc, "", poses, 1, 1, 100, 100));
    EXPECT_FALSE(CommitPose(d.doc, "missing", poses, 1, 1, 100, 100));
    d.object->kind = kObjectBitmap;
    EXPECT_FALSE(CommitPose(d.doc, "object_1", poses, 1, 1, 100, 100));
    EXPECT_FALSE(d.doc.IsModified());
}

TEST(PosedPreview, HostileScenesFromAFileFailCleanly) {
    // Values a damaged project can hold: nothing here may crash, hang or
    // allocate without bounds; a scene that cannot be shown is refused.
    const float nan = std::nanf("");
    struct Case {
        const char* what;
        std::function<void(PosableScene&)> damage;
        bool renders;
    };
    const std::vector<Case> cases{
        {"part of NaN size drops out", [&](PosableScene& s) { s.parts[0].width = nan; }, true},
        {"parts 1e9 apart", [](PosableScene& s) { s.parts[1].x = 1e9f; }, false},
        {"huge part", [](PosableScene& s) { s.parts[0].width = s.parts[0].height = 1e6f; }, true},
        {"NaN bone", [&](PosableScene& s) { s.parts[0].bones[0].headX = nan; }, true},
        {"bone parents in a loop",
         [](PosableScene& s) {
             Bone a = MakeBone("a", 0, 0.5f, 0.5f, 0.5f), b = MakeBone("b", 0.5f, 0.5f, 1, 0.5f);
             a.hasParent = b.hasParent = true;
             a.parentId = "b";
             b.parentId = "a";
             s.parts[1].bones = {a, b};
         },
         true},
        {"links to nowhere and to themselves",
         [](PosableScene& s) {
             s.links.push_back({"lj_1", "", {{"left", "bone_1", 0}, {"left", "bone_1", 0}, {"x", "y", 7}}});
         },
         true},
    };
    for (const Case& c : cases) {
        PosableScene scene = TwoPartScene();
        c.damage(scene);
        CanvasObject o;
        o.id = "object_1";
        EXPECT_EQ(ApplyPosableScene(o, scene, 1, 1), c.renders) << c.what;
        if (c.renders) {
            EXPECT_GE(o.width, 1) << c.what;
            EXPECT_LE(o.width, kMaxBitmapSide) << c.what;
        }
    }
}
