#include "properties/PropNumbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

std::string FormatPropNumber(double value, int decimals) {
    if (!std::isfinite(value)) value = 0;
    char buf[400];
    std::to_chars_result r;
    if (decimals > 0) {
        r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, std::min(decimals, 30));
    } else {
        double whole = std::round(value);  // halves away from zero
        if (whole == 0) whole = 0;         // no "-0"
        r = std::to_chars(buf, buf + sizeof buf, whole, std::chars_format::fixed, 0);
    }
    if (r.ec != std::errc()) return "0";
    return std::string(buf, r.ptr);
}

double ParsePropNumber(const std::string& text) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f')) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p == end || *p == '+' || *p == '-') return 0;
    double v = 0;
    auto r = std::from_chars(p, end, v, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        // Too large: as strtod, the largest magnitude; too small: zero.
        bool tiny = false;
        for (const char* q = p; q < r.ptr; ++q)
            if (*q == 'e' || *q == 'E') tiny = q + 1 < r.ptr && q[1] == '-';
        v = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (r.ec != std::errc()) {
        return 0;
    }
    if (std::isnan(v)) return 0;
    return negative ? -v : v;
}

float ClampPropValue(float v, float minimum, float maximum) {
    if (std::isnan(v)) v = 0;
    if (v < minimum) return minimum;
    return std::min(v, maximum);
}

int SliderTrackRight(int clientWidth, bool valueBox) { return clientWidth - (valueBox ? 60 : 8); }

float SliderValueFromX(int x, int clientWidth, bool valueBox, float minimum, float maximum, float exponent) {
    const int right = SliderTrackRight(clientWidth, valueBox);
    if (right - 8 <= 0) return minimum;
    float t = std::clamp(float(x - 8) / float(right - 8), 0.0f, 1.0f);
    if (exponent != 1.0f) t = std::pow(t, exponent);
    return minimum + (maximum - minimum) * t;
}

int SliderFillWidth(float value, int clientWidth, bool valueBox, float minimum, float maximum, float exponent) {
    if (!(minimum < maximum)) return 0;
    const int right = SliderTrackRight(clientWidth, valueBox);
    float t = std::clamp((value - minimum) / (maximum - minimum), 0.0f, 1.0f);
    if (exponent != 1.0f && exponent != 0.0f) t = std::pow(t, 1.0f / exponent);
    return std::max(0, int(float(right - 8) * t));
}

bool NumericRangeIsFinite(float minimum, float maximum) {
    return minimum > std::numeric_limits<float>::lowest() && maximum < std::numeric_limits<float>::max() &&
           minimum < maximum;
}

bool NumericPivotActive(float pivot, float minimum, float maximum) {
    return !std::isnan(pivot) && pivot > minimum && pivot < maximum;
}

float NumericNormalize(float v, float minimum, float maximum, float pivot) {
    if (!NumericRangeIsFinite(minimum, maximum)) return 0;
    if (NumericPivotActive(pivot, minimum, maximum)) {
        if (v <= pivot) return (v - minimum) * 0.5f / (pivot - minimum);
        return 0.5f + (v - pivot) * 0.5f / (maximum - pivot);
    }
    return std::clamp((v - minimum) / (maximum - minimum), 0.0f, 1.0f);
}

float NumericDragValue(float startValue, int dx, float pixelsPerStep, float step, float dragStep, float minimum,
                       float maximum, float pivot) {
    const float s = dragStep > 0 ? dragStep : step;
    const float pps = pixelsPerStep > 0.25f ? pixelsPerStep : 0.25f;
    const float n = std::floor(std::fabs(float(dx) / pps));
    float d = n * s;
    if (dx < 0) d = -d;
    float v = startValue;
    // On an unbounded range the pivot has no scale to split, so it is ignored
    // and the drag steps from the start value as without one.
    if (NumericPivotActive(pivot, minimum, maximum) && NumericRangeIsFinite(minimum, maximum)) {
        const float t = std::clamp(NumericNormalize(startValue, minimum, maximum, pivot) + d, 0.0f, 1.0f);
        v = t <= 0.5f ? minimum + (pivot - minimum) * 2 * t : pivot + (maximum - pivot) * 2 * (t - 0.5f);
    } else {
        v = startValue + d;
    }
    return ClampPropValue(v, minimum, maximum);
}

float AngleClampValue(float v, float minimum, float maximum) {
    if (std::isnan(v)) v = minimum;
    const float span = maximum - minimum;
    if (span > 0 && std::fabs(span - 360.0f) <= 0.001f) {
        if (!std::isfinite(v)) return minimum;
        float m = std::fmod(v - minimum, span);
        if (m < 0) m += span;
        float r = minimum + m;
        // fmod of a tiny negative can land exactly on the span.
        return r >= minimum + span ? minimum : r;
    }
    if (v < minimum) return minimum;
    if (v > maximum) return maximum;
    return v;
}

float AngleFromOffset(int dx, int dy) {
    float a = float(std::atan2(double(-dy), double(dx)) * 57.295776);
    if (a < 0) a += 360;
    return a;
}
