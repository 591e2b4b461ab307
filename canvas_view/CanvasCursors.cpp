#include "canvas_view/CanvasCursors.h"

#include <cmath>
#include <iterator>

namespace {
struct ProfileStep {
    float along, half;  // distance from the tip and half-width, in cursor pixels
};

// The pipette from its tip upwards to the right: the glass tube, the collar
// and the rubber bulb.
constexpr ProfileStep kPipette[] = {{0.0f, 0.5f},  {1.5f, 1.0f},  {8.0f, 1.3f},  {8.0f, 3.2f},
                                    {10.0f, 3.2f}, {10.0f, 2.0f}, {15.0f, 2.4f}, {17.0f, 2.1f},
                                    {18.6f, 1.2f}, {19.3f, 0.0f}};

// One polygon around the pipette's axis, widened by `grow` pixels on every
// side except the tip, so that the hot spot stays the outline's own tip.
PolygonTable PipettePolygon(float grow) {
    const float ux = std::sqrt(0.5f), uy = -std::sqrt(0.5f);  // towards the top right
    // The tip a little past the hot spot's centre, so that pixel is mostly covered.
    const float tipX = float(kEyedropperHotX) + 0.5f - 0.4f * ux, tipY = float(kEyedropperHotY) + 0.5f - 0.4f * uy;
    const float nx = -uy, ny = ux;                            // across the axis
    const int steps = int(std::size(kPipette));
    PolygonTable t{1, int16_t(2 * steps)};
    auto add = [&](float along, float across) {
        const float x = tipX + ux * along + nx * across, y = tipY + uy * along + ny * across;
        t.push_back(int16_t(std::lround(x * 1000.0f / kCursorSide)));
        t.push_back(int16_t(std::lround(y * 1000.0f / kCursorSide)));
    };
    for (int i = 0; i < steps; ++i) {
        const float along = kPipette[i].along + (i == steps - 1 ? grow : 0.0f);
        add(along, kPipette[i].half + grow);
    }
    for (int i = steps - 1; i >= 0; --i) {
        const float along = kPipette[i].along + (i == steps - 1 ? grow : 0.0f);
        add(along, -(kPipette[i].half + grow));
    }
    return t;
}
}  // namespace

const PolygonTable& EyedropperOutlineShape() {
    static const PolygonTable t = PipettePolygon(1.1f);
    return t;
}

const PolygonTable& EyedropperBodyShape() {
    static const PolygonTable t = PipettePolygon(0.0f);
    return t;
}

BitmapPtr BuildEyedropperCursorBitmap() {
    BitmapPtr outline = RasterizePolygonMask(&EyedropperOutlineShape(), kCursorSide, kCursorSide, 0x000000);
    BitmapPtr body = RasterizePolygonMask(&EyedropperBodyShape(), kCursorSide, kCursorSide, 0xFFFFFF);
    if (!outline || !body) return nullptr;
    // Monochrome: each pixel takes the topmost shape covering at least half of it.
    for (int y = 0; y < kCursorSide; ++y) {
        uint8_t* o = outline->Data() + size_t(y) * size_t(outline->Stride());
        const uint8_t* b = body->Data() + size_t(y) * size_t(body->Stride());
        for (int x = 0; x < kCursorSide; ++x, o += 4, b += 4) {
            const uint8_t v = b[3] >= 128 ? 255 : 0;
            const uint8_t a = (b[3] >= 128 || o[3] >= 128) ? 255 : 0;
            o[0] = o[1] = o[2] = a ? v : 0;
            o[3] = a;
        }
    }
    return outline;
}
