// The image decoders against valid files of every form they read, and against
// hostile ones: wrong signatures, truncated data and headers that declare
// pictures far larger than the file could hold.
#include "platform/Bitmap.h"
#include "platform/Codecs.h"
#include "platform/CpuLevel.h"
#include "platform/Files.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <png.h>
#include <zlib.h>
#include <jpeglib.h>

namespace {

std::vector<uint8_t> Fixture(const std::string& name) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ReadWholeFile(std::string(TEST_FIXTURES_DIR) + "/hostile_images/" + name, bytes)) << name;
    return bytes;
}

void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}
void Put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}

// A BMP file: info header of headerSize bytes (12 or 40 and up), optional
// masks after a 40-byte header, palette, then the given pixel rows.
std::vector<uint8_t> Bmp(uint32_t headerSize, int w, int h, uint16_t bits, uint32_t compression,
                         const std::vector<uint32_t>& masks, const std::vector<uint32_t>& palette,
                         const std::vector<uint8_t>& pixels) {
    std::vector<uint8_t> info;
    if (headerSize == 12) {
        Put32(info, 12);
        Put16(info, uint16_t(w));
        Put16(info, uint16_t(h));
        Put16(info, 1);
        Put16(info, bits);
    } else {
        Put32(info, headerSize);
        Put32(info, uint32_t(w));
        Put32(info, uint32_t(h));
        Put16(info, 1);
        Put16(info, bits);
        Put32(info, compression);
        Put32(info, uint32_t(pixels.size()));
        Put32(info, 2835);
        Put32(info, 2835);
        Put32(info, uint32_t(palette.size()));
        Put32(info, 0);
        for (size_t i = 0; info.size() < headerSize; ++i) Put32(info, i < masks.size() ? masks[i] : 0);
        if (headerSize == 40)
            for (uint32_t m : masks) Put32(info, m);
    }
    for (uint32_t c : palette) {
        info.push_back(uint8_t(c));
        info.push_back(uint8_t(c >> 8));
        info.push_back(uint8_t(c >> 16));
        if (headerSize != 12) info.push_back(0);
    }
    std::vector<uint8_t> file{'B', 'M'};
    Put32(file, uint32_t(14 + info.size() + pixels.size()));
    Put32(file, 0);
    Put32(file, uint32_t(14 + info.size()));
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

// A PNG written with libpng, so that forms OpenCV never writes (palettes,
// transparent colours, low bit depths, interlacing) can be made.
std::vector<uint8_t> Png(int w, int h, int depth, int colour, bool interlaced, const std::vector<uint8_t>& samples,
                         const std::vector<png_color>& palette = {}, const std::vector<uint8_t>& trns = {},
                         const png_color_16* trnsColour = nullptr) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng could not write the test image";
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t n) {
            auto* o = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            o->insert(o->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), depth, colour,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
    if (!trns.empty() || trnsColour)
        png_set_tRNS(png, info, trns.empty() ? nullptr : trns.data(), int(trns.size()), trnsColour);
    png_write_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<png_bytep> rows(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y) rows[size_t(y)] = const_cast<uint8_t*>(samples.data()) + size_t(y) * rowBytes;
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A JPEG written with libjpeg: grey, colour or Adobe (inverted) CMYK samples,
// baseline or progressive.
std::vector<uint8_t> Jpeg(int w, int h, J_COLOR_SPACE space, int components, bool progressive,
                          const std::vector<uint8_t>& samples) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(samples.data()) + size_t(c.next_scanline) * size_t(w * components);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> out(mem, mem + size);
    jpeg_destroy_compress(&c);
    std::free(mem);
    return out;
}

