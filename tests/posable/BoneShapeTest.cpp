#include "posable/BoneShape.h"

#include "filters/StackBlur.h"

#include "PosableFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using posable_test::MakeBone;

namespace {

// A default bone across a 1000 x 600 part: head (250, 300), tail (750, 300),
// L 500, half width 125, caps 60 long and 125 wide, feather 10.
BoneShapeParams DefaultParams(Bone b = MakeBone("b", 0.25f, 0.5f, 0.75f, 0.5f)) {
    return MakeBoneShapeParams(b, 1000, 600);
}


TEST(BoneShape, MaskRowsCoverEveryPixelOfOddShapes) {
    // Each row is only tested where the region can reach; shapes with odd
    // numbers (shifts past each other, offset and flat caps, steep and
    // level axes) still get exactly the pixels whose centres are inside,
    // and the mask is the alpha of a white raster.
    struct Case {
        double tx, ty, hw, hcl, tcl, hs, ts, ho, to, hchw, tchw;
        bool rh, rt;
    } cases[] = {
        {300, 0, 20, 30, 30, 0, 0, 0, 0, 20, 20, true, true},
        {0, -300, 20, 30, 10, 0, 0, 15, -15, 8, 30, true, true},
        {210, 170, 12, 40, 25, 260, 250, 30, -30, 10, 5, true, true},
        {170, 190, 25, 35, 45, 0, 0, 0, 0, 25, 25, false, false},
        {250, 40, -5, 40, 40, 20, 10, 40, 0, 12, 12, true, false},
    };
    const uint8_t white[4] = {255, 255, 255, 255};
    for (const Case& c : cases) {
        BoneShapeParams p;
        p.headX = 37.3;
        p.headY = 51.6;
        p.tailX = p.headX + c.tx;
        p.tailY = p.headY + c.ty;
        p.halfWidth = c.hw;
        p.headCapLength = c.hcl, p.tailCapLength = c.tcl;
        p.headShift = c.hs, p.tailShift = c.ts;
        p.headOffset = c.ho, p.tailOffset = c.to;
        p.headCapHalfWidth = c.hchw, p.tailCapHalfWidth = c.tchw;
        p.roundHead = c.rh, p.roundTail = c.rt;
        // A box well past the region, so nothing inside is cut off.
        const BoneShapeBox box{-500, -500, 1100, 1100};
        ByteMaskRect mask;
        ASSERT_TRUE(BoneShape::RasterizeMask(p, box, mask));
        ASSERT_EQ(mask.bytes.size(), size_t(1100) * 1100);
        EXPECT_EQ(mask.x, -500);
        int64_t mismatches = 0, inside = 0;
        for (int y = 0; y < box.height; ++y)
            for (int x = 0; x < box.width; ++x) {
                const bool in = BoneShape::Contains(p, box.left + x + 0.5, box.top + y + 0.5);
                inside += in;
                mismatches += mask.bytes[size_t(y) * 1100 + size_t(x)] != (in ? 255 : 0);
            }
        EXPECT_GT(inside, 0) << c.tx << "," << c.ty;
        EXPECT_EQ(mismatches, 0) << c.tx << "," << c.ty;
        p.feather = 5;
        ASSERT_TRUE(BoneShape::RasterizeMask(p, box, mask));
        BitmapPtr bmp = BoneShape::Rasterize(p, box, white);
        ASSERT_TRUE(bmp);
        for (int y = 0; y < box.height; y += 7)
            for (int x = 0; x < box.width; x += 3)
                ASSERT_EQ(mask.bytes[size_t(y) * 1100 + size_t(x)], bmp->Row(y)[4 * x + 3]) << x << "," << y;
    }
}

}  // namespace

TEST(BoneShape, DefaultBoneParamsAndBounds) {
    const BoneShapeParams p = DefaultParams();
    EXPECT_DOUBLE_EQ(p.halfWidth, 125);
    EXPECT_NEAR(p.headCapLength, 60, 1e-3);
    EXPECT_DOUBLE_EQ(p.headCapHalfWidth, 125);
    EXPECT_NEAR(p.feather, 10, 1e-3);
    const BoneShapeBox box = BoneShape::Bounds(p);
    // Margin 12: along -72 .. 572, across 137 either side (the stored
    // fractions are floats, so a box edge may land one pixel out).
    EXPECT_NEAR(box.left, 178, 1);
    EXPECT_EQ(box.top, 163);
    EXPECT_NEAR(box.width, 644, 1);
    EXPECT_EQ(box.height, 274);
}

