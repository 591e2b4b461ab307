#include "scene/CanvasWriteViews.h"
#include "scene/SelectionMask.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint32_t> Read(ICanvasWriteView& v, int x, int y, int w, int h) {
    std::vector<uint32_t> out(size_t(w) * size_t(h), 0xDEADBEEF);
    v.ReadRect(x, y, w, h, out.data());
    return out;
}

TEST(CanvasWriteViews, TiledLayerCreatesTilesOnlyWhereWritten) {
    TiledBitmap bitmap(10, 10, 4);
    LayerBitmapView view(&bitmap);
    EXPECT_EQ(view.Width(), 10);
    EXPECT_EQ(Read(view, 0, 0, 2, 2), std::vector<uint32_t>(4, 0));
    EXPECT_TRUE(bitmap.Tiles().empty());

    const uint32_t one = 0x80112233;
    view.WriteRect(5, 5, 1, 1, &one);
    EXPECT_EQ(bitmap.Tiles().size(), 1u);
    view.WriteRect(-3, 20, 2, 2, std::vector<uint32_t>(4, 1).data());  // wholly outside
    EXPECT_EQ(bitmap.Tiles().size(), 1u);

    // Straddling a tile border writes both tiles; the clipped part is dropped.
    const std::vector<uint32_t> strip = {1, 2, 3, 4};
    view.WriteRect(2, 0, 4, 1, strip.data());
    EXPECT_EQ(bitmap.Tiles().size(), 3u);
    EXPECT_EQ(Read(view, 1, 0, 6, 1), (std::vector<uint32_t>{0, 1, 2, 3, 4, 0}));
    view.WriteRect(8, 9, 4, 1, strip.data());
    EXPECT_EQ(Read(view, 8, 9, 3, 1), (std::vector<uint32_t>{1, 2, 0}));
    EXPECT_EQ(Read(view, 4, 4, 3, 2), (std::vector<uint32_t>{0, 0, 0, 0, one, 0}));
    EXPECT_EQ(bitmap.TouchTile(1, 1).pixels[1 * 4 + 1], one);
}

TEST(CanvasWriteViews, MaskPlaneReadsAsWhiteAndStoresAlpha) {
    std::vector<uint8_t> mask = {10, 20, 30, 40};
    MaskBitmapView view(mask.data(), 2, 2);
    EXPECT_EQ(Read(view, 1, 1, 2, 1), (std::vector<uint32_t>{0x28FFFFFF, 0x00FFFFFF}));
    const std::vector<uint32_t> in = {0x7F000000, 0x01ABCDEF, 0xFF000000};
    view.WriteRect(-1, 0, 3, 1, in.data());
    EXPECT_EQ(mask, (std::vector<uint8_t>{1, 255, 30, 40}));
}

TEST(CanvasWriteViews, ScratchGrowsToWhatTheStrokeTouched) {
    TiledBitmap bitmap(100, 100);
    LayerBitmapView base(&bitmap);
    ScratchCanvasView scratch(&base);
    EXPECT_EQ(Read(scratch, 10, 10, 2, 2), std::vector<uint32_t>(4, 0));
    EXPECT_EQ((std::vector<int>{scratch.regionX, scratch.regionY, scratch.regionWidth, scratch.regionHeight}),
              (std::vector<int>{10, 10, 2, 2}));

    const std::vector<uint32_t> dab = {0xFF0000FF, 0xFF00FF00};
    scratch.WriteRect(-1, 11, 2, 1, dab.data());  // clipped at the left edge
    EXPECT_EQ((std::vector<int>{scratch.regionX, scratch.regionY, scratch.regionWidth, scratch.regionHeight}),
              (std::vector<int>{0, 10, 12, 2}));
    EXPECT_EQ(Read(scratch, 0, 11, 2, 1), (std::vector<uint32_t>{0xFF00FF00, 0}));
    scratch.WriteRect(11, 10, 1, 1, dab.data());
    EXPECT_EQ(Read(scratch, 10, 10, 3, 1), (std::vector<uint32_t>{0, 0xFF0000FF, 0}));
    EXPECT_EQ(Read(base, 11, 10, 1, 1), std::vector<uint32_t>{0});  // inner untouched until commit

    ScratchCanvasView orphan(nullptr);
    EXPECT_EQ(orphan.Width(), 0);
    EXPECT_EQ(Read(orphan, 0, 0, 1, 1), std::vector<uint32_t>{0});
}

