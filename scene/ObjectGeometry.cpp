#include "scene/ObjectGeometry.h"

#include "scene/CanvasDocument.h"
#include "scene/ObjectRender.h"
#include "scene/QuadWarp.h"

#include <algorithm>
#include <cmath>

int64_t RoundedPixelSide(float units) {
    const double v = std::max(double(units), 1.0);
    if (!(v <= double(kMaxBitmapSide))) return int64_t(kMaxBitmapSide) + 1;  // too large, or NaN
    return std::max<int64_t>(int64_t(std::round(v)), 1);
}

float WholeObjectSide(float units) {
    if (!std::isfinite(units)) return 1;
    return std::clamp(std::round(units), 1.0f, float(kMaxBitmapSide));
}

bool RotatedBox::IsFinite() const {
    return std::isfinite(minX) && std::isfinite(minY) && std::isfinite(maxX) && std::isfinite(maxY);
}

RotatedBox RotatedRectBox(double x, double y, double w, double h, double cx, double cy, double ct, double st) {
    const double xs[4] = {x, x + w, x + w, x}, ys[4] = {y, y, y + h, y + h};
    RotatedBox b{0, 0, 0, 0};
    for (int k = 0; k < 4; ++k) {
        const double px = (xs[k] - cx) * ct - (ys[k] - cy) * st + cx;
        const double py = (xs[k] - cx) * st + (ys[k] - cy) * ct + cy;
        if (k == 0 || px < b.minX) b.minX = px;
        if (k == 0 || px > b.maxX) b.maxX = px;
        if (k == 0 || py < b.minY) b.minY = py;
        if (k == 0 || py > b.maxY) b.maxY = py;
    }
    return b;
}

ScenePoint CanvasObject::LocalToCanvas(ScenePoint local) const {
    const float a = DegreesToRadians(rotation);
    const float cx = x + width / 2, cy = y + height / 2;
    const float px = x + local.x - cx, py = y + local.y - cy;
    const float c = std::cos(a), s = std::sin(a);
    return {px * c - py * s + cx, px * s + py * c + cy};
}

ScenePoint CanvasObject::CanvasToLocal(ScenePoint canvas) const {
    const float a = -DegreesToRadians(rotation);
    const float cx = x + width / 2, cy = y + height / 2;
    const float dx = canvas.x - cx, dy = canvas.y - cy;
    const float c = std::cos(a), s = std::sin(a);
    return {dx * c - dy * s + cx - x, dx * s + dy * c + cy - y};
}

SceneRect CanvasObject::GetBounds() const {
    const float w = std::max(width, 1.0f), h = std::max(height, 1.0f);
    const ScenePoint corners[4] = {{w * warp.x0, h * warp.y0},
                                   {w * warp.x1, h * warp.y1},
                                   {w * warp.x2, h * warp.y2},
                                   {w * warp.x3, h * warp.y3}};
    ScenePoint first = LocalToCanvas(corners[0]);
    float minX = first.x, maxX = first.x, minY = first.y, maxY = first.y;
    for (int k = 1; k < 4; ++k) {
        const ScenePoint p = LocalToCanvas(corners[k]);
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    return {minX, minY, maxX - minX, maxY - minY};
}

bool CanvasObject::ContainsPoint(ScenePoint canvas) const {
    const ScenePoint l = CanvasToLocal(canvas);
    const float w = std::max(width, 1.0f), h = std::max(height, 1.0f);
    if (!warp.IsIdentity()) {
        ScenePoint unwarped;
        return QuadWarp::MapPoint(warp, l, w, h, unwarped);
    }
    return l.x >= 0 && l.x <= w && l.y >= 0 && l.y <= h;
}

bool CanvasObject::HitTestPixel(ScenePoint canvas) {
    if (!ContainsPoint(canvas)) return false;
    if (parts.empty()) return true;
    BitmapPtr img = ComposeBitmap();
    if (!img) return true;
    ScenePoint l = CanvasToLocal(canvas);
    if (!warp.IsIdentity()) {
        ScenePoint unwarped;
        if (!QuadWarp::MapPoint(warp, l, std::max(width, 1.0f), std::max(height, 1.0f), unwarped)) return false;
        l = unwarped;
    }
    // Truncation toward zero; the range check is done in floats so that no
    // out-of-range value is cast.
    const float col = std::trunc(l.x), row = std::trunc(l.y);
    if (!(col >= 0 && col <= float(img->Width() - 1) && row >= 0 && row <= float(img->Height() - 1))) return false;
    const uint32_t px = img->Pixel(int(col), int(row));
    return (px >> 24) >= 10;
}

std::string CanvasDocument::HitTest(ScenePoint p) {
    const bool outside = p.x < 0 || p.y < 0 || p.x >= width || p.y >= height;
    struct Candidate {
        CanvasObject* object;
        int32_t order;
    };
    std::vector<Candidate> list;
    for (Layer& layer : layers) {
        if (!layer.visible || layer.locked) continue;
        for (CanvasObject& o : layer.objects)
            if (o.visible && !o.locked) list.push_back({&o, layer.order});
    }
    std::stable_sort(list.begin(), list.end(), [](const Candidate& a, const Candidate& b) {
        if (a.order != b.order) return a.order < b.order;
        return a.object->z < b.object->z;
    });
    CanvasObject* remembered = nullptr;
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        CanvasObject* o = it->object;
        if (!o->ContainsPoint(p)) continue;
        if (outside) return o->id;
        if (o->HitTestPixel(p)) return o->id;
        if (!remembered) remembered = o;
    }
    return remembered ? remembered->id : std::string();
}

CanvasObject* CanvasDocument::FindObjectBelow(const CanvasObject& object) {
    const std::vector<Drawable> list = CompositeRenderer::CollectDrawables(*this);
    auto it = std::find_if(list.begin(), list.end(), [&](const Drawable& d) { return d.object->id == object.id; });
    if (it == list.end()) return nullptr;
    while (it != list.begin()) {
        --it;
        if (!it->object->clipToLayerBelow) return it->object;
    }
    return nullptr;
}