// A photograph-like test picture: smooth gradients and some texture.
cv::Mat Photo(int w, int h) {
    cv::Mat m(h, w, CV_8UC3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            m.at<cv::Vec3b>(y, x) = cv::Vec3b(uint8_t(x * 255 / w), uint8_t(y * 255 / h), uint8_t((x * y) % 251));
    return m;
}

std::vector<uint8_t> CvEncode(const cv::Mat& m, const char* ext) {
    std::vector<uchar> buf;
    EXPECT_TRUE(cv::imencode(ext, m, buf));
    return {buf.begin(), buf.end()};
}

int Channel(uint32_t argb, int shift) { return int((argb >> shift) & 0xFF); }

struct Valid {
    const char* name;
    std::vector<uint8_t> bytes;
    int w, h;
    uint32_t first, last;  // pixel (0, 0) and (w - 1, h - 1) as 0xAARRGGBB
    int tolerance;         // per channel, for lossy JPEG
};

TEST(ImageDecode, ReadsEveryFormOfEachFormat) {
    // 2 x 2 pictures: (0,0) and (1,1) are checked, the others make each row differ.
    const std::vector<png_color> pal = {{255, 0, 0}, {0, 0, 255}, {0, 255, 0}};
    const png_color_16 greyKey{0, 0, 0, 0, 0x20};
    const Valid cases[] = {
        {"png grey", Png(2, 2, 8, PNG_COLOR_TYPE_GRAY, false, {0x40, 0, 0, 0x90}), 2, 2, 0xFF404040, 0xFF909090, 0},
        {"png grey 1-bit", Png(2, 2, 1, PNG_COLOR_TYPE_GRAY, false, {0x80, 0x40}), 2, 2, 0xFFFFFFFF, 0xFFFFFFFF, 0},
        {"png grey with a transparent level", Png(2, 2, 8, PNG_COLOR_TYPE_GRAY, false, {0x20, 0, 0, 0x21}, {}, {}, &greyKey),
         2, 2, 0x00202020, 0xFF212121, 0},
        {"png grey-alpha", Png(2, 2, 8, PNG_COLOR_TYPE_GRAY_ALPHA, false, {0x10, 0x80, 0, 0, 0, 0, 0x20, 0xFF}), 2, 2,
         0x80101010, 0xFF202020, 0},
        {"png rgb", Png(2, 2, 8, PNG_COLOR_TYPE_RGB, false, {3, 2, 1, 0, 0, 0, 0, 0, 0, 9, 8, 7}), 2, 2, 0xFF030201,
         0xFF090807, 0},
        {"png rgba", Png(2, 2, 8, PNG_COLOR_TYPE_RGBA, false, {30, 20, 10, 128, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4}), 2, 2,
         0x801E140A, 0x04010203, 0},
        {"png rgba interlaced",
         Png(2, 2, 8, PNG_COLOR_TYPE_RGBA, true, {30, 20, 10, 128, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4}), 2, 2,
         0x801E140A, 0x04010203, 0},
        {"png palette", Png(2, 2, 8, PNG_COLOR_TYPE_PALETTE, false, {0, 2, 2, 1}, pal), 2, 2, 0xFFFF0000, 0xFF0000FF, 0},
        {"png palette 2-bit with alpha", Png(2, 2, 2, PNG_COLOR_TYPE_PALETTE, false, {0x20, 0x10}, pal, {0x40, 0xFF}), 2,
         2, 0x40FF0000, 0xFF0000FF, 0},
        {"png rgba 16-bit",
         Png(2, 2, 16, PNG_COLOR_TYPE_RGBA, false,
             {0xFF, 0xFF, 0, 0, 0x80, 0x80, 0x80, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x01, 0x02, 0x02, 0x03, 0x03, 0xFF, 0xFF}),
         2, 2, 0x80FF0080, 0xFF010203, 0},
        {"png grey 16-bit", CvEncode(cv::Mat(2, 2, CV_16UC1, cv::Scalar(0xFFFF)), ".png"), 2, 2, 0xFFFFFFFF, 0xFFFFFFFF, 0},
        {"jpeg colour", Jpeg(2, 2, JCS_RGB, 3, false, std::vector<uint8_t>(12, 0x60)), 2, 2, 0xFF606060, 0xFF606060, 2},
        {"jpeg colour progressive", Jpeg(16, 16, JCS_RGB, 3, true, std::vector<uint8_t>(16 * 16 * 3, 0xC8)), 16, 16,
         0xFFC8C8C8, 0xFFC8C8C8, 2},
        {"jpeg grey", Jpeg(2, 2, JCS_GRAYSCALE, 1, false, {0x30, 0x30, 0x30, 0x30}), 2, 2, 0xFF303030, 0xFF303030, 2},
        // Inverted CMYK as stored by the programs that write it: 255 is no ink.
        {"jpeg cmyk", Jpeg(2, 2, JCS_CMYK, 4, false, {255, 0, 255, 255, 255, 0, 255, 255, 255, 0, 255, 255, 255, 0, 255, 255}), 2,
         2, 0xFFFF00FF, 0xFFFF00FF, 3},
        {"bmp 24-bit bottom-up", Bmp(40, 2, 2, 24, 0, {}, {}, {0, 0, 0, 9, 8, 7, 0, 0, 3, 2, 1, 0, 0, 0, 0, 0}), 2, 2,
         0xFF010203, 0xFF070809, 0},
        {"bmp 24-bit top-down", Bmp(40, 2, -2, 24, 0, {}, {}, {3, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 9, 8, 7, 0, 0}), 2, 2,
         0xFF010203, 0xFF070809, 0},
        {"bmp 32-bit (fourth byte unused)", Bmp(40, 2, 2, 32, 0, {}, {}, {0, 0, 0, 0, 9, 8, 7, 0, 3, 2, 1, 0, 0, 0, 0, 0}),
         2, 2, 0xFF010203, 0xFF070809, 0},
        {"bmp 32-bit bit fields with alpha (v5)",
         Bmp(124, 2, 2, 32, 3, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}, {},
             {0, 0, 0, 0, 9, 8, 7, 0x40, 3, 2, 1, 0x80, 0, 0, 0, 0}),
         2, 2, 0x80010203, 0x40070809, 0},
        {"bmp 16-bit 5-5-5", Bmp(40, 2, 2, 16, 0, {}, {}, {0, 0, 0xFF, 0x7F, 0x00, 0x7C, 0, 0}), 2, 2, 0xFFFF0000,
         0xFFFFFFFF, 0},
        {"bmp 16-bit 5-6-5 masks after the header", Bmp(40, 2, 2, 16, 3, {0xF800, 0x07E0, 0x001F}, {}, {0, 0, 0x1F, 0, 0x00, 0xF8, 0, 0}),
         2, 2, 0xFFFF0000, 0xFF0000FF, 0},
        {"bmp 8-bit palette", Bmp(40, 2, 2, 8, 0, {}, {0x112233, 0x445566}, {0, 1, 0, 0, 0, 0, 0, 0}), 2, 2, 0xFF112233,
         0xFF445566, 0},
        {"bmp 4-bit palette", Bmp(40, 2, 2, 4, 0, {}, {0x112233, 0x445566}, {0x01, 0, 0, 0, 0x10, 0, 0, 0}), 2, 2,
         0xFF445566, 0xFF445566, 0},
        {"bmp 1-bit palette (core header)", Bmp(12, 2, 2, 1, 0, {}, {0x000000, 0xFFFFFF}, {0x40, 0, 0, 0, 0x80, 0, 0, 0}), 2,
         2, 0xFFFFFFFF, 0xFFFFFFFF, 0},
        {"bmp 8-bit run-length", Bmp(40, 2, 2, 8, 1, {}, {0x000000, 0xAABBCC}, {2, 0, 0, 0, 2, 1, 0, 1}), 2, 2,
         0xFFAABBCC, 0xFF000000, 0},
        {"bmp 4-bit run-length", Bmp(40, 2, 2, 4, 2, {}, {0x000000, 0xAABBCC}, {2, 0x00, 0, 0, 2, 0x11, 0, 1}), 2, 2,
         0xFFAABBCC, 0xFF000000, 0},
    };
    for (const Valid& c : cases) {
        SCOPED_TRACE(c.name);
        DecodeError why = DecodeError::kDamaged;
        const BitmapPtr b = DecodeImage(c.bytes, &why);
        ASSERT_NE(b, nullptr) << DecodeErrorText(why);
        EXPECT_EQ(why, DecodeError::kNone);
        ASSERT_EQ(b->Width(), c.w);
        ASSERT_EQ(b->Height(), c.h);
        int w = 0, h = 0;
        EXPECT_TRUE(ReadImageSize(c.bytes.data(), c.bytes.size(), w, h));
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
        for (const auto& [x, y, want] : {std::tuple{0, 0, c.first}, std::tuple{c.w - 1, c.h - 1, c.last}}) {
            const uint32_t got = b->Pixel(x, y);
            for (int shift : {0, 8, 16, 24})
                EXPECT_NEAR(Channel(got, shift), Channel(want, shift), c.tolerance)
                    << std::hex << "pixel " << x << "," << y << " got " << got << " want " << want;
        }
    }
}

