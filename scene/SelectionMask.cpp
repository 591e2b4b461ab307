#include "scene/SelectionMask.h"

#include "scene/ClipRect.h"

#include <algorithm>
#include <cstring>

// Coverage bytes are plain 0..255 values; nothing here rounds except the
// overlay, whose formula is given with RenderOverlay.

namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ull;

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

bool AnyNonZero(const uint8_t* p, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
        if (Load64(p + i)) return true;
    for (; i < n; ++i)
        if (p[i]) return true;
    return false;
}

// Index of the first / last non-zero byte of p[0..n), or -1.
int FirstNonZero(const uint8_t* p, int n) {
    int i = 0;
    for (; i + 8 <= n; i += 8)
        if (Load64(p + i)) break;
    for (; i < n; ++i)
        if (p[i]) return i;
    return -1;
}

int LastNonZero(const uint8_t* p, int n) {
    int i = n;
    for (; i >= 8; i -= 8)
        if (Load64(p + i - 8)) break;
    for (; i > 0; --i)
        if (p[i - 1]) return i - 1;
    return -1;
}

}  // namespace

SelectionMask::SelectionMask(int width, int height, int tileSize)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      tileSize_(tileSize > 0 ? tileSize : kDefaultTileSize) {}

uint8_t* SelectionMask::GetTile(int tx, int ty) {
    // Tiles exist only over the canvas, so that the bytes past its right and
    // bottom edges always hold the missing-tile value.
    if (tx < 0 || ty < 0 || int64_t(tx) * tileSize_ >= width_ || int64_t(ty) * tileSize_ >= height_)
        return nullptr;
    auto& slot = tiles_[TileKey(tx, ty)];
    if (!slot) {
        slot.reset(new uint8_t[TileBytes()]);
        std::memset(slot.get(), MissingValue(), TileBytes());
    }
    return slot.get();
}

const uint8_t* SelectionMask::FindTile(int tx, int ty) const {
    if (tx < 0 || ty < 0) return nullptr;
    auto it = tiles_.find(TileKey(tx, ty));
    return it == tiles_.end() ? nullptr : it->second.get();
}

void SelectionMask::ReadRect(int x, int y, int w, int h, uint8_t* out) const {
    if (!out || w <= 0 || h <= 0) return;
    const size_t stride = size_t(w);
    std::memset(out, 0, stride * size_t(h));
    const ClipRect c = ClipToArea(x, y, w, h, width_, height_);
    if (c.Empty()) return;
    const size_t runLen = size_t(c.x1 - c.x0);
    if (allSelected_)
        for (int py = c.y0; py < c.y1; ++py)
            std::memset(out + size_t(py - y) * stride + size_t(c.x0 - x), 255, runLen);
    if (tiles_.empty()) return;
    const int T = tileSize_;
    for (int ty = c.y0 / T; ty <= (c.y1 - 1) / T; ++ty) {
        const int ry0 = std::max(c.y0, ty * T), ry1 = std::min(c.y1, ty * T + T);
        for (int tx = c.x0 / T; tx <= (c.x1 - 1) / T; ++tx) {
            const uint8_t* tile = FindTile(tx, ty);
            if (!tile) continue;
            const int rx0 = std::max(c.x0, tx * T), rx1 = std::min(c.x1, tx * T + T);
            for (int py = ry0; py < ry1; ++py)
                std::memcpy(out + size_t(py - y) * stride + size_t(rx0 - x),
                            tile + size_t(py - ty * T) * T + (rx0 - tx * T), size_t(rx1 - rx0));
        }
    }
}

void SelectionMask::WriteRect(int x, int y, int w, int h, const uint8_t* data) {
    if (!data || w <= 0 || h <= 0) return;
    const ClipRect c = ClipToArea(x, y, w, h, width_, height_);
    if (!c.Empty()) {
        const int T = tileSize_;
        const size_t stride = size_t(w);
        for (int ty = c.y0 / T; ty <= (c.y1 - 1) / T; ++ty) {
            const int ry0 = std::max(c.y0, ty * T), ry1 = std::min(c.y1, ty * T + T);
            for (int tx = c.x0 / T; tx <= (c.x1 - 1) / T; ++tx) {
                uint8_t* tile = GetTile(tx, ty);
                const int rx0 = std::max(c.x0, tx * T), rx1 = std::min(c.x1, tx * T + T);
                for (int py = ry0; py < ry1; ++py)
                    std::memcpy(tile + size_t(py - ty * T) * T + (rx0 - tx * T),
                                data + size_t(py - y) * stride + size_t(rx0 - x), size_t(rx1 - rx0));
            }
        }
    }
    MarkChanged();
}

