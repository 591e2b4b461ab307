// Windowed synthesis of the smart fill: coarse levels as packed features of the
// whole level, fields, estimates and vote sums only around the hole.
#include "selection/InpaintRegion.h"

#include <omp.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int32_t kNoMatch = 65535;
constexpr int32_t kRadius = 4;
constexpr int32_t kSide = 2 * kRadius + 1;
constexpr int64_t kPatchPairs = int64_t(kSide) * kSide;
// Squared differences of 9 byte values can reach 9 * 255^2: one pixel pair's full cost.
constexpr int64_t kPairUnit = 9 * 255 * 255;
// How far each level's window reaches beyond the (halved) window of the finer
// level: the patches of entries near the hole and the votes they cast.
constexpr int32_t kMargin = 2 * kRadius + 2;
constexpr int kB = InpaintFeatureLevel::kBytes;
constexpr int kAllowedByte = InpaintFeatureLevel::kAllowed;
constexpr int kUnknownByte = InpaintFeatureLevel::kUnknown;
constexpr int kFlagByte = InpaintFeatureLevel::kFlag;

bool WorthThreads(const InpaintContext& ctx, int64_t work) { return ctx.Parallel() && work >= (int64_t(1) << 18); }

// Runs body(y) for y in [0, rows), on several threads when `work` makes it
// worthwhile; once cancelled, the remaining rows are skipped and the cancel is
// thrown after the loop. Bodies must not throw.
template <class Body>
void ForRows(const InpaintContext& ctx, int32_t rows, int64_t work, const Body& body) {
#pragma omp parallel for schedule(dynamic, 4) if (WorthThreads(ctx, work))
    for (int32_t y = 0; y < rows; ++y) {
        if (ctx.CancelRequested()) continue;
        body(y);
    }
    ctx.PollCancel();
}

InpaintRect Clip(InpaintRect r, int32_t w, int32_t h) {
    r.x0 = std::clamp(r.x0, 0, w);
    r.x1 = std::clamp(r.x1, 0, w);
    r.y0 = std::clamp(r.y0, 0, h);
    r.y1 = std::clamp(r.y1, 0, h);
    return r;
}

InpaintRect Grow(const InpaintRect& r, int32_t m) { return {r.x0 - m, r.y0 - m, r.x1 + m, r.y1 + m}; }

InpaintRect Halve(const InpaintRect& r) { return {r.x0 / 2, r.y0 / 2, (r.x1 + 1) / 2, (r.y1 + 1) / 2}; }

// Large levels are freed off the calling thread (see InpaintReleaseLater).
void ReleaseLater(std::vector<InpaintFeatureLevel>& levels) {
    size_t bytes = 0;
    for (const InpaintFeatureLevel& l : levels) bytes += l.features.capacity();
    if (bytes >= (size_t(64) << 20)) InpaintReleaseLater(std::move(levels));
}

// The coarser levels of one fill, released as above whenever the fill ends.
struct Pyramid {
    std::vector<InpaintFeatureLevel> levels;  // index 0 unused: level 0 is the base image
    ~Pyramid() { ReleaseLater(levels); }
};

// ---- Levels ----------------------------------------------------------------

// Sets the gradients and the flag of every pixel of `rows` of a feature
// buffer; colour(y, x) reads the B G R of any pixel of the level.
template <class Colour>
void FillGradients(uint8_t* f, int32_t W, int32_t H, int32_t y, int32_t xBegin, int32_t xEnd, const Colour& colour) {
    for (int32_t x = xBegin; x < xEnd; ++x, f += kB) {
        if (y <= 0 || y >= H - 1 || x <= 0 || x >= W - 1) {
            std::memset(f + 3, 128, 6);
        } else {
            const uint8_t* above = colour(y - 1, x);
            const uint8_t* below = colour(y + 1, x);
            const uint8_t* left = colour(y, x - 1);
            const uint8_t* right = colour(y, x + 1);
            for (int c = 0; c < 3; ++c) {
                f[3 + c] = uint8_t((int(below[c]) - int(above[c])) / 2 + 128);
                f[6 + c] = uint8_t((int(right[c]) - int(left[c])) / 2 + 128);
            }
        }
        std::memset(f + 9, 0, 4);
        f[kFlagByte] = (f[kUnknownByte] || y <= 0 || y >= H - 1 || x <= 0 || x >= W - 1) ? 1 : 0;
    }
}

