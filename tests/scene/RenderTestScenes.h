#pragma once
// Small scene fixtures for the rendering tests: bitmap objects built from
// pixels through the same encoded-part path real objects use.
#include "platform/Codecs.h"
#include "scene/CanvasDocument.h"

#include <functional>
#include <string>

namespace render_test {

// A w x h object at (x, y) whose single part holds the pixels fill(col, row) gives.
inline CanvasObject PixelObject(const std::string& id, float x, float y, int w, int h,
                                const std::function<uint32_t(int, int)>& fill, int32_t z = 0) {
    BitmapPtr b = Bitmap::Create(w, h);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) b->SetPixel(c, r, fill(c, r));
    CanvasObject o;
    o.id = id;
    o.x = x;
    o.y = y;
    o.width = float(w);
    o.height = float(h);
    o.z = z;
    ImagePart p;
    p.id = "image_1";
    EncodePng(*b, p.encoded);
    p.pixelWidth = p.displayWidth = float(w);
    p.pixelHeight = p.displayHeight = float(h);
    o.parts.push_back(std::move(p));
    return o;
}

inline CanvasObject SolidObject(const std::string& id, float x, float y, int w, int h, uint32_t argb, int32_t z = 0) {
    return PixelObject(id, x, y, w, h, [argb](int, int) { return argb; }, z);
}

// A scene of the given size with one unlocked layer holding the objects.
inline void OneLayerScene(CanvasDocument& scene, float w, float h, std::vector<CanvasObject> objects,
                          uint32_t colour = 0xFFFFFFFF) {
    scene.width = w;
    scene.height = h;
    scene.canvasColour = colour;
    scene.layers.clear();
    Layer layer;
    layer.id = "layer_1";
    layer.order = 1;
    layer.objects = std::move(objects);
    scene.layers.push_back(std::move(layer));
}

}  // namespace render_test
