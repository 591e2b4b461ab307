#include "platform/Codecs.h"

#include "platform/CpuLevel.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include <immintrin.h>

#include <png.h>
#include <zlib.h>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
#include <jerror.h>

// Each format is recognised by its whole signature and decoded by its own
// reader straight into the final bitmap: no general-purpose image library sees
// the bytes, and the only large allocation is the bitmap itself, made after the
// header's size has passed the caps. Bitmap storage is zeroed lazily by the
// system, so a file that declares a large picture but ends early costs only the
// rows it really held.

namespace {

enum class Format { kPng, kJpeg, kBmp, kNone };

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

// The BMP info header sizes this reader knows (core, info, the two
// bit-field extensions, V4 and V5). OS/2 2.x headers (64 bytes) give their
// compression codes other meanings and are not read.
bool KnownBmpHeader(uint32_t size) {
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

Format Sniff(const uint8_t* p, size_t n, bool& shortHeader) {
    shortHeader = false;
    if (n >= 8 && std::memcmp(p, kPngSignature, 8) == 0) return Format::kPng;
    // SOI followed by the first marker's FF.
    if (n >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF) return Format::kJpeg;
    if (n >= 2 && p[0] == 'B' && p[1] == 'M') {
        if (n < 18) {
            shortHeader = true;
            return Format::kBmp;
        }
        if (KnownBmpHeader(Le32(p + 14))) return Format::kBmp;
    }
    return Format::kNone;
}

struct Outcome {
    BitmapPtr bitmap;
    DecodeError error = DecodeError::kNone;
};

Outcome Failed(DecodeError e) {
    Outcome o;
    o.error = e;
    return o;
}

// --- Row conversion to B, G, R, A ---

// Three-byte pixels to four-byte ones with opaque alpha, in the order B, G, R
// when kSwap is false (BMP) or R, G, B when it is true (PNG). Each pixel is
// read before it is written, so dst may lie `count` or more bytes before src
// in the same buffer (the packed row read into the tail of its own bitmap row
// and widened forwards): the writes then never reach bytes still to be read.
template <bool kSwap>
void ThreeToBgraScalar(const uint8_t* src, uint8_t* dst, int count) {
    for (int x = 0; x < count; ++x, src += 3, dst += 4) {
        const uint32_t c0 = src[0], c1 = src[1], c2 = src[2];
        const uint32_t px = 0xFF000000u | (kSwap ? c0 << 16 | c1 << 8 | c2 : c2 << 16 | c1 << 8 | c0);
        std::memcpy(dst, &px, 4);
    }
}

// Eight pixels a step from two 12-byte groups, one per 128-bit lane. A step
// reads 28 bytes (4 past its own 24) and writes 32: stopping 10 pixels short
// of the end keeps the reads inside the row, and with dst `count` or more
// bytes before src the writes stay behind the next step's reads.
template <bool kSwap>
__attribute__((target("avx2"))) void ThreeToBgraAvx2(const uint8_t* src, uint8_t* dst, int count) {
    const __m256i order = kSwap ? _mm256_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1, 2, 1, 0, -1, 5, 4,
                                                   3, -1, 8, 7, 6, -1, 11, 10, 9, -1)
                                : _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4,
                                                   5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i opaque = _mm256_set1_epi32(int(0xFF000000u));
    int x = 0;
    for (; x + 10 <= count; x += 8) {
        const uint8_t* s = src + size_t(x) * 3;
        const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 12));
        const __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + size_t(x) * 4),
                            _mm256_or_si256(_mm256_shuffle_epi8(v, order), opaque));
    }
    ThreeToBgraScalar<kSwap>(src + size_t(x) * 3, dst + size_t(x) * 4, count - x);
}

using RowFn = void (*)(const uint8_t* src, uint8_t* dst, int count);

template <bool kSwap>
RowFn ThreeToBgra() {
    return ActiveCpuLevel() >= CpuLevel::Avx2 ? ThreeToBgraAvx2<kSwap> : ThreeToBgraScalar<kSwap>;
}

