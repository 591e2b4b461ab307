#pragma once
// Loaders that turn image-file bytes into a bitmap without keeping the file open.
#include "platform/Bitmap.h"
#include "platform/Codecs.h"

#include <string>
#include <vector>

// Reads the whole file (1 to kMaxImageFileBytes bytes, the size checked before
// reading), closes it and decodes it. The file can be deleted while the bitmap
// is in use. Null on any failure.
BitmapPtr LoadBitmapFromFileUnlocked(const std::string& path);
// Decodes PNG, JPEG or BMP bytes; null for empty bytes or a failed decode,
// with the reason in why (when given).
BitmapPtr CreateBitmapFromMemory(const uint8_t* bytes, size_t size, DecodeError* why = nullptr);
inline BitmapPtr CreateBitmapFromMemory(const std::vector<uint8_t>& bytes, DecodeError* why = nullptr) {
    return CreateBitmapFromMemory(bytes.data(), bytes.size(), why);
}
