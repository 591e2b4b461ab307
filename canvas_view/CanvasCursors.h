#pragma once
// The canvas view's own cursor pictures, drawn from polygon icons so that no
// picture file is needed: the eyedropper shown by the Eyedropper tool and by
// the brushes that pick a colour while Alt is down.
#include "platform/Bitmap.h"
#include "platform/PolygonIcon.h"

constexpr int kCursorSide = 32;
// The pipette's tip, the pixel that picks.
constexpr int kEyedropperHotX = 13, kEyedropperHotY = 17;

// The pipette as two polygon tables on a 32 x 32 square: its outline (drawn
// black) and its body (drawn white over the outline).
const PolygonTable& EyedropperOutlineShape();
const PolygonTable& EyedropperBodyShape();

// The 32 x 32 monochrome eyedropper: every pixel opaque black, opaque white
// or fully transparent (B, G, R, A bytes). Null when it cannot be drawn.
BitmapPtr BuildEyedropperCursorBitmap();
