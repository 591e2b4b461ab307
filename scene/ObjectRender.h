#pragma once
// Drawing one object onto a composite surface: the per-object pipeline (base
// image, warp, mask plane, filters) with each stage cached on the object, the
// rotated draw with opacity, and the blended or clipped draw through a
// temporary layer bitmap. Bitmaps are straight BGRA; the surface is premultiplied.
#include "platform/Bitmap.h"
#include "platform/CompositeSurface.h"
#include "platform/Raster.h"
#include "scene/CanvasObject.h"

#include <string>
#include <vector>

class CanvasDocument;
class ScenePaintSession;

// Set by the canvas view while a resize handle is dragged: objects with a
// light cone, filters or a warp then reuse their frozen images, stretched.
extern bool ScaleDragActive;

// One entry of the draw list: an object and the order of its layer.
struct Drawable {
    CanvasObject* object = nullptr;
    int32_t layerOrder = 0;
};

// Draws onto one surface with a world transform, bicubic filtering and
// anti-aliased edges. A draw that fails sets `failed` and drawing goes on;
// an object left out or drawn incomplete (its image, warp, mask or blend
// layer could not be made) also leaves `failure`, a sentence naming the
// first such object, so a picture with an object missing is never taken for
// a complete one.
class CompositeRenderer {
public:
    explicit CompositeRenderer(CompositeSurface& surface);

    RasterTarget target;
    Affine world;
    Interpolation interpolation = Interpolation::Bicubic;
    bool antiAlias = true;
    bool failed = false;
    std::string failure;
    // Records that the object could not be drawn whole; text says why (by
    // default ObjectRenderFailureText).
    void NoteFailure(const CanvasObject& object, const std::string& text = {});

    // Draws the object through its whole pipeline. A clipped object draws
    // only where `base` covers it, and nothing without a base.
    void DrawObject(CompositeSurface& surface, CanvasObject& object, CanvasObject* base);
    // Visible objects of visible layers, by layer order, then z.
    static std::vector<Drawable> CollectDrawables(CanvasDocument& scene);
    // The live composite of the whole scene, showing the session's pixels in
    // place of the object it paints.
    void RenderForSession(CompositeSurface& surface, CanvasDocument& scene, ScenePaintSession* session);
};

// Draws the whole bitmap into (x, y, w, h) under the renderer's world
// transform, its alpha scaled by the opacity clamped to [0, 1].
void DrawBitmapWithOpacity(CompositeRenderer& renderer, const Bitmap& bitmap, float x, float y, float w, float h,
                           float opacity);
// The same into the parallelogram given by its upper-left, upper-right and lower-left corners.
void DrawBitmapToPoints(CompositeRenderer& renderer, const Bitmap& bitmap, PointF upperLeft, PointF upperRight,
                        PointF lowerLeft, float opacity);

// Scales the target's alpha by the base object's coverage under the base's
// rotation and warp; target pixel (0, 0) lies at canvas (originX, originY).
// False when the base yields no coverage at all (no image, empty image): the
// clipped object must then not be drawn.
bool ApplyClipBaseAlpha(Bitmap& target, float originX, float originY, CanvasObject& base);

// "object name" in quotes (the id when it has no name), for messages.
std::string ObjectLabel(const CanvasObject& object);
// Why the object's image could not be made or drawn, naming the object: its
// size, an image part too large to draw, or memory.
std::string ObjectRenderFailureText(const CanvasObject& object);
// The warning for a scene with objects holding image bytes that cannot be
// decoded (damaged, or a format the program does not read); empty when there
// are none. Decodes each part not decoded yet; with keepShownImages the
// images the display shows stay decoded for it, otherwise only the verdicts
// on undecodable bytes stay.
std::string UnshowableObjectsWarning(CanvasDocument& scene, bool keepShownImages = false);

// The object's base image warped through its quad, from the warp cache when
// it was made from the same quad and base bitmap; null when the warp fails.
BitmapPtr GetWarpBitmap(CanvasObject& object, const BitmapPtr& baseBitmap);
