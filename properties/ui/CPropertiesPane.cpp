#include "properties/ui/CPropertiesPane.h"

#include "document/CQuillfenEditorDoc.h"
#include "document/CommandIds.h"
#include "platform/qt/CToolbarHostWnd.h"
#include "platform/qt/CMemDC2.h"
#include "properties/ui/CPropTabs.h"

#include <QFontMetricsF>
#include <QPaintEvent>

#include <algorithm>
#include <map>

// --- Host and active document ---
namespace {
PropertiesPaneHost*& HostSlot() {
    static PropertiesPaneHost* host = nullptr;
    return host;
}
CPropertiesPane*& PaneSlot() {
    static CPropertiesPane* pane = nullptr;
    return pane;
}
std::map<PropTabKind, CPropertiesPane::TabFactory>& Factories() {
    static std::map<PropTabKind, CPropertiesPane::TabFactory> factories;
    return factories;
}
}  // namespace

QWidget* IPropertyTab::GetWnd() { return dynamic_cast<QWidget*>(this); }

void SetPropertiesPaneHost(PropertiesPaneHost* host) { HostSlot() = host; }
PropertiesPaneHost* GetPropertiesPaneHost() { return HostSlot(); }
CQuillfenEditorDoc* GetActiveDocument() { return HostSlot() ? HostSlot()->GetActiveDocument() : nullptr; }

// --- Tab strip ---
void CPropertyTabStripWnd::SetCallbacks(std::function<const std::vector<IPropertyTab*>&()> tabs,
                                        std::function<int()> activeIndex, std::function<void(int)> select) {
    tabs_ = std::move(tabs);
    activeIndex_ = std::move(activeIndex);
    select_ = std::move(select);
}

void CPropertyTabStripWnd::LayoutTabs() {
    rects_.clear();
    if (!tabs_) return;
    int x = 0;
    const auto& tabs = tabs_();
    for (size_t i = 0; i < tabs.size(); ++i) {
        const int w = std::max(40, tabs[i]->GetTabWidth());
        rects_.push_back({int(i), QRect(x, 0, w, height())});
        x += w + 2;
    }
}

void CPropertyTabStripWnd::resizeEvent(QResizeEvent* e) {
    CWndBase::resizeEvent(e);
    LayoutTabs();
}

void CPropertyTabStripWnd::OnLButtonDown(unsigned, QPoint point) {
    for (const TabRect& r : rects_) {
        if (!r.rect.contains(point)) continue;
        if (select_) select_(r.index);
        update();
        return;
    }
}

void CPropertyTabStripWnd::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    p.fillRect(rect(), ArgbColor(0xFF1C1F24));
    p.fillRect(QRect(0, height() - 1, width(), 1), ArgbColor(0xFF3C4046));
    if (!tabs_) return;
    const auto& tabs = tabs_();
    const int active = activeIndex_ ? activeIndex_() : -1;
    const QFont font = CreateUiFont();
    p.setFont(font);
    for (const TabRect& r : rects_) {
        if (r.index < 0 || r.index >= int(tabs.size())) continue;
        if (r.index == active) p.fillRect(r.rect, ArgbColor(0xFF30343A));
        p.setPen(ArgbColor(r.index == active ? 0xFFE8EAEE : 0xFF969AA0));
        p.drawText(r.rect, Qt::AlignCenter | Qt::TextSingleLine, QString::fromStdString(tabs[size_t(r.index)]->GetTitle()));
    }
}

// --- Pane ---
void CPropertiesPane::RegisterTabFactory(PropTabKind kind, TabFactory factory) { Factories()[kind] = std::move(factory); }

CPropertiesPane::CPropertiesPane() : CWndBase(nullptr, 32813) { setObjectName("PropertiesPane"); }

CPropertiesPane::~CPropertiesPane() {
    if (PaneSlot() == this) PaneSlot() = nullptr;
    editSink_ = nullptr;
    visible_.clear();
    // Group B, then group A, each in order.
    for (auto& [kind, tab] : groupB_) delete tab;
    for (auto& [kind, tab] : groupA_) delete tab;
}

