#include "brushes/BitmapPaintSession.h"

#include "brushes/HostDabs.h"
#include "brushes/RenderGraphicsToPixels.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentCommands.h"
#include "platform/Log.h"
#include "platform/Prompts.h"
#include "platform/Raster.h"
#include "scene/CanvasWriteViews.h"
#include "scene/LayerBlend.h"
#include "scene/ObjectRender.h"
#include "scene/PixelOps.h"
#include "scene/QuadWarp.h"
#include "scene/SelectionMask.h"
#include "selection/SelectionToolController.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

size_t BitmapPaintSession::snapshotBudget = size_t(1) << 30;
const StencilImprintInput* (*BitmapPaintSession::stencilSource)() = nullptr;

namespace {

constexpr float kPi = 3.14159265358979f;

// The object's unrotated rectangle turned about its centre: visits every
// canvas pixel whose centre lies inside with its local point (u, v) measured
// from the centre.
template <typename Visit>
void ForEachPixelInRotatedRect(const CanvasObject& o, int32_t canvasW, int32_t canvasH, Visit&& visit) {
    const float w = o.width, h = o.height;
    const float cx = o.x + w * 0.5f, cy = o.y + h * 0.5f;
    const float t = o.rotation * kPi / 180.0f;
    const float ct = std::cos(t), st = std::sin(t);
    const float ex = std::fabs(ct) * w * 0.5f + std::fabs(st) * h * 0.5f;
    const float ey = std::fabs(st) * w * 0.5f + std::fabs(ct) * h * 0.5f;
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(ex) || !std::isfinite(ey)) return;
    const int64_t x0 = std::max<int64_t>(0, int64_t(std::floor(std::max(cx - ex, -1.0f))));
    const int64_t x1 = std::min<int64_t>(canvasW - 1, int64_t(std::ceil(std::min(cx + ex, float(canvasW)))));
    const int64_t y0 = std::max<int64_t>(0, int64_t(std::floor(std::max(cy - ey, -1.0f))));
    const int64_t y1 = std::min<int64_t>(canvasH - 1, int64_t(std::ceil(std::min(cy + ey, float(canvasH)))));
    for (int64_t py = y0; py <= y1; ++py)
        for (int64_t px = x0; px <= x1; ++px) {
            const float dx = float(px) + 0.5f - cx, dy = float(py) + 0.5f - cy;
            const float u = dx * ct + dy * st, v = -dx * st + dy * ct;
            if (u >= -w * 0.5f && u <= w * 0.5f && v >= -h * 0.5f && v <= h * 0.5f)
                visit(int32_t(px), int32_t(py), u, v);
        }
}

// The mask plane's byte under local point (u, v) of the object.
uint8_t MaskSample(const CanvasObject& o, float u, float v) {
    const float sx = o.width > 0 ? float(o.maskWidth) / o.width : 0.0f;
    const float sy = o.height > 0 ? float(o.maskHeight) / o.height : 0.0f;
    const int col = std::clamp(int((u + o.width * 0.5f) * sx), 0, o.maskWidth - 1);
    const int row = std::clamp(int((v + o.height * 0.5f) * sy), 0, o.maskHeight - 1);
    return o.maskPixels[size_t(row) * size_t(o.maskWidth) + size_t(col)];
}

bool HasValidMaskPlane(const CanvasObject& o) {
    return o.maskWidth > 0 && o.maskHeight > 0 &&
           o.maskPixels.size() == size_t(o.maskWidth) * size_t(o.maskHeight);
}

bool IsMaskTool(int tool) { return tool == kToolPaintMask || tool == kToolEraseMask; }

// Copies the rectangle of a view into rows of a buffer (stride in bytes).
void CopyRegionTo(ICanvasWriteView& view, uint8_t* dest, int64_t destStride, int32_t x, int32_t y, int32_t w,
                  int32_t h) {
    if (w <= 0 || h <= 0) return;
    // Row bands keep the temporary small on large canvases.
    const int32_t band = std::max<int32_t>(1, std::min<int32_t>(h, int32_t((int64_t(1) << 22) / w + 1)));
    std::vector<uint32_t> tmp(size_t(w) * size_t(band));
    for (int32_t r0 = 0; r0 < h; r0 += band) {
        const int32_t rows = std::min(band, h - r0);
        view.ReadRect(x, y + r0, w, rows, tmp.data());
        for (int32_t r = 0; r < rows; ++r)
            std::memcpy(dest + (int64_t(y) + r0 + r) * destStride + int64_t(x) * 4, tmp.data() + size_t(r) * w,
                        size_t(w) * 4);
    }
}

// A commit that cannot store the session's work keeps the session open and
// tells the user why, so the command that asked for it stops visibly.
void SayKeptOpen(CQuillfenEditorDoc& doc, const char* message) {
    if (doc.Host() && doc.Host()->GetPrompts()) doc.Host()->GetPrompts()->Fail(message);
    else LogError(message);
}

}  // namespace

BitmapPaintSession::BitmapPaintSession() = default;

BitmapPaintSession::~BitmapPaintSession() {
    // A view going away with its session open: the document must not keep a
    // pointer to it.
    if (document_ && document_->paintSession == this) document_->paintSession = nullptr;
    document_ = nullptr;
    RestoreHiddenLayers();
}

ICanvasWriteView* BitmapPaintSession::LayerView() const { return layerView_.get(); }

CanvasObject* BitmapPaintSession::FindObject() const {
    return scene_ && !objectId_.empty() ? scene_->FindObject(objectId_) : nullptr;
}

void BitmapPaintSession::MarkThumbnailsStale() const {
    if (CanvasObject* o = FindObject()) o->caches.thumbsValid = false;
}

const SelectionMask* BitmapPaintSession::ActiveSelection() const {
    if (!scene_ || !scene_->selectionMask) return nullptr;
    const SelectionMask* m = scene_->selectionMask.get();
    return (m->AllSelected() || m->HasSelection()) ? m : nullptr;
}

bool BitmapPaintSession::ClipToCanvas(int64_t x0, int64_t y0, int64_t x1, int64_t y1, PaintRect& out) const {
    out.left = int32_t(std::max<int64_t>(0, x0));
    out.top = int32_t(std::max<int64_t>(0, y0));
    out.right = int32_t(std::min<int64_t>(width_, x1));
    out.bottom = int32_t(std::min<int64_t>(height_, y1));
    if (out.Empty()) {
        out = PaintRect{};
        return false;
    }
    return true;
}

