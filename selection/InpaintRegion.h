#pragma once
// The smart fill's synthesis with its cost bounded by the hole: the same
// pyramid, fields, search and votes as InpaintSynthesize (InpaintEngine.h),
// but every per-pixel buffer of a level (the two fields, the estimate, the
// vote sums) covers only a window around the hole at that level. The search
// still reads the whole level, so patches may come from anywhere the source
// rules allow; what it reads is built once per level in one linear pass.
//
// Outside its window the estimate of a level is that level itself, and field
// entries there match themselves at distance 0 (as every fully known patch
// does). Votes that would land outside the window change nothing the fill
// returns and are dropped. The windows grow by a margin of two patch radii at
// every level, so that everything that can reach the hole lies inside them.
#include "selection/InpaintEngine.h"

#include <cstdint>
#include <vector>

// Half-open rectangle [x0, x1) x [y0, y1).
struct InpaintRect {
    int32_t x0 = 0;
    int32_t y0 = 0;
    int32_t x1 = 0;
    int32_t y1 = 0;

    int32_t Width() const { return x1 - x0; }
    int32_t Height() const { return y1 - y0; }
    bool Empty() const { return x1 <= x0 || y1 <= y0; }
    bool Contains(int32_t y, int32_t x) const { return y >= y0 && y < y1 && x >= x0 && x < x1; }
    size_t Index(int32_t y, int32_t x) const { return size_t(y - y0) * size_t(Width()) + size_t(x - x0); }
};

// The full-resolution image as the caller holds it (level 0 is never copied).
// A pixel is unknown where the hole is non-zero or alpha is 0; with a source
// mask it may be copied only where the mask is non-zero and it is known.
struct InpaintBase {
    const uint8_t* pixels = nullptr;  // straight BGRA
    int64_t pixelStride = 0;
    const uint8_t* hole = nullptr;
    int64_t holeStride = 0;
    const uint8_t* source = nullptr;  // null: every known pixel may be copied
    int64_t sourceStride = 0;
    int32_t width = 0;
    int32_t height = 0;

    bool Unknown(int32_t y, int32_t x) const {
        return hole[y * holeStride + x] != 0 || pixels[y * pixelStride + int64_t(x) * 4 + 3] == 0;
    }
    bool Allowed(int32_t y, int32_t x) const {
        return !source || (source[y * sourceStride + x] != 0 && !Unknown(y, x));
    }
};

// A coarser level as the search reads it: 16 bytes per pixel, B G R, the
// vertical and the horizontal gradient (3 bytes each), four zeros, then
// 255 / 0 for allowed (255 everywhere without a mask), 1 / 0 for unknown, and
// 1 where the pixel is unknown or on the outermost ring.
struct InpaintFeatureLevel {
    static constexpr int kBytes = 16;
    static constexpr int kAllowed = 13;
    static constexpr int kUnknown = 14;
    static constexpr int kFlag = 15;

    static constexpr int32_t kBlock = 64;  // columns per block of the allowed-pixel index

    int32_t width = 0;
    int32_t height = 0;
    bool hasMask = false;
    InpaintBuffer<uint8_t> features;
    // With a mask, an index of the allowed pixels in row-major order: how many
    // lie before each row, and within a row before each block of kBlock columns.
    std::vector<int64_t> allowedBeforeRow;    // height + 1
    std::vector<int32_t> allowedBeforeBlock;  // height * (blocks + 1)

    const uint8_t* Px(int32_t y, int32_t x) const {
        return features.data() + (size_t(y) * size_t(width) + size_t(x)) * kBytes;
    }
    int32_t Blocks() const { return (width + kBlock - 1) / kBlock; }
    // The number of allowed pixels (0 without a mask) and the k-th of them.
    int64_t AllowedCount() const { return allowedBeforeRow.empty() ? 0 : allowedBeforeRow.back(); }
    InpaintPoint AllowedPixel(int64_t k) const;
};

// The first coarser level of the base image and each further one: half size,
// the 6 x 6 binomial mean over known taps (as InpaintDownsample), with
// gradients and flags, built row by row on several threads.
InpaintFeatureLevel InpaintDownsampleBase(const InpaintBase& base, const InpaintContext& ctx);
InpaintFeatureLevel InpaintDownsampleFeatures(const InpaintFeatureLevel& level, const InpaintContext& ctx);

// The filled colours of `holeBox` (which holds every non-zero hole pixel), B G R
// row-major with rows holeBox.Width() * 3 bytes. An image with a side of 9 or
// less is returned as it is. Throws InpaintCancelled when the flag is set.
InpaintBuffer<uint8_t> InpaintSynthesizeRegion(const InpaintBase& base, const InpaintRect& holeBox,
                                               const InpaintContext& ctx);
