#include "properties/ui/CPropDropdown.h"

#include "platform/qt/CMemDC2.h"
#include "properties/DropdownLayout.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScreen>

// --- Popup ---
CPropDropdownPopup::CPropDropdownPopup(CPropDropdown* owner, const std::vector<std::string>& items, int selected)
    : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      hot(selected), opening(selected), owner_(owner), items_(items) {
    setAttribute(Qt::WA_NoMouseReplay);  // a press outside only closes the popup
    setMouseTracking(true);
    setObjectName("PropDropdownPopup");
}

bool CPropDropdownPopup::Create(const QRect& screenRect) {
    setGeometry(screenRect);
    show();
    if (!isVisible()) return false;
    setFocus(Qt::PopupFocusReason);
    return true;
}

int CPropDropdownPopup::HitTest(QPoint p) const { return DropdownHitTest(items_, width(), height(), p.x(), p.y()); }

void CPropDropdownPopup::Close(int index) {
    QPointer<CPropDropdown> owner = owner_;
    owner_ = nullptr;  // the hide that follows is no cancel
    hide();
    if (owner) owner->PopupEnded(index);
    else deleteLater();
}

void CPropDropdownPopup::Cancel() { Close(-1); }

void CPropDropdownPopup::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (owner_) Cancel();  // closed from outside: the capture is gone
}

void CPropDropdownPopup::mousePressEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    const int hit = rect().contains(p) ? HitTest(p) : -1;
    if (hit >= 0) Close(hit);
    else Cancel();
}

void CPropDropdownPopup::mouseMoveEvent(QMouseEvent* e) {
    const int h = HitTest(e->position().toPoint());
    if (h != hot) hot = h, update();
}

void CPropDropdownPopup::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: Close(hot >= 0 ? hot : opening); return;
    case Qt::Key_Escape: Cancel(); return;
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const int h = DropdownStepHot(items_, hot, e->key() == Qt::Key_Up ? -1 : +1);
        if (h != hot && h >= 0 && IsDropdownPickable(items_[size_t(h)])) hot = h, update();
        return;
    }
    default: QWidget::keyPressEvent(e);
    }
}

void CPropDropdownPopup::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    p.fillRect(rect(), ArgbColor(0xFF24272C));
    DrawPropFrame(p, rect(), 0xFF788CAA);
    const QFont font = CreateUiFont();
    const std::vector<PropRect> rects = DropdownItemRects(items_, width());
    for (size_t i = 0; i < items_.size(); ++i) {
        const PropRect& r = rects[i];
        if (IsDropdownColumnBreak(items_[i])) continue;
        if (IsDropdownSeparator(items_[i])) {
            p.fillRect(QRect(r.left + 4, r.top + 3, r.Width() - 8, 1), ArgbColor(0xFF50555C));
            continue;
        }
        if (int(i) == hot) p.fillRect(QRect(r.left, r.top, r.Width(), r.Height()), ArgbColor(0xFF3C6CA8));
        DrawPropText(p, QString::fromStdString(items_[i]), r.left + 6, r.top + 4, 0xFFDCE0E6, font);
    }
}

// --- Dropdown ---
CPropDropdown::~CPropDropdown() { ClosePopup(); }

void CPropDropdown::SetItems(const std::vector<std::string>& list) {
    items = list;
    if (selected >= int(items.size())) selected = -1;
    update();
}

void CPropDropdown::SetCurSel(int i) {
    if (i >= int(items.size()) || i == selected) return;
    selected = i;
    update();
}

void CPropDropdown::OpenPopup() {
    if (open || items.empty()) return;
    int w = 0, h = 0;
    DropdownPopupSize(items, width(), w, h);
    const QPoint topLeft = mapToGlobal(QPoint(0, 0));
    const PropRect self{topLeft.x(), topLeft.y(), topLeft.x() + width(), topLeft.y() + height()};
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect a = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 20, 1 << 20);
    const PropRect work{a.left(), a.top(), a.left() + a.width(), a.top() + a.height()};
    const PropRect r = DropdownPopupPlacement(self, work, w, h);
    if (popup_) {
        popup_->hide();
        popup_->deleteLater();
        popup_ = nullptr;
    }
    popup_ = new CPropDropdownPopup(this, items, selected);
    if (!popup_->Create(QRect(r.left, r.top, r.Width(), r.Height()))) {
        delete popup_;
        popup_ = nullptr;
        return;
    }
    open = true;
    update();
}

void CPropDropdown::ClosePopup() {
    if (!open) return;
    if (popup_) popup_->Close(-1);
}

void CPropDropdown::PopupEnded(int pick) {
    if (popup_) {
        popup_->deleteLater();
        popup_ = nullptr;
    }
    open = false;
    if (pick >= 0 && pick != selected && pick < int(items.size())) {
        selected = pick;
        update();
        SendCommandToParent(kPropClick);
    }
    update();
}

void CPropDropdown::OnLButtonDown(unsigned, QPoint) {
    setFocus(Qt::MouseFocusReason);
    if (open) ClosePopup();
    else OpenPopup();
}

void CPropDropdown::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Space:
    case Qt::Key_Down:
    case Qt::Key_F4:
        if (!open) OpenPopup();
        return;
    case Qt::Key_Escape:
        if (open) {
            ClosePopup();
            return;
        }
        break;
    default: break;
    }
    CWndBase::keyPressEvent(e);
}

void CPropDropdown::focusInEvent(QFocusEvent* e) {
    CWndBase::focusInEvent(e);
    focused = true;
    update();
}

void CPropDropdown::focusOutEvent(QFocusEvent* e) {
    CWndBase::focusOutEvent(e);
    focused = false;
    update();
}

void CPropDropdown::changeEvent(QEvent* e) {
    CWndBase::changeEvent(e);
    if (e->type() == QEvent::EnabledChange) update();
}

void CPropDropdown::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    const bool on = isEnabled();
    const int h = height();
    p.fillRect(rect(), ArgbColor(!on ? 0xFF2C2F34 : open ? 0xFF373C44 : 0xFF2A2D32));
    DrawPropFrame(p, rect(), !on ? 0xFF383C42 : (focused || open) ? 0xFF788CAA : 0xFF3C4046);
    if (selected >= 0 && selected < int(items.size()))
        DrawPropText(p, QString::fromStdString(items[size_t(selected)]), 6, (h - 14) / 2.0,
                     on ? 0xFFDCE0E6 : 0xFF6E747C, CreateUiFont());
    const double ax = width() - 9, ay = h / 2.0;
    QPolygonF arrow;
    arrow << QPointF(ax - 4, ay - 2) << QPointF(ax + 4, ay - 2) << QPointF(ax, ay + 3);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(ArgbColor(on ? 0xFFB4B8BE : 0xFF60666E));
    p.drawPolygon(arrow);
}
