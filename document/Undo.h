#pragma once
// One undoable edit of a scene: what kind of change it was, the ids it
// concerns, copies of what it changed before and after, and the scene's
// selection before and after. The document keeps steps by value in an undo
// and a redo stack per scene (UndoPair) and applies them in either direction.
#include "scene/CanvasDocument.h"

#include <cstdint>
#include <string>
#include <vector>

enum UndoKind : int32_t {
    kUndoLayerAdded = 0,
    kUndoLayerDeleted = 1,
    kUndoObjectAdded = 2,
    kUndoObjectsAdded = 3,  // paste
    kUndoObjectTransform = 4,
    kUndoObjectTransforms = 5,
    kUndoBones = 6,
    kUndoJointLinks = 7,
    kUndoLayerVisible = 8,
    kUndoLayerLocked = 9,
    kUndoObjectVisible = 10,
    kUndoObjectLocked = 11,
    kUndoObjectDeleted = 12,
    kUndoObjectsDeleted = 13,
    kUndoObjectMoved = 14,  // to a layer and index
    kUndoCanvasColour = 15,
    kUndoObjectsToPosable = 16,
    kUndoBlendMode = 17,
    kUndoClipToBelow = 18,
    kUndoPhotoBash = 19,
    kUndoLightCone = 20,
    kUndoWholeObject = 21,
    kUndoObjectCreated = 22,  // from its after-state
    kUndoObjectsMerged = 23,
    kUndoEffectStack = 24,  // an object's filter list, without its pixels
};
constexpr int32_t kUndoKindCount = 25;

// A layer id with a full object copy.
struct UndoObjectEntry {
    std::string layerId;
    CanvasObject object;
};

// An object id with its placement before and after.
struct UndoTransformEntry {
    std::string objectId;
    ObjectTransform before;
    ObjectTransform after;
};

struct UndoStep {
    int32_t kind = kUndoObjectTransform;
    std::string layerId;
    std::string objectId;
    Layer layerCopy;
    CanvasObject objectA;
    CanvasObject objectB;
    ObjectTransform transformBefore;
    ObjectTransform transformAfter;
    std::vector<UndoObjectEntry> objectEntries;
    std::vector<UndoTransformEntry> transformEntries;
    std::vector<Bone> bonesBefore, bonesAfter;
    std::vector<JointLink> linksBefore, linksAfter;
    uint8_t blendBefore = 0, blendAfter = 0;
    bool clipBefore = false, clipAfter = false;
    PhotoBashParams photoBashBefore, photoBashAfter;
    LightConeParams lightBefore, lightAfter;
    bool flagBefore = false, flagAfter = false;
    uint32_t colourBefore = 0xFF000000, colourAfter = 0xFF000000;
    std::string targetLayerBefore, targetLayerAfter;
    std::vector<EffectInstance> effectsBefore, effectsAfter;
    int32_t indexBefore = 0, indexAfter = 0;
    // The scene's selection: active layer, primary object, selected ids in order.
    std::string activeLayerBefore, activeLayerAfter;
    std::string primaryBefore, primaryAfter;
    std::vector<std::string> selectionBefore, selectionAfter;
    // Order of recording over all of a document's stacks (set when stored),
    // so that the oldest step can be found when the history must shrink.
    uint64_t serial = 0;
};

// The heap and inline bytes a step holds: its object copies' stored images
// and masks, lists and strings. Render caches are not counted; a stored step
// holds none (DropStepCaches).
size_t UndoStepBytes(const UndoStep& step);
// Lets go of the render caches the step's object copies share with the live
// objects, so that a step keeps only what it needs to rebuild them.
void DropStepCaches(UndoStep& step);
// The history's default budget: the smaller of 2 GiB and a quarter of the
// machine's physical memory.
size_t DefaultHistoryBudget();

// The undo and redo stacks of one scene. The document keeps all its stacks
// together within a byte budget (CQuillfenEditorDoc::historyBudget).
struct UndoPair {
    std::vector<UndoStep> undo;
    std::vector<UndoStep> redo;
    void Clear() {
        undo.clear();
        redo.clear();
    }
};

enum UndoDirection : uint8_t { kUndoBackward = 0, kRedoForward = 1 };

// Applies the step to the scene in the given direction (kind 7 also needs the
// link list it repairs). Parts whose object or layer is gone are skipped; the
// stored selection of that direction is restored in every case.
void ApplyUndoStepToScene(CanvasDocument& scene, std::vector<JointLink>& linkGroups, CanvasDocument& linkScene,
                          const UndoStep& step, UndoDirection direction);

// Makes activeLayerId the active layer (the bottom layer when none has it)
// and selects the ids that still name objects, in order, with primaryId last
// and primary when it is among them; primaryId alone when the list is empty.
void RestoreSelection(CanvasDocument& scene, const std::string& activeLayerId, const std::vector<std::string>& ids,
                      const std::string& primaryId);

// Which part of the scene's selection a step stores: every recording stores
// the active layer and the primary id; most also store the selected-id list.
enum class StoredSelection : uint8_t { ActiveAndPrimary, All };
// The selection part of a step, taken from the scene as it is now.
void StoreSelectionBefore(const CanvasDocument& scene, UndoStep& step, StoredSelection parts = StoredSelection::All);
void StoreSelectionAfter(const CanvasDocument& scene, UndoStep& step, StoredSelection parts = StoredSelection::All);

// Removes the layer with the id; false when none has it.
bool RemoveLayerById(CanvasDocument& scene, const std::string& id);
// Appends a copy of the layer unless one with its id exists.
bool AddLayerIfAbsent(CanvasDocument& scene, const Layer& layer);
// Adds each entry's object to its layer, in order; true when there was any entry.
bool InsertObjectEntries(CanvasDocument& scene, const std::vector<UndoObjectEntry>& entries);

// Exact equality as the recording operations use it: floats equal only when
// neither is NaN and they are numerically equal, strings by text.
bool TransformsEqual(const ObjectTransform& a, const ObjectTransform& b);
bool PhotoBashEqual(const PhotoBashParams& a, const PhotoBashParams& b);
bool BoneListsEqual(const std::vector<Bone>& a, const std::vector<Bone>& b);
