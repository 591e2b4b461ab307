// Feeds arbitrary bytes to the stencil library's image reader as if they were
// a stencil file, then builds the thumbnail the library list shows. The
// thumbnail is made at a small side: its cost is in the side, its code the same.
#include "FuzzLimits.h"

#include "brushes/StencilLibraryStore.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!WorthDecoding(data, size, kMaxStencilPixels)) return 0;
    const BitmapPtr image = DecodeStencilBytes(std::vector<uint8_t>(data, data + size));
    if (!image) return 0;
    if (int64_t(image->Width()) * image->Height() > kMaxStencilPixels) std::abort();
    constexpr int kSide = 12;
    const BitmapPtr thumb = MakeStencilThumbnail(*image, kSide);
    if (!thumb || thumb->Width() != kSide || thumb->Height() != kSide) std::abort();
    return 0;
}
