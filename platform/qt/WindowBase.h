#pragma once
// The base of every owner-drawn window: numbered timers, synchronous command
// notifications to the parent, mouse capture with a capture-lost callback,
// leave notification, the down/up/double-click/up order of a double click,
// key-state queries and cursors. Coordinates are device-independent pixels
// and every window reports 96 dpi, so 96-dpi layouts scale with the screen.
#include "platform/MulDiv.h"

#include <QPoint>
#include <QPointF>
#include <QWidget>

#include <cstdint>
#include <map>


// Key and button codes for key-state queries.
enum VirtualKey : int {
    VK_LBUTTON = 0x01, VK_RBUTTON = 0x02, VK_MBUTTON = 0x04,
    VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11, VK_MENU = 0x12,
    VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_DELETE = 0x2E,
};

// Mouse-message key flags (the state of buttons and modifiers with an event).
enum MouseKeyFlags : unsigned {
    MK_LBUTTON = 0x0001, MK_RBUTTON = 0x0002, MK_SHIFT = 0x0004, MK_CONTROL = 0x0008, MK_MBUTTON = 0x0010,
};

// Scroll codes sent with OnHScroll / OnVScroll.
enum ScrollCode : int {
    SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3,
    SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5, SB_TOP = 6, SB_BOTTOM = 7, SB_ENDSCROLL = 8,
};

class CWndBase : public QWidget {
    Q_OBJECT
public:
    explicit CWndBase(QWidget* parent = nullptr, int controlId = 0);
    ~CWndBase() override;

    int GetDlgCtrlID() const { return controlId_; }
    void SetDlgCtrlID(int id) { controlId_ = id; }
    // Every window reports 96 dpi; Qt scales the whole window on dense screens.
    static int GetDpi() { return 96; }

    // Starts or restarts timer id; OnTimer(id) fires every ms milliseconds.
    void SetTimer(int id, int ms);
    void KillTimer(int id);
    bool HasTimer(int id) const { return timers_.count(id) != 0; }

    // Calls the parent window's OnCommand(own id, code, this) at once; nothing
    // when the parent is not a CWndBase.
    bool SendCommandToParent(int code);
    // A command from a child or a menu. True when handled.
    virtual bool OnCommand(int id, int code, CWndBase* sender);
    // Scroll notifications from a themed scroll bar owned by this window.
    virtual void OnHScroll(int code, int position, CWndBase* bar);
    virtual void OnVScroll(int code, int position, CWndBase* bar);

    // Mouse capture from press to release: while captured every mouse event
    // comes here. Losing it any other way calls OnCaptureLost.
    void SetCapture();
    void ReleaseCapture();
    bool HasCapture() const { return captured_; }

    // Key state: true while the key or button is held.
    static bool IsKeyDown(int virtualKey);
    // The MK_ flags of the current buttons and modifiers.
    static unsigned CurrentKeyFlags();

    void SetCursorShape(Qt::CursorShape shape) { setCursor(shape); }

    // The handlers get whole client pixels; on a screen with a device pixel
    // ratio above 1 the pointer lies between them. This is the unrounded
    // position of the mouse event that gave p (p itself for any other point).
    QPointF PrecisePoint(QPoint p) const;

    // Owner-drawn windows override these; points are client coordinates.
    virtual void OnLButtonDown(unsigned flags, QPoint point);
    virtual void OnLButtonUp(unsigned flags, QPoint point);
    virtual void OnLButtonDblClk(unsigned flags, QPoint point);
    virtual void OnRButtonDown(unsigned flags, QPoint point);
    virtual void OnRButtonUp(unsigned flags, QPoint point);
    virtual void OnMouseMove(unsigned flags, QPoint point);
    virtual void OnMouseLeave();
    // Wheel delta in 120ths of a notch; point in client coordinates. True when used.
    virtual bool OnMouseWheel(unsigned flags, int delta, QPoint point);
    virtual void OnTimer(int id);
    virtual void OnCaptureLost();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void LoseCapture();
    void NotePointer(QPointF p) { lastPointer_ = p; }
    int controlId_ = 0;
    QPointF lastPointer_{-1e9, -1e9};
    std::map<int, int> timers_;  // own id -> Qt timer id
    bool captured_ = false;
};
