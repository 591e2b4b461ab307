#include "selection/InpaintViewGeometry.h"

#include <gtest/gtest.h>

// A 300 x 200 crop in a 1000 x 800 client fits at 100 %: one image pixel per
// physical pixel, 1 / ratio client pixels. Pointer positions between client
// pixels reach the image pixels between them.
TEST(InpaintViewGeometry, FitAndPointerAtDeviceRatios) {
    struct Case {
        float ratio;
        RectI device;             // the image rectangle in device pixels
        float clientX, clientY;   // a pointer position...
        int imageX, imageY;       // ...and the image pixel under it
    } cases[] = {
        {1.0f, {350, 300, 650, 500}, 351.9f, 300, 1, 0},
        {1.5f, {600, 500, 900, 700}, 401, 334, 1, 1},   // offsets 400, 333.33 client
        {2.0f, {850, 700, 1150, 900}, 425.5f, 350.5f, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ratio);
        InpaintViewGeometry g;
        g.ratio = c.ratio;
        g.imageW = 300, g.imageH = 200;
        ASSERT_TRUE(g.Fit(1000, 800));
        EXPECT_NEAR(g.DisplayZoom(), 1.0f, 1e-6);
        EXPECT_EQ(g.DeviceImageRect(), c.device);
        int x = -1, y = -1;
        EXPECT_TRUE(g.ViewToImage(c.clientX, c.clientY, x, y));
        EXPECT_EQ(x, c.imageX);
        EXPECT_EQ(y, c.imageY);
        // Just left of and above the image: outside.
        EXPECT_FALSE(g.ViewToImage(g.offsetX - 0.6f / c.ratio, c.clientY, x, y));
        EXPECT_FALSE(g.ViewToImage(c.clientX, g.offsetY - 0.6f / c.ratio, x, y));
    }
}

TEST(InpaintViewGeometry, ShrinksToFitAndWheelLimitsCountDevicePixels) {
    for (float ratio : {1.0f, 1.5f, 2.0f}) {
        SCOPED_TRACE(ratio);
        InpaintViewGeometry g;
        g.ratio = ratio;
        g.imageW = 4000, g.imageH = 3000;
        ASSERT_TRUE(g.Fit(1000, 800));
        EXPECT_NEAR(g.zoom, 0.238f, 1e-6);  // the same client size at every ratio
        for (int i = 0; i < 60; ++i) g.WheelZoom(true, 500, 400);
        EXPECT_NEAR(g.DisplayZoom(), InpaintViewGeometry::kMaxZoom, 1e-4);
        EXPECT_FALSE(g.WheelZoom(true, 500, 400));
        for (int i = 0; i < 80; ++i) g.WheelZoom(false, 500, 400);
        EXPECT_NEAR(g.DisplayZoom(), InpaintViewGeometry::kMinZoom, 1e-6);
    }
    InpaintViewGeometry none;
    EXPECT_FALSE(none.Fit(1000, 800));
    int x, y;
    EXPECT_FALSE(none.ViewToImage(10, 10, x, y));
}
