#pragma once
// The canvas view's zoom readout: the zoom as a percentage with a small
// drop-down triangle; a click offers the zoom presets and "Fit to View".
#include "platform/qt/WindowBase.h"

#include <QColor>

#include <functional>

class QMenu;

class CZoomReadoutWnd : public CWndBase {
    Q_OBJECT
public:
    explicit CZoomReadoutWnd(QWidget* parent = nullptr);
    ~CZoomReadoutWnd() override;

    float zoom = 1.0f;
    QColor background{34, 38, 44};
    QColor textColor{200, 210, 225};
    QColor hoverBackground{48, 54, 63};
    bool hovered = false;
    // Called with the chosen percentage, or -1 for "Fit to View".
    std::function<void(int)> zoomCallback;

    // Builds the preset menu (null without a callback); the caller owns it.
    QMenu* BuildZoomMenu();
    void ShowZoomMenu();
    // Acts on a menu choice: 9999 gives -1, a preset gives itself.
    void OnZoomMenuChoice(int id);

protected:
    void paintEvent(QPaintEvent* e) override;
    void OnLButtonDown(unsigned flags, QPoint p) override;
    void OnMouseMove(unsigned flags, QPoint p) override;
    void OnMouseLeave() override;
};