TEST(BoneShape, MembershipEdgesAndCaps) {
    struct Case {
        const char* what;
        float headCap;
        int32_t roundHead;
        float headShift;
        double x, y;
        bool inside;
    };
    const Case cases[] = {
        {"body edge across", 0.12f, 1, 0, 500, 425, true},
        {"just past the body edge", 0.12f, 1, 0, 500, 425.01, false},
        {"round cap tip", 0.125f, 1, 0, 187.5, 300, true},  // (62.5 / 62.5)^2 = 1 exactly
        {"past the cap tip", 0.125f, 1, 0, 187.4, 300, false},
        {"flat cap of length 0 ends at the head", 0, 0, 0, 250, 300, true},
        {"behind a flat cap of length 0", 0, 0, 0, 249.9, 300, false},
        {"flat cap prolongs the body", 0.1f, 0, 0, 201, 420, true},
        {"shift ignored on a flat cap", 0.1f, 0, 0.5f, 201, 420, true},
        {"tiny round cap draws nothing", 0.0000001f, 1, 0, 249.9, 300, false},
        {"round cap corner", 0.12f, 1, 0, 210, 420, false},
        {"negative shift starts the body behind the head", 0.12f, 1, -0.1f, 210, 420, true},
    };
    for (const Case& c : cases) {
        Bone b = MakeBone("b", 0.25f, 0.5f, 0.75f, 0.5f);
        b.headCapLength = c.headCap;
        b.roundHeadCap = c.roundHead;
        b.headShift = c.headShift;
        EXPECT_EQ(BoneShape::Contains(DefaultParams(b), c.x, c.y), c.inside) << c.what;
    }
}

TEST(BoneShape, BoundsCoverAnOffsetCapTooSmallToDraw) {
    Bone b = MakeBone("b", 0.25f, 0.5f, 0.75f, 0.5f);
    b.headCapLength = 0;
    b.headOffset = 0.5f;  // 500 px across
    b.feather = 0;
    const BoneShapeBox box = BoneShape::Bounds(DefaultParams(b));
    // V = 500 + 125 + margin 2.
    EXPECT_EQ(box.top, 300 - 627);
    EXPECT_EQ(box.height, 2 * 627);
}

TEST(BoneShape, RasterizeHardOrFeatheredPremultiplied) {
    // A 40 x 20 part with a bone along its middle: body half width 5.
    Bone b = MakeBone("b", 0.25f, 0.5f, 0.75f, 0.5f);
    b.feather = 0;
    const BoneShapeParams hard = MakeBoneShapeParams(b, 40, 20);
    const BoneShapeBox box = BoneShape::Bounds(hard);
    const uint8_t tint[4] = {255, 128, 0, 128};
    BitmapPtr bmp = BoneShape::Rasterize(hard, box, tint);
    ASSERT_TRUE(bmp);
    bool onlyHardValues = true;
    for (int y = 0; y < bmp->Height(); ++y)
        for (int x = 0; x < bmp->Width(); ++x) {
            const uint32_t a = bmp->Pixel(x, y) >> 24;
            onlyHardValues = onlyHardValues && (a == 0 || a == 128);
        }
    EXPECT_TRUE(onlyHardValues);
    // Centre pixel: alpha 128, red 255 * 128 / 255, green 128 * 128 / 255, blue 0.
    const uint32_t centre = bmp->Pixel(int(20 - box.left), int(10 - box.top));
    EXPECT_EQ(centre, 0x80804000u);

    b.feather = 0.1f;  // 4 px
    const BoneShapeParams soft = MakeBoneShapeParams(b, 40, 20);
    const BoneShapeBox softBox = BoneShape::Bounds(soft);
    BitmapPtr feathered = BoneShape::Rasterize(soft, softBox, tint);
    ASSERT_TRUE(feathered);
    bool partial = false;
    for (int y = 0; y < feathered->Height(); ++y)
        for (int x = 0; x < feathered->Width(); ++x) {
            const uint32_t a = feathered->Pixel(x, y) >> 24;
            partial = partial || (a > 0 && a < 120);
        }
    EXPECT_TRUE(partial);
}

