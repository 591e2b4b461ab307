#include "app/IconShapes.h"
#include "app/ToolTable.h"
#include "platform/MulDiv.h"

#include <gtest/gtest.h>

namespace {
// "G:<heading>", "T:<id>" or "F:<id>/<id>/..." per entry.
std::string Describe(const std::vector<ToolStripEntry>& entries) {
    std::string out;
    for (const ToolStripEntry& e : entries) {
        if (e.kind == 1) out += "G:" + e.heading + " ";
        else if (e.flyout.empty()) out += "T:" + std::to_string(e.head.commandId) + " ";
        else {
            out += "F:";
            for (const ToolFlyoutItem& f : e.flyout) out += std::to_string(f.commandId) + "/";
            out += " ";
        }
    }
    return out;
}
}  // namespace

TEST(ToolTable, EntriesPerMode) {
    const char* bitmap = "G:Bitmap T:32817 F:32818/32819/32820/32857/ F:32821/32856/ T:32827 T:32873 ";
    const char* selection = "G:Selection F:32822/32823/32832/ F:32824/32825/32831/ T:32826 ";
    EXPECT_EQ(Describe(ToolStripEntriesForMode(0)),
              std::string("G:Select T:32789 T:32848 T:32808 T:32809 G:Pose T:32805 T:32792 ") + bitmap + selection +
                  "T:32849 G:Mask T:32833 T:32834 G:Light T:32816 T:32814 G:Color T:32872 ");
    EXPECT_EQ(Describe(ToolStripEntriesForMode(1)),
              std::string("G:Select T:32789 T:32872 G:Rigging T:32795 T:32794 T:32796 ") + bitmap + selection);
    EXPECT_EQ(Describe(ToolStripEntriesForMode(2)), "G:Source T:32861 T:32862 T:32863 T:32864 ");
    EXPECT_EQ(Describe(ToolStripEntriesForMode(5)), "T:32789 ");
    // A flyout's head is its first item, and every tool has an icon of the set.
    for (int mode : {0, 1, 2, 5})
        for (const ToolStripEntry& e : ToolStripEntriesForMode(mode)) {
            if (e.kind == 1) continue;
            EXPECT_NE(BuiltInIcon(e.head.icon), nullptr) << e.head.icon;
            if (!e.flyout.empty()) {
                EXPECT_EQ(e.head.name, e.flyout[0].name);
            }
            for (const ToolFlyoutItem& f : e.flyout) EXPECT_EQ(f.label, f.name);
        }
}

TEST(ToolTable, StripLayout) {
    std::vector<ToolStripEntry> e(5);
    e[0].kind = 1;  // heading
    e[1].head.commandId = 1;  // one tool in column 0
    e[2].kind = 1;  // heading after a single tool: starts a new row
    e[3].kind = 1;  // two headings in a row stack
    e[4].flyout.resize(2);
    const std::vector<ToolStripBox> b = LayoutToolStrip(e, 78, 32, 96);
    EXPECT_EQ(b[0].button, (RectI{4, 10, 74, 28}));
    EXPECT_EQ(b[1].button, (RectI{4, 30, 36, 62}));
    EXPECT_EQ(b[2].button, (RectI{4, 72, 74, 90}));
    EXPECT_EQ(b[3].button, (RectI{4, 98, 74, 116}));
    EXPECT_EQ(b[4].button, (RectI{4, 118, 36, 150}));
    EXPECT_EQ(b[4].mark, (RectI{29, 143, 36, 150}));
    EXPECT_TRUE(b[1].mark.IsEmpty());
    // Sizes above 33 are held to 33.
    EXPECT_EQ(LayoutToolStrip(e, 78, 48, 96)[1].button.Width(), 33);
}

TEST(ToolTable, StripScrollsWhenTallerThanItsPane) {
    // The canvas strip at 96 and 192 dpi: its content height, and every scale
    // where it does not fit scrolls far enough to reach its last button.
    for (int dpi : {96, 144, 192}) {
        const std::vector<ToolStripBox> boxes = LayoutToolStrip(ToolStripEntriesForMode(0), MulDiv(78, dpi, 96), 32, dpi);
        const int content = ToolStripContentHeight(boxes, dpi);
        EXPECT_EQ(content, boxes.back().button.bottom + MulDiv(4, dpi, 96)) << dpi;
        const int view = content / 2, width = MulDiv(78, dpi, 96);
        const ToolStripScroll end = ScrollToolStrip(1 << 20, content, width, view, dpi);
        EXPECT_EQ(end.offset, content - view) << dpi;
        EXPECT_EQ(end.thumb.bottom, view) << dpi;
        EXPECT_EQ(end.thumb.right, width) << dpi;
        EXPECT_LE(end.thumb.Width(), MulDiv(4, dpi, 96)) << dpi;  // inside the right padding
        EXPECT_EQ(ScrollToolStrip(-50, content, width, view, dpi).offset, 0) << dpi;
        EXPECT_EQ(ScrollToolStrip(-50, content, width, view, dpi).thumb.top, 0) << dpi;
    }
    // Everything fits: no offset and no bar.
    const ToolStripScroll fits = ScrollToolStrip(30, 400, 78, 400, 96);
    EXPECT_EQ(fits.offset, 0);
    EXPECT_TRUE(fits.thumb.IsEmpty());
    // A tiny pane still gets a thumb it can grab, no taller than the pane.
    EXPECT_EQ(ScrollToolStrip(0, 5000, 78, 100, 96).thumb.Height(), 20);
    EXPECT_EQ(ScrollToolStrip(0, 5000, 78, 10, 96).thumb.Height(), 10);
}

TEST(ToolTable, FlyoutPlacementAndKeys) {
    const RectI work{0, 0, 1000, 800};
    EXPECT_EQ(PlaceToolFlyout({10, 100, 42, 132}, 170, 98, work), (RectI{44, 100, 214, 198}));
    // Too close to the right edge: to the left of the button.
    EXPECT_EQ(PlaceToolFlyout({900, 100, 932, 132}, 170, 98, work).left, 900 - 170 - 2);
    // Near the bottom: moved up to end at the work area's bottom.
    EXPECT_EQ(PlaceToolFlyout({10, 780, 42, 812}, 170, 98, work).bottom, 800);
    EXPECT_EQ(ToolFlyoutStep(0, 3, false), 2);
    EXPECT_EQ(ToolFlyoutStep(-1, 3, false), 2);
    EXPECT_EQ(ToolFlyoutStep(2, 3, true), 0);
    EXPECT_EQ(ToolFlyoutRowAt(1 + 32 + 5, 3), 1);
    EXPECT_EQ(ToolFlyoutRowAt(1 + 96, 3), -1);
    EXPECT_EQ(DefaultIconTint(0x22262C), 0xF4F6F8u);
    EXPECT_EQ(DefaultIconTint(0xF8F8F8), 0x181A1Cu);
}
