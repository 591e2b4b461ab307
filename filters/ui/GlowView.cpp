// Parameter view of Glow: width, softness, opacity and the colour.
#include "filters/ui/CEffectParamsView.h"
#include "filters/ui/EffectViewFactories.h"

IEffectParamsView* CreateGlowView(QWidget* parent, int childId) {
    auto* view = new CEffectParamsView(parent, childId, 6);
    const NumericFieldSpec fields[] = {
        {1001, "Width", "px", 0, 100, 0.5f, 2, 0.5f, 1, EFFECT_FIELD(GlowParams, width), 1, 4},
        {1002, "Softness", "px", 0, 50, 0.5f, 2, 0.5f, 0, EFFECT_FIELD(GlowParams, softness), 1, 0},
        {1003, "Opacity", "%", 0, 100, 1, 2, 1, 0, EFFECT_FIELD(GlowParams, opacity), 100, 75},
    };
    for (int i = 0; i < 3; ++i) view->Place(0, view->AddNumeric(fields[i]), 0, i, 4, 1);
    view->Place(0, view->AddColorWell(1004, EFFECT_COLOR(GlowParams, colour), "Glow Color", 0xFFFFFFFF), 3, 3, 1, 1);
    return view;
}
