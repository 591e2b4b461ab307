// The document's side of the clipboard: what Copy puts there (the selected
// pixels of one bitmap object as an object of its own, or the selected
// objects), and Paste with fresh ids, copy names and places in the scene in use.
#include "document/CQuillfenEditorDoc.h"

#include "document/ClipboardFormats.h"
#include "platform/Clipboard.h"
#include "scene/BoneList.h"
#include "scene/ImageLoading.h"
#include "scene/SelectionMask.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Whole-pixel size of a pasted or built object: halves away from zero, at least 1.
float WholeSize(float v) { return std::max(std::round(v), 1.0f); }

// The first "object_%d" that names no object of the scene and was not given
// to an earlier object of the same paste.
std::string FreshObjectId(const CanvasDocument& scene, const std::vector<std::string>& given) {
    for (int n = 1; n <= 99999; ++n) {
        std::string candidate = "object_" + std::to_string(n);
        if (scene.FindObject(candidate)) continue;
        if (std::find(given.begin(), given.end(), candidate) != given.end()) continue;
        return candidate;
    }
    return "object";
}

int32_t TopZ(const Layer& layer) {
    int32_t top = -1;
    for (const CanvasObject& o : layer.objects) top = std::max(top, o.z);
    return top;
}

}  // namespace

// --- Copy ---

bool CQuillfenEditorDoc::RenderSelectionPng(const CanvasObject& source, const SelectionMask& mask,
                                            CanvasObject& out) {
    if (source.kind != kObjectBitmap || !mask.HasSelection()) return false;

    // Source pixels, pixel (x, y) at canvas (x, y).
    const uint8_t* pixels = nullptr;
    int srcW = 0, srcH = 0;
    int64_t stride = 0;
    bool premultiplied = false;
    BitmapPtr decoded;
    DocumentEditSession* session = paintSession;
    if (session && session->IsActive() && session->PaintedObjectId() == source.id) {
        DocumentEditSession::WorkingSurface surface;
        if (!session->GetWorkingSurface(surface)) return false;
        if (surface.width <= 0 || surface.height <= 0 || surface.stride < int64_t(surface.width) * 4 ||
            !surface.pixels)
            return false;
        pixels = surface.pixels;
        srcW = surface.width;
        srcH = surface.height;
        stride = surface.stride;
        premultiplied = surface.premultiplied;
    } else {
        if (source.parts.empty() || source.parts.front().encoded.empty()) return false;
        decoded = CreateBitmapFromMemory(source.parts.front().encoded);
        if (!decoded || decoded->Width() <= 0 || decoded->Height() <= 0) return false;
        // Only an object lying unscaled at the canvas origin maps its pixels
        // one to one onto the selection.
        if (source.rotation != 0 || source.x != 0 || source.y != 0) return false;
        if (!(source.width >= 0 && source.width < 2147483648.0f && source.height >= 0 &&
              source.height < 2147483648.0f))
            return false;
        if (int64_t(source.width) != decoded->Width() || int64_t(source.height) != decoded->Height()) return false;
        pixels = decoded->Data();
        srcW = decoded->Width();
        srcH = decoded->Height();
        stride = decoded->Stride();
    }

    int left = 0, top = 0, bw = 0, bh = 0;
    if (!mask.GetBounds(left, top, bw, bh)) return false;
    const int x0 = std::max(left, 0), y0 = std::max(top, 0);
    const int x1 = int(std::min<int64_t>(int64_t(left) + bw, srcW));
    const int y1 = int(std::min<int64_t>(int64_t(top) + bh, srcH));
    if (x1 <= x0 || y1 <= y0) return false;
    const int W = x1 - x0, H = y1 - y0;

    std::vector<uint8_t> coverage(size_t(W) * size_t(H));
    mask.ReadRect(x0, y0, W, H, coverage.data());

    // Straight alpha out: colour un-premultiplied when the source is
    // premultiplied, alpha weighted by the coverage.
    BitmapPtr region = Bitmap::Create(W, H);
    if (!region) return false;
    int minX = W, minY = H, maxX = -1, maxY = -1;
    for (int i = 0; i < H; ++i) {
        const uint8_t* src = pixels + (int64_t(y0) + i) * stride + int64_t(x0) * 4;
        const uint8_t* cov = coverage.data() + size_t(i) * size_t(W);
        uint8_t* dst = region->Row(i);
        for (int j = 0; j < W; ++j) {
            const uint32_t A = src[j * 4 + 3];
            const uint32_t alpha = (cov[j] * A + 127) / 255;
            if (alpha == 0) continue;
            for (int k = 0; k < 3; ++k) {
                const uint32_t v = src[j * 4 + k];
                dst[j * 4 + k] = premultiplied ? uint8_t(std::min<uint32_t>((v * 255 + A / 2) / A, 255)) : uint8_t(v);
            }
            dst[j * 4 + 3] = uint8_t(alpha);
            minX = std::min(minX, j);
            maxX = std::max(maxX, j);
            minY = std::min(minY, i);
            maxY = std::max(maxY, i);
        }
    }
    if (maxX < 0) return false;

    const int cw = maxX - minX + 1, ch = maxY - minY + 1;
    BitmapPtr cropped = Bitmap::Create(cw, ch);
    if (!cropped) return false;
    for (int i = 0; i < ch; ++i)
        std::memcpy(cropped->Row(i), region->Row(minY + i) + size_t(minX) * 4, size_t(cw) * 4);
    std::vector<uint8_t> png;
    if (!SaveImageToPngBytes(*cropped, png)) return false;

    CanvasObject object;
    object.kind = kObjectBitmap;
    object.name = source.name;
    object.x = std::round(float(x0 + minX));
    object.y = std::round(float(y0 + minY));
    object.width = WholeSize(float(cw));
    object.height = WholeSize(float(ch));
    object.rotation = 0;
    object.opacity = source.opacity;
    object.blendMode = source.blendMode;
    object.clipToLayerBelow = source.clipToLayerBelow;
    object.photoBash = source.photoBash;
    object.visible = true;
    ImagePart part;
    part.id = "image_1";
    part.name = object.name;
    part.source = object.name;
    part.encoded = std::move(png);
    part.pixelWidth = float(cw);
    part.pixelHeight = float(ch);
    part.displayWidth = float(cw);
    part.displayHeight = float(ch);
    object.parts.push_back(std::move(part));
    out = std::move(object);
    return true;
}