TEST(CanvasWriteViews, ScratchCommitFormula) {
    struct Case {
        const char* what;
        uint32_t scratch, dest;
        float opacity;
        uint32_t out;
    };
    const Case cases[] = {
        {"opaque at half over transparent", 0xFF204060, 0x00000000, 0.5f, 0x80204060},
        {"alpha 0 skipped", 0x00FFFFFF, 0x11223344, 1, 0x11223344},
        {"alpha 1 counts", 0x01FFFFFF, 0x00000000, 1, 0x01FFFFFF},
        {"opacity 0", 0xFFFFFFFF, 0x11223344, 0, 0x11223344},
        {"negative opacity", 0xFFFFFFFF, 0x11223344, -2, 0x11223344},
        {"opacity above 1 acts as 1", 0xFF102030, 0xFFFFFFFF, 7, 0xFF102030},
        // a = 0.5, outA = 1: colour (1 x 1 x 0.5 + 0.5 x 0) = 0.5 -> 128
        {"half over opaque white", 0xFF000000, 0xFFFFFFFF, 0.5f, 0xFF808080},
    };
    for (const Case& c : cases) {
        TiledBitmap bitmap(4, 4);
        LayerBitmapView base(&bitmap);
        base.WriteRect(1, 1, 1, 1, &c.dest);
        ScratchCanvasView scratch(&base);
        scratch.WriteRect(1, 1, 1, 1, &c.scratch);
        scratch.CommitToInner(&base, c.opacity);
        EXPECT_EQ(Read(base, 1, 1, 1, 1)[0], c.out) << c.what;
    }
}

TEST(CanvasWriteViews, SelectionClippingWeightsWrites) {
    struct Case {
        const char* what;
        uint8_t coverage;
        uint32_t in, dest, out;
    };
    const Case cases[] = {
        {"unselected keeps", 0, 0xFFFFFFFF, 0x80102030, 0x80102030},
        {"selected replaces", 255, 0x12345678, 0xFFFFFFFF, 0x12345678},
        {"half of two transparent", 128, 0x00FFFFFF, 0x00000000, 0x00000000},
        {"half white over black", 128, 0xFFFFFFFF, 0xFF000000, 0xFF808080},
        {"half red over transparent", 128, 0xFFFF0000, 0x00000000, 0x80FF0000},
    };
    for (const Case& c : cases) {
        TiledBitmap bitmap(4, 4);
        LayerBitmapView base(&bitmap);
        base.WriteRect(2, 1, 1, 1, &c.dest);
        SelectionMask mask(4, 4);
        mask.WriteRect(2, 1, 1, 1, &c.coverage);
        SelectionClippingView clip(&base, &mask);
        EXPECT_EQ(Read(clip, 2, 1, 1, 1)[0], c.dest) << c.what;
        clip.WriteRect(2, 1, 1, 1, &c.in);
        EXPECT_EQ(Read(base, 2, 1, 1, 1)[0], c.out) << c.what;
    }

    // Without a mask writes pass; a scratch committed through the clip is weighted.
    TiledBitmap bitmap(4, 4);
    LayerBitmapView base(&bitmap);
    SelectionClippingView open(&base, nullptr);
    const uint32_t px = 0xFF00FF00;
    open.WriteRect(0, 0, 1, 1, &px);
    EXPECT_EQ(Read(base, 0, 0, 1, 1)[0], px);

    SelectionMask mask(4, 4);
    const uint8_t cover[2] = {255, 0};
    mask.WriteRect(0, 3, 2, 1, cover);
    SelectionClippingView clip(&base, &mask);
    ScratchCanvasView scratch(&base);
    const std::vector<uint32_t> stroke(2, 0xFFFF0000);
    scratch.WriteRect(0, 3, 2, 1, stroke.data());
    scratch.CommitToInner(&clip, 1);
    EXPECT_EQ(Read(base, 0, 3, 2, 1), (std::vector<uint32_t>{0xFFFF0000, 0}));
}

TEST(CanvasWriteViews, CloneBackdropIsReadOnly) {
    // 2 x 2 pixels in rows of 12 bytes.
    std::vector<uint8_t> pixels(24, 0);
    pixels[0] = 1;              // (0, 0) blue
    pixels[12 + 4 + 3] = 0xFF;  // (1, 1) alpha
    CloneBackdropView view(pixels.data(), 12, 2, 2);
    EXPECT_EQ(Read(view, 0, 0, 3, 2), (std::vector<uint32_t>{1, 0, 0, 0, 0xFF000000, 0}));
    const std::vector<uint8_t> before = pixels;
    const uint32_t px = 0xFFFFFFFF;
    view.WriteRect(0, 0, 1, 1, &px);
    EXPECT_EQ(pixels, before);
}

}  // namespace
