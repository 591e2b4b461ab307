#include "filters/StackBlur.h"
#include "platform/Bitmap.h"
#include "platform/CompositeSurface.h"
#include "scene/BlendModes.h"
#include "scene/LayerBlend.h"
#include "scene/PhotoBashBlend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const CompositeSurface& s) { return {s.pixels, s.pixels + size_t(s.width) * s.height * 4}; }

BitmapPtr NoisyLayer(int w, int h, uint32_t seed) {
    std::mt19937 rng(seed);
    BitmapPtr b = Bitmap::Create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b->SetPixel(x, y, 0xFF000000u | (rng() & 0xFFFFFF));
    return b;
}

TEST(BlendPhotoBash, MixZeroCompositesOwnColoursAndForcesAlpha) {
    BitmapPtr layer = NoisyLayer(10, 6, 1);
    layer->SetPixel(3, 2, 0x00FFFFFF);  // transparent: untouched
    layer->SetPixel(4, 2, 0x40FFFFFF);  // partial coverage
    CompositeSurface s;
    ASSERT_TRUE(s.Create(16, 12));
    s.Clear(0x80402010);
    DrawLayerBackdropBlur(s, *layer, 3.7f, 2.2f, 1.0f, 5, 5, 0.0f);  // origin truncates to (3, 2)
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x) {
            const uint32_t lp = layer->Pixel(x, y);
            const uint8_t* d = s.Row(y + 2) + 4 * (x + 3);
            const int a8 = (int(lp >> 24) * 256 + 127) >> 8;
            if (a8 == 0) {
                EXPECT_EQ(*reinterpret_cast<const uint32_t*>(d), 0x80402010u);
                continue;
            }
            const uint8_t before[3] = {0x10, 0x20, 0x40};
            for (int c = 0; c < 3; ++c) {
                const int k = int((lp >> (8 * c)) & 0xFF);
                EXPECT_EQ(d[c], ((256 - a8) * before[c] + a8 * k + 128) >> 8);
            }
            EXPECT_EQ(d[3], 255);
        }
    EXPECT_EQ(*reinterpret_cast<const uint32_t*>(s.Row(1)), 0x80402010u);
}

TEST(BlendPhotoBash, OpacityZeroAndOutsideLeaveSurface) {
    BitmapPtr layer = NoisyLayer(8, 8, 2);
    CompositeSurface s;
    ASSERT_TRUE(s.Create(8, 8));
    s.Clear(0xFF112233);
    const auto before = Bytes(s);
    DrawLayerBackdropBlur(s, *layer, 0, 0, 0.0f, 4, 4, 1.0f);
    DrawLayerBackdropBlur(s, *layer, 8, 0, 1.0f, 4, 4, 1.0f);
    DrawLayerBackdropBlur(s, *layer, -8, -8, 1.0f, 4, 4, 1.0f);
    EXPECT_EQ(Bytes(s), before);
}

TEST(BlendPhotoBash, RadiiClampToOneAndTwoFiftyFour) {
    BitmapPtr layer = NoisyLayer(20, 14, 3);
    auto run = [&](int bg, int fg) {
        CompositeSurface s;
        EXPECT_TRUE(s.Create(24, 18));
        std::mt19937 rng(9);
        for (int i = 0; i < 24 * 18; ++i)
            for (int c = 0; c < 4; ++c) s.pixels[4 * i + c] = c == 3 ? 255 : uint8_t(rng());
        DrawLayerBackdropBlur(s, *layer, 2, 2, 0.8f, bg, fg, 0.6f);
        return Bytes(s);
    };
    EXPECT_EQ(run(0, -5), run(1, 1));
    EXPECT_EQ(run(300, 1000), run(254, 254));
    EXPECT_NE(run(1, 1), run(254, 254));
}

TEST(BlendPhotoBash, MixOneTransplantsBlurredBackdrop) {
    // A detailed layer inside a uniform backdrop: each pixel becomes
    // K = blurred backdrop + (layer - its own blur), laid over the surface at
    // a8 = (255 x 256 + 127) >> 8 = 255 of 256.
    const int w = 12, h = 9, r = 3;
    BitmapPtr layer = NoisyLayer(w, h, 4);
    CompositeSurface s;
    ASSERT_TRUE(s.Create(30, 30));
    s.Clear(0xFF5080B0);
    std::vector<uint8_t> back(size_t(w) * h * 4), fore(size_t(w) * h * 4);
    for (int i = 0; i < w * h; ++i) {
        back[4 * i] = 0xB0, back[4 * i + 1] = 0x80, back[4 * i + 2] = 0x50, back[4 * i + 3] = 0xFF;
        std::memcpy(&fore[4 * i], layer->Row(i / w) + 4 * (i % w), 4);
    }
    CGaussianRecBlur blur;
    blur.StackBlurColor32(back.data(), w, h, r, r);
    blur.StackBlurColor32(fore.data(), w, h, r, r);
    DrawLayerWithBlend(s, *layer, 10, 10, kBlendPhotoBash, 1.0f, {float(r), float(r), 1.0f});
    for (int i = 0; i < w * h; ++i) {
        const uint8_t* d = s.Row(10 + i / w) + 4 * (10 + i % w);
        const uint8_t* l = layer->Row(i / w) + 4 * (i % w);
        const int before[3] = {0xB0, 0x80, 0x50};
        for (int c = 0; c < 3; ++c) {
            const int k = std::clamp(int(back[4 * i + c]) - int(fore[4 * i + c]) + l[c], 0, 255);
            ASSERT_EQ(d[c], (before[c] + 255 * k + 128) >> 8) << i;
        }
    }
    // Pixels outside the layer are untouched.
    EXPECT_EQ(*reinterpret_cast<const uint32_t*>(s.Row(9) + 40), 0xFF5080B0u);
}

TEST(BlendPhotoBash, BackdropDarkensNearSurfaceEdges) {
    BitmapPtr layer = Bitmap::Create(40, 40);
    layer->Clear(0xFF808080);
    CompositeSurface s;
    ASSERT_TRUE(s.Create(40, 40));
    s.Clear(0xFF808080);
    DrawLayerBackdropBlur(s, *layer, -20, -20, 1.0f, 10, 10, 1.0f);  // half the layer hangs off the surface
    EXPECT_LT(s.Row(0)[0], s.Row(19)[19 * 4]);
    EXPECT_EQ(s.Row(19)[19 * 4 + 3], 255);
}

}  // namespace
