#pragma once
// A 32-bit image: bytes B, G, R, A per pixel, straight (non-premultiplied) alpha,
// rows top-down. Owned bitmaps have rows of exactly width * 4 bytes; a bitmap
// may also wrap caller memory with any stride. Held through BitmapPtr so that
// copies of scene records share their render caches.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

class Bitmap;
using BitmapPtr = std::shared_ptr<Bitmap>;

// Size caps for every pixel buffer the editor allocates.
constexpr int kMaxBitmapSide = 32767;
constexpr int64_t kMaxBitmapPixels = int64_t(1) << 28;

// True when w x h is a positive size within the caps. The product is 64-bit.
bool BitmapSizeAllowed(int64_t w, int64_t h);

class Bitmap {
public:
    // A zero-filled bitmap, or null when the size is not positive, exceeds the
    // caps or memory is short.
    static BitmapPtr Create(int width, int height);
    // A view over caller memory (not copied, not freed). Null for bad sizes.
    static BitmapPtr Wrap(uint8_t* pixels, int width, int height, int stride);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Stride() const { return stride_; }
    uint8_t* Data() { return data_; }
    const uint8_t* Data() const { return data_; }
    uint8_t* Row(int y) { return data_ + size_t(y) * size_t(stride_); }
    const uint8_t* Row(int y) const { return data_ + size_t(y) * size_t(stride_); }
    uint32_t* Row32(int y) { return reinterpret_cast<uint32_t*>(Row(y)); }
    const uint32_t* Row32(int y) const { return reinterpret_cast<const uint32_t*>(Row(y)); }
    // Pixel as 0xAARRGGBB (little-endian B, G, R, A bytes).
    uint32_t Pixel(int x, int y) const { return Row32(y)[x]; }
    void SetPixel(int x, int y, uint32_t argb) { Row32(y)[x] = argb; }
    bool OwnsPixels() const { return storage_ != nullptr; }

    // An independent owned copy with tight rows, or null when memory is short.
    BitmapPtr Clone() const;
    void Clear(uint32_t argb = 0);

    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

private:
    Bitmap() = default;
    // Small blocks are calloc'd; large ones are mapped straight from the
    // system (zeroed, costing memory only as their rows are written) on
    // 2 MiB boundaries with large pages asked for, so that writing a fresh
    // image takes one page fault per 2 MiB instead of one per 4 KiB.
    struct Free {
        Free() {}
        explicit Free(size_t bytes) : mapped(bytes) {}
        size_t mapped = 0;  // bytes of a mapping, 0 for a calloc'd block
        void operator()(uint8_t* p) const;
    };
    std::unique_ptr<uint8_t[], Free> storage_;
    uint8_t* data_ = nullptr;
    int width_ = 0, height_ = 0, stride_ = 0;
};
