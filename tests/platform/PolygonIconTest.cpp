// The polygon icon rasteriser on tables a caller can get wrong: missing,
// empty, degenerate, negative or truncated counts, and shapes reaching past
// the bitmap.
#include "platform/PolygonIcon.h"

#include <gtest/gtest.h>

namespace {
uint32_t Pixel(const BitmapPtr& b, int x, int y) {
    const uint8_t* p = b->Data() + size_t(y) * b->Stride() + x * 4;
    return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

int Covered(const BitmapPtr& b) {
    int n = 0;
    for (int y = 0; y < b->Height(); ++y)
        for (int x = 0; x < b->Width(); ++x) n += Pixel(b, x, y) >> 24 != 0;
    return n;
}

// The left half of the square as one polygon of four points.
const PolygonTable kLeftHalf{1, 4, 0, 0, 500, 0, 500, 1000, 0, 1000};
}  // namespace

TEST(PolygonIcon, NothingToDrawGivesNoBitmap) {
    const PolygonTable none{0, 4, 0, 0, 500, 0, 500, 1000, 0, 1000};
    const PolygonTable negative{-3};
    EXPECT_FALSE(RasterizePolygonMask(nullptr, 16, 16, 0));
    EXPECT_FALSE(RasterizePolygonMask(&kLeftHalf, 0, 16, 0));
    EXPECT_FALSE(RasterizePolygonMask(&kLeftHalf, 16, -1, 0));
    EXPECT_FALSE(RasterizePolygonMask(&none, 16, 16, 0));
    EXPECT_FALSE(RasterizePolygonMask(&negative, 16, 16, 0));
    const PolygonTable empty;
    EXPECT_FALSE(RasterizePolygonMask(&empty, 16, 16, 0));
}

TEST(PolygonIcon, FillsOpaqueInTheColourOnATransparentBitmap) {
    const BitmapPtr b = RasterizePolygonMask(&kLeftHalf, 16, 8, 0x123456);
    ASSERT_TRUE(b);
    EXPECT_EQ(Pixel(b, 2, 3), 0xFF123456u);
    EXPECT_EQ(Pixel(b, 12, 3), 0u);
    EXPECT_EQ(Covered(b), 8 * 8);
}

TEST(PolygonIcon, DegenerateAndNegativeCountsArePassedOver) {
    struct Case {
        const char* name;
        PolygonTable table;
        int covered;
    } cases[] = {
        // Two points drawn as nothing; the next polygon still draws.
        {"two points", {2, 2, 0, 0, 1000, 1000, 4, 0, 0, 500, 0, 500, 1000, 0, 1000}, 128},
        // A negative count has no pairs: the next number is the next count.
        {"negative", {2, -1, 4, 0, 0, 500, 0, 500, 1000, 0, 1000}, 128},
        // Only degenerate polygons: a transparent bitmap.
        {"only degenerate", {2, 0, 1, 500, 500}, 0},
        // A table that ends inside a polygon draws what was whole before it.
        {"truncated", {2, 4, 0, 0, 500, 0, 500, 1000, 0, 1000, 3, 600, 0, 1000}, 128},
        // More polygons announced than present.
        {"short", {5, 4, 0, 0, 500, 0, 500, 1000, 0, 1000}, 128},
    };
    for (const Case& c : cases) {
        const BitmapPtr b = RasterizePolygonMask(&c.table, 16, 16, 0xFFFFFF);
        ASSERT_TRUE(b) << c.name;
        EXPECT_EQ(Covered(b), c.covered) << c.name;
    }
}

TEST(PolygonIcon, ShapesPastTheBitmapAreCut) {
    // A triangle reaching far outside on every side covers the whole bitmap.
    const PolygonTable huge{1, 3, -20000, -20000, 32000, -20000, -20000, 32000};
    const BitmapPtr b = RasterizePolygonMask(&huge, 10, 10, 0xFF0000);
    ASSERT_TRUE(b);
    EXPECT_EQ(Covered(b), 100);
    const PolygonTable away{1, 3, 2000, 2000, 3000, 2000, 2000, 3000};
    const BitmapPtr c = RasterizePolygonMask(&away, 10, 10, 0xFF0000);
    ASSERT_TRUE(c);
    EXPECT_EQ(Covered(c), 0);
}
