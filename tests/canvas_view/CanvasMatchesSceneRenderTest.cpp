#include "canvas_view/CanvasCompositeCache.h"
#include "canvas_view/CanvasObjectDraw.h"

#include "platform/Codecs.h"
#include "scene/CanvasDocument.h"
#include "scene/SceneRender.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {
CanvasObject Picture(const std::string& id, int z, float x, float y, uint32_t a, uint32_t b) {
    BitmapPtr bm = Bitmap::Create(16, 12);
    for (int yy = 0; yy < 12; ++yy)
        for (int xx = 0; xx < 16; ++xx) bm->SetPixel(xx, yy, ((xx / 4 + yy / 4) & 1) ? a : b);
    CanvasObject o;
    o.id = id;
    o.name = id;
    o.z = z;
    o.x = x, o.y = y, o.width = 24, o.height = 18;
    ImagePart p;
    p.id = "image_1";
    EXPECT_TRUE(EncodePng(*bm, p.encoded));
    p.pixelWidth = 16, p.pixelHeight = 12, p.displayWidth = 16, p.displayHeight = 12;
    o.parts.push_back(p);
    return o;
}

// Objects stored topmost first, as layers keep them.
CanvasDocument SmallScene() {
    CanvasDocument scene;
    scene.width = 64;
    scene.height = 48;
    scene.canvasColour = 0xFFE0E8F0;
    CanvasObject a = Picture("object_1", 0, 4, 5, 0xFF2060A0, 0xFFF0C020);
    CanvasObject b = Picture("object_2", 1, 20, 14, 0xC0D03030, 0xFF30A050);
    b.rotation = 30;
    b.opacity = 0.7f;
    CanvasObject c = Picture("object_3", 2, 30, 20, 0xFF808080, 0xFFFFFFFF);
    c.blendMode = 4;  // Multiply
    scene.layers[1].objects = {c, b, a};
    return scene;
}

int MaxDifference(const CompositeSurface& x, const CompositeSurface& y) {
    int worst = 0;
    for (int r = 0; r < x.height; ++r)
        for (int i = 0; i < x.width * 4; ++i) worst = std::max(worst, std::abs(int(x.Row(r)[i]) - int(y.Row(r)[i])));
    return worst;
}
}  // namespace

TEST(CanvasView, ComposedCanvasMatchesTheSceneCompositor) {
    CanvasDocument reference = SmallScene();
    CompositeSurface expected;
    ASSERT_TRUE(expected.Create(64, 48));
    sceneRender(expected, reference, nullptr);

    // Whole scene in the cache (nothing selected), and split at each object.
    for (const char* selected : {"", "object_1", "object_2", "object_3"}) {
        CanvasDocument scene = SmallScene();
        if (*selected) {
            scene.selectedIds = {selected};
            scene.primarySelectedId = selected;
        }
        CanvasCompositeCache cache;
        ASSERT_TRUE(cache.Prepare(scene, 0, MakeCanvasObjectPainter(scene)));
        ASSERT_EQ(cache.live.width, 64);
        EXPECT_EQ(MaxDifference(cache.live, expected), 0) << "split at '" << selected << "'";
    }
}
