#include "CommandFixture.h"

#include "document/SettingsToggles.h"

TEST(SettingsToggles, DefaultsFlipsAndOutsideValues) {
    struct Case {
        uint32_t id;
        const char* name;
        bool defaultOn;
    };
    const Case cases[] = {
        {kCmdHideTopLayersOnBitmap, "HideTopLayersOnBitmap", true},
        {kCmdLayerListCompact, "LayerListCompact", false},
        {kCmdHighlightObjectUnderMouse, "HighlightObjectUnderMouse", true},
        {kCmdSelectionOverlay, "SelectionOverlay", false},
        {kCmdBrushIsolation, "BrushIsolation", false},
    };
    for (const Case& c : cases) {
        CommandEnv env;
        MemoryProfile& profile = env.host.profile;
        EXPECT_EQ(env.table.QueryState(c.id).checked, c.defaultOn) << c.name;

        // The first use writes the opposite of the default.
        EXPECT_TRUE(env.table.Execute(c.id));
        EXPECT_EQ(profile.ReadDword(AppProfileSection("Settings"), c.name), c.defaultOn ? 0u : 1u) << c.name;
        EXPECT_EQ(env.table.QueryState(c.id).checked, !c.defaultOn) << c.name;

        // A value set by an outside tool counts as on, and turns off.
        profile.WriteDword(AppProfileSection("Settings"), c.name, 7);
        EXPECT_EQ(env.table.QueryState(c.id).checked, true) << c.name;
        env.table.Execute(c.id);
        EXPECT_EQ(profile.ReadDword(AppProfileSection("Settings"), c.name), 0u) << c.name;

        EXPECT_FALSE(env.doc.IsModified()) << c.name;
        EXPECT_TRUE(env.doc.mainUndo.undo.empty()) << c.name;
    }
}

TEST(SettingsToggles, EachTogglesFollowUp) {
    CommandEnv env;
    PaintingSession session;
    env.doc.paintSession = &session;

    env.doc.OnSettingToggle(kCmdBrushIsolation);
    EXPECT_TRUE(session.isolated);  // the open session follows at once
    env.doc.OnSettingToggle(kCmdBrushIsolation);
    EXPECT_FALSE(session.isolated);

    const int updates = env.host.updates, repaints = env.host.invalidates;
    env.doc.OnSettingToggle(kCmdHideTopLayersOnBitmap);  // waits for the next paint session
    EXPECT_EQ(env.host.updates, updates);
    EXPECT_EQ(env.host.invalidates, repaints);
    env.doc.OnSettingToggle(kCmdLayerListCompact);  // the layer list lays out again
    EXPECT_EQ(env.host.updates, updates + 1);
    env.doc.OnSettingToggle(kCmdSelectionOverlay);
    EXPECT_EQ(env.host.invalidates, repaints + 1);
}