// Half size of a W x H level. addRow(yy, wy, first, vs, va, cols) adds wy times
// the B, G, R of every known pixel of row yy, and wy itself, to vs (4 sums per
// column; assigns instead when `first`), and ORs into va whether the pixel is
// allowed. The 6 x 6 weights are products of one row weight and one column
// weight, so the sums run as a vertical pass over the rows, then a horizontal
// one, with the same integer sums as the 36-tap loop.
template <class AddRow>
InpaintFeatureLevel Downsample(int32_t W, int32_t H, bool hasMask, const AddRow& addRow, const InpaintContext& ctx) {
    const int32_t w = W / 2, h = H / 2;
    if (w < 1 || h < 1) return {};
    static constexpr int32_t kTap[6] = {1, 5, 10, 10, 5, 1};
    const int32_t cols = std::min(W, 2 * w + 2);  // the last column any output pixel reads, plus one
    // A cancel leaves the level half built: it goes the way of the others.
    Pyramid building;
    building.levels.resize(1);
    InpaintFeatureLevel& out = building.levels[0];
    out.width = w;
    out.height = h;
    out.hasMask = hasMask;
    out.features.resize(size_t(w) * size_t(h) * kB);
    ForRows(ctx, h, int64_t(W) * h * 12, [&](int32_t y) {
        thread_local std::vector<int32_t> vsBuffer;
        thread_local std::vector<uint8_t> vaBuffer;
        vsBuffer.resize(size_t(cols) * 4);
        vaBuffer.resize(size_t(cols));
        int32_t* vs = vsBuffer.data();
        uint8_t* va = vaBuffer.data();
        bool first = true;
        for (int32_t ty = 0; ty < 6; ++ty) {
            const int32_t yy = 2 * y - 2 + ty;
            if (yy < 0 || yy >= H) continue;
            addRow(yy, kTap[ty], first, vs, va, cols);
            first = false;
        }
        uint8_t* f = out.features.data() + size_t(y) * size_t(w) * kB;
        for (int32_t x = 0; x < w; ++x, f += kB) {
            int32_t sb = 0, sg = 0, sr = 0, sw = 0;
            bool any = false;
            for (int32_t tx = 0; tx < 6; ++tx) {
                const int32_t xx = 2 * x - 2 + tx;
                if (xx < 0 || xx >= cols) continue;
                const int32_t* s = vs + size_t(xx) * 4;
                const int32_t wx = kTap[tx];
                sb += wx * s[0];
                sg += wx * s[1];
                sr += wx * s[2];
                sw += wx * s[3];
                any = any || va[size_t(xx)];
            }
            f[0] = sw ? uint8_t(sb / sw) : 0;
            f[1] = sw ? uint8_t(sg / sw) : 0;
            f[2] = sw ? uint8_t(sr / sw) : 0;
            f[kUnknownByte] = sw ? 0 : 1;
            f[kAllowedByte] = (!hasMask || any) ? 255 : 0;
        }
    });
    const uint8_t* base = out.features.data();
    const auto colour = [&](int32_t yy, int32_t xx) { return base + (size_t(yy) * size_t(w) + size_t(xx)) * kB; };
    ForRows(ctx, h, int64_t(w) * h * 2, [&](int32_t y) {
        FillGradients(out.features.data() + size_t(y) * size_t(w) * kB, w, h, y, 0, w, colour);
    });
    if (hasMask) {
        const int32_t blocks = out.Blocks();
        out.allowedBeforeBlock.resize(size_t(h) * (size_t(blocks) + 1));
        ForRows(ctx, h, int64_t(w) * h, [&](int32_t y) {
            int32_t* before = &out.allowedBeforeBlock[size_t(y) * (size_t(blocks) + 1)];
            const uint8_t* p = out.Px(y, 0) + kAllowedByte;
            before[0] = 0;
            for (int32_t b = 0; b < blocks; ++b) {
                int32_t n = 0;
                for (int32_t x = b * InpaintFeatureLevel::kBlock; x < std::min(w, (b + 1) * InpaintFeatureLevel::kBlock);
                     ++x, p += kB)
                    n += *p ? 1 : 0;
                before[b + 1] = before[b] + n;
            }
        });
        out.allowedBeforeRow.resize(size_t(h) + 1);
        out.allowedBeforeRow[0] = 0;
        for (int32_t y = 0; y < h; ++y)
            out.allowedBeforeRow[size_t(y) + 1] =
                out.allowedBeforeRow[size_t(y)] + out.allowedBeforeBlock[size_t(y) * (size_t(blocks) + 1) + size_t(blocks)];
    }
    InpaintFeatureLevel done = std::move(out);
    building.levels.clear();
    return done;
}

// ---- Views and distances ----------------------------------------------------

// A level as a field sees it: the level itself, or an estimate, which is the
// level with the pixels of its window replaced.
struct View {
    const InpaintFeatureLevel* level = nullptr;
    const uint8_t* window = nullptr;  // features over `rect`, or null
    InpaintRect rect;

    const uint8_t* Pixel(int32_t y, int32_t x) const {
        if (window && rect.Contains(y, x)) return window + rect.Index(y, x) * kB;
        return level->Px(y, x);
    }
    // kSide pixels of row y from column x0 on, all inside the level.
    const uint8_t* Row(int32_t y, int32_t x0, uint8_t* scratch) const {
        if (!window || y < rect.y0 || y >= rect.y1 || x0 + kSide <= rect.x0 || x0 >= rect.x1) return level->Px(y, x0);
        if (x0 >= rect.x0 && x0 + kSide <= rect.x1) return window + rect.Index(y, x0) * kB;
        for (int32_t k = 0; k < kSide; ++k) std::memcpy(scratch + k * kB, Pixel(y, x0 + k), kB);
        return scratch;
    }
};

// Squared differences of the first 9 bytes of two feature pixels.
inline int32_t FeatureSsd(const uint8_t* p, const uint8_t* q) {
#if defined(__SSE2__)
    const __m128i keep = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0);
    const __m128i a = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), keep);
    const __m128i b = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q)), keep);
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

// The patch distance of InpaintPatchDistance between two views of one level.
int32_t Distance(const View& A, int32_t ay, int32_t ax, const View& B, int32_t by, int32_t bx, int32_t cutoff) {
    const int32_t W = A.level->width, H = A.level->height;
    const int64_t stopAt = kPatchPairs * int64_t(cutoff) * kPairUnit;
    const bool columnsInside = ax - kRadius >= 0 && ax + kRadius < W && bx - kRadius >= 0 && bx + kRadius < W;
    alignas(16) uint8_t scratchA[kSide * kB], scratchB[kSide * kB];
    int64_t sum = 0;
    for (int32_t dy = -kRadius; dy <= kRadius; ++dy) {
        const int32_t ya = ay + dy, yb = by + dy;
        if (ya <= 0 || ya >= H - 1 || yb <= 0 || yb >= H - 1) {
            sum += kSide * kPairUnit;
        } else if (columnsInside) {
            // The ring and unknown pixels are exactly those flagged.
            const uint8_t* pa = A.Row(ya, ax - kRadius, scratchA);
            const uint8_t* pb = B.Row(yb, bx - kRadius, scratchB);
            for (int32_t k = 0; k < kSide; ++k, pa += kB, pb += kB)
                sum += (pa[kFlagByte] | pb[kFlagByte]) ? kPairUnit : FeatureSsd(pa, pb);
        } else {
            for (int32_t dx = -kRadius; dx <= kRadius; ++dx) {
                const int32_t xa = ax + dx, xb = bx + dx;
                if (xa <= 0 || xa >= W - 1 || xb <= 0 || xb >= W - 1) {
                    sum += kPairUnit;
                    continue;
                }
                const uint8_t* pa = A.Pixel(ya, xa);
                const uint8_t* pb = B.Pixel(yb, xb);
                sum += (pa[kFlagByte] | pb[kFlagByte]) ? kPairUnit : FeatureSsd(pa, pb);
            }
        }
        if (sum * 65535 >= stopAt) return kNoMatch;
    }
    return int32_t(std::min<int64_t>(sum * 65535 / (kPatchPairs * kPairUnit), kNoMatch));
}

