// Parameter view of Emboss: the profile list, width, softness, strength,
// the dial and, for the Custom profile, the curve editor.
#include "filters/ui/BevelParamsView.h"
#include "filters/ui/EffectViewFactories.h"

IEffectParamsView* CreateEmbossView(QWidget* parent, int childId) {
    const NumericFieldSpec fields[] = {
        {1001, "Width", "px", 0, 300, 0.5f, 2, 0.5f, 1, EFFECT_FIELD(EmbossParams, width), 1, 8},
        {1002, "Softness", "px", 5, 50, 0.5f, 2, 0.5f, 0, EFFECT_FIELD(EmbossParams, softness), 1, 8},
        {1003, "Strength", "%", 0, 100, 1, 2, 1, 0, EFFECT_FIELD(EmbossParams, strength), 100, 100},
    };
    BevelRecordAccess access;
    access.profile = [](EffectParams& p) -> uint8_t* { auto* r = p.Get<EmbossParams>(); return r ? &r->profile : nullptr; };
    access.points = [](EffectParams& p) -> std::vector<CurvePoint>* {
        auto* r = p.Get<EmbossParams>();
        return r ? &r->points : nullptr;
    };
    return MakeBevelView(parent, childId, 11, access, false, fields, EFFECT_FIELD(EmbossParams, angle));
}
