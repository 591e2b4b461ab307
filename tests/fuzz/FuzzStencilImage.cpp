// Feeds arbitrary bytes to the stencil library's image reader as if they were
// a stencil file, then builds the thumbnail the library list shows.
#include "brushes/StencilLibraryStore.h"
#include "platform/Codecs.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int w = 0, h = 0;
    // Keep pictures small enough for the fuzzer's memory limit.
    if (ReadImageSize(data, size, w, h) && int64_t(w) * h > (int64_t(1) << 22)) return 0;
    const BitmapPtr image = DecodeStencilBytes(std::vector<uint8_t>(data, data + size));
    if (!image) return 0;
    if (int64_t(image->Width()) * image->Height() > kMaxStencilPixels) std::abort();
    const BitmapPtr thumb = MakeStencilThumbnail(*image);
    if (!thumb || thumb->Width() != kStencilThumbnailSide) std::abort();
    return 0;
}
