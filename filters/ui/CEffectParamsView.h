#pragma once
// The common body of the filter parameter views: numeric fields described by
// a table (label, range, steps, decimals, the record field and its display
// scale), an optional colour well fed through the colour sink, the property
// grid layout and the edit protocol. Views with other controls add them and
// handle their commands in the hooks.
#include "filters/ui/IEffectParamsView.h"
#include "properties/ui/IPropertyTab.h"
#include "properties/ui/CPropAngleEdit.h"
#include "properties/ui/CPropColorWell.h"
#include "properties/ui/CPropNumericEdit.h"
#include "properties/ui/PropControls.h"

#include <functional>
#include <vector>

class CPropNumericEdit;
class CPropColorWell;
class CPropAngleEdit;

// A record field of one alternative, or null when the record is another.
using EffectFloatField = float* (*)(EffectParams& params);
using EffectColorField = uint32_t* (*)(EffectParams& params);

#define EFFECT_FIELD(Record, member) \
    [](EffectParams& p) -> float* { auto* r = p.Get<Record>(); return r ? &r->member : nullptr; }
#define EFFECT_COLOR(Record, member) \
    [](EffectParams& p) -> uint32_t* { auto* r = p.Get<Record>(); return r ? &r->member : nullptr; }

struct NumericFieldSpec {
    int id;
    const char* label;
    const char* suffix;
    float minimum, maximum, keyStep, pixelsPerStep, dragStep;
    int decimals;
    EffectFloatField field;
    float scale = 1;          // 100 shows fractions as percent
    float fallback = 0;       // shown until an instance of the view's alternative is loaded
    int labelWidth = 150;
    bool frameless = false;
};

class CEffectParamsView : public IEffectParamsView, public IColorSinkhole {
    Q_OBJECT
public:
    CEffectParamsView(QWidget* parent, int childId, int alternative);

    void LoadParams(const EffectInstance& instance, IEffectChangeSink* sink) override;
    IColorSinkhole* GetColorSink() override { return colorField_ ? this : nullptr; }
    bool OnCommand(int id, int code, CWndBase* sender) override;

    // IColorSinkhole: the colour is stored opaque and reported as one interaction.
    void SetColor(uint32_t argb) override;
    uint32_t GetColor() override;
    std::string GetTitle() override { return colorTitle_; }
    // A wheel interaction is one parameter interaction of the view.
    void BeginColorEdit() override;
    void EndColorEdit() override;

    CPropNumericEdit* Numeric(int id) const;
    CPropColorWell* Well() const { return well_; }
    std::vector<PropGridPanel>& Panels() { return panels_; }
    int Alternative() const { return alternative_; }

    // Building the view: controls in creation order, then their cells (a
    // panel is created when first named). Null when a window cannot be made.
    CPropNumericEdit* AddNumeric(const NumericFieldSpec& field);
    CPropColorWell* AddColorWell(int id, EffectColorField field, const char* title, uint32_t fallback);
    CPropAngleEdit* AddAngle(int id, EffectFloatField field, float minimum, float maximum, float fallback);
    void Place(int panel, QWidget* window, int column, int row, int columnSpan, int rowSpan, int rows = 4);
    void Relayout();
    // Enabling or disabling the view and its controls together.
    void SetControlsEnabled(bool enabled);

protected:

    // The instance of the view's own alternative, looked up now, or null.
    EffectInstance* Instance() const;
    bool Loading() const { return loading_; }
    IEffectChangeSink* Sink() const { return sink_; }
    // Calls the sink by a value control's notification code.
    void Notify(int code);
    // A click or a pick as one interaction: begin, the write (on the
    // instance looked up after begin, so the step keeps the state before it),
    // changing and committed.
    void OneShot(const std::function<void(EffectInstance&)>& write);
    // A picked colour: written live inside a wheel interaction, else as a
    // one-shot interaction of its own.
    void WriteColor(const std::function<void(EffectInstance&)>& write);
    // Hooks of views with further controls.
    virtual void LoadExtra(const EffectParams& params) { (void)params; }
    virtual bool OnExtraCommand(int id, int code, EffectInstance& instance) {
        (void)id, (void)code, (void)instance;
        return false;
    }

    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

    bool loading_ = false;

private:
    int alternative_;
    IEffectChangeSink* sink_ = nullptr;
    std::vector<PropGridPanel> panels_;
    struct NumericEntry {
        NumericFieldSpec field;
        CPropNumericEdit* edit;
    };
    std::vector<NumericEntry> numerics_;
    struct AngleEntry {
        int id;
        EffectFloatField field;
        float fallback;
        CPropAngleEdit* edit;
    };
    std::vector<AngleEntry> angles_;
    CPropColorWell* well_ = nullptr;
    int wellId_ = 0;
    EffectColorField colorField_ = nullptr;
    std::string colorTitle_;
    uint32_t colorFallback_ = 0xFF000000;
    uint32_t shownColor_ = 0;
    bool colorEditing_ = false;
};
