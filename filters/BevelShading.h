#pragma once
// What the bevel filters share: the cross-section profiles and the custom
// profile curve.
#include <cstdint>
#include <vector>

// Cross-section of a bevel: 0 Flat, 1 Smooth, 2 Ball, 3 Sloped, 4 Custom (the
// record's curve). Any other value behaves as Flat.
enum BevelProfile : uint8_t {
    kBevelFlat = 0,
    kBevelSmooth = 1,
    kBevelBall = 2,
    kBevelSloped = 3,
    kBevelCustom = 4,
};
constexpr int kBevelProfileCount = 5;

// A point of a custom bevel curve, both coordinates meant to lie in 0..1.
struct CurvePoint {
    float x = 0, y = 0;
    bool operator==(const CurvePoint&) const = default;
};

inline std::vector<CurvePoint> DefaultBevelCurve() { return {{0, 0}, {1, 1}}; }

