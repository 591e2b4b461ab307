#pragma once
// Memory for large images and working planes mapped straight from the system:
// on large-page boundaries, with large pages asked for, so that writing a
// fresh block takes one page fault per 2 MiB instead of one per 4 KiB (on a
// busy or virtualised machine those faults cost more than the pixels).
#include <cstddef>
#include <cstdint>

constexpr size_t kLargePageBytes = size_t(2) << 20;

// Blocks from this size on are worth a mapping of their own; smaller ones come
// from the heap, where a mapping would cost more than it saves (a system call
// to map, another to unmap, and a whole large page faulted in for a few
// kilobytes). Under AddressSanitizer everything comes from the heap: its
// checks cover heap blocks only.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kMappedBlockBytes = SIZE_MAX;
#else
constexpr size_t kMappedBlockBytes = size_t(4) << 20;
#endif

// A zeroed mapping of at least `bytes`, starting and ending on a large-page
// boundary (the unaligned head and tail of a larger mapping are returned);
// `mapped` gets its size, `bytes` rounded up to whole large pages. Null when
// the system refuses or the size cannot be rounded up.
void* MapLargePages(size_t bytes, size_t& mapped);
// Returns a block from MapLargePages with the size it gave.
void UnmapLargePages(void* block, size_t mapped);
