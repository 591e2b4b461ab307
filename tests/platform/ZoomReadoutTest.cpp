#include "platform/ZoomReadout.h"

#include <gtest/gtest.h>

TEST(ZoomReadout, TextAndCheckedPreset) {
    EXPECT_EQ(ZoomReadoutText(0.999f), "99%");
    EXPECT_EQ(ZoomReadoutText(2.5f), "250%");
    EXPECT_EQ(ZoomReadoutText(1.0f), "100%");
    EXPECT_TRUE(ZoomPresetChecked(100, 0.999f));
    for (int p : ZoomPresets()) EXPECT_FALSE(ZoomPresetChecked(p, 2.5f)) << p;
}