BrushSettings BitmapPaintSession::StrokeSettings() const {
    BrushSettings s = BuildStrokeParams(toolId_);
    if (maskMode_ && IsMaskTool(toolId_)) s.erase = false;  // erasing the grey picture means painting black
    return s;
}

uint32_t BitmapPaintSession::StrokeColour(uint32_t colour) const {
    if (!maskMode_) return colour;
    if (toolId_ == kToolPaintMask) return 0xFFFFFFFFu;
    if (toolId_ == kToolEraseMask) return 0xFF000000u;
    const float r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    const uint32_t grey = uint32_t(std::lround(0.299f * r + 0.587f * g + 0.114f * b));
    return (colour & 0xFF000000u) | (grey << 16) | (grey << 8) | grey;
}

// ------------------------------------------------------------------ Begin

bool BitmapPaintSession::Begin(CQuillfenEditorDoc& doc, const std::string& id, bool created) {
    if (active_ || beginning_ || id.empty()) return false;
    beginning_ = true;
    struct ClearBeginning {
        bool& flag;
        ~ClearBeginning() { flag = false; }
    } clearBeginning{beginning_};
    createdForSession_ = created;

    CanvasDocument& scene = doc.SceneInUse();
    CanvasObject* object = scene.FindObject(id);
    if (!object || object->kind != kObjectBitmap) {
        RestoreHiddenLayers();
        return false;
    }
    maskMode_ = !scene.selectedMaskObjectId.empty() && scene.selectedMaskObjectId == id;
    const float sw = std::isfinite(scene.width) ? scene.width : 1.0f;
    const float sh = std::isfinite(scene.height) ? scene.height : 1.0f;
    width_ = int32_t(std::max(1.0f, std::min(std::round(sw), float(kMaxBitmapSide))));
    height_ = int32_t(std::max(1.0f, std::min(std::round(sh), float(kMaxBitmapSide))));
    if (!BitmapSizeAllowed(width_, height_)) {
        RestoreHiddenLayers();
        return false;
    }
    try {
        layer_ = std::make_unique<TiledBitmap>(width_, height_, 256);
        layerView_ = std::make_unique<LayerBitmapView>(layer_.get());
        renderer_ = std::make_unique<DabRenderer>();
        engine_ = std::make_unique<BrushEngine>();
        engine_->Init(renderer_.get(), layerView_.get());
        mask_.assign(size_t(width_) * size_t(height_), 255);
        maskView_ = std::make_unique<MaskBitmapView>(mask_.data(), width_, height_);
        objectBefore_ = std::make_unique<CanvasObject>(*object);
    } catch (const std::bad_alloc&) {
        RestoreHiddenLayers();
        return false;
    }
    if (!display_.Create(width_, height_)) {
        RestoreHiddenLayers();
        return false;
    }
    display_.Clear(0);
    display_.dirty = false;
    displayBitmap_ = Bitmap::Wrap(display_.pixels, width_, height_, width_ * 4);
    if (!displayBitmap_) {
        RestoreHiddenLayers();
        return false;
    }
    objectId_ = id;
    editCount_ = 0;
    painted_ = false;
    undoHistoryCut_ = false;
    document_ = &doc;
    scene_ = &scene;

    if (!maskMode_) {
        RasterizeObject();
    } else {
        display_.Clear(0);
        const bool plane = HasValidMaskPlane(*object);
        ForEachPixelInRotatedRect(*object, width_, height_, [&](int32_t px, int32_t py, float u, float v) {
            const uint8_t g = plane ? MaskSample(*object, u, v) : 255;
            uint8_t* p = display_.Row(py) + size_t(px) * 4;
            p[0] = p[1] = p[2] = g;
            p[3] = 255;
        });
        layerView_->WriteRect(0, 0, width_, height_, reinterpret_cast<const uint32_t*>(display_.pixels));
    }
    if (!maskMode_ && HasValidMaskPlane(*object)) {
        ForEachPixelInRotatedRect(*object, width_, height_, [&](int32_t px, int32_t py, float u, float v) {
            mask_[size_t(py) * size_t(width_) + size_t(px)] = MaskSample(*object, u, v);
        });
        ApplyMaskToSurface(0, 0, width_, height_);
    }

    backdropValid_ = false;
    doc.paintSession = this;
    doc.SelectionTool(scene).wandSource = layerView_.get();
    HideTopLayers(doc);
    isolation_ = doc.ReadSettingToggle(kCmdBrushIsolation);
    active_ = true;
    if (!hiddenObjects_.empty()) doc.UpdateAllViews();
    return true;
}

void BitmapPaintSession::RasterizeObject() {
    CanvasObject* o = FindObject();
    if (!o || !display_.pixels) return;
    BitmapPtr image = o->GetBaseBitmap();
    if (!image) return;
    RectF dest{o->x, o->y, o->width, o->height};
    if (!o->warp.IsIdentity()) {
        float ox = 0, oy = 0;
        BitmapPtr warped = WarpBitmapToQuad(image, o->warp, ox, oy);
        if (!warped) return;
        image = warped;
        dest = RectF{o->x + ox, o->y + oy, float(image->Width()), float(image->Height())};
    }
    const Affine world =
        Affine::RotationAbout(o->rotation, double(o->x) + double(o->width) / 2, double(o->y) + double(o->height) / 2);
    const Bitmap& source = *image;
    RenderGraphicsToPixels(width_, height_, display_.pixels, width_ * 4, [&](const RasterTarget& target) {
        ImageDrawOptions options;
        options.interpolation = Interpolation::Bicubic;
        options.compositing = Compositing::SourceOver;
        options.antiAlias = true;
        options.world = &world;
        DrawBitmapRect(target, source, dest, options);
    });
    display_.dirty = false;
    layerView_->WriteRect(0, 0, width_, height_, reinterpret_cast<const uint32_t*>(display_.pixels));
}

// ------------------------------------------------------------------ display

