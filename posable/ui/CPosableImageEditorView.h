#pragma once
// The view hosted while an object is open in the Pose Editor (workspace mode
// 1). For now it shows the Pose Editor scene's parts and one-bone rigs fitted
// into the view; its editing tools and overlay buttons come later.
#include "platform/CompositeSurface.h"
#include "platform/qt/CView.h"

class CPosableImageEditorView : public CView {
    Q_OBJECT
public:
    explicit CPosableImageEditorView(QWidget* parent = nullptr);

    int WorkspaceMode() const override { return 1; }
    // Renders the client area into the back buffer as a paint would.
    void RenderToBackBuffer();
    const CompositeSurface& BackBuffer() const { return backBuffer_; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    CompositeSurface backBuffer_;
};
