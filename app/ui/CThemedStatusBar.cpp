#include "app/ui/CThemedStatusBar.h"

#include "app/ShellMetrics.h"
#include "platform/qt/CMemDC2.h"
#include "platform/qt/ShellFonts.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QWindow>

namespace {
RectI ClientOf(const QWidget* w) { return {0, 0, w->width(), w->height()}; }
}  // namespace

CThemedStatusBar::CThemedStatusBar(QWidget* parent) : CWndBase(parent, 0xC050) {}

bool CThemedStatusBar::HitTestGrip(QPoint p) const { return StatusBarGripHit(ClientOf(this), GetDpi(), p.x(), p.y()); }

void CThemedStatusBar::paintEvent(QPaintEvent* e) {
    ++paintCount;
    if (width() <= 0 || height() <= 0) return;
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    if (!p.isActive()) return;
    p.fillRect(rect(), QColor(0x22, 0x26, 0x2C));
    p.fillRect(QRect(0, 0, width(), 1), QColor(0x3A, 0x3F, 0x47));
    QFont font = UiFont(12);
    p.setFont(font);
    p.setPen(QColor(0xC8, 0xD2, 0xDC));
    QFontMetrics fm(font);
    const QString right = QString::fromStdString(rightText);
    const int w = right.isEmpty() ? 0 : fm.horizontalAdvance(right);
    StatusBarLayout l = ComputeStatusBarLayout(ClientOf(this), GetDpi(), w);
    if (w > 0) {
        const RectI& r = l.rightText;
        p.drawText(QRect(r.left, r.top, r.Width(), r.Height()), Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                   right);
    }
    if (!l.leftText.IsEmpty() && !leftText.empty()) {
        const RectI& r = l.leftText;
        QString text = fm.elidedText(QString::fromStdString(leftText), Qt::ElideRight, r.Width());
        p.drawText(QRect(r.left, r.top, r.Width(), r.Height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   text);
    }
    for (const RectI& d : l.gripDots) p.fillRect(QRect(d.left, d.top, d.Width(), d.Height()), QColor(0x8C, 0x96, 0xA5));
}

void CThemedStatusBar::OnLButtonDown(unsigned, QPoint pt) {
    if (!HitTestGrip(pt)) return;
    QWidget* top = window();
    if (top && top != this && top->windowHandle()) {
        ReleaseCapture();
        top->windowHandle()->startSystemResize(Qt::BottomEdge | Qt::RightEdge);
    }
}

void CThemedStatusBar::OnMouseMove(unsigned, QPoint pt) {
    setCursor(HitTestGrip(pt) ? Qt::SizeFDiagCursor : Qt::ArrowCursor);
}
