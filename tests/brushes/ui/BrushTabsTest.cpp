#include "brushes/BrushLibrary.h"
#include "brushes/ui/CBrushControls.h"
#include "brushes/ui/CPropTabBrush.h"
#include "document/CQuillfenEditorDoc.h"
#include "platform/Files.h"
#include "platform/Prompts.h"
#include "properties/ui/CPropNumericEdit.h"
#include "properties/ui/CPropSliderWnd.h"
#include "tests/platform/ui/QtTestApp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

struct SlotGuard {
    std::vector<ToolBrushSettings> saved;
    BrushToolOptions options = GetBrushToolOptions();
    SlotGuard() {
        for (int t : {9, 10, 12, 13, 15, 16}) saved.push_back(*GetToolBrushSettings(t));
    }
    ~SlotGuard() {
        int i = 0;
        for (int t : {9, 10, 12, 13, 15, 16}) *GetToolBrushSettings(t) = saved[size_t(i++)];
        GetBrushToolOptions() = options;
    }
};

TabContext ForTool(int tool, int mode = 0) {
    TabContext c;
    c.tool = tool;
    c.mode = mode;
    return c;
}

bool Shown(const CPropTabBrush& tab, int id) { return tab.Control(id) && tab.Control(id)->isVisibleTo(&tab); }

}  // namespace

TEST(BrushTabs, PanelsFollowTheTool) {
    EnsureQtApp();
    SlotGuard guard;
    CPropTabBrush tab(nullptr);
    tab.resize(1100, 120);
    tab.show();
    struct Case {
        int tool;
        bool opacity, flow, wet, load, mix, strength, clone;
    };
    const Case cases[] = {
        {kToolPaintBrush, true, true, false, false, false, false, false},
        {kToolMixerBrush, false, true, true, true, true, false, false},
        {kToolBlendBrush, false, true, true, false, true, false, false},
        {kToolSmudgeBrush, false, false, false, false, false, true, false},
        {kToolHealingCloneBrush, true, true, false, false, false, false, true},
    };
    for (const Case& c : cases) {
        tab.SetTool(c.tool);
        EXPECT_EQ(Shown(tab, 402), c.opacity) << c.tool;
        EXPECT_EQ(Shown(tab, 403), c.flow) << c.tool;
        EXPECT_EQ(Shown(tab, 420), c.wet) << c.tool;
        EXPECT_EQ(Shown(tab, 421), c.load) << c.tool;
        EXPECT_EQ(Shown(tab, 422), c.mix) << c.tool;
        EXPECT_EQ(Shown(tab, 430), c.strength) << c.tool;
        EXPECT_EQ(Shown(tab, 441), c.clone) << c.tool;
        EXPECT_EQ(Shown(tab, 423), c.tool == kToolMixerBrush) << c.tool;
    }
    EXPECT_TRUE(BrushTabsAppliesTo(ForTool(kToolEraseMask)));
    EXPECT_FALSE(BrushTabsAppliesTo(ForTool(kToolPaintBrush, kWorkspaceInpaint)));
    EXPECT_FALSE(BrushTabsAppliesTo(ForTool(kToolMove)));
}

TEST(BrushTabs, EditsReachTheSlotAndClearThePresetMark) {
    EnsureQtApp();
    SlotGuard guard;
    CPropTabBrush tab(nullptr);
    tab.SetTool(kToolPaintBrush);
    ToolBrushSlot& slot = GetToolBrushSettings(kToolPaintBrush)->ActiveSlot();
    slot.presetIndex = 3;
    auto* size = static_cast<CPropSliderWnd*>(tab.Control(401));
    size->SetValue(77);
    tab.OnCommand(401, kPropChanged, size);
    EXPECT_EQ(slot.settings.size, 77.0f);
    EXPECT_EQ(slot.presetIndex, 3);  // size keeps the preset mark
    auto* opacity = static_cast<CPropSliderWnd*>(tab.Control(402));
    opacity->SetValue(40);
    tab.OnCommand(402, kPropBegin, opacity);  // only changes act
    EXPECT_EQ(slot.presetIndex, 3);
    tab.OnCommand(402, kPropChanged, opacity);
    EXPECT_FLOAT_EQ(slot.settings.opacity, 0.4f);
    EXPECT_EQ(slot.presetIndex, -1);
    // The second well becomes the active slot.
    tab.OnCommand(405, kPropClick, nullptr);
    EXPECT_EQ(GetToolBrushSettings(kToolPaintBrush)->activeSlot, 1);

    CPropTabBrushAdvanced advanced(nullptr);
    advanced.SetTool(kToolPaintBrush);
    ToolBrushSlot& active = GetToolBrushSettings(kToolPaintBrush)->ActiveSlot();
    active.presetIndex = 2;
    auto* spacing = static_cast<CPropNumericEdit*>(advanced.Control(500));
    spacing->SetValue(150);
    advanced.OnCommand(500, kPropChanged, spacing);
    EXPECT_FLOAT_EQ(active.settings.spacing, 1.5f);
    EXPECT_EQ(active.presetIndex, -1);
}

