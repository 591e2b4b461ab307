// Pyramid, nearest-neighbour fields and voting of the smart fill.
// Images are 8-bit B, G, R; distances are integers 0..65535; vote sums are
// doubles, turned into bytes by adding 0.5, clamping and truncating.
#include "selection/InpaintEngine.h"

#include <omp.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int32_t kNoMatch = 65535;
// Squared differences of 9 byte values can reach 9 * 255^2: one pixel pair's full cost.
constexpr int64_t kPairUnit = 9 * 255 * 255;

// Whether a step is worth waking threads for. `work` is the pixel count times a
// rough cost per pixel (1 for a copy or a few arithmetic operations); waking
// the team costs about as much as 2^18 such units, and more when the machine is
// busy, since every fork waits for its slowest thread.
bool WorthThreads(const InpaintContext& ctx, int64_t work) { return ctx.Parallel() && work >= (int64_t(1) << 18); }

// Rough costs per pixel of the steps, in the units above.
constexpr int64_t kCostDownsample = 16;  // 36 taps
constexpr int64_t kCostDistance = 64;    // 81 pixel pairs, usually stopped early
constexpr int64_t kCostVote = 64;        // up to 81 (or 324) additions per entry
constexpr int64_t kCostSearch = 16;      // only entries near the hole are searched

bool HasPixels(const InpaintLevel* level) { return level && !level->Empty(); }

// Runs body(y) for y in [0, rows), on several threads when `work` makes it
// worthwhile; once the fill is cancelled the remaining rows are skipped and the
// cancel is thrown after the loop. Without a context: one thread, no polling.
// Bodies must not throw.
template <class Body>
void ForRows(const InpaintContext* ctx, int32_t rows, int64_t work, const Body& body) {
#pragma omp parallel for schedule(dynamic, 4) if (ctx && WorthThreads(*ctx, work))
    for (int32_t y = 0; y < rows; ++y) {
        if (ctx && ctx->CancelRequested()) continue;
        body(y);
    }
    if (ctx) ctx->PollCancel();
}

// Copies a buffer in slices, polling between them.
template <class Vec>
void CopyPolled(Vec& dst, const Vec& src, const InpaintContext& ctx) {
    constexpr size_t kSlice = 1 << 16;
    dst.resize(src.size());
    const int32_t slices = int32_t((src.size() + kSlice - 1) / kSlice);
    ForRows(&ctx, slices, int64_t(src.size()) / 4, [&](int32_t i) {
        const size_t b = size_t(i) * kSlice, e = std::min(src.size(), b + kSlice);
        std::copy(src.begin() + ptrdiff_t(b), src.begin() + ptrdiff_t(e), dst.begin() + ptrdiff_t(b));
    });
}

}  // namespace

void* InpaintAllocateLarge(size_t bytes) {
    constexpr size_t kHuge = size_t(2) << 20;
    const size_t rounded = (bytes + kHuge - 1) / kHuge * kHuge;
    void* p = std::aligned_alloc(kHuge, rounded);
    if (!p) throw std::bad_alloc();
    madvise(p, rounded, MADV_HUGEPAGE);  // advice only: without huge pages the block works the same
    return p;
}

void InpaintFreeLarge(void* p) { std::free(p); }

void InpaintAccumulator::Reset(int32_t w, int32_t h, const InpaintContext* ctx) {
    width = w;
    height = h;
    sums.resize(size_t(w) * size_t(h) * 4);
    const size_t row = size_t(w) * 4;
    ForRows(ctx, h, int64_t(w) * h, [&](int32_t y) { std::fill_n(sums.data() + size_t(y) * row, row, 0.0); });
}

double InpaintSimilarityWeight(int32_t distance) {
    static constexpr std::array<double, 12> kT = {1, 0.99, 0.96, 0.83, 0.38, 0.11, 0.02, 0.005, 0.0006, 0.0001, 0, 0};
    const double p = 100.0 * std::clamp(distance, 0, 65535) / 65536.0;
    const int f = int(std::floor(p));
    if (f >= 10) return 0.0;
    return kT[size_t(f)] + (p - f) * (kT[size_t(f) + 1] - kT[size_t(f)]);
}

const double* InpaintSimilarityTable() {
    static const std::vector<double> table = [] {
        std::vector<double> t(65536);
        for (int32_t d = 0; d < 65536; ++d) t[size_t(d)] = InpaintSimilarityWeight(d);
        return t;
    }();
    return table.data();
}

