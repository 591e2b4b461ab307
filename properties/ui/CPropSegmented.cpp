#include "properties/ui/CPropSegmented.h"

#include "platform/qt/CMemDC2.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPaintEvent>

#include <algorithm>

QRect CPropSegmentedBase::SegmentRect(int i) const {
    const int n = std::max(1, SegmentCount());
    const int sw = width() / n;
    const int left = i * sw;
    const int right = i == n - 1 ? width() : (i + 1) * sw;
    return QRect(left, 0, right - left, height());
}

int CPropSegmentedBase::HitTest(QPoint p) const {
    const int n = SegmentCount();
    if (n <= 0 || !rect().contains(p)) return -1;
    int sw = width() / n;
    if (sw < 2) sw = 1;
    return std::clamp(p.x() / sw, 0, n - 1);
}

void CPropSegmentedBase::Pick(int i) {
    if (i < 0 || i >= SegmentCount() || i == selected) return;
    selected = i;
    update();
    SendCommandToParent(kPropClick);
}

void CPropSegmentedBase::OnLButtonDown(unsigned, QPoint point) {
    const int hit = HitTest(point);
    if (hit < 0) return;
    SetCapture();
    setFocus(Qt::MouseFocusReason);
    pressed = hit;
    update();
}

void CPropSegmentedBase::OnLButtonUp(unsigned, QPoint point) {
    const int was = pressed;
    pressed = -1;
    ReleaseCapture();
    if (was >= 0 && HitTest(point) == was && was != selected) {
        Pick(was);
        return;
    }
    update();
}

void CPropSegmentedBase::OnMouseMove(unsigned, QPoint point) {
    const int h = HitTest(point);
    if (h != hover) hover = h, update();
}

void CPropSegmentedBase::OnMouseLeave() {
    if (hover != -1) hover = -1, update();
}

void CPropSegmentedBase::OnCaptureLost() {
    if (pressed != -1) pressed = -1, update();
}

void CPropSegmentedBase::keyPressEvent(QKeyEvent* e) {
    const int n = SegmentCount();
    if (n > 0) {
        const int k = e->key();
        if (k == Qt::Key_Left || k == Qt::Key_Right) {
            Pick(std::clamp(selected + (k == Qt::Key_Left ? -1 : 1), 0, n - 1));
            return;
        }
        if (k >= Qt::Key_1 && k <= Qt::Key_9) {
            const int i = SegmentForDigit(k - Qt::Key_0);
            if (i >= 0) Pick(i);
            return;
        }
    }
    CWndBase::keyPressEvent(e);
}

void CPropSegmentedBase::focusInEvent(QFocusEvent* e) {
    CWndBase::focusInEvent(e);
    focused = true;
    update();
}

void CPropSegmentedBase::focusOutEvent(QFocusEvent* e) {
    CWndBase::focusOutEvent(e);
    focused = false;
    update();
}

void CPropSegmentedBase::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    p.fillRect(rect(), ArgbColor(kPropPanelBackground));
    for (int i = 0; i < SegmentCount(); ++i) {
        const QRect r = SegmentRect(i);
        const bool sel = i == selected;
        const uint32_t fill = sel ? 0xFF3C6CA8 : i == pressed ? 0xFF1C2026 : i == hover ? 0xFF373C44 : 0xFF24272C;
        p.fillRect(r, ArgbColor(fill));
        p.setPen(QPen(ArgbColor(sel ? 0xFF78A0D2 : 0xFF464C56), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(r.left(), r.top(), r.width() - 1, r.height() - 1));
        DrawSegment(p, i, r, sel);
    }
    if (focused) {
        p.setPen(QPen(QColor(200, 204, 210), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(1, 1, -2, -2));
    }
}

void CPropCombineOpButtons::SetSelection(int op) {
    op = std::clamp(op, 0, 3);
    if (op == selected) return;
    selected = op;
    update();
}

void CPropCombineOpButtons::DrawSegment(QPainter& p, int i, const QRect& r, bool sel) {
    const int gx = r.left() + (r.width() - 16) / 2, gy = r.top() + (r.height() - 12) / 2;
    const QColor fill = ArgbColor(sel ? 0xFFFFFFFF : 0xFFDCE0E6);
    const QColor line = ArgbColor(sel ? 0xFFFFFFFF : 0xFF6E7680);
    const QColor segFill = ArgbColor(sel ? 0xFF3C6CA8 : 0xFF24272C);
    p.setRenderHint(QPainter::Antialiasing, false);
    auto square = [&](int x, int y) { p.fillRect(QRect(x, y, 8, 8), fill); };
    auto outline = [&](int x, int y) {
        p.setPen(QPen(line, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(x, y, 7, 7));
    };
    switch (i) {
    case 0: square(gx + 2, gy + 2), outline(gx + 2, gy + 2); break;
    case 1: square(gx, gy), square(gx + 4, gy + 4), outline(gx, gy), outline(gx + 4, gy + 4); break;
    case 2:
        square(gx, gy), outline(gx, gy);
        p.fillRect(QRect(gx + 4, gy + 4, 4, 4), segFill);
        outline(gx + 4, gy + 4);
        break;
    default:
        outline(gx, gy), outline(gx + 4, gy + 4);
        p.fillRect(QRect(gx + 4, gy + 4, 4, 4), fill);
        break;
    }
}

void CPropTextSegmented::AddSegment(const QString& text) {
    segments.push_back(text);
    update();
}

void CPropTextSegmented::SetSelection(int i) {
    if (i < 0 || i >= int(segments.size()) || i == selected) return;
    selected = i;
    update();
}

void CPropTextSegmented::DrawSegment(QPainter& p, int i, const QRect& r, bool sel) {
    const QFont font = CreateUiFont();
    p.setFont(font);
    p.setPen(ArgbColor(sel ? 0xFFFFFFFF : 0xFFDCE0E6));
    const QString text = QFontMetrics(font).elidedText(segments[size_t(i)], Qt::ElideRight, r.width() - 4);
    p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, text);
}
