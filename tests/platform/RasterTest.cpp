#include "platform/Bitmap.h"
#include "platform/CompositeSurface.h"
#include "platform/CpuLevel.h"
#include "platform/Raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <numeric>
#include <random>

#include <omp.h>

namespace {

BitmapPtr Pattern(int w, int h) {
    BitmapPtr b = Bitmap::Create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b->SetPixel(x, y, (uint32_t(40 + (x * 37 + y * 11) % 200) << 24) | uint32_t(x * 13 % 256) << 16 |
                                  uint32_t(y * 29 % 256) << 8 | uint32_t((x + y) * 7 % 256));
    return b;
}

double Sum(const std::vector<float>& v) { return std::accumulate(v.begin(), v.end(), 0.0); }

TEST(Raster, NearestCopyIsPixelExact) {
    // Straight bytes survive a source-copy draw unchanged, including translucent ones.
    BitmapPtr src = Pattern(7, 5);
    BitmapPtr dst = Bitmap::Create(12, 9);
    ImageDrawOptions o;
    o.interpolation = Interpolation::Nearest;
    o.compositing = Compositing::SourceCopy;
    ASSERT_TRUE(DrawBitmapRect(RasterTarget::Of(*dst), *src, {3, 2, 7, 5}, o));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool in = x >= 3 && x < 10 && y >= 2 && y < 7;
            ASSERT_EQ(dst->Pixel(x, y), in ? src->Pixel(x - 3, y - 2) : 0u) << x << "," << y;
        }
}

TEST(Raster, NearestUpscaleRepeatsTexels) {
    BitmapPtr src = Pattern(3, 2);
    BitmapPtr dst = Bitmap::Create(6, 4);
    ImageDrawOptions o;
    o.interpolation = Interpolation::Nearest;
    o.compositing = Compositing::SourceCopy;
    ASSERT_TRUE(DrawBitmapRect(RasterTarget::Of(*dst), *src, {0, 0, 6, 4}, o));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(dst->Pixel(x, y), src->Pixel(x / 2, y / 2));
}

TEST(Raster, FilteredDrawsOfConstantImageStayConstant) {
    BitmapPtr src = Bitmap::Create(9, 7);
    src->Clear(0xFF4080C0);
    struct Case {
        Interpolation interp;
        RectF dest;
        double rotation;
    } cases[] = {
        {Interpolation::Bilinear, {1.3f, 0.7f, 23.5f, 17.2f}, 0},
        {Interpolation::Bicubic, {1.3f, 0.7f, 23.5f, 17.2f}, 0},
        {Interpolation::Bicubic, {2, 2, 30, 20}, 33},
        {Interpolation::Bicubic, {4.5f, 3.2f, 3, 2}, 0},  // shrinking takes the prefilter
        {Interpolation::Bilinear, {2, 2, 30, 20}, -71},
    };
    for (const Case& c : cases) {
        CompositeSurface s;
        ASSERT_TRUE(s.Create(40, 32));
        Affine rot = Affine::RotationAbout(c.rotation, c.dest.x + c.dest.width / 2, c.dest.y + c.dest.height / 2);
        ImageDrawOptions o;
        o.interpolation = c.interp;
        o.world = &rot;
        ASSERT_TRUE(DrawBitmapRect(RasterTarget::Of(s), *src, c.dest, o));
        int full = 0;
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x) {
                const uint8_t* p = s.Row(y) + x * 4;
                if (p[3] != 255) continue;  // edge pixels are covered partially
                ++full;
                ASSERT_EQ(p[0], 0xC0);
                ASSERT_EQ(p[1], 0x80);
                ASSERT_EQ(p[2], 0x40);
            }
        EXPECT_GT(full, 0);
    }
}

TEST(Raster, PolygonCoverageIsExactArea) {
    struct Case {
        std::vector<PointF> pts;
        double area;
    } cases[] = {
        {{{1.25f, 1.5f}, {9.75f, 1.5f}, {9.75f, 7.25f}, {1.25f, 7.25f}}, 8.5 * 5.75},
        {{{2, 1}, {14, 3}, {5, 13.5f}}, 0.5 * std::fabs(12.0 * 12.5 - 3.0 * 2.0)},
        {{{0.3f, 0.3f}, {15.2f, 4.1f}, {11.7f, 15.6f}, {6.1f, 9.9f}, {1.4f, 14.2f}}, 0},
        {{{-5, -5}, {8.5f, -5}, {8.5f, 6.5f}, {-5, 6.5f}}, 8.5 * 6.5},  // clipped at the edges
    };
    // Shoelace area for the general polygon.
    auto& p = cases[2].pts;
    double a = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const PointF& u = p[i];
        const PointF& v = p[(i + 1) % p.size()];
        a += double(u.x) * v.y - double(v.x) * u.y;
    }
    cases[2].area = std::fabs(a) / 2;
    for (const Case& c : cases) {
        RasterPath path;
        path.AddPolygon(c.pts.data(), int(c.pts.size()));
        for (FillRule rule : {FillRule::Winding, FillRule::EvenOdd})
            EXPECT_NEAR(Sum(RasterizeCoverage(path, 16, 16, rule)), c.area, 1e-3);
    }
    // A pixel cut by a diagonal through its corners is half covered.
    RasterPath tri;
    const PointF t[3] = {{0, 0}, {4, 0}, {0, 4}};
    tri.AddPolygon(t, 3);
    auto cov = RasterizeCoverage(tri, 4, 4, FillRule::Winding);
    EXPECT_NEAR(cov[0 * 4 + 3], 0.5, 1e-5);
    EXPECT_NEAR(cov[1 * 4 + 2], 0.5, 1e-5);
    EXPECT_NEAR(cov[0], 1.0, 1e-5);
}

