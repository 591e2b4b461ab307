#include "brushes/RenderGraphicsToPixels.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Fills the left column of the target with opaque red (straight alpha).
const RasterDrawing kLeftColumn = [](const RasterTarget& t) {
    FillRect(t, RectF{0, 0, 1, float(t.height)}, 0xFFFF0000);
};

TEST(RenderGraphicsToPixels, RowsLandAtTheStrideAndPaddingIsKept) {
    struct Case {
        int32_t stride;
        bool ok;
    };
    for (const Case c : {Case{8, true}, Case{12, true}, Case{7, false}}) {
        std::vector<uint8_t> buf(2 * 12, 0xAB);
        EXPECT_EQ(RenderGraphicsToPixels(2, 2, buf.data(), c.stride, kLeftColumn), c.ok) << c.stride;
        if (!c.ok) {
            EXPECT_EQ(buf, std::vector<uint8_t>(24, 0xAB));
            continue;
        }
        for (int y = 0; y < 2; ++y) {
            const uint8_t* row = buf.data() + y * c.stride;
            EXPECT_EQ(std::vector<uint8_t>(row, row + 8), (std::vector<uint8_t>{0, 0, 255, 255, 0, 0, 0, 0}));
        }
        if (c.stride == 12) {
            EXPECT_EQ(buf[8], 0xAB) << "padding between rows";
        }
    }
}

TEST(RenderGraphicsToPixels, EmptyDrawingsAndBadArguments) {
    std::vector<uint8_t> buf(3 * 2 * 4, 0x55);
    EXPECT_TRUE(RenderGraphicsToPixels(3, 2, buf.data(), 12, [](const RasterTarget&) {}));
    EXPECT_EQ(buf, std::vector<uint8_t>(24, 0));

    std::vector<uint8_t> untouched(24, 0x55);
    EXPECT_FALSE(RenderGraphicsToPixels(3, 2, untouched.data(), 12, RasterDrawing{}));
    EXPECT_FALSE(RenderGraphicsToPixels(0, 2, untouched.data(), 12, kLeftColumn));
    EXPECT_FALSE(RenderGraphicsToPixels(3, 2, nullptr, 12, kLeftColumn));
    EXPECT_FALSE(RenderGraphicsToPixels(40000, 1, untouched.data(), 160000, kLeftColumn));
    EXPECT_EQ(untouched, std::vector<uint8_t>(24, 0x55));
}

}  // namespace
