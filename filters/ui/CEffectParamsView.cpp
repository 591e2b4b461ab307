#include "filters/ui/CEffectParamsView.h"

#include "platform/qt/CMemDC2.h"
#include "properties/ui/CPropAngleEdit.h"
#include "properties/ui/CPropColorWell.h"
#include "properties/ui/CPropNumericEdit.h"

#include <QPaintEvent>

CEffectParamsView::CEffectParamsView(QWidget* parent, int childId, int alternative)
    : IEffectParamsView(parent, childId), alternative_(alternative) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CPropNumericEdit* CEffectParamsView::AddNumeric(const NumericFieldSpec& field) {
    auto* edit = new CPropNumericEdit(this);
    if (!edit->Create(this, field.id, QRect(0, 0, 206, 25))) {
        delete edit;
        return nullptr;
    }
    edit->SetLabel(QString::fromUtf8(field.label));
    edit->SetLabelWidth(field.labelWidth);
    edit->SetSuffix(QString::fromUtf8(field.suffix ? field.suffix : ""));
    edit->SetRange(field.minimum, field.maximum);
    edit->SetStep(field.keyStep);
    edit->SetPixelsPerStep(field.pixelsPerStep);
    edit->SetDragStep(field.dragStep);
    edit->SetDecimals(field.decimals);
    edit->SetBorderless(field.frameless);
    edit->SetValue(field.fallback);
    edit->show();
    numerics_.push_back({field, edit});
    return edit;
}

CPropAngleEdit* CEffectParamsView::AddAngle(int id, EffectFloatField field, float minimum, float maximum,
                                            float fallback) {
    auto* edit = new CPropAngleEdit(this);
    if (!edit->Create(this, id, QRect(0, 0, 206, 79))) {
        delete edit;
        return nullptr;
    }
    edit->SetRange(minimum, maximum);
    edit->SetStep(1);
    edit->SetDecimals(0);
    edit->SetValue(fallback);
    edit->show();
    angles_.push_back({id, field, fallback, edit});
    return edit;
}

CPropColorWell* CEffectParamsView::AddColorWell(int id, EffectColorField field, const char* title,
                                                uint32_t fallback) {
    auto* well = new CPropColorWell(this);
    if (!well->Create(this, id)) {
        delete well;
        return nullptr;
    }
    well->show();
    well_ = well;
    wellId_ = id;
    colorField_ = field;
    colorTitle_ = title;
    colorFallback_ = fallback;
    shownColor_ = fallback;
    well_->SetColor(fallback);
    return well;
}

CPropNumericEdit* CEffectParamsView::Numeric(int id) const {
    for (const NumericEntry& n : numerics_)
        if (n.field.id == id) return n.edit;
    return nullptr;
}

void CEffectParamsView::Place(int panel, QWidget* window, int column, int row, int columnSpan, int rowSpan,
                              int rows) {
    if (!window) return;
    while (int(panels_.size()) <= panel) panels_.push_back({rows, {}});
    PropGridCell cell;
    cell.column = column;
    cell.row = row;
    cell.columnSpan = columnSpan;
    cell.rowSpan = rowSpan;
    cell.window = window;
    panels_[size_t(panel)].cells.push_back(cell);
}

void CEffectParamsView::Relayout() {
    if (!rect().isEmpty()) MoveChildWindow(rect(), panels_);
    update();
}

void CEffectParamsView::resizeEvent(QResizeEvent*) { Relayout(); }

void CEffectParamsView::paintEvent(QPaintEvent* e) {
    CMemDC2 mem(this, e->rect());
    mem.Painter().fillRect(rect(), ArgbColor(kPropPanelBackground));
}

EffectInstance* CEffectParamsView::Instance() const {
    EffectInstance* instance = sink_ ? sink_->CurrentInstance() : nullptr;
    return instance && instance->params.Alternative() == alternative_ ? instance : nullptr;
}

