#include "posable/RuntimeScene.h"

#include "PosableFixtures.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace posable_test;

namespace {

std::vector<CanvasObject*> Objects(CanvasDocument& scene) {
    std::vector<CanvasObject*> out;
    for (Layer& l : scene.layers)
        for (CanvasObject& o : l.objects) out.push_back(&o);
    return out;
}

std::string Ends(const JointLink& l) {
    std::string s;
    for (const JointLinkEnd& e : l.ends) s += e.objectId + ":" + e.boneId + ":" + std::to_string(e.end) + " ";
    return s;
}

// A 20 x 10 picture opaque only in columns 5 to 14.
CanvasObject Striped(const std::string& id, float x, float y) {
    return PictureObject(id, x, y, 20, 10, [](int col, int) { return col >= 5 && col < 15 ? 0xFF336699u : 0u; });
}

}  // namespace

TEST(RuntimeScene, Keys) {
    EXPECT_EQ(RuntimePartId("object_1", "bone_2"), "object_1__bone_2");
    EXPECT_EQ(RuntimePartSourceId("object_1__bone_2__x"), "object_1");
    EXPECT_EQ(RuntimePartSourceId("plain"), "plain");
    EXPECT_EQ(MakeJointKey({"o", "b", 1}), "o|b|1");
}

TEST(RuntimeScene, WholeImageBoneIsTrimmedToItsPixels) {
    CanvasDocument source, runtime;
    CanvasObject o = Striped("obj", 100, 50);
    o.bones.push_back(MakeBone("bone_1", 0.1f, 0.5f, 0.9f, 0.5f));
    SceneOf(source, {o});
    std::vector<JointLink> links;
    BuildRuntimeDocument(source, {}, runtime, links);
    auto objects = Objects(runtime);
    ASSERT_EQ(objects.size(), 1u);
    const CanvasObject& part = *objects[0];
    EXPECT_EQ(part.id, "obj__bone_1");
    EXPECT_EQ(part.name, "obj / bone_1");
    EXPECT_EQ(part.x, 105);
    EXPECT_EQ(part.y, 50);
    EXPECT_EQ(part.width, 10);
    EXPECT_EQ(part.height, 10);
    ASSERT_EQ(part.parts.size(), 1u);
    EXPECT_EQ(part.parts[0].id, "runtime_layer_0");
    EXPECT_FALSE(part.parts[0].encoded.empty());
    ASSERT_EQ(part.bones.size(), 1u);
    // The head, 2 px into the picture, is 3 px before the cut.
    EXPECT_FLOAT_EQ(part.bones[0].headX, -0.3f);
    EXPECT_FLOAT_EQ(part.bones[0].tailX, 1.3f);
    EXPECT_TRUE(links.empty());
    // The reset's backdrop layer stays, empty.
    ASSERT_NE(runtime.FindLayer("backdrop"), nullptr);
    EXPECT_TRUE(runtime.FindLayer("backdrop")->objects.empty());
}

TEST(RuntimeScene, TwoBonesCutTheirRegionsAndStackAboveTheirObject) {
    CanvasDocument source, runtime;
    CanvasObject below = SolidObject("below", 0, 0, 10, 10, 0xFF000000);
    CanvasObject boned = PictureObject("boned", 0, 0, 40, 20, [](int, int) { return 0xFFFFFFFFu; });
    boned.z = 1;
    Bone left = MakeBone("l", 0.1f, 0.5f, 0.4f, 0.5f), right = MakeBone("r", 0.6f, 0.5f, 0.9f, 0.5f);
    left.feather = right.feather = 0;
    boned.bones = {left, right};
    CanvasObject above = SolidObject("above", 0, 0, 10, 10, 0xFF000000);
    above.z = 2;
    SceneOf(source, {above, boned, below});
    std::vector<JointLink> links;
    BuildRuntimeDocument(source, {}, runtime, links);
    const CanvasObject* l = runtime.FindObject("boned__l");
    const CanvasObject* r = runtime.FindObject("boned__r");
    ASSERT_TRUE(l && r);
    EXPECT_EQ(l->z, 1000);
    EXPECT_EQ(r->z, 1001);
    EXPECT_EQ(runtime.FindObject("above")->z, 2);
    // Each cut covers its own bone only: the left ends before the middle.
    EXPECT_LT(l->x + l->width, 21);
    EXPECT_GT(r->x, 19);
}

TEST(RuntimeScene, RotatedObjectPartsSitWhereTheirPixelsWere) {
    CanvasDocument source, runtime;
    CanvasObject o = Striped("obj", 100, 100);
    o.rotation = 90;
    o.bones.push_back(MakeBone("bone_1", 0.1f, 0.5f, 0.9f, 0.5f));
    SceneOf(source, {o});
    std::vector<JointLink> links;
    BuildRuntimeDocument(source, {}, runtime, links);
    const CanvasObject* part = runtime.FindObject("obj__bone_1");
    ASSERT_TRUE(part);
    EXPECT_EQ(part->rotation, 90);
    // The cut's centre (10, 5) is the object's centre (110, 105): it stays there.
    EXPECT_FLOAT_EQ(part->x + part->width / 2, 110);
    EXPECT_FLOAT_EQ(part->y + part->height / 2, 105);
}

