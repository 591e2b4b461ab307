#pragma once
// Test Bones: a modal preview of the Pose Editor's rig. The user drags joints
// of the runtime scene (every bone cut into its own part) and the rig moves
// the parts and keeps the joint links together. It works on its own copies:
// nothing goes back to the document, so closing it in any way leaves the
// Pose Editor exactly as it was.
#include "document/DialogProvider.h"
#include "platform/CompositeSurface.h"
#include "posable/RuntimeRig.h"
#include "scene/CanvasDocument.h"

#include <QDialog>
#include <QWidget>

class QPushButton;

class CArticulationPreviewCanvasWnd : public QWidget {
    Q_OBJECT
public:
    explicit CArticulationPreviewCanvasWnd(QWidget* parent = nullptr);

    // Builds the canvas's own runtime scene and links from the Pose Editor
    // scene and its links, captures the rest pose and fits the view.
    void SetRig(const CanvasDocument& poseScene, const std::vector<JointLink>& userLinks);
    RectF GetContentBounds() const;
    void FitView();
    // The joint of a one-bone part within 14 view pixels; heads win ties.
    bool HitTestJoint(PointF viewPoint, std::string& partId, int& end) const;
    // The drag as the mouse handlers run it (also for tests).
    bool Press(PointF viewPoint);
    void DragTo(PointF viewPoint);
    void Release();
    // Draws into a buffer of device pixels (the view's size times the device
    // pixel ratio); the pointer and the hit test stay in view pixels.
    void RenderToBackBuffer();
    const CompositeSurface& BackBuffer() const { return backBuffer_; }
    float DeviceRatio() const;
    CanvasDocument& Scene() { return scene_; }
    float Zoom() const { return zoom_; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    CanvasDocument scene_;
    std::vector<JointLink> links_;
    RuntimeRig rig_;
    RectF bounds_{0, 0, 1, 1};
    float zoom_ = 1.0f;
    PointF offset_;
    bool dragging_ = false;
    std::string grabbedId_;
    int grabbedEnd_ = 1;
    CompositeSurface backBuffer_;
};

class CTestBonesDlg : public QDialog {
    Q_OBJECT
public:
    CTestBonesDlg(const CanvasDocument& poseScene, const std::vector<JointLink>& poseLinks, QWidget* parent = nullptr);
    CArticulationPreviewCanvasWnd* Canvas() const { return canvas_; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    CArticulationPreviewCanvasWnd* canvas_ = nullptr;
    QPushButton* ok_ = nullptr;
};

// Runs the Test Bones dialog for the document; the application installs it.
class TestBonesDialogProvider : public DialogProvider {
public:
    void RunTestBonesDialog(const CanvasDocument& poseScene, const std::vector<JointLink>& links) override;
};