void BitmapPaintSession::ApplyMaskToSurface(int32_t x, int32_t y, int32_t w, int32_t h) {
    if (!display_.pixels || mask_.empty()) return;
    PaintRect r;
    if (!ClipToCanvas(x, y, int64_t(x) + w, int64_t(y) + h, r)) return;
    for (int32_t py = r.top; py < r.bottom; ++py) {
        uint8_t* row = display_.Row(py);
        const uint8_t* m = mask_.data() + size_t(py) * size_t(width_);
        for (int32_t px = r.left; px < r.right; ++px)
            if (m[px] != 255) row[px * 4 + 3] = uint8_t((unsigned(m[px]) * row[px * 4 + 3] + 127) / 255);
    }
}

void BitmapPaintSession::UpdateSurfaceRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (!display_.pixels || !layerView_) return;
    PaintRect r;
    if (!ClipToCanvas(left, top, right, bottom, r)) return;
    CopyRegionTo(*layerView_, display_.pixels, int64_t(width_) * 4, r.left, r.top, r.right - r.left,
                 r.bottom - r.top);
    ApplyMaskToSurface(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void BitmapPaintSession::PreviewScratch(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (!engine_ || !display_.pixels || !layerView_) return;
    const ScratchCanvasView* scratch = engine_->Scratch();
    if (!scratch || scratch->pixels.empty() || scratch->regionWidth <= 0 || scratch->regionHeight <= 0) return;
    PaintRect r;
    if (!ClipToCanvas(std::max<int64_t>(left, scratch->regionX), std::max<int64_t>(top, scratch->regionY),
                      std::min<int64_t>(right, int64_t(scratch->regionX) + scratch->regionWidth),
                      std::min<int64_t>(bottom, int64_t(scratch->regionY) + scratch->regionHeight), r))
        return;
    const int32_t w = r.right - r.left, h = r.bottom - r.top;
    std::vector<uint8_t> coverage;
    if (const SelectionMask* sel = ActiveSelection()) {
        coverage.resize(size_t(w) * size_t(h));
        sel->ReadRect(r.left, r.top, w, h, coverage.data());
    }
    const float opacity = engine_->ScratchOpacity();
    for (int32_t py = r.top; py < r.bottom; ++py) {
        uint8_t* d = display_.Row(py);
        const uint32_t* s = scratch->pixels.data() + size_t(py - scratch->regionY) * size_t(scratch->regionWidth) -
                            scratch->regionX;
        for (int32_t px = r.left; px < r.right; ++px) {
            const float cov = coverage.empty() ? 1.0f : coverage[size_t(py - r.top) * w + (px - r.left)] / 255.0f;
            const uint32_t sp = s[px];
            const float c = float(sp >> 24) / 255.0f * opacity * cov;
            if (c <= 0.0f) continue;
            uint8_t* p = d + size_t(px) * 4;
            const float da = p[3] / 255.0f;
            const float oa = (1.0f - c) * da + c;
            if (oa <= 0.0f) continue;
            auto store = [](float v) { return uint8_t(std::min(v, 1.0f) < 0 ? 0 : std::min(v, 1.0f) * 255.0f + 0.5f); };
            for (int k = 0; k < 3; ++k) {
                const float sc = float((sp >> (8 * k)) & 0xFF) / 255.0f;
                p[k] = store((p[k] / 255.0f * da * (1.0f - c) + sc * c) / oa);
            }
            p[3] = store(oa);
        }
    }
}

void BitmapPaintSession::DrawLayer(CompositeRenderer& renderer, CompositeSurface& surface,
                                   const CanvasObject& object, float x, float y, float w, float h, bool isolation) {
    if (!active_ || width_ <= 0 || height_ <= 0 || !displayBitmap_) return;
    if (isolation) {
        DrawBitmapWithOpacity(renderer, *displayBitmap_, x, y, w, h, 1.0f);
        return;
    }
    if (object.blendMode == 0) {
        DrawBitmapWithOpacity(renderer, *displayBitmap_, x, y, w, h, object.opacity);
        return;
    }
    const int tw = std::max(1, int(std::lround(std::min(w, float(kMaxBitmapSide)))));
    const int th = std::max(1, int(std::lround(std::min(h, float(kMaxBitmapSide)))));
    BitmapPtr temp = Bitmap::Create(tw, th);
    if (!temp) {
        renderer.failed = true;
        return;
    }
    ImageDrawOptions options;
    options.interpolation = Interpolation::Bicubic;
    options.compositing = Compositing::SourceCopy;
    DrawBitmapRect(RasterTarget::Of(*temp), *displayBitmap_, RectF{0, 0, float(tw), float(th)}, options);
    DrawLayerWithBlend(surface, *temp, x, y, object.blendMode, object.opacity, object.photoBash);
}

bool BitmapPaintSession::HidesObject(const std::string& id) const {
    if (!active_) return false;
    for (const HiddenObjectEntry& e : hiddenObjects_)
        if (e.wasVisible && e.id == id) return true;
    return false;
}

void BitmapPaintSession::BuildCloneBackdrop() {
    if (backdropValid_ || !document_ || !scene_ || width_ < 1 || height_ < 1) return;
    if (!backdrop_.pixels || backdrop_.width != width_ || backdrop_.height != height_) {
        if (!backdrop_.Create(width_, height_)) return;
    }
    backdrop_.Clear(0);
    CompositeRenderer renderer(backdrop_);
    renderer.RenderForSession(backdrop_, *scene_, &sceneAdapter_);
    const size_t count = size_t(width_) * size_t(height_);
    for (size_t i = 0; i < count; ++i) {
        uint8_t* p = backdrop_.pixels + i * 4;
        const unsigned a = p[3];
        if (a == 0 || a == 255) continue;
        const unsigned g = 65280u / a;
        for (int k = 0; k < 3; ++k) p[k] = uint8_t(std::min(255u, (g * p[k] + 128) >> 8));
    }
    if (!backdropView_) backdropView_ = std::make_unique<CloneBackdropView>();
    backdropView_->Reset(backdrop_.pixels, width_ * 4, width_, height_);
    backdropValid_ = true;
}

bool BitmapPaintSession::GetCloneSourcePatch(float x, float y, std::vector<uint8_t>& patch, int32_t& size,
                                             float origin[2]) {
    if (!engine_ || !renderer_ || !layerView_ || !engine_->cloneSourceSet) return false;
    float sx = x - engine_->cloneOffsetX, sy = y - engine_->cloneOffsetY;
    if (engine_->freezeSource || !engine_->cloneOffsetValid) sx = engine_->cloneSourceX, sy = engine_->cloneSourceY;
    const BrushSettings& brush = GetToolBrushSettings(toolId_)->ActiveSlot().settings;
    const int n = TipSizeFor(brush.size);
    if (!std::isfinite(sx) || !std::isfinite(sy) || std::fabs(sx) > 1e8f || std::fabs(sy) > 1e8f) return false;
    const int ox = int(std::lround(sx - float(n) * 0.5f)), oy = int(std::lround(sy - float(n) * 0.5f));
    origin[0] = float(ox);
    origin[1] = float(oy);
    PaintRect area;
    if (!ClipToCanvas(ox, oy, int64_t(ox) + n, int64_t(oy) + n, area)) return false;
    ICanvasWriteView* source = layerView_.get();
    if (GetBrushToolOptions().allLayers && backdropView_ && backdropValid_) source = backdropView_.get();
    const int aw = area.right - area.left, ah = area.bottom - area.top;
    std::vector<uint32_t> pixels(size_t(aw) * size_t(ah));
    source->ReadRect(area.left, area.top, aw, ah, pixels.data());
    const std::vector<float>& tip = renderer_->BuildTip(brush).Tip();
    patch.assign(size_t(n) * n * 4, 0);
    size = n;
    for (int ty = 0; ty < n; ++ty)
        for (int tx = 0; tx < n; ++tx) {
            const float t = tip[size_t(ty) * n + tx];
            const int px = ox + tx, py = oy + ty;
            if (t <= 0.0f || px < area.left || py < area.top || px >= area.right || py >= area.bottom) continue;
            const uint32_t s = pixels[size_t(py - area.top) * aw + (px - area.left)];
            uint8_t* d = &patch[(size_t(ty) * n + tx) * 4];
            d[0] = s & 0xFF, d[1] = (s >> 8) & 0xFF, d[2] = (s >> 16) & 0xFF;
            d[3] = uint8_t(float(s >> 24) / 255.0f * t * 0.55f * 255.0f + 0.5f);
        }
    return true;
}

// ------------------------------------------------------------------ tools and strokes

void BitmapPaintSession::SetTool(int tool) {
    toolId_ = tool;
    if (!engine_) return;
    BrushEngine& e = *engine_;
    const BrushToolOptions& options = GetBrushToolOptions();
    e.target = layerView_.get();
    e.maskTarget = false;
    auto cloneFlags = [&] {
        e.aligned = options.aligned;
        e.allLayers = options.allLayers;
        e.freezeSource = options.freezeSource;
    };
    switch (tool) {
    case kToolMixerBrush:
    case kToolBlendBrush:
        e.kind = kBrushKindMixer;
        e.wetParams = BuildWetPaintParams(tool);
        break;
    case kToolSmudgeBrush:
        e.kind = kBrushKindSmudge;
        e.smudgeStrength = options.strength;
        break;
    case kToolCloneBrush:
        e.kind = kBrushKindClone;
        cloneFlags();
        e.SetHostDabCallback(nullptr, true);
        break;
    case kToolHealingCloneBrush:
        e.kind = kBrushKindHost;
        cloneFlags();
        e.SetHostDabCallback(HealCloneDab, true);
        break;
    case kToolRecolorBrush:
        e.kind = kBrushKindHost;
        e.SetHostDabCallback(RecolorDab, false);
        break;
    case kToolStencilKitbash: {
        e.kind = kBrushKindHost;
        const StencilImprintInput* stencil = stencilSource ? stencilSource() : nullptr;
        e.SetHostDabCallback(
            [stencil](const HostDabRequest& request) {
                if (stencil) StencilImprintDab(request, *stencil);
            },
            false);
        break;
    }
    case kToolPaintMask:
    case kToolEraseMask:
        e.kind = kBrushKindPaint;
        // Editing the mask as a grey picture, the picture is what is
        // committed: the mask tools paint white and black into it.
        e.target = maskView_ && !maskMode_ ? static_cast<ICanvasWriteView*>(maskView_.get()) : layerView_.get();
        e.maskTarget = true;
        e.SetHostDabCallback(nullptr, true);
        break;
    default:
        e.kind = kBrushKindPaint;
        e.SetHostDabCallback(nullptr, true);
        break;
    }
}

bool BitmapPaintSession::BeginEdit(std::vector<uint8_t>& snapshot) {
    try {
        CaptureSnapshot(snapshot);
    } catch (const std::bad_alloc&) {
        snapshot.clear();
    }
    if (snapshot.empty()) {
        LogError("Not enough memory to keep an undo step of the painting; the edit was not made.");
        return false;
    }
    return true;
}

void BitmapPaintSession::TrimSnapshots() {
    auto bytes = [](const std::deque<std::vector<uint8_t>>& list) {
        size_t total = 0;
        for (const auto& s : list) total += s.size();
        return total;
    };
    size_t total = bytes(undoSnapshots_) + bytes(redoSnapshots_);
    while (total > snapshotBudget && undoSnapshots_.size() > 1) {
        // The oldest snapshot is the state the session began with: keep its
        // fingerprint, so a commit can still tell whether anything changed.
        if (!undoHistoryCut_) startFingerprint_ = SnapshotFingerprint(undoSnapshots_.front());
        total -= undoSnapshots_.front().size();
        undoSnapshots_.pop_front();
        undoHistoryCut_ = true;
    }
}

bool BitmapPaintSession::BackAtStart() const {
    return active_ && undoSnapshots_.empty() && !pendingValid_ && !undoHistoryCut_ &&
           !(engine_ && engine_->StrokeActive());
}

bool BitmapPaintSession::Unchanged() const {
    if (!active_ || pendingValid_ || (engine_ && engine_->StrokeActive())) return false;
    if (BackAtStart()) return true;
    // The oldest undo snapshot is the state at Begin until the budget drops it.
    if (!undoHistoryCut_) return !undoSnapshots_.empty() && SameAs(undoSnapshots_.front());
    return CurrentFingerprint() == startFingerprint_;
}

namespace {

// Transparent pixels compare equal whatever colour bytes they carry: the
// commit keeps only pixels with some alpha.
inline uint32_t VisiblePixel(uint32_t p) { return (p >> 24) ? p : 0; }

inline uint64_t Mix(uint64_t h, uint64_t v) {
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    return h * 0xFF51AFD7ED558CCDull;
}

uint64_t MixPixels(uint64_t h, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        uint32_t p;
        std::memcpy(&p, bytes + i * 4, 4);
        h = Mix(h, VisiblePixel(p));
    }
    return h;
}

uint64_t MixBytes(uint64_t h, const uint8_t* bytes, size_t count) {
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        uint64_t v;
        std::memcpy(&v, bytes + i, 8);
        h = Mix(h, v);
    }
    for (; i < count; ++i) h = Mix(h, bytes[i]);
    return h;
}

}  // namespace

