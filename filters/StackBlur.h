#pragma once
// Stack Blur: a triangle-weighted blur whose cost per pixel does not depend on
// the radius. Bytes are blurred independently per channel, straight or
// premultiplied alike (the caller decides); each output is
// (weighted sum * kStackBlurMul[r]) >> kStackBlurShr[r] in unsigned 32-bit
// arithmetic, which is at most 255. Samples beyond either end of a line repeat
// the end sample. Radii above 254 act as 254; a radius of 0 (or below) skips
// its pass. Rows are tight: width * bytes-per-pixel bytes, no gap.
#include <array>
#include <cstddef>
#include <cstdint>

constexpr int kStackBlurMaxRadius = 254;

// The published multiplier and shift tables, indexed by radius 0..254:
// mul / 2^shr approximates 1 / (r + 1)^2.
extern const std::array<uint16_t, kStackBlurMaxRadius + 1> kStackBlurMul;
extern const std::array<uint8_t, kStackBlurMaxRadius + 1> kStackBlurShr;

// The blur object the Stack Blur kernels hang on: it holds no state, callers
// make one around each call. Passes over canvas-sized buffers run on several
// threads with the same bytes as one thread.
class CGaussianRecBlur {
public:
    CGaussianRecBlur() = default;
    virtual ~CGaussianRecBlur() = default;

    // All four bytes of every 32-bit pixel, rows with rx, then columns with ry.
    void StackBlurRGBA(uint8_t* pixels, int width, int height, int rx, int ry);
    // Bytes B, G, R of every 32-bit pixel; the fourth byte is never written.
    void StackBlurColor32(uint8_t* pixels, int width, int height, int rx, int ry);
    // An 8-bit plane, rows with rx, then columns with ry.
    void StackBlurAlpha8(uint8_t* plane, int width, int height, int rx, int ry);
    // The horizontal pass alone over `rows` consecutive rows of an 8-bit plane.
    void StackBlurGray8Rows(uint8_t* firstRow, int width, int rows, int r);
};

// An 8-bit plane blurred with a stack blur; nothing for a null plane or a size
// that is not positive.
void StackBlurGray8(uint8_t* plane, int width, int height, int rx, int ry);

// The column pass alone over an 8-bit plane. With rowLo and rowHi (one
// entry per row), row y holds set bytes only in columns [rowLo[y], rowHi[y])
// and the pass skips what lies clear of them.
void StackBlurGray8Columns(uint8_t* plane, int width, int height, int r, const int32_t* rowLo = nullptr,
                           const int32_t* rowHi = nullptr);

// Plain one-line Stack Blur: `count` samples `step` bytes apart, in place. The
// reference the grouped, threaded passes are tested against.
void StackBlurLineReference(uint8_t* first, ptrdiff_t step, int count, int r);
