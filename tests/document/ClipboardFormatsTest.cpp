#include "BitmapObjects.h"

#include "document/ClipboardFormats.h"
#include "platform/Archive.h"
#include "platform/Clipboard.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

CanvasObject RichObject() {
    CanvasObject o = MakeSolidObject("object_7", "Tree", 10.4f, -3.6f, 3, 2, 0xFF102030);
    o.width = 3.2f;
    o.rotation = 12.5f;
    o.opacity = 0.5f;
    o.blendMode = 3;
    o.clipToLayerBelow = true;
    Bone a;
    a.id = "bone_1";
    Bone b;
    b.id = "bone_2";
    b.hasParent = true;
    b.parentId = "bone_1";
    o.bones = {a, b};
    o.maskPixels = {0, 255, 128, 7, 9, 1};
    o.maskWidth = 3;
    o.maskHeight = 2;
    o.maskEnabled = true;
    return o;
}

std::vector<uint8_t> Header(const char* magic, uint32_t version) {
    ArchiveWriter ar;
    ar.WriteBytes(magic, 4);
    ar.WriteU32(version);
    return ar.TakeBytes();
}

// A packed bitmap: 40-byte header, bottom-up rows of 24-bit pixels.
std::vector<uint8_t> Dib24(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
    const int row = (w * 3 + 3) & ~3;
    ArchiveWriter ar;
    ar.WriteU32(40);
    ar.WriteI32(w);
    ar.WriteI32(h);
    ar.WriteU16(1);
    ar.WriteU16(24);
    for (int i = 0; i < 6; ++i) ar.WriteU32(0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < row; ++x) ar.WriteU8(x < w * 3 ? (x % 3 == 0 ? b : x % 3 == 1 ? g : r) : 0);
    return ar.TakeBytes();
}

}  // namespace

TEST(ClipboardPayload, OneObjectRoundTripsWithRoundedPlacementAndNoCaches) {
    MemoryClipboard cb;
    cb.AddFormat("PNG", {1, 2, 3});
    CanvasObject src = RichObject();
    src.ComposeBitmap();  // caches on the source must not travel
    ASSERT_TRUE(CopyObjectToClipboard(cb, src));
    EXPECT_FALSE(cb.HasFormat("PNG"));  // a copy leaves its one format only
    EXPECT_FALSE(cb.HasFormat(kCanvasObjectSetClipFormat));

    CanvasObject out;
    ASSERT_TRUE(PasteObjectFromClipboard(cb, out));
    EXPECT_EQ(out.id, "object_7");
    EXPECT_EQ(out.name, "Tree");
    EXPECT_EQ(out.x, 10.0f);
    EXPECT_EQ(out.y, -4.0f);
    EXPECT_EQ(out.width, 3.0f);
    EXPECT_EQ(out.rotation, 12.5f);
    EXPECT_EQ(out.blendMode, 3);
    EXPECT_TRUE(out.clipToLayerBelow);
    ASSERT_EQ(out.bones.size(), 2u);
    EXPECT_EQ(out.bones[1].parentId, "bone_1");
    EXPECT_EQ(out.maskPixels, src.maskPixels);
    ASSERT_EQ(out.parts.size(), 1u);
    EXPECT_EQ(out.parts[0].encoded, src.parts[0].encoded);
    EXPECT_FALSE(out.caches.baseValid);
    EXPECT_EQ(out.caches.base, nullptr);
}

TEST(ClipboardPayload, SetRoundTripsInOrderAndLeavesOnlyItsFormat) {
    MemoryClipboard cb;
    std::vector<CanvasObject> objects = {RichObject(), MakeSolidObject("object_2", "Rock", 1, 2, 2, 2, 0xFFFFFFFF)};
    ASSERT_TRUE(CopyObjectSetToClipboard(cb, objects));
    EXPECT_FALSE(cb.HasFormat(kCanvasObjectClipFormat));
    std::vector<CanvasObject> out = {CanvasObject{}};
    ASSERT_TRUE(PasteObjectSetFromClipboard(cb, out));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].name, "Tree");
    EXPECT_EQ(out[1].name, "Rock");
    CanvasObject single;
    EXPECT_FALSE(PasteObjectFromClipboard(cb, single));  // no object format there
}

