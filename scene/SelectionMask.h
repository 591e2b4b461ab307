#pragma once
// The scene's pixel selection: a canvas-sized plane of 8-bit coverage (0 not
// selected, 255 selected) kept in sparse square tiles, with a flag for the value
// of every missing tile, a cached marching-ants outline and a revision counter.
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

// 0 replace, 1 add, 2 subtract, 3 intersect.
enum SelectionCombineOp : int32_t {
    kSelectionReplace = 0,
    kSelectionAdd = 1,
    kSelectionSubtract = 2,
    kSelectionIntersect = 3,
};

// A pixel-corner point of the canvas: 0 <= x <= width, 0 <= y <= height.
struct OutlinePoint {
    int32_t x = 0, y = 0;
    bool operator==(const OutlinePoint&) const = default;
};

class SelectionMask;

// The boundary between selected (coverage >= 128) and unselected pixels as
// polylines of unit steps; a closed loop ends with its start point repeated.
struct SelectionOutline {
    std::vector<std::vector<OutlinePoint>> polylines;

    // Recomputes the mask's outline and marks it valid.
    static void Build(SelectionMask& mask);
};

class SelectionMask {
public:
    static constexpr int kDefaultTileSize = 256;

    SelectionMask() = default;
    // An empty mask: no tiles, all-selected clear, outline not valid, revision 1.
    // Negative sizes are taken as 0; a tile size below 1 as the default.
    SelectionMask(int width, int height, int tileSize = kDefaultTileSize);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int TileSize() const { return tileSize_; }
    bool AllSelected() const { return allSelected_; }
    uint64_t Revision() const { return revision_; }
    size_t TileCount() const { return tiles_.size(); }

    static uint64_t TileKey(int tx, int ty) {
        return (uint64_t(uint32_t(ty)) << 32) | uint64_t(uint32_t(tx));
    }
    // The tile's bytes (tile size x tile size, row-major), created filled with
    // the missing-tile value when absent. Changes neither the revision nor the
    // outline flag: a caller that writes through it calls MarkChanged itself.
    uint8_t* GetTile(int tx, int ty);
    // The tile's bytes, or null when the tile is missing.
    const uint8_t* FindTile(int tx, int ty) const;

    // Coverage of a rectangle into w x h bytes (stride w); 0 outside the canvas.
    void ReadRect(int x, int y, int w, int h, uint8_t* out) const;
    // Stores w x h bytes of coverage (stride w), clipped to the canvas. Counts a
    // change even when nothing of the rectangle lies on the canvas.
    void WriteRect(int x, int y, int w, int h, const uint8_t* data);
    // Merges a rectangle of coverage (stride w) into the mask with a
    // SelectionCombineOp. Nothing happens for an empty rectangle, missing data or
    // an unknown op; the rectangle is clipped to the canvas.
    void Combine(int32_t op, int x, int y, int w, int h, const uint8_t* data);
    // Makes this mask's coverage equal to the other's. Only a mask of the same
    // width, height and tile size is taken; false (and no change) otherwise.
    bool Assign(const SelectionMask& other);
    // Bounding rectangle of all non-zero coverage; the whole canvas when
    // all-selected. False (outputs untouched) when nothing is selected.
    bool GetBounds(int& x, int& y, int& w, int& h) const;
    bool HasSelection() const;
    // Drops every tile and clears all-selected.
    void Clear();
    // 255 - b for every byte, all-selected toggled; an empty mask becomes
    // select-everything without creating a tile.
    void Invert();
    // Writes the red tint of the unselected area over the canvas rectangle
    // (0, 0, width, height) as premultiplied B, G, R, A bytes, rows stride bytes
    // apart: A = (128 * (255 - c) + 127) / 255, R = A, B = G = 0.
    void RenderOverlay(int width, int height, uint8_t* pixels, int stride) const;

    // Records a change of coverage made through GetTile.
    void MarkChanged() {
        outlineValid_ = false;
        ++revision_;
    }

    const SelectionOutline& Outline() const { return outline_; }
    bool OutlineValid() const { return outlineValid_; }
    void SetOutlineValid(bool valid) { outlineValid_ = valid; }

    struct TileKeyHash {
        size_t operator()(uint64_t key) const { return size_t(key); }
    };
    using TileMap = std::unordered_map<uint64_t, std::unique_ptr<uint8_t[]>, TileKeyHash>;
    const TileMap& Tiles() const { return tiles_; }

private:
    friend struct SelectionOutline;

    size_t TileBytes() const { return size_t(tileSize_) * size_t(tileSize_); }
    uint8_t MissingValue() const { return allSelected_ ? 255 : 0; }
    void DropTiles() { tiles_.clear(); }
    void CombineAddSubtract(bool subtract, int x0, int y0, int x1, int y1, int x, int y, int w,
                            const uint8_t* data);
    void CombineIntersect(int x0, int y0, int x1, int y1, int x, int y, int w, const uint8_t* data);

    int width_ = 0, height_ = 0;
    int tileSize_ = kDefaultTileSize;
    TileMap tiles_;
    bool allSelected_ = false;
    SelectionOutline outline_;
    bool outlineValid_ = false;
    uint64_t revision_ = 1;
};
