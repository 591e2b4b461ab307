#include "scene/CanvasDocument.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

PosablePart Part(const std::string& id, int boneCount) {
    PosablePart p;
    p.id = id;
    p.name = id + " name";
    p.x = 10;
    p.y = 20;
    p.width = 30;
    p.height = 40;
    p.rotation = 15;
    p.opacity = 0.5f;
    p.locked = true;
    p.z = 7;
    for (int i = 0; i < boneCount; ++i) {
        Bone b;
        b.id = "bone_" + std::to_string(i + 1);
        b.headX = float(i);
        b.tailX = float(i) + 0.5f;
        p.bones.push_back(b);
    }
    return p;
}

TEST(PosingScene, WorkingCanvasSizeAndColour) {
    struct Case {
        float w, h;
        uint32_t colour;
        float outW, outH;
        uint32_t outColour;
    };
    const Case cases[] = {
        {1024, 1024, 0xFF112233, 3000, 3000, 0xFF112233},
        {4000, 500, 0x00FFFFFF, 4000, 3000, kPosableSceneDefaultColour},
        {-5, 3001, 0x01000000, 3000, 3001, 0x01000000},
    };
    for (const Case& c : cases) {
        PosableScene scene;
        scene.width = c.w;
        scene.height = c.h;
        scene.colour = c.colour;
        CanvasDocument target;
        target.AddLayer();
        std::vector<JointLink> links;
        CanvasDocument::LoadFromScene(scene, target, links);
        EXPECT_EQ(target.width, c.outW);
        EXPECT_EQ(target.height, c.outH);
        EXPECT_EQ(target.canvasColour, c.outColour);
        ASSERT_EQ(target.layers.size(), 2u);
        EXPECT_EQ(target.activeLayerId, "layer_1");
    }
}

TEST(PosingScene, PartsBecomeObjectsWithSoundBonesAndPoseBack) {
    PosableScene scene;
    PosablePart one = Part("p1", 1);
    ImagePartRecord rec;
    rec.id = "image_1";
    rec.source = "src.png";
    rec.encoded = {1, 2, 3};
    rec.pixelWidth = 8;
    rec.displayHeight = 9;
    rec.opacity = 0.25f;
    rec.visible = false;
    rec.z = 3;
    one.parts.push_back(rec);
    PosablePart two = Part("p2", 2);
    two.bones[1].hasParent = true;
    two.bones[1].parentId = "bone_1";  // attached at the tail (0.5, 0), head elsewhere
    two.bones[1].headX = 4;
    two.bones.push_back(two.bones[0]);  // a repeated id from a damaged file
    scene.parts = {one, two};
    scene.links.push_back(JointLink{"lj_1", "", {{"p1", "bone_1", 1}, {"p2", "bone_1", 0}}});
    // bone_3 is the id the repeated bone is given: this end named no bone.
    scene.links.push_back(JointLink{"lj_2", "", {{"p1", "bone_2", 1}, {"p2", "bone_3", 0}}});

    CanvasDocument target;
    target.SelectObject("anything");
    std::vector<JointLink> links;
    CanvasDocument::LoadFromScene(scene, target, links);
    EXPECT_TRUE(target.layers[0].objects.empty());
    const std::vector<CanvasObject>& objs = target.layers[1].objects;
    ASSERT_EQ(objs.size(), 2u);
    EXPECT_EQ(objs[0].id, "p1");
    EXPECT_EQ(objs[0].z, 7);  // kept as stored, not renumbered
    EXPECT_EQ(objs[0].opacity, 0.5f);
    EXPECT_TRUE(objs[0].locked);
    ASSERT_EQ(objs[0].parts.size(), 1u);
    EXPECT_EQ(objs[0].parts[0].encoded, rec.encoded);
    EXPECT_EQ(objs[0].parts[0].displayHeight, 9);
    EXPECT_FALSE(objs[0].parts[0].visible);
    EXPECT_EQ(objs[0].parts[0].z, 3);
    ASSERT_EQ(objs[1].bones.size(), 3u);
    EXPECT_EQ(objs[1].bones[1].headX, 0.5f);
    EXPECT_EQ(objs[1].bones[2].id, "bone_3");
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].id, "lj_1");
    EXPECT_TRUE(target.selectedIds.empty());
    EXPECT_TRUE(target.primarySelectedId.empty());

    target.FindObject("p1")->x = 99;
    const std::vector<PartPose> poses = CanvasDocument::BuildPartPoses(target);
    ASSERT_EQ(poses.size(), 1u);
    EXPECT_EQ(poses[0].objectId, "p1");
    EXPECT_EQ(poses[0].x, 99);
    EXPECT_EQ(poses[0].rotation, 15);
    EXPECT_EQ(poses[0].tailX, 0.5f);
}

}  // namespace
