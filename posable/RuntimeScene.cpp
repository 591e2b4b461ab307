#include "posable/RuntimeScene.h"

#include "platform/Codecs.h"
#include "posable/BoneShape.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>
#include <unordered_set>

namespace {

constexpr double kPi = 3.14159265358979323846;

float RoundHalfAway(double v) { return float(std::round(v)); }

// Copies the cut bitmap's pixels of rectangle r into a new tight bitmap.
BitmapPtr CloneRect(const Bitmap& src, const PixelRect& r) {
    BitmapPtr out = Bitmap::Create(r.width, r.height);
    if (!out) return nullptr;
    for (int j = 0; j < r.height; ++j)
        std::copy_n(src.Row(r.y + j) + size_t(r.x) * 4, size_t(r.width) * 4, out->Row(j));
    return out;
}

}  // namespace

std::string RuntimePartId(const std::string& objectId, const std::string& boneId) {
    return objectId + "__" + boneId;
}

std::string RuntimePartSourceId(const std::string& partId) {
    const size_t at = partId.find("__");
    return at == std::string::npos ? partId : partId.substr(0, at);
}

std::string MakeBoneKey(const std::string& objectId, const std::string& boneId) { return objectId + "|" + boneId; }

std::string MakeJointKey(const JointLinkEnd& end) {
    return end.objectId + "|" + end.boneId + "|" + std::to_string(end.end);
}

PixelRect AlphaBounds(const Bitmap& bitmap) {
    const int W = bitmap.Width(), H = bitmap.Height();
    int minX = W, minY = H, maxX = -1, maxY = -1;
    for (int j = 0; j < H; ++j) {
        const uint8_t* row = bitmap.Row(j);
        for (int i = 0; i < W; ++i) {
            if (row[4 * i + 3] == 0) continue;
            minX = std::min(minX, i);
            maxX = std::max(maxX, i);
            minY = std::min(minY, j);
            maxY = std::max(maxY, j);
        }
    }
    if (maxX < 0) return {};
    return {minX, minY, maxX - minX + 1, maxY - minY + 1};
}

bool EncodeBitmapPng(const Bitmap& bitmap, std::vector<uint8_t>& out) {
    std::vector<uint8_t> bytes;
    if (!EncodePng(bitmap, bytes) || bytes.empty() || uint64_t(bytes.size()) >= (uint64_t(1) << 32)) return false;
    out = std::move(bytes);
    return true;
}

bool CutBonePart(CanvasObject& object, const Bone& bone, BitmapPtr& bitmap, PixelRect& rect) {
    BitmapPtr composed = object.ComposeBitmap();
    if (!composed) return false;
    const bool whole = object.bones.size() == 1 && bone.wholeImage;
    ByteMaskRect mask;
    if (!BuildBoneMask(object.width, object.height, bone, whole, mask)) return false;
    BitmapPtr cut = Bitmap::Create(mask.width, mask.height);
    if (!cut) return false;
    const int SW = composed->Width(), SH = composed->Height();
    for (int j = 0; j < mask.height; ++j) {
        const int sy = mask.y + j;
        if (sy < 0 || sy >= SH) continue;
        const uint8_t* m = mask.bytes.data() + size_t(j) * size_t(mask.width);
        const uint8_t* src = composed->Row(sy);
        uint8_t* dst = cut->Row(j);
        for (int i = 0; i < mask.width; ++i) {
            const int sx = mask.x + i;
            if (m[i] == 0 || sx < 0 || sx >= SW) continue;
            const uint8_t* s = src + size_t(sx) * 4;
            if (s[3] == 0) continue;
            dst[4 * i + 0] = s[0];
            dst[4 * i + 1] = s[1];
            dst[4 * i + 2] = s[2];
            dst[4 * i + 3] = uint8_t((uint32_t(s[3]) * m[i] + 127) / 255);
        }
    }
    const PixelRect t = AlphaBounds(*cut);
    if (t.width < 1 || t.height < 1) return false;
    BitmapPtr trimmed = CloneRect(*cut, t);
    if (!trimmed) return false;
    bitmap = std::move(trimmed);
    rect = {mask.x + t.x, mask.y + t.y, t.width, t.height};
    return true;
}