void InpaintComputeGradients(InpaintLevel& level, const InpaintContext* ctx) {
    const int32_t W = level.width, H = level.height;
    if (W < 1 || H < 1 || level.image.size() != size_t(W) * size_t(H) * 3) {
        level.gradV.clear();
        level.gradH.clear();
        return;
    }
    level.gradV.resize(level.image.size());
    level.gradH.resize(level.image.size());
    const size_t row = size_t(W) * 3;
    const uint8_t* img = level.image.data();
    ForRows(ctx, H, int64_t(W) * H, [&](int32_t y) {
        uint8_t* gv = level.gradV.data() + size_t(y) * row;
        uint8_t* gh = level.gradH.data() + size_t(y) * row;
        if (W < 3 || H < 3 || y == 0 || y == H - 1) {
            std::fill_n(gv, row, uint8_t(128));
            std::fill_n(gh, row, uint8_t(128));
            return;
        }
        const uint8_t* above = img + size_t(y - 1) * row;
        const uint8_t* mid = img + size_t(y) * row;
        const uint8_t* below = img + size_t(y + 1) * row;
        for (size_t i = 0; i < 3; ++i) gv[i] = gh[i] = gv[row - 1 - i] = gh[row - 1 - i] = 128;
        for (size_t i = 3; i < row - 3; ++i) {
            gv[i] = uint8_t((int(below[i]) - int(above[i])) / 2 + 128);
            gh[i] = uint8_t((int(mid[i + 3]) - int(mid[i - 3])) / 2 + 128);
        }
    });
}

void InpaintCollectSourcePixels(InpaintLevel& level, const InpaintContext* ctx) {
    level.allowedList.clear();
    if (level.allowed.size() != size_t(level.width) * size_t(level.height)) return;
    for (int32_t y = 0; y < level.height; ++y) {
        if (ctx) ctx->PollCancel();
        for (int32_t x = 0; x < level.width; ++x)
            if (level.allowed[level.Index(y, x)]) level.allowedList.push_back({x, y});
    }
}

bool InpaintIsSourceAllowed(const InpaintLevel& level, int32_t row, int32_t column) {
    if (level.allowed.empty()) return true;
    if (row < 0 || column < 0 || row >= level.height || column >= level.width) return false;
    return level.allowed[level.Index(row, column)] != 0;
}

InpaintLevel InpaintDownsample(const InpaintLevel& level, const InpaintContext& ctx) {
    InpaintLevel out;
    const int32_t H = level.height, W = level.width;
    const int32_t h = H / 2, w = W / 2;
    if (h < 1 || w < 1 || level.Empty()) return out;
    out.width = w;
    out.height = h;
    out.image.resize(size_t(w) * size_t(h) * 3);
    out.unknown.resize(size_t(w) * size_t(h));
    const bool hasMask = level.allowed.size() == size_t(W) * size_t(H);
    if (hasMask) out.allowed.resize(size_t(w) * size_t(h));
    static constexpr int32_t kTap[6] = {1, 5, 10, 10, 5, 1};
    ForRows(&ctx, h, int64_t(w) * h * kCostDownsample, [&](int32_t y) {
        for (int32_t x = 0; x < w; ++x) {
            int64_t sb = 0, sg = 0, sr = 0, sw = 0;
            bool anyAllowed = false;
            for (int32_t ty = 0; ty < 6; ++ty) {
                const int32_t yy = 2 * y - 2 + ty;
                if (yy < 0 || yy >= H) continue;
                for (int32_t tx = 0; tx < 6; ++tx) {
                    const int32_t xx = 2 * x - 2 + tx;
                    if (xx < 0 || xx >= W) continue;
                    const size_t i = level.Index(yy, xx);
                    if (hasMask && level.allowed[i]) anyAllowed = true;
                    if (level.unknown[i]) continue;
                    const int64_t wt = int64_t(kTap[ty]) * kTap[tx];
                    sb += wt * level.image[i * 3];
                    sg += wt * level.image[i * 3 + 1];
                    sr += wt * level.image[i * 3 + 2];
                    sw += wt;
                }
            }
            const size_t o = out.Index(y, x);
            out.unknown[o] = sw == 0 ? 1 : 0;
            out.image[o * 3] = sw == 0 ? 0 : uint8_t(sb / sw);
            out.image[o * 3 + 1] = sw == 0 ? 0 : uint8_t(sg / sw);
            out.image[o * 3 + 2] = sw == 0 ? 0 : uint8_t(sr / sw);
            if (hasMask) out.allowed[o] = anyAllowed ? 255 : 0;
        }
    });
    InpaintComputeGradients(out, &ctx);
    InpaintCollectSourcePixels(out, &ctx);
    InpaintBuildFeatures(out, &ctx);
    return out;
}

InpaintLevel InpaintUpscale(const InpaintLevel& level, int32_t height, int32_t width, const InpaintContext& ctx) {
    InpaintLevel out;
    if (height < 1 || width < 1 || level.Empty()) return out;
    const int32_t H = level.height, W = level.width;
    out.width = width;
    out.height = height;
    out.image.resize(size_t(width) * size_t(height) * 3);
    out.unknown.resize(size_t(width) * size_t(height));
    const bool hasMask = level.allowed.size() == size_t(W) * size_t(H);
    if (hasMask) out.allowed.resize(size_t(width) * size_t(height));
    ForRows(&ctx, height, int64_t(width) * height, [&](int32_t i) {
        const int32_t si = int32_t(int64_t(i) * H / height);
        for (int32_t j = 0; j < width; ++j) {
            const int32_t sj = int32_t(int64_t(j) * W / width);
            const size_t s = level.Index(si, sj), o = out.Index(i, j);
            const bool unknown = level.unknown[s] != 0;
            out.unknown[o] = unknown ? 1 : 0;
            for (size_t c = 0; c < 3; ++c) out.image[o * 3 + c] = unknown ? 0 : level.image[s * 3 + c];
            if (hasMask) out.allowed[o] = level.allowed[s];
        }
    });
    InpaintComputeGradients(out, &ctx);
    InpaintCollectSourcePixels(out, &ctx);
    return out;
}

