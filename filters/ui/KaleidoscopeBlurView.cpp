// Parameter view of Kaleidoscope Blur: the width of the sampling line.
#include "filters/ui/CEffectParamsView.h"
#include "filters/ui/EffectViewFactories.h"

IEffectParamsView* CreateKaleidoscopeBlurView(QWidget* parent, int childId) {
    auto* view = new CEffectParamsView(parent, childId, 10);
    view->Place(0,
                view->AddNumeric({1001, "Width", "px", 0, 50, 0.5f, 2, 0.5f, 1, EFFECT_FIELD(KaleidoscopeBlurParams, width), 1, 8}),
                0, 0, 4, 1);
    return view;
}
