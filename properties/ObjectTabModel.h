#pragma once
// What the object ("Info") and light tabs compute without a window: the
// blend-mode list of the object tab, the object's info line and the light
// tab's slider scales.
#include "scene/CanvasObject.h"

#include <cstdint>
#include <string>
#include <vector>

// The blend list: item texts (an empty text is a separator, U+001F a column
// break) and the blend value of each item (46 for separators and breaks).
inline constexpr uint8_t kBlendListNoMode = 46;
inline constexpr uint8_t kBlendPhotoBash = 45;
struct BlendListItems {
    std::vector<std::string> texts;
    std::vector<uint8_t> values;
};
const BlendListItems& ObjectTabBlendItems();
// The first item showing the mode, 0 when none does.
int BlendItemIndexForMode(uint8_t mode);

// "Bitmap", "Posable Object" or "Light Cone", and for a bitmap whose first
// image is shown at another size, its stored and displayed sizes.
std::string ObjectInfoText(const CanvasObject& object);

// The light tab's five sliders: Height, Cone, Amt, Amb, Fall.
struct LightSliderValues {
    float height = 0, cone = 0, amount = 0, ambient = 0, falloff = 0;
};
enum LightSlider : int { kLightSliderHeight, kLightSliderCone, kLightSliderAmount, kLightSliderAmbient, kLightSliderFalloff };
struct LightSliderRange {
    float minimum, maximum;
};
LightSliderRange LightSliderRangeOf(int slider);
// The slider values that show the parameters, clamped to each slider's range.
LightSliderValues LightSlidersFromParams(const LightConeParams& params);
// The parameters with the one field of the slider that moved taken from its
// value; every other field stays as the light has it (a height set by the
// gizmo beyond the slider's range is not overwritten by a clamped copy).
LightConeParams LightParamsWithSlider(const LightConeParams& params, int slider, float value);
