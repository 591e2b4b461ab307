// Stack Blur passes: lines are blurred in groups (several rows, or a strip of
// adjacent columns) so that the per-sample arithmetic runs on vectors of lanes.
#include "filters/StackBlur.h"

#include "platform/CpuLevel.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

// shr is the smallest shift with 2^shr > 256 (r + 1)^2 and mul = ceil(2^shr / (r + 1)^2),
// which reproduces the published tables entry for entry.
constexpr std::array<uint8_t, kStackBlurMaxRadius + 1> MakeShr() {
    std::array<uint8_t, kStackBlurMaxRadius + 1> t{};
    for (int r = 0; r <= kStackBlurMaxRadius; ++r) {
        const uint64_t d = uint64_t(r + 1) * uint64_t(r + 1);
        int s = 0;
        while ((uint64_t(1) << s) <= 256 * d) ++s;
        t[size_t(r)] = uint8_t(s);
    }
    return t;
}
constexpr std::array<uint8_t, kStackBlurMaxRadius + 1> kShr = MakeShr();

constexpr std::array<uint16_t, kStackBlurMaxRadius + 1> MakeMul() {
    std::array<uint16_t, kStackBlurMaxRadius + 1> t{};
    for (int r = 0; r <= kStackBlurMaxRadius; ++r) {
        const uint64_t d = uint64_t(r + 1) * uint64_t(r + 1);
        t[size_t(r)] = uint16_t(((uint64_t(1) << kShr[size_t(r)]) + d - 1) / d);
    }
    return t;
}
constexpr std::array<uint16_t, kStackBlurMaxRadius + 1> kMul = MakeMul();

static_assert(kMul[0] == 512 && kMul[1] == 512 && kMul[2] == 456 && kMul[3] == 512 && kMul[4] == 328);
static_assert(kShr[0] == 9 && kShr[1] == 11 && kShr[2] == 12 && kShr[3] == 13 && kShr[4] == 13 && kShr[5] == 14);
static_assert(kMul[254] == 259 && kShr[254] == 24);
// The largest product, 255 (r + 1)^2 * mul, must fit unsigned 32 bits.
static_assert(uint64_t(255) * 255 * 255 * 259 == 4294576125ull && 4294576125ull < (uint64_t(1) << 32));

int ClampRadius(int r) { return std::min(std::max(r, 0), kStackBlurMaxRadius); }

// Blurs C * G independent lanes along n samples: lane (g, c) is the byte at
// base + g * groupStride + i * step + c for sample i. `stack` holds (2r + 1) * C * G
// bytes. With kSkipFourth, lanes c % 4 == 3 are read but never written.
template <int C, int G, bool kSkipFourth>
[[gnu::always_inline]] inline void StackBlurLanes(uint8_t* base, ptrdiff_t groupStride, ptrdiff_t step, int n, int r, uint8_t* stack) {
    constexpr int L = C * G;
    const uint32_t mul = kMul[size_t(r)];
    const uint32_t shr = kShr[size_t(r)];
    const int div = 2 * r + 1;
    uint32_t sum[L], sumIn[L], sumOut[L], last[L], v[L];
    auto load = [&](int i, uint32_t* out) {
        for (int g = 0; g < G; ++g) {
            const uint8_t* p = base + g * groupStride + ptrdiff_t(i) * step;
            for (int c = 0; c < C; ++c) out[g * C + c] = p[c];
        }
    };
    load(0, v);
    for (int l = 0; l < L; ++l) {
        sum[l] = v[l] * uint32_t((r + 1) * (r + 2) / 2);
        sumOut[l] = v[l] * uint32_t(r + 1);
        sumIn[l] = 0;
    }
    for (int i = 0; i <= r; ++i)
        for (int l = 0; l < L; ++l) stack[size_t(i) * L + size_t(l)] = uint8_t(v[l]);
    for (int i = 1; i <= r; ++i) {
        load(std::min(i, n - 1), v);
        for (int l = 0; l < L; ++l) {
            stack[size_t(i + r) * L + size_t(l)] = uint8_t(v[l]);
            sum[l] += v[l] * uint32_t(r + 1 - i);
            sumIn[l] += v[l];
        }
    }
    // The end sample is kept aside: the line is overwritten behind the read point.
    load(n - 1, last);

    int sp = r;
    for (int i = 0; i < n; ++i) {
        for (int g = 0; g < G; ++g) {
            uint8_t* p = base + g * groupStride + ptrdiff_t(i) * step;
            for (int c = 0; c < C; ++c) {
                if (kSkipFourth && c % 4 == 3) continue;
                p[c] = uint8_t((sum[g * C + c] * mul) >> shr);
            }
        }
        int start = sp + r + 1;
        if (start >= div) start -= div;
        uint8_t* leaving = stack + size_t(start) * L;
        const int next = i + r + 1;
        if (next < n - 1) load(next, v);
        else std::copy(last, last + L, v);
        for (int l = 0; l < L; ++l) {
            sum[l] -= sumOut[l];
            sumOut[l] -= leaving[l];
            leaving[l] = uint8_t(v[l]);
            sumIn[l] += v[l];
            sum[l] += sumIn[l];
        }
        if (++sp >= div) sp = 0;
        const uint8_t* entering = stack + size_t(sp) * L;
        for (int l = 0; l < L; ++l) {
            sumOut[l] += entering[l];
            sumIn[l] -= entering[l];
        }
    }
}

