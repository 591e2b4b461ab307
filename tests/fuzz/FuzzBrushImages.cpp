// Feeds arbitrary bytes to the brush images: the first byte picks the use
// (a library entry's preview, a tip or a grain image) and the tip's side, the
// rest is the image file.
#include "FuzzLimits.h"

#include "brushes/DabRenderer.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::vector<uint8_t> image(data + 1, data + size);
    if (!WorthDecoding(image.data(), image.size())) return 0;
    const int n = 1 + (data[0] >> 2);  // 1 to 64
    std::vector<float> out;
    switch (data[0] & 3) {
    case 0: {
        // The preview a brush library stores is shown as decoded.
        const BitmapPtr preview = DecodeImage(image);
        if (preview && (preview->Width() <= 0 || preview->Height() <= 0)) std::abort();
        break;
    }
    case 1:
        if (DabRenderer::TipFromImage(image, n, out)) {
            if (out.size() != size_t(n) * size_t(n)) std::abort();
            for (float v : out)
                if (!(v >= 0 && v <= 1)) std::abort();
        }
        break;
    default:
        if (DabRenderer::GrainFromImage(image, n, out) && out.size() != size_t(n) * size_t(n)) std::abort();
        break;
    }
    return 0;
}
