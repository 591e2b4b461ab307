// Parameter view of Blur: the radius in percent of the larger side.
#include "filters/ui/CEffectParamsView.h"
#include "filters/ui/EffectViewFactories.h"

IEffectParamsView* CreateBlurView(QWidget* parent, int childId) {
    auto* view = new CEffectParamsView(parent, childId, 1);
    view->Place(0, view->AddNumeric({1001, "Radius", "%", 0, 30, 0.2f, 2, 0.2f, 1, EFFECT_FIELD(BlurParams, radius), 100, 5}),
                0, 0, 4, 1);
    return view;
}
