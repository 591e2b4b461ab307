#pragma once
// The arithmetic of the property controls, apart from their windows: number
// texts (always in the C locale, whatever the user's locale, so a project
// edited anywhere reads the same), the slider's track mapping, the numeric
// edit's drag and fill-bar scale and the angle edit's wrapping.
#include <string>

// "%.*f" with decimals above 0, else the value rounded half away from zero
// as a whole number; '.' is the decimal point.
std::string FormatPropNumber(double value, int decimals);
// As atof in the C locale: leading blanks skipped, the longest leading
// number counts, text without one (or not a number) gives 0.
double ParsePropNumber(const std::string& text);

// Below the minimum gives the minimum, otherwise the smaller of v and the maximum.
float ClampPropValue(float v, float minimum, float maximum);

// --- Slider: the track runs from x 8 to the right end R of the track ---
int SliderTrackRight(int clientWidth, bool valueBox);
float SliderValueFromX(int x, int clientWidth, bool valueBox, float minimum, float maximum, float exponent);
// Pixels of the track filled for the value (0 when the range is empty).
int SliderFillWidth(float value, int clientWidth, bool valueBox, float minimum, float maximum, float exponent);

// --- Numeric edit ---
// Both bounds finite floats (not the unbounded defaults) and minimum < maximum.
bool NumericRangeIsFinite(float minimum, float maximum);
bool NumericPivotActive(float pivot, float minimum, float maximum);
// The value's place on the control's travel, 0..1 (the pivot splits the
// travel in halves).
float NumericNormalize(float v, float minimum, float maximum, float pivot);
// The value after a drag of dx pixels from the press that started at
// startValue; clamped to the range.
float NumericDragValue(float startValue, int dx, float pixelsPerStep, float step, float dragStep, float minimum,
                       float maximum, float pivot);

// --- Angle edit ---
// A range of 360 (within 0.001) wraps, any other range clamps.
float AngleClampValue(float v, float minimum, float maximum);
// Degrees counter-clockwise from the positive x axis of the offset (dx, dy)
// in screen pixels (y down), in 0..360.
float AngleFromOffset(int dx, int dy);
