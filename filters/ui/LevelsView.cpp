// Parameter view of Levels: the histogram with the input markers, the output
// strip, the channel list, the five values and "Auto" / "Reset"; it shows and
// edits the curve of one channel at a time.
#include "filters/ui/CEffectParamsView.h"
#include "filters/ui/EffectViewFactories.h"
#include "filters/ui/LevelsControls.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropDropdown.h"
#include "properties/ui/CPropNumericEdit.h"

#include <cmath>

namespace {

LevelsChannel& CurveOf(LevelsParams& r) {
    switch (r.channel) {
        case 1: return r.red;
        case 2: return r.green;
        case 3: return r.blue;
        default: return r.rgb;
    }
}

class CLevelsParamsView : public CEffectParamsView {
public:
    CLevelsParamsView(QWidget* parent, int childId) : CEffectParamsView(parent, childId, 15) {}
    CPropLevelsHistogram* histogram = nullptr;
    CPropLevelsOutput* output = nullptr;
    CPropDropdown* channel = nullptr;
    CPropNumericEdit* edits[5] = {};  // 1002 .. 1006

    void LoadParams(const EffectInstance& instance, IEffectChangeSink* sink) override {
        BitmapPtr source = sink ? sink->GetSourceBitmap() : nullptr;
        if (histogram && (source != histogram->Source() || histogram->CountRuns() == 0)) histogram->SetSource(source);
        CEffectParamsView::LoadParams(instance, sink);
    }
    void SyncControls(const LevelsParams& shown) {
        const bool was = loading_;
        loading_ = true;
        LevelsParams r = shown;
        const LevelsChannel& c = CurveOf(r);
        if (channel && r.channel < 4 && channel->selected != r.channel) channel->SetCurSel(r.channel);
        const float values[5] = {float(c.inputLow), float(c.inputHigh), c.gamma, float(c.outputLow),
                                 float(c.outputHigh)};
        for (int i = 0; i < 5; ++i)
            if (edits[i]) edits[i]->SetValue(values[i]);
        if (histogram) {
            histogram->SetChannel(r.channel);
            histogram->SetInputLow(c.inputLow);
            histogram->SetInputHigh(c.inputHigh);
            histogram->SetGamma(c.gamma);
        }
        if (output) {
            output->SetOutputLow(c.outputLow);
            output->SetOutputHigh(c.outputHigh);
        }
        loading_ = was;
    }

protected:
    void LoadExtra(const EffectParams& params) override {
        if (const auto* r = params.Get<LevelsParams>()) SyncControls(*r);
    }
    void Muted(CPropNumericEdit* edit, float v) {
        if (edit) edit->SetValue(v);
    }
    bool OnExtraCommand(int id, int code, EffectInstance& instance) override {
        LevelsParams& r = *instance.params.Get<LevelsParams>();
        LevelsChannel& c = CurveOf(r);
        if (id == 1001 || id == 1007 || id == 1008) {
            if (code != kPropClick) return false;
            const uint8_t picked = uint8_t(std::clamp(channel ? channel->selected : 0, 0, 3));
            OneShot([&](EffectInstance& i) {
                LevelsParams& lp = *i.params.Get<LevelsParams>();
                if (id == 1001)
                    lp.channel = picked;
                else
                    CurveOf(lp) = LevelsChannel{};  // "Auto" resets the shown curve, as "Reset" does
            });
            if (EffectInstance* now = Instance()) SyncControls(*now->params.Get<LevelsParams>());
            return true;
        }
        switch (id) {
            case 1009:
                c.inputLow = histogram->InputLow();
                c.inputHigh = histogram->InputHigh();
                c.gamma = histogram->Gamma();
                Muted(edits[0], float(c.inputLow));
                Muted(edits[1], float(c.inputHigh));
                Muted(edits[2], c.gamma);
                break;
            case 1010:
                c.outputLow = output->OutputLow();
                c.outputHigh = output->OutputHigh();
                Muted(edits[3], float(c.outputLow));
                Muted(edits[4], float(c.outputHigh));
                break;
            case 1002: {
                const int v = int(std::lround(edits[0]->value));
                c.inputLow = std::min(std::max(v, 0), c.inputHigh - 1);
                if (c.inputLow != v) Muted(edits[0], float(c.inputLow));
                histogram->SetInputLow(c.inputLow);
                break;
            }
            case 1003: {
                const int v = int(std::lround(edits[1]->value));
                c.inputHigh = v > 255 ? 255 : std::max(v, c.inputLow + 1);
                if (c.inputHigh != v) Muted(edits[1], float(c.inputHigh));
                histogram->SetInputHigh(c.inputHigh);
                break;
            }
            case 1004:
                c.gamma = std::clamp(edits[2]->value, 0.1f, 9.99f);
                histogram->SetGamma(c.gamma);
                break;
            case 1005:
                c.outputLow = std::clamp(int(std::lround(edits[3]->value)), 0, 255);
                output->SetOutputLow(c.outputLow);
                break;
            case 1006:
                c.outputHigh = std::clamp(int(std::lround(edits[4]->value)), 0, 255);
                output->SetOutputHigh(c.outputHigh);
                break;
            default:
                return false;
        }
        Notify(code);
        return true;
    }
};

}  // namespace

