#pragma once
// Small posable fixtures: solid and patterned pictures as image parts, parts
// of a posable scene, and one-bone runtime parts for the rig.
#include "platform/Codecs.h"
#include "scene/CanvasDocument.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace posable_test {

inline std::vector<uint8_t> PngOf(int w, int h, const std::function<uint32_t(int, int)>& pixel) {
    BitmapPtr b = Bitmap::Create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b->SetPixel(x, y, pixel(x, y));
    std::vector<uint8_t> png;
    EXPECT_TRUE(EncodePng(*b, png));
    return png;
}

inline ImagePart PicturePart(int w, int h, const std::function<uint32_t(int, int)>& pixel) {
    ImagePart p;
    p.id = "image_1";
    p.name = "picture";
    p.encoded = PngOf(w, h, pixel);
    p.pixelWidth = p.displayWidth = float(w);
    p.pixelHeight = p.displayHeight = float(h);
    return p;
}

// A w x h object whose picture is pixel(x, y), one pixel per unit.
inline CanvasObject PictureObject(const std::string& id, float x, float y, int w, int h,
                                  const std::function<uint32_t(int, int)>& pixel) {
    CanvasObject o;
    o.id = id;
    o.name = id;
    o.x = x;
    o.y = y;
    o.width = float(w);
    o.height = float(h);
    o.parts.push_back(PicturePart(w, h, pixel));
    return o;
}

inline CanvasObject SolidObject(const std::string& id, float x, float y, int w, int h, uint32_t argb) {
    return PictureObject(id, x, y, w, h, [argb](int, int) { return argb; });
}

inline Bone MakeBone(const std::string& id, float hx, float hy, float tx, float ty) {
    Bone b;
    b.id = id;
    b.name = id;
    b.headX = hx;
    b.headY = hy;
    b.tailX = tx;
    b.tailY = ty;
    return b;
}

// A part of a posable scene: a solid picture with one whole-image bone
// along its middle from left to right.
inline PosablePart BonedPart(const std::string& id, float x, float y, int w, int h, uint32_t argb) {
    PosablePart p;
    p.id = id;
    p.name = id;
    p.x = x;
    p.y = y;
    p.width = float(w);
    p.height = float(h);
    ImagePartRecord r;
    r.id = "image_1";
    r.name = id;
    r.encoded = PngOf(w, h, [argb](int, int) { return argb; });
    r.pixelWidth = r.displayWidth = float(w);
    r.pixelHeight = r.displayHeight = float(h);
    p.parts.push_back(std::move(r));
    p.bones.push_back(MakeBone("bone_1", 0, 0.5f, 1, 0.5f));
    return p;
}

// A runtime scene holding the objects in "layer_1".
inline void SceneOf(CanvasDocument& scene, std::vector<CanvasObject> objects) {
    scene.Reset();
    scene.width = scene.height = 3000;
    Layer* layer = scene.FindLayer("layer_1");
    ASSERT_NE(layer, nullptr);
    layer->objects = std::move(objects);
}

// A one-bone runtime part with no picture: the bone runs along its middle.
inline CanvasObject RigPart(const std::string& id, float x, float y, float w, float h, bool stretchable = false) {
    CanvasObject o;
    o.id = id;
    o.x = x;
    o.y = y;
    o.width = w;
    o.height = h;
    Bone b = MakeBone("bone_1", 0, 0.5f, 1, 0.5f);
    b.stretchable = stretchable;
    o.bones.push_back(b);
    return o;
}

}  // namespace posable_test
