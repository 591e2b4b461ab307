#include "brushes/StencilLibraryStore.h"
#include "brushes/StencilOverlay.h"
#include "brushes/ui/CManageKitbashDlg.h"
#include "brushes/ui/CPropStencilLibrary.h"
#include "brushes/ui/CPropTabStencil.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentHost.h"
#include "platform/Prompts.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropSliderWnd.h"
#include "properties/ui/CPropertiesPane.h"
#include "properties/ui/PropControls.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <optional>

namespace {

Prompts* stencilTabPrompts = nullptr;

enum StencilTabIds : int { kList = 6101, kGrid = 6102, kOpacity = 6107, kReset = 6108, kAddNew = 6109 };

// The active document's canvas size, or none.
std::optional<PointF> CanvasSize() {
    if (CQuillfenEditorDoc* doc = GetActiveDocument())
        return PointF{doc->SceneInUse().width, doc->SceneInUse().height};
    return std::nullopt;
}

// A placement the overlay refused is told once, as the canvas tells one
// refused after a drag.
void ReportPlacement(StencilOverlay* overlay) {
    if (!overlay || overlay->placeError.empty()) return;
    const std::string text = overlay->placeError;
    overlay->placeError.clear();
    Prompts* prompts = stencilTabPrompts;
    if (CQuillfenEditorDoc* doc = GetActiveDocument())
        if (DocumentHost* host = doc->Host(); host && host->GetPrompts()) prompts = host->GetPrompts();
    if (prompts) prompts->ShowMessage(MakeMessage(text, PromptIcon::Exclamation));
}

}  // namespace

CPropTabStencil::CPropTabStencil(QWidget* parent) : CWndBase(parent) {
    list_ = new CPropStencilLibraryList(this, kList);
    grid_ = new CPropStencilLibrary(this, kGrid);
    opacity_ = new CPropSliderWnd(this);
    opacity_->Create(this, kOpacity, QRect(0, 0, 200, 22));
    opacity_->SetRange(0, 1);
    opacity_->SetDecimals(2);
    opacity_->ShowValueBox(true);
    opacity_->SetValue(0.5f);
    reset_ = new CPropTextButton(this);
    reset_->Create(this, kReset, "Reset Transform", QRect(0, 0, 200, 26));
    addNew_ = new CPropTextButton(this);
    addNew_->Create(this, kAddNew, "Add New", QRect(0, 0, 200, 26));
    list_->Reload();
    Refresh();
}

void CPropTabStencil::RefreshViews() {
    if (CQuillfenEditorDoc* doc = GetActiveDocument()) doc->RefreshAllViews();
}

void CPropTabStencil::Refresh() {
    syncing_ = true;
    if (StencilOverlay* overlay = GetCurrentStencilOverlay()) opacity_->SetValue(overlay->overlayOpacity);
    syncing_ = false;
    list_->Reload();
    // The grid highlights the stencil the overlay holds, whatever the store re-read.
    if (StencilOverlay* overlay = GetCurrentStencilOverlay()) grid_->selectedIndex = overlay->activeIndex;
    grid_->ClampScroll();
    grid_->update();
    update();
}

bool CPropTabStencil::OnCommand(int id, int code, CWndBase* sender) {
    StencilOverlay* overlay = GetCurrentStencilOverlay();
    switch (id) {
    case kList:
        if (code != kPropClick) break;
        grid_->selectedIndex = grid_->hoverIndex = -1;
        grid_->scrollOffset = 0;
        grid_->update();
        if (overlay) overlay->SelectStencil(-1);
        RefreshViews();
        return true;
    case kGrid:
        if (code != kPropClick) break;
        if (overlay) {
            overlay->SelectStencil(grid_->selectedIndex);
            overlay->ResetTransform(CanvasSize());
        }
        RefreshViews();
        ReportPlacement(overlay);
        return true;
    case kReset:
        if (code != kPropClick) break;
        if (overlay) overlay->ResetTransform(CanvasSize());
        RefreshViews();
        ReportPlacement(overlay);
        return true;
    case kOpacity:
        if (syncing_) return true;
        if (overlay) overlay->overlayOpacity = opacity_->value;
        if (code == kPropChanged || code == kPropEnd) RefreshViews();
        return true;
    case kAddNew: {
        if (code != kPropClick) break;
        CManageKitbashDlg dlg(this, stencilTabPrompts);
        const bool ok = dlg.exec() == QDialog::Accepted;
        StencilLibraryStore& store = StencilLibraryStore::Instance();
        const std::string name = ok && !dlg.ResultLibrary().empty() ? dlg.ResultLibrary() : store.activeName;
        store.SaveActiveLibrary(name);
        if (overlay) overlay->FindActiveAgain();
        Refresh();
        RefreshViews();
        return true;
    }
    default: break;
    }
    return CWndBase::OnCommand(id, code, sender);
}

void CPropTabStencil::resizeEvent(QResizeEvent*) {
    const QRect c = rect();
    const int l = c.left(), t = c.top(), r = c.left() + c.width(), b = c.top() + c.height();
    list_->setGeometry(l + 6, t + 6, 140, std::max(0, b - t - 12));
    grid_->setGeometry(l + 150, t + 6, std::max(0, r - l - 360), std::max(0, b - t - 12));
    opacity_->setGeometry(r - 206, t + 20, 200, 22);
    reset_->setGeometry(r - 206, t + 48, 200, 26);
    addNew_->setGeometry(r - 206, t + 80, 200, 26);
    for (QWidget* w : std::initializer_list<QWidget*>{list_, grid_, opacity_, reset_, addNew_}) w->show();
    update();
}

void CPropTabStencil::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    p.fillRect(e->rect(), ArgbColor(kPropPanelBackground));
    p.setFont(CreateUiFont(10));
    p.setPen(ArgbColor(kPropCaption));
    p.drawText(QPoint(width() - 206, 6 + p.fontMetrics().ascent()), "Overlay opacity");
}

void RegisterStencilTab(Prompts* prompts) {
    stencilTabPrompts = prompts;
    CPropertiesPane::RegisterTabFactory(PropTabKind::Stencil,
                                        [](QWidget* pane) -> IPropertyTab* { return new CPropTabStencil(pane); });
}
