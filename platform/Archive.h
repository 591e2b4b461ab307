#pragma once
// The byte format of project files and clipboard payloads: little-endian
// integers and floats written raw, and strings in the framework archive's
// length-prefixed form (UTF-16LE when written; the 8-bit Latin-1 form is also
// read). Model strings are UTF-8; lone surrogates travel as WTF-8 so that any
// stored UTF-16 string round-trips byte for byte.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// Any malformed or truncated input. Only the project and clipboard readers
// let it out; they report it as a bad file.
class ArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ArchiveWriter {
public:
    void WriteU8(uint8_t v) { bytes_.push_back(v); }
    void WriteFlag(bool v) { bytes_.push_back(v ? 1 : 0); }
    void WriteU16(uint16_t v);
    void WriteU32(uint32_t v);
    void WriteI32(int32_t v) { WriteU32(static_cast<uint32_t>(v)); }
    void WriteU64(uint64_t v);
    void WriteF32(float v);
    // A count of records or bytes as uint32; throws ArchiveError when it does
    // not fit, so nothing is written that a reader would take differently.
    void WriteCount(uint64_t count);
    void WriteBytes(const void* data, size_t size);
    // Raw four-character tag such as a file magic.
    void WriteMagic(const char (&tag)[5]) { WriteBytes(tag, 4); }
    // UTF-8 (or WTF-8) text in the Unicode string form; invalid bytes become U+FFFD.
    void WriteString(const std::string& utf8);

    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    std::vector<uint8_t> TakeBytes() { return std::move(bytes_); }
    size_t Size() const { return bytes_.size(); }

private:
    std::vector<uint8_t> bytes_;
};

// Where a streaming reader takes its bytes from: a file, or a test double
// that counts what is asked of it.
class ArchiveSource {
public:
    virtual ~ArchiveSource() = default;
    // Copies exactly size bytes from offset into out; false on a read error
    // or when fewer bytes are there.
    virtual bool ReadAt(uint64_t offset, void* out, size_t size) = 0;
};

// Reads from a byte range that it does not own, or streams from a source of
// known size, fetching bytes only as the records ask for them: a file is
// refused on its first bad field without the rest being read. Every read
// checks the bytes that remain and throws ArchiveError instead of reading past
// the end (or when the source fails).
class ArchiveReader {
public:
    ArchiveReader(const uint8_t* data, size_t size) : window_(data), windowSize_(size), end_(size), size_(size) {}
    explicit ArchiveReader(const std::vector<uint8_t>& bytes) : ArchiveReader(bytes.data(), bytes.size()) {}
    // Streams size bytes from the source; the source must outlive the reader.
    ArchiveReader(ArchiveSource& source, uint64_t size);

    size_t Position() const { return pos_; }
    size_t Remaining() const { return end_ - pos_; }
    bool AtEnd() const { return pos_ == end_; }

    uint8_t ReadU8();
    // Any non-zero byte is true.
    bool ReadFlag() { return ReadU8() != 0; }
    uint16_t ReadU16();
    uint32_t ReadU32();
    int32_t ReadI32() { return static_cast<int32_t>(ReadU32()); }
    uint64_t ReadU64();
    float ReadF32();
    void ReadBytes(void* out, size_t size);
    std::vector<uint8_t> ReadByteVector(size_t size);
    void Skip(size_t size);
    // True when the next four bytes are tag; consumes them either way.
    bool ReadMagic(const char (&tag)[5]);
    // A record count: throws when count x minRecordBytes exceeds what remains,
    // so a caller may reserve room for count records afterwards.
    uint32_t ReadCount(size_t minRecordBytes);
    // A string in either archive form, returned as UTF-8 (WTF-8 for lone surrogates).
    std::string ReadString();

    // Narrows the reader to the next size bytes: reads past them fail, and
    // EndLimit moves to the end of the window whatever was left unread.
    size_t BeginLimit(size_t size);
    void EndLimit(size_t savedEnd);

private:
    void Need(size_t size) const;
    uint64_t ReadStringLength(bool& wide);
    // Copies size bytes at the position (already checked by Need) and moves on.
    void Take(void* out, size_t size);

    // The bytes at offsets [windowStart_, windowStart_ + windowSize_) of the input.
    const uint8_t* window_;
    size_t windowStart_ = 0, windowSize_;
    ArchiveSource* source_ = nullptr;
    std::vector<uint8_t> buffer_;  // a streaming reader's window
    size_t pos_ = 0;
    size_t end_;
    size_t size_;
};

// UTF-16 code units to UTF-8; a lone surrogate is encoded as its own
// three-byte sequence (WTF-8).
std::string Utf16ToUtf8(const std::u16string& text);
// UTF-8 to UTF-16; three-byte surrogate sequences map back to lone surrogates,
// bytes that form no character become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);
