#include "posable/BoneShape.h"

#include "filters/StackBlur.h"
#include "platform/CpuLevel.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

namespace {

constexpr double kTinyCap = 0.0001;

struct BoneFrame {
    double ax = 1, ay = 0;  // unit axis from head to tail
    double length = 0;
};

BoneFrame FrameOf(const BoneShapeParams& p) {
    BoneFrame f;
    const double dx = p.tailX - p.headX, dy = p.tailY - p.headY;
    f.length = std::hypot(dx, dy);
    if (f.length > 0) {
        f.ax = dx / f.length;
        f.ay = dy / f.length;
    }
    return f;
}

bool InsideAt(const BoneShapeParams& p, const BoneFrame& f, double x, double y) {
    const double rx = x - p.headX, ry = y - p.headY;
    const double u = rx * f.ax + ry * f.ay;
    const double v = rx * -f.ay + ry * f.ax;
    const double L = f.length;
    const double start = p.roundHead ? p.headShift : -p.headCapLength;
    const double end = p.roundTail ? L - p.tailShift : L + p.tailCapLength;
    if (u >= start && u <= end && std::fabs(v) <= p.halfWidth) return true;
    if (p.roundHead && p.headCapLength > kTinyCap && p.headCapHalfWidth > kTinyCap && u < p.headShift) {
        const double a = (p.headShift - u) / p.headCapLength, b = (v - p.headOffset) / p.headCapHalfWidth;
        return a * a + b * b <= 1;
    }
    if (p.roundTail && p.tailCapLength > kTinyCap && p.tailCapHalfWidth > kTinyCap && u > L - p.tailShift) {
        const double a = (u - (L - p.tailShift)) / p.tailCapLength, b = (v - p.tailOffset) / p.tailCapHalfWidth;
        return a * a + b * b <= 1;
    }
    return false;
}

double FiniteOr(double v, double fallback) { return std::isfinite(v) ? v : fallback; }

// Where the region lies in the bone's frame, before any feather: u in
// [low, high], |v| <= V.
void Extent(const BoneShapeParams& p, double L, double& low, double& high, double& V) {
    low = p.roundHead ? std::min(p.headShift - p.headCapLength, p.headShift) : -p.headCapLength;
    high = p.roundTail ? std::max(L - p.tailShift + p.tailCapLength, L - p.tailShift) : L + p.tailCapLength;
    V = p.halfWidth;
    if (p.roundHead) V = std::max(V, std::fabs(p.headOffset) + p.headCapHalfWidth);
    if (p.roundTail) V = std::max(V, std::fabs(p.tailOffset) + p.tailCapHalfWidth);
}

// A frame rectangle holding every pixel InsideAt can accept, whatever the
// numbers (shifts past each other, negative widths): u in [low, high],
// |v| <= V.
void InsideExtent(const BoneShapeParams& p, double L, double& low, double& high, double& V) {
    const double start = p.roundHead ? p.headShift : -p.headCapLength;
    const double end = p.roundTail ? L - p.tailShift : L + p.tailCapLength;
    low = std::min(start, end), high = std::max(start, end);
    V = std::fabs(p.halfWidth);
    if (p.roundHead) {
        low = std::min(low, p.headShift - std::fabs(p.headCapLength));
        high = std::max(high, p.headShift);
        V = std::max(V, std::fabs(p.headOffset) + std::fabs(p.headCapHalfWidth));
    }
    if (p.roundTail) {
        low = std::min(low, L - p.tailShift);
        high = std::max(high, L - p.tailShift + std::fabs(p.tailCapLength));
        V = std::max(V, std::fabs(p.tailOffset) + std::fabs(p.tailCapHalfWidth));
    }
}

// The columns [i0, i1) of row j of the box that can hold region pixels: the
// row cut by the rotated rectangle of Extent, a pixel wider on each side so
// rounding never drops one InsideAt would keep. The whole row when the
// numbers are not finite.
void RowSpan(const BoneShapeParams& p, const BoneFrame& f, double low, double high, double V,
             const BoneShapeBox& box, int j, int& i0, int& i1) {
    i0 = 0, i1 = box.width;
    const double ry = box.top + j + 0.5 - p.headY;
    double lo = -1e300, hi = 1e300;  // allowed x - headX
    auto cut = [&](double k, double c, double a, double b) {
        // a <= k * rx + c <= b
        if (std::fabs(k) < 1e-9) {
            if (c < a - 1e-6 || c > b + 1e-6) lo = 1, hi = 0;
            return;
        }
        double e0 = (a - c) / k, e1 = (b - c) / k;
        if (e0 > e1) std::swap(e0, e1);
        lo = std::max(lo, e0), hi = std::min(hi, e1);
    };
    cut(f.ax, ry * f.ay, low, high);
    cut(-f.ay, ry * f.ax, -V, V);
    if (!std::isfinite(lo) || !std::isfinite(hi)) {
        if (lo > hi) i1 = 0;
        return;
    }
    if (lo > hi) {
        i1 = 0;
        return;
    }
    const double first = std::floor(p.headX + lo - box.left - 0.5) - 1;
    const double last = std::ceil(p.headX + hi - box.left - 0.5) + 2;
    if (!std::isfinite(first) || !std::isfinite(last)) return;
    i0 = int(std::clamp(first, 0.0, double(box.width)));
    i1 = int(std::clamp(last, 0.0, double(box.width)));
}

}  // namespace

