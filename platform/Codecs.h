#pragma once
// Image decoding and PNG encoding. Decoded images are 8-bit straight BGRA
// whatever the file held (grey, palette, 16-bit, 3-channel). No colour
// management and no EXIF rotation.
#include "platform/Bitmap.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Decodes PNG, JPEG or BMP bytes. Null for bytes that do not decode or whose
// size exceeds the bitmap caps; never throws.
BitmapPtr DecodeImage(const uint8_t* bytes, size_t size);
inline BitmapPtr DecodeImage(const std::vector<uint8_t>& bytes) { return DecodeImage(bytes.data(), bytes.size()); }

// Encodes a straight BGRA bitmap as a 32-bit PNG with alpha. The output holds
// exactly the encoder's bytes. False when encoding fails.
bool EncodePng(const Bitmap& bitmap, std::vector<uint8_t>& out);