CPropertiesPane* CPropertiesPane::Instance() { return PaneSlot(); }

namespace {
constexpr int kSelectionBarWidth = 168;
constexpr int kStripHeight = 24;

// The selection toolbar is shown for the paint and selection tools, except
// Stencil Kitbash, whose tabs need the whole strip.
bool ShowsSelectionToolbar(int tool) { return tool >= 9 && tool <= 27 && tool != kToolStencilKitbash; }
}  // namespace

void CPropertiesPane::CreateSelectionToolbar() {
    selectionBar_ = new CToolbarHostWnd(this, 4002);
    // The pane's own greys and blues, so the bar reads as part of the strip.
    static const uint32_t kColours[7] = {0x22262C, 0x22262C, 0x30363F, 0x30363F, 0x3B434E, 0x485F7E, 0x485F7E};
    selectionBar_->SetThemeColours(kColours);
    selectionBar_->SetInvertIcons(true);
    selectionBar_->SetIconSize(kStripHeight);
    selectionBar_->SetButtons(
        {CToolbarButtonDesc::Command(kCmdDeselect, "small_desel.png", "Deselect", "Clear the current selection."),
         CToolbarButtonDesc::Command(kCmdInverse, "small_invert.png", "Invert", "Invert the current selection."),
         CToolbarButtonDesc::Command(kCmdSelectionOverlay, "small_mask.png", "Selection overlay",
                                     "Show a translucent red wash over unselected / feathered area."),
         CToolbarButtonDesc::Command(kCmdBrushIsolation, "small_isolation.png", "Brush isolation",
                                     "Paint ignoring the object's opacity and blend mode.")});
    selectionBar_->hide();
}

bool CPropertiesPane::CreateChildren(QWidget* parent, const QRect& rect) {
    setParent(parent);
    setGeometry(rect);
    setAttribute(Qt::WA_OpaquePaintEvent);
    show();
    strip_ = new CPropertyTabStripWnd(this);
    strip_->SetCallbacks([this]() -> const std::vector<IPropertyTab*>& { return visible_; },
                         [this] { return activeIndex_; }, [this](int i) { SelectVisible(i); });
    strip_->show();
    CreateSelectionToolbar();
    message_ = new CPropTabMessage(this);
    message_->hide();
    for (int k = 0; k < int(PropTabKind::Count); ++k) {
        const PropTabKind kind = PropTabKind(k);
        TabFactory factory;
        auto it = Factories().find(kind);
        if (it != Factories().end()) factory = it->second;
        else if (kind == PropTabKind::Object) factory = [](QWidget* pane) -> IPropertyTab* { return new CPropTabObject(pane); };
        else if (kind == PropTabKind::LightCone) factory = [](QWidget* pane) -> IPropertyTab* { return new CPropTabLightCone(pane); };
        if (!factory) continue;
        IPropertyTab* tab = factory(this);
        if (!tab) continue;
        QWidget* w = tab->GetWnd();
        if (!w) {
            delete tab;
            return false;
        }
        if (w->parentWidget() != this) w->setParent(this);
        w->hide();
        (kind == PropTabKind::Effect ? groupB_ : groupA_).push_back({kind, tab});
    }
    PaneSlot() = this;
    UpdateForContext();
    Layout();
    return true;
}

IPropertyTab* CPropertiesPane::FindTab(PropTabKind kind) const {
    for (const auto& [k, tab] : groupA_)
        if (k == kind) return tab;
    for (const auto& [k, tab] : groupB_)
        if (k == kind) return tab;
    return nullptr;
}

IPropertyTab* CPropertiesPane::ActiveTab() const {
    return activeIndex_ >= 0 && activeIndex_ < int(visible_.size()) ? visible_[size_t(activeIndex_)] : nullptr;
}