std::vector<JointLink> BuildRuntimeLinks(const std::vector<JointLink>& records) {
    const size_t n = records.size();
    std::vector<size_t> parent(n);
    for (size_t i = 0; i < n; ++i) parent[i] = i;
    // Iterative find with path compression: the depth never grows with the data.
    auto find = [&](size_t i) {
        size_t root = i;
        while (parent[root] != root) root = parent[root];
        while (parent[i] != root) {
            const size_t next = parent[i];
            parent[i] = root;
            i = next;
        }
        return root;
    };
    std::unordered_map<std::string, size_t> firstSeen;
    for (size_t i = 0; i < n; ++i) {
        std::unordered_set<std::string> inRecord;
        for (const JointLinkEnd& e : records[i].ends) {
            std::string key = MakeJointKey(e);
            if (!inRecord.insert(key).second) continue;
            auto [it, fresh] = firstSeen.emplace(std::move(key), i);
            if (fresh) continue;
            const size_t ri = find(i), rj = find(it->second);
            if (ri != rj) parent[rj] = ri;
        }
    }
    // Groups by root, each end once, in the order first met.
    std::map<size_t, std::vector<JointLinkEnd>> groups;
    std::map<size_t, std::unordered_set<std::string>> groupKeys;
    for (size_t i = 0; i < n; ++i) {
        const size_t root = find(i);
        std::vector<JointLinkEnd>& ends = groups[root];
        std::unordered_set<std::string>& keys = groupKeys[root];
        for (const JointLinkEnd& e : records[i].ends)
            if (keys.insert(MakeJointKey(e)).second) ends.push_back(e);
    }
    std::vector<JointLink> links;
    int number = 0;
    for (auto& [root, ends] : groups) {
        if (ends.size() < 2) continue;
        ++number;
        JointLink link;
        link.id = "runtime_link_" + std::to_string(number);
        link.name = "Runtime Link " + std::to_string(number);
        link.ends = std::move(ends);
        links.push_back(std::move(link));
    }
    return links;
}

