#include "platform/Bitmap.h"
#include "platform/Codecs.h"
#include "platform/CompositeSurface.h"
#include "platform/Files.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include <cstdio>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::vector<uint8_t> EncodeWithOpenCV(const cv::Mat& m, const std::string& ext) {
    std::vector<uchar> buf;
    EXPECT_TRUE(cv::imencode(ext, m, buf));
    return {buf.begin(), buf.end()};
}

TEST(Bitmap, CapsFailAsNull) {
    EXPECT_EQ(Bitmap::Create(0, 10), nullptr);
    EXPECT_EQ(Bitmap::Create(32768, 1), nullptr);
    EXPECT_EQ(Bitmap::Create(20000, 20000), nullptr);  // above 2^28 pixels
    auto b = Bitmap::Create(3, 2);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Stride(), 12);
    EXPECT_EQ(b->Pixel(2, 1), 0u);
}

TEST(Bitmap, WrapSharesCallerMemory) {
    std::vector<uint8_t> mem(2 * 16, 0);
    auto b = Bitmap::Wrap(mem.data(), 3, 2, 16);
    ASSERT_NE(b, nullptr);
    b->SetPixel(1, 1, 0x11223344);
    EXPECT_EQ(mem[16 + 4], 0x44);
    EXPECT_EQ(Bitmap::Wrap(mem.data(), 5, 2, 16), nullptr);  // stride too small
}

struct CodecCase {
    const char* name;
    cv::Mat image;
    const char* ext;
    uint32_t expectFirstPixel;
};

TEST(Codecs, DecodesEveryInputFormToStraightBgra) {
    cv::Mat grey(2, 3, CV_8UC1, cv::Scalar(0x40));
    cv::Mat bgr(2, 3, CV_8UC3, cv::Scalar(1, 2, 3));
    cv::Mat bgra(2, 3, CV_8UC4, cv::Scalar(10, 20, 30, 128));
    cv::Mat grey16(2, 3, CV_16UC1, cv::Scalar(0xFFFF));
    cv::Mat bgra16(2, 3, CV_16UC4, cv::Scalar(0, 0, 0xFFFF, 0x8080));
    const CodecCase cases[] = {
        {"grey png", grey, ".png", 0xFF404040},
        {"bgr png", bgr, ".png", 0xFF030201},
        {"alpha png", bgra, ".png", 0x801E140A},
        {"16-bit grey png", grey16, ".png", 0xFFFFFFFF},
        {"16-bit alpha png", bgra16, ".png", 0x80FF0000},
        {"bmp", bgr, ".bmp", 0xFF030201},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = EncodeWithOpenCV(c.image, c.ext);
        auto bmp = DecodeImage(bytes);
        ASSERT_NE(bmp, nullptr);
        EXPECT_EQ(bmp->Width(), 3);
        EXPECT_EQ(bmp->Height(), 2);
        EXPECT_EQ(bmp->Pixel(0, 0), c.expectFirstPixel);
    }
}

TEST(Codecs, JpegDecodesOpaque) {
    cv::Mat bgr(8, 8, CV_8UC3, cv::Scalar(200, 100, 50));
    auto bmp = DecodeImage(EncodeWithOpenCV(bgr, ".jpg"));
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->Pixel(4, 4) >> 24, 0xFFu);
}

TEST(Codecs, PngRoundTripKeepsAlphaExactly) {
    auto b = Bitmap::Create(5, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) b->SetPixel(x, y, uint32_t(x * 50) << 24 | uint32_t(y * 60) << 16 | 0x0707);
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodePng(*b, png));
    auto back = DecodeImage(png);
    ASSERT_NE(back, nullptr);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(back->Pixel(x, y), b->Pixel(x, y));
}

TEST(Codecs, BadBytesFailCleanly) {
    auto b = Bitmap::Create(16, 16);
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodePng(*b, png));
    for (size_t cut : {size_t(0), size_t(7), size_t(30), png.size() / 2, png.size() - 1}) {
        std::vector<uint8_t> t(png.begin(), png.begin() + long(cut));
        EXPECT_EQ(DecodeImage(t), nullptr) << cut;
    }
    std::vector<uint8_t> junk(100, 0xAB);
    EXPECT_EQ(DecodeImage(junk), nullptr);
    // A header claiming a side above the caps is refused before decoding.
    std::vector<uint8_t> huge = png;
    huge[16] = 0x00; huge[17] = 0x01; huge[18] = 0x00; huge[19] = 0x00;  // width 65536
    EXPECT_EQ(DecodeImage(huge), nullptr);

    // Each refusal says why.
    std::vector<uint8_t> corrupt = png;
    for (size_t i = 40; i < corrupt.size() - 12; ++i) corrupt[i] ^= 0x5A;  // the pixel data, past the header
    const std::vector<uint8_t> jpeg = EncodeWithOpenCV(cv::Mat(8, 8, CV_8UC3, cv::Scalar(1, 2, 3)), ".jpg");
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        DecodeError error;
    } reasons[] = {
        {"good", png, DecodeError::kNone},
        {"empty", {}, DecodeError::kNotAnImage},
        {"junk", junk, DecodeError::kNotAnImage},
        {"gif", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0}, DecodeError::kNotAnImage},
        {"png signature only", std::vector<uint8_t>(png.begin(), png.begin() + 8), DecodeError::kDamaged},
        {"png cut in its data", std::vector<uint8_t>(png.begin(), png.begin() + long(png.size() / 2)),
         DecodeError::kDamaged},
        {"png with corrupt data", corrupt, DecodeError::kDamaged},
        {"jpeg cut before its frame header", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 6),
         DecodeError::kDamaged},
        {"png too wide", huge, DecodeError::kTooLarge},
    };
    for (const auto& c : reasons) {
        DecodeError why = DecodeError::kOutOfMemory;
        const BitmapPtr b = DecodeImage(c.bytes, &why);
        EXPECT_EQ(b != nullptr, c.error == DecodeError::kNone) << c.name;
        EXPECT_EQ(why, c.error) << c.name;
    }
    EXPECT_EQ(DecodeErrorText(DecodeError::kDamaged), "The image data is truncated or damaged.");
}

