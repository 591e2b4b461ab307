#include "platform/Codecs.h"
#include "platform/Files.h"
#include "scene/CanvasDocument.h"
#include "scene/ImageLoading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <unistd.h>

namespace {

std::vector<uint8_t> SmallPng(int w, int h, uint32_t argb) {
    auto b = Bitmap::Create(w, h);
    b->Clear(argb);
    std::vector<uint8_t> png;
    EXPECT_TRUE(EncodePng(*b, png));
    return png;
}

// An object whose every cache holds a bitmap, as after a full draw.
CanvasObject ObjectWithFilledCaches() {
    CanvasObject o;
    o.id = "object_1";
    ImagePart p;
    p.encoded = SmallPng(4, 4, 0xFF112233);
    o.parts.push_back(p);
    o.parts[0].GetArgb();
    auto bmp = [] { return Bitmap::Create(2, 2); };
    ObjectRenderCaches& c = o.caches;
    c.base = bmp(); c.baseValid = true;
    c.warp = bmp(); c.warpValid = true;
    c.masked = bmp(); c.maskedValid = true;
    c.effect = bmp(); c.effectValid = true;
    c.thumb = bmp(); c.thumbDimmed = bmp(); c.maskThumb = bmp(); c.thumbsValid = true;
    o.maskPixels.assign(4, 255);
    o.maskWidth = o.maskHeight = 2;
    o.maskEnabled = true;
    return o;
}

TEST(SceneRecords, DefaultsTheRestOfTheSystemRelyOn) {
    CanvasDocument doc;
    EXPECT_EQ(doc.width, 1024);
    EXPECT_EQ(doc.canvasColour, 0xFFFFFFFFu);
    ASSERT_EQ(doc.layers.size(), 2u);
    EXPECT_EQ(doc.layers[0].id, "backdrop");
    EXPECT_EQ(doc.layers[0].name, "Backdrop");
    EXPECT_TRUE(doc.layers[0].locked);
    EXPECT_EQ(doc.layers[1].id, "layer_1");
    EXPECT_EQ(doc.layers[1].order, 1);
    EXPECT_EQ(doc.activeLayerId, "layer_1");

    CanvasObject o;
    EXPECT_EQ(o.opacity, 1.0f);
    EXPECT_TRUE(o.warp.IsIdentity());
    EXPECT_EQ(o.posableScene.width, 1024);
    EXPECT_EQ(o.posableScene.colour, 0xFF5C6068u);
    EXPECT_FALSE(o.posableScene.usePartialIK);
    EXPECT_EQ(o.photoBash.fgRadius, 60);
    EXPECT_EQ(o.lightCone.height, 200);
    EXPECT_EQ(o.lightCone.tint, 0xFFFFFFFFu);
    Bone b;
    EXPECT_EQ(b.parentEnd, 1);  // a bone hangs from its parent's tail even before it has one
    EXPECT_TRUE(b.wholeImage);
}

TEST(SceneRecords, WarpIdentityIsBitForBit) {
    Quad q;
    q.x0 = -0.0f;
    EXPECT_FALSE(q.IsIdentity());
}

TEST(SceneRecords, LightConeEqualityComparesFloatsAsFloats) {
    LightConeParams a, b;
    b.lightX = -0.0f;
    EXPECT_EQ(a, b);
    b.lightX = NAN;
    EXPECT_NE(a, b);
    b = a;
    b.tint = 0xFFFFFFFE;
    EXPECT_NE(a, b);
}

TEST(SceneRecords, MaskInForceOnlyWithExactBytes) {
    CanvasObject o;
    o.maskEnabled = true;
    o.maskWidth = o.maskHeight = 100;
    o.maskPixels.assign(9999, 255);
    EXPECT_FALSE(o.HasUsableMask());
    o.maskPixels.push_back(0);
    EXPECT_TRUE(o.HasUsableMask());
}

TEST(SceneRecords, CopiesShareCachesAndDropOnlyTheirOwn) {
    CanvasObject a = ObjectWithFilledCaches();
    CanvasObject b = a;
    EXPECT_EQ(b.caches.base, a.caches.base);
    EXPECT_EQ(b.parts[0].argb, a.parts[0].argb);
    b.InvalidateCaches();
    EXPECT_EQ(b.caches.base, nullptr);
    EXPECT_TRUE(a.caches.baseValid);
    EXPECT_NE(a.caches.base, nullptr);
    EXPECT_TRUE(a.parts[0].argbValid);
    // A copied posable scene shares nothing.
    a.posableScene.parts.resize(1);
    a.posableScene.parts[0].bones.resize(1);
    CanvasObject c = a;
    c.posableScene.parts[0].bones[0].width = 9;
    EXPECT_EQ(a.posableScene.parts[0].bones[0].width, 0.25f);
}

struct DropCase {
    const char* op;
    std::function<void(CanvasObject&)> apply;
    bool base, warp, masked, effect, thumbs, partArgb, partDecoded, mask;
};

TEST(SceneRecords, EachChangeDropsItsCaches) {
    const DropCase cases[] = {
        {"InvalidateEffectCache", [](CanvasObject& o) { o.InvalidateEffectCache(); }, false, false, false, false, true, true, true, true},
        {"ReleaseMaskCaches", [](CanvasObject& o) { o.ReleaseMaskCaches(); }, true, true, false, false, true, true, true, true},
        {"BumpGeneration", [](CanvasObject& o) { o.BumpGeneration(); }, true, true, true, false, true, true, true, true},
        {"InvalidateCaches", [](CanvasObject& o) { o.InvalidateCaches(); }, false, false, false, false, false, false, true, true},
        {"ClearMask", [](CanvasObject& o) { o.ClearMask(); }, true, true, false, false, false, true, true, false},
        {"InvalidateDecoded", [](CanvasObject& o) { o.parts[0].InvalidateDecoded(); }, true, true, true, true, true, false, false, true},
    };
    for (const DropCase& c : cases) {
        SCOPED_TRACE(c.op);
        CanvasObject o = ObjectWithFilledCaches();
        const uint64_t gen = o.generation;
        c.apply(o);
        EXPECT_EQ(o.caches.baseValid && o.caches.base, c.base);
        EXPECT_EQ(o.caches.warpValid && o.caches.warp, c.warp);
        EXPECT_EQ(o.caches.maskedValid && o.caches.masked, c.masked);
        EXPECT_EQ(o.caches.effectValid && o.caches.effect, c.effect);
        EXPECT_EQ(o.caches.thumbsValid, c.thumbs);
        EXPECT_EQ(o.parts[0].argbValid && o.parts[0].argb, c.partArgb);
        EXPECT_EQ(o.parts[0].decodeTried && o.parts[0].decoded, c.partDecoded);
        EXPECT_EQ(o.maskEnabled, c.mask);
        EXPECT_EQ(o.generation, gen + (std::string(c.op) == "BumpGeneration" ? 1 : 0));
    }
}

TEST(SceneRecords, ClearMaskResetsEnabledMaskWithoutBytes) {
    CanvasObject o;
    o.maskEnabled = true;
    o.maskWidth = 5;
    o.caches.masked = Bitmap::Create(1, 1);
    o.caches.maskedValid = true;
    o.ClearMask();
    EXPECT_FALSE(o.maskEnabled);
    EXPECT_EQ(o.maskWidth, 0);
    EXPECT_EQ(o.caches.masked, nullptr);
}

TEST(ImagePart, FailedDecodeIsNotRetriedUntilInvalidated) {
    ImagePart p;
    p.encoded = {1, 2, 3};
    EXPECT_EQ(p.GetArgb(), nullptr);
    EXPECT_TRUE(p.decodeTried);
    p.encoded = SmallPng(3, 3, 0xFF00FF00);
    EXPECT_EQ(p.GetArgb(), nullptr);  // not decoded again
    p.InvalidateDecoded();
    auto bmp = p.GetArgb();
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->Pixel(1, 1), 0xFF00FF00u);
}

TEST(ImageLoading, LoadsWholeFileAndKeepsNothingOpen) {
    auto dir = std::filesystem::temp_directory_path() / ("plindrow_load_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string empty = (dir / "empty.png").string(), good = (dir / "good.png").string();
    ASSERT_TRUE(WriteFileAtomic(empty, nullptr, 0));
    EXPECT_EQ(LoadBitmapFromFileUnlocked(empty), nullptr);
    ASSERT_TRUE(WriteFileAtomic(good, SmallPng(2, 3, 0x80FFFFFF)));
    auto bmp = LoadBitmapFromFileUnlocked(good);
    ASSERT_NE(bmp, nullptr);
    ASSERT_TRUE(std::filesystem::remove(good));
    EXPECT_EQ(bmp->Height(), 3);
    EXPECT_EQ(bmp->Pixel(1, 2), 0x80FFFFFFu);
    EXPECT_EQ(LoadBitmapFromFileUnlocked((dir / "missing.png").string()), nullptr);
    EXPECT_EQ(CreateBitmapFromMemory(std::vector<uint8_t>{}), nullptr);
    std::filesystem::remove_all(dir);
}

}  // namespace
