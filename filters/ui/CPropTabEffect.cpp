#include "filters/ui/CPropTabEffect.h"

#include "document/CQuillfenEditorDoc.h"
#include "filters/EffectRegistry.h"
#include "filters/ui/CEffectStackListWnd.h"
#include "filters/ui/EffectParamsViews.h"
#include "filters/ui/EffectViewFactories.h"
#include "platform/qt/CMemDC2.h"
#include "properties/ui/CPropertiesPane.h"

#include <QMenu>
#include <QPaintEvent>

#include <algorithm>

namespace {

constexpr int kListWidth = 208;

const std::vector<EffectInstance>& EmptyStack() {
    static const std::vector<EffectInstance> empty;
    return empty;
}

}  // namespace

CPropTabEffect::CPropTabEffect(QWidget* parent) : CWndBase(parent, 4103) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    list_ = new CEffectStackListWnd(this, 4104);
    list_->getStack = [this] { return Stack(); };
    list_->onSelect = [this](int) {
        ShowParamsView();
        update();
    };
    list_->onEnableOne = [this](int index, bool enabled) {
        CQuillfenEditorDoc* doc = Doc();
        if (doc) SetObjectEffectEnabled(*doc, objectId_, index, enabled);
        list_->Refresh();
        if (index == list_->Selection()) EnableView(enabled);
    };
    list_->onEnableAll = [this](bool enabled) {
        CQuillfenEditorDoc* doc = Doc();
        if (doc) SetAllObjectEffectsEnabled(*doc, objectId_, enabled);
        list_->Refresh();
        EnableView(enabled);
    };
    list_->onAdd = [this](QPoint at) { ShowAddMenu(at); };
    list_->onRemove = [this](int index) {
        CQuillfenEditorDoc* doc = Doc();
        if (!doc || objectId_.empty()) return;
        RemoveObjectEffect(*doc, objectId_, index);
        const std::vector<EffectInstance>* stack = Stack();
        const int count = stack ? int(stack->size()) : 0;
        AfterStackChange(count == 0 ? -1 : std::min(index, count - 1));
    };
    list_->onMove = [this](int index, int delta) {
        CQuillfenEditorDoc* doc = Doc();
        if (!doc || objectId_.empty()) return;
        if (MoveObjectEffect(*doc, objectId_, index, index + delta)) AfterStackChange(index + delta);
    };
    list_->show();
}

CPropTabEffect::~CPropTabEffect() {
    // The interaction in progress still becomes its undo step.
    if (CQuillfenEditorDoc* doc = Doc(); doc && recorder_.IsOpen()) recorder_.End(*doc);
    list_->getStack = nullptr;
}

CQuillfenEditorDoc* CPropTabEffect::Doc() const { return GetActiveDocument(); }

const std::vector<EffectInstance>* CPropTabEffect::Stack() const {
    CQuillfenEditorDoc* doc = Doc();
    const std::vector<EffectInstance>* stack = doc ? FindEffectStack(*doc, objectId_) : nullptr;
    return stack ? stack : &EmptyStack();
}

bool CPropTabEffect::AppliesTo(const TabContext& ctx) const { return PropTabApplies(PropTabKind::Effect, ctx); }

void CPropTabEffect::OnContext(const TabContext& ctx) {
    if (ctx.objectId != objectId_) {
        if (CQuillfenEditorDoc* doc = Doc(); doc && recorder_.IsOpen()) recorder_.End(*doc);
        objectId_ = ctx.objectId;
        list_->SetSelection(-1);
        ShowParamsView();
    }
    list_->Refresh();
    update();
}

void CPropTabEffect::Refresh() {
    list_->Refresh();
    // Undo, redo or another edit may have changed the stack under the
    // selection: a filter of another type gets its own view, the same type
    // shows its record again.
    EffectInstance* instance = CurrentInstance();
    if ((instance ? int(instance->type) : -1) != shownType_) {
        ShowParamsView();
    } else if (view_ && instance) {
        view_->LoadParams(*instance, this);
        EnableView(instance->enabled);
    }
    update();
}

IColorSinkhole* CPropTabEffect::GetColorSink() { return view_ ? view_->GetColorSink() : nullptr; }

EffectInstance* CPropTabEffect::CurrentInstance() {
    CQuillfenEditorDoc* doc = Doc();
    return doc ? FindEffectInstance(*doc, objectId_, list_->Selection()) : nullptr;
}

BitmapPtr CPropTabEffect::GetSourceBitmap() {
    CQuillfenEditorDoc* doc = Doc();
    CanvasObject* object = doc && !objectId_.empty() ? doc->mainScene.FindObject(objectId_) : nullptr;
    if (!object || object->parts.empty()) return nullptr;
    return object->parts.front().GetDecoded();
}

void CPropTabEffect::EnableView(bool enabled) {
    if (!view_) return;
    view_->setEnabled(enabled);
    for (QObject* child : view_->children())
        if (auto* w = qobject_cast<QWidget*>(child)) w->setEnabled(enabled);
}

void CPropTabEffect::ShowParamsView() {
    if (view_) {
        // A view replaced mid-interaction still records what it changed.
        if (CQuillfenEditorDoc* doc = Doc(); doc && recorder_.IsOpen()) recorder_.End(*doc);
        view_->hide();
        view_->deleteLater();
        view_ = nullptr;
    }
    shownType_ = -1;
    if (EffectInstance* instance = CurrentInstance()) {
        shownType_ = instance->type;
        view_ = CreateEffectParamsView(instance->type, this, kViewId);
        if (view_) {
            view_->LoadParams(*instance, this);
            view_->show();
            EnableView(instance->enabled);
            LayoutParamsView();
        }
    }
    if (CPropertiesPane::Instance()) CPropertiesPane::SyncColorSink();
}

