#pragma once
// The layer list's pictures of an object, kept in the object's render caches
// so that the list renders them only after an edit dropped the caches: a
// 90 x 90 thumbnail on a checkerboard (black behind a light cone), its
// dimmed grey form for hidden rows, and the mask as opaque grey.
#include "scene/CanvasObject.h"

struct ThumbnailSessionSource {
    // The paint session's canvas-sized surface (straight B, G, R, A), when a
    // session paints this object's pixels; null otherwise.
    const uint8_t* pixels = nullptr;
    int width = 0, height = 0;
    int64_t stride = 0;
};

// Builds the two thumbnails unless they are valid and side x side pixels.
// side is 90 client pixels in device pixels (DevicePixels(90, ratio)), so a
// dense screen shows them sharp; the checkerboard keeps 6-client-pixel cells.
void UpdateObjectThumbnails(CanvasObject& object, const ThumbnailSessionSource& session = {}, int side = 90);
// The mask thumbnail from the object's mask plane, built when missing; null without a mask.
BitmapPtr MaskThumbnail(CanvasObject& object);
