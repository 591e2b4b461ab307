#pragma once
// What the zoom readout shows and offers, kept apart from its window so that
// it is checked without a display.
#include <string>
#include <vector>

// The zoom readout's text: "%d%%" of truncate(zoom * 100 + 0.001).
std::string ZoomReadoutText(float zoom);
// The zoom readout menu's presets, in order; "Fit to View" is id 9999.
const std::vector<int>& ZoomPresets();
constexpr int kZoomFitCommand = 9999;
// True when the preset is the zoom rounded to the nearest percent.
bool ZoomPresetChecked(int preset, float zoom);
