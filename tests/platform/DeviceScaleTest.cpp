#include "platform/DeviceScale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(DeviceScale, BufferSidesCoverTheClientInDevicePixels) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        int client;
        double ratio;
        int device;
    } cases[] = {
        {100, 1.0, 100}, {100, 1.5, 150}, {101, 1.5, 152},  // a half device pixel at the edge is covered
        {100, 2.0, 200}, {100, 1.1, 110},                    // 110.00000000000001 is not 111
        {0, 2.0, 0},     {-5, 2.0, 0},                       // nothing to cover
        {10, 0.0, 10},   {10, -2.0, 10}, {10, nan, 10},      // a broken ratio counts as 1
    };
    for (const Case& c : cases) EXPECT_EQ(DevicePixels(c.client, c.ratio), c.device) << c.client << " x " << c.ratio;
}

TEST(DeviceScale, SnapsClientCoordinatesToPhysicalPixels) {
    struct Case {
        double client, ratio, snapped;
    } cases[] = {
        {10.25, 1.0, 10.0},  {10.5, 1.0, 11.0},     // halves away from zero
        {10.0, 1.5, 10.0},   {10.5, 1.5, 32.0 / 3}, // 15.75 device -> 16
        {10.2, 2.0, 10.0},   {10.25, 2.0, 10.5},    {-0.25, 2.0, -0.5},
    };
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(SnapToDevice(c.client, c.ratio), c.snapped) << c.client;
}
