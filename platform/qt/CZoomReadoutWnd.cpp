#include "platform/qt/CZoomReadoutWnd.h"

#include "platform/ZoomReadout.h"
#include "platform/qt/ShellFonts.h"

#include <QMenu>
#include <QPainter>
#include <QPolygon>

CZoomReadoutWnd::CZoomReadoutWnd(QWidget* parent) : CWndBase(parent) { setCursor(Qt::PointingHandCursor); }

CZoomReadoutWnd::~CZoomReadoutWnd() { zoomCallback = nullptr; }

void CZoomReadoutWnd::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QRect r = rect();
    p.fillRect(r, hovered ? hoverBackground : background);
    const int a = MulDiv(8, GetDpi(), 96), b = MulDiv(6, GetDpi(), 96);
    p.setFont(UiFont(MulDiv(9, GetDpi(), 72)));
    p.setPen(textColor);
    QRect textBox = r.adjusted(0, 0, -(a + b), 0);
    p.drawText(textBox, Qt::AlignCenter | Qt::TextSingleLine, QString::fromStdString(ZoomReadoutText(zoom)));
    const int h = a / 2;
    const int cx = r.right() + 1 - a / 2 - b / 2, cy = (r.top() + r.bottom() + 1) / 2;
    QPolygon tri;
    tri << QPoint(cx - h, cy - h / 2 + 1) << QPoint(cx + h, cy - h / 2 + 1) << QPoint(cx, cy + h / 2 + 1);
    p.setPen(Qt::NoPen);
    p.setBrush(textColor);
    p.drawPolygon(tri);
}

QMenu* CZoomReadoutWnd::BuildZoomMenu() {
    if (!zoomCallback) return nullptr;
    auto* menu = new QMenu(this);
    for (int preset : ZoomPresets()) {
        QAction* a = menu->addAction(QString::fromStdString(std::to_string(preset) + "%"));
        a->setData(preset);
        a->setCheckable(true);
        a->setChecked(ZoomPresetChecked(preset, zoom));
    }
    menu->addSeparator();
    menu->addAction("Fit to View")->setData(kZoomFitCommand);
    return menu;
}

void CZoomReadoutWnd::OnZoomMenuChoice(int id) {
    if (!zoomCallback || id == 0) return;
    zoomCallback(id == kZoomFitCommand ? -1 : id);
}

void CZoomReadoutWnd::ShowZoomMenu() {
    QMenu* menu = BuildZoomMenu();
    if (!menu) return;
    // Opens upwards from the readout's top-left corner.
    QPoint at = mapToGlobal(QPoint(0, 0));
    at.ry() -= menu->sizeHint().height();
    QAction* chosen = menu->exec(at);
    int id = chosen ? chosen->data().toInt() : 0;
    delete menu;
    OnZoomMenuChoice(id);
}

void CZoomReadoutWnd::OnLButtonDown(unsigned, QPoint) { ShowZoomMenu(); }

void CZoomReadoutWnd::OnMouseMove(unsigned, QPoint) {
    if (!hovered) {
        hovered = true;
        update();
    }
}

void CZoomReadoutWnd::OnMouseLeave() {
    if (hovered) {
        hovered = false;
        update();
    }
}