BoneShapeParams MakeBoneShapeParams(const Bone& b, double w, double h) {
    BoneShapeParams p;
    const double s = std::max(w, h);
    p.headX = w * b.headX;
    p.headY = h * b.headY;
    p.tailX = w * b.tailX;
    p.tailY = h * b.tailY;
    const double L = std::hypot(p.tailX - p.headX, p.tailY - p.headY);
    p.halfWidth = std::max(s * b.width, 1.0) / 2;
    p.headCapLength = L * b.headCapLength;
    p.tailCapLength = L * b.tailCapLength;
    p.headShift = L * b.headShift;
    p.tailShift = L * b.tailShift;
    p.headOffset = s * b.headOffset;
    p.tailOffset = s * b.tailOffset;
    p.headCapHalfWidth = std::max(s * b.headCapWidth, 1.0) / 2;
    p.tailCapHalfWidth = std::max(s * b.tailCapWidth, 1.0) / 2;
    p.roundHead = b.roundHeadCap == 1;
    p.roundTail = b.roundTailCap == 1;
    p.feather = std::max(s * b.feather, 0.0);
    return p;
}

bool BoneShape::Contains(const BoneShapeParams& p, double x, double y) {
    const BoneFrame f = FrameOf(p);
    if (f.length < 1) return false;
    return InsideAt(p, f, x, y);
}

BoneShapeBox BoneShape::Bounds(const BoneShapeParams& p) {
    BoneShapeBox box;
    const BoneFrame f = FrameOf(p);
    const double L = f.length;
    if (!(L >= 1)) {
        box.left = std::floor(FiniteOr(p.headX, 0));
        box.top = std::floor(FiniteOr(p.headY, 0));
        return box;
    }
    const double m = FiniteOr(p.feather, 0) + 2;
    double low, high, V;
    Extent(p, L, low, high, V);
    low -= m;
    high += m;
    V += m;
    const double cx = -f.ay, cy = f.ax;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    const double along[2] = {low, high};
    const double across[2] = {-V, V};
    bool first = true;
    for (double a : along)
        for (double c : across) {
            const double x = p.headX + a * f.ax + c * cx, y = p.headY + a * f.ay + c * cy;
            if (first || x < minX) minX = x;
            if (first || y < minY) minY = y;
            if (first || x > maxX) maxX = x;
            if (first || y > maxY) maxY = y;
            first = false;
        }
    // Shapes from a file may hold absurd numbers: keep the box finite and
    // inside what a bitmap can be, so callers fail cleanly instead.
    const double lim = 4.0 * kMaxBitmapSide;
    minX = std::clamp(FiniteOr(minX, 0), -lim, lim);
    minY = std::clamp(FiniteOr(minY, 0), -lim, lim);
    maxX = std::clamp(FiniteOr(maxX, 0), -lim, lim);
    maxY = std::clamp(FiniteOr(maxY, 0), -lim, lim);
    box.left = std::floor(minX);
    box.top = std::floor(minY);
    box.width = std::max(int(std::ceil(maxX) - box.left), 1);
    box.height = std::max(int(std::ceil(maxY) - box.top), 1);
    return box;
}