TEST(BrushTabs, AdvancedLoadsImagesAndSavesIntoLibraries) {
    EnsureQtApp();
    SlotGuard guard;
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("brush_tabs_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    BrushLibrary current;
    SetBrushLibraryPlaces({dir.string(), "", nullptr});
    SetCurrentBrushLibrary(&current);
    ScriptedPrompts prompts;
    SetBrushTabPrompts(&prompts);

    CPropTabBrushAdvanced tab(nullptr);
    tab.SetTool(kToolPaintBrush);
    ToolBrushSlot& slot = GetToolBrushSettings(kToolPaintBrush)->ActiveSlot();
    slot.settings.tipKind = kBrushTipRound;
    { std::ofstream((dir / "empty.png").string()); }
    EXPECT_FALSE(tab.LoadImageFile((dir / "empty.png").string()));
    EXPECT_FALSE(tab.LoadImageFile((dir / "missing.png").string()));
    EXPECT_EQ(prompts.MessageTexts(),
              (std::vector<std::string>{"File is empty or too large.", "Could not open the selected file."}));
    { std::ofstream((dir / "tip.png").string()) << "not really an image"; }
    const uint64_t revision = slot.settings.tipRevision;
    EXPECT_TRUE(tab.LoadImageFile((dir / "tip.png").string()));
    EXPECT_EQ(slot.settings.tipKind, kBrushTipBitmap);  // a loaded tip makes the tip a bitmap
    EXPECT_EQ(slot.settings.tipRevision, revision + 1);

    // "User" creates user.brs; a second save with the same name asks to replace.
    tab.SaveBrushTo(1, "  ", "");
    BrushLibrary user;
    ASSERT_TRUE(user.Load((dir / "user.brs").string()));
    ASSERT_EQ(user.entries.size(), 1u);
    EXPECT_EQ(user.entries[0].name, "Brush 1");
    prompts.QueueAnswer(PromptAnswer::No);
    tab.SaveBrushTo(1, "Brush 1", "");
    ASSERT_TRUE(user.Load((dir / "user.brs").string()));
    EXPECT_EQ(user.entries.size(), 1u);
    // A new library is written and becomes current.
    tab.SaveBrushTo(2, "Ink", "Inks.brs");
    EXPECT_EQ(current.name, "Inks.brs");
    ASSERT_EQ(current.entries.size(), 1u);
    EXPECT_EQ(current.entries[0].name, "Ink");

    SetBrushTabPrompts(nullptr);
    SetCurrentBrushLibrary(nullptr);
    SetBrushLibraryPlaces({});
    fs::remove_all(dir);
}

TEST(BrushTabs, ALibraryChangeClearsThePresetOfEverySlot) {
    EnsureQtApp();
    SlotGuard guard;
    CPropTabBrush tab(nullptr);
    tab.SetTool(kToolPaintBrush);
    auto mark = [] {
        for (int t : {9, 10, 12, 13, 15, 16})
            for (ToolBrushSlot& s : GetToolBrushSettings(t)->toolSlots) s.presetIndex = 4;
    };
    auto marked = [] {
        int n = 0;
        for (int t : {9, 10, 12, 13, 15, 16})
            for (const ToolBrushSlot& s : GetToolBrushSettings(t)->toolSlots) n += s.presetIndex != -1;
        return n;
    };
    // Another library picked in the list, and the libraries changed elsewhere.
    for (const auto& change : std::vector<std::function<void()>>{[&] { tab.OnCommand(398, kPropClick, nullptr); },
                                                                  [&] { tab.OnLibrariesChanged(); }}) {
        mark();
        change();
        EXPECT_EQ(marked(), 0);
    }
}

// "Save" into "User" or a "New" library whose file is there but does not
// load (cut short, damaged, a folder) refuses with a message naming the file
// and leaves it byte for byte as it was: saving would have replaced the
// user's brushes with the one being saved.
TEST(BrushTabs, SavingIntoALibraryThatDoesNotLoadLeavesItAsItWas) {
    EnsureQtApp();
    SlotGuard guard;
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("brush_tabs_unread_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    BrushLibrary current;
    SetBrushLibraryPlaces({dir.string(), "", nullptr});
    SetCurrentBrushLibrary(&current);
    ScriptedPrompts prompts;
    SetBrushTabPrompts(&prompts);
    CPropTabBrushAdvanced tab(nullptr);
    tab.SetTool(kToolPaintBrush);

    BrushLibrary mine;
    mine.entries.resize(2);
    mine.entries[0].name = "Pencil";
    mine.entries[1].name = "Ink";
    std::vector<uint8_t> whole;
    ASSERT_TRUE(mine.Serialize(whole));
    const std::vector<uint8_t> cut(whole.begin(), whole.end() - 1);
    std::vector<uint8_t> badVersion = whole;
    badVersion[4] = 2;
    struct Case {
        int choice;
        const char* file;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {1, "user.brs", cut},
        {2, "Inks.brs", cut},
        {2, "Old.brs", badVersion},
        {2, "Empty.brs", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = (dir / c.file).string();
        ASSERT_TRUE(WriteFileAtomic(path, c.bytes));
        prompts.ClearRecords();
        tab.SaveBrushTo(c.choice, "Brush 1", c.file);
        EXPECT_EQ(prompts.MessageTexts(),
                  std::vector<std::string>{"The brush library \"" + path +
                                           "\" could not be read. It was left as it is and the brush was not saved "
                                           "into it."});
        std::vector<uint8_t> after;
        ReadWholeFile(path, after);
        EXPECT_EQ(after, c.bytes);
        EXPECT_TRUE(current.entries.empty());  // nothing was selected either
        fs::remove(path);
    }
    // A folder of that name is not written over either.
    fs::create_directories(dir / "user.brs");
    prompts.ClearRecords();
    tab.SaveBrushTo(1, "Brush 1", "");
    EXPECT_EQ(prompts.MessageTexts().size(), 1u);
    EXPECT_TRUE(fs::is_directory(dir / "user.brs"));
    // Nothing was left behind: no temporary files.
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir)) files += e.path().filename() != "user.brs";
    EXPECT_EQ(files, 0);

    SetBrushTabPrompts(nullptr);
    SetCurrentBrushLibrary(nullptr);
    SetBrushLibraryPlaces({});
    fs::remove_all(dir);
}