// ---- Where matches may go ----------------------------------------------------

// The allowed pixels of the level a field searches. For the level itself they
// are its own mask. An estimate carries the mask of the coarsest level,
// resized nearest neighbour from level to level with the estimate, so at level
// L a pixel is allowed when the coarsest pixel it descends from is; its list of
// allowed pixels is never built: the k-th one is found from per-row counts.
class AllowedPixels {
public:
    // The level's own mask.
    explicit AllowedPixels(const InpaintFeatureLevel* level = nullptr) : level_(level) {}
    // The coarsest level's mask carried down to `level` along rowMap / colMap
    // (level row / column -> coarsest row / column).
    AllowedPixels(const InpaintFeatureLevel& top, const InpaintFeatureLevel& level, std::vector<int32_t> rowMap,
                  std::vector<int32_t> colMap)
        : level_(&level), top_(&top), rowMap_(std::move(rowMap)), colMap_(std::move(colMap)) {
        if (!top.hasMask) return;
        const int32_t tw = top.width, th = top.height;
        firstCol_.assign(size_t(tw) + 1, level.width);
        for (int32_t j = level.width - 1; j >= 0; --j) firstCol_[size_t(colMap_[size_t(j)])] = j;
        // Columns of the level per coarsest column, and per coarsest row the
        // running count of allowed level columns.
        std::vector<int64_t> columns(size_t(tw), 0);
        for (int32_t j = 0; j < level.width; ++j) ++columns[size_t(colMap_[size_t(j)])];
        topRowPrefix_.assign(size_t(th) * (size_t(tw) + 1), 0);
        for (int32_t r = 0; r < th; ++r) {
            int64_t* p = &topRowPrefix_[size_t(r) * (size_t(tw) + 1)];
            for (int32_t c = 0; c < tw; ++c) p[c + 1] = p[c] + (top.Px(r, c)[kAllowedByte] ? columns[size_t(c)] : 0);
        }
        rowPrefix_.assign(size_t(level.height) + 1, 0);
        for (int32_t i = 0; i < level.height; ++i)
            rowPrefix_[size_t(i) + 1] = rowPrefix_[size_t(i)] + topRowPrefix_[size_t(rowMap_[size_t(i)]) * (size_t(tw) + 1) + size_t(tw)];
    }

    bool Allowed(int32_t r, int32_t c) const {
        if (!top_) return level_->Px(r, c)[kAllowedByte] != 0;
        return top_->Px(rowMap_[size_t(r)], colMap_[size_t(c)])[kAllowedByte] != 0;
    }
    // The number of allowed pixels when the level has a mask, else 0.
    int64_t Count() const {
        if (!top_) return level_->AllowedCount();
        return top_->hasMask ? rowPrefix_.back() : 0;
    }
    // The k-th allowed pixel in row-major order, 0 <= k < Count().
    InpaintPoint Nth(int64_t k) const {
        if (!top_) return level_->AllowedPixel(k);
        const int32_t row = int32_t(std::upper_bound(rowPrefix_.begin(), rowPrefix_.end(), k) - rowPrefix_.begin()) - 1;
        int64_t rest = k - rowPrefix_[size_t(row)];
        const int32_t tw = top_->width;
        const int64_t* p = &topRowPrefix_[size_t(rowMap_[size_t(row)]) * (size_t(tw) + 1)];
        const int32_t c = int32_t(std::upper_bound(p, p + tw + 1, rest) - p) - 1;
        rest -= p[c];
        return {firstCol_[size_t(c)] + int32_t(rest), row};
    }

private:
    const InpaintFeatureLevel* level_;
    const InpaintFeatureLevel* top_ = nullptr;
    std::vector<int32_t> rowMap_, colMap_, firstCol_;
    std::vector<int64_t> topRowPrefix_, rowPrefix_;
};

// ---- Fields -----------------------------------------------------------------

// The matches of the patches of A (entries inside `rect`; every other entry
// matches itself at distance 0) in B. Candidates must be allowed in `level`,
// the level both views show.
class WindowField {
public:
    WindowField(const InpaintContext& ctx, InpaintRandom random) : ctx_(&ctx), random_(random) {}

    void Bind(const InpaintFeatureLevel& level, const InpaintRect& rect, const View& a, const View& b,
              const AllowedPixels* allowed) {
        level_ = &level;
        allowed_ = allowed;
        a_ = a;
        b_ = b;
        if (rect_.x0 != rect.x0 || rect_.y0 != rect.y0 || rect_.x1 != rect.x1 || rect_.y1 != rect.y1 ||
            entries_.size() != size_t(rect.Width()) * size_t(rect.Height()))
            entries_.resize(size_t(rect.Width()) * size_t(rect.Height()));
        rect_ = rect;
    }
    void SetA(const View& a) { a_ = a; }
    void SetB(const View& b) { b_ = b; }
    const InpaintRect& Rect() const { return rect_; }
    const InpaintRandom& Random() const { return random_; }
    void SetRandom(const InpaintRandom& r) { random_ = r; }