// R, G, B, A to B, G, R, A in place. Plain enough for the compiler to
// vectorise at each level.
inline void SwapRedBlue(uint32_t* row, int count) {
    for (int x = 0; x < count; ++x) {
        const uint32_t p = row[x];
        row[x] = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
    }
}
void SwapRedBlueScalar(uint32_t* row, int count) { SwapRedBlue(row, count); }
__attribute__((target("avx2"))) void SwapRedBlueAvx2(uint32_t* row, int count) { SwapRedBlue(row, count); }

// Pixels whose fourth byte is unused (32-bit BMP) made opaque.
inline void OpaqueCopy(const uint8_t* src, uint32_t* dst, int count) {
    for (int x = 0; x < count; ++x) {
        uint32_t p;
        std::memcpy(&p, src + size_t(x) * 4, 4);
        dst[x] = p | 0xFF000000u;
    }
}

// --- PNG (libpng) ---

// Everything the libpng callbacks and the jump back need lives here, outside
// the frame that calls setjmp, so nothing with a destructor is skipped and no
// local changes between setjmp and longjmp.
struct PngJob {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    size_t pos = 0;
    int64_t maxPixels = 0;
    bool headerOnly = false;
    int width = 0, height = 0;
    DecodeError error = DecodeError::kNone;
    BitmapPtr bitmap;
};

void PngRead(png_structp png, png_bytep out, size_t length) {
    PngJob* job = static_cast<PngJob*>(png_get_io_ptr(png));
    if (length > job->size - job->pos) {
        job->error = DecodeError::kDamaged;
        png_error(png, "truncated");
    }
    std::memcpy(out, job->bytes + job->pos, length);
    job->pos += length;
}

