#include "scene/CanvasDocument.h"

#include <gtest/gtest.h>

#include <limits>

#include <string>
#include <vector>

namespace {

CanvasObject MakeObject(const std::string& id, int32_t z) {
    CanvasObject o;
    o.id = id;
    o.width = o.height = 10;
    o.z = z;
    return o;
}

// Ids of a layer's objects from the top, checking the z numbering on the way.
std::vector<std::string> StackOf(const Layer& layer) {
    std::vector<std::string> ids;
    const int32_t n = int32_t(layer.objects.size());
    for (int32_t i = 0; i < n; ++i) {
        EXPECT_EQ(layer.objects[size_t(i)].z, n - 1 - i) << "z of index " << i;
        ids.push_back(layer.objects[size_t(i)].id);
    }
    return ids;
}

// layer_1 holding a (top) .. e (bottom).
void FillFive(CanvasDocument& doc) {
    Layer& l = doc.GetActiveLayer();
    int32_t z = 0;
    for (const char* id : {"e", "d", "c", "b", "a"}) ASSERT_TRUE(doc.AddObjectToLayer(l, MakeObject(id, z++)));
}

TEST(SceneStructure, LayerIdsReuseTheFirstFreeNumber) {
    CanvasDocument doc;
    Layer& l2 = doc.AddLayer();
    EXPECT_EQ(l2.id, "layer_2");
    EXPECT_EQ(l2.name, "Layer 2");
    EXPECT_EQ(l2.order, 2);
    EXPECT_EQ(doc.activeLayerId, "layer_2");
    EXPECT_EQ(doc.layers.back().id, "layer_2");

    doc.layers.back().id = "layer_3";
    Layer& again = doc.AddLayer();
    EXPECT_EQ(again.id, "layer_2");
    EXPECT_EQ(again.name, "Layer 3");
    EXPECT_EQ(again.order, 3);
}

TEST(SceneStructure, ActiveLayerFallsBackToAFreshFirstLayer) {
    CanvasDocument doc;
    doc.layers.clear();
    doc.activeLayerId = "gone";
    Layer& l = doc.GetActiveLayer();
    EXPECT_EQ(l.id, "layer_1");
    EXPECT_EQ(l.name, "Layer 1");
    EXPECT_EQ(l.order, 0);
    EXPECT_EQ(doc.activeLayerId, "layer_1");

    doc.SetActiveLayer("nope");
    EXPECT_EQ(doc.activeLayerId, "layer_1");
}

TEST(SceneStructure, LayerFlagsReportOnlyRealChanges) {
    CanvasDocument doc;
    EXPECT_FALSE(doc.SetLayerVisible("layer_1", true));
    EXPECT_TRUE(doc.SetLayerVisible("layer_1", false));
    EXPECT_FALSE(doc.SetLayerVisible("missing", true));
    EXPECT_FALSE(doc.SetLayerLocked("backdrop", true));
    EXPECT_TRUE(doc.SetLayerLocked("backdrop", false));
}

TEST(SceneStructure, ObjectIdsAndDuplicateRefusal) {
    CanvasDocument doc;
    std::string id;
    ASSERT_TRUE(doc.AddEmptyObject(&id));
    EXPECT_EQ(id, "object_1");
    doc.AddLayer();
    ASSERT_TRUE(doc.AddEmptyObject(&id));
    EXPECT_EQ(id, "object_2");
    doc.DeleteObject("object_1");
    EXPECT_EQ(doc.MakeObjectId(), "object_1");
    // The locked backdrop takes no object to paint on.
    doc.SetActiveLayer("backdrop");
    EXPECT_FALSE(doc.AddEmptyObject(&id));
    EXPECT_TRUE(doc.layers[0].objects.empty());

    // An id used in another layer is refused without any change.
    Layer& first = doc.layers[1];
    EXPECT_FALSE(doc.AddObjectToLayer(first, MakeObject("object_2", 5)));
    EXPECT_TRUE(first.objects.empty());
    Layer ghost;
    ghost.id = "no_such_layer";
    EXPECT_FALSE(doc.AddObjectToLayer(ghost, MakeObject("fresh", 0)));
}

TEST(SceneStructure, EmptyObjectCoversTheRoundedCanvasAndIsSelected) {
    CanvasDocument doc;
    doc.width = 640.5f;
    doc.height = 0.2f;
    doc.selectedMaskObjectId = "old";
    std::string id;
    ASSERT_TRUE(doc.AddEmptyObject(&id));
    const CanvasObject* o = doc.FindObject(id);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->name, "Untitled");
    EXPECT_EQ(o->width, 641);
    EXPECT_EQ(o->height, 1);
    EXPECT_EQ(doc.primarySelectedId, id);
    EXPECT_EQ(doc.selectedIds, std::vector<std::string>{id});
    EXPECT_TRUE(doc.selectedMaskObjectId.empty());
}