// Calls visit(y, rows, bytes) for bands of whole rows of the working layer
// (BGRA bytes, width x 4 per row) until it returns false; false then.
template <typename Visit>
bool BitmapPaintSession::ForEachLayerBand(Visit&& visit) const {
    if (!layerView_ || width_ <= 0 || height_ <= 0) return false;
    const int32_t band = std::max<int32_t>(1, std::min<int32_t>(height_, int32_t((int64_t(1) << 20) / width_ + 1)));
    std::vector<uint32_t> rows(size_t(width_) * size_t(band));
    for (int32_t y = 0; y < height_; y += band) {
        const int32_t n = std::min(band, height_ - y);
        layerView_->ReadRect(0, y, width_, n, rows.data());
        if (!visit(y, n, reinterpret_cast<const uint8_t*>(rows.data()))) return false;
    }
    return true;
}

bool BitmapPaintSession::SameAs(const std::vector<uint8_t>& snapshot) const {
    const size_t pixels = size_t(width_) * size_t(height_);
    if (snapshot.size() != pixels * 5 || mask_.size() != pixels) return false;
    if (std::memcmp(snapshot.data() + pixels * 4, mask_.data(), pixels) != 0) return false;
    return ForEachLayerBand([&](int32_t y, int32_t n, const uint8_t* rows) {
        const size_t count = size_t(n) * size_t(width_);
        const uint8_t* old = snapshot.data() + size_t(y) * size_t(width_) * 4;
        if (std::memcmp(rows, old, count * 4) == 0) return true;
        for (size_t i = 0; i < count; ++i) {
            uint32_t a, b;
            std::memcpy(&a, rows + i * 4, 4);
            std::memcpy(&b, old + i * 4, 4);
            if (VisiblePixel(a) != VisiblePixel(b)) return false;
        }
        return true;
    });
}

