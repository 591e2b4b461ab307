#pragma once
// The list of an object's filters on the left of the "Effect" tab: a header
// with the master enable box, "Add", "Remove" and the two move arrows, then
// one row per filter with its enable box and name, and a thin scroll bar when
// the rows overflow. It owns no model data: it reads the stack through a
// callback each time and reports every action through the others.
#include "filters/EffectInstance.h"
#include "platform/qt/WindowBase.h"

#include <QRect>

#include <functional>
#include <vector>

class CEffectStackListWnd : public CWndBase {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 22;
    static constexpr int kHeaderHeight = 22;
    static constexpr int kScrollBarWidth = 10;
    static constexpr int kWheelStep = 66;

    enum Zone {
        kZoneNone = 0,
        kZoneMaster = 1,
        kZoneAdd = 2,
        kZoneRemove = 3,
        kZoneUp = 4,
        kZoneDown = 5,
        kZoneRow = 6,
        kZoneRowBox = 7,
        kZoneThumb = 8,
        kZoneTrackAbove = 9,
        kZoneTrackBelow = 10,
    };

    explicit CEffectStackListWnd(QWidget* parent = nullptr, int controlId = 4104);

    // Set by the tab. The stack is read live on every use (null: empty).
    std::function<const std::vector<EffectInstance>*()> getStack;
    std::function<void(int index)> onSelect;
    std::function<void(int index, bool enabled)> onEnableOne;
    std::function<void(bool enabled)> onEnableAll;
    std::function<void(QPoint screenPoint)> onAdd;
    std::function<void(int index)> onRemove;
    std::function<void(int index, int delta)> onMove;

    int Selection() const { return selection_; }
    int Scroll() const { return scroll_; }
    int MaxScroll() const;
    // An index outside the stack becomes -1; a new row is scrolled into view.
    void SetSelection(int index);
    // After the stack changed: the selection and scroll are clamped.
    void Refresh();
    // Zone under a client point and the row it names (-1 for none).
    int HitTest(QPoint point, int& index) const;
    // The thumb rectangle, empty when the rows fit.
    QRect ThumbRect() const;

    QRect HeaderRect() const { ComputeLayout(); return header_; }
    QRect MasterRect() const { ComputeLayout(); return master_; }
    QRect AddRect() const { ComputeLayout(); return add_; }
    QRect RemoveRect() const { ComputeLayout(); return remove_; }
    QRect UpRect() const { ComputeLayout(); return up_; }
    QRect DownRect() const { ComputeLayout(); return down_; }
    QRect RowsRect() const { ComputeLayout(); return rows_; }

    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnLButtonUp(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;
    void OnMouseLeave() override;
    bool OnMouseWheel(unsigned flags, int delta, QPoint point) override;
    void OnCaptureLost() override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    int Count() const;
    // The rectangles follow the client size; recomputed on first use after
    // a size change (a hidden window gets its resize event only when shown).
    void ComputeLayout() const;
    void SetScroll(int scroll);
    void EndThumbDrag();

    int selection_ = -1;
    int scroll_ = 0;
    int hoverZone_ = kZoneNone, hoverIndex_ = -1;
    bool pressed_ = false;
    int pressedZone_ = kZoneNone, pressedIndex_ = -1;
    bool thumbDrag_ = false;
    int grabOffset_ = 0;
    mutable QSize laidOut_{-1, -1};
    mutable QRect header_, master_, add_, remove_, up_, down_, rows_, scrollBar_;
};