// A save stopped by the file-size limit fails with EFBIG once the signal that
// would kill the process is ignored, and removes its temporary file.
TEST(Files, AtomicWriteAtTheFileSizeLimitFailsAndCleansUp) {
    auto dir = std::filesystem::temp_directory_path() / ("plindrow_fsize_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "a.bin").string();
    const std::vector<uint8_t> old(100, 1), big(64 * 1024, 2);
    ASSERT_TRUE(WriteFileAtomic(path, old));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        IgnoreFileSizeLimitSignal();
        struct rlimit limit {4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        const bool wrote = WriteFileAtomic(path, big, &error);
        ::_exit(!wrote && error.find("too large") != std::string::npos ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"a.bin"});
    std::vector<uint8_t> got;
    ASSERT_TRUE(ReadWholeFile(path, got));
    EXPECT_EQ(got, old);
    std::filesystem::remove_all(dir);
}

TEST(CompositeSurface, CreateReleaseAndDirtyFlag) {
    CompositeSurface s;
    EXPECT_FALSE(s.Create(0, 5));
    EXPECT_EQ(s.pixels, nullptr);
    s.dirty = false;
    s.Release();
    EXPECT_FALSE(s.dirty);
    ASSERT_TRUE(s.Create(4, 3));
    EXPECT_TRUE(s.dirty);
    EXPECT_EQ(s.Pitch(), 16);
    s.dirty = false;
    ASSERT_TRUE(s.Create(8, 8));
    EXPECT_TRUE(s.dirty);
    EXPECT_EQ(s.width, 8);
}

TEST(Files, AtomicWriteReplacesOrLeavesOldFileIntact) {
    auto dir = std::filesystem::temp_directory_path() / ("plindrow_files_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / "a.bin").string();
    std::vector<uint8_t> v1{1, 2, 3}, v2{9, 9};
    ASSERT_TRUE(WriteFileAtomic(path, v1));
    ASSERT_TRUE(WriteFileAtomic(path, v2));
    std::vector<uint8_t> got;
    ASSERT_TRUE(ReadWholeFile(path, got));
    EXPECT_EQ(got, v2);
    // A folder that cannot be written: the write fails and the old file stays.
    if (::geteuid() != 0) {
        ::chmod(dir.c_str(), 0555);
        std::string err;
        EXPECT_FALSE(WriteFileAtomic(path, v1, &err));
        EXPECT_FALSE(err.empty());
        ::chmod(dir.c_str(), 0755);
        ASSERT_TRUE(ReadWholeFile(path, got));
        EXPECT_EQ(got, v2);
    }
    // Renaming over a folder fails; the temporary file is removed.
    std::filesystem::create_directories(dir / "sub");
    EXPECT_FALSE(WriteFileAtomic((dir / "sub").string(), v1));
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir)) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
    // Empty files are not read.
    ASSERT_TRUE(WriteFileAtomic(path, nullptr, 0));
    EXPECT_FALSE(ReadWholeFile(path, got));
    // The checked read says why, and leaves nothing behind on failure.
    ASSERT_TRUE(WriteFileAtomic(path, v1));
    struct Case {
        std::string path;
        uint64_t maxBytes;
        ReadFileResult result;
    };
    // A named pipe without a writer would block an open for reading for ever.
    const std::string pipe = (dir / "pipe").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string empty = (dir / "empty").string();
    ASSERT_TRUE(WriteFileAtomic(empty, nullptr, 0));
    const Case cases[] = {
        {path, 3, kReadOk},
        {path, 2, kReadTooLarge},
        {empty, 100, kReadEmpty},
        {(dir / "missing").string(), 100, kReadCannotOpen},
        {(dir / "sub").string(), 100, kReadNotAFile},
        {pipe, 100, kReadNotAFile},
        {"/dev/null", 100, kReadNotAFile},
    };
    for (const Case& c : cases) {
        got = {7};
        EXPECT_EQ(ReadWholeFileChecked(c.path, got, c.maxBytes), c.result) << c.path << " " << c.maxBytes;
        EXPECT_EQ(got.empty(), c.result != kReadOk);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