uint64_t BitmapPaintSession::SnapshotFingerprint(const std::vector<uint8_t>& snapshot) const {
    const size_t pixels = size_t(width_) * size_t(height_);
    if (snapshot.size() != pixels * 5) return 0;
    return MixBytes(MixPixels(0, snapshot.data(), pixels), snapshot.data() + pixels * 4, pixels);
}

uint64_t BitmapPaintSession::CurrentFingerprint() const {
    uint64_t h = 0;
    if (!ForEachLayerBand([&](int32_t, int32_t n, const uint8_t* rows) {
            h = MixPixels(h, rows, size_t(n) * size_t(width_));
            return true;
        }))
        return ~startFingerprint_;
    return MixBytes(h, mask_.data(), mask_.size());
}

void BitmapPaintSession::PushUndo(std::vector<uint8_t>&& snapshot) {
    undoSnapshots_.push_back(std::move(snapshot));
    TrimSnapshots();
}

void BitmapPaintSession::StrokeBegin(float x, float y, uint32_t colour, float pressure) {
    if (!active_ || !engine_) return;
    // A press while a stroke is still open ends that stroke first, so its
    // pixels and its undo step are kept.
    if (engine_->StrokeActive()) StrokeEnd();
    if (IsMaskTool(toolId_) || maskMode_) MarkThumbnailsStale();
    std::vector<uint8_t> snapshot;
    if (!BeginEdit(snapshot)) return;
    painted_ = true;
    pendingSnapshot_ = std::move(snapshot);
    pendingValid_ = true;
    redoSnapshots_.clear();
    engine_->selection = scene_ && scene_->selectionMask ? scene_->selectionMask.get() : nullptr;
    if (toolId_ == kToolCloneBrush || toolId_ == kToolHealingCloneBrush) {
        const BrushToolOptions& options = GetBrushToolOptions();
        engine_->aligned = options.aligned;
        engine_->allLayers = options.allLayers;
        engine_->freezeSource = options.freezeSource;
        if (options.allLayers) {
            BuildCloneBackdrop();
            engine_->backdrop = backdropValid_ ? backdropView_.get() : nullptr;
        } else {
            engine_->backdrop = nullptr;
        }
    }
    const BrushSettings settings = StrokeSettings();
    engine_->BeginStroke(x, y, StrokeColour(colour), settings, pressure);
    // The first dab's square, for the display refresh at the stroke end.
    const float reach = settings.size * 0.5f * (1.0f + std::max(settings.scatter, 0.0f)) + 2.0f;
    PaintRect first;
    if (std::isfinite(x) && std::isfinite(y) && std::isfinite(reach) &&
        ClipToCanvas(int64_t(std::floor(std::max(x - reach, -1e9f))), int64_t(std::floor(std::max(y - reach, -1e9f))),
                     int64_t(std::ceil(std::min(x + reach, 1e9f))), int64_t(std::ceil(std::min(y + reach, 1e9f))),
                     first))
        strokeArea_ = first;
    else
        strokeArea_ = PaintRect{};
}

PaintRect BitmapPaintSession::StrokeMove(float x, float y, uint32_t colour, float pressure) {
    if (!active_ || !engine_) return {};
    const DirtyRect r = engine_->StrokeTo(x, y, StrokeColour(colour), StrokeSettings(), pressure);
    if (!r.valid || r.width <= 0 || r.height <= 0) return {};
    PaintRect clip;
    if (!ClipToCanvas(r.x, r.y, int64_t(r.x) + r.width, int64_t(r.y) + r.height, clip)) return {};
    UpdateSurfaceRect(clip.left, clip.top, clip.right, clip.bottom);
    PreviewScratch(clip.left, clip.top, clip.right, clip.bottom);
    GrowStrokeArea(clip);
    return clip;
}

