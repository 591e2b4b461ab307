#pragma once
// The stroke engine: takes the pointer positions of one stroke, thins and
// smooths them into a Catmull-Rom path, and walks the path with the dab
// renderer of the current brush kind. During a stroke it wraps the target in
// a selection clip (painting stays inside the selection) and, for translucent
// paint, in a scratch layer so overlapping dabs never build up past the
// stroke's opacity. Positions are canvas pixels; the colour word has R in
// its lowest byte.
#include "brushes/DabRenderer.h"

#include <memory>
#include <vector>

class ICanvasWriteView;
class ScratchCanvasView;
class SelectionClippingView;
class SelectionMask;

struct StrokePoint {
    float x = 0, y = 0, pressure = 1.0f;
};

// The accepted pointer positions of a stroke and the curve pieces between
// them; the curve lags one accepted point behind the pointer.
class StrokePath {
public:
    std::vector<StrokePoint> points;
    float minDistance = 2.0f;  // closer points are ignored
    float step = 2.0f;         // curve sampling step in pixels

    StrokePoint Reset(float x, float y, float pressure);
    // The curve points of the piece the new point completes (empty when the
    // point was too close or no piece is complete yet).
    std::vector<StrokePoint> Add(float x, float y, float pressure);
    // The last piece; the list is emptied.
    std::vector<StrokePoint> Finish();
    // Points at t = i / m, i = 1..m, of the uniform Catmull-Rom curve from p1
    // to p2, m = max(1, ceil(|p2 - p1| / step)); pressure limited to 0..1.
    std::vector<StrokePoint> CatmullRomSegment(const StrokePoint& p0, const StrokePoint& p1, const StrokePoint& p2,
                                               const StrokePoint& p3) const;
};

struct DirtyRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
    bool valid = false;
};

class BrushEngine {
public:
    using HostDabRequest = ::HostDabRequest;

    BrushEngine();
    ~BrushEngine();
    BrushEngine(const BrushEngine&) = delete;
    BrushEngine& operator=(const BrushEngine&) = delete;

    // Resets every field to its initial value and points the engine at a
    // renderer and a target (neither owned).
    void Init(DabRenderer* renderer, ICanvasWriteView* target);

    // Starts a stroke and stamps its first dab. A stroke still open is ended
    // first, so its scratch layer is committed and nothing painted is lost.
    void BeginStroke(float x, float y, uint32_t colour, const BrushSettings& settings, float pressure);
    // Walks the path to the point; returns the area it may have changed.
    DirtyRect StrokeTo(float x, float y, uint32_t colour, const BrushSettings& settings, float pressure);
    // Walks the last piece, commits the scratch layer and removes the wrappers;
    // returns the area the last piece may have changed.
    DirtyRect EndStroke();
    bool StrokeActive() const { return strokeActive_; }

    static BrushSettings ApplyPressure(const BrushSettings& settings, float pressure) {
        return ApplyBrushPressure(settings, pressure);
    }

    // --- Configuration between strokes ---
    BrushKind kind = kBrushKindPaint;
    ICanvasWriteView* target = nullptr;
    bool maskTarget = false;
    WetPaintParams wetParams;
    float smudgeStrength = 0.8f;
    bool aligned = true, allLayers = true, freezeSource = false;
    ICanvasWriteView* backdrop = nullptr;  // flattened visible layers, the "All Layers" clone source
    const SelectionMask* selection = nullptr;
    // The fixed clone source; once set it stays set.
    float cloneSourceX = 0, cloneSourceY = 0;
    bool cloneSourceSet = false;
    // Stroke point minus source point in whole pixels.
    float cloneOffsetX = 0, cloneOffsetY = 0;
    bool cloneOffsetValid = false;

    void SetHostDabCallback(HostDabCallback callback, bool needsSource);
    // Sets the fixed clone source and forgets the offset.
    void SetCloneSource(float x, float y);

    DabRenderer* Renderer() const { return renderer_; }
    const PixelReservoir& Reservoir() const { return reservoir_; }
    const PixelReservoir& SmudgePatch() const { return smudgePatch_; }
    // The scratch layer of the translucent stroke in progress, or null.
    const ScratchCanvasView* Scratch() const { return scratch_.get(); }
    float ScratchOpacity() const { return scratchOpacity_; }
    BrushStrokeState& StrokeState() { return state_; }

private:
    ICanvasWriteView* DabView() const;
    // Walks the points from the last point on; grows `dirty` by each piece.
    void WalkPoints(const std::vector<StrokePoint>& pts, DirtyRect& dirty);

    DabRenderer* renderer_ = nullptr;
    BrushStrokeState state_;
    bool strokeActive_ = false;
    float lastX_ = 0, lastY_ = 0;
    uint32_t colour_ = 0xFF000000u;
    BrushSettings settings_;
    StrokePath path_;
    PixelReservoir reservoir_;
    PixelReservoir smudgePatch_;
    std::unique_ptr<ScratchCanvasView> scratch_;
    float scratchOpacity_ = 1.0f;
    std::unique_ptr<SelectionClippingView> clip_;
    HostDabCallback hostCallback_;
    bool needsSource_ = true;
};
