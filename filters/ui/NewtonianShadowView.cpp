// Parameter view of Newtonian Shadow: the shadow's geometry and opacities as
// stored, the falloff list, and the base and tip colours in one pair of
// swatches; the colour wheel edits the swatch that is selected.
#include "filters/ui/CEffectParamsView.h"
#include "filters/ui/EffectViewFactories.h"
#include "properties/ui/CPropColorWell.h"
#include "properties/ui/CPropDropdown.h"
#include "properties/ui/CPropNumericEdit.h"
#include "properties/ui/CPropertiesPane.h"

#include <cmath>

namespace {

class CFloorShadowParamsView;

// One of the two colours; stored as given, alpha byte included.
class FloorColorSink : public IColorSinkhole {
public:
    FloorColorSink(CFloorShadowParamsView* view, bool tip) : view_(view), tip_(tip) {}
    void SetColor(uint32_t argb) override;
    uint32_t GetColor() override;
    std::string GetTitle() override { return tip_ ? "Newtonian Shadow - Tip" : "Newtonian Shadow - Base"; }
    void BeginColorEdit() override;
    void EndColorEdit() override;

private:
    CFloorShadowParamsView* view_;
    bool tip_;
};

class CFloorShadowParamsView : public CEffectParamsView {
public:
    CFloorShadowParamsView(QWidget* parent, int childId) : CEffectParamsView(parent, childId, 16) {}
    CPropDropdown* falloff = nullptr;
    CPropNumericEdit* contact = nullptr;
    CPropColorWellPair* pair = nullptr;
    FloorColorSink baseSink{this, false}, tipSink{this, true};

    IColorSinkhole* GetColorSink() override {
        return pair && pair->selectedSwatch == 1 ? static_cast<IColorSinkhole*>(&tipSink) : &baseSink;
    }
    NewtonianShadowParams* Record() {
        EffectInstance* instance = Instance();
        return instance ? instance->params.Get<NewtonianShadowParams>() : nullptr;
    }
    void StoreColor(bool tip, uint32_t argb) {
        if (!Record()) return;
        if (pair) {
            (tip ? pair->secondColor : pair->firstColor) = argb;
            pair->update();
        }
        // Reported even for the same colour.
        WriteColor([&](EffectInstance& i) {
            auto* r = i.params.Get<NewtonianShadowParams>();
            (tip ? r->tipColour : r->baseColour) = argb;
        });
    }

protected:
    void LoadExtra(const EffectParams& params) override {
        const auto* r = params.Get<NewtonianShadowParams>();
        if (!r) return;
        if (falloff && r->falloff < 3 && falloff->selected != r->falloff) falloff->SetCurSel(r->falloff);
        if (contact) contact->SetValue(float(r->contact));
        if (pair) {
            pair->firstColor = r->baseColour;
            pair->secondColor = r->tipColour;
            pair->update();
        }
    }
    bool OnExtraCommand(int id, int code, EffectInstance& instance) override {
        auto* r = instance.params.Get<NewtonianShadowParams>();
        if (id == 1006 && falloff) {
            if (code != kPropClick) return false;
            const uint8_t picked = uint8_t(std::clamp(falloff->selected, 0, 2));
            OneShot([&](EffectInstance& i) { i.params.Get<NewtonianShadowParams>()->falloff = picked; });
            return true;
        }
        if (id == 1007 && contact) {
            r->contact = int32_t(std::lround(contact->value));
            Notify(code);
            return true;
        }
        if (id == 1009 && (code == kPropFirstSwatch || code == kPropSecondSwatch)) {
            CPropertiesPane::SyncColorSink();
            return true;
        }
        return false;
    }
};

void FloorColorSink::SetColor(uint32_t argb) { view_->StoreColor(tip_, argb); }
void FloorColorSink::BeginColorEdit() { view_->BeginColorEdit(); }
void FloorColorSink::EndColorEdit() { view_->EndColorEdit(); }

uint32_t FloorColorSink::GetColor() {
    const NewtonianShadowParams* r = view_->Record();
    return r ? (tip_ ? r->tipColour : r->baseColour) : 0xFF000000;
}

NumericFieldSpec Floor(int id, const char* label, float lo, float hi, float key, float drag, int decimals,
                       EffectFloatField field, float fallback) {
    NumericFieldSpec s{id, label, "", lo, hi, key, 1, drag, decimals, field, 1, fallback};
    s.labelWidth = 80;
    s.frameless = true;
    return s;
}

}  // namespace

IEffectParamsView* CreateNewtonianShadowView(QWidget* parent, int childId) {
    auto* view = new CFloorShadowParamsView(parent, childId);
    QWidget* length = view->AddNumeric(
        Floor(1001, "Length", 0, 5, 0.01f, 0.01f, 2, EFFECT_FIELD(NewtonianShadowParams, length), 0.7f));
    QWidget* tilt = view->AddNumeric(Floor(1002, "Tilt", -89, 89, 1, 0.5f, 0, EFFECT_FIELD(NewtonianShadowParams, tilt), 65));
    QWidget* spread = view->AddNumeric(
        Floor(1003, "Spread", 0.05f, 4, 0.01f, 0.01f, 2, EFFECT_FIELD(NewtonianShadowParams, spread), 0.7f));
    QWidget* softness = view->AddNumeric(
        Floor(1004, "Softness", 0, 200, 1, 1, 0, EFFECT_FIELD(NewtonianShadowParams, softness), 40));
    QWidget* tipOpacity = view->AddNumeric(
        Floor(1005, "Tip Opacity", 0, 1, 0.01f, 0.01f, 2, EFFECT_FIELD(NewtonianShadowParams, tipOpacity), 0.2f));
    // Contact is a whole number of pixels: its own edit, not a float field.
    view->contact = new CPropNumericEdit(view);
    if (view->contact->Create(view, 1007, QRect(0, 0, 206, 25))) {
        view->contact->SetLabel("Contact");
        view->contact->SetLabelWidth(80);
        view->contact->SetRange(0, 100);
        view->contact->SetStep(1);
        view->contact->SetPixelsPerStep(1);
        view->contact->SetDragStep(1);
        view->contact->SetDecimals(0);
        view->contact->SetBorderless(true);
        view->contact->SetValue(8);
        view->contact->show();
    }
    view->falloff = new CPropDropdown(view);
    if (view->falloff->Create(view, 1006, QRect(0, 0, 206, 25))) {
        view->falloff->SetItems({"Linear", "Smooth", "Sharp"});
        view->falloff->SetCurSel(0);
        view->falloff->show();
    }
    QWidget* opacity = view->AddNumeric(
        Floor(1008, "Opacity", 0, 1, 0.01f, 0.01f, 2, EFFECT_FIELD(NewtonianShadowParams, opacity), 0.7f));
    view->pair = new CPropColorWellPair(view);
    if (view->pair->Create(view, 1009)) {
        view->pair->SetLabels("Base", "Tip");
        view->pair->show();
    }
    view->Place(0, length, 0, 0, 4, 1);
    view->Place(0, tilt, 0, 1, 4, 1);
    view->Place(0, spread, 0, 2, 4, 1);
    view->Place(1, softness, 0, 0, 4, 1);
    view->Place(1, tipOpacity, 0, 1, 4, 1);
    view->Place(1, view->falloff, 0, 2, 4, 1);
    view->Place(1, view->contact, 0, 3, 4, 1);
    view->Place(2, view->pair, 0, 0, 4, 1);
    view->Place(2, opacity, 0, 1, 4, 1);
    return view;
}
