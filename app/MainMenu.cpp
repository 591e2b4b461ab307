#include "app/MainMenu.h"

namespace {
MenuEntry Cmd(const char* text, int id) { return {MenuEntry::kCommand, text, id, {}}; }
MenuEntry Bar() { return {MenuEntry::kSeparator, "", 0, {}}; }
MenuEntry Popup(const char* text, std::vector<MenuEntry> items) { return {MenuEntry::kPopup, text, 0, std::move(items)}; }
}  // namespace

const std::vector<MenuEntry>& MainMenuEntries() {
    static const std::vector<MenuEntry> menu{
        Popup("&File", {Cmd("&New\tCtrl+N", 57600), Cmd("&Open...\tCtrl+O", 57601), Cmd("&Save\tCtrl+S", 57603),
                        Cmd("Save &As...", 57604), Cmd("Import Image", 32779), Cmd("Export as PNG...", 32815), Bar(),
                        Cmd("&Print...\tCtrl+P", 57607), Cmd("Print Pre&view", 57609), Cmd("P&rint Setup...", 57606),
                        Bar(), Cmd("Recent File", 57616), Bar(), Cmd("E&xit", 57665)}),
        Popup("&Edit", {Cmd("&Undo\tCtrl+Z", 57643), Cmd("Redo", 57644), Bar(), Cmd("Cu&t\tCtrl+X", 57635),
                        Cmd("&Copy\tCtrl+C", 57634), Cmd("&Paste\tCtrl+V", 57637), Bar(), Cmd("Delete", 32787)}),
        Popup("&View", {Popup("&Toolbars and Docking Windows", {Cmd("<placeholder>", 59392)}),
                        Cmd("&Status Bar", 59393), Cmd("Highlight Object under Mouse", 32847)}),
        Popup("Modify", {Cmd("Set Canvas Size and Color", 32780), Bar(), Cmd("Add Layer", 32781),
                         Cmd("Delete Layer", 32788), Bar(), Cmd("Convert to Bitmap", 32840),
                         Cmd("Add to Kitbash", 32874), Bar(),
                         Popup("Transform", {Cmd("Skew", 32808), Cmd("Distort", 32809), Bar(), Cmd("Reset Warp", 32812)}),
                         Popup("Insert", {Cmd("Light Cone", 32814)})}),
        Popup("Image", {Cmd("Add Mask", 32839), Cmd("Inpaint (Smart Fill)...", 32860), Bar(), Cmd("Invert", 32837)}),
        Popup("Selection", {Cmd("Deselect\tCtrl+D", 32828), Cmd("Reselect\tCtrl+Shift+D", 32829),
                            Cmd("Inverse\tCtrl+Shift+I", 32830), Cmd("Split Bitmap", 32844), Bar(), Cmd("Refine", 32853),
                            Cmd("Object Selection ...", 32849)}),
        Cmd("FIlters", 32859),
        Popup("Posable Editor",
              {Cmd("Create Multi-Object", 32807), Cmd("Go to Bone Editor", 32792), Cmd("Finish", 32793), Bar(),
               Popup("Bone", {Cmd("Stretchable", 32801), Cmd("Round Endpoint", 32803), Bar(), Cmd("Remove Bone", 32798),
                              Cmd("Copy from Parent", 32846)}),
               Cmd("Break Link", 32797), Cmd("Test Bones", 32799), Cmd("Use Partial IK", 32806)}),
        Popup("Settings", {Cmd("Hide Top Layers when Painting", 32835), Cmd("Paint in Isolation Mode", 32867)}),
        Popup("&Help", {Cmd("&About Plindrow", 57664)}),
    };
    return menu;
}

const std::vector<Accelerator>& MainAccelerators() {
    // Inverse is Ctrl+I although its menu text shows Ctrl+Shift+I.
    static const std::vector<Accelerator> table{
        {true, false, "C", 57634},      {true, false, "Insert", 57634}, {false, true, "Delete", 57635},
        {true, false, "X", 57635},      {true, false, "V", 57637},      {false, true, "Insert", 57637},
        {true, false, "Y", 57644},      {true, false, "Z", 57643},      {true, false, "N", 57600},
        {true, false, "O", 57601},      {true, false, "P", 57607},      {true, false, "S", 57603},
        {false, false, "F6", 57680},    {false, true, "F6", 57681},     {true, false, "D", 32828},
        {true, false, "I", 32830},      {true, true, "D", 32829},
    };
    return table;
}

std::string MenuTextWithoutMnemonic(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\t') break;
        if (c == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') { out += '&'; ++i; }
            continue;
        }
        out += c;
    }
    return out;
}
