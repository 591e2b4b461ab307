#include "scene/CanvasDocument.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A 1024 x 1024 scene with one 100 x 100 object of the given kind at (10, 10).
struct Fixture {
    CanvasDocument doc;
    std::string id = "obj";
    explicit Fixture(uint8_t kind = kObjectBitmap) {
        CanvasObject o;
        o.id = id;
        o.kind = kind;
        o.x = o.y = 10;
        o.width = o.height = 100;
        EXPECT_TRUE(doc.AddObjectToLayer(doc.GetActiveLayer(), o));
    }
    CanvasObject& obj() { return *doc.FindObject(id); }
    // Marks the base cache as filled so that dropping it shows.
    void FillCache() {
        obj().caches.base = Bitmap::Create(1, 1);
        obj().caches.baseValid = true;
    }
    bool CacheValid() { return obj().caches.baseValid; }
};

TEST(ObjectTransform, RoundsHalvesAwayFromZeroAndKeepsSizesAtLeastOne) {
    // Light cones are not confined, so the rounding shows on its own.
    struct Case {
        ObjectTransform in;
        ObjectTransform out;
    };
    const Case cases[] = {
        {{10.5f, -10.5f, 0.4f, 2.5f, 33.3f, 0.5f}, {11, -11, 1, 3, 33.3f, 0.5f}},
        {{10.49f, -0.4f, -7, 1.49f, 0, 2}, {10, -0.0f, 1, 1, 0, 1}},
        {{0, 0, 100000, 50, 0, -1}, {0, 0, 32767, 50, 0, 0}},
        {{0, 0, 5, 5, 0, kNaN}, {0, 0, 5, 5, 0, 1}},
        // Non-finite input never survives: position keeps the old value,
        // sizes become 1, the rotation 0.
        {{kNaN, kInf, kNaN, -kInf, kNaN, 1}, {10, 10, 1, 1, 0, 1}},
    };
    for (const Case& c : cases) {
        Fixture f(kObjectLightCone);
        ASSERT_TRUE(f.doc.SetObjectTransform(f.id, c.in));
        const CanvasObject& o = f.obj();
        EXPECT_EQ(o.x, c.out.x) << c.in.x;
        EXPECT_EQ(o.y, c.out.y) << c.in.y;
        EXPECT_EQ(o.width, c.out.width) << c.in.width;
        EXPECT_EQ(o.height, c.out.height) << c.in.height;
        EXPECT_EQ(o.rotation, c.out.rotation) << c.in.rotation;
        EXPECT_EQ(o.opacity, c.out.opacity) << c.in.opacity;
    }
}

TEST(ObjectTransform, ConfinesTheRotatedOutlineToTheArea) {
    struct Case {
        const char* what;
        uint8_t kind;
        bool placement;
        ObjectTransform in;
        float x, y;
    };
    const Case cases[] = {
        {"left edge", kObjectBitmap, false, {-30, 5, 100, 100, 0, 1}, 0, 5},
        {"right edge", kObjectBitmap, false, {1000, 5, 100, 100, 0, 1}, 924, 5},
        {"wider than canvas is centred", kObjectBitmap, false, {0, 0, 2000, 100, 0, 1}, -488, 0},
        {"rotated box", kObjectBitmap, false, {0, 0, 100, 100, 45, 1}, 20.710678f, 20.710678f},
        {"bottom edge, quarter turn", kObjectBitmap, false, {0, 1000, 200, 100, 90, 1}, 0, 874},
        {"light cone stays", kObjectLightCone, false, {-5000, 3000, 100, 100, 45, 1}, -5000, 3000},
        {"placement area", kObjectBitmap, true, {-900, 0, 100, 100, 0, 1}, -500, 0},
    };
    for (const Case& c : cases) {
        Fixture f(c.kind);
        if (c.placement) {
            f.doc.hasPlacementArea = true;
            f.doc.placementX = -500;
            f.doc.placementY = -500;
            f.doc.placementWidth = 2000;
            f.doc.placementHeight = 2000;
        }
        ASSERT_TRUE(f.doc.SetObjectTransform(f.id, c.in));
        EXPECT_NEAR(f.obj().x, c.x, 1e-3) << c.what;
        EXPECT_NEAR(f.obj().y, c.y, 1e-3) << c.what;
        EXPECT_EQ(f.obj().width, c.in.width) << c.what;
        EXPECT_EQ(f.obj().rotation, c.in.rotation) << c.what;
    }
}

