#pragma once
// The canvas view's two canvas-sized surfaces. The scene is split at one
// object (the primary selection, or the lowest selected object in stacking
// order): everything below it is rendered once into the cache surface A, and
// the live surface B is A plus the split object and everything above it,
// recomposed only when the document's change counter moves. Zooming and
// scrolling only rescale B. Both surfaces hold premultiplied BGRA.
#include "platform/CompositeSurface.h"

#include <cstdint>
#include <functional>
#include <string>

class CanvasDocument;
struct CanvasObject;

// Draws one object onto a surface at a scale with the canvas origin at (ox, oy).
using CanvasObjectPainter =
    std::function<void(CompositeSurface& target, CanvasObject& object, float scale, float ox, float oy)>;

// The split object: empty with nothing selected, the primary id with one,
// else the first selected id in drawing order of visible layers and objects.
std::string GetCacheSplitObjectId(const CanvasDocument& scene);

// Calls visit for each visible object of each visible layer, layers by order
// ascending, objects by z ascending (stable for equal keys), until it returns false.
void WalkDrawOrder(CanvasDocument& scene, const std::function<bool(CanvasObject&)>& visit);

class CanvasCompositeCache {
public:
    CompositeSurface cache;  // A
    CompositeSurface live;   // B
    bool cacheValid = false;
    std::string cacheSplit;
    int cacheWidth = 0, cacheHeight = 0;
    bool liveValid = false;
    uint64_t liveCounter = 0;

    // Rebuild statistics.
    int rebuildCount = 0;
    float lastRebuildMs = 0;
    uint64_t lastRebuildTick = 0;  // milliseconds of a steady clock; 0 before the first
    // How often B was recomposed (A copied and the live objects drawn).
    int composeCount = 0;

    // An update notification: hint 1 keeps A; B is always recomposed.
    void OnUpdate(int hint) {
        if (hint != 1) cacheValid = false;
        liveValid = false;
    }

    // Makes A and B current for the scene and change counter; false when the
    // surfaces cannot be had. `skipId` names an object left out of both (the
    // object a pose session shows instead); empty for none.
    bool Prepare(CanvasDocument& scene, uint64_t changeCounter, const CanvasObjectPainter& paint,
                 const std::string& skipId = {});
    // Renders everything below `split` into A at cw x ch.
    void Rebuild(CanvasDocument& scene, int cw, int ch, const std::string& split, const CanvasObjectPainter& paint,
                 const std::string& skipId);
    void Release();
};

// Draws the split object and every visible object above it; nothing when the
// split id is empty.
void ComposeLiveLayers(CanvasDocument& scene, CompositeSurface& target, const std::string& split, float scale,
                       float ox, float oy, const CanvasObjectPainter& paint, const std::string& skipId = {});

// Composites every pixel of the canvas rectangle (x, y, w, h in client
// pixels) that is not opaque over a checkerboard of 8-pixel cells, white in
// the canvas' top-left cell and grey (204) in its neighbours.
void DrawTransparencyChecker(CompositeSurface& surface, float x, float y, float w, float h);

// Milliseconds of a steady clock, never 0.
uint64_t CanvasTickCount();