InpaintLevel InpaintLevelClone(const InpaintLevel& level, const InpaintContext& ctx) {
    InpaintLevel out;
    out.width = level.width;
    out.height = level.height;
    CopyPolled(out.image, level.image, ctx);
    CopyPolled(out.unknown, level.unknown, ctx);
    CopyPolled(out.allowed, level.allowed, ctx);
    CopyPolled(out.allowedList, level.allowedList, ctx);
    CopyPolled(out.gradV, level.gradV, ctx);
    CopyPolled(out.gradH, level.gradH, ctx);
    CopyPolled(out.features, level.features, ctx);
    return out;
}

int32_t InpaintPatchDistanceReference(const InpaintLevel& a, int32_t ay, int32_t ax, const InpaintLevel& b, int32_t by,
                                      int32_t bx, int32_t radius, int32_t cutoff) {
    if (radius < 1 || a.Empty() || b.Empty() || a.gradV.empty() || a.gradH.empty() || b.gradV.empty() ||
        b.gradH.empty() || a.width != b.width)
        return kNoMatch;
    // Costs are kept in units of 1/kPairUnit so that the sum is exact; the result
    // is floor(sum * 65535 / side^2) of the fractional costs.
    const int64_t side = 2 * int64_t(radius) + 1;
    const int64_t denom = side * side * kPairUnit;
    const int64_t stopAt = side * side * int64_t(cutoff) * kPairUnit;  // sum * 65535 reaching this cannot win
    const int32_t aw = a.width, ah = a.height, bw = b.width, bh = b.height;
    int64_t sum = 0;
    for (int32_t dy = -radius; dy <= radius; ++dy) {
        const int32_t ya = ay + dy, yb = by + dy;
        if (ya <= 0 || ya >= ah - 1 || yb <= 0 || yb >= bh - 1) {
            sum += side * kPairUnit;
        } else {
            const size_t rowA = size_t(ya) * size_t(aw), rowB = size_t(yb) * size_t(bw);
            for (int32_t dx = -radius; dx <= radius; ++dx) {
                const int32_t xa = ax + dx, xb = bx + dx;
                if (xa <= 0 || xa >= aw - 1 || xb <= 0 || xb >= bw - 1) {
                    sum += kPairUnit;
                    continue;
                }
                const size_t ia = rowA + size_t(xa), ib = rowB + size_t(xb);
                if (a.unknown[ia] || b.unknown[ib]) {
                    sum += kPairUnit;
                    continue;
                }
                const uint8_t* ca = &a.image[ia * 3];
                const uint8_t* cb = &b.image[ib * 3];
                const uint8_t* va = &a.gradV[ia * 3];
                const uint8_t* vb = &b.gradV[ib * 3];
                const uint8_t* ha = &a.gradH[ia * 3];
                const uint8_t* hb = &b.gradH[ib * 3];
                int32_t ssd = 0;
                for (int c = 0; c < 3; ++c) {
                    const int32_t d0 = int32_t(ca[c]) - cb[c], d1 = int32_t(va[c]) - vb[c], d2 = int32_t(ha[c]) - hb[c];
                    ssd += d0 * d0 + d1 * d1 + d2 * d2;
                }
                sum += ssd;
            }
        }
        if (sum * 65535 >= stopAt) return kNoMatch;
    }
    return int32_t(std::min<int64_t>(sum * 65535 / denom, kNoMatch));
}

void InpaintBuildFeatures(InpaintLevel& level, const InpaintContext* ctx) {
    const int32_t W = level.width, H = level.height;
    const size_t n = size_t(W) * size_t(H);
    if (W < 1 || H < 1 || level.image.size() != n * 3 || level.gradV.size() != n * 3 || level.gradH.size() != n * 3 ||
        level.unknown.size() != n) {
        level.features.clear();
        return;
    }
    level.features.resize(n * 16);
    ForRows(ctx, H, int64_t(W) * H, [&](int32_t y) {
        for (int32_t x = 0; x < W; ++x) {
            const size_t i = level.Index(y, x);
            uint8_t* f = &level.features[i * 16];
            std::copy_n(&level.image[i * 3], 3, f);
            std::copy_n(&level.gradV[i * 3], 3, f + 3);
            std::copy_n(&level.gradH[i * 3], 3, f + 6);
            std::fill_n(f + 9, 6, uint8_t(0));
            f[15] = (level.unknown[i] || y == 0 || x == 0 || y == H - 1 || x == W - 1) ? 1 : 0;
        }
    });
}

