#include "canvas_view/BrushToolQueries.h"

#include "brushes/BrushSettings.h"

float BrushSizeForTool(int toolId) { return BuildStrokeParams(toolId).size; }

bool CloneSamplesAllLayers() { return GetBrushToolOptions().allLayers; }
