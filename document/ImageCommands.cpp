// Image menu: Add Mask, Invert, Brightness and Inpaint, and the inpaint
// workspace's source tools.
#include "document/ImageCommands.h"

#include "document/CQuillfenEditorDoc.h"
#include "document/DialogProvider.h"
#include "document/SmartFillProvider.h"
#include "document/SelectionCommands.h"
#include "platform/Bitmap.h"
#include "platform/Prompts.h"
#include "scene/PixelOps.h"
#include "scene/SelectionMask.h"

#include <algorithm>
#include <cmath>
#include <cstring>

std::string ConvertForEffectQuestion(const std::string& objectName, const std::string& what) {
    return "Convert \"" + objectName + "\" to Bitmap to apply " + what +
           "?\n\nType-specific data (bones, light parameters, posable skeleton) will be discarded.";
}

namespace {

// Rounded half away from zero and at least 1; 0 for a side the bitmap caps refuse.
int32_t MaskSide(float value) {
    if (!std::isfinite(value)) return 0;
    const double r = std::max(1.0, std::round(double(value)));
    return r > double(kMaxBitmapSide) ? 0 : int32_t(r);
}

}  // namespace

// --- Add Mask ---

bool CQuillfenEditorDoc::CanAddMask() const {
    if (workspaceMode != kWorkspaceCanvas) return false;
    const CanvasObject* o = FirstObjectWithId(mainScene, mainScene.primarySelectedId);
    return o && o->kind == kObjectBitmap && !o->HasUsableMask();
}

void CQuillfenEditorDoc::OnImageAddMask() {
    const CanvasObject* o = FirstObjectWithId(mainScene, mainScene.primarySelectedId);
    if (!o || o->kind != kObjectBitmap || o->HasUsableMask()) return;
    // The painting is stored first; the commit replaces the object's pixels
    // and would otherwise replace the new mask too.
    if (!CommitPaintSession()) return;
    o = FirstObjectWithId(mainScene, mainScene.primarySelectedId);
    if (!o || o->kind != kObjectBitmap || o->HasUsableMask()) return;
    const float fw = o->parts.empty() ? o->width : o->parts.front().pixelWidth;
    const float fh = o->parts.empty() ? o->height : o->parts.front().pixelHeight;
    const int32_t w = MaskSide(fw), h = MaskSide(fh);
    // A stored size beyond the caps is refused rather than allocated.
    if (w == 0 || h == 0 || !BitmapSizeAllowed(w, h)) return;
    std::vector<uint8_t> mask(size_t(w) * size_t(h), 255);
    SetObjectMask(o->id, std::move(mask), w, h);
}

// --- Invert and Brightness ---

bool CQuillfenEditorDoc::CanInvertOrBrightness() const {
    if (workspaceMode != kWorkspaceCanvas || mainScene.primarySelectedId.empty() ||
        mainScene.selectedIds.size() != 1)
        return false;
    return mainScene.FindObject(mainScene.primarySelectedId) != nullptr;
}

namespace {

// The selected main-scene object for an image command, converted to a bitmap
// first when the user agrees; null when the command stops.
CanvasObject* ObjectForImageCommand(CQuillfenEditorDoc& doc, Prompts* prompts, const std::string& what) {
    CanvasDocument& scene = doc.mainScene;
    if (doc.workspaceMode != kWorkspaceCanvas || scene.selectedIds.size() != 1) return nullptr;
    const std::string id = scene.primarySelectedId;
    CanvasObject* o = FirstObjectWithId(scene, id);
    if (!o) return nullptr;
    if (o->kind == kObjectBitmap) return o;
    if (!prompts || !prompts->AskYesNo(ConvertForEffectQuestion(o->name, what), PromptIcon::Exclamation))
        return nullptr;
    if (!doc.ConvertObjectForEffect(id)) return nullptr;
    return FirstObjectWithId(scene, id);
}

}  // namespace

void CQuillfenEditorDoc::OnImageInvert() {
    CanvasObject* o = ObjectForImageCommand(*this, GetPrompts(), "Invert");
    if (!o) return;
    const std::string id = o->id;

    // While painting the session inverts its own pixels, in its stroke history.
    if (paintSession && paintSession->IsActive()) {
        paintSession->ApplyPixelOp(*this, InvertPixelsMasked, nullptr);
        UpdateAllViews();
        return;
    }

    const SelectionMask* selection = mainScene.selectionMask.get();
    if (mainScene.selectedMaskObjectId == id && o->HasUsableMask()) {
        std::vector<uint8_t> mask = o->maskPixels;
        const int W = o->maskWidth, H = o->maskHeight;
        int x = 0, y = 0, w = W, h = H;
        std::vector<uint8_t> coverage;
        const uint8_t* weights = nullptr;
        // The selection lines up with the mask only when the object lies
        // unrotated at the canvas origin at the mask's size.
        const bool aligned = o->rotation == 0 && o->x == 0 && o->y == 0 && int64_t(o->width) == W &&
                             int64_t(o->height) == H;
        if (aligned && selection && selection->HasSelection()) {
            int sx = 0, sy = 0, sw = 0, sh = 0;
            if (!selection->GetBounds(sx, sy, sw, sh)) return;
            const int x0 = std::max(sx, 0), y0 = std::max(sy, 0);
            const int x1 = std::min<int64_t>(int64_t(sx) + sw, W), y1 = std::min<int64_t>(int64_t(sy) + sh, H);
            if (x1 <= x0 || y1 <= y0) return;
            x = x0;
            y = y0;
            w = x1 - x0;
            h = y1 - y0;
            coverage.resize(size_t(w) * size_t(h));
            selection->ReadRect(x, y, w, h, coverage.data());
            weights = coverage.data();
        }
        ApplyPixelOpToRect(mask.data(), W, H, x, y, w, h, InvertMaskBytes, nullptr, weights, w);
        SetObjectMask(id, std::move(mask), W, H);
        return;
    }

    if (o->parts.empty() || o->parts.front().encoded.empty()) return;
    const std::string partId = o->parts.front().id;
    std::vector<uint8_t> png;
    if (!ApplyPixelOpToObject(o->parts.front().encoded, InvertPixelsMasked, png, o, selection)) return;
    ReplacePartImage(id, partId, std::move(png));
}

