#include "app/MainMenu.h"

#include "document/CommandIds.h"

namespace {
MenuEntry Cmd(const char* text, int id) { return {MenuEntry::kCommand, text, id, {}}; }
MenuEntry Bar() { return {MenuEntry::kSeparator, "", 0, {}}; }
MenuEntry Popup(const char* text, std::vector<MenuEntry> items) {
    return {MenuEntry::kPopup, text, 0, std::move(items)};
}
}  // namespace

const std::vector<MenuEntry>& MainMenuEntries() {
    static const std::vector<MenuEntry> menu{
        Popup("&File", {Cmd("&New\tCtrl+N", kCmdFileNew), Cmd("&Open...\tCtrl+O", kCmdFileOpen),
                        Cmd("&Save\tCtrl+S", kCmdFileSave), Cmd("Save &As...", kCmdFileSaveAs),
                        Cmd("Import Image", kCmdFileImportImage), Cmd("Export as PNG...", kCmdFileExportPng), Bar(),
                        Cmd("&Print...\tCtrl+P", kCmdFilePrint), Cmd("Print Pre&view", kCmdFilePrintPreview),
                        Cmd("P&rint Setup...", kCmdFilePrintSetup), Bar(), Cmd("Recent File", kCmdFileRecentFile1),
                        Bar(), Cmd("E&xit", kCmdAppExit)}),
        Popup("&Edit", {Cmd("&Undo\tCtrl+Z", kCmdEditUndo), Cmd("Redo", kCmdEditRedo), Bar(),
                        Cmd("Cu&t\tCtrl+X", kCmdEditCut), Cmd("&Copy\tCtrl+C", kCmdEditCopy),
                        Cmd("&Paste\tCtrl+V", kCmdEditPaste), Bar(), Cmd("Delete", kCmdEditDelete)}),
        Popup("&View", {Popup("&Toolbars and Docking Windows", {Cmd("<placeholder>", kCmdViewToolbar)}),
                        Cmd("&Status Bar", kCmdViewStatusBar),
                        Cmd("Highlight Object under Mouse", kCmdHighlightObjectUnderMouse)}),
        Popup("Modify", {Cmd("Set Canvas Size and Color", kCmdSetCanvasSize), Bar(), Cmd("Add Layer", kCmdAddLayer),
                         Cmd("Delete Layer", kCmdDeleteLayer), Bar(), Cmd("Convert to Bitmap", kCmdConvertToBitmap),
                         Cmd("Add to Kitbash", kCmdAddToKitbash), Bar(),
                         Popup("Transform", {Cmd("Skew", kCmdToolSkew), Cmd("Distort", kCmdToolDistort), Bar(),
                                             Cmd("Reset Warp", kCmdResetWarp)}),
                         Popup("Insert", {Cmd("Light Cone", kCmdInsertLightCone)})}),
        Popup("Image", {Cmd("Add Mask", kCmdAddMask), Cmd("Inpaint (Smart Fill)...", kCmdInpaint), Bar(),
                        Cmd("Invert", kCmdInvert)}),
        Popup("Selection", {Cmd("Deselect\tCtrl+D", kCmdDeselect), Cmd("Reselect\tCtrl+Shift+D", kCmdReselect),
                            Cmd("Inverse\tCtrl+I", kCmdInverse), Cmd("Split Bitmap", kCmdSplitBitmap), Bar(),
                            Cmd("Refine", kCmdToolRefine), Cmd("Object Selection ...", kCmdObjectSelection)}),
        Cmd("FIlters", kCmdFilters),
        Popup("Posable Editor",
              {Cmd("Create Multi-Object", kCmdCreateMultiObject), Cmd("Go to Bone Editor", kCmdGoToBoneEditor),
               Cmd("Finish", kCmdFinishBoneEditor), Bar(),
               Popup("Bone",
                     {Cmd("Stretchable", kCmdBoneStretchable), Cmd("Round Endpoint", kCmdBoneRoundEndpoint), Bar(),
                      Cmd("Remove Bone", kCmdBoneRemove), Cmd("Copy from Parent", kCmdBoneCopyFromParent)}),
               Cmd("Break Link", kCmdBreakLink), Cmd("Test Bones", kCmdTestBones),
               Cmd("Use Partial IK", kCmdUsePartialIK)}),
        Popup("Settings", {Cmd("Hide Top Layers when Painting", kCmdHideTopLayersOnBitmap),
                           Cmd("Paint in Isolation Mode", kCmdBrushIsolation)}),
        Popup("&Help", {Cmd("&About Plindrow", kCmdAppAbout)}),
    };
    return menu;
}

const std::vector<Accelerator>& MainAccelerators() {
    static const std::vector<Accelerator> table{
        {true, false, "C", kCmdEditCopy},     {true, false, "Insert", kCmdEditCopy},
        {false, true, "Delete", kCmdEditCut}, {true, false, "X", kCmdEditCut},
        {true, false, "V", kCmdEditPaste},    {false, true, "Insert", kCmdEditPaste},
        {true, false, "Y", kCmdEditRedo},     {true, false, "Z", kCmdEditUndo},
        {true, false, "N", kCmdFileNew},      {true, false, "O", kCmdFileOpen},
        {true, false, "P", kCmdFilePrint},    {true, false, "S", kCmdFileSave},
        {false, false, "F6", kCmdNextPane},   {false, true, "F6", kCmdPrevPane},
        {true, false, "D", kCmdDeselect},     {true, false, "I", kCmdInverse},
        {true, true, "D", kCmdReselect},
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
