#include "platform/PolygonIcon.h"

#include "platform/Raster.h"

BitmapPtr RasterizePolygonMask(const PolygonTable* table, int width, int height, uint32_t rgb) {
    if (!table || table->empty() || width <= 0 || height <= 0) return nullptr;
    const PolygonTable& t = *table;
    const size_t size = t.size();
    RasterPath path;
    size_t at = 1;
    const int polygons = t[0];
    for (int p = 0; p < polygons && at < size; ++p) {
        const int n = t[at++];
        // A negative count has no pairs to pass over.
        if (n < 0) continue;
        if (at + size_t(n) * 2 > size) break;
        if (n >= 3) {
            std::vector<PointF> pts(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i)
                pts[size_t(i)] = {t[at + 2 * size_t(i)] * width / 1000.0f, t[at + 2 * size_t(i) + 1] * height / 1000.0f};
            path.AddPolygon(pts.data(), n);
        }
        at += size_t(n) * 2;
    }
    if (polygons < 1) return nullptr;
    BitmapPtr bmp = Bitmap::Create(width, height);
    if (!bmp) return nullptr;
    RasterTarget target = RasterTarget::Of(*bmp);
    ClearTarget(target, 0);
    if (!path.Empty()) FillPath(target, path, 0xFF000000u | (rgb & 0xFFFFFF));
    return bmp;
}
