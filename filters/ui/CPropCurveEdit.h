#pragma once
// The control in which the custom profile of the bevels is drawn: a plot
// with a grid and a diagonal, the curve through a few draggable points;
// a left click adds a point, a right click removes one. It keeps its points
// sorted by x with the ends at x = 0 and 1 and every y in [0, 1], and reports
// 0x1001 when an edit begins, 0x1000 when the points change, 0x1002 when the
// edit ends.
#include "filters/BevelShading.h"
#include "platform/qt/WindowBase.h"

#include <vector>

class CPropCurveEdit : public CWndBase {
    Q_OBJECT
public:
    static constexpr int kMaxPoints = 32;

    explicit CPropCurveEdit(QWidget* parent = nullptr, int controlId = 1005);

    // Normalises and takes the points: fewer than 2 usable points give the
    // diagonal; non-finite x values are dropped and non-finite y become 0;
    // inner x values are held to [0, 1] so the array stays sorted.
    void SetPoints(const std::vector<CurvePoint>& points);
    const std::vector<CurvePoint>& Points() const { return points_; }
    int DragIndex() const { return drag_; }
    int HoverIndex() const { return hover_; }

    // The point within 6 pixels of the client point (the later on a tie), or -1.
    int HitTest(QPoint point) const;
    // Where a point lies in client pixels.
    QPoint PointToClient(const CurvePoint& p) const;

    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnLButtonUp(unsigned flags, QPoint point) override;
    void OnRButtonDown(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;
    void OnMouseLeave() override;
    void OnCaptureLost() override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    struct Plot {
        int l, t, r, b;
        int w() const { return r - l; }
        int h() const { return b - t; }
    };
    Plot PlotRect() const;
    CurvePoint ClientToCurve(QPoint point, const Plot& plot) const;
    void EndDrag(bool notify);
    void UpdateCursorShape(QPoint point);

    std::vector<CurvePoint> points_{{0, 0}, {1, 1}};
    int drag_ = -1;
    int hover_ = -1;
};