namespace {

// Squared differences of the first 15 bytes of two feature pixels (the last
// byte is 0 in both whenever this is called).
inline int32_t FeatureSsd(const uint8_t* p, const uint8_t* q) {
#if defined(__SSE2__)
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    const __m128i z = _mm_setzero_si128();
    const __m128i dlo = _mm_sub_epi16(_mm_unpacklo_epi8(a, z), _mm_unpacklo_epi8(b, z));
    const __m128i dhi = _mm_sub_epi16(_mm_unpackhi_epi8(a, z), _mm_unpackhi_epi8(b, z));
    __m128i s = _mm_add_epi32(_mm_madd_epi16(dlo, dlo), _mm_madd_epi16(dhi, dhi));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(s);
#else
    int32_t ssd = 0;
    for (int k = 0; k < 9; ++k) {
        const int32_t d = int32_t(p[k]) - q[k];
        ssd += d * d;
    }
    return ssd;
#endif
}

}  // namespace

int32_t InpaintPatchDistance(const InpaintLevel& a, int32_t ay, int32_t ax, const InpaintLevel& b, int32_t by,
                             int32_t bx, int32_t radius, int32_t cutoff) {
    const size_t na = size_t(a.width) * size_t(a.height), nb = size_t(b.width) * size_t(b.height);
    const bool packed = radius >= 1 && a.width == b.width && a.features.size() == na * 16 &&
                        b.features.size() == nb * 16 && !a.Empty() && !b.Empty();
    if (!packed || ax - radius < 0 || ax + radius >= a.width || bx - radius < 0 || bx + radius >= b.width)
        return InpaintPatchDistanceReference(a, ay, ax, b, by, bx, radius, cutoff);
    // Columns lie inside both levels, so the ring and unknown pixels are exactly
    // those flagged in the features; rows are checked per row.
    const int64_t side = 2 * int64_t(radius) + 1;
    const int64_t denom = side * side * kPairUnit;
    const int64_t stopAt = side * side * int64_t(cutoff) * kPairUnit;
    const int32_t ah = a.height, bh = b.height;
    const size_t stride = size_t(a.width) * 16;
    int64_t sum = 0;
    for (int32_t dy = -radius; dy <= radius; ++dy) {
        const int32_t ya = ay + dy, yb = by + dy;
        if (ya <= 0 || ya >= ah - 1 || yb <= 0 || yb >= bh - 1) {
            sum += side * kPairUnit;
        } else {
            const uint8_t* pa = a.features.data() + size_t(ya) * stride + size_t(ax - radius) * 16;
            const uint8_t* pb = b.features.data() + size_t(yb) * stride + size_t(bx - radius) * 16;
            int64_t row = 0;
            for (int64_t k = 0; k < side; ++k, pa += 16, pb += 16)
                row += (pa[15] | pb[15]) ? kPairUnit : FeatureSsd(pa, pb);
            sum += row;
        }
        if (sum * 65535 >= stopAt) return kNoMatch;
    }
    return int32_t(std::min<int64_t>(sum * 65535 / denom, kNoMatch));
}

void InpaintAccumulateVote(const InpaintLevel& colour, int32_t cy, int32_t cx, InpaintAccumulator& acc, int32_t ty,
                           int32_t tx, double weight) {
    if (cy < 0 || cx < 0 || cy >= colour.height || cx >= colour.width) return;
    if (ty < 0 || tx < 0 || ty >= acc.height || tx >= acc.width) return;
    const size_t ci = colour.Index(cy, cx);
    if (colour.unknown[ci]) return;
    if (!colour.allowed.empty() && !colour.allowed[ci]) return;
    const uint8_t* c = &colour.image[ci * 3];
    double* s = &acc.sums[(size_t(ty) * size_t(acc.width) + size_t(tx)) * 4];
    s[0] += weight * c[0];
    s[1] += weight * c[1];
    s[2] += weight * c[2];
    s[3] += weight;
}

// ---- NearestNeighborField ------------------------------------------------

void NearestNeighborField::Reset() {
    width_ = HasPixels(a_) ? a_->width : 0;
    height_ = HasPixels(a_) ? a_->height : 0;
    entries_.resize(size_t(width_) * size_t(height_));
    ForRows(ctx_, height_, int64_t(width_) * height_, [&](int32_t y) {
        std::fill_n(entries_.data() + size_t(y) * size_t(width_), size_t(width_), NnfEntry{0, 0, kNoMatch});
    });
}

InpaintPoint NearestNeighborField::PickCandidate() {
    if (!b_->allowed.empty() && !b_->allowedList.empty())
        return b_->allowedList[size_t(random_.Below(int64_t(b_->allowedList.size())))];
    InpaintPoint p;
    p.y = random_.Below(b_->height);
    p.x = random_.Below(b_->width);
    return p;
}

void NearestNeighborField::InitRandom() {
    Reset();
    if (HasPixels(b_))
        for (int32_t y = 0; y < height_; ++y) {
            ctx_->PollCancel();
            for (int32_t x = 0; x < width_; ++x) {
                const InpaintPoint p = PickCandidate();
                At(y, x).row = p.y;
                At(y, x).col = p.x;
            }
        }
    ComputeDistances();
}

