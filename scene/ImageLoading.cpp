#include "scene/ImageLoading.h"

#include "platform/Codecs.h"
#include "platform/Files.h"

BitmapPtr LoadBitmapFromFileUnlocked(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, 0x7FFFFFFF)) return nullptr;
    return DecodeImage(bytes);
}

BitmapPtr CreateBitmapFromMemory(const uint8_t* bytes, size_t size) {
    if (!bytes || size == 0) return nullptr;
    return DecodeImage(bytes, size);
}
