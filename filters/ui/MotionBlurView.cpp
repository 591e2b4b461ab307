// Parameter view of Motion Blur: the length and the direction dial.
#include "filters/ui/CEffectParamsView.h"
#include "filters/ui/EffectViewFactories.h"

IEffectParamsView* CreateMotionBlurView(QWidget* parent, int childId) {
    auto* view = new CEffectParamsView(parent, childId, 17);
    NumericFieldSpec length{1102, "Length", "", 0, 200, 1, 1, 1, 0, EFFECT_FIELD(MotionBlurParams, length), 1, 30};
    length.labelWidth = 80;
    length.frameless = true;
    view->Place(0, view->AddNumeric(length), 0, 0, 4, 1);
    QWidget* dial = view->AddAngle(1101, EFFECT_FIELD(MotionBlurParams, angle), -180, 180, 0);
    if (!dial) {
        delete view;
        return nullptr;
    }
    view->Place(0, dial, 0, 1, 4, 3);
    return view;
}