void BitmapPaintSession::GrowStrokeArea(const PaintRect& r) {
    if (r.Empty()) return;
    if (strokeArea_.Empty()) {
        strokeArea_ = r;
        return;
    }
    strokeArea_.left = std::min(strokeArea_.left, r.left);
    strokeArea_.top = std::min(strokeArea_.top, r.top);
    strokeArea_.right = std::max(strokeArea_.right, r.right);
    strokeArea_.bottom = std::max(strokeArea_.bottom, r.bottom);
}

void BitmapPaintSession::StrokeEnd() {
    if (!active_ || !engine_) return;
    const bool wasActive = engine_->StrokeActive();
    const DirtyRect last = engine_->EndStroke();
    if (!wasActive) return;
    ++editCount_;
    if (last.valid) {
        PaintRect clip;
        if (ClipToCanvas(last.x, last.y, int64_t(last.x) + last.width, int64_t(last.y) + last.height, clip))
            GrowStrokeArea(clip);
    }
    // Only what the stroke touched needs refreshing: the scratch preview and
    // the dabs all lie inside the area the engine reported.
    if (!strokeArea_.Empty()) UpdateSurfaceRect(strokeArea_.left, strokeArea_.top, strokeArea_.right, strokeArea_.bottom);
    strokeArea_ = PaintRect{};
    // Painted work not yet committed is still a change of the document: New,
    // Open and Exit must offer to save it. A stroke that left every pixel and
    // the mask as they were (a stencil that imprints nothing, white mask paint
    // on a white mask) is no change; the comparison is needed only while the
    // document is unmodified.
    const bool changed = !document_ || document_->IsModified() || !pendingValid_ || !SameAs(pendingSnapshot_);
    if (pendingValid_) {
        PushUndo(std::move(pendingSnapshot_));
        pendingSnapshot_.clear();
        pendingValid_ = false;
    }
    backdropValid_ = false;
    MarkThumbnailsStale();
    if (document_ && changed) document_->SetModifiedFlag(true);
}

// ------------------------------------------------------------------ snapshots

void BitmapPaintSession::CaptureSnapshot(std::vector<uint8_t>& out) const {
    out.clear();
    if (!active_ || !layerView_ || width_ <= 0 || height_ <= 0) return;
    const size_t pixels = size_t(width_) * size_t(height_);
    out.resize(pixels * 5);
    CopyRegionTo(*layerView_, out.data(), int64_t(width_) * 4, 0, 0, width_, height_);
    if (mask_.size() == pixels) std::memcpy(out.data() + pixels * 4, mask_.data(), pixels);
}

void BitmapPaintSession::RestoreSnapshot(const std::vector<uint8_t>& snapshot) {
    const size_t pixels = size_t(width_) * size_t(height_);
    if (snapshot.empty() || !layerView_ || snapshot.size() != pixels * 5 || mask_.size() != pixels) return;
    layerView_->WriteRect(0, 0, width_, height_, reinterpret_cast<const uint32_t*>(snapshot.data()));
    std::memcpy(mask_.data(), snapshot.data() + pixels * 4, pixels);
    UpdateSurfaceRect(0, 0, width_, height_);
}

void BitmapPaintSession::StepHistory(std::deque<std::vector<uint8_t>>& from, std::deque<std::vector<uint8_t>>& to) {
    if (!active_ || from.empty()) return;
    std::vector<uint8_t> current;
    if (!BeginEdit(current)) return;
    RestoreSnapshot(from.back());
    from.pop_back();
    to.push_back(std::move(current));
    TrimSnapshots();
    backdropValid_ = false;
    MarkThumbnailsStale();
}

void BitmapPaintSession::UndoStroke() { StepHistory(undoSnapshots_, redoSnapshots_); }
void BitmapPaintSession::RedoStroke() { StepHistory(redoSnapshots_, undoSnapshots_); }

bool BitmapPaintSession::GetWorkingSurface(WorkingSurface& out) const {
    if (!active_ || !display_.pixels) return false;
    out.pixels = display_.pixels;
    out.width = width_;
    out.height = height_;
    out.stride = int64_t(width_) * 4;
    out.premultiplied = false;
    return true;
}

bool BitmapPaintSession::GetPreviewSurface(PreviewSurface& out) {
    if (!active_ || !display_.pixels) return false;
    out.pixels = display_.pixels;
    out.width = width_;
    out.height = height_;
    out.stride = int64_t(width_) * 4;
    return true;
}

// ------------------------------------------------------------------ pixel edits

void BitmapPaintSession::EraseSelection(CQuillfenEditorDoc& doc) {
    if (!active_ || !layerView_) return;
    const SelectionMask* sel = ActiveSelection();
    if (!sel) return;
    int bx = 0, by = 0, bw = 0, bh = 0;
    if (!sel->GetBounds(bx, by, bw, bh)) return;
    PaintRect r;
    if (!ClipToCanvas(bx, by, int64_t(bx) + bw, int64_t(by) + bh, r)) return;
    std::vector<uint8_t> snapshot;
    if (!BeginEdit(snapshot)) return;
    redoSnapshots_.clear();
    const int32_t w = r.right - r.left, h = r.bottom - r.top;
    std::vector<uint32_t> pixels(size_t(w) * size_t(h));
    std::vector<uint8_t> coverage(size_t(w) * size_t(h));
    layerView_->ReadRect(r.left, r.top, w, h, pixels.data());
    sel->ReadRect(r.left, r.top, w, h, coverage.data());
    for (size_t i = 0; i < pixels.size(); ++i) {
        const float keep = 1.0f - coverage[i] / 255.0f;
        uint32_t p = pixels[i];
        if (maskMode_) {
            uint32_t out = p & 0xFF000000u;
            for (int k = 0; k < 3; ++k) out |= uint32_t(float((p >> (8 * k)) & 0xFF) * keep + 0.5f) << (8 * k);
            pixels[i] = out;
        } else {
            const uint32_t a = uint32_t(keep * (float(p >> 24) / 255.0f) * 255.0f + 0.5f);
            pixels[i] = (p & 0x00FFFFFFu) | (a << 24);
        }
    }
    layerView_->WriteRect(r.left, r.top, w, h, pixels.data());
    UpdateSurfaceRect(r.left, r.top, r.right, r.bottom);
    PushUndo(std::move(snapshot));
    ++editCount_;
    MarkThumbnailsStale();
    backdropValid_ = false;
    doc.SetModifiedFlag(true);
    doc.RefreshAllViews();
}

