#include "platform/Log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

TEST(Log, LinesCarryTheirPrefix) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    LogInfo("Startup initialized");
    LogError("GDI+ initialization failed");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "[INFO] Startup initialized\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[ERROR] GDI+ initialization failed\n");
}

TEST(Log, AppDocumentsPathCreatesOnlyFolders) {
    namespace fs = std::filesystem;
    fs::path docs = fs::temp_directory_path() / ("plindrow_docs_" + std::to_string(::getpid()));
    const char* old = std::getenv("XDG_DOCUMENTS_DIR");
    std::string saved = old ? old : "";
    ::setenv("XDG_DOCUMENTS_DIR", (docs.string() + "/").c_str(), 1);

    std::string brushes = GetAppDocumentsPath("", "brushes");
    EXPECT_EQ(brushes, docs.string() + "/Plindrow/brushes");  // no doubled separator
    EXPECT_TRUE(fs::is_directory(brushes));
    EXPECT_EQ(GetAppDocumentsPath(), docs.string() + "/Plindrow");
    std::string file = GetAppDocumentsPath("a.brs");
    EXPECT_EQ(file, docs.string() + "/Plindrow/a.brs");
    EXPECT_FALSE(fs::exists(file));

    if (old) ::setenv("XDG_DOCUMENTS_DIR", saved.c_str(), 1);
    else ::unsetenv("XDG_DOCUMENTS_DIR");
    fs::remove_all(docs);
}

TEST(Log, ProgramFolderIsAbsolute) {
    std::string dir = GetProgramFolder();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.front(), '/');
    EXPECT_TRUE(std::filesystem::exists(dir));
}

}  // namespace