void NearestNeighborField::InitFromCoarser(const NearestNeighborField& coarser) {
    if (coarser.width_ < 1 || coarser.height_ < 1) return;
    random_ = coarser.random_;
    Reset();
    const double ry = double(height_) / coarser.height_, rx = double(width_) / coarser.width_;
    for (int32_t i = 0; i < height_; ++i) {
        ctx_->PollCancel();
        for (int32_t j = 0; j < width_; ++j) {
            const int32_t ci = std::min(int32_t(std::floor(i / ry)), coarser.height_ - 1);
            const int32_t cj = std::min(int32_t(std::floor(j / rx)), coarser.width_ - 1);
            const NnfEntry& c = coarser.At(ci, cj);
            NnfEntry& e = At(i, j);
            e.row = int32_t(std::floor(c.row * ry));
            e.col = int32_t(std::floor(c.col * rx));
            e.dist = kNoMatch;
        }
    }
    ComputeDistances();
}

void NearestNeighborField::ComputeDistances() {
    if (!HasPixels(a_) || !HasPixels(b_)) return;
    const InpaintLevel& A = *a_;
    const InpaintLevel& B = *b_;
    // The distances need no random numbers, so they run on several threads; the
    // retries below draw from the sequence and keep entry order.
    ForRows(ctx_, height_, int64_t(width_) * height_ * kCostDistance, [&](int32_t y) {
        for (int32_t x = 0; x < width_; ++x) {
            NnfEntry& e = At(y, x);
            e.dist = InpaintPatchDistance(A, y, x, B, e.row, e.col, radius_, 65536);
        }
    });
    for (int32_t y = 0; y < height_; ++y) {
        ctx_->PollCancel();
        for (int32_t x = 0; x < width_; ++x) {
            NnfEntry& e = At(y, x);
            if (e.dist == kNoMatch) ctx_->PollCancel();  // a very wide row of retries takes a while
            for (int k = 0; k < 20 && e.dist == kNoMatch; ++k) {
                const InpaintPoint p = PickCandidate();
                e.row = p.y;
                e.col = p.x;
                e.dist = InpaintPatchDistance(A, y, x, B, e.row, e.col, radius_, 65536);
            }
        }
    }
}

void NearestNeighborField::TryCandidate(NnfEntry& e, int32_t y, int32_t x, int32_t by, int32_t bx) const {
    const int32_t d = InpaintPatchDistance(*a_, y, x, *b_, by, bx, radius_, e.dist);
    if (d < e.dist) {
        e.row = by;
        e.col = bx;
        e.dist = d;
    }
}

void NearestNeighborField::ImproveEntry(int32_t y, int32_t x, int32_t d) {
    if (!HasPixels(b_) || !HasPixels(a_)) return;
    const InpaintLevel& B = *b_;
    NnfEntry& e = At(y, x);
    const auto usable = [&](int32_t r, int32_t c) {
        return r >= 0 && c >= 0 && r < B.height && c < B.width && InpaintIsSourceAllowed(B, r, c);
    };
    const int32_t py = y - d;
    if (py >= 1 && py < height_) {
        const NnfEntry& n = At(py, x);
        if (usable(n.row + d, n.col)) TryCandidate(e, y, x, n.row + d, n.col);
    }
    const int32_t px = x - d;
    if (px >= 1 && px < width_) {
        const NnfEntry& n = At(y, px);
        if (usable(n.row, n.col + d)) TryCandidate(e, y, x, n.row, n.col + d);
    }
    const int32_t cy = e.row, cx = e.col;
    for (int32_t w = B.width; w >= 1; w /= 2) {
        int32_t ry = cy + random_.Below(2 * int64_t(w)) - w;
        int32_t rx = cx + random_.Below(2 * int64_t(w)) - w;
        ry = std::clamp(ry, 0, B.height - 1);
        rx = std::clamp(rx, 0, B.width - 1);
        if (!InpaintIsSourceAllowed(B, ry, rx)) {
            const InpaintPoint p = PickCandidate();
            ry = p.y;
            rx = p.x;
        }
        TryCandidate(e, y, x, ry, rx);
    }
}

void NearestNeighborField::Minimize(int32_t passes) {
    for (int32_t p = 0; p < passes; ++p) {
        for (int32_t y = 0; y < height_; ++y)
            for (int32_t x = 0; x < width_; ++x)
                if (At(y, x).dist != 0) {
                    if (ctx_->CancelRequested()) return;
                    ImproveEntry(y, x, +1);
                }
        for (int32_t y = height_ - 1; y >= 0; --y)
            for (int32_t x = width_ - 1; x >= 0; --x)
                if (At(y, x).dist != 0) {
                    if (ctx_->CancelRequested()) return;
                    ImproveEntry(y, x, -1);
                }
    }
}

