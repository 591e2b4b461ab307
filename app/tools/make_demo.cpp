// Writes the demonstration project: a canvas of generated pictures that shows
// what the editor does: rotation, translucency, blend modes, a mask, filter
// stacks and a light cone. Run through scripts/make-demo, which keeps resources/demo.qvk.
#include "document/ProjectFile.h"
#include "filters/EffectRegistry.h"
#include "platform/Bitmap.h"
#include "platform/Codecs.h"
#include "scene/CanvasDocument.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {
constexpr double kPi = 3.14159265358979323846;

uint32_t Argb(int a, int r, int g, int b) {
    auto c = [](int v) { return uint32_t(std::clamp(v, 0, 255)); };
    return (c(a) << 24) | (c(r) << 16) | (c(g) << 8) | c(b);
}

// A sky fading from deep blue to warm orange with a low sun and hills.
BitmapPtr Landscape(int w, int h) {
    BitmapPtr b = Bitmap::Create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double t = double(y) / h;
            int r = int(40 + 200 * t), g = int(60 + 90 * t), bl = int(140 - 60 * t);
            double dx = x - w * 0.7, dy = y - h * 0.55, d = std::sqrt(dx * dx + dy * dy);
            if (d < h * 0.12) r = 255, g = 220, bl = 120;
            double hill = h * (0.7 + 0.08 * std::sin(x * 0.02) + 0.05 * std::sin(x * 0.051 + 1));
            if (y > hill) r = int(30 + 20 * std::sin(x * 0.1)), g = int(90 + 30 * t), bl = 50;
            b->SetPixel(x, y, Argb(255, r, g, bl));
        }
    return b;
}

// Concentric rings of hue on a transparent ground.
BitmapPtr Rings(int side) {
    BitmapPtr b = Bitmap::Create(side, side);
    const double c = side / 2.0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            double d = std::hypot(x + 0.5 - c, y + 0.5 - c) / c;
            if (d > 1) continue;
            double a = d * 6 * kPi;
            int r = int(127 + 127 * std::sin(a)), g = int(127 + 127 * std::sin(a + 2.1)),
                bl = int(127 + 127 * std::sin(a + 4.2));
            int alpha = d > 0.97 ? int((1 - d) / 0.03 * 255) : 255;
            b->SetPixel(x, y, Argb(alpha, r, g, bl));
        }
    return b;
}

// A checkerboard of two colours.
BitmapPtr Checks(int w, int h, int cell, uint32_t c1, uint32_t c2) {
    BitmapPtr b = Bitmap::Create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b->SetPixel(x, y, ((x / cell + y / cell) & 1) ? c1 : c2);
    return b;
}

// Soft diagonal stripes, opaque.
BitmapPtr Stripes(int w, int h) {
    BitmapPtr b = Bitmap::Create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double s = 0.5 + 0.5 * std::sin((x + y) * 0.08);
            b->SetPixel(x, y, Argb(255, int(230 * s + 20), int(80 + 100 * (1 - s)), int(200 - 150 * s)));
        }
    return b;
}

// A five-pointed star on a transparent ground.
BitmapPtr Star(int side) {
    BitmapPtr b = Bitmap::Create(side, side);
    const double c = side / 2.0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            double dx = x + 0.5 - c, dy = y + 0.5 - c;
            double ang = std::atan2(dy, dx) + kPi / 2, r = std::hypot(dx, dy) / c;
            double k = std::fmod(ang + 4 * kPi, 2 * kPi / 5) / (2 * kPi / 5);
            // 0.95 at the points, 0.42 in the notches between them.
            double edge = 0.95 - (0.95 - 0.42) * (1 - std::fabs(k - 0.5) * 2);
            if (r < edge) b->SetPixel(x, y, Argb(255, 255, int(200 - 80 * r), 40));
        }
    return b;
}

