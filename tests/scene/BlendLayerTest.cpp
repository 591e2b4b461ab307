#include "platform/Bitmap.h"
#include "platform/CompositeSurface.h"
#include "platform/CpuLevel.h"
#include "scene/BlendModes.h"
#include "scene/LayerBlend.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

// Random premultiplied surface (some pixels transparent, some opaque, some
// with colour above alpha as a damaged surface might hold).
void FillSurface(CompositeSurface& s, uint32_t seed) {
    std::mt19937 rng(seed);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            uint8_t* p = s.Row(y) + 4 * x;
            const int kind = int(rng() % 8);
            const uint8_t a = kind == 0 ? 0 : kind < 3 ? 255 : uint8_t(rng());
            for (int c = 0; c < 3; ++c) p[c] = kind == 7 ? uint8_t(rng()) : uint8_t(rng() % (a + 1));
            p[3] = a;
        }
}

BitmapPtr RandomLayer(int w, int h, uint32_t seed) {
    std::mt19937 rng(seed);
    BitmapPtr b = Bitmap::Create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int kind = int(rng() % 4);
            const uint32_t a = kind == 0 ? 0 : kind == 1 ? 255 : rng() & 0xFF;
            b->SetPixel(x, y, (a << 24) | (rng() & 0xFFFFFF));
        }
    return b;
}

std::vector<uint8_t> Bytes(const CompositeSurface& s) {
    return {s.pixels, s.pixels + size_t(s.width) * s.height * 4};
}

// Both paths against their scalar references, for every mode, over odd widths
// and origins that put the four-pixel groups at every alignment.
TEST(BlendLayer, FastPathsMatchScalarReferences) {
    const float opacities[] = {1.0f, 0.6f};
    ForEachCpuLevel([&](CpuLevel level) {
        SCOPED_TRACE(CpuLevelName(level));
        for (int mode = 1; mode < kBlendModeCount; ++mode) {
            if (mode == kBlendPhotoBash) continue;
            SCOPED_TRACE(BlendModeName(mode));
            for (int shift = 0; shift < 4; ++shift)
                for (float opacity : opacities) {
                    BitmapPtr layer = RandomLayer(37, 24, uint32_t(mode * 13 + shift));
                    BlendRect r{shift - 2, 1, std::max(shift - 2, 0), 1, std::min(shift - 2 + 37, 40), 25};
                    for (int path = 0; path < 2; ++path) {
                        CompositeSurface fast, ref;
                        ASSERT_TRUE(fast.Create(40, 27));
                        ASSERT_TRUE(ref.Create(40, 27));
                        FillSurface(fast, uint32_t(mode + 100 * shift));
                        FillSurface(ref, uint32_t(mode + 100 * shift));
                        if (path == 0) {
                            BlendLayerSimd(fast, layer->Data(), layer->Stride(), r, mode, opacity);
                            BlendLayerSimdReference(ref, layer->Data(), layer->Stride(), r, mode, opacity);
                        } else {
                            BlendPixelRows(fast, layer->Data(), layer->Stride(), r, mode, opacity);
                            BlendPixelRowsReference(ref, layer->Data(), layer->Stride(), r, mode, opacity);
                        }
                        ASSERT_EQ(Bytes(fast), Bytes(ref)) << "path " << path << " shift " << shift << " op " << opacity;
                    }
                }
        }
    });
}

// The two paths follow the same formulas and differ only by rounding (and
// divisor floors that valid bytes never reach): one level at most.
TEST(BlendLayer, FourPixelAndPerPixelPathsAgreeWithinOneLevel) {
    BitmapPtr layer = RandomLayer(64, 4, 7);
    for (int mode = 1; mode < kBlendModeCount; ++mode) {
        if (!HasBlendKernel(mode)) continue;
        SCOPED_TRACE(BlendModeName(mode));
        CompositeSurface a, b;
        ASSERT_TRUE(a.Create(64, 4));
        ASSERT_TRUE(b.Create(64, 4));
        for (CompositeSurface* s : {&a, &b}) {
            std::mt19937 rng{uint32_t(mode)};
            for (int i = 0; i < 64 * 4; ++i) {  // valid premultiplied pixels
                const uint8_t al = uint8_t(rng());
                for (int c = 0; c < 3; ++c) s->pixels[4 * i + c] = uint8_t(rng() % (al + 1));
                s->pixels[4 * i + 3] = al;
            }
        }
        const BlendRect r{0, 0, 0, 0, 64, 4};
        BlendLayerSimd(a, layer->Data(), layer->Stride(), r, mode, 0.8f);
        BlendPixelRows(b, layer->Data(), layer->Stride(), r, mode, 0.8f);
        for (int i = 0; i < 64 * 4 * 4; ++i) ASSERT_NEAR(a.pixels[i], b.pixels[i], 1) << i;
    }
}

TEST(BlendLayer, SixPixelRowSplitsIntoGroupAndTail) {
    // Pixels 0-3 take the four-pixel kernel, 4 and 5 the per-pixel composite.
    BitmapPtr layer = RandomLayer(6, 1, 3);
    CompositeSurface s, groups, pixels;
    for (CompositeSurface* t : {&s, &groups, &pixels}) {
        ASSERT_TRUE(t->Create(6, 1));
        FillSurface(*t, 5);
    }
    DrawLayerWithBlend(s, *layer, 0, 0, kBlendScreen, 0.9f, {});
    const BlendRect r{0, 0, 0, 0, 6, 1};
    BlendLayerSimdReference(groups, layer->Data(), layer->Stride(), r, kBlendScreen, 0.9f);
    BlendPixelRowsReference(pixels, layer->Data(), layer->Stride(), r, kBlendScreen, 0.9f);
    EXPECT_EQ(0, std::memcmp(s.pixels, groups.pixels, 24));
    EXPECT_EQ(0, std::memcmp(s.pixels + 16, pixels.pixels + 16, 8));
}

