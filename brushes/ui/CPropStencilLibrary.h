#pragma once
// The two owner-drawn controls of the Kitbash tab: the stencil grid (the
// active library's thumbnails with captions) and the library list. Both
// scroll with a thumb in a 14-pixel strip on the right and notify their
// parent with code 0: the grid on every press on a stencil, the list when the
// user switched to another library (already saved and activated).
#include "platform/qt/WindowBase.h"

class QPainter;

#include <string>
#include <vector>

// A window whose content scrolls with a thumb in a kStrip-pixel strip on
// its right: a press in the strip above or below the thumb pages, a press on
// the thumb drags it, and the wheel scrolls by the content's step.
class CStripScrolledWnd : public CWndBase {
    Q_OBJECT
public:
    CStripScrolledWnd(QWidget* parent, int id, int wheelStep, int minThumb);

    int scrollOffset = 0;
    bool thumbDragging = false;
    int dragStartY = 0, dragStartScroll = 0;

    static constexpr int kStrip = 14;
    virtual int ContentHeight() const = 0;
    void ClampScroll();

    void OnLButtonUp(unsigned flags, QPoint point) override;
    bool OnMouseWheel(unsigned flags, int delta, QPoint point) override;
    void OnCaptureLost() override;

protected:
    void resizeEvent(QResizeEvent* e) override;
    // A press in the strip pages or grabs the thumb; false left of the strip.
    bool StripPress(QPoint point);
    // Scrolls with a thumb drag; false when none runs.
    bool ThumbDragMove(QPoint point);
    // The strip at the client's right edge and the thumb, inset from its left.
    void DrawStrip(QPainter& p, int thumbInset);
    // The thumb's top and height; false when the content fits.
    bool Thumb(int& top, int& height) const;

private:
    int wheelStep_, minThumb_;
};

class CPropStencilLibrary : public CStripScrolledWnd {
    Q_OBJECT
public:
    explicit CPropStencilLibrary(QWidget* parent = nullptr, int id = 6102);

    int selectedIndex = -1;
    int hoverIndex = -1;

    static constexpr int kMargin = 4, kPitchX = 64, kPitchY = 76, kTile = 60, kCaption = 12;
    int Columns() const;
    int ContentHeight() const override;
    // The entry under a client point, -1 for none (gaps, strip, past the end).
    int HitTest(QPoint p) const;

    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    int EntryCount() const;
};

class CPropStencilLibraryList : public CStripScrolledWnd {
    Q_OBJECT
public:
    explicit CPropStencilLibraryList(QWidget* parent = nullptr, int id = 6101);

    std::vector<std::string> names;
    int hoverRow = -1;

    static constexpr int kRow = 22;
    void Reload();
    int HitTest(QPoint p) const;
    int ContentHeight() const override { return int(names.size()) * kRow; }

    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;

protected:
    void paintEvent(QPaintEvent* e) override;
};
