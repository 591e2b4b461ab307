#include "posable/RuntimeRig.h"

#include "PosableFixtures.h"
#include "platform/CompositeSurface.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace posable_test;

namespace {

double Dist(PointF a, PointF b) { return std::hypot(double(a.x) - b.x, double(a.y) - b.y); }

// Parts "obj__a" (top), "obj__b" and "obj__c", each 100 x 20 with its bone
// along its middle, laid end to end from (0, 10); each tail linked to the
// next head.
struct ChainRig {
    CanvasDocument scene;
    std::vector<JointLink> links;
    RuntimeRig rig;
    explicit ChainRig(int parts = 3, bool stretchable = false) {
        const char* ids[] = {"obj__a", "obj__b", "obj__c"};
        std::vector<CanvasObject> objects;
        for (int i = 0; i < parts; ++i) objects.push_back(RigPart(ids[i], 100.0f * i, 0, 100, 20, stretchable));
        SceneOf(scene, objects);
        for (int i = 0; i + 1 < parts; ++i)
            links.push_back({"runtime_link_" + std::to_string(i + 1), "", {{ids[i], "bone_1", 1}, {ids[i + 1], "bone_1", 0}}});
        rig.doc = &scene;
        rig.links = &links;
        rig.CaptureRest();
    }
    PointF Joint(const std::string& id, int end) {
        PointF p;
        EXPECT_TRUE(rig.GetJointPosition({id, "bone_1", end}, p));
        return p;
    }
};

// One green 40 x 20 part "obj__a" at (10, 10) with its bone across its
// middle, its rest captured: what the drawing tests paint.
struct GreenPartRig {
    CanvasDocument scene;
    RuntimeRig rig;
    GreenPartRig() {
        CanvasObject part = SolidObject("obj__a", 10, 10, 40, 20, 0xFF00FF00);
        part.bones.push_back(MakeBone("bone_1", 0, 0.5f, 1, 0.5f));
        SceneOf(scene, {part});
        rig.doc = &scene;
        rig.CaptureRest();
    }
};

}  // namespace

TEST(RuntimeRig, CaptureRestRecordsPartsAndLinkOffsets) {
    ChainRig c(2);
    ASSERT_EQ(c.rig.partRests.size(), 2u);
    EXPECT_FLOAT_EQ(c.rig.partRests[1].tail.x, 100);
    EXPECT_FLOAT_EQ(c.rig.partRests[1].tail.y, 10);
    ASSERT_EQ(c.rig.linkRests.size(), 1u);
    EXPECT_EQ(c.rig.linkRests[0].offsets.size(), 2u);
    EXPECT_FLOAT_EQ(c.rig.linkRests[0].offsets[1].x, 0);
    PointF unused;
    EXPECT_FALSE(c.rig.GetJointPosition({"obj__a", "other_bone", 0}, unused));
}

TEST(RuntimeRig, HeadMoveTranslatesWithoutRounding) {
    ChainRig c(1);
    ASSERT_TRUE(c.rig.MoveJoint({"obj__a", "bone_1", 0}, {10.25f, 30.5f}));
    const CanvasObject& a = *c.scene.FindObject("obj__a");
    EXPECT_FLOAT_EQ(a.x, 10.25f);
    EXPECT_FLOAT_EQ(a.y, 20.5f);
    EXPECT_EQ(a.width, 100);
    EXPECT_FLOAT_EQ(a.bones[0].tailX, 1);
}

TEST(RuntimeRig, TailMoveTurnsAboutTheHeadKeepingOrStretchingTheLength) {
    for (bool stretchable : {false, true}) {
        ChainRig c(1, stretchable);
        const PointF head = c.Joint("obj__a", 0);
        const PointF target{0, 310};  // straight down, three lengths away
        ASSERT_TRUE(c.rig.MoveJoint({"obj__a", "bone_1", 1}, target));
        const CanvasObject& a = *c.scene.FindObject("obj__a");
        EXPECT_NEAR(a.rotation, 90, 1e-4);
        EXPECT_EQ(a.width, 100);  // the stored size stays the rest size
        EXPECT_LE(Dist(c.Joint("obj__a", 0), head), 0.75);  // the head stays, within rounding
        const PointF tail = c.Joint("obj__a", 1);
        if (stretchable) {
            EXPECT_LE(Dist(tail, target), 1e-3);
        } else {
            EXPECT_NEAR(Dist(tail, c.Joint("obj__a", 0)), 100, 1e-3);
            EXPECT_NEAR(tail.x, 0, 0.75);
        }
    }
}

