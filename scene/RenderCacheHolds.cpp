#include "scene/RenderCacheHolds.h"

#include "platform/Bitmap.h"
#include "scene/ObjectGeometry.h"
#include "scene/ObjectRender.h"

#include <algorithm>

HeldCaches::HeldCaches(CanvasObject* o) : object(o), caches(o->caches) {
    parts.reserve(o->parts.size());
    for (const ImagePart& p : o->parts) parts.push_back({p.decoded, p.argb, p.decodeTried, p.argbValid, p.decodeError});
}

void HeldCaches::Restore() const {
    // The thumbnails are no composition's business: whatever they are now stays.
    ObjectRenderCaches& c = object->caches;
    BitmapPtr thumb = std::move(c.thumb), thumbDimmed = std::move(c.thumbDimmed), maskThumb = std::move(c.maskThumb);
    const bool thumbsValid = c.thumbsValid;
    c = caches;
    c.thumb = std::move(thumb);
    c.thumbDimmed = std::move(thumbDimmed);
    c.maskThumb = std::move(maskThumb);
    c.thumbsValid = thumbsValid;
    if (object->parts.size() != parts.size()) return;
    for (size_t i = 0; i < parts.size(); ++i) {
        ImagePart& p = object->parts[i];
        p.decoded = parts[i].decoded;
        p.argb = parts[i].argb;
        p.decodeTried = parts[i].decodeTried;
        p.decodeError = parts[i].decodeError;
        p.argbValid = parts[i].argbValid;
    }
}

void CacheHolds::Keep(CanvasObject* a, CanvasObject* b) {
    for (size_t i = held_.size(); i-- > 0;) {
        if (held_[i].object == a || held_[i].object == b) continue;
        held_[i].Restore();
        held_.erase(held_.begin() + std::ptrdiff_t(i));
    }
    for (CanvasObject* o : {a, b}) {
        if (!o) continue;
        if (std::none_of(held_.begin(), held_.end(), [o](const HeldCaches& h) { return h.object == o; }))
            held_.emplace_back(o);
    }
}

void CacheHolds::ReleaseAll() {
    for (const HeldCaches& h : held_) h.Restore();
    held_.clear();
}

std::string ObjectRenderFailure(const CanvasObject& o) { return ObjectRenderFailureText(o); }
