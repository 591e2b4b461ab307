#pragma once
// Disk average of an 8-bit plane (rows tight, width bytes each): every pixel
// becomes the sum over the disk of radius r around it, divided by the disk's
// full area and rounded to the nearest byte. Pixels outside the plane count as
// 0 (edges darken). Disk row i (-r..r) spans half-width trunc(sqrt(r^2 - i^2)).
#include <cstdint>

// Radii above this act as this: the cost grows with the radius (two lookups
// per disk row and pixel), and at 256 a 4096 x 4096 plane already takes about
// 1.5 s on one thread and 0.4 s on eight (2048 x 2048: 0.4 s on one thread),
// measured on a shared 8-core machine; the cost rises about linearly beyond.
constexpr int kDiskBlurMaxRadius = 256;

// Nothing when r, width or height is below 1. Sums are exact; runs on several
// threads with the same bytes. Throws std::bad_alloc when memory for its
// prefix sums is short.
void DiskBlur(uint8_t* plane, int width, int height, int r);

// The plain per-pixel sum over the disk (with the same radius cap), for tests.
void DiskBlurReference(uint8_t* plane, int width, int height, int r);