void BitmapPaintSession::ApplyPixelOp(CQuillfenEditorDoc& doc, PixelOp32 op, const void* params) {
    if (!active_ || !layerView_ || !op || width_ <= 0 || height_ <= 0) return;
    PaintRect r{0, 0, width_, height_};
    const SelectionMask* sel = ActiveSelection();
    if (sel) {
        int bx = 0, by = 0, bw = 0, bh = 0;
        if (!sel->GetBounds(bx, by, bw, bh) || !ClipToCanvas(bx, by, int64_t(bx) + bw, int64_t(by) + bh, r)) return;
    }
    std::vector<uint8_t> snapshot;
    if (!BeginEdit(snapshot)) return;
    redoSnapshots_.clear();
    const int32_t w = r.right - r.left, h = r.bottom - r.top;
    std::vector<uint32_t> pixels;
    std::vector<uint8_t> coverage;
    try {
        pixels.resize(size_t(w) * size_t(h));
        if (sel) coverage.resize(size_t(w) * size_t(h));
    } catch (const std::bad_alloc&) {
        LogError("Not enough memory to apply the operation to the painting.");
        return;
    }
    layerView_->ReadRect(r.left, r.top, w, h, pixels.data());
    if (sel) sel->ReadRect(r.left, r.top, w, h, coverage.data());
    op(reinterpret_cast<uint8_t*>(pixels.data()), w, h, w * 4, sel ? coverage.data() : nullptr, sel ? w : 0, params);
    layerView_->WriteRect(r.left, r.top, w, h, pixels.data());
    UpdateSurfaceRect(r.left, r.top, r.right, r.bottom);
    PushUndo(std::move(snapshot));
    ++editCount_;
    MarkThumbnailsStale();
    backdropValid_ = false;
    doc.SetModifiedFlag(true);
    doc.RefreshAllViews();
}

bool BitmapPaintSession::WritePixels(int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t* pixels,
                                     int32_t stride) {
    if (!active_ || !layerView_ || w <= 0 || h <= 0 || !pixels || int64_t(stride) < int64_t(w) * 4) return false;
    if (!BitmapSizeAllowed(w, h)) return false;
    std::vector<uint32_t> tight;
    const uint32_t* rows = reinterpret_cast<const uint32_t*>(pixels);
    if (int64_t(stride) != int64_t(w) * 4 || reinterpret_cast<uintptr_t>(pixels) % alignof(uint32_t) != 0) {
        tight.resize(size_t(w) * size_t(h));
        for (int32_t r = 0; r < h; ++r)
            std::memcpy(tight.data() + size_t(r) * w, pixels + int64_t(r) * stride, size_t(w) * 4);
        rows = tight.data();
    }
    std::vector<uint8_t> snapshot;
    if (!BeginEdit(snapshot)) return false;
    redoSnapshots_.clear();
    layerView_->WriteRect(x, y, w, h, rows);
    UpdateSurfaceRect(x, y, int32_t(std::min<int64_t>(int64_t(x) + w, INT32_MAX)),
                      int32_t(std::min<int64_t>(int64_t(y) + h, INT32_MAX)));
    PushUndo(std::move(snapshot));
    ++editCount_;
    painted_ = true;
    if (document_) {
        document_->SetModifiedFlag(true);
        document_->RefreshAllViews();
    }
    return true;
}

// ------------------------------------------------------------------ ending

void BitmapPaintSession::HideTopLayers(CQuillfenEditorDoc& doc) {
    hiddenObjects_.clear();
    if (!doc.ReadSettingToggle(kCmdHideTopLayersOnBitmap) || !scene_) return;
    const Layer* home = scene_->FindLayerOfObject(objectId_);
    const CanvasObject* painted = FindObject();
    if (!home || !painted) return;
    const int32_t order = home->order;
    const int32_t z = painted->z;
    // Hidden at draw time only: the model keeps every visible flag, so a save
    // or a crash while painting never stores objects hidden.
    for (const Layer& layer : scene_->layers)
        for (const CanvasObject& o : layer.objects)
            if (layer.order > order || (layer.order == order && o.z > z && o.id != objectId_))
                hiddenObjects_.push_back({o.id, o.visible});
}

void BitmapPaintSession::RestoreHiddenLayers() {
    hiddenObjects_.clear();
    engine_.reset();
    renderer_.reset();
    maskView_.reset();
    std::vector<uint8_t>().swap(mask_);
    layerView_.reset();
    layer_.reset();
    displayBitmap_.reset();
    display_.Release();
    undoSnapshots_.clear();
    redoSnapshots_.clear();
    std::vector<uint8_t>().swap(pendingSnapshot_);
    pendingValid_ = false;
    strokeArea_ = PaintRect{};

    objectId_.clear();
    committing_ = false;
    createdForSession_ = false;
    active_ = false;
    editCount_ = 0;
    painted_ = false;
    undoHistoryCut_ = false;
    maskMode_ = false;
    width_ = height_ = 0;

    if (document_ && scene_) {
        if (scene_->selectionMask) document_->SelectionTool(*scene_).wandSource = nullptr;
    }
    if (document_ && document_->paintSession == this) document_->paintSession = nullptr;
    document_ = nullptr;
    scene_ = nullptr;
    backdropView_.reset();
    backdrop_.Release();
    backdropValid_ = false;
    objectBefore_.reset();
}

void BitmapPaintSession::DeleteCreatedObject(CQuillfenEditorDoc* doc, CanvasDocument* scene, const std::string& id) {
    if (!doc || !scene || id.empty()) return;
    scene->DeleteObject(id);
    doc->UpdateAllViews();
}

