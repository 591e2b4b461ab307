#pragma once
// What the document asks of the windows and editors around it. The document
// lives in the core library and never sees a window: the main frame, the
// views and the Pose Editor implement these interfaces and hand them to it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/PixelOps.h"

class CQuillfenEditorDoc;
class Profile;
class Prompts;
class CanvasDocument;
class InpaintSession;
struct JointLink;

// What the "Set Canvas" dialog shows and returns. The custom colour is a
// colour value with red in the low byte (0x00BBGGRR).
struct CanvasSizeDialogValues {
    int32_t width = 0, height = 0;
    int32_t colorChoice = 0;  // 0 White, 1 Transparent, 2 Custom
    uint32_t customColor = 0xFFFFFF;
    int32_t anchor = 4;  // 0..8 row by row from the top-left, 4 the centre
};

// An editing session a view keeps open on one of the document's scenes (the
// paint session of a view). The view owns it; the document holds it, not
// owned, while it is registered, and ends it on mode changes, New and Open.
class DocumentEditSession {
public:
    virtual ~DocumentEditSession() = default;

    // --- What the selection, image and settings commands ask of a paint
    // session (defaults: a session that has none of it) ---
    // Follows the "Paint in Isolation" preference at once.
    virtual void SetIsolation(bool isolated) { (void)isolated; }
    // Ends the stroke in progress and keeps its snapshot for stroke undo.
    virtual void StrokeEnd() {}
    // Shows again the objects hidden while painting, and forgets them.
    virtual void RestoreHiddenLayers() {}
    // Applies a pixel operation to the working pixels inside the scene's
    // pixel selection (everything without one) as one stroke of its history.
    virtual void ApplyPixelOp(CQuillfenEditorDoc& doc, PixelOp32 op, const void* params) {
        (void)doc, (void)op, (void)params;
    }
    // --- end selection, image and settings services ---
    // True while the session can take input.
    virtual bool IsActive() const = 0;
    // Writes the session's work into the document (one undo step) and ends it.
    virtual void Commit(CQuillfenEditorDoc& doc) = 0;
    // Ends it without writing; an object it created for itself goes away.
    virtual void Cancel(CQuillfenEditorDoc& doc) = 0;

    // The session's own stroke history, which Undo and Redo step through
    // while it is open in a canvas layout view.
    virtual bool CanUndoStroke() const = 0;
    virtual bool CanRedoStroke() const = 0;
    // Restores the last stroke snapshot and keeps the current state for the
    // opposite direction; nothing when the list is empty.
    virtual void UndoStroke() = 0;
    virtual void RedoStroke() = 0;

    // --- What copy, delete and export ask of a paint session ---
    // The canvas-sized working surface: rows of B, G, R, A bytes, pixel (x, y)
    // at canvas (x, y).
    struct WorkingSurface {
        const uint8_t* pixels = nullptr;
        int width = 0, height = 0;
        int64_t stride = 0;
        bool premultiplied = false;
    };
    // The id of the object the session paints; empty when it paints none.
    virtual std::string PaintedObjectId() const { return {}; }
    // False when the session has no working surface.
    virtual bool GetWorkingSurface(WorkingSurface& out) const {
        (void)out;
        return false;
    }
    // Erases the pixels under the scene's pixel selection as one stroke of
    // the session's own history.
    virtual void EraseSelection(CQuillfenEditorDoc& doc) { (void)doc; }
    // --- end paint session services ---
};

// The main frame and its views, as the document sees them.
class DocumentHost {
public:
    virtual ~DocumentHost() = default;
    // Full update of every view of the document (layer list re-layout included).
    virtual void UpdateAllViews() = 0;
    // Repaint every view without an update notification.
    virtual void InvalidateAllViews() = 0;
    // The properties pane rebuilds its tab context, when the pane exists.
    virtual void RefreshPropertiesPane() = 0;
    // The status bar re-reads the selection and its placement.
    virtual void UpdateStatusText() = 0;
    // The session of the first canvas layout view whose session is active, or
    // null. Sessions of other views never take Undo and Redo.
    virtual DocumentEditSession* FindPaintingView() = 0;
    // Switches the hosted view to the workspace mode (and tells the document).
    virtual void SetWorkspaceMode(int mode) = 0;
    // Where messages and file dialogs go, and the per-user settings; null when
    // the host has none.
    virtual Prompts* GetPrompts() = 0;
    virtual Profile* GetProfile() = 0;

    // --- Modal dialogs the document's commands run (defaults: no dialog) ---
    // The "Set Canvas" dialog; true when it ends with OK, values then hold
    // the user's choice.
    virtual bool RunCanvasSizeDialog(CanvasSizeDialogValues& values) {
        (void)values;
        return false;
    }
    // The brightness adjustment dialog for the selected bitmap object; it
    // previews, applies and records its change itself.
    virtual void RunBrightnessDialog(CQuillfenEditorDoc& doc) { (void)doc; }
    // The articulation preview of the Pose Editor scene and its links; it
    // builds its own runtime rig and changes nothing of the document.
    virtual void RunTestBonesDialog(const CanvasDocument& poseScene, const std::vector<JointLink>& links) {
        (void)poseScene, (void)links;
    }
    // --- end modal dialogs ---
};

// The Pose Editor's document operations, provided by the posable subsystem.
class DocumentPoseEditor {
public:
    virtual ~DocumentPoseEditor() = default;
    // Writes the Pose Editor scene back into its main-scene object and leaves
    // the Pose Editor; false when nothing was open or the write-back failed.
    virtual bool FinishBoneEditor(CQuillfenEditorDoc& doc) = 0;

    // --- Entering the Pose Editor and building multi-part objects ---
    // Opens the main scene's primary object in the Pose Editor (mode 1);
    // false outside the canvas or without a primary object.
    virtual bool EnterBoneEditor(CQuillfenEditorDoc& doc) {
        (void)doc;
        return false;
    }
    virtual bool CanCreateMultiObject(const CQuillfenEditorDoc& doc) const {
        (void)doc;
        return false;
    }
    virtual void CreateMultiObject(CQuillfenEditorDoc& doc) { (void)doc; }
    // --- end Pose Editor entry ---
};

// --- The smart-fill session, provided by the selection subsystem ---
// The fields of an inpaint session that the source commands work on; a null
// mask is an empty one.
struct InpaintSourceAccess {
    bool active = false;
    int32_t cropWidth = 0, cropHeight = 0;
    uint8_t* hole = nullptr;
    int64_t holeStride = 0;
    uint8_t* source = nullptr;
    int64_t sourceStride = 0;
    const uint8_t* alpha = nullptr;
    int64_t alphaStride = 0;
    bool* eraseFlag = nullptr;  // set: the inpaint brush removes from the source
};

class DocumentInpaint {
public:
    virtual ~DocumentInpaint() = default;
    // A new session record: inactive, empty images, brush radius 24.
    virtual std::shared_ptr<InpaintSession> CreateSession() = 0;
    // Fills the session from the document's active paint session and the main
    // scene's pixel selection; false when it cannot.
    virtual bool Begin(InpaintSession& session, CQuillfenEditorDoc& doc) = 0;
    // The session's crop size, masks and erase flag; false when it has none.
    virtual bool Access(InpaintSession& session, InpaintSourceAccess& out) = 0;
};
// --- end smart-fill session ---
