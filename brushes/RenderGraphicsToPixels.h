#pragma once
// Renders a drawing into a pixel buffer the caller owns: the drawing gets a
// cleared, straight-alpha B, G, R, A target of the requested size, and the
// result is copied row by row into the caller's buffer.
#include "platform/Raster.h"

#include <cstdint>
#include <functional>

using RasterDrawing = std::function<void(const RasterTarget& target)>;

// False, with the destination untouched, for a size below 1, a null
// destination, a stride below width x 4, an empty drawing, or a size above
// the bitmap caps. Bytes between rows (beyond width x 4) are not written.
bool RenderGraphicsToPixels(int32_t width, int32_t height, uint8_t* destination, int32_t stride,
                            const RasterDrawing& drawing);
