#pragma once
// Exact Euclidean distance transform of an 8-bit mask (rows tight, width bytes
// each): every pixel gets the distance to the nearest pixel whose mask byte is
// 0, as a float, computed in integers (squared distances) and square-rooted in
// single precision at the end (Meijster, Roerdink and Hesselink).
#include <cstdint>

// `out` holds width * height floats. With `border` the outside of the image
// counts as zero pixels on all four sides. A mask without any zero pixel and
// without `border` gives distances of at least width + height + 1. Nothing for
// null buffers or a size below 1. Runs on several threads, same results.
void DistanceTransform(const uint8_t* mask, int width, int height, float* out, bool border);

// The same distances where they are below `limit` (a whole number of pixels);
// every pixel farther than that from a zero pixel (or with none to measure
// from) gets `limit` instead. For
// callers that only read distances below a bound: a small bound takes a
// constant amount of work per pixel, far less than the exact transform;
// bounds above kDistanceBoundedMax run the exact transform.
constexpr int kDistanceBoundedMax = 64;
void DistanceTransformBelow(const uint8_t* mask, int width, int height, float* out, bool border, int limit);

// The same distances by exhaustive search, for tests
// (the outside counts as zero pixels with `border`; without any zero pixel the
// result is width + height + 1).
void DistanceTransformReference(const uint8_t* mask, int width, int height, float* out, bool border);
