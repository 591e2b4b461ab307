// Feeds arbitrary bytes to the image decoders (PNG, JPEG, BMP). A refusal must
// say why; a picture must have the size its header declares. The decoder's
// own pixel cap is set to kFuzzPixels, so larger pictures try the refusal.
#include "FuzzLimits.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodeError why = DecodeError::kNone;
    const BitmapPtr image = DecodeImage(data, size, &why, kFuzzPixels);
    if (!image) {
        if (why == DecodeError::kNone) std::abort();
        return 0;
    }
    if (why != DecodeError::kNone) std::abort();
    int w = 0, h = 0;
    if (!ReadImageSize(data, size, w, h) || w != image->Width() || h != image->Height()) std::abort();
    // Every pixel was written: reading them all finds uninitialised memory.
    uint32_t sum = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) sum += image->Pixel(x, y);
    return int(sum & 0);
}
