#pragma once
// An angle in degrees: a dial with a needle (0 points right, angles grow
// counter-clockwise) beside an in-place text field. A range of 360 wraps,
// other ranges clamp. Dragging on the dial, typing and Up/Down are
// interactions bracketed by kPropBegin and kPropEnd, as the numeric edit's.
#include "properties/ui/PropControls.h"

class QLineEdit;

class CPropAngleEdit : public CPropTypedValueWnd {
    Q_OBJECT
public:
    explicit CPropAngleEdit(QWidget* parent = nullptr);
    bool Create(QWidget* parent, int id, const QRect& rect);

    void SetRange(float lo, float hi) { minimum = lo, maximum = hi; }
    void SetStep(float s) { step = s; }
    void SetDecimals(int n);
    void SetValue(float v);  // wrapped or clamped; sends nothing
    float ClampValue(float v) const;
    void UpdateText();
    void CommitText();
    void Step(int direction) override;
    QRect DialRect() const;
    QLineEdit* Edit() const { return edit_; }

    float value = 0, minimum = 0, maximum = 360, step = 1;
    int decimals = 0;

    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void CommitTyped() override { CommitText(); }
    void ShowValue() override { UpdateText(); }

private:
    void SetAngleFromPoint(QPoint p);
    void Layout();
};