    NnfEntry& At(int32_t y, int32_t x) { return entries_[rect_.Index(y, x)]; }
    NnfEntry Get(int32_t y, int32_t x) const {
        return rect_.Contains(y, x) ? entries_[rect_.Index(y, x)] : NnfEntry{y, x, 0};
    }

    void InitRandom() {
        for (int32_t y = rect_.y0; y < rect_.y1; ++y) {
            ctx_->PollCancel();
            for (int32_t x = rect_.x0; x < rect_.x1; ++x) {
                const InpaintPoint p = PickCandidate();
                At(y, x) = NnfEntry{p.y, p.x, kNoMatch};
            }
        }
        ComputeDistances();
    }

    void InitFromCoarser(const WindowField& coarser, int32_t coarserHeight, int32_t coarserWidth) {
        random_ = coarser.random_;
        const double ry = double(level_->height) / coarserHeight, rx = double(level_->width) / coarserWidth;
        for (int32_t i = rect_.y0; i < rect_.y1; ++i) {
            ctx_->PollCancel();
            const int32_t ci = std::min(int32_t(std::floor(i / ry)), coarserHeight - 1);
            for (int32_t j = rect_.x0; j < rect_.x1; ++j) {
                const int32_t cj = std::min(int32_t(std::floor(j / rx)), coarserWidth - 1);
                const NnfEntry c = coarser.Get(ci, cj);
                At(i, j) = NnfEntry{int32_t(std::floor(c.row * ry)), int32_t(std::floor(c.col * rx)), kNoMatch};
            }
        }
        ComputeDistances();
    }

    void ComputeDistances() {
        const int32_t w = rect_.Width();
        ForRows(*ctx_, rect_.Height(), int64_t(w) * rect_.Height() * 64, [&](int32_t row) {
            const int32_t y = rect_.y0 + row;
            for (int32_t x = rect_.x0; x < rect_.x0 + w; ++x) {
                NnfEntry& e = At(y, x);
                e.dist = Distance(a_, y, x, b_, e.row, e.col, 65536);
            }
        });
        // Retries draw from the sequence, so they keep entry order on one thread.
        for (int32_t y = rect_.y0; y < rect_.y1; ++y) {
            ctx_->PollCancel();
            for (int32_t x = rect_.x0; x < rect_.x1; ++x) {
                NnfEntry& e = At(y, x);
                for (int k = 0; k < 20 && e.dist == kNoMatch; ++k) {
                    const InpaintPoint p = PickCandidate();
                    e = NnfEntry{p.y, p.x, Distance(a_, y, x, b_, p.y, p.x, 65536)};
                }
            }
        }
    }

    // Entries whose patch holds no unknown pixel of the level match themselves.
    void Pin(const std::vector<uint8_t>& pinned) {
        size_t i = 0;
        for (int32_t y = rect_.y0; y < rect_.y1; ++y)
            for (int32_t x = rect_.x0; x < rect_.x1; ++x, ++i)
                if (pinned[i]) At(y, x) = NnfEntry{y, x, 0};
    }

    // Forward and backward scans; returns early once the fill is cancelled.
    void Minimize(int32_t passes) {
        for (int32_t p = 0; p < passes; ++p) {
            for (int32_t y = rect_.y0; y < rect_.y1; ++y)
                for (int32_t x = rect_.x0; x < rect_.x1; ++x)
                    if (At(y, x).dist != 0) {
                        if (ctx_->CancelRequested()) return;
                        ImproveEntry(y, x, +1);
                    }
            for (int32_t y = rect_.y1 - 1; y >= rect_.y0; --y)
                for (int32_t x = rect_.x1 - 1; x >= rect_.x0; --x)
                    if (At(y, x).dist != 0) {
                        if (ctx_->CancelRequested()) return;
                        ImproveEntry(y, x, -1);
                    }
        }
    }

private:
    bool Allowed(int32_t r, int32_t c) const { return allowed_->Allowed(r, c); }

    InpaintPoint PickCandidate() {
        if (const int64_t n = allowed_->Count(); n > 0) return allowed_->Nth(random_.Below(n));
        InpaintPoint p;
        p.y = random_.Below(level_->height);
        p.x = random_.Below(level_->width);
        return p;
    }

    void TryCandidate(NnfEntry& e, int32_t y, int32_t x, int32_t by, int32_t bx) const {
        const int32_t d = Distance(a_, y, x, b_, by, bx, e.dist);
        if (d < e.dist) e = NnfEntry{by, bx, d};
    }

    void ImproveEntry(int32_t y, int32_t x, int32_t d) {
        const int32_t W = level_->width, H = level_->height;
        NnfEntry& e = At(y, x);
        const auto usable = [&](int32_t r, int32_t c) { return r >= 0 && c >= 0 && r < H && c < W && Allowed(r, c); };
        const int32_t py = y - d;
        if (py >= 1 && py < H) {
            const NnfEntry n = Get(py, x);
            if (usable(n.row + d, n.col)) TryCandidate(e, y, x, n.row + d, n.col);
        }
        const int32_t px = x - d;
        if (px >= 1 && px < W) {
            const NnfEntry n = Get(y, px);
            if (usable(n.row, n.col + d)) TryCandidate(e, y, x, n.row, n.col + d);
        }
        const int32_t cy = e.row, cx = e.col;
        for (int32_t w = W; w >= 1; w /= 2) {
            int32_t ry = cy + random_.Below(2 * int64_t(w)) - w;
            int32_t rx = cx + random_.Below(2 * int64_t(w)) - w;
            ry = std::clamp(ry, 0, H - 1);
            rx = std::clamp(rx, 0, W - 1);
            if (!Allowed(ry, rx)) {
                const InpaintPoint p = PickCandidate();
                ry = p.y;
                rx = p.x;
            }
            TryCandidate(e, y, x, ry, rx);
        }
    }

