// Turning an image file into a new bitmap object: read whole, decoded from
// memory, shrunk to fit the canvas (never enlarged) and centred on it. The
// object keeps the file's bytes, so the file may change or vanish afterwards.
#include "scene/CanvasDocument.h"
#include "scene/ImageLoading.h"
#include "scene/ObjectGeometry.h"
#include "platform/Files.h"

#include <algorithm>
#include <cmath>

namespace {

// Nearest integer, halves away from zero; a non-finite value becomes 0.
float RoundPosition(float v) { return std::isfinite(v) ? std::round(v) : 0.0f; }

}  // namespace

std::string GetFileNamePart(const std::string& path) { return FileNameOf(path); }

bool CanvasDocument::ImportImageFile(const std::string& path, std::string& error, std::string* newObjectId,
                                     std::string* layerId) {
    std::vector<uint8_t> bytes;
    // One limit, the decoder's, checked before anything is read: a larger
    // file would only be read in full to be refused.
    switch (ReadWholeFileChecked(path, bytes, kMaxImageFileBytes)) {
    case kReadOk: break;
    case kReadCannotOpen: error = "Failed to open image file."; return false;
    case kReadNotAFile: error = "Failed to open image file: it is not a regular file."; return false;
    case kReadEmpty: error = "Image file is empty or too large."; return false;
    case kReadTooLarge: error = "Image file is too large (more than 2 GiB)."; return false;
    case kReadFailed: error = "Failed to read the complete image file."; return false;
    }

    DecodeError why = DecodeError::kNone;
    BitmapPtr image = CreateBitmapFromMemory(bytes, &why);
    if (!image) {
        error = "Failed to decode image. " + DecodeErrorText(why);
        return false;
    }
    const float W = float(image->Width());
    const float H = float(image->Height());
    image.reset();
    if (W == 0 || H == 0) {
        error = "Image has invalid dimensions.";
        return false;
    }

    float s = std::min(width / std::max(W, 1.0f), height / std::max(H, 1.0f));
    s = std::min(s, 1.0f);
    const float tw = s * W;
    const float th = s * H;

    CanvasObject o;
    o.id = MakeObjectId();
    o.name = GetFileNamePart(path);
    o.x = RoundPosition((width - tw) * 0.5f);
    o.y = RoundPosition((height - th) * 0.5f);
    o.width = WholeObjectSide(tw);
    o.height = WholeObjectSide(th);

    ImagePart part;
    part.id = "image_1";
    part.name = o.name;
    part.source = o.name;
    part.encoded = std::move(bytes);
    part.pixelWidth = part.displayWidth = W;
    part.pixelHeight = part.displayHeight = H;

    Layer& layer = GetActiveLayer();
    o.z = layer.HighestZ() + 1;
    const std::string id = o.id;
    const std::string targetLayerId = layer.id;

    // Only an object this import added is removed again: when the id was
    // already taken, deleting it by id would destroy someone else's object.
    const bool added = AddObjectToLayer(layer, o);
    if (!added || !AddImagePart(id, part)) {
        if (added) DeleteObject(id);
        error = "Failed to create image object.";
        return false;
    }

    SelectObject(id);
    if (newObjectId) *newObjectId = id;
    if (layerId) *layerId = targetLayerId;
    return true;
}
