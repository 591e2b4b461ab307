#include "platform/Bitmap.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

// Bitmaps below and above the size from which their pixels are mapped on
// large-page boundaries: every one comes zeroed, holds what is written to its
// last pixel, clones exactly, and many in turn are released (no address space
// left behind).
TEST(Bitmap, SmallAndLargeBlocksComeZeroedAndRelease) {
    for (auto [w, h] : {std::pair{3, 2}, std::pair{1023, 1023}, std::pair{1024, 1025}, std::pair{4097, 3001}}) {
        for (int round = 0; round < 40; ++round) {
            BitmapPtr b = Bitmap::Create(w, h);
            ASSERT_TRUE(b) << w << "x" << h;
            ASSERT_TRUE(b->OwnsPixels());
            EXPECT_EQ(b->Pixel(0, 0), 0u);
            EXPECT_EQ(b->Pixel(w - 1, h / 2), 0u);
            EXPECT_EQ(b->Pixel(w - 1, h - 1), 0u);
            b->SetPixel(w - 1, h - 1, 0xFF102030u);
            b->SetPixel(0, 0, 0x80FFFFFFu);
            if (round == 0) {
                const BitmapPtr c = b->Clone();
                ASSERT_TRUE(c);
                EXPECT_EQ(c->Pixel(w - 1, h - 1), 0xFF102030u);
                EXPECT_EQ(c->Pixel(0, 0), 0x80FFFFFFu);
                EXPECT_EQ(c->Pixel(w / 2, h / 2), 0u);
            }
        }
    }
}

}  // namespace
