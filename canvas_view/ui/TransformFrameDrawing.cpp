#include "canvas_view/ui/TransformFrameDrawing.h"

#include <QPainter>

namespace {

QColor Argb(uint32_t v) { return QColor::fromRgba(v); }

QPen DashPen(uint32_t colour, float width, float offset) {
    QPen pen(Argb(colour), width);
    // Qt measures dash patterns in pen widths.
    pen.setDashPattern({7 / width, 5 / width});
    pen.setDashOffset(offset / width);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

QRectF Q(const FrameRect& r) { return QRectF(r.x, r.y, r.width, r.height); }

void DrawHandleShape(QPainter& g, const TransformHandleStyle& s, const FrameRect& r, float radius) {
    g.setBrush(Argb(s.handleFill));
    g.setPen(QPen(Argb(s.handleOutline), 1.6));
    g.drawRoundedRect(Q(r), radius, radius);
}

// Saves the painter and turns it about the pivot; returns the frame.
FrameRect BeginFrame(QPainter& g, const TransformHandleStyle& s, const FrameRect& r, float angle, bool hasPivot,
                     float px, float py) {
    const FrameRect f = TransformFrameOf(s, r);
    if (!hasPivot) px = f.CentreX(), py = f.CentreY();
    g.save();
    g.setRenderHint(QPainter::Antialiasing, true);
    g.translate(px, py);
    g.rotate(angle);
    g.translate(-px, -py);
    g.setBrush(Qt::NoBrush);
    return f;
}

}  // namespace

void DrawObjectTransformFrame(QPainter& g, const TransformHandleStyle& s, const FrameRect& r, float angle,
                              bool hasPivot, float px, float py) {
    const FrameRect f = BeginFrame(g, s, r, angle, hasPivot, px, py);
    g.setPen(DashPen(s.frameGap, 2.2f, 6));
    g.drawRect(Q(f));
    g.setPen(DashPen(s.frameColour, 2.2f, 0));
    g.drawRect(Q(f));
    g.setPen(QPen(Argb(s.frameColour), 1.9));
    g.drawLine(QPointF(f.CentreX(), f.y), QPointF(f.CentreX(), f.y - s.rotationStem));
    const HandleBoxes b = DrawnHandleBoxes(s, f);
    DrawHandleShape(g, s, b.box[kHandleRotate], s.rotationRadius);
    for (int h : {kHandleTopLeft, kHandleTopRight, kHandleBottomRight, kHandleBottomLeft})
        DrawHandleShape(g, s, b.box[h], s.cornerRadius);
    for (int h : {kHandleTop, kHandleRight, kHandleBottom, kHandleLeft})
        DrawHandleShape(g, s, b.box[h], s.edgeThickness / 2);
    g.restore();
}

void DrawObjectFrameSimple(QPainter& g, const TransformHandleStyle& s, const FrameRect& r, float angle, bool hasPivot,
                           float px, float py) {
    const FrameRect f = BeginFrame(g, s, r, angle, hasPivot, px, py);
    g.setPen(DashPen((s.frameGap & 0x00FFFFFF) | 0x80000000u, 2.0f, 6));
    g.drawRect(Q(f));
    g.setPen(DashPen((s.frameColour & 0x00FFFFFF) | 0x80000000u, 2.0f, 0));
    g.drawRect(Q(f));
    g.restore();
}
