#pragma once
// A labelled number field: the number is typed into an in-place edit (Enter
// or leaving the field commits), stepped with Up and Down, or dragged with
// the mouse over the label. Every user change is bracketed by kPropBegin and
// kPropEnd with kPropChanged inside; setting the value from code sends
// nothing. Numbers are read and written in the C locale.
#include "properties/ui/PropControls.h"

#include <QString>

#include <limits>

class QLineEdit;

class CPropNumericEdit : public CPropTypedValueWnd {
    Q_OBJECT
public:
    explicit CPropNumericEdit(QWidget* parent = nullptr);
    // Creates the window and its edit child at rect (CreatePropChildWnd).
    bool Create(QWidget* parent, int id, const QRect& rect);

    void SetLabel(const QString& text);
    void SetLabelWidth(int px);  // turns label measuring off
    void SetSuffix(const QString& s);
    void SetRange(float minimum, float maximum);
    void SetValue(float v);  // clamped; sends nothing; leaves typed text alone
    void SetStep(float s) { step = s; }
    void SetPixelsPerStep(float p) { pixelsPerStep = p > 0.25f ? p : 0.25f; }
    void SetDragStep(float s) { dragStep = s; }
    void SetDecimals(int n);
    void SetPivot(float p);
    void ShowFillBar(bool b);
    void SetBorderless(bool b);

    // Rewrites the edit text from the value in the control's own format.
    void FormatValue();
    // Reads the typed text; a different number is one interaction.
    void CommitEdit();
    // Adds direction x step as one interaction.
    void Step(int direction) override;
    float Normalize(float v) const;
    QLineEdit* Edit() const { return edit_; }
    QRect DragArea() const;

    QString label, suffix;
    int labelWidth = 0;
    bool autoMeasureLabel = true;
    float value = 0;
    float minimum = std::numeric_limits<float>::lowest();
    float maximum = std::numeric_limits<float>::max();
    float step = 1, pixelsPerStep = 2, dragStep = -1;
    int decimals = 0;
    QPoint dragStart;
    float dragStartValue = 0;
    bool borderless = false, showFillBar = true;
    float pivot = std::numeric_limits<float>::quiet_NaN();

    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void CommitTyped() override { CommitEdit(); }
    void ShowValue() override { FormatValue(); }

private:
    void MeasureLabel();
    void LayoutEdit();
};

// Styles a QLineEdit as the family's in-place edit field.
void StylePropEdit(QLineEdit* edit);
