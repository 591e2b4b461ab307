// Parameter view of Inner Shadow: distance and softness in pixels.
#include "filters/ui/CEffectParamsView.h"
#include "filters/ui/EffectViewFactories.h"
#include "filters/ui/ShadowViewLayout.h"

IEffectParamsView* CreateInnerShadowView(QWidget* parent, int childId) {
    const NumericFieldSpec fields[] = {
        {1001, "Distance", "px", 0, 100, 0.5f, 2, 0.5f, 1, EFFECT_FIELD(InnerShadowParams, distance), 1, 4},
        {1002, "Softness", "px", 0, 50, 0.5f, 2, 0.5f, 0, EFFECT_FIELD(InnerShadowParams, softness), 1, 4},
        {1003, "Opacity", "%", 0, 100, 1, 2, 1, 0, EFFECT_FIELD(InnerShadowParams, opacity), 100, 50},
    };
    return BuildShadowView(parent, childId, 8, fields, EFFECT_FIELD(InnerShadowParams, angle),
                           EFFECT_COLOR(InnerShadowParams, colour), "Inner Shadow Color");
}
