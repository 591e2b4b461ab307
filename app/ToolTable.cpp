#include "app/ToolTable.h"

#include "app/IconShapes.h"
#include "platform/MulDiv.h"

#include <algorithm>

ToolFlyoutItem MakeToolItem(uint32_t id, const std::string& icon, const std::string& name,
                            const std::string& description) {
    ToolFlyoutItem t;
    t.commandId = id;
    t.icon = icon;
    t.polygon = BuiltInIcon(icon);
    t.name = name;
    t.description = description;
    t.label = name;
    return t;
}

namespace {
struct Table {
    std::vector<ToolStripEntry> entries;
    void Group(const char* text) {
        ToolStripEntry e;
        e.kind = 1;
        e.heading = text;
        entries.push_back(std::move(e));
    }
    void Tool(uint32_t id, const char* icon, const char* name, const char* description) {
        ToolStripEntry e;
        e.head = MakeToolItem(id, icon, name, description);
        entries.push_back(std::move(e));
    }
    void Flyout(std::vector<ToolFlyoutItem> items) {
        ToolStripEntry e;
        e.head = items.front();
        e.flyout = std::move(items);
        entries.push_back(std::move(e));
    }
};

void BitmapGroup(Table& t) {
    t.Group("Bitmap");
    t.Tool(32817, "paintbrush.png", "Paint Brush", "Paint color and alpha onto the selected Bitmap");
    t.Flyout({MakeToolItem(32818, "mixer.png", "Mixer Brush", "Wet paint that picks up and redistributes color from the canvas"),
              MakeToolItem(32819, "blendbrush.png", "Blend Brush",
                           "Smear-only mixer \u2014 redistributes existing paint without adding foreground color"),
              MakeToolItem(32820, "smudge.png", "Smudge Brush", "Finger-smear: drag a patch of canvas through itself"),
              MakeToolItem(32857, "recolor.png", "Recolor Brush",
                           "Replace pixel chroma with the foreground colour while preserving luminance")});
    t.Flyout({MakeToolItem(32821, "clonebrush.png", "Clone Brush",
                           "Alt-click to set a source point, then paint to stamp pixels from there"),
              MakeToolItem(32856, "healclone.png", "Healing Clone Brush",
                           "Like Clone, but each dab seamlessly blends source tone into the destination")});
    t.Tool(32827, "eraser.png", "Eraser", "Erase pixels from the selected Bitmap (alpha reduction)");
    t.Tool(32873, "kitbash.png", "Stencil Kitbash", "Pick a part from the library, position with the gizmo, then paint to imprint");
}

void SelectionFlyouts(Table& t) {
    t.Group("Selection");
    t.Flyout({MakeToolItem(32822, "sel_rect.png", "Rectangle Marquee", "Select a rectangular region"),
              MakeToolItem(32823, "sel_circle.png", "Ellipse Marquee", "Select an elliptical region"),
              MakeToolItem(32832, "sel_circle_center.png", "Ellipse From Center",
                           "Drag from the ellipse's center point outward")});
    t.Flyout({MakeToolItem(32824, "sel_poly.png", "Polygon Lasso",
                           "Click to lay down vertices of a straight-edge selection; double-click or close to finish"),
              MakeToolItem(32825, "sel_laso.png", "Freehand Lasso", "Drag to trace a freehand selection boundary"),
              MakeToolItem(32831, "sel_curve.png", "Curve Lasso",
                           "Click to lay down control points; a smooth curve is fitted through them on close")});
    t.Tool(32826, "magicwand.png", "Magic Wand", "Select contiguous regions of similar color");
}
}  // namespace

