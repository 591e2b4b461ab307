#pragma once
// The single document: the main scene and the Pose Editor scene, the editor
// state around them (workspace mode, active tool, Pose Editor state), the
// undo and redo stacks of each scene and the change counter the canvas view
// watches. Every undoable edit of the model goes through its operations.
// Core code: it reaches windows only through DocumentHost and the providers
// the application installs (dialogs, paint session, Pose Editor, smart fill).
#include "document/DocumentHost.h"
#include "document/PaintSessionProvider.h"
#include "document/Undo.h"
#include "scene/CanvasDocument.h"

#include <opencv2/core.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

class CommandTable;
class IClipboard;
class SelectionMask;
class SelectionToolController;
class InpaintSession;
class DialogProvider;
class PoseEditorProvider;
class SmartFillProvider;

// 0 canvas layout, 1 Pose Editor, 2 inpaint source editing.
enum WorkspaceMode : int {
    kWorkspaceCanvas = 0,
    kWorkspacePoseEditor = 1,
    kWorkspaceInpaint = 2,
};

enum ToolId : int {
    kToolMove = 0,
    kToolEyedropper = 1,
    kToolPose = 2,
    kToolAddBone = 3,
    kToolSelectMoveJoint = 4,
    kToolLinkJoints = 5,
    kToolSkew = 6,
    kToolDistort = 7,
    kToolLight = 8,
    kToolPaintBrush = 9,
    kToolMixerBrush = 10,
    kToolBlendBrush = 11,
    kToolSmudgeBrush = 12,
    kToolCloneBrush = 13,
    kToolHealingCloneBrush = 14,
    kToolRecolorBrush = 15,
    kToolStencilKitbash = 16,
    kToolEraser = 17,
    kToolRectangleMarquee = 18,
    kToolEllipseMarquee = 19,
    kToolEllipseFromCenter = 20,
    kToolPolygonLasso = 21,
    kToolFreehandLasso = 22,
    kToolMagicWand = 23,
    kToolCurveLasso = 24,
    kToolRefine = 25,
    kToolPaintMask = 26,
    kToolEraseMask = 27,
};

// The Pose Editor's selected bone; handleIndex 0 is the head end, any other
// value the tail end.
struct BoneSelection {
    std::string objectId;
    std::string boneId;
    bool selected = false;
    int handleIndex = 1;
};

// The filled pixels of the last successful smart fill (straight B, G, R, A),
// where their top-left pixel lies on the canvas and the object they belong to.
struct PendingInpaintResult {
    cv::Mat pixels;
    int32_t x = 0, y = 0;
    std::string objectId;
};

// What an unsaved document is called (the title bar, the save prompt and the
// name Export as PNG proposes).
inline constexpr const char* kDefaultDocumentName = "Unnamed";

// How CQuillfenEditorDoc::RecordEdit records its step.
struct RecordEditOptions {
    // The step names the main scene and is replayed there, also while the
    // Pose Editor is open (PushMainUndo); otherwise the scene in use.
    bool mainScene = false;
    // ActiveAndPrimary: the step leaves the selected-id list out.
    StoredSelection selection = StoredSelection::All;
    // A live edit the views already show: the step is only recorded, without
    // the modified flag or a view update.
    bool recordOnly = false;
};

class CQuillfenEditorDoc {
public:
    CQuillfenEditorDoc();
    ~CQuillfenEditorDoc();
    // The scenes' observers refer to this document: it never moves.
    CQuillfenEditorDoc(const CQuillfenEditorDoc&) = delete;
    CQuillfenEditorDoc& operator=(const CQuillfenEditorDoc&) = delete;

    // --- Collaborators (not owned; may be null, e.g. in tests) ---
    // The frame and its views.
    void SetHost(DocumentHost* host) { host_ = host; }
    DocumentHost* Host() const { return host_; }
    // The providers the application installs; null: none (no dialog, no
    // painting view, no Pose Editor, no smart fill).
    void SetDialogProvider(DialogProvider* dialogs) { dialogs_ = dialogs; }
    DialogProvider* Dialogs() const { return dialogs_; }
    void SetPaintSessionProvider(PaintSessionProvider* sessions) { paintSessions_ = sessions; }
    void SetPoseEditorProvider(PoseEditorProvider* poseEditor) { poseEditor_ = poseEditor; }
    PoseEditorProvider* PoseEditor() const { return poseEditor_; }
    void SetSmartFillProvider(SmartFillProvider* smartFill) { smartFill_ = smartFill; }
    SmartFillProvider* SmartFill() const { return smartFill_; }

