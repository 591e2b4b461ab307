#pragma once
// The 46 blend modes as pure functions of straight colour values in [0, 1]
// (Cb backdrop, Cs source), the non-separable whole-colour modes, and the
// source-over composite with a blend. Nothing here clamps beyond what the
// formulas do; callers clamp when they write bytes.
//
// Each separable mode is one small template over the value type, so the
// lane kernels of the layer blender run the same formula as the scalar
// functions. Branches that give a bound write it inside the min or max
// (min(1, c ? 1 : q) rather than c ? 1 : min(1, q)): the same value, and a
// form the compiler keeps in wide vector registers. The template flag `Guarded` floors divisors at 1e-6
// where the scalar formula divides by the bare value (the lane kernels do
// that, since they evaluate both sides of every branch).
#include <cmath>
#include <cstdint>
#include <type_traits>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

// Mode ids (the object's `blendMode` byte).
enum BlendModeId : uint8_t {
    kBlendNormal = 0, kBlendAverage, kBlendDissolve,
    kBlendDarken, kBlendMultiply, kBlendColorBurn, kBlendInverseColorBurn, kBlendSoftBurn, kBlendLinearBurn,
    kBlendLighten, kBlendScreen, kBlendColorDodge, kBlendInverseColorDodge, kBlendSoftDodge, kBlendLinearDodge,
    kBlendOverlay, kBlendSoftLight, kBlendFuzzyLight, kBlendHardLight, kBlendVividLight, kBlendLinearLight,
    kBlendPinLight, kBlendHardMix,
    kBlendDifference, kBlendExclusion, kBlendNegation,
    kBlendHue, kBlendSaturation, kBlendColor, kBlendLuminosity, kBlendRed, kBlendGreen, kBlendBlue,
    kBlendReflect, kBlendGlow, kBlendFreeze, kBlendHeat,
    kBlendAdditive, kBlendSubtractive, kBlendSubtract, kBlendInterpolation, kBlendStamp, kBlendXor,
    kBlendInvert, kBlendTint,
    kBlendPhotoBash = 45,
};

constexpr int kBlendModeCount = 46;
// The value the mode list uses for its separator rows; it is no mode.
constexpr uint8_t kBlendModeSeparator = 46;

// The name shown in the mode list ("Normal" ... "Photo-Bash Blend"); "" for other values.
const char* BlendModeName(int mode);
// The run of the mode list the mode belongs to (1 to 10), 0 for other values.
int BlendModeGroup(int mode);
// True for the modes computed on the whole colour (Hue ... Blue, Tint).
bool BlendModeIsNonSeparable(int mode);

// B(Cb, Cs) for one channel. Whole-colour modes and values above 45 give Cs.
float BlendChannel(float cb, float cs, int mode);
// SetLum with ClipColor: moves (r, g, b) to luminosity l and pulls it into range.
void SetLumClip(float& r, float& g, float& b, float l);
// B(Cb, Cs) for a whole colour; separable modes go channel by channel.
void BlendNonSeparable(float& outR, float& outG, float& outB, float br, float bg, float bb, float sr, float sg,
                       float sb, int mode);
// Source-over composite with the blend; straight in, straight out.
void CompositePixelWithBlend(float& outR, float& outG, float& outB, float& outA, float br, float bg, float bb,
                             float ab, float sr, float sg, float sb, float as, int mode);

// ------------------------------------------------------------------------
// Per-mode formulas, usable with float and with GCC vector types.

typedef float F32x4 __attribute__((vector_size(16)));
typedef float F32x8 __attribute__((vector_size(32)));
typedef float F32x16 __attribute__((vector_size(64)));