void NearestNeighborField::VoteReference(InpaintVoteMode mode, InpaintAccumulator& acc, const InpaintLevel& colour,
                                         bool doubled) const {
    const double* table = InpaintSimilarityTable();
    const int32_t r = radius_;
    for (int32_t y = 0; y < height_; ++y) {
        ctx_->PollCancel();
        for (int32_t x = 0; x < width_; ++x) {
            const NnfEntry& e = At(y, x);
            const double w = table[std::clamp(e.dist, 0, 65535)];
            for (int32_t dy = -r; dy <= r; ++dy)
                for (int32_t dx = -r; dx <= r; ++dx) {
                    const int32_t ay = y + dy, ax = x + dx, sy = e.row + dy, sx = e.col + dx;
                    if (ay < 0 || ax < 0 || ay >= height_ || ax >= width_) continue;
                    if (sy < 0 || sx < 0 || sy >= height_ || sx >= width_) continue;
                    if (!doubled) {
                        if (mode == kVoteTarget) InpaintAccumulateVote(colour, sy, sx, acc, ay, ax, w);
                        else InpaintAccumulateVote(colour, ay, ax, acc, sy, sx, w);
                        continue;
                    }
                    for (int32_t i = 0; i < 2; ++i)
                        for (int32_t j = 0; j < 2; ++j) {
                            if (mode == kVoteTarget)
                                InpaintAccumulateVote(colour, 2 * sy + i, 2 * sx + j, acc, 2 * ay + i, 2 * ax + j, w);
                            else
                                InpaintAccumulateVote(colour, 2 * ay + i, 2 * ax + j, acc, 2 * sy + i, 2 * sx + j, w);
                        }
                }
        }
    }
}

// The votes that land in accumulator rows [rowBegin, rowEnd), in the same order as
// VoteReference. Entries with weight 0 add nothing and are skipped. Returns
// early (leaving the sums partial) when the fill is cancelled.
void NearestNeighborField::VoteRows(InpaintVoteMode mode, InpaintAccumulator& acc, const InpaintLevel& colour,
                                    bool doubled, int32_t rowBegin, int32_t rowEnd) const {
    const double* table = InpaintSimilarityTable();
    const int32_t r = radius_;
    const int32_t scale = doubled ? 2 : 1;
    const uint8_t* image = colour.image.data();
    const uint8_t* unknown = colour.unknown.data();
    const uint8_t* allowed = colour.allowed.empty() ? nullptr : colour.allowed.data();
    double* sums = acc.sums.data();
    for (int32_t y = 0; y < height_; ++y) {
        if (ctx_->CancelRequested()) return;
        for (int32_t x = 0; x < width_; ++x) {
            const NnfEntry& e = At(y, x);
            const double w = table[std::clamp(e.dist, 0, 65535)];
            if (w == 0.0) continue;
            // Rows this entry can write: its patch rows around the entry (target
            // mode) or around its match (source mode), times the scale.
            const int32_t base = mode == kVoteTarget ? y : e.row;
            if (scale * (base + r) + scale - 1 < rowBegin || scale * (base - r) >= rowEnd) continue;
            // Centres of the patch the colours come from and of the one they land on.
            const int32_t cy0 = mode == kVoteTarget ? e.row : y, cx0 = mode == kVoteTarget ? e.col : x;
            const int32_t ty0 = base, tx0 = mode == kVoteTarget ? x : e.col;
            const bool inside = y - r >= 0 && y + r < height_ && x - r >= 0 && x + r < width_ && e.row - r >= 0 &&
                                e.row + r < height_ && e.col - r >= 0 && e.col + r < width_ &&
                                scale * (cy0 + r) + scale - 1 < colour.height &&
                                scale * (cx0 + r) + scale - 1 < colour.width &&
                                scale * (ty0 + r) + scale - 1 < acc.height && scale * (tx0 + r) + scale - 1 < acc.width;
            if (inside) {
                // Every position is valid: only the colour pixel's own flags are checked.
                const auto add = [&](int32_t cy, int32_t cx, int32_t ty, int32_t tx) {
                    const size_t ci = size_t(cy) * size_t(colour.width) + size_t(cx);
                    if (unknown[ci] || (allowed && !allowed[ci])) return;
                    const uint8_t* c = image + ci * 3;
                    double* sum = sums + (size_t(ty) * size_t(acc.width) + size_t(tx)) * 4;
                    sum[0] += w * c[0];
                    sum[1] += w * c[1];
                    sum[2] += w * c[2];
                    sum[3] += w;
                };
                for (int32_t dy = -r; dy <= r; ++dy) {
                    const int32_t t = ty0 + dy, cy = cy0 + dy;
                    if (scale * t + scale - 1 < rowBegin || scale * t >= rowEnd) continue;
                    for (int32_t dx = -r; dx <= r; ++dx) {
                        const int32_t cx = cx0 + dx, tx = tx0 + dx;
                        if (!doubled) {
                            add(cy, cx, t, tx);
                            continue;
                        }
                        for (int32_t i = 0; i < 2; ++i) {
                            const int32_t tr = 2 * t + i;
                            if (tr < rowBegin || tr >= rowEnd) continue;
                            add(2 * cy + i, 2 * cx, tr, 2 * tx);
                            add(2 * cy + i, 2 * cx + 1, tr, 2 * tx + 1);
                        }
                    }
                }
                continue;
            }
            for (int32_t dy = -r; dy <= r; ++dy) {
                const int32_t ay = y + dy, sy = e.row + dy;
                if (ay < 0 || ay >= height_ || sy < 0 || sy >= height_) continue;
                const int32_t t = mode == kVoteTarget ? ay : sy;
                if (scale * t + scale - 1 < rowBegin || scale * t >= rowEnd) continue;
                for (int32_t dx = -r; dx <= r; ++dx) {
                    const int32_t ax = x + dx, sx = e.col + dx;
                    if (ax < 0 || ax >= width_ || sx < 0 || sx >= width_) continue;
                    if (!doubled) {
                        if (mode == kVoteTarget) InpaintAccumulateVote(colour, sy, sx, acc, ay, ax, w);
                        else InpaintAccumulateVote(colour, ay, ax, acc, sy, sx, w);
                        continue;
                    }
                    for (int32_t i = 0; i < 2; ++i) {
                        const int32_t tr = 2 * t + i;
                        if (tr < rowBegin || tr >= rowEnd) continue;
                        for (int32_t j = 0; j < 2; ++j) {
                            if (mode == kVoteTarget)
                                InpaintAccumulateVote(colour, 2 * sy + i, 2 * sx + j, acc, tr, 2 * ax + j, w);
                            else
                                InpaintAccumulateVote(colour, 2 * ay + i, 2 * ax + j, acc, tr, 2 * sx + j, w);
                        }
                    }
                }
            }
        }
    }
}