void SelectionMask::Combine(int32_t op, int x, int y, int w, int h, const uint8_t* data) {
    if (!data || w <= 0 || h <= 0) return;
    const ClipRect c = ClipToArea(x, y, w, h, width_, height_);
    switch (op) {
    case kSelectionReplace:
        DropTiles();
        allSelected_ = false;
        WriteRect(x, y, w, h, data);
        return;
    case kSelectionAdd:
    case kSelectionSubtract:
        if (!c.Empty()) CombineAddSubtract(op == kSelectionSubtract, c.x0, c.y0, c.x1, c.y1, x, y, w, data);
        break;
    case kSelectionIntersect:
        // Nothing of the rectangle on the canvas: the intersection is empty.
        if (c.Empty()) {
            DropTiles();
            allSelected_ = false;
        } else {
            CombineIntersect(c.x0, c.y0, c.x1, c.y1, x, y, w, data);
        }
        break;
    default:
        return;
    }
    MarkChanged();
}

void SelectionMask::CombineAddSubtract(bool subtract, int x0, int y0, int x1, int y1, int x, int y,
                                       int w, const uint8_t* data) {
    const int T = tileSize_;
    const size_t stride = size_t(w);
    for (int ty = y0 / T; ty <= (y1 - 1) / T; ++ty) {
        const int ry0 = std::max(y0, ty * T), ry1 = std::min(y1, ty * T + T);
        for (int tx = x0 / T; tx <= (x1 - 1) / T; ++tx) {
            const int rx0 = std::max(x0, tx * T), rx1 = std::min(x1, tx * T + T);
            const size_t runLen = size_t(rx1 - rx0);
            // Zero coverage changes nothing, so a tile is only created where some
            // of the rectangle's coverage falls.
            bool any = FindTile(tx, ty) != nullptr;
            for (int py = ry0; py < ry1 && !any; ++py)
                any = AnyNonZero(data + size_t(py - y) * stride + size_t(rx0 - x), runLen);
            if (!any) continue;
            uint8_t* tile = GetTile(tx, ty);
            for (int py = ry0; py < ry1; ++py) {
                const uint8_t* src = data + size_t(py - y) * stride + size_t(rx0 - x);
                uint8_t* dst = tile + size_t(py - ty * T) * T + (rx0 - tx * T);
                if (subtract)
                    for (size_t k = 0; k < runLen; ++k) dst[k] = src[k] < dst[k] ? uint8_t(dst[k] - src[k]) : 0;
                else
                    for (size_t k = 0; k < runLen; ++k) dst[k] = std::max(dst[k], src[k]);
            }
        }
    }
}

void SelectionMask::CombineIntersect(int x0, int y0, int x1, int y1, int x, int y, int w,
                                     const uint8_t* data) {
    const int T = tileSize_;
    const int tx0 = x0 / T, tx1 = (x1 - 1) / T, ty0 = y0 / T, ty1 = (y1 - 1) / T;
    for (auto it = tiles_.begin(); it != tiles_.end();) {
        const int tx = int(uint32_t(it->first)), ty = int(uint32_t(it->first >> 32));
        if (tx < tx0 || tx > tx1 || ty < ty0 || ty > ty1)
            it = tiles_.erase(it);
        else
            ++it;
    }
    const size_t stride = size_t(w);
    for (int ty = ty0; ty <= ty1; ++ty) {
        for (int tx = tx0; tx <= tx1; ++tx) {
            // A missing tile of a mask that is not all-selected stays all 0 and
            // therefore need not exist.
            if (!allSelected_ && !FindTile(tx, ty)) continue;
            uint8_t* tile = GetTile(tx, ty);
            for (int i = 0; i < T; ++i) {
                uint8_t* row = tile + size_t(i) * T;
                const int py = ty * T + i;
                if (py < y0 || py >= y1) {
                    std::memset(row, 0, size_t(T));
                    continue;
                }
                const int rx0 = std::max(x0, tx * T), rx1 = std::min(x1, tx * T + T);
                std::memset(row, 0, size_t(rx0 - tx * T));
                std::memset(row + (rx1 - tx * T), 0, size_t(tx * T + T - rx1));
                const uint8_t* src = data + size_t(py - y) * stride + size_t(rx0 - x);
                uint8_t* dst = row + (rx0 - tx * T);
                for (int k = 0; k < rx1 - rx0; ++k) dst[k] = std::min(dst[k], src[k]);
            }
        }
    }
    allSelected_ = false;
}