TEST(ClipboardPayload, ForeignAndBrokenPayloadsAreRefused) {
    const std::vector<uint8_t> good = WriteObjectPayload(RichObject());
    const std::vector<uint8_t> goodSet = WriteObjectSetPayload({RichObject(), RichObject()});
    std::vector<uint8_t> v13 = Header("QVO1", 13);
    v13.insert(v13.end(), good.begin() + 8, good.end());
    std::vector<uint8_t> setInObjectFormat = Header("QVS1", 14);
    setInObjectFormat.insert(setInObjectFormat.end(), good.begin() + 8, good.end());
    std::vector<uint8_t> emptySet = Header("QVS1", 14);
    emptySet.insert(emptySet.end(), {0, 0, 0, 0});
    std::vector<uint8_t> hugeSet = Header("QVS1", 14);
    hugeSet.insert(hugeSet.end(), {0xFF, 0xFF, 0xFF, 0xFF});
    hugeSet.insert(hugeSet.end(), good.begin() + 8, good.end());

    CanvasObject untouched;
    untouched.name = "keep";
    CanvasObject out = untouched;
    EXPECT_FALSE(ReadObjectPayload(v13.data(), v13.size(), out));
    EXPECT_FALSE(ReadObjectPayload(setInObjectFormat.data(), setInObjectFormat.size(), out));
    EXPECT_FALSE(ReadObjectPayload(nullptr, 0, out));
    EXPECT_EQ(out.name, "keep");
    std::vector<CanvasObject> set;
    EXPECT_FALSE(ReadObjectSetPayload(emptySet.data(), emptySet.size(), set));
    EXPECT_FALSE(ReadObjectSetPayload(hugeSet.data(), hugeSet.size(), set));
    EXPECT_TRUE(set.empty());

    // Every truncation of a valid payload fails cleanly (no throw, no crash).
    for (size_t n = 0; n < good.size(); ++n) {
        ASSERT_FALSE(ReadObjectPayload(good.data(), n, out)) << n;
        ASSERT_EQ(out.name, "keep");
    }
    for (size_t n = 0; n < goodSet.size(); ++n) ASSERT_FALSE(ReadObjectSetPayload(goodSet.data(), n, set)) << n;

    // A block longer than its payload (clipboard blocks may be rounded up) reads.
    std::vector<uint8_t> padded = good;
    padded.resize(good.size() + 16, 0xCD);
    EXPECT_TRUE(ReadObjectPayload(padded.data(), padded.size(), out));
    EXPECT_EQ(out.name, "Tree");
}

TEST(ClipboardImage, PackedBitmapPixelOffsets) {
    struct Case {
        uint32_t headerSize;
        uint16_t bits;
        uint32_t compression;
        uint32_t used;
        size_t size;
        bool ok;
        uint64_t offset;
    };
    const Case cases[] = {
        {40, 8, 0, 0, 2000, true, 40 + 1024},
        {40, 8, 0, 3, 2000, true, 40 + 12},
        {40, 32, 3, 0, 100, true, 52},
        {40, 32, 6, 0, 100, true, 56},
        {124, 32, 3, 0, 200, true, 124},   // a V5 header carries its masks itself
        {40, 8, 0, 0, 1064, false, 0},     // the pixels would start at the end
        {40, 1, 0, 0xFFFFFFFF, 2000, false, 0},  // a colour count no data can hold
        {12, 24, 0, 0, 100, false, 0},     // a header size this reader does not know
        {40, 24, 0, 0, 39, false, 0},      // shorter than a header
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> dib(std::max<size_t>(c.size, 40), 0);
        std::memcpy(&dib[0], &c.headerSize, 4);
        std::memcpy(&dib[14], &c.bits, 2);
        std::memcpy(&dib[16], &c.compression, 4);
        std::memcpy(&dib[32], &c.used, 4);
        uint64_t offset = 0;
        EXPECT_EQ(DibPixelOffset(dib.data(), c.size, offset), c.ok) << c.headerSize << "/" << c.bits;
        if (c.ok) {
            EXPECT_EQ(offset, c.offset);
        }
    }
}

TEST(ClipboardImage, SourcesAreTriedInOrder) {
    const std::vector<uint8_t> png = SolidPng(3, 2, 0xFF00FF00);
    std::vector<uint8_t> bytes;
    std::string name;
    float w = 0, h = 0;

    MemoryClipboard both;  // PNG wins and is taken unchanged
    both.AddFormat("PNG", png);
    both.AddFormat("CF_DIB", Dib24(5, 5, 1, 2, 3));
    ASSERT_TRUE(ReadClipboardImage(both, bytes, name, w, h));
    EXPECT_EQ(bytes, png);
    EXPECT_EQ(name, "Clipboard Image");
    EXPECT_EQ(w, 3.0f);
    EXPECT_EQ(h, 2.0f);

    MemoryClipboard dib;  // a broken PNG and a 39-byte DIBV5 fall through to CF_DIB
    dib.AddFormat("PNG", {0x89, 'P', 'N', 'G'});
    dib.AddFormat("CF_DIBV5", std::vector<uint8_t>(39, 0));
    dib.AddFormat("CF_DIB", Dib24(2, 3, 10, 20, 30));
    ASSERT_TRUE(ReadClipboardImage(dib, bytes, name, w, h));
    EXPECT_EQ(w, 2.0f);
    EXPECT_EQ(h, 3.0f);
    BitmapPtr decoded = DecodeImage(bytes);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->Pixel(1, 2), 0xFF1E140Au);

    MemoryClipboard bitmap;  // the decoded picture of another program
    BitmapPtr picture = Bitmap::Create(4, 1);
    picture->Clear(0x80112233);
    bitmap.AddFormat("CF_BITMAP", {});
    bitmap.SetImage(picture);
    ASSERT_TRUE(ReadClipboardImage(bitmap, bytes, name, w, h));
    EXPECT_EQ(w, 4.0f);
    EXPECT_EQ(DecodeImage(bytes)->Pixel(3, 0), 0x80112233u);

    MemoryClipboard nothing;
    nothing.AddFormat("CF_DIB", std::vector<uint8_t>(39, 0));
    EXPECT_FALSE(ReadClipboardImage(nothing, bytes, name, w, h));
    EXPECT_TRUE(bytes.empty());
}