void NearestNeighborField::Vote(InpaintVoteMode mode, InpaintAccumulator& acc, const InpaintLevel& colour,
                                bool doubled) const {
    if (!WorthThreads(*ctx_, int64_t(width_) * height_ * kCostVote)) {
        VoteReference(mode, acc, colour, doubled);
        return;
    }
    InpaintSimilarityTable();  // built here, not by the first thread inside the team
    // Each thread owns a band of accumulator rows and walks every entry in order,
    // so each pixel receives its additions in the reference order.
#pragma omp parallel
    {
        const int32_t threads = omp_get_num_threads(), t = omp_get_thread_num();
        const int32_t r0 = int32_t(int64_t(acc.height) * t / threads);
        const int32_t r1 = int32_t(int64_t(acc.height) * (t + 1) / threads);
        if (r0 < r1) VoteRows(mode, acc, colour, doubled, r0, r1);
    }
    ctx_->PollCancel();
}

// ---- Expectation-maximisation ---------------------------------------------

namespace {

// Entries whose 9 x 9 neighbourhood in `level` holds no unknown pixel match
// themselves perfectly; the searches then skip them.
void PinKnownPatches(const InpaintLevel& level, NearestNeighborField& source, NearestNeighborField& target,
                     const InpaintContext& ctx) {
    const int32_t W = level.width, H = level.height, r = source.Radius();
    if (source.Width() != W || source.Height() != H || target.Width() != W || target.Height() != H) return;
    // Summed-area table of the unknown mask.
    const size_t sw = size_t(W) + 1;
    InpaintBuffer<int32_t> sat(sw * (size_t(H) + 1));
    std::fill_n(sat.data(), sw, 0);
    for (int32_t y = 0; y < H; ++y) {
        ctx.PollCancel();
        sat[size_t(y + 1) * sw] = 0;
        int32_t run = 0;
        for (int32_t x = 0; x < W; ++x) {
            run += level.unknown[level.Index(y, x)] ? 1 : 0;
            sat[size_t(y + 1) * sw + size_t(x + 1)] = sat[size_t(y) * sw + size_t(x + 1)] + run;
        }
    }
    ForRows(&ctx, H, int64_t(W) * H, [&](int32_t y) {
        const int32_t y0 = std::max(0, y - r), y1 = std::min(H, y + r + 1);
        for (int32_t x = 0; x < W; ++x) {
            const int32_t x0 = std::max(0, x - r), x1 = std::min(W, x + r + 1);
            const int32_t n = sat[size_t(y1) * sw + size_t(x1)] - sat[size_t(y0) * sw + size_t(x1)] -
                              sat[size_t(y1) * sw + size_t(x0)] + sat[size_t(y0) * sw + size_t(x0)];
            if (n == 0) {
                source.At(y, x) = NnfEntry{y, x, 0};
                target.At(y, x) = NnfEntry{y, x, 0};
            }
        }
    });
}

// The new estimate's pixels become the weighted means of their votes.
void ResolveVotes(const InpaintAccumulator& acc, InpaintLevel& next, const InpaintContext& ctx) {
    ForRows(&ctx, acc.height, int64_t(acc.width) * acc.height, [&](int32_t y) {
        for (int32_t x = 0; x < acc.width; ++x) {
            const size_t i = next.Index(y, x);
            const double* s = &acc.sums[i * 4];
            if (!(s[3] > 0.0)) continue;
            // Rounded rather than truncated: a patch of one colour votes back that
            // very colour even when the weighted sums come out a hair below it.
            for (int c = 0; c < 3; ++c)
                next.image[i * 3 + size_t(c)] = uint8_t(std::clamp(std::trunc(s[c] / s[3] + 0.5), 0.0, 255.0));
            next.unknown[i] = 0;
        }
    });
}

void CastVotes(const NearestNeighborField& field, InpaintVoteMode mode, InpaintAccumulator& acc,
               const InpaintLevel& colour, bool doubled, const InpaintContext& ctx) {
    if (ctx.Parallel()) field.Vote(mode, acc, colour, doubled);
    else field.VoteReference(mode, acc, colour, doubled);
}

}  // namespace