TEST(Raster, FillRulesOnOverlappingFigures) {
    // Two same-direction squares overlapping in [4, 6) x [0, 10]: winding fills
    // the overlap once, even-odd leaves it empty. A reversed inner square is a hole under both.
    RasterPath p;
    p.AddRect({0, 0, 6, 10});
    p.AddRect({4, 0, 6, 10});
    EXPECT_NEAR(Sum(RasterizeCoverage(p, 12, 12, FillRule::Winding)), 100, 1e-3);
    EXPECT_NEAR(Sum(RasterizeCoverage(p, 12, 12, FillRule::EvenOdd)), 80, 1e-3);
    auto cov = RasterizeCoverage(p, 12, 12, FillRule::EvenOdd);
    EXPECT_EQ(cov[5 * 12 + 5], 0.0f);

    RasterPath hole;
    hole.AddRect({0, 0, 10, 10});
    const PointF inner[4] = {{3, 3}, {3, 7}, {7, 7}, {7, 3}};
    hole.AddPolygon(inner, 4);
    EXPECT_NEAR(Sum(RasterizeCoverage(hole, 12, 12, FillRule::Winding)), 84, 1e-3);
}

TEST(Raster, RoundedRectAndEllipseAreas) {
    RasterPath e;
    e.AddEllipse({2, 2, 40, 30});
    EXPECT_NEAR(Sum(RasterizeCoverage(e, 48, 48, FillRule::Winding)), M_PI * 20 * 15, 1.5);
    RasterPath r;
    r.AddRoundedRect({1, 1, 30, 20}, 5, 5);
    EXPECT_NEAR(Sum(RasterizeCoverage(r, 48, 48, FillRule::Winding)), 30 * 20 - (4 - M_PI) * 25, 1.0);
}

TEST(Raster, SourceOverFormulaOnBothTargets) {
    // Straight source (200, 100, 50) alpha 128 over (10, 20, 30) alpha 200.
    const float as = 128 / 255.0f, ab = 200 / 255.0f;
    const float ao = as + ab * (1 - as);
    const float src[3] = {50, 100, 200}, dst[3] = {30, 20, 10};  // B, G, R
    BitmapPtr s = Bitmap::Create(1, 1);
    s->SetPixel(0, 0, 0x80C86432);

    BitmapPtr straight = Bitmap::Create(1, 1);
    straight->SetPixel(0, 0, 0xC80A141E);
    ASSERT_TRUE(DrawBitmapRect(RasterTarget::Of(*straight), *s, {0, 0, 1, 1}));

    CompositeSurface surf;
    ASSERT_TRUE(surf.Create(1, 1));
    uint8_t* p = surf.Row(0);
    for (int c = 0; c < 3; ++c) p[c] = uint8_t(dst[c] * ab + 0.5f);
    p[3] = 200;
    const uint8_t before[3] = {p[0], p[1], p[2]};
    ASSERT_TRUE(DrawBitmapRect(RasterTarget::Of(surf), *s, {0, 0, 1, 1}));

    const uint32_t out = straight->Pixel(0, 0);
    EXPECT_EQ(int(out >> 24), int(ao * 255 + 0.5f));
    EXPECT_EQ(int(p[3]), int(ao * 255 + 0.5f));
    for (int c = 0; c < 3; ++c) {
        const float premul = src[c] / 255 * as + dst[c] / 255 * ab * (1 - as);
        EXPECT_NEAR(int((out >> (8 * c)) & 0xFF), premul / ao * 255, 0.51) << c;
        EXPECT_NEAR(int(p[c]), src[c] * as + before[c] * (1 - as), 0.51) << c;
    }
}

TEST(Raster, WholePixelDrawsFollowSourceOverOnEveryPixel) {
    // Unscaled draws at whole-pixel positions take the row loop; check it
    // against the formula over odd widths, clipping and translucent pixels.
    BitmapPtr src = Pattern(29, 6);
    CompositeSurface s;
    ASSERT_TRUE(s.Create(33, 9));
    for (int i = 0; i < 33 * 9 * 4; ++i) s.pixels[i] = uint8_t(i * 7 % 251);
    for (int i = 0; i < 33 * 9; ++i) s.pixels[4 * i] = std::min(s.pixels[4 * i], s.pixels[4 * i + 3]);
    std::vector<uint8_t> before(s.pixels, s.pixels + 33 * 9 * 4);
    ImageDrawOptions o;
    o.opacity = 0.7f;
    ASSERT_TRUE(DrawBitmapRect(RasterTarget::Of(s), *src, {-2, 1, 29, 6}, o));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 33; ++x) {
            const uint8_t* d = s.Row(y) + 4 * x;
            const uint8_t* b = before.data() + (y * 33 + x) * 4;
            const int sx = x + 2, sy = y - 1;
            if (sx >= 29 || sy < 0 || sy >= 6) {
                ASSERT_EQ(0, std::memcmp(d, b, 4));
                continue;
            }
            const uint32_t p = src->Pixel(sx, sy);
            const double as = (p >> 24) / 255.0 * 0.7;
            for (int c = 0; c < 4; ++c) {
                const double sc = c == 3 ? as : ((p >> (8 * c)) & 0xFF) / 255.0 * as;
                ASSERT_NEAR(d[c], (sc + b[c] / 255.0 * (1 - as)) * 255, 0.51) << x << "," << y << " c" << c;
            }
        }
}