void CPropertiesPane::Layout() {
    if (width() <= 0 || height() <= 0) return;
    const bool bar = selectionBar_ && !selectionBar_->isHidden();
    const int stripWidth = bar ? std::max(0, width() - kSelectionBarWidth) : width();
    strip_->setGeometry(0, 0, stripWidth, kStripHeight);
    strip_->LayoutTabs();
    strip_->update();
    if (selectionBar_) selectionBar_->setGeometry(stripWidth, 0, bar ? kSelectionBarWidth : 0, kStripHeight);
    const QRect page(0, kStripHeight, width(), std::max(0, height() - kStripHeight));
    for (auto& [kind, tab] : groupA_)
        if (QWidget* w = tab->GetWnd()) w->setGeometry(page);
    for (auto& [kind, tab] : groupB_)
        if (QWidget* w = tab->GetWnd()) w->setGeometry(page);
    message_->setGeometry(page);
}

void CPropertiesPane::resizeEvent(QResizeEvent* e) {
    CWndBase::resizeEvent(e);
    Layout();
}

void CPropertiesPane::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    p.fillRect(e->rect(), QColor(0x22, 0x26, 0x2C));
}

void CPropertiesPane::UpdateForContext() {
    const TabContext ctx = BuildTabContext(GetActiveDocument());
    if (selectionBar_) {
        const bool show = ShowsSelectionToolbar(ctx.tool);
        if (show == selectionBar_->isHidden()) {
            selectionBar_->setVisible(show);
            Layout();
        }
        if (show) selectionBar_->UpdateCommandUI();
    }
    if (contextValid_ && ctx == context_) {
        if (IPropertyTab* t = ActiveTab()) t->Refresh();
        ShowTargetInWheel();
        return;
    }
    context_ = ctx;
    contextValid_ = true;
    RebuildTabList(ctx);
    SelectTab();
    if (IPropertyTab* t = ActiveTab()) t->Refresh();
    ShowTargetInWheel();
}

// The wheel's target: the pane's colour sink, or without one a single
// selected light's tint.
bool CPropertiesPane::WheelTargetColor(uint32_t& argb, const void** target) {
    if (colorSink_) {
        argb = colorSink_->GetColor();
        if (target) *target = colorSink_;
        return true;
    }
    if (context_.selectionCount != 1 || context_.objectId.empty()) return false;
    CQuillfenEditorDoc* doc = GetActiveDocument();
    const CanvasObject* o = doc ? doc->mainScene.FindObject(context_.objectId) : nullptr;
    if (!o || o->kind != kObjectLightCone) return false;
    argb = o->lightCone.tint;
    if (target) *target = o;
    return true;
}

// Loads the target's colour into the wheel when the wheel gets a new target,
// or when its colour changed outside the wheel (undo, redo, a value typed
// elsewhere); never in the middle of a wheel interaction, and not again for
// the colour the wheel itself gave (reloading it would round the wheel's
// position and lose a grey's hue).
void CPropertiesPane::EndWheelDelivery() {
    delivering_ = false;
    targetShown_ = WheelTargetColor(shownTargetColor_, &shownTarget_);
}

void CPropertiesPane::ShowTargetInWheel() {
    if (editSink_ || delivering_) return;
    PropertiesPaneHost* host = GetPropertiesPaneHost();
    uint32_t argb = 0;
    const void* target = nullptr;
    if (!host || !host->HasColorWheel() || !WheelTargetColor(argb, &target)) {
        targetShown_ = false;
        return;
    }
    if (targetShown_ && target == shownTarget_ && argb == shownTargetColor_) return;
    host->LoadColorWheel(ArgbToColorRef(argb));
    targetShown_ = true;
    shownTarget_ = target;
    shownTargetColor_ = argb;
}

