#pragma once
// The panel under the hosted view: a tab strip over one page per property
// tab. Whenever the tool, selection, mode or Pose Editor selection may have
// changed, callers run UpdateForContext; the pane rebuilds its TabContext,
// shows the tabs that apply (the message tab when none does), keeps the
// active tab where it can and points the colour wheel at the active tab's
// colour sink. The pane itself edits nothing.
//
// Registering a tab: at start-up, before the frame is created,
//     CPropertiesPane::RegisterTabFactory(PropTabKind::Brush,
//         [](QWidget* pane) -> IPropertyTab* { return new CPropTabBrush(pane); });
// The pane creates every registered tab once, in PropTabKind order (the
// effect tab last), as a hidden child; the tab's window is GetWnd().
#include "properties/ui/IPropertyTab.h"
#include "properties/ui/PropControls.h"

#include <functional>
#include <memory>
#include <vector>

class CPropTabMessage;
class CToolbarHostWnd;

class CPropertyTabStripWnd : public CWndBase {
    Q_OBJECT
public:
    explicit CPropertyTabStripWnd(QWidget* parent = nullptr) : CWndBase(parent, 4001) {}
    void SetCallbacks(std::function<const std::vector<IPropertyTab*>&()> tabs, std::function<int()> activeIndex,
                      std::function<void(int)> select);
    void LayoutTabs();
    struct TabRect {
        int index;
        QRect rect;
    };
    const std::vector<TabRect>& TabRects() const { return rects_; }

    void OnLButtonDown(unsigned flags, QPoint point) override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    std::function<const std::vector<IPropertyTab*>&()> tabs_;
    std::function<int()> activeIndex_;
    std::function<void(int)> select_;
    std::vector<TabRect> rects_;
};

class CPropertiesPane : public CWndBase {
    Q_OBJECT
public:
    using TabFactory = std::function<IPropertyTab*(QWidget* pane)>;
    static void RegisterTabFactory(PropTabKind kind, TabFactory factory);

    CPropertiesPane();
    ~CPropertiesPane() override;
    // Creates the pane under parent at rect with its strip and every tab,
    // then runs the first update and layout.
    bool CreateChildren(QWidget* parent, const QRect& rect);
    void UpdateForContext();
    void Layout();
    void SetColorSink(IColorSinkhole* sink);
    IColorSinkhole* ColorSink() const { return colorSink_; }
    // The frame gives the wheel's colour to a target without a sink (a
    // light's tint): the wheel shows it already, so updates in between do not
    // load it back.
    void BeginWheelDelivery() { delivering_ = true; }
    void EndWheelDelivery();
    IPropertyTab* ActiveTab() const;
    int ActiveIndex() const { return activeIndex_; }
    const std::vector<IPropertyTab*>& VisibleTabs() const { return visible_; }
    const TabContext& Context() const { return context_; }
    CPropertyTabStripWnd* Strip() const { return strip_; }
    // Deselect, Invert, Selection overlay and Brush isolation beside the
    // strip, shown for the paint and selection tools; its owner gives it
    // the command route to the frame.
    CToolbarHostWnd* SelectionToolbar() const { return selectionBar_; }
    // The tab of a kind this pane created, or null.
    IPropertyTab* FindTab(PropTabKind kind) const;
    void SelectVisible(int index);
    // A colour picked in the wheel or with the eyedropper: to the current
    // sink, else as the single selected light cone's tint; then the active
    // tab re-reads the model.
    void DeliverPickedColor(uint32_t argb);
    // A wheel interaction with the current sink (IColorSinkhole::BeginColorEdit);
    // false when there is no sink. A sink that stops being the target meanwhile
    // ends its interaction first.
    bool BeginColorEdit();
    void EndColorEdit();

    // The pane of the main window (null before it exists).
    static CPropertiesPane* Instance();
    // Points the colour target at the active tab's sink again.
    static void SyncColorSink();
    // Every tab hears that the brush libraries changed.
    static void BroadcastLibrariesChanged();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void RebuildTabList(const TabContext& ctx);
    void SelectTab();
    void CreateSelectionToolbar();

    CPropertyTabStripWnd* strip_ = nullptr;
    CToolbarHostWnd* selectionBar_ = nullptr;
    CPropTabMessage* message_ = nullptr;
    std::vector<std::pair<PropTabKind, IPropertyTab*>> groupA_, groupB_;
    std::vector<IPropertyTab*> visible_;
    int activeIndex_ = -1;
    TabContext context_;
    bool contextValid_ = false;
    IColorSinkhole* colorSink_ = nullptr;
    IColorSinkhole* editSink_ = nullptr;  // the sink of the wheel interaction in progress
    // The target's colour the wheel last showed: an undo or redo that changes
    // the target behind the wheel's back is shown at the next update.
    bool targetShown_ = false;
    bool delivering_ = false;  // a colour from the wheel is on its way to the target
    uint32_t shownTargetColor_ = 0;
    const void* shownTarget_ = nullptr;  // the sink, or the light object, last shown
    bool WheelTargetColor(uint32_t& argb, const void** target = nullptr);
    void ShowTargetInWheel();
};
