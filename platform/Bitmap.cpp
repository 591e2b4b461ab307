#include "platform/Bitmap.h"

#include "platform/LargePages.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

bool BitmapSizeAllowed(int64_t w, int64_t h) {
    return w > 0 && h > 0 && w <= kMaxBitmapSide && h <= kMaxBitmapSide && w * h <= kMaxBitmapPixels;
}

void Bitmap::Free::operator()(uint8_t* p) const {
    if (mapped) UnmapLargePages(p, mapped);
    else std::free(p);
}

BitmapPtr Bitmap::Create(int width, int height) {
    if (!BitmapSizeAllowed(width, height)) return nullptr;
    try {
        BitmapPtr b(new Bitmap());
        const size_t bytes = size_t(width) * size_t(height) * 4;
        if (bytes >= kMappedBlockBytes) {
            size_t mapped = 0;
            uint8_t* p = static_cast<uint8_t*>(MapLargePages(bytes, mapped));
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