void CPropertiesPane::RebuildTabList(const TabContext& ctx) {
    IPropertyTab* previous = ActiveTab();
    visible_.clear();
    for (auto& [kind, tab] : groupA_)
        if (tab->AppliesTo(ctx)) visible_.push_back(tab);
    for (auto& [kind, tab] : groupB_)
        if (tab->AppliesTo(ctx)) visible_.push_back(tab);
    if (visible_.empty()) visible_.push_back(message_);
    activeIndex_ = 0;
    auto it = std::find(visible_.begin(), visible_.end(), previous);
    if (previous && it != visible_.end()) {
        activeIndex_ = int(it - visible_.begin());
    } else if (ctx.tool == kToolStencilKitbash) {
        PropertiesPaneHost* host = GetPropertiesPaneHost();
        IPropertyTab* kitbash = FindTab(PropTabKind::Stencil);
        auto k = std::find(visible_.begin(), visible_.end(), kitbash);
        if (kitbash && k != visible_.end() && !(host && host->HasActiveStencil())) activeIndex_ = int(k - visible_.begin());
    }
    for (IPropertyTab* t : visible_) t->OnContext(ctx);
    strip_->LayoutTabs();
    strip_->update();
}

void CPropertiesPane::SelectTab() {
    IPropertyTab* active = ActiveTab();
    for (auto* group : {&groupA_, &groupB_})
        for (auto& [kind, tab] : *group)
            if (QWidget* w = tab->GetWnd()) w->setVisible(tab == active);
    message_->setVisible(active == message_);
    strip_->update();
    SetColorSink(active ? active->GetColorSink() : nullptr);
}

void CPropertiesPane::SelectVisible(int index) {
    if (index < 0 || index >= int(visible_.size())) return;
    activeIndex_ = index;
    SelectTab();
    if (IPropertyTab* t = ActiveTab()) t->Refresh();
}

void CPropertiesPane::SetColorSink(IColorSinkhole* sink) {
    if (sink == colorSink_) return;
    if (editSink_) EndColorEdit();
    colorSink_ = sink;
    PropertiesPaneHost* host = GetPropertiesPaneHost();
    if (!host) return;
    if (sink) {
        host->SetColorWheelCaption(sink->GetTitle());
        ShowTargetInWheel();
    } else if (host->HasColorWheel() && !host->ColorWheelCaption().empty()) {
        host->SetColorWheelCaption("");
    }
}

void CPropertiesPane::DeliverPickedColor(uint32_t argb) {
    delivering_ = true;
    bool delivered = true;
    if (colorSink_) {
        colorSink_->SetColor(argb);
    } else {
        CQuillfenEditorDoc* doc = GetActiveDocument();
        delivered = doc && doc->SetLightTint(argb);
    }
    EndWheelDelivery();  // the wheel already shows this colour
    if (!delivered) return;
    if (IPropertyTab* t = ActiveTab()) t->Refresh();
}

bool CPropertiesPane::BeginColorEdit() {
    if (editSink_) EndColorEdit();
    if (!colorSink_) return false;
    editSink_ = colorSink_;
    editSink_->BeginColorEdit();
    return true;
}

void CPropertiesPane::EndColorEdit() {
    IColorSinkhole* sink = editSink_;
    if (!sink) return;
    editSink_ = nullptr;
    sink->EndColorEdit();
    targetShown_ = WheelTargetColor(shownTargetColor_, &shownTarget_);
    if (IPropertyTab* t = ActiveTab()) t->Refresh();
}

void CPropertiesPane::SyncColorSink() {
    CPropertiesPane* pane = Instance();
    if (!pane) return;
    IPropertyTab* t = pane->ActiveTab();
    pane->SetColorSink(t ? t->GetColorSink() : nullptr);
}

void CPropertiesPane::BroadcastLibrariesChanged() {
    CPropertiesPane* pane = Instance();
    if (!pane) return;
    for (auto& [kind, tab] : pane->groupA_) tab->OnLibrariesChanged();
    for (auto& [kind, tab] : pane->groupB_) tab->OnLibrariesChanged();
}
