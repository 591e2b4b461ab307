#pragma once
// The software scene compositor: every output pixel computed in floats,
// straight alpha, by inverse-rotating it into each object and compositing
// with the blend-mode formulas. It shows each object's base image with its
// mask plane, opacity, rotation, blend mode and clip base; no warp, filters,
// Dissolve dither or Photo-Bash blur (those two modes act as Normal here).
//
// When every object's image is already cached (the display has drawn the
// scene), the output is composed band by band through all objects, with no
// canvas-sized float buffer. Otherwise objects are composed one after
// another into a float accumulator; the render caches a composition builds
// for an object (its base image, its decoded parts) are dropped once the
// object and any object clipped to it are done, so it holds the canvas-sized
// buffers plus one object's images at a time. Caches that existed before are
// left as they were. Both ways give the same bytes.
#include "scene/CanvasObject.h"

#include <cstdint>
#include <string>
#include <vector>

class CanvasDocument;

// An object's base image as straight float R, G, B, A, row after row.
struct FloatImage {
    std::vector<float> pixels;
    int32_t width = 0, height = 0;
    float offsetX = 0, offsetY = 0;
    float objectWidth = 0, objectHeight = 0;

    struct Sample {
        float r = 0, g = 0, b = 0, a = 0;
    };
    // Bilinear with pixel k's centre at k + 0.5; texels outside count as
    // transparent. Colours are weighted by alpha, so transparent texels do
    // not bleed their colour.
    Sample SampleBilinear(float x, float y) const;
};

// The image written: 8-bit B, G, R, A, straight alpha.
struct ComposeOutput {
    uint8_t* pixels = nullptr;
    int32_t width = 0, height = 0;
    int64_t rowPitch = 0;
};

// Composes the visible objects of the visible layers in drawing order over
// the canvas colour. False when the image could not be made whole (an object
// that touches the output could not be rendered, memory ran out, the output
// is unusable); `error` then says why and the output must not be used.
bool scene_compose(CanvasDocument& scene, const ComposeOutput& out, std::string* error = nullptr);
// Composes the objects, in the order given, over the canvas colour (ARGB);
// the output's top-left pixel lies at canvas (originX, originY). Fails as
// scene_compose does, also for an empty output or one beyond the bitmap caps
// or with too small a pitch.
bool SceneComposeLayers(const std::vector<CanvasObject*>& objects, uint32_t canvasColour, float originX,
                        float originY, const ComposeOutput& out, std::string* error = nullptr);
// The plain per-pixel form of SceneComposeLayers over float object images:
// the reference the vector path must match byte for byte.
bool SceneComposeLayersReference(const std::vector<CanvasObject*>& objects, uint32_t canvasColour, float originX,
                                 float originY, const ComposeOutput& out, std::string* error = nullptr);
