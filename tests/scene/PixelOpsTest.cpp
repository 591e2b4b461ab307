#include "platform/Codecs.h"
#include "scene/CanvasObject.h"
#include "scene/PixelOps.h"
#include "scene/SelectionMask.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include <cstring>
#include <vector>

namespace {

// One B, G, R, A pixel run through a 32-bit op with an optional selection byte.
std::vector<uint8_t> Run32(PixelOp32 op, std::vector<uint8_t> px, const uint8_t* m, const void* params) {
    op(px.data(), 1, 1, 4, m, 1, params);
    return px;
}

uint8_t Run8(PixelOp8 op, uint8_t b, const uint8_t* m, const void* params) {
    op(&b, 1, 1, m, 1, params);
    return b;
}

TEST(PixelOps, FormulasWithAndWithoutSelection) {
    const uint8_t half = 128, none = 0;
    const float plus50 = 50, minus100 = -100, tiny = 0.3f, minusTiny = -0.3f, huge = 1e9f;
    struct Case {
        const char* what;
        PixelOp32 op32;
        PixelOp8 op8;
        const uint8_t* m;
        const void* params;
        uint8_t in, out;
    };
    const Case cases[] = {
        {"invert", InvertPixelsMasked, InvertMaskBytes, nullptr, nullptr, 10, 245},
        {"invert half, 0", InvertPixelsMasked, InvertMaskBytes, &half, nullptr, 0, 128},
        {"invert half, 255", InvertPixelsMasked, InvertMaskBytes, &half, nullptr, 255, 127},
        {"invert unselected", InvertPixelsMasked, InvertMaskBytes, &none, nullptr, 77, 77},
        {"brightness +50", BrightnessMasked, BrightnessPlain, nullptr, &plus50, 100, 164},
        {"brightness -100", BrightnessMasked, BrightnessPlain, nullptr, &minus100, 100, 0},
        {"brightness 0.3", BrightnessMasked, BrightnessPlain, nullptr, &tiny, 100, 100},
        {"brightness -0.3", BrightnessMasked, BrightnessPlain, nullptr, &minusTiny, 100, 100},
        {"brightness clamped amount", BrightnessMasked, BrightnessPlain, nullptr, &huge, 100, 227},
        {"brightness no params", BrightnessMasked, BrightnessPlain, nullptr, nullptr, 100, 100},
        // ((255 - 128) * 100 + 164 * 128 + 127) / 255 = 132
        {"brightness half", BrightnessMasked, BrightnessPlain, &half, &plus50, 100, 132},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> px = Run32(c.op32, {c.in, c.in, c.in, 42}, c.m, c.params);
        EXPECT_EQ(px, (std::vector<uint8_t>{c.out, c.out, c.out, 42})) << c.what;
        EXPECT_EQ(Run8(c.op8, c.in, c.m, c.params), c.out) << c.what;
    }
}

TEST(PixelOps, InvertMaskBytesMatchesTheFormulaForEveryPair) {
    // Every (byte, coverage) pair, at offsets 0..3 and an odd row width, with
    // the selection apart from the plane and (the byte-wise path) inside it.
    auto formula = [](int b, int m) { return uint8_t(((255 - b) * m + (255 - m) * b + 127) / 255); };
    for (int offset = 0; offset < 4; ++offset) {
        std::vector<uint8_t> plane(256 * 256 + 4), sel(256 * 256 + 4);
        for (int i = 0; i < 256 * 256; ++i) {
            plane[size_t(offset + i)] = uint8_t(i & 255);
            sel[size_t(offset + i)] = uint8_t(i >> 8);
        }
        InvertMaskBytes(plane.data() + offset, 257, 255, sel.data() + offset, 257, nullptr);
        for (int i = 0; i < 257 * 255; ++i) {
            ASSERT_EQ(plane[size_t(offset + i)], formula(i & 255, i >> 8)) << "offset " << offset << " at " << i;
        }
    }
    std::vector<uint8_t> same(256);
    for (int i = 0; i < 256; ++i) same[size_t(i)] = uint8_t(i);
    InvertMaskBytes(same.data(), 16, 16, same.data(), 16, nullptr);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(same[size_t(i)], formula(i, i)) << i;
}

TEST(PixelOps, InvertTwiceRestoresAndRowsHonourPitch) {
    // 3 x 2 pixels in rows of 16 bytes; the padding must stay untouched.
    std::vector<uint8_t> px(32);
    for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i * 7);
    const std::vector<uint8_t> before = px;
    InvertPixelsMasked(px.data(), 3, 2, 16, nullptr, 0, nullptr);
    EXPECT_EQ(px[12], before[12]);
    EXPECT_EQ(px[3], before[3]);  // alpha
    EXPECT_EQ(px[0], 255 - before[0]);
    InvertPixelsMasked(px.data(), 3, 2, 16, nullptr, 0, nullptr);
    EXPECT_EQ(px, before);
}