TEST(ClipboardBones, PastedBonesGetFreshIdsAndParentsFollow) {
    CanvasDocument scene;
    CanvasObject holder;
    holder.id = "object_1";
    Bone b1, b2;
    b1.id = "bone_1";
    b2.id = "bone_2";
    holder.bones = {b1, b2};
    scene.AddObjectToLayer(*scene.FindLayer("layer_1"), holder);

    CanvasObject pasted;
    pasted.id = "object_9";
    Bone p1, p2, p3;
    p1.id = "bone_1";
    p2.id = "bone_2";
    p2.hasParent = true;
    p2.parentId = "bone_1";
    p3.id = "bone_5";
    p3.hasParent = true;
    p3.parentId = "elsewhere";
    pasted.bones = {p1, p2, p3};
    PreparePastedObject(pasted, scene);
    EXPECT_EQ(pasted.id, "object_9");
    EXPECT_EQ(pasted.bones[0].id, "bone_3");
    EXPECT_EQ(pasted.bones[1].id, "bone_4");
    EXPECT_EQ(pasted.bones[1].parentId, "bone_3");
    EXPECT_EQ(pasted.bones[2].id, "bone_5");
    EXPECT_EQ(pasted.bones[2].parentId, "elsewhere");  // names no bone of the object: left alone
    EXPECT_EQ(MakeUniqueBoneId(scene, {"bone_3"}), "bone_4");
}

TEST(ImageUtilities, RotatedAndPartsBounds) {
    CanvasObject o;
    o.width = 100;
    o.height = 50;
    o.rotation = 90;
    const SceneRect r = GetRotatedBounds(o);
    EXPECT_NEAR(r.x, 25, 1e-3);
    EXPECT_NEAR(r.y, -25, 1e-3);
    EXPECT_NEAR(r.width, 50, 1e-3);
    EXPECT_NEAR(r.height, 100, 1e-3);

    SceneRect parts;
    EXPECT_FALSE(o.GetPartsBounds(parts));
    ImagePart a, b;
    a.displayWidth = a.displayHeight = 10;
    b.offsetX = -5;
    b.offsetY = 20;
    b.displayWidth = b.displayHeight = 10;
    b.visible = false;
    o.parts = {a, b};
    ASSERT_TRUE(o.GetPartsBounds(parts));
    EXPECT_EQ(parts.x, -5);
    EXPECT_EQ(parts.y, 0);
    EXPECT_EQ(parts.width, 15);
    EXPECT_EQ(parts.height, 30);
}

TEST(ImageUtilities, DrawImageTransformedSkipsHiddenAndPartlessObjects) {
    BitmapPtr target = Bitmap::Create(4, 4);
    CanvasObject hidden = MakeSolidObject("o", "o", 0, 0, 4, 4, 0xFFFF0000);
    hidden.visible = false;
    CanvasObject light;
    light.kind = kObjectLightCone;
    light.width = light.height = 4;
    DrawImageTransformed(RasterTarget::Of(*target), hidden, 0, 0);
    DrawImageTransformed(RasterTarget::Of(*target), light, 0, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) ASSERT_EQ(target->Pixel(x, y), 0u);
    CanvasObject shown = MakeSolidObject("o", "o", 1, 1, 2, 2, 0xFFFF0000);
    shown.opacity = 0.5f;
    DrawImageTransformed(RasterTarget::Of(*target), shown, -1, 0, Interpolation::Nearest);
    EXPECT_EQ(target->Pixel(0, 1) >> 24, 128u);
    EXPECT_EQ(target->Pixel(0, 1) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(target->Pixel(2, 1), 0u);
}
