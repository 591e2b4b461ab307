#include "filters/EffectPreviewSession.h"

#include "document/CQuillfenEditorDoc.h"
#include "scene/SelectionMask.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

CanvasObject* FindTarget(CQuillfenEditorDoc& doc, const std::string& id) {
    return id.empty() ? nullptr : doc.mainScene.FindObject(id);
}

ImagePart* FindPart(CanvasObject& object, const std::string& partId) {
    if (object.parts.empty()) return nullptr;
    for (ImagePart& p : object.parts)
        if (p.id == partId) return &p;
    return &object.parts.front();
}

// Copies the source rows into the target and runs the operation over the
// rectangle (x, y, w, h) of the target, a band of rows at a time, so every
// band is adjusted while its copy is still in the cache: one pass over the
// image instead of a copy followed by a second pass of the operation.
void CopyAndApply(const uint8_t* source, int64_t sourceStride, uint8_t* target, int64_t targetStride, int width,
                  int height, int x, int y, int w, int h, PixelOp32 op, const uint8_t* selection,
                  const void* params) {
    const int bandRows = std::max(1, int((256 << 10) / (int64_t(width) * 4)));
    const size_t rowBytes = size_t(width) * 4;
    for (int top = 0; top < height; top += bandRows) {
        const int bottom = std::min(height, top + bandRows);
        for (int r = top; r < bottom; ++r) std::memcpy(target + r * targetStride, source + r * sourceStride, rowBytes);
        const int from = std::max(top, y), to = std::min(bottom, y + h);
        if (from >= to || !op) continue;
        op(target + from * targetStride + int64_t(x) * 4, w, to - from, int(targetStride),
           selection ? selection + int64_t(from - y) * w : nullptr, selection ? w : 0, params);
    }
}

}  // namespace

bool EffectPreviewSession::Open(CQuillfenEditorDoc& doc) {
    if (open_) return false;
    CanvasDocument& scene = doc.mainScene;
    if (scene.selectedIds.size() != 1) return false;
    CanvasObject* object = FindTarget(doc, scene.primarySelectedId);
    if (!object) return false;
    doc_ = &doc;
    objectId_ = object->id;

    // An open paint session on the object owns its pixels: the preview is
    // drawn over the session's display and OK adds the adjustment to the
    // session as one of its strokes.
    if (doc.paintSession && doc.paintSession->IsActive() && doc.paintSession->PaintedObjectId() == objectId_) {
        DocumentEditSession::PreviewSurface surface;
        if (doc.paintSession->GetPreviewSurface(surface) && surface.pixels && surface.width > 0 &&
            surface.height > 0 && surface.stride >= int64_t(surface.width) * 4) {
            try {
                paintSnapshot_.assign(surface.pixels, surface.pixels + surface.stride * surface.height);
            } catch (const std::bad_alloc&) {
                Reset();
                return false;
            }
            paintStride_ = surface.stride;
            paintWidth_ = surface.width;
            paintHeight_ = surface.height;
        }
        mode_ = kPreviewPaintSession;
        open_ = true;
        return true;
    }
    if (scene.selectedMaskObjectId == objectId_ && object->HasUsableMask() && object->maskWidth >= 1 &&
        object->maskHeight >= 1 &&
        object->maskPixels.size() == size_t(object->maskWidth) * size_t(object->maskHeight)) {
        maskSnapshot_ = object->maskPixels;
        maskWidth_ = object->maskWidth;
        maskHeight_ = object->maskHeight;
        mode_ = kPreviewMask;
        open_ = true;
        return true;
    }
    if (object->kind == kObjectBitmap && !object->parts.empty() && !object->parts.front().encoded.empty()) {
        partId_ = object->parts.front().id;
        BitmapPtr decoded = DecodePngToBitmap(object->parts.front().encoded);
        source_ = decoded ? ResampleBitmap(*decoded) : nullptr;
        working_ = source_ ? Bitmap::Create(source_->Width(), source_->Height()) : nullptr;
        if (!working_) {
            Reset();
            return false;
        }
        mode_ = kPreviewBitmap;
        open_ = true;
        return true;
    }
    Reset();
    return false;
}

