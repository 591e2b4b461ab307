#pragma once
// Disk average of an 8-bit plane (rows tight, width bytes each): every pixel
// becomes the sum over the disk of radius r around it, divided by the disk's
// full area and rounded to the nearest byte. Pixels outside the plane count as
// 0 (edges darken). Disk row i (-r..r) spans half-width trunc(sqrt(r^2 - i^2)).
#include <cstdint>

// Nothing when r, width or height is below 1. Sums are exact (64-bit where a
// 32-bit total could overflow); runs on several threads with the same bytes.
void DiskBlur(uint8_t* plane, int width, int height, int r);

// The plain per-pixel sum over the disk, for tests.
void DiskBlurReference(uint8_t* plane, int width, int height, int r);
