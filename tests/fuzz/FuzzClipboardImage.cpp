// Feeds arbitrary bytes to the clipboard's image readers as another program
// would offer them: the first byte picks the format ("PNG", plain "CF_DIB", or
// both holding the same bytes), the rest is the data. A picture taken must be
// a PNG that decodes to the size reported; a refusal leaves nothing.
#include "FuzzLimits.h"

#include "document/ClipboardFormats.h"
#include "platform/Clipboard.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::vector<uint8_t> payload(data + 1, data + size);
    if (!WorthDecoding(payload.data(), payload.size())) return 0;
    // The same for the size a DIB header declares.
    if (payload.size() >= 12) {
        const int64_t dw = int32_t(uint32_t(payload[4]) | uint32_t(payload[5]) << 8 | uint32_t(payload[6]) << 16 | uint32_t(payload[7]) << 24);
        const int64_t dh = int32_t(uint32_t(payload[8]) | uint32_t(payload[9]) << 8 | uint32_t(payload[10]) << 16 | uint32_t(payload[11]) << 24);
        if (!WorthDecodingSize(dw, dh)) return 0;
    }
    MemoryClipboard clip;
    switch (data[0] % 3) {
    case 0: clip.SetData(kPngClipFormat, payload); break;
    case 1: clip.SetData(kDibClipFormat, payload); break;
    default:
        clip.SetData(kPngClipFormat, payload);
        clip.SetData(kDibClipFormat, payload);
        break;
    }
    std::vector<uint8_t> png;
    std::string name;
    float fw = 0, fh = 0;
    if (!ReadClipboardImage(clip, png, name, fw, fh)) {
        if (!png.empty()) std::abort();
        return 0;
    }
    const BitmapPtr image = DecodeImage(png);
    if (!image || float(image->Width()) != fw || float(image->Height()) != fh) std::abort();
    return 0;
}