void PngError(png_structp png, png_const_charp message) {
    PngJob* job = static_cast<PngJob*>(png_get_error_ptr(png));
    if (job->error == DecodeError::kNone)
        job->error = (message && std::strstr(message, "memory")) ? DecodeError::kOutOfMemory : DecodeError::kDamaged;
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// Whether each critical chunk (type starting with a capital) from `from` up to
// `to`, a run of whole chunks already known to lie within the bytes, has the
// CRC of its type and data. Stops early (with no answer that matters) once
// `stop` is set.
bool CriticalCrcsMatch(const uint8_t* bytes, size_t from, size_t to, const std::atomic<bool>& stop) {
    constexpr size_t kStep = size_t(1) << 20;
    for (size_t at = from; at < to && !stop.load(std::memory_order_relaxed);) {
        const size_t length = Be32(bytes + at);
        if (!(bytes[at + 4] & 0x20)) {
            uLong crc = crc32_z(0, nullptr, 0);
            for (size_t done = 0; done < length + 4 && !stop.load(std::memory_order_relaxed); done += kStep)
                crc = crc32_z(crc, bytes + at + 4 + done, std::min(kStep, length + 4 - done));
            if (uint32_t(crc) != Be32(bytes + at + 8 + length)) return false;
        }
        at += 12 + length;
    }
    return true;
}

// Whether every chunk before the end chunk lies whole within the bytes; `end`
// is where the end chunk ends. libpng allocates a chunk's declared length
// before it reads the chunk, so a few bytes declaring a gigabyte of text would
// cost a gigabyte before the missing data is noticed; a file whose chunks run
// past its end is damaged. A read of the header only needs the chunks before
// the image data, and may be given just those.
bool PngChunksWithinBytes(const uint8_t* bytes, size_t size, bool headerOnly, size_t& end) {
    size_t at = 8;  // after the signature
    while (at + 8 <= size) {
        if (headerOnly && std::memcmp(bytes + at + 4, "IDAT", 4) == 0) return true;
        const uint32_t length = Be32(bytes + at);
        if (length > 0x7FFFFFFFu || size - at - 8 < size_t(length) + 4) return false;
        const bool last = std::memcmp(bytes + at + 4, "IEND", 4) == 0;
        at += 12 + size_t(length);
        if (last) {
            end = at;
            return true;
        }
    }
    return headerOnly && at == size;
}

// From this size on the chunks' CRCs are checked on a thread of their own
// while libpng decodes.
constexpr size_t kCrcThreadBytes = size_t(1) << 20;

// Runs under setjmp: only the job changes, and the job outlives the jump.
void PngDecodeInto(png_structp png, png_infop info, PngJob* job) {
    if (setjmp(png_jmpbuf(png))) return;
    png_set_read_fn(png, job, PngRead);
    // RunPng checks the critical chunks' CRCs itself.
    if (!job->headerOnly) png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_NO_CHANGE);
    // Ancillary chunks are not used: skip them rather than buffer them.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_read_info(png, info);
    png_uint_32 w = 0, h = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(png, info, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
    if (!BitmapSizeAllowed(w, h) || int64_t(w) * int64_t(h) > job->maxPixels) {
        job->error = DecodeError::kTooLarge;
        return;
    }
    job->width = int(w);
    job->height = int(h);
    if (job->headerOnly) return;
    // Eight-bit colour without a transparent colour, not interlaced (what
    // photographs are): libpng hands over the rows as stored and they are
    // reordered here a row at a time, faster than libpng's per-pixel
    // transforms. Colour rows are read into the tail of their bitmap row and
    // widened forwards in place.
    const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    const bool packed = depth == 8 && interlace == PNG_INTERLACE_NONE && !trns &&
                        (colour == PNG_COLOR_TYPE_RGB || colour == PNG_COLOR_TYPE_RGBA);
    int passes = 1;
    if (!packed) {
        // Every other form becomes 8-bit B, G, R, A in libpng: palettes and
        // low bit depths expand, a transparent colour becomes alpha, 16-bit
        // samples round to 8 bits, grey is copied to the three channels and a
        // missing alpha is opaque.
        const bool alpha = (colour & PNG_COLOR_MASK_ALPHA) || trns;
        png_set_expand(png);
        if (depth == 16) png_set_scale_16(png);
        if (!(colour & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
        png_set_bgr(png);
        if (!alpha) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        passes = png_set_interlace_handling(png);
    }
    png_read_update_info(png, info);
    const size_t channels = packed && colour == PNG_COLOR_TYPE_RGB ? 3 : 4;
    if (png_get_rowbytes(png, info) != size_t(w) * channels) {
        job->error = DecodeError::kDamaged;
        return;
    }
    job->bitmap = Bitmap::Create(int(w), int(h));
    if (!job->bitmap) {
        job->error = DecodeError::kOutOfMemory;
        return;
    }
    if (packed) {
        const RowFn widen = ThreeToBgra<true>();
        const auto swap = ActiveCpuLevel() >= CpuLevel::Avx2 ? SwapRedBlueAvx2 : SwapRedBlueScalar;
        for (int y = 0; y < int(h); ++y) {
            uint8_t* row = job->bitmap->Row(y);
            if (channels == 3) {
                png_read_row(png, row + w, nullptr);
                widen(row + w, row, int(w));
            } else {
                png_read_row(png, row, nullptr);
                swap(job->bitmap->Row32(y), int(w));
            }
        }
    } else {
        // Interlaced passes merge into the rows already in the bitmap.
        for (int pass = 0; pass < passes; ++pass)
            for (int y = 0; y < int(h); ++y) png_read_row(png, job->bitmap->Row(y), nullptr);
    }
    png_read_end(png, nullptr);
}

// The critical chunks' CRCs (a mismatch is damage) are checked here rather
// than by libpng, which is told they are done: for a large file on a thread
// of their own, alongside the decoding, which libpng would otherwise wait for.
// libpng only ever checks a chunk after using its data, so decoding before the
// check ends risks nothing; the picture is dropped if the check fails.
// Ancillary chunks are left to libpng's own handling.
void RunPng(PngJob& job) {
    size_t end = 0;
    // Before libpng allocates anything.
    if (!PngChunksWithinBytes(job.bytes, job.size, job.headerOnly, end)) {
        job.error = DecodeError::kDamaged;
        return;
    }
    bool crcsMatch = true;
    std::atomic<bool> decodeFailed{false};  // the checker's answer is then not needed
    std::thread checker;
    if (!job.headerOnly) {
        if (end >= kCrcThreadBytes) {
            try {
                checker = std::thread([&] { crcsMatch = CriticalCrcsMatch(job.bytes, 8, end, decodeFailed); });
            } catch (const std::system_error&) {
            }
        }
        if (!checker.joinable() && !CriticalCrcsMatch(job.bytes, 8, end, decodeFailed)) {
            job.error = DecodeError::kDamaged;
            return;
        }
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &job, PngError, PngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info) PngDecodeInto(png, info, &job);
    else job.error = DecodeError::kOutOfMemory;
    if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (job.error != DecodeError::kNone) decodeFailed = true;
    if (checker.joinable()) checker.join();
    if (!crcsMatch && job.error == DecodeError::kNone) job.error = DecodeError::kDamaged;
    if (job.error != DecodeError::kNone) job.bitmap.reset();
}

// --- JPEG (libjpeg-turbo) ---

// More scans than any encoder writes: a file with thousands of tiny scans would
// otherwise make the decoder sweep the whole picture once per scan.
constexpr int kMaxJpegScans = 500;

struct JpegJob {
    jpeg_error_mgr err{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    int64_t maxPixels = 0;
    bool headerOnly = false;
    int width = 0, height = 0;
    DecodeError error = DecodeError::kNone;
    BitmapPtr bitmap;
};

JpegJob* JobOf(j_common_ptr cinfo) { return static_cast<JpegJob*>(cinfo->client_data); }

void JpegFail(j_common_ptr cinfo, DecodeError error) {
    JpegJob* job = JobOf(cinfo);
    if (job->error == DecodeError::kNone) job->error = error;
    std::longjmp(job->jump, 1);
}

void JpegErrorExit(j_common_ptr cinfo) {
    const int code = cinfo->err->msg_code;
    JpegFail(cinfo, (code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE) ? DecodeError::kOutOfMemory
                                                                                   : DecodeError::kDamaged);
}

// Warnings about the entropy-coded data mean the decoder is filling in pixels
// it never read (the file ended, a marker cut a segment short, a code was
// invalid): the picture would be partly made up, so it is a failure. Other
// warnings (stray bytes between markers, an unknown JFIF revision) leave the
// pixels intact and are ignored.
void JpegMessage(j_common_ptr cinfo, int level) {
    if (level != -1) return;
    switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_BOGUS_PROGRESSION:
        JpegFail(cinfo, DecodeError::kDamaged);
        break;
    default: break;
    }
}

void JpegProgress(j_common_ptr cinfo) {
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans)
        JpegFail(cinfo, DecodeError::kDamaged);
}

// Adobe CMYK (stored inverted, as the programs that write CMYK JPEGs do):
// each colour channel is k - (255 - c) * k / 256. Works in place.
void CmykRowToBgra(uint8_t* row, int width) {
    for (int x = 0; x < width; ++x) {
        uint8_t* p = row + size_t(x) * 4;
        const int c = p[0], m = p[1], y = p[2], k = p[3];
        p[0] = uint8_t(k - (((255 - y) * k) >> 8));
        p[1] = uint8_t(k - (((255 - m) * k) >> 8));
        p[2] = uint8_t(k - (((255 - c) * k) >> 8));
        p[3] = 0xFF;
    }
}

// Runs under setjmp: only the job and libjpeg's own state change.
void JpegDecodeInto(jpeg_decompress_struct* cinfo, JpegJob* job) {
    if (setjmp(job->jump)) return;
    jpeg_create_decompress(cinfo);
    cinfo->progress = &job->progress;
    jpeg_mem_src(cinfo, job->bytes, static_cast<unsigned long>(job->size));
    jpeg_read_header(cinfo, TRUE);
    const int64_t w = cinfo->image_width, h = cinfo->image_height;
    if (!BitmapSizeAllowed(w, h) || w * h > job->maxPixels) {
        job->error = DecodeError::kTooLarge;
        return;
    }
    job->width = int(w);
    job->height = int(h);
    if (job->headerOnly) return;
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;  // BGRA fills alpha with 255
    // The decoder's own buffers (a progressive file keeps every coefficient)
    // may take as much as the picture, and at least enough for any ordinary
    // photograph; beyond that libjpeg stops with an error instead of growing.
    cinfo->mem->max_memory_to_use = long(std::max<int64_t>(int64_t(256) << 20, w * h * 4));
    jpeg_start_decompress(cinfo);
    if (cinfo->output_width != w || cinfo->output_height != h || cinfo->output_components != 4) {
        job->error = DecodeError::kDamaged;
        return;
    }
    job->bitmap = Bitmap::Create(int(w), int(h));
    if (!job->bitmap) {
        job->error = DecodeError::kOutOfMemory;
        return;
    }
    JSAMPROW rows[16];
    while (cinfo->output_scanline < cinfo->output_height) {
        const JDIMENSION first = cinfo->output_scanline;
        const JDIMENSION count = std::min<JDIMENSION>(16, cinfo->output_height - first);
        for (JDIMENSION i = 0; i < count; ++i) rows[i] = job->bitmap->Row(int(first + i));
        const JDIMENSION got = jpeg_read_scanlines(cinfo, rows, count);
        if (got == 0) {  // suspended: cannot happen with all the data in memory
            job->error = DecodeError::kDamaged;
            return;
        }
        if (cmyk)
            for (JDIMENSION i = 0; i < got; ++i) CmykRowToBgra(rows[i], int(w));
    }
    // Every row has been read; what follows the last scan is not needed.
}

void RunJpeg(JpegJob& job) {
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.client_data = &job;  // kept by jpeg_create_decompress
    cinfo.err = jpeg_std_error(&job.err);
    job.err.error_exit = JpegErrorExit;
    job.err.emit_message = JpegMessage;
    job.err.output_message = [](j_common_ptr) {};
    job.progress.progress_monitor = JpegProgress;
    JpegDecodeInto(&cinfo, &job);
    jpeg_destroy_decompress(&cinfo);
    if (job.error != DecodeError::kNone) job.bitmap.reset();
}

// --- BMP (own reader) ---

// One channel of a bit-field pixel: where its mask starts and how many bits
// it has, scaled to 8 bits. Channels narrower than 8 bits are widened by a
// table made once per file; a mask with gaps can give values past the table,
// which take the same formula directly.
struct Channel {
    uint32_t mask = 0;
    int shift = 0, bits = 0;
    uint8_t widened[256] = {};
    explicit Channel(uint32_t m = 0) : mask(m) {
        if (!m) return;
        while (!(m & 1)) {
            m >>= 1;
            ++shift;
        }
        while (m & 1) {
            m >>= 1;
            ++bits;
        }
        if (bits < 8)
            for (uint32_t v = 0; v < 256; ++v) widened[v] = Widen(v);
    }
    uint8_t Widen(uint32_t v) const { return uint8_t((v * 255 + ((1u << bits) - 1) / 2) / ((1u << bits) - 1)); }
    uint8_t Get(uint32_t px) const {
        const uint32_t v = (px & mask) >> shift;
        if (bits >= 8) return uint8_t(v >> (bits - 8));
        return v < 256 ? widened[v] : Widen(v);  // a channel without bits reads 0
    }
};

// Palette indices of kBits bits, packed from the high bits of each byte.
template <int kBits>
void PaletteRow(const uint8_t* src, uint32_t* dst, int width, const uint32_t* colours) {
    constexpr int kPerByte = 8 / kBits;
    constexpr uint32_t kMask = (1u << kBits) - 1;
    for (int x = 0; x < width; ++x)
        dst[x] = colours[(src[x / kPerByte] >> (8 - kBits * (x % kPerByte + 1))) & kMask];
}

struct BmpHeader {
    int64_t width = 0, height = 0;
    bool topDown = false;
    uint32_t bits = 0, compression = 0;
    uint64_t pixelOffset = 0;
    uint64_t paletteOffset = 0;
    uint32_t paletteEntries = 0, paletteEntrySize = 4;
    uint32_t masks[4] = {0, 0, 0, 0};
};

DecodeError ReadBmpHeader(const uint8_t* p, size_t n, BmpHeader& h) {
    if (n < 18) return DecodeError::kDamaged;
    const uint32_t headerSize = Le32(p + 14);
    if (!KnownBmpHeader(headerSize)) return DecodeError::kNotAnImage;
    if (n < 14 + uint64_t(headerSize)) return DecodeError::kDamaged;
    h.pixelOffset = Le32(p + 10);
    const uint8_t* ih = p + 14;
    uint64_t afterHeader = 14 + uint64_t(headerSize);
    if (headerSize == 12) {
        h.width = Le16(ih + 4);
        h.height = Le16(ih + 6);
        h.bits = Le16(ih + 10);
        h.paletteEntrySize = 3;
    } else {
        h.width = int32_t(Le32(ih + 4));
        const int32_t rawHeight = int32_t(Le32(ih + 8));
        if (rawHeight == INT32_MIN) return DecodeError::kDamaged;
        h.topDown = rawHeight < 0;
        h.height = rawHeight < 0 ? -int64_t(rawHeight) : rawHeight;
        h.bits = Le16(ih + 14);
        h.compression = Le32(ih + 16);
        h.paletteEntries = Le32(ih + 32);
        if (h.compression == 3 || h.compression == 6) {
            const uint32_t count = h.compression == 6 ? 4 : 3;
            if (headerSize == 40) {
                // The masks follow the header.
                if (n < afterHeader + 4 * count) return DecodeError::kDamaged;
                for (uint32_t i = 0; i < count; ++i) h.masks[i] = Le32(p + afterHeader + 4 * i);
                afterHeader += 4 * count;
            } else {
                for (uint32_t i = 0; i < 4 && 40 + 4 * i + 4 <= headerSize; ++i) h.masks[i] = Le32(ih + 40 + 4 * i);
            }
        }
    }
    if (h.width <= 0 || h.height <= 0) return DecodeError::kDamaged;
    const uint32_t c = h.compression, b = h.bits;
    const bool supported = (c == 0 && (b == 1 || b == 4 || b == 8 || b == 16 || b == 24 || b == 32)) ||
                           (c == 1 && b == 8) || (c == 2 && b == 4) ||
                           ((c == 3 || c == 6) && (b == 16 || b == 32));
    if (!supported) return DecodeError::kDamaged;
    if (h.bits > 8) {
        h.paletteEntries = 0;  // a colour table of a true-colour file is not used
    } else {
        const uint32_t most = 1u << h.bits;
        if (h.paletteEntries == 0 || h.paletteEntries > most) h.paletteEntries = most;
        h.paletteOffset = afterHeader;
        // A palette cut short keeps the entries that are there; missing ones are black.
        if (h.paletteOffset >= n) h.paletteEntries = 0;
        else h.paletteEntries = uint32_t(std::min<uint64_t>(h.paletteEntries, (n - h.paletteOffset) / h.paletteEntrySize));
    }
    if (h.pixelOffset >= n) return DecodeError::kDamaged;
    return DecodeError::kNone;
}

struct BmpPalette {
    uint32_t colours[256];
    explicit BmpPalette(const uint8_t* p, const BmpHeader& h) {
        for (uint32_t i = 0; i < 256; ++i) colours[i] = 0xFF000000u;
        for (uint32_t i = 0; i < h.paletteEntries; ++i) {
            const uint8_t* e = p + h.paletteOffset + size_t(i) * h.paletteEntrySize;
            colours[i] = 0xFF000000u | (uint32_t(e[2]) << 16) | (uint32_t(e[1]) << 8) | e[0];
        }
    }
};

// Run-length coded 8- or 4-bit data. Pixels the codes skip (by a delta, an
// early end of line or of the bitmap) take palette entry 0. Data that ends
// before the end-of-bitmap code is damaged.
bool DecodeBmpRle(const uint8_t* p, size_t n, const BmpHeader& h, const BmpPalette& pal, Bitmap& out) {
    const int w = int(h.width), height = int(h.height);
    out.Clear(pal.colours[0]);
    auto put = [&](int x, int y, uint32_t index) {
        if (x < w && y < height) out.Row32(h.topDown ? y : height - 1 - y)[x] = pal.colours[index & 0xFF];
    };
    const bool four = h.compression == 2;
    size_t i = size_t(h.pixelOffset);
    int x = 0, y = 0;
    while (true) {
        if (n - i < 2) return false;
        const uint8_t count = p[i], value = p[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k, ++x)
                put(x, y, four ? ((k & 1) ? (value & 0x0F) : (value >> 4)) : value);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            if (++y >= height) return true;
        } else if (value == 1) {  // end of bitmap
            return true;
        } else if (value == 2) {  // delta
            if (n - i < 2) return false;
            x += p[i];
            y += p[i + 1];
            i += 2;
            if (y >= height) return true;
        } else {  // a literal run of value pixels, padded to a whole word
            const size_t bytes = four ? (size_t(value) + 1) / 2 : value;
            const size_t padded = (bytes + 1) & ~size_t(1);
            if (n - i < padded) return false;
            for (int k = 0; k < value; ++k, ++x) {
                const uint8_t b = p[i + (four ? size_t(k) / 2 : size_t(k))];
                put(x, y, four ? ((k & 1) ? (b & 0x0F) : (b >> 4)) : b);
            }
            i += padded;
        }
        if (x > 0xFFFF) x = 0xFFFF;  // a long run past the edge writes nothing more
    }
}

void DecodeBmp(const uint8_t* p, size_t n, int64_t maxPixels, bool headerOnly, Outcome& out, int& width, int& height) {
    BmpHeader h;
    if (DecodeError e = ReadBmpHeader(p, n, h); e != DecodeError::kNone) {
        out.error = e;
        return;
    }
    if (!BitmapSizeAllowed(h.width, h.height) || h.width * h.height > maxPixels) {
        out.error = DecodeError::kTooLarge;
        return;
    }
    width = int(h.width);
    height = int(h.height);
    if (headerOnly) return;
    const BmpPalette pal(p, h);
    const bool rle = h.compression == 1 || h.compression == 2;
    const uint64_t stride = (uint64_t(h.width) * h.bits + 31) / 32 * 4;
    // Uncompressed pixels must all be there before anything is allocated.
    if (!rle && stride * uint64_t(h.height) > n - h.pixelOffset) {
        out.error = DecodeError::kDamaged;
        return;
    }
    BitmapPtr bmp = Bitmap::Create(width, height);
    if (!bmp) {
        out.error = DecodeError::kOutOfMemory;
        return;
    }
    if (rle) {
        if (!DecodeBmpRle(p, n, h, pal, *bmp)) {
            out.error = DecodeError::kDamaged;
            return;
        }
        out.bitmap = std::move(bmp);
        return;
    }
    uint32_t masks[4] = {h.masks[0], h.masks[1], h.masks[2], h.masks[3]};
    if (h.compression == 0 && h.bits == 16) {  // 5-5-5
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
        masks[3] = 0;
    }
    const Channel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
    const RowFn widen = ThreeToBgra<false>();
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = p + h.pixelOffset + stride * uint64_t(h.topDown ? y : height - 1 - y);
        uint32_t* dst = bmp->Row32(y);
        if (h.bits == 1) {
            PaletteRow<1>(src, dst, width, pal.colours);
        } else if (h.bits == 4) {
            PaletteRow<4>(src, dst, width, pal.colours);
        } else if (h.bits == 8) {
            PaletteRow<8>(src, dst, width, pal.colours);
        } else if (h.bits == 24) {
            widen(src, bmp->Row(y), width);
        } else if (h.bits == 32 && h.compression == 0) {  // the fourth byte is unused: opaque
            OpaqueCopy(src, dst, width);
        } else {
            for (int x = 0; x < width; ++x) {
                const uint32_t px = h.bits == 16 ? Le16(src + size_t(x) * 2) : Le32(src + size_t(x) * 4);
                const uint32_t a = alpha.bits ? alpha.Get(px) : 0xFF;
                dst[x] = (a << 24) | (uint32_t(red.Get(px)) << 16) | (uint32_t(green.Get(px)) << 8) | blue.Get(px);
            }
        }
    }
    out.bitmap = std::move(bmp);
}

