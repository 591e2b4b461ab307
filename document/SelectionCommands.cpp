// Deselect, Reselect and Inverse of the pixel selection, and Split Bitmap.
#include "document/SelectionCommands.h"

#include "document/CQuillfenEditorDoc.h"
#include "document/ClipboardFormats.h"
#include "scene/CanvasDocument.h"
#include "scene/PixelOps.h"
#include "scene/SelectionMask.h"
#include "selection/SelectionToolController.h"

#include <algorithm>
#include <cstring>

bool HasPixelSelection(const CanvasDocument& scene) {
    return scene.selectionMask && scene.selectionMask->HasSelection();
}

const CanvasObject* FindPrimaryObject(const CanvasDocument& scene) {
    return FirstObjectWithId(scene, scene.primarySelectedId);
}

CanvasObject* FirstObjectWithId(CanvasDocument& scene, const std::string& id) {
    return id.empty() ? nullptr : scene.FindObject(id);
}

const CanvasObject* FirstObjectWithId(const CanvasDocument& scene, const std::string& id) {
    return id.empty() ? nullptr : scene.FindObject(id);
}

// --- Split Bitmap steps ---

BitmapPtr ExtractSelectionBitmap(int width, int height, const uint8_t* pixels, int64_t rowPitch,
                                 const uint8_t* coverage, bool inside, bool premultiplied) {
    if (!pixels || !coverage || rowPitch < int64_t(width) * 4) return nullptr;
    BitmapPtr out = Bitmap::Create(width, height);
    if (!out) return nullptr;
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = pixels + int64_t(y) * rowPitch;
        const uint8_t* cov = coverage + size_t(y) * size_t(width);
        uint8_t* dst = out->Row(y);
        for (int x = 0; x < width; ++x, src += 4, dst += 4) {
            const uint32_t a = src[3];
            const uint32_t m = inside ? cov[x] : 255u - cov[x];
            const uint32_t k = m * a;
            if (a == 0 || k + 127 < 255) continue;  // stays transparent black
            for (int c = 0; c < 3; ++c)
                dst[c] = premultiplied ? uint8_t(std::min<uint32_t>(255, (src[c] * 255u + a / 2) / a)) : src[c];
            dst[3] = uint8_t((k + 127) / 255);
        }
    }
    return out;
}

bool GetOpaqueBounds(const Bitmap& bitmap, int& x, int& y, int& w, int& h) {
    int x0 = bitmap.Width(), y0 = bitmap.Height(), x1 = -1, y1 = -1;
    for (int row = 0; row < bitmap.Height(); ++row) {
        const uint8_t* p = bitmap.Row(row);
        for (int col = 0; col < bitmap.Width(); ++col)
            if (p[size_t(col) * 4 + 3] != 0) {
                x0 = std::min(x0, col);
                x1 = std::max(x1, col);
                y0 = std::min(y0, row);
                y1 = row;
            }
    }
    if (x1 < 0) return false;
    x = x0;
    y = y0;
    w = x1 - x0 + 1;
    h = y1 - y0 + 1;
    return true;
}

bool CropBitmapToPng(const Bitmap& bitmap, int x, int y, int w, int h, std::vector<uint8_t>& png) {
    if (x < 0 || y < 0 || w <= 0 || h <= 0 || int64_t(x) + w > bitmap.Width() || int64_t(y) + h > bitmap.Height())
        return false;
    BitmapPtr crop = Bitmap::Create(w, h);
    if (!crop) return false;
    for (int row = 0; row < h; ++row) std::memcpy(crop->Row(row), bitmap.Row(y + row) + size_t(x) * 4, size_t(w) * 4);
    return SaveImageToPngBytes(*crop, png);
}

// --- Deselect, Reselect, Inverse ---

namespace {

// In the canvas these commands work only while a paint session is attached;
// without one, the Pose Editor's scene when it is open.
CanvasDocument* SelectionCommandScene(CQuillfenEditorDoc& doc) {
    if (doc.paintSession) return &doc.SceneInUse();
    if (doc.IsPoseEditorOpen()) return &doc.poseScene;
    return nullptr;
}

// A later change of the edge options must not re-commit the last drawn
// shape over the selection these commands made (also makes sure of the mask).
void ResetSelectionToolState(CQuillfenEditorDoc& doc, CanvasDocument& scene) {
    doc.SelectionTool(scene).ForgetPendingShape();
}

}  // namespace

bool CQuillfenEditorDoc::CanDeselectOrInverse() const {
    return (paintSession || IsPoseEditorOpen()) && HasPixelSelection(SceneInUse());
}

bool CQuillfenEditorDoc::CanReselect() const {
    if (paintSession) return SceneInUse().deselectedMask != nullptr;
    if (IsPoseEditorOpen()) return poseScene.deselectedMask != nullptr;
    return false;
}

void CQuillfenEditorDoc::OnSelectionDeselect() {
    CanvasDocument* scene = SelectionCommandScene(*this);
    if (!scene) return;
    scene->EnsureSelectionMask();
    if (!scene->selectionMask) return;
    SelectionMask& mask = *scene->selectionMask;
    if (!mask.HasSelection()) return;
    scene->PushSelectionUndo();
    auto copy = std::make_unique<SelectionMask>(mask.Width(), mask.Height(), mask.TileSize());
    copy->Assign(mask);
    scene->deselectedMask = std::move(copy);
    mask.Clear();
    ResetSelectionToolState(*this, *scene);
    UpdateAllViews();
}

