#pragma once
// Brush tips and the dab renderer: tips are n x n coverage grids (0..1, row
// major, top row first) built from a BrushSettings; the renderer walks path
// pieces at the brush spacing and stamps dabs into an ICanvasWriteView.
//
// Pixels are 32-bit words 0xAARRGGBB (bytes B, G, R, A in memory) with
// straight alpha. The stroke colour is a different word: its bytes, lowest
// first, are R, G, B, A. Floats become bytes as clamp(v, 0, 1) x 255 + 0.5,
// truncated.
#include "brushes/BrushSettings.h"
#include "platform/Codecs.h"

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

class ICanvasWriteView;

enum BrushKind : int32_t {
    kBrushKindPaint = 0,
    kBrushKindMixer = 1,
    kBrushKindSmudge = 2,
    kBrushKindClone = 3,
    kBrushKindHost = 4,
};

// Per-stroke state of the segment walk.
struct BrushStrokeState {
    float nextDabDistance = 0.0f;  // from the start of the next path piece to its first dab
    float angleAccumulator = 0.0f;  // degrees, for angleStep
    std::mt19937 random;

    // Next number in [0, 1) with 24 bits of precision.
    float NextRandom() { return float(random() >> 8) * (1.0f / 16777216.0f); }
    // Clears the distances and reseeds from the system's random source.
    void Reset();
};

// The mixer's paint reservoir or the smudge brush's carried patch:
// size x size pixels 0xAARRGGBB.
struct PixelReservoir {
    std::vector<uint32_t> pixels;
    int32_t size = 0;
    bool loaded = false;
};

// What a host dab hands its callback: the dab's clipped rectangle to edit in
// place, the tip as bytes under it, and (for tools that sample a source) the
// n x n source square aligned with the dab square.
struct HostDabRequest {
    const uint8_t* source = nullptr;  // n x n BGRA, or null when the tool needs no source
    int32_t sourceStride = 0;         // n (pixels per row) with a source, else 0
    uint8_t* destination = nullptr;   // width x height BGRA, rows of width pixels
    int32_t width = 0, height = 0;
    int32_t originX = 0, originY = 0;  // canvas position of the destination's top-left pixel
    const uint8_t* mask = nullptr;     // width x height tip coverage bytes
    float radius = 0.0f;               // half the dab size
    float strength = 0.0f;             // flow x opacity, 0..1
    float unit = 1.0f;
    uint32_t colour = 0;               // the stroke colour word (R lowest)
    // Column and row of the destination's top-left pixel inside the source
    // patch: non-zero where the dab square was cut at the canvas's left or
    // top edge, so a handler can pair each destination pixel with its source.
    int32_t sourceOffsetX = 0, sourceOffsetY = 0;
};

using HostDabCallback = std::function<void(const HostDabRequest&)>;

// 0xAARRGGBB from straight channels 0..1, each limited and rounded.
uint32_t PackArgb(float r, float g, float b, float a);

// Procedural round (or square) tip with the hardness falloff; dest must hold
// n x n values.
void GenerateRoundTip(std::vector<float>& dest, int n, float size, float hardness, float scaleX, float scaleY,
                      float angle, bool square);
// Hard round core of radius size / 2 x hardness with a cosine-squared edge.
void GenerateHardRoundTip(std::vector<float>& dest, int n, float size, float hardness, float scaleX,
                          float scaleY, float angle);
// Resamples an a x a tip to b x b turned by angle degrees (bilinear, outside
// counts as 0). Nothing when a or b is below 1.
void RotateScaleTip(const std::vector<float>& src, int a, std::vector<float>& dest, int b, float angle);

// Tip side for a brush size: max(1, ceil(size)), at most kMaxTipSide so a
// damaged or extreme size can never ask for an unbounded tip.
constexpr int kMaxTipSide = 4096;
int TipSizeFor(float size);

// Tip and grain images are drawn into a tip of at most kMaxTipSide square, so
// an image of more pixels than that tip has is refused from its header
// (reason in why) rather than decoded at any size a file declares.
constexpr int64_t kMaxTipImagePixels = int64_t(kMaxTipSide) * kMaxTipSide;
BitmapPtr DecodeTipImage(const std::vector<uint8_t>& bytes, DecodeError* why = nullptr);

// The spacing factor: the settings' spacing, tightened for soft procedural
// tips so their dabs overlap enough to look continuous.
float SpacingFactor(const BrushSettings& s);

class DabRenderer {
public:
    // Makes the cached tip (and grain) current for the settings; rebuilt only
    // when its key changes. The key covers the tip images' content, so a
    // replaced image is seen even when nobody bumped tipRevision.
    DabRenderer& BuildTip(const BrushSettings& settings);
    // While a stroke runs its images cannot change, so the engine hashes them
    // once when the stroke begins and BuildTip uses those hashes (for images
    // of the pinned lengths) instead of hashing megabytes at every dab.
    void PinImageHashes(const BrushSettings& settings);
    void UnpinImageHashes() { pinned_ = false; }
    // How many times BuildTip hashed an image's bytes (for tests).
    uint64_t ImageHashCount() const { return imageHashes_; }
    const std::vector<float>& Tip() const { return tip_; }
    const std::vector<float>& Grain() const { return grain_; }
    int TipSize() const { return keySize_; }

    // Decode an encoded image and draw it stretched to n x n: the tip is
    // (1 - luma) x alpha, the grain luma x alpha + (1 - alpha). False when the
    // bytes are not a decodable image or n < 1.
    static bool TipFromImage(const std::vector<uint8_t>& image, int n, std::vector<float>& tip);
    static bool GrainFromImage(const std::vector<uint8_t>& image, int n, std::vector<float>& grain);