TEST(RuntimeScene, HiddenLayersAndObjectsContributeNothing) {
    CanvasDocument source, runtime;
    CanvasObject hidden = SolidObject("hidden", 0, 0, 4, 4, 0xFF000000);
    hidden.visible = false;
    SceneOf(source, {hidden});
    Layer& off = source.AddLayer();
    off.visible = false;
    off.objects.push_back(SolidObject("off", 0, 0, 4, 4, 0xFF000000));
    std::vector<JointLink> links{{"lj_1", "L", {{"hidden", "b", 0}, {"off", "b", 1}}}};
    std::vector<JointLink> out;
    BuildRuntimeDocument(source, links, runtime, out);
    EXPECT_TRUE(Objects(runtime).empty());
    EXPECT_TRUE(out.empty());
}

TEST(RuntimeScene, ChildBonesAndUserLinksMergeIntoRuntimeLinks) {
    CanvasDocument source, runtime;
    CanvasObject o = PictureObject("o", 0, 0, 100, 100, [](int, int) { return 0xFF808080u; });
    Bone parent = MakeBone("p", 0.5f, 0.1f, 0.5f, 0.5f);
    std::vector<Bone> bones{parent};
    for (const char* id : {"c1", "c2", "c3"}) {
        Bone c = MakeBone(id, 0.5f, 0.5f, 0.9f, 0.9f);
        c.hasParent = true;
        c.parentId = "p";
        c.parentEnd = 1;
        bones.push_back(c);
    }
    Bone onHead = MakeBone("h", 0.5f, 0.1f, 0.1f, 0.1f);
    onHead.hasParent = true;
    onHead.parentId = "p";
    onHead.parentEnd = 0;
    bones.push_back(onHead);
    o.bones = bones;
    CanvasObject other = PictureObject("x", 200, 0, 50, 50, [](int, int) { return 0xFF808080u; });
    other.bones.push_back(MakeBone("b", 0.1f, 0.5f, 0.9f, 0.5f));
    SceneOf(source, {o, other});
    // A user link on the parent's tail joins the tail group.
    std::vector<JointLink> user{{"lj_1", "Link", {{"o", "p", 1}, {"x", "b", 0}}},
                                {"lj_2", "Gone", {{"x", "b", 1}, {"missing", "b", 0}}}};
    std::vector<JointLink> links;
    BuildRuntimeDocument(source, user, runtime, links);
    ASSERT_EQ(links.size(), 2u);
    // Keys "o|p|0" before "o|p|1": the head group first, then the tail group.
    EXPECT_EQ(links[0].id, "runtime_link_1");
    EXPECT_EQ(links[0].name, "Runtime Link 1");
    EXPECT_EQ(Ends(links[0]), "o__p:p:0 o__h:h:0 ");
    EXPECT_EQ(links[1].id, "runtime_link_2");
    EXPECT_EQ(Ends(links[1]), "o__p:p:1 o__c1:c1:0 o__c2:c2:0 o__c3:c3:0 x__b:b:0 ");
}

TEST(RuntimeScene, BuildRuntimeLinksMergesSharedEndsWithoutGaps) {
    const std::vector<JointLink> records{
        {"a", "A", {{"p", "b", 1}, {"q", "b", 0}, {"q", "b", 0}}},
        {"lonely", "", {{"z", "b", 0}}},
        {"c", "C", {{"r", "b", 0}, {"q", "b", 0}}},
        {"d", "D", {{"s", "b", 1}, {"t", "b", 0}}},
    };
    const std::vector<JointLink> links = BuildRuntimeLinks(records);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(Ends(links[0]), "p:b:1 q:b:0 r:b:0 ");
    EXPECT_EQ(links[1].id, "runtime_link_2");
    EXPECT_EQ(Ends(links[1]), "s:b:1 t:b:0 ");
}

TEST(RuntimeScene, AlphaBounds) {
    BitmapPtr b = Bitmap::Create(6, 5);
    PixelRect none = AlphaBounds(*b);
    EXPECT_EQ(none.width, 0);
    b->SetPixel(1, 3, 0x01000000);
    b->SetPixel(4, 2, 0xFF000000);
    const PixelRect r = AlphaBounds(*b);
    EXPECT_EQ(r.x, 1);
    EXPECT_EQ(r.y, 2);
    EXPECT_EQ(r.width, 4);
    EXPECT_EQ(r.height, 2);
}
