// Setting an object's placement: rounding to whole pixels, confining the
// rotated outline to the canvas or placement area, rescaling filters when the
// size changes, and dropping or queueing the render caches.
#include "filters/EffectRegistry.h"
#include "scene/CanvasDocument.h"
#include "scene/ObjectGeometry.h"

#include <algorithm>
#include <cmath>

namespace {

// Nearest integer, halves away from zero.
float RoundHalfAway(float v) { return std::round(v); }

// Shift along one axis that brings [minV, minV + extent] inside the area, or
// centres it when it is larger than the area.
float AxisShift(float areaPos, float areaSize, float minV, float extent) {
    const float size = std::max(areaSize, 1.0f);
    if (size >= extent) {
        if (areaPos > minV) return areaPos - minV;
        if (minV + extent > areaPos + areaSize) return (areaPos + areaSize) - (minV + extent);
        return 0;
    }
    return (areaPos + size / 2) - (minV + extent / 2);
}

}  // namespace

ObjectTransform ClampRotatedRect(const ObjectTransform& t, float areaX, float areaY, float areaW, float areaH) {
    const float w1 = std::max(t.width, 1.0f);
    const float h1 = std::max(t.height, 1.0f);
    const float cx = t.x + w1 / 2;
    const float cy = t.y + h1 / 2;
    const float a = t.rotation * 3.1415927f / 180.0f;
    const float c = std::cos(a);
    const float s = std::sin(a);
    const float px[4] = {t.x, t.x + w1, t.x + w1, t.x};
    const float py[4] = {t.y, t.y, t.y + h1, t.y + h1};
    float minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (int i = 0; i < 4; ++i) {
        const float X = (px[i] - cx) * c - (py[i] - cy) * s + cx;
        const float Y = (px[i] - cx) * s + (py[i] - cy) * c + cy;
        if (i == 0) {
            minX = maxX = X;
            minY = maxY = Y;
        } else {
            minX = std::min(minX, X);
            maxX = std::max(maxX, X);
            minY = std::min(minY, Y);
            maxY = std::max(maxY, Y);
        }
    }
    const float dx = AxisShift(areaX, areaW, minX, maxX - minX);
    const float dy = AxisShift(areaY, areaH, minY, maxY - minY);
    return ObjectTransform{t.x + dx, t.y + dy, w1, h1, t.rotation, t.opacity};
}

bool CanvasDocument::SetObjectTransform(const std::string& objectId, const ObjectTransform& in) {
    CanvasObject* o = FindObject(objectId);
    if (!o) return false;

    ObjectTransform t = in;
    if (!(t.opacity < 1)) t.opacity = 1;  // also a NaN
    if (t.opacity < 0) t.opacity = 0;
    // Non-finite values would become undefined integers when drawn: keep the
    // old position, take 1 for a size and 0 for a rotation instead.
    if (!std::isfinite(t.x)) t.x = std::isfinite(o->x) ? o->x : 0;
    if (!std::isfinite(t.y)) t.y = std::isfinite(o->y) ? o->y : 0;
    if (!std::isfinite(t.rotation)) t.rotation = 0;
    t.x = RoundHalfAway(t.x);
    t.y = RoundHalfAway(t.y);
    t.width = WholeObjectSide(t.width);
    t.height = WholeObjectSide(t.height);

    if (o->kind != kObjectLightCone) {
        if (hasPlacementArea)
            t = ClampRotatedRect(t, placementX, placementY, placementWidth, placementHeight);
        else
            t = ClampRotatedRect(t, 0, 0, std::max(width, 1.0f), std::max(height, 1.0f));
    }

    const float oldWidth = o->width;
    const float oldHeight = o->height;
    o->x = t.x;
    o->y = t.y;
    o->width = t.width;
    o->height = t.height;
    o->rotation = t.rotation;
    o->opacity = t.opacity;

    // A NaN old size compares unequal, which counts as a change.
    if (!(t.width == oldWidth) || !(t.height == oldHeight)) {
        // The filters' sizes follow the square root of the area ratio.
        const float s = std::sqrt((std::max(t.height, 1.0f) / std::max(oldHeight, 1.0f)) *
                                  (std::max(t.width, 1.0f) / std::max(oldWidth, 1.0f)));
        if (std::isfinite(s) && s > 0 && std::fabs(s - 1.0f) > 0.0001f) {
            for (EffectInstance& e : o->effects) ScaleEffectParams(e, s);
        }
        if (!deferInvalidation || !o->HasCostlyRender()) {
            o->InvalidateCaches();
        } else if (std::find(pendingInvalidations.begin(), pendingInvalidations.end(), objectId) ==
                   pendingInvalidations.end()) {
            pendingInvalidations.push_back(objectId);
        }
    }

    if (observer) observer(objectId);
    return true;
}
