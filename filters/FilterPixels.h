#pragma once
// Small pieces every filter shares: the size rule of the rescale functions.
#include <algorithm>

// Sizes never turn negative when an object shrinks or is mirrored by a negative factor.
inline float ScaledFilterSize(float value, float f) { return std::max(f * value, 0.0f); }