bool CQuillfenEditorDoc::CopySelectionToClipboard() {
    if (!clipboard) return false;
    CanvasDocument& scene = SceneInUse();
    if (scene.selectedIds.empty()) return false;

    const bool maskSession = paintSession && paintSession->IsActive() && paintSession->EditsMask();
    if (scene.selectedIds.size() == 1 && scene.selectionMask && scene.selectionMask->HasSelection() &&
        !maskSession) {
        const CanvasObject* source = scene.FindObject(scene.primarySelectedId);
        CanvasObject pixels;
        if (source && source->kind == kObjectBitmap && RenderSelectionPng(*source, *scene.selectionMask, pixels)) {
            pixels.InvalidateCaches();
            if (CopyObjectToClipboard(*clipboard, pixels)) return true;
        }
    }

    // Whole objects are copied from the model: what is painted goes into it first.
    if (!CommitPaintSession()) return false;
    std::vector<CanvasObject> copies;
    for (const std::string& id : scene.selectedIds) {
        if (const CanvasObject* o = scene.FindObject(id)) {
            copies.push_back(*o);
            copies.back().InvalidateCaches();
        }
    }
    if (copies.empty()) return false;
    if (copies.size() == 1) return CopyObjectToClipboard(*clipboard, copies.front());
    return CopyObjectSetToClipboard(*clipboard, copies);
}

bool CQuillfenEditorDoc::CanCopySelection() const { return !SceneInUse().selectedIds.empty(); }

// --- Paste ---

bool CQuillfenEditorDoc::CanPasteFromClipboard() const {
    const CanvasDocument& scene = SceneInUse();
    if (scene.activeLayerId.empty()) return false;
    const Layer* layer = nullptr;
    for (const Layer& l : scene.layers)
        if (l.id == scene.activeLayerId) {
            layer = &l;
            break;
        }
    if (!layer || layer->locked || !clipboard) return false;
    for (const char* format : {kCanvasObjectSetClipFormat, kCanvasObjectClipFormat, kPngClipFormat,
                               kDibV5ClipFormat, kDibClipFormat, kBitmapClipFormat})
        if (clipboard->HasFormat(format)) return true;
    return false;
}

