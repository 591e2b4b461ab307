#include "canvas_view/SelectionShapePreview.h"

#include "selection/SelectionToolController.h"

#include <cstdlib>

SelectionShapePreview BuildSelectionShapePreview(const SelectionToolController& c, float cursorX, float cursorY,
                                                 float zoom, float originX, float originY) {
    SelectionShapePreview out;
    auto client = [&](float x, float y) { return PointF{x * zoom + originX, y * zoom + originY}; };
    auto box = [&](int x, int y, int w, int h, SelectionShapePreview::Kind kind) {
        const PointF a = client(float(x), float(y)), b = client(float(x + w), float(y + h));
        out.kind = kind;
        out.rect = {a.x, a.y, b.x - a.x, b.y - a.y};
    };
    const bool hasVertices = c.polygonOpen && !c.polygonPoints.empty();
    switch (c.kind) {
    case kSelectionToolRectangle:
    case kSelectionToolEllipse:
    case kSelectionToolEllipseFromCenter: {
        if (!c.dragging) break;
        const int x0 = c.dragStartX, y0 = c.dragStartY, x1 = c.dragCurrentX, y1 = c.dragCurrentY;
        const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
        const auto kind = c.kind == kSelectionToolRectangle ? SelectionShapePreview::kRectangle
                                                             : SelectionShapePreview::kEllipse;
        if (c.kind == kSelectionToolEllipseFromCenter) {
            if (dx > 0 && dy > 0) box(x0 - dx, y0 - dy, 2 * dx + 1, 2 * dy + 1, kind);
        } else if (dx + 1 > 1 && dy + 1 > 1) {
            box(x0 < x1 ? x0 : x1, y0 < y1 ? y0 : y1, dx + 1, dy + 1, kind);
        }
        break;
    }
    case kSelectionToolFreehand:
        if (!c.dragging || c.freehandPoints.size() < 2) break;
        out.kind = SelectionShapePreview::kPolyline;
        for (const SelectionPoint& p : c.freehandPoints) out.points.push_back(client(p.x, p.y));
        break;
    case kSelectionToolPolygon:
    case kSelectionToolCurveLasso: {
        if (!hasVertices) break;
        std::vector<SelectionPoint> pts = c.polygonPoints;
        pts.push_back({cursorX, cursorY});
        if (c.kind == kSelectionToolCurveLasso && pts.size() >= 4) {
            pts = CatmullRomClosedCurve(pts);
            pts.push_back(pts.front());
        }
        if (pts.size() >= 2) {
            out.kind = SelectionShapePreview::kPolyline;
            for (const SelectionPoint& p : pts) out.points.push_back(client(p.x, p.y));
        }
        for (const SelectionPoint& v : c.polygonPoints) {
            const PointF q = client(v.x, v.y);
            out.squares.push_back({q.x - 2, q.y - 2});
        }
        break;
    }
    default: break;  // the magic wand shows its result, not a shape
    }
    return out;
}
