#pragma once
// Painting on one bitmap object, or on its mask. While the session is open
// every stroke, selection erase, pixel operation and smart-fill write goes
// into a canvas-sized working layer (pixel (x, y) is canvas pixel (x, y)),
// views draw the session in place of the object, Undo and Redo step through
// the session's own per-edit snapshots, and Commit writes the painted pixels
// back as the object's single image part in one document edit.
//
// All buffers hold straight-alpha B, G, R, A bytes, the display buffer too.
#include "brushes/BrushEngine.h"
#include "document/PaintSessionProvider.h"
#include "platform/Bitmap.h"
#include "platform/CompositeSurface.h"
#include "scene/CanvasDocument.h"
#include "scene/PixelOps.h"
#include "scene/SceneRender.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class CQuillfenEditorDoc;
class CloneBackdropView;
class LayerBitmapView;
class MaskBitmapView;
class TiledBitmap;
struct StencilImprintInput;

// left, top, right, bottom (exclusive); all zero when nothing changed.
struct PaintRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
};

class BitmapPaintSession : public DocumentEditSession {
public:
    struct HiddenObjectEntry {
        std::string id;
        bool wasVisible = false;
    };

    BitmapPaintSession();
    ~BitmapPaintSession() override;

    // How Commit encodes the painted pixels (tests give one that fails, as
    // running out of memory does); null restores the real encoder.
    using PngEncoder = bool (*)(const Bitmap& bitmap, std::vector<uint8_t>& out);
    void SetEncoder(PngEncoder encoder) { encoder_ = encoder ? encoder : EncodeBitmapToPng; }
    BitmapPaintSession(const BitmapPaintSession&) = delete;
    BitmapPaintSession& operator=(const BitmapPaintSession&) = delete;

    // Opens the session on a bitmap object of the scene in use. False when a
    // session is open or opening, for an unknown or non-bitmap object, or when
    // the buffers cannot be had. `created` marks an empty object made only to
    // be painted: it goes away again when nothing is left of it.
    bool Begin(CQuillfenEditorDoc& doc, const std::string& objectId, bool created);
    // Configures the engine for a tool (brush kind, target, host dab).
    void SetTool(int toolId);
    // Stroke input in canvas pixels; the colour word has R in its low byte.
    void StrokeBegin(float x, float y, uint32_t colour, float pressure);
    // The changed canvas area, clipped to the canvas.
    PaintRect StrokeMove(float x, float y, uint32_t colour, float pressure);
    void StrokeEnd() override;

    // Snapshot: the working layer (width x height x 4) then the mask (width x height).
    void CaptureSnapshot(std::vector<uint8_t>& out) const;
    void RestoreSnapshot(const std::vector<uint8_t>& snapshot);

    // --- Pixel edits of other parts, one undo snapshot each ---
    void EraseSelection(CQuillfenEditorDoc& doc) override;
    void ApplyPixelOp(CQuillfenEditorDoc& doc, PixelOp32 op, const void* params) override;
    bool WritePixels(int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t* pixels, int32_t stride);

    // --- Ending ---
    void Commit(CQuillfenEditorDoc& doc) override;
    void Cancel(CQuillfenEditorDoc& doc) override;
    // Ends the session and returns to idle: shows hidden objects again and
    // releases every buffer. Runs whether or not a session is open.
    void RestoreHiddenLayers() override;
    void End() { RestoreHiddenLayers(); }

    // --- Document services ---
    bool IsActive() const override { return active_; }
    void SetIsolation(bool isolated) override { isolation_ = isolated; }
    bool CanUndoStroke() const override { return active_ && !undoSnapshots_.empty(); }
    bool CanRedoStroke() const override { return active_ && !redoSnapshots_.empty(); }
    void UndoStroke() override;
    void RedoStroke() override;
    std::string PaintedObjectId() const override { return objectId_; }
    bool EditsMask() const override { return active_ && maskMode_; }
    bool GetWorkingSurface(WorkingSurface& out) const override;
    bool GetPreviewSurface(PreviewSurface& out) override;

    // --- Display ---
    // The session as the live compositor sees it (draws the display buffer
    // in place of the painted object; objects hidden while painting are left out).
    ScenePaintSession* ForScene() { return &sceneAdapter_; }
    // Draws the display buffer into (x, y, w, h): at full opacity unblended
    // with isolation, else with the object's blend mode and opacity.
    void DrawLayer(CompositeRenderer& renderer, CompositeSurface& surface, const CanvasObject& object, float x,
                   float y, float w, float h, bool isolation);
    // Renders the flattened canvas for "All Layers" cloning, once per edit.
    void BuildCloneBackdrop();
    // The source under the brush shape at 55 % opacity for the clone cursor at
    // canvas (x, y): n x n BGRA bytes whose top-left lies at origin.
    bool GetCloneSourcePatch(float x, float y, std::vector<uint8_t>& patch, int32_t& size, float origin[2]);
    // True when painting hides this object (it lies above the painted one).
    bool HidesObject(const std::string& id) const;

