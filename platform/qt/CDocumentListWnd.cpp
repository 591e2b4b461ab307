#include "platform/qt/CDocumentListWnd.h"

#include "platform/qt/CMemDC2.h"

#include <QPaintEvent>

CDocumentListWnd::CDocumentListWnd(QWidget* parent, int controlId, int repaintTimer)
    : CWndBase(parent, controlId), repaintTimer_(repaintTimer) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
}

CDocumentListWnd::~CDocumentListWnd() { KillTimer(repaintTimer_); }

void CDocumentListWnd::SetScrollOffset(int offset) {
    scroll_ = ClampScroll(offset);
    update();
}

void CDocumentListWnd::ClampAndRepaint() { SetScrollOffset(scroll_); }

void CDocumentListWnd::OnTimer(int id) {
    if (id == repaintTimer_) ClampAndRepaint();
    else CWndBase::OnTimer(id);
}

void CDocumentListWnd::resizeEvent(QResizeEvent* e) {
    CWndBase::resizeEvent(e);
    ClampAndRepaint();
}

void CDocumentListWnd::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    Draw(dc.Painter());
}