// Small pictures of each form another program writes (palettes, 1-bit,
// 16-bit, interlaced, progressive, CMYK, run-length, 5-6-5, ...): a 16 x 12
// gradient from red to blue, top to bottom.
TEST(ImageDecode, ReadsWhatOtherProgramsWrite) {
    const std::filesystem::path dir = std::filesystem::path(TEST_FIXTURES_DIR) / "image_seeds";
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        SCOPED_TRACE(e.path().filename().string());
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadWholeFile(e.path().string(), bytes));
        DecodeError why = DecodeError::kNone;
        const BitmapPtr b = DecodeImage(bytes, &why);
        ASSERT_NE(b, nullptr) << DecodeErrorText(why);
        ++files;
        EXPECT_EQ(b->Width(), 16);
        EXPECT_EQ(b->Height(), 12);
        const std::string name = e.path().filename().string();
        if (name.find("grey") != std::string::npos || name.find("mono") != std::string::npos) continue;
        // The palette-with-alpha file came out fully transparent white.
        if (name == "palette_alpha.png") {
            EXPECT_EQ(b->Pixel(8, 0), 0x00FFFFFFu);
            continue;
        }
        // Red at the top, blue at the bottom (loosely: palettes and JPEG).
        EXPECT_GT(Channel(b->Pixel(8, 0), 16), 180) << std::hex << b->Pixel(8, 0);
        EXPECT_LT(Channel(b->Pixel(8, 0), 0), 80) << std::hex << b->Pixel(8, 0);
        EXPECT_GT(Channel(b->Pixel(8, 11), 0), 180) << std::hex << b->Pixel(8, 11);
        EXPECT_LT(Channel(b->Pixel(8, 11), 16), 80) << std::hex << b->Pixel(8, 11);
    }
    EXPECT_GE(files, 19);
}