namespace blendfn {

#define BLENDFN inline __attribute__((always_inline))

template <class V> struct LaneInt;
template <> struct LaneInt<F32x4> { typedef int32_t type __attribute__((vector_size(16))); };
template <> struct LaneInt<F32x8> { typedef int32_t type __attribute__((vector_size(32))); };
template <> struct LaneInt<F32x16> { typedef int32_t type __attribute__((vector_size(64))); };

template <class V>
BLENDFN V K(float c) {
    if constexpr (std::is_same_v<V, float>) return c;
    else return V{} + c;
}
template <class V> BLENDFN V Min(V a, V b) { return a < b ? a : b; }
template <class V> BLENDFN V Max(V a, V b) { return a > b ? a : b; }
template <class V> BLENDFN V Abs(V a) { return a < 0.0f ? -a : a; }
// Correctly rounded square root: lanes and scalars agree bit for bit. Wide
// vectors are taken four lanes at a time with the baseline SSE instruction;
// inside the AVX row functions the compiler joins the halves again.
template <class V> BLENDFN V Sqrt(V v) {
    if constexpr (std::is_same_v<V, float>) {
        return std::sqrt(v);
#if defined(__x86_64__) && !defined(__clang__)
    } else if constexpr (sizeof(V) == 16) {
        return __builtin_ia32_sqrtps(v);
    } else if constexpr (sizeof(V) == 32) {
        return __builtin_ia32_sqrtps256(v);
    } else if constexpr (sizeof(V) == 64) {
        return __builtin_ia32_sqrtps512_mask(v, v, (unsigned short)0xFFFF, 4);
#elif defined(__x86_64__)
    } else if constexpr (sizeof(V) == 16) {
        return (V)_mm_sqrt_ps((__m128)v);
    } else if constexpr (sizeof(V) == 32) {
        const F32x4 lo = Sqrt<F32x4>(__builtin_shufflevector(v, v, 0, 1, 2, 3));
        const F32x4 hi = Sqrt<F32x4>(__builtin_shufflevector(v, v, 4, 5, 6, 7));
        return (V)__builtin_shufflevector(lo, hi, 0, 1, 2, 3, 4, 5, 6, 7);
    } else if constexpr (sizeof(V) == 64) {
        const F32x8 lo = Sqrt<F32x8>(__builtin_shufflevector(v, v, 0, 1, 2, 3, 4, 5, 6, 7));
        const F32x8 hi = Sqrt<F32x8>(__builtin_shufflevector(v, v, 8, 9, 10, 11, 12, 13, 14, 15));
        return (V)__builtin_shufflevector(lo, hi, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
#endif
    } else {
        V r = v;
        for (int i = 0; i < int(sizeof(V) / sizeof(float)); ++i) r[i] = std::sqrt(v[i]);
        return r;
    }
}
// n / d, with d floored at 1e-6 when guarded.
template <bool G, class V> BLENDFN V Div(V n, V d) { return G ? n / Max(d, K<V>(1e-6f)) : n / d; }

// Rounds to the nearest integer, halves to even (for |v| < 2^22).
template <class V> BLENDFN V RoundHalfEven(V v) {
    const V m = K<V>(12582912.0f);  // 1.5 x 2^23: adding it leaves no fraction bits
    V t = v + m;
    return t - m;
}
// cos(pi x) by range reduction to [0, 0.5] and a Taylor polynomial of
// degree 12 (error below 1e-8), so lanes and scalars give the same value.
template <class V> BLENDFN V CosPi(V x) {
    V t = Abs(x - 2.0f * RoundHalfEven(x * 0.5f));  // [0, 1]
    const V flip = t > 0.5f ? K<V>(-1) : K<V>(1);
    t = t > 0.5f ? 1.0f - t : t;
    const V u = (3.14159265358979323846f * t) * (3.14159265358979323846f * t);
    V p = K<V>(1.0f / 479001600.0f);
    p = p * u - 1.0f / 3628800.0f;
    p = p * u + 1.0f / 40320.0f;
    p = p * u - 1.0f / 720.0f;
    p = p * u + 1.0f / 24.0f;
    p = p * u - 0.5f;
    p = p * u + 1.0f;
    return p * flip;
}
// byte(x) = x x 255 + 0.5 truncated, with x pinned to [0, 1] so the conversion stays defined.
template <class V> BLENDFN auto ByteOf(V x) {
    x = Min(Max(x, K<V>(0)), K<V>(1)) * 255.0f + 0.5f;
    if constexpr (std::is_same_v<V, float>) return int(x);
    else return __builtin_convertvector(x, typename LaneInt<V>::type);
}

// Average: (Cb + Cs) x 0.5
template <class V, bool G = false> BLENDFN V Average(V b, V s) { return (b + s) * 0.5f; }
// Darken: min(Cb, Cs)
template <class V, bool G = false> BLENDFN V Darken(V b, V s) { return Min(b, s); }
// Multiply: Cb x Cs
template <class V, bool G = false> BLENDFN V Multiply(V b, V s) { return b * s; }
// Color Burn: Cs <= 0 -> 0, else 1 - min(1, (1 - Cb) / Cs)
template <class V, bool G = false> BLENDFN V ColorBurn(V b, V s) {
    return s <= 0.0f ? K<V>(0) : 1.0f - Min(K<V>(1), Div<G>(1.0f - b, s));
}
// Inverse Color Burn: Cb <= 0 -> 0, else 1 - min(1, (1 - Cs) / Cb)
template <class V, bool G = false> BLENDFN V InverseColorBurn(V b, V s) {
    return b <= 0.0f ? K<V>(0) : 1.0f - Min(K<V>(1), Div<G>(1.0f - s, b));
}
// Soft Burn: Cb + Cs < 1: (Cb >= 1 -> 1, else Cs/2 / max(1 - Cb, 1e-6)); else (Cs <= 0 -> 0, else 1 - (1 - Cb)/2 / Cs)
template <class V, bool G = false> BLENDFN V SoftBurn(V b, V s) {
    return b + s < 1.0f ? (b >= 1.0f ? K<V>(1) : s * 0.5f / Max(1.0f - b, K<V>(1e-6f)))
                        : (s <= 0.0f ? K<V>(0) : 1.0f - Div<G>((1.0f - b) * 0.5f, s));
}
// Linear Burn (and Subtractive): max(Cb + Cs - 1, 0)
template <class V, bool G = false> BLENDFN V LinearBurn(V b, V s) { return Max(b + s - 1.0f, K<V>(0)); }
// Lighten: max(Cb, Cs)
template <class V, bool G = false> BLENDFN V Lighten(V b, V s) { return Max(b, s); }
// Screen: 1 - (1 - Cb)(1 - Cs)
template <class V, bool G = false> BLENDFN V Screen(V b, V s) { return 1.0f - (1.0f - b) * (1.0f - s); }
// Color Dodge: Cs >= 1 -> 1, else min(1, Cb / (1 - Cs))
template <class V, bool G = false> BLENDFN V ColorDodge(V b, V s) {
    return Min(K<V>(1), s >= 1.0f ? K<V>(1) : Div<G>(b, 1.0f - s));
}
// Inverse Color Dodge: Cb >= 1 -> 1, else min(1, Cs / (1 - Cb))
template <class V, bool G = false> BLENDFN V InverseColorDodge(V b, V s) {
    return Min(K<V>(1), b >= 1.0f ? K<V>(1) : Div<G>(s, 1.0f - b));
}
// Soft Dodge: Cb + Cs < 1: (Cs >= 1 -> 1, else Cb/2 / max(1 - Cs, 1e-6)); else (Cb <= 0 -> 0, else 1 - (1 - Cs)/2 / Cb)
template <class V, bool G = false> BLENDFN V SoftDodge(V b, V s) {
    return b + s < 1.0f ? (s >= 1.0f ? K<V>(1) : b * 0.5f / Max(1.0f - s, K<V>(1e-6f)))
                        : (b <= 0.0f ? K<V>(0) : 1.0f - Div<G>((1.0f - s) * 0.5f, b));
}
// Linear Dodge (and Additive): min(Cb + Cs, 1)
template <class V, bool G = false> BLENDFN V LinearDodge(V b, V s) { return Min(b + s, K<V>(1)); }
// Overlay: Cb < 0.5 -> 2 Cb Cs, else 1 - 2 (1 - Cb)(1 - Cs)
template <class V, bool G = false> BLENDFN V Overlay(V b, V s) {
    return b < 0.5f ? 2.0f * b * s : 1.0f - 2.0f * (1.0f - b) * (1.0f - s);
}
// Soft Light (and Fuzzy Light): Cs < 0.5 -> Cb - (1 - 2Cs) Cb (1 - Cb), else Cb + (2Cs - 1)(D(Cb) - Cb),
// D(x) = ((16x - 12)x + 4)x for x < 0.25, else sqrt(x)
template <class V, bool G = false> BLENDFN V SoftLight(V b, V s) {
    const V d = b < 0.25f ? ((16.0f * b - 12.0f) * b + 4.0f) * b : Sqrt(Max(b, K<V>(0)));
    return s < 0.5f ? b - (1.0f - 2.0f * s) * b * (1.0f - b) : b + (2.0f * s - 1.0f) * (d - b);
}
// Hard Light: Cs < 0.5 -> 2 Cb Cs, else 1 - 2 (1 - Cb)(1 - Cs)
template <class V, bool G = false> BLENDFN V HardLight(V b, V s) {
    return s < 0.5f ? 2.0f * b * s : 1.0f - 2.0f * (1.0f - b) * (1.0f - s);
}
// Vivid Light: Cs < 0.5: (Cs <= 0 -> 0, else 1 - min(1, (1 - Cb) / 2Cs)); else (Cs >= 1 -> 1, else min(1, Cb / 2(1 - Cs)))
template <class V, bool G = false> BLENDFN V VividLight(V b, V s) {
    return s < 0.5f ? 1.0f - Min(K<V>(1), s <= 0.0f ? K<V>(1) : Div<G>(1.0f - b, 2.0f * s))
                    : Min(K<V>(1), s >= 1.0f ? K<V>(1) : Div<G>(b, 2.0f * (1.0f - s)));
}
// Linear Light (and Stamp): clamp(2 Cs + Cb - 1, 0, 1)
template <class V, bool G = false> BLENDFN V LinearLight(V b, V s) {
    return Min(Max(2.0f * s + b - 1.0f, K<V>(0)), K<V>(1));
}
// Pin Light: Cs < 0.5 -> min(Cb, 2 Cs), else max(Cb, 2 Cs - 1)
template <class V, bool G = false> BLENDFN V PinLight(V b, V s) {
    return s < 0.5f ? Min(b, 2.0f * s) : Max(b, 2.0f * s - 1.0f);
}
// Hard Mix: Vivid Light(Cb, Cs) < 0.5 -> 0, else 1
template <class V, bool G = false> BLENDFN V HardMix(V b, V s) {
    return VividLight<V, G>(b, s) < 0.5f ? K<V>(0) : K<V>(1);
}
// Difference: |Cb - Cs|
template <class V, bool G = false> BLENDFN V Difference(V b, V s) { return Abs(b - s); }
// Exclusion: Cb + Cs - 2 Cb Cs
template <class V, bool G = false> BLENDFN V Exclusion(V b, V s) { return b + s - 2.0f * b * s; }
// Negation: 1 - |1 - Cb - Cs|
template <class V, bool G = false> BLENDFN V Negation(V b, V s) { return 1.0f - Abs(1.0f - b - s); }
// Reflect: Cs >= 1 -> 1, else min(1, Cb^2 / max(1 - Cs, 1e-6))
template <class V, bool G = false> BLENDFN V Reflect(V b, V s) {
    return Min(K<V>(1), s >= 1.0f ? K<V>(1) : b * b / Max(1.0f - s, K<V>(1e-6f)));
}
// Glow: Cb >= 1 -> 1, else min(1, Cs^2 / max(1 - Cb, 1e-6))
template <class V, bool G = false> BLENDFN V Glow(V b, V s) {
    return Min(K<V>(1), b >= 1.0f ? K<V>(1) : s * s / Max(1.0f - b, K<V>(1e-6f)));
}
// Freeze: Cb <= 0 -> 0, else max(0, 1 - (1 - Cs)^2 / max(Cb, 1e-6))
template <class V, bool G = false> BLENDFN V Freeze(V b, V s) {
    return Max(K<V>(0), b <= 0.0f ? K<V>(0) : 1.0f - (1.0f - s) * (1.0f - s) / Max(b, K<V>(1e-6f)));
}
// Heat: Cs <= 0 -> 0, else max(0, 1 - (1 - Cb)^2 / max(Cs, 1e-6))
template <class V, bool G = false> BLENDFN V Heat(V b, V s) {
    return Max(K<V>(0), s <= 0.0f ? K<V>(0) : 1.0f - (1.0f - b) * (1.0f - b) / Max(s, K<V>(1e-6f)));
}
// Subtract: max(Cb - Cs, 0)
template <class V, bool G = false> BLENDFN V Subtract(V b, V s) { return Max(b - s, K<V>(0)); }
// Interpolation: 0.5 - 0.25 cos(pi Cb) - 0.25 cos(pi Cs)
template <class V, bool G = false> BLENDFN V Interpolation(V b, V s) {
    return 0.5f - 0.25f * CosPi(b) - 0.25f * CosPi(s);
}
// XOR: (byte(Cb) xor byte(Cs)) / 255, byte(x) = x x 255 + 0.5 truncated
template <class V, bool G = false> BLENDFN V Xor(V b, V s) {
    const auto x = ByteOf(b) ^ ByteOf(s);
    if constexpr (std::is_same_v<V, float>) return float(x) / 255.0f;
    else return __builtin_convertvector(x, V) / 255.0f;
}
// Invert: 1 - Cb (the source's colour does not enter; its alpha still composites)
template <class V, bool G = false> BLENDFN V Invert(V b, V) { return 1.0f - b; }

// ---- whole-colour modes: (Cb, Cs) -> (r, g, b)

// Lum(X) = 0.3 r + 0.59 g + 0.11 b
template <class V> BLENDFN V Lum(V r, V g, V b) { return 0.3f * r + 0.59f * g + 0.11f * b; }
template <class V> BLENDFN V Min3(V a, V b, V c) { return Min(Min(a, b), c); }
template <class V> BLENDFN V Max3(V a, V b, V c) { return Max(Max(a, b), c); }
// Sat(X) = max - min
template <class V> BLENDFN V Sat(V r, V g, V b) { return Max3(r, g, b) - Min3(r, g, b); }

// ClipColor: n < 0 -> c = L + (c - L) L / (L - n); then x > 1 -> c = L + (c - L)(1 - L) / (x - L)
template <class V> BLENDFN void ClipColor(V& r, V& g, V& b) {
    const V l = Lum(r, g, b), n = Min3(r, g, b), x = Max3(r, g, b);
    const auto lo = n < 0.0f;
    r = lo ? l + (r - l) * l / (l - n) : r;
    g = lo ? l + (g - l) * l / (l - n) : g;
    b = lo ? l + (b - l) * l / (l - n) : b;
    const auto hi = x > 1.0f;
    r = hi ? l + (r - l) * (1.0f - l) / (x - l) : r;
    g = hi ? l + (g - l) * (1.0f - l) / (x - l) : g;
    b = hi ? l + (b - l) * (1.0f - l) / (x - l) : b;
}
// SetLum(X, l): X + (l - Lum(X)), then ClipColor
template <class V> BLENDFN void SetLum(V& r, V& g, V& b, V l) {
    const V d = l - Lum(r, g, b);
    r = r + d, g = g + d, b = b + d;
    ClipColor(r, g, b);
}
// SetSat(X, s): largest -> s, middle -> (mid - min) s / (max - min), smallest -> 0; all 0 when max = min.
// Written per channel, so channels tied for the largest all become s.
template <class V> BLENDFN void SetSat(V& r, V& g, V& b, V s) {
    const V lo = Min3(r, g, b), hi = Max3(r, g, b), span = hi - lo;
    const auto flat = hi <= lo;
    r = flat ? K<V>(0) : (r >= hi ? s : (r - lo) * s / span);
    g = flat ? K<V>(0) : (g >= hi ? s : (g - lo) * s / span);
    b = flat ? K<V>(0) : (b >= hi ? s : (b - lo) * s / span);
}

#define BLEND_COLOR_ARGS \
    [[maybe_unused]] V br, [[maybe_unused]] V bg, [[maybe_unused]] V bb, [[maybe_unused]] V sr, \
        [[maybe_unused]] V sg, [[maybe_unused]] V sb, V &r, V &g, V &b
// Hue: SetLum(SetSat(Cs, Sat(Cb)), Lum(Cb))
template <class V> BLENDFN void Hue(BLEND_COLOR_ARGS) {
    r = sr, g = sg, b = sb;
    SetSat(r, g, b, Sat(br, bg, bb));
    SetLum(r, g, b, Lum(br, bg, bb));
}
// Saturation: SetLum(SetSat(Cb, Sat(Cs)), Lum(Cb))
template <class V> BLENDFN void Saturation(BLEND_COLOR_ARGS) {
    r = br, g = bg, b = bb;
    SetSat(r, g, b, Sat(sr, sg, sb));
    SetLum(r, g, b, Lum(br, bg, bb));
}
// Color: SetLum(Cs, Lum(Cb))
template <class V> BLENDFN void Color(BLEND_COLOR_ARGS) {
    r = sr, g = sg, b = sb;
    SetLum(r, g, b, Lum(br, bg, bb));
}
// Luminosity: SetLum(Cb, Lum(Cs))
template <class V> BLENDFN void Luminosity(BLEND_COLOR_ARGS) {
    r = br, g = bg, b = bb;
    SetLum(r, g, b, Lum(sr, sg, sb));
}
// Red: (Cs red, Cb green, Cb blue)
template <class V> BLENDFN void Red(BLEND_COLOR_ARGS) { r = sr, g = bg, b = bb; }
// Green: (Cb red, Cs green, Cb blue)
template <class V> BLENDFN void Green(BLEND_COLOR_ARGS) { r = br, g = sg, b = bb; }
// Blue: (Cb red, Cb green, Cs blue)
template <class V> BLENDFN void Blue(BLEND_COLOR_ARGS) { r = br, g = bg, b = sb; }
// Tint: Lum(Cb) x Cs
template <class V> BLENDFN void Tint(BLEND_COLOR_ARGS) {
    const V l = Lum(br, bg, bb);
    r = l * sr, g = l * sg, b = l * sb;
}

// ---- dispatch by mode at compile time

// B(Cb, Cs) of one channel for mode M; modes without a channel formula give Cs.
template <int M, bool G = false, class V> BLENDFN V Channel(V b, V s) {
    if constexpr (M == kBlendAverage) return Average<V, G>(b, s);
    else if constexpr (M == kBlendDarken) return Darken<V, G>(b, s);
    else if constexpr (M == kBlendMultiply) return Multiply<V, G>(b, s);
    else if constexpr (M == kBlendColorBurn) return ColorBurn<V, G>(b, s);
    else if constexpr (M == kBlendInverseColorBurn) return InverseColorBurn<V, G>(b, s);
    else if constexpr (M == kBlendSoftBurn) return SoftBurn<V, G>(b, s);
    else if constexpr (M == kBlendLinearBurn || M == kBlendSubtractive) return LinearBurn<V, G>(b, s);
    else if constexpr (M == kBlendLighten) return Lighten<V, G>(b, s);
    else if constexpr (M == kBlendScreen) return Screen<V, G>(b, s);
    else if constexpr (M == kBlendColorDodge) return ColorDodge<V, G>(b, s);
    else if constexpr (M == kBlendInverseColorDodge) return InverseColorDodge<V, G>(b, s);
    else if constexpr (M == kBlendSoftDodge) return SoftDodge<V, G>(b, s);
    else if constexpr (M == kBlendLinearDodge || M == kBlendAdditive) return LinearDodge<V, G>(b, s);
    else if constexpr (M == kBlendOverlay) return Overlay<V, G>(b, s);
    else if constexpr (M == kBlendSoftLight || M == kBlendFuzzyLight) return SoftLight<V, G>(b, s);
    else if constexpr (M == kBlendHardLight) return HardLight<V, G>(b, s);
    else if constexpr (M == kBlendVividLight) return VividLight<V, G>(b, s);
    else if constexpr (M == kBlendLinearLight || M == kBlendStamp) return LinearLight<V, G>(b, s);
    else if constexpr (M == kBlendPinLight) return PinLight<V, G>(b, s);
    else if constexpr (M == kBlendHardMix) return HardMix<V, G>(b, s);
    else if constexpr (M == kBlendDifference) return Difference<V, G>(b, s);
    else if constexpr (M == kBlendExclusion) return Exclusion<V, G>(b, s);
    else if constexpr (M == kBlendNegation) return Negation<V, G>(b, s);
    else if constexpr (M == kBlendReflect) return Reflect<V, G>(b, s);
    else if constexpr (M == kBlendGlow) return Glow<V, G>(b, s);
    else if constexpr (M == kBlendFreeze) return Freeze<V, G>(b, s);
    else if constexpr (M == kBlendHeat) return Heat<V, G>(b, s);
    else if constexpr (M == kBlendSubtract) return Subtract<V, G>(b, s);
    else if constexpr (M == kBlendInterpolation) return Interpolation<V, G>(b, s);
    else if constexpr (M == kBlendXor) return Xor<V, G>(b, s);
    else if constexpr (M == kBlendInvert) return Invert<V, G>(b, s);
    else return s;  // Normal, Dissolve, Photo-Bash Blend and the whole-colour modes
}

// B(Cb, Cs) of the whole colour for mode M.
template <int M, bool G = false, class V> BLENDFN void BlendColor(BLEND_COLOR_ARGS) {
    if constexpr (M == kBlendHue) Hue(br, bg, bb, sr, sg, sb, r, g, b);
    else if constexpr (M == kBlendSaturation) Saturation(br, bg, bb, sr, sg, sb, r, g, b);
    else if constexpr (M == kBlendColor) Color(br, bg, bb, sr, sg, sb, r, g, b);
    else if constexpr (M == kBlendLuminosity) Luminosity(br, bg, bb, sr, sg, sb, r, g, b);
    else if constexpr (M == kBlendRed) Red(br, bg, bb, sr, sg, sb, r, g, b);
    else if constexpr (M == kBlendGreen) Green(br, bg, bb, sr, sg, sb, r, g, b);
    else if constexpr (M == kBlendBlue) Blue(br, bg, bb, sr, sg, sb, r, g, b);
    else if constexpr (M == kBlendTint) Tint(br, bg, bb, sr, sg, sb, r, g, b);
    else {
        r = Channel<M, G>(br, sr);
        g = Channel<M, G>(bg, sg);
        b = Channel<M, G>(bb, sb);
    }
}
#undef BLEND_COLOR_ARGS

// Source-over with the blend of mode M, straight colours, for as > 0:
// ao = as + ab (1 - as); C = (((1 - ab) Cs + ab B) as + (1 - as) ab Cb) / ao.
template <int M, class V>
BLENDFN void CompositeWithBlend(V br, V bg, V bb, V ab, V sr, V sg, V sb, V as, V& r, V& g, V& b, V& a) {
    V xr, xg, xb;
    BlendColor<M, false>(br, bg, bb, sr, sg, sb, xr, xg, xb);
    const V ao = as + ab * (1.0f - as);
    const V inv = 1.0f / ao;
    const V kb = (1.0f - as) * ab;
    r = (((1.0f - ab) * sr + ab * xr) * as + kb * br) * inv;
    g = (((1.0f - ab) * sg + ab * xg) * as + kb * bg) * inv;
    b = (((1.0f - ab) * sb + ab * xb) * as + kb * bb) * inv;
    a = ao;
}

#undef BLENDFN

}  // namespace blendfn