namespace {

// Sets row[i] = 255 for the columns i0 .. i1 - 1 whose pixel centre lies in
// the region, and lists the runs of them (start, end pairs).
void InsideRow(const BoneShapeParams& p, const BoneFrame& f, const BoneShapeBox& box, double y, int i0, int i1,
               uint8_t* row, std::vector<int32_t>& runs) {
    int runStart = -1;
    for (int i = i0; i < i1; ++i) {
        if (InsideAt(p, f, box.left + i + 0.5, y)) {
            row[i] = 255;
            if (runStart < 0) runStart = i;
        } else if (runStart >= 0) {
            runs.push_back(runStart);
            runs.push_back(i);
            runStart = -1;
        }
    }
    if (runStart >= 0) {
        runs.push_back(runStart);
        runs.push_back(i1);
    }
}

// InsideRow eight pixels a step: the operations of InsideAt lane by lane,
// so the same pixels are set.
// No product may fuse with a sum here (a fused a * b + c rounds apart from
// InsideAt): GCC takes that per function, Clang for a stretch of the file.
// GCC 12's AVX-512 headers also warn about their own placeholder operands.
#if defined(__clang__)
#define BONE_SHAPE_NO_CONTRACT
#define BONE_SHAPE_EXACT_BEGIN _Pragma("STDC FP_CONTRACT OFF")
#define BONE_SHAPE_EXACT_END _Pragma("STDC FP_CONTRACT ON")
#else
#define BONE_SHAPE_NO_CONTRACT , optimize("fp-contract=off")
#define BONE_SHAPE_EXACT_BEGIN \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wmaybe-uninitialized\"")
#define BONE_SHAPE_EXACT_END _Pragma("GCC diagnostic pop")
#endif
BONE_SHAPE_EXACT_BEGIN
#define BONE_SHAPE_AVX512 \
    __attribute__((target("avx512f,avx512dq,avx512bw,avx512vl,avx2,fma") BONE_SHAPE_NO_CONTRACT))

BONE_SHAPE_AVX512 void InsideRowAvx512(const BoneShapeParams& p, const BoneFrame& f, const BoneShapeBox& box,
                                       double y, int i0, int i1, uint8_t* row, std::vector<int32_t>& runs) {
    const double ry = y - p.headY;
    const double L = f.length;
    const __m512d ryAy = _mm512_set1_pd(ry * f.ay), ryAx = _mm512_set1_pd(ry * f.ax);
    const __m512d ax = _mm512_set1_pd(f.ax), nay = _mm512_set1_pd(-f.ay), hx = _mm512_set1_pd(p.headX);
    const __m512d left = _mm512_set1_pd(box.left), half = _mm512_set1_pd(0.5), one = _mm512_set1_pd(1.0);
    const __m512d start = _mm512_set1_pd(p.roundHead ? p.headShift : -p.headCapLength);
    const __m512d end = _mm512_set1_pd(p.roundTail ? L - p.tailShift : L + p.tailCapLength);
    const __m512d hw = _mm512_set1_pd(p.halfWidth);
    const bool headCap = p.roundHead && p.headCapLength > kTinyCap && p.headCapHalfWidth > kTinyCap;
    const bool tailCap = p.roundTail && p.tailCapLength > kTinyCap && p.tailCapHalfWidth > kTinyCap;
    const __m512d hs = _mm512_set1_pd(p.headShift), hcl = _mm512_set1_pd(p.headCapLength);
    const __m512d ho = _mm512_set1_pd(p.headOffset), hcw = _mm512_set1_pd(p.headCapHalfWidth);
    const __m512d te = _mm512_set1_pd(L - p.tailShift), tcl = _mm512_set1_pd(p.tailCapLength);
    const __m512d to = _mm512_set1_pd(p.tailOffset), tcw = _mm512_set1_pd(p.tailCapHalfWidth);
    const __m256i iota = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    // Pixels i .. i + 7: stored, and the ones in the body (no cap) given back.
    // (The lambda names the target again: Clang does not pass it on.)
    auto eight = [&](int i) BONE_SHAPE_AVX512 {
        const __m512d x =
            _mm512_add_pd(_mm512_add_pd(left, _mm512_cvtepi32_pd(_mm256_add_epi32(_mm256_set1_epi32(i), iota))), half);
        const __m512d rx = _mm512_sub_pd(x, hx);
        const __m512d u = _mm512_add_pd(_mm512_mul_pd(rx, ax), ryAy);
        const __m512d v = _mm512_add_pd(_mm512_mul_pd(rx, nay), ryAx);
        const __mmask8 body = _mm512_cmp_pd_mask(u, start, _CMP_GE_OQ) & _mm512_cmp_pd_mask(u, end, _CMP_LE_OQ) &
                              _mm512_cmp_pd_mask(_mm512_abs_pd(v), hw, _CMP_LE_OQ);
        __mmask8 in = body, headSide = 0;
        if (headCap) {
            headSide = _mm512_cmp_pd_mask(u, hs, _CMP_LT_OQ) & ~in;
            if (headSide) {
                const __m512d a = _mm512_div_pd(_mm512_sub_pd(hs, u), hcl);
                const __m512d b = _mm512_div_pd(_mm512_sub_pd(v, ho), hcw);
                in |= headSide &
                      _mm512_cmp_pd_mask(_mm512_add_pd(_mm512_mul_pd(a, a), _mm512_mul_pd(b, b)), one, _CMP_LE_OQ);
            }
        }
        if (tailCap) {
            const __mmask8 tailSide = _mm512_cmp_pd_mask(u, te, _CMP_GT_OQ) & ~in & ~headSide;
            if (tailSide) {
                const __m512d a = _mm512_div_pd(_mm512_sub_pd(u, te), tcl);
                const __m512d b = _mm512_div_pd(_mm512_sub_pd(v, to), tcw);
                in |= tailSide &
                      _mm512_cmp_pd_mask(_mm512_add_pd(_mm512_mul_pd(a, a), _mm512_mul_pd(b, b)), one, _CMP_LE_OQ);
            }
        }
        _mm_storel_epi64(reinterpret_cast<__m128i*>(row + i), _mm_movm_epi8(__mmask16(in)));
        return body;
    };
    // Along a row u and v only grow or only shrink (each is a product and a
    // sum of one growing number), so the body's pixels are one unbroken
    // stretch: between a body pixel found from the left and one found from
    // the right every pixel is inside, and only the ends are tested.
    int i = i0;
    bool inBody = false;
    for (; i + 8 <= i1; i += 8)
        if (eight(i) & 0x80) {
            inBody = true;
            i += 8;
            break;
        }
    // Pixels [i, rest) are left for one by one.
    int rest = i1;
    if (inBody) {
        int j = i1 - 8;
        for (; j >= i; j -= 8)
            if (eight(j) & 0x01) break;
        if (j >= i) {
            std::memset(row + i, 255, size_t(j - i));
            rest = i;
        } else {
            rest = j + 8;
        }
    }
    for (int k = i; k < rest; ++k) row[k] = InsideAt(p, f, box.left + k + 0.5, y) ? 255 : 0;
    // The runs, from the row's bytes.
    int runStart = -1;
    for (int k = i0; k < i1; k += 64) {
        const int n = std::min(64, i1 - k);
        const __mmask64 lanes = n == 64 ? ~__mmask64(0) : ((__mmask64(1) << n) - 1);
        const uint64_t set = _mm512_test_epi8_mask(_mm512_maskz_loadu_epi8(lanes, row + k),
                                                   _mm512_set1_epi8(char(0xFF)));
        const uint64_t prev = runStart >= 0 ? 1u : 0u;
        uint64_t edges = (set ^ ((set << 1) | prev)) & lanes;
        while (edges) {
            const int b = __builtin_ctzll(edges);
            edges &= edges - 1;
            if (runStart < 0) {
                runStart = k + b;
            } else {
                runs.push_back(runStart);
                runs.push_back(k + b);
                runStart = -1;
            }
        }
    }
    if (runStart >= 0) {
        runs.push_back(runStart);
        runs.push_back(i1);
    }
}

BONE_SHAPE_EXACT_END

// Sum of the stack blur's weights r + 1 - |k| for k = -r .. m.
inline int64_t TentPrefix(int64_t m, int64_t r) {
    if (m < -r) return 0;
    if (m <= 0) return (m + r + 1) * (m + r + 2) / 2;
    m = std::min(m, r);
    return (r + 1) * (r + 2) / 2 + m * (r + 1) - m * (m + 1) / 2;
}

// The stack blur's row pass (radius r, ends repeated) of a row that is 255
// on the runs [a, e) and 0 elsewhere, worked out from the runs: a pixel whose
// reach holds no run edge keeps its byte, the others get the weighted count
// of set pixels in reach, scaled as the blur scales its sums. In place.
// `rise` holds the bytes about a lone rising edge at a: rise[x - a + r + 1]
// for x = a - r - 1 .. a + r, and `fall` those about a lone falling edge
// likewise (rise backwards). `edges` is scratch, kept by the caller so a row
// costs no allocation.
void BlurBinaryRow(uint8_t* row, int W, const std::vector<int32_t>& runs, int r, const uint8_t* rise,
                   const uint8_t* fall, std::vector<int32_t>& edges) {
    const size_t n = runs.size() / 2;
    if (n == 0) return;
    const uint32_t mul = kStackBlurMul[size_t(r)], shr = kStackBlurShr[size_t(r)];
    // Runs at either end go on past it, as the repeated end samples do.
    auto start = [&](size_t i) { return runs[2 * i] == 0 ? -r : runs[2 * i]; };
    auto end = [&](size_t i) { return runs[2 * i + 1] == W ? W + r : runs[2 * i + 1]; };
    size_t first = 0;
    auto blurAt = [&](int x) {
        while (first < n && end(first) - 1 < x - r) ++first;
        int64_t t = 0;
        for (size_t i = first; i < n && start(i) <= x + r; ++i) {
            const int64_t lo = std::max(start(i), x - r) - x, hi = std::min(end(i) - 1, x + r) - x;
            if (lo <= hi) t += TentPrefix(hi, r) - TentPrefix(lo - 1, r);
        }
        row[x] = uint8_t((uint32_t(255 * t) * mul) >> shr);
    };
    // Run edges in order (those at the row's ends are none), each pixel
    // within reach of one worked out once; an edge with no other within
    // 2r + 2 pixels takes its bytes from `rise` or `fall`.
    edges.clear();
    for (int32_t e : runs)
        if (e != 0 && e != W) edges.push_back(e);
    int done = 0;
    for (size_t i = 0; i < edges.size(); ++i) {
        const int edge = edges[i];
        const int x0 = std::max({edge - r - 1, done, 0}), x1 = std::min(edge + r + 1, W);
        const bool alone = (i == 0 || edge - edges[i - 1] >= 2 * r + 2) &&
                           (i + 1 == edges.size() || edges[i + 1] - edge >= 2 * r + 2);
        if (alone) {
            // Rising where the pixel at the edge is set.
            const uint8_t* bytes = row[edge] == 255 ? rise : fall;
            if (x1 > x0) std::memcpy(row + x0, bytes + (x0 - edge + r + 1), size_t(x1 - x0));
        } else {
            for (int x = x0; x < x1; ++x) blurAt(x);
        }
        done = std::max(done, x1);
    }
}

// The bytes about a lone rising edge (see BlurBinaryRow), then those about
// a lone falling edge: 2r + 2 of each.
std::vector<uint8_t> EdgeBytes(int r) {
    const uint32_t mul = kStackBlurMul[size_t(r)], shr = kStackBlurShr[size_t(r)];
    const size_t n = size_t(2 * r + 2);
    std::vector<uint8_t> bytes(2 * n);
    for (int d = -r - 1; d <= r; ++d) {
        // Set pixels from the edge on: offsets k >= -d of the window.
        const int64_t t = TentPrefix(r, r) - TentPrefix(-d - 1, r);
        bytes[size_t(d + r + 1)] = uint8_t((uint32_t(255 * t) * mul) >> shr);
    }
    for (size_t i = 0; i < n; ++i) bytes[n + i] = bytes[n - 1 - i];
    return bytes;
}

}  // namespace

