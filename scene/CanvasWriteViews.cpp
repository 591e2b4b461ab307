// Straight-alpha B, G, R, A pixels throughout. The scratch commit works in
// floats and stores bytes as trunc(value x 255 + 0.5) after clamping to 0..1;
// the selection weighting works in integers with truncating divisions.
#include "scene/CanvasWriteViews.h"
#include "scene/ClipRect.h"

#include "scene/SelectionMask.h"

#include <algorithm>
#include <cstring>

namespace {

size_t Area(int w, int h) { return size_t(w) * size_t(h); }

inline uint8_t ByteOf(float v) { return uint8_t(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); }

}  // namespace

// ---------------------------------------------------------------- TiledBitmap

TiledBitmap::TiledBitmap(int width, int height, int tileSize)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), tileSize_(tileSize < 1 ? 256 : tileSize) {}

TiledBitmap::Tile& TiledBitmap::TouchTile(int tx, int ty) {
    auto [it, inserted] = tiles_.try_emplace(Key(tx, ty));
    if (inserted) {
        Tile& t = it->second;
        t.tx = tx;
        t.ty = ty;
        t.width = t.height = tileSize_;
        t.pixels.assign(Area(tileSize_, tileSize_), 0);
    }
    return it->second;
}

const TiledBitmap::Tile* TiledBitmap::FindTile(int tx, int ty) const {
    const auto it = tiles_.find(Key(tx, ty));
    return it == tiles_.end() ? nullptr : &it->second;
}

// ---------------------------------------------------------------- LayerBitmapView

LayerBitmapView::LayerBitmapView(TiledBitmap* bitmap)
    : bitmap_(bitmap), width_(bitmap ? bitmap->Width() : 0), height_(bitmap ? bitmap->Height() : 0) {}

void LayerBitmapView::ReadRect(int x, int y, int w, int h, uint32_t* out) {
    if (!out || w <= 0 || h <= 0 || !bitmap_) return;
    std::fill(out, out + Area(w, h), 0u);
    const ClipRect c = ClipToArea(x, y, w, h, width_, height_);
    if (c.Empty()) return;
    const int T = bitmap_->TileSize();
    for (int ty = c.y0 / T; ty <= (c.y1 - 1) / T; ++ty) {
        for (int tx = c.x0 / T; tx <= (c.x1 - 1) / T; ++tx) {
            const TiledBitmap::Tile* tile = bitmap_->FindTile(tx, ty);
            if (!tile || tile->pixels.empty()) continue;
            const int ox = tx * T, oy = ty * T;
            const int ix0 = std::max(c.x0, ox), ix1 = std::min(c.x1, ox + tile->width);
            const int iy0 = std::max(c.y0, oy), iy1 = std::min(c.y1, oy + tile->height);
            if (ix0 >= ix1) continue;
            for (int py = iy0; py < iy1; ++py) {
                std::memcpy(out + Area(py - y, w) + size_t(ix0 - x),
                            tile->pixels.data() + Area(py - oy, tile->width) + size_t(ix0 - ox),
                            size_t(ix1 - ix0) * 4);
            }
        }
    }
}

void LayerBitmapView::WriteRect(int x, int y, int w, int h, const uint32_t* in) {
    if (!in || w <= 0 || h <= 0 || !bitmap_) return;
    const ClipRect c = ClipToArea(x, y, w, h, width_, height_);
    if (c.Empty()) return;
    const int T = bitmap_->TileSize();
    for (int ty = c.y0 / T; ty <= (c.y1 - 1) / T; ++ty) {
        for (int tx = c.x0 / T; tx <= (c.x1 - 1) / T; ++tx) {
            TiledBitmap::Tile& tile = bitmap_->TouchTile(tx, ty);
            const int ox = tx * T, oy = ty * T;
            const int ix0 = std::max(c.x0, ox), ix1 = std::min(c.x1, ox + tile.width);
            const int iy0 = std::max(c.y0, oy), iy1 = std::min(c.y1, oy + tile.height);
            if (ix0 >= ix1) continue;
            for (int py = iy0; py < iy1; ++py) {
                std::memcpy(tile.pixels.data() + Area(py - oy, tile.width) + size_t(ix0 - ox),
                            in + Area(py - y, w) + size_t(ix0 - x), size_t(ix1 - ix0) * 4);
            }
        }
    }
}

// ---------------------------------------------------------------- MaskBitmapView

MaskBitmapView::MaskBitmapView(uint8_t* mask, int width, int height)
    : mask_(mask), width_(std::max(width, 0)), height_(std::max(height, 0)) {}

