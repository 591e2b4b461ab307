#pragma once
// The "Kitbash" property tab of the Stencil Kitbash tool: the stencil
// libraries, the grid of the active library's stencils, the overlay's
// preview opacity, Reset Transform and Add New (the Manage Kitbash dialog).
#include "platform/qt/WindowBase.h"
#include "properties/ui/IPropertyTab.h"

class CPropSliderWnd;
class CPropStencilLibrary;
class CPropStencilLibraryList;
class CPropTextButton;
class Prompts;

class CPropTabStencil : public CWndBase, public IPropertyTab {
    Q_OBJECT
public:
    explicit CPropTabStencil(QWidget* parent);
    bool AppliesTo(const TabContext& ctx) const override { return PropTabApplies(PropTabKind::Stencil, ctx); }
    std::string GetTitle() const override { return "Kitbash"; }
    int GetTabWidth() const override { return 88; }
    QWidget* GetWnd() override { return this; }
    void OnContext(const TabContext&) override { Refresh(); }
    void Refresh() override;
    bool OnCommand(int id, int code, CWndBase* sender) override;

    CPropStencilLibraryList* List() const { return list_; }
    CPropStencilLibrary* Grid() const { return grid_; }
    CPropSliderWnd* Opacity() const { return opacity_; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void RefreshViews();

    CPropStencilLibraryList* list_ = nullptr;
    CPropStencilLibrary* grid_ = nullptr;
    CPropSliderWnd* opacity_ = nullptr;
    CPropTextButton *reset_ = nullptr, *addNew_ = nullptr;
    bool syncing_ = false;
};

// Registers the tab with the properties pane; prompts serve the dialog.
void RegisterStencilTab(Prompts* prompts);