void CEffectParamsView::LoadParams(const EffectInstance& instance, IEffectChangeSink* sink) {
    sink_ = sink;
    loading_ = true;
    const bool own = instance.params.Alternative() == alternative_;
    EffectParams params = instance.params;  // the field accessors read through a copy
    for (NumericEntry& n : numerics_) {
        const float* value = own ? n.field.field(params) : nullptr;
        n.edit->SetValue(value ? *value * n.field.scale : n.field.fallback);
    }
    for (AngleEntry& a : angles_) {
        const float* value = own ? a.field(params) : nullptr;
        a.edit->SetValue(value ? *value : a.fallback);
    }
    if (well_ && colorField_) {
        const uint32_t* colour = own ? colorField_(params) : nullptr;
        shownColor_ = colour ? *colour : colorFallback_;
        well_->SetColor(shownColor_);
    }
    if (own) LoadExtra(instance.params);
    loading_ = false;
}

void CEffectParamsView::Notify(int code) {
    if (!sink_) return;
    if (code == kPropChanged)
        sink_->OnParamsChanging();
    else if (code == kPropBegin)
        sink_->BeginParamsEdit();
    else if (code == kPropEnd)
        sink_->OnParamsCommitted();
}

void CEffectParamsView::OneShot(const std::function<void(EffectInstance&)>& write) {
    if (!sink_) return;
    sink_->BeginParamsEdit();
    if (EffectInstance* instance = Instance()) write(*instance);
    sink_->OnParamsChanging();
    sink_->OnParamsCommitted();
}

bool CEffectParamsView::OnCommand(int id, int code, CWndBase* sender) {
    if (loading_ || !sink_) return CWndBase::OnCommand(id, code, sender);
    EffectInstance* instance = Instance();
    if (!instance) return true;  // a foreign record: nothing to write
    if (id == wellId_ && well_) return true;  // colours arrive through the sink
    for (NumericEntry& n : numerics_) {
        if (n.field.id != id) continue;
        if (float* field = n.field.field(instance->params)) *field = n.edit->value / n.field.scale;
        Notify(code);
        return true;
    }
    for (AngleEntry& a : angles_) {
        if (a.id != id) continue;
        if (float* field = a.field(instance->params)) *field = a.edit->value;
        Notify(code);
        return true;
    }
    if (OnExtraCommand(id, code, *instance)) return true;
    return CWndBase::OnCommand(id, code, sender);
}

void CEffectParamsView::SetColor(uint32_t argb) {
    EffectInstance* instance = Instance();
    if (!instance || !colorField_) return;
    uint32_t* field = colorField_(instance->params);
    if (!field) return;
    const uint32_t opaque = (argb & 0x00FFFFFFu) | 0xFF000000u;
    if (*field == opaque) return;
    shownColor_ = opaque;
    if (well_) well_->SetColor(opaque);
    const EffectColorField colourField = colorField_;
    WriteColor([&](EffectInstance& i) {
        if (uint32_t* f = colourField(i.params)) *f = opaque;
    });
}

void CEffectParamsView::WriteColor(const std::function<void(EffectInstance&)>& write) {
    if (!colorEditing_) return OneShot(write);
    if (EffectInstance* instance = Instance()) write(*instance);
    if (sink_) sink_->OnParamsChanging();
}

void CEffectParamsView::BeginColorEdit() {
    if (colorEditing_) EndColorEdit();
    if (!sink_) return;
    colorEditing_ = true;
    sink_->BeginParamsEdit();
}

void CEffectParamsView::EndColorEdit() {
    if (!colorEditing_) return;
    colorEditing_ = false;
    if (sink_) sink_->OnParamsCommitted();
}

uint32_t CEffectParamsView::GetColor() {
    EffectInstance* instance = Instance();
    uint32_t* field = instance && colorField_ ? colorField_(instance->params) : nullptr;
    return field ? *field : colorFallback_;
}

void CEffectParamsView::SetControlsEnabled(bool enabled) {
    setEnabled(enabled);
    for (QObject* child : children())
        if (auto* w = qobject_cast<QWidget*>(child)) w->setEnabled(enabled);
}
