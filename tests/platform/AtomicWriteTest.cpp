// What an atomic save replaces: a regular file (also through symbolic links,
// which stay links), never a pipe, device or folder; and what it cleans up:
// the temporaries of saves of the same target that were killed.
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class AtomicWrite : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("atomicwrite_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string P(const std::string& name) const { return (dir / name).string(); }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    static bool Save(const std::string& path, const std::string& text, std::string* error = nullptr) {
        return WriteFileAtomic(path, text.data(), text.size(), error);
    }
    // Everything in the folder, names sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    fs::path dir;
};

}  // namespace

TEST_F(AtomicWrite, SymbolicLinksStayLinksAndTheirTargetIsReplaced) {
    fs::create_directories(dir / "real");
    Write(P("real/picture.qvk"), "old");
    ::chmod(P("real/picture.qvk").c_str(), 0600);
    fs::create_symlink("real/picture.qvk", dir / "link.qvk");  // relative, from the link's folder
    fs::create_symlink(dir / "link.qvk", dir / "link2.qvk");   // a link to the link
    ASSERT_TRUE(Save(P("link2.qvk"), "new"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.qvk"));
    EXPECT_TRUE(fs::is_symlink(dir / "link2.qvk"));
    EXPECT_EQ(Read(P("real/picture.qvk")), "new");
    EXPECT_EQ(fs::status(dir / "real/picture.qvk").permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"link.qvk", "link2.qvk", "real"}));

    // A link whose file does not exist yet makes that file.
    fs::create_symlink("real/fresh.png", dir / "dangling.png");
    ASSERT_TRUE(Save(P("dangling.png"), "png"));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.png"));
    EXPECT_EQ(Read(P("real/fresh.png")), "png");

    // A loop of links is refused.
    fs::create_symlink("loop_b", dir / "loop_a");
    fs::create_symlink("loop_a", dir / "loop_b");
    std::string error;
    EXPECT_FALSE(Save(P("loop_a"), "x", &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(AtomicWrite, WhatIsNotARegularFileIsRefusedAndLeftAlone) {
    ASSERT_EQ(::mkfifo(P("pipe.png").c_str(), 0600), 0);
    fs::create_directories(dir / "folder.png");
    fs::create_symlink("pipe.png", dir / "to_pipe.png");
    for (const char* name : {"pipe.png", "folder.png", "to_pipe.png"}) {
        SCOPED_TRACE(name);
        std::string error;
        EXPECT_FALSE(Save(P(name), "data", &error));
        EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    }
    EXPECT_TRUE(fs::is_fifo(dir / "pipe.png"));
    EXPECT_TRUE(fs::is_directory(dir / "folder.png"));
    EXPECT_TRUE(fs::is_empty(dir / "folder.png"));
    EXPECT_TRUE(fs::is_symlink(dir / "to_pipe.png"));
    // No temporary is left behind either.
    EXPECT_EQ(Entries(), (std::vector<std::string>{"folder.png", "pipe.png", "to_pipe.png"}));
}

TEST_F(AtomicWrite, TheTemporaryOfAKilledSaveGoesAtTheNextSave) {
    const std::string target = P("picture.qvk");
    Write(target, "old");
    // A save killed half-way: the file-size limit kills the child in the
    // middle of writing its temporary.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit core{0, 0}, size{4096, 4096};
        ::setrlimit(RLIMIT_CORE, &core);
        ::setrlimit(RLIMIT_FSIZE, &size);
        const std::string big(1 << 16, 'x');
        WriteFileAtomic(target, big.data(), big.size());
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    ASSERT_EQ(Entries().size(), 2u);  // the target and the killed save's temporary
    EXPECT_EQ(Read(target), "old");

    // A temporary of a save still in progress (its writer holds the lock)
    // and files of other names stay.
    const std::string stale = [&] {
        for (const std::string& e : Entries())
            if (e != "picture.qvk") return e;
        return std::string();
    }();
    std::string busy = stale;
    busy.back() = busy.back() == 'A' ? 'B' : 'A';
    Write(P(busy), "in progress");
    const int held = ::open(P(busy).c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    Write(P(".picture.qvk.swp"), "someone else's");
    Write(P(stale + "7"), "not ours: one character too many");

    ASSERT_TRUE(Save(target, "new"));
    EXPECT_EQ(Read(target), "new");
    std::vector<std::string> expected{".picture.qvk.swp", busy, stale + "7", "picture.qvk"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Entries(), expected);
    ::close(held);
}
