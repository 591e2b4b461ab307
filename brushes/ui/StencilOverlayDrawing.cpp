#include "brushes/ui/StencilOverlayDrawing.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <memory>

namespace {

struct CachedImage {
    std::weak_ptr<Bitmap> bitmap;
    const Bitmap* key = nullptr;
    QImage image;
};

constexpr QRgb kGizmoBlue = 0xFF5693CF;
constexpr QRgb kHandleBlue = 0xFF40A2DC;

}  // namespace

QImage StencilPreviewImage(const BitmapPtr& bitmap) {
    // The source image of a drag and the placed image: two live at a time.
    static CachedImage cache[3];
    static int next = 0;
    if (!bitmap || bitmap->Width() < 1 || bitmap->Height() < 1) return {};
    for (CachedImage& c : cache)
        if (c.key == bitmap.get() && c.bitmap.lock() == bitmap) return c.image;
    // Straight B, G, R, A bytes are Qt's ARGB32 on little-endian machines.
    const QImage wrapped(bitmap->Data(), bitmap->Width(), bitmap->Height(), bitmap->Stride(), QImage::Format_ARGB32);
    CachedImage& slot = cache[next];
    next = (next + 1) % 3;
    slot.bitmap = bitmap;
    slot.key = bitmap.get();
    slot.image = wrapped.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return slot.image;
}

void DrawStencilOverlay(QPainter& painter, const StencilOverlay& overlay) {
    if (!overlay.HasStencil() || overlay.hidden) return;
    painter.save();
    painter.setOpacity(std::clamp(double(overlay.overlayOpacity), 0.0, 1.0));
    if (overlay.dragMode != kStencilDragNone) {
        const BitmapPtr source = overlay.SourceImage();
        const QImage image = StencilPreviewImage(source);
        if (!image.isNull()) {
            const StencilTransform& t = overlay.transform;
            painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
            painter.translate(t.centerX, t.centerY);
            painter.rotate(t.rotation);
            painter.scale(std::max(0.01f, t.scale * t.stretchX), std::max(0.01f, t.scale * t.stretchY));
            painter.drawImage(QRectF(-image.width() / 2.0, -image.height() / 2.0, image.width(), image.height()), image);
        }
    } else if (overlay.imprint.placedBitmap) {
        const QImage image = StencilPreviewImage(overlay.imprint.placedBitmap);
        if (!image.isNull())
            painter.drawImage(QRectF(overlay.imprint.placedOriginX, overlay.imprint.placedOriginY, image.width(), image.height()),
                              image);
    }
    painter.restore();
}

void DrawStencilGizmoHandle(QPainter& painter, const QRectF& rect, float radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    painter.fillPath(path, Qt::white);
    painter.setPen(QPen(QColor::fromRgba(kHandleBlue), 1.6));
    painter.drawPath(path);
}

void DrawStencilGizmoArrow(QPainter& painter, const QRectF& rect) {
    const QPointF m = rect.center();
    const double d = 0.3 * rect.width();
    QPen pen(QColor::fromRgba(kHandleBlue), 1.8);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.drawLine(QPointF(m.x(), m.y() - d), QPointF(m.x(), m.y() + d));
    painter.drawLine(QPointF(m.x() - d, m.y()), QPointF(m.x() + d, m.y()));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgba(kHandleBlue));
    const QPointF tips[4][3] = {
        {{m.x(), m.y() - d - 5}, {m.x() - 5, m.y() - d}, {m.x() + 5, m.y() - d}},
        {{m.x(), m.y() + d + 5}, {m.x() - 5, m.y() + d}, {m.x() + 5, m.y() + d}},
        {{m.x() - d - 5, m.y()}, {m.x() - d, m.y() - 5}, {m.x() - d, m.y() + 5}},
        {{m.x() + d + 5, m.y()}, {m.x() + d, m.y() - 5}, {m.x() + d, m.y() + 5}},
    };
    for (const auto& tri : tips) painter.drawPolygon(tri, 3);
    painter.setBrush(Qt::NoBrush);
}

void DrawStencilGizmo(QPainter& painter, const RectI& frame) {
    if (frame.IsEmpty()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const double l = frame.left, t = frame.top, r = frame.right, b = frame.bottom;
    const PointF c = StencilGizmo::Center(frame);
    const QRectF box(l, t, r - l, b - t);
    // A two-tone dashed outline: white under blue, offset by one dash.
    QPen white(Qt::white, 2.2);
    white.setDashPattern({7, 5});
    white.setDashOffset(6);
    painter.setPen(white);
    painter.drawRect(box);
    QPen blue(QColor::fromRgba(kGizmoBlue), 2.2);
    blue.setDashPattern({7, 5});
    painter.setPen(blue);
    painter.drawRect(box);
    painter.setPen(QPen(QColor::fromRgba(kGizmoBlue), 1.9));
    painter.drawLine(QPointF(c.x, t), QPointF(c.x, t - 34));

    DrawStencilGizmoHandle(painter, QRectF(c.x - 7, t - 41, 14, 14), 7);
    for (const QPointF corner : {QPointF(l, t), QPointF(r, t), QPointF(r, b), QPointF(l, b)})
        DrawStencilGizmoHandle(painter, QRectF(corner.x() - 6, corner.y() - 6, 12, 12), 6);
    DrawStencilGizmoHandle(painter, QRectF(c.x - 11, t - 4, 22, 8), 4);
    DrawStencilGizmoHandle(painter, QRectF(r - 4, c.y - 11, 8, 22), 4);
    DrawStencilGizmoHandle(painter, QRectF(c.x - 11, b - 4, 22, 8), 4);
    DrawStencilGizmoHandle(painter, QRectF(l - 4, c.y - 11, 8, 22), 4);
    const QRectF move(r - 62, b - 62, 50, 50);
    DrawStencilGizmoHandle(painter, move, 6);
    DrawStencilGizmoArrow(painter, move);
    painter.restore();
}

bool StencilGizmoCursor(StencilGizmoHit hit, Qt::CursorShape& shape) {
    switch (hit) {
    case kGizmoCornerTopLeft:
    case kGizmoCornerBottomRight: shape = Qt::SizeFDiagCursor; return true;
    case kGizmoCornerTopRight:
    case kGizmoCornerBottomLeft: shape = Qt::SizeBDiagCursor; return true;
    case kGizmoEdgeTop:
    case kGizmoEdgeBottom: shape = Qt::SizeVerCursor; return true;
    case kGizmoEdgeRight:
    case kGizmoEdgeLeft: shape = Qt::SizeHorCursor; return true;
    case kGizmoRotate: shape = Qt::PointingHandCursor; return true;
    case kGizmoMove: shape = Qt::SizeAllCursor; return true;
    default: return false;
    }
}
