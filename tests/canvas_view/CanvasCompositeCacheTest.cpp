#include "canvas_view/CanvasCompositeCache.h"

#include "scene/CanvasDocument.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
CanvasObject Obj(const std::string& id, int z, bool visible = true) {
    CanvasObject o;
    o.id = id;
    o.z = z;
    o.width = o.height = 4;
    o.visible = visible;
    return o;
}

// A painter that records which objects it drew, and where.
struct Recorder {
    std::vector<std::string> drawn;
    CanvasObjectPainter Painter() {
        return [this](CompositeSurface&, CanvasObject& o, float, float, float) { drawn.push_back(o.id); };
    }
};

struct CacheScene : ::testing::Test {
    CanvasDocument scene;
    void SetUp() override {
        scene.width = 10;
        scene.height = 8;
        // Layer 1 (order 1) holds c (z 0), b (z 1, hidden), a (z 2): stored topmost first.
        scene.layers[1].objects = {Obj("a", 2), Obj("b", 1, false), Obj("c", 0)};
        Layer top;
        top.id = "layer_2";
        top.order = 2;
        top.objects = {Obj("d", 0)};
        scene.layers.push_back(top);
        scene.layers[0].order = 0;
        scene.layers[1].order = 1;
    }
    void Select(std::vector<std::string> ids) {
        scene.selectedIds = ids;
        scene.primarySelectedId = ids.empty() ? "" : ids.front();
    }
};
}  // namespace

TEST_F(CacheScene, SplitObject) {
    EXPECT_EQ(GetCacheSplitObjectId(scene), "");
    Select({"b"});  // one selected: the primary id whatever its visibility
    EXPECT_EQ(GetCacheSplitObjectId(scene), "b");
    Select({"d", "a"});  // several: the lowest in drawing order
    EXPECT_EQ(GetCacheSplitObjectId(scene), "a");
    Select({"d", "b"});  // hidden ones are not in the walk
    EXPECT_EQ(GetCacheSplitObjectId(scene), "d");
}

TEST_F(CacheScene, SplitsBetweenCacheAndLiveLayers) {
    Recorder r;
    CanvasCompositeCache cache;
    Select({"a"});
    ASSERT_TRUE(cache.Prepare(scene, 0, r.Painter()));
    EXPECT_EQ(r.drawn, (std::vector<std::string>{"c", "a", "d"}));
    EXPECT_EQ(cache.cache.width, 10);
    EXPECT_EQ(cache.cache.height, 8);
    EXPECT_EQ(cache.rebuildCount, 1);
    EXPECT_EQ(cache.composeCount, 1);

    // Nothing changed: no drawing at all (zoom and scroll paint from B).
    r.drawn.clear();
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(cache.Prepare(scene, 0, r.Painter()));
    EXPECT_TRUE(r.drawn.empty());
    EXPECT_EQ(cache.composeCount, 1);

    // A refresh (change counter moved) redraws only the live objects.
    ASSERT_TRUE(cache.Prepare(scene, 1, r.Painter()));
    EXPECT_EQ(r.drawn, (std::vector<std::string>{"a", "d"}));
    EXPECT_EQ(cache.rebuildCount, 1);

    // An update notification with hint 1 keeps A; any other hint rebuilds it.
    r.drawn.clear();
    cache.OnUpdate(1);
    ASSERT_TRUE(cache.Prepare(scene, 1, r.Painter()));
    EXPECT_EQ(r.drawn, (std::vector<std::string>{"a", "d"}));
    r.drawn.clear();
    cache.OnUpdate(0);
    ASSERT_TRUE(cache.Prepare(scene, 1, r.Painter()));
    EXPECT_EQ(r.drawn, (std::vector<std::string>{"c", "a", "d"}));
    EXPECT_EQ(cache.rebuildCount, 2);

    // A new selection moves the split and rebuilds A.
    r.drawn.clear();
    Select({});
    ASSERT_TRUE(cache.Prepare(scene, 1, r.Painter()));
    EXPECT_EQ(r.drawn, (std::vector<std::string>{"c", "a", "d"}));
    EXPECT_EQ(cache.rebuildCount, 3);
    r.drawn.clear();
    ASSERT_TRUE(cache.Prepare(scene, 2, r.Painter()));  // nothing live with no split
    EXPECT_TRUE(r.drawn.empty());
}

TEST_F(CacheScene, CanvasColourAndTinyCanvas) {
    Recorder r;
    CanvasCompositeCache cache;
    scene.canvasColour = 0x80FF0000;
    scene.width = scene.height = 0.4f;
    ASSERT_TRUE(cache.Prepare(scene, 0, r.Painter()));
    ASSERT_EQ(cache.live.width, 1);
    ASSERT_EQ(cache.live.height, 1);
    const uint8_t* p = cache.live.pixels;
    EXPECT_EQ(p[3], 0x80);
    EXPECT_EQ(p[2], 0x80);  // premultiplied red
    EXPECT_EQ(p[0], 0);

    scene.canvasColour = 0x00FFFFFF;  // alpha 0: left transparent
    cache.OnUpdate(0);
    ASSERT_TRUE(cache.Prepare(scene, 0, r.Painter()));
    EXPECT_EQ(cache.live.pixels[3], 0);
}

TEST(TransparencyChecker, CompositesOverEightPixelCells) {
    CompositeSurface s;
    ASSERT_TRUE(s.Create(20, 12));
    s.Clear(0);
    // An opaque pixel stays; a half-covered premultiplied one gets half the cell.
    uint8_t* opaque = s.Row(1) + 1 * 4;
    opaque[0] = 10, opaque[1] = 20, opaque[2] = 30, opaque[3] = 255;
    uint8_t* half = s.Row(2) + 2 * 4;
    half[0] = half[1] = half[2] = 0, half[3] = 128;
    DrawTransparencyChecker(s, 1.5f, 0, 16, 10);
    EXPECT_EQ(opaque[0], 10);
    EXPECT_EQ(half[0], (255 * 127 + 127) / 255);
    EXPECT_EQ(half[3], 255);
    // Cells start at floor(x) = 1: column 9 is the second cell (grey), column 8 the first.
    EXPECT_EQ(s.Row(0)[8 * 4], 255);
    EXPECT_EQ(s.Row(0)[9 * 4], 204);
    EXPECT_EQ(s.Row(8)[1 * 4], 204);
    // Outside the rectangle (column 0, row 11) nothing changes.
    EXPECT_EQ(s.Row(0)[3], 0);
    EXPECT_EQ(s.Row(11)[5 * 4 + 3], 0);
}

#include "canvas_view/StackingLookup.h"

TEST_F(CacheScene, StackingLookupFindsThePrimarySelection) {
    EXPECT_FALSE(FindSelectedObjectInLayer(nullptr).found);
    EXPECT_FALSE(FindSelectedObjectInLayer(&scene).found);
    Select({"c"});
    SelectedObjectInLayer r = FindSelectedObjectInLayer(&scene);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.layerId, "layer_1");
    EXPECT_EQ(r.index, 2);
    EXPECT_EQ(r.count, 3);
    Select({"zz"});
    EXPECT_EQ(FindSelectedObjectInLayer(&scene).index, -1);
}
