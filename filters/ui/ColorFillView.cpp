// Parameter view of Color Fill: the opacity in percent and the fill colour.
#include "filters/ui/CEffectParamsView.h"
#include "filters/ui/EffectViewFactories.h"

IEffectParamsView* CreateColorFillView(QWidget* parent, int childId) {
    auto* view = new CEffectParamsView(parent, childId, 14);
    view->Place(0, view->AddNumeric({1001, "Opacity", "%", 0, 100, 1, 2, 1, 0, EFFECT_FIELD(ColorFillParams, opacity), 100, 100}),
                0, 0, 4, 1);
    view->Place(0, view->AddColorWell(1002, EFFECT_COLOR(ColorFillParams, colour), "Color Fill", 0xFFC85050), 3, 1, 1, 1);
    return view;
}