TEST(Raster, OpacityMatrixAndEdges) {
    BitmapPtr src = Bitmap::Create(4, 4);
    src->Clear(0xFFFFFFFF);
    CompositeSurface s;
    ASSERT_TRUE(s.Create(8, 8));
    // Alpha-scaling matrix and opacity multiply; half-covered edge pixels get half of that.
    ColorMatrix half = ColorMatrix::AlphaScale(0.5f);
    ImageDrawOptions o;
    o.colorMatrix = &half;
    o.opacity = 0.5f;
    ASSERT_TRUE(DrawBitmapRect(RasterTarget::Of(s), *src, {1.5f, 2, 4, 4}, o));
    EXPECT_EQ(s.Row(3)[3 * 4 + 3], 64);   // 0.25
    EXPECT_EQ(s.Row(3)[1 * 4 + 3], 32);   // 0.125 at the half-covered left edge
    EXPECT_EQ(s.Row(3)[5 * 4 + 3], 32);
    EXPECT_EQ(s.Row(1)[3 * 4 + 3], 0);

    // A general matrix works on straight colour: swap red into blue.
    ColorMatrix swap;
    swap.m[0][0] = 0, swap.m[0][2] = 1, swap.m[2][2] = 0;
    BitmapPtr red = Bitmap::Create(2, 2);
    red->Clear(0x80FF0000);
    BitmapPtr dst = Bitmap::Create(2, 2);
    ImageDrawOptions m;
    m.colorMatrix = &swap;
    m.compositing = Compositing::SourceCopy;
    ASSERT_TRUE(DrawBitmapRect(RasterTarget::Of(*dst), *red, {0, 0, 2, 2}, m));
    EXPECT_EQ(dst->Pixel(1, 1), 0x800000FFu);
}

TEST(Raster, ClearAndFillOnPremultipliedTarget) {
    CompositeSurface s;
    ASSERT_TRUE(s.Create(4, 4));
    ClearTarget(RasterTarget::Of(s), 0x80FF0000);
    EXPECT_EQ(s.Row(0)[2], 128);
    EXPECT_EQ(s.Row(0)[3], 128);
    FillRect(RasterTarget::Of(s), {0, 0, 4, 2}, 0xFF0000FF);
    EXPECT_EQ(*reinterpret_cast<const uint32_t*>(s.Row(1)), 0xFF0000FFu);
    FillOptions copy;
    copy.compositing = Compositing::SourceCopy;
    FillRect(RasterTarget::Of(s), {0, 2, 4, 2}, 0x00000000, copy);
    EXPECT_EQ(*reinterpret_cast<const uint32_t*>(s.Row(3)), 0u);
}

TEST(Raster, ExtremeGeometryIsHandledQuietly) {
    BitmapPtr src = Pattern(4, 4);
    BitmapPtr dst = Bitmap::Create(8, 8);
    const RasterTarget t = RasterTarget::Of(*dst);
    DrawBitmapRect(t, *src, {1e30f, -1e30f, 5, 5});  // collapses to a line in float: nothing drawn
    EXPECT_TRUE(DrawBitmapRect(t, *src, {-5e6f, 3e6f, 40, 40}));
    EXPECT_EQ(dst->Pixel(4, 4), 0u);
    EXPECT_TRUE(DrawBitmapRect(t, *src, {-1e9f, -1e9f, 2e9f, 2e9f}));  // covers everything
    EXPECT_NE(dst->Pixel(4, 4), 0u);
    EXPECT_FALSE(DrawBitmapRect(t, *src, {0, 0, 0, 5}));               // singular
    EXPECT_FALSE(DrawBitmapToPoints(t, *src, {NAN, 0, 4, 4}, {0, 0}, {4, 0}, {0, 4}));
    const PointF huge[3] = {{-3e38f, -3e38f}, {3e38f, 0}, {0, 3e38f}};
    FillPolygon(t, huge, 3, 0xFF00FF00);
    const PointF bad[3] = {{NAN, 0}, {4, 0}, {0, 4}};
    FillPolygon(t, bad, 3, 0xFF00FF00);
}

TEST(Raster, ParallelogramMapsCorners) {
    // Quarter turn through three points: the source's top row lands in the right column.
    BitmapPtr src = Pattern(3, 2);
    BitmapPtr dst = Bitmap::Create(2, 3);
    ImageDrawOptions o;
    o.interpolation = Interpolation::Nearest;
    o.compositing = Compositing::SourceCopy;
    ASSERT_TRUE(DrawBitmapToPoints(RasterTarget::Of(*dst), *src, {0, 0, 3, 2}, {2, 0}, {2, 3}, {0, 0}, o));
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(dst->Pixel(1, y), src->Pixel(y, 0));
        EXPECT_EQ(dst->Pixel(0, y), src->Pixel(y, 1));
    }
}

// Random straight pixels, alpha from fully transparent to opaque, so that
// hard edges and premultiplication both show.
BitmapPtr Noise(int w, int h, uint32_t seed) {
    BitmapPtr b = Bitmap::Create(w, h);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t r = rng();
            const uint32_t a = (r >> 24) < 64 ? 255 : (r >> 24) < 80 ? 0 : (r >> 24);
            b->SetPixel(x, y, (a << 24) | (r & 0xFFFFFF));
        }
    return b;
}

// Draws `src` unscaled over a surface of random bytes at each opacity and CPU
// level, by the whole-pixel path and by the per-pixel reference: every row of
// the two must be the same bytes.
void ExpectWholePixelDrawEqualsPerPixelPath(const Bitmap& src, std::mt19937& rng, std::initializer_list<float> opacities) {
    const int W = src.Width(), H = src.Height();
    std::vector<uint8_t> under(size_t(W) * H * 4);
    for (size_t i = 0; i < under.size(); ++i) under[i] = uint8_t(rng());
    ForEachCpuLevel([&](CpuLevel level) {
        SCOPED_TRACE(CpuLevelName(level));
        for (float opacity : opacities) {
            CompositeSurface fast, ref;
            ASSERT_TRUE(fast.Create(W, H));
            ASSERT_TRUE(ref.Create(W, H));
            std::memcpy(fast.pixels, under.data(), under.size());
            std::memcpy(ref.pixels, under.data(), under.size());
            ImageDrawOptions o;
            o.opacity = opacity;
            ASSERT_TRUE(DrawBitmapRect(RasterTarget::Of(fast), src, {0, 0, float(W), float(H)}, o));
            ASSERT_TRUE(DrawBitmapToPointsReference(RasterTarget::Of(ref), src, {0, 0, float(W), float(H)}, {0, 0},
                                                    {float(W), 0}, {0, float(H)}, o));
            for (int y = 0; y < H; ++y)
                EXPECT_EQ(0, std::memcmp(fast.Row(y), ref.Row(y), size_t(W) * 4)) << "row " << y << " opacity " << opacity;
        }
    });
}

