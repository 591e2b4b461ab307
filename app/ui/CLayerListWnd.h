#pragma once
// The right pane's list of the main scene: a header per layer, a row per
// object with its thumbnail, a "Mask" sub-row for masked objects and a
// canvas row. It reads the document at every paint; clicks, drags and keys
// change the document through its operations, each one undo step.
#include "app/LayerListLayout.h"
#include "platform/qt/CDocumentListWnd.h"

#include <functional>
#include <map>
#include <string>

class CQuillfenEditorDoc;
class QPainter;

class CLayerListWnd : public CDocumentListWnd {
    Q_OBJECT
public:
    static constexpr int kRepaintTimer = 1001;

    explicit CLayerListWnd(QWidget* parent = nullptr);
    // Opens the colour dialog on a colour (0xAARRGGBB); true and the chosen
    // colour when accepted. Without one, a double-click on the canvas row does nothing.
    std::function<bool(uint32_t& argb)> pickColor;

    LayerListView View() const;
    bool Compact() const;

    LayerListRow HitTest(QPoint p) const { return LayerListHitTest(View(), p.x(), p.y()); }
    // toggle: Ctrl was held, an object row joins or leaves the selection.
    void ClickRow(const LayerListRow& row, bool toggle = false);
    bool RowDragging() const { return rowDragging_; }

    std::string hoverObjectId;

    void OnLButtonDown(unsigned flags, QPoint p) override;
    void OnLButtonUp(unsigned flags, QPoint p) override;
    void OnLButtonDblClk(unsigned flags, QPoint p) override;
    void OnMouseMove(unsigned flags, QPoint p) override;
    bool OnMouseWheel(unsigned flags, int delta, QPoint p) override;
    void OnCaptureLost() override;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    int ClampScroll(int offset) const override;
    void Draw(QPainter& p) override;

private:
    void ResetRowDrag();
    void DrawDragFeedback(QPainter& p, const LayerListView& v);

    std::map<std::string, bool> expanded_;
    bool scrollDragging_ = false;
    int scrollDragStartY_ = 0, scrollDragStartOffset_ = 0;
    bool rowPressed_ = false, rowDragging_ = false;
    QPoint pressPoint_, mousePoint_;
    std::string dragObjectId_, dragLayerId_;
    WheelNotches wheel_;
};