void MaskBitmapView::ReadRect(int x, int y, int w, int h, uint32_t* out) {
    if (!out || w <= 0 || h <= 0) return;
    for (int i = 0; i < h; ++i) {
        const int64_t py = int64_t(y) + i;
        uint32_t* row = out + Area(i, w);
        for (int j = 0; j < w; ++j) {
            const int64_t px = int64_t(x) + j;
            uint32_t a = 0;
            if (mask_ && px >= 0 && px < width_ && py >= 0 && py < height_) a = mask_[py * width_ + px];
            row[j] = (a << 24) | 0x00FFFFFFu;
        }
    }
}

void MaskBitmapView::WriteRect(int x, int y, int w, int h, const uint32_t* in) {
    if (!in || !mask_ || w <= 0 || h <= 0) return;
    const ClipRect c = ClipToArea(x, y, w, h, width_, height_);
    for (int py = c.y0; py < c.y1; ++py) {
        const uint32_t* src = in + Area(py - y, w);
        for (int px = c.x0; px < c.x1; ++px) mask_[int64_t(py) * width_ + px] = uint8_t(src[px - x] >> 24);
    }
}

// ---------------------------------------------------------------- ScratchCanvasView

void ScratchCanvasView::EnsureRegion(int x, int y, int w, int h) {
    if (!inner_) return;
    const ClipRect c = ClipToArea(x, y, w, h, inner_->Width(), inner_->Height());
    if (c.Empty()) return;
    if (pixels.empty()) {
        regionX = c.x0;
        regionY = c.y0;
        regionWidth = c.x1 - c.x0;
        regionHeight = c.y1 - c.y0;
        pixels.assign(Area(regionWidth, regionHeight), 0);
        return;
    }
    const int rx1 = regionX + regionWidth, ry1 = regionY + regionHeight;
    if (c.x0 >= regionX && c.y0 >= regionY && c.x1 <= rx1 && c.y1 <= ry1) return;
    // Grow with slack in the directions that grew (half the current side, at
    // least 64 pixels, within the inner view): a stroke that keeps moving
    // outward then reallocates a logarithmic number of times instead of once
    // per dab, each time copying the whole region.
    const int slackX = std::max(64, regionWidth / 2), slackY = std::max(64, regionHeight / 2);
    const int nx0 = c.x0 < regionX ? std::max(0, c.x0 - slackX) : regionX;
    const int ny0 = c.y0 < regionY ? std::max(0, c.y0 - slackY) : regionY;
    const int nx1 = c.x1 > rx1 ? int(std::min<int64_t>(int64_t(c.x1) + slackX, inner_->Width())) : rx1;
    const int ny1 = c.y1 > ry1 ? int(std::min<int64_t>(int64_t(c.y1) + slackY, inner_->Height())) : ry1;
    const int nw = nx1 - nx0, nh = ny1 - ny0;
    std::vector<uint32_t> grown(Area(nw, nh), 0);
    for (int r = 0; r < regionHeight; ++r) {
        std::memcpy(grown.data() + Area(regionY - ny0 + r, nw) + size_t(regionX - nx0),
                    pixels.data() + Area(r, regionWidth), size_t(regionWidth) * 4);
    }
    pixels.swap(grown);
    regionX = nx0;
    regionY = ny0;
    regionWidth = nw;
    regionHeight = nh;
}

void ScratchCanvasView::ReadRect(int x, int y, int w, int h, uint32_t* out) {
    if (!out || w <= 0 || h <= 0) return;
    if (!inner_) {
        std::fill(out, out + Area(w, h), 0u);
        return;
    }
    EnsureRegion(x, y, w, h);
    const int64_t rowLo = std::max<int64_t>({int64_t(y), 0, regionY});
    const int64_t rowHi = std::min<int64_t>({int64_t(y) + h, inner_->Height(), int64_t(regionY) + regionHeight});
    const int64_t colLo = std::max<int64_t>({int64_t(x), 0, regionX});
    const int64_t colHi = std::min<int64_t>({int64_t(x) + w, inner_->Width(), int64_t(regionX) + regionWidth});
    for (int i = 0; i < h; ++i) {
        uint32_t* row = out + Area(i, w);
        const int64_t py = int64_t(y) + i;
        if (py < rowLo || py >= rowHi || colLo >= colHi || pixels.empty()) {
            std::fill(row, row + w, 0u);
            continue;
        }
        const size_t left = size_t(colLo - x), span = size_t(colHi - colLo);
        std::fill(row, row + left, 0u);
        std::memcpy(row + left, pixels.data() + Area(int(py - regionY), regionWidth) + size_t(colLo - regionX),
                    span * 4);
        std::fill(row + left + span, row + w, 0u);
    }
}

