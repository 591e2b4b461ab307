#pragma once
// The right pane's list of the Pose Editor scene: a header per part (topmost
// first) with its bones as an indented tree below. It reads the document at
// every paint and on a timer, so it follows every change without being told.
// Clicks select parts and bones and switch a part's visibility and lock; a
// header dragged elsewhere restacks the part (one undo step); Delete removes
// the selected bone.
#include "posable/BoneListLayout.h"
#include "platform/qt/CDocumentListWnd.h"

#include <functional>
#include <map>
#include <string>

class CQuillfenEditorDoc;
class QPainter;

class CBoneListWnd : public CDocumentListWnd {
    Q_OBJECT
public:
    static constexpr int kRepaintTimer = 1003;

    explicit CBoneListWnd(QWidget* parent = nullptr);
    // The Pose Editor scene, or null without a document or outside the Pose Editor.
    CanvasDocument* Scene() const;
    BoneListView View() const;

    BoneListHit HitTestRow(QPoint p) const { return BoneListHitTest(View(), p.x(), p.y()); }
    void OnRowClick(const BoneListHit& hit);
    int DropIndexAt(int y) const { return BoneListDropIndexAt(View(), y); }

    bool IsExpanded(const std::string& partId) const { return View().IsExpanded(partId); }
    bool PartDragging() const { return partDragging_; }
    bool ThumbDragging() const { return thumbDragging_; }

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
    void ToggleExpanded(const std::string& partId);
    void EndPress();
    void DrawPartRow(QPainter& p, const BoneListBox& row, bool selected, bool expanded);
    void DrawBoneRow(QPainter& p, const BoneListBox& row, bool selected);
    void DrawDragFeedback(QPainter& p, const BoneListView& v);

    std::map<std::string, bool> expanded_;
    bool thumbDragging_ = false;
    int thumbStartY_ = 0, thumbStartOffset_ = 0;
    bool headerPressed_ = false, partDragging_ = false;
    QPoint pressPoint_, mousePoint_;
    std::string pressedPartId_;
    BoneListWheel wheel_;
};
