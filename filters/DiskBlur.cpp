// Disk average: one prefix-sum line per row, then for every output pixel two
// lookups per disk row, summed in registers over tiles of 64 columns.
#include "filters/DiskBlur.h"

#include "filters/FilterPixels.h"
#include "platform/CpuLevel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

// Totals fit 32 bits: the disk holds at most (2r + 1)^2 pixels of 255.
static_assert(int64_t(2 * kDiskBlurMaxRadius + 1) * (2 * kDiskBlurMaxRadius + 1) * 255 < (int64_t(1) << 31));

int64_t HalfWidth(int r, int64_t i) {
    return int64_t(std::sqrt(double(r) * double(r) - double(i) * double(i)));
}

int64_t DiskArea(int r) {
    int64_t a = 0;
    for (int64_t i = -r; i <= r; ++i) a += 2 * HalfWidth(r, i) + 1;
    return a;
}

// A chord's sum from two prefix sums. 16-bit prefix sums wrap, but every chord
// they serve spans at most 257 pixels, so the wrapped difference is exact.
template <typename Acc, typename PT>
inline Acc Chord(PT hi, PT lo) {
    if constexpr (sizeof(PT) == 2) return Acc(uint16_t(hi - lo));
    else return Acc(hi - lo);
}

// Adds, for x in [xa, xb), the row's sum over x - h..x + h clipped to the row,
// from the row's prefix sums p[0..width]. The range is cut where the clipping
// of either end starts, so each piece reads contiguous sums.
template <typename Acc, typename PT>
void AddChordClipped(Acc* acc, const PT* p, int width, int h, int xa, int xb) {
    const int cuts[4] = {xa, std::clamp(std::min(h, width - h), xa, xb), std::clamp(std::max(h, width - h), xa, xb), xb};
    for (int k = 0; k < 3; ++k) {
        const int a = cuts[k], b = cuts[k + 1];
        if (a >= b) continue;
        const bool leftClipped = a < h, rightClipped = a >= width - h;
        if (leftClipped && rightClipped)
            for (int x = a; x < b; ++x) acc[x - xa] += Chord<Acc, PT>(p[width], p[0]);
        else if (leftClipped)
            for (int x = a; x < b; ++x) acc[x - xa] += Chord<Acc, PT>(p[x + h + 1], p[0]);
        else if (rightClipped)
            for (int x = a; x < b; ++x) acc[x - xa] += Chord<Acc, PT>(p[width], p[x - h]);
        else
            for (int x = a; x < b; ++x) acc[x - xa] += Chord<Acc, PT>(p[x + h + 1], p[x - h]);
    }
}

constexpr int kTile = 64;
typedef int32_t V8 __attribute__((vector_size(32)));
typedef int32_t V8u __attribute__((vector_size(32), aligned(4), may_alias));

// Sums the chords [0, count) no wider than limit of output row y over the 64 columns from x0,
// starting from base, in registers: out[j] = base + sum over disk rows k inside
// the plane of P(y + offs[k])[x0 + j + hs[k] + 1] - P(y + offs[k])[x0 + j - hs[k]].
// No chord may be clipped over these columns.
[[gnu::always_inline]] inline void SumChordsTile(int32_t* out, int32_t base, const int32_t* prefix, size_t pw, int y, int height,
                   const int32_t* offs, const int32_t* hs, int count, int x0, int limit) {
    V8 a0 = V8{} + base, a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0, a7 = a0;
    for (int k = 0; k < count; ++k) {
        const int row = y + offs[k];
        if (unsigned(row) >= unsigned(height) || hs[k] > limit) continue;
        const int32_t* p = prefix + size_t(row) * pw + x0;
        const V8u* hi = reinterpret_cast<const V8u*>(p + hs[k] + 1);
        const V8u* lo = reinterpret_cast<const V8u*>(p - hs[k]);
        a0 += hi[0] - lo[0];
        a1 += hi[1] - lo[1];
        a2 += hi[2] - lo[2];
        a3 += hi[3] - lo[3];
        a4 += hi[4] - lo[4];
        a5 += hi[5] - lo[5];
        a6 += hi[6] - lo[6];
        a7 += hi[7] - lo[7];
    }
    V8u* o = reinterpret_cast<V8u*>(out);
    o[0] = a0; o[1] = a1; o[2] = a2; o[3] = a3; o[4] = a4; o[5] = a5; o[6] = a6; o[7] = a7;
}

