#include "scene/CanvasDocument.h"

#include "scene/SelectionMask.h"

#include <atomic>

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

uint64_t CanvasDocument::NextSelectionMaskSerial() {
    static std::atomic<uint64_t> serial{0};
    return ++serial;
}

void CanvasDocument::ReleaseSelection() {
    if (selectionMask) selectionMaskSerial = NextSelectionMaskSerial();
    selectionMask.reset();
    selectionUndo.clear();
    selectionRedo.clear();
    deselectedMask.reset();
    refineBase.reset();
    refineUndoTaken = false;
}
