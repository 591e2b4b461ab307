#include "scene/QuadWarp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

ScenePoint Forward(const ScenePoint p[4], float u, float v) {
    // p(u, v) = P0 + u e1 + v e2 + u v g
    const float e1x = p[1].x - p[0].x, e1y = p[1].y - p[0].y;
    const float e2x = p[3].x - p[0].x, e2y = p[3].y - p[0].y;
    const float gx = p[0].x - p[1].x + p[2].x - p[3].x, gy = p[0].y - p[1].y + p[2].y - p[3].y;
    return {p[0].x + u * e1x + v * e2x + u * v * gx, p[0].y + u * e1y + v * e2y + u * v * gy};
}

BitmapPtr Solid(int w, int h, uint32_t argb) {
    BitmapPtr b = Bitmap::Create(w, h);
    b->Clear(argb);
    return b;
}

}  // namespace

TEST(RenderWarp, InverseMapRoundTripsOverQuadShapes) {
    struct Case {
        const char* name;
        ScenePoint p[4];
    };
    const Case cases[] = {
        {"identity", {{0, 0}, {40, 0}, {40, 30}, {0, 30}}},
        {"parallelogram", {{10, 0}, {50, 5}, {45, 35}, {5, 30}}},
        {"trapezoid", {{0, 0}, {40, 0}, {30, 30}, {10, 30}}},
        {"general", {{3, 2}, {41, -4}, {52, 37}, {-6, 28}}},
    };
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> d(0.0f, 1.0f);
    for (const Case& c : cases) {
        for (int k = 0; k < 200; ++k) {
            const float u = d(rng), v = d(rng);
            const QuadWarp::InverseResult r = QuadWarp::InverseMap(c.p[0], c.p[1], c.p[2], c.p[3], Forward(c.p, u, v));
            ASSERT_TRUE(r.ok) << c.name << " u=" << u << " v=" << v;
            EXPECT_NEAR(r.u, u, 1e-4) << c.name;
            EXPECT_NEAR(r.v, v, 1e-4) << c.name;
        }
        // Well outside the quad: no accepted root.
        EXPECT_FALSE(QuadWarp::InverseMap(c.p[0], c.p[1], c.p[2], c.p[3], {200, 200}).ok) << c.name;
    }
    // The identity is the linear case: u = x / W, v = y / H, corners included.
    const QuadWarp::InverseResult corner = QuadWarp::InverseMap({0, 0}, {40, 0}, {40, 30}, {0, 30}, {40, 30});
    EXPECT_TRUE(corner.ok);
    EXPECT_FLOAT_EQ(corner.u, 1.0f);
    EXPECT_FLOAT_EQ(corner.v, 1.0f);
}

TEST(RenderWarp, BowTieTakesTheRootInRange) {
    // Top-right and bottom-right swapped: the quad folds over itself.
    const ScenePoint p[4] = {{0, 0}, {40, 40}, {40, 0}, {0, 40}};
    const QuadWarp::InverseResult r = QuadWarp::InverseMap(p[0], p[1], p[2], p[3], Forward(p, 0.25f, 0.5f));
    ASSERT_TRUE(r.ok);
    const ScenePoint back = Forward(p, r.u, r.v);
    const ScenePoint want = Forward(p, 0.25f, 0.5f);
    EXPECT_NEAR(back.x, want.x, 1e-3);
    EXPECT_NEAR(back.y, want.y, 1e-3);
}

TEST(RenderWarp, ContainsPointIsHalfOpenOnHorizontalEdges) {
    const ScenePoint a{0, 0}, b{10, 0}, c{10, 10}, d{0, 10};
    EXPECT_TRUE(QuadWarp::ContainsPoint(a, b, c, d, {5, 5}));
    EXPECT_TRUE(QuadWarp::ContainsPoint(a, b, c, d, {5, 0}));    // top edge: crossings of the sides count
    EXPECT_FALSE(QuadWarp::ContainsPoint(a, b, c, d, {5, 10}));  // bottom edge toggles nothing
    EXPECT_FALSE(QuadWarp::ContainsPoint(a, b, c, d, {-0.5f, 5}));
}