TEST(BoneShape, BuildBoneMask) {
    ByteMaskRect mask;
    mask.x = 7;
    // Shorter than a pixel: no region, mask left alone.
    EXPECT_FALSE(BuildBoneMask(40, 20, MakeBone("b", 0.5f, 0.5f, 0.51f, 0.5f), false, mask));
    EXPECT_EQ(mask.x, 7);
    // Whole image: the rounded part size full of 255, whatever the bone.
    ASSERT_TRUE(BuildBoneMask(40.4f, 19.5f, MakeBone("b", 0.5f, 0.5f, 0.5f, 0.5f), true, mask));
    EXPECT_EQ(mask.x, 0);
    EXPECT_EQ(mask.width, 40);
    EXPECT_EQ(mask.height, 20);
    EXPECT_EQ(mask.bytes.size(), 800u);
    EXPECT_TRUE(std::all_of(mask.bytes.begin(), mask.bytes.end(), [](uint8_t v) { return v == 255; }));
    // A region: the box of the shape, 255 inside the body, 0 in the corners.
    Bone b = MakeBone("b", 0.25f, 0.5f, 0.75f, 0.5f);
    b.feather = 0;
    ASSERT_TRUE(BuildBoneMask(40, 20, b, false, mask));
    EXPECT_EQ(mask.bytes.size(), size_t(mask.width) * size_t(mask.height));
    EXPECT_EQ(mask.bytes[size_t(10 - mask.y) * mask.width + size_t(20 - mask.x)], 255);
    EXPECT_EQ(mask.bytes[0], 0);
    // Absurd numbers from a file stay a clean failure or a bounded box.
    Bone wild = MakeBone("b", 0, 0, 1e30f, 1e30f);
    wild.feather = 1e30f;
    ByteMaskRect big;
    BuildBoneMask(40, 20, wild, false, big);
    EXPECT_LE(int64_t(big.width) * big.height, kMaxBitmapPixels);
}

TEST(BoneShape, FeatheredMaskIsTheStackBlurOfTheMembership) {
    // The feather is a stack blur of the pixels whose centres are inside,
    // byte for byte: hair-thin and short regions (runs a pixel long, edges
    // within each other's reach), offset caps (two runs on a row), regions
    // cut by the box (runs touching a row's ends, set top and bottom rows),
    // small and wide radii, one past the blur's largest.
    struct Case {
        double tx, ty, hw, ho, to, feather;
        BoneShapeBox box;  // from the head; width 0: the region's bounds
    } cases[] = {
        {200, 90, 0.5, 0, 0, 3, {0, 0, 0, 0}},       {7, 3, 2, 0, 0, 6, {0, 0, 0, 0}},
        {180, -40, 14, 22, -22, 9, {0, 0, 0, 0}},    {150, 130, 30, 0, 0, 37.5, {0, 0, 0, 0}},
        {300, 10, 25, 0, 0, 12, {40, -20, 150, 60}}, {120, 200, 20, 0, 0, 1, {10, 30, 64, 96}},
        {90, 60, 10, 5, 0, 300, {0, 0, 0, 0}},
    };
    // Each mask is made over the one before, as a view makes its overlays
    // again in their old buffers: nothing of the old bytes may show.
    ByteMaskRect mask;
    for (const Case& c : cases) {
        BoneShapeParams p;
        p.headX = 20.25, p.headY = 70.5;
        p.tailX = p.headX + c.tx, p.tailY = p.headY + c.ty;
        p.halfWidth = c.hw;
        p.headCapLength = p.tailCapLength = 15;
        p.headCapHalfWidth = p.tailCapHalfWidth = c.hw + 3;
        p.headOffset = c.ho, p.tailOffset = c.to;
        p.feather = c.feather;
        const BoneShapeBox box = c.box.width > 0 ? BoneShapeBox{std::floor(p.headX + c.box.left),
                                                                std::floor(p.headY + c.box.top), c.box.width,
                                                                c.box.height}
                                                 : BoneShape::Bounds(p);
        ASSERT_TRUE(BoneShape::RasterizeMask(p, box, mask));
        ASSERT_EQ(mask.bytes.size(), size_t(box.width) * size_t(box.height));
        std::vector<uint8_t> plain(size_t(box.width) * size_t(box.height), 0);
        int64_t inside = 0;
        for (int y = 0; y < box.height; ++y)
            for (int x = 0; x < box.width; ++x)
                if (BoneShape::Contains(p, box.left + x + 0.5, box.top + y + 0.5)) {
                    plain[size_t(y) * size_t(box.width) + size_t(x)] = 255;
                    ++inside;
                }
        const int r = int(std::ceil(c.feather));
        StackBlurGray8(plain.data(), box.width, box.height, r, r);
        int64_t differ = 0;
        for (size_t i = 0; i < plain.size(); ++i) differ += plain[i] != mask.bytes[i];
        EXPECT_GT(inside, 0) << c.tx << "," << c.ty;
        EXPECT_EQ(differ, 0) << c.tx << "," << c.ty << " feather " << c.feather;
    }
}

