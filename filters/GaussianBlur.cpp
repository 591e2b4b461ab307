#include "filters/GaussianBlur.h"

#include "filters/BlurKernels.h"
#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

void InitGaussianBlurParams(EffectParams& p) { p.Set(GaussianBlurParams{}); }

namespace {

void RecursiveGaussianKernel(uint8_t* pixels, int width, int height, int r) {
    GaussianBlurRecursive(pixels, width, height, r, r, 4);
}

}  // namespace

BitmapPtr ApplyGaussianBlur(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    const auto* r = params.Get<GaussianBlurParams>();
    if (!r || source.Width() < 1 || source.Height() < 1) return nullptr;
    return BlurWithBorder(source, r->radius, RecursiveGaussianKernel, offsetX, offsetY);
}
