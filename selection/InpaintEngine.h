#pragma once
// Building blocks of the smart fill (InpaintFill): an image pyramid of BGR
// levels, two nearest-neighbour fields of 9 x 9 patches per level improved by
// randomised search (propagation and random search), and an expectation-
// maximisation loop in which every matched patch votes its colours into the
// next estimate, weighted by how well it matched.
//
// The source field matches the patches of a pyramid level into the estimate
// (every known patch should appear somewhere in the result); the target field
// matches the estimate's patches into the level (every result patch should come
// from somewhere known). Voting both ways gives the bidirectional similarity.
//
// Determinism: each field draws its random choices from its own linear
// congruential sequence, started from the fill's seed and carried from level to
// level, and searches in scan order on one thread; so the two fields' searches
// run side by side with the same result as one after the other. The work
// without random choices (initial distances, pinning, voting, gradients,
// resampling) runs on several threads with results identical to one thread:
// votes are split by accumulator rows so that every pixel receives its
// additions in the one-thread order.
#include <atomic>
#include <cstdint>
#include <memory>
#include <new>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

// Large blocks for the fill's buffers: aligned to and advised as huge pages,
// which makes their first touch and their release many times cheaper.
void* InpaintAllocateLarge(size_t bytes);
void InpaintFreeLarge(void* p);
constexpr size_t kInpaintLargeBlock = size_t(4) << 20;

// Destroys `doomed` on a short-lived thread of its own, so that whoever lets go
// of gigabytes (a cancelled fill, the job of the fill dialog) goes on at once
// instead of waiting for the pages to be unmapped. When no thread can be
// started it is destroyed here.
template <class T>
void InpaintReleaseLater(T doomed) {
    try {
        std::thread([d = std::move(doomed)]() mutable { T gone = std::move(d); }).detach();
    } catch (...) {
    }
}

// Leaves new elements of trivial types uninitialised. Fresh pages of a large
// buffer cost real time on first touch, so every buffer of a fill is first
// written inside a loop that polls the cancel flag, never by a constructor.
template <class T>
struct InpaintNoInitAllocator : std::allocator<T> {
    using value_type = T;
    template <class U>
    struct rebind {
        using other = InpaintNoInitAllocator<U>;
    };
    InpaintNoInitAllocator() = default;
    template <class U>
    InpaintNoInitAllocator(const InpaintNoInitAllocator<U>&) noexcept {}
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <class U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    T* allocate(size_t n) {
        if (n >= kInpaintLargeBlock / sizeof(T)) return static_cast<T*>(InpaintAllocateLarge(n * sizeof(T)));
        return std::allocator<T>::allocate(n);
    }
    void deallocate(T* p, size_t n) {
        if (n >= kInpaintLargeBlock / sizeof(T)) InpaintFreeLarge(p);
        else std::allocator<T>::deallocate(p, n);
    }
};
template <class T>
using InpaintBuffer = std::vector<T, InpaintNoInitAllocator<T>>;

struct InpaintPoint {
    int32_t x = 0;
    int32_t y = 0;
};

// One pyramid level, also the type of the running estimate. Pixels hold
// 8-bit B, G, R (alpha is not synthesised).
struct InpaintLevel {
    int32_t width = 0;
    int32_t height = 0;
    InpaintBuffer<uint8_t> image;    // width * height * 3, B G R
    InpaintBuffer<uint8_t> unknown;  // 1 where the pixel is unknown (in the hole or transparent)
    InpaintBuffer<uint8_t> allowed;  // 255 where patches may be taken from; empty = everywhere
    std::vector<InpaintPoint> allowedList;  // every allowed pixel, row-major; empty without a mask
    InpaintBuffer<uint8_t> gradV;    // (below - above) / 2 + 128 per channel
    InpaintBuffer<uint8_t> gradH;    // (right - left) / 2 + 128 per channel
    // The search's view of a pixel, 16 bytes: B G R, vertical B G R, horizontal
    // B G R, six zeros, and 1 in the last byte where the pixel is unknown or on
    // the outermost ring. Only levels that are searched carry it; whoever changes
    // the image or the unknown mask of such a level rebuilds it.
    InpaintBuffer<uint8_t> features;

    bool Empty() const { return width < 1 || height < 1 || image.empty(); }
    size_t Index(int32_t y, int32_t x) const { return size_t(y) * size_t(width) + size_t(x); }
};

// Thrown from the polling points when the cancel flag is set; InpaintFill turns
// it into a cancelled result.
struct InpaintCancelled {};

