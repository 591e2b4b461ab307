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

struct Layer {
    std::string id;  // "layer_%d" or "backdrop"
    std::string name;
    std::vector<CanvasObject> objects;  // descending z, index 0 the topmost
    bool visible = true;
    bool locked = false;
    int32_t order = 0;

    // --- Stacking order (SceneStructure.cpp) ---
    // Sorts the objects by descending z, then numbers them count-1 .. 0.
    void NormalizeZ();
    // Position of the object in descending-z order (0 the topmost), or -1.
    // The layer is not reordered.
    int32_t IndexOfObject(const std::string& id) const;
    // The largest z of the layer's objects, -1 when it has none.
    int32_t HighestZ() const;
};

// --- Object transforms (ObjectTransform.cpp) ---
// An object's placement as set interactively and recorded for undo.
struct ObjectTransform {
    float x = 0, y = 0;
    float width = 0, height = 0;
    float rotation = 0;  // degrees
    float opacity = 1.0f;
};

// Shifts t so that the bounding box of its rotated rectangle lies inside the
// area, or is centred on an axis where it is larger; never resizes or turns.
ObjectTransform ClampRotatedRect(const ObjectTransform& t, float areaX, float areaY, float areaW, float areaH);
// The text after the last '/' or '\\', or the whole path when there is neither.
std::string GetFileNamePart(const std::string& path);

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
    // A new number, unique in the process, whenever selectionMask is replaced
    // or released, so that tool state kept on a mask knows it is another one
    // (the mask's own revision counts the changes of one mask). 0: never had one.
    uint64_t selectionMaskSerial = 0;
    std::vector<std::unique_ptr<SelectionMask>> selectionUndo;
    std::vector<std::unique_ptr<SelectionMask>> selectionRedo;
    std::unique_ptr<SelectionMask> deselectedMask;
    std::unique_ptr<SelectionMask> refineBase;
    // The selection as chosen went on the selection undo when a refinement
    // first changed it (once per base).
    bool refineUndoTaken = false;

    // Canvas 1024 x 1024 white, layers "backdrop" (locked) and "layer_1"
    // (active), no selection.
    void Reset();
    // Drops the pixel selection, its undo copies and refine base.
    void ReleaseSelection();
    // The next value for selectionMaskSerial.
    static uint64_t NextSelectionMaskSerial();

    // --- Structure, identifiers and object selection (SceneStructure.cpp) ---
    // None of these records undo or repaints; a missing id or layer gives
    // false, an empty result or nothing, and leaves the scene unchanged.

    // First free "layer_%d" / "object_%d" (1..99999) in the scene; the bare
    // stem when every number is taken.
    std::string MakeLayerId() const;
    std::string MakeObjectId() const;

    // Appends "Layer N" on top and makes it active.
    Layer& AddLayer();
    // The first layer, creating "layer_1" when the scene has none.
    Layer& EnsureFirstLayer();
    // The active layer; an empty or stale active id falls back to the first layer.
    Layer& GetActiveLayer();
    void SetActiveLayer(const std::string& id);
    // True when the flag changed.
    bool SetLayerVisible(const std::string& id, bool visible);
    bool SetLayerLocked(const std::string& id, bool locked);
    // First layer with the id, or null.
    Layer* FindLayer(const std::string& id);

    // The object with the id, or null. Valid only until its layer's object
    // list changes: look it up again by id after any such change.
    CanvasObject* FindObject(const std::string& id);
    const CanvasObject* FindObject(const std::string& id) const;
    // The layer holding the object, or null.
    Layer* FindLayerOfObject(const std::string& id);
    // Appends a copy of the object to the layer with layer.id and renumbers
    // it. False when the id is used anywhere in the scene or no layer has that id.
    bool AddObjectToLayer(const Layer& layer, const CanvasObject& object);
    // A canvas-sized "Untitled" bitmap object on top of the active layer, made
    // the only selection.
    bool AddEmptyObject(std::string* newId = nullptr);
    bool DeleteObject(const std::string& id);
    // Moves the object to position index (from the top) of the target layer
    // and makes it the only selection.
    bool MoveObjectToLayer(const std::string& id, const std::string& layerId, int32_t index);
    // Appends a copy of the part to the object (fresh id, name and display
    // size filled in when empty), renumbers the parts and drops the caches.
    bool AddImagePart(const std::string& objectId, const ImagePart& part);

    bool SelectObject(const std::string& id);
    void AddToSelection(const std::string& id);
    void RemoveFromSelection(const std::string& id);
    void ToggleSelection(const std::string& id);
    void ClearSelection();
    bool IsSelected(const std::string& id) const;

    // --- Transforms and image import (ObjectTransform.cpp, ImageImport.cpp) ---
    // Rounds the geometry to whole pixels (sizes 1 .. 32767), keeps the
    // rotated outline inside the placement area or the canvas (light cones
    // excepted), rescales filters on a size change, drops or queues the
    // caches and tells the observer. False only when no object has the id.
    bool SetObjectTransform(const std::string& objectId, const ObjectTransform& t);
    // Reads and decodes an image file into a new bitmap object fitted into
    // and centred on the canvas, on top of the active layer and selected. On
    // failure error holds the reason and the scene is unchanged.
    bool ImportImageFile(const std::string& path, std::string& error, std::string* newObjectId = nullptr,
                         std::string* layerId = nullptr);

    // --- Joint links and posing (JointLinks.cpp, PosingScene.cpp) ---
    // Drops link ends whose object or bone is missing and repeated ends, then
    // links left with fewer than two ends.
    void ResolveJointLinks(std::vector<JointLink>& links) const;
    // Unfolds a posable scene into target (reset, at least 3000 x 3000): one
    // object per part in "layer_1", bone lists made sound. links receives a
    // copy of the scene's joint links.
    static void LoadFromScene(const PosableScene& scene, CanvasDocument& target, std::vector<JointLink>& links);
    // One pose record per object that has exactly one bone, in scene order.
    static std::vector<PartPose> BuildPartPoses(const CanvasDocument& doc);

    // --- Hit testing (ObjectGeometry.cpp) ---
    // Id of the object a click at the canvas point selects, or empty: the
    // topmost unlocked visible object opaque there, else the topmost whose
    // outline holds the point. Outside the canvas only outlines count.
    std::string HitTest(ScenePoint canvas);
    // The object a clipped object is clipped to: the nearest visible object
    // below it whose clipToLayerBelow is off. Null when there is none or the
    // object (or its layer) is hidden.
    CanvasObject* FindObjectBelow(const CanvasObject& object);
    // --- end hit testing ---

    // --- Pixel selection (SceneSelection.cpp) ---
    // Makes sure the mask exists at the canvas size (rounded, at least 1) and
    // that the controller exists and points at it. A new mask drops the
    // selection undo and redo copies, the Deselect copy and a refine base of
    // another size.
    void EnsureSelectionMask();
    // With a mask: a copy of it onto the selection undo stack; redo emptied.
    void PushSelectionUndo();
    // Resets the mask to the refine base and refines it once: operation 0
    // expand, 1 contract, 2 feather, by radius pixels. The controller then
    // forgets its pending shape. Nothing without a base or a mask.
    void RefineSelection(int32_t operation, int32_t radius);
    // --- end pixel selection ---
};
