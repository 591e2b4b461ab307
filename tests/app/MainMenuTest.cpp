#include "app/MainMenu.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {
void Collect(const std::vector<MenuEntry>& entries, std::map<int, std::string>& ids) {
    for (const MenuEntry& e : entries) {
        if (e.kind == MenuEntry::kCommand) ids[e.id] = e.text;
        Collect(e.children, ids);
    }
}
}  // namespace

TEST(MainMenu, TopLevelOrderAndSampleItems) {
    const auto& menu = MainMenuEntries();
    std::vector<std::string> top;
    for (const MenuEntry& e : menu) top.push_back(e.text);
    EXPECT_EQ(top, (std::vector<std::string>{"&File", "&Edit", "&View", "Modify", "Image", "Selection", "FIlters",
                                             "Posable Editor", "Settings", "&Help"}));
    EXPECT_EQ(menu[6].kind, MenuEntry::kCommand);
    EXPECT_EQ(menu[6].id, 32859);

    std::map<int, std::string> ids;
    Collect(menu, ids);
    EXPECT_EQ(ids.size(), 52u);
    EXPECT_EQ(ids[57600], "&New\tCtrl+N");
    EXPECT_EQ(ids[32830], "Inverse\tCtrl+I");
    EXPECT_EQ(ids[32812], "Reset Warp");
    EXPECT_EQ(ids[59392], "<placeholder>");
    EXPECT_EQ(ids[57664], "&About Plindrow");
    // File: 14 entries with three separators.
    EXPECT_EQ(menu[0].children.size(), 14u);
}

TEST(MainMenu, Accelerators) {
    std::map<std::string, int> keys;
    for (const Accelerator& a : MainAccelerators())
        keys[std::string(a.ctrl ? "Ctrl+" : "") + (a.shift ? "Shift+" : "") + a.key] = a.command;
    EXPECT_EQ(keys.size(), 17u);
    EXPECT_EQ(keys["Ctrl+I"], 32830);
    EXPECT_EQ(keys.count("Ctrl+Shift+I"), 0u);
    EXPECT_EQ(keys["Ctrl+Shift+D"], 32829);
    EXPECT_EQ(keys["Ctrl+Insert"], 57634);
    EXPECT_EQ(keys["Shift+Insert"], 57637);
    EXPECT_EQ(keys["Shift+Delete"], 57635);
    EXPECT_EQ(keys["Shift+F6"], 57681);

    // Every key a menu item shows runs that item's command.
    std::map<int, std::string> ids;
    Collect(MainMenuEntries(), ids);
    for (const auto& [id, text] : ids) {
        const size_t tab = text.find('\t');
        if (tab == std::string::npos) continue;
        const std::string shown = text.substr(tab + 1);
        ASSERT_EQ(keys.count(shown), 1u) << text;
        EXPECT_EQ(keys[shown], id) << text;
    }
}

TEST(MainMenu, TextWithoutMnemonic) {
    EXPECT_EQ(MenuTextWithoutMnemonic("&Open...\tCtrl+O"), "Open...");
    EXPECT_EQ(MenuTextWithoutMnemonic("Save &As..."), "Save As...");
    EXPECT_EQ(MenuTextWithoutMnemonic("A && B"), "A & B");
}
