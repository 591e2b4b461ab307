// Straight-alpha B, G, R, A pixels and 8-bit planes; integer arithmetic.
// A selection byte m blends as ((255 - m) * old + m * new + 127) / 255.
#include "scene/PixelOps.h"

#include "platform/Codecs.h"
#include "scene/CanvasObject.h"
#include "scene/SelectionMask.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

inline uint8_t Blend(int m, int oldV, int newV) { return uint8_t(((255 - m) * oldV + m * newV + 127) / 255); }

inline uint8_t ClampByte(int v) { return uint8_t(std::clamp(v, 0, 255)); }

// The brightness step: amount limited to -100..100, times 1.27, rounded half
// away from zero. 0 when there are no parameters or the amount is not a number.
int BrightnessDelta(const void* params) {
    if (!params) return 0;
    const float amount = *static_cast<const float*>(params);
    if (!std::isfinite(amount)) return 0;
    const double v = double(std::clamp(amount, -100.0f, 100.0f)) * 1.27;
    return int(v < 0 ? v - 0.5 : v + 0.5);
}

// clamp(c + delta, 0, 255) for every byte value.
std::array<uint8_t, 256> ShiftTable(int delta) {
    std::array<uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c) t[size_t(c)] = ClampByte(c + delta);
    return t;
}

bool HasPixels(const SelectionMask* selection) { return selection && selection->HasSelection(); }

}  // namespace

bool GetSelectionRectOrAll(const SelectionMask* selection, int imageWidth, int imageHeight, int& x, int& y, int& w,
                           int& h) {
    if (imageWidth <= 0 || imageHeight <= 0) return false;
    if (!HasPixels(selection)) {
        x = y = 0;
        w = imageWidth;
        h = imageHeight;
        return true;
    }
    int bx = 0, by = 0, bw = 0, bh = 0;
    if (!selection->GetBounds(bx, by, bw, bh)) return false;
    const int64_t x0 = std::max<int64_t>(bx, 0);
    const int64_t y0 = std::max<int64_t>(by, 0);
    const int64_t x1 = std::min<int64_t>(int64_t(bx) + bw, imageWidth);
    const int64_t y1 = std::min<int64_t>(int64_t(by) + bh, imageHeight);
    if (x0 >= x1 || y0 >= y1) return false;
    x = int(x0);
    y = int(y0);
    w = int(x1 - x0);
    h = int(y1 - y0);
    return true;
}

const uint8_t* ObjectMaskHasPixels(const SelectionMask* selection, int x, int y, int w, int h,
                                   std::vector<uint8_t>& buffer) {
    if (!HasPixels(selection) || w <= 0 || h <= 0) return nullptr;
    buffer.assign(size_t(w) * size_t(h), 0);
    selection->ReadRect(x, y, w, h, buffer.data());
    return buffer.data();
}

void InvertPixelsMasked(uint8_t* pixels, int width, int height, int pitch, const uint8_t* selection,
                        int selectionPitch, const void*) {
    if (!pixels || width <= 0 || height <= 0) return;
    for (int y = 0; y < height; ++y) {
        uint8_t* p = pixels + int64_t(y) * pitch;
        if (!selection) {
            for (int x = 0; x < width; ++x, p += 4) {
                p[0] = uint8_t(255 - p[0]);
                p[1] = uint8_t(255 - p[1]);
                p[2] = uint8_t(255 - p[2]);
            }
            continue;
        }
        const uint8_t* s = selection + int64_t(y) * selectionPitch;
        for (int x = 0; x < width; ++x, p += 4)
            for (int c = 0; c < 3; ++c) p[c] = Blend(s[x], p[c], 255 - p[c]);
    }
}

// The byte-wise formula over one row. With restrict-qualified rows that
// cannot overlap the compiler processes many bytes per step.
static void InvertMaskRowSelected(uint8_t* __restrict plane, const uint8_t* __restrict selection, int width) {
    for (int x = 0; x < width; ++x) {
        // (255 - b) m + (255 - m) b + 127 lies in 0..65152, so 16-bit lanes
        // hold it (intermediate wrap-around cancels out), and t / 255 equals
        // (t + 1 + (t >> 8)) >> 8 over that range.
        const uint16_t b = plane[x], m = selection[x];
        const uint16_t t = uint16_t(uint16_t(255 * (b + m)) - uint16_t(2 * b * m) + 127);
        plane[x] = uint8_t(uint16_t(t + 1 + (t >> 8)) >> 8);
    }
}

void InvertMaskBytes(uint8_t* plane, int width, int height, const uint8_t* selection, int selectionPitch,
                     const void*) {
    if (!plane || width <= 0 || height <= 0) return;
    if (!selection) {
        const size_t n = size_t(width) * size_t(height);
        for (size_t i = 0; i < n; ++i) plane[i] = uint8_t(255 - plane[i]);
        return;
    }
    const uintptr_t p0 = uintptr_t(plane), p1 = p0 + size_t(width) * size_t(height);
    const uintptr_t s0 = uintptr_t(selection),
                    s1 = s0 + size_t(height - 1) * size_t(int64_t(selectionPitch)) + size_t(width);
    const bool overlap = selectionPitch < 0 || (s0 < p1 && p0 < s1);
    for (int y = 0; y < height; ++y) {
        uint8_t* p = plane + int64_t(y) * width;
        const uint8_t* s = selection + int64_t(y) * selectionPitch;
        if (!overlap) {
            InvertMaskRowSelected(p, s, width);
        } else {
            for (int x = 0; x < width; ++x) p[x] = Blend(s[x], p[x], 255 - p[x]);
        }
    }
}

