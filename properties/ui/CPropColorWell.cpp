#include "properties/ui/CPropColorWell.h"

#include "platform/qt/CMemDC2.h"

#include <QPaintEvent>

#include <cstdlib>

void DrawPropCheckerboard(QPainter& p, const QRect& r) {
    for (int y = r.top(), row = 0; y <= r.bottom(); y += 5, ++row)
        for (int x = r.left(), col = 0; x <= r.right(); x += 5, ++col) {
            const QRect cell = QRect(x, y, 5, 5).intersected(r);
            p.fillRect(cell, ArgbColor((row + col) % 2 ? 0xFF787882 : 0xFF50505A));
        }
}

namespace {
void DrawSwatchFill(QPainter& p, const QRect& r, uint32_t argb, bool enabled) {
    if ((argb >> 24) != 0xFF) DrawPropCheckerboard(p, r);
    p.fillRect(r, ArgbColor(argb));
    if (!enabled) p.fillRect(r, ArgbColor(0xA032363C));
}

void Outline(QPainter& p, const QRect& r, uint32_t argb) {
    p.setPen(QPen(ArgbColor(argb), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(r.left(), r.top(), r.width() - 1, r.height() - 1));
}
}  // namespace

// --- Single well ---
bool CPropColorWell::Create(QWidget* parent, int id) {
    if (!CreatePropChildWnd(this, parent, id, QRect())) return false;
    setCursor(Qt::PointingHandCursor);
    return true;
}

void CPropColorWell::SetColor(uint32_t argb) {
    if (color == argb) return;
    color = argb;
    update();
}

void CPropColorWell::OnLButtonDown(unsigned, QPoint) { SendCommandToParent(kPropClick); }

void CPropColorWell::changeEvent(QEvent* e) {
    CWndBase::changeEvent(e);
    if (e->type() == QEvent::EnabledChange) update();
}

void CPropColorWell::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    p.fillRect(rect(), ArgbColor(kPropPanelBackground));
    const QRect swatch(2, 2, width() - 4, height() - 4);
    if (swatch.isEmpty()) return;
    DrawSwatchFill(p, swatch, color, isEnabled());
    Outline(p, swatch, isEnabled() ? 0xFF5C626E : 0xFF464B54);
}

// --- Pair ---
bool CPropColorWellPair::Create(QWidget* parent, int id) {
    if (!CreatePropChildWnd(this, parent, id, QRect())) return false;
    setCursor(Qt::PointingHandCursor);
    return true;
}

void CPropColorWellPair::SetLabels(const QString& first, const QString& second) {
    if (first == firstLabel && second == secondLabel) return;
    firstLabel = first;
    secondLabel = second;
    update();
}

QRect CPropColorWellPair::FirstSwatch() const {
    const int half = (width() - 4) / 2;
    return QRect(QPoint(2, 2), QPoint(2 + half - 1, height() - 2 - 1));
}

QRect CPropColorWellPair::SecondSwatch() const {
    const int half = (width() - 4) / 2;
    return QRect(QPoint(width() - half - 2, 2), QPoint(width() - 2 - 1, height() - 2 - 1));
}

void CPropColorWellPair::OnLButtonDown(unsigned, QPoint point) {
    const int half = (width() - 4) / 2;
    const int r1 = 2 + half, l2 = width() - half - 2;
    const int c1 = (2 + r1) / 2, c2 = (width() - 2 + l2) / 2;
    const int x = point.x();
    int choice = 0;
    if (x <= r1) choice = 0;
    else if (x >= l2) choice = 1;
    else choice = std::abs(x - c2) < std::abs(x - c1) ? 1 : 0;
    if (choice != selectedSwatch) {
        selectedSwatch = choice;
        update();
    }
    NotifySwatch();
}

void CPropColorWellPair::changeEvent(QEvent* e) {
    CWndBase::changeEvent(e);
    if (e->type() == QEvent::EnabledChange) update();
}

void CPropColorWellPair::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    p.fillRect(rect(), ArgbColor(kPropPanelBackground));
    const bool on = isEnabled();
    auto draw = [&](const QRect& r, uint32_t argb, const QString& caption, bool chosen) {
        if (r.isEmpty()) return;
        DrawSwatchFill(p, r, argb, on);
        if (chosen && on) {
            const QColor c(80, 110, 160);
            p.fillRect(QRect(r.left(), r.top(), r.width(), 2), c);
            p.fillRect(QRect(r.left(), r.bottom() - 1, r.width(), 2), c);
            p.fillRect(QRect(r.left(), r.top(), 2, r.height()), c);
            p.fillRect(QRect(r.right() - 1, r.top(), 2, r.height()), c);
        } else {
            Outline(p, r, on ? 0xFF5C626E : 0xFF464B54);
        }
        if (caption.isEmpty()) return;
        const double lum = (0.299 * ((argb >> 16) & 0xFF) + 0.587 * ((argb >> 8) & 0xFF) + 0.114 * (argb & 0xFF)) / 255;
        p.setFont(CreateUiFont(10));
        p.setPen(lum > 0.55 ? Qt::black : Qt::white);
        p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, caption);
    };
    draw(FirstSwatch(), firstColor, firstLabel, selectedSwatch == 0);
    draw(SecondSwatch(), secondColor, secondLabel, selectedSwatch == 1);
}

// --- Dialog swatch ---
bool CColorWellWnd::Create(QWidget* parent, int id, const QRect& rect) {
    if (parent && parentWidget() != parent) setParent(parent);
    SetDlgCtrlID(id);
    setGeometry(rect);
    show();
    return true;
}

void CColorWellWnd::OnLButtonDown(unsigned, QPoint) { SendCommandToParent(kPropClick); }

void CColorWellWnd::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    p.setPen(QColor(128, 128, 128));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    const QRect in = r.adjusted(1, 1, -1, -1);
    p.fillRect(in, ColorRefColor(color));
    const double right = in.right() + 1, bottom = in.bottom() + 1;
    QPolygonF tri;
    tri << QPointF(right - 14, bottom - 8) << QPointF(right - 2, bottom - 8) << QPointF(right - 8, bottom - 2);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPolygon(tri);
}
