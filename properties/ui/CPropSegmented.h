#pragma once
// Rows of segments of which one is chosen: the four selection-combine
// buttons (replace, add, subtract, intersect) and a row of text segments.
// A click released on the pressed segment, Left/Right or a digit key picks
// one and sends kPropClick; setting from code sends nothing.
#include "properties/ui/PropControls.h"

#include <QString>

#include <vector>

class CPropSegmentedBase : public CWndBase {
    Q_OBJECT
public:
    explicit CPropSegmentedBase(QWidget* parent = nullptr) : CWndBase(parent) {}
    bool Create(QWidget* parent, int id, const QRect& rect) { return CreatePropControl(this, parent, id, rect); }
    int HitTest(QPoint p) const;
    QRect SegmentRect(int i) const;

    int selected = 0, hover = -1, pressed = -1;
    bool focused = false;

    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnLButtonUp(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;
    void OnMouseLeave() override;
    void OnCaptureLost() override;

protected:
    virtual int SegmentCount() const = 0;
    // The segment a digit key (1..9) picks, or -1.
    virtual int SegmentForDigit(int digit) const = 0;
    virtual void DrawSegment(QPainter& p, int i, const QRect& r, bool isSelected) = 0;
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void Pick(int i);
};

// Values are SelectionCombineOp: 0 replace, 1 add, 2 subtract, 3 intersect.
class CPropCombineOpButtons : public CPropSegmentedBase {
    Q_OBJECT
public:
    explicit CPropCombineOpButtons(QWidget* parent = nullptr) : CPropSegmentedBase(parent) {}
    void SetSelection(int op);
    int Selection() const { return selected; }

protected:
    int SegmentCount() const override { return 4; }
    int SegmentForDigit(int digit) const override { return digit >= 1 && digit <= 4 ? digit - 1 : -1; }
    void DrawSegment(QPainter& p, int i, const QRect& r, bool isSelected) override;
};

class CPropTextSegmented : public CPropSegmentedBase {
    Q_OBJECT
public:
    explicit CPropTextSegmented(QWidget* parent = nullptr) : CPropSegmentedBase(parent) {}
    void AddSegment(const QString& text);
    void SetSelection(int i);
    std::vector<QString> segments;

protected:
    int SegmentCount() const override { return int(segments.size()); }
    int SegmentForDigit(int digit) const override {
        return digit >= 1 && digit <= 9 && digit <= int(segments.size()) ? digit - 1 : -1;
    }
    void DrawSegment(QPainter& p, int i, const QRect& r, bool isSelected) override;
};