TEST(RenderWarp, SampleBilinearClampsAtEdgesAndRounds) {
    // Two pixels: B, G, R, A = (10, 20, 30, 0) and (21, 40, 61, 255).
    const uint8_t px[8] = {10, 20, 30, 0, 21, 40, 61, 255};
    EXPECT_EQ(QuadWarp::SampleBilinear(px, 8, 2, 1, -5.0f, -3.0f), 0x001E140Au);
    EXPECT_EQ(QuadWarp::SampleBilinear(px, 8, 2, 1, 9.0f, 4.0f), 0xFF3D2815u);
    // Halfway: 15.5 -> 16, 30, 45.5 -> 46, 127.5 -> 128.
    EXPECT_EQ(QuadWarp::SampleBilinear(px, 8, 2, 1, 0.5f, 0.0f), 0x802E1E10u);
    EXPECT_EQ(QuadWarp::SampleBilinear(px, 8, 2, 1, NAN, 0.0f), 0x001E140Au);
}

TEST(RenderWarp, IdentityWarpReproducesTheSource) {
    BitmapPtr src = Bitmap::Create(7, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) src->SetPixel(x, y, 0xFF000000u | uint32_t(x * 30) << 8 | uint32_t(y * 50));
    float ox = -1, oy = -1;
    BitmapPtr out = WarpBitmapToQuad(src, Quad{}, ox, oy);
    ASSERT_TRUE(out);
    EXPECT_EQ(ox, 0.0f);
    EXPECT_EQ(oy, 0.0f);
    ASSERT_EQ(out->Width(), 7);
    ASSERT_EQ(out->Height(), 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(out->Pixel(x, y), src->Pixel(x, y)) << x << "," << y;
}

TEST(RenderWarp, OutputCoversTheQuadBoxAndEdgesAreNotFaded) {
    // A 10-pixel-wide source whose quad spans 10.6 to 20.7 pixels: 11 wide at offset 10.
    BitmapPtr src = Solid(10, 10, 0xFFFF0000);
    Quad shrunk{1.06f, 0.0f, 2.07f, 0.0f, 2.07f, 1.0f, 1.06f, 1.0f};
    float ox = 0, oy = 0;
    BitmapPtr out = WarpBitmapToQuad(src, shrunk, ox, oy);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->Width(), 11);
    EXPECT_EQ(out->Height(), 10);
    EXPECT_EQ(ox, 10.0f);
    EXPECT_EQ(out->Pixel(0, 5), 0u);  // centre 10.5 lies left of the quad
    EXPECT_EQ(out->Pixel(1, 5), 0xFFFF0000u);
    EXPECT_EQ(out->Pixel(10, 5), 0xFFFF0000u);  // centre 20.5 is inside
    // Doubled: every pixel inside is the solid colour, the border included.
    Quad doubled{0, 0, 2, 0, 2, 2, 0, 2};
    out = WarpBitmapToQuad(src, doubled, ox, oy);
    ASSERT_TRUE(out);
    ASSERT_EQ(out->Width(), 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(out->Pixel(x, y), 0xFFFF0000u) << x << "," << y;
}

TEST(RenderWarp, FailuresGiveNull) {
    float ox = 0, oy = 0;
    EXPECT_FALSE(WarpBitmapToQuad(nullptr, Quad{}, ox, oy));
    BitmapPtr src = Solid(10, 10, 0xFFFFFFFF);
    Quad far;
    far.x1 = far.x2 = 1e6f;  // a box far beyond the bitmap caps
    EXPECT_FALSE(WarpBitmapToQuad(src, far, ox, oy));
    Quad nan;
    nan.y2 = NAN;
    EXPECT_FALSE(WarpBitmapToQuad(src, nan, ox, oy));
}

TEST(RenderWarp, MapPointGoesBackToTheUnwarpedFrame) {
    Quad q{0.5f, 0, 1.5f, 0, 1.5f, 1, 0.5f, 1};  // shifted right by half the width
    ScenePoint out;
    ASSERT_TRUE(QuadWarp::MapPoint(q, {60, 30}, 100, 50, out));
    EXPECT_NEAR(out.x, 10, 1e-3);
    EXPECT_NEAR(out.y, 30, 1e-3);
    EXPECT_FALSE(QuadWarp::MapPoint(q, {20, 30}, 100, 50, out));
    EXPECT_FALSE(QuadWarp::MapPoint(q, {60, 30}, 0, 50, out));
}
