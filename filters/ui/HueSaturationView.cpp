// Parameter view of Hue/Saturation: three gradient sliders beside three
// numeric fields that follow each other (hue in degrees, saturation and
// lightness shown x 100), and "Colorize".
#include "filters/ui/CEffectParamsView.h"
#include "filters/ui/CPropHueSatSlider.h"
#include "filters/ui/EffectViewFactories.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropNumericEdit.h"

namespace {

float* HueField(EffectParams& p, int which) {
    auto* r = p.Get<HueSaturationParams>();
    if (!r) return nullptr;
    return which == 0 ? &r->hue : which == 1 ? &r->saturation : &r->lightness;
}

class CHueSaturationParamsView : public CEffectParamsView {
public:
    CHueSaturationParamsView(QWidget* parent, int childId) : CEffectParamsView(parent, childId, 13) {}
    CPropHueSatSlider* sliders[3] = {};
    CPropNumericEdit* edits[3] = {};
    CPropCheckbox* colorize = nullptr;

protected:
    void LoadExtra(const EffectParams& shown) override {
        EffectParams params = shown;
        for (int i = 0; i < 3; ++i) {
            const float v = *HueField(params, i) * (i == 0 ? 1.0f : 100.0f);
            sliders[i]->SetValue(v);
            edits[i]->SetValue(v);
        }
        if (colorize) colorize->SetCheck(params.Get<HueSaturationParams>()->colorize != 0);
        sliders[1]->update();
        sliders[2]->update();
    }
    bool OnExtraCommand(int id, int code, EffectInstance& instance) override {
        if (id == 1007) {
            if (code != kPropClick || !colorize) return false;
            (void)instance;
            const uint8_t on = colorize->checked ? 1 : 0;
            OneShot([&](EffectInstance& i) { i.params.Get<HueSaturationParams>()->colorize = on; });
            return true;
        }
        if (id < 1001 || id > 1006) return false;
        const bool fromSlider = id <= 1003;
        const int i = (id - 1001) % 3;
        const float scale = i == 0 ? 1.0f : 100.0f;
        const float shown = fromSlider ? sliders[i]->Value() : edits[i]->value;
        *HueField(instance.params, i) = shown / scale;
        loading_ = true;  // the partner control follows without notifying
        if (fromSlider)
            edits[i]->SetValue(shown);
        else
            sliders[i]->SetValue(shown);
        loading_ = false;
        if (i == 0) {
            sliders[1]->update();
            sliders[2]->update();
        }
        Notify(code);
        return true;
    }
};

}  // namespace

IEffectParamsView* CreateHueSaturationView(QWidget* parent, int childId) {
    auto* view = new CHueSaturationParamsView(parent, childId);
    view->sliders[0] = new CPropHueSatSlider(view, 1001, 0, -180, 180);
    view->sliders[1] = new CPropHueSatSlider(view, 1002, 1, -100, 100);
    view->sliders[2] = new CPropHueSatSlider(view, 1003, 2, -100, 100);
    view->sliders[1]->SetHueSource(view->sliders[0]);
    view->sliders[2]->SetHueSource(view->sliders[0]);
    const char* labels[3] = {"Hue", "Saturation", "Lightness"};
    for (int i = 0; i < 3; ++i) {
        view->sliders[i]->show();
        auto* edit = new CPropNumericEdit(view);
        if (!edit->Create(view, 1004 + i, QRect(0, 0, 206, 25))) {
            delete view;
            return nullptr;
        }
        edit->SetLabel(labels[i]);
        edit->SetLabelWidth(150);
        edit->SetRange(i == 0 ? -180.0f : -100.0f, i == 0 ? 180.0f : 100.0f);
        edit->SetStep(1);
        edit->SetPixelsPerStep(2);
        edit->SetDragStep(1);
        edit->SetDecimals(0);
        edit->SetBorderless(true);
        edit->SetValue(0);
        edit->show();
        view->edits[i] = edit;
        view->Place(0, view->sliders[i], 0, i, 4, 1);
        view->Place(1, edit, 0, i, 4, 1);
    }
    view->colorize = new CPropCheckbox(view);
    if (view->colorize->Create(view, 1007, "Colorize", QRect(0, 0, 206, 25))) view->colorize->show();
    view->Place(1, view->colorize, 0, 3, 4, 1);
    return view;
}