TEST(Raster, WholePixelSourceOverEqualsPerPixelPathOnEveryByte) {
    // Every source alpha against every colour byte, over surface pixels of
    // every alpha (including colour above alpha), at several opacities: the
    // row loops give the per-pixel reference's bytes exactly at each
    // instruction-set level. The odd width leaves tails after the vectors.
    constexpr int W = 253, H = 256;
    BitmapPtr src = Bitmap::Create(W, H);
    std::mt19937 rng(5);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            src->SetPixel(x, y, uint32_t(y) << 24 | uint32_t(x) << 16 | uint32_t(255 - x) << 8 | (rng() & 0xFF));
    ExpectWholePixelDrawEqualsPerPixelPath(*src, rng, {1.0f, 0.9f, 0.37f, 0.0f});
}

TEST(Raster, WholePixelRunsOfClearAndOpaquePixelsEqualPerPixelPath) {
    // Clear source pixels leave the surface as it is and, at full opacity,
    // opaque ones replace it, so whole vectors of either may skip the
    // arithmetic (and at a lower opacity, opaque ones their products by
    // alpha); one pixel of another alpha anywhere in such a vector must
    // still be blended. Each row is one pattern; vectors start at x = 0.
    constexpr int W = 96, H = 8;
    auto alpha = [](int x, int y) -> uint32_t {
        switch (y) {
        case 0: return 0;
        case 1: return 255;
        case 2: return x % 16 == 15 ? 128 : 0;
        case 3: return x % 16 == 0 ? 254 : 255;
        case 4: return x % 16 == 7 ? 0 : 255;
        case 5: return x / 5 % 2 ? 255 : 0;
        case 6: return x < 40 ? 0 : x < 70 ? 255 : 1;
        default: return x % 16 == 8 ? 1 : 255;
        }
    };
    BitmapPtr src = Bitmap::Create(W, H);
    std::mt19937 rng(3);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) src->SetPixel(x, y, alpha(x, y) << 24 | (rng() & 0xFFFFFF));
    ExpectWholePixelDrawEqualsPerPixelPath(*src, rng, {1.0f, 0.9f});
}