void CPropTabEffect::LayoutParamsView() {
    const QRect r = rect();
    list_->setGeometry(0, 0, std::min(r.width(), kListWidth), r.height());
    if (!view_) return;
    const int left = std::min(r.left() + kListWidth, r.right() + 1);
    const int width = r.right() + 1 - left;
    if (width > 0) view_->setGeometry(left, 0, width, r.height());
}

void CPropTabEffect::resizeEvent(QResizeEvent*) { LayoutParamsView(); }

void CPropTabEffect::AfterStackChange(int selection) {
    list_->SetSelection(selection);
    list_->Refresh();
    ShowParamsView();
    update();
}

void CPropTabEffect::AddEffect(uint8_t type) {
    CQuillfenEditorDoc* doc = Doc();
    if (!doc || objectId_.empty() || FindEffectTypeInfo(type).init == nullptr) return;
    if (!AddObjectEffect(*doc, objectId_, type)) return;
    AfterStackChange(int(Stack()->size()) - 1);
}

void CPropTabEffect::ShowAddMenu(QPoint at) {
    static const char* const kCategoryNames[7] = {"Adjust Color", "Bevel and Emboss", "Blur",  "Noise",
                                                  "Other",        "Shadow and Glow",  "Sharpen"};
    QMenu menu(this);
    menu.addAction("None")->setData(0);
    menu.addSeparator();
    for (int category = 0; category < 7; ++category) {
        QMenu* sub = nullptr;
        for (const EffectTypeInfo& row : GetEffectRegistry()) {
            if (row.category != category) continue;
            if (!sub) sub = menu.addMenu(kCategoryNames[category]);
            QAction* action = sub->addAction(QString::fromUtf8(row.name));
            action->setData(0x9000 | row.type);
            action->setEnabled(row.apply != nullptr);
        }
    }
    QAction* chosen = menu.exec(at);
    const int command = chosen ? chosen->data().toInt() : 0;
    if (command > 0x8FFF) AddEffect(uint8_t(command & 0xFF));
}

void CPropTabEffect::ApplyParamsEdit() {
    CQuillfenEditorDoc* doc = Doc();
    CanvasObject* object = doc && !objectId_.empty() ? doc->mainScene.FindObject(objectId_) : nullptr;
    if (!object || !CurrentInstance()) return;
    object->BumpGeneration();
    doc->SetModifiedFlag(true);
    doc->RefreshAllViews();
}

void CPropTabEffect::BeginParamsEdit() {
    pending_ = false;
    if (timerRunning_) {
        KillTimer(kPreviewTimer);
        timerRunning_ = false;
    }
    if (CQuillfenEditorDoc* doc = Doc()) {
        if (!recorder_.IsOpen()) wasModified_ = doc->IsModified();
        recorder_.Begin(*doc, objectId_);
    }
}

void CPropTabEffect::OnParamsChanging() {
    const std::vector<EffectInstance>* stack = Stack();
    for (const EffectInstance& e : *stack) {
        if (e.enabled && FindEffectTypeInfo(e.type).noLivePreview) {
            pending_ = true;
            return;
        }
    }
    if (timerRunning_) {
        pending_ = true;
        return;
    }
    ApplyParamsEdit();
    pending_ = false;
    SetTimer(kPreviewTimer, kPreviewPeriodMs);
    timerRunning_ = true;
}

void CPropTabEffect::OnTimer(int id) {
    if (id != kPreviewTimer) return CWndBase::OnTimer(id);
    if (pending_) {
        ApplyParamsEdit();
        pending_ = false;
    } else {
        KillTimer(kPreviewTimer);
        timerRunning_ = false;
    }
}

void CPropTabEffect::OnParamsCommitted() {
    if (pending_) {
        ApplyParamsEdit();
        pending_ = false;
    }
    if (timerRunning_) {
        KillTimer(kPreviewTimer);
        timerRunning_ = false;
    }
    if (CQuillfenEditorDoc* doc = Doc()) {
        // An interaction that changed nothing leaves the modified flag as it was.
        const bool open = recorder_.IsOpen();
        if (!recorder_.End(*doc) && open) doc->SetModifiedFlag(wasModified_);
    }
}

std::string CPropTabEffect::HintText() const {
    if (view_) return {};
    const std::vector<EffectInstance>* stack = Stack();
    if (!stack || stack->empty()) return "Click + to add a filter.";
    if (list_->Selection() < 0) return "Select a filter on the left to edit its parameters.";
    return "This filter has no parameters yet.";
}

void CPropTabEffect::paintEvent(QPaintEvent* e) {
    CMemDC2 mem(this, e->rect());
    QPainter& p = mem.Painter();
    p.fillRect(rect(), ArgbColor(kPropPanelBackground));
    if (view_) return;
    const QRect r = rect();
    const int left = std::min(r.left() + kListWidth, r.right() + 1) + 16;
    const int width = std::max(0, r.right() + 1 - left - 32);
    QFont font = CreateUiFont(12);
    p.setFont(font);
    p.setPen(ArgbColor(0xFF8C94A0));
    p.drawText(QRect(left, r.top(), width, r.height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               QString::fromStdString(HintText()));
}

void RegisterEffectTab() {
    RegisterEffectParamsViews();
    CPropertiesPane::RegisterTabFactory(PropTabKind::Effect,
                                        [](QWidget* pane) -> IPropertyTab* { return new CPropTabEffect(pane); });
}
