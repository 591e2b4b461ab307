#pragma once
// Whole-scene pictures made for a file (the export, the compositors' own
// runs) must not leave every object's images behind in the render caches:
// they hold the caches of the object being drawn and of its clip base, and
// put back what was there before once the object is done. Caches that
// existed before are kept, so a scene the display has drawn is reused as is.
#include "scene/CanvasObject.h"

#include <string>
#include <vector>

// An object's render caches (its images, warp, mask plane, filter result and
// its parts' decoded images) as they were before a composition touched them.
struct HeldCaches {
    struct PartCaches {
        BitmapPtr decoded, argb;
        bool decodeTried = false, argbValid = false;
        DecodeError decodeError = DecodeError::kNone;
    };
    CanvasObject* object = nullptr;
    ObjectRenderCaches caches;
    std::vector<PartCaches> parts;

    explicit HeldCaches(CanvasObject* o);
    void Restore() const;
};

// The objects whose caches a composition currently holds: the object being
// drawn and its clip base. An object stays held while the next object still
// needs it (a base followed by the objects clipped to it).
class CacheHolds {
public:
    CacheHolds() = default;
    CacheHolds(const CacheHolds&) = delete;
    CacheHolds& operator=(const CacheHolds&) = delete;
    ~CacheHolds() { ReleaseAll(); }
    void Keep(CanvasObject* a, CanvasObject* b);
    void ReleaseAll();

private:
    std::vector<HeldCaches> held_;
};

// Why an object's base image could not be made, naming the object: its size
// beyond the bitmap caps, or the memory.
std::string ObjectRenderFailure(const CanvasObject& object);
