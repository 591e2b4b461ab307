#include "scene/CanvasDocument.h"

#include "scene/SelectionMask.h"
#include "selection/SelectionToolController.h"

CanvasDocument::CanvasDocument() { Reset(); }
CanvasDocument::~CanvasDocument() = default;
CanvasDocument::CanvasDocument(CanvasDocument&&) noexcept = default;
CanvasDocument& CanvasDocument::operator=(CanvasDocument&&) noexcept = default;

void CanvasDocument::Reset() {
    width = 1024;
    height = 1024;
    canvasColour = 0xFFFFFFFF;
    layers.clear();
    Layer backdrop;
    backdrop.id = "backdrop";
    backdrop.name = "Backdrop";
    backdrop.locked = true;
    backdrop.order = 0;
    layers.push_back(std::move(backdrop));
    Layer first;
    first.id = "layer_1";
    first.name = "Layer 1";
    first.order = 1;
    layers.push_back(std::move(first));
    activeLayerId = "layer_1";
    primarySelectedId.clear();
    selectedIds.clear();
    ReleaseSelection();
}

void CanvasDocument::ReleaseSelection() {
    // The controller outlives the mask: it is detached first, which also drops
    // its pending shape and snapshot of the mask going away.
    if (selectionController) selectionController->SetLiveMask(nullptr);
    selectionMask.reset();
    selectionUndo.clear();
    selectionRedo.clear();
    deselectedMask.reset();
    refineBase.reset();
}
