#include "document/ProjectFile.h"

#include "document/EffectPayload.h"
#include "platform/Files.h"
#include "scene/BoneList.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <unordered_map>

namespace {

// Smallest stored size of each record, used to refuse a count that cannot
// fit in the bytes that remain before any room is reserved.
constexpr size_t kMinImagePartBytes = 40;
constexpr size_t kMinBoneBytes = 69;
constexpr size_t kMinLinkBytes = 6;
constexpr size_t kMinLinkEndBytes = 6;
constexpr size_t kMinPosablePartBytes = 40;
constexpr size_t kMinPartPoseBytes = 41;
constexpr size_t kMinObjectBytes = 105;
constexpr size_t kMinLayerBytes = 12;
// Room reserved up front is capped; longer lists grow as their records parse.
constexpr uint32_t kMaxReserve = 1024;

template <class T>
void ReserveFor(std::vector<T>& v, uint32_t count) {
    v.reserve(std::min(count, kMaxReserve));
}

// A stored float that is not finite falls back to the field's default.
float ReadFloat(ArchiveReader& ar, float fallback) {
    const float v = ar.ReadF32();
    return std::isfinite(v) ? v : fallback;
}

// Placements round to the nearest integer, halves away from zero.
float ReadPosition(ArchiveReader& ar) { return std::round(ReadFloat(ar, 0)); }
// Sizes round the same way and are at least 1; a value that is not a number becomes 1.
float ReadSize(ArchiveReader& ar) { return std::max(std::round(ReadFloat(ar, 1)), 1.0f); }

int32_t ReadZeroOrOne(ArchiveReader& ar) { return ar.ReadI32() != 0 ? 1 : 0; }

// True when following parents can neither loop nor reach a bone ambiguously:
// ids are unique and every parent chain ends.
bool BoneListIsSound(const std::vector<Bone>& bones) {
    std::unordered_map<std::string, const Bone*> byId;
    byId.reserve(bones.size());
    for (const Bone& b : bones)
        if (!byId.emplace(b.id, &b).second) return false;
    for (const Bone& b : bones) {
        const Bone* cur = &b;
        for (size_t steps = 0; cur->hasParent; ++steps) {
            if (steps >= bones.size()) return false;
            auto it = byId.find(cur->parentId);
            if (it == byId.end()) break;
            cur = it->second;
        }
    }
    return true;
}

}  // namespace

// --- Image parts ---

template <class Part>
static void WriteImagePartFields(ArchiveWriter& ar, const Part& p) {
    ar.WriteString(p.id);
    ar.WriteString(p.name);
    ar.WriteString(p.source);
    ar.WriteCount(p.encoded.size());
    ar.WriteBytes(p.encoded.data(), p.encoded.size());
    ar.WriteF32(p.pixelWidth);
    ar.WriteF32(p.pixelHeight);
    ar.WriteF32(p.offsetX);
    ar.WriteF32(p.offsetY);
    ar.WriteF32(p.displayWidth);
    ar.WriteF32(p.displayHeight);
    ar.WriteF32(p.opacity);
    ar.WriteFlag(p.visible);
    ar.WriteI32(p.z);
}

template <class Part>
static Part ReadImagePartFields(ArchiveReader& ar) {
    Part p;
    p.id = ar.ReadString();
    p.name = ar.ReadString();
    p.source = ar.ReadString();
    p.encoded = ar.ReadByteVector(ar.ReadCount(1));
    p.pixelWidth = ReadFloat(ar, 0);
    p.pixelHeight = ReadFloat(ar, 0);
    p.offsetX = ReadFloat(ar, 0);
    p.offsetY = ReadFloat(ar, 0);
    p.displayWidth = ReadFloat(ar, 0);
    p.displayHeight = ReadFloat(ar, 0);
    p.opacity = ReadFloat(ar, 1.0f);
    p.visible = ar.ReadFlag();
    p.z = ar.ReadI32();
    return p;
}

void WriteImagePart(ArchiveWriter& ar, const ImagePart& part) { WriteImagePartFields(ar, part); }
void WriteImagePart(ArchiveWriter& ar, const ImagePartRecord& part) { WriteImagePartFields(ar, part); }
ImagePart ReadImagePart(ArchiveReader& ar) { return ReadImagePartFields<ImagePart>(ar); }
ImagePartRecord ReadImagePartRecord(ArchiveReader& ar) { return ReadImagePartFields<ImagePartRecord>(ar); }

