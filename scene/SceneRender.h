#pragma once
// The live display compositor: the canvas colour, then every visible object
// in drawing order onto a premultiplied composite surface.
#include "platform/CompositeSurface.h"
#include "scene/ObjectRender.h"
#include "scene/SceneCompose.h"

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
// False when an object could not be drawn whole (see CompositeRenderer):
// error then names it, and the picture must not be passed off as complete.
bool sceneRender(CompositeSurface& surface, CanvasDocument& scene, ScenePaintSession* session,
                 std::string* error = nullptr);

// The picture sceneRender draws of the whole scene (filters, warps, every
// blend mode, clips), as straight B, G, R, A in the output: what the canvas
// shows, for the files written from it. Drawn in place when the output's rows
// are tight, so it needs no canvas-sized buffer beyond the output; the render
// caches it builds are let go object by object, those there before are kept.
// False when the picture could not be made whole (an object on the output
// whose image cannot be made, memory, an unusable output); `error` then says
// why, naming the object, and the output must not be used.
bool RenderSceneImage(CanvasDocument& scene, const ComposeOutput& out, std::string* error = nullptr);
