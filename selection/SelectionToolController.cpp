#include "selection/SelectionToolController.h"

#include "scene/CanvasDocument.h"
#include "scene/CanvasWriteViews.h"
#include "scene/SelectionMask.h"

#include <algorithm>
#include <cstdlib>

SelectionToolSettings& GetSelectionToolSettings() {
    static SelectionToolSettings settings;
    return settings;
}

SelectionEdgeOptions SelectionEdgeOptionsFromSettings(const SelectionToolSettings& s) {
    SelectionEdgeOptions o;
    o.edgeMode = s.feather > 0 ? kSelectionEdgeFeather : (s.antialias ? kSelectionEdgeAntialias : kSelectionEdgeHard);
    o.featherRadius = s.feather;
    return o;
}

int32_t SelectionCombineOpForModifiers(bool shift, bool alt, const SelectionToolSettings& s) {
    if (shift && alt) return kSelectionIntersect;
    if (shift) return kSelectionAdd;
    if (alt) return kSelectionSubtract;
    return s.combineOp;
}

std::vector<SelectionPoint> CatmullRomClosedCurve(const std::vector<SelectionPoint>& p) {
    const size_t n = p.size();
    if (n < 4) return p;
    std::vector<SelectionPoint> out;
    out.reserve(n * 16);
    for (size_t i = 0; i < n; ++i) {
        const SelectionPoint& a = p[(i + n - 1) % n];
        const SelectionPoint& b = p[i];
        const SelectionPoint& c = p[(i + 1) % n];
        const SelectionPoint& d = p[(i + 2) % n];
        for (int j = 0; j < 16; ++j) {
            const float t = float(j) / 16.0f, t2 = t * t, t3 = t2 * t;
            auto axis = [&](float pa, float pb, float pc, float pd) {
                return 0.5f * (2 * pb + (pc - pa) * t + (2 * pa - 5 * pb + 4 * pc - pd) * t2 +
                               (3 * pb - pa - 3 * pc + pd) * t3);
            };
            out.push_back({axis(a.x, b.x, c.x, d.x), axis(a.y, b.y, c.y, d.y)});
        }
    }
    return out;
}

SelectionToolController::SelectionToolController() = default;
SelectionToolController::~SelectionToolController() = default;

void SelectionToolController::SyncWith(CanvasDocument& scene) {
    scene_ = &scene;
    scene.EnsureSelectionMask();
    Follow();
}

void SelectionToolController::Follow() {
    if (!scene_) return;
    SelectionMask* mask = scene_->selectionMask.get();
    if (scene_->selectionMaskSerial != maskSerial_) {
        // The old mask may be gone and its address reused: never compare it.
        maskSerial_ = scene_->selectionMaskSerial;
        Reattach(mask);
    } else if (mask != liveMask_) {
        Reattach(mask);
    } else if (liveMask_ && liveMask_->Revision() != seenRevision_) {
        ForgetPendingShape();
        NoteOwnWrite();
    }
}

void SelectionToolController::NoteOwnWrite() {
    if (liveMask_) seenRevision_ = liveMask_->Revision();
}

void SelectionToolController::SetLiveMask(SelectionMask* mask) {
    scene_ = nullptr;
    if (mask != liveMask_) Reattach(mask);
}

void SelectionToolController::Reattach(SelectionMask* mask) {
    liveMask_ = mask;
    NoteOwnWrite();
    // Shapes, points and the snapshot were made on the old mask's canvas; on a
    // new mask (another size, a new document) they would re-apply stale data.
    dragging = false;
    freehandPoints.clear();
    polygonOpen = false;
    polygonPoints.clear();
    ForgetPendingShape();
    snapshot_.reset();
}

void SelectionToolController::ForgetPendingShape() {
    pending.kind = kSelectionShapeNone;
    snapshotValid_ = false;
}

bool SelectionToolController::SnapshotUsable() const {
    return snapshotValid_ && snapshot_ && liveMask_ && snapshot_->Width() == liveMask_->Width() &&
           snapshot_->Height() == liveMask_->Height() && snapshot_->TileSize() == liveMask_->TileSize();
}

void SelectionToolController::RestoreSnapshot() {
    if (!SnapshotUsable()) return;
    liveMask_->Assign(*snapshot_);
    pending.kind = kSelectionShapeNone;
    NoteOwnWrite();
}

void SelectionToolController::EmptyLiveMask() {
    if (liveMask_) liveMask_->Clear();
}

void SelectionToolController::BeginOperation(int32_t newOp) {
    Follow();
    if (!liveMask_) return;
    if (!snapshot_ || snapshot_->Width() != liveMask_->Width() || snapshot_->Height() != liveMask_->Height() ||
        snapshot_->TileSize() != liveMask_->TileSize())
        snapshot_ = std::make_unique<SelectionMask>(liveMask_->Width(), liveMask_->Height(), liveMask_->TileSize());
    snapshot_->Assign(*liveMask_);
    snapshotValid_ = true;
    op = newOp;
    if (newOp == kSelectionReplace) {
        EmptyLiveMask();
        pending.kind = kSelectionShapeNone;
    }
    NoteOwnWrite();
}

void SelectionToolController::BeginDrag(int32_t x, int32_t y, int32_t newOp) {
    Follow();
    if (!liveMask_) return;
    BeginOperation(newOp);
    dragging = true;
    dragStartX = dragCurrentX = x;
    dragStartY = dragCurrentY = y;
    if (kind == kSelectionToolFreehand) freehandPoints.assign(1, SelectionPoint{float(x), float(y)});
}

