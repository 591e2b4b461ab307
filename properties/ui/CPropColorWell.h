#pragma once
// Colour swatches that show a colour their owner stores into them and report
// presses: CPropColorWell (one ARGB colour over a checkerboard when it is
// not opaque; kPropClick), CPropColorWellPair (two swatches, one chosen;
// kPropFirstSwatch or kPropSecondSwatch on every press) and CColorWellWnd
// (a COLORREF swatch with a corner arrow, for dialogs; kPropClick).
// A well is no colour target: its owner's IColorSinkhole is.
#include "properties/ui/PropControls.h"

#include <QString>

#include <cstdint>

// 5 x 5 cells from the rectangle's top-left, light where row + column is odd.
void DrawPropCheckerboard(QPainter& p, const QRect& r);

class CPropColorWell : public CWndBase {
    Q_OBJECT
public:
    explicit CPropColorWell(QWidget* parent = nullptr) : CWndBase(parent) {}
    // Created with an empty rectangle: the owner's layout places it.
    bool Create(QWidget* parent, int id);
    void SetColor(uint32_t argb);

    uint32_t color = 0xFFFFFFFF;

    void OnLButtonDown(unsigned flags, QPoint point) override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;
};

class CPropColorWellPair : public CWndBase {
    Q_OBJECT
public:
    explicit CPropColorWellPair(QWidget* parent = nullptr) : CWndBase(parent) {}
    bool Create(QWidget* parent, int id);
    void SetLabels(const QString& first, const QString& second);
    QRect FirstSwatch() const;
    QRect SecondSwatch() const;

    uint32_t firstColor = 0xFFFF0000, secondColor = 0xFF0000FF;
    int selectedSwatch = 0;
    QString firstLabel, secondLabel;

    void OnLButtonDown(unsigned flags, QPoint point) override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void NotifySwatch() { SendCommandToParent(selectedSwatch == 0 ? kPropFirstSwatch : kPropSecondSwatch); }
};

class CColorWellWnd : public CWndBase {
    Q_OBJECT
public:
    explicit CColorWellWnd(QWidget* parent = nullptr) : CWndBase(parent) {}
    bool Create(QWidget* parent, int id, const QRect& rect);

    uint32_t color = 0xFFFFFF;  // 0x00BBGGRR

    void OnLButtonDown(unsigned flags, QPoint point) override;

protected:
    void paintEvent(QPaintEvent* e) override;
};