TEST(RuntimeRig, StretchSurvivesAHeadMoveAndShowsInTheMapping) {
    ChainRig c(1, true);
    ASSERT_TRUE(c.rig.MoveJoint({"obj__a", "bone_1", 1}, {200, 10}));  // twice the rest length
    const CanvasObject& a = *c.scene.FindObject("obj__a");
    PointF farCorner;
    ASSERT_TRUE(c.rig.MapRestPointToPose(a, a.bones[0], {100, 0}, farCorner));
    EXPECT_NEAR(farCorner.x, 200, 1e-3);
    ASSERT_TRUE(c.rig.MoveJoint({"obj__a", "bone_1", 0}, {50, 60}));
    EXPECT_NEAR(Dist(c.Joint("obj__a", 0), c.Joint("obj__a", 1)), 200, 1e-3);
}

TEST(RuntimeRig, TailMoveNeedsARestRecord) {
    ChainRig c(1);
    c.rig.partRests.clear();
    EXPECT_FALSE(c.rig.MoveJoint({"obj__a", "bone_1", 1}, {0, 300}));
    EXPECT_TRUE(c.rig.MoveJoint({"obj__a", "bone_1", 0}, {0, 300}));
}

TEST(RuntimeRig, SatisfyLinksPullsLinkedEndsTogether) {
    ChainRig c(2);
    ASSERT_TRUE(c.rig.MoveJoint({"obj__b", "bone_1", 0}, {100, 60}));
    c.rig.SatisfyLinks();
    EXPECT_LE(Dist(c.Joint("obj__a", 1), c.Joint("obj__b", 0)), 2.0);

    // A rest record with the wrong number of offsets leaves the link alone.
    ChainRig d(2);
    d.rig.linkRests[0].offsets.pop_back();
    ASSERT_TRUE(d.rig.MoveJoint({"obj__b", "bone_1", 0}, {100, 60}));
    d.rig.SatisfyLinks();
    EXPECT_NEAR(Dist(d.Joint("obj__a", 1), d.Joint("obj__b", 0)), 50, 1e-4);
}

TEST(RuntimeRig, ChainIKReachesAReachableTargetAndStretchesTowardAFarOne) {
    ChainRig c(3);
    ASSERT_TRUE(c.rig.SolveChainIK("obj__c", {150, 160}));
    // FABRIK stops within half a pixel; the placement adds nothing to that.
    EXPECT_LE(Dist(c.Joint("obj__c", 1), {150, 160}), 0.5);
    EXPECT_LE(Dist(c.Joint("obj__a", 0), {0, 10}), 0.01);  // the base stays

    ChainRig far(3);
    ASSERT_TRUE(far.rig.SolveChainIK("obj__c", {0, 1010}));
    const PointF tail = far.Joint("obj__c", 1);
    EXPECT_NEAR(tail.x, 0, 0.01);
    EXPECT_NEAR(tail.y, 310, 0.01);
}

// Swinging a tail round and round never moves the head: the placement keeps
// its fractions, so nothing drifts over a long drag.
TEST(RuntimeRig, HeadStaysPutOverManyTailMoves) {
    for (const bool stretchable : {false, true}) {
        ChainRig c(1, stretchable);
        ASSERT_TRUE(c.rig.MoveJoint({"obj__a", "bone_1", 0}, {37.3f, 21.9f}));
        const PointF head = c.Joint("obj__a", 0);
        for (int i = 0; i < 200; ++i) {
            const double a = i * 0.37, r = 60 + 40 * std::sin(i * 0.11);
            ASSERT_TRUE(c.rig.MoveJoint({"obj__a", "bone_1", 1},
                                        {float(head.x + r * std::cos(a)), float(head.y + r * std::sin(a))}));
        }
        EXPECT_LE(Dist(c.Joint("obj__a", 0), head), 0.01) << stretchable;
        const CanvasObject& o = *c.scene.FindObject("obj__a");
        EXPECT_FLOAT_EQ(o.width, 100);
        EXPECT_FLOAT_EQ(o.height, 20);
    }
}

