#include "platform/Files.h"
#include "platform/IconStore.h"
#include "platform/ToolbarButtons.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(ToolbarButtons, TooltipTexts) {
    auto strings = [](int id) { return id == 57600 ? std::string("Create a new document\nNew") : std::string("Plain"); };
    ToolbarButtonEntry e = MakeToolbarEntry(CToolbarButtonDesc::Command(57600, "new"), strings);
    EXPECT_EQ(e.tipTitle, "New");
    EXPECT_EQ(e.tipText, "Create a new document");
    e = MakeToolbarEntry(CToolbarButtonDesc::Command(5, "x"), strings);
    EXPECT_EQ(e.tipTitle, "Plain");
    EXPECT_EQ(e.tipText, "Plain");
    CToolbarButtonDesc d = CToolbarButtonDesc::Command(0, "x", " Two\r\nlines ", "");
    e = MakeToolbarEntry(d, strings);  // id 0 asks no string
    EXPECT_EQ(e.tipTitle, "Two lines");
    EXPECT_EQ(e.tipText, "");
}

TEST(ToolbarButtons, LayoutRefusesWhatDoesNotFitAndGroupsHide) {
    std::vector<ToolbarButtonEntry> e;
    for (int i = 0; i < 3; ++i) e.push_back(MakeToolbarEntry(CToolbarButtonDesc::Command(i + 1, ""), {}));
    e.push_back(MakeToolbarEntry(CToolbarButtonDesc::MakeSeparator(0), {}));
    e.push_back(MakeToolbarEntry(CToolbarButtonDesc::MakeLabel("", 10), {}));
    auto noIcon = [](const ToolbarButtonEntry&, int) { return 0; };
    // 8 + 28 + 2 + 28 + 2 = 68; the third button (28) does not fit in 100 - 8,
    // the zero-width separator and the 12-wide label do.
    LayoutToolbar(e, 100, 36, 96, noIcon, {});
    EXPECT_EQ(e[0].rect, (RectI{8, 5, 36, 31}));
    EXPECT_EQ(e[1].rect.left, 38);
    EXPECT_TRUE(e[2].rect.IsEmpty());
    EXPECT_EQ(e[3].rect.Width(), 0);
    EXPECT_EQ(e[4].rect, (RectI{68, 5, 80, 31}));
    EXPECT_EQ(ToolbarHitTest(e, 20, 10), 0);
    EXPECT_EQ(ToolbarHitTest(e, 70, 10), -1);  // labels are not buttons

    // A collapsed group with count 3 as the last-but-one entry hides only the last.
    CToolbarButtonDesc g;
    g.kind = CToolbarButtonDesc::Group;
    g.group.groupCount = 3;
    g.initiallyExpanded = false;
    std::vector<ToolbarButtonEntry> h = {MakeToolbarEntry(CToolbarButtonDesc::Command(1, ""), {}),
                                         MakeToolbarEntry(g, {}),
                                         MakeToolbarEntry(CToolbarButtonDesc::Command(2, ""), {})};
    EXPECT_EQ(ToolbarShownEntries(h), (std::vector<bool>{true, true, false}));
}

TEST(IconStore, FallsBackToPolygonAndRemembersFailures) {
    const std::string dir = (std::filesystem::temp_directory_path() / "icon_store_test").string();
    std::filesystem::create_directories(dir);
    IconStore store(dir, false);
    const PolygonTable square{1, 4, 0, 0, 1000, 0, 1000, 1000, 0, 1000};
    IconRequest missing;
    missing.name = "nothere";
    EXPECT_EQ(store.Scaled(missing, 24), nullptr);
    EXPECT_EQ(store.Scaled(missing, 24), nullptr);
    EXPECT_EQ(store.FileReads(), 1);  // the failure is not retried at every paint
    missing.polygon = &square;
    missing.tint = 0x102030;
    BitmapPtr fallback = store.Scaled(missing, 20);
    ASSERT_NE(fallback, nullptr);
    EXPECT_EQ(fallback->Height(), 20);
    EXPECT_EQ(fallback->Pixel(10, 10), 0xFF102030u);
    // A new folder forgets the failures.
    store.SetFolder(dir + "/other", false);
    missing.polygon = nullptr;
    EXPECT_EQ(store.Scaled(missing, 24), nullptr);
    EXPECT_EQ(store.FileReads(), 3);
    EXPECT_EQ(IconStore::IconPath("res", " new "), "res/new.png");
    EXPECT_EQ(IconStore::IconPath("res/", "a.b"), "res/a.b");
    std::filesystem::remove_all(dir);
}