TEST(Raster, FilteredFastPathMatchesReference) {
    // Filtered draws take a vector kernel inside the shape and the per-pixel
    // path on its edges; every byte stays within one level of the per-pixel
    // reference on translucent premultiplied and straight targets (nearest:
    // bit-exact).
    BitmapPtr src = Noise(37, 29, 3);
    struct Case {
        Interpolation interp;
        RectF srcRect;
        RectF dest;
        double rotation;
        float opacity;
        Compositing comp;
        bool antiAlias;
    } cases[] = {
        {Interpolation::Bicubic, {0, 0, 37, 29}, {3.3f, 2.6f, 61.7f, 47.2f}, 17, 1.0f, Compositing::SourceOver, true},
        {Interpolation::Bilinear, {0, 0, 37, 29}, {3.3f, 2.6f, 61.7f, 47.2f}, 17, 1.0f, Compositing::SourceOver, true},
        {Interpolation::Bicubic, {0, 0, 37, 29}, {-7.5f, 5.25f, 70, 52}, 0, 0.6f, Compositing::SourceOver, true},
        {Interpolation::Bilinear, {0, 0, 37, 29}, {10, 8, 37, 29}, 0.4, 1.0f, Compositing::SourceCopy, true},
        {Interpolation::Bicubic, {4.5f, 3.25f, 20, 17.5f}, {5, 4, 66, 71}, -121, 0.85f, Compositing::SourceCopy, true},
        {Interpolation::Bicubic, {2, 1, 31, 26}, {12, 9, 55, 40}, 200, 1.0f, Compositing::SourceOver, false},
        {Interpolation::Bilinear, {0, 0, 37, 29}, {20, 15, 29, 21}, 45, 0.3f, Compositing::SourceOver, true},
        // Axis-aligned draws work out their columns once per draw.
        {Interpolation::Bilinear, {0, 0, 37, 29}, {2.3f, 1.6f, 50.7f, 37.4f}, 0, 0.8f, Compositing::SourceOver, true},
        {Interpolation::Bilinear, {3.5f, 2.25f, 25, 19.5f}, {-4.2f, 6.1f, 81.3f, 66.6f}, 0, 1.0f, Compositing::SourceCopy, true},
        {Interpolation::Bicubic, {2.5f, 1.5f, 30, 25}, {3.3f, -4.1f, 90.2f, 77.7f}, 0, 1.0f, Compositing::SourceCopy, true},
        // Shrinking bicubic draws sample a premultiplied prefiltered copy.
        {Interpolation::Bicubic, {0, 0, 37, 29}, {8, 11, 26.4f, 17.9f}, 9, 1.0f, Compositing::SourceOver, true},
        {Interpolation::Bicubic, {0, 0, 37, 29}, {30, 20, 40, 60}, 90, 0.5f, Compositing::SourceCopy, true},
        // Unscaled draws at whole pixels copy texels through the row loops.
        {Interpolation::Bicubic, {0, 0, 37, 29}, {-3, 8, 37, 29}, 0, 0.7f, Compositing::SourceOver, true},
        {Interpolation::Bilinear, {0, 0, 37, 29}, {60, 55, 37, 29}, 0, 1.0f, Compositing::SourceCopy, true},
        // Nearest sampling maps pixels as the reference does: the same texels exactly.
        {Interpolation::Nearest, {0, 0, 37, 29}, {6.5f, 4.25f, 71, 53}, 31, 0.8f, Compositing::SourceOver, true},
    };
    constexpr int W = 90, H = 80;
    std::mt19937 rng(11);
    std::vector<uint8_t> under(W * H * 4);
    for (size_t i = 0; i < under.size(); i += 4) {
        const uint8_t a = uint8_t(rng() % 3 == 0 ? 255 : rng());
        for (int c = 0; c < 3; ++c) under[i + c] = uint8_t(rng() % (a + 1));
        under[i + 3] = a;
    }
    ForEachCpuLevel([&](CpuLevel level) {
        SCOPED_TRACE(CpuLevelName(level));
        for (size_t n = 0; n < std::size(cases); ++n) {
            const Case& c = cases[n];
            const Affine rot =
                Affine::RotationAbout(c.rotation, c.dest.x + c.dest.width / 2, c.dest.y + c.dest.height / 2);
            ImageDrawOptions o;
            o.interpolation = c.interp;
            o.compositing = c.comp;
            o.antiAlias = c.antiAlias;
            o.opacity = c.opacity;
            o.world = &rot;
            const PointF ul{c.dest.x, c.dest.y}, ur{c.dest.x + c.dest.width, c.dest.y}, ll{c.dest.x, c.dest.y + c.dest.height};
            for (bool premultiplied : {true, false}) {
                CompositeSurface fastS, refS;
                ASSERT_TRUE(fastS.Create(W, H));
                ASSERT_TRUE(refS.Create(W, H));
                BitmapPtr fastB = Bitmap::Create(W, H), refB = Bitmap::Create(W, H);
                std::memcpy(fastS.pixels, under.data(), under.size());
                std::memcpy(refS.pixels, under.data(), under.size());
                for (int y = 0; y < H; ++y) {
                    std::memcpy(fastB->Row(y), under.data() + y * W * 4, W * 4);
                    std::memcpy(refB->Row(y), under.data() + y * W * 4, W * 4);
                }
                const RasterTarget fast = premultiplied ? RasterTarget::Of(fastS) : RasterTarget::Of(*fastB);
                const RasterTarget ref = premultiplied ? RasterTarget::Of(refS) : RasterTarget::Of(*refB);
                ASSERT_TRUE(DrawBitmapToPoints(fast, *src, c.srcRect, ul, ur, ll, o));
                ASSERT_TRUE(DrawBitmapToPointsReference(ref, *src, c.srcRect, ul, ur, ll, o));
                int worst = 0, changed = 0;
                for (int y = 0; y < H; ++y)
                    for (int i = 0; i < W * 4; ++i) {
                        const int f = fast.pixels[y * fast.stride + i], r = ref.pixels[y * ref.stride + i];
                        worst = std::max(worst, std::abs(f - r));
                        changed += r != under[size_t(y) * W * 4 + size_t(i)];
                    }
                EXPECT_LE(worst, c.interp == Interpolation::Nearest ? 0 : 1) << "case " << n << (premultiplied ? " premultiplied" : " straight");
                EXPECT_GT(changed, 100) << "case " << n;
            }
        }
    });
}

TEST(Raster, RotatedBilinearDrawsAreTheSameBytesWithWiderVectors) {
    // The eight-pixel kernel of rotated and skewed bilinear draws gives the
    // bytes of the pixel-pair kernel, inside and along the edges, at any
    // opacity; straight targets and source-copy keep the pair kernel.
    if (DetectedCpuLevel() < CpuLevel::Avx512) GTEST_SKIP() << "no AVX-512 here";
    BitmapPtr src = Noise(211, 157, 7);
    struct Case {
        RectF dest;
        Affine world;
        float opacity;
        Compositing comp;
    } cases[] = {
        {{40.3f, 25.7f, 274.3f, 204.1f}, Affine::RotationAbout(17, 200, 150), 1.0f, Compositing::SourceOver},
        {{-60, -30, 520, 390}, Affine::RotationAbout(-131, 180, 140), 0.55f, Compositing::SourceOver},
        {{10, 20, 300, 200}, Affine{1.1, 0.2, -0.35, 0.9, 12.5, 3.25}, 1.0f, Compositing::SourceOver},
        {{30, 30, 250, 190}, Affine::RotationAbout(29, 160, 120), 0.8f, Compositing::SourceCopy},
    };
    for (const Case& c : cases)
        for (bool premultiplied : {true, false}) {
            std::vector<uint8_t> bytes[2];
            for (int wide = 0; wide < 2; ++wide) {
                ScopedCpuLevel level(wide ? CpuLevel::Avx512 : CpuLevel::Avx2);
                CompositeSurface s;
                ASSERT_TRUE(s.Create(400, 300));
                BitmapPtr b = Pattern(400, 300);
                const RasterTarget t = premultiplied ? RasterTarget::Of(s) : RasterTarget::Of(*b);
                if (premultiplied) ClearTarget(t, 0xC0406080);
                ImageDrawOptions o;
                o.interpolation = Interpolation::Bilinear;
                o.opacity = c.opacity;
                o.compositing = c.comp;
                o.world = &c.world;
                ASSERT_TRUE(DrawBitmapRect(t, *src, c.dest, o));
                for (int y = 0; y < 300; ++y) bytes[wide].insert(bytes[wide].end(), t.pixels + y * t.stride, t.pixels + y * t.stride + 1600);
            }
            EXPECT_TRUE(bytes[0] == bytes[1]) << c.dest.x << " premultiplied " << premultiplied;
        }
}

