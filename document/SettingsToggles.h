#pragma once
// The five on/off preferences of the "Settings" profile section that the
// document's commands flip. The windows that honour one read it from the
// profile when they need it, with the same default.
#include <cstdint>

class Profile;

inline constexpr const char* kSettingsSection = "Settings";

struct SettingToggle {
    uint32_t commandId;
    const char* valueName;
    uint32_t defaultValue;
};

inline constexpr SettingToggle kSettingToggles[] = {
    {32835, "HideTopLayersOnBitmap", 1},
    {32836, "LayerListCompact", 0},
    {32847, "HighlightObjectUnderMouse", 1},
    {32855, "SelectionOverlay", 0},
    {32867, "BrushIsolation", 0},
};

// The toggle of a command id, or null.
const SettingToggle* FindSettingToggle(uint32_t commandId);
// The preference's state: any non-zero value is on; missing or mistyped
// values read as the default; no profile gives the default.
bool ReadSetting(const Profile* profile, const SettingToggle& toggle);
