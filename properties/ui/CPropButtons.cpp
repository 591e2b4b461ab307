#include "properties/ui/CPropButtons.h"

#include "platform/qt/CMemDC2.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainterPath>

namespace {
QPainterPath RoundedRect(const QRectF& r, double diameter) {
    QPainterPath path;
    path.addRoundedRect(r, diameter / 2, diameter / 2);
    return path;
}

void DrawFocusRect(QPainter& p, const QRect& r) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(QColor(200, 204, 210), 1, Qt::DotLine);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.restore();
}
}  // namespace

// --- Text button ---
bool CPropTextButton::Create(QWidget* parent, int id, const QString& t, const QRect& rect) {
    text = t;
    if (!CreatePropChildWnd(this, parent, id, rect)) return false;
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    return true;
}

void CPropTextButton::OnMouseMove(unsigned, QPoint point) {
    if (HasCapture()) {
        const bool inside = rect().contains(point);
        if (inside != pressed) pressed = inside, update();
    } else if (!hover) {
        hover = true;
        update();
    }
}

void CPropTextButton::OnMouseLeave() {
    if (hover) hover = false, update();
}

void CPropTextButton::OnLButtonDown(unsigned, QPoint) {
    SetCapture();
    pressed = true;
    update();
}

void CPropTextButton::OnLButtonUp(unsigned, QPoint point) {
    const bool wasPressed = pressed;
    ReleaseCapture();
    pressed = false;
    update();
    if (wasPressed && rect().contains(point)) SendCommandToParent(kPropClick);
}

void CPropTextButton::OnCaptureLost() {
    if (pressed) pressed = false, update();
}

void CPropTextButton::changeEvent(QEvent* e) {
    CWndBase::changeEvent(e);
    if (e->type() != QEvent::EnabledChange) return;
    if (pressed) {
        pressed = false;
        ReleaseCapture();
    }
    hover = false;
    update();
}

void CPropTextButton::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    const bool on = isEnabled();
    p.fillRect(rect(), ArgbColor(kPropPanelBackground));
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(2, 2, width() - 4, height() - 4);
    const uint32_t fill = !on ? 0xFF32363C : pressed ? 0xFF485F7E : hover ? 0xFF525A66 : 0xFF3A3F46;
    const uint32_t outline = !on ? 0xFF484E58 : hover ? 0xFF8AA0BE : 0xFF606C7C;
    p.setBrush(ArgbColor(fill));
    p.setPen(QPen(ArgbColor(outline), 1));
    p.drawPath(RoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 6));
    if (!text.isEmpty()) {
        p.setFont(CreateUiFont());
        p.setPen(ArgbColor(!on ? 0xFF6E747C : pressed ? 0xFFFFFFFF : 0xFFDCE2E8));
        p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, text);
    }
}

// --- Checkbox and link button ---
void CPropToggleWnd::SetCheck(bool b) {
    if (checked == b) return;
    checked = b;
    update();
}

void CPropToggleWnd::Toggle() {
    checked = !checked;
    update();
    SendCommandToParent(kPropClick);
}

void CPropToggleWnd::OnLButtonDown(unsigned, QPoint) {
    SetCapture();
    setFocus(Qt::MouseFocusReason);
    pressed = true;
}

void CPropToggleWnd::OnLButtonUp(unsigned, QPoint point) {
    const bool wasPressed = pressed;
    pressed = false;
    ReleaseCapture();
    if (wasPressed && rect().contains(point)) Toggle();
}

void CPropToggleWnd::OnCaptureLost() { pressed = false; }

void CPropToggleWnd::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Space && !e->isAutoRepeat()) {
        Toggle();
        return;
    }
    CWndBase::keyPressEvent(e);
}

void CPropToggleWnd::focusInEvent(QFocusEvent* e) {
    CWndBase::focusInEvent(e);
    focused = true;
    update();
}

void CPropToggleWnd::focusOutEvent(QFocusEvent* e) {
    CWndBase::focusOutEvent(e);
    focused = false;
    update();
}

void CPropToggleWnd::changeEvent(QEvent* e) {
    CWndBase::changeEvent(e);
    if (e->type() != QEvent::EnabledChange) return;
    if (pressed) {
        pressed = false;
        ReleaseCapture();
    }
    update();
}

bool CPropCheckbox::Create(QWidget* parent, int id, const QString& text, const QRect& rect) {
    label = text;
    return CreatePropControl(this, parent, id, rect);
}

void CPropCheckbox::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    const bool on = isEnabled();
    const int h = height();
    p.fillRect(rect(), ArgbColor(kPropPanelBackground));
    const int x = 2, y = (h - 13) / 2;
    p.fillRect(QRect(x, y, 13, 13), ArgbColor(on ? 0xFF24272C : 0xFF2A2D32));
    p.setPen(QPen(ArgbColor(on ? 0xFF788CAA : 0xFF565C64), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(x, y, 12, 12));
    if (checked) {
        p.setRenderHint(QPainter::Antialiasing);
        QPen tick(ArgbColor(on ? 0xFF78C88C : 0xFF5C8266), 2);
        tick.setCapStyle(Qt::RoundCap);
        p.setPen(tick);
        p.drawLine(QPointF(x + 2.5, y + 6.5), QPointF(x + 5.5, y + 9.5));
        p.drawLine(QPointF(x + 5.5, y + 9.5), QPointF(x + 10.5, y + 3.5));
        p.setRenderHint(QPainter::Antialiasing, false);
    }
    DrawPropText(p, label, 21, (h - 14) / 2.0, on ? 0xFFDCE0E6 : 0xFF6E747C, CreateUiFont());
    if (on && focused) DrawFocusRect(p, rect().adjusted(1, 1, -1, -1));
}

bool CPropLinkButton::Create(QWidget* parent, int id, const QRect& rect) {
    return CreatePropControl(this, parent, id, rect);
}

void CPropLinkButton::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    const int w = width(), h = height();
    p.fillRect(rect(), ArgbColor(0xFF32363C));
    const int cy = h / 2;
    const int x0 = w / 2 + std::max(4, 3 * w / 10);
    const int ext = std::max(6, 7 * h / 20);
    const int arm = std::max(3, w / 8);
    const QColor c = ArgbColor(checked ? 0xFFDCE0E6 : 0xFF8C9096);
    p.fillRect(QRect(x0, cy - ext, 1, 2 * ext + 1), c);
    p.fillRect(QRect(x0, cy - ext, arm, 1), c);
    p.fillRect(QRect(x0, cy + ext, arm, 1), c);
    if (checked) {
        const int s = std::max(4, std::min(w, h) / 6);
        p.fillRect(QRect(x0 - s / 2, cy - s / 2, s, s), c);
    } else {
        const int m = std::max(4, std::min(w, h) / 8);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(c, 1.4));
        p.drawLine(QPointF(x0 - m, cy - m), QPointF(x0 + m, cy + m));
        p.drawLine(QPointF(x0 - m, cy + m), QPointF(x0 + m, cy - m));
    }
}