typedef uint16_t V32w __attribute__((vector_size(64)));
typedef uint16_t V32wu __attribute__((vector_size(64), aligned(2), may_alias));
typedef uint16_t V16w __attribute__((vector_size(32)));
typedef int32_t V16i __attribute__((vector_size(64)));
typedef int32_t V16iu __attribute__((vector_size(64), aligned(4), may_alias));

// The same over 16-bit prefix sums (chords of at most 257 pixels): half the
// bytes to read, each wrapped difference widened before it is added. Written in
// 512-bit vectors; machines without them run the same code in halves.
[[gnu::always_inline]] inline void SumChordsTile16(int32_t* out, int32_t base, const uint16_t* prefix, size_t pw, int y, int height,
                     const int32_t* offs, const int32_t* hs, int count, int x0, int limit) {
    V16i a0 = V16i{} + base, a1 = a0, a2 = a0, a3 = a0;
    for (int k = 0; k < count; ++k) {
        const int row = y + offs[k];
        if (unsigned(row) >= unsigned(height) || hs[k] > limit) continue;
        const uint16_t* p = prefix + size_t(row) * pw + x0;
        const V32wu* hi = reinterpret_cast<const V32wu*>(p + hs[k] + 1);
        const V32wu* lo = reinterpret_cast<const V32wu*>(p - hs[k]);
        const V32w d0 = hi[0] - lo[0], d1 = hi[1] - lo[1];
        a0 += __builtin_convertvector(__builtin_shufflevector(d0, d0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15), V16i);
        a1 += __builtin_convertvector(__builtin_shufflevector(d0, d0, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31), V16i);
        a2 += __builtin_convertvector(__builtin_shufflevector(d1, d1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15), V16i);
        a3 += __builtin_convertvector(__builtin_shufflevector(d1, d1, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31), V16i);
    }
    V16iu* o = reinterpret_cast<V16iu*>(out);
    o[0] = a0; o[1] = a1; o[2] = a2; o[3] = a3;
}

// Adds one prefix row's chords to a band of output rows over the 64 columns
// the row pointer p starts at: output row j of the band takes the chord of
// half-width hw[-j]; chords wider than `limit` (clipped over these columns)
// are left to the caller. The band's sums stay in the first-level cache while
// the prefix rows stream past once.
[[gnu::always_inline]] inline void AddRowToBand(int32_t* acc, const uint16_t* p, const int32_t* hw, int rowsInBand, int limit) {
    // Neighbouring band rows often take the same half-width: the widened chord
    // is kept and added again.
    int lastH = -1;
    V16i c0 = V16i{}, c1 = c0, c2 = c0, c3 = c0;
    for (int j = 0; j < rowsInBand; ++j) {
        const int h = hw[-j];
        if (h > limit) continue;
        if (h != lastH) {
            const V32wu* hi = reinterpret_cast<const V32wu*>(p + h + 1);
            const V32wu* lo = reinterpret_cast<const V32wu*>(p - h);
            const V32w d0 = hi[0] - lo[0], d1 = hi[1] - lo[1];
            c0 = __builtin_convertvector(__builtin_shufflevector(d0, d0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15), V16i);
            c1 = __builtin_convertvector(__builtin_shufflevector(d0, d0, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31), V16i);
            c2 = __builtin_convertvector(__builtin_shufflevector(d1, d1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15), V16i);
            c3 = __builtin_convertvector(__builtin_shufflevector(d1, d1, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31), V16i);
            lastH = h;
        }
        V16iu* a = reinterpret_cast<V16iu*>(acc + size_t(j) * kTile);
        a[0] += c0;
        a[1] += c1;
        a[2] += c2;
        a[3] += c3;
    }
}

