#pragma once
// The factories of the filter parameter views, one per filter type that has
// parameters, and their registration in the view table.
class IEffectParamsView;
class QWidget;

IEffectParamsView* CreateBrightnessContrastView(QWidget* parent, int childId);
IEffectParamsView* CreateColorFillView(QWidget* parent, int childId);
IEffectParamsView* CreateHueSaturationView(QWidget* parent, int childId);
IEffectParamsView* CreateLevelsView(QWidget* parent, int childId);
IEffectParamsView* CreateBlurView(QWidget* parent, int childId);
IEffectParamsView* CreateGaussianBlurView(QWidget* parent, int childId);
IEffectParamsView* CreateDropShadowView(QWidget* parent, int childId);
IEffectParamsView* CreateInnerShadowView(QWidget* parent, int childId);
IEffectParamsView* CreateGlowView(QWidget* parent, int childId);
IEffectParamsView* CreateInnerGlowView(QWidget* parent, int childId);
IEffectParamsView* CreateNewtonianShadowView(QWidget* parent, int childId);
IEffectParamsView* CreateKaleidoscopeBlurView(QWidget* parent, int childId);
IEffectParamsView* CreateMotionBlurView(QWidget* parent, int childId);
IEffectParamsView* CreateGaussianBevelView(QWidget* parent, int childId);
IEffectParamsView* CreateEmbossView(QWidget* parent, int childId);
IEffectParamsView* CreateInnerBevelView(QWidget* parent, int childId);
IEffectParamsView* CreateOuterBevelView(QWidget* parent, int childId);

// Installs every factory above in the view table (once, at start-up).
void RegisterEffectParamsViews();