TEST(PixelOps, SelectionRectangle) {
    int x = -1, y = -1, w = -1, h = -1;
    EXPECT_FALSE(GetSelectionRectOrAll(nullptr, 0, 5, x, y, w, h));
    ASSERT_TRUE(GetSelectionRectOrAll(nullptr, 8, 6, x, y, w, h));
    EXPECT_EQ((std::vector<int>{x, y, w, h}), (std::vector<int>{0, 0, 8, 6}));

    SelectionMask mask(100, 100);
    ASSERT_TRUE(GetSelectionRectOrAll(&mask, 8, 6, x, y, w, h));  // selects nothing: whole image
    EXPECT_EQ(w, 8);
    std::vector<uint8_t> on(10 * 10, 255);
    mask.Combine(kSelectionReplace, 5, 4, 10, 10, on.data());
    ASSERT_TRUE(GetSelectionRectOrAll(&mask, 8, 6, x, y, w, h));
    EXPECT_EQ((std::vector<int>{x, y, w, h}), (std::vector<int>{5, 4, 3, 2}));
    mask.Combine(kSelectionReplace, 50, 50, 10, 10, on.data());
    EXPECT_FALSE(GetSelectionRectOrAll(&mask, 8, 6, x, y, w, h));

    std::vector<uint8_t> buffer;
    EXPECT_EQ(ObjectMaskHasPixels(nullptr, 0, 0, 4, 4, buffer), nullptr);
    const uint8_t* bytes = ObjectMaskHasPixels(&mask, 48, 50, 4, 1, buffer);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 4), (std::vector<uint8_t>{0, 0, 255, 255}));
}

std::vector<uint8_t> Png(int w, int h, uint32_t argb) {
    BitmapPtr b = Bitmap::Create(w, h);
    b->Clear(argb);
    std::vector<uint8_t> png;
    EXPECT_TRUE(EncodeBitmapToPng(*b, png));
    return png;
}

TEST(PixelOps, ObjectImageHonoursTheSelectionOnlyWhenOnTheCanvas) {
    const std::vector<uint8_t> stored = Png(4, 4, 0xFF000000);
    SelectionMask mask(4, 4);
    std::vector<uint8_t> on(2 * 4, 255);
    mask.Combine(kSelectionReplace, 0, 0, 2, 4, on.data());  // left half

    CanvasObject o;
    o.width = 4.9f;  // truncated: 4
    o.height = 4;
    std::vector<uint8_t> out;
    ASSERT_TRUE(ApplyPixelOpToObject(stored, InvertPixelsMasked, out, &o, &mask));
    BitmapPtr r = DecodePngToBitmap(out);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Pixel(0, 3), 0xFFFFFFFFu);
    EXPECT_EQ(r->Pixel(3, 0), 0xFF000000u);

    o.rotation = 1;  // off the canvas grid: the whole image
    ASSERT_TRUE(ApplyPixelOpToObject(stored, InvertPixelsMasked, out, &o, &mask));
    EXPECT_EQ(DecodePngToBitmap(out)->Pixel(3, 0), 0xFFFFFFFFu);

    // A selection that misses the image changes nothing: the input comes back.
    o.rotation = 0;
    SelectionMask far(100, 100);
    far.Combine(kSelectionReplace, 50, 50, 2, 4, on.data());
    ASSERT_TRUE(ApplyPixelOpToObject(stored, InvertPixelsMasked, out, &o, &far));
    EXPECT_EQ(out, stored);

    // Other formats come back as PNG.
    cv::Mat jpegImage(4, 4, CV_8UC3, cv::Scalar(10, 20, 30));
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(cv::imencode(".jpg", jpegImage, jpeg));
    ASSERT_TRUE(ApplyPixelOpToObject(jpeg, InvertPixelsMasked, out, nullptr, nullptr));
    ASSERT_GE(out.size(), 8u);
    EXPECT_EQ(std::memcmp(out.data(), "\x89PNG", 4), 0);

    const std::vector<uint8_t> kept = out;
    EXPECT_FALSE(ApplyPixelOpToObject({1, 2, 3}, InvertPixelsMasked, out, nullptr, nullptr));
    EXPECT_FALSE(ApplyPixelOpToObject(stored, nullptr, out, nullptr, nullptr));
    EXPECT_EQ(out, kept);
}