void SelectionToolController::DragTo(int32_t x, int32_t y) {
    Follow();
    if (!dragging) return;
    dragCurrentX = x;
    dragCurrentY = y;
    if (kind == kSelectionToolFreehand && !freehandPoints.empty()) {
        const double dx = double(x) - freehandPoints.back().x, dy = double(y) - freehandPoints.back().y;
        if (dx * dx + dy * dy >= 4.0) freehandPoints.push_back({float(x), float(y)});
    }
}

void SelectionToolController::EndDrag(int32_t x, int32_t y) {
    Follow();
    if (!dragging) return;
    dragCurrentX = x;
    dragCurrentY = y;
    dragging = false;
    const int64_t adx = std::llabs(int64_t(x) - dragStartX), ady = std::llabs(int64_t(y) - dragStartY);
    switch (kind) {
    case kSelectionToolRectangle:
    case kSelectionToolEllipse:
    case kSelectionToolEllipseFromCenter: {
        int64_t left, top, width, height;
        if (kind == kSelectionToolEllipseFromCenter) {
            left = dragStartX - adx;
            top = dragStartY - ady;
            width = 2 * adx + 1;
            height = 2 * ady + 1;
        } else {
            // Both end pixels belong to the box.
            left = std::min<int64_t>(dragStartX, x);
            top = std::min<int64_t>(dragStartY, y);
            width = adx + 1;
            height = ady + 1;
        }
        // A click without movement, or a box one pixel thin, leaves the
        // selection as it was before the press.
        if (width < 2 || height < 2) {
            RestoreSnapshot();
            return;
        }
        pending.kind = kind == kSelectionToolRectangle ? kSelectionShapeRectangle : kSelectionShapeEllipse;
        pending.op = op;
        pending.x = float(left);
        pending.y = float(top);
        pending.width = float(width);
        pending.height = float(height);
        pending.points.clear();
        Commit();
        return;
    }
    case kSelectionToolFreehand:
        if (freehandPoints.size() >= 3) {
            pending.kind = kSelectionShapePolygon;
            pending.op = op;
            pending.points = freehandPoints;
            Commit();
        } else {
            RestoreSnapshot();
        }
        freehandPoints.clear();
        return;
    default:
        RestoreSnapshot();
        return;
    }
}

void SelectionToolController::Click(int32_t x, int32_t y, int32_t newOp) {
    Follow();
    if (!liveMask_) return;
    if (kind == kSelectionToolMagicWand) {
        BeginOperation(newOp);
        if (!wandSource) return;
        pending.kind = kSelectionShapeMagicWand;
        pending.op = newOp;
        pending.seedX = x;
        pending.seedY = y;
        pending.tolerance = tolerance;
        pending.points.clear();
        Commit();
    } else if (kind == kSelectionToolPolygon || kind == kSelectionToolCurveLasso) {
        if (!polygonOpen) {
            polygonOpen = true;
            polygonPoints.clear();
            BeginOperation(newOp);
        }
        polygonPoints.push_back({float(x), float(y)});
    }
}

void SelectionToolController::FinishPolygon() {
    Follow();
    if (!polygonOpen) return;
    if (polygonPoints.size() >= 3) {
        pending.kind = kSelectionShapePolygon;
        pending.op = op;
        pending.points = (kind == kSelectionToolCurveLasso && polygonPoints.size() >= 4)
                             ? CatmullRomClosedCurve(polygonPoints)
                             : polygonPoints;
        Commit();
    } else {
        RestoreSnapshot();
    }
    polygonOpen = false;
    polygonPoints.clear();
}

void SelectionToolController::Cancel() {
    Follow();
    if (dragging) {
        dragging = false;
        freehandPoints.clear();
    } else if (polygonOpen) {
        polygonOpen = false;
        polygonPoints.clear();
    } else {
        return;
    }
    RestoreSnapshot();
}

void SelectionToolController::Commit() {
    Follow();
    if (pending.kind == kSelectionShapeNone || !liveMask_) return;
    if (pending.op != kSelectionReplace && SnapshotUsable())
        liveMask_->Assign(*snapshot_);
    else
        EmptyLiveMask();
    const int32_t w = liveMask_->Width(), h = liveMask_->Height();
    SelectionCoverage cov;
    switch (pending.kind) {
    case kSelectionShapeRectangle:
        cov = RasterizeRectSelection(pending.x, pending.y, pending.width, pending.height, edgeOptions, w, h);
        break;
    case kSelectionShapeEllipse:
        cov = RasterizeEllipseSelection(pending.x, pending.y, pending.width, pending.height, edgeOptions, w, h);
        break;
    case kSelectionShapePolygon:
        cov = RasterizePolygonSelection(pending.points, edgeOptions, w, h);
        break;
    case kSelectionShapeMagicWand:
        cov = MagicWandFill(wandSource, pending.seedX, pending.seedY, pending.tolerance, edgeOptions);
        break;
    default:
        break;
    }
    if (!cov.Empty()) liveMask_->Combine(pending.op, cov.x, cov.y, cov.width, cov.height, cov.bytes.data());
    NoteOwnWrite();
}

void ApplySelectionEdgeOptions(SelectionToolController& c, CanvasDocument& scene) {
    c.SyncWith(scene);
    c.edgeOptions = SelectionEdgeOptionsFromSettings(GetSelectionToolSettings());
    c.Commit();
}
