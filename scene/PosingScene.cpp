// Converting a posable object's sub-scene into a working scene for posing on
// the canvas, and reading the posed placement of its parts back.
#include "scene/BoneList.h"
#include "scene/CanvasDocument.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The working canvas is never smaller than 3000 pixels a side.
float WorkingSide(float side) {
    if (!std::isfinite(side)) return 3000;
    return std::max(std::max(side, 3000.0f), 1.0f);
}

ImagePart PartFromRecord(const ImagePartRecord& r) {
    ImagePart p;
    p.id = r.id;
    p.name = r.name;
    p.source = r.source;
    p.encoded = r.encoded;
    p.pixelWidth = r.pixelWidth;
    p.pixelHeight = r.pixelHeight;
    p.offsetX = r.offsetX;
    p.offsetY = r.offsetY;
    p.displayWidth = r.displayWidth;
    p.displayHeight = r.displayHeight;
    p.opacity = r.opacity;
    p.visible = r.visible;
    p.z = r.z;
    return p;
}

}  // namespace

void CanvasDocument::LoadFromScene(const PosableScene& scene, CanvasDocument& target, std::vector<JointLink>& links) {
    target.Reset();
    target.width = WorkingSide(scene.width);
    target.height = WorkingSide(scene.height);
    target.canvasColour = (scene.colour >> 24) == 0 ? kPosableSceneDefaultColour : scene.colour;

    // Renaming a part's repeated bone ids must not move the links onto other
    // bones: the renames are kept per part and the links follow them.
    std::vector<std::pair<std::string, BoneList::BoneIdRenames>> renames;
    if (Layer* layer = target.FindLayer(target.activeLayerId)) {
        layer->objects.clear();
        for (const PosablePart& part : scene.parts) {
            CanvasObject o;
            o.id = part.id;
            o.name = part.name;
            o.x = part.x;
            o.y = part.y;
            o.width = part.width;
            o.height = part.height;
            o.rotation = part.rotation;
            o.opacity = part.opacity;
            o.visible = part.visible;
            o.locked = part.locked;
            o.z = part.z;
            for (const ImagePartRecord& r : part.parts) o.parts.push_back(PartFromRecord(r));
            o.bones = part.bones;
            // Stored rigs may repeat bone ids or carry broken parents; the rig
            // and the links address bones by id, so make the list sound.
            BoneList::BoneIdRenames r;
            BoneList::NormalizeIds(o.bones, &r);
            if (!r.Empty()) renames.emplace_back(o.id, std::move(r));
            layer->objects.push_back(std::move(o));
        }
    }

    if (&links != &scene.links) links = scene.links;
    for (const auto& [objectId, r] : renames) BoneList::RemapLinkEnds(links, objectId, r);
    target.ClearSelection();
}

std::vector<PartPose> CanvasDocument::BuildPartPoses(const CanvasDocument& doc) {
    std::vector<PartPose> poses;
    for (const Layer& layer : doc.layers) {
        for (const CanvasObject& o : layer.objects) {
            if (o.bones.size() != 1) continue;
            const Bone& b = o.bones.front();
            PartPose p;
            p.objectId = o.id;
            p.x = o.x;
            p.y = o.y;
            p.width = o.width;
            p.height = o.height;
            p.rotation = o.rotation;
            p.opacity = o.opacity;
            p.headX = b.headX;
            p.headY = b.headY;
            p.tailX = b.tailX;
            p.tailY = b.tailY;
            poses.push_back(std::move(p));
        }
    }
    return poses;
}