TEST(BoneShape, RasterizeMatchesTheMembershipTestPixelForPixel) {
    // Large enough for the rows to be shared out among threads; without a
    // feather every pixel is exactly the membership of its centre.
    Bone b = MakeBone("b", 0.25f, 0.4f, 0.75f, 0.6f);
    b.feather = 0;
    b.roundTailCap = 0;
    b.headOffset = 0.05f;
    const BoneShapeParams p = MakeBoneShapeParams(b, 1000, 600);
    const BoneShapeBox box = BoneShape::Bounds(p);
    ASSERT_GT(int64_t(box.width) * box.height, 65536);
    const uint8_t white[4] = {255, 255, 255, 255};
    BitmapPtr bmp = BoneShape::Rasterize(p, box, white);
    ASSERT_TRUE(bmp);
    int64_t mismatches = 0;
    for (int y = 0; y < box.height; ++y)
        for (int x = 0; x < box.width; ++x) {
            const bool inside = BoneShape::Contains(p, box.left + x + 0.5, box.top + y + 0.5);
            mismatches += (bmp->Pixel(x, y) == (inside ? 0xFFFFFFFFu : 0u)) ? 0 : 1;
        }
    EXPECT_EQ(mismatches, 0);
}

// The view's overlay: only what meets the viewport is rasterised, coarser as
// the feather widens, yet the feather at the viewport's edge is the same as
// in a raster of the whole region.
TEST(BoneShape, OverlayPlanIsBoundedByTheClipAndFeathersItsEdgesRight) {
    const uint8_t white[4] = {255, 255, 255, 255};
    {
        // Feather 6: full resolution. The clip's top edge lies just inside
        // the body's top edge (y 175), where the feather ramps.
        BoneShapeParams p = DefaultParams();
        p.feather = 6;
        const BoneShape::OverlayPlan plan = BoneShape::PlanOverlay(p, 400, 177, 600, 400);
        ASSERT_FALSE(plan.empty);
        EXPECT_EQ(plan.scale, 1);
        const BoneShapeBox whole = BoneShape::Bounds(p);
        BitmapPtr all = BoneShape::Rasterize(p, whole, white);
        BitmapPtr cut = BoneShape::Rasterize(plan.scaled, plan.box, white);
        ASSERT_TRUE(all && cut);
        int64_t differ = 0;
        for (int y = 177; y < 400; ++y)
            for (int x = 400; x < 600; ++x)
                differ += cut->Pixel(x - int(plan.box.left), y - int(plan.box.top)) !=
                          all->Pixel(x - int(whole.left), y - int(whole.top));
        EXPECT_EQ(differ, 0);
    }
    {
        // A bone 80 000 pixels long and wide (a deep zoom) seen through a
        // 1600 x 1000 viewport: the raster stays viewport-sized.
        BoneShapeParams p;
        p.tailX = 64000;
        p.tailY = 48000;
        p.halfWidth = p.headCapHalfWidth = p.tailCapHalfWidth = 40000;
        p.headCapLength = p.tailCapLength = 9600;
        p.feather = 1e9;
        const BoneShape::OverlayPlan plan = BoneShape::PlanOverlay(p, 30000, 20000, 31600, 21000);
        ASSERT_FALSE(plan.empty);
        EXPECT_EQ(plan.scale, 16);
        EXPECT_LE(plan.box.width, 1600 / 16 + 2 * 256 / 16 + 4);
        EXPECT_LE(plan.box.height, 1000 / 16 + 2 * 256 / 16 + 4);
        // Raster pixels map back onto the clip.
        EXPECT_LE(plan.box.left * plan.scale, 30000);
        EXPECT_GE((plan.box.left + plan.box.width) * plan.scale, 31600);
        // A clip that misses the region plans nothing.
        EXPECT_TRUE(BoneShape::PlanOverlay(p, -500000, -500000, -400000, -400000).empty);
    }
}
