#pragma once
// The live display compositor: the canvas colour, then every visible object
// in drawing order onto a premultiplied composite surface.
#include "platform/CompositeSurface.h"
#include "scene/ObjectRender.h"

#include <string>

// What the compositor needs of an open paint session: it shows the session's
// working pixels in place of the object being painted.
class ScenePaintSession {
public:
    virtual ~ScenePaintSession() = default;
    virtual bool IsActive() const = 0;
    virtual const std::string& PaintedObjectId() const = 0;
    virtual int CanvasWidth() const = 0;
    virtual int CanvasHeight() const = 0;
    // Draws the working pixels into (x, y, w, h); `plain` draws them at full
    // opacity, otherwise with the object's blend mode and opacity.
    virtual void DrawLayer(CompositeRenderer& renderer, CompositeSurface& surface, CanvasObject& object, float x,
                           float y, float w, float h, bool plain) = 0;
    // Objects above the painted one that painting keeps out of sight; the
    // model's visible flags are never changed for it.
    virtual bool HidesObject(const std::string& id) const {
        (void)id;
        return false;
    }
};

// Composes the scene onto the surface; nothing when the surface has no pixels.
void sceneRender(CompositeSurface& surface, CanvasDocument& scene, ScenePaintSession* session);
