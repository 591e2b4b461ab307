#pragma once
// The "Selection" and "Refine" property tabs of the selection tools: the
// combine op, antialias, feather and (for the Magic Wand) tolerance, and the
// refine operation with its radius. What each control does is in
// selection/SelectionTabs; these are the windows.
#include "platform/qt/WindowBase.h"
#include "properties/ui/IPropertyTab.h"
#include "properties/ui/PropControls.h"

#include <vector>

class CPropCheckbox;
class CPropCombineOpButtons;
class CPropNumericEdit;
class CPropTextSegmented;

class CPropTabSelection : public CWndBase, public IPropertyTab {
    Q_OBJECT
public:
    explicit CPropTabSelection(QWidget* parent);
    bool AppliesTo(const TabContext& ctx) const override { return PropTabApplies(PropTabKind::Selection, ctx); }
    std::string GetTitle() const override { return "Selection"; }
    QWidget* GetWnd() override { return this; }
    void OnContext(const TabContext& ctx) override;
    void Refresh() override;
    bool OnCommand(int id, int code, CWndBase* sender) override;
    bool ToleranceShown() const;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    CPropCombineOpButtons* combine_ = nullptr;
    CPropCheckbox* antialias_ = nullptr;
    CPropNumericEdit* feather_ = nullptr;
    CPropNumericEdit* tolerance_ = nullptr;
    std::vector<PropGridPanel> panels_;
    int tool_ = 18;
    bool loading_ = false;
};

class CPropTabSelectionRefine : public CWndBase, public IPropertyTab {
    Q_OBJECT
public:
    explicit CPropTabSelectionRefine(QWidget* parent);
    bool AppliesTo(const TabContext& ctx) const override {
        return PropTabApplies(PropTabKind::SelectionRefine, ctx);
    }
    std::string GetTitle() const override { return "Refine"; }
    QWidget* GetWnd() override { return this; }
    void Refresh() override;
    bool OnCommand(int id, int code, CWndBase* sender) override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    CPropTextSegmented* operation_ = nullptr;
    CPropNumericEdit* pixels_ = nullptr;
    std::vector<PropGridPanel> panels_;
    bool loading_ = false;
};

class CPropSliderWnd;

// The inpaint workspace's "Brush" tab: the radius of the source brush.
class CPropTabInpaintBrush : public CWndBase, public IPropertyTab {
    Q_OBJECT
public:
    explicit CPropTabInpaintBrush(QWidget* parent);
    bool AppliesTo(const TabContext& ctx) const override { return PropTabApplies(PropTabKind::InpaintBrush, ctx); }
    std::string GetTitle() const override { return "Brush"; }
    QWidget* GetWnd() override { return this; }
    void Refresh() override;
    bool OnCommand(int id, int code, CWndBase* sender) override;
    CPropSliderWnd* Slider() const { return size_; }
    // The radius shown: the open session's, 24 without one.
    static int SessionRadius();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    CPropSliderWnd* size_ = nullptr;
    std::vector<PropGridPanel> panels_;
};

// Registers the selection and inpaint tabs with the properties pane (before
// the frame exists).
void RegisterSelectionTabs();
