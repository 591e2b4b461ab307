#pragma once
// Layout numbers of the shell's windows, computed without a window so that
// they can be checked at any dpi: the workspace's four children, the status
// bar's text boxes and size grip.
#include "platform/MulDiv.h"
#include "platform/RectI.h"

#include <string>
#include <vector>


struct WorkspaceLayout {
    PlaceI view, rightPane, propertiesPane, statusBar;
};
// The properties pane is 140 high in a workspace of ordinary height. Where
// the view keeps kViewHeightBeforePaneGrows pixels, the pane takes the height
// beyond that, up to the height at which a brush tab shows five preset rows
// (tab strip 24, grid margins 6 + 6, rows of 52): a tall screen shows more
// of every list in the tabs without shrinking the canvas much.
inline constexpr int kPropertiesPaneFullHeight = 24 + 6 + 5 * 52 + 6;
inline constexpr int kViewHeightBeforePaneGrows = 540;
// The pane's height for the height between the workspace's top and the status
// bar, in 96-dpi pixels scaled to dpi.
int PropertiesPaneHeight(int spaceAboveStatusBar, int dpi);

// Places the hosted view, the right pane (220 wide), the properties pane
// (PropertiesPaneHeight) and the status bar (22 high, 0 when it has no window)
// in the client rectangle; sizes are 96-dpi pixels scaled to dpi.
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