bool SelectionMask::Assign(const SelectionMask& other) {
    if (other.width_ != width_ || other.height_ != height_ || other.tileSize_ != tileSize_) return false;
    if (&other != this) {
        DropTiles();
        allSelected_ = other.allSelected_;
        tiles_.reserve(other.tiles_.size());
        for (const auto& [key, bytes] : other.tiles_) {
            std::unique_ptr<uint8_t[]> copy(new uint8_t[TileBytes()]);
            std::memcpy(copy.get(), bytes.get(), TileBytes());
            tiles_.emplace(key, std::move(copy));
        }
    }
    MarkChanged();
    return true;
}

bool SelectionMask::GetBounds(int& outX, int& outY, int& outW, int& outH) const {
    if (allSelected_) {
        outX = 0;
        outY = 0;
        outW = width_;
        outH = height_;
        return width_ > 0 && height_ > 0;
    }
    if (tiles_.empty()) return false;
    const int T = tileSize_;
    int minX = width_, minY = height_, maxX = -1, maxY = -1;
    for (const auto& [key, bytes] : tiles_) {
        const int ox = int(uint32_t(key)) * T, oy = int(uint32_t(key >> 32)) * T;
        const int tw = std::min(width_ - ox, T), th = std::min(height_ - oy, T);
        for (int i = 0; i < th; ++i) {
            const uint8_t* row = bytes.get() + size_t(i) * T;
            // Only the columns that could widen the bounds need a look.
            const int first = FirstNonZero(row, tw);
            if (first < 0) continue;
            const int last = LastNonZero(row, tw);
            minX = std::min(minX, ox + first);
            maxX = std::max(maxX, ox + last);
            minY = std::min(minY, oy + i);
            maxY = std::max(maxY, oy + i);
        }
    }
    if (maxX < 0) return false;
    outX = minX;
    outY = minY;
    outW = maxX - minX + 1;
    outH = maxY - minY + 1;
    return true;
}

bool SelectionMask::HasSelection() const {
    if (allSelected_) return true;
    const int T = tileSize_;
    for (const auto& [key, bytes] : tiles_) {
        const int ox = int(uint32_t(key)) * T, oy = int(uint32_t(key >> 32)) * T;
        const int tw = std::min(width_ - ox, T), th = std::min(height_ - oy, T);
        for (int i = 0; i < th; ++i)
            if (AnyNonZero(bytes.get() + size_t(i) * T, size_t(tw))) return true;
    }
    return false;
}

void SelectionMask::Clear() {
    DropTiles();
    allSelected_ = false;
    MarkChanged();
}

void SelectionMask::Invert() {
    allSelected_ = !allSelected_;
    const size_t n = TileBytes();
    for (auto& [key, bytes] : tiles_) {
        uint8_t* p = bytes.get();
        for (size_t i = 0; i < n; ++i) p[i] = uint8_t(255 - p[i]);
    }
    MarkChanged();
}

void SelectionMask::RenderOverlay(int width, int height, uint8_t* pixels, int stride) const {
    if (!pixels || width < 1 || height < 1) return;
    // Rows narrower than the width would be written past their end.
    if (int64_t(stride) < int64_t(width) * 4) return;
    uint8_t lut[256];
    for (int c = 0; c < 256; ++c) lut[c] = uint8_t((128 * (255 - c) + 127) / 255);
    std::vector<uint8_t> coverage(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        ReadRect(0, y, width, 1, coverage.data());
        uint8_t* px = pixels + size_t(y) * size_t(stride);
        for (int x = 0; x < width; ++x, px += 4) {
            const uint8_t a = lut[coverage[size_t(x)]];
            px[0] = 0;
            px[1] = 0;
            px[2] = uint8_t((a * 255 + 127) / 255);
            px[3] = a;
        }
    }
}

// ---------------------------------------------------------------------------
// Outline

