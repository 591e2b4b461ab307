#pragma once
// Newtonian Shadow: the silhouette cast onto an imagined floor, from the
// object's bottom edge (base) receding upwards to a far edge (tip), leaning
// by the tilt and widening by the spread, blurring and fading towards the tip;
// the image grows left, right and upwards, never below the object.
#include "platform/Bitmap.h"

#include <cstdint>

struct EffectParams;

// 0 Linear, 1 Smooth, 2 Sharp; any other value acts as Linear.
enum NewtonianFalloff : uint8_t { kFalloffLinear = 0, kFalloffSmooth = 1, kFalloffSharp = 2 };

// The filter uses every field clamped to the range in its comment.
struct NewtonianShadowParams {
    float length = 0.7f;    // [0, 5], fraction of the image height
    float tilt = 65;        // [-89, 89] degrees
    float spread = 0.7f;    // [0.05, 4], width of the tip edge as a multiple of the image width
    float softness = 40;    // [0, 200] pixels, blur radius at the tip
    float tipOpacity = 0.2f;  // [0, 1]
    int32_t contact = 8;    // [0, 100] pixels of darkened band above the base; 0 turns it off
    uint8_t falloff = kFalloffLinear;
    uint32_t baseColour = 0xFF000000;  // alpha bytes not used
    uint32_t tipColour = 0xFF000000;
    float opacity = 0.7f;   // [0, 1]
    bool operator==(const NewtonianShadowParams&) const = default;
};

// Writes the defaults above and selects the record.
void InitNewtonianShadowParams(EffectParams& p);
// Rescale on object resize; nothing unless the record is its own.
// Softness times f without a clamp; contact to trunc(f x contact + 0.5),
// saturated to the int32 range.
void ScaleNewtonianShadowParams(EffectParams& p, float f);
// The sharp coverage plane of the shadow: every pixel of the box [x0, x1] x
// [y0, y1] (inclusive) of a plane `planeWidth` bytes wide gets the source's
// alpha mapped into the four-sided outline with corners base-left, base-right,
// tip-left and tip-right (output coordinates); the source's top row lands on
// the tip edge, its bottom row on the base. Rows run in parallel.
void RasterizeShadowQuad(const Bitmap& source, float blX, float blY, float brX, float brY, float tlX, float tlY,
                         float trX, float trY, int planeWidth, int x0, int x1, int y0, int y1, uint8_t* sharp);
// The output reaches left, right and up to hold the shadow and its blur; its
// bottom row is the object's bottom row. Offset (-ox, -oy); an exact copy for
// a near-zero length or opacity. Null for another record or an empty source.
BitmapPtr ApplyNewtonianShadow(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY);