bool EffectPreviewSession::ObjectAligned(int width, int height) const {
    const CanvasObject* object = doc_ ? doc_->mainScene.FindObject(objectId_) : nullptr;
    if (!object || !std::isfinite(object->width) || !std::isfinite(object->height)) return false;
    return object->rotation == 0 && object->x == 0 && object->y == 0 &&
           double(width) == std::trunc(double(object->width)) && double(height) == std::trunc(double(object->height));
}

bool EffectPreviewSession::TargetRect(int width, int height, bool aligned, int& x, int& y, int& w, int& h,
                                      std::vector<uint8_t>& weights, const uint8_t*& selection) const {
    selection = nullptr;
    const SelectionMask* mask = aligned && doc_ ? doc_->mainScene.selectionMask.get() : nullptr;
    if (!GetSelectionRectOrAll(mask, width, height, x, y, w, h)) return false;
    selection = ObjectMaskHasPixels(mask, x, y, w, h, weights);
    return true;
}

void EffectPreviewSession::ApplyMask(const EffectPixelOps& ops, const void* params,
                                     std::vector<uint8_t>& plane) const {
    int x = 0, y = 0, w = 0, h = 0;
    std::vector<uint8_t> weights;
    const uint8_t* selection = nullptr;
    if (!TargetRect(maskWidth_, maskHeight_, ObjectAligned(maskWidth_, maskHeight_), x, y, w, h, weights,
                    selection))
        return;
    ApplyPixelOpToRect(plane.data(), maskWidth_, maskHeight_, x, y, w, h, ops.op8, params, selection,
                       selection ? w : 0);
}

bool EffectPreviewSession::ApplyBitmap(const EffectPixelOps& ops, const void* params, Bitmap& target) const {
    const int W = source_->Width(), H = source_->Height();
    if (W <= 0 || H <= 0 || target.Width() != W || target.Height() != H) return false;
    int x = 0, y = 0, w = 0, h = 0;
    std::vector<uint8_t> weights;
    const uint8_t* selection = nullptr;
    const bool any = TargetRect(W, H, ObjectAligned(W, H), x, y, w, h, weights, selection);
    CopyAndApply(source_->Row(0), source_->Stride(), target.Row(0), target.Stride(), W, H, x, y, w, h,
                 any ? ops.op32 : nullptr, selection, params);
    return true;
}

DocumentEditSession* EffectPreviewSession::PaintSurface(DocumentEditSession::PreviewSurface& surface) const {
    DocumentEditSession* paint = doc_ ? doc_->paintSession : nullptr;
    if (!paint || !paint->IsActive() || paintSnapshot_.empty() || !paint->GetPreviewSurface(surface) ||
        !surface.pixels || surface.stride != paintStride_ || surface.width != paintWidth_ ||
        surface.height != paintHeight_)
        return nullptr;
    return paint;
}

void EffectPreviewSession::PutBackPaintSnapshot() {
    DocumentEditSession::PreviewSurface surface;
    if (PaintSurface(surface)) std::memcpy(surface.pixels, paintSnapshot_.data(), paintSnapshot_.size());
}

void EffectPreviewSession::Apply(const EffectPixelOps& ops, const void* params) {
    if (!open_) return;
    CanvasObject* object = FindTarget(*doc_, objectId_);
    if (!object) return;
    if (mode_ == kPreviewPaintSession) {
        // The session's surface is canvas-sized, so the selection applies as it stands.
        DocumentEditSession::PreviewSurface surface;
        if (!ops.op32 || !PaintSurface(surface)) return;
        int x = 0, y = 0, w = 0, h = 0;
        std::vector<uint8_t> weights;
        const uint8_t* selection = nullptr;
        const bool any = TargetRect(paintWidth_, paintHeight_, true, x, y, w, h, weights, selection);
        CopyAndApply(paintSnapshot_.data(), paintStride_, surface.pixels, paintStride_, paintWidth_, paintHeight_, x,
                     y, w, h, any ? ops.op32 : nullptr, selection, params);
        doc_->RefreshAllViews();
    } else if (mode_ == kPreviewMask) {
        if (!ops.op8 || object->maskWidth != maskWidth_ || object->maskHeight != maskHeight_ ||
            object->maskPixels.size() != maskSnapshot_.size())
            return;
        object->maskPixels = maskSnapshot_;
        ApplyMask(ops, params, object->maskPixels);
        object->ReleaseMaskCaches();
        object->InvalidateCaches();
        doc_->RefreshAllViews();
    } else if (mode_ == kPreviewBitmap) {
        ImagePart* part = FindPart(*object, partId_);
        if (!ops.op32 || !part || !ApplyBitmap(ops, params, *working_)) return;
        // The working bitmap stands in for the decoded image; the stored
        // bytes stay as they were until the commit.
        part->decoded = working_;
        part->decodeTried = true;
        part->InvalidateCache();
        object->InvalidateCaches();
        doc_->RefreshAllViews();
    }
}

