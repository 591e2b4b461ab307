#include "platform/CpuLevel.h"

#include <gtest/gtest.h>

namespace {

TEST(CpuLevel, NamesRoundTripAndUnknownNamesFail) {
    for (CpuLevel l : {CpuLevel::Baseline, CpuLevel::Avx2, CpuLevel::Avx512})
        EXPECT_EQ(ParseCpuLevel(CpuLevelName(l)), l);
    EXPECT_EQ(ParseCpuLevel("AVX2"), CpuLevel::Avx2);
    for (const char* bad : {"", "sse4", "avx", "avx5120", " avx2"}) EXPECT_FALSE(ParseCpuLevel(bad)) << bad;
}

// The cap lowers the active level, never raises it past the machine, and
// nested holds restore what was there before.
TEST(CpuLevel, CapLowersActiveLevelAndScopesRestoreIt) {
    const std::vector<CpuLevel> levels = AvailableCpuLevels();
    ASSERT_FALSE(levels.empty());
    EXPECT_EQ(levels.front(), CpuLevel::Baseline);
    EXPECT_LE(int(levels.back()), int(DetectedCpuLevel()));
    const CpuLevel top = ActiveCpuLevel();
    EXPECT_EQ(top, levels.back());
    {
        ScopedCpuLevel outer(CpuLevel::Baseline);
        EXPECT_EQ(ActiveCpuLevel(), CpuLevel::Baseline);
        {
            ScopedCpuLevel inner(CpuLevel::Avx512);
            EXPECT_EQ(ActiveCpuLevel(), top);
        }
        EXPECT_EQ(ActiveCpuLevel(), CpuLevel::Baseline);
    }
    EXPECT_EQ(ActiveCpuLevel(), top);

    std::vector<CpuLevel> seen;
    ForEachCpuLevel([&](CpuLevel l) {
        EXPECT_EQ(ActiveCpuLevel(), l);
        seen.push_back(l);
    });
    EXPECT_EQ(seen, levels);
    EXPECT_EQ(ActiveCpuLevel(), top);

    SetCpuLevelCap(CpuLevel::Baseline);
    EXPECT_EQ(ActiveCpuLevel(), CpuLevel::Baseline);
    ResetCpuLevelCap();
    EXPECT_EQ(ActiveCpuLevel(), top);
}

}  // namespace