// Ordinary photographs decode to what OpenCV made of them (bit for bit for
// PNG and BMP; JPEG within the rounding of the colour conversion).
TEST(ImageDecode, PhotographsMatchOpenCV) {
    const cv::Mat photo = Photo(97, 61);
    for (const char* ext : {".png", ".jpg", ".bmp"}) {
        SCOPED_TRACE(ext);
        const std::vector<uint8_t> bytes = CvEncode(photo, ext);
        const cv::Mat want = cv::imdecode(bytes, cv::IMREAD_COLOR);
        const BitmapPtr got = DecodeImage(bytes);
        ASSERT_NE(got, nullptr);
        ASSERT_EQ(got->Width(), 97);
        int worst = 0;
        for (int y = 0; y < 61; ++y)
            for (int x = 0; x < 97; ++x) {
                const cv::Vec3b w = want.at<cv::Vec3b>(y, x);
                const uint32_t g = got->Pixel(x, y);
                for (int ch = 0; ch < 3; ++ch) worst = std::max(worst, std::abs(Channel(g, 8 * ch) - int(w[ch])));
                ASSERT_EQ(g >> 24, 0xFFu);
            }
        EXPECT_LE(worst, std::string(ext) == ".jpg" ? 1 : 0);
    }
}

// Deterministic bytes covering the whole range.
std::vector<uint8_t> Noise(size_t n, uint32_t seed) {
    std::vector<uint8_t> v(n);
    for (uint8_t& b : v) {
        seed = seed * 1664525u + 1013904223u;
        b = uint8_t(seed >> 24);
    }
    return v;
}

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

// A channel of `bits` bits spread over 0..255, rounded to the nearest.
uint32_t Widen(uint32_t v, int bits) { return uint32_t(std::lround(v * 255.0 / double((1u << bits) - 1))); }

struct ExactCase {
    std::string name;
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> want;  // every pixel, rows top-down, 0xAARRGGBB
};