InpaintLevel InpaintProcessLevel(int32_t L, const std::vector<InpaintLevel>& pyramid, NearestNeighborField& sourceField,
                                 NearestNeighborField& targetField, const InpaintLevel& level,
                                 const InpaintLevel& estimate, const InpaintContext& ctx) {
    if (level.Empty() || estimate.Empty() || level.width != estimate.width || level.height != estimate.height ||
        L < 1 || size_t(L) >= pyramid.size())
        return InpaintLevelClone(estimate, ctx);
    const int32_t iterations = 2 * L + 1;
    const int32_t passes = std::min(L + 1, 7);
    const InpaintLevel& finer = pyramid[size_t(L) - 1];
    InpaintLevel current, next;
    InpaintAccumulator acc;
    for (int32_t it = 0; it < iterations; ++it) {
        ctx.PollCancel();
        if (it > 0) {
            current = std::move(next);
            sourceField.SetB(&current);
            targetField.SetA(&current);
        }
        const InpaintLevel& est = it > 0 ? current : estimate;
        PinKnownPatches(level, sourceField, targetField, ctx);
        // The fields read the level and the estimate and write only their own
        // entries, each with its own random sequence.
#pragma omp parallel sections num_threads(2) if (WorthThreads(ctx, int64_t(level.width) * level.height * kCostSearch))
        {
#pragma omp section
            sourceField.Minimize(passes);
#pragma omp section
            targetField.Minimize(passes);
        }
        ctx.PollCancel();
        const bool last = it == iterations - 1;
        const InpaintLevel& colour = last ? finer : level;
        next = last ? InpaintUpscale(est, finer.height, finer.width, ctx) : InpaintLevelClone(est, ctx);
        acc.Reset(next.width, next.height, &ctx);
        CastVotes(sourceField, kVoteSource, acc, colour, last, ctx);
        CastVotes(targetField, kVoteTarget, acc, colour, last, ctx);
        ResolveVotes(acc, next, ctx);
        InpaintComputeGradients(next, &ctx);
        // The final estimate (level 0's size) is never searched.
        if (!(last && L == 1)) InpaintBuildFeatures(next, &ctx);
    }
    // The estimates of this level die here; the fields keep only their matches.
    sourceField.SetB(nullptr);
    targetField.SetA(nullptr);
    return next;
}

InpaintLevel InpaintSynthesize(InpaintLevel level0, const InpaintContext& ctx) {
    std::vector<InpaintLevel> pyramid;
    pyramid.reserve(16);
    pyramid.push_back(std::move(level0));
    while (pyramid.back().width > 9 && pyramid.back().height > 9) {
        ctx.PollCancel();
        InpaintLevel half = InpaintDownsample(pyramid.back(), ctx);
        pyramid.push_back(std::move(half));
    }
    if (pyramid.size() == 1) return std::move(pyramid[0]);
    const int32_t top = int32_t(pyramid.size()) - 1;

    InpaintLevel estimate;
    NearestNeighborField source(nullptr, nullptr, ctx), target(nullptr, nullptr, ctx);
    for (int32_t L = top; L >= 1; --L) {
        ctx.PollCancel();
        const InpaintLevel& level = pyramid[size_t(L)];
        if (L == top) {
            // Hole pixels enter as the downsampling left them (0 where nothing was known).
            estimate = InpaintLevelClone(level, ctx);
            std::fill(estimate.unknown.begin(), estimate.unknown.end(), 0);
            InpaintBuildFeatures(estimate, &ctx);
            // Two unrelated sequences from the one seed.
            source = NearestNeighborField(&level, &estimate, ctx, InpaintRandom(ctx.Seed()));
            source.InitRandom();
            target = NearestNeighborField(&estimate, &level, ctx, InpaintRandom(ctx.Seed() ^ 0x9E3779B9u));
            target.InitRandom();
        } else {
            NearestNeighborField s(&level, &estimate, ctx), t(&estimate, &level, ctx);
            s.InitFromCoarser(source);
            t.InitFromCoarser(target);
            source = std::move(s);
            target = std::move(t);
        }
        InpaintLevel next = InpaintProcessLevel(L, pyramid, source, target, level, estimate, ctx);
        estimate = std::move(next);
    }
    return estimate;
}
