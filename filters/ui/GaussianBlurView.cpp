// Parameter view of Gaussian Blur: the radius in percent of the larger side.
#include "filters/ui/CEffectParamsView.h"
#include "filters/ui/EffectViewFactories.h"

IEffectParamsView* CreateGaussianBlurView(QWidget* parent, int childId) {
    auto* view = new CEffectParamsView(parent, childId, 3);
    view->Place(0,
                view->AddNumeric({1001, "Radius", "%", 0, 30, 0.2f, 2, 0.2f, 1, EFFECT_FIELD(GaussianBlurParams, radius), 100, 5}),
                0, 0, 4, 1);
    return view;
}