void ScratchCanvasView::WriteRect(int x, int y, int w, int h, const uint32_t* in) {
    if (!inner_ || !in || w <= 0 || h <= 0) return;
    EnsureRegion(x, y, w, h);
    const ClipRect c = ClipToArea(x, y, w, h, inner_->Width(), inner_->Height());
    if (c.Empty()) return;
    for (int py = c.y0; py < c.y1; ++py) {
        std::memcpy(pixels.data() + Area(py - regionY, regionWidth) + size_t(c.x0 - regionX),
                    in + Area(py - y, w) + size_t(c.x0 - x), size_t(c.x1 - c.x0) * 4);
    }
}

void ScratchCanvasView::CommitToInner(ICanvasWriteView* target, float opacity) {
    if (!target || pixels.empty()) return;
    const float o = std::max(std::min(opacity, 1.0f), 0.0f);
    if (!(o > 0)) return;  // also a NaN
    std::vector<uint32_t> dst(pixels.size(), 0);
    target->ReadRect(regionX, regionY, regionWidth, regionHeight, dst.data());
    for (size_t i = 0; i < pixels.size(); ++i) {
        const uint32_t s = pixels[i];
        const float sA = float(s >> 24) / 255.0f;
        if (sA <= 0.001f) continue;
        const uint32_t d = dst[i];
        const float dA = float(d >> 24) / 255.0f;
        const float a = sA * o;
        const float outA = (1 - a) * dA + a;
        uint32_t result = uint32_t(ByteOf(outA)) << 24;
        for (int shift = 0; shift < 24; shift += 8) {
            const float sc = float((s >> shift) & 0xFF) / 255.0f;
            const float dc = float((d >> shift) & 0xFF) / 255.0f;
            const float v = outA > 0.0001f ? (dA * dc * (1 - a) + a * sc) / outA : sc;
            result |= uint32_t(ByteOf(v)) << shift;
        }
        dst[i] = result;
    }
    target->WriteRect(regionX, regionY, regionWidth, regionHeight, dst.data());
}

// ---------------------------------------------------------------- SelectionClippingView

void SelectionClippingView::ReadRect(int x, int y, int w, int h, uint32_t* out) {
    if (!out || w <= 0 || h <= 0) return;
    if (!inner_) {
        std::fill(out, out + Area(w, h), 0u);
        return;
    }
    inner_->ReadRect(x, y, w, h, out);
}

void SelectionClippingView::WriteRect(int x, int y, int w, int h, const uint32_t* in) {
    if (!inner_ || !in || w <= 0 || h <= 0) return;
    if (!mask_) {
        inner_->WriteRect(x, y, w, h, in);
        return;
    }
    const size_t n = Area(w, h);
    if (destination_.size() < n) destination_.resize(n);
    if (coverage_.size() < n) coverage_.resize(n);
    if (output_.size() < n) output_.resize(n);
    std::fill(destination_.begin(), destination_.begin() + n, 0u);
    inner_->ReadRect(x, y, w, h, destination_.data());
    mask_->ReadRect(x, y, w, h, coverage_.data());
    for (size_t i = 0; i < n; ++i) {
        const int g = coverage_[i];
        const uint32_t s = in[i], d = destination_[i];
        if (g == 0) {
            output_[i] = d;
            continue;
        }
        if (g == 255) {
            output_[i] = s;
            continue;
        }
        // Straight alpha interpolated through premultiplied values.
        const int sA = int(s >> 24), dA = int(d >> 24);
        const int outA = dA + (g * (sA - dA)) / 255;
        if (outA == 0) {
            output_[i] = 0;
            continue;
        }
        uint32_t result = uint32_t(outA) << 24;
        for (int shift = 0; shift < 24; shift += 8) {
            const int sC = int((s >> shift) & 0xFF), dC = int((d >> shift) & 0xFF);
            const int v = (dC * dA + (g * (sC * sA - dC * dA)) / 255) / outA;
            result |= uint32_t(std::clamp(v, 0, 255)) << shift;
        }
        output_[i] = result;
    }
    inner_->WriteRect(x, y, w, h, output_.data());
}

// ---------------------------------------------------------------- CloneBackdropView

void CloneBackdropView::Reset(const uint8_t* pixels, int stride, int width, int height) {
    pixels_ = pixels;
    stride_ = stride;
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
}

void CloneBackdropView::ReadRect(int x, int y, int w, int h, uint32_t* out) {
    if (!out || !pixels_ || w <= 0 || h <= 0) return;
    std::fill(out, out + Area(w, h), 0u);
    const ClipRect c = ClipToArea(x, y, w, h, width_, height_);
    if (c.Empty()) return;
    for (int py = c.y0; py < c.y1; ++py) {
        std::memcpy(out + Area(py - y, w) + size_t(c.x0 - x), pixels_ + int64_t(py) * stride_ + int64_t(c.x0) * 4,
                    size_t(c.x1 - c.x0) * 4);
    }
}
