#pragma once
// The main menu and the accelerator table: the structure, texts and command
// ids (document/CommandIds.h) the frame builds its menu bar and shortcuts from.
#include <string>
#include <vector>

struct MenuEntry {
    enum Kind { kCommand, kSeparator, kPopup };
    Kind kind = kCommand;
    std::string text;  // with '&' mnemonics and a tab before the shortcut text
    int id = 0;
    std::vector<MenuEntry> children;  // items of a popup
};

// Top-level entries of the menu bar in order; "FIlters" is a command item on
// the bar itself.
const std::vector<MenuEntry>& MainMenuEntries();

struct Accelerator {
    bool ctrl = false, shift = false;
    std::string key;  // "C", "Insert", "Delete", "F6", ...
    int command = 0;
};
const std::vector<Accelerator>& MainAccelerators();

// Strips '&' mnemonics (a doubled "&&" stays one '&') and the shortcut text.
std::string MenuTextWithoutMnemonic(const std::string& text);
