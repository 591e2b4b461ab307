// Project files of any size: the reader takes what the format holds, reads
// only what the records need, and refuses a file that is no project on its
// first bytes however large it is. Large files are made sparse, so nothing
// large is written or read.
#include "DocumentFixture.h"

#include "document/ProjectFile.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Counts what the reader asks of the file.
struct CountingFile : ArchiveSource {
    ReadOnlyFile file;
    uint64_t bytesRead = 0;
    bool ReadAt(uint64_t offset, void* out, size_t size) override {
        bytesRead += size;
        return file.ReadAt(offset, out, size);
    }
};

// Writes head at the start of a file of `size` bytes; the rest is a hole.
std::string SparseFile(const std::string& name, const std::vector<uint8_t>& head, uint64_t size) {
    const std::string path = (std::filesystem::temp_directory_path() / ("projsize_" + name)).string();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::write(fd, head.data(), head.size()), ssize_t(head.size()));
    EXPECT_EQ(::ftruncate(fd, off_t(size)), 0);
    ::close(fd);
    return path;
}

constexpr uint64_t kGiB = uint64_t(1) << 30;

}  // namespace

TEST(ProjectFileSize, AFileThatIsNoProjectIsRefusedOnItsFirstBytes) {
    std::vector<uint8_t> garbage(4096);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 131 + 7);
    std::vector<uint8_t> magicThenGarbage = garbage;
    std::copy_n("QVK1", 4, magicThenGarbage.begin());
    // A right header, then a layer count that the rest of the file, large
    // as it is, cannot hold.
    const std::vector<uint8_t> header{'Q', 'V', 'K', '1', 14, 0, 0, 0, 0, 0, 0x80, 0x3F, 0, 0, 0x80, 0x3F, 0xFF, 0xFF,
                                      0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0,   0xFF, 0xFE, 0xFF, 0, 0xF0, 0xFF, 0xFF, 0xFF};
    const struct {
        const char* name;
        std::vector<uint8_t> head;
    } cases[] = {{"garbage", garbage}, {"magic_then_garbage", magicThenGarbage}, {"header_then_huge_layer_count", header}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = SparseFile(c.name, c.head, 2 * kGiB);
        CountingFile source;
        ASSERT_EQ(source.file.Open(path), kReadOk);
        ASSERT_EQ(source.file.Size(), 2 * kGiB);
        CanvasDocument scene;
        std::string error;
        EXPECT_FALSE(ReadProject(source, source.file.Size(), scene, &error));
        EXPECT_EQ(error, kUnexpectedFileFormat);
        EXPECT_LE(source.bytesRead, uint64_t(1) << 20);
        EXPECT_EQ(LoadProjectFile(path, scene, &error), ProjectLoadResult::kBadFormat);
        EXPECT_EQ(error, kUnexpectedFileFormat);
        std::filesystem::remove(path);
    }
}

// What Save writes, Open reads: a file past 2 GiB is no reason to refuse it.
// Here the project is small and followed by a hole (bytes after the last
// layer are not the reader's business), so the test holds nothing large.
TEST(ProjectFileSize, AFileLargerThan2GiBIsReadAsTheRecordsNeedIt) {
    DocumentEnv env;
    const std::vector<uint8_t> bytes = WriteProjectBytes(env.doc.mainScene);
    const std::string path = SparseFile("large.qvk", bytes, 2 * kGiB + kGiB / 2);
    CountingFile source;
    ASSERT_EQ(source.file.Open(path), kReadOk);
    CanvasDocument scene;
    std::string error;
    ASSERT_TRUE(ReadProject(source, source.file.Size(), scene, &error)) << error;
    EXPECT_EQ(Signature(scene), Signature(env.doc.mainScene));
    EXPECT_LE(source.bytesRead, uint64_t(1) << 20);
    CanvasDocument loaded;
    ASSERT_EQ(LoadProjectFile(path, loaded, &error), ProjectLoadResult::kLoaded) << error;
    EXPECT_EQ(Signature(loaded), Signature(env.doc.mainScene));
    std::filesystem::remove(path);
}

// Streaming and reading from memory give the same scene, also across the
// reader's fetches (an image part larger than one fetch).
TEST(ProjectFileSize, StreamingReadsWhatMemoryReads) {
    DocumentEnv env;
    CanvasObject* tree = env.doc.mainScene.FindObject("object_1");
    ImagePart part;
    part.id = "image_1";
    part.name = "noise";
    part.encoded.resize(200000);
    for (size_t i = 0; i < part.encoded.size(); ++i) part.encoded[i] = uint8_t(i * 2654435761u >> 13);
    tree->parts.push_back(part);
    tree->name = std::string(70000, 'n');  // a string across a fetch boundary
    const std::vector<uint8_t> bytes = WriteProjectBytes(env.doc.mainScene);
    const std::string path = SparseFile("stream.qvk", bytes, bytes.size());
    CanvasDocument fromFile, fromMemory;
    ASSERT_EQ(LoadProjectFile(path, fromFile), ProjectLoadResult::kLoaded);
    ASSERT_TRUE(ReadProjectBytes(bytes, fromMemory));
    EXPECT_EQ(WriteProjectBytes(fromFile), bytes);
    EXPECT_EQ(WriteProjectBytes(fromMemory), bytes);
    std::filesystem::remove(path);
}
