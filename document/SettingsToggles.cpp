// The "Settings" toggles: flip the profile value, then let the windows that
// honour it catch up. Not undoable, and the document stays unmodified.
#include "document/SettingsToggles.h"

#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentCommands.h"
#include "platform/Profile.h"

const SettingToggle* FindSettingToggle(uint32_t commandId) {
    for (const SettingToggle& t : kSettingToggles)
        if (t.commandId == commandId) return &t;
    return nullptr;
}

bool ReadSetting(const Profile* profile, const SettingToggle& toggle) {
    if (!profile) return toggle.defaultValue != 0;
    return profile->GetAppDword(kSettingsSection, toggle.valueName, toggle.defaultValue) != 0;
}

bool CQuillfenEditorDoc::ReadSettingToggle(uint32_t commandId) const {
    const SettingToggle* toggle = FindSettingToggle(commandId);
    return toggle && ReadSetting(host_ ? host_->GetProfile() : nullptr, *toggle);
}

void CQuillfenEditorDoc::OnSettingToggle(uint32_t commandId) {
    const SettingToggle* toggle = FindSettingToggle(commandId);
    Profile* profile = host_ ? host_->GetProfile() : nullptr;
    if (!toggle || !profile) return;
    const bool on = !ReadSetting(profile, *toggle);
    profile->WriteAppDword(kSettingsSection, toggle->valueName, on ? 1 : 0);
    switch (commandId) {
        case kCmdLayerListCompact:
            // The layer list lays its rows out again.
            UpdateAllViews();
            break;
        case kCmdHighlightObjectUnderMouse:
        case kCmdSelectionOverlay:
            RefreshAllViews();
            break;
        case kCmdBrushIsolation:
            // An open session follows at once.
            if (paintSession) paintSession->SetIsolation(on);
            RefreshAllViews();
            break;
        default:
            // Hide Top Layers takes effect when the next paint session opens.
            break;
    }
}
