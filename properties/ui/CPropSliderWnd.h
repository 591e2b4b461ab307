#pragma once
// A horizontal slider over a float range with an optional read-out of the
// value. Press, drag and release send kPropBegin, kPropChanged on each
// change and kPropEnd; losing the mouse capture ends the interaction too.
#include "properties/ui/PropControls.h"

#include <QString>

class CPropSliderWnd : public CPropValueWnd {
    Q_OBJECT
public:
    explicit CPropSliderWnd(QWidget* parent = nullptr) : CPropValueWnd(parent) {}
    bool Create(QWidget* parent, int id, const QRect& rect);

    void SetRange(float minimum, float maximum);
    void SetValue(float v);  // clamped; sends nothing
    void SetDecimals(int n);
    void SetExponent(float e);
    void SetSuffix(const QString& s);
    void ShowValueBox(bool show);
    QString FormatValue() const;

    float value = 0, minimum = 0, maximum = 100;
    int decimals = 0;
    float exponent = 1;
    QString suffix;
    bool showValueBox = true;
    bool dragging = false;

    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnLButtonUp(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;
    void OnCaptureLost() override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void TrackTo(QPoint point);
    void EndDrag();
};
