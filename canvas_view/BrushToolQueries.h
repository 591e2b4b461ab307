#pragma once
// What the canvas view reads of the brush settings, kept out of its windowed
// code (the settings' names clash with the window kit's keywords).

// The stroke diameter of the tool's brush in canvas pixels.
float BrushSizeForTool(int toolId);
// The clone brushes sample every visible layer ("All Layers").
bool CloneSamplesAllLayers();
