#include "brushes/RenderGraphicsToPixels.h"

#include "platform/Bitmap.h"

#include <cstring>

bool RenderGraphicsToPixels(int32_t width, int32_t height, uint8_t* destination, int32_t stride,
                            const RasterDrawing& drawing) {
    if (width < 1 || height < 1 || !destination || int64_t(stride) < int64_t(width) * 4 || !drawing) return false;
    // Drawn into a bitmap of its own first, so a failed allocation leaves the
    // destination as it was.
    BitmapPtr canvas = Bitmap::Create(width, height);
    if (!canvas) return false;
    const RasterTarget target = RasterTarget::Of(*canvas);
    ClearTarget(target, 0);
    drawing(target);
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(destination + int64_t(y) * stride, canvas->Row(y), size_t(width) * 4);
    return true;
}
