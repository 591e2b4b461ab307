#pragma once
// The icon toolbar's buttons without a window: the descriptors owners hand
// over, the toolbar's own record of each button, which buttons a collapsed
// group hides, where each shown entry goes in the row, and the tooltip texts.
#include "platform/PolygonIcon.h"
#include "platform/RectI.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct CToolbarButtonFace {
    int commandId = 0;  // 0 sends nothing
    std::string imageName;
    int imageSource = 1;  // 0 resource, 1 file in the icon folder, 2 polygon
    const PolygonTable* polygon = nullptr;  // source 2, and the stand-in when a file fails
    int64_t tint = -1;    // 0xRRGGBB; -1 the theme's default
    std::string text;     // tooltip title
    std::string tooltip;  // tooltip text
    std::string caption;  // drawn beside the icon in display mode 2
    bool visible = true;
    bool enabled = true;
    bool checked = false;
    int displayMode = 0;  // 0 icon, 1 icon with a minimum width, 2 icon and caption
    int minimumWidth = 0;
};

struct CToolbarButtonGroup {
    int commandId = 0;
    std::string imageName;
    int imageSource = 1;
    const PolygonTable* polygon = nullptr;
    int64_t tint = -1;
    std::string text;
    std::string tooltip;
    bool visible = true;
    bool enabled = true;
    int displayMode = 0;
    int minimumWidth = 0;
    int groupCount = 0;                // entries after the group hidden while collapsed
    std::vector<int> hiddenCommandIds;  // or, when not empty, the buttons with these ids
};

struct CToolbarButtonDesc {
    enum Kind { Button = 0, Separator = 1, Group = 2, Label = 3 };
    int kind = Button;
    CToolbarButtonFace face;
    int separatorWidth = 8;
    CToolbarButtonGroup group;
    bool initiallyExpanded = true;
    std::string labelText;
    bool labelVisible = true;
    int labelMinimumWidth = 0;

    static CToolbarButtonDesc Command(int id, const std::string& icon, const std::string& text = {},
                                      const std::string& tooltip = {});
    static CToolbarButtonDesc MakeSeparator(int width);
    static CToolbarButtonDesc MakeLabel(const std::string& text, int minimumWidth);
};

struct ToolbarButtonEntry {
    CToolbarButtonDesc desc;
    RectI rect;  // empty when not shown
    bool enabled = true;
    bool checked = false;
    bool expanded = true;
    std::string tipTitle, tipText;

    bool IsButton() const { return desc.kind == CToolbarButtonDesc::Button || desc.kind == CToolbarButtonDesc::Group; }
    int CommandId() const { return desc.kind == CToolbarButtonDesc::Group ? desc.group.commandId : desc.face.commandId; }
};

// The entry for a descriptor, with its tooltip texts: empty ones come from
// the command's string (prompt, line feed, tip) looked up by id.
ToolbarButtonEntry MakeToolbarEntry(const CToolbarButtonDesc& d,
                                    const std::function<std::string(int)>& commandString);

// Which entries take part in the layout.
std::vector<bool> ToolbarShownEntries(const std::vector<ToolbarButtonEntry>& entries);

// Places every shown entry in one row of a width x height client (sizes at
// 96 dpi scaled to dpi); iconWidth gives the width of an entry's icon at a
// height (0 without one), textWidth a text's width in the toolbar's font.
void LayoutToolbar(std::vector<ToolbarButtonEntry>& entries, int width, int height, int dpi,
                   const std::function<int(const ToolbarButtonEntry&, int)>& iconWidth,
                   const std::function<int(const std::string&)>& textWidth);

// The index of the first shown button (or group) at the point, -1 when none.
int ToolbarHitTest(const std::vector<ToolbarButtonEntry>& entries, int x, int y);
