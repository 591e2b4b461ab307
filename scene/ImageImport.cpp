// Turning an image file into a new bitmap object: read whole, decoded from
// memory, shrunk to fit the canvas (never enlarged) and centred on it. The
// object keeps the file's bytes, so the file may change or vanish afterwards.
#include "scene/CanvasDocument.h"
#include "scene/ImageLoading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <new>

namespace {

// Reads exactly size bytes; false on any short read or error.
bool ReadExactly(int fd, uint8_t* out, uint64_t size) {
    uint64_t done = 0;
    while (done < size) {
        const size_t chunk = size_t(std::min<uint64_t>(size - done, uint64_t(1) << 30));
        const ssize_t n = ::read(fd, out + done, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += uint64_t(n);
    }
    return true;
}

// Nearest integer, halves away from zero; a non-finite value becomes 0.
float RoundPosition(float v) { return std::isfinite(v) ? std::round(v) : 0.0f; }

// Rounded side of at least 1 and at most the bitmap side cap.
float RoundSide(float v) {
    if (!std::isfinite(v)) return 1;
    return std::clamp(std::round(v), 1.0f, float(kMaxBitmapSide));
}

}  // namespace

std::string GetFileNamePart(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool CanvasDocument::ImportImageFile(const std::string& path, std::string& error, std::string* newObjectId,
                                     std::string* layerId) {
    std::vector<uint8_t> bytes;
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            error = "Failed to open image file.";
            return false;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            error = "Failed to open image file.";
            return false;
        }
        const uint64_t length = uint64_t(st.st_size);
        if (length < 1 || length > 0xFFFFFFFFull) {
            ::close(fd);
            error = "Image file is empty or too large.";
            return false;
        }
        bool ok = true;
        try {
            bytes.resize(size_t(length));
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        ok = ok && ReadExactly(fd, bytes.data(), length);
        ::close(fd);
        if (!ok) {
            error = "Failed to read the complete image file.";
            return false;
        }
    }

    BitmapPtr image = CreateBitmapFromMemory(bytes);
    if (!image) {
        error = "Failed to decode image.";
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
    o.width = RoundSide(tw);
    o.height = RoundSide(th);

    ImagePart part;
    part.id = "image_1";
    part.name = o.name;
    part.source = o.name;
    part.encoded = std::move(bytes);
    part.pixelWidth = part.displayWidth = W;
    part.pixelHeight = part.displayHeight = H;

    Layer& layer = GetActiveLayer();
    int32_t top = -1;
    for (const CanvasObject& other : layer.objects) top = std::max(top, other.z);
    o.z = top + 1;
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

    selectedIds.clear();
    selectedMaskObjectId.clear();
    primarySelectedId = id;
    selectedIds.push_back(id);
    if (newObjectId) *newObjectId = id;
    if (layerId) *layerId = targetLayerId;
    return true;
}