TEST(RuntimeRig, ChainIKNeedsAParentWithinTheSameSourceAndNeverLoops) {
    ChainRig c(1);
    EXPECT_FALSE(c.rig.SolveChainIK("obj__a", {50, 50}));
    EXPECT_FLOAT_EQ(c.scene.FindObject("obj__a")->x, 0);

    // Parent cut from another object: no chain.
    ChainRig other(2);
    other.scene.FindObject("obj__a")->id = "elsewhere__a";
    other.links[0].ends[0].objectId = "elsewhere__a";
    other.rig.CaptureRest();
    EXPECT_FALSE(other.rig.SolveChainIK("obj__b", {50, 50}));

    // Links that make a cycle stop the walk at the first repeat.
    ChainRig loop(2);
    loop.links.push_back({"back", "", {{"obj__b", "bone_1", 1}, {"obj__a", "bone_1", 0}}});
    loop.rig.CaptureRest();
    EXPECT_TRUE(loop.rig.SolveChainIK("obj__b", {100, 100}));
}

TEST(RuntimeRig, DrawPaintsBackgroundPartsAndBones) {
    GreenPartRig g;
    CanvasDocument& scene = g.scene;
    const RuntimeRig& rig = g.rig;
    CompositeSurface surface;
    ASSERT_TRUE(surface.Create(80, 60));
    RasterTarget target = RasterTarget::Of(surface);
    RuntimeRig::Draw(target, scene, &rig, 1.0f, {0, 0}, RectF{0, 0, 80, 60});
    auto px = [&](int x, int y) { return *reinterpret_cast<const uint32_t*>(target.pixels + y * target.stride + x * 4); };
    EXPECT_EQ(px(75, 55), 0xFF383C42u);  // background
    EXPECT_EQ(px(30, 14), 0xFF00FF00u);  // the part, clear of the bone
    EXPECT_EQ(px(10, 20), 0xFFF8FAFFu);  // head disc
    EXPECT_EQ(px(50, 20), 0xFFFAD65Cu);  // tail disc
}

// On a device-pixel target (zoom, offset and sizes scaled by the ratio) the
// picture is the view picture magnified: the joint discs keep their 14-view-
// pixel diameter rather than shrinking to 14 device pixels.
TEST(RuntimeRig, DrawOnDevicePixelsKeepsViewSizes) {
    GreenPartRig g;
    CanvasDocument& scene = g.scene;
    const RuntimeRig& rig = g.rig;
    for (const float r : {1.0f, 1.5f, 2.0f}) {
        CompositeSurface surface;
        ASSERT_TRUE(surface.Create(int(80 * r), int(60 * r)));
        RasterTarget target = RasterTarget::Of(surface);
        RuntimeRig::Draw(target, scene, &rig, r, {0, 0}, RectF{0, 0, 80 * r, 60 * r}, r);
        // The device pixel under a view point.
        auto px = [&](float x, float y) {
            return *reinterpret_cast<const uint32_t*>(target.pixels + int(y * r) * target.stride + int(x * r) * 4);
        };
        EXPECT_EQ(px(75, 55), 0xFF383C42u) << r;  // background
        EXPECT_EQ(px(30, 14), 0xFF00FF00u) << r;  // the part
        EXPECT_EQ(px(15.5f, 20), 0xFFF8FAFFu) << r;  // 5.5 view pixels right of the head: inside its disc
        EXPECT_EQ(px(19, 24), 0xFF00FF00u) << r;  // beyond the disc and the 2-pixel bone line
        EXPECT_EQ(px(44.5f, 20), 0xFFFAD65Cu) << r;  // inside the tail disc
    }
}