bool BoneShape::RasterizeMask(const BoneShapeParams& p, const BoneShapeBox& box, ByteMaskRect& mask) {
    if (!BitmapSizeAllowed(box.width, box.height)) return false;
    const int W = box.width, H = box.height;
    // A mask made again (a view's overlay after a scroll or zoom) keeps its
    // buffer when it fits and is not far too big: no allocation, and its
    // pages are warm.
    const size_t size = size_t(W) * size_t(H);
    std::vector<uint8_t> plane;
    if (mask.bytes.capacity() >= size && mask.bytes.capacity() / 2 <= size) plane = std::move(mask.bytes);
    try {
        plane.assign(size, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const BoneFrame f = FrameOf(p);
    if (f.length >= 1) {
        double low, high, V;
        InsideExtent(p, f.length, low, high, V);
        const double feather = FiniteOr(p.feather, 0);
        const int r = feather >= 1e6 ? kStackBlurMaxRadius : std::min(int(std::ceil(feather)), kStackBlurMaxRadius);
        // Only the stretch of each row the region can reach is tested. The
        // feather's row pass is worked out from the row's runs of set
        // pixels (the bytes of a stack blur of the row); the column pass
        // then blurs the plane.
        const bool wide = ActiveCpuLevel() >= CpuLevel::Avx512;
        const std::vector<uint8_t> edgeBytes = r >= 1 ? EdgeBytes(r) : std::vector<uint8_t>();
        const uint8_t* rise = edgeBytes.data();
        const uint8_t* fall = r >= 1 ? rise + (2 * r + 2) : nullptr;
        // Where each row can hold set bytes once its runs are feathered.
        std::vector<int32_t> rowLo(size_t(H), 0), rowHi(size_t(H), 0);
#pragma omp parallel if (int64_t(W) * H > 65536)
        {
            std::vector<int32_t> runs, edges;
#pragma omp for schedule(static)
            for (int j = 0; j < H; ++j) {
                uint8_t* row = plane.data() + size_t(j) * size_t(W);
                const double y = box.top + j + 0.5;
                int i0, i1;
                RowSpan(p, f, low, high, V, box, j, i0, i1);
                runs.clear();
                if (wide) InsideRowAvx512(p, f, box, y, i0, i1, row, runs);
                else InsideRow(p, f, box, y, i0, i1, row, runs);
                if (!runs.empty()) {
                    rowLo[size_t(j)] = std::max(runs.front() - std::max(r, 0) - 1, 0);
                    rowHi[size_t(j)] = std::min(runs.back() + std::max(r, 0) + 1, W);
                }
                if (r >= 1) BlurBinaryRow(row, W, runs, r, rise, fall, edges);
            }
        }
        if (r >= 1) StackBlurGray8Columns(plane.data(), W, H, r, rowLo.data(), rowHi.data());
    }
    mask.x = int32_t(box.left);
    mask.y = int32_t(box.top);
    mask.width = W;
    mask.height = H;
    mask.bytes = std::move(plane);
    return true;
}

BitmapPtr BoneShape::Rasterize(const BoneShapeParams& p, const BoneShapeBox& box, const uint8_t rgba[4]) {
    ByteMaskRect mask;
    if (!RasterizeMask(p, box, mask)) return nullptr;
    BitmapPtr out = Bitmap::Create(box.width, box.height);
    if (!out) return nullptr;
    const int W = box.width, H = box.height;
    const uint32_t red = rgba[0], green = rgba[1], blue = rgba[2], alpha = rgba[3];
    for (int j = 0; j < H; ++j) {
        const uint8_t* src = mask.bytes.data() + size_t(j) * size_t(W);
        uint8_t* dst = out->Row(j);
        for (int i = 0; i < W; ++i) {
            const uint32_t v = src[i];
            if (v == 0) continue;
            const uint32_t A = (v * alpha + 127) / 255;
            dst[4 * i + 0] = uint8_t(blue * A / 255);
            dst[4 * i + 1] = uint8_t(green * A / 255);
            dst[4 * i + 2] = uint8_t(red * A / 255);
            dst[4 * i + 3] = uint8_t(A);
        }
    }
    return out;
}

BoneShape::OverlayPlan BoneShape::PlanOverlay(const BoneShapeParams& p, double clipLeft, double clipTop,
                                              double clipRight, double clipBottom) {
    // A feather this many view pixels wide per raster pixel still shows as a
    // smooth ramp once the raster is drawn magnified with filtering.
    constexpr double kFeatherPerStep = 8;
    constexpr int kMaxScale = 16;
    OverlayPlan plan;
    const double feather = std::clamp(FiniteOr(p.feather, 0), 0.0, 254.0);
    const int k = std::clamp(int(feather / kFeatherPerStep), 1, kMaxScale);
    const double f = 1.0 / k;
    BoneShapeParams& q = plan.scaled;
    q = p;
    for (double* v : {&q.headX, &q.headY, &q.tailX, &q.tailY, &q.halfWidth, &q.headCapLength, &q.tailCapLength,
                      &q.headShift, &q.tailShift, &q.headOffset, &q.tailOffset, &q.headCapHalfWidth,
                      &q.tailCapHalfWidth})
        *v *= f;
    q.feather = feather * f;
    plan.scale = k;
    if (!(std::hypot(q.tailX - q.headX, q.tailY - q.headY) >= 1)) return plan;
    const BoneShapeBox whole = Bounds(q);
    // The blur reads this far, so pixels just outside the clip are rasterised.
    const double reach = std::ceil(q.feather) + 1;
    const double lim = 4.0 * kMaxBitmapSide;
    auto scaled = [&](double v) { return std::clamp(FiniteOr(v, 0) * f, -lim, lim); };
    const double left = std::max(whole.left, std::floor(scaled(clipLeft)) - reach);
    const double top = std::max(whole.top, std::floor(scaled(clipTop)) - reach);
    const double right = std::min(whole.left + whole.width, std::ceil(scaled(clipRight)) + reach);
    const double bottom = std::min(whole.top + whole.height, std::ceil(scaled(clipBottom)) + reach);
    if (!(right > left) || !(bottom > top)) return plan;
    plan.box.left = left;
    plan.box.top = top;
    plan.box.width = int(right - left);
    plan.box.height = int(bottom - top);
    plan.empty = false;
    return plan;
}

bool BuildBoneMask(float w, float h, const Bone& bone, bool wholeImage, ByteMaskRect& mask) {
    const double W = FiniteOr(w, 1), H = FiniteOr(h, 1);
    const int64_t wpx = std::max<int64_t>(int64_t(std::round(std::clamp(std::max(W, 1.0), 1.0, 1e9))), 1);
    const int64_t hpx = std::max<int64_t>(int64_t(std::round(std::clamp(std::max(H, 1.0), 1.0, 1e9))), 1);
    if (wholeImage) {
        if (!BitmapSizeAllowed(wpx, hpx)) return false;
        mask.x = mask.y = 0;
        mask.width = int32_t(wpx);
        mask.height = int32_t(hpx);
        mask.bytes.assign(size_t(wpx) * size_t(hpx), 255);
        return true;
    }
    const BoneShapeParams p = MakeBoneShapeParams(bone, W, H);
    if (!(std::hypot(p.tailX - p.headX, p.tailY - p.headY) >= 1)) return false;
    const BoneShapeBox box = BoneShape::Bounds(p);
    return BoneShape::RasterizeMask(p, box, mask);
}
