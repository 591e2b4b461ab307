#include "scene/ImagePart.h"

#include "scene/ImageLoading.h"

void ImagePart::InvalidateCache() {
    argb.reset();
    argbValid = false;
}

void ImagePart::InvalidateDecoded() {
    decoded.reset();
    decodeTried = false;
    decodeError = DecodeError::kNone;
    InvalidateCache();
}

BitmapPtr ImagePart::GetDecoded() {
    if (!decodeTried) {
        decoded = CreateBitmapFromMemory(encoded, &decodeError);
        // Memory that ran out may be there next time: only a verdict on the
        // bytes themselves is kept.
        decodeTried = decoded || decodeError != DecodeError::kOutOfMemory;
        if (decoded) decodeError = DecodeError::kNone;
    }
    return decoded;
}

bool ImagePart::CannotBeShown() {
    if (encoded.empty() || GetDecoded()) return false;
    return decodeError == DecodeError::kNotAnImage || decodeError == DecodeError::kDamaged;
}

bool ImagePart::DecodeFailedToFit() const {
    return !decoded && (decodeError == DecodeError::kTooLarge || decodeError == DecodeError::kOutOfMemory);
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
