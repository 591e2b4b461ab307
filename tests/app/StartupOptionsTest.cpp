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

TEST(SeedBrushLibraries, CopiesOnceAndRewritesABadMarker) {
    TempDir dir;
    const std::string src = dir.Str("Brushes"), dst = dir.Str("user/brushes");
    CreateDirectories(src);
    CreateDirectories(src + "/sub.brs");  // a folder, not a library
    Touch(src + "/a.brs", "new");
    Touch(src + "/b.brs");
    Touch(src + "/notes.txt");
    CreateDirectories(dst);
    Touch(dst + "/a.brs", "old");

    MemoryProfile profile;
    profile.WriteString(kBrushesProfileKey, "BrushSeedVersion", "1");  // a string does not count
    EXPECT_EQ(SeedUserBrushLibraries(profile, src, dst), 2);
    EXPECT_TRUE(FileExists(dst + "/b.brs"));
    EXPECT_FALSE(FileExists(dst + "/notes.txt"));
    EXPECT_FALSE(DirectoryExists(dst + "/sub.brs"));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(dst + "/a.brs", bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "new");
    EXPECT_EQ(profile.ReadDword(kBrushesProfileKey, "BrushSeedVersion"), 1u);

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
