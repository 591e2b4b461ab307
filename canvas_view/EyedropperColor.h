#pragma once
// What the eyedropper computes without a window: the colour texts of the
// Picker tab (typed and shown), and the loupe's snapshot, its 11 x 11 samples
// around the pointer, its place on the screen and its 140 x 140 image.
//
// Colours are 0xAARRGGBB words (bytes B, G, R, A in memory) unless a name
// says otherwise; every picked colour is opaque.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// --- Colour texts ---

// "R, G, B": exactly three whole numbers from 0 to 255 separated by commas,
// with or without blanks around them; nothing may follow the third number
// but blanks. On success argb is the opaque colour.
bool ParseRgbText(std::string_view text, uint32_t& argb);
// Six hexadecimal digits RRGGBB (either case), after blanks are trimmed at
// both ends and a leading "#" and then a leading "0x" or "0X" are dropped.
// The first pair is red: "FF0000" is red, never blue.
bool ParseHexColor(std::string_view text, uint32_t& argb);
// "%d, %d, %d" with red, green and blue.
std::string FormatRgbText(uint32_t argb);
// "%02X%02X%02X" with red, green and blue.
std::string FormatHexText(uint32_t argb);

// --- Loupe ---

inline constexpr int kLoupeSize = 140;     // the window's side, pixels
inline constexpr int kLoupeGrid = 11;      // samples per side
inline constexpr int kLoupeMagnify = 10;   // each sample covers 10 x 10 pixels
inline constexpr uint32_t kLoupeBorder = 0xFF787C82;

// One premultiplied B, G, R, A pixel as an opaque straight colour: each
// channel c becomes c * 255 / alpha, rounded and at most 255; a fully
// transparent pixel gives black.
uint32_t UnpremultipliedColour(const uint8_t* bgra);

// A photograph of the screen (or of the part that stands in for it), in
// screen coordinates: opaque straight colours, rows top-down.
struct LoupeSnapshot {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<uint32_t> pixels;

    bool Empty() const { return width <= 0 || height <= 0 || pixels.size() < size_t(width) * size_t(height); }
    // The pixel at a screen point, the point clamped into the snapshot;
    // opaque black when the snapshot is empty.
    uint32_t At(int screenX, int screenY) const;
};

// A snapshot of premultiplied B, G, R, A rows (the canvas view's displayed
// composite), un-premultiplied, placed with its top-left at (left, top).
LoupeSnapshot SnapshotFromPremultiplied(const uint8_t* pixels, int width, int height, int stride, int left,
                                        int top);

// The samples around a point, row by row; the centre (row 5, column 5) is
// the colour under the point.
struct LoupeSamples {
    std::array<uint32_t, kLoupeGrid * kLoupeGrid> argb{};
    uint32_t Centre() const { return argb[(kLoupeGrid / 2) * kLoupeGrid + kLoupeGrid / 2]; }
};
LoupeSamples SampleLoupe(const LoupeSnapshot& snapshot, int screenX, int screenY);

struct LoupePlace {
    int left = 0, top = 0;
    bool operator==(const LoupePlace&) const = default;
};
// The window's top-left: centred on the point, moved so that the whole
// window stays inside the screen area (its left and top edge win when the
// area is smaller than the window).
LoupePlace PlaceLoupe(int screenX, int screenY, int areaLeft, int areaTop, int areaWidth, int areaHeight);

// The loupe's image: kLoupeSize x kLoupeSize premultiplied 0xAARRGGBB words,
// transparent outside the disc. Inside, the samples enlarged ten times, the
// ring showing picked in its upper half and previous in its lower half, an
// antialiased grey border, and the centre sample outlined white then black.
void RenderLoupe(const LoupeSamples& samples, uint32_t picked, uint32_t previous, uint32_t* out);
