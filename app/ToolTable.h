#pragma once
// The tools of the vertical tool strip for each workspace mode, and the
// strip's and flyout's geometry, without a window.
#include "platform/RectI.h"
#include "platform/PolygonIcon.h"

#include <cstdint>
#include <string>
#include <vector>

struct ToolItem {
    uint32_t commandId = 0;
    std::string icon;           // file name in the icon folder, e.g. "arrow.png"
    int imageSource = 1;        // 1 file, 0 resource, 2 built-in polygon
    const PolygonTable* polygon = nullptr;  // source 2, and the stand-in when a file does not load
    int64_t tint = -1;          // 0xRRGGBB; -1 picks one that shows on the background
    std::string name;           // button name, tooltip title, flyout label
    std::string description;    // tooltip text
    bool queryState = true;     // ask the command table for enabled and checked
    bool enabled = true;        // used when nobody answers
    bool checked = false;
};

struct ToolFlyoutItem : ToolItem {
    std::string label;
};
ToolFlyoutItem MakeToolItem(uint32_t id, const std::string& icon, const std::string& name, const std::string& description);

struct ToolStripEntry {
    int kind = 0;  // 1 group heading, 0 tool
    std::string heading;
    ToolItem head;
    std::vector<ToolFlyoutItem> flyout;
    int selected = -1;  // flyout item shown on the button; -1 the head
    const ToolItem& Displayed() const {
        return selected >= 0 && selected < int(flyout.size()) ? flyout[size_t(selected)] : head;
    }
};

// The strip's entries for a workspace mode (0 canvas, 1 Pose Editor, 2
// inpaint); any other mode gives a single Move tool.
std::vector<ToolStripEntry> ToolStripEntriesForMode(int mode);

struct ToolStripBox {
    RectI button;
    RectI mark;  // flyout triangle; empty without a flyout
};
// Two columns of side x side buttons under their headings; sizes at 96 dpi
// scaled to dpi; buttonSize is limited to 33.
std::vector<ToolStripBox> LayoutToolStrip(const std::vector<ToolStripEntry>& entries, int clientWidth,
                                          int buttonSize, int dpi);

// The height the laid-out strip needs: its lowest box plus the bottom padding.
int ToolStripContentHeight(const std::vector<ToolStripBox>& boxes, int dpi);

// A strip taller than its pane scrolls: the offset kept within [0, content -
// view], and the thumb of the thin bar along the pane's right edge (empty when
// everything fits).
struct ToolStripScroll {
    int offset = 0;
    RectI thumb;
};
ToolStripScroll ScrollToolStrip(int wantedOffset, int contentHeight, int viewWidth, int viewHeight, int dpi);

// The flyout's screen rectangle beside the button, kept inside the work area.
RectI PlaceToolFlyout(const RectI& button, int width, int height, const RectI& workArea);
// Flyout rows are 32 high below a 1-pixel border.
int ToolFlyoutRowAt(int y, int count);
// Up and Down in the flyout, wrapping; hover -1 is no hover.
int ToolFlyoutStep(int hover, int count, bool down);

// The colour a polygon icon is drawn in when its tint is -1: light on a dark
// background (luma below 140), dark on a light one.
uint32_t DefaultIconTint(uint32_t backgroundRgb);