TEST(Raster, ParallelDrawEqualsSerialDraw) {
    BitmapPtr src = Noise(300, 260, 5);
    const Affine rot = Affine::RotationAbout(23, 320, 240);
    for (Interpolation interp : {Interpolation::Bilinear, Interpolation::Bicubic}) {
        ImageDrawOptions o;
        o.interpolation = interp;
        o.world = &rot;
        o.opacity = 0.9f;
        CompositeSurface serial, parallel;
        ASSERT_TRUE(serial.Create(640, 480));
        ASSERT_TRUE(parallel.Create(640, 480));
        ClearTarget(RasterTarget::Of(serial), 0x80406080);
        ClearTarget(RasterTarget::Of(parallel), 0x80406080);
        const int saved = omp_get_max_threads();
        omp_set_num_threads(1);
        ASSERT_TRUE(DrawBitmapRect(RasterTarget::Of(serial), *src, {80, 40, 480, 400}, o));
        omp_set_num_threads(std::max(saved, 4));
        ASSERT_TRUE(DrawBitmapRect(RasterTarget::Of(parallel), *src, {80, 40, 480, 400}, o));
        omp_set_num_threads(saved);
        EXPECT_EQ(0, std::memcmp(serial.pixels, parallel.pixels, size_t(640) * 480 * 4));
    }
}


// A soft blob: clear at the borders, full in the middle, ramps between.
std::vector<uint8_t> Blob(int w, int h) {
    std::vector<uint8_t> m(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double dx = (x + 0.5) / w - 0.5, dy = (y + 0.5) / h - 0.5;
            m[size_t(y) * size_t(w) + size_t(x)] = uint8_t(std::clamp(600 * (0.16 - dx * dx - dy * dy), 0.0, 255.0));
        }
    return m;
}

TEST(Raster, TintMaskFastPathMatchesReference) {
    // Whole and fractional positions, magnified, shrunk, reaching off the
    // target, clipped; both kinds of target, big enough to run threaded.
    const std::vector<uint8_t> blob = Blob(90, 70);
    const TintMask mask{blob.data(), 90, 70, 90};
    const RectF clip{37.3f, 21, 500, 380};
    struct Case {
        float x, y, scale;
        bool clipped;
    } cases[] = {{10, 12, 1, false},   {10.4f, 12.7f, 1, false}, {-30.25f, -8.5f, 8, false},
                 {3.5f, 2.25f, 3.5f, true}, {100, 80, 0.6f, false}, {-200, -100, 8, true}};
    for (bool premultiplied : {true, false})
        for (const Case& c : cases) {
            CompositeSurface fs, rs;
            ASSERT_TRUE(fs.Create(640, 480));
            ASSERT_TRUE(rs.Create(640, 480));
            BitmapPtr fb = Pattern(640, 480), rb = Pattern(640, 480);
            const RasterTarget ft = premultiplied ? RasterTarget::Of(fs) : RasterTarget::Of(*fb);
            const RasterTarget rt = premultiplied ? RasterTarget::Of(rs) : RasterTarget::Of(*rb);
            if (premultiplied) {
                ClearTarget(ft, 0xC0406080);
                ClearTarget(rt, 0xC0406080);
            }
            const RectF* cl = c.clipped ? &clip : nullptr;
            ASSERT_TRUE(DrawTintMask(ft, mask, c.x, c.y, c.scale, 0x60FF6060u, cl));
            ASSERT_TRUE(DrawTintMaskReference(rt, mask, c.x, c.y, c.scale, 0x60FF6060u, cl));
            int worst = 0;
            int64_t differ = 0;
            for (int y = 0; y < 480; ++y)
                for (int i = 0; i < 640 * 4; ++i) {
                    const int d = std::abs(int(ft.pixels[y * ft.stride + i]) - int(rt.pixels[y * rt.stride + i]));
                    worst = std::max(worst, d);
                    differ += d != 0;
                }
            EXPECT_LE(worst, 1) << c.x << "," << c.y << " x" << c.scale << " pre " << premultiplied;
            EXPECT_LT(differ, 640 * 480 / 100) << c.x << "," << c.y << " x" << c.scale;
        }
}

TEST(Raster, TintMaskIsAFillWhereFullAndNothingWhereClear) {
    // A full mask at whole pixels composites exactly as a fill of the tint;
    // a clear one, or one outside the clip, changes no byte.
    std::vector<uint8_t> full(size_t(6) * 4, 255), clear(size_t(6) * 4, 0);
    CompositeSurface a, b;
    ASSERT_TRUE(a.Create(40, 30));
    ASSERT_TRUE(b.Create(40, 30));
    ClearTarget(RasterTarget::Of(a), 0xFF336699);
    ClearTarget(RasterTarget::Of(b), 0xFF336699);
    ASSERT_TRUE(DrawTintMask(RasterTarget::Of(a), {full.data(), 6, 4, 6}, 5, 7, 3, 0x80FF6060u));
    FillRect(RasterTarget::Of(b), {5, 7, 18, 12}, 0x80FF6060u);
    EXPECT_EQ(0, std::memcmp(a.pixels, b.pixels, size_t(40) * 30 * 4));
    ClearTarget(RasterTarget::Of(b), 0xFF336699);
    std::vector<uint8_t> before(b.pixels, b.pixels + size_t(40) * 30 * 4);
    DrawTintMask(RasterTarget::Of(b), {clear.data(), 6, 4, 6}, 5.5f, 7.25f, 2.5f, 0x80FF6060u);
    const RectF away{30, 0, 10, 5};
    EXPECT_FALSE(DrawTintMask(RasterTarget::Of(b), {full.data(), 6, 4, 6}, 5, 7, 3, 0x80FF6060u, &away));
    EXPECT_EQ(0, std::memcmp(b.pixels, before.data(), before.size()));
    // Nonsense geometry draws nothing and says so.
    EXPECT_FALSE(DrawTintMask(RasterTarget::Of(b), {full.data(), 6, 4, 6}, NAN, 0, 3, 0x80FF6060u));
    EXPECT_FALSE(DrawTintMask(RasterTarget::Of(b), {full.data(), 6, 4, 6}, 0, 0, 0, 0x80FF6060u));
    EXPECT_FALSE(DrawTintMask(RasterTarget::Of(b), {nullptr, 6, 4, 6}, 0, 0, 1, 0x80FF6060u));
}

