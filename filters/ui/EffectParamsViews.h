#pragma once
// The parameter view of each filter type, kept on the user-interface side so
// that the core registry of filters knows nothing of widgets. The effect tab
// asks here for the view of the selected instance's type.
#include <cstdint>

class IEffectParamsView;
class QWidget;

// A new parameter view for the effect tab, owned by the caller, or null.
using EffectCreateViewFn = IEffectParamsView* (*)(QWidget* parent, int childId);

// Installs the factory of a type at start-up, before any view is created.
// Types without a registry row never get one (they show no view).
void SetEffectViewFactory(uint8_t type, EffectCreateViewFn factory);
// The installed factory, or null: the type has no view (Invert, an unknown type).
EffectCreateViewFn FindEffectViewFactory(uint8_t type);
// The view for the type, or null when it has none or its window cannot be made.
IEffectParamsView* CreateEffectParamsView(uint8_t type, QWidget* parent, int childId);
