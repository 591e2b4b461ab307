#pragma once
// A scroll bar drawn in the program's colours that reports to its owner as a
// standard scroll bar does: line, page and thumb-track notifications with the
// position already updated, arrows and track repeating while held.
#include "platform/ScrollBarGeometry.h"
#include "platform/qt/WindowBase.h"

#include <QColor>

class CThemedScrollCtrl : public CWndBase {
    Q_OBJECT
public:
    explicit CThemedScrollCtrl(QWidget* parent = nullptr);

    // Creates the bar as a hidden child of parent; the owner places and shows it.
    bool Create(QWidget* parent, int id, bool horizontal);
    void ApplyDarkTheme();

    // Written by the owner, which then repaints the bar; the owner leaves the
    // position alone while dragging is set.
    CWndBase* owner = nullptr;
    int minimum = 0, maximum = 0, page = 0, position = 0;
    bool dragging = false;
    bool IsHorizontal() const { return horizontal_; }

    // Colours: background, thumb, thumb hot, arrow glyph, arrow hovered,
    // arrow pressed, track hovered.
    QColor background{240, 240, 240}, thumb{180, 180, 180}, thumbHot{140, 140, 140}, arrowGlyph{80, 80, 80},
        arrowHover{220, 220, 220}, arrowPressed{200, 200, 200}, trackHover{230, 230, 230};

    ScrollBarGeometry Geometry() const;
    ScrollBarPart HoverPart() const { return hoverPart_; }
    ScrollBarPart PressedPart() const { return pressedPart_; }

    static constexpr int kRepeatTimer = 42;

protected:
    void paintEvent(QPaintEvent* e) override;
    void OnLButtonDown(unsigned flags, QPoint p) override;
    void OnLButtonUp(unsigned flags, QPoint p) override;
    void OnMouseMove(unsigned flags, QPoint p) override;
    void OnMouseLeave() override;
    bool OnMouseWheel(unsigned flags, int delta, QPoint p) override;
    void OnTimer(int id) override;
    void OnCaptureLost() override;

private:
    int ArrowLength() const { return MulDiv(20, GetDpi(), 96); }
    void Step(long long newPosition, int code);
    void Notify(int code, int pos);
    void DrawArrow(QPainter& p, const QRect& r, bool first, bool hovered, bool pressed);
    void EndPress();

    bool horizontal_ = false;
    int dragStartCoord_ = 0, dragStartPos_ = 0;
    ScrollBarPart hoverPart_ = kPartNone, pressedPart_ = kPartNone;
    bool firstRepeat_ = false;
    int repeatAction_ = 0;  // 0 line up, 1 line down, 2 page up, 3 page down
};