// state = state * 214013 + 2531011 (mod 2^32); each value is (state >> 16) & 0x7FFF.
class InpaintRandom {
public:
    explicit InpaintRandom(uint32_t seed = 1) : state_(seed) {}
    int32_t Next() {
        state_ = state_ * 214013u + 2531011u;
        return int32_t((state_ >> 16) & 0x7FFF);
    }
    // 0..n-1 as Next() mod n. Ranges above 32768 (source lists of big levels,
    // search windows of very wide levels) take two draws so that every value
    // can come up.
    int32_t Below(int64_t n) {
        if (n <= 32768) return int32_t(Next() % n);
        const int64_t hi = Next();
        return int32_t(((hi << 15) | Next()) % n);
    }

private:
    uint32_t state_;
};

// The state one fill threads through its steps.
class InpaintContext {
public:
    InpaintContext(const std::atomic<bool>* cancel, uint32_t seed, bool parallel)
        : cancel_(cancel), seed_(seed), parallel_(parallel) {}

    uint32_t Seed() const { return seed_; }
    bool CancelRequested() const { return cancel_ && cancel_->load(std::memory_order_relaxed); }
    void PollCancel() const {
        if (CancelRequested()) throw InpaintCancelled{};
    }
    bool Parallel() const { return parallel_; }

private:
    const std::atomic<bool>* cancel_;
    uint32_t seed_;
    bool parallel_;
};

// Vote weight of a patch distance 0..65535: 1 for a perfect match, falling
// steeply between 3 and 5 percent of the range, 0 from 10 percent (6554) on.
double InpaintSimilarityWeight(int32_t distance);
// The 65536 weights, built once per process.
const double* InpaintSimilarityTable();

// Sets both gradient images from the level's image; the outermost ring (and any
// level with fewer than 3 rows or columns) is 128.
void InpaintComputeGradients(InpaintLevel& level, const InpaintContext* ctx = nullptr);
// Builds `features` from the image, gradients and unknown mask.
void InpaintBuildFeatures(InpaintLevel& level, const InpaintContext* ctx = nullptr);
// Rebuilds the allowed list from the allowed mask.
void InpaintCollectSourcePixels(InpaintLevel& level, const InpaintContext* ctx = nullptr);
// Half size, 6 x 6 binomial taps (1 5 10 10 5 1) over known pixels only; a pixel
// with no known tap becomes 0 and unknown. Empty when a side would be below 1.
InpaintLevel InpaintDownsample(const InpaintLevel& level, const InpaintContext& ctx);
// Nearest-neighbour resize to height x width; unknown pixels stay unknown with colour 0.
InpaintLevel InpaintUpscale(const InpaintLevel& level, int32_t height, int32_t width, const InpaintContext& ctx);
bool InpaintIsSourceAllowed(const InpaintLevel& level, int32_t row, int32_t column);

// Mean cost of the (2r + 1)^2 pixel pairs around (ay, ax) in A and (by, bx) in B,
// scaled to 0..65535: a pair costs 1 when either pixel is unknown, on the
// outermost ring or outside its level, else the squared differences of colour
// and both gradients over 9 * 255^2. Returns 65535 as soon as the partial sum
// shows the result cannot be below `cutoff` (65536 never stops early), and for
// r < 1, empty images or levels of different widths.
// Patches that lie inside both levels are measured on the packed features
// (several values per instruction); the rest, and levels without features, by
// the reference, with the same result.
int32_t InpaintPatchDistance(const InpaintLevel& a, int32_t ay, int32_t ax, const InpaintLevel& b, int32_t by,
                             int32_t bx, int32_t radius, int32_t cutoff);
// The same distance measured pixel by pixel on the separate images.
int32_t InpaintPatchDistanceReference(const InpaintLevel& a, int32_t ay, int32_t ax, const InpaintLevel& b, int32_t by,
                                      int32_t bx, int32_t radius, int32_t cutoff);

// Weighted colour sums of the next estimate: B, G, R sums and the weight sum per pixel.
struct InpaintAccumulator {
    int32_t width = 0;
    int32_t height = 0;
    InpaintBuffer<double> sums;  // width * height * 4

    InpaintAccumulator() = default;
    InpaintAccumulator(int32_t w, int32_t h) { Reset(w, h, nullptr); }
    // Resizes to w x h with every sum 0, keeping the memory when it is large enough.
    void Reset(int32_t w, int32_t h, const InpaintContext* ctx);
};