    // --- State read by views and tests ---
    bool isolation() const { return isolation_; }
    bool maskMode() const { return maskMode_; }
    int toolId() const { return toolId_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    int32_t EditCount() const { return editCount_; }
    // Every edit of the session is undone: its pixels and mask are those it
    // began with, and a commit has nothing to store.
    bool BackAtStart() const;
    // The working layer and the mask hold what they held at Begin (pixels
    // without alpha count as equal), whatever edits were made: a commit
    // leaves the object as it is and records nothing.
    bool Unchanged() const;
    // The object was made only to be painted on, and nothing is painted yet.
    bool HoldsOnlyAnEmptyCreatedObject() const { return active_ && createdForSession_ && editCount_ == 0 && !painted_; }
    const CompositeSurface& Display() const { return display_; }
    const std::vector<uint8_t>& Mask() const { return mask_; }
    ICanvasWriteView* LayerView() const;
    BrushEngine* Engine() const { return engine_.get(); }
    CQuillfenEditorDoc* Document() const { return document_; }
    CanvasDocument* Scene() const { return scene_; }
    size_t UndoCount() const { return undoSnapshots_.size(); }
    size_t RedoCount() const { return redoSnapshots_.size(); }
    bool BackdropValid() const { return backdropValid_; }
    const std::vector<HiddenObjectEntry>& HiddenObjects() const { return hiddenObjects_; }

    // Total bytes the undo and redo snapshots may hold; the oldest undo
    // snapshots are dropped beyond it (the newest one is always kept).
    static size_t snapshotBudget;
    // Where the stencil brush reads its placed stencil; set by the stencil
    // overlay's owner, null when there is none.
    static const StencilImprintInput* (*stencilSource)();

    // --- Steps exposed for the views ---
    void RasterizeObject();
    void UpdateSurfaceRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void ApplyMaskToSurface(int32_t x, int32_t y, int32_t w, int32_t h);
    void PreviewScratch(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void HideTopLayers(CQuillfenEditorDoc& doc);

private:
    class SceneAdapter : public ScenePaintSession {
    public:
        explicit SceneAdapter(BitmapPaintSession& s) : s_(s) {}
        bool IsActive() const override { return s_.active_; }
        const std::string& PaintedObjectId() const override { return s_.objectId_; }
        int CanvasWidth() const override { return s_.width_; }
        int CanvasHeight() const override { return s_.height_; }
        void DrawLayer(CompositeRenderer& renderer, CompositeSurface& surface, CanvasObject& object, float x,
                       float y, float w, float h, bool plain) override {
            s_.DrawLayer(renderer, surface, object, x, y, w, h, plain);
        }
        bool HidesObject(const std::string& id) const override { return s_.HidesObject(id); }

    private:
        BitmapPaintSession& s_;
    };

    CanvasObject* FindObject() const;
    void MarkThumbnailsStale() const;
    // Takes the snapshot of an edit about to start; false (edit refused) when
    // memory for it cannot be had.
    bool BeginEdit(std::vector<uint8_t>& snapshot);
    void PushUndo(std::vector<uint8_t>&& snapshot);
    void TrimSnapshots();
    // Restores the newest snapshot of one list and keeps the current state on the other.
    void StepHistory(std::deque<std::vector<uint8_t>>& from, std::deque<std::vector<uint8_t>>& to);
    // The selection of the scene when it selects anything, else null.
    const SelectionMask* ActiveSelection() const;
    bool ClipToCanvas(int64_t x0, int64_t y0, int64_t x1, int64_t y1, PaintRect& out) const;
    void FinishCommit();
    void DeleteCreatedObject(CQuillfenEditorDoc* doc, CanvasDocument* scene, const std::string& id);
    uint32_t StrokeColour(uint32_t colour) const;
    BrushSettings StrokeSettings() const;
    void GrowStrokeArea(const PaintRect& r);
    template <typename Visit>
    bool ForEachLayerBand(Visit&& visit) const;
    // The working layer and mask equal those of the snapshot.
    bool SameAs(const std::vector<uint8_t>& snapshot) const;
    uint64_t SnapshotFingerprint(const std::vector<uint8_t>& snapshot) const;
    uint64_t CurrentFingerprint() const;

    SceneAdapter sceneAdapter_{*this};
    bool active_ = false;
    bool isolation_ = false;
    bool beginning_ = false;
    bool committing_ = false;
    bool createdForSession_ = false;
    std::string objectId_;
    int toolId_ = 0;
    std::unique_ptr<CanvasObject> objectBefore_;
    std::vector<HiddenObjectEntry> hiddenObjects_;
    int32_t width_ = 0, height_ = 0;
    int32_t editCount_ = 0;
    bool painted_ = false;
    // The oldest undo snapshots were dropped to keep within the budget: the
    // session can no longer step back to where it began.
    bool undoHistoryCut_ = false;
    // The fingerprint of the state at Begin, kept when its snapshot is cut.
    uint64_t startFingerprint_ = 0;
    bool maskMode_ = false;
    std::unique_ptr<TiledBitmap> layer_;
    std::unique_ptr<LayerBitmapView> layerView_;
    std::unique_ptr<DabRenderer> renderer_;
    std::unique_ptr<BrushEngine> engine_;
    std::vector<uint8_t> mask_;
    std::unique_ptr<MaskBitmapView> maskView_;
    CompositeSurface display_;
    BitmapPtr displayBitmap_;
    std::deque<std::vector<uint8_t>> undoSnapshots_, redoSnapshots_;
    std::vector<uint8_t> pendingSnapshot_;
    bool pendingValid_ = false;
    CQuillfenEditorDoc* document_ = nullptr;
    CanvasDocument* scene_ = nullptr;
    CompositeSurface backdrop_;
    std::unique_ptr<CloneBackdropView> backdropView_;
    bool backdropValid_ = false;
    // The canvas area the stroke in progress has touched so far.
    PaintRect strokeArea_;
    PngEncoder encoder_ = EncodeBitmapToPng;
};