// Rows wide enough for every vectorised block and an odd tail, in each form
// whose rows are converted in bulk, with the pixels worked out one at a time
// here. Bytes past a row's pixels (BMP padding) hold noise that must not show.
std::vector<ExactCase> ExactCases() {
    constexpr int w = 37, h = 3;
    std::vector<ExactCase> cases;
    const std::vector<uint8_t> noise = Noise(size_t(w) * h * 8, 11);
    auto png = [&](const char* name, int depth, int colour, int channels, bool interlaced,
                   const std::vector<png_color>& pal = {}) {
        const size_t rowBytes = (size_t(w) * size_t(channels) * size_t(depth) + 7) / 8;
        std::vector<uint8_t> samples(noise.begin(), noise.begin() + long(rowBytes * h));
        std::vector<uint32_t> want;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t* s = samples.data() + size_t(y) * rowBytes;
                if (colour == PNG_COLOR_TYPE_PALETTE) {
                    const int per = 8 / depth;
                    const int index = (s[x / per] >> (8 - depth * (x % per + 1))) & ((1 << depth) - 1);
                    const png_color c = size_t(index) < pal.size() ? pal[size_t(index)] : png_color{0, 0, 0};
                    want.push_back(Argb(255, c.red, c.green, c.blue));
                    continue;
                }
                s += size_t(x) * size_t(channels);
                if (colour == PNG_COLOR_TYPE_GRAY) want.push_back(Argb(255, s[0], s[0], s[0]));
                if (colour == PNG_COLOR_TYPE_GRAY_ALPHA) want.push_back(Argb(s[1], s[0], s[0], s[0]));
                if (colour == PNG_COLOR_TYPE_RGB) want.push_back(Argb(255, s[0], s[1], s[2]));
                if (colour == PNG_COLOR_TYPE_RGBA) want.push_back(Argb(s[3], s[0], s[1], s[2]));
            }
        cases.push_back({name, Png(w, h, depth, colour, interlaced, samples, pal), want});
    };
    png("png rgb", 8, PNG_COLOR_TYPE_RGB, 3, false);
    png("png rgb interlaced", 8, PNG_COLOR_TYPE_RGB, 3, true);
    png("png rgba", 8, PNG_COLOR_TYPE_RGBA, 4, false);
    png("png rgba interlaced", 8, PNG_COLOR_TYPE_RGBA, 4, true);
    png("png grey", 8, PNG_COLOR_TYPE_GRAY, 1, false);
    png("png grey-alpha", 8, PNG_COLOR_TYPE_GRAY_ALPHA, 2, false);
    png("png palette 4-bit", 4, PNG_COLOR_TYPE_PALETTE, 1, false,
        {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {11, 12, 13}, {14, 15, 16},
         {17, 18, 19}, {21, 22, 23}, {24, 25, 26}, {27, 28, 29}, {31, 32, 33}, {34, 35, 36}, {37, 38, 39}, {41, 42, 43}});

    // BMP: `pixel` reads pixel x of a row's bytes.
    auto bmp = [&](const char* name, uint32_t headerSize, bool topDown, uint16_t bits, uint32_t compression,
                   const std::vector<uint32_t>& masks, const std::vector<uint32_t>& palette,
                   const std::function<uint32_t(const uint8_t*, int)>& pixel) {
        const size_t stride = (size_t(w) * bits + 31) / 32 * 4;
        std::vector<uint8_t> rows(noise.begin(), noise.begin() + long(stride * h));  // top row first
        std::vector<uint32_t> want;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) want.push_back(pixel(rows.data() + size_t(y) * stride, x));
        std::vector<uint8_t> stored;
        for (int y = 0; y < h; ++y) {
            const uint8_t* r = rows.data() + size_t(topDown ? y : h - 1 - y) * stride;
            stored.insert(stored.end(), r, r + stride);
        }
        cases.push_back({name, Bmp(headerSize, w, topDown ? -h : h, bits, compression, masks, palette, stored), want});
    };
    auto le16 = [](const uint8_t* p) { return uint32_t(p[0] | p[1] << 8); };
    auto le32 = [](const uint8_t* p) { return uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24); };
    bmp("bmp 24-bit bottom-up", 40, false, 24, 0, {}, {},
        [](const uint8_t* r, int x) { return Argb(255, r[3 * x + 2], r[3 * x + 1], r[3 * x]); });
    bmp("bmp 24-bit top-down", 40, true, 24, 0, {}, {},
        [](const uint8_t* r, int x) { return Argb(255, r[3 * x + 2], r[3 * x + 1], r[3 * x]); });
    bmp("bmp 32-bit (fourth byte unused)", 40, false, 32, 0, {}, {},
        [](const uint8_t* r, int x) { return Argb(255, r[4 * x + 2], r[4 * x + 1], r[4 * x]); });
    bmp("bmp 32-bit 8-8-8-8 bit fields", 124, false, 32, 3, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}, {},
        [](const uint8_t* r, int x) { return Argb(r[4 * x + 3], r[4 * x + 2], r[4 * x + 1], r[4 * x]); });
    bmp("bmp 32-bit 10-10-10-2 bit fields", 108, true, 32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}, {},
        [&](const uint8_t* r, int x) {
            const uint32_t p = le32(r + 4 * x);
            return Argb(Widen(p >> 30, 2), (p >> 22) & 0xFF, (p >> 12) & 0xFF, (p >> 2) & 0xFF);
        });
    bmp("bmp 16-bit 5-5-5", 40, false, 16, 0, {}, {}, [&](const uint8_t* r, int x) {
        const uint32_t p = le16(r + 2 * x);
        return Argb(255, Widen((p >> 10) & 31, 5), Widen((p >> 5) & 31, 5), Widen(p & 31, 5));
    });
    bmp("bmp 16-bit 5-6-5", 40, false, 16, 3, {0xF800, 0x07E0, 0x001F}, {}, [&](const uint8_t* r, int x) {
        const uint32_t p = le16(r + 2 * x);
        return Argb(255, Widen(p >> 11, 5), Widen((p >> 5) & 63, 6), Widen(p & 31, 5));
    });
    bmp("bmp 16-bit 4-4-4-4 bit fields", 56, false, 16, 3, {0x0F00, 0x00F0, 0x000F, 0xF000}, {},
        [&](const uint8_t* r, int x) {
            const uint32_t p = le16(r + 2 * x);
            return Argb(Widen(p >> 12, 4), Widen((p >> 8) & 15, 4), Widen((p >> 4) & 15, 4), Widen(p & 15, 4));
        });
    std::vector<uint32_t> pal256;
    for (uint32_t i = 0; i < 256; ++i) pal256.push_back((i * 0x010203u + 0x405060u) & 0xFFFFFF);
    // Indices past the palette's 200 entries are black.
    const std::vector<uint32_t> pal200(pal256.begin(), pal256.begin() + 200);
    bmp("bmp 8-bit palette, short", 40, false, 8, 0, {}, pal200,
        [&](const uint8_t* r, int x) { return 0xFF000000u | (r[x] < 200 ? pal256[r[x]] : 0); });
    const std::vector<uint32_t> pal16(pal256.begin(), pal256.begin() + 16);
    bmp("bmp 4-bit palette", 40, false, 4, 0, {}, pal16,
        [&](const uint8_t* r, int x) { return 0xFF000000u | pal16[(r[x / 2] >> (x % 2 ? 0 : 4)) & 15]; });
    bmp("bmp 1-bit palette (core header)", 12, false, 1, 0, {}, {0x123456, 0xABCDEF},
        [](const uint8_t* r, int x) { return (r[x / 8] >> (7 - x % 8)) & 1 ? 0xFFABCDEFu : 0xFF123456u; });
    return cases;
}