void BuildRuntimeDocument(const CanvasDocument& source, const std::vector<JointLink>& userLinks,
                          CanvasDocument& runtime, std::vector<JointLink>& runtimeLinks, bool encodeParts) {
    runtime.Reset();
    runtime.width = std::max(source.width, 1.0f);
    runtime.height = std::max(source.height, 1.0f);
    if (!std::isfinite(runtime.width)) runtime.width = 1;
    if (!std::isfinite(runtime.height)) runtime.height = 1;
    runtime.ReleaseSelection();
    runtime.canvasColour = source.canvasColour;
    for (Layer& l : runtime.layers) l.objects.clear();
    Layer* target = runtime.FindLayer("layer_1");
    if (!target) target = &runtime.AddLayer();
    const std::string targetId = target->id;

    std::vector<CanvasObject> out;
    std::unordered_map<std::string, std::string> partOfBone;  // bone key -> runtime part id
    std::vector<JointLink> records;

    for (const Layer& layer : source.layers) {
        if (!layer.visible) continue;
        for (const CanvasObject& src : layer.objects) {
            if (!src.visible) continue;
            if (src.bones.empty()) {
                out.push_back(src);
                continue;
            }
            // A copy shares the decoded images and composed render, and lets
            // the read-only source stay untouched.
            CanvasObject object = src;
            const double w = object.width, h = object.height;
            const double th = object.rotation * kPi / 180.0;
            const double c = std::cos(th), s = std::sin(th);
            const double mx = object.x + w / 2, my = object.y + h / 2;
            for (size_t i = 0; i < object.bones.size(); ++i) {
                const Bone& bone = object.bones[i];
                BitmapPtr cut;
                PixelRect r;
                if (!CutBonePart(object, bone, cut, r)) continue;
                std::vector<uint8_t> png;
                if (encodeParts && !EncodeBitmapPng(*cut, png)) continue;

                CanvasObject part;
                part.id = RuntimePartId(object.id, bone.id);
                part.name = object.name + " / " + bone.name;
                const double dx = r.x + r.width / 2.0 - w / 2, dy = r.y + r.height / 2.0 - h / 2;
                const double px = mx + dx * c - dy * s, py = my + dx * s + dy * c;
                part.x = RoundHalfAway(px - r.width / 2.0);
                part.y = RoundHalfAway(py - r.height / 2.0);
                part.width = std::max(RoundHalfAway(r.width), 1.0f);
                part.height = std::max(RoundHalfAway(r.height), 1.0f);
                part.rotation = object.rotation;
                part.opacity = object.opacity;
                part.visible = object.visible;
                part.locked = false;
                const int64_t z = int64_t(object.z) * 1000 + int64_t(i);
                part.z = int32_t(std::clamp<int64_t>(z, INT32_MIN, INT32_MAX));

                ImagePart image;
                image.id = "runtime_layer_0";
                image.name = part.name;
                image.source = bone.name;
                image.encoded = std::move(png);
                image.pixelWidth = image.displayWidth = float(r.width);
                image.pixelHeight = image.displayHeight = float(r.height);
                // The cut is already decoded: drawing never decodes it again.
                image.decoded = cut;
                image.decodeTried = true;
                part.parts.push_back(std::move(image));

                Bone b = bone;
                b.hasParent = false;
                b.parentId.clear();
                b.parentEnd = 1;
                const double rw = std::max(double(r.width), 1.0), rh = std::max(double(r.height), 1.0);
                b.headX = float((w * bone.headX - r.x) / rw);
                b.headY = float((h * bone.headY - r.y) / rh);
                b.tailX = float((w * bone.tailX - r.x) / rw);
                b.tailY = float((h * bone.tailY - r.y) / rh);
                part.bones.push_back(std::move(b));

                partOfBone[MakeBoneKey(object.id, bone.id)] = part.id;
                out.push_back(std::move(part));
            }
            // The bones' own joints: children hanging on the same end of a
            // parent share one record.
            std::map<std::string, JointLink> internal;
            for (const Bone& bone : object.bones) {
                if (!bone.hasParent) continue;
                auto parentPart = partOfBone.find(MakeBoneKey(object.id, bone.parentId));
                auto childPart = partOfBone.find(MakeBoneKey(object.id, bone.id));
                if (parentPart == partOfBone.end() || childPart == partOfBone.end()) continue;
                const JointLinkEnd parentEnd{object.id, bone.parentId, bone.parentEnd};
                JointLink& rec = internal[MakeJointKey(parentEnd)];
                if (rec.ends.empty()) rec.ends.push_back({parentPart->second, bone.parentId, bone.parentEnd});
                rec.ends.push_back({childPart->second, bone.id, 0});
            }
            for (auto& [key, rec] : internal) records.push_back(std::move(rec));
        }
    }

    for (const JointLink& link : userLinks) {
        JointLink rec;
        rec.id = link.id;
        rec.name = link.name;
        for (const JointLinkEnd& e : link.ends) {
            auto it = partOfBone.find(MakeBoneKey(e.objectId, e.boneId));
            if (it != partOfBone.end()) rec.ends.push_back({it->second, e.boneId, e.end});
        }
        if (rec.ends.size() >= 2) records.push_back(std::move(rec));
    }

    if (Layer* layer = runtime.FindLayer(targetId)) layer->objects = std::move(out);
    runtimeLinks = BuildRuntimeLinks(records);
}
