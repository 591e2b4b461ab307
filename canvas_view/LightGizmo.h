#pragma once
// The Light tool's gizmo on a light cone: where its light position, target
// and cone-angle handles lie on screen, which handle a press takes, and how a
// drag of each handle changes the cone's parameters.
#include "scene/CanvasObject.h"

#include <cstdint>

struct LightGizmoGeometry {
    float lightX = 0, lightY = 0;
    float targetX = 0, targetY = 0;
    float thirdX = 0, thirdY = 0;
    float lineX[4] = {}, lineY[4] = {};
    float ellipseX = 0, ellipseY = 0, ellipseW = 0, ellipseH = 0;
    bool coneShown = false;
};

// How the gizmo looks and how near a press must come to a handle (client
// pixels; colours 0xAARRGGBB).
struct LightGizmoStyle {
    float handleRadius = 7.0f;
    float pickRadius = 11.0f;
    uint32_t positionFill = 0xFFFFDC8C, positionOutline = 0xFFC87800;
    uint32_t targetFill = 0xFFFFFFFF, targetOutline = 0xFF5693CF;
    uint32_t lightLine = 0xFFFFC878;
    uint32_t coneEllipseDash = 0xFFFFDC8C, coneEllipseGap = 0xEBFFFFFF;
    uint32_t coneLineDash = 0xFFFFDC8C, coneLineGap = 0xEBFFFFFF;
    uint32_t thirdFill = 0xFFDCF0C8, thirdOutline = 0xFFBEDC8C;
};

LightGizmoGeometry ComputeLightGizmo(const CanvasObject& o, float zoom, float originX, float originY);

// 2 target, 1 light position, 3 cone angle (only with the cone shown), 0 none;
// tested in that order within radius pixels.
int PickLightHandle(const LightGizmoGeometry& g, float px, float py, float radius);

// The parameters after dragging handle `mode` to (lx, ly): the pointer
// relative to the object's centre in its unrotated frame; w and h at least 1.
LightConeParams ApplyLightDrag(const LightConeParams& p, int mode, float lx, float ly, float w, float h);