IEffectParamsView* CreateLevelsView(QWidget* parent, int childId) {
    auto* view = new CLevelsParamsView(parent, childId);
    view->histogram = new CPropLevelsHistogram(view, 1009);
    view->output = new CPropLevelsOutput(view, 1010);
    view->channel = new CPropDropdown(view);
    if (!view->channel->Create(view, 1001, QRect(0, 0, 206, 25))) {
        delete view;
        return nullptr;
    }
    view->channel->SetItems({"RGB", "Red", "Green", "Blue"});
    view->channel->SetCurSel(0);
    view->channel->show();
    struct Spec {
        int id;
        const char* label;
        int width;
        float lo, hi, key, px, drag;
        int decimals;
    };
    const Spec specs[5] = {{1002, "Shadow", 70, 0, 254, 1, 2, 1, 0},
                           {1003, "Highlight", 70, 1, 255, 1, 2, 1, 0},
                           {1004, "Mids (Gamma)", 150, 0.1f, 9.99f, 0.01f, 1, 0.005f, 2},
                           {1005, "Shadow", 70, 0, 255, 1, 2, 1, 0},
                           {1006, "Highlight", 70, 0, 255, 1, 2, 1, 0}};
    const int order[5] = {0, 1, 3, 4, 2};  // created in id order 1002, 1003, 1005, 1006, 1004
    for (int k : order) {
        const Spec& s = specs[k];
        auto* edit = new CPropNumericEdit(view);
        if (!edit->Create(view, s.id, QRect(0, 0, 102, 25))) continue;
        edit->SetLabel(s.label);
        edit->SetLabelWidth(s.width);
        edit->SetRange(s.lo, s.hi);
        edit->SetStep(s.key);
        edit->SetPixelsPerStep(s.px);
        edit->SetDragStep(s.drag);
        edit->SetDecimals(s.decimals);
        edit->SetBorderless(true);
        if (s.id == 1004) edit->SetPivot(1.0f);
        edit->SetValue(s.id == 1003 || s.id == 1006 ? 255.0f : s.id == 1004 ? 1.0f : 0.0f);
        edit->show();
        view->edits[k] = edit;
    }
    auto* autoButton = new CPropTextButton(view);
    if (autoButton->Create(view, 1007, "Auto", QRect(0, 0, 102, 25))) autoButton->show();
    auto* resetButton = new CPropTextButton(view);
    if (resetButton->Create(view, 1008, "Reset", QRect(0, 0, 102, 25))) resetButton->show();

    view->Place(0, view->histogram, 0, 0, 4, 3);
    view->Place(0, view->output, 0, 3, 4, 1);
    view->Place(1, view->channel, 0, 0, 4, 1);
    view->Place(1, view->edits[0], 0, 1, 2, 1);
    view->Place(1, view->edits[1], 2, 1, 2, 1);
    view->Place(1, view->edits[2], 0, 2, 4, 1);
    view->Place(1, view->edits[3], 0, 3, 2, 1);
    view->Place(1, view->edits[4], 2, 3, 2, 1);
    view->Place(2, autoButton, 0, 0, 2, 1);
    view->Place(2, resetButton, 2, 0, 2, 1);
    return view;
}
