#include "brushes/StencilOverlay.h"
#include "brushes/ui/CPropStencilLibrary.h"
#include "brushes/ui/CPropTabBrush.h"
#include "brushes/ui/CPropTabStencil.h"
#include "properties/ui/CPropDropdown.h"
#include "document/CQuillfenEditorDoc.h"
#include "properties/ui/CPropSliderWnd.h"
#include "properties/ui/PropControls.h"
#include "tests/platform/ui/QtTestApp.h"

#include <gtest/gtest.h>

TEST(StencilTab, OpacityFollowsTheOverlayAndPicksClearOnLibrarySwitch) {
    EnsureQtApp();
    StencilOverlay overlay;
    SetCurrentStencilOverlay(&overlay);
    overlay.overlayOpacity = 0.25f;
    CPropTabStencil tab(nullptr);
    tab.resize(900, 112);
    tab.show();
    EXPECT_FLOAT_EQ(tab.Opacity()->value, 0.25f);
    tab.Opacity()->SetValue(0.8f);
    tab.OnCommand(6107, kPropChanged, tab.Opacity());
    EXPECT_FLOAT_EQ(overlay.overlayOpacity, 0.8f);
    tab.Grid()->selectedIndex = 3;
    tab.OnCommand(6101, kPropClick, nullptr);
    EXPECT_EQ(tab.Grid()->selectedIndex, -1);
    TabContext ctx;
    ctx.tool = kToolStencilKitbash;
    ctx.mode = kWorkspacePoseEditor;
    EXPECT_TRUE(tab.AppliesTo(ctx));
    ctx.tool = kToolPaintBrush;
    EXPECT_FALSE(tab.AppliesTo(ctx));
    SetCurrentStencilOverlay(nullptr);
}

TEST(StencilTab, BrushModeListWritesTheImprintSettings) {
    EnsureQtApp();
    StencilOverlay overlay;
    SetCurrentStencilOverlay(&overlay);
    EXPECT_EQ(StencilModeRowFor(29, false, false), 7);   // Luminosity
    EXPECT_EQ(StencilModeRowFor(3, false, false), 0);    // not in the list: shown as Normal
    EXPECT_EQ(StencilModeRowFor(4, true, false), 10);    // Erase wins over the blend mode
    EXPECT_EQ(StencilModeRowFor(4, true, true), 8);      // detail transfer wins over both
    CPropTabBrush tab(nullptr, true);
    auto* mode = tab.Control(410);
    ASSERT_NE(mode, nullptr);
    auto* list = static_cast<CPropDropdown*>(mode);
    list->SetCurSel(1);
    tab.OnCommand(410, kPropClick, nullptr);
    EXPECT_EQ(overlay.imprint.blendMode, 4);
    list->SetCurSel(10);
    tab.OnCommand(410, kPropClick, nullptr);
    EXPECT_TRUE(overlay.imprint.eraseMode);
    list->SetCurSel(9);  // the blank row changes nothing and shows Erase again
    tab.OnCommand(410, kPropClick, nullptr);
    EXPECT_TRUE(overlay.imprint.eraseMode);
    EXPECT_EQ(list->selected, 10);
    // Choosing Detail Transfer makes the low-pass copy of a placed stencil at once.
    overlay.imprint.placedBitmap = Bitmap::Create(6, 5);
    overlay.imprint.placedBitmap->Clear(0xFF336699);
    list->SetCurSel(8);
    tab.OnCommand(410, kPropClick, nullptr);
    EXPECT_TRUE(overlay.imprint.detailTransfer);
    EXPECT_EQ(overlay.imprint.detailPixels.size(), size_t(6 * 5 * 4));
    TabContext ctx;
    ctx.tool = kToolStencilKitbash;
    EXPECT_TRUE(tab.AppliesTo(ctx));
    SetCurrentStencilOverlay(nullptr);
}