std::vector<ToolStripEntry> ToolStripEntriesForMode(int mode) {
    Table t;
    if (mode == 0) {
        t.Group("Select");
        t.Tool(32789, "arrow.png", "Move Tool", "Select, move, resize and rotate objects on the canvas");
        t.Tool(32848, "arrow2.png", "Vector Edit", "Edit bezier handles and control points on vector objects");
        t.Tool(32808, "skew.png", "Skew", "Shear the selected object along its axes");
        t.Tool(32809, "distort.png", "Distort", "Drag the four corners of the selected object to distort it");
        t.Group("Pose");
        t.Tool(32805, "movebone.png", "Pose Tool", "Pose the selected posable object directly on the canvas");
        t.Tool(32792, "poseeditor.png", "Open Pose Editor",
               "Open the selected object in the Pose Editor to rig bones and sub-parts");
        BitmapGroup(t);
        SelectionFlyouts(t);
        t.Tool(32849, "objectselect.png", "Object Selection...",
               "Open the Object Selection view to refine the selection on the active object");
        t.Group("Mask");
        t.Tool(32833, "mask_paint.png", "Paint Mask", "Paint onto the layer mask to reveal pixels");
        t.Tool(32834, "mask_erase.png", "Erase Mask", "Paint onto the layer mask to hide pixels");
        t.Group("Light");
        t.Tool(32816, "light.png", "Light Tool", "Select and manipulate the selected light cone's 3D gizmo");
        t.Tool(32814, "addlight.png", "Add Light", "Insert a new light cone at the centre of the canvas");
        t.Group("Color");
        t.Tool(32872, "colorpick.png", "Eyedropper", "Pick a colour from anywhere on screen");
    } else if (mode == 1) {
        t.Group("Select");
        t.Tool(32789, "arrow.png", "Move Tool", "Select, move, resize and rotate items in the posable editor");
        t.Tool(32872, "colorpick.png", "Eyedropper", "Pick a colour from anywhere on screen");
        t.Group("Rigging");
        t.Tool(32795, "movebone.png", "Select/Move Joint", "Select and reposition Joint of bone");
        t.Tool(32794, "addbone.png", "Add Bone", "Create a bone or extend a new bone from an existing bone");
        t.Tool(32796, "linkjoints.png", "Link Joints", "Link two joints across different objects");
        BitmapGroup(t);
        SelectionFlyouts(t);
    } else if (mode == 2) {
        t.Group("Source");
        t.Tool(32861, "paintbrush.png", "Add to Source",
               "Paint the region where the algorithm IS allowed to sample patches from");
        t.Tool(32862, "eraser.png", "Remove from Source", "Paint to exclude regions from the source-sampling area");
        t.Tool(32863, "brushall.png", "Select All as Source",
               "Mark the entire object footprint (minus the destination selection) as allowed source \u2014 the Auto preset");
        t.Tool(32864, "clearbrush.png", "Clear Source",
               "Clear the source mask entirely \u2014 start blank and dab in only the regions you want");
    } else {
        t.Tool(32789, "arrow.png", "Move Tool", "Select, move, resize and rotate objects");
    }
    return std::move(t.entries);
}

std::vector<ToolStripBox> LayoutToolStrip(const std::vector<ToolStripEntry>& entries, int clientWidth,
                                          int buttonSize, int dpi) {
    auto s = [dpi](int v) { return MulDiv(v, dpi, 96); };
    const int pad = s(4), side = s(std::min(buttonSize, 33)), heading = s(18), above = s(6), below = s(2),
              mark = s(7);
    std::vector<ToolStripBox> out(entries.size());
    int column = 0, y = pad;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].kind == 1) {
            if (column == 1) {
                y += pad + side;
                column = 0;
            }
            const int top = y + above;
            out[i].button = {pad, top, std::max(pad + 1, clientWidth - pad), top + heading};
            y = top + heading + below;
            continue;
        }
        const int x = pad + column * (pad + side);
        out[i].button = {x, y, x + side, y + side};
        if (!entries[i].flyout.empty()) out[i].mark = {x + side - mark, y + side - mark, x + side, y + side};
        column ^= 1;
        if (column == 0) y += pad + side;
    }
    return out;
}

int ToolStripContentHeight(const std::vector<ToolStripBox>& boxes, int dpi) {
    int bottom = 0;
    for (const ToolStripBox& b : boxes) bottom = std::max(bottom, b.button.bottom);
    return bottom + MulDiv(4, dpi, 96);
}

ToolStripScroll ScrollToolStrip(int wantedOffset, int contentHeight, int viewWidth, int viewHeight, int dpi) {
    ToolStripScroll out;
    const int range = contentHeight - viewHeight;
    if (range <= 0 || viewHeight <= 0) return out;
    out.offset = std::clamp(wantedOffset, 0, range);
    // The bar lies in the strip's right padding, so it covers no button.
    const int bar = std::max(2, MulDiv(4, dpi, 96) - 1);
    const int thumbHeight = std::clamp(int(int64_t(viewHeight) * viewHeight / contentHeight), MulDiv(20, dpi, 96), viewHeight);
    const int top = int(int64_t(out.offset) * (viewHeight - thumbHeight) / range);
    out.thumb = {viewWidth - bar, top, viewWidth, top + thumbHeight};
    return out;
}

RectI PlaceToolFlyout(const RectI& b, int width, int height, const RectI& work) {
    int x = b.right + 2;
    if (work.right < b.right + 2 + width) x = std::max(work.left, b.left - width - 2);
    int y = b.top;
    if (work.bottom < b.top + height) y = std::max(work.top, work.bottom - height);
    return {x, y, x + width, y + height};
}

int ToolFlyoutRowAt(int y, int count) {
    if (y < 1) return -1;
    const int row = (y - 1) / 32;
    return row >= 0 && row < count ? row : -1;
}

int ToolFlyoutStep(int hover, int count, bool down) {
    if (count <= 0) return -1;
    if (down) return hover < 0 || hover >= count - 1 ? 0 : hover + 1;
    return hover <= 0 ? count - 1 : hover - 1;
}

uint32_t DefaultIconTint(uint32_t rgb) {
    const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    return (r * 299 + g * 587 + b * 114) / 1000 < 140 ? 0xF4F6F8u : 0x181A1Cu;
}
