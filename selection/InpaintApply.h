#pragma once
// Apply and Cancel of the inpaint workspace. Apply runs the fill on a worker
// (through a runner the window library provides: the progress dialog) and,
// when it succeeds and was not cancelled, writes the result into the object
// as one undo step and returns to the canvas. The worker only ever reads its
// own copies of the session's images and writes its own output buffer; the
// user-interface thread copies that buffer into the session and the document
// after the worker has finished.
#include "selection/InpaintFill.h"

#include <opencv2/core.hpp>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

class Bitmap;
class BitmapPaintSession;
class CQuillfenEditorDoc;
class InpaintSession;

inline constexpr const char* kInpaintApplyFailed =
    "Inpaint failed \xE2\x80\x94 the engine couldn't synthesise a fill with the current source mask. Try expanding "
    "the source region or cancelling and starting over.";

using InpaintFillFunction = InpaintResult (*)(const InpaintPlane&, const InpaintPlane&, const InpaintPlane*,
                                              const InpaintOutput&, const std::atomic<bool>*, const InpaintOptions&);

// The fill of one Apply.
class InpaintApplyJob {
public:
    explicit InpaintApplyJob(InpaintFillFunction fill = &InpaintFill) : fill_(fill) {}
    // Large copies are freed on a thread of their own: a cancel at the largest
    // image would otherwise keep the user-interface thread unmapping them.
    ~InpaintApplyJob();
    InpaintApplyJob(const InpaintApplyJob&) = delete;
    InpaintApplyJob& operator=(const InpaintApplyJob&) = delete;
    // User-interface thread: copies the session's inputs; false when the
    // session is not active, names no object or lacks an image or mask.
    bool Prepare(const InpaintSession& session);
    // Worker thread: fills into the job's own buffer; true when it filled.
    bool Run(const std::atomic<bool>* cancel);
    InpaintResult Result() const { return result_; }
    bool Ran() const { return ran_; }
    // User-interface thread, after a successful Run: the session shows the
    // filled image and the document holds the pixels to write into the object
    // (the painted pixels with the filled hole) at the crop's place.
    void Deliver(InpaintSession& session, CQuillfenEditorDoc& doc) const;

private:
    InpaintFillFunction fill_;
    cv::Mat pixels_, hole_, source_, layer_, output_;
    int32_t x_ = 0, y_ = 0;
    std::string objectId_;
    bool prepared_ = false;
    bool ran_ = false;
    InpaintResult result_ = InpaintResult::Failed;
};

// Runs a task that polls the cancel flag, modally, and returns true only when
// the task returned true and the user did not cancel; cancelled tells whether
// the user did.
using InpaintTask = std::function<bool(const std::atomic<bool>& cancel)>;
using InpaintTaskRunner = std::function<bool(const InpaintTask& task, bool& cancelled)>;

enum class InpaintApplyOutcome {
    Left,       // no active session, or not in the inpaint workspace: back to the canvas
    Cancelled,  // the user cancelled: the workspace stays as it was
    Failed,     // the fill failed (the user was told): the workspace stays
    Applied,    // the result is in the object; back to the canvas
};

// The right pane's Apply. The job's fill function is for tests.
InpaintApplyOutcome ApplyInpaint(CQuillfenEditorDoc& doc, const InpaintTaskRunner& runner,
                                 InpaintFillFunction fill = &InpaintFill);
// The right pane's Cancel: the session and any pending result are dropped and
// the canvas is shown again.
void CancelInpaint(CQuillfenEditorDoc& doc);
// Writes the document's pending fill result into the object through a paint
// session on it (the given one when it is open on that object), as one edit
// of that session, and forgets the result. Without an open session on the
// object it opens one, writes and commits: one undo step of the document.
// False when nothing was written; a result that could not be stored stays
// pending. `encoder` stores the object for a session opened here (the usual
// PNG encoder when null).
bool WritePendingInpaintResult(CQuillfenEditorDoc& doc, BitmapPaintSession* open = nullptr,
                               bool (*encoder)(const Bitmap&, std::vector<uint8_t>&) = nullptr);
