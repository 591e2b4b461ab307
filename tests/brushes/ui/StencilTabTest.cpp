#include "brushes/StencilOverlay.h"
#include "brushes/ui/CPropStencilLibrary.h"
#include "brushes/ui/CPropTabStencil.h"
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