bool AddBitmapObject(CanvasDocument& scene, Layer& layer, const std::string& id, const std::string& name,
                     const BitmapPtr& picture, float x, float y, float w, float h) {
    std::vector<uint8_t> png;
    if (!picture || !EncodePng(*picture, png)) return false;
    CanvasObject o;
    o.id = id;
    o.name = name;
    o.x = x, o.y = y, o.width = w, o.height = h;
    o.kind = kObjectBitmap;
    ImagePart part;
    part.id = "image_1";
    part.name = name;
    part.source = name + ".png";
    part.encoded = std::move(png);
    part.pixelWidth = float(picture->Width());
    part.pixelHeight = float(picture->Height());
    part.displayWidth = part.pixelWidth;
    part.displayHeight = part.pixelHeight;
    o.parts.push_back(std::move(part));
    o.z = int32_t(layer.objects.size());
    // Objects are kept topmost first.
    layer.objects.insert(layer.objects.begin(), std::move(o));
    (void)scene;
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo OUTPUT.qvk\n");
        return 2;
    }
    CanvasDocument scene;
    scene.width = 1280;
    scene.height = 800;
    scene.canvasColour = 0xFFF4F1EA;

    Layer& back = scene.layers[1];  // "layer_1"
    back.name = "Background";
    bool ok = AddBitmapObject(scene, back, "object_1", "Landscape", Landscape(1200, 720), 40, 40, 1200, 720);

    Layer pictures;
    pictures.id = "layer_2";
    pictures.name = "Pictures";
    pictures.order = 2;
    ok = ok && AddBitmapObject(scene, pictures, "object_2", "Checks", Checks(300, 220, 20, 0xFF2E4A7A, 0xFFE8E0C8),
                               90, 90, 300, 220);
    ok = ok && AddBitmapObject(scene, pictures, "object_3", "Rings", Rings(320), 470, 120, 320, 320);
    ok = ok && AddBitmapObject(scene, pictures, "object_4", "Stripes", Stripes(360, 200), 820, 80, 360, 200);
    ok = ok && AddBitmapObject(scene, pictures, "object_5", "Star", Star(260), 180, 420, 260, 260);
    ok = ok && AddBitmapObject(scene, pictures, "object_6", "Glass", Checks(280, 180, 30, 0xFFFFFFFF, 0xFF60B0E0),
                               880, 460, 280, 180);
    if (!ok) {
        std::fprintf(stderr, "make_demo: a picture could not be made\n");
        return 1;
    }
    auto find = [&](const char* id) -> CanvasObject& {
        for (CanvasObject& o : pictures.objects)
            if (o.id == id) return o;
        return pictures.objects.front();
    };
    find("object_2").rotation = 12;           // rotated
    find("object_3").blendMode = 10;          // Screen
    find("object_4").blendMode = 4;           // Multiply
    find("object_4").rotation = -8;
    find("object_5").blendMode = 15;          // Overlay
    find("object_6").opacity = 0.55f;         // translucent

    // Filter stacks: bevels and shadows, a glow, an inner glow and a hue shift.
    auto addEffect = [](CanvasObject& o, uint8_t type) -> EffectParams& {
        o.effects.push_back(MakeEffectInstance(type));
        return o.effects.back().params;
    };
    addEffect(find("object_2"), kEffectInnerBevel);
    addEffect(find("object_2"), kEffectDropShadow);
    addEffect(find("object_4"), kEffectGlow).Get<GlowParams>()->width = 6;
    addEffect(find("object_5"), kEffectOuterBevel);
    addEffect(find("object_5"), kEffectDropShadow).Get<DropShadowParams>()->softness = 0.05f;
    addEffect(find("object_3"), kEffectInnerGlow).Get<InnerGlowParams>()->width = 14;
    addEffect(find("object_6"), kEffectHueSaturation).Get<HueSaturationParams>()->hue = 150;

    // The rings carry a mask plane: a soft horizontal band is hidden.
    CanvasObject& masked = find("object_3");
    masked.maskWidth = 64;
    masked.maskHeight = 64;
    masked.maskEnabled = true;
    masked.maskPixels.assign(64 * 64, 255);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            double d = std::fabs(y - 31.5) / 10.0;
            masked.maskPixels[size_t(y) * 64 + x] = uint8_t(std::clamp(d, 0.0, 1.0) * 255);
        }

    Layer lights;
    lights.id = "layer_3";
    lights.name = "Light";
    lights.order = 3;
    CanvasObject cone;
    cone.id = "object_7";
    cone.name = "Light Cone";
    cone.kind = kObjectLightCone;
    cone.x = 420, cone.y = 300, cone.width = 520, cone.height = 460;
    cone.blendMode = 10;  // Screen
    cone.opacity = 0.85f;
    cone.lightCone.lightX = -0.25f;
    cone.lightCone.lightY = -0.35f;
    cone.lightCone.targetX = 0.15f;
    cone.lightCone.targetY = 0.3f;
    cone.lightCone.tint = 0xFFFFE6B0;
    cone.lightCone.ambient = 0.0f;
    lights.objects.push_back(cone);

    scene.layers.push_back(std::move(pictures));
    scene.layers.push_back(std::move(lights));
    scene.activeLayerId = "layer_2";

    std::string error;
    if (!SaveProjectFile(argv[1], scene, &error)) {
        std::fprintf(stderr, "make_demo: %s\n", error.c_str());
        return 1;
    }
    // Read it back as the editor will.
    CanvasDocument check;
    if (LoadProjectFile(argv[1], check, &error) != ProjectLoadResult::kLoaded) {
        std::fprintf(stderr, "make_demo: the written project does not read back: %s\n", error.c_str());
        return 1;
    }
    std::printf("Wrote %s\n", argv[1]);
    return 0;
}