    const InpaintContext* ctx_;
    InpaintRandom random_;
    const InpaintFeatureLevel* level_ = nullptr;
    const AllowedPixels* allowed_ = nullptr;
    View a_, b_;
    InpaintRect rect_;
    InpaintBuffer<NnfEntry> entries_;
};

// ---- Estimates and votes ----------------------------------------------------

// An estimate's pixels inside its window, in the feature layout.
struct Estimate {
    InpaintRect rect;
    InpaintBuffer<uint8_t> features;
};

// Colour reads of a vote: a coarser level, or the base image.
struct LevelColour {
    const InpaintFeatureLevel* level;
    int32_t Width() const { return level->width; }
    int32_t Height() const { return level->height; }
    // B G R of a known, allowed pixel, or null.
    const uint8_t* Get(int32_t y, int32_t x) const {
        const uint8_t* p = level->Px(y, x);
        return (p[kUnknownByte] || !p[kAllowedByte]) ? nullptr : p;
    }
};

struct BaseColour {
    const InpaintBase* base;
    int32_t Width() const { return base->width; }
    int32_t Height() const { return base->height; }
    const uint8_t* Get(int32_t y, int32_t x) const {
        return base->Allowed(y, x) && !base->Unknown(y, x) ? base->pixels + y * base->pixelStride + int64_t(x) * 4
                                                           : nullptr;
    }
};

struct Accumulator {
    InpaintRect rect;
    InpaintBuffer<double> sums;  // B, G, R, weight per pixel of rect
};

// The votes of one field that land in accumulator rows [rowBegin, rowEnd), in
// entry order, so that every pixel receives its additions in the same order
// however the rows are split. Entries outside the field's window match
// themselves and vote too where they reach the accumulator.
template <class Colour>
void VoteRows(const WindowField& field, InpaintVoteMode mode, bool doubled, const Colour& colour, int32_t W,
              int32_t H, Accumulator& acc, int32_t rowBegin, int32_t rowEnd, const InpaintContext& ctx) {
    const double* table = InpaintSimilarityTable();
    const int32_t r = kRadius, scale = doubled ? 2 : 1;
    const InpaintRect& fr = field.Rect();
    const InpaintRect& t = acc.rect;
    const int32_t cw = colour.Width(), ch = colour.Height();
    const int32_t ey0 = std::max(0, fr.y0 - r), ey1 = std::min(H, fr.y1 + r);
    const int32_t ex0 = std::max(0, fr.x0 - r), ex1 = std::min(W, fr.x1 + r);
    const int32_t tw = t.Width();
    for (int32_t y = ey0; y < ey1; ++y) {
        if (ctx.CancelRequested()) return;
        for (int32_t x = ex0; x < ex1; ++x) {
            const NnfEntry e = field.Get(y, x);
            const double w = table[std::clamp(e.dist, 0, 65535)];
            if (w == 0.0) continue;
            const int32_t by = mode == kVoteTarget ? y : e.row, bx = mode == kVoteTarget ? x : e.col;
            if (scale * (by + r) + scale - 1 < rowBegin || scale * (by - r) >= rowEnd) continue;
            if (scale * (bx + r) + scale - 1 < t.x0 || scale * (bx - r) >= t.x1) continue;
            // Every pixel receives at most one addition per entry, so the order
            // within an entry does not change any sum: the common case of a patch
            // and its match well inside everything runs without per-pixel bounds.
            const int32_t cy0 = mode == kVoteTarget ? e.row : y, cx0 = mode == kVoteTarget ? e.col : x;
            if (y - r >= 0 && y + r < H && x - r >= 0 && x + r < W && e.row - r >= 0 && e.row + r < H &&
                e.col - r >= 0 && e.col + r < W && scale * (cy0 + r) + scale - 1 < ch &&
                scale * (cx0 + r) + scale - 1 < cw && scale * (bx - r) >= t.x0 && scale * (bx + r) + scale - 1 < t.x1) {
                for (int32_t dy = -r; dy <= r; ++dy)
                    for (int32_t i = 0; i < scale; ++i) {
                        const int32_t tr = scale * (by + dy) + i;
                        if (tr < rowBegin || tr >= rowEnd) continue;
                        const int32_t cr = scale * (cy0 + dy) + i, c0 = scale * (cx0 - r);
                        double* s = &acc.sums[(size_t(tr - t.y0) * size_t(tw) + size_t(scale * (bx - r) - t.x0)) * 4];
                        for (int32_t k = 0; k < scale * kSide; ++k, s += 4) {
                            const uint8_t* c = colour.Get(cr, c0 + k);
                            if (!c) continue;
                            s[0] += w * c[0];
                            s[1] += w * c[1];
                            s[2] += w * c[2];
                            s[3] += w;
                        }
                    }
                continue;
            }
            for (int32_t dy = -r; dy <= r; ++dy) {
                const int32_t ay = y + dy, sy = e.row + dy;
                if (ay < 0 || ay >= H || sy < 0 || sy >= H) continue;
                const int32_t ty = mode == kVoteTarget ? ay : sy, cy = mode == kVoteTarget ? sy : ay;
                if (scale * ty + scale - 1 < rowBegin || scale * ty >= rowEnd) continue;
                for (int32_t dx = -r; dx <= r; ++dx) {
                    const int32_t ax = x + dx, sx = e.col + dx;
                    if (ax < 0 || ax >= W || sx < 0 || sx >= W) continue;
                    const int32_t tx = mode == kVoteTarget ? ax : sx, cx = mode == kVoteTarget ? sx : ax;
                    for (int32_t i = 0; i < scale; ++i) {
                        const int32_t tr = scale * ty + i, cr = scale * cy + i;
                        if (tr < rowBegin || tr >= rowEnd || cr >= ch) continue;
                        for (int32_t j = 0; j < scale; ++j) {
                            const int32_t tc = scale * tx + j, cc = scale * cx + j;
                            if (tc < t.x0 || tc >= t.x1 || cc >= cw) continue;
                            const uint8_t* c = colour.Get(cr, cc);
                            if (!c) continue;
                            double* s = &acc.sums[(size_t(tr - t.y0) * size_t(tw) + size_t(tc - t.x0)) * 4];
                            s[0] += w * c[0];
                            s[1] += w * c[1];
                            s[2] += w * c[2];
                            s[3] += w;
                        }
                    }
                }
            }
        }
    }
}