TEST(BlendLayer, DissolveIsDeterministicDither) {
    BitmapPtr layer = Bitmap::Create(64, 64);
    layer->Clear(0xFF336699);
    CompositeSurface a, b;
    ASSERT_TRUE(a.Create(80, 80));
    ASSERT_TRUE(b.Create(80, 80));
    a.Clear(0x80101010);
    b.Clear(0x80101010);
    DrawLayerWithBlend(a, *layer, 8, 8, kBlendDissolve, 0.5f, {});
    DrawLayerWithBlend(b, *layer, 8, 8, kBlendDissolve, 0.5f, {});
    EXPECT_EQ(Bytes(a), Bytes(b));
    int replaced = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x) {
            const uint32_t p = reinterpret_cast<const uint32_t*>(a.Row(y))[x];
            const bool inside = x >= 8 && x < 72 && y >= 8 && y < 72;
            if (p == 0xFF336699u) {
                ASSERT_TRUE(inside);
                ++replaced;
            } else {
                ASSERT_EQ(p, 0x80101010u);  // no partial blending anywhere
            }
        }
    EXPECT_NEAR(replaced / 4096.0, 0.5, 0.05);
    // The dots depend on the surface position only.
    EXPECT_EQ(DissolveThreshold(12, 34), DissolveThreshold(12, 34));
    EXPECT_NE(DissolveThreshold(12, 34), DissolveThreshold(13, 34));
}

TEST(BlendLayer, DrawLayerWithBlendEdges) {
    BitmapPtr layer = Bitmap::Create(4, 4);
    layer->Clear(0xFF808080);
    CompositeSurface s;
    ASSERT_TRUE(s.Create(8, 8));
    s.Clear(0xFF202020);
    s.dirty = false;
    const auto before = Bytes(s);

    // Entirely outside: nothing changes, the dirty flag stays clear.
    DrawLayerWithBlend(s, *layer, 8, 0, kBlendMultiply, 1.0f, {});
    DrawLayerWithBlend(s, *layer, -4, -9, kBlendMultiply, 1.0f, {});
    EXPECT_EQ(Bytes(s), before);
    EXPECT_FALSE(s.dirty);

    // Opacity below 0 acts as 0.
    DrawLayerWithBlend(s, *layer, 0, 0, kBlendScreen, -2.0f, {});
    EXPECT_EQ(Bytes(s), before);

    // -0.5 truncates to column 0: the layer covers columns 0-3 exactly.
    DrawLayerWithBlend(s, *layer, -0.5f, -0.5f, kBlendLighten, 5.0f, {});
    EXPECT_TRUE(s.dirty);
    EXPECT_EQ(reinterpret_cast<const uint32_t*>(s.Row(3))[3], 0xFF808080u);
    EXPECT_EQ(reinterpret_cast<const uint32_t*>(s.Row(3))[4], 0xFF202020u);
    EXPECT_EQ(reinterpret_cast<const uint32_t*>(s.Row(4))[0], 0xFF202020u);
}

TEST(BlendLayer, TransparentSurfaceTakesPremultipliedSource) {
    BitmapPtr layer = Bitmap::Create(9, 2);
    layer->Clear(0xC0A05020);  // alpha 192
    for (int mode = 1; mode < kBlendModeCount; ++mode) {
        if (mode == kBlendDissolve || mode == kBlendPhotoBash) continue;
        SCOPED_TRACE(BlendModeName(mode));
        CompositeSurface s;
        ASSERT_TRUE(s.Create(9, 2));
        DrawLayerWithBlend(s, *layer, 0, 0, mode, 0.5f, {});
        const float as = 192 / 255.0f * 0.5f;
        for (int x = 0; x < 9; ++x) {
            const uint8_t* p = s.Row(1) + 4 * x;
            EXPECT_NEAR(p[3], as * 255, 0.51);
            EXPECT_NEAR(p[2], 0xA0 * as, 0.51);
            EXPECT_NEAR(p[1], 0x50 * as, 0.51);
            EXPECT_NEAR(p[0], 0x20 * as, 0.51);
        }
    }
}

TEST(BlendLayer, NormalIsSourceOver) {
    BitmapPtr layer = Bitmap::Create(3, 3);
    layer->Clear(0x80FF0000);
    CompositeSurface s;
    ASSERT_TRUE(s.Create(5, 5));
    s.Clear(0xFF0000FF);
    s.dirty = false;
    DrawLayerWithBlend(s, *layer, 1, 1, kBlendNormal, 1.0f, {});
    EXPECT_FALSE(s.dirty);
    const uint8_t* p = s.Row(2) + 8;
    EXPECT_EQ(p[3], 255);
    EXPECT_NEAR(p[2], 128, 1);
    EXPECT_NEAR(p[0], 127, 1);
    EXPECT_EQ(reinterpret_cast<const uint32_t*>(s.Row(0))[0], 0xFF0000FFu);
}

}  // namespace