// The groupings the passes use, compiled once more for AVX2 (which multiplies
// 32-bit lanes natively) and picked at run time; integer results are the same.
// A plain target attribute, because clang does not clone function templates.
template <int C, int G, bool kSkipFourth>
__attribute__((target("avx2"), flatten)) void StackBlurGroupAvx2(uint8_t* base, ptrdiff_t groupStride,
                                                                  ptrdiff_t step, int n, int r, uint8_t* stack) {
    StackBlurLanes<C, G, kSkipFourth>(base, groupStride, step, n, r, stack);
}
template <int C, int G, bool kSkipFourth>
__attribute__((target("avx512f,avx512bw,avx512vl,avx2"), flatten)) void StackBlurGroupAvx512(
    uint8_t* base, ptrdiff_t groupStride, ptrdiff_t step, int n, int r, uint8_t* stack) {
    StackBlurLanes<C, G, kSkipFourth>(base, groupStride, step, n, r, stack);
}
template <int C, int G, bool kSkipFourth>
void StackBlurGroup(bool avx2, uint8_t* base, ptrdiff_t groupStride, ptrdiff_t step, int n, int r, uint8_t* stack) {
    if (avx2)
        StackBlurGroupAvx2<C, G, kSkipFourth>(base, groupStride, step, n, r, stack);
    else
        StackBlurLanes<C, G, kSkipFourth>(base, groupStride, step, n, r, stack);
}

// Lines big enough to share out among threads.
bool WorthThreads(int64_t samples) { return samples >= (int64_t(1) << 16); }

// The horizontal pass over rows of pixels of kBpp bytes (1 or 4): four rows
// (sixteen for planes) per group, then the remaining rows one by one.
template <int kBpp, bool kSkipFourth>
void HorizontalPass(uint8_t* data, int width, int rows, int r) {
    if (r <= 0 || width <= 0 || rows <= 0) return;
    constexpr int kGroup = kBpp == 4 ? 4 : 16;
    const ptrdiff_t stride = ptrdiff_t(width) * kBpp;
    const int groups = rows / kGroup;
    const bool avx2 = ActiveCpuLevel() >= CpuLevel::Avx2;
#pragma omp parallel if (WorthThreads(int64_t(width) * rows))
    {
        std::vector<uint8_t> stack(size_t(2 * r + 1) * kGroup * kBpp);
#pragma omp for schedule(static)
        for (int gi = 0; gi < groups; ++gi)
            StackBlurGroup<kBpp, kGroup, kSkipFourth>(avx2, data + ptrdiff_t(gi) * kGroup * stride, stride, kBpp, width, r,
                                                     stack.data());
#pragma omp for schedule(static)
        for (int y = groups * kGroup; y < rows; ++y)
            StackBlurLanes<kBpp, 1, kSkipFourth>(data + ptrdiff_t(y) * stride, stride, kBpp, width, r, stack.data());
    }
}

// The vertical pass: strips of 32 adjacent bytes of every row (whose stack of
// up to 509 entries stays in the first-level cache), then the remaining
// columns one pixel at a time.
template <int kBpp, bool kSkipFourth>
void VerticalPass(uint8_t* data, int width, int height, int r) {
    if (r <= 0 || width <= 0 || height <= 0) return;
    constexpr int kStrip = 32;
    const ptrdiff_t stride = ptrdiff_t(width) * kBpp;
    const int strips = int(stride / kStrip);
    const int firstLeftover = strips * kStrip / kBpp;
    const bool avx2 = ActiveCpuLevel() >= CpuLevel::Avx2;
#pragma omp parallel if (WorthThreads(int64_t(width) * height))
    {
        std::vector<uint8_t> stack(size_t(2 * r + 1) * kStrip);
#pragma omp for schedule(static)
        for (int s = 0; s < strips; ++s)
            StackBlurGroup<kStrip, 1, kSkipFourth>(avx2, data + ptrdiff_t(s) * kStrip, 0, stride, height, r, stack.data());
#pragma omp for schedule(static)
        for (int x = firstLeftover; x < width; ++x)
            StackBlurLanes<kBpp, 1, kSkipFourth>(data + ptrdiff_t(x) * kBpp, 0, stride, height, r, stack.data());
    }
}

}  // namespace

const std::array<uint16_t, kStackBlurMaxRadius + 1> kStackBlurMul = kMul;
const std::array<uint8_t, kStackBlurMaxRadius + 1> kStackBlurShr = kShr;

void StackBlurLineReference(uint8_t* first, ptrdiff_t step, int count, int r) {
    r = ClampRadius(r);
    if (!first || count <= 0 || r == 0) return;
    std::vector<uint8_t> stack(size_t(2 * r + 1));
    StackBlurLanes<1, 1, false>(first, 0, step, count, r, stack.data());
}