template <class Colour>
void Vote(const WindowField& field, InpaintVoteMode mode, bool doubled, const Colour& colour, int32_t W, int32_t H,
          Accumulator& acc, const InpaintContext& ctx) {
    const InpaintRect& fr = field.Rect();
    const int64_t work = int64_t(fr.Width() + 2 * kRadius) * (fr.Height() + 2 * kRadius) * (doubled ? 256 : 64);
    if (!WorthThreads(ctx, work)) {
        VoteRows(field, mode, doubled, colour, W, H, acc, acc.rect.y0, acc.rect.y1, ctx);
    } else {
        // Each thread owns a band of accumulator rows and walks every entry in order.
#pragma omp parallel
        {
            const int32_t threads = omp_get_num_threads(), k = omp_get_thread_num();
            const int32_t rows = acc.rect.Height();
            const int32_t r0 = acc.rect.y0 + int32_t(int64_t(rows) * k / threads);
            const int32_t r1 = acc.rect.y0 + int32_t(int64_t(rows) * (k + 1) / threads);
            if (r0 < r1) VoteRows(field, mode, doubled, colour, W, H, acc, r0, r1, ctx);
        }
    }
    ctx.PollCancel();
}

// The new estimate's pixels become the weighted means of their votes.
void Resolve(const Accumulator& acc, Estimate& next, const InpaintContext& ctx) {
    const int32_t w = acc.rect.Width();
    ForRows(ctx, acc.rect.Height(), int64_t(w) * acc.rect.Height(), [&](int32_t row) {
        for (int32_t x = 0; x < w; ++x) {
            const size_t i = size_t(row) * size_t(w) + size_t(x);
            const double* s = &acc.sums[i * 4];
            if (!(s[3] > 0.0)) continue;
            uint8_t* f = &next.features[i * kB];
            // Rounded rather than truncated: a patch of one colour votes back that
            // very colour even when the weighted sums come out a hair below it.
            for (int c = 0; c < 3; ++c) f[c] = uint8_t(std::clamp(std::trunc(s[c] / s[3] + 0.5), 0.0, 255.0));
            f[kUnknownByte] = 0;
        }
    });
}

// Gradients and flags of an estimate over a level (its pixels outside the
// window are the level's).
void EstimateGradients(Estimate& est, const InpaintFeatureLevel& level, const InpaintContext& ctx) {
    const View view{&level, est.features.data(), est.rect};
    const int32_t w = est.rect.Width();
    const auto colour = [&](int32_t y, int32_t x) { return view.Pixel(y, x); };
    // The gradients read only B G R, which this pass does not write.
    ForRows(ctx, est.rect.Height(), int64_t(w) * est.rect.Height() * 2, [&](int32_t row) {
        FillGradients(est.features.data() + size_t(row) * size_t(w) * kB, level.width, level.height, est.rect.y0 + row,
                      est.rect.x0, est.rect.x1, colour);
    });
}

// Which entries of `rect` have no unknown pixel of the level in their patch.
std::vector<uint8_t> PinnedEntries(const InpaintFeatureLevel& level, const InpaintRect& rect) {
    const InpaintRect g = Clip(Grow(rect, kRadius), level.width, level.height);
    const size_t sw = size_t(g.Width()) + 1;
    std::vector<int32_t> sat(sw * (size_t(g.Height()) + 1), 0);
    for (int32_t y = g.y0; y < g.y1; ++y) {
        int32_t run = 0;
        const size_t row = size_t(y - g.y0 + 1) * sw;
        for (int32_t x = g.x0; x < g.x1; ++x) {
            run += level.Px(y, x)[kUnknownByte] ? 1 : 0;
            sat[row + size_t(x - g.x0 + 1)] = sat[row - sw + size_t(x - g.x0 + 1)] + run;
        }
    }
    std::vector<uint8_t> pinned(size_t(rect.Width()) * size_t(rect.Height()));
    size_t i = 0;
    for (int32_t y = rect.y0; y < rect.y1; ++y) {
        const size_t y0 = size_t(std::max(g.y0, y - kRadius) - g.y0), y1 = size_t(std::min(g.y1, y + kRadius + 1) - g.y0);
        for (int32_t x = rect.x0; x < rect.x1; ++x, ++i) {
            const size_t x0 = size_t(std::max(g.x0, x - kRadius) - g.x0),
                         x1 = size_t(std::min(g.x1, x + kRadius + 1) - g.x0);
            pinned[i] = sat[y1 * sw + x1] - sat[y0 * sw + x1] - sat[y1 * sw + x0] + sat[y0 * sw + x0] == 0;
        }
    }
    return pinned;
}


}  // namespace

