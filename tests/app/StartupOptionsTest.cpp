#include "app/SeedBrushLibraries.h"
#include "app/StartupOptions.h"
#include "platform/Files.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {
struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() / ("plindrow_app_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string Str(const char* sub = "") const { return (path / sub).string(); }
};

void Touch(const std::string& p, const char* text = "x") {
    ASSERT_TRUE(WriteFileAtomic(p, text, std::char_traits<char>::length(text)));
}
}  // namespace

TEST(StartupOptions, FileArgumentOrDemo) {
    TempDir dir;
    EXPECT_EQ(ParseStartupOptions({"plindrow"}, dir.Str()).fileToOpen, "");
    Touch(dir.Str("demo.qvk"));
    StartupOptions demo = ParseStartupOptions({"plindrow"}, dir.Str());
    EXPECT_EQ(demo.fileToOpen, JoinPath(dir.Str(), "demo.qvk"));
    EXPECT_TRUE(demo.isDemo);
    StartupOptions named = ParseStartupOptions({"plindrow", "-style", "x.qvk"}, dir.Str());
    EXPECT_EQ(named.fileToOpen, "x.qvk");
    EXPECT_FALSE(named.isDemo);
}

TEST(StartupOptions, DisplayCheck) {
    EXPECT_EQ(MissingDisplayReason(nullptr, ":0", nullptr), "");
    EXPECT_EQ(MissingDisplayReason(nullptr, nullptr, "wayland-0"), "");
    EXPECT_EQ(MissingDisplayReason("offscreen", nullptr, nullptr), "");
    EXPECT_NE(MissingDisplayReason(nullptr, "", nullptr).find("graphical session"), std::string::npos);
}

TEST(SeedBrushLibraries, CopiesOnceAndNeverReplacesTheUsersLibraries) {
    TempDir dir;
    const std::string src = dir.Str("Brushes"), dst = dir.Str("user/brushes");
    CreateDirectories(src);
    CreateDirectories(src + "/sub.brs");  // a folder, not a library
    Touch(src + "/default.brs", "shipped default");
    Touch(src + "/a.brs", "new");
    Touch(src + "/b.brs");
    Touch(src + "/c.brs", "shipped c");
    Touch(src + "/notes.txt");
    CreateDirectories(dst);
    // The user's own libraries, one of them damaged (its last byte cut), and
    // a link to a library that is gone: none is replaced or written through.
    const std::string mine = std::string("BLIB\x01\0\0\0\x01\0\0\0\x04\0\0\0Min", 19);
    ASSERT_TRUE(WriteFileAtomic(dst + "/default.brs", mine.data(), mine.size()));
    Touch(dst + "/a.brs", "old");
    fs::create_symlink(dir.Str("gone.brs"), dst + "/c.brs");

    // A fresh profile: the marker is missing (a string does not count).
    MemoryProfile profile;
    profile.WriteString(kBrushesProfileKey, "BrushSeedVersion", "1");
    EXPECT_EQ(SeedUserBrushLibraries(profile, src, dst), 1);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(dst + "/default.brs", bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), mine);
    ASSERT_TRUE(ReadWholeFile(dst + "/a.brs", bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "old");
    EXPECT_TRUE(fs::is_symlink(dst + "/c.brs"));
    EXPECT_FALSE(fs::exists(dir.Str("gone.brs")));
    ASSERT_TRUE(ReadWholeFile(dst + "/b.brs", bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "x");
    EXPECT_FALSE(FileExists(dst + "/notes.txt"));
    EXPECT_FALSE(DirectoryExists(dst + "/sub.brs"));
    // Nothing but the libraries is left in the folder.
    int files = 0;
    for (const auto& e : fs::directory_iterator(dst)) files += e.path().extension() == ".brs" ? 1 : 100;
    EXPECT_EQ(files, 4);
    EXPECT_EQ(profile.ReadDword(kBrushesProfileKey, "BrushSeedVersion"), 1u);

    // Into an empty folder everything is copied whole.
    MemoryProfile fresh;
    const std::string empty = dir.Str("empty");
    EXPECT_EQ(SeedUserBrushLibraries(fresh, src, empty), 4);
    ASSERT_TRUE(ReadWholeFile(empty + "/default.brs", bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "shipped default");

    // Second run: nothing copied, even after the user deleted the copies.
    fs::remove(dst + "/b.brs");
    EXPECT_EQ(SeedUserBrushLibraries(profile, src, dst), 0);
    EXPECT_FALSE(FileExists(dst + "/b.brs"));

    // A zero marker and no source folder: the marker is rewritten all the same.
    MemoryProfile zero;
    zero.WriteDword(kBrushesProfileKey, "BrushSeedVersion", 0);
    EXPECT_EQ(SeedUserBrushLibraries(zero, dir.Str("none"), dst), 0);
    EXPECT_EQ(zero.ReadDword(kBrushesProfileKey, "BrushSeedVersion"), 1u);
}
