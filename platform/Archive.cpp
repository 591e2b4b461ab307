#include "platform/Archive.h"

#include <bit>
#include <algorithm>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "the archive copies little-endian values raw");

void ArchiveWriter::WriteU16(uint16_t v) { WriteBytes(&v, 2); }
void ArchiveWriter::WriteU32(uint32_t v) { WriteBytes(&v, 4); }
void ArchiveWriter::WriteU64(uint64_t v) { WriteBytes(&v, 8); }
void ArchiveWriter::WriteF32(float v) { WriteBytes(&v, 4); }

void ArchiveWriter::WriteCount(uint64_t count) {
    if (count > 0xFFFFFFFFu) throw ArchiveError("a count of " + std::to_string(count) + " does not fit the format");
    WriteU32(static_cast<uint32_t>(count));
}

void ArchiveWriter::WriteBytes(const void* data, size_t size) {
    if (size == 0) return;
    const auto* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
}

void ArchiveWriter::WriteString(const std::string& utf8) {
    const std::u16string units = Utf8ToUtf16(utf8);
    const uint64_t n = units.size();
    // The Unicode marker: FF, then FFFE in the 16-bit length slot.
    WriteU8(0xFF);
    WriteU16(0xFFFE);
    if (n < 0xFF) {
        WriteU8(static_cast<uint8_t>(n));
    } else if (n < 0xFFFE) {
        WriteU8(0xFF);
        WriteU16(static_cast<uint16_t>(n));
    } else if (n < 0xFFFFFFFFu) {
        WriteU8(0xFF);
        WriteU16(0xFFFF);
        WriteU32(static_cast<uint32_t>(n));
    } else {
        WriteU8(0xFF);
        WriteU16(0xFFFF);
        WriteU32(0xFFFFFFFFu);
        WriteU64(n);
    }
    for (char16_t u : units) WriteU16(static_cast<uint16_t>(u));
}

static_assert(sizeof(size_t) == sizeof(uint64_t), "file offsets are held in size_t");

namespace {
// A streaming reader fetches this much at a time; larger reads go straight
// into their destination.
constexpr size_t kStreamChunk = size_t(64) << 10;
}  // namespace

ArchiveReader::ArchiveReader(ArchiveSource& source, uint64_t size)
    : window_(nullptr), windowSize_(0), source_(&source), end_(size_t(size)), size_(size_t(size)) {}

void ArchiveReader::Need(size_t size) const {
    if (size > end_ - pos_) throw ArchiveError("unexpected end of data");
}

void ArchiveReader::Take(void* out, size_t size) {
    if (size == 0) return;
    auto* dst = static_cast<uint8_t*>(out);
    if (pos_ >= windowStart_ && pos_ - windowStart_ < windowSize_) {
        // What the window holds comes from it; only the rest is fetched.
        const size_t have = std::min(size, windowSize_ - (pos_ - windowStart_));
        std::memcpy(dst, window_ + (pos_ - windowStart_), have);
        pos_ += have;
        dst += have;
        size -= have;
        if (size == 0) return;
    }
    if (!source_) throw ArchiveError("unexpected end of data");
    if (size >= kStreamChunk) {
        if (!source_->ReadAt(pos_, dst, size)) throw ArchiveError("the data could not be read");
        pos_ += size;
        return;
    }
    // Refill the window from the position, as far as the input goes.
    const size_t n = std::min(kStreamChunk, size_ - pos_);
    buffer_.resize(kStreamChunk);
    if (n < size || !source_->ReadAt(pos_, buffer_.data(), n)) throw ArchiveError("the data could not be read");
    window_ = buffer_.data();
    windowStart_ = pos_;
    windowSize_ = n;
    std::memcpy(dst, window_, size);
    pos_ += size;
}

uint8_t ArchiveReader::ReadU8() {
    uint8_t v;
    ReadBytes(&v, 1);
    return v;
}

uint16_t ArchiveReader::ReadU16() {
    uint16_t v;
    ReadBytes(&v, 2);
    return v;
}

uint32_t ArchiveReader::ReadU32() {
    uint32_t v;
    ReadBytes(&v, 4);
    return v;
}

uint64_t ArchiveReader::ReadU64() {
    uint64_t v;
    ReadBytes(&v, 8);
    return v;
}

