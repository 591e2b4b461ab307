#pragma once
// Image decoding and PNG encoding. Decoded images are 8-bit straight BGRA
// whatever the file held (grey, palette, 16-bit, 3-channel). No colour
// management and no EXIF rotation.
#include "platform/Bitmap.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The largest image file the decoder takes (its buffer length is an int).
// Readers of image files check it before reading a byte.
constexpr uint64_t kMaxImageFileBytes = 0x7FFFFFFF;

// Why bytes did not decode.
enum class DecodeError {
    kNone,
    kNotAnImage,   // neither PNG, JPEG nor BMP
    kTooLarge,     // the file, or the picture's size, exceeds the caps
    kDamaged,      // a known format whose data is truncated or corrupt
    kOutOfMemory,
};
// A sentence for the user, e.g. "The image data is truncated or damaged.".
std::string DecodeErrorText(DecodeError error);

// Decodes PNG (libpng), JPEG (libjpeg-turbo) or BMP (own reader) bytes, each
// recognised by its whole signature, straight into the returned bitmap. Null
// for bytes that do not decode completely (a truncated or corrupt file is never
// returned as a picture) or whose size exceeds the bitmap caps or maxPixels,
// checked from the header before the bitmap is allocated; the reason goes to
// why (when given). Never throws.
BitmapPtr DecodeImage(const uint8_t* bytes, size_t size, DecodeError* why = nullptr,
                      int64_t maxPixels = kMaxBitmapPixels);
inline BitmapPtr DecodeImage(const std::vector<uint8_t>& bytes, DecodeError* why = nullptr,
                             int64_t maxPixels = kMaxBitmapPixels) {
    return DecodeImage(bytes.data(), bytes.size(), why, maxPixels);
}

// The picture size a PNG, JPEG or BMP header declares, read without decoding
// the pixels. False (reason in why) when DecodeImage would refuse the header.
bool ReadImageSize(const uint8_t* bytes, size_t size, int& width, int& height, DecodeError* why = nullptr);

// Encodes a straight BGRA bitmap as a 32-bit PNG with alpha. The output holds
// exactly the encoder's bytes. False when encoding fails.
bool EncodePng(const Bitmap& bitmap, std::vector<uint8_t>& out);