// Adds w * colour of (cy, cx) at (ty, tx) unless either lies outside its image, the
// colour pixel is unknown or it is outside the colour level's allowed mask.
void InpaintAccumulateVote(const InpaintLevel& colour, int32_t cy, int32_t cx, InpaintAccumulator& acc, int32_t ty,
                           int32_t tx, double weight);

// No member initialisers, so that a field's grid is paged in by the loops that
// fill it; NnfEntry{} is (0, 0, 0).
struct NnfEntry {
    int32_t row;   // match row in B
    int32_t col;   // match column in B
    int32_t dist;  // 0..65535; 65535 = no valid match
};

enum InpaintVoteMode : int32_t {
    kVoteTarget = 0,  // the colour at the match is added at the entry
    kVoteSource = 1,  // the colour at the entry is added at the match
};

// For every patch of A (same size as B), the best-known patch of B.
class NearestNeighborField {
public:
    NearestNeighborField(const InpaintLevel* a, const InpaintLevel* b, const InpaintContext& ctx,
                         InpaintRandom random = InpaintRandom())
        : a_(a), b_(b), ctx_(&ctx), random_(random) {}

    void SetA(const InpaintLevel* a) { a_ = a; }
    void SetB(const InpaintLevel* b) { b_ = b; }
    const InpaintLevel* A() const { return a_; }
    const InpaintLevel* B() const { return b_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    int32_t Radius() const { return radius_; }
    NnfEntry& At(int32_t y, int32_t x) { return entries_[size_t(y) * size_t(width_) + size_t(x)]; }
    const NnfEntry& At(int32_t y, int32_t x) const { return entries_[size_t(y) * size_t(width_) + size_t(x)]; }

    // Random matches for every entry, then their distances.
    void InitRandom();
    // The coarser field's matches scaled up to A's size, then their distances;
    // continues the coarser field's random sequence.
    void InitFromCoarser(const NearestNeighborField& coarser);
    // Every entry's distance; an entry left without a valid match gets up to 20
    // random candidates, stopping at the first valid one.
    void ComputeDistances();
    // Propagation from the previous row and column in scan direction d (+1 or -1),
    // then a random search in windows halving from B's width to 1.
    void ImproveEntry(int32_t y, int32_t x, int32_t d);
    // `passes` forward and backward scans; entries at distance 0 are skipped.
    // Returns early, without throwing, once the fill is cancelled (so that it
    // can run inside a parallel section).
    void Minimize(int32_t passes);
    // Adds every matched patch's colours from `colour` to `acc`, weighted by the
    // similarity of its distance; `doubled` votes a 2 x 2 block of the finer
    // level per patch pixel. Split by accumulator rows over threads.
    void Vote(InpaintVoteMode mode, InpaintAccumulator& acc, const InpaintLevel& colour, bool doubled) const;
    // The same votes on one thread in plain entry order: the reference Vote is held to.
    void VoteReference(InpaintVoteMode mode, InpaintAccumulator& acc, const InpaintLevel& colour, bool doubled) const;

    // Sets the grid to A's size with every entry (0, 0) at 65535.
    void Reset();

private:
    // A random position of B: from the allowed list when B has one, else anywhere.
    InpaintPoint PickCandidate();
    void TryCandidate(NnfEntry& e, int32_t y, int32_t x, int32_t by, int32_t bx) const;
    void VoteRows(InpaintVoteMode mode, InpaintAccumulator& acc, const InpaintLevel& colour, bool doubled,
                  int32_t rowBegin, int32_t rowEnd) const;

    InpaintBuffer<NnfEntry> entries_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    const InpaintLevel* a_;
    const InpaintLevel* b_;
    const InpaintContext* ctx_;
    InpaintRandom random_;
    int32_t radius_ = 4;
};

// Deep copy.
InpaintLevel InpaintLevelClone(const InpaintLevel& level, const InpaintContext& ctx);

// 2L + 1 expectation-maximisation iterations at level L with min(L + 1, 7) search
// passes per field; the last one votes into level L - 1's size. `estimate` must be
// the estimate both fields point to.
InpaintLevel InpaintProcessLevel(int32_t L, const std::vector<InpaintLevel>& pyramid, NearestNeighborField& sourceField,
                                 NearestNeighborField& targetField, const InpaintLevel& level,
                                 const InpaintLevel& estimate, const InpaintContext& ctx);

// Completes level 0 coarse to fine; a level 0 with a side of 9 or less is
// returned unchanged. Throws InpaintCancelled when the flag is set.
InpaintLevel InpaintSynthesize(InpaintLevel level0, const InpaintContext& ctx);
