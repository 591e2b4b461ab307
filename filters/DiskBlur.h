#pragma once
// Disk average of an 8-bit plane (rows tight, width bytes each): every pixel
// becomes the sum over the disk of radius r around it, divided by the disk's
// full area and rounded to the nearest byte. Pixels outside the plane count as
// 0 (edges darken). Disk row i (-r..r) spans half-width trunc(sqrt(r^2 - i^2)).
#include <cstdint>

// Radii above this act as this. The cost grows with the radius (two lookups
// per disk row and pixel); at 256 a 4096 x 4096 plane took about 1.2 s and a
// 2048 x 2048 one about 0.3 s (8 threads on a heavily shared 8-core machine,
// about what one idle core does), while 512 took 2.9 s and 1024 4.3 s.
constexpr int kDiskBlurMaxRadius = 256;

// Nothing when r, width or height is below 1. Sums are exact; runs on several
// threads with the same bytes.
void DiskBlur(uint8_t* plane, int width, int height, int r);

// The plain per-pixel sum over the disk (with the same radius cap), for tests.
void DiskBlurReference(uint8_t* plane, int width, int height, int r);
