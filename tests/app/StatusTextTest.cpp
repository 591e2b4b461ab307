#include "app/StatusText.h"

#include "scene/CanvasDocument.h"

#include <gtest/gtest.h>

namespace {
CanvasObject Obj(const char* id, uint8_t kind, float x, float y) {
    CanvasObject o;
    o.id = id;
    o.kind = kind;
    o.x = x;
    o.y = y;
    o.width = o.height = 10;
    return o;
}

struct StatusScene : ::testing::Test {
    CanvasDocument scene;
    void SetUp() override {
        scene.width = 1024;
        scene.height = 768;
        scene.layers[1].objects.push_back(Obj("object_1", kObjectBitmap, 10.4f, 20.6f));
        Layer unnamed;
        unnamed.id = "layer_2";
        unnamed.objects.push_back(Obj("object_2", kObjectLightCone, 0, 0));
        unnamed.objects.push_back(Obj("object_3", kObjectPosable, 0, 0));
        scene.layers.push_back(unnamed);
    }
    void Select(std::vector<std::string> ids) {
        scene.selectedIds = ids;
        scene.primarySelectedId = ids.empty() ? "" : ids.front();
    }
};
}  // namespace

TEST_F(StatusScene, SelectionAndPlacement) {
    Select({"object_1"});
    StatusTexts t = ComposeStatusTexts(&scene, "");
    EXPECT_EQ(t.left, "1 Bitmap on Layer 1");
    EXPECT_EQ(t.right, "Canvas: 1024 x 768   Pos: 10, 21");

    Select({"object_2"});
    EXPECT_EQ(ComposeStatusTexts(&scene, "").left, "1 Light");

    Select({"object_1", "object_2", "object_3"});
    t = ComposeStatusTexts(&scene, "");
    EXPECT_EQ(t.left, "3 objects");
    EXPECT_EQ(t.right, "Canvas: 1024 x 768");

    Select({});
    EXPECT_EQ(ComposeStatusTexts(&scene, "").left, "");

    // A primary id naming no object: empty left text and no position.
    Select({"object_99"});
    t = ComposeStatusTexts(&scene, "");
    EXPECT_EQ(t.left, "");
    EXPECT_EQ(t.right, "Canvas: 1024 x 768");
}

TEST_F(StatusScene, HintReplacesSelectionText) {
    Select({"object_1"});
    StatusTexts t = ComposeStatusTexts(&scene, "Cap Width");
    EXPECT_EQ(t.left, "Cap Width");
    EXPECT_EQ(t.right, "Canvas: 1024 x 768   Pos: 10, 21");
    EXPECT_EQ(ComposeStatusTexts(nullptr, "x"), StatusTexts{});
}
