#pragma once
// The main menu and the accelerator table: the structure, texts and command
// ids the frame builds its menu bar and shortcuts from.
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

// Command ids the menu and accelerators use.
enum MainCommandId : int {
    ID_FILE_NEW = 57600, ID_FILE_OPEN = 57601, ID_FILE_SAVE = 57603, ID_FILE_SAVE_AS = 57604,
    ID_FILE_PRINT_SETUP = 57606, ID_FILE_PRINT = 57607, ID_FILE_PRINT_PREVIEW = 57609,
    ID_FILE_MRU_FILE1 = 57616, ID_EDIT_COPY = 57634, ID_EDIT_CUT = 57635, ID_EDIT_PASTE = 57637,
    ID_EDIT_UNDO = 57643, ID_EDIT_REDO = 57644, ID_APP_ABOUT = 57664, ID_APP_EXIT = 57665,
    ID_NEXT_PANE = 57680, ID_PREV_PANE = 57681, ID_VIEW_TOOLBAR = 59392, ID_VIEW_STATUS_BAR = 59393,
    ID_VIEW_ZOOM_IN = 32775, ID_VIEW_ZOOM_OUT = 32776, ID_VIEW_ZOOM_ACTUAL = 32777, ID_VIEW_ZOOM_FIT = 32778,
};

// Strips '&' mnemonics (a doubled "&&" stays one '&') and the shortcut text.
std::string MenuTextWithoutMnemonic(const std::string& text);