    // --- Dabs and segment walks (positions in canvas pixels) ---
    void PaintSegment(ICanvasWriteView& view, float x0, float y0, float x1, float y1, uint32_t colour,
                      BrushStrokeState& state, const BrushSettings& settings);
    void StampPaintDab(ICanvasWriteView& view, float x, float y, uint32_t colour, const float* tip, int n,
                       float alpha, bool erase);
    void StampEraseDab(ICanvasWriteView& view, float x, float y, const float* tip, int n, float strength);
    static uint32_t JitterColor(uint32_t colour, const BrushSettings& settings, BrushStrokeState& state);
    // Straight-alpha source-over of one pixel (bytes in place).
    static void CompositeStraight(uint8_t& b, uint8_t& g, uint8_t& r, uint8_t& a, float sr, float sg, float sb,
                                  float coverage, float alpha);

    void BeginMixer(ICanvasWriteView& view, float x, float y, uint32_t colour, BrushStrokeState& state,
                    PixelReservoir& reservoir, const BrushSettings& settings, const WetPaintParams& wet);
    void StampMixerDab(ICanvasWriteView& view, float x, float y, PixelReservoir& reservoir,
                       const BrushSettings& settings, const WetPaintParams& wet);
    void MixerSegment(ICanvasWriteView& view, float x0, float y0, float x1, float y1, BrushStrokeState& state,
                      PixelReservoir& reservoir, const BrushSettings& settings, const WetPaintParams& wet);

    void BeginSmudge(ICanvasWriteView& view, float x, float y, BrushStrokeState& state, PixelReservoir& patch,
                     const BrushSettings& settings);
    void StampSmudgeDab(ICanvasWriteView& view, float x, float y, PixelReservoir& patch,
                        const BrushSettings& settings, float strength);
    void SmudgeSegment(ICanvasWriteView& view, float x0, float y0, float x1, float y1, BrushStrokeState& state,
                       PixelReservoir& patch, const BrushSettings& settings, float strength);

    void StampCloneDab(ICanvasWriteView& view, float x, float y, float sourceX, float sourceY,
                       const BrushSettings& settings, ICanvasWriteView* sourceView);
    void CloneSegment(ICanvasWriteView& view, float x0, float y0, float x1, float y1, float offsetX,
                      float offsetY, BrushStrokeState& state, const BrushSettings& settings,
                      ICanvasWriteView* sourceView, bool freeze, float fixedX, float fixedY);

    void StampHostDab(ICanvasWriteView& view, float x, float y, float sourceX, float sourceY,
                      const BrushSettings& settings, const HostDabCallback& callback, bool needsSource,
                      ICanvasWriteView* sourceView, uint32_t colour);
    void HostSegment(ICanvasWriteView& view, float x0, float y0, float x1, float y1, float offsetX, float offsetY,
                     BrushStrokeState& state, const BrushSettings& settings, ICanvasWriteView* sourceView,
                     bool freeze, float fixedX, float fixedY, const HostDabCallback& callback, bool needsSource,
                     uint32_t colour);

    // Paint and clone dabs blend four pixels at a time; off, every pixel
    // takes the one-pixel form (the reference the fast path is held to).
    static bool vectorDabs;

    // The n x n source square at (x, y) (dab placement rules), outside pixels
    // 0: the clone-source cursor and the clone dab read it.
    const std::vector<uint8_t>& ReadSourcePatch(ICanvasWriteView& source, float x, float y, int n);

private:
    struct DabRect {
        int left = 0, top = 0;      // the unclipped dab square's corner
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // clipped, exclusive ends
        int Width() const { return x1 - x0; }
        int Height() const { return y1 - y0; }
    };
    // The dab square of side n centred at (x, y) clipped to the view; false when empty.
    static bool ClipDab(const ICanvasWriteView& view, float x, float y, int n, DabRect& rect);
    uint32_t* ReadDestination(ICanvasWriteView& view, const DabRect& rect);
    void WriteDestination(ICanvasWriteView& view, const DabRect& rect);

    // Walks one path piece: calls dab(cx, cy) at each dab centre, every
    // baseStep pixels (jittered by the settings), scattered by up to
    // scatter x scatterHalf. reach is how far from its centre a dab can touch
    // pixels; dabs that cannot reach the view are skipped without stamping.
    template <typename Dab>
    void WalkSegment(float x0, float y0, float x1, float y1, BrushStrokeState& state, const BrushSettings& settings,
                     float baseStep, float scatterHalf, float reach, int viewWidth, int viewHeight, Dab&& dab);

    std::vector<float> tip_;
    std::vector<float> grain_;
    int keySize_ = 0;
    uint8_t keyKind_ = 0;
    float keyHardness_ = 0, keyScaleX_ = 0, keyScaleY_ = 0, keyAngle_ = 0;
    uint64_t keyRevision_ = 0;
    uint64_t keyTipImageHash_ = 0, keyGrainImageHash_ = 0;
    bool valid_ = false;
    bool pinned_ = false;
    size_t pinnedTipLength_ = 0, pinnedGrainLength_ = 0;
    uint64_t pinnedTipHash_ = 0, pinnedGrainHash_ = 0;
    uint64_t imageHashes_ = 0;

    std::vector<uint32_t> destination_;
    std::vector<uint8_t> sourcePatch_;
    std::vector<uint32_t> sourceScratch_;
    std::vector<uint8_t> maskScratch_;
    std::vector<float> dabTip_;   // per-dab tip of jittered paint dabs
    std::vector<float> dabGrain_;
};
