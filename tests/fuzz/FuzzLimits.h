#pragma once
// Decoded pictures cost time in proportion to their pixels but reach no code
// a small picture does not. The image targets therefore take in full only
// pictures up to kFuzzPixels, and those the reader refuses from the header
// alone (beyond its own caps), which cost nothing and keep the refusal tried.
#include "platform/Bitmap.h"
#include "platform/Codecs.h"

constexpr int64_t kFuzzPixels = int64_t(1) << 16;

// Whether a picture of w x h is worth a run: within kFuzzPixels, or beyond
// what the reader takes (the bitmap caps and its own maxPixels).
inline bool WorthDecodingSize(int64_t w, int64_t h, int64_t maxPixels = kMaxBitmapPixels) {
    if (w < 0) w = -w;
    if (h < 0) h = -h;
    return w * h <= kFuzzPixels || !BitmapSizeAllowed(w, h) || w * h > maxPixels;
}

// The same for encoded bytes, from the size their header declares; bytes
// whose header is refused (or that are no picture at all) are cheap anyway.
inline bool WorthDecoding(const uint8_t* data, size_t size, int64_t maxPixels = kMaxBitmapPixels) {
    int w = 0, h = 0;
    return !ReadImageSize(data, size, w, h) || WorthDecodingSize(w, h, maxPixels);
}