Outcome Decode(const uint8_t* bytes, size_t size, int64_t maxPixels, bool headerOnly, int& width, int& height) {
    width = height = 0;
    if (!bytes || size == 0) return Failed(DecodeError::kNotAnImage);
    if (size > kMaxImageFileBytes) return Failed(DecodeError::kTooLarge);
    bool shortHeader = false;
    Outcome out;
    try {
        switch (Sniff(bytes, size, shortHeader)) {
        case Format::kNone: return Failed(DecodeError::kNotAnImage);
        case Format::kPng: {
            // The declared size is refused before libpng reads anything, even
            // when the header chunk itself is damaged.
            if (size >= 24 && std::memcmp(bytes + 12, "IHDR", 4) == 0) {
                const auto be32 = [&](size_t o) {
                    return (int64_t(bytes[o]) << 24) | (int64_t(bytes[o + 1]) << 16) | (int64_t(bytes[o + 2]) << 8) | bytes[o + 3];
                };
                const int64_t w = be32(16), h = be32(20);
                if (w > 0 && h > 0 && (!BitmapSizeAllowed(w, h) || w * h > maxPixels))
                    return Failed(DecodeError::kTooLarge);
            }
            PngJob job;
            job.bytes = bytes;
            job.size = size;
            job.maxPixels = maxPixels;
            job.headerOnly = headerOnly;
            RunPng(job);
            out.bitmap = std::move(job.bitmap);
            out.error = job.error;
            width = job.width;
            height = job.height;
            break;
        }
        case Format::kJpeg: {
            JpegJob job;
            job.bytes = bytes;
            job.size = size;
            job.maxPixels = maxPixels;
            job.headerOnly = headerOnly;
            RunJpeg(job);
            out.bitmap = std::move(job.bitmap);
            out.error = job.error;
            width = job.width;
            height = job.height;
            break;
        }
        case Format::kBmp:
            if (shortHeader) return Failed(DecodeError::kDamaged);
            DecodeBmp(bytes, size, maxPixels, headerOnly, out, width, height);
            break;
        }
    } catch (const std::bad_alloc&) {
        return Failed(DecodeError::kOutOfMemory);
    }
    if (out.error != DecodeError::kNone) {
        out.bitmap.reset();
        width = height = 0;
    }
    return out;
}

}  // namespace

