#include "platform/qt/WindowBase.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimerEvent>
#include <QWheelEvent>

#include <set>

namespace {
// Keys held down, as seen by the editor's own windows.
std::set<int>& HeldKeys() {
    static std::set<int> keys;
    return keys;
}

int ToVirtualKey(int qtKey) {
    if (qtKey >= 0x20 && qtKey <= 0x5A) return qtKey;  // space, digits and letters share codes
    switch (qtKey) {
    case Qt::Key_Tab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Delete: return VK_DELETE;
    default: return 0;
    }
}

unsigned FlagsOf(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
    unsigned f = 0;
    if (buttons & Qt::LeftButton) f |= MK_LBUTTON;
    if (buttons & Qt::RightButton) f |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) f |= MK_MBUTTON;
    if (mods & Qt::ShiftModifier) f |= MK_SHIFT;
    if (mods & Qt::ControlModifier) f |= MK_CONTROL;
    return f;
}
}  // namespace

CWndBase::CWndBase(QWidget* parent, int controlId) : QWidget(parent), controlId_(controlId) {
    setMouseTracking(true);
}

CWndBase::~CWndBase() {
    for (auto& [id, qtId] : timers_) killTimer(qtId);
}

void CWndBase::SetTimer(int id, int ms) {
    KillTimer(id);
    timers_[id] = startTimer(ms < 0 ? 0 : ms);
}

void CWndBase::KillTimer(int id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    killTimer(it->second);
    timers_.erase(it);
}

bool CWndBase::SendCommandToParent(int code) {
    auto* parent = qobject_cast<CWndBase*>(parentWidget());
    if (!parent) return false;
    return parent->OnCommand(controlId_, code, this);
}

bool CWndBase::OnCommand(int, int, CWndBase*) { return false; }
void CWndBase::OnHScroll(int, int, CWndBase*) {}
void CWndBase::OnVScroll(int, int, CWndBase*) {}

void CWndBase::SetCapture() {
    if (captured_) return;
    captured_ = true;
    grabMouse();
}

void CWndBase::ReleaseCapture() {
    if (!captured_) return;
    captured_ = false;
    releaseMouse();
}

void CWndBase::LoseCapture() {
    if (!captured_) return;
    ReleaseCapture();
    OnCaptureLost();
}

bool CWndBase::IsKeyDown(int vk) {
    Qt::KeyboardModifiers mods = QGuiApplication::queryKeyboardModifiers();
    Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
    switch (vk) {
    case VK_SHIFT: return mods & Qt::ShiftModifier;
    case VK_CONTROL: return mods & Qt::ControlModifier;
    case VK_MENU: return mods & Qt::AltModifier;
    case VK_LBUTTON: return buttons & Qt::LeftButton;
    case VK_RBUTTON: return buttons & Qt::RightButton;
    case VK_MBUTTON: return buttons & Qt::MiddleButton;
    default: return HeldKeys().count(vk) != 0;
    }
}

unsigned CWndBase::CurrentKeyFlags() {
    return FlagsOf(QGuiApplication::mouseButtons(), QGuiApplication::queryKeyboardModifiers());
}

void CWndBase::OnLButtonDown(unsigned, QPoint) {}
void CWndBase::OnLButtonUp(unsigned, QPoint) {}
void CWndBase::OnLButtonDblClk(unsigned, QPoint) {}
void CWndBase::OnRButtonDown(unsigned, QPoint) {}
void CWndBase::OnRButtonUp(unsigned, QPoint) {}
void CWndBase::OnMouseMove(unsigned, QPoint) {}
void CWndBase::OnMouseLeave() {}
bool CWndBase::OnMouseWheel(unsigned, int, QPoint) { return false; }
void CWndBase::OnTimer(int) {}
void CWndBase::OnCaptureLost() {}

QPointF CWndBase::PrecisePoint(QPoint p) const {
    return lastPointer_.toPoint() == p ? lastPointer_ : QPointF(p);
}

void CWndBase::mousePressEvent(QMouseEvent* e) {
    NotePointer(e->position());
    QPoint p = e->position().toPoint();
    unsigned f = FlagsOf(e->buttons(), e->modifiers());
    if (e->button() == Qt::LeftButton) OnLButtonDown(f, p);
    else if (e->button() == Qt::RightButton) OnRButtonDown(f, p);
    else QWidget::mousePressEvent(e);
}

void CWndBase::mouseReleaseEvent(QMouseEvent* e) {
    NotePointer(e->position());
    QPoint p = e->position().toPoint();
    unsigned f = FlagsOf(e->buttons(), e->modifiers());
    if (e->button() == Qt::LeftButton) OnLButtonUp(f, p);
    else if (e->button() == Qt::RightButton) OnRButtonUp(f, p);
    else QWidget::mouseReleaseEvent(e);
}

// Qt sends press, release, double-click, release: the second press arrives
// only as the double-click, which is the order owner-drawn windows expect.
void CWndBase::mouseDoubleClickEvent(QMouseEvent* e) {
    NotePointer(e->position());
    QPoint p = e->position().toPoint();
    unsigned f = FlagsOf(e->buttons(), e->modifiers());
    if (e->button() == Qt::LeftButton) OnLButtonDblClk(f, p);
    else if (e->button() == Qt::RightButton) OnRButtonDown(f, p);
}

void CWndBase::mouseMoveEvent(QMouseEvent* e) {
    NotePointer(e->position());
    OnMouseMove(FlagsOf(e->buttons(), e->modifiers()), e->position().toPoint());
}

void CWndBase::wheelEvent(QWheelEvent* e) {
    NotePointer(e->position());
    int delta = e->angleDelta().y();
    if (delta == 0) delta = e->angleDelta().x();
    if (!OnMouseWheel(FlagsOf(e->buttons(), e->modifiers()), delta, e->position().toPoint())) e->ignore();
}

void CWndBase::leaveEvent(QEvent* e) {
    QWidget::leaveEvent(e);
    OnMouseLeave();
}

void CWndBase::timerEvent(QTimerEvent* e) {
    for (auto& [id, qtId] : timers_) {
        if (qtId == e->timerId()) {
            OnTimer(id);
            return;
        }
    }
    QWidget::timerEvent(e);
}

void CWndBase::keyPressEvent(QKeyEvent* e) {
    if (int vk = ToVirtualKey(e->key())) HeldKeys().insert(vk);
    QWidget::keyPressEvent(e);
}

void CWndBase::keyReleaseEvent(QKeyEvent* e) {
    if (!e->isAutoRepeat())
        if (int vk = ToVirtualKey(e->key())) HeldKeys().erase(vk);
    QWidget::keyReleaseEvent(e);
}

void CWndBase::hideEvent(QHideEvent* e) {
    LoseCapture();
    QWidget::hideEvent(e);
}

void CWndBase::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange && !isActiveWindow()) {
        HeldKeys().clear();
        LoseCapture();
    }
    QWidget::changeEvent(e);
}
