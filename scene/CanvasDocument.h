#pragma once
// One scene: the canvas, its layers of objects, the selection of objects and
// the pixel selection with its undo copies. The document holds two of them,
// the main scene and the Pose Editor scene.
#include "scene/CanvasObject.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class SelectionMask;
class SelectionToolController;

struct Layer {
    std::string id;  // "layer_%d" or "backdrop"
    std::string name;
    std::vector<CanvasObject> objects;  // descending z, index 0 the topmost
    bool visible = true;
    bool locked = false;
    int32_t order = 0;
};

// Told the id of an object whose placement or parameters changed.
using SceneObserver = std::function<void(const std::string& objectId)>;

class CanvasDocument {
public:
    CanvasDocument();
    ~CanvasDocument();
    CanvasDocument(CanvasDocument&&) noexcept;
    CanvasDocument& operator=(CanvasDocument&&) noexcept;
    CanvasDocument(const CanvasDocument&) = delete;
    CanvasDocument& operator=(const CanvasDocument&) = delete;

    float width = 1024;
    float height = 1024;
    uint32_t canvasColour = 0xFFFFFFFF;
    std::vector<Layer> layers;  // bottom first
    std::string activeLayerId = "layer_1";
    std::string primarySelectedId;
    std::vector<std::string> selectedIds;
    std::string selectedMaskObjectId;
    bool hasPlacementArea = false;
    float placementX = 0, placementY = 0, placementWidth = 0, placementHeight = 0;
    SceneObserver observer;
    bool deferInvalidation = false;
    std::vector<std::string> pendingInvalidations;
    std::unique_ptr<SelectionMask> selectionMask;
    std::unique_ptr<SelectionToolController> selectionController;
    std::vector<std::unique_ptr<SelectionMask>> selectionUndo;
    std::vector<std::unique_ptr<SelectionMask>> selectionRedo;
    std::unique_ptr<SelectionMask> deselectedMask;
    std::unique_ptr<SelectionMask> refineBase;

    // Canvas 1024 x 1024 white, layers "backdrop" (locked) and "layer_1"
    // (active), no selection.
    void Reset();
    // Drops the pixel selection, its controller state, undo copies and refine base.
    void ReleaseSelection();
};
