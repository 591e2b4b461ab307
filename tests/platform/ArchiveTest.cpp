#include "platform/Archive.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

std::vector<uint8_t> Written(const std::string& s) {
    ArchiveWriter w;
    w.WriteString(s);
    return w.TakeBytes();
}

std::string ReadBack(const std::vector<uint8_t>& bytes) {
    ArchiveReader r(bytes);
    std::string s = r.ReadString();
    EXPECT_TRUE(r.AtEnd());
    return s;
}

TEST(Archive, StringLengthPrefixForms) {
    EXPECT_EQ(Written(""), (std::vector<uint8_t>{0xFF, 0xFE, 0xFF, 0x00}));
    EXPECT_EQ(Written("A\xC3\xA9"), (std::vector<uint8_t>{0xFF, 0xFE, 0xFF, 0x02, 'A', 0, 0xE9, 0}));

    struct Case {
        size_t units;
        std::vector<uint8_t> prefix;
    };
    const Case cases[] = {
        {254, {0xFF, 0xFE, 0xFF, 0xFE}},
        {255, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x00}},
        {0xFFFD, {0xFF, 0xFE, 0xFF, 0xFF, 0xFD, 0xFF}},
        {0xFFFE, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {0x10000, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}},
    };
    for (const Case& c : cases) {
        const std::string text(c.units, 'x');
        const auto bytes = Written(text);
        ASSERT_EQ(bytes.size(), c.prefix.size() + 2 * c.units) << c.units;
        EXPECT_TRUE(std::equal(c.prefix.begin(), c.prefix.end(), bytes.begin())) << c.units;
        EXPECT_EQ(ReadBack(bytes), text) << c.units;
    }
}

TEST(Archive, Utf16RoundTripsIncludingLoneSurrogates) {
    // U+1F600 as a pair, then a lone high and a lone low surrogate.
    const std::vector<uint8_t> stored = {0xFF, 0xFE, 0xFF, 0x05, 0x3D, 0xD8, 0x00, 0xDE, 0x00,
                                         0xD8, 0x41, 0x00, 0x00, 0xDC};
    const std::string text = ReadBack(stored);
    EXPECT_EQ(text, "\xF0\x9F\x98\x80\xED\xA0\x80" "A" "\xED\xB0\x80");
    EXPECT_EQ(Written(text), stored);
}

TEST(Archive, ReadsEightBitStringsAsLatin1) {
    EXPECT_EQ(ReadBack({0x03, 'a', 0xE9, 0xFF}), "a\xC3\xA9\xC3\xBF");
    EXPECT_EQ(ReadBack({0x00}), "");
    std::vector<uint8_t> longForm = {0xFF, 0x00, 0x01};  // 256 bytes, 16-bit length
    longForm.resize(3 + 256, 'z');
    EXPECT_EQ(ReadBack(longForm), std::string(256, 'z'));
}

TEST(Archive, InvalidUtf8IsWrittenAsReplacementCharacter) {
    EXPECT_EQ(ReadBack(Written("a\xFF" "b")), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(ReadBack(Written("\xC3")), "\xEF\xBF\xBD");
}

TEST(Archive, EveryReadChecksWhatRemains) {
    const std::vector<std::vector<uint8_t>> broken = {
        {},                                   // no length
        {0xFF, 0xFE},                         // marker cut
        {0xFF, 0xFE, 0xFF, 0x02, 'a', 0},     // one code unit of two
        {0x05, 'a', 'b'},                     // 8-bit, short
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F},  // 2^31 units announced
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // 64-bit length
         0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
    };
    for (const auto& b : broken) {
        ArchiveReader r(b);
        EXPECT_THROW(r.ReadString(), ArchiveError) << b.size();
    }
    const std::vector<uint8_t> three = {1, 2, 3};
    ArchiveReader r(three);
    EXPECT_THROW(r.ReadU32(), ArchiveError);
    EXPECT_EQ(r.Position(), 0u);
    EXPECT_EQ(r.ReadU16(), 0x0201);
    EXPECT_THROW(r.ReadF32(), ArchiveError);
    EXPECT_THROW(r.Skip(2), ArchiveError);
    EXPECT_THROW(r.ReadByteVector(2), ArchiveError);
}

