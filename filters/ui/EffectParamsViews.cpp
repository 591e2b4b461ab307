#include "filters/ui/EffectParamsViews.h"

#include "filters/EffectRegistry.h"

#include <array>

namespace {

std::array<EffectCreateViewFn, 256>& Factories() {
    static std::array<EffectCreateViewFn, 256> factories{};
    return factories;
}

bool HasRow(uint8_t type) { return FindEffectTypeInfo(type).init != nullptr; }

}  // namespace

void SetEffectViewFactory(uint8_t type, EffectCreateViewFn factory) {
    if (HasRow(type)) Factories()[type] = factory;
}

EffectCreateViewFn FindEffectViewFactory(uint8_t type) { return HasRow(type) ? Factories()[type] : nullptr; }

IEffectParamsView* CreateEffectParamsView(uint8_t type, QWidget* parent, int childId) {
    const EffectCreateViewFn factory = FindEffectViewFactory(type);
    return factory ? factory(parent, childId) : nullptr;
}