bool CQuillfenEditorDoc::PasteFromClipboard() {
    if (!CanPasteFromClipboard()) return false;
    CanvasDocument& scene = SceneInUse();
    const bool inPoseEditor = &scene == &poseScene;

    std::vector<CanvasObject> set;
    if (PasteObjectSetFromClipboard(*clipboard, set)) {
        Layer* layer = scene.activeLayerId.empty() ? nullptr : scene.FindLayer(scene.activeLayerId);
        if (!layer || layer->locked) return false;
        const std::string layerId = layer->id;
        return RecordEdit(kUndoObjectsAdded, [&](UndoStep& step) {
            scene.ClearSelection();

            std::vector<std::string> given;
            for (CanvasObject& o : set) {
                o.id = FreshObjectId(scene, given);
                given.push_back(o.id);
                o.name = MakeCopyName(o.name);
                if (inPoseEditor) PreparePastedObject(o, scene);
                // A pasted object has a fresh id, so no joint link names its
                // bones and renaming them leaves no link behind.
                BoneList::NormalizeIds(o.bones);
                o.x = std::round(o.x);
                o.y = std::round(o.y);
                o.width = WholeSize(o.width);
                o.height = WholeSize(o.height);
            }

            float minX = set[0].x, minY = set[0].y;
            float maxX = set[0].x + set[0].width, maxY = set[0].y + set[0].height;
            for (const CanvasObject& o : set) {
                minX = std::min(minX, o.x);
                minY = std::min(minY, o.y);
                maxX = std::max(maxX, o.x + o.width);
                maxY = std::max(maxY, o.y + o.height);
            }
            if (minX < 0 || minY < 0 || maxX > scene.width || maxY > scene.height) {
                const float dx = (scene.width - (maxX - minX)) * 0.5f - minX;
                const float dy = (scene.height - (maxY - minY)) * 0.5f - minY;
                for (CanvasObject& o : set) {
                    o.x += dx;
                    o.y += dy;
                }
            }

            for (CanvasObject& o : set) {
                if (inPoseEditor) {
                    o.opacity = 1.0f;
                    o.blendMode = 0;
                    o.clipToLayerBelow = false;
                }
                o.InvalidateCaches();
                // On top of the layer, in paste order: a stored z from the
                // source scene would scatter the pasted objects through the layer.
                if (Layer* target = scene.FindLayer(layerId)) o.z = TopZ(*target) + 1;
                Layer key;
                key.id = layerId;
                if (!scene.AddObjectToLayer(key, o)) continue;
                if (const CanvasObject* added = scene.FindObject(o.id)) step.objectEntries.push_back({layerId, *added});
                scene.AddToSelection(o.id);
            }
            return !step.objectEntries.empty();
        });
    }

    CanvasObject object;
    if (PasteObjectFromClipboard(*clipboard, object)) {
        object.id = MakeUniqueObjectId();
        object.name = MakeCopyName(object.name);
        if (inPoseEditor) PreparePastedObject(object, scene);
        BoneList::NormalizeIds(object.bones);
        if (object.x < 0 || object.y < 0 || object.x + object.width > scene.width ||
            object.y + object.height > scene.height) {
            object.x = std::round((scene.width - object.width) * 0.5f);
            object.y = std::round((scene.height - object.height) * 0.5f);
            object.width = WholeSize(object.width);
            object.height = WholeSize(object.height);
        }
        if (inPoseEditor) {
            object.opacity = 1.0f;
            object.blendMode = 0;
            object.clipToLayerBelow = false;
        }
        object.InvalidateCaches();
        return InsertObject(std::move(object));
    }

    std::vector<uint8_t> png;
    std::string name;
    float w = 0, h = 0;
    if (!ReadClipboardImage(*clipboard, png, name, w, h)) return false;
    return InsertFlattenedBitmap(std::move(png), w, h, name);
}

// --- Command handlers ---

void CQuillfenEditorDoc::OnEditCopy() { CopySelectionToClipboard(); }

void CQuillfenEditorDoc::OnEditCut() {
    if (!GetSelectionState()) return;
    if (CopySelectionToClipboard()) DeleteSelectedObjects();
}

void CQuillfenEditorDoc::OnEditPaste() {
    if (PasteFromClipboard()) SetActiveTool(kToolMove);
}
