#pragma once
// Small bitmap objects with real PNG pictures, for the clipboard, delete,
// conversion and export tests.
#include "platform/Bitmap.h"
#include "platform/Codecs.h"
#include "scene/CanvasObject.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// PNG bytes of a w x h picture whose pixel (x, y) is pixel(x, y) (0xAARRGGBB).
inline std::vector<uint8_t> PngOf(int w, int h, const std::function<uint32_t(int, int)>& pixel) {
    BitmapPtr b = Bitmap::Create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b->SetPixel(x, y, pixel(x, y));
    std::vector<uint8_t> png;
    EXPECT_TRUE(EncodePng(*b, png));
    return png;
}

inline std::vector<uint8_t> SolidPng(int w, int h, uint32_t argb) {
    return PngOf(w, h, [argb](int, int) { return argb; });
}

// A bitmap object of one image part, its picture the object's size.
inline CanvasObject MakeBitmapObject(const std::string& id, const std::string& name, float x, float y, int w, int h,
                                     std::vector<uint8_t> png) {
    CanvasObject o;
    o.id = id;
    o.name = name;
    o.x = x;
    o.y = y;
    o.width = float(w);
    o.height = float(h);
    ImagePart part;
    part.id = "image_1";
    part.name = name;
    part.encoded = std::move(png);
    part.pixelWidth = part.displayWidth = float(w);
    part.pixelHeight = part.displayHeight = float(h);
    o.parts.push_back(std::move(part));
    return o;
}

inline CanvasObject MakeSolidObject(const std::string& id, const std::string& name, float x, float y, int w, int h,
                                    uint32_t argb) {
    return MakeBitmapObject(id, name, x, y, w, h, SolidPng(w, h, argb));
}

// The decoded picture of an object's first part.
inline BitmapPtr PictureOf(const CanvasObject& o) {
    if (o.parts.empty()) return nullptr;
    return DecodeImage(o.parts.front().encoded);
}
