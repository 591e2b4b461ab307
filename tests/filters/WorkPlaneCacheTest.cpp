#include "filters/FilterPixels.h"
#include "filters/WorkPlaneCache.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr size_t kMiB = size_t(1) << 20;

TEST(WorkPlaneCache, ReleasedLargePlanesServeTheNextRequestAndTheCacheStaysBounded) {
    TrimWorkPlaneCache();
    const void* first = nullptr;
    {
        const WorkPlane<float> p = MakeWorkPlane<float>(6 * kMiB);
        ASSERT_TRUE(p);
        std::memset(p.get(), 0x5A, 6 * kMiB * sizeof(float));  // the whole plane is writable
        first = p.get();
    }
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_GE(IdleWorkPlaneBytes(), 24 * kMiB);
    {
        // A smaller request takes the idle block instead of mapping another.
        const WorkPlane<uint8_t> again = MakeWorkPlane<uint8_t>(20 * kMiB);
        EXPECT_EQ(static_cast<const void*>(again.get()), first);
        EXPECT_EQ(IdleWorkPlaneBytes(), 0u);
    }
    EXPECT_GE(IdleWorkPlaneBytes(), 24 * kMiB);
#endif
    // Many large planes released together: the cache keeps at most its limit.
    {
        std::vector<WorkPlane<uint8_t>> many;
        for (int i = 0; i < 4; ++i) many.push_back(MakeWorkPlane<uint8_t>(100 * kMiB));
    }
    EXPECT_LE(IdleWorkPlaneBytes(), kWorkPlaneIdleLimit);
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_GT(TrimWorkPlaneCache(), 0u);
#endif
    TrimWorkPlaneCache();
    EXPECT_EQ(IdleWorkPlaneBytes(), 0u);
    // Small planes come from the heap and are never held.
    { const WorkPlane<uint8_t> small = MakeWorkPlane<uint8_t>(1000); ASSERT_TRUE(small); }
    EXPECT_EQ(IdleWorkPlaneBytes(), 0u);
}

}  // namespace
