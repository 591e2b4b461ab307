#pragma once
// The live preview behind the adjustment dialogs: it takes a snapshot of the
// target (the open paint session's object, the mask being edited, or the
// first image of the selected bitmap object), shows an adjustment of that
// snapshot on the canvas on every Apply (always from the snapshot, so steps
// never accumulate), and either restores the snapshot or writes the result
// into the document as one undo step.
#include "document/PaintSessionProvider.h"
#include "platform/Bitmap.h"
#include "scene/PixelOps.h"

#include <cstdint>
#include <string>
#include <vector>

class CQuillfenEditorDoc;

// The two forms of an adjustment: over 32-bit pixels and over 8-bit planes.
struct EffectPixelOps {
    PixelOp32 op32 = nullptr;
    PixelOp8 op8 = nullptr;
};

enum EffectPreviewMode : int {
    kPreviewNone = 0,
    kPreviewPaintSession = 1,
    kPreviewMask = 2,
    kPreviewBitmap = 3,
};

// How a commit ended.
enum class PreviewCommit {
    Done,          // written as one undo step (or, for a paint session, one of its strokes)
    Failed,        // the result could not be encoded: nothing written, still open
    NotOpen,       // there was nothing to commit
};

class EffectPreviewSession {
public:
    using PngEncoder = bool (*)(const Bitmap& bitmap, std::vector<uint8_t>& out);

    ~EffectPreviewSession() = default;

    // Takes the target of the single selected main-scene object; false when
    // already open, when not exactly one object is selected, or the object
    // has nothing to adjust (no bitmap, an undecodable image).
    bool Open(CQuillfenEditorDoc& doc);
    bool IsOpen() const { return open_; }
    int Mode() const { return mode_; }
    const std::string& ObjectId() const { return objectId_; }

    // Shows the adjustment of the snapshot on the canvas.
    void Apply(const EffectPixelOps& ops, const void* params);
    // Puts the snapshot back and closes.
    void Restore();
    // Writes the adjustment of the snapshot into the document. On Failed the
    // target still shows the last preview and the session stays open, so the
    // user can try again or cancel.
    PreviewCommit Commit(const EffectPixelOps& ops, const void* params);
    // Forgets everything without restoring.
    void Reset();

    // The encoder of bitmap commits (tests replace it to make encoding fail).
    void SetEncoder(PngEncoder encoder) { encoder_ = encoder ? encoder : EncodeBitmapToPng; }

private:
    // The rectangle of the target to process and the selection weights for
    // it (null: the whole rectangle at full weight); false when the
    // selection leaves nothing to process.
    bool TargetRect(int width, int height, bool aligned, int& x, int& y, int& w, int& h,
                    std::vector<uint8_t>& weights, const uint8_t*& selection) const;
    bool ObjectAligned(int width, int height) const;
    void ApplyMask(const EffectPixelOps& ops, const void* params, std::vector<uint8_t>& plane) const;
    bool ApplyBitmap(const EffectPixelOps& ops, const void* params, Bitmap& target) const;
    // The open paint session's preview surface when it still has the
    // snapshot's size; null otherwise.
    DocumentEditSession* PaintSurface(DocumentEditSession::PreviewSurface& surface) const;
    void PutBackPaintSnapshot();

    bool open_ = false;
    int mode_ = kPreviewNone;
    CQuillfenEditorDoc* doc_ = nullptr;
    std::string objectId_;
    std::string partId_;
    std::vector<uint8_t> paintSnapshot_;
    int64_t paintStride_ = 0;
    int paintWidth_ = 0, paintHeight_ = 0;
    std::vector<uint8_t> maskSnapshot_;
    int maskWidth_ = 0, maskHeight_ = 0;
    BitmapPtr source_;
    BitmapPtr working_;
    PngEncoder encoder_ = EncodeBitmapToPng;
};