std::string DecodeErrorText(DecodeError error) {
    switch (error) {
    case DecodeError::kNone: break;
    case DecodeError::kNotAnImage: return "The file is not a PNG, JPEG or BMP image.";
    case DecodeError::kTooLarge:
        return "The image is too large (at most " + std::to_string(kMaxBitmapSide) + " pixels a side and " +
               std::to_string(kMaxBitmapPixels) + " pixels in all).";
    case DecodeError::kDamaged: return "The image data is truncated or damaged.";
    case DecodeError::kOutOfMemory: return "There is not enough memory to decode the image.";
    }
    return {};
}

BitmapPtr DecodeImage(const uint8_t* bytes, size_t size, DecodeError* why, int64_t maxPixels) {
    int w = 0, h = 0;
    Outcome out = Decode(bytes, size, maxPixels, false, w, h);
    if (!out.bitmap && out.error == DecodeError::kNone) out.error = DecodeError::kDamaged;
    if (why) *why = out.error;
    return out.bitmap;
}

bool ReadImageSize(const uint8_t* bytes, size_t size, int& width, int& height, DecodeError* why) {
    const Outcome out = Decode(bytes, size, kMaxBitmapPixels, true, width, height);
    if (why) *why = out.error;
    return out.error == DecodeError::kNone;
}

bool EncodePng(const Bitmap& bitmap, std::vector<uint8_t>& out) {
    out.clear();
    if (bitmap.Width() <= 0 || bitmap.Height() <= 0) return false;
    try {
        cv::Mat m(bitmap.Height(), bitmap.Width(), CV_8UC4, const_cast<uint8_t*>(bitmap.Data()), size_t(bitmap.Stride()));
        std::vector<uchar> buf;
        if (!cv::imencode(".png", m, buf)) return false;
        out.assign(buf.begin(), buf.end());
        return true;
    } catch (const cv::Exception&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