TEST(ImageDecode, EveryPixelOfEachFormIsExactAtEachCpuLevel) {
    const std::vector<ExactCase> cases = ExactCases();
    ForEachCpuLevel([&](CpuLevel level) {
        SCOPED_TRACE(CpuLevelName(level));
        for (const ExactCase& c : cases) {
            SCOPED_TRACE(c.name);
            DecodeError why = DecodeError::kNone;
            const BitmapPtr b = DecodeImage(c.bytes, &why);
            ASSERT_NE(b, nullptr) << DecodeErrorText(why);
            ASSERT_EQ(size_t(b->Width()) * size_t(b->Height()), c.want.size());
            int wrong = 0;
            for (int y = 0; y < b->Height(); ++y)
                for (int x = 0; x < b->Width(); ++x) {
                    const uint32_t want = c.want[size_t(y) * size_t(b->Width()) + size_t(x)];
                    if (b->Pixel(x, y) != want && wrong++ < 3)
                        ADD_FAILURE() << std::hex << "pixel " << std::dec << x << "," << y << std::hex << " got "
                                      << b->Pixel(x, y) << " want " << want;
                }
            EXPECT_EQ(wrong, 0);
        }
    });
}

// Peak resident memory since the last reset (VmHWM), in MiB.
long PeakMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6)) / 1024;
    return -1;
}
bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return bool(clear);
}

struct Hostile {
    const char* name;
    std::vector<uint8_t> bytes;
    DecodeError error;
};

