#include "filters/EffectInstance.h"
#include "filters/ui/EffectParamsViews.h"
#include "filters/ui/EffectViewFactories.h"

void RegisterEffectParamsViews() {
    SetEffectViewFactory(kEffectDropShadow, CreateDropShadowView);
    SetEffectViewFactory(kEffectInnerShadow, CreateInnerShadowView);
    SetEffectViewFactory(kEffectGlow, CreateGlowView);
    SetEffectViewFactory(kEffectInnerGlow, CreateInnerGlowView);
    SetEffectViewFactory(kEffectBlur, CreateBlurView);
    SetEffectViewFactory(kEffectGaussianBlur, CreateGaussianBlurView);
    SetEffectViewFactory(kEffectGaussianBevel, CreateGaussianBevelView);
    SetEffectViewFactory(kEffectInnerBevel, CreateInnerBevelView);
    SetEffectViewFactory(kEffectOuterBevel, CreateOuterBevelView);
    SetEffectViewFactory(kEffectEmboss, CreateEmbossView);
    SetEffectViewFactory(kEffectKaleidoscopeBlur, CreateKaleidoscopeBlurView);
    SetEffectViewFactory(kEffectBrightnessContrast, CreateBrightnessContrastView);
    SetEffectViewFactory(kEffectHueSaturation, CreateHueSaturationView);
    SetEffectViewFactory(kEffectColorFill, CreateColorFillView);
    SetEffectViewFactory(kEffectLevels, CreateLevelsView);
    SetEffectViewFactory(kEffectNewtonianShadow, CreateNewtonianShadowView);
    SetEffectViewFactory(kEffectMotionBlur, CreateMotionBlurView);
}
