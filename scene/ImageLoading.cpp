#include "scene/ImageLoading.h"

#include "platform/Files.h"

BitmapPtr LoadBitmapFromFileUnlocked(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, kMaxImageFileBytes)) return nullptr;
    return DecodeImage(bytes);
}

BitmapPtr CreateBitmapFromMemory(const uint8_t* bytes, size_t size, DecodeError* why) {
    return DecodeImage(bytes, size, why);
}