// --- Bones, links, posable scenes, poses ---

void WriteBone(ArchiveWriter& ar, const Bone& b) {
    ar.WriteString(b.id);
    ar.WriteString(b.name);
    ar.WriteFlag(b.hasParent);
    if (b.hasParent) {
        ar.WriteString(b.parentId);
        ar.WriteI32(b.parentEnd);
    }
    ar.WriteF32(b.headX);
    ar.WriteF32(b.headY);
    ar.WriteF32(b.tailX);
    ar.WriteF32(b.tailY);
    ar.WriteFlag(b.stretchable);
    ar.WriteF32(b.width);
    ar.WriteF32(b.headCapLength);
    ar.WriteF32(b.tailCapLength);
    ar.WriteF32(b.headShift);
    ar.WriteF32(b.tailShift);
    ar.WriteI32(b.roundHeadCap);
    ar.WriteI32(b.roundTailCap);
    ar.WriteF32(b.feather);
    ar.WriteFlag(b.wholeImage);
    ar.WriteF32(b.headCapWidth);
    ar.WriteF32(b.tailCapWidth);
    ar.WriteF32(b.headOffset);
    ar.WriteF32(b.tailOffset);
}

Bone ReadBone(ArchiveReader& ar) {
    const Bone d;
    Bone b;
    b.id = ar.ReadString();
    b.name = ar.ReadString();
    b.hasParent = ar.ReadFlag();
    if (b.hasParent) {
        b.parentId = ar.ReadString();
        b.parentEnd = ReadZeroOrOne(ar);
    }
    b.headX = ReadFloat(ar, d.headX);
    b.headY = ReadFloat(ar, d.headY);
    b.tailX = ReadFloat(ar, d.tailX);
    b.tailY = ReadFloat(ar, d.tailY);
    b.stretchable = ar.ReadFlag();
    b.width = ReadFloat(ar, d.width);
    b.headCapLength = ReadFloat(ar, d.headCapLength);
    b.tailCapLength = ReadFloat(ar, d.tailCapLength);
    b.headShift = ReadFloat(ar, d.headShift);
    b.tailShift = ReadFloat(ar, d.tailShift);
    b.roundHeadCap = ReadZeroOrOne(ar);
    b.roundTailCap = ReadZeroOrOne(ar);
    b.feather = ReadFloat(ar, d.feather);
    b.wholeImage = ar.ReadFlag();
    b.headCapWidth = ReadFloat(ar, d.headCapWidth);
    b.tailCapWidth = ReadFloat(ar, d.tailCapWidth);
    b.headOffset = ReadFloat(ar, d.headOffset);
    b.tailOffset = ReadFloat(ar, d.tailOffset);
    return b;
}

static void WriteBones(ArchiveWriter& ar, const std::vector<Bone>& bones) {
    ar.WriteCount(bones.size());
    for (const Bone& b : bones) WriteBone(ar, b);
}

static std::vector<Bone> ReadBones(ArchiveReader& ar) {
    const uint32_t count = ar.ReadCount(kMinBoneBytes);
    std::vector<Bone> bones;
    ReserveFor(bones, count);
    for (uint32_t i = 0; i < count; ++i) bones.push_back(ReadBone(ar));
    return bones;
}

void WriteJointLink(ArchiveWriter& ar, const JointLink& link) {
    ar.WriteString(link.id);
    ar.WriteString(link.name);
    ar.WriteCount(link.ends.size());
    for (const JointLinkEnd& e : link.ends) {
        ar.WriteString(e.objectId);
        ar.WriteString(e.boneId);
        ar.WriteI32(e.end);
    }
}

JointLink ReadJointLink(ArchiveReader& ar) {
    JointLink link;
    link.id = ar.ReadString();
    link.name = ar.ReadString();
    const uint32_t count = ar.ReadCount(kMinLinkEndBytes);
    ReserveFor(link.ends, count);
    for (uint32_t i = 0; i < count; ++i) {
        JointLinkEnd e;
        e.objectId = ar.ReadString();
        e.boneId = ar.ReadString();
        e.end = ReadZeroOrOne(ar);
        link.ends.push_back(std::move(e));
    }
    return link;
}

