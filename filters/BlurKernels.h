#pragma once
// The pixel kernels the filters share: Stack Blur, the disk average, the
// recursive Gaussian, the distance transform, and alpha premultiplication
// around blurs. Every kernel works in place on caller-owned tight buffers and
// allocates only scratch memory.
#include "filters/DiskBlur.h"
#include "filters/DistanceTransform.h"
#include "filters/GaussianBlurRecursive.h"
#include "filters/StackBlur.h"

#include <cstddef>
#include <cstdint>

// `count` straight-alpha B, G, R, A pixels made premultiplied: each colour byte x
// becomes trunc(x * (A * (1 / 255)) + 0.5) in double precision; A stays.
void PremultiplyAlpha(uint8_t* pixels, size_t count);

// The inverse: pixels with A of 0 or 255 stay as they are; otherwise each colour
// byte x becomes min(trunc(x * (255 / A) + 0.5), 255) in double precision.
void UnpremultiplyAlpha(uint8_t* pixels, size_t count);
