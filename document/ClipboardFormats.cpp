#include "document/ClipboardFormats.h"

#include "document/ProjectFile.h"
#include "platform/Archive.h"
#include "platform/Clipboard.h"
#include "platform/Codecs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <unordered_set>

namespace {

// The smallest object record the project reader accepts; a set count larger
// than the payload could hold is refused before anything is reserved.
constexpr size_t kMinObjectRecordBytes = 105;
constexpr uint64_t kMaxClipboardBytes = 0xFFFFFFFFull;

uint32_t LoadU32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t LoadU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
void StoreU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace

std::string GetCanvasObjectClipFormat() { return kCanvasObjectClipFormat; }
std::string GetCanvasObjectSetClipFormat() { return kCanvasObjectSetClipFormat; }
std::string GetPngClipFormat() { return kPngClipFormat; }

// --- Payloads ---

std::vector<uint8_t> WriteObjectPayload(const CanvasObject& object) {
    ArchiveWriter ar;
    ar.WriteMagic("QVO1");
    ar.WriteU32(kClipboardPayloadVersion);
    WriteCanvasObject(ar, object);
    return ar.TakeBytes();
}

std::vector<uint8_t> WriteObjectSetPayload(const std::vector<CanvasObject>& objects) {
    ArchiveWriter ar;
    ar.WriteMagic("QVS1");
    ar.WriteU32(kClipboardPayloadVersion);
    ar.WriteU32(uint32_t(objects.size()));
    for (const CanvasObject& o : objects) WriteCanvasObject(ar, o);
    return ar.TakeBytes();
}

bool ReadObjectPayload(const uint8_t* data, size_t size, CanvasObject& out) {
    if (!data || size == 0) return false;
    try {
        ArchiveReader ar(data, size);
        if (!ar.ReadMagic("QVO1") || ar.ReadU32() != kClipboardPayloadVersion) return false;
        CanvasObject object = ReadCanvasObject(ar, kClipboardPayloadVersion);
        object.InvalidateCaches();
        out = std::move(object);
        return true;
    } catch (const ArchiveError&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool ReadObjectSetPayload(const uint8_t* data, size_t size, std::vector<CanvasObject>& out) {
    out.clear();
    if (!data || size == 0) return false;
    try {
        ArchiveReader ar(data, size);
        if (!ar.ReadMagic("QVS1") || ar.ReadU32() != kClipboardPayloadVersion) return false;
        const uint32_t count = ar.ReadCount(kMinObjectRecordBytes);
        std::vector<CanvasObject> objects;
        objects.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            objects.push_back(ReadCanvasObject(ar, kClipboardPayloadVersion));
            objects.back().InvalidateCaches();
        }
        out = std::move(objects);
        return !out.empty();
    } catch (const ArchiveError&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// --- Clipboard operations ---

namespace {

bool PutOnClipboard(IClipboard& clipboard, const char* format, const std::vector<uint8_t>& bytes) {
    if (!clipboard.Empty()) return false;
    return clipboard.SetData(format, bytes);
}

}  // namespace

bool CopyObjectToClipboard(IClipboard& clipboard, const CanvasObject& object) {
    return PutOnClipboard(clipboard, kCanvasObjectClipFormat, WriteObjectPayload(object));
}

bool CopyObjectSetToClipboard(IClipboard& clipboard, const std::vector<CanvasObject>& objects) {
    return PutOnClipboard(clipboard, kCanvasObjectSetClipFormat, WriteObjectSetPayload(objects));
}

bool PasteObjectFromClipboard(const IClipboard& clipboard, CanvasObject& out) {
    std::vector<uint8_t> bytes;
    if (!ReadClipboardBytes(clipboard, kCanvasObjectClipFormat, bytes)) return false;
    return ReadObjectPayload(bytes.data(), bytes.size(), out);
}

bool PasteObjectSetFromClipboard(const IClipboard& clipboard, std::vector<CanvasObject>& out) {
    out.clear();
    std::vector<uint8_t> bytes;
    if (!ReadClipboardBytes(clipboard, kCanvasObjectSetClipFormat, bytes)) return false;
    return ReadObjectSetPayload(bytes.data(), bytes.size(), out);
}

bool ReadClipboardBytes(const IClipboard& clipboard, const std::string& format, std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (format.empty() || !clipboard.HasFormat(format)) return false;
    if (!clipboard.GetData(format, bytes) || bytes.empty() || uint64_t(bytes.size()) > kMaxClipboardBytes) {
        bytes.clear();
        return false;
    }
    return true;
}

bool DibPixelOffset(const uint8_t* data, size_t size, uint64_t& offset) {
    if (!data || size < 40) return false;
    const uint32_t headerSize = LoadU32(data);
    // BITMAPINFOHEADER and its V2 to V5 successors; anything else is not a
    // packed bitmap this reader understands.
    if (headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 && headerSize != 124)
        return false;
    const uint16_t bitCount = LoadU16(data + 14);
    const uint32_t compression = LoadU32(data + 16);
    uint64_t at = headerSize;
    if (headerSize <= 40) {
        if (compression == 3) at += 12;       // three colour masks
        else if (compression == 6) at += 16;  // four colour masks
    }
    if (bitCount <= 8) {
        const uint32_t used = LoadU32(data + 32);
        at += 4 * (used != 0 ? uint64_t(used) : (uint64_t(1) << bitCount));
    }
    if (at >= uint64_t(size)) return false;
    offset = at;
    return true;
}

bool DibToPngBytes(const uint8_t* data, size_t size, std::vector<uint8_t>& png, float& width, float& height) {
    png.clear();
    uint64_t offset = 0;
    if (!DibPixelOffset(data, size, offset)) return false;
    if (uint64_t(size) + 14 > kMaxClipboardBytes) return false;
    // A bitmap file is the packed bitmap behind a 14-byte file header.
    std::vector<uint8_t> file;
    try {
        file.resize(size + 14);
    } catch (const std::bad_alloc&) {
        return false;
    }
    file[0] = 'B';
    file[1] = 'M';
    StoreU32(&file[2], uint32_t(size + 14));
    StoreU32(&file[10], uint32_t(offset + 14));
    std::memcpy(file.data() + 14, data, size);
    BitmapPtr image = DecodeImage(file);
    if (!image || image->Width() <= 0 || image->Height() <= 0) return false;
    width = float(image->Width());
    height = float(image->Height());
    return SaveImageToPngBytes(*image, png);
}

bool ReadClipboardBitmapAsPng(const IClipboard& clipboard, std::vector<uint8_t>& png, float& width, float& height) {
    png.clear();
    if (!clipboard.HasFormat(kBitmapClipFormat)) return false;
    BitmapPtr image = clipboard.GetImage();
    if (!image || image->Width() <= 0 || image->Height() <= 0) return false;
    width = float(image->Width());
    height = float(image->Height());
    return SaveImageToPngBytes(*image, png);
}

bool ReadClipboardImage(const IClipboard& clipboard, std::vector<uint8_t>& png, std::string& name, float& width,
                        float& height) {
    name = kClipboardImageName;
    png.clear();
    width = height = 0;
    std::vector<uint8_t> bytes;
    if (ReadClipboardBytes(clipboard, kPngClipFormat, bytes)) {
        BitmapPtr image = DecodeImage(bytes);
        if (image && image->Width() > 0 && image->Height() > 0) {
            width = float(image->Width());
            height = float(image->Height());
            png = std::move(bytes);
            return true;
        }
    }
    for (const char* format : {kDibV5ClipFormat, kDibClipFormat}) {
        if (ReadClipboardBytes(clipboard, format, bytes) &&
            DibToPngBytes(bytes.data(), bytes.size(), png, width, height))
            return true;
    }
    if (ReadClipboardBitmapAsPng(clipboard, png, width, height)) return true;
    png.clear();
    width = height = 0;
    return false;
}

// --- Bone ids of pasted objects ---

namespace {

std::unordered_set<std::string> SceneBoneIds(const CanvasDocument& scene) {
    std::unordered_set<std::string> ids;
    for (const Layer& layer : scene.layers)
        for (const CanvasObject& o : layer.objects)
            for (const Bone& b : o.bones) ids.insert(b.id);
    return ids;
}

std::string FirstFreeBoneId(const std::unordered_set<std::string>& used, const std::vector<std::string>& issued) {
    for (int n = 1; n <= 99999; ++n) {
        std::string candidate = "bone_" + std::to_string(n);
        if (used.count(candidate)) continue;
        if (std::find(issued.begin(), issued.end(), candidate) != issued.end()) continue;
        return candidate;
    }
    return "bone";
}

}  // namespace

std::string MakeUniqueBoneId(const CanvasDocument& scene, const std::vector<std::string>& issued) {
    return FirstFreeBoneId(SceneBoneIds(scene), issued);
}

void PreparePastedObject(CanvasObject& object, const CanvasDocument& scene) {
    const std::unordered_set<std::string> used = SceneBoneIds(scene);
    std::vector<std::string> issued;
    std::vector<std::pair<std::string, std::string>> renamed;
    for (Bone& bone : object.bones) {
        std::string fresh = FirstFreeBoneId(used, issued);
        renamed.emplace_back(bone.id, fresh);
        bone.id = fresh;
        issued.push_back(std::move(fresh));
    }
    for (Bone& bone : object.bones) {
        if (!bone.hasParent) continue;
        for (const auto& [oldId, newId] : renamed)
            if (oldId == bone.parentId) {
                bone.parentId = newId;
                break;
            }
    }
}

// --- Image utilities ---

bool SaveImageToPngBytes(const Bitmap& image, std::vector<uint8_t>& out) {
    out.clear();
    std::vector<uint8_t> bytes;
    if (!EncodePng(image, bytes) || bytes.empty() || uint64_t(bytes.size()) > kMaxClipboardBytes) return false;
    out = std::move(bytes);
    return true;
}

SceneRect GetRotatedBounds(const CanvasObject& object) {
    const float cx = object.x + object.width / 2;
    const float cy = object.y + object.height / 2;
    const float a = object.rotation * 3.1415927f / 180.0f;
    const float c = std::cos(a), s = std::sin(a);
    const float px[4] = {object.x, object.x + object.width, object.x + object.width, object.x};
    const float py[4] = {object.y, object.y, object.y + object.height, object.y + object.height};
    float minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (int i = 0; i < 4; ++i) {
        const float X = cx + (px[i] - cx) * c - (py[i] - cy) * s;
        const float Y = cy + (px[i] - cx) * s + (py[i] - cy) * c;
        if (i == 0 || X < minX) minX = X;
        if (i == 0 || Y < minY) minY = Y;
        if (i == 0 || X > maxX) maxX = X;
        if (i == 0 || Y > maxY) maxY = Y;
    }
    return SceneRect{minX, minY, maxX - minX, maxY - minY};
}

bool CanvasObject::GetPartsBounds(SceneRect& out) const {
    if (parts.empty()) return false;
    float minX = parts[0].offsetX, minY = parts[0].offsetY;
    float maxX = minX + parts[0].displayWidth, maxY = minY + parts[0].displayHeight;
    for (const ImagePart& p : parts) {
        minX = std::min(minX, p.offsetX);
        minY = std::min(minY, p.offsetY);
        maxX = std::max(maxX, p.offsetX + p.displayWidth);
        maxY = std::max(maxY, p.offsetY + p.displayHeight);
    }
    out = SceneRect{minX, minY, maxX - minX, maxY - minY};
    return true;
}

void DrawImageTransformed(const RasterTarget& target, CanvasObject& object, float dx, float dy,
                          Interpolation interpolation) {
    if (!object.visible) return;
    BitmapPtr image = object.ComposeBitmap();
    if (!image || image->Width() <= 0 || image->Height() <= 0) return;
    const double w = object.width, h = object.height;
    const Affine world = Affine::Translation(object.x + w / 2 + dx, object.y + h / 2 + dy)
                             .After(Affine::RotationAbout(object.rotation, 0, 0))
                             .After(Affine::Translation(-w / 2, -h / 2));
    ImageDrawOptions options;
    options.interpolation = interpolation;
    options.compositing = Compositing::SourceOver;
    options.antiAlias = true;
    options.opacity = object.opacity;
    options.world = &world;
    DrawBitmapRect(target, *image, RectF{0, 0, float(w), float(h)}, options);
}
