#pragma once
// The two owner-drawn controls of the Kitbash tab: the stencil grid (the
// active library's thumbnails with captions) and the library list. Both
// scroll with a thumb in a 14-pixel strip on the right and notify their
// parent with code 0: the grid on every press on a stencil, the list when the
// user switched to another library (already saved and activated).
#include "platform/qt/WindowBase.h"

#include <string>
#include <vector>

class CPropStencilLibrary : public CWndBase {
    Q_OBJECT
public:
    explicit CPropStencilLibrary(QWidget* parent = nullptr, int id = 6102);

    int selectedIndex = -1;
    int hoverIndex = -1;
    int scrollOffset = 0;
    bool thumbDragging = false;
    int dragStartY = 0, dragStartScroll = 0;

    static constexpr int kStrip = 14, kMargin = 4, kPitchX = 64, kPitchY = 76, kTile = 60, kCaption = 12;
    int Columns() const;
    int ContentHeight() const;
    // The entry under a client point, -1 for none (gaps, strip, past the end).
    int HitTest(QPoint p) const;
    void ClampScroll();

    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnLButtonUp(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;
    bool OnMouseWheel(unsigned flags, int delta, QPoint point) override;
    void OnCaptureLost() override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    int EntryCount() const;
    // The thumb's top and height; false when the content fits.
    bool Thumb(int& top, int& height) const;
};

class CPropStencilLibraryList : public CWndBase {
    Q_OBJECT
public:
    explicit CPropStencilLibraryList(QWidget* parent = nullptr, int id = 6101);

    std::vector<std::string> names;
    int hoverRow = -1;
    int scrollOffset = 0;
    bool thumbDragging = false;
    int dragStartY = 0, dragStartScroll = 0;

    static constexpr int kRow = 22, kStrip = 14;
    void Reload();
    int HitTest(QPoint p) const;
    void ClampScroll();

    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnLButtonUp(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;
    bool OnMouseWheel(unsigned flags, int delta, QPoint point) override;
    void OnCaptureLost() override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    bool Thumb(int& top, int& height) const;
};
