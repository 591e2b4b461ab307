#pragma once
// Tiny fixtures for the filter tests: solid and patterned bitmaps, one
// filter run through its registry row, pixel channels.
#include "filters/EffectRegistry.h"

#include <cstdint>
#include <functional>

inline BitmapPtr SolidBitmap(int w, int h, uint32_t argb) {
    BitmapPtr b = Bitmap::Create(w, h);
    b->Clear(argb);
    return b;
}

// A transparent w x h bitmap with an opaque argb rectangle [x0, x1) x [y0, y1).
inline BitmapPtr RectOnClear(int w, int h, int x0, int y0, int x1, int y1, uint32_t argb) {
    BitmapPtr b = Bitmap::Create(w, h);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) b->SetPixel(x, y, argb);
    return b;
}

struct FilterRun {
    BitmapPtr out;
    float ox = 0, oy = 0;
};

// Runs the registry row of `type` on src with the default record changed by `edit`.
template <class Record>
FilterRun RunFilter(uint8_t type, const Bitmap& src, const std::function<void(Record&)>& edit = {}) {
    EffectInstance e = MakeEffectInstance(type);
    if (edit) edit(*e.params.template Get<Record>());
    FilterRun r;
    r.ox = r.oy = 123;  // every apply must reset the offset
    r.out = FindEffectTypeInfo(type).apply(src, e.params, r.ox, r.oy);
    return r;
}

inline int Ch(const Bitmap& b, int x, int y, int c) { return b.Row(y)[4 * x + c]; }  // 0 B, 1 G, 2 R, 3 A
inline int Alpha(const Bitmap& b, int x, int y) { return Ch(b, x, y, 3); }

inline bool SamePixels(const Bitmap& a, const Bitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
    return true;
}
