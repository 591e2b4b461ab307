// Parameter views of Drop Shadow (sizes in percent of the larger side) and,
// in InnerShadowView.cpp, Inner Shadow (sizes in pixels): three fields and a
// colour well in the first panel, the angle dial in the second.
#include "filters/ui/CEffectParamsView.h"
#include "filters/ui/EffectViewFactories.h"
#include "filters/ui/ShadowViewLayout.h"

IEffectParamsView* CreateDropShadowView(QWidget* parent, int childId) {
    const NumericFieldSpec fields[] = {
        {1001, "Distance", "%", 0, 30, 0.5f, 2, 0.5f, 1, EFFECT_FIELD(DropShadowParams, distance), 100, 4},
        {1002, "Softness", "%", 0, 30, 0.5f, 2, 0.5f, 0, EFFECT_FIELD(DropShadowParams, softness), 100, 3},
        {1003, "Opacity", "%", 0, 100, 1, 1, 1, 0, EFFECT_FIELD(DropShadowParams, opacity), 100, 60},
    };
    return BuildShadowView(parent, childId, 2, fields, EFFECT_FIELD(DropShadowParams, angle),
                           EFFECT_COLOR(DropShadowParams, colour), "Drop Shadow Color");
}
