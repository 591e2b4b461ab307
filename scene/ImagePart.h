#pragma once
// An image held by an object. The encoded file bytes are what the part keeps
// and saves; the decoded bitmap and its drawable copy are caches shared
// between copies of the part.
#include "platform/Bitmap.h"
#include "platform/Codecs.h"

#include <cstdint>
#include <string>
#include <vector>

struct ImagePart {
    std::string id;  // "image_%d", unique within the object
    std::string name;
    std::string source;
    std::vector<uint8_t> encoded;
    float pixelWidth = 0, pixelHeight = 0;
    float offsetX = 0, offsetY = 0;
    float displayWidth = 0, displayHeight = 0;  // <= 0 stands for the pixel size
    float opacity = 1.0f;
    bool visible = true;
    int32_t z = 0;

    // Caches. decodeTried stays set after a failed decode so a broken image is
    // not decoded again until InvalidateDecoded.
    BitmapPtr decoded;
    bool decodeTried = false;
    // Why the last decode gave nothing (kNone after a success).
    DecodeError decodeError = DecodeError::kNone;
    BitmapPtr argb;
    bool argbValid = false;

    void InvalidateCache();
    void InvalidateDecoded();
    // The decoded image, decoding the bytes on first use. Null when they do not decode.
    BitmapPtr GetDecoded();
    // True when the stored bytes are not an image this program can decode
    // (damaged, or not PNG, JPEG or BMP): the part is kept as it is and draws
    // nothing. An image that decodes but is too large or meets a shortage of
    // memory is not such a part: drawing it fails instead.
    bool CannotBeShown();
    // True after a decode that failed only for the image's size or for
    // memory: the image exists but cannot be drawn.
    bool DecodeFailedToFit() const;
    // The 32-bit straight-alpha copy the compositor draws, built on first use.
    BitmapPtr GetArgb();
};
