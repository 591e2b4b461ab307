#pragma once
// The inpaint workspace (mode 2): the object's crop over a checkerboard, the
// hole in red and the source region in green, at a zoom with scroll bars. The
// left button paints the source region with a round brush whose circle
// follows the pointer.
#include "platform/qt/CThemedScrollCtrl.h"
#include "platform/qt/CView.h"

#include <QImage>

class InpaintSession;
struct InpaintViewGeometry;

class CInpaintView : public CView {
    Q_OBJECT
public:
    explicit CInpaintView(QWidget* parent = nullptr);
    ~CInpaintView() override;

    int WorkspaceMode() const override { return 2; }
    void OnUpdate(CView* sender, int hint) override;

    // Geometry, exposed for tests. The client excludes the scroll bars.
    QSize ClientSize() const;
    void FitToWindow();
    void ClampOffsets();
    void UpdateScrollBars();
    // The image pixel under a client point; false outside the image.
    bool ViewToImage(QPoint client, int& x, int& y) const;
    // Dabs from the last point to (x, y); the changed image rectangle.
    QRect PaintStrokeTo(int x, int y);
    float Zoom() const { return zoom_; }
    float OffsetX() const { return offsetX_; }
    float OffsetY() const { return offsetY_; }
    CThemedScrollCtrl& HorizontalBar() { return hbar_; }
    CThemedScrollCtrl& VerticalBar() { return vbar_; }

    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnLButtonUp(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;
    void OnMouseLeave() override;
    void OnCaptureLost() override;
    bool OnMouseWheel(unsigned flags, int delta, QPoint point) override;
    void OnHScroll(int code, int position, CWndBase* bar) override;
    void OnVScroll(int code, int position, CWndBase* bar) override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    InpaintSession* Session() const;
    // The view's zoom, offset, crop size and device pixel ratio.
    InpaintViewGeometry Geometry() const;
    int BrushRadius() const;
    void LayoutBars();
    void Scroll(CThemedScrollCtrl& bar, int code, int position, float& offset);
    void RefreshImageRect(const QRect& imageRect);
    void UpdateOverlayRect(const QRect& imageRect);
    void InvalidateImageRect(const QRect& imageRect);
    void InvalidateHover();

    float zoom_ = 1.0f;
    float offsetX_ = 0, offsetY_ = 0;
    bool fitPending_ = true;
    QImage overlay_;
    int fittedW_ = -1, fittedH_ = -1;
    bool painting_ = false;
    int lastX_ = 0, lastY_ = 0;
    int hoverX_ = 0, hoverY_ = 0;
    bool hover_ = false;
    CThemedScrollCtrl hbar_;
    CThemedScrollCtrl vbar_;
};