// Objects and posable parts open with the same fields: id, name, placement,
// flags and z.
template <class Record> void WriteRecordHead(ArchiveWriter& ar, const Record& r) {
    ar.WriteString(r.id);
    ar.WriteString(r.name);
    ar.WriteF32(r.x);
    ar.WriteF32(r.y);
    ar.WriteF32(r.width);
    ar.WriteF32(r.height);
    ar.WriteF32(r.rotation);
    ar.WriteF32(r.opacity);
    ar.WriteFlag(r.visible);
    ar.WriteFlag(r.locked);
    ar.WriteI32(r.z);
}

template <class Record> void ReadRecordHead(ArchiveReader& ar, Record& r) {
    r.id = ar.ReadString();
    r.name = ar.ReadString();
    r.x = ReadPosition(ar);
    r.y = ReadPosition(ar);
    r.width = ReadSize(ar);
    r.height = ReadSize(ar);
    r.rotation = ReadFloat(ar, 0);
    r.opacity = ReadFloat(ar, 1.0f);
    r.visible = ar.ReadFlag();
    r.locked = ar.ReadFlag();
    r.z = ar.ReadI32();
}

void WritePosablePart(ArchiveWriter& ar, const PosablePart& p) {
    WriteRecordHead(ar, p);
    ar.WriteCount(p.parts.size());
    for (const ImagePartRecord& r : p.parts) WriteImagePart(ar, r);
    WriteBones(ar, p.bones);
}

PosablePart ReadPosablePart(ArchiveReader& ar, BoneList::BoneIdRenames* renames) {
    PosablePart p;
    ReadRecordHead(ar, p);
    const uint32_t count = ar.ReadCount(kMinImagePartBytes);
    ReserveFor(p.parts, count);
    for (uint32_t i = 0; i < count; ++i) p.parts.push_back(ReadImagePartRecord(ar));
    p.bones = ReadBones(ar);
    // A part's bones are kept as stored, unless duplicate ids or a parent
    // cycle would let the rig walk them forever; such a list is repaired.
    if (!BoneListIsSound(p.bones)) BoneList::NormalizeIds(p.bones, renames);
    return p;
}

void WritePosableScene(ArchiveWriter& ar, const PosableScene& s) {
    ar.WriteF32(s.width);
    ar.WriteF32(s.height);
    ar.WriteU32(s.colour);
    ar.WriteCount(s.parts.size());
    for (const PosablePart& p : s.parts) WritePosablePart(ar, p);
    ar.WriteCount(s.links.size());
    for (const JointLink& l : s.links) WriteJointLink(ar, l);
    ar.WriteFlag(s.usePartialIK);
}

PosableScene ReadPosableScene(ArchiveReader& ar) {
    PosableScene s;
    s.width = ReadFloat(ar, 1024);
    s.height = ReadFloat(ar, 1024);
    s.colour = ar.ReadU32();
    uint32_t count = ar.ReadCount(kMinPosablePartBytes);
    ReserveFor(s.parts, count);
    // The links are stored after the parts, so the bone renames of repaired
    // parts are kept until the links are read and then applied to them.
    std::vector<std::pair<std::string, BoneList::BoneIdRenames>> renames;
    for (uint32_t i = 0; i < count; ++i) {
        BoneList::BoneIdRenames r;
        s.parts.push_back(ReadPosablePart(ar, &r));
        if (!r.Empty()) renames.emplace_back(s.parts.back().id, std::move(r));
    }
    count = ar.ReadCount(kMinLinkBytes);
    ReserveFor(s.links, count);
    for (uint32_t i = 0; i < count; ++i) s.links.push_back(ReadJointLink(ar));
    for (const auto& [partId, r] : renames) BoneList::RemapLinkEnds(s.links, partId, r);
    s.usePartialIK = ar.ReadFlag();
    return s;
}

void WritePartPoses(ArchiveWriter& ar, const std::vector<PartPose>& poses) {
    ar.WriteCount(poses.size());
    for (const PartPose& p : poses) {
        ar.WriteString(p.objectId);
        for (float v : {p.x, p.y, p.width, p.height, p.rotation, p.opacity, p.headX, p.headY, p.tailX, p.tailY})
            ar.WriteF32(v);
    }
}

