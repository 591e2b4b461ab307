#pragma once
// The host dabs of the healing clone, recolor and stencil brushes: each
// changes a dab's destination rectangle in place (straight BGRA), only where
// the dab mask is non-zero, and never a pixel outside the rectangle. A dab
// whose inputs are missing or that OpenCV refuses changes nothing.
#include "brushes/DabRenderer.h"
#include "platform/Bitmap.h"

#include <vector>

// Poisson-blends the source patch into the destination (gradients of the
// source, boundary of the destination), then mixes by mask x strength.
void HealCloneDab(const HostDabRequest& request);

// Replaces the chroma (Lab a, b) of the destination with the stroke colour's,
// keeping each pixel's lightness.
void RecolorDab(const HostDabRequest& request);

// What the stencil imprint reads of the placed stencil: its image on the
// canvas, the imprint settings, and the low-pass copy used by detail transfer.
struct StencilImprintInput {
    BitmapPtr placedBitmap;                  // straight BGRA
    float placedOriginX = 0, placedOriginY = 0;  // canvas position of its top-left pixel
    int blendMode = 0;
    bool eraseMode = false;
    bool lockTransparency = false;
    bool detailTransfer = false;
    float detailRadius = 8.0f;
    std::vector<uint8_t> detailPixels;  // low-pass BGRA copy, same size as placedBitmap
};

// Imprints the placed stencil under the dab: a blend mode composite, alpha
// erase/restore by the stencil's luminance, or detail transfer (the stencil's
// high frequencies over the painting's low frequencies).
void StencilImprintDab(const HostDabRequest& request, const StencilImprintInput& stencil);

// Bilinear sample of a BGRA image at (x, y) as B, G, R, A on 0..255; zero
// when x < -1, y < -1, x >= width or y >= height, neighbours outside count 0.
void SampleBilinearRgba(const uint8_t* pixels, int stride, int width, int height, float x, float y, float out[4]);
