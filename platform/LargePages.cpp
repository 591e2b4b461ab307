#include "platform/LargePages.h"

#include <cstdint>

#include <sys/mman.h>

void* MapLargePages(size_t bytes, size_t& mapped) {
    mapped = 0;
    if (bytes > SIZE_MAX - 2 * kLargePageBytes) return nullptr;
    const size_t size = (bytes + kLargePageBytes - 1) / kLargePageBytes * kLargePageBytes;
    const size_t total = size + kLargePageBytes;
    void* raw = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kLargePageBytes - 1) / kLargePageBytes * kLargePageBytes;
    if (aligned > start) munmap(raw, aligned - start);
    const uintptr_t end = aligned + size, rawEnd = start + total;
    if (rawEnd > end) munmap(reinterpret_cast<void*>(end), rawEnd - end);
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
    mapped = size;
    return reinterpret_cast<void*>(aligned);
}

void UnmapLargePages(void* block, size_t mapped) {
    if (block) munmap(block, mapped);
}