InpaintPoint InpaintFeatureLevel::AllowedPixel(int64_t k) const {
    const int32_t y =
        int32_t(std::upper_bound(allowedBeforeRow.begin(), allowedBeforeRow.end(), k) - allowedBeforeRow.begin()) - 1;
    int64_t rest = k - allowedBeforeRow[size_t(y)];
    const int32_t blocks = Blocks();
    const int32_t* before = &allowedBeforeBlock[size_t(y) * (size_t(blocks) + 1)];
    const int32_t b = int32_t(std::upper_bound(before, before + blocks + 1, rest) - before) - 1;
    rest -= before[b];
    for (int32_t x = b * kBlock;; ++x)
        if (Px(y, x)[kAllowed] && rest-- == 0) return {x, y};
}

InpaintFeatureLevel InpaintDownsampleBase(const InpaintBase& base, const InpaintContext& ctx) {
    const auto addRow = [&](int32_t yy, int32_t wy, bool first, int32_t* vs, uint8_t* va, int32_t cols) {
        const uint8_t* p = base.pixels + yy * base.pixelStride;
        const uint8_t* m = base.hole + yy * base.holeStride;
        const uint8_t* src = base.source ? base.source + yy * base.sourceStride : nullptr;
        for (int32_t x = 0; x < cols; ++x, p += 4, vs += 4) {
            const bool known = m[x] == 0 && p[3] != 0;
            const int32_t k = known ? wy : 0;
            const uint8_t allowed = (src && known && src[x]) ? 1 : 0;
            if (first) {
                vs[0] = k * p[0], vs[1] = k * p[1], vs[2] = k * p[2], vs[3] = k;
                va[x] = allowed;
            } else {
                vs[0] += k * p[0], vs[1] += k * p[1], vs[2] += k * p[2], vs[3] += k;
                va[x] |= allowed;
            }
        }
    };
    return Downsample(base.width, base.height, base.source != nullptr, addRow, ctx);
}

InpaintFeatureLevel InpaintDownsampleFeatures(const InpaintFeatureLevel& level, const InpaintContext& ctx) {
    const bool mask = level.hasMask;
    const auto addRow = [&](int32_t yy, int32_t wy, bool first, int32_t* vs, uint8_t* va, int32_t cols) {
        const uint8_t* p = level.Px(yy, 0);
        for (int32_t x = 0; x < cols; ++x, p += kB, vs += 4) {
            const bool known = p[kUnknownByte] == 0;
            const int32_t k = known ? wy : 0;
            const uint8_t allowed = (mask && p[kAllowedByte]) ? 1 : 0;
            if (first) {
                vs[0] = k * p[0], vs[1] = k * p[1], vs[2] = k * p[2], vs[3] = k;
                va[x] = allowed;
            } else {
                vs[0] += k * p[0], vs[1] += k * p[1], vs[2] += k * p[2], vs[3] += k;
                va[x] |= allowed;
            }
        }
    };
    return Downsample(level.width, level.height, level.hasMask, addRow, ctx);
}

