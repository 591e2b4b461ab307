#pragma once
// Where the filters' working planes live. A filter at 4096 x 4096 needs tens
// to hundreds of megabytes of planes per call; fresh memory costs a page fault
// for every page its passes first touch and a flush when it is returned, and
// on a busy or virtualised machine that costs more than the filter's own
// arithmetic and does not get faster with more threads. Large blocks are
// therefore mapped on large-page boundaries with large pages asked for, and
// go back to a small process-wide cache when released, so that a filter
// applied again (every frame of a parameter drag renders the stack anew)
// reuses them without a single fault.
#include <cstddef>

// Idle blocks the cache keeps at most, in bytes: the planes of the heaviest
// filter on a 4096 x 4096 object; beyond it the oldest are unmapped.
constexpr size_t kWorkPlaneIdleLimit = size_t(320) << 20;

// At least `bytes` bytes, contents undefined; throws std::bad_alloc when memory
// is short. Give it back with ReleaseWorkPlaneBlock.
void* AcquireWorkPlaneBlock(size_t bytes);
void ReleaseWorkPlaneBlock(void* block);
// Unmaps every idle block; returns the bytes released.
size_t TrimWorkPlaneCache();
// Bytes of idle blocks held.
size_t IdleWorkPlaneBytes();
