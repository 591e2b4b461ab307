#pragma once
// Tool state, one per scene the document edits (the document owns them): turns
// the selection tools' presses, drags, clicks and keys into shapes, rasterises
// the finished shape with the current edge options and combines it into the
// scene's selection mask. The last committed shape stays live so that a change
// of edge options or tolerance replaces its effect. The scene only keeps the
// mask: the controller notices a replaced mask by the scene's mask serial and
// a mask changed by anything else (undo, paste, deselect, refine, New) by the
// mask's revision, and then forgets its shape.
#include "selection/SelectionRasterizers.h"

#include <cstdint>
#include <memory>
#include <vector>

class CanvasDocument;
class ICanvasWriteView;
class SelectionMask;

// The shape the next gesture draws.
enum SelectionToolKind : int32_t {
    kSelectionToolRectangle = 0,
    kSelectionToolEllipse = 1,
    kSelectionToolFreehand = 2,
    kSelectionToolPolygon = 3,
    kSelectionToolMagicWand = 4,
    kSelectionToolCurveLasso = 5,
    kSelectionToolEllipseFromCenter = 6,
};

// The kind of a committed shape; freehand and curve lassos commit as polygons.
enum SelectionShapeKind : int32_t {
    kSelectionShapeNone = 0,
    kSelectionShapeRectangle = 1,
    kSelectionShapeEllipse = 2,
    kSelectionShapePolygon = 3,
    kSelectionShapeMagicWand = 4,
};

struct PendingSelectionShape {
    int32_t kind = kSelectionShapeNone;
    int32_t op = 0;  // SelectionCombineOp
    float x = 0, y = 0, width = 0, height = 0;  // rectangle or ellipse box
    std::vector<SelectionPoint> points;         // polygon
    int32_t seedX = 0, seedY = 0;               // magic wand
    int32_t tolerance = 32;
};

// The process-wide options of the selection tools, written by the Selection
// tab and read at every press. Never saved.
struct SelectionToolSettings {
    bool antialias = true;
    float feather = 0.0f;   // pixels
    int32_t combineOp = 0;  // SelectionCombineOp
    int32_t tolerance = 32;
};
SelectionToolSettings& GetSelectionToolSettings();

// Edge mode 2 when the feather is above 0, else 1 with antialias, else 0; the
// feather radius is copied in every case.
SelectionEdgeOptions SelectionEdgeOptionsFromSettings(const SelectionToolSettings& settings);

// Shift with Alt intersects, Shift adds, Alt subtracts, else the settings' op.
int32_t SelectionCombineOpForModifiers(bool shift, bool alt, const SelectionToolSettings& settings);

// Closed uniform Catmull-Rom spline through every point, 16 points per vertex
// starting at the first; fewer than 4 points are returned unchanged.
std::vector<SelectionPoint> CatmullRomClosedCurve(const std::vector<SelectionPoint>& points);

class SelectionToolController {
public:
    SelectionToolController();
    ~SelectionToolController();
    SelectionToolController(const SelectionToolController&) = delete;
    SelectionToolController& operator=(const SelectionToolController&) = delete;

    // Makes the controller the scene's (which must outlive it) and the scene
    // sure of its mask. From then on every gesture first follows the scene: a
    // mask replaced or released since (a new canvas size, New, Open) is taken
    // as SetLiveMask takes a different mask, and a mask another party changed
    // since the controller's own last write (undo, paste, deselect, refine)
    // drops the pending shape and the snapshot, so nothing re-applies over it.
    void SyncWith(CanvasDocument& scene);
    // Points a controller that follows no scene at a mask (null to detach). A
    // different mask than before ends any gesture and drops the pending shape
    // and the snapshot: both belong to the old mask's canvas.
    void SetLiveMask(SelectionMask* mask);
    // The mask the next gesture draws into, after following the scene.
    SelectionMask* LiveMask() {
        Follow();
        return liveMask_;
    }

    // Starts an operation: the live mask is copied into the snapshot and, for
    // replace, emptied.
    void BeginOperation(int32_t op);
    // Press of the rectangle, ellipse, ellipse-from-centre or freehand tool.
    void BeginDrag(int32_t x, int32_t y, int32_t op);
    void DragTo(int32_t x, int32_t y);
    void EndDrag(int32_t x, int32_t y);
    // Press of the magic wand, or a vertex of the polygon and curve lassos.
    void Click(int32_t x, int32_t y, int32_t op);
    // Double-click or Enter: closes the polygon or curve lasso.
    void FinishPolygon();
    // Escape: abandons the drag or polygon in progress.
    void Cancel();
    // Rasterises the pending shape into the live mask again, over the selection
    // as it was before the shape's operation began.
    void Commit();
    // Forgets the pending shape and the snapshot, so that nothing re-applies a
    // shape over a selection changed by other means (refine, deselect, ...).
    void ForgetPendingShape();

    bool SnapshotValid() const { return snapshotValid_; }

    // The pixels the magic wand samples: the open paint session's layer view.
    ICanvasWriteView* wandSource = nullptr;
    int32_t kind = kSelectionToolRectangle;  // SelectionToolKind
    SelectionEdgeOptions edgeOptions{kSelectionEdgeAntialias, 2.0f};
    int32_t tolerance = 32;
    bool dragging = false;
    int32_t dragStartX = 0, dragStartY = 0;
    int32_t dragCurrentX = 0, dragCurrentY = 0;
    std::vector<SelectionPoint> freehandPoints;
    bool polygonOpen = false;
    std::vector<SelectionPoint> polygonPoints;
    int32_t op = 0;  // SelectionCombineOp of the operation in progress
    PendingSelectionShape pending;

private:
    // Makes the live mask a copy of the snapshot and forgets the pending shape,
    // when the snapshot is valid and of the live mask's size.
    void RestoreSnapshot();
    bool SnapshotUsable() const;
    void EmptyLiveMask();
    // Remembers the live mask's revision after the controller's own writes.
    void NoteOwnWrite();
    // Follows the scene's mask as SyncWith says; nothing without a scene.
    void Follow();
    void Reattach(SelectionMask* mask);

    CanvasDocument* scene_ = nullptr;  // not owned; null: a mask set by SetLiveMask
    SelectionMask* liveMask_ = nullptr;
    uint64_t maskSerial_ = 0;    // the scene's mask serial at the last SyncWith
    uint64_t seenRevision_ = 0;  // the live mask's revision after the last own write
    std::unique_ptr<SelectionMask> snapshot_;
    bool snapshotValid_ = false;
};

// Copies the edge settings into the scene's controller (after syncing it with
// the scene) and commits the pending shape again. The caller picks the scene
// in use and its controller, and repaints.
void ApplySelectionEdgeOptions(SelectionToolController& controller, CanvasDocument& scene);
