#include "properties/CanvasSizeMath.h"

#include <algorithm>
#include <cmath>
#include <limits>

int32_t RoundHalfAway(double v) {
    if (std::isnan(v)) return 0;
    v = std::round(v);
    if (v >= double(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (v <= double(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

int32_t ClampCanvasSide(double v) {
    if (std::isnan(v)) return 1;
    return int32_t(std::clamp(v, 1.0, 32767.0));
}

namespace {
std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}
}  // namespace

std::optional<uint32_t> ParseCanvasSizeNumber(const std::string& text) {
    const std::string t = Trim(text);
    if (t.empty() || t.size() > 10) return std::nullopt;
    uint64_t v = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + uint64_t(c - '0');
    }
    if (v > 0xFFFFFFFFull) return std::nullopt;
    return uint32_t(v);
}

std::optional<int32_t> ParseCanvasSizeInteger(const std::string& text) {
    std::string t = Trim(text);
    bool negative = false;
    if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
        negative = t[0] == '-';
        t.erase(0, 1);
    }
    if (t.empty() || t.size() > 10) return std::nullopt;
    int64_t v = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (negative) v = -v;
    if (v > std::numeric_limits<int32_t>::max() || v < std::numeric_limits<int32_t>::min()) return std::nullopt;
    return int32_t(v);
}

int32_t CanvasSidePreview(std::optional<uint32_t> number, int32_t oldSide, int unit) {
    if (!number) return ClampCanvasSide(oldSide);
    if (unit == kCanvasUnitPercent) return ClampCanvasSide(RoundHalfAway(double(*number) * oldSide / 100.0));
    return ClampCanvasSide(double(*number));
}

int64_t CanvasSideConverted(std::optional<uint32_t> number, int32_t oldSide, int toUnit) {
    oldSide = std::max(oldSide, 1);
    if (toUnit == kCanvasUnitPercent) {
        const double px = number ? double(*number) : double(oldSide);
        return int64_t(std::llround(px * 100.0 / oldSide));
    }
    const double pct = number ? double(*number) : 100.0;
    return ClampCanvasSide(RoundHalfAway(pct * oldSide / 100.0));
}

uint32_t CanvasLinkedSide(uint32_t typed, int32_t oldTyped, int32_t oldOther, int unit) {
    if (unit == kCanvasUnitPercent) return typed;
    return uint32_t(ClampCanvasSide(RoundHalfAway(double(oldOther) * typed / std::max(oldTyped, 1))));
}

int32_t CanvasSideResult(int32_t value, int32_t oldSide, int unit) {
    if (unit == kCanvasUnitPercent) return ClampCanvasSide(RoundHalfAway(double(value) * oldSide / 100.0));
    return ClampCanvasSide(value);
}
