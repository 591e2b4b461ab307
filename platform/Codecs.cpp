#include "platform/Codecs.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cstring>
#include <string>

namespace {

enum class Peek { kSize, kUnknown, kShort };

// Reads the pixel size from a PNG, BMP or JPEG header without decoding, so an
// image that would exceed the caps is refused before OpenCV allocates it.
// kUnknown: none of the three signatures; kShort: the header ends too early.
Peek PeekImageSize(const uint8_t* p, size_t n, int64_t& w, int64_t& h) {
    auto be32 = [&](size_t o) { return (uint32_t(p[o]) << 24) | (uint32_t(p[o + 1]) << 16) | (uint32_t(p[o + 2]) << 8) | p[o + 3]; };
    auto le32 = [&](size_t o) { return uint32_t(p[o]) | (uint32_t(p[o + 1]) << 8) | (uint32_t(p[o + 2]) << 16) | (uint32_t(p[o + 3]) << 24); };
    if (n >= 8 && std::memcmp(p, "\x89PNG\r\n\x1a\n", 8) == 0) {
        if (n < 24) return Peek::kShort;
        w = be32(16);
        h = be32(20);
        return Peek::kSize;
    }
    if (n >= 2 && p[0] == 'B' && p[1] == 'M') {
        if (n < 26) return Peek::kShort;
        uint32_t hdr = le32(14);
        if (hdr == 12) {
            w = uint16_t(p[18] | (p[19] << 8));
            h = uint16_t(p[20] | (p[21] << 8));
        } else {
            w = int32_t(le32(18));
            h = int32_t(le32(22));
            if (h < 0) h = -h;
        }
        return Peek::kSize;
    }
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xD8) {
        size_t i = 2;
        while (i + 9 < n) {
            if (p[i] != 0xFF) { ++i; continue; }
            uint8_t m = p[i + 1];
            if (m == 0xFF) { ++i; continue; }
            if (m == 0xD8 || m == 0x01 || (m >= 0xD0 && m <= 0xD7)) { i += 2; continue; }
            size_t len = (size_t(p[i + 2]) << 8) | p[i + 3];
            if ((m >= 0xC0 && m <= 0xCF) && m != 0xC4 && m != 0xC8 && m != 0xCC) {
                h = (int64_t(p[i + 5]) << 8) | p[i + 6];
                w = (int64_t(p[i + 7]) << 8) | p[i + 8];
                return Peek::kSize;
            }
            if (len < 2) return Peek::kShort;
            i += 2 + len;
        }
        return Peek::kShort;
    }
    return Peek::kUnknown;
}

BitmapPtr Fail(DecodeError* why, DecodeError error) {
    if (why) *why = error;
    return nullptr;
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

BitmapPtr DecodeImage(const uint8_t* bytes, size_t size, DecodeError* why) {
    if (why) *why = DecodeError::kNone;
    if (!bytes || size == 0) return Fail(why, DecodeError::kNotAnImage);
    if (size > kMaxImageFileBytes) return Fail(why, DecodeError::kTooLarge);
    int64_t pw = 0, ph = 0;
    switch (PeekImageSize(bytes, size, pw, ph)) {
    case Peek::kSize: break;
    case Peek::kUnknown: return Fail(why, DecodeError::kNotAnImage);
    case Peek::kShort: return Fail(why, DecodeError::kDamaged);
    }
    if (pw <= 0 || ph <= 0) return Fail(why, DecodeError::kDamaged);
    if (!BitmapSizeAllowed(pw, ph)) return Fail(why, DecodeError::kTooLarge);
    cv::Mat img;
    try {
        cv::Mat buf(1, int(size), CV_8UC1, const_cast<uint8_t*>(bytes));
        img = cv::imdecode(buf, cv::IMREAD_UNCHANGED | cv::IMREAD_IGNORE_ORIENTATION);
        if (img.empty() || img.dims != 2) return Fail(why, DecodeError::kDamaged);
        if (!BitmapSizeAllowed(img.cols, img.rows)) return Fail(why, DecodeError::kTooLarge);
        if (img.depth() == CV_16U) {
            img.convertTo(img, CV_8U, 1.0 / 257.0);
        } else if (img.depth() != CV_8U) {
            cv::Mat tmp;
            cv::normalize(img, tmp, 0, 255, cv::NORM_MINMAX, CV_8U);
            img = tmp;
        }
        cv::Mat bgra;
        switch (img.channels()) {
            case 1: cv::cvtColor(img, bgra, cv::COLOR_GRAY2BGRA); break;
            case 3: cv::cvtColor(img, bgra, cv::COLOR_BGR2BGRA); break;
            case 4: bgra = img; break;
            default: return Fail(why, DecodeError::kNotAnImage);
        }
        BitmapPtr out = Bitmap::Create(bgra.cols, bgra.rows);
        if (!out) return Fail(why, DecodeError::kOutOfMemory);
        for (int y = 0; y < bgra.rows; ++y) std::memcpy(out->Row(y), bgra.ptr(y), size_t(bgra.cols) * 4);
        return out;
    } catch (const cv::Exception&) {
        return Fail(why, DecodeError::kDamaged);
    } catch (const std::bad_alloc&) {
        return Fail(why, DecodeError::kOutOfMemory);
    }
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
