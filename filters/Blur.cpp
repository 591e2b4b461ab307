#include "filters/Blur.h"

#include "filters/BlurKernels.h"
#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"

void InitBlurParams(EffectParams& p) { p.Set(BlurParams{}); }

namespace {

void StackBlurKernel(uint8_t* pixels, int width, int height, int r) {
    CGaussianRecBlur().StackBlurRGBA(pixels, width, height, r, r);
}

}  // namespace

BitmapPtr ApplyBlur(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    const auto* r = params.Get<BlurParams>();
    if (!r || source.Width() < 1 || source.Height() < 1) return nullptr;
    return BlurWithBorder(source, r->radius, StackBlurKernel, offsetX, offsetY);
}
