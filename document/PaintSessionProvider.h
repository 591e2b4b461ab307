#pragma once
// The paint session of a view and how the document finds it.
//
// A canvas view that paints on one of the document's scenes keeps a
// DocumentEditSession open; while it is open the view registers it in
// CQuillfenEditorDoc::paintSession (not owned), and the document ends it on
// mode changes, New and Open. Undo and Redo step through the stroke history
// of the session the installed PaintSessionProvider names (installed with
// CQuillfenEditorDoc::SetPaintSessionProvider; null: no view paints).
#include <cstdint>
#include <string>

#include "scene/PixelOps.h"

class CQuillfenEditorDoc;

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
    // True when the session edits the object's mask rather than its pixels
    // (pixel copy and Split Bitmap do not apply then).
    virtual bool EditsMask() const { return false; }
    // False when the session has no working surface.
    virtual bool GetWorkingSurface(WorkingSurface& out) const {
        (void)out;
        return false;
    }
    // Erases the pixels under the scene's pixel selection as one stroke of
    // the session's own history.
    virtual void EraseSelection(CQuillfenEditorDoc& doc) { (void)doc; }
    // The pixels views draw for the session, writable for a live preview
    // that is not part of the painting (an adjustment dialog's): the
    // previewer writes over them and puts them back itself. False when the
    // session has none.
    struct PreviewSurface {
        uint8_t* pixels = nullptr;
        int width = 0, height = 0;
        int64_t stride = 0;
    };
    virtual bool GetPreviewSurface(PreviewSurface& out) {
        (void)out;
        return false;
    }
    // --- end paint session services ---
};

class PaintSessionProvider {
public:
    virtual ~PaintSessionProvider() = default;
    // The active session of the hosted canvas layout view or Pose Editor
    // view, or null. Sessions of other views never take Undo and Redo.
    virtual DocumentEditSession* FindPaintingView() = 0;
};
