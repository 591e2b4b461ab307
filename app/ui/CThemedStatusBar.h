#pragma once
// The owner-drawn status line at the bottom of the workspace: the selection
// on the left, canvas size and position on the right, and a size grip that
// resizes the main window from its bottom-right corner.
#include "platform/qt/WindowBase.h"

#include <string>

class CThemedStatusBar : public CWndBase {
    Q_OBJECT
public:
    explicit CThemedStatusBar(QWidget* parent = nullptr);

    std::string leftText, rightText;
    bool HitTestGrip(QPoint p) const;
    // Repaints counted, so that unchanged texts can be shown to cause none.
    int paintCount = 0;

protected:
    void paintEvent(QPaintEvent* e) override;
    void OnLButtonDown(unsigned flags, QPoint p) override;
    void OnMouseMove(unsigned flags, QPoint p) override;
};
