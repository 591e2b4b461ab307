#include "canvas_view/EyedropperColor.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace {

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

void SkipBlanks(std::string_view s, size_t& i) {
    while (i < s.size() && IsBlank(s[i])) ++i;
}

// An optionally signed decimal number at i. Long runs of digits saturate
// rather than overflow; the caller's range check rejects them.
bool ReadInt(std::string_view s, size_t& i, long& value) {
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    const size_t start = i;
    long v = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        v = std::min(v * 10 + (s[i] - '0'), 1000000L);
        ++i;
    }
    if (i == start) return false;
    value = negative ? -v : v;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return 0xFF000000u | r << 16 | g << 8 | b; }

}  // namespace

bool ParseRgbText(std::string_view text, uint32_t& argb) {
    size_t i = 0;
    long c[3] = {};
    for (int k = 0; k < 3; ++k) {
        SkipBlanks(text, i);
        if (!ReadInt(text, i, c[k]) || c[k] < 0 || c[k] > 255) return false;
        SkipBlanks(text, i);
        if (k < 2) {
            if (i >= text.size() || text[i] != ',') return false;
            ++i;
        }
    }
    if (i != text.size()) return false;
    argb = Rgb(uint32_t(c[0]), uint32_t(c[1]), uint32_t(c[2]));
    return true;
}

bool ParseHexColor(std::string_view text, uint32_t& argb) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    std::string_view s = text.substr(b, e - b);
    if (!s.empty() && s.front() == '#') s.remove_prefix(1);
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
    if (s.size() != 6) return false;
    uint32_t v = 0;
    for (char ch : s) {
        const int d = HexDigit(ch);
        if (d < 0) return false;
        v = v << 4 | uint32_t(d);
    }
    argb = 0xFF000000u | v;
    return true;
}

std::string FormatRgbText(uint32_t argb) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d, %d, %d", int(argb >> 16 & 0xFF), int(argb >> 8 & 0xFF), int(argb & 0xFF));
    return buf;
}

std::string FormatHexText(uint32_t argb) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X", unsigned(argb >> 16 & 0xFF), unsigned(argb >> 8 & 0xFF),
                  unsigned(argb & 0xFF));
    return buf;
}

uint32_t UnpremultipliedColour(const uint8_t* px) {
    const int a = px[3];
    if (a == 0) return 0xFF000000u;
    auto un = [a](int c) { return uint32_t(std::min(255, (c * 255 + a / 2) / a)); };
    return Rgb(un(px[2]), un(px[1]), un(px[0]));
}

uint32_t LoupeSnapshot::At(int x, int y) const {
    if (Empty()) return 0xFF000000u;
    const int cx = std::clamp(x - left, 0, width - 1), cy = std::clamp(y - top, 0, height - 1);
    return pixels[size_t(cy) * size_t(width) + size_t(cx)];
}

LoupeSnapshot SnapshotFromPremultiplied(const uint8_t* pixels, int width, int height, int stride, int left,
                                        int top) {
    LoupeSnapshot s;
    s.left = left;
    s.top = top;
    if (!pixels || width <= 0 || height <= 0 || stride < width * 4) return s;
    s.width = width;
    s.height = height;
    s.pixels.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = pixels + int64_t(y) * stride;
        uint32_t* out = s.pixels.data() + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x) out[x] = UnpremultipliedColour(row + x * 4);
    }
    return s;
}

LoupeSamples SampleLoupe(const LoupeSnapshot& snapshot, int x, int y) {
    LoupeSamples out;
    const int half = kLoupeGrid / 2;
    for (int j = 0; j < kLoupeGrid; ++j)
        for (int i = 0; i < kLoupeGrid; ++i)
            out.argb[size_t(j * kLoupeGrid + i)] = 0xFF000000u | snapshot.At(x + i - half, y + j - half);
    return out;
}

LoupePlace PlaceLoupe(int x, int y, int areaLeft, int areaTop, int areaWidth, int areaHeight) {
    const int half = kLoupeSize / 2;
    auto fit = [](int v, int lo, int extent) { return std::max(lo, std::min(v, lo + extent - kLoupeSize)); };
    return {fit(x - half, areaLeft, areaWidth), fit(y - half, areaTop, areaHeight)};
}

void RenderLoupe(const LoupeSamples& samples, uint32_t picked, uint32_t previous, uint32_t* out) {
    // Straight colours mixed per channel, then premultiplied by the edge
    // coverage: channel = ((ring m + sample (1 - m)) (1 - e) + border e) a,
    // + 0.5 and truncated.
    const float r = kLoupeSize / 2.0f, outer = r + 0.5f, ringStart = outer - 16.0f, borderStart = outer - 2.0f;
    const float gridHalf = kLoupeGrid * kLoupeMagnify / 2.0f;
    auto channel = [](uint32_t c, int shift) { return float(c >> shift & 0xFF); };
    for (int j = 0; j < kLoupeSize; ++j) {
        for (int i = 0; i < kLoupeSize; ++i) {
            uint32_t& o = out[j * kLoupeSize + i];
            o = 0;
            const float dx = i + 0.5f - r, dy = j + 0.5f - r, d = std::sqrt(dx * dx + dy * dy);
            if (!(d < outer)) continue;
            const float a = std::clamp(outer - d, 0.0f, 1.0f);
            const float m = std::clamp(d - ringStart, 0.0f, 1.0f);
            const float e = std::clamp(d - borderStart, 0.0f, 1.0f);
            const int row = std::clamp(int((dy + gridHalf) / kLoupeMagnify), 0, kLoupeGrid - 1);
            const int col = std::clamp(int((dx + gridHalf) / kLoupeMagnify), 0, kLoupeGrid - 1);
            const uint32_t sample = samples.argb[size_t(row * kLoupeGrid + col)];
            const uint32_t ring = dy < 0 ? picked : previous;
            uint32_t px = uint32_t(a * 255.0f + 0.5f) << 24;
            for (int shift : {16, 8, 0}) {
                float v = channel(ring, shift) * m + channel(sample, shift) * (1.0f - m);
                if (e > 0) v = v * (1.0f - e) + channel(kLoupeBorder, shift) * e;
                px |= uint32_t(std::clamp(v * a + 0.5f, 0.0f, 255.0f)) << shift;
            }
            o = px;
        }
    }
    // The centre sample covers pixels 65 to 74: a white square through 64
    // and 75 around it, a black one through 65 and 74 inside.
    auto square = [out](int lo, int hi, uint32_t colour) {
        for (int k = lo; k <= hi; ++k) {
            out[lo * kLoupeSize + k] = out[hi * kLoupeSize + k] = colour;
            out[k * kLoupeSize + lo] = out[k * kLoupeSize + hi] = colour;
        }
    };
    const int c0 = kLoupeSize / 2 - kLoupeMagnify / 2;
    square(c0 - 1, c0 + kLoupeMagnify, 0xFFFFFFFFu);
    square(c0, c0 + kLoupeMagnify - 1, 0xFF000000u);
}