// Each is refused with its reason, without the memory of the picture it
// declares: the pixel cap is checked from the header, and a file that ends
// early stops the decoder at the first missing byte.
TEST(ImageDecode, HostileFilesAreRefusedCheaply) {
    const std::vector<uint8_t> png = CvEncode(Photo(64, 64), ".png");
    const std::vector<uint8_t> jpeg = CvEncode(Photo(64, 64), ".jpg");
    const std::vector<uint8_t> bmp = CvEncode(Photo(64, 64), ".bmp");
    auto cut = [](const std::vector<uint8_t>& v, size_t n) { return std::vector<uint8_t>(v.begin(), v.begin() + long(n)); };
    std::vector<uint8_t> pngBadCrc = png;
    for (size_t i = 8; i + 10 < pngBadCrc.size(); ++i)
        if (std::memcmp(&pngBadCrc[i], "IDAT", 4) == 0) {
            pngBadCrc[i + 6] ^= 1;  // inside the first data chunk
            break;
        }
    std::vector<uint8_t> jpegNoComponents = jpeg;
    for (size_t i = 2; i + 9 < jpegNoComponents.size(); ++i)
        if (jpegNoComponents[i] == 0xFF && jpegNoComponents[i + 1] == 0xC0) {
            jpegNoComponents[i + 9] = 0;  // the frame header's component count
            break;
        }
    std::vector<uint8_t> bmpPixelsPastEnd = bmp;
    bmpPixelsPastEnd[10] = 0xFF, bmpPixelsPastEnd[11] = 0xFF, bmpPixelsPastEnd[12] = 0xFF;
    std::vector<uint8_t> bmpUnknownHeader = bmp;
    bmpUnknownHeader[14] = 41;
    std::vector<uint8_t> rleNoEnd = Bmp(40, 4, 4, 8, 1, {}, {0, 0xFFFFFF}, {4, 1, 0, 0, 4, 1});
    const Hostile cases[] = {
        {"DICOM behind a JPEG start-of-image", Fixture("dicom_in_jpeg.jpg"), DecodeError::kNotAnImage},
        {"JPEG declaring 16355 x 15184 with a few bytes of data", Fixture("jpeg_bomb.jpg"), DecodeError::kDamaged},
        {"progressive JPEG declaring 16355 x 15184", Fixture("jpeg_bomb_progressive.jpg"), DecodeError::kDamaged},
        {"PNG declaring 16000 x 16000 with its data cut", Fixture("png_huge_truncated.png"), DecodeError::kDamaged},
        {"PNG declaring 40000 x 40000", Fixture("png_over_cap.png"), DecodeError::kTooLarge},
        {"PNG with a text chunk declaring 1.1 GB", Fixture("png_huge_text_chunk.png"), DecodeError::kDamaged},
        {"BMP declaring 16000 x 16000 without pixels", Fixture("bmp_huge_no_pixels.bmp"), DecodeError::kDamaged},
        {"PNG signature with one byte wrong", [&] { auto v = png; v[4] = 'X'; return v; }(), DecodeError::kNotAnImage},
        {"FF D8 without a marker after it", {0xFF, 0xD8, 0x00, 0xFF, 0xE0}, DecodeError::kNotAnImage},
        {"BM with an unknown header size", bmpUnknownHeader, DecodeError::kNotAnImage},
        {"GIF", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0}, DecodeError::kNotAnImage},
        {"PNG cut after its header", cut(png, 33), DecodeError::kDamaged},
        {"PNG cut in its data", cut(png, png.size() / 2), DecodeError::kDamaged},
        {"PNG without its end chunk", cut(png, png.size() - 12), DecodeError::kDamaged},
        {"PNG with a bad checksum", pngBadCrc, DecodeError::kDamaged},
        {"JPEG cut in its header", cut(jpeg, 20), DecodeError::kDamaged},
        {"JPEG cut in its data", cut(jpeg, jpeg.size() / 2), DecodeError::kDamaged},
        {"JPEG with no components", jpegNoComponents, DecodeError::kDamaged},
        {"BMP cut in its header", cut(bmp, 16), DecodeError::kDamaged},
        {"BMP cut in its pixels", cut(bmp, bmp.size() - 1), DecodeError::kDamaged},
        {"BMP pixels past the end", bmpPixelsPastEnd, DecodeError::kDamaged},
        {"run-length BMP without its end code", rleNoEnd, DecodeError::kDamaged},
        {"true-colour BMP counting 384 palette entries, pixels cut", Fixture("bmp_true_colour_with_palette_count.bmp"),
         DecodeError::kDamaged},
    };
    // Under AddressSanitizer an allocation also costs its shadow, an eighth of
    // its size, even when none of it is touched: the untouched bitmap the
    // largest of these headers declares (16355 x 15184, about 1 GB) adds up to
    // 124 MiB there. A decoder that wrote the pixels would still show the GB.
#if defined(__SANITIZE_ADDRESS__)
    constexpr long kAllowedMiB = 64 + 128;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    constexpr long kAllowedMiB = 64 + 128;
#else
    constexpr long kAllowedMiB = 64;
#endif
#else
    constexpr long kAllowedMiB = 64;
#endif
    const bool canMeasure = ResetPeak();
    const long before = PeakMiB();
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.name);
        DecodeError why = DecodeError::kNone;
        EXPECT_EQ(DecodeImage(c.bytes, &why), nullptr);
        EXPECT_EQ(why, c.error) << DecodeErrorText(why);
        if (canMeasure) {
            EXPECT_LT(PeakMiB() - before, kAllowedMiB) << "MiB of resident memory";
        }
    }
}

