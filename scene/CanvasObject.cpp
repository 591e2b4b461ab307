#include "scene/CanvasObject.h"

#include <cstring>

namespace {

void DropEffectSlot(ObjectRenderCaches& c) {
    c.effect.reset();
    c.effectSource.reset();
    c.effectValid = false;
}

}  // namespace

bool Quad::BitEquals(const Quad& o) const { return std::memcmp(this, &o, sizeof(Quad)) == 0; }

bool Quad::IsIdentity() const { return BitEquals(Quad{}); }

bool LightConeParams::operator==(const LightConeParams& o) const {
    return height == o.height && coneAngle == o.coneAngle && amount == o.amount && ambient == o.ambient &&
           falloff == o.falloff && lightX == o.lightX && lightY == o.lightY && targetX == o.targetX &&
           targetY == o.targetY && tint == o.tint;
}

bool CanvasObject::HasUsableMask() const {
    return maskEnabled && maskWidth > 0 && maskHeight > 0 &&
           uint64_t(maskPixels.size()) == uint64_t(maskWidth) * uint64_t(maskHeight);
}

bool CanvasObject::HasCostlyRender() const {
    return kind == kObjectLightCone || !effects.empty() || !warp.IsIdentity();
}

void CanvasObject::InvalidateEffectCache() {
    ObjectRenderCaches& c = caches;
    c.base.reset();
    c.baseValid = false;
    c.light.reset();
    c.lightValid = false;
    c.warp.reset();
    c.warpSource.reset();
    c.warpValid = false;
    ReleaseMaskCaches();
}

// The filter result is made from the masked image, so it goes with it.
void CanvasObject::ReleaseMaskCaches() {
    ObjectRenderCaches& c = caches;
    c.masked.reset();
    c.maskedSource.reset();
    c.maskedValid = false;
    DropEffectSlot(c);
}

void CanvasObject::BumpGeneration() {
    ++generation;
    DropEffectSlot(caches);
}

void CanvasObject::InvalidateCaches() {
    for (ImagePart& p : parts) p.InvalidateCache();
    InvalidateEffectCache();
    caches.thumb.reset();
    caches.thumbDimmed.reset();
    caches.maskThumb.reset();
    caches.thumbsValid = false;
}

void CanvasObject::ClearMask() {
    if (!maskEnabled && maskPixels.empty()) return;
    std::vector<uint8_t>().swap(maskPixels);
    maskWidth = maskHeight = 0;
    maskEnabled = false;
    ReleaseMaskCaches();
    caches.maskThumb.reset();
    caches.thumbsValid = false;
}