TEST(Raster, TintMaskParallelEqualsSerial) {
    const std::vector<uint8_t> blob = Blob(120, 90);
    CompositeSurface serial, parallel;
    ASSERT_TRUE(serial.Create(800, 600));
    ASSERT_TRUE(parallel.Create(800, 600));
    ClearTarget(RasterTarget::Of(serial), 0xFF808080);
    ClearTarget(RasterTarget::Of(parallel), 0xFF808080);
    const int saved = omp_get_max_threads();
    omp_set_num_threads(1);
    ASSERT_TRUE(DrawTintMask(RasterTarget::Of(serial), {blob.data(), 120, 90, 120}, -40.5f, -30.25f, 8, 0x60FF6060u));
    omp_set_num_threads(std::max(saved, 4));
    ASSERT_TRUE(DrawTintMask(RasterTarget::Of(parallel), {blob.data(), 120, 90, 120}, -40.5f, -30.25f, 8, 0x60FF6060u));
    omp_set_num_threads(saved);
    EXPECT_EQ(0, std::memcmp(serial.pixels, parallel.pixels, size_t(800) * 600 * 4));
}

TEST(Raster, TintMasksAreTheSameBytesWithWiderVectors) {
    // Sixteen-pixel rows give the bytes of eight-pixel ones: whole-pixel
    // draws (filtered and composited in one go), fractional and magnified
    // ones, odd widths and clips that leave short tails.
    if (DetectedCpuLevel() < CpuLevel::Avx512) GTEST_SKIP() << "no AVX-512 here";
    const std::vector<uint8_t> blob = Blob(93, 71);
    const TintMaskDraw draws[] = {{{blob.data(), 93, 71, 93}, 10, 12, 1, 0x60FF6060u},
                                  {{blob.data(), 93, 71, 93}, 57.5f, 33.25f, 1, 0x846E6EFFu},
                                  {{blob.data(), 93, 71, 93}, -20, 40, 3, 0x7CFF6060u},
                                  {{blob.data(), 93, 71, 93}, 140, 101, 1, 0xFF336699u},
                                  {{blob.data(), 93, 71, 93}, 31.75f, -9.5f, 2.5f, 0x60FF6060u},
                                  {{blob.data(), 93, 71, 93}, 20.5f, 60.25f, 0.45f, 0x846E6EFFu}};
    const RectF clip{3.5f, 2, 301, 190};
    std::vector<uint8_t> bytes[2];
    for (int wide = 0; wide < 2; ++wide) {
        ScopedCpuLevel level(wide ? CpuLevel::Avx512 : CpuLevel::Avx2);
        CompositeSurface s;
        ASSERT_TRUE(s.Create(320, 200));
        std::mt19937 rng(4);
        for (size_t i = 0; i < size_t(320) * 200 * 4; i += 4) {
            const uint8_t al = uint8_t(rng() % 3 == 0 ? 255 : rng());
            for (int c = 0; c < 3; ++c) s.pixels[i + size_t(c)] = uint8_t(rng() % (al + 1));
            s.pixels[i + 3] = al;
        }
        for (const TintMaskDraw& d : draws) {
            ASSERT_TRUE(DrawTintMask(RasterTarget::Of(s), d.mask, d.x, d.y, d.scale, d.argb, &clip));
            ASSERT_TRUE(DrawTintMask(RasterTarget::Of(s), d.mask, d.x + 7, d.y + 3, d.scale, d.argb));
        }
        bytes[wide].assign(s.pixels, s.pixels + size_t(320) * 200 * 4);
    }
    EXPECT_TRUE(bytes[0] == bytes[1]);
}

