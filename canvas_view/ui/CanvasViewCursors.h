#pragma once
// The canvas view's custom cursors as window cursors.
#include <QCursor>

// The monochrome eyedropper with its hot spot on the pipette's tip; the cross
// when its picture cannot be made.
const QCursor& EyedropperCursor();