    // --- State read and written directly by views, panes and tabs ---
    int workspaceMode = kWorkspaceCanvas;
    int activeTool = kToolMove;
    CanvasDocument mainScene;
    CanvasDocument poseScene;
    std::string poseEditorObjectId;  // main-scene id of the object open in the Pose Editor
    BoneSelection boneSelection;
    UndoPair mainUndo;
    UndoPair poseUndo;
    std::vector<JointLink> poseLinkGroups;  // the Pose Editor scene's joint links
    float poseEntryScaleX = 1.0f, poseEntryScaleY = 1.0f;
    bool enteredFromPlainObject = false;
    bool itemPixelsEdited = false;
    DocumentEditSession* paintSession = nullptr;  // registered by the painting view, not owned
    std::shared_ptr<InpaintSession> inpaintSession;  // owned by the document alone
    PendingInpaintResult pendingInpaint;
    bool applyingUndo = false;
    uint64_t changeCounter = 0;
    // The most bytes the undo and redo stacks of both scenes hold together;
    // the oldest steps are dropped to keep within it.
    size_t historyBudget = DefaultHistoryBudget();

    // --- The scene in use: the Pose Editor scene while an object is open in
    // it (mode 1 with a Pose Editor object id), otherwise the main scene. The
    // same rule picks the undo pair.
    bool IsPoseEditorOpen() const { return workspaceMode == kWorkspacePoseEditor && !poseEditorObjectId.empty(); }
    CanvasDocument& SceneInUse() { return IsPoseEditorOpen() ? poseScene : mainScene; }
    const CanvasDocument& SceneInUse() const { return IsPoseEditorOpen() ? poseScene : mainScene; }
    UndoPair& UndoPairInUse() { return IsPoseEditorOpen() ? poseUndo : mainUndo; }

    // --- Selection tools ---
    // The selection tool controller of the scene (the main scene's or the
    // Pose Editor scene's), synced with its mask: tool state, owned here, while
    // the scene keeps only the mask. Any other scene gets the main scene's.
    SelectionToolController& SelectionTool(CanvasDocument& scene);
    SelectionToolController& SelectionToolInUse() { return SelectionTool(SceneInUse()); }