void CQuillfenEditorDoc::OnSelectionReselect() {
    CanvasDocument* scene = SelectionCommandScene(*this);
    if (!scene || !scene->deselectedMask) return;
    scene->PushSelectionUndo();
    scene->EnsureSelectionMask();
    // A canvas resize drops the copy together with the old mask.
    if (!scene->deselectedMask || !scene->selectionMask) return;
    scene->selectionMask->Assign(*scene->deselectedMask);
    ResetSelectionToolState(*this, *scene);
    UpdateAllViews();
}

void CQuillfenEditorDoc::OnSelectionInverse() {
    CanvasDocument* scene = SelectionCommandScene(*this);
    if (!scene) return;
    scene->PushSelectionUndo();
    scene->EnsureSelectionMask();
    if (!scene->selectionMask) return;
    // Missing tiles read as the all-selected value, so flipping it and every
    // stored byte inverts the whole canvas.
    scene->selectionMask->Invert();
    ResetSelectionToolState(*this, *scene);
    UpdateAllViews();
}

// --- Split Bitmap ---

bool CQuillfenEditorDoc::CanSplitBitmap() const {
    if (!paintSession || !paintSession->IsActive() || paintSession->EditsMask()) return false;
    const CanvasDocument& scene = SceneInUse();
    if (!HasPixelSelection(scene)) return false;
    const std::string id = paintSession->PaintedObjectId();
    const CanvasObject* o = id.empty() ? nullptr : scene.FindObject(id);
    return o && o->kind == kObjectBitmap;
}

void CQuillfenEditorDoc::OnSelectionSplitBitmap() {
    DocumentEditSession* session = paintSession;
    if (!session || !session->IsActive() || session->EditsMask()) return;
    CanvasDocument& scene = SceneInUse();
    if (!HasPixelSelection(scene)) return;
    const std::string objectId = session->PaintedObjectId();
    const CanvasObject* object = objectId.empty() ? nullptr : scene.FindObject(objectId);
    if (!object || object->kind != kObjectBitmap) return;

    session->StrokeEnd();
    DocumentEditSession::WorkingSurface surface;
    if (!session->GetWorkingSurface(surface) || !surface.pixels || surface.width <= 0 || surface.height <= 0 ||
        !BitmapSizeAllowed(surface.width, surface.height))
        return;
    const int W = surface.width, H = surface.height;
    std::vector<uint8_t> coverage(size_t(W) * size_t(H));
    scene.selectionMask->ReadRect(0, 0, W, H, coverage.data());

    const float opacity = object->opacity;
    const uint8_t blendMode = object->blendMode;
    const bool clip = object->clipToLayerBelow;
    const std::string name = object->name;

    BitmapPtr inside =
        ExtractSelectionBitmap(W, H, surface.pixels, surface.stride, coverage.data(), true, surface.premultiplied);
    BitmapPtr outside =
        ExtractSelectionBitmap(W, H, surface.pixels, surface.stride, coverage.data(), false, surface.premultiplied);
    if (!inside || !outside) return;
    int ix = 0, iy = 0, iw = 0, ih = 0, ox = 0, oy = 0, ow = 0, oh = 0;
    const bool hasInside = GetOpaqueBounds(*inside, ix, iy, iw, ih);
    const bool hasOutside = GetOpaqueBounds(*outside, ox, oy, ow, oh);
    if (!hasInside && !hasOutside) return;
    std::vector<uint8_t> insidePng, outsidePng;
    if (hasInside && !CropBitmapToPng(*inside, ix, iy, iw, ih, insidePng)) return;
    if (hasOutside && !CropBitmapToPng(*outside, ox, oy, ow, oh, outsidePng)) return;
    inside.reset();
    outside.reset();
    // Nothing has changed up to here; from now on every step runs.

    session->RestoreHiddenLayers();
    if (hasInside) {
        ObjectTransform t;
        t.x = float(ix);
        t.y = float(iy);
        t.width = float(std::max(iw, 1));
        t.height = float(std::max(ih, 1));
        t.rotation = 0;
        t.opacity = opacity;
        ReplaceObjectBitmap(objectId, std::move(insidePng), float(iw), float(ih), t, false, {});
    } else if (Layer* layer = scene.FindLayerOfObject(objectId)) {
        // The selection covers none of the object's pixels: it goes away, and
        // its removal is recorded so that Undo brings it back.
        RecordEdit(
            kUndoObjectDeleted,
            [&](UndoStep& step) {
                step.layerId = layer->id;
                step.objectId = objectId;
                step.objectA = *scene.FindObject(objectId);
                scene.DeleteObject(objectId);
            },
            {.recordOnly = true});  // the whole split is flagged and shown once, below
    }

    if (hasOutside) {
        CanvasObject cut;
        cut.id = MakeUniqueObjectId();
        cut.name = name + " (cut)";
        cut.kind = kObjectBitmap;
        cut.x = float(ox);
        cut.y = float(oy);
        cut.width = float(std::max(ow, 1));
        cut.height = float(std::max(oh, 1));
        cut.rotation = 0;
        cut.opacity = opacity;
        cut.blendMode = blendMode;
        cut.clipToLayerBelow = clip;
        ImagePart part;
        part.id = "image_1";
        part.name = cut.name;
        part.source = cut.name;
        part.encoded = std::move(outsidePng);
        part.pixelWidth = part.displayWidth = float(ow);
        part.pixelHeight = part.displayHeight = float(oh);
        part.offsetX = part.offsetY = 0;
        part.opacity = 1.0f;
        part.visible = true;
        part.z = 0;
        cut.parts.push_back(std::move(part));
        InsertObject(std::move(cut));
    }

    SetActiveTool(kToolMove);
    SetModifiedFlag(true);
    UpdateAllViews();
}
