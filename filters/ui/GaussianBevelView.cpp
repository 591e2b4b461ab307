// Parameter view of Gaussian Bevel: width, softness, strength and the dial.
#include "filters/ui/BevelParamsView.h"
#include "filters/ui/EffectViewFactories.h"

IEffectParamsView* CreateGaussianBevelView(QWidget* parent, int childId) {
    const NumericFieldSpec fields[] = {
        {1001, "Width", "px", 0, 100, 0.5f, 2, 0.5f, 1, EFFECT_FIELD(GaussianBevelParams, width), 1, 8},
        {1002, "Softness", "px", 0, 50, 0.5f, 2, 0.5f, 0, EFFECT_FIELD(GaussianBevelParams, softness), 1, 2},
        {1003, "Strength", "%", 0, 100, 1, 1, 1, 0, EFFECT_FIELD(GaussianBevelParams, strength), 100, 100},
    };
    return MakeBevelView(parent, childId, 4, {}, true, fields, EFFECT_FIELD(GaussianBevelParams, angle));
}
