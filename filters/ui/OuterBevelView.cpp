// Parameter view of Outer Bevel: as Emboss's, plus "Object Color" and the
// rim colour, which the colour wheel edits through the view's colour sink.
#include "filters/ui/BevelParamsView.h"
#include "filters/ui/EffectViewFactories.h"

IEffectParamsView* CreateOuterBevelView(QWidget* parent, int childId) {
    const NumericFieldSpec fields[] = {
        {1001, "Width", "px", 0, 300, 0.5f, 2, 0.5f, 1, EFFECT_FIELD(OuterBevelParams, width), 1, 8},
        {1002, "Softness", "px", 5, 50, 0.5f, 2, 0.5f, 0, EFFECT_FIELD(OuterBevelParams, softness), 1, 8},
        {1003, "Strength", "%", 0, 100, 1, 2, 1, 0, EFFECT_FIELD(OuterBevelParams, strength), 100, 100},
    };
    BevelRecordAccess access;
    access.profile = [](EffectParams& p) -> uint8_t* { auto* r = p.Get<OuterBevelParams>(); return r ? &r->profile : nullptr; };
    access.points = [](EffectParams& p) -> std::vector<CurvePoint>* {
        auto* r = p.Get<OuterBevelParams>();
        return r ? &r->points : nullptr;
    };
    access.useObjectColor = [](EffectParams& p) -> bool* {
        auto* r = p.Get<OuterBevelParams>();
        return r ? &r->useObjectColor : nullptr;
    };
    return MakeBevelView(parent, childId, 9, access, false, fields, EFFECT_FIELD(OuterBevelParams, angle),
                         EFFECT_COLOR(OuterBevelParams, color));
}
