#pragma once
// Smart fill: fills the hole of a straight-alpha BGRA image with content
// synthesised from the image's other pixels (exemplar-based completion on an
// image pyramid worked only around the hole, see selection/InpaintRegion.h),
// and blends the result into the image by the hole mask's value. A pure computation over caller buffers: it
// reads the inputs, writes nothing but the output, and writes the output only
// when it succeeds. Meant to run on a worker thread; the caller hands it a
// cancel flag and an output buffer that no other thread touches during the fill.
#include <atomic>
#include <cstdint>

// Read-only row-major bytes: `width` x `height` elements of `bytesPerPixel`
// bytes each (4 for BGRA, 1 for a mask), rows `stride` bytes apart.
struct InpaintPlane {
    const uint8_t* data = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int64_t stride = 0;
};

// The caller's output: straight-alpha BGRA, rows `stride` bytes apart.
struct InpaintOutput {
    uint8_t* data = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int64_t stride = 0;
};

struct InpaintOptions {
    // Start of the fill's random sequence; the same inputs and seed always give
    // the same output, on any thread and with any number of threads.
    uint32_t seed = 1;
    // false runs every step on the calling thread along the plain reference
    // paths; the output is the same byte for byte.
    bool parallel = true;
};

enum class InpaintResult {
    Filled,           // the output holds the blended image
    Cancelled,        // the cancel flag was seen; output untouched
    MissingBuffer,    // pixels, hole mask or output is null
    BadSize,          // a side below 1, above 32767, or more than 2^28 pixels
    SizeMismatch,     // hole mask, source mask or output differs in size from the pixels
    BadStride,        // a stride shorter than one row
    Failed,           // out of memory or an internal error
};

// A short English sentence for logs and error messages.
const char* InpaintResultText(InpaintResult result);

// Limits on the image the fill accepts (each side and the pixel count).
constexpr int32_t kInpaintMaxSide = 32767;
constexpr int64_t kInpaintMaxPixels = int64_t(1) << 28;

// Fills `pixels` (straight BGRA) where `holeMask` (1 byte per pixel, 0 outside the
// hole, 1..255 inside and also the blend weight) is non-zero; patches are taken
// only where `sourceMask` (optional, 1 byte per pixel) is non-zero, or from every
// known pixel when it is null or allows none. Fully transparent pixels count as
// unknown. Per hole value m, B, G, R become (m * fill + (255 - m) * input + 127) / 255
// and alpha (m * 255 + (255 - m) * alpha + 127) / 255. An all-zero hole copies the
// input unchanged. An image with a side of 9 pixels or less has no coarser level
// to synthesise from: its hole keeps its colours and only the alpha is blended.
// Where nothing matches well enough to vote (no known pixels at all, or sides
// below about 22 pixels, where every patch reaches the border), the hole takes
// the coarse estimate, black where nothing was known.
// `cancel` (or null) is polled throughout the work, so a set flag ends the fill
// within a few milliseconds. `output` may be the very buffer of `pixels` (same
// stride); otherwise the two must not overlap.
InpaintResult InpaintFill(const InpaintPlane& pixels, const InpaintPlane& holeMask, const InpaintPlane* sourceMask,
                          const InpaintOutput& output, const std::atomic<bool>* cancel,
                          const InpaintOptions& options = {});