TEST(PixelOps, PlaneRectangles) {
    struct Case {
        int x, y, w, h;
        std::vector<uint8_t> out;
    };
    // A 3 x 2 plane of zeros, inverted over a rectangle.
    const Case cases[] = {
        {0, 0, 3, 2, {255, 255, 255, 255, 255, 255}},
        {1, 1, 2, 1, {0, 0, 0, 0, 255, 255}},
        {1, 0, 3, 1, {0, 0, 0, 0, 0, 0}},  // one past the right edge
        {0, 1, 1, 2, {0, 0, 0, 0, 0, 0}},  // one past the bottom
        {-1, 0, 1, 1, {0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> plane(6, 0);
        ApplyPixelOpToRect(plane.data(), 3, 2, c.x, c.y, c.w, c.h, InvertMaskBytes, nullptr, nullptr, 0);
        EXPECT_EQ(plane, c.out) << c.x << "," << c.y << " " << c.w << "x" << c.h;
    }
    // The selection bytes follow the rectangle, with their own pitch.
    std::vector<uint8_t> plane(6, 0);
    const uint8_t sel[4] = {255, 0, 9, 9};
    ApplyPixelOpToRect(plane.data(), 3, 2, 1, 0, 2, 1, InvertMaskBytes, nullptr, sel, 4);
    EXPECT_EQ(plane, (std::vector<uint8_t>{0, 255, 0, 0, 0, 0}));
}

TEST(PixelOps, PngStreamsAndBitmapCopies) {
    const std::vector<uint8_t> png = Png(3, 2, 0x80112233);
    std::vector<uint8_t> direct;
    BitmapPtr src = DecodePngToBitmap(png);
    ASSERT_TRUE(src);
    ASSERT_TRUE(EncodePng(*src, direct));
    EXPECT_EQ(png.size(), direct.size());
    // Exactly the encoder's bytes: the stream ends with the IEND chunk.
    ASSERT_GE(png.size(), 12u);
    EXPECT_EQ(std::memcmp(png.data() + png.size() - 8, "IEND\xAE\x42\x60\x82", 8), 0);
    EXPECT_EQ(src->Pixel(2, 1), 0x80112233u);
    EXPECT_EQ(DecodePngToBitmap({}), nullptr);

    // Resampling a strided view gives an exact copy with tight rows.
    std::vector<uint8_t> memory(2 * 12, 0xEE);
    for (int i = 0; i < 8; ++i) memory[size_t(i)] = uint8_t(i);
    for (int i = 0; i < 8; ++i) memory[size_t(12 + i)] = uint8_t(100 + i);
    BitmapPtr view = Bitmap::Wrap(memory.data(), 2, 2, 12);
    BitmapPtr copy = ResampleBitmap(*view);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->Stride(), 8);
    EXPECT_EQ(copy->Pixel(1, 1), view->Pixel(1, 1));
    EXPECT_EQ(copy->Pixel(0, 0), view->Pixel(0, 0));

    BitmapPtr dst = Bitmap::Create(2, 2);
    ASSERT_TRUE(CopyBitmapPixels(*view, *dst));
    EXPECT_EQ(dst->Pixel(1, 0), view->Pixel(1, 0));
    BitmapPtr other = Bitmap::Create(2, 3);
    EXPECT_FALSE(CopyBitmapPixels(*view, *other));
}

}  // namespace
