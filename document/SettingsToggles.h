#pragma once
// The five on/off preferences of the "Settings" profile section that the
// document's commands flip. The windows that honour one read it from the
// profile when they need it, with the same default.
#include "document/CommandIds.h"

#include <cstdint>

class Profile;

inline constexpr const char* kSettingsSection = "Settings";

struct SettingToggle {
    uint32_t commandId;
    const char* valueName;
    uint32_t defaultValue;
};

inline constexpr SettingToggle kSettingToggles[] = {
    {kCmdHideTopLayersOnBitmap, "HideTopLayersOnBitmap", 1},
    {kCmdLayerListCompact, "LayerListCompact", 0},
    {kCmdHighlightObjectUnderMouse, "HighlightObjectUnderMouse", 1},
    {kCmdSelectionOverlay, "SelectionOverlay", 0},
    {kCmdBrushIsolation, "BrushIsolation", 0},
};

// The toggle of a command id, or null.
const SettingToggle* FindSettingToggle(uint32_t commandId);
// The preference's state: any non-zero value is on; missing or mistyped
// values read as the default; no profile gives the default.
bool ReadSetting(const Profile* profile, const SettingToggle& toggle);