TEST(Archive, CountsAreCheckedAgainstRecordSizes) {
    ArchiveWriter w;
    w.WriteU32(3);
    w.WriteBytes("abcdef", 6);
    {
        ArchiveReader r(w.Bytes());
        EXPECT_EQ(r.ReadCount(2), 3u);
    }
    {
        ArchiveReader r(w.Bytes());
        EXPECT_THROW(r.ReadCount(3), ArchiveError);
    }
    ArchiveWriter huge;
    huge.WriteU32(0xFFFFFFFFu);
    ArchiveReader r(huge.Bytes());
    EXPECT_THROW(r.ReadCount(1), ArchiveError);
}

TEST(Archive, LimitWindowConfinesReadsAndSkipsSurplus) {
    ArchiveWriter w;
    w.WriteU32(7);
    w.WriteU32(8);
    w.WriteU8(9);
    ArchiveReader r(w.Bytes());
    const size_t saved = r.BeginLimit(8);
    EXPECT_EQ(r.ReadU16(), 7);
    EXPECT_THROW(r.ReadU64(), ArchiveError);
    r.EndLimit(saved);
    EXPECT_EQ(r.ReadU8(), 9);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_THROW(ArchiveReader(w.Bytes()).BeginLimit(10), ArchiveError);
}

TEST(Archive, NumbersAreLittleEndianAndRaw) {
    ArchiveWriter w;
    w.WriteI32(-2);
    w.WriteF32(1.0f);
    w.WriteFlag(true);
    EXPECT_EQ(w.Bytes(), (std::vector<uint8_t>{0xFE, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0x3F, 0x01}));
    ArchiveReader r(w.Bytes());
    EXPECT_EQ(r.ReadI32(), -2);
    EXPECT_EQ(r.ReadF32(), 1.0f);
    EXPECT_TRUE(r.ReadFlag());
}

}  // namespace

// A count the uint32 field cannot hold is refused instead of being cut short
// (a reader would then take the bytes after it for the next records).
TEST(ArchiveWriterCounts, ACountBeyondUint32IsRefused) {
    ArchiveWriter ar;
    ar.WriteCount(0xFFFFFFFFu);
    EXPECT_THROW(ar.WriteCount(uint64_t(1) << 32), ArchiveError);
    EXPECT_EQ(ar.Bytes(), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
}

// A streaming reader fetches as it goes and reads what a memory reader reads.
TEST(ArchiveStreaming, ReadsWhatMemoryReadsAndFailsWhenTheSourceDoes) {
    ArchiveWriter w;
    w.WriteMagic("QVK1");
    w.WriteString(std::string(100000, 'a') + "\xC3\xA9");
    const std::vector<uint8_t> blob(300000, 7);
    w.WriteCount(blob.size());
    w.WriteBytes(blob.data(), blob.size());
    w.WriteU32(42);
    const std::vector<uint8_t> bytes = w.TakeBytes();
    struct Source : ArchiveSource {
        const std::vector<uint8_t>* bytes = nullptr;
        uint64_t failAt = UINT64_MAX, asked = 0;
        bool ReadAt(uint64_t offset, void* out, size_t size) override {
            asked += size;
            if (offset + size > failAt || offset + size > bytes->size()) return false;
            std::memcpy(out, bytes->data() + offset, size);
            return true;
        }
    } source;
    source.bytes = &bytes;
    ArchiveReader ar(source, bytes.size());
    EXPECT_TRUE(ar.ReadMagic("QVK1"));
    EXPECT_EQ(ar.ReadString(), std::string(100000, 'a') + "\xC3\xA9");
    EXPECT_EQ(ar.ReadByteVector(ar.ReadCount(1)), blob);
    EXPECT_EQ(ar.ReadU32(), 42u);
    EXPECT_TRUE(ar.AtEnd());
    EXPECT_LE(source.asked, bytes.size() + (64u << 10));

    source.failAt = 70000;  // the first fetch succeeds, the string beyond it fails
    ArchiveReader failing(source, bytes.size());
    EXPECT_TRUE(failing.ReadMagic("QVK1"));
    EXPECT_THROW(failing.ReadString(), ArchiveError);
}
