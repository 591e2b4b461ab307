#pragma once
// The arithmetic of the "Set Canvas" dialog: sizes in pixels or in percent
// of the current size, the linked other side, the preview and the result.
// Roundings are half away from zero; canvas sides are limited to 1..32767.
#include <cstdint>
#include <optional>
#include <string>

enum CanvasSizeUnit : int { kCanvasUnitPixels = 0, kCanvasUnitPercent = 1 };

int32_t RoundHalfAway(double v);
int32_t ClampCanvasSide(double v);

// An edit's text as an unsigned integer (blanks around it allowed), or none.
std::optional<uint32_t> ParseCanvasSizeNumber(const std::string& text);
// An edit's text as a signed integer for OK, or none ("Enter an integer.").
std::optional<int32_t> ParseCanvasSizeInteger(const std::string& text);

// The pixel size a side's number stands for (the old size when the number
// could not be read), clamped.
int32_t CanvasSidePreview(std::optional<uint32_t> number, int32_t oldSide, int unit);
// The number a side shows after switching to toUnit.
int64_t CanvasSideConverted(std::optional<uint32_t> number, int32_t oldSide, int toUnit);
// The other side's number when "Linked" follows a typed side: in pixels in
// proportion to the old size, in percent the same number.
uint32_t CanvasLinkedSide(uint32_t typed, int32_t oldTyped, int32_t oldOther, int unit);
// The size OK returns for a side's value.
int32_t CanvasSideResult(int32_t value, int32_t oldSide, int unit);
