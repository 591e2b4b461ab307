// Object pixel, mask and light-tint edits: the only ways painting, the
// adjustment dialogs, Split Bitmap, Invert, Add Mask and colour picking change
// an object's image, its mask plane or a light cone's tint. One undo step each
// holding the whole object before and after.
#include "document/CQuillfenEditorDoc.h"
#include "scene/BoneList.h"

#include <algorithm>
#include <cmath>

namespace {

// A pixel count from a float size: at least 1, halves away from zero.
int32_t WholePixels(float v) {
    const float r = std::round(std::max(v, 1.0f));
    if (!(r < float(kMaxBitmapSide))) return kMaxBitmapSide;
    return std::max(1, int32_t(r));
}

}  // namespace

void CQuillfenEditorDoc::ReplaceObjectBitmap(const std::string& objectId, std::vector<uint8_t>&& png,
                                             float pixelWidth, float pixelHeight, const ObjectTransform& transform,
                                             bool recordedAsNew, std::vector<uint8_t>&& mask) {
    std::vector<uint8_t> bytes = std::move(png);
    std::vector<uint8_t> maskBytes = std::move(mask);
    if (objectId.empty() || bytes.empty()) return;
    CanvasDocument& scene = SceneInUse();
    CanvasObject* object = scene.FindObject(objectId);
    if (!object) return;
    if (!poseEditorObjectId.empty() && &scene == &poseScene) itemPixelsEdited = true;

    std::string layerId;
    if (const Layer* layer = scene.FindLayerOfObject(objectId)) layerId = layer->id;
    RecordEdit(
        recordedAsNew ? kUndoObjectCreated : kUndoWholeObject,
        [&](UndoStep& step) {
            step.layerId = layerId;
            step.objectId = objectId;
            step.objectA = *object;

            ImagePart part;
            part.id = "image_1";
            part.name = object->name;
            part.source = object->name;
            part.encoded = std::move(bytes);
            part.pixelWidth = pixelWidth;
            part.pixelHeight = pixelHeight;
            part.displayWidth = pixelWidth;
            part.displayHeight = pixelHeight;
            object->parts.clear();
            object->parts.push_back(std::move(part));

            // The new bitmap may be cropped, grown or turned: the bones stay
            // on the pixels they lay on.
            const ObjectTransform before{object->x, object->y, object->width, object->height, object->rotation,
                                         object->opacity};
            BoneList::MapToPlacement(object->bones, before, transform);
            object->x = transform.x;
            object->y = transform.y;
            object->width = transform.width;
            object->height = transform.height;
            object->rotation = transform.rotation;
            object->opacity = transform.opacity;
            object->warp = Quad{};

            const int64_t w = WholePixels(pixelWidth), h = WholePixels(pixelHeight);
            if (maskBytes.empty() || int64_t(maskBytes.size()) != w * h) {
                object->ClearMask();
            } else {
                object->maskPixels = std::move(maskBytes);
                object->maskWidth = int32_t(w);
                object->maskHeight = int32_t(h);
                object->maskEnabled = true;
                object->ReleaseMaskCaches();
            }
            object->InvalidateCaches();
            step.objectB = *object;
        });
}

bool CQuillfenEditorDoc::SetObjectMask(const std::string& objectId, std::vector<uint8_t>&& mask, int32_t width,
                                       int32_t height) {
    std::vector<uint8_t> bytes = std::move(mask);
    if (objectId.empty() || width <= 0 || height <= 0) return false;
    CanvasObject* object = mainScene.FindObject(objectId);
    if (!object) return false;
    if (!bytes.empty() && uint64_t(bytes.size()) != uint64_t(width) * uint64_t(height)) return false;

    RecordEdit(
        kUndoWholeObject,
        [&](UndoStep& step) {
            step.objectId = objectId;
            step.objectA = *object;
            if (bytes.empty()) {
                object->ClearMask();
            } else {
                object->maskPixels = std::move(bytes);
                object->maskWidth = width;
                object->maskHeight = height;
                object->maskEnabled = true;
            }
            object->ReleaseMaskCaches();
            object->caches.maskThumb.reset();
            object->caches.thumbsValid = false;
            step.objectB = *object;
        },
        {.mainScene = true});  // replayed on the main scene, where the mask lives
    return true;
}

bool CQuillfenEditorDoc::ReplacePartImage(const std::string& objectId, const std::string& partId,
                                          std::vector<uint8_t>&& png) {
    std::vector<uint8_t> bytes = std::move(png);
    if (objectId.empty() || bytes.empty()) return false;
    CanvasObject* object = mainScene.FindObject(objectId);
    if (!object || object->parts.empty()) return false;
    const std::string wanted = partId.empty() ? std::string("image_1") : partId;
    auto it = std::find_if(object->parts.begin(), object->parts.end(),
                           [&](const ImagePart& p) { return p.id == wanted; });
    ImagePart& part = it != object->parts.end() ? *it : object->parts.front();

    RecordEdit(
        kUndoWholeObject,
        [&](UndoStep& step) {
            step.objectId = objectId;
            step.objectA = *object;
            part.encoded = std::move(bytes);
            part.InvalidateDecoded();
            object->InvalidateCaches();
            step.objectB = *object;
        },
        {.mainScene = true});
    return true;
}

bool CQuillfenEditorDoc::SetLightTint(uint32_t argb) {
    if (workspaceMode != kWorkspaceCanvas || mainScene.selectedIds.size() != 1) return false;
    CanvasObject* object = mainScene.FindObject(mainScene.primarySelectedId);
    if (!object || object->kind != kObjectLightCone) return false;
    const uint32_t tint = 0xFF000000u | (argb & 0x00FFFFFFu);
    if (object->lightCone.tint == tint) return false;
    const LightConeParams before = object->lightCone;
    object->lightCone.tint = tint;
    object->InvalidateCaches();
    CommitLightConeParams(object->id, before, object->lightCone);
    SetModifiedFlag(true);
    RefreshAllViews();
    return true;
}
