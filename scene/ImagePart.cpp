#include "scene/ImagePart.h"

#include "scene/ImageLoading.h"

void ImagePart::InvalidateCache() {
    argb.reset();
    argbValid = false;
}

void ImagePart::InvalidateDecoded() {
    decoded.reset();
    decodeTried = false;
    InvalidateCache();
}

BitmapPtr ImagePart::GetDecoded() {
    if (!decodeTried) {
        decodeTried = true;
        decoded = CreateBitmapFromMemory(encoded);
    }
    return decoded;
}

BitmapPtr ImagePart::GetArgb() {
    if (argbValid) return argb;
    BitmapPtr d = GetDecoded();
    if (!d) return nullptr;
    // The decoded bitmap is never written, so the drawable copy can share it.
    argb = d;
    argbValid = true;
    return argb;
}