void BrightnessMasked(uint8_t* pixels, int width, int height, int pitch, const uint8_t* selection,
                      int selectionPitch, const void* params) {
    const int delta = BrightnessDelta(params);
    if (!pixels || width <= 0 || height <= 0 || delta == 0) return;
    const std::array<uint8_t, 256> moved = ShiftTable(delta);
    for (int y = 0; y < height; ++y) {
        uint8_t* p = pixels + int64_t(y) * pitch;
        if (!selection) {
            for (int x = 0; x < width; ++x, p += 4) {
                p[0] = moved[p[0]];
                p[1] = moved[p[1]];
                p[2] = moved[p[2]];
            }
            continue;
        }
        const uint8_t* s = selection + int64_t(y) * selectionPitch;
        for (int x = 0; x < width; ++x, p += 4)
            for (int c = 0; c < 3; ++c) p[c] = Blend(s[x], p[c], moved[p[c]]);
    }
}

void BrightnessPlain(uint8_t* plane, int width, int height, const uint8_t* selection, int selectionPitch,
                     const void* params) {
    const int delta = BrightnessDelta(params);
    if (!plane || width <= 0 || height <= 0 || delta == 0) return;
    const std::array<uint8_t, 256> moved = ShiftTable(delta);
    for (int y = 0; y < height; ++y) {
        uint8_t* p = plane + int64_t(y) * width;
        if (!selection) {
            for (int x = 0; x < width; ++x) p[x] = moved[p[x]];
            continue;
        }
        const uint8_t* s = selection + int64_t(y) * selectionPitch;
        for (int x = 0; x < width; ++x) p[x] = Blend(s[x], p[x], moved[p[x]]);
    }
}

bool ApplyPixelOpToObject(const std::vector<uint8_t>& stored, PixelOp32 op, std::vector<uint8_t>& out,
                          const CanvasObject* object, const SelectionMask* selection) {
    if (!op) return false;
    BitmapPtr decoded = DecodePngToBitmap(stored);
    if (!decoded) return false;
    BitmapPtr image = ResampleBitmap(*decoded);
    decoded.reset();
    if (!image) return false;
    const int w = image->Width();
    const int h = image->Height();

    // The selection is in canvas pixels: it applies only to an object that
    // covers the canvas pixel for pixel.
    bool restrict = false;
    if (object && selection && std::isfinite(object->width) && std::isfinite(object->height)) {
        restrict = object->rotation == 0 && object->x == 0 && object->y == 0 &&
                   double(w) == std::trunc(double(object->width)) && double(h) == std::trunc(double(object->height));
    }

    int rx = 0, ry = 0, rw = w, rh = h;
    std::vector<uint8_t> selBuffer;
    const uint8_t* selBytes = nullptr;
    if (restrict && HasPixels(selection)) {
        int bx = 0, by = 0, bw = 0, bh = 0;
        bool any = selection->GetBounds(bx, by, bw, bh);
        if (any) {
            const int64_t x0 = std::max<int64_t>(bx, 0), y0 = std::max<int64_t>(by, 0);
            const int64_t x1 = std::min<int64_t>(int64_t(bx) + bw, w), y1 = std::min<int64_t>(int64_t(by) + bh, h);
            any = x0 < x1 && y0 < y1;
            rx = int(x0);
            ry = int(y0);
            rw = int(x1 - x0);
            rh = int(y1 - y0);
        }
        if (!any) {
            out = stored;
            return true;
        }
        selBytes = ObjectMaskHasPixels(selection, rx, ry, rw, rh, selBuffer);
    }

    op(image->Row(ry) + size_t(rx) * 4, rw, rh, image->Stride(), selBytes, selBytes ? rw : 0, nullptr);
    return EncodeBitmapToPng(*image, out);
}

void ApplyPixelOpToRect(uint8_t* plane, int planeWidth, int planeHeight, int x, int y, int w, int h, PixelOp8 op,
                        const void* params, const uint8_t* selection, int selectionPitch) {
    if (!plane || !op || planeWidth <= 0 || planeHeight <= 0 || w <= 0 || h <= 0 || x < 0 || y < 0) return;
    if (int64_t(x) + w > planeWidth || int64_t(y) + h > planeHeight) return;
    if (x == 0 && y == 0 && w == planeWidth && h == planeHeight) {
        op(plane, w, h, selection, selectionPitch, params);
        return;
    }
    std::vector<uint8_t> rect(size_t(w) * size_t(h), 0);
    for (int r = 0; r < h; ++r)
        std::memcpy(rect.data() + size_t(r) * w, plane + (int64_t(y) + r) * planeWidth + x, size_t(w));
    op(rect.data(), w, h, selection, selectionPitch, params);
    for (int r = 0; r < h; ++r)
        std::memcpy(plane + (int64_t(y) + r) * planeWidth + x, rect.data() + size_t(r) * w, size_t(w));
}

bool EncodeBitmapToPng(const Bitmap& bitmap, std::vector<uint8_t>& out) {
    std::vector<uint8_t> png;
    if (!EncodePng(bitmap, png)) return false;
    out = std::move(png);
    return true;
}

BitmapPtr DecodePngToBitmap(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return nullptr;
    return DecodeImage(bytes);
}

BitmapPtr ResampleBitmap(const Bitmap& source) {
    if (source.Width() <= 0 || source.Height() <= 0) return nullptr;
    return source.Clone();
}

bool CopyBitmapPixels(const Bitmap& source, Bitmap& destination) {
    const int w = source.Width(), h = source.Height();
    if (w <= 0 || h <= 0 || destination.Width() != w || destination.Height() != h) return false;
    for (int y = 0; y < h; ++y) std::memmove(destination.Row(y), source.Row(y), size_t(w) * 4);
    return true;
}
