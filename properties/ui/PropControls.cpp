#include "properties/ui/PropControls.h"

#include "platform/qt/ShellFonts.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>

QFont CreateUiFont(int pixelSize) { return UiFont(pixelSize); }

void DrawPropText(QPainter& p, const QString& text, double x, double y, uint32_t argb, const QFont& font) {
    p.setFont(font);
    p.setPen(ArgbColor(argb));
    const QFontMetricsF m(font);
    p.drawText(QPointF(x, y + m.ascent()), text);
}

void DrawPropFrame(QPainter& p, const QRect& r, uint32_t argb) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor c = ArgbColor(argb);
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), c);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), c);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height()), c);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), c);
    p.restore();
}

bool CreatePropChildWnd(CWndBase* control, QWidget* parent, int id, const QRect& rect) {
    if (!control) return false;
    if (parent && control->parentWidget() != parent) control->setParent(parent);
    control->SetDlgCtrlID(id);
    control->setGeometry(rect);
    control->setAttribute(Qt::WA_OpaquePaintEvent);
    control->show();
    return true;
}

bool CreatePropControl(CWndBase* control, QWidget* parent, int id, const QRect& rect) {
    if (!CreatePropChildWnd(control, parent, id, rect)) return false;
    control->setFocusPolicy(Qt::StrongFocus);
    return true;
}

void CPropValueWnd::NotifyBegin() {
    if (interactionOpen_) return;
    interactionOpen_ = true;
    NotifyParent(kPropBegin);
}

void CPropValueWnd::NotifyEnd() {
    if (!interactionOpen_) return;
    interactionOpen_ = false;
    NotifyParent(kPropEnd);
}

void CPropTypedValueWnd::EndDrag() {
    if (!dragging) return;
    dragging = false;
    ReleaseCapture();
    NotifyEnd();
}

void CPropTypedValueWnd::OnLButtonUp(unsigned, QPoint) { EndDrag(); }
void CPropTypedValueWnd::OnCaptureLost() { EndDrag(); }

void CPropTypedValueWnd::changeEvent(QEvent* e) {
    CPropValueWnd::changeEvent(e);
    if (e->type() == QEvent::EnabledChange) update();
}

bool CPropTypedValueWnd::eventFilter(QObject* watched, QEvent* e) {
    if (watched != edit_) return CPropValueWnd::eventFilter(watched, e);
    if (e->type() == QEvent::FocusOut) {
        CommitTyped();
        return false;
    }
    if (e->type() != QEvent::KeyPress) return false;
    switch (static_cast<QKeyEvent*>(e)->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: CommitTyped(); return true;
    case Qt::Key_Escape:
        ShowValue();
        NotifyEnd();
        if (parentWidget()) parentWidget()->setFocus();
        return true;
    case Qt::Key_Up: Step(+1); return true;
    case Qt::Key_Down: Step(-1); return true;
    default: return false;
    }
}

void LayoutPropGroups(QPoint origin, std::vector<PropGroup>& groups) {
    for (size_t g = 0; g < groups.size(); ++g) {
        for (PropCell& c : groups[g].cells) {
            c.rect = PropCellRect(origin.x(), origin.y(), int(g), groups[g].rows, c.column, c.row, c.columnSpan,
                                  c.rowSpan);
            if (c.noWindow || !c.window) continue;
            c.window->setGeometry(c.rect.left, c.rect.top, c.rect.Width(), c.rect.Height());
            c.window->show();
        }
    }
}

PropCell PropCaptionCell(int kind, int column, int row, int columnSpan, int rowSpan) {
    PropCell c;
    c.noWindow = true;
    c.kind = kind;
    c.column = column, c.row = row, c.columnSpan = columnSpan, c.rowSpan = rowSpan;
    return c;
}

PropCell PropWindowCell(QWidget* window, int column, int row, int columnSpan, int rowSpan) {
    PropCell c;
    c.window = window;
    c.column = column, c.row = row, c.columnSpan = columnSpan, c.rowSpan = rowSpan;
    return c;
}

const PropCell* FindPropCell(const std::vector<PropGroup>& groups, int kind) {
    for (const PropGroup& g : groups)
        for (const PropCell& c : g.cells)
            if (c.noWindow && c.kind == kind) return &c;
    return nullptr;
}

void DrawPropCaption(QPainter& p, const PropRect& cell, const QString& text, const QFont& font, uint32_t argb) {
    p.setFont(font);
    p.setPen(ArgbColor(argb));
    const QRect r(cell.left, cell.top, cell.Width() - 4, cell.Height());
    p.drawText(r, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

void MoveChildWindow(const QRect& client, std::vector<PropGridPanel>& panels) {
    for (size_t k = 0; k < panels.size(); ++k) {
        for (PropGridCell& c : panels[k].cells) {
            const PropRect r = PropCellRect(client.left(), client.top(), int(k), panels[k].rows, c.column, c.row,
                                            c.columnSpan, c.rowSpan);
            c.left = r.left, c.top = r.top, c.right = r.right, c.bottom = r.bottom;
            if (c.noWindow || !c.window) continue;
            c.window->setGeometry(r.left, r.top, r.Width(), r.Height());
            c.window->show();
        }
    }
}
