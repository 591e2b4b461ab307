#pragma once
// The object transform frame: the dashed frame with eight resize handles and
// a rotation handle drawn around the selected object or group, and the hit
// test that turns a client point into the handle under it. Sizes are client
// pixels at any zoom; angles are degrees about the pivot.
#include "platform/Raster.h"

#include <cstdint>

struct TransformHandleStyle {
    float margin = 14.0f;          // the frame lies this far outside the rectangle
    float cornerRadius = 6.0f;     // corner handles are circles
    float edgeLength = 22.0f;
    float edgeThickness = 8.0f;
    float rotationRadius = 7.0f;
    float rotationStem = 34.0f;    // the rotation handle sits this far above the top edge
    uint32_t frameColour = 0xFF5693CF;
    uint32_t handleOutline = 0xFF40A2DC;
    uint32_t frameGap = 0xFFFFFFFF;
    uint32_t handleFill = 0xFFFFFFFF;
};

enum TransformHandle : int {
    kHandleNone = 0,
    kHandleInside = 1,
    kHandleTopLeft = 2,
    kHandleTop = 3,
    kHandleTopRight = 4,
    kHandleRight = 5,
    kHandleBottomRight = 6,
    kHandleBottom = 7,
    kHandleBottomLeft = 8,
    kHandleLeft = 9,
    kHandleRotate = 10,
};

struct FrameRect {
    float x = 0, y = 0, width = 0, height = 0;
    float CentreX() const { return x + width / 2; }
    float CentreY() const { return y + height / 2; }
};

// The frame around a rectangle: grown by the style's margin on every side.
FrameRect TransformFrameOf(const TransformHandleStyle& s, const FrameRect& r);

// The drawn handle boxes of an unrotated frame (index = TransformHandle, 2..10;
// 0 and 1 unused): what DrawObjectTransformFrame paints.
struct HandleBoxes {
    FrameRect box[11];
};
HandleBoxes DrawnHandleBoxes(const TransformHandleStyle& s, const FrameRect& frame);

// The handle under client point (qx, qy) for the rectangle turned by angle
// degrees about the pivot (the frame's centre when hasPivot is false).
// Rotation wins over corners, corners over edges, edges over inside; every
// pick box is larger than what is drawn and includes its edges.
TransformHandle HitTestObjectHandles(float qx, float qy, const TransformHandleStyle& s, const FrameRect& r,
                                     float angleDeg, bool hasPivot = false, float px = 0, float py = 0);

// The resize cursor for a handle whose frame is turned by angleDeg: 0 we,
// 1 nwse, 2 ns, 3 nesw; -1 for handles that are not resize handles.
int ResizeCursorFor(int handle, float angleDeg);
