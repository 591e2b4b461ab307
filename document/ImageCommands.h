#pragma once
// The Image menu's messages: Add Mask, Invert, Brightness and Inpaint show
// these texts (Inpaint's failures, and the offer to convert a posable object
// or a light cone into a bitmap first).
#include <string>

inline constexpr const char* kInpaintNeedsPaintSession =
    "Inpaint requires bitmap editing mode (a brush tool active on a Bitmap).";
inline constexpr const char* kInpaintNeedsSelection =
    "Inpaint needs a selection \xE2\x80\x94 use a selection tool to mark the area to fill.";
inline constexpr const char* kInpaintCannotStart = "Couldn't start the inpaint workspace.";

// "Convert \"<name>\" to Bitmap to apply <what>?" with the warning that the
// object's type-specific data goes.
std::string ConvertForEffectQuestion(const std::string& objectName, const std::string& what);