TEST(ObjectTransform, ClampRotatedRectRaisesTinySizesAndCentresTallBoxes) {
    const ObjectTransform r = ClampRotatedRect({5, -50, 0, 300, 0, 0.25f}, 0, 0, 100, 100);
    EXPECT_EQ(r.width, 1);
    EXPECT_EQ(r.height, 300);
    EXPECT_EQ(r.x, 5);
    EXPECT_EQ(r.y, -100);  // centred: 50 - 150
    EXPECT_EQ(r.opacity, 0.25f);
}

TEST(ObjectTransform, CachesDropOnResizeOrQueueWhileDeferred) {
    {
        Fixture f;
        f.FillCache();
        ASSERT_TRUE(f.doc.SetObjectTransform(f.id, {50, 60, 100, 100, 30, 0.5f}));
        EXPECT_TRUE(f.CacheValid()) << "moving, turning and fading keep the caches";
        ASSERT_TRUE(f.doc.SetObjectTransform(f.id, {50, 60, 100.00001f, 100, 30, 0.5f}));
        EXPECT_TRUE(f.CacheValid()) << "a size that rounds to the same keeps them";
        ASSERT_TRUE(f.doc.SetObjectTransform(f.id, {50, 60, 120, 100, 30, 0.5f}));
        EXPECT_FALSE(f.CacheValid());
    }
    {
        // Deferred: a plain bitmap still drops at once.
        Fixture f;
        f.doc.deferInvalidation = true;
        f.FillCache();
        ASSERT_TRUE(f.doc.SetObjectTransform(f.id, {10, 10, 200, 200, 0, 1}));
        EXPECT_FALSE(f.CacheValid());
        EXPECT_TRUE(f.doc.pendingInvalidations.empty());
    }
    for (int variant = 0; variant < 3; ++variant) {
        // Deferred: filtered, warped and light-cone objects are queued once.
        Fixture f(variant == 2 ? kObjectLightCone : kObjectBitmap);
        if (variant == 0) f.obj().effects.push_back(EffectInstance{});
        if (variant == 1) f.obj().warp.x0 = -0.0f;
        f.doc.deferInvalidation = true;
        f.FillCache();
        for (float w : {150.0f, 160.0f, 170.0f}) ASSERT_TRUE(f.doc.SetObjectTransform(f.id, {10, 10, w, 100, 0, 1}));
        EXPECT_TRUE(f.CacheValid()) << variant;
        EXPECT_EQ(f.doc.pendingInvalidations, std::vector<std::string>{f.id}) << variant;
    }
}

TEST(ObjectTransform, FiltersFollowTheAreaRatio) {
    struct Case {
        float w, h;
        float width;
    };
    const Case cases[] = {
        {200, 200, 8},         // twice the side: twice the width
        {400, 100, 8},         // area ratio 4, square root 2
        {100.00001f, 100, 4},  // rounds to the same size: untouched
    };
    for (const Case& c : cases) {
        Fixture f;
        EffectInstance glow;
        glow.type = kEffectGlow;
        glow.params.Set(GlowParams{});
        f.obj().effects.push_back(glow);
        ASSERT_TRUE(f.doc.SetObjectTransform(f.id, {0, 0, c.w, c.h, 0, 1}));
        EXPECT_FLOAT_EQ(f.obj().effects[0].params.Get<GlowParams>()->width, c.width) << c.w << "x" << c.h;
    }
}

TEST(ObjectTransform, ObserverHearsEverySuccessfulCallOnly) {
    Fixture f;
    std::vector<std::string> heard;
    f.doc.observer = [&](const std::string& id) { heard.push_back(id); };
    ObjectTransform same{10, 10, 100, 100, 0, 1};
    ASSERT_TRUE(f.doc.SetObjectTransform(f.id, same));
    ASSERT_TRUE(f.doc.SetObjectTransform(f.id, same));
    EXPECT_FALSE(f.doc.SetObjectTransform("missing", same));
    EXPECT_EQ(heard, (std::vector<std::string>{"obj", "obj"}));
}

TEST(ObjectTransform, FileNamePart) {
    EXPECT_EQ(GetFileNamePart("C:\\pics/dir\\a.png"), "a.png");
    EXPECT_EQ(GetFileNamePart("/home/u\\x/b.jpg"), "b.jpg");
    EXPECT_EQ(GetFileNamePart("plain.bmp"), "plain.bmp");
    EXPECT_EQ(GetFileNamePart("dir/"), "");
}

}  // namespace
