#pragma once
// The scene's pixel selection: 8-bit coverage in sparse 256 x 256 tiles.
#include <cstdint>

class SelectionMask {
public:
    SelectionMask() = default;
    SelectionMask(int width, int height) : width_(width), height_(height) {}
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    int width_ = 0, height_ = 0;
};