InpaintBuffer<uint8_t> InpaintSynthesizeRegion(const InpaintBase& base, const InpaintRect& holeBox,
                                               const InpaintContext& ctx) {
    InpaintSimilarityTable();
    InpaintBuffer<uint8_t> out(size_t(holeBox.Width()) * size_t(holeBox.Height()) * 3);
    const auto copyBase = [&] {
        size_t i = 0;
        for (int32_t y = holeBox.y0; y < holeBox.y1; ++y)
            for (int32_t x = holeBox.x0; x < holeBox.x1; ++x, i += 3)
                std::memcpy(&out[i], base.pixels + y * base.pixelStride + int64_t(x) * 4, 3);
    };
    if (base.width <= 9 || base.height <= 9) {
        copyBase();
        return out;
    }
    Pyramid pyramid;
    std::vector<InpaintFeatureLevel>& levels = pyramid.levels;
    levels.reserve(16);
    levels.emplace_back();
    levels.push_back(InpaintDownsampleBase(base, ctx));
    while (levels.back().width > 9 && levels.back().height > 9) {
        ctx.PollCancel();
        InpaintFeatureLevel half = InpaintDownsampleFeatures(levels.back(), ctx);
        levels.push_back(std::move(half));
    }
    const int32_t top = int32_t(levels.size()) - 1;
    const auto widthOf = [&](int32_t L) { return L == 0 ? base.width : levels[size_t(L)].width; };
    const auto heightOf = [&](int32_t L) { return L == 0 ? base.height : levels[size_t(L)].height; };
    std::vector<InpaintRect> windows(size_t(top) + 1);
    windows[0] = holeBox;
    for (int32_t L = 1; L <= top; ++L)
        windows[size_t(L)] = Clip(Grow(Halve(windows[size_t(L) - 1]), kMargin), widthOf(L), heightOf(L));

    // The top estimate: the top level, every pixel taken as known (hole pixels
    // enter as the downsampling left them, 0 where nothing was known).
    Estimate est;
    {
        const InpaintFeatureLevel& level = levels[size_t(top)];
        est.rect = windows[size_t(top)];
        est.features.resize(size_t(est.rect.Width()) * size_t(est.rect.Height()) * kB);
        size_t i = 0;
        for (int32_t y = est.rect.y0; y < est.rect.y1; ++y)
            for (int32_t x = est.rect.x0; x < est.rect.x1; ++x, i += kB) {
                std::memcpy(&est.features[i], level.Px(y, x), kB);
                est.features[i + kUnknownByte] = 0;
            }
        EstimateGradients(est, level, ctx);
    }
    // Two unrelated sequences from the one seed, carried from level to level.
    WindowField source(ctx, InpaintRandom(ctx.Seed())), target(ctx, InpaintRandom(ctx.Seed() ^ 0x9E3779B9u));
    WindowField coarseSource = source, coarseTarget = target;
    Accumulator acc;
    // Rows and columns of the coarsest level each pixel of the estimate descends from.
    std::vector<int32_t> rowMap(size_t(levels[size_t(top)].height)), colMap(size_t(levels[size_t(top)].width));
    for (size_t i = 0; i < rowMap.size(); ++i) rowMap[i] = int32_t(i);
    for (size_t j = 0; j < colMap.size(); ++j) colMap[j] = int32_t(j);
    for (int32_t L = top; L >= 1; --L) {
        ctx.PollCancel();
        const InpaintFeatureLevel& level = levels[size_t(L)];
        const InpaintRect& rect = windows[size_t(L)];
        const View plain{&level, nullptr, {}};
        const View estView{&level, est.features.data(), est.rect};
        if (L < top) {
            const InpaintFeatureLevel& coarser = levels[size_t(L) + 1];
            std::vector<int32_t> rows(size_t(level.height)), cols(size_t(level.width));
            for (int32_t i = 0; i < level.height; ++i)
                rows[size_t(i)] = rowMap[size_t(int64_t(i) * coarser.height / level.height)];
            for (int32_t j = 0; j < level.width; ++j)
                cols[size_t(j)] = colMap[size_t(int64_t(j) * coarser.width / level.width)];
            rowMap = std::move(rows);
            colMap = std::move(cols);
        }
        const AllowedPixels levelAllowed(&level);
        const AllowedPixels estimateAllowed(levels[size_t(top)], level, rowMap, colMap);
        if (L == top) {
            source.Bind(level, rect, plain, estView, &estimateAllowed);
            source.InitRandom();
            target.Bind(level, rect, estView, plain, &levelAllowed);
            target.InitRandom();
        } else {
            coarseSource = std::move(source);
            coarseTarget = std::move(target);
            source = WindowField(ctx, InpaintRandom());
            target = WindowField(ctx, InpaintRandom());
            source.Bind(level, rect, plain, estView, &estimateAllowed);
            source.InitFromCoarser(coarseSource, levels[size_t(L) + 1].height, levels[size_t(L) + 1].width);
            target.Bind(level, rect, estView, plain, &levelAllowed);
            target.InitFromCoarser(coarseTarget, levels[size_t(L) + 1].height, levels[size_t(L) + 1].width);
        }
        const std::vector<uint8_t> pinned = PinnedEntries(level, rect);
        const int32_t iterations = 2 * L + 1, passes = std::min(L + 1, 7);
        for (int32_t it = 0; it < iterations; ++it) {
            ctx.PollCancel();
            const View current{&level, est.features.data(), est.rect};
            source.SetB(current);
            target.SetA(current);
            source.Pin(pinned);
            target.Pin(pinned);
            // The fields read the level and the estimate and write only their own
            // entries, each with its own random sequence.
#pragma omp parallel sections num_threads(2) if (WorthThreads(ctx, int64_t(rect.Width()) * rect.Height() * 16))
            {
#pragma omp section
                source.Minimize(passes);
#pragma omp section
                target.Minimize(passes);
            }
            ctx.PollCancel();
            const bool last = it == iterations - 1;
            const int32_t vL = last ? L - 1 : L;
            const InpaintRect& t = windows[size_t(vL)];
            const int32_t tw = t.Width(), th = t.Height();
            // The new estimate starts as the current one, resized nearest
            // neighbour to the finer level on the last iteration.
            Estimate next;
            next.rect = t;
            next.features.resize(size_t(tw) * size_t(th) * kB);
            const int32_t H = level.height, W = level.width, nH = heightOf(vL), nW = widthOf(vL);
            ForRows(ctx, th, int64_t(tw) * th, [&](int32_t row) {
                const int32_t y = t.y0 + row;
                const int32_t sy = last ? int32_t(int64_t(y) * H / nH) : y;
                uint8_t* f = &next.features[size_t(row) * size_t(tw) * kB];
                for (int32_t x = t.x0; x < t.x1; ++x, f += kB) {
                    const int32_t sx = last ? int32_t(int64_t(x) * W / nW) : x;
                    const uint8_t* p = current.Pixel(sy, sx);
                    if (!last) {
                        std::memcpy(f, p, kB);
                        continue;
                    }
                    const bool unknown = p[kUnknownByte] != 0;
                    f[0] = unknown ? 0 : p[0];
                    f[1] = unknown ? 0 : p[1];
                    f[2] = unknown ? 0 : p[2];
                    f[kUnknownByte] = unknown ? 1 : 0;
                    f[kAllowedByte] = vL == 0 ? 255 : levels[size_t(vL)].Px(y, x)[kAllowedByte];
                }
            });
            acc.rect = t;
            acc.sums.resize(size_t(tw) * size_t(th) * 4);
            ForRows(ctx, th, int64_t(tw) * th, [&](int32_t row) {
                std::fill_n(acc.sums.data() + size_t(row) * size_t(tw) * 4, size_t(tw) * 4, 0.0);
            });
            if (vL == 0) {
                const BaseColour colour{&base};
                Vote(source, kVoteSource, true, colour, W, H, acc, ctx);
                Vote(target, kVoteTarget, true, colour, W, H, acc, ctx);
            } else {
                const LevelColour colour{&levels[size_t(vL)]};
                Vote(source, kVoteSource, last, colour, W, H, acc, ctx);
                Vote(target, kVoteTarget, last, colour, W, H, acc, ctx);
            }
            Resolve(acc, next, ctx);
            if (vL >= 1) EstimateGradients(next, levels[size_t(vL)], ctx);
            est = std::move(next);
        }
    }
    // est now covers the hole box at full resolution.
    size_t i = 0;
    for (int32_t y = holeBox.y0; y < holeBox.y1; ++y)
        for (int32_t x = holeBox.x0; x < holeBox.x1; ++x, i += 3)
            std::memcpy(&out[i], &est.features[est.rect.Index(y, x) * kB], 3);
    return out;
}