std::vector<PartPose> ReadPartPoses(ArchiveReader& ar) {
    const uint32_t count = ar.ReadCount(kMinPartPoseBytes);
    std::vector<PartPose> poses;
    ReserveFor(poses, count);
    for (uint32_t i = 0; i < count; ++i) {
        PartPose p;
        p.objectId = ar.ReadString();
        p.x = ReadPosition(ar);
        p.y = ReadPosition(ar);
        p.width = ReadSize(ar);
        p.height = ReadSize(ar);
        p.rotation = ReadFloat(ar, 0);
        p.opacity = ReadFloat(ar, 1.0f);
        p.headX = ReadFloat(ar, 0);
        p.headY = ReadFloat(ar, 0);
        p.tailX = ReadFloat(ar, 0);
        p.tailY = ReadFloat(ar, 0);
        poses.push_back(std::move(p));
    }
    return poses;
}

// --- Objects and layers ---

void WriteCanvasObject(ArchiveWriter& ar, const CanvasObject& o) {
    WriteRecordHead(ar, o);
    ar.WriteCount(o.parts.size());
    for (const ImagePart& p : o.parts) WriteImagePart(ar, p);
    WriteBones(ar, o.bones);
    ar.WriteFlag(o.hasPosableScene);
    if (o.hasPosableScene) WritePosableScene(ar, o.posableScene);
    ar.WriteFlag(o.hasPose);
    if (o.hasPose) WritePartPoses(ar, o.partPoses);
    const Quad& q = o.warp;
    for (float v : {q.x0, q.y0, q.x1, q.y1, q.x2, q.y2, q.x3, q.y3}) ar.WriteF32(v);
    ar.WriteU8(o.blendMode);
    ar.WriteU8(o.clipToLayerBelow ? 1 : 0);
    ar.WriteF32(o.photoBash.bgRadius);
    ar.WriteF32(o.photoBash.fgRadius);
    ar.WriteF32(o.photoBash.mix);
    ar.WriteU8(o.kind);
    if (o.kind == kObjectLightCone) {
        const LightConeParams& l = o.lightCone;
        ar.WriteF32(l.height);
        ar.WriteF32(l.targetX);
        ar.WriteF32(l.targetY);
        ar.WriteF32(l.coneAngle);
        ar.WriteF32(l.amount);
        ar.WriteF32(l.ambient);
        ar.WriteF32(l.falloff);
        ar.WriteU32(l.tint);
        ar.WriteF32(l.lightX);
        ar.WriteF32(l.lightY);
    }
    if (o.HasUsableMask()) {
        ar.WriteFlag(true);
        ar.WriteI32(o.maskWidth);
        ar.WriteI32(o.maskHeight);
        ar.WriteCount(o.maskPixels.size());
        ar.WriteBytes(o.maskPixels.data(), o.maskPixels.size());
    } else {
        ar.WriteFlag(false);
        ar.WriteI32(0);
        ar.WriteI32(0);
        ar.WriteU32(0);
    }
    WriteEffectStack(ar, o.effects);
}

