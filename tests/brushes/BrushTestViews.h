#pragma once
// A plain in-memory write view for brush tests: w x h words 0xAARRGGBB,
// counting the writes so tests can tell how many dabs landed.
#include "scene/CanvasWriteViews.h"

#include <algorithm>
#include <cstdint>
#include <vector>

class BufferView : public ICanvasWriteView {
public:
    BufferView(int w, int h, uint32_t fill = 0) : w_(w), h_(h), pixels(size_t(w) * h, fill) {}
    int Width() const override { return w_; }
    int Height() const override { return h_; }
    void ReadRect(int x, int y, int w, int h, uint32_t* out) override {
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
                const int px = x + i, py = y + j;
                out[size_t(j) * w + i] = (px >= 0 && py >= 0 && px < w_ && py < h_) ? At(px, py) : 0u;
            }
    }
    void WriteRect(int x, int y, int w, int h, const uint32_t* in) override {
        ++writes;
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
                const int px = x + i, py = y + j;
                if (px >= 0 && py >= 0 && px < w_ && py < h_) pixels[size_t(py) * w_ + px] = in[size_t(j) * w + i];
            }
    }
    uint32_t At(int x, int y) const { return pixels[size_t(y) * w_ + x]; }
    uint8_t Alpha(int x, int y) const { return uint8_t(At(x, y) >> 24); }
    uint8_t MaxAlpha() const {
        uint8_t m = 0;
        for (uint32_t p : pixels) m = std::max<uint8_t>(m, uint8_t(p >> 24));
        return m;
    }
    int Changed(uint32_t fill) const {
        int n = 0;
        for (uint32_t p : pixels) n += p != fill;
        return n;
    }

    int writes = 0;

private:
    int w_, h_;

public:
    std::vector<uint32_t> pixels;
};