void EffectPreviewSession::Restore() {
    if (open_) {
        if (CanvasObject* object = FindTarget(*doc_, objectId_)) {
            if (mode_ == kPreviewPaintSession) {
                PutBackPaintSnapshot();
                doc_->RefreshAllViews();
            } else if (mode_ == kPreviewMask && object->maskWidth == maskWidth_ && object->maskHeight == maskHeight_) {
                object->maskPixels = maskSnapshot_;
                object->ReleaseMaskCaches();
                object->InvalidateCaches();
                doc_->UpdateAllViews();
            } else if (mode_ == kPreviewBitmap) {
                if (ImagePart* part = FindPart(*object, partId_)) part->InvalidateDecoded();
                object->InvalidateCaches();
                doc_->UpdateAllViews();
            }
        }
    }
    Reset();
}

PreviewCommit EffectPreviewSession::Commit(const EffectPixelOps& ops, const void* params) {
    if (!open_) return PreviewCommit::NotOpen;
    CQuillfenEditorDoc& doc = *doc_;
    CanvasObject* object = FindTarget(doc, objectId_);
    if (!object) {
        Reset();
        return PreviewCommit::NotOpen;
    }
    if (mode_ == kPreviewPaintSession) {
        // The display goes back to the painting first: the session adjusts
        // its own pixels and redraws the display from them.
        PutBackPaintSnapshot();
        if (doc.paintSession && doc.paintSession->IsActive() && ops.op32) {
            doc.paintSession->ApplyPixelOp(doc, ops.op32, params);
            doc.UpdateAllViews();
        }
        Reset();
        return PreviewCommit::Done;
    }
    if (mode_ == kPreviewMask) {
        std::vector<uint8_t> plane = maskSnapshot_;
        if (ops.op8) ApplyMask(ops, params, plane);
        // The plane goes back to its state before the dialog so the step
        // records that state as its "before".
        if (object->maskWidth == maskWidth_ && object->maskHeight == maskHeight_)
            object->maskPixels = maskSnapshot_;
        const std::string id = objectId_;
        const int w = maskWidth_, h = maskHeight_;
        Reset();
        doc.SetObjectMask(id, std::move(plane), w, h);
        return PreviewCommit::Done;
    }
    // Bitmap: a fresh result from the snapshot, encoded before anything changes.
    BitmapPtr result = Bitmap::Create(source_->Width(), source_->Height());
    std::vector<uint8_t> png;
    if (!result || !ops.op32 || !ApplyBitmap(ops, params, *result) || !encoder_(*result, png) || png.empty())
        return PreviewCommit::Failed;
    if (ImagePart* part = FindPart(*object, partId_)) part->InvalidateDecoded();
    object->InvalidateCaches();
    const std::string id = objectId_, partId = partId_;
    Reset();
    doc.ReplacePartImage(id, partId, std::move(png));
    return PreviewCommit::Done;
}

void EffectPreviewSession::Reset() {
    open_ = false;
    mode_ = kPreviewNone;
    doc_ = nullptr;
    objectId_.clear();
    partId_.clear();
    paintSnapshot_.clear();
    paintSnapshot_.shrink_to_fit();
    paintStride_ = 0;
    paintWidth_ = paintHeight_ = 0;
    maskSnapshot_.clear();
    maskSnapshot_.shrink_to_fit();
    maskWidth_ = maskHeight_ = 0;
    source_.reset();
    working_.reset();
}