void CGaussianRecBlur::StackBlurRGBA(uint8_t* pixels, int width, int height, int rx, int ry) {
    if (!pixels || width <= 0 || height <= 0) return;
    HorizontalPass<4, false>(pixels, width, height, ClampRadius(rx));
    VerticalPass<4, false>(pixels, width, height, ClampRadius(ry));
}

void CGaussianRecBlur::StackBlurColor32(uint8_t* pixels, int width, int height, int rx, int ry) {
    if (!pixels || width <= 0 || height <= 0) return;
    HorizontalPass<4, true>(pixels, width, height, ClampRadius(rx));
    VerticalPass<4, true>(pixels, width, height, ClampRadius(ry));
}

void CGaussianRecBlur::StackBlurAlpha8(uint8_t* plane, int width, int height, int rx, int ry) {
    if (!plane || width <= 0 || height <= 0) return;
    HorizontalPass<1, false>(plane, width, height, ClampRadius(rx));
    VerticalPass<1, false>(plane, width, height, ClampRadius(ry));
}

void CGaussianRecBlur::StackBlurGray8Rows(uint8_t* firstRow, int width, int rows, int r) {
    if (!firstRow) return;
    HorizontalPass<1, false>(firstRow, width, rows, ClampRadius(r));
}

void StackBlurGray8(uint8_t* plane, int width, int height, int rx, int ry) {
    CGaussianRecBlur().StackBlurAlpha8(plane, width, height, rx, ry);
}

void StackBlurGray8Columns(uint8_t* plane, int width, int height, int r, const int32_t* rowLo,
                           const int32_t* rowHi) {
    r = ClampRadius(r);
    if (!plane || width <= 0 || height <= 0 || r <= 0) return;
    // Each strip of 32 columns is blurred only over the rows from r + 1
    // above its first set byte to r + 1 below its last: beyond them the
    // blur reads nothing but zeros, and at the cut ends the repeated sample
    // is a zero row as the rows beyond are, so the bytes are those of the
    // whole columns.
    constexpr int kStrip = 32;
    const ptrdiff_t stride = width;
    const int strips = width / kStrip;
    const bool avx2 = ActiveCpuLevel() >= CpuLevel::Avx2, avx512 = ActiveCpuLevel() >= CpuLevel::Avx512;
    auto strip = [&](uint8_t* base, ptrdiff_t step, int n, uint8_t* stack) {
        if (avx512) StackBlurGroupAvx512<kStrip, 1, false>(base, 0, step, n, r, stack);
        else StackBlurGroup<kStrip, 1, false>(avx2, base, 0, step, n, r, stack);
    };
    // With the rows' ranges given, each strip's first and last rows that
    // can hold a set byte come from them.
    std::vector<int32_t> stripFirst, stripLast;
    if (rowLo && rowHi) {
        stripFirst.assign(size_t(strips), height);
        stripLast.assign(size_t(strips), -1);
        for (int y = 0; y < height; ++y) {
            const int lo = std::max(rowLo[y], 0), hi = std::min(rowHi[y], strips * kStrip);
            for (int s = lo / kStrip; s < strips && s * kStrip < hi; ++s) {
                stripFirst[size_t(s)] = std::min(stripFirst[size_t(s)], y);
                stripLast[size_t(s)] = y;
            }
        }
    }
#pragma omp parallel if (WorthThreads(int64_t(width) * height))
    {
        std::vector<uint8_t> stack(size_t(2 * r + 1) * kStrip);
#pragma omp for schedule(static)
        for (int s = 0; s < strips; ++s) {
            uint8_t* base = plane + ptrdiff_t(s) * kStrip;
            auto set = [&](int y) {
                uint64_t v[4];
                std::memcpy(v, base + ptrdiff_t(y) * stride, sizeof v);
                return (v[0] | v[1] | v[2] | v[3]) != 0;
            };
            int first = 0, last = height - 1;
            if (!stripFirst.empty()) {
                first = stripFirst[size_t(s)], last = stripLast[size_t(s)];
            } else {
                while (first < height && !set(first)) ++first;
                if (first < height)
                    while (!set(last)) --last;
            }
            if (first > last || first >= height) continue;
            const int y0 = std::max(0, first - r - 1), y1 = std::min(height, last + r + 2);
            strip(base + ptrdiff_t(y0) * stride, stride, y1 - y0, stack.data());
        }
    }
    // The last columns, fewer than a strip, as a strip of their own in a
    // copy padded with clear columns (every column is blurred on its own).
    const int rest = width - strips * kStrip;
    if (rest > 0) {
        std::vector<uint8_t> padded(size_t(kStrip) * size_t(height), 0);
        for (int y = 0; y < height; ++y)
            std::memcpy(&padded[size_t(y) * kStrip], plane + ptrdiff_t(y) * stride + strips * kStrip, size_t(rest));
        std::vector<uint8_t> stack(size_t(2 * r + 1) * kStrip);
        strip(padded.data(), kStrip, height, stack.data());
        for (int y = 0; y < height; ++y)
            std::memcpy(plane + ptrdiff_t(y) * stride + strips * kStrip, &padded[size_t(y) * kStrip], size_t(rest));
    }
}