namespace {

// A unit edge of the pixel-corner grid, from (x, y) one step right (horizontal)
// or one step down (vertical). Every boundary edge is stored in this form.
struct UnitEdge {
    int32_t x, y;
    uint8_t vertical;
};

// Point and edge keys carry full 32-bit coordinates: y in the high half, x
// shifted by one beside the orientation bit (x <= INT32_MAX fits in 31 bits).
inline uint64_t EdgeKey(int32_t x, int32_t y, uint8_t vertical) {
    return (uint64_t(uint32_t(y)) << 32) | (uint64_t(uint32_t(x)) << 1) | vertical;
}

// Open-addressing map from edge key to edge number, sized once for all edges.
class EdgeIndex {
public:
    explicit EdgeIndex(size_t count) {
        size_t cap = 16;
        while (cap < count * 2) cap <<= 1;
        bits_ = 0;
        while ((size_t(1) << bits_) < cap) ++bits_;
        keys_.assign(cap, kEmpty);
        values_.resize(cap);
    }
    void Insert(uint64_t key, int32_t value) {
        size_t i = Slot(key);
        while (keys_[i] != kEmpty && keys_[i] != key) i = (i + 1) & (keys_.size() - 1);
        if (keys_[i] == kEmpty) {
            keys_[i] = key;
            values_[i] = value;
        }
    }
    int32_t Find(uint64_t key) const {
        size_t i = Slot(key);
        while (keys_[i] != kEmpty) {
            if (keys_[i] == key) return values_[i];
            i = (i + 1) & (keys_.size() - 1);
        }
        return -1;
    }

private:
    static constexpr uint64_t kEmpty = ~uint64_t(0);
    size_t Slot(uint64_t key) const { return size_t((key * 0x9E3779B97F4A7C15ull) >> (64 - bits_)); }
    std::vector<uint64_t> keys_;
    std::vector<int32_t> values_;
    int bits_;
};

}  // namespace