    // --- Framework document ---
    bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified = true) { modified_ = modified; }
    const std::string& GetPathName() const { return pathName_; }
    void SetPathName(const std::string& path) { pathName_ = path; }

    // --- Lifecycle ---
    // File > New: both scenes reset, the frame back on the canvas view (mode
    // 0), the Pose Editor's bone selection and links and all undo cleared.
    // The active tool and the entry scale stay.
    bool OnNewDocument();
    // File > Open: reads the project file into a fresh scene and, only when
    // the whole file read, replaces the main scene with it (ending the
    // sessions on the old one and resetting the rest as New does). A file
    // that cannot be opened (missing, a folder, a named pipe) or is no
    // project (empty or malformed: "Unexpected file format.") is reported
    // with its path and leaves the open document as it was, modified flag
    // included.
    bool OnOpenDocument(const std::string& path);
    // Commits an open paint session into its object; false when the session
    // could not be committed and stays open (it has told the user why).
    // Views open no new session until the command that asked for the commit
    // has finished (see PaintSessionsHeld), so what follows the commit works
    // on the model and painting goes on afterwards in a session of its own.
    bool CommitPaintSession();
    // Commits the open paint session when it paints that object, before the
    // object's placement is edited: the session began from the old placement
    // and its commit would put that back over the edit. True when nothing is
    // open on the object or the commit worked.
    bool CommitPaintSessionOn(const std::string& objectId);
    // True while views must not open a paint session: from a commit a command
    // asked for until the event loop is idle again. When it ends the views
    // are updated, so a view whose paint tool is still chosen reopens one.
    bool PaintSessionsHeld() const { return paintSessionsHeld_; }
    // File > Save: brings an open Pose Editor's work back first, then writes
    // the main scene atomically (the old file survives any failure).
    bool OnSaveDocument(const std::string& path);
    // Ends the editing sessions held on the current scenes before they are
    // replaced: an open paint session is cancelled, the inpaint session and a
    // pending fill result are dropped.
    void EndEditingSessions();

    // --- Views and panes ---
    // Bumps the change counter and repaints every view without an update.
    void RefreshAllViews();
    void UpdateAllViews();
    void RefreshPropertiesPane();
    // The session of the hosted canvas or Pose Editor view that is painting, or null.
    DocumentEditSession* FindPaintingView();

    // --- Editor state ---
    void SetEditorMode(int mode);
    // Commits an active paint session (never cancels it) and leaves a
    // painting tool for Move; false, with the tool unchanged, when the
    // painting could not be stored (the session stays open and has said why).
    bool EndPaintMode();
    void SetActiveTool(int tool);
    void ClearBoneSelection();
    void SetBoneSelection(const std::string& objectId, const std::string& boneId, int handleIndex);
    // Finish (the command and the Pose Editor's button): forwards to the
    // Pose Editor; a failure is said once and leaves the Pose Editor open.
    // False also when none is installed or nothing is open.
    bool FinishBoneEditor();
    // The same without a message: why receives what the user has not been
    // told yet.
    bool FinishBoneEditor(std::string& why);

    // --- Canvas, tool, selection, image, Pose Editor and settings commands
    // (CanvasCommands.cpp, SelectionCommands.cpp, ImageCommands.cpp,
    // PoseCommands.cpp, SettingsToggles.cpp) ---
    // Canvas and tools.
    void OnModifySetCanvasSize();
    void OnModifyAddLayer();
    bool InsertLightCone();
    void OnInsertLightCone();
    void OnToolSelect(int tool);  // Pose (2) only on a selected posable object in the canvas
    void OnToolSelectMoveJoint();
    void OnBenchmark();
    void OnResetWarp();
    bool CanResetWarp() const;
    // The brush tools: a bitmap (or, in the canvas, nothing) is selected.
    bool CanUseBitmapTool() const;
    // The selection tools: exactly one bitmap object is selected.
    bool IsSingleBitmapSelected() const;
    // Update rule of a tool command: enabled state only.
    bool IsToolAvailable(int tool) const;

    // Pixel selection.
    void OnSelectionDeselect();
    void OnSelectionReselect();
    void OnSelectionInverse();
    void OnSelectionSplitBitmap();
    bool CanDeselectOrInverse() const;
    bool CanReselect() const;
    bool CanSplitBitmap() const;

    // Image menu.
    void OnImageAddMask();
    void OnImageInvert();
    void OnImageBrightness();
    void OnImageInpaint();
    bool CanAddMask() const;
    bool CanInvertOrBrightness() const;
    bool CanInpaint() const;
    // Inpaint source tools.
    bool CanEditInpaintSource() const;
    bool InpaintEraseFlag() const;
    void SetInpaintErase(bool erase);
    void OnInpaintSelectAllSource();
    void OnInpaintClearSource();

    // Pose Editor bones and links.
    void OnBoneRemove();
    void OnDeleteBone();
    void OnBoneCopyFromParent();
    void OnBoneStretchable();
    void OnBoneRoundEndpoint();
    void OnBreakLink();
    void OnTestBones();
    void OnUsePartialIK();
    bool CanRemoveBone() const;
    bool CanDeleteBone() const;
    bool CanCopyFromParent() const;
    // Enabled state of Stretchable (roundEnd false) or Round Endpoint; the
    // check shows the stretchable flag or the round cap of the selected end.
    bool CanToggleBone(bool roundEnd, bool& checked) const;
    bool CanBreakLink() const;
    bool CanUsePartialIK(bool& checked) const;
    bool EnterBoneEditor();
    bool CanEnterBoneEditor() const;
    bool CanCreateMultiObject() const;
    void OnCreateMultiObject();

    // "Settings" toggles kept in the profile: command id -> value.
    bool ReadSettingToggle(uint32_t commandId) const;
    void OnSettingToggle(uint32_t commandId);
    // --- end canvas, tool, selection, image, Pose Editor and settings commands ---

    // --- Recording an edit (Undo.cpp) ---
    // Every command that changes the model with undo records it through
    // RecordEdit, one step per user action:
    //
    //     doc.RecordEdit(kUndoWholeObject, [&](UndoStep& step) {
    //         step.objectId = object->id;
    //         step.objectA = *object;   // before
    //         object->opacity = value;  // the change itself
    //         step.objectB = *object;   // after
    //     });
    //
    // It stores the selection of the scene (the scene in use, or the main
    // scene with options.mainScene) before running edit, stores it again
    // after, pushes the step on that scene's undo pair, sets the modified
    // flag and updates every view. While an undo step is being applied the
    // change still happens but nothing is recorded. edit may return bool:
    // false means it changed nothing, and then nothing is recorded, flagged
    // or updated and RecordEdit returns false. It also returns false when the
    // history refuses the step (PushUndo): the change is then taken back.
    template <class Edit>
    bool RecordEdit(int32_t kind, Edit&& edit, const RecordEditOptions& options = {}) {
        CanvasDocument& scene = options.mainScene ? mainScene : SceneInUse();
        UndoStep step;
        step.kind = kind;
        StoreSelectionBefore(scene, step, options.selection);
        if constexpr (std::is_void_v<std::invoke_result_t<Edit&, UndoStep&>>) {
            edit(step);
        } else {
            if (!edit(step)) return false;
        }
        return FinishRecordedEdit(scene, step, options);
    }

    // --- Undo and redo (Undo.cpp) ---
    // Records a step on the pair in use; nothing while a step is applied.
    // A step the history cannot hold is refused: its change is taken back,
    // the user is told, and false is returned.
    bool PushUndo(UndoStep step);
    // Records a step of an operation that names the main scene on the main
    // pair, whatever scene is in use, so it is replayed on the main scene.
    bool PushMainUndo(UndoStep step);
    // The bytes all undo and redo steps hold.
    size_t HistoryBytes() const;
    // Applies a step to the scene in use (0 undo, 1 redo).
    void ApplyUndoStep(const UndoStep& step, uint8_t direction);
    bool CanUndo();
    bool CanRedo();
    void OnEditUndo();
    void OnEditRedo();
    void ClearAllUndo();
    void ClearPoseEditorUndo();
    bool RemoveLayerById(const std::string& id);
    bool AddLayerIfAbsent(const Layer& layer);
    bool InsertObjectEntries(const std::vector<UndoObjectEntry>& entries);

    // --- Edit operations (DocumentEdits.cpp) ---
    // Record-only commits of live edits: no modified flag, no view update.
    void CommitObjectTransform(const std::string& objectId, const ObjectTransform& before,
                               const ObjectTransform& after);
    void CommitObjectTransforms(const std::vector<UndoTransformEntry>& entries);
    void SetBoneDefinitions(const std::string& objectId, const std::vector<Bone>& before,
                            const std::vector<Bone>& after);
    void CommitLinks(const std::vector<JointLink>& before, const std::vector<JointLink>& after);
    void CommitPhotoBashParams(const std::string& objectId, const PhotoBashParams& before,
                               const PhotoBashParams& after);
    void CommitLightConeParams(const std::string& objectId, const LightConeParams& before,
                               const LightConeParams& after);
    // Direct edits of the main scene with undo.
    void SetLayerVisible(const std::string& layerId, bool visible);
    void SetLayerLocked(const std::string& layerId, bool locked);
    void SetObjectVisible(const std::string& objectId, bool visible);
    void SetObjectLocked(const std::string& objectId, bool locked);
    void SetObjectBlendMode(const std::string& objectId, uint8_t blendMode);
    void SetObjectClipToBelow(const std::string& objectId, bool clip);
    void SetCanvasColor(uint32_t argb);
    // Direct edits of the scene in use with undo.
    bool MoveObjectToLayer(const std::string& objectId, const std::string& layerId, int32_t index);
    void AddLayer();
    // Imports one image file as a new selected bitmap object; centred on the
    // drop point when both coordinates are 0 or more.
    bool ImportImageFiles(const std::string& path, float dropX, float dropY, std::string& error);
    bool RemoveBoneFromLinks(const std::string& objectId, const std::string& boneId);
    // Filter-stack edits of main-scene objects, not recorded.
    bool AddEffect(const std::string& objectId, uint8_t type);
    bool MoveEffect(const std::string& objectId, int from, int to);
    // The object's layer and its position there from the top, in the scene in use.
    bool FindObjectLayer(const std::string& objectId, std::string& layerId, int32_t& index) const;

    // --- Identifiers, copy names and insertion (ObjectIds.cpp) ---
    std::string MakeUniqueObjectId() const;
    std::string MakeCopyName(const std::string& name) const;
    // Puts the object on top of the active layer of the scene in use, selects
    // it alone and records it; false (nothing changed) when the active layer
    // is missing or locked or the id is taken.
    bool InsertObject(CanvasObject object);
    // A bitmap object around an encoded image, centred on the canvas.
    bool InsertFlattenedBitmap(std::vector<uint8_t> encoded, float width, float height, const std::string& nameBase);

    // --- Commands (DocumentCommands.cpp) ---
    // Registers the document's command handlers and update rules.
    void RegisterCommands(CommandTable& table);

    // --- Clipboard, deleting, pixel edits, import and export, Convert to
    // Bitmap and merge (CopyPaste.cpp, DeleteCommands.cpp, PixelEdits.cpp,
    // ImportExport.cpp, ConvertMerge.cpp) ---
    IClipboard* clipboard = nullptr;  // not owned; null: nothing is copied or pasted
    void SetClipboard(IClipboard* c) { clipboard = c; }

    // Copy: the selected pixels of one bitmap object, else the selected objects.
    bool CopySelectionToClipboard();
    // A bitmap object holding the selected, non-transparent pixels of source
    // (its paint session's surface, or its image when it lies unscaled at the
    // canvas origin), cropped to them, straight alpha. Its id stays empty.
    bool RenderSelectionPng(const CanvasObject& source, const SelectionMask& mask, CanvasObject& out);
    // The active layer of the scene in use is unlocked and the clipboard
    // offers something pasteable.
    bool CanPasteFromClipboard() const;
    // Objects, an object set or a picture, with fresh ids and names, onto the
    // active layer of the scene in use as one undo step.
    bool PasteFromClipboard();
    bool CanCopySelection() const;  // update rule of Copy
    void OnEditCopy();
    void OnEditCut();    // deletes only after a successful copy
    void OnEditPaste();  // a successful paste makes Move the active tool

    // The Delete key: selected pixels of an open paint session, else the
    // selected mask, else the selected objects.
    bool DeleteSelected();
    bool DeleteSelectedMask();
    // The selected objects of the scene in use may be deleted (update rule of
    // Cut and Delete).
    bool GetSelectionState() const;
    bool DeleteSelectedObjects();
    bool CanDeleteActiveLayer() const;
    // Asks before deleting a layer that holds objects.
    bool DeleteActiveLayer();
    void OnEditDelete();
    void OnModifyDeleteLayer();

    // Pixel, mask and tint edits, one undo step each. The byte buffers are
    // taken over: the caller's are empty afterwards whatever the outcome.
    void ReplaceObjectBitmap(const std::string& objectId, std::vector<uint8_t>&& png, float pixelWidth,
                             float pixelHeight, const ObjectTransform& transform, bool recordedAsNew,
                             std::vector<uint8_t>&& mask);
    bool SetObjectMask(const std::string& objectId, std::vector<uint8_t>&& mask, int32_t width, int32_t height);
    bool ReplacePartImage(const std::string& objectId, const std::string& partId, std::vector<uint8_t>&& png);
    bool SetLightTint(uint32_t argb);

    // File > Import Image (any number of files) and File > Export as PNG.
    void OnFileImportImage();
    void OnFileExportPng();
    // The file name of the document's path, or the default name "Unnamed".
    std::string GetTitle() const;
    // The title with its extension replaced by ".png".
    static std::string ProposedPngName(const std::string& title);

    // Modify > Convert to Bitmap: one object converted in place, several merged.
    bool CanConvertToBitmap() const;  // update rule
    void OnModifyConvertToBitmap();
    // True when the main-scene object is a bitmap afterwards.
    bool ConvertObjectForEffect(const std::string& objectId);
    bool MergeObjectsToBitmap(const std::vector<std::string>& ids);
    // --- end clipboard, delete, pixel edits, import/export, convert ---

private:
    // The tail of RecordEdit: selection after, push, modified flag, views.
    bool FinishRecordedEdit(CanvasDocument& scene, UndoStep& step, const RecordEditOptions& options);
    bool StoreStep(UndoPair& pair, CanvasDocument& scene, UndoStep&& step);
    // Drops the oldest steps until the history is within its budget.
    void TrimHistory();
    void InstallSceneObservers();
    // After New or Open: the Pose Editor and its selection emptied, undo
    // cleared, and the canvas view hosted again in mode 0.
    void ResetEditorStateForNewScene();
    void OnSceneObjectChanged();
    Prompts* GetPrompts() const;

    std::unique_ptr<SelectionToolController> mainSelectionTool_;
    std::unique_ptr<SelectionToolController> poseSelectionTool_;
    DocumentHost* host_ = nullptr;
    bool paintSessionsHeld_ = false;
    void HoldPaintSessions();
    DialogProvider* dialogs_ = nullptr;
    PaintSessionProvider* paintSessions_ = nullptr;
    PoseEditorProvider* poseEditor_ = nullptr;
    SmartFillProvider* smartFill_ = nullptr;
    bool modified_ = false;
    std::string pathName_;
    uint64_t stepSerial_ = 0;
};
