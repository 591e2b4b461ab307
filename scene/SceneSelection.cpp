// The scene's pixel selection: its mask, the controller that draws into it, the
// undo copies and the refine operations.
#include "scene/CanvasDocument.h"
#include "scene/SelectionMask.h"
#include "selection/SelectionToolController.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A canvas side in whole pixels: rounded half away from zero, at least 1. The
// upper limit keeps every later x + width sum inside 32 bits.
int MaskSide(float side) {
    if (!std::isfinite(side)) return 1;
    const double r = std::round(double(side));
    return int(std::clamp(r, 1.0, double(1 << 30)));
}

}  // namespace

void CanvasDocument::EnsureSelectionMask() {
    const int w = MaskSide(width), h = MaskSide(height);
    if (!selectionMask || selectionMask->Width() != w || selectionMask->Height() != h) {
        if (selectionController) selectionController->SetLiveMask(nullptr);
        selectionMask = std::make_unique<SelectionMask>(w, h, SelectionMask::kDefaultTileSize);
        selectionUndo.clear();
        selectionRedo.clear();
        deselectedMask.reset();
        // A base of the old size could never be assigned to the new mask.
        if (refineBase && (refineBase->Width() != w || refineBase->Height() != h)) refineBase.reset();
    }
    if (!selectionController) selectionController = std::make_unique<SelectionToolController>();
    selectionController->SetLiveMask(selectionMask.get());
}

void CanvasDocument::PushSelectionUndo() {
    if (!selectionMask) return;
    auto copy = std::make_unique<SelectionMask>(selectionMask->Width(), selectionMask->Height(),
                                                selectionMask->TileSize());
    copy->Assign(*selectionMask);
    selectionUndo.push_back(std::move(copy));
    selectionRedo.clear();
}
