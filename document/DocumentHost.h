#pragma once
// What the document asks of the windows and editors around it. The document
// lives in the core library and never sees a window: the main frame, the
// views and the Pose Editor implement these interfaces and hand them to it.
#include <cstdint>
#include <string>

class CQuillfenEditorDoc;
class Profile;
class Prompts;

// An editing session a view keeps open on one of the document's scenes (the
// paint session of a view). The view owns it; the document holds it, not
// owned, while it is registered, and ends it on mode changes, New and Open.
class DocumentEditSession {
public:
    virtual ~DocumentEditSession() = default;
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
};

// The Pose Editor's document operations, provided by the posable subsystem.
class DocumentPoseEditor {
public:
    virtual ~DocumentPoseEditor() = default;
    // Writes the Pose Editor scene back into its main-scene object and leaves
    // the Pose Editor; false when nothing was open or the write-back failed.
    virtual bool FinishBoneEditor(CQuillfenEditorDoc& doc) = 0;
};
