#include "filters/WorkPlaneCache.h"

#include "platform/LargePages.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

namespace {

// Smaller blocks come from the heap, which recycles them well enough. Under
// AddressSanitizer every block does, so that its checks cover them.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kMappedFrom = SIZE_MAX;
#else
constexpr size_t kMappedFrom = size_t(1) << 20;
#endif
constexpr size_t kMaxIdleBlocks = 12;

struct Idle {
    void* p;
    size_t bytes;
};

std::mutex gMutex;
std::vector<Idle> gIdle;                     // oldest first
std::unordered_map<void*, size_t> gInUse;    // mapped blocks handed out, by their mapped size
size_t gIdleBytes = 0;

void* TakeIdle(size_t wanted) {
    // The smallest idle block that is large enough.
    std::lock_guard<std::mutex> lock(gMutex);
    size_t best = gIdle.size();
    for (size_t i = 0; i < gIdle.size(); ++i)
        if (gIdle[i].bytes >= wanted && (best == gIdle.size() || gIdle[i].bytes < gIdle[best].bytes)) best = i;
    if (best == gIdle.size()) return nullptr;
    const Idle b = gIdle[best];
    gIdle.erase(gIdle.begin() + ptrdiff_t(best));
    gIdleBytes -= b.bytes;
    gInUse.emplace(b.p, b.bytes);
    return b.p;
}

}  // namespace

void* AcquireWorkPlaneBlock(size_t bytes) {
    bytes = std::max<size_t>(bytes, 1);
    if (bytes < kMappedFrom) {
        void* p = std::malloc(bytes);
        if (!p) throw std::bad_alloc();
        return p;
    }
    if (bytes > SIZE_MAX - 2 * kLargePageBytes) throw std::bad_alloc();
    const size_t wanted = (bytes + kLargePageBytes - 1) / kLargePageBytes * kLargePageBytes;
    if (void* p = TakeIdle(wanted)) return p;
    size_t mapped = 0;
    void* p = MapLargePages(wanted, mapped);
    if (!p) {
        // Idle blocks may be what keeps the mapping from fitting.
        TrimWorkPlaneCache();
        p = MapLargePages(wanted, mapped);
        if (!p) throw std::bad_alloc();
    }
    std::lock_guard<std::mutex> lock(gMutex);
    gInUse.emplace(p, mapped);
    return p;
}

void ReleaseWorkPlaneBlock(void* block) {
    if (!block) return;
    std::vector<Idle> drop;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        const auto it = gInUse.find(block);
        if (it == gInUse.end()) {
            std::free(block);
            return;
        }
        gIdle.push_back({block, it->second});
        gIdleBytes += it->second;
        gInUse.erase(it);
        while (!gIdle.empty() && (gIdleBytes > kWorkPlaneIdleLimit || gIdle.size() > kMaxIdleBlocks)) {
            drop.push_back(gIdle.front());
            gIdleBytes -= gIdle.front().bytes;
            gIdle.erase(gIdle.begin());
        }
    }
    for (const Idle& b : drop) UnmapLargePages(b.p, b.bytes);
}

size_t TrimWorkPlaneCache() {
    std::vector<Idle> drop;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        drop.swap(gIdle);
        gIdleBytes = 0;
    }
    size_t bytes = 0;
    for (const Idle& b : drop) {
        UnmapLargePages(b.p, b.bytes);
        bytes += b.bytes;
    }
    return bytes;
}

size_t IdleWorkPlaneBytes() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gIdleBytes;
}