// The three tile kernels compiled for each CPU level: the vector code widens
// to the level's registers. Picked once per blur.
#define DISK_BLUR_LEVEL(Suffix, Target)                                                                          \
    Target void SumChordsTile##Suffix(int32_t* out, int32_t base, const int32_t* prefix, size_t pw, int y,      \
                                      int height, const int32_t* offs, const int32_t* hs, int count, int x0,    \
                                      int limit) {                                                              \
        SumChordsTile(out, base, prefix, pw, y, height, offs, hs, count, x0, limit);                            \
    }                                                                                                           \
    Target void SumChordsTile16##Suffix(int32_t* out, int32_t base, const uint16_t* prefix, size_t pw, int y,   \
                                        int height, const int32_t* offs, const int32_t* hs, int count, int x0,  \
                                        int limit) {                                                            \
        SumChordsTile16(out, base, prefix, pw, y, height, offs, hs, count, x0, limit);                          \
    }                                                                                                           \
    Target void AddRowToBand##Suffix(int32_t* acc, const uint16_t* p, const int32_t* hw, int rowsInBand,        \
                                     int limit) {                                                               \
        AddRowToBand(acc, p, hw, rowsInBand, limit);                                                            \
    }
DISK_BLUR_LEVEL(Baseline, )
DISK_BLUR_LEVEL(Avx2, __attribute__((target("avx2"))))
DISK_BLUR_LEVEL(Avx512, __attribute__((target("arch=x86-64-v4"))))
#undef DISK_BLUR_LEVEL

struct TileKernels {
    void (*sumChords)(int32_t*, int32_t, const int32_t*, size_t, int, int, const int32_t*, const int32_t*, int, int,
                      int);
    void (*sumChords16)(int32_t*, int32_t, const uint16_t*, size_t, int, int, const int32_t*, const int32_t*, int,
                        int, int);
    void (*addRowToBand)(int32_t*, const uint16_t*, const int32_t*, int, int);
};

TileKernels PickTileKernels() {
    switch (ActiveCpuLevel()) {
    case CpuLevel::Avx512: return {&SumChordsTileAvx512, &SumChordsTile16Avx512, &AddRowToBandAvx512};
    case CpuLevel::Avx2: return {&SumChordsTileAvx2, &SumChordsTile16Avx2, &AddRowToBandAvx2};
    case CpuLevel::Baseline: break;
    }
    return {&SumChordsTileBaseline, &SumChordsTile16Baseline, &AddRowToBandBaseline};
}

// Output in 64-column tiles by bands of rows, so that the prefix sums a tile
// reads stay in cache from one output row to the next. Over a tile, chords
// narrow enough to stay inside the row are summed in registers, the others clip.
// The smallest and largest byte of each 64 x 64 block of the plane (the same
// grid as the tiles), so that a tile whose whole disk neighbourhood holds one
// value is known before any sum is taken.
struct BlockRange {
    int columns = 0, rows = 0;
    std::vector<uint8_t> lo, hi;
};

// When every pixel the disks of a tile reach holds the same value c, and the
// disks lie wholly inside the plane (or c is 0, which the outside adds as
// well), every output pixel of the tile is c: the average of a constant.
bool UniformNeighbourhood(const BlockRange& blocks, int width, int height, int r, int x0, int x1, int y0, int y1,
                          uint8_t& value) {
    const int64_t left = int64_t(x0) - r, right = int64_t(x1) - 1 + r;
    const int64_t top = int64_t(y0) - r, bottom = int64_t(y1) - 1 + r;
    const bool inside = left >= 0 && top >= 0 && right < width && bottom < height;
    const int bx0 = int(std::max<int64_t>(left, 0) / kTile), bx1 = int(std::min<int64_t>(right, width - 1) / kTile);
    const int by0 = int(std::max<int64_t>(top, 0) / kTile), by1 = int(std::min<int64_t>(bottom, height - 1) / kTile);
    const uint8_t c = blocks.lo[size_t(by0) * size_t(blocks.columns) + size_t(bx0)];
    if (!inside && c != 0) return false;
    for (int by = by0; by <= by1; ++by)
        for (int bx = bx0; bx <= bx1; ++bx) {
            const size_t i = size_t(by) * size_t(blocks.columns) + size_t(bx);
            if (blocks.lo[i] != c || blocks.hi[i] != c) return false;
        }
    value = c;
    return true;
}

