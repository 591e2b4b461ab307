// Disk average: one prefix-sum line per row, then per output row a pass of
// two lookups per disk row.
#include "filters/DiskBlur.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Past this radius the disk's area exceeds twice 255 times the largest plane,
// so every output rounds to 0.
constexpr int kZeroRadius = 1 << 20;

int64_t HalfWidth(int r, int64_t i) {
    return int64_t(std::sqrt(double(r) * double(r) - double(i) * double(i)));
}

int64_t DiskArea(int r) {
    int64_t a = 0;
    for (int64_t i = -r; i <= r; ++i) a += 2 * HalfWidth(r, i) + 1;
    return a;
}

// Adds, for every column x, the row's sum over x - h..x + h (clipped to the
// row) using the row's prefix sums p[0..width].
template <typename Acc>
void AddChord(Acc* acc, const int32_t* p, int width, int h) {
    const int a = std::min(h, width);           // x < a: left end clipped
    const int b = std::max(a, width - h);       // a <= x < b: both ends inside
    for (int x = 0; x < a; ++x) acc[x] += Acc(p[std::min(x + h + 1, width)]);
    for (int x = a; x < b; ++x) acc[x] += Acc(p[x + h + 1] - p[x - h]);
    for (int x = b; x < width; ++x) acc[x] += Acc(p[width] - p[std::max(x - h, 0)]);
}

template <typename Acc>
void DiskBlurRows(uint8_t* plane, int width, int height, int r, const std::vector<int32_t>& prefix,
                  const std::vector<int32_t>& halfWidths, int64_t area) {
    const size_t pw = size_t(width) + 1;
    const int rows = int(halfWidths.size() / 2);  // disk rows that can reach the plane: -rows..rows
    const double inv = 1.0 / double(area);
#pragma omp parallel if (int64_t(width) * height >= (int64_t(1) << 14))
    {
        std::vector<Acc> acc(static_cast<size_t>(width));
#pragma omp for schedule(static)
        for (int y = 0; y < height; ++y) {
            std::fill(acc.begin(), acc.end(), Acc(0));
            const int i0 = std::max(-rows, -y), i1 = std::min(rows, height - 1 - y);
            for (int i = i0; i <= i1; ++i)
                AddChord(acc.data(), prefix.data() + size_t(y + i) * pw, width, halfWidths[size_t(i + rows)]);
            uint8_t* out = plane + size_t(y) * size_t(width);
            // The area is odd, so a quotient is never exactly halfway and rounding the
            // double quotient gives the integer (total + area / 2) / area.
            for (int x = 0; x < width; ++x) out[x] = uint8_t(std::min(double(acc[size_t(x)]) * inv + 0.5, 255.0));
        }
    }
    (void)r;
}

}  // namespace

void DiskBlur(uint8_t* plane, int width, int height, int r) {
    if (!plane || r < 1 || width < 1 || height < 1) return;
    if (r >= kZeroRadius) {
        std::memset(plane, 0, size_t(width) * size_t(height));
        return;
    }
    const int64_t area = DiskArea(r);
    // Disk rows further than height - 1 never meet the plane; wider chords than
    // the row are clipped anyway.
    const int rows = std::min(r, height - 1);
    std::vector<int32_t> halfWidths(size_t(2 * rows + 1));
    for (int i = -rows; i <= rows; ++i) halfWidths[size_t(i + rows)] = int32_t(std::min<int64_t>(HalfWidth(r, i), width));

    const size_t pw = size_t(width) + 1;
    std::vector<int32_t> prefix(pw * size_t(height));
#pragma omp parallel for schedule(static) if (int64_t(width) * height >= (int64_t(1) << 14))
    for (int y = 0; y < height; ++y) {
        int32_t* p = prefix.data() + size_t(y) * pw;
        const uint8_t* row = plane + size_t(y) * size_t(width);
        p[0] = 0;
        for (int x = 0; x < width; ++x) p[x + 1] = p[x] + row[x];
    }
    // 32-bit totals suffice while 255 times the disk's area stays below 2^31.
    if (area * 255 < (int64_t(1) << 31)) DiskBlurRows<int32_t>(plane, width, height, r, prefix, halfWidths, area);
    else DiskBlurRows<int64_t>(plane, width, height, r, prefix, halfWidths, area);
}

void DiskBlurReference(uint8_t* plane, int width, int height, int r) {
    if (!plane || r < 1 || width < 1 || height < 1) return;
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
