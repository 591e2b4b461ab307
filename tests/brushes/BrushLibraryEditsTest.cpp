#include "brushes/BrushLibraryEdits.h"

#include <gtest/gtest.h>

TEST(BrushLibraryEdits, NewLibraryNames) {
    EXPECT_EQ(ProposeLibraryName({}), "New Set");
    EXPECT_EQ(ProposeLibraryName({"new set.brs", "New Set 2.brs", "default.brs"}), "New Set 3");

    struct Case {
        std::string typed;
        LibraryNameResult result;
        const char* file;
    };
    const Case cases[] = {
        {"..\\foo:bar", LibraryNameResult::Ok, "foobar.brs"},
        {"x/y/Sketch.BRS", LibraryNameResult::Ok, "Sketch.BRS"},
        {"  Inks  ", LibraryNameResult::Ok, "Inks.brs"},
        {"???", LibraryNameResult::NoValidCharacters, ""},
        {"..", LibraryNameResult::NoValidCharacters, ""},
        {"a/..", LibraryNameResult::NoValidCharacters, ""},
        {"   ", LibraryNameResult::EmptyName, ""},
        {"", LibraryNameResult::EmptyName, ""},
        // Names that would still not be a plain, visible file of the folder.
        {"x\\../../evil", LibraryNameResult::NotAFileName, ""},
        {"a\\b/../c.brs", LibraryNameResult::NotAFileName, ""},
        {"..evil", LibraryNameResult::NotAFileName, ""},
        {" .brs", LibraryNameResult::NotAFileName, ""},
        {".hidden", LibraryNameResult::NotAFileName, ""},
        {"sets\\..brs", LibraryNameResult::NotAFileName, ""},
        {std::string(252, 'n'), LibraryNameResult::NotAFileName, ""},
        {std::string(251, 'n'), LibraryNameResult::Ok, nullptr},
        {"a..b", LibraryNameResult::Ok, "a..b.brs"},
    };
    for (const Case& c : cases) {
        std::string out = "unchanged";
        EXPECT_EQ(CleanLibraryFileName(c.typed, out), c.result) << c.typed;
        const std::string file = c.file ? c.file : c.typed + ".brs";
        EXPECT_EQ(out, c.result == LibraryNameResult::Ok ? file : std::string("unchanged")) << c.typed;
        EXPECT_EQ(std::string(LibraryNameMessage(c.result)).empty(), c.result == LibraryNameResult::Ok);
    }
}

TEST(BrushLibraryEdits, AddReplaceAndListEdits) {
    BrushLibrary lib;
    BrushSettings s;
    s.size = 33;
    int asked = 0;
    EXPECT_TRUE(AddOrReplaceBrush(lib, "Ink", s, [&](const std::string&) { return ++asked, false; }));
    EXPECT_EQ(asked, 0);
    EXPECT_FALSE(lib.entries[0].preview.empty());
    s.size = 44;
    EXPECT_FALSE(AddOrReplaceBrush(lib, "INK", s, [&](const std::string&) { return ++asked, false; }));
    EXPECT_EQ(lib.entries[0].settings.size, 33.0f);
    EXPECT_TRUE(AddOrReplaceBrush(lib, "INK", s, [&](const std::string&) { return ++asked, true; }));
    EXPECT_EQ(asked, 2);
    ASSERT_EQ(lib.entries.size(), 1u);
    EXPECT_EQ(lib.entries[0].settings.size, 44.0f);
    EXPECT_EQ(lib.entries[0].name, "INK");

    std::vector<BrushEntry> list(3);
    for (int i = 0; i < 3; ++i) list[size_t(i)].name = std::string(1, char('a' + i));
    bool changed = true;
    EXPECT_EQ(MoveBrushUp(list, 0, changed), 0);
    EXPECT_FALSE(changed);
    EXPECT_EQ(MoveBrushDown(list, 2, changed), 2);
    EXPECT_FALSE(changed);
    EXPECT_EQ(MoveBrushDown(list, 0, changed), 1);
    EXPECT_EQ(list[1].name, "a");
    EXPECT_EQ(DeleteBrush(list, 2, changed), 1);  // the last of several: the new last
    EXPECT_EQ(DeleteBrush(list, 0, changed), 0);
    EXPECT_EQ(DeleteBrush(list, 0, changed), -1);  // the list is empty now
    EXPECT_TRUE(list.empty());
}

TEST(BrushLibraryEdits, ListGeometry) {
    // Two presets in a 106-pixel list need no thumb; ten give 106 x 106 / 520.
    int top = 0, h = 0;
    EXPECT_FALSE((PresetListGeometry{2, 106}.Thumb(0, top, h)));
    ASSERT_TRUE((PresetListGeometry{10, 106}.Thumb(0, top, h)));
    EXPECT_EQ(h, 21);
    EXPECT_EQ((PresetListGeometry{10, 106}.MaxOffset()), 520 - 106);
    EXPECT_EQ((PresetListGeometry{10, 106}.RowAt(60, 0)), 1);
    EXPECT_EQ((PresetListGeometry{10, 106}.RowAt(10, 520)), -1);
    EXPECT_EQ((LibraryListGeometry{3, 100}.RowAt(45, 0)), 2);
    EXPECT_EQ((LibraryListGeometry{3, 100}.RowAt(70, 0)), -1);
    EXPECT_EQ(LibraryDisplayName("default.brs"), "default");
    EXPECT_EQ(LibraryDisplayName(".brs"), ".brs");
}