float ArchiveReader::ReadF32() {
    float v;
    ReadBytes(&v, 4);
    return v;
}

void ArchiveReader::ReadBytes(void* out, size_t size) {
    Need(size);
    Take(out, size);
}

std::vector<uint8_t> ArchiveReader::ReadByteVector(size_t size) {
    // Checked before anything is allocated for it.
    Need(size);
    std::vector<uint8_t> v(size);
    Take(v.data(), size);
    return v;
}

void ArchiveReader::Skip(size_t size) {
    Need(size);
    pos_ += size;
}

bool ArchiveReader::ReadMagic(const char (&tag)[5]) {
    char got[4];
    ReadBytes(got, 4);
    return std::memcmp(got, tag, 4) == 0;
}

uint32_t ArchiveReader::ReadCount(size_t minRecordBytes) {
    const uint32_t count = ReadU32();
    if (minRecordBytes > 0 && uint64_t(count) > Remaining() / minRecordBytes)
        throw ArchiveError("count larger than the data that follows");
    return count;
}

uint64_t ArchiveReader::ReadStringLength(bool& wide) {
    wide = false;
    uint8_t b = ReadU8();
    if (b < 0xFF) return b;
    uint16_t w = ReadU16();
    if (w == 0xFFFE) {
        wide = true;
        b = ReadU8();
        if (b < 0xFF) return b;
        w = ReadU16();
    }
    if (w < 0xFFFF) return w;
    const uint32_t d = ReadU32();
    if (d < 0xFFFFFFFFu) return d;
    return ReadU64();
}

std::string ArchiveReader::ReadString() {
    bool wide = false;
    const uint64_t length = ReadStringLength(wide);
    const uint64_t bytes = wide ? length * 2 : length;
    if (length > Remaining() || bytes > Remaining()) throw ArchiveError("string longer than the data that follows");
    if (!wide) {
        // Latin-1: each byte is the code point.
        const std::vector<uint8_t> raw = ReadByteVector(size_t(length));
        std::string out;
        out.reserve(raw.size() * 2);
        for (const uint8_t c : raw) {
            if (c < 0x80) {
                out.push_back(char(c));
            } else {
                out.push_back(char(0xC0 | (c >> 6)));
                out.push_back(char(0x80 | (c & 0x3F)));
            }
        }
        return out;
    }
    // UTF-16LE code units, copied raw on this little-endian machine.
    std::u16string units(size_t(length), u'\0');
    ReadBytes(units.data(), size_t(bytes));
    return Utf16ToUtf8(units);
}

size_t ArchiveReader::BeginLimit(size_t size) {
    Need(size);
    const size_t saved = end_;
    end_ = pos_ + size;
    return saved;
}

void ArchiveReader::EndLimit(size_t savedEnd) {
    pos_ = end_;
    end_ = savedEnd;
}

static void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const uint32_t u = text[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (uint32_t(text[i + 1]) - 0xDC00));
            ++i;
        } else {
            AppendUtf8(out, u);  // includes lone surrogates, WTF-8 style
        }
    }
    return out;
}

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const uint8_t c = s[i];
        uint32_t cp = 0xFFFD;
        size_t len = 1;
        auto cont = [&](size_t k) { return i + k < n && (s[i + k] & 0xC0) == 0x80; };
        if (c < 0x80) {
            cp = c;
        } else if (c >= 0xC2 && c < 0xE0 && cont(1)) {
            cp = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
            len = 2;
        } else if (c >= 0xE0 && c < 0xF0 && cont(1) && cont(2)) {
            const uint32_t v = ((c & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
            if (v >= 0x800) {  // surrogates allowed: they are how WTF-8 keeps lone ones
                cp = v;
                len = 3;
            }
        } else if (c >= 0xF0 && c < 0xF5 && cont(1) && cont(2) && cont(3)) {
            const uint32_t v = ((c & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) | ((s[i + 2] & 0x3Fu) << 6) |
                               (s[i + 3] & 0x3Fu);
            if (v >= 0x10000 && v < 0x110000) {
                cp = v;
                len = 4;
            }
        }
        if (cp >= 0x10000) {
            out.push_back(char16_t(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
        i += len;
    }
    return out;
}
