#include "canvas_view/CanvasObjectDraw.h"

#include "scene/CanvasDocument.h"
#include "scene/ObjectRender.h"

CanvasObjectPainter MakeCanvasObjectPainter(CanvasDocument& scene) {
    return [&scene](CompositeSurface& target, CanvasObject& o, float s, float ox, float oy) {
        if (!o.visible || !(o.opacity > 0)) return;
        CanvasObject* base = nullptr;
        if (o.clipToLayerBelow) {
            base = scene.FindObjectBelow(o);
            if (!base) return;
        }
        // The scene's own object drawing, with the view's scale and origin as
        // the world transform.
        CompositeRenderer renderer(target);
        renderer.world = Affine{s, 0, 0, s, ox, oy};
        renderer.DrawObject(target, o, base);
    };
}
