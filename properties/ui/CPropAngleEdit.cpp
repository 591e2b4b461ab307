#include "properties/ui/CPropAngleEdit.h"

#include "platform/qt/CMemDC2.h"
#include "properties/PropNumbers.h"
#include "properties/ui/CPropNumericEdit.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPaintEvent>

#include <cmath>

CPropAngleEdit::CPropAngleEdit(QWidget* parent) : CPropTypedValueWnd(parent) {
    edit_ = new QLineEdit(this);
    edit_->setObjectName("PropAngleEditField");
    StylePropEdit(edit_);
    edit_->installEventFilter(this);
    UpdateText();
}

bool CPropAngleEdit::Create(QWidget* parent, int id, const QRect& rect) {
    if (!CreatePropChildWnd(this, parent, id, rect)) return false;
    UpdateText();
    Layout();
    return true;
}

QRect CPropAngleEdit::DialRect() const {
    const int h = height();
    const int d = std::max(0, std::min(width() - 50, h));
    return QRect(0, (h - d) / 2, d, d);
}

void CPropAngleEdit::Layout() {
    const int h = height();
    const int d = DialRect().width();
    edit_->setGeometry(d + 2, 2 + (h - 16) / 2, std::max(0, width() - d - 4), 16);
}

void CPropAngleEdit::SetDecimals(int n) {
    decimals = n;
    UpdateText();
}

float CPropAngleEdit::ClampValue(float v) const { return AngleClampValue(v, minimum, maximum); }

void CPropAngleEdit::SetValue(float v) {
    v = ClampValue(v);
    if (v == value) return;
    value = v;
    if (!edit_->hasFocus()) UpdateText();
    update();
}

void CPropAngleEdit::UpdateText() { edit_->setText(QString::fromStdString(FormatPropNumber(value, decimals))); }

void CPropAngleEdit::CommitText() {
    const QString text = edit_->text();
    if (!text.isEmpty()) {
        const float v = ClampValue(float(ParsePropNumber(text.toStdString())));
        if (v != value) {
            NotifyBegin();
            value = v;
            update();
            NotifyParent(kPropChanged);
            NotifyEnd();
        }
    }
    UpdateText();
}

void CPropAngleEdit::Step(int direction) {
    NotifyBegin();
    const float v = ClampValue(value + float(direction) * step);
    if (v != value) {
        value = v;
        UpdateText();
        update();
        NotifyParent(kPropChanged);
    }
    NotifyEnd();
}

void CPropAngleEdit::SetAngleFromPoint(QPoint p) {
    const int h = height();
    const int d = DialRect().width();
    const int cx = d / 2, cy = (h - d) / 2 + d / 2;
    const int dx = p.x() - cx, dy = p.y() - cy;
    if (dx == 0 && dy == 0) return;
    const float v = ClampValue(AngleFromOffset(dx, dy));
    if (v == value) return;
    value = v;
    UpdateText();
    update();
    NotifyParent(kPropChanged);
}

void CPropAngleEdit::OnLButtonDown(unsigned, QPoint point) {
    if (!DialRect().contains(point)) return;
    dragging = true;
    SetCapture();
    NotifyBegin();
    SetAngleFromPoint(point);
}

void CPropAngleEdit::OnMouseMove(unsigned, QPoint point) {
    setCursor(DialRect().contains(point) ? Qt::PointingHandCursor : Qt::ArrowCursor);
    if (dragging) SetAngleFromPoint(point);
}

void CPropAngleEdit::resizeEvent(QResizeEvent* e) {
    CPropValueWnd::resizeEvent(e);
    Layout();
}

void CPropAngleEdit::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    const bool on = isEnabled();
    p.fillRect(rect(), ArgbColor(kPropEditBackground));
    const QRect sq = DialRect();
    const int w = sq.width() - 9;
    if (w > 2) {
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF disc(sq.left() + 4.5, sq.top() + 4.5, w, w);
        p.setPen(QPen(ArgbColor(on ? 0xFF646A74 : 0xFF484D55), 1));
        p.setBrush(ArgbColor(on ? 0xFF1E2126 : 0xFF26292E));
        p.drawEllipse(disc);
        const QPointF c = disc.center();
        const double r = w / 2.0 - 1;
        const double a = double(value) * M_PI / 180.0;
        const QPointF end(c.x() + r * std::cos(a), c.y() - r * std::sin(a));
        QPen needle(ArgbColor(on ? 0xFFDCE0E6 : 0xFF828890), 1.5);
        needle.setCapStyle(Qt::RoundCap);
        p.setPen(needle);
        p.drawLine(c, end);
        p.setPen(Qt::NoPen);
        p.setBrush(ArgbColor(on ? 0xFF6E9EDC : 0xFF56667C));
        const double knob = std::max(0.18 * r, 2.0);
        p.drawEllipse(end, knob, knob);
        p.setRenderHint(QPainter::Antialiasing, false);
    }
    DrawPropFrame(p, rect(), kPropFrame);
}
