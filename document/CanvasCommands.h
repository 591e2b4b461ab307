#pragma once
// The canvas-wide commands' conversions between the scene and the "Set
// Canvas" dialog, kept apart from the handlers so they can be checked alone.
#include "document/DialogProvider.h"

#include <cstdint>

// The dialog's starting values for a canvas of that size and colour
// (0xAARRGGBB): alpha 0 opens on Transparent, opaque or translucent white on
// White, anything else on Custom with the colour's red, green and blue.
CanvasSizeDialogValues CanvasSizeDialogFromScene(float width, float height, uint32_t argb);

// The canvas colour the dialog's choice stands for.
uint32_t CanvasColourFromDialog(const CanvasSizeDialogValues& values);

// Nearest integer, clamped to 1 .. the largest bitmap side.
int32_t CanvasSide(double value);
