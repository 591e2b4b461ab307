#pragma once
// The layout shared by the Drop Shadow and Inner Shadow views: distance,
// softness, opacity and the colour well in the first panel, the angle dial
// (wrapping 0 to 360) in the second.
#include "filters/ui/CEffectParamsView.h"

inline IEffectParamsView* BuildShadowView(QWidget* parent, int childId, int alternative,
                                          const NumericFieldSpec (&fields)[3], EffectFloatField angle,
                                          EffectColorField colour, const char* title) {
    auto* view = new CEffectParamsView(parent, childId, alternative);
    for (int i = 0; i < 3; ++i) view->Place(0, view->AddNumeric(fields[i]), 0, i, 4, 1);
    QWidget* dial = view->AddAngle(1004, angle, 0, 360, 315);
    if (!dial) {
        delete view;
        return nullptr;
    }
    view->Place(0, view->AddColorWell(1005, colour, title, 0xFF000000), 3, 3, 1, 1);
    view->Place(1, dial, 0, 0, 4, 3);
    return view;
}