void SelectionOutline::Build(SelectionMask& mask) {
    auto& polylines = mask.outline_.polylines;
    polylines.clear();
    mask.outlineValid_ = true;
    const int W = mask.width_, H = mask.height_, T = mask.tileSize_;
    if (W <= 0 || H <= 0) return;
    const uint8_t outside = mask.allSelected_ ? 0x80 : 0;

    // Edges are collected without duplicates: a tile adds the edges right of and
    // below each of its pixels, and those on its left and top sides only where
    // no tile lies beyond them (an existing neighbour adds them itself).
    std::vector<UnitEdge> edges;
    std::vector<uint64_t> keys;
    keys.reserve(mask.tiles_.size());
    for (const auto& entry : mask.tiles_) keys.push_back(entry.first);
    // A fixed tile order makes the edge numbering, and so the outline, the same
    // for equal coverage.
    std::sort(keys.begin(), keys.end());
    for (uint64_t key : keys) {
        const int tx = int(uint32_t(key)), ty = int(uint32_t(key >> 32));
        const int64_t ox64 = int64_t(tx) * T, oy64 = int64_t(ty) * T;
        if (tx < 0 || ty < 0 || ox64 >= W || oy64 >= H) continue;
        const int ox = int(ox64), oy = int(oy64);
        const int tw = std::min(W - ox, T), th = std::min(H - oy, T);
        const uint8_t* t = mask.tiles_.find(key)->second.get();
        const uint8_t* right = mask.FindTile(tx + 1, ty);
        const uint8_t* below = mask.FindTile(tx, ty + 1);
        const uint8_t* left = tx > 0 ? mask.FindTile(tx - 1, ty) : nullptr;
        const uint8_t* above = ty > 0 ? mask.FindTile(tx, ty - 1) : nullptr;

        // A tile whose pixels are all on one side of the threshold has no edges
        // inside; only its sides need a look. Most tiles of a large selection
        // are like that.
        bool uniform = true;
        {
            const uint8_t first = t[0] & 0x80;
            const uint64_t want = first ? kHighBits : 0;
            for (int i = 0; i < th && uniform; ++i) {
                const uint8_t* row = t + size_t(i) * T;
                int k = 0;
                for (; k + 8 <= tw; k += 8)
                    if ((Load64(row + k) & kHighBits) != want) {
                        uniform = false;
                        break;
                    }
                for (; uniform && k < tw; ++k)
                    if ((row[k] & 0x80) != first) uniform = false;
            }
        }
        for (int i = 0; i < th; ++i) {
            const uint8_t* row = t + size_t(i) * T;
            const int py = oy + i;
            // Right edges between neighbouring pixels of this tile, eight at a time.
            int k = uniform ? tw : 0;
            for (; k + 9 <= tw; k += 8) {
                uint64_t d = (Load64(row + k) ^ Load64(row + k + 1)) & kHighBits;
                while (d) {
                    const int j = __builtin_ctzll(d) >> 3;
                    edges.push_back({ox + k + j + 1, py, 1});
                    d &= d - 1;
                }
            }
            for (; k + 1 < tw; ++k)
                if ((row[k] ^ row[k + 1]) & 0x80) edges.push_back({ox + k + 1, py, 1});
            // The tile's last column against the next tile or the canvas edge.
            uint8_t rs = 0;
            if (ox + tw < W) rs = right ? (right[size_t(i) * T] & 0x80) : outside;
            if ((row[tw - 1] & 0x80) != rs) edges.push_back({ox + tw, py, 1});
            if (!left) {
                const uint8_t ls = ox == 0 ? 0 : outside;
                if ((row[0] & 0x80) != ls) edges.push_back({ox, py, 1});
            }
        }
        for (int i = 0; !uniform && i + 1 < th; ++i) {
            const uint8_t* row = t + size_t(i) * T;
            const uint8_t* next = row + T;
            const int py = oy + i + 1;
            int k = 0;
            for (; k + 8 <= tw; k += 8) {
                uint64_t d = (Load64(row + k) ^ Load64(next + k)) & kHighBits;
                while (d) {
                    const int j = __builtin_ctzll(d) >> 3;
                    edges.push_back({ox + k + j, py, 0});
                    d &= d - 1;
                }
            }
            for (; k < tw; ++k)
                if ((row[k] ^ next[k]) & 0x80) edges.push_back({ox + k, py, 0});
        }
        {
            const uint8_t* row = t + size_t(th - 1) * T;
            const bool inside = oy + th < H;
            for (int k = 0; k < tw; ++k) {
                const uint8_t bs = inside ? (below ? (below[k] & 0x80) : outside) : 0;
                if ((row[k] & 0x80) != bs) edges.push_back({ox + k, oy + th, 0});
            }
        }
        if (!above) {
            const uint8_t ts = oy == 0 ? 0 : outside;
            for (int k = 0; k < tw; ++k)
                if ((t[k] & 0x80) != ts) edges.push_back({ox + k, oy, 0});
        }
    }

    // All-selected: the canvas border where no tile lies along it.
    if (mask.allSelected_) {
        const int lastCol = (W - 1) / T, lastRow = (H - 1) / T;
        for (int c = 0; c <= lastCol; ++c) {
            const int xa = c * T, xb = std::min(W, c * T + T);
            if (!mask.FindTile(c, 0))
                for (int x = xa; x < xb; ++x) edges.push_back({x, 0, 0});
            if (!mask.FindTile(c, lastRow))
                for (int x = xa; x < xb; ++x) edges.push_back({x, H, 0});
        }
        for (int r = 0; r <= lastRow; ++r) {
            const int ya = r * T, yb = std::min(H, r * T + T);
            if (!mask.FindTile(0, r))
                for (int y = ya; y < yb; ++y) edges.push_back({0, y, 1});
            if (!mask.FindTile(lastCol, r))
                for (int y = ya; y < yb; ++y) edges.push_back({W, y, 1});
        }
    }
    if (edges.empty()) return;

    // Chain the edges into polylines. Each grid point touches at most four unit
    // edges, found by key, so the walk is linear in the number of edges.
    EdgeIndex index(edges.size());
    for (size_t e = 0; e < edges.size(); ++e)
        index.Insert(EdgeKey(edges[e].x, edges[e].y, edges[e].vertical), int32_t(e));
    std::vector<uint8_t> taken(edges.size(), 0);
    for (size_t e = 0; e < edges.size(); ++e) {
        if (taken[e]) continue;
        taken[e] = 1;
        const UnitEdge& first = edges[e];
        const OutlinePoint start{first.x, first.y};
        OutlinePoint cur{first.x + (first.vertical ? 0 : 1), first.y + (first.vertical ? 1 : 0)};
        std::vector<OutlinePoint> line{start, cur};
        for (;;) {
            // The four edges that can touch cur, with their far ends.
            const int32_t cand[4] = {
                index.Find(EdgeKey(cur.x, cur.y, 0)),
                cur.x > 0 ? index.Find(EdgeKey(cur.x - 1, cur.y, 0)) : -1,
                index.Find(EdgeKey(cur.x, cur.y, 1)),
                cur.y > 0 ? index.Find(EdgeKey(cur.x, cur.y - 1, 1)) : -1,
            };
            const OutlinePoint far[4] = {
                {cur.x + 1, cur.y}, {cur.x - 1, cur.y}, {cur.x, cur.y + 1}, {cur.x, cur.y - 1}};
            int best = -1;
            for (int c = 0; c < 4; ++c)
                if (cand[c] >= 0 && !taken[size_t(cand[c])] && (best < 0 || cand[c] < cand[best])) best = c;
            if (best < 0) break;
            taken[size_t(cand[best])] = 1;
            cur = far[best];
            line.push_back(cur);
            if (cur == start) break;
        }
        polylines.push_back(std::move(line));
    }
}