template <typename Acc, typename PT>
void DiskBlurTiles(uint8_t* plane, int width, int height, const PT* prefix, const std::vector<int32_t>& totals,
                   const std::vector<int32_t>& halfWidths, int64_t area, int r, const BlockRange& blocks) {
    const TileKernels kernels = PickTileKernels();
    const size_t pw = size_t(width) + 1;
    const int rows = int(halfWidths.size() / 2);
    // Disk rows in order of offset, so that a tile sweeps the prefix rows in
    // memory order; chords spanning whole rows add the row total instead.
    std::vector<int32_t> offs, hs;
    for (int k = 0; k < int(halfWidths.size()); ++k)
        if (halfWidths[size_t(k)] < width - 1) {
            offs.push_back(k - rows);
            hs.push_back(halfWidths[size_t(k)]);
        }
    std::vector<Acc> base(size_t(height), 0);
    for (int y = 0; y < height; ++y)
        for (int k = 0; k < int(halfWidths.size()); ++k) {
            const int row = y + k - rows;
            if (halfWidths[size_t(k)] >= width - 1 && row >= 0 && row < height)
                base[size_t(y)] += Acc(totals[size_t(row)]);
        }
    const int count = int(hs.size());
    const double inv = 1.0 / double(area);
    const int tiles = (width + kTile - 1) / kTile;
    constexpr int kBand = 64;
    const int bands = (height + kBand - 1) / kBand;
    // With many disk rows, streaming each prefix row once past a band of sums
    // held in cache beats summing every output row's chords in registers.
    const bool streamRows = rows > 40;
    // Shared out dynamically: one thread held up by other processes does not
    // hold up the rest.
#pragma omp parallel for collapse(2) schedule(dynamic) if (int64_t(width) * height >= (int64_t(1) << 14))
    for (int t = 0; t < tiles; ++t)
        for (int b = 0; b < bands; ++b) {
            const int x0 = t * kTile, x1 = std::min(width, x0 + kTile);
            const int yb0 = b * kBand, yb1 = std::min(height, yb0 + kBand);
            uint8_t flat = 0;
            if (UniformNeighbourhood(blocks, width, height, r, x0, x1, yb0, yb1, flat)) {
                for (int y = yb0; y < yb1; ++y) std::memset(plane + size_t(y) * size_t(width) + size_t(x0), flat, size_t(x1 - x0));
                continue;
            }
            // Over a full tile, chords no wider than `limit` stay inside the row.
            const bool full = sizeof(Acc) == 4 && x1 - x0 == kTile;
            const int limit = full ? std::min(x0, width - x0 - kTile) : -1;
            alignas(64) Acc band[kBand * kTile];
            for (int y = yb0; y < yb1; ++y) std::fill_n(band + size_t(y - yb0) * kTile, kTile, base[size_t(y)]);
            if constexpr (sizeof(Acc) == 4 && sizeof(PT) == 2) {
                if (full && streamRows) {
                    // Each prefix row near the band feeds every band row its disk reaches.
                    for (int row = std::max(0, yb0 - rows); row < std::min(height, yb1 + rows); ++row) {
                        const int ya = std::max(yb0, row - rows), yb = std::min(yb1, row + rows + 1);
                        kernels.addRowToBand(band + size_t(ya - yb0) * kTile, prefix + size_t(row) * pw + x0,
                                     halfWidths.data() + (row - ya + rows), yb - ya, limit);
                    }
                } else if (full) {
                    for (int y = yb0; y < yb1; ++y)
                        kernels.sumChords16(band + size_t(y - yb0) * kTile, base[size_t(y)], prefix, pw, y, height,
                                        offs.data(), hs.data(), count, x0, limit);
                }
            } else if constexpr (sizeof(Acc) == 4) {
                if (full)
                    for (int y = yb0; y < yb1; ++y)
                        kernels.sumChords(band + size_t(y - yb0) * kTile, base[size_t(y)], prefix, pw, y, height,
                                      offs.data(), hs.data(), count, x0, limit);
            }
            for (int y = yb0; y < yb1; ++y) {
                Acc* acc = band + size_t(y - yb0) * kTile;
                for (int k = 0; k < count; ++k) {
                    const int row = y + offs[size_t(k)];
                    if (row < 0 || row >= height || hs[size_t(k)] <= limit) continue;
                    AddChordClipped(acc, prefix + size_t(row) * pw, width, hs[size_t(k)], x0, x1);
                }
                // The area is odd, so a quotient is never exactly halfway and rounding
                // the double quotient gives the integer (total + area / 2) / area.
                uint8_t* out = plane + size_t(y) * size_t(width);
                for (int x = x0; x < x1; ++x) out[x] = uint8_t(std::min(double(acc[x - x0]) * inv + 0.5, 255.0));
            }
        }
}