CanvasObject ReadCanvasObject(ArchiveReader& ar, uint32_t version) {
    CanvasObject o;
    ReadRecordHead(ar, o);

    const uint32_t partCount = ar.ReadCount(kMinImagePartBytes);
    ReserveFor(o.parts, partCount);
    for (uint32_t i = 0; i < partCount; ++i) o.parts.push_back(ReadImagePart(ar));
    o.bones = ReadBones(ar);
    BoneList::NormalizeIds(o.bones);

    o.hasPosableScene = ar.ReadFlag();
    if (o.hasPosableScene) o.posableScene = ReadPosableScene(ar);
    o.hasPose = ar.ReadFlag();
    if (o.hasPose) o.partPoses = ReadPartPoses(ar);

    const Quad identity;
    Quad& q = o.warp;
    q.x0 = ReadFloat(ar, identity.x0);
    q.y0 = ReadFloat(ar, identity.y0);
    q.x1 = ReadFloat(ar, identity.x1);
    q.y1 = ReadFloat(ar, identity.y1);
    q.x2 = ReadFloat(ar, identity.x2);
    q.y2 = ReadFloat(ar, identity.y2);
    q.x3 = ReadFloat(ar, identity.x3);
    q.y3 = ReadFloat(ar, identity.y3);

    const uint8_t blend = ar.ReadU8();
    o.blendMode = blend < 46 ? blend : 0;
    if (version >= 14) o.clipToLayerBelow = ar.ReadU8() == 1;

    const PhotoBashParams pb;
    o.photoBash.bgRadius = ReadFloat(ar, pb.bgRadius);
    o.photoBash.fgRadius = ReadFloat(ar, pb.fgRadius);
    o.photoBash.mix = ReadFloat(ar, pb.mix);

    const uint8_t kind = ar.ReadU8();
    if (kind == kObjectPosable) {
        o.kind = kObjectPosable;
    } else if (kind == kObjectLightCone) {
        o.kind = kObjectLightCone;
        const LightConeParams d;
        LightConeParams& l = o.lightCone;
        l.height = ReadFloat(ar, d.height);
        l.targetX = ReadFloat(ar, d.targetX);
        l.targetY = ReadFloat(ar, d.targetY);
        l.coneAngle = ReadFloat(ar, d.coneAngle);
        l.amount = ReadFloat(ar, d.amount);
        l.ambient = ReadFloat(ar, d.ambient);
        l.falloff = ReadFloat(ar, d.falloff);
        l.tint = ar.ReadU32();
        l.lightX = ReadFloat(ar, d.lightX);
        l.lightY = ReadFloat(ar, d.lightY);
    } else {
        o.kind = kObjectBitmap;
    }

    const bool hasMask = ar.ReadFlag();
    const int32_t mw = ar.ReadI32();
    const int32_t mh = ar.ReadI32();
    std::vector<uint8_t> mask = ar.ReadByteVector(ar.ReadCount(1));
    if (hasMask && mw >= 1 && mh >= 1 && BitmapSizeAllowed(mw, mh) && uint64_t(mask.size()) == uint64_t(mw) * uint64_t(mh)) {
        o.maskEnabled = true;
        o.maskWidth = mw;
        o.maskHeight = mh;
        o.maskPixels = std::move(mask);
    }

    o.effects = ReadEffectStack(ar);
    return o;
}

void WriteCanvasLayer(ArchiveWriter& ar, const Layer& layer) {
    ar.WriteString(layer.id);
    ar.WriteString(layer.name);
    ar.WriteFlag(layer.visible);
    ar.WriteFlag(layer.locked);
    ar.WriteI32(layer.order);
    ar.WriteCount(layer.objects.size());
    for (const CanvasObject& o : layer.objects) WriteCanvasObject(ar, o);
}

Layer ReadCanvasLayer(ArchiveReader& ar, uint32_t version) {
    Layer layer;
    layer.id = ar.ReadString();
    layer.name = ar.ReadString();
    layer.visible = ar.ReadFlag();
    layer.locked = ar.ReadFlag();
    layer.order = ar.ReadI32();
    const uint32_t count = ar.ReadCount(kMinObjectBytes);
    ReserveFor(layer.objects, count);
    for (uint32_t i = 0; i < count; ++i) layer.objects.push_back(ReadCanvasObject(ar, version));
    return layer;
}

// --- Whole files ---

std::vector<uint8_t> WriteProjectBytes(const CanvasDocument& scene) {
    ArchiveWriter ar;
    ar.WriteMagic("QVK1");
    ar.WriteU32(kProjectFileVersion);
    ar.WriteF32(scene.width);
    ar.WriteF32(scene.height);
    ar.WriteU32(scene.canvasColour);
    ar.WriteString(scene.activeLayerId);
    ar.WriteString(scene.primarySelectedId);
    ar.WriteCount(scene.layers.size());
    for (const Layer& l : scene.layers) WriteCanvasLayer(ar, l);
    return ar.TakeBytes();
}

