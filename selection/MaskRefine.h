#pragma once
// In-place operations on 8-bit coverage buffers (width x height bytes, row-major,
// 0 unselected .. 255 selected): the feather blur the selection rasterisers use,
// and grey-level dilation / erosion by a disk for Expand and Contract.
// Float results become bytes by truncation where noted, else +0.5 and truncate,
// always clamped to 0..255.
#include <cstdint>
#include <vector>

// Gaussian blur of a coverage buffer. sigma = (|r| + 1) / sqrt(2 ln 255), so the
// kernel falls to 1/255 at r + 1 pixels (r limited to 8192). Nothing for a null buffer, a side below
// 1 or r <= 0. Columns, then rows; both passes run on several threads when both
// sides are at least 128, with the same bytes as one thread.
void GaussianBlurMask(uint8_t* bytes, int32_t width, int32_t height, float featherRadius);

// One line of the feather: the direct kernel for sigma < 1, the recursive filter
// otherwise. Nothing for length <= 1 or sigma <= 0.
void GaussianBlurLine(uint8_t* line, int32_t length, double sigma);

// Direct Gaussian with normalised weights over +-max(1, ceil(3 sigma)) taps,
// edge samples repeated; outputs rounded.
void GaussianKernelLine(uint8_t* line, int32_t length, double sigma);

// Fourth-order recursive approximation of the Gaussian (Deriche).
struct MaskDericheCoeffs {
    double nc0 = 0, nc1 = 0, nc2 = 0, nc3 = 0;  // causal numerators
    double d1 = 0, d2 = 0, d3 = 0, d4 = 0;      // denominators, both directions
    double na1 = 0, na2 = 0, na3 = 0, na4 = 0;  // anti-causal numerators
    double gainCausal = 0, gainAnticausal = 0;  // steady-state gain per unit edge sample
};
MaskDericheCoeffs MaskDericheCoefficients(double sigma);

// Runs the recursive filter both ways over one line; samples beyond each end are
// that end's sample with the filter in its steady state. The sum is truncated
// (not rounded): the filter's gain is a little above 1, so constant lines keep
// their level.
void DericheFilterLine(uint8_t* line, int32_t length, const MaskDericheCoeffs& c);

// Half-widths of the disk rows dy = -r..r: round(sqrt(r^2 - max(|dy| - 0.5, 0)^2)),
// halves away from zero, 0 where the root is not positive. Empty for r < 0.
std::vector<int32_t> MakeDiskRows(int32_t radius);

// Grey-level dilation (maximum over the disk of MakeDiskRows) in place. Nothing
// for a null buffer or width, height or radius below 1. Cost per pixel grows
// with the number of disk rows only; runs on several threads, same bytes.
void MaskDilate(uint8_t* bytes, int32_t width, int32_t height, int32_t radius);

// Grey-level erosion (minimum over the disk). Positions outside the buffer take
// no part, so coverage touching an edge is not eaten from that side.
void MaskErode(uint8_t* bytes, int32_t width, int32_t height, int32_t radius);
