#include "selection/SelectionTabs.h"

#include "document/CQuillfenEditorDoc.h"
#include "scene/SelectionMask.h"
#include "selection/MaskRefine.h"
#include "selection/SelectionToolController.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A 64 x 48 main scene with an ellipse drawn by the controller, and the tool
// settings put back afterwards (they are process-wide).
struct TabEnv {
    CQuillfenEditorDoc doc;
    SelectionToolSettings saved = GetSelectionToolSettings();
    TabEnv() {
        GetSelectionToolSettings() = SelectionToolSettings{};
        doc.mainScene.width = 64;
        doc.mainScene.height = 48;
        doc.mainScene.EnsureSelectionMask();
        SelectionToolController& c = doc.SelectionTool(doc.mainScene);
        c.edgeOptions = SelectionEdgeOptionsFromSettings(GetSelectionToolSettings());
        c.kind = kSelectionToolEllipse;
        c.BeginDrag(10, 10, 0);
        c.EndDrag(40, 30);
    }
    ~TabEnv() { GetSelectionToolSettings() = saved; }
    std::vector<uint8_t> Mask() {
        std::vector<uint8_t> m(64 * 48);
        doc.mainScene.selectionMask->ReadRect(0, 0, 64, 48, m.data());
        return m;
    }
};

int CountPartial(const std::vector<uint8_t>& m) {
    int n = 0;
    for (uint8_t v : m) n += v != 0 && v != 255;
    return n;
}

}  // namespace

TEST(SelectionTabs, ControlsDriveTheSettingsAndTheLiveShape) {
    struct Case {
        int id;
        float value;
        bool (*settingHolds)(const SelectionToolSettings&);
        bool maskChanges;
    };
    const Case cases[] = {
        {kSelectionTabCombineOp, 2, [](const SelectionToolSettings& s) { return s.combineOp == 2; }, false},
        {kSelectionTabAntialias, 0, [](const SelectionToolSettings& s) { return !s.antialias; }, true},
        {kSelectionTabFeather, 3, [](const SelectionToolSettings& s) { return s.feather == 3.0f; }, true},
        {kSelectionTabTolerance, 9.6f, [](const SelectionToolSettings& s) { return s.tolerance == 10; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        TabEnv env;
        const std::vector<uint8_t> before = env.Mask();
        ASSERT_GT(CountPartial(before), 0);  // antialiased edge
        ApplySelectionTabControl(env.doc, c.id, c.value);
        EXPECT_TRUE(c.settingHolds(GetSelectionToolSettings()));
        const std::vector<uint8_t> after = env.Mask();
        EXPECT_EQ(after != before, c.maskChanges);
        if (c.id == kSelectionTabAntialias) {
            EXPECT_EQ(CountPartial(after), 0);  // hard edge now
        } else if (c.id == kSelectionTabFeather) {
            EXPECT_GT(CountPartial(after), CountPartial(before));
        } else if (c.id == kSelectionTabTolerance) {
            EXPECT_EQ(env.doc.SelectionTool(env.doc.mainScene).tolerance, 10);
        }
    }
}

TEST(SelectionTabs, WhichNotificationsAct) {
    EXPECT_TRUE(SelectionTabActsOn(kSelectionTabAntialias, kPropNotifyClick, 0));
    EXPECT_TRUE(SelectionTabActsOn(kSelectionTabCombineOp, kPropNotifyClick, 0));
    EXPECT_FALSE(SelectionTabActsOn(kSelectionTabFeather, kPropNotifyChange, 0));
    EXPECT_TRUE(SelectionTabActsOn(kSelectionTabFeather, kPropNotifyEnd, 0));
    // Tolerance re-fills at every step without a feather, only at the release with one.
    EXPECT_TRUE(SelectionTabActsOn(kSelectionTabTolerance, kPropNotifyChange, 0));
    EXPECT_FALSE(SelectionTabActsOn(kSelectionTabTolerance, kPropNotifyEnd, 0));
    EXPECT_FALSE(SelectionTabActsOn(kSelectionTabTolerance, kPropNotifyChange, 2));
    EXPECT_TRUE(SelectionTabActsOn(kSelectionTabTolerance, kPropNotifyEnd, 2));
    EXPECT_FALSE(RefineTabActsOn(kRefineTabPixels, kPropNotifyChange));
    EXPECT_TRUE(RefineTabActsOn(kRefineTabPixels, kPropNotifyEnd));
    EXPECT_TRUE(RefineTabActsOn(kRefineTabOperation, kPropNotifyClick));
}

TEST(SelectionTabs, RefinePreviewsFromTheEntrySelectionAsOneUndoStep) {
    TabEnv env;
    const std::vector<uint8_t> entry = env.Mask();
    const size_t undo = env.doc.mainScene.selectionUndo.size();
    env.doc.SetActiveTool(kToolRefine);
    RefineTabState state;
    ApplyRefineTabControl(env.doc, state, kRefineTabPixels, 10);  // Expand 10
    ApplyRefineTabControl(env.doc, state, kRefineTabOperation, 1);  // Contract 10: of the entry selection
    std::vector<uint8_t> expected = entry;
    MaskErode(expected.data(), 64, 48, 10);
    EXPECT_EQ(env.Mask(), expected);
    ApplyRefineTabControl(env.doc, state, kRefineTabPixels, 0);
    EXPECT_EQ(env.Mask(), entry);
    ApplyRefineTabControl(env.doc, state, kRefineTabOperation, 0);
    ApplyRefineTabControl(env.doc, state, kRefineTabPixels, 4);
    EXPECT_NE(env.Mask(), entry);
    env.doc.SetActiveTool(kToolMove);  // the refine is committed as it stands
    EXPECT_EQ(env.doc.mainScene.selectionUndo.size(), undo + 1);
}
