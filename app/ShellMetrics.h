#pragma once
// Layout numbers of the shell's windows, computed without a window so that
// they can be checked at any dpi: the workspace's four children, the status
// bar's text boxes and size grip, and the zoom readout's text.
#include "app/RectI.h"
#include "platform/MulDiv.h"

#include <string>
#include <vector>


struct WorkspaceLayout {
    PlaceI view, rightPane, propertiesPane, statusBar;
};
// Places the hosted view, the right pane (220 wide), the properties pane
// (140 high) and the status bar (22 high, 0 when it has no window) in the
// client rectangle; sizes are 96-dpi pixels scaled to dpi.
WorkspaceLayout ComputeWorkspaceLayout(const RectI& client, int dpi, bool hasStatusBar);

struct StatusBarLayout {
    RectI rightText;  // empty when there is no right text
    RectI leftText;   // empty when there is no room
    std::vector<RectI> gripDots;
};
// The boxes of the status bar's two texts and the dots of its size grip.
// rightTextWidth is the measured width of the right text (0 when empty).
StatusBarLayout ComputeStatusBarLayout(const RectI& client, int dpi, int rightTextWidth);
// True when the point lies in the grip square of the bottom-right corner.
bool StatusBarGripHit(const RectI& client, int dpi, int x, int y);

// The zoom readout's text: "%d%%" of truncate(zoom * 100 + 0.001).
std::string ZoomReadoutText(float zoom);
// The zoom readout menu's presets, in order; "Fit to View" is id 9999.
const std::vector<int>& ZoomPresets();
constexpr int kZoomFitCommand = 9999;
// True when the preset is the zoom rounded to the nearest percent.
bool ZoomPresetChecked(int preset, float zoom);
