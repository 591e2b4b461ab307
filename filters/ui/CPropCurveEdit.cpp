#include "filters/ui/CPropCurveEdit.h"

#include "platform/qt/CMemDC2.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kPropNotifyChange = 0x1000;
constexpr int kPropNotifyBegin = 0x1001;
constexpr int kPropNotifyEnd = 0x1002;

int RoundAway(double v) { return int(std::lround(v)); }
QColor Argb(uint32_t v) { return QColor::fromRgba(v); }

}  // namespace

CPropCurveEdit::CPropCurveEdit(QWidget* parent, int controlId) : CWndBase(parent, controlId) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
}

void CPropCurveEdit::SetPoints(const std::vector<CurvePoint>& points) {
    points_ = NormalizeCurvePoints(points);
    if (drag_ >= int(points_.size())) drag_ = -1;
    if (hover_ >= int(points_.size())) hover_ = -1;
    update();
}

CPropCurveEdit::Plot CPropCurveEdit::PlotRect() const {
    Plot p{8, 8, width() - 8, height() - 8};
    if (p.r - p.l < 1) p.r = p.l + 1;
    if (p.b - p.t < 1) p.b = p.t + 1;
    return p;
}

QPoint CPropCurveEdit::PointToClient(const CurvePoint& pt) const {
    const Plot p = PlotRect();
    return QPoint(p.l + RoundAway(double(p.w() - 1) * pt.x), p.b - 1 - RoundAway(double(p.h() - 1) * pt.y));
}

CurvePoint CPropCurveEdit::ClientToCurve(QPoint pt, const Plot& p) const {
    const float x = std::clamp(float(pt.x() - p.l) / float(std::max(p.w() - 1, 1)), 0.0f, 1.0f);
    const float y = std::clamp(float(p.b - pt.y() - 1) / float(std::max(p.h() - 1, 1)), 0.0f, 1.0f);
    return {x, y};
}

int CPropCurveEdit::HitTest(QPoint pt) const {
    const Plot p = PlotRect();
    int best = 36, index = -1;
    for (int i = 0; i < int(points_.size()); ++i) {
        const int dx = (pt.x() - p.l) - RoundAway(double(p.w() - 1) * points_[size_t(i)].x);
        const int dy = (pt.y() - p.b + 1) + RoundAway(double(p.h() - 1) * points_[size_t(i)].y);
        const int d = dx * dx + dy * dy;
        if (d <= best) {
            best = d;
            index = i;
        }
    }
    return index;
}

void CPropCurveEdit::OnLButtonDown(unsigned, QPoint pt) {
    setFocus();
    const int i = HitTest(pt);
    if (i >= 0) {
        drag_ = i;
        SetCapture();
        SendCommandToParent(kPropNotifyBegin);
        update();
        return;
    }
    if (int(points_.size()) >= kMaxPoints) return;
    const Plot p = PlotRect();
    if (p.w() < 4 || p.h() < 4) return;
    CurvePoint added = ClientToCurve(pt, p);
    added.x = std::clamp(added.x, 0.001f, 0.999f);
    const auto at = std::lower_bound(points_.begin(), points_.end(), added.x,
                                     [](const CurvePoint& q, float x) { return q.x < x; });
    const auto inserted = points_.insert(at, added);  // may reallocate: index taken after
    drag_ = int(inserted - points_.begin());
    if (hover_ >= drag_) ++hover_;
    SetCapture();
    SendCommandToParent(kPropNotifyBegin);
    SendCommandToParent(kPropNotifyChange);
    update();
}

void CPropCurveEdit::OnMouseMove(unsigned, QPoint pt) {
    if (drag_ < 0) {
        const int i = HitTest(pt);
        if (i != hover_) {
            hover_ = i;
            update();
        }
        UpdateCursorShape(pt);
        return;
    }
    const Plot p = PlotRect();
    if (p.w() < 4 || p.h() < 4) return;
    const CurvePoint to = ClientToCurve(pt, p);
    const int last = int(points_.size()) - 1;
    CurvePoint& q = points_[size_t(drag_)];
    float x = q.x;
    if (drag_ == 0) {
        x = 0;
    } else if (drag_ == last) {
        x = 1;
    } else {
        const float lo = points_[size_t(drag_ - 1)].x + 0.001f, hi = points_[size_t(drag_ + 1)].x - 0.001f;
        if (lo < hi) x = std::clamp(to.x, lo, hi);
    }
    if (x == q.x && to.y == q.y) return;
    q.x = x;
    q.y = to.y;
    SendCommandToParent(kPropNotifyChange);
    update();
}

