#include "app/ShellMetrics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

int PropertiesPaneHeight(int spaceAboveStatusBar, int dpi) {
    const int least = MulDiv(140, dpi, 96);
    const int most = MulDiv(kPropertiesPaneFullHeight, dpi, 96);
    const int spare = spaceAboveStatusBar - MulDiv(kViewHeightBeforePaneGrows, dpi, 96);
    return std::clamp(spare, least, std::max(least, most));
}

WorkspaceLayout ComputeWorkspaceLayout(const RectI& c, int dpi, bool hasStatusBar) {
    const int R = MulDiv(220, dpi, 96);
    const int S = hasStatusBar ? MulDiv(22, dpi, 96) : 0;
    const int B = c.bottom - S;
    const int P = PropertiesPaneHeight(B - c.top, dpi);
    WorkspaceLayout l;
    // The view stops one pixel short of the panes; the black background shows there.
    l.view = {c.left, c.top, c.right - R - c.left - 1, B - P - 1 - c.top};
    l.rightPane = {c.right - R, c.top, R, B - c.top};
    l.propertiesPane = {c.left, B - P, c.right - R - c.left, P};
    l.statusBar = {c.left, B, c.right - c.left, c.bottom - B};
    return l;
}

StatusBarLayout ComputeStatusBarLayout(const RectI& c, int dpi, int w) {
    StatusBarLayout l;
    const int g = MulDiv(16, dpi, 96);
    // The 8 and 6 pixel gaps are fixed, not scaled.
    const int limit = (g > 0 ? c.right - g : c.right) - 8;
    if (w > 0) l.rightText = {limit - w, c.top, limit, c.bottom};
    RectI left{c.left + 8, c.top, w > 0 ? limit - w - 6 : limit, c.bottom};
    if (left.right > left.left) l.leftText = left;
    if (g > 0) {
        const int s = std::max(1, MulDiv(2, dpi, 96));
        const int p = std::max(s + 1, MulDiv(4, dpi, 96));
        const int m = std::max(1, MulDiv(3, dpi, 96));
        for (int r = 0; r < 3; ++r) {
            int y = c.bottom - m - (2 - r) * p;
            for (int k = 0; k <= r; ++k) {
                int x = c.right - m - k * p;
                l.gripDots.push_back({x, y, x + s, y + s});
            }
        }
    }
    return l;
}

bool StatusBarGripHit(const RectI& c, int dpi, int x, int y) {
    const int g = MulDiv(16, dpi, 96);
    return x >= c.right - g && x < c.right && y >= c.bottom - g && y < c.bottom;
}
