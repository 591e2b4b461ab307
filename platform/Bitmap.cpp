#include "platform/Bitmap.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include <sys/mman.h>

bool BitmapSizeAllowed(int64_t w, int64_t h) {
    return w > 0 && h > 0 && w <= kMaxBitmapSide && h <= kMaxBitmapSide && w * h <= kMaxBitmapPixels;
}

namespace {

constexpr size_t kLargePage = size_t(2) << 20;
// Blocks from this size on are mapped on large-page boundaries (under
// AddressSanitizer never: its checks cover heap blocks only).
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kMappedBytes = SIZE_MAX;
#else
constexpr size_t kMappedBytes = size_t(4) << 20;
#endif

// A zeroed mapping of at least `bytes`, starting and ending on a large-page
// boundary (the unaligned head and tail of a larger mapping are returned), with
// large pages asked for; null when the system refuses.
uint8_t* MapAligned(size_t bytes, size_t& mapped) {
    mapped = (bytes + kLargePage - 1) / kLargePage * kLargePage;
    const size_t total = mapped + kLargePage;
    void* raw = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kLargePage - 1) / kLargePage * kLargePage;
    if (aligned > start) munmap(raw, aligned - start);
    const uintptr_t end = aligned + mapped, rawEnd = start + total;
    if (rawEnd > end) munmap(reinterpret_cast<void*>(end), rawEnd - end);
    madvise(reinterpret_cast<void*>(aligned), mapped, MADV_HUGEPAGE);
    return reinterpret_cast<uint8_t*>(aligned);
}

}  // namespace

void Bitmap::Free::operator()(uint8_t* p) const {
    if (mapped) munmap(p, mapped);
    else std::free(p);
}

BitmapPtr Bitmap::Create(int width, int height) {
    if (!BitmapSizeAllowed(width, height)) return nullptr;
    try {
        BitmapPtr b(new Bitmap());
        const size_t bytes = size_t(width) * size_t(height) * 4;
        if (bytes >= kMappedBytes) {
            size_t mapped = 0;
            uint8_t* p = MapAligned(bytes, mapped);
            if (!p) return nullptr;
            b->storage_ = std::unique_ptr<uint8_t[], Free>(p, Free{mapped});
        } else {
            b->storage_.reset(static_cast<uint8_t*>(std::calloc(bytes, 1)));
        }
        if (!b->storage_) return nullptr;
        b->data_ = b->storage_.get();
        b->width_ = width;
        b->height_ = height;
        b->stride_ = width * 4;
        return b;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

BitmapPtr Bitmap::Wrap(uint8_t* pixels, int width, int height, int stride) {
    if (!pixels || !BitmapSizeAllowed(width, height) || stride < width * 4) return nullptr;
    BitmapPtr b(new (std::nothrow) Bitmap());
    if (!b) return nullptr;
    b->data_ = pixels;
    b->width_ = width;
    b->height_ = height;
    b->stride_ = stride;
    return b;
}

BitmapPtr Bitmap::Clone() const {
    BitmapPtr c = Create(width_, height_);
    if (!c) return nullptr;
    for (int y = 0; y < height_; ++y) std::memcpy(c->Row(y), Row(y), size_t(width_) * 4);
    return c;
}

void Bitmap::Clear(uint32_t argb) {
    for (int y = 0; y < height_; ++y) {
        uint32_t* r = Row32(y);
        for (int x = 0; x < width_; ++x) r[x] = argb;
    }
}