// Builds the prefix sums of every row (in a working plane: large pages, as
// each disk row of a tile reads another prefix row) and runs the tiles.
template <typename Acc, typename PT>
void Run(uint8_t* plane, int width, int height, int r, const std::vector<int32_t>& halfWidths, int64_t area) {
    const size_t pw = size_t(width) + 1;
    const WorkPlane<PT> storage = MakeWorkPlane<PT>(pw * size_t(height));
    PT* prefix = storage.get();
    std::vector<int32_t> totals(static_cast<size_t>(height));
    BlockRange blocks;
    blocks.columns = (width + kTile - 1) / kTile;
    blocks.rows = (height + kTile - 1) / kTile;
    blocks.lo.assign(size_t(blocks.columns) * size_t(blocks.rows), 255);
    blocks.hi.assign(blocks.lo.size(), 0);
#pragma omp parallel for schedule(static) if (int64_t(width) * height >= (int64_t(1) << 14))
    for (int by = 0; by < blocks.rows; ++by) {
        uint8_t* lo = blocks.lo.data() + size_t(by) * size_t(blocks.columns);
        uint8_t* hi = blocks.hi.data() + size_t(by) * size_t(blocks.columns);
        for (int y = by * kTile; y < std::min(height, (by + 1) * kTile); ++y) {
            PT* p = prefix + size_t(y) * pw;
            const uint8_t* row = plane + size_t(y) * size_t(width);
            int32_t sum = 0;
            p[0] = 0;
            for (int x = 0; x < width; ++x) {
                sum += row[x];
                p[x + 1] = PT(sum);
            }
            totals[size_t(y)] = sum;
            for (int bx = 0; bx < blocks.columns; ++bx) {
                const uint8_t* b = row + size_t(bx) * kTile;
                const int n = std::min(kTile, width - bx * kTile);
                uint8_t mn = lo[bx], mx = hi[bx];
                for (int x = 0; x < n; ++x) {
                    mn = std::min(mn, b[x]);
                    mx = std::max(mx, b[x]);
                }
                lo[bx] = mn;
                hi[bx] = mx;
            }
        }
    }
    DiskBlurTiles<Acc, PT>(plane, width, height, prefix, totals, halfWidths, area, r, blocks);
}

}  // namespace

void DiskBlur(uint8_t* plane, int width, int height, int r) {
    if (!plane || r < 1 || width < 1 || height < 1) return;
    r = std::min(r, kDiskBlurMaxRadius);
    const int64_t area = DiskArea(r);
    // Disk rows further than height - 1 never meet the plane; wider chords than
    // the row are clipped anyway.
    const int rows = std::min(r, height - 1);
    std::vector<int32_t> halfWidths(size_t(2 * rows + 1));
    for (int i = -rows; i <= rows; ++i) halfWidths[size_t(i + rows)] = int32_t(std::min<int64_t>(HalfWidth(r, i), width));

    // Chords narrower than the row read prefix sums; 16-bit ones while no such
    // chord spans more than 257 pixels.
    int32_t widest = -1;
    for (int32_t h : halfWidths)
        if (h < width - 1) widest = std::max(widest, h);
    if (widest <= 128) Run<int32_t, uint16_t>(plane, width, height, r, halfWidths, area);
    else Run<int32_t, int32_t>(plane, width, height, r, halfWidths, area);
}

void DiskBlurReference(uint8_t* plane, int width, int height, int r) {
    if (!plane || r < 1 || width < 1 || height < 1) return;
    r = std::min(r, kDiskBlurMaxRadius);
    const int64_t area = DiskArea(r);
    std::vector<uint8_t> src(plane, plane + size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int64_t total = 0;
            for (int i = -r; i <= r; ++i) {
                if (y + i < 0 || y + i >= height) continue;
                const int64_t h = HalfWidth(r, i);
                for (int64_t xx = std::max<int64_t>(0, x - h); xx <= std::min<int64_t>(width - 1, x + h); ++xx)
                    total += src[size_t(y + i) * size_t(width) + size_t(xx)];
            }
            plane[size_t(y) * size_t(width) + size_t(x)] = uint8_t((total + area / 2) / area);
        }
}
