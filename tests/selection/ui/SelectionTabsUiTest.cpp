#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentHost.h"
#include "selection/InpaintSession.h"
#include "properties/ui/CPropNumericEdit.h"
#include "properties/ui/CPropSliderWnd.h"
#include "properties/ui/PropControls.h"
#include "selection/SelectionTabs.h"
#include "selection/SelectionToolController.h"
#include "selection/ui/CPropTabSelection.h"
#include "tests/platform/ui/QtTestApp.h"

#include <gtest/gtest.h>

TEST(SelectionTabWindows, ToleranceForTheWandAndFeatherActsAtTheEnd) {
    EnsureQtApp();
    const SelectionToolSettings saved = GetSelectionToolSettings();
    CPropTabSelection tab(nullptr);
    tab.resize(600, 120);
    tab.show();
    TabContext ctx;
    ctx.tool = kToolMagicWand;
    tab.OnContext(ctx);
    EXPECT_TRUE(tab.findChild<CPropNumericEdit*>(QString(), Qt::FindDirectChildrenOnly) != nullptr);
    auto edits = tab.findChildren<CPropNumericEdit*>();
    ASSERT_EQ(edits.size(), 2);
    EXPECT_TRUE(edits[1]->isVisibleTo(&tab));  // Tolerance for the wand
    ctx.tool = kToolEllipseMarquee;
    tab.OnContext(ctx);
    tab.resize(601, 120);
    EXPECT_FALSE(edits[1]->isVisibleTo(&tab));

    // Without a document only the settings change; a feather change acts at
    // the end of the interaction only.
    GetSelectionToolSettings().feather = 0;
    edits[0]->SetValue(3);
    tab.OnCommand(kSelectionTabFeather, kPropBegin, edits[0]);
    tab.OnCommand(kSelectionTabFeather, kPropChanged, edits[0]);
    EXPECT_EQ(GetSelectionToolSettings().feather, 0.0f);
    GetSelectionToolSettings() = saved;
}

TEST(SelectionTabWindows, InpaintBrushShowsTheDefaultRadiusWithoutASession) {
    EnsureQtApp();
    CPropTabInpaintBrush tab(nullptr);
    EXPECT_EQ(CPropTabInpaintBrush::SessionRadius(), 24);  // no document, no session
    EXPECT_EQ(tab.Slider()->value, 24.0f);
    TabContext ctx;
    ctx.mode = kWorkspaceInpaint;
    EXPECT_TRUE(tab.AppliesTo(ctx));
    ctx.mode = kWorkspaceCanvas;
    EXPECT_FALSE(tab.AppliesTo(ctx));
}

namespace {
struct RepaintHost : DocumentHost, PropertiesPaneHost {
    CQuillfenEditorDoc* doc = nullptr;
    int repaints = 0;
    void UpdateAllViews() override {}
    void InvalidateAllViews() override { ++repaints; }
    void RefreshPropertiesPane() override {}
    void UpdateStatusText() override {}
    void SetWorkspaceMode(int) override {}
    Prompts* GetPrompts() override { return nullptr; }
    Profile* GetProfile() override { return nullptr; }
    CQuillfenEditorDoc* GetActiveDocument() override { return doc; }
};
}  // namespace

TEST(SelectionTabWindows, InpaintBrushSizeRepaintsTheViewForItsHoverCircle) {
    EnsureQtApp();
    CQuillfenEditorDoc doc;
    RepaintHost host;
    host.doc = &doc;
    doc.SetHost(&host);
    SetPropertiesPaneHost(&host);
    doc.inpaintSession = std::make_shared<InpaintSession>();
    {
        CPropTabInpaintBrush tab(nullptr);
        tab.Slider()->SetValue(60.4f);
        const int before = host.repaints;
        const uint64_t counter = doc.changeCounter;
        tab.OnCommand(803, kPropChanged, tab.Slider());
        EXPECT_EQ(doc.inpaintSession->brushRadius, 60);
        EXPECT_EQ(host.repaints, before + 1);
        EXPECT_EQ(doc.changeCounter, counter);  // nothing to re-render
    }
    SetPropertiesPaneHost(nullptr);
    doc.SetHost(nullptr);
}
