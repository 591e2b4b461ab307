#include "platform/qt/CThemedScrollCtrl.h"

#include "platform/qt/CMemDC2.h"

#include <QPaintEvent>
#include <QPolygon>

#include <algorithm>

namespace {
QRect ToQRect(const RectI& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }
}  // namespace

CThemedScrollCtrl::CThemedScrollCtrl(QWidget* parent) : CWndBase(parent) { hide(); }

bool CThemedScrollCtrl::Create(QWidget* parent, int id, bool horizontal) {
    horizontal_ = horizontal;
    setParent(parent);
    SetDlgCtrlID(id);
    const int a = ArrowLength();
    setGeometry(horizontal ? QRect(0, 0, 100, a) : QRect(0, 0, a, 100));
    hide();
    return true;
}

void CThemedScrollCtrl::ApplyDarkTheme() {
    background = QColor(34, 38, 44);
    thumb = QColor(90, 100, 115);
    thumbHot = QColor(126, 136, 151);
    arrowGlyph = QColor(180, 190, 205);
    arrowHover = QColor(50, 56, 65);
    arrowPressed = QColor(67, 75, 86);
    trackHover = QColor(42, 47, 54);
    update();
}

ScrollBarGeometry CThemedScrollCtrl::Geometry() const {
    ScrollBarGeometry g;
    g.client = {0, 0, width(), height()};
    g.horizontal = horizontal_;
    g.arrow = ArrowLength();
    g.minimum = minimum;
    g.maximum = maximum;
    g.page = page;
    g.position = position;
    return g;
}

void CThemedScrollCtrl::Notify(int code, int pos) {
    if (!owner) return;
    if (horizontal_) owner->OnHScroll(code, pos, this);
    else owner->OnVScroll(code, pos, this);
}

void CThemedScrollCtrl::Step(long long v, int code) {
    position = Geometry().Clamp(v);
    update();
    Notify(code, position);
}

void CThemedScrollCtrl::DrawArrow(QPainter& p, const QRect& r, bool first, bool hovered, bool pressed) {
    p.fillRect(r, pressed ? arrowPressed : hovered ? arrowHover : background);
    const int g = std::max(2, std::min(r.width(), r.height()) / 4);
    const int cx = r.left() + r.width() / 2, cy = r.top() + r.height() / 2;
    QPolygon tri;
    if (horizontal_) {
        if (first) tri << QPoint(cx - g, cy) << QPoint(cx + g, cy - g) << QPoint(cx + g, cy + g);
        else tri << QPoint(cx + g, cy) << QPoint(cx - g, cy - g) << QPoint(cx - g, cy + g);
    } else {
        if (first) tri << QPoint(cx, cy - g) << QPoint(cx - g, cy + g) << QPoint(cx + g, cy + g);
        else tri << QPoint(cx, cy + g) << QPoint(cx - g, cy - g) << QPoint(cx + g, cy - g);
    }
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(arrowGlyph);
    p.drawPolygon(tri);
    p.restore();
}

void CThemedScrollCtrl::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    if (!p.isActive()) return;
    ScrollBarGeometry g = Geometry();
    p.fillRect(rect(), background);
    DrawArrow(p, ToQRect(g.LineUpRect()), true, hoverPart_ == kPartLineUp, pressedPart_ == kPartLineUp);
    DrawArrow(p, ToQRect(g.LineDownRect()), false, hoverPart_ == kPartLineDown, pressedPart_ == kPartLineDown);
    p.fillRect(ToQRect(g.TrackRect()),
               (hoverPart_ == kPartPageUp || hoverPart_ == kPartPageDown) ? trackHover : background);
    if (g.HasThumb()) {
        QRect t = ToQRect(g.ThumbRect());
        const int s = MulDiv(4, GetDpi(), 96);
        t = horizontal_ ? t.adjusted(0, s, 0, -s) : t.adjusted(s, 0, -s, 0);
        p.fillRect(t, (hoverPart_ == kPartThumb || dragging) ? thumbHot : thumb);
    }
}

void CThemedScrollCtrl::OnLButtonDown(unsigned, QPoint pt) {
    SetCapture();
    ScrollBarGeometry g = Geometry();
    pressedPart_ = g.HitTest(pt.x(), pt.y());
    int action = -1;
    switch (pressedPart_) {
    case kPartLineUp: Step((long long)position - 1, SB_LINEUP); action = 0; break;
    case kPartLineDown: Step((long long)position + 1, SB_LINEDOWN); action = 1; break;
    case kPartThumb:
        dragStartCoord_ = horizontal_ ? pt.x() : pt.y();
        dragStartPos_ = position;
        dragging = true;
        update();
        break;
    case kPartPageUp: Step((long long)position - page, SB_PAGEUP); action = 2; break;
    case kPartPageDown: Step((long long)position + page, SB_PAGEDOWN); action = 3; break;
    default: break;
    }
    if (action >= 0) {
        KillTimer(kRepeatTimer);
        repeatAction_ = action;
        firstRepeat_ = true;
        SetTimer(kRepeatTimer, 300);
    }
}

void CThemedScrollCtrl::OnTimer(int id) {
    if (id != kRepeatTimer) return;
    if (firstRepeat_) {
        SetTimer(kRepeatTimer, 50);
        firstRepeat_ = false;
    }
    switch (repeatAction_) {
    case 0: Step((long long)position - 1, SB_LINEUP); break;
    case 1: Step((long long)position + 1, SB_LINEDOWN); break;
    case 2: Step((long long)position - page, SB_PAGEUP); break;
    case 3: Step((long long)position + page, SB_PAGEDOWN); break;
    }
}

void CThemedScrollCtrl::OnMouseMove(unsigned, QPoint pt) {
    if (!dragging) {
        ScrollBarPart part = Geometry().HitTest(pt.x(), pt.y());
        if (part != hoverPart_) {
            hoverPart_ = part;
            update();
        }
        return;
    }
    ScrollBarGeometry g = Geometry();
    const long long d = (long long)maximum - minimum - page + 1;
    if (d <= 0 || g.TrackLength() < 1) return;
    const int coord = horizontal_ ? pt.x() : pt.y();
    const int pos = g.DragPosition(coord - dragStartCoord_, dragStartPos_);
    position = pos;
    repaint();
    // The owner gets the full position rather than its low 16 bits.
    Notify(SB_THUMBTRACK, pos);
}

void CThemedScrollCtrl::EndPress() {
    pressedPart_ = kPartNone;
    dragging = false;
    KillTimer(kRepeatTimer);
    repeatAction_ = 0;
    update();
}

void CThemedScrollCtrl::OnLButtonUp(unsigned, QPoint) {
    ReleaseCapture();
    const bool wasDragging = dragging;
    EndPress();
    if (wasDragging) Notify(SB_ENDSCROLL, position);
}

void CThemedScrollCtrl::OnCaptureLost() {
    const bool wasDragging = dragging;
    EndPress();
    if (wasDragging) Notify(SB_ENDSCROLL, position);
}

void CThemedScrollCtrl::OnMouseLeave() {
    hoverPart_ = kPartNone;
    update();
}

bool CThemedScrollCtrl::OnMouseWheel(unsigned flags, int delta, QPoint p) {
    if (!owner) return false;
    return owner->OnMouseWheel(flags, delta, owner->mapFromGlobal(mapToGlobal(p)));
}
