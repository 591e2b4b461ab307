// Parameter view of Brightness/Contrast: both values shown x 100.
#include "filters/ui/CEffectParamsView.h"
#include "filters/ui/EffectViewFactories.h"

IEffectParamsView* CreateBrightnessContrastView(QWidget* parent, int childId) {
    auto* view = new CEffectParamsView(parent, childId, 12);
    const NumericFieldSpec fields[] = {
        {1001, "Brightness", "", -100, 100, 1, 2, 1, 0, EFFECT_FIELD(BrightnessContrastParams, brightness), 100},
        {1002, "Contrast", "", -100, 100, 1, 2, 1, 0, EFFECT_FIELD(BrightnessContrastParams, contrast), 100},
    };
    for (int i = 0; i < 2; ++i) view->Place(0, view->AddNumeric(fields[i]), 0, i, 4, 1);
    return view;
}