TEST(SceneStructure, AddAndDeleteRenumberFromTheTop) {
    CanvasDocument doc;
    FillFive(doc);
    const Layer& l = doc.layers[1];
    EXPECT_EQ(StackOf(l), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    EXPECT_TRUE(doc.DeleteObject("c"));
    EXPECT_EQ(StackOf(l), (std::vector<std::string>{"a", "b", "d", "e"}));
    EXPECT_FALSE(doc.DeleteObject("c"));
    EXPECT_EQ(l.IndexOfObject("d"), 2);
    EXPECT_EQ(l.IndexOfObject("zz"), -1);
}

TEST(SceneStructure, MoveWithinAndAcrossLayers) {
    struct Case {
        int32_t index;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {4, {"a", "b", "d", "c", "e"}},   // below its old place: one less
        {99, {"a", "b", "d", "e", "c"}},  // clamped to the bottom
        {-5, {"c", "a", "b", "d", "e"}},  // clamped to the top
        {1, {"a", "c", "b", "d", "e"}},
    };
    for (const Case& c : cases) {
        CanvasDocument doc;
        FillFive(doc);
        ASSERT_TRUE(doc.MoveObjectToLayer("c", "layer_1", c.index));
        EXPECT_EQ(StackOf(doc.layers[1]), c.expected) << "index " << c.index;
        EXPECT_EQ(doc.primarySelectedId, "c");
    }

    CanvasDocument doc;
    FillFive(doc);
    doc.AddLayer();
    ASSERT_TRUE(doc.AddObjectToLayer(doc.layers[2], MakeObject("x", 0)));
    ASSERT_TRUE(doc.MoveObjectToLayer("b", "layer_2", 1));
    EXPECT_EQ(StackOf(doc.layers[1]), (std::vector<std::string>{"a", "c", "d", "e"}));
    EXPECT_EQ(StackOf(doc.layers[2]), (std::vector<std::string>{"x", "b"}));
    EXPECT_FALSE(doc.MoveObjectToLayer("b", "nowhere", 0));
    EXPECT_FALSE(doc.MoveObjectToLayer("nothing", "layer_1", 0));
}

TEST(SceneStructure, SelectionKeepsOrderAndPrimary) {
    CanvasDocument doc;
    FillFive(doc);
    doc.AddToSelection("a");
    doc.AddToSelection("b");
    doc.AddToSelection("c");
    doc.AddToSelection("nope");
    EXPECT_EQ(doc.primarySelectedId, "c");
    doc.AddToSelection("a");  // already selected: stays put
    EXPECT_EQ(doc.primarySelectedId, "c");

    ASSERT_TRUE(doc.DeleteObject("c"));
    EXPECT_EQ(doc.selectedIds, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(doc.primarySelectedId, "b");

    doc.RemoveFromSelection("a");
    EXPECT_EQ(doc.primarySelectedId, "b");
    doc.ToggleSelection("b");
    EXPECT_TRUE(doc.selectedIds.empty());
    EXPECT_TRUE(doc.primarySelectedId.empty());

    // An id that is primary but not selected is left alone.
    doc.primarySelectedId = "d";
    doc.RemoveFromSelection("d");
    EXPECT_EQ(doc.primarySelectedId, "d");

    doc.selectedMaskObjectId = "e";
    EXPECT_FALSE(doc.SelectObject("gone"));
    EXPECT_TRUE(doc.primarySelectedId.empty());
    EXPECT_TRUE(doc.selectedMaskObjectId.empty());
    doc.selectedMaskObjectId = "e";
    ASSERT_TRUE(doc.DeleteObject("e"));
    EXPECT_TRUE(doc.selectedMaskObjectId.empty());
}

TEST(SceneStructure, ImagePartsGetIdsDefaultsAndOrder) {
    CanvasDocument doc;
    std::string id;
    ASSERT_TRUE(doc.AddEmptyObject(&id));
    CanvasObject* o = doc.FindObject(id);
    o->parts.resize(2);
    o->parts[0].id = "image_1";
    o->parts[0].z = 1;
    o->parts[1].id = "image_3";
    o->parts[1].z = 0;

    ImagePart p;
    p.source = "photo.png";
    p.pixelWidth = 40;
    p.pixelHeight = 30;
    p.displayWidth = 0;
    p.displayHeight = 50;
    p.offsetX = 7;
    p.opacity = std::numeric_limits<float>::quiet_NaN();
    ASSERT_TRUE(doc.AddImagePart(id, p));
    o = doc.FindObject(id);
    ASSERT_EQ(o->parts.size(), 3u);
    const ImagePart& added = o->parts[0];  // highest z + 1: on top
    EXPECT_EQ(added.id, "image_2");
    EXPECT_EQ(added.name, "photo.png");
    EXPECT_EQ(added.displayWidth, 40);
    EXPECT_EQ(added.displayHeight, 30);
    EXPECT_EQ(added.offsetX, 0);
    EXPECT_EQ(added.opacity, 1);
    EXPECT_EQ(added.z, 2);
    EXPECT_EQ(o->parts[2].z, 0);

    p.id = "image_3";
    EXPECT_FALSE(doc.AddImagePart(id, p));
    p.id.clear();
    p.opacity = -2;
    ASSERT_TRUE(doc.AddImagePart(id, p));
    EXPECT_EQ(doc.FindObject(id)->parts[0].opacity, 0);
    EXPECT_FALSE(doc.AddImagePart("missing", p));
}

}  // namespace