// PNG chunk surgery: where each chunk starts, and a chunk's CRC made right
// again after its bytes were changed.
std::vector<size_t> PngChunkStarts(const std::vector<uint8_t>& png, const char* type) {
    std::vector<size_t> starts;
    for (size_t at = 8; at + 12 <= png.size();) {
        const size_t length = size_t(png[at]) << 24 | size_t(png[at + 1]) << 16 | size_t(png[at + 2]) << 8 | png[at + 3];
        if (std::memcmp(&png[at + 4], type, 4) == 0) starts.push_back(at);
        at += 12 + length;
    }
    return starts;
}
void FixPngCrc(std::vector<uint8_t>& png, size_t at) {
    const size_t length = size_t(png[at]) << 24 | size_t(png[at + 1]) << 16 | size_t(png[at + 2]) << 8 | png[at + 3];
    const uLong crc = crc32(0, &png[at + 4], uInt(length + 4));
    for (int i = 0; i < 4; ++i) png[at + 8 + length + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
}

// A file large enough that its chunks' checksums are checked apart from the
// decoding, in runs on several threads: a wrong checksum on any critical
// chunk, first, middle or last, is damage; the zlib stream's own checksum is
// still checked; a damaged ancillary chunk is skipped as before.
TEST(ImageDecode, EveryChunkOfALargePngIsChecked) {
    const cv::Mat photo = Photo(1024, 768);
    std::vector<uchar> encoded;
    ASSERT_TRUE(cv::imencode(".png", photo, encoded, {cv::IMWRITE_PNG_COMPRESSION, 0}));
    const std::vector<uint8_t> png(encoded.begin(), encoded.end());
    const std::vector<size_t> data = PngChunkStarts(png, "IDAT");
    ASSERT_GT(data.size(), 40u);
    const BitmapPtr whole = DecodeImage(png);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->Pixel(1000, 700), 0xFF000000u | uint32_t(photo.at<cv::Vec3b>(700, 1000)[2]) << 16 |
                                           uint32_t(photo.at<cv::Vec3b>(700, 1000)[1]) << 8 | photo.at<cv::Vec3b>(700, 1000)[0]);

    // Only the checksum catches a changed checksum.
    auto crcAt = [&](size_t at) {
        return at + 8 + (size_t(png[at]) << 24 | size_t(png[at + 1]) << 16 | size_t(png[at + 2]) << 8 | png[at + 3]);
    };
    const size_t end = PngChunkStarts(png, "IEND").at(0);
    for (const auto& [where, at] :
         {std::pair{"header", crcAt(8)}, std::pair{"first data chunk", crcAt(data.front()) + 1},
          std::pair{"middle data chunk", crcAt(data[data.size() / 2]) + 2}, std::pair{"last data chunk", crcAt(data.back()) + 3},
          std::pair{"end chunk", crcAt(end)}}) {
        SCOPED_TRACE(where);
        std::vector<uint8_t> bad = png;
        bad[at] ^= 0x10;
        DecodeError why = DecodeError::kNone;
        EXPECT_EQ(DecodeImage(bad, &why), nullptr);
        EXPECT_EQ(why, DecodeError::kDamaged);
    }

    // The last four bytes of the image data are the zlib stream's checksum.
    std::vector<uint8_t> badAdler = png;
    const size_t last = data.back();
    const size_t lastLength = size_t(png[last]) << 24 | size_t(png[last + 1]) << 16 | size_t(png[last + 2]) << 8 | png[last + 3];
    badAdler[last + 8 + lastLength - 1] ^= 0x01;
    FixPngCrc(badAdler, last);
    DecodeError why = DecodeError::kNone;
    EXPECT_EQ(DecodeImage(badAdler, &why), nullptr);
    EXPECT_EQ(why, DecodeError::kDamaged);

    // A text chunk whose CRC is wrong, before the end chunk.
    std::vector<uint8_t> text = png;
    const uint8_t chunk[] = {0, 0, 0, 3, 't', 'E', 'X', 't', 'a', 0, 'b', 0xDE, 0xAD, 0xBE, 0xEF};
    text.insert(text.begin() + long(end), std::begin(chunk), std::end(chunk));
    const BitmapPtr withText = DecodeImage(text, &why);
    ASSERT_NE(withText, nullptr) << DecodeErrorText(why);
    EXPECT_EQ(std::memcmp(withText->Data(), whole->Data(), size_t(1024) * 768 * 4), 0);
}

// The size check uses the caller's pixel budget as well as the caps.
TEST(ImageDecode, CallerPixelBudgetRefusesBeforeDecoding) {
    const std::vector<uint8_t> png = CvEncode(Photo(64, 64), ".png");
    DecodeError why = DecodeError::kNone;
    EXPECT_EQ(DecodeImage(png, &why, 64 * 63), nullptr);
    EXPECT_EQ(why, DecodeError::kTooLarge);
    EXPECT_NE(DecodeImage(png, &why, 64 * 64), nullptr);
    int w = 0, h = 0;
    EXPECT_FALSE(ReadImageSize(Fixture("png_over_cap.png").data(), 117, w, h, &why));
    EXPECT_EQ(why, DecodeError::kTooLarge);
}

}  // namespace