TEST(Raster, TintMaskBatchEqualsOneDrawAfterAnother) {
    // Overlapping masks, whole and fractional positions, magnified, one
    // partly off the target and one wholly outside the clip: a batch gives
    // the bytes of drawing them one by one, serially or threaded, at every
    // instruction-set level.
    const std::vector<uint8_t> a = Blob(90, 70), b = Blob(33, 41);
    std::vector<uint8_t> ring(size_t(64) * 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const double r = std::hypot(x - 31.5, y - 31.5);
            ring[size_t(y) * 64 + size_t(x)] = r > 18 && r < 30 ? uint8_t(255 - 8 * std::abs(r - 24)) : 0;
        }
    const TintMaskDraw draws[] = {
        {{a.data(), 90, 70, 90}, 40, 30, 1, 0x60FF6060u},   {{ring.data(), 64, 64, 64}, 70.5f, 41.25f, 3, 0x7CFF6060u},
        {{b.data(), 33, 41, 33}, 100, 60, 8, 0x846E6EFFu},  {{a.data(), 90, 70, 90}, -30.5f, 400.75f, 1.5f, 0x60FF6060u},
        {{ring.data(), 64, 64, 64}, 700, 10, 2, 0xFF2040FFu}, {{b.data(), 33, 41, 33}, 55, 35, 1, 0x60FF6060u},
    };
    const RectF clip{12.5f, 8, 600, 460};
    ForEachCpuLevel([&](CpuLevel level) {
        SCOPED_TRACE(CpuLevelName(level));
        for (int threads : {1, 4}) {
            CompositeSurface batch, single;
            ASSERT_TRUE(batch.Create(640, 480));
            ASSERT_TRUE(single.Create(640, 480));
            std::mt19937 rng(9);
            for (size_t i = 0; i < size_t(640) * 480 * 4; i += 4) {
                const uint8_t al = uint8_t(rng() % 3 == 0 ? 255 : rng());
                for (int c = 0; c < 3; ++c) batch.pixels[i + size_t(c)] = uint8_t(rng() % (al + 1));
                batch.pixels[i + 3] = al;
            }
            std::memcpy(single.pixels, batch.pixels, size_t(640) * 480 * 4);
            const int saved = omp_get_max_threads();
            omp_set_num_threads(threads);
            EXPECT_EQ(5, DrawTintMasks(RasterTarget::Of(batch), draws, int(std::size(draws)), &clip));
            for (const TintMaskDraw& d : draws) DrawTintMask(RasterTarget::Of(single), d.mask, d.x, d.y, d.scale, d.argb, &clip);
            omp_set_num_threads(saved);
            EXPECT_EQ(0, std::memcmp(batch.pixels, single.pixels, size_t(640) * 480 * 4)) << threads << " threads";
        }
    });
}

TEST(Raster, BatchEqualsOneDrawAfterAnother) {
    // Bitmap draws by every row path (whole-pixel copy, bilinear and bicubic
    // magnified, bicubic shrunk by its prefilter, rotated nearest,
    // recoloured, partly off the target) and tint masks between them, on a
    // premultiplied and a straight target: one batch gives the bytes of the
    // draws made one by one, serially or threaded, twice in a row from the
    // same batch, at every instruction-set level.
    const BitmapPtr src = Pattern(37, 29);
    const std::vector<uint8_t> blob = Blob(45, 33);
    ColorMatrix tint;
    tint.m[0][0] = 0.5f;
    tint.m[4][2] = 0.25f;
    const Affine turn = Affine::RotationAbout(30, 100, 80);
    struct Draw {
        RectF dest;
        Interpolation interp;
        float opacity;
        const ColorMatrix* matrix;
        const Affine* world;
    };
    const Draw draws[] = {
        {{5, 7, 37, 29}, Interpolation::Bicubic, 1, nullptr, nullptr},
        {{20.5f, 10.25f, 150, 110}, Interpolation::Bilinear, 0.8f, nullptr, nullptr},
        {{-40, 60, 185, 145}, Interpolation::Bicubic, 1, nullptr, nullptr},
        {{150, 5, 19, 13}, Interpolation::Bicubic, 1, nullptr, nullptr},
        {{60, 40, 74, 58}, Interpolation::Nearest, 0.6f, nullptr, &turn},
        {{190, 150, 74, 58}, Interpolation::Bilinear, 1, &tint, nullptr},
    };
    const TintMaskDraw masks[] = {{{blob.data(), 45, 33, 45}, 30, 20, 1, 0x60FF6060u},
                                  {{blob.data(), 45, 33, 45}, 90.5f, 70.25f, 3, 0x846E6EFFu}};
    const RectF clip{2.5f, 3, 230, 180};
    ForEachCpuLevel([&](CpuLevel level) {
        SCOPED_TRACE(CpuLevelName(level));
        for (bool premultiplied : {true, false})
            for (int threads : {1, 4}) {
                CompositeSurface surfaces[2];
                BitmapPtr bitmaps[2];
                RasterTarget targets[2];
                for (int k = 0; k < 2; ++k) {
                    bitmaps[k] = Pattern(240, 190);
                    ASSERT_TRUE(surfaces[k].Create(240, 190));
                    targets[k] = premultiplied ? RasterTarget::Of(surfaces[k]) : RasterTarget::Of(*bitmaps[k]);
                    for (int y = 0; y < 190; ++y)
                        for (int x = 0; x < 240; ++x)
                            std::memcpy(targets[k].pixels + y * targets[k].stride + x * 4,
                                        bitmaps[k]->Data() + y * bitmaps[k]->Stride() + x * 4, 4);
                }
                const int saved = omp_get_max_threads();
                omp_set_num_threads(threads);
                RasterBatch batch;
                for (int round = 0; round < 2; ++round) {
                    batch.Begin(targets[0]);
                    for (size_t i = 0; i < std::size(draws); ++i) {
                        const Draw& d = draws[i];
                        ImageDrawOptions o;
                        o.interpolation = d.interp;
                        o.opacity = d.opacity;
                        o.colorMatrix = d.matrix;
                        o.world = d.world;
                        ASSERT_TRUE(batch.AddBitmapRect(*src, d.dest, o));
                        ASSERT_TRUE(DrawBitmapRect(targets[1], *src, d.dest, o));
                        if (i == 2) {
                            EXPECT_EQ(2, batch.AddTintMasks(masks, 2, &clip));
                            for (const TintMaskDraw& m : masks)
                                DrawTintMask(targets[1], m.mask, m.x, m.y, m.scale, m.argb, &clip);
                        }
                    }
                    batch.Run();
                }
                omp_set_num_threads(saved);
                for (int y = 0; y < 190; ++y)
                    ASSERT_EQ(0, std::memcmp(targets[0].pixels + y * targets[0].stride,
                                             targets[1].pixels + y * targets[1].stride, 240 * 4))
                        << "row " << y << ", " << threads << " threads, premultiplied " << premultiplied;
            }
    });
}

}  // namespace