void CQuillfenEditorDoc::OnImageBrightness() {
    if (!ObjectForImageCommand(*this, GetPrompts(), "Brightness")) return;
    if (dialogs_) dialogs_->RunBrightnessDialog(*this);
}

// --- Inpaint ---

bool CQuillfenEditorDoc::CanInpaint() const {
    return workspaceMode == kWorkspaceCanvas && paintSession && paintSession->IsActive() &&
           HasPixelSelection(mainScene);
}

void CQuillfenEditorDoc::OnImageInpaint() {
    Prompts* prompts = GetPrompts();
    if (!paintSession || !paintSession->IsActive()) {
        if (prompts) prompts->Inform(kInpaintNeedsPaintSession);
        return;
    }
    if (!HasPixelSelection(mainScene)) {
        if (prompts) prompts->Inform(kInpaintNeedsSelection);
        return;
    }
    if (!inpaintSession && smartFill_) inpaintSession = smartFill_->CreateSession();
    // The session reads the painted pixels, so it begins before the paint
    // session is committed.
    if (!smartFill_ || !inpaintSession || !smartFill_->Begin(*inpaintSession, *this)) {
        inpaintSession.reset();
        if (prompts) prompts->Warn(kInpaintCannotStart);
        return;
    }
    if (!CommitPaintSession()) {
        inpaintSession.reset();
        return;
    }
    if (host_) host_->SetWorkspaceMode(kWorkspaceInpaint);
}

// --- Inpaint source tools ---

namespace {

bool AccessInpaintSource(const CQuillfenEditorDoc& doc, InpaintSourceAccess& access) {
    SmartFillProvider* smartFill = doc.SmartFill();
    return smartFill && doc.inpaintSession && smartFill->Access(*doc.inpaintSession, access);
}

}  // namespace

bool CQuillfenEditorDoc::CanEditInpaintSource() const {
    InpaintSourceAccess access;
    return workspaceMode == kWorkspaceInpaint && AccessInpaintSource(*this, access) && access.active;
}

bool CQuillfenEditorDoc::InpaintEraseFlag() const {
    InpaintSourceAccess access;
    return AccessInpaintSource(*this, access) && access.eraseFlag && *access.eraseFlag;
}

void CQuillfenEditorDoc::SetInpaintErase(bool erase) {
    InpaintSourceAccess access;
    if (!AccessInpaintSource(*this, access)) return;
    if (access.eraseFlag) *access.eraseFlag = erase;
    UpdateAllViews();
}

void CQuillfenEditorDoc::OnInpaintSelectAllSource() {
    InpaintSourceAccess a;
    if (!AccessInpaintSource(*this, a)) return;
    if (a.active && a.hole && a.source && a.alpha && a.cropWidth > 0 && a.cropHeight > 0 &&
        a.holeStride >= a.cropWidth && a.sourceStride >= a.cropWidth && a.alphaStride >= a.cropWidth) {
        // Everything visible outside the hole may feed the fill.
        for (int32_t y = 0; y < a.cropHeight; ++y) {
            const uint8_t* hole = a.hole + int64_t(y) * a.holeStride;
            const uint8_t* alpha = a.alpha + int64_t(y) * a.alphaStride;
            uint8_t* source = a.source + int64_t(y) * a.sourceStride;
            for (int32_t x = 0; x < a.cropWidth; ++x) source[x] = (alpha[x] != 0 && hole[x] == 0) ? 255 : 0;
        }
    }
    UpdateAllViews();
}

void CQuillfenEditorDoc::OnInpaintClearSource() {
    InpaintSourceAccess a;
    if (!AccessInpaintSource(*this, a)) return;
    if (a.active && a.source && a.cropWidth > 0 && a.cropHeight > 0 && a.sourceStride >= a.cropWidth)
        for (int32_t y = 0; y < a.cropHeight; ++y)
            std::memset(a.source + int64_t(y) * a.sourceStride, 0, size_t(a.cropWidth));
    UpdateAllViews();
}
