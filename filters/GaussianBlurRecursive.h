#pragma once
// Gaussian blur of interleaved 8-bit images (1, 3 or 4 bytes per pixel, rows
// tight, every byte a channel of its own): a fourth-order recursive filter
// (Deriche) whose cost does not depend on the radius, and a small integer
// convolution for radii up to 1. A radius r means sigma = (|r| + 1) / sqrt(2 ln 255),
// the sigma at which the kernel falls to 1/255 at |r| + 1 pixels. rx is the
// horizontal radius, ry the vertical one.
#include <cmath>
#include <cstdint>
#include <vector>

// sqrt(2 ln 255): a Gaussian falls to 1/255 of its peak at this many sigmas.
inline const double kSigmasTo1Of255 = std::sqrt(2.0 * std::log(255.0));

// The recursive filter for one sigma: causal numerator n, anti-causal
// numerator np, the shared denominator d (d[0] = 0), and the edge terms bc, bcp
// that put the filter in its steady state for a constant run beyond each end.
struct DericheCoefficients {
    double n[5] = {}, np[5] = {}, d[5] = {}, bc[5] = {}, bcp[5] = {};
};
DericheCoefficients MakeDericheCoefficients(double sigma);

// Blurs in place: columns with ry, then rows with rx, each line in double
// precision, results truncated to bytes (not rounded). When rx <= 1 or ry <= 1
// the whole blur is GaussianBlurKernel. Runs on several threads with the same
// bytes as one. Nothing for a null image, a size below 1, a channel count other
// than 1, 3 or 4, or a radius that is not finite.
void GaussianBlurRecursive(uint8_t* image, int width, int height, double rx, double ry, int bytesPerPixel);

// The integer convolution: vertical with ry, then horizontal with rx, each only
// when its radius is above 0; edges repeat the end samples; each output is
// (sum + D / 2) / D with D the sum of all the taps, so constant images stay.
void GaussianBlurKernel(uint8_t* image, int width, int height, double rx, double ry, int bytesPerPixel);

// Taps w[-n..n] (stored from -n) with w[0] = 255 and w[j] = trunc(255 exp(-j^2 / (2 sigma^2))),
// n = ceil(sigma * sqrt(2 ln 255)), and their sum.
struct GaussianKernelTaps {
    int n = 0;
    std::vector<int32_t> weights;
    int64_t divisor = 0;
};
GaussianKernelTaps BuildGaussianKernel(double sigma);

// sigma for a radius: (|r| + 1) / sqrt(2 ln 255), |r| limited to kMaxGaussianRadius.
// Past it the recursive filter's poles come so close to 1 that double precision
// no longer keeps a flat image flat; sigma is then about 2460, wider than any
// bitmap needs.
constexpr double kMaxGaussianRadius = 8192.0;
double GaussianSigmaForRadius(double radius);