void BitmapPaintSession::Cancel(CQuillfenEditorDoc& doc) {
    if (!active_) return;
    const bool created = createdForSession_;
    const std::string id = objectId_;
    CanvasDocument* scene = scene_;
    RestoreHiddenLayers();
    if (created) DeleteCreatedObject(&doc, scene, id);
    else doc.UpdateAllViews();
}

void BitmapPaintSession::Commit(CQuillfenEditorDoc& doc) {
    if (!active_ || committing_) return;
    CanvasDocument* scene = scene_;
    const std::string id = objectId_;
    const bool created = createdForSession_;
    // A stroke still open belongs to the painting.
    if (engine_ && engine_->StrokeActive()) StrokeEnd();
    if ((editCount_ == 0 && !painted_) || Unchanged()) {
        // Nothing was painted, every edit was undone, or the edits left the
        // pixels and the mask as they were: the object stays exactly as it is
        // (its placement too: storing the working layer would turn a rotated
        // or warped object into a new upright bitmap), an object made only
        // for painting goes away again, and no step is recorded.
        if (CanvasObject* o = FindObject()) o->InvalidateCaches();
        RestoreHiddenLayers();
        if (created) DeleteCreatedObject(&doc, scene, id);
        else doc.UpdateAllViews();
        return;
    }
    committing_ = true;
    const int32_t W = width_, H = height_;
    CopyRegionTo(*layerView_, display_.pixels, int64_t(W) * 4, 0, 0, W, H);

    CanvasObject* object = FindObject();
    if (maskMode_) {
        if (!object) {
            RestoreHiddenLayers();
            return;
        }
        int32_t mw = object->maskWidth, mh = object->maskHeight;
        if (mw <= 0 || mh <= 0) {
            if (!object->parts.empty()) {
                mw = int32_t(std::lround(object->parts.front().pixelWidth));
                mh = int32_t(std::lround(object->parts.front().pixelHeight));
            } else {
                mw = int32_t(std::lround(object->width));
                mh = int32_t(std::lround(object->height));
            }
            mw = std::clamp(mw, 1, kMaxBitmapSide);
            mh = std::clamp(mh, 1, kMaxBitmapSide);
        }
        if (!BitmapSizeAllowed(mw, mh)) {
            committing_ = false;
            UpdateSurfaceRect(0, 0, W, H);
            SayKeptOpen(doc, "The mask could not be stored in the object (it would be larger than a picture may be). "
                             "It stays open so that nothing is lost.");
            return;
        }
        std::vector<uint8_t> newMask(size_t(mw) * size_t(mh), 255);
        const float w = object->width, h = object->height;
        const float cx = object->x + w * 0.5f, cy = object->y + h * 0.5f;
        const float t = object->rotation * kPi / 180.0f, ct = std::cos(t), st = std::sin(t);
        bool differs = false;
        for (int32_t j = 0; j < mh; ++j)
            for (int32_t i = 0; i < mw; ++i) {
                const float u = (float(i) + 0.5f) * w / float(mw) - w * 0.5f;
                const float v = (float(j) + 0.5f) * h / float(mh) - h * 0.5f;
                const float fx = std::floor(u * ct - v * st + cx), fy = std::floor(u * st + v * ct + cy);
                if (!(fx >= 0 && fy >= 0 && fx < float(W) && fy < float(H))) continue;
                const uint8_t red = display_.Row(int32_t(fy))[size_t(fx) * 4 + 2];
                newMask[size_t(j) * mw + i] = red;
                differs |= red != 255;
            }
        if (!differs) newMask.clear();
        RestoreHiddenLayers();
        doc.SetObjectMask(id, std::move(newMask), mw, mh);
        return;
    }

    int32_t left = W, top = H, right = -1, bottom = -1;
    for (int32_t y = 0; y < H; ++y) {
        const uint8_t* row = display_.Row(y);
        bool any = false;
        for (int32_t x = 0; x < W; ++x)
            if (row[size_t(x) * 4 + 3]) {
                left = std::min(left, x);
                right = std::max(right, x);
                any = true;
            }
        if (any) {
            top = std::min(top, y);
            bottom = y;
        }
    }
    if (right < 0) {
        // Nothing is left: a made-for-painting object goes away, an existing
        // object keeps the pixels it had.
        RestoreHiddenLayers();
        if (created) DeleteCreatedObject(&doc, scene, id);
        else doc.UpdateAllViews();
        return;
    }
    const int32_t cw = right - left + 1, ch = bottom - top + 1;
    std::vector<uint8_t> png;
    bool encoded = false;
    if (BitmapPtr crop = Bitmap::Create(cw, ch)) {
        for (int32_t y = 0; y < ch; ++y)
            std::memcpy(crop->Row(y), display_.Row(top + y) + size_t(left) * 4, size_t(cw) * 4);
        encoded = encoder_(*crop, png) && !png.empty();
    }
    if (!encoded) {
        // Keep the session open: nothing painted is lost, and the user is told.
        committing_ = false;
        UpdateSurfaceRect(0, 0, W, H);
        SayKeptOpen(doc, "The painting could not be stored in the object (not enough memory). "
                         "It stays open so that nothing is lost.");
        return;
    }
    ObjectTransform placement;
    placement.x = float(left);
    placement.y = float(top);
    placement.width = float(std::max(1, cw));
    placement.height = float(std::max(1, ch));
    placement.rotation = 0;
    placement.opacity = object ? object->opacity : 1.0f;
    std::vector<uint8_t> newMask(size_t(cw) * size_t(ch));
    bool maskDiffers = false;
    for (int32_t y = 0; y < ch; ++y) {
        const uint8_t* m = mask_.data() + size_t(top + y) * size_t(W) + size_t(left);
        std::memcpy(newMask.data() + size_t(y) * cw, m, size_t(cw));
        for (int32_t x = 0; x < cw && !maskDiffers; ++x) maskDiffers = m[x] != 255;
    }
    // An all-white mask is dropped only where the object had none: a mask the
    // object has (a new one is white) stays with it.
    if (!maskDiffers && !(object && HasValidMaskPlane(*object))) newMask.clear();
    RestoreHiddenLayers();
    doc.ReplaceObjectBitmap(id, std::move(png), float(cw), float(ch), placement, created, std::move(newMask));
}
