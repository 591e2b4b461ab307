#pragma once
// The pixel interface painting reads and writes through, and its views: the
// paint session's sparse working layer, a mask plane seen as white pixels, a
// per-stroke scratch layer, a filter that weights writes by the selection,
// and a read-only view of the flattened backdrop for the clone brush.
//
// Rectangles passed to ReadRect and WriteRect are tightly packed: w pixels a
// row, rows top to bottom, each pixel bytes B, G, R, A with straight alpha
// (a uint32_t 0xAARRGGBB on little-endian machines). A rectangle may lie
// partly or wholly outside a view. No view owns what it looks at.
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

class SelectionMask;

class ICanvasWriteView {
public:
    virtual ~ICanvasWriteView() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Copies the w x h rectangle at (x, y) into out; outside the view reads as
    // zeros unless the view says otherwise.
    virtual void ReadRect(int x, int y, int w, int h, uint32_t* out) = 0;
    // Stores the w x h rectangle from in at (x, y); outside parts are dropped.
    virtual void WriteRect(int x, int y, int w, int h, const uint32_t* in) = 0;
};

// A sparse layer of square tiles of 32-bit pixels, created zero-filled on
// first write; a missing tile reads as transparent black.
class TiledBitmap {
public:
    struct Tile {
        int tx = 0, ty = 0;
        int width = 0, height = 0;  // the tile size
        std::vector<uint32_t> pixels;
    };
    struct KeyHash {
        size_t operator()(uint64_t key) const { return size_t(key); }
    };

    // Negative sizes count as 0; a tile size below 1 as 256.
    TiledBitmap(int width, int height, int tileSize = 256);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int TileSize() const { return tileSize_; }
    // (tile row << 32) | tile column.
    static uint64_t Key(int tx, int ty) { return (uint64_t(uint32_t(ty)) << 32) | uint64_t(uint32_t(tx)); }

    // The tile, created zero-filled when missing.
    Tile& TouchTile(int tx, int ty);
    // The tile, or null when it was never written.
    const Tile* FindTile(int tx, int ty) const;
    const std::unordered_map<uint64_t, Tile, KeyHash>& Tiles() const { return tiles_; }

private:
    int width_ = 0, height_ = 0, tileSize_ = 256;
    std::unordered_map<uint64_t, Tile, KeyHash> tiles_;
};

// The paint session's working layer.
class LayerBitmapView : public ICanvasWriteView {
public:
    explicit LayerBitmapView(TiledBitmap* bitmap);
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void ReadRect(int x, int y, int w, int h, uint32_t* out) override;
    // Creates the tiles it writes into; nothing outside the view.
    void WriteRect(int x, int y, int w, int h, const uint32_t* in) override;

private:
    TiledBitmap* bitmap_ = nullptr;
    int width_ = 0, height_ = 0;
};

// A row-major 8-bit mask plane (stride = width) seen as white pixels whose
// alpha is the mask byte. Outside the plane reads as white with alpha 0.
class MaskBitmapView : public ICanvasWriteView {
public:
    MaskBitmapView(uint8_t* mask, int width, int height);
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void ReadRect(int x, int y, int w, int h, uint32_t* out) override;
    // Stores each pixel's alpha byte; colour is ignored.
    void WriteRect(int x, int y, int w, int h, const uint32_t* in) override;

private:
    uint8_t* mask_ = nullptr;
    int width_ = 0, height_ = 0;
};

// A per-stroke layer over an inner view: dabs are drawn into it at full
// strength and the whole stroke is composited once at the stroke's opacity,
// so overlapping dabs never build up past that opacity. The scratch covers
// the bounding box of what the stroke touched; the paint session reads
// pixels and the region directly for its preview.
class ScratchCanvasView : public ICanvasWriteView {
public:
    explicit ScratchCanvasView(ICanvasWriteView* inner) : inner_(inner) {}
    int Width() const override { return inner_ ? inner_->Width() : 0; }
    int Height() const override { return inner_ ? inner_->Height() : 0; }
    // The scratch content (zeros where nothing was drawn); grows the region.
    void ReadRect(int x, int y, int w, int h, uint32_t* out) override;
    // Replaces the scratch content; grows the region.
    void WriteRect(int x, int y, int w, int h, const uint32_t* in) override;

    // Grows the region to cover the rectangle clipped to the inner view.
    void EnsureRegion(int x, int y, int w, int h);
    // Composites the scratch region over the target at opacity (0..1).
    void CommitToInner(ICanvasWriteView* target, float opacity);

    std::vector<uint32_t> pixels;  // regionWidth x regionHeight, straight BGRA
    int regionX = 0, regionY = 0, regionWidth = 0, regionHeight = 0;

private:
    ICanvasWriteView* inner_ = nullptr;
};

// Lets a write through in proportion to the selection coverage of each
// pixel; reads pass through. Without a mask, writes pass unchanged.
class SelectionClippingView : public ICanvasWriteView {
public:
    SelectionClippingView(ICanvasWriteView* inner, const SelectionMask* mask) : inner_(inner), mask_(mask) {}
    int Width() const override { return inner_ ? inner_->Width() : 0; }
    int Height() const override { return inner_ ? inner_->Height() : 0; }
    void ReadRect(int x, int y, int w, int h, uint32_t* out) override;
    void WriteRect(int x, int y, int w, int h, const uint32_t* in) override;

private:
    ICanvasWriteView* inner_ = nullptr;
    const SelectionMask* mask_ = nullptr;
    // Work buffers kept between calls so a stroke of many dabs does not
    // allocate per dab; they only grow.
    std::vector<uint32_t> destination_;
    std::vector<uint8_t> coverage_;
    std::vector<uint32_t> output_;
};

// Read-only view of the paint session's flattened backdrop (straight BGRA
// bytes, any stride), sampled by the clone brush. Writes are ignored.
class CloneBackdropView : public ICanvasWriteView {
public:
    CloneBackdropView() = default;
    CloneBackdropView(const uint8_t* pixels, int stride, int width, int height) { Reset(pixels, stride, width, height); }
    // Re-points the view after the backdrop was rebuilt.
    void Reset(const uint8_t* pixels, int stride, int width, int height);
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void ReadRect(int x, int y, int w, int h, uint32_t* out) override;
    void WriteRect(int, int, int, int, const uint32_t*) override {}

private:
    const uint8_t* pixels_ = nullptr;
    int stride_ = 0, width_ = 0, height_ = 0;
};