namespace {

// A canvas side: at least 1 (a value that is not a number becomes 1) and at
// most the largest bitmap side, so that canvas-sized buffers stay allocatable.
float CanvasSide(float stored) {
    if (std::isnan(stored)) return 1;
    return std::clamp(stored, 1.0f, float(kMaxBitmapSide));
}

struct ParsedProject {
    float width = 0, height = 0;
    uint32_t colour = 0;
    std::string activeLayerId, primaryId;
    std::vector<Layer> layers;
};

ParsedProject ParseProject(ArchiveReader& ar) {
    if (!ar.ReadMagic("QVK1")) throw ArchiveError("not a project file");
    const uint32_t version = ar.ReadU32();
    if (version != kProjectFileOldestVersion && version != kProjectFileVersion)
        throw ArchiveError("unsupported project version");
    ParsedProject p;
    p.width = ar.ReadF32();
    p.height = ar.ReadF32();
    p.colour = ar.ReadU32();
    p.activeLayerId = ar.ReadString();
    p.primaryId = ar.ReadString();
    const uint32_t count = ar.ReadCount(kMinLayerBytes);
    ReserveFor(p.layers, count);
    for (uint32_t i = 0; i < count; ++i) p.layers.push_back(ReadCanvasLayer(ar, version));
    return p;
}

void ApplyProject(ParsedProject&& p, CanvasDocument& scene) {
    scene.Reset();
    scene.width = CanvasSide(p.width);
    scene.height = CanvasSide(p.height);
    scene.ReleaseSelection();
    scene.canvasColour = p.colour;
    scene.layers = std::move(p.layers);
    if (scene.layers.empty()) scene.Reset();

    const bool activeFound = std::any_of(scene.layers.begin(), scene.layers.end(),
                                         [&](const Layer& l) { return l.id == p.activeLayerId; });
    scene.activeLayerId = activeFound ? p.activeLayerId : scene.layers.front().id;

    if (scene.FindObject(p.primaryId)) {
        scene.ClearSelection();
        scene.primarySelectedId = p.primaryId;
        scene.selectedIds = {p.primaryId};
    } else {
        scene.ClearSelection();
    }
}

}  // namespace

namespace {

bool ReadProjectFrom(ArchiveReader& ar, CanvasDocument& scene, std::string* error) {
    ParsedProject parsed;
    try {
        parsed = ParseProject(ar);
    } catch (const std::exception&) {
        // Malformed data (ArchiveError), a source that failed, or a project
        // too large for memory: either way the file is refused and the scene
        // stays as it was.
        if (error) *error = kUnexpectedFileFormat;
        return false;
    }
    ApplyProject(std::move(parsed), scene);
    return true;
}

}  // namespace

bool ReadProjectBytes(const uint8_t* data, size_t size, CanvasDocument& scene, std::string* error) {
    ArchiveReader ar(data, size);
    return ReadProjectFrom(ar, scene, error);
}

bool ReadProject(ArchiveSource& source, uint64_t size, CanvasDocument& scene, std::string* error) {
    ArchiveReader ar(source, size);
    return ReadProjectFrom(ar, scene, error);
}

ProjectLoadResult LoadProjectFile(const std::string& path, CanvasDocument& scene, std::string* error) {
    // Read as the records ask for it: a file that is no project is refused on
    // its first bytes, however large it is, and a project never needs room
    // for a second copy of itself.
    ReadOnlyFile file;
    std::string why;
    switch (file.Open(path)) {
    case kReadOk: break;
    case kReadEmpty:
        // An empty file is a file, just not a project.
        if (error) *error = kUnexpectedFileFormat;
        return ProjectLoadResult::kBadFormat;
    case kReadCannotOpen: why = "Cannot open the file " + path + "."; break;
    case kReadNotAFile: why = path + " is not a regular file."; break;
    case kReadTooLarge:
    case kReadFailed: why = "Cannot read the file " + path + "."; break;
    }
    if (!why.empty()) {
        if (error) *error = why;
        return ProjectLoadResult::kCannotOpen;
    }
    return ReadProject(file, file.Size(), scene, error) ? ProjectLoadResult::kLoaded : ProjectLoadResult::kBadFormat;
}

bool SaveProjectFile(const std::string& path, const CanvasDocument& scene, std::string* error) {
    std::vector<uint8_t> bytes;
    try {
        bytes = WriteProjectBytes(scene);
    } catch (const std::bad_alloc&) {
        if (error) *error = "Not enough memory to save the project.";
        return false;
    } catch (const ArchiveError&) {
        // Checked before the file is touched: what is written must read back.
        if (error) *error = "The project holds more than its file format can store (an image or mask of 4 GiB or more).";
        return false;
    }
    return WriteFileAtomic(path, bytes, error);
}