void CPropCurveEdit::EndDrag(bool notify) {
    if (drag_ < 0) return;
    drag_ = -1;
    if (notify) SendCommandToParent(kPropNotifyEnd);
    update();
}

void CPropCurveEdit::OnLButtonUp(unsigned, QPoint) {
    if (drag_ < 0) return;
    ReleaseCapture();
    EndDrag(true);
}

void CPropCurveEdit::OnCaptureLost() {
    // Losing the mouse ends the drag exactly as a release does.
    EndDrag(true);
}

void CPropCurveEdit::OnRButtonDown(unsigned, QPoint pt) {
    const int i = HitTest(pt);
    if (i < 1 || i >= int(points_.size()) - 1) return;
    // A removal during a left drag ends that drag first, so the drag index
    // never names the wrong point or one past the end.
    if (drag_ >= 0) {
        ReleaseCapture();
        EndDrag(true);
    }
    SendCommandToParent(kPropNotifyBegin);
    points_.erase(points_.begin() + i);
    if (hover_ == i)
        hover_ = -1;
    else if (hover_ > i)
        --hover_;
    SendCommandToParent(kPropNotifyChange);
    SendCommandToParent(kPropNotifyEnd);
    update();
}

void CPropCurveEdit::OnMouseLeave() {
    if (hover_ != -1) {
        hover_ = -1;
        update();
    }
}

void CPropCurveEdit::UpdateCursorShape(QPoint pt) {
    setCursor(drag_ >= 0 || HitTest(pt) >= 0 ? Qt::PointingHandCursor : Qt::CrossCursor);
}

void CPropCurveEdit::changeEvent(QEvent* e) {
    CWndBase::changeEvent(e);
    if (e->type() == QEvent::EnabledChange) {
        hover_ = -1;
        update();
    }
}

void CPropCurveEdit::paintEvent(QPaintEvent* e) {
    CMemDC2 mem(this, e->rect());
    QPainter& g = mem.Painter();
    g.fillRect(rect(), Argb(0xFF32363C));
    const Plot p = PlotRect();
    const int w = p.w(), h = p.h();
    if (w <= 3 || h <= 3) return;
    const bool enabled = isEnabled();
    g.fillRect(QRect(p.l, p.t, w, h), Argb(enabled ? 0xFF26292E : 0xFF2A2D32));
    g.setRenderHint(QPainter::Antialiasing, true);
    g.translate(0.5, 0.5);
    g.setPen(QPen(Argb(enabled ? 0xFF464C54 : 0xFF383C43), 1));
    for (int i = 1; i <= 3; ++i) {
        const int x = p.l + RoundAway((w - 1) * i * 0.25), y = p.t + RoundAway((h - 1) * i * 0.25);
        g.drawLine(x, p.t, x, p.b - 1);
        g.drawLine(p.l, y, p.r - 1, y);
    }
    g.setPen(QPen(Argb(enabled ? 0xFF5A6069 : 0xFF40444C), 1));
    g.drawLine(p.l, p.b - 1, p.r - 1, p.t);

    const int n = std::max(w, 2);
    QPolygonF curve;
    curve.reserve(n);
    for (int k = 0; k < n; ++k) {
        const float s = float(k) / float(n - 1);
        const float v = std::clamp(EvaluateCurve(points_, s), 0.0f, 1.0f);
        curve << QPointF(p.l + (w - 1) * s, (p.b - 1) - (h - 1) * v);
    }
    g.setPen(QPen(Argb(enabled ? 0xFFEBEBEB : 0xFF82868C), 2));
    g.drawPolyline(curve);

    for (int i = 0; i < int(points_.size()); ++i) {
        const QPoint c = PointToClient(points_[size_t(i)]);
        const bool hot = enabled && (i == drag_ || i == hover_);
        g.setBrush(Argb(hot ? 0xFFFFFFFF : 0xFF26292E));
        g.setPen(QPen(Argb(enabled ? 0xFFFFFFFF : 0xFF82868C), 1.5));
        g.drawRect(QRectF(c.x() - 4, c.y() - 4, 8, 8));
    }
}
