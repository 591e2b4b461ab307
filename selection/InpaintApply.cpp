#include "selection/InpaintApply.h"

#include "brushes/BitmapPaintSession.h"
#include "document/CQuillfenEditorDoc.h"
#include "platform/Log.h"
#include "platform/Prompts.h"
#include "selection/InpaintEngine.h"
#include "selection/InpaintSession.h"

#include <new>

namespace {

bool SameSize(const cv::Mat& m, const InpaintSession& s, int type) {
    return !m.empty() && m.type() == type && m.cols == s.cropWidth && m.rows == s.cropHeight;
}

}  // namespace

InpaintApplyJob::~InpaintApplyJob() {
    size_t bytes = 0;
    for (const cv::Mat* m : {&pixels_, &hole_, &source_, &layer_, &output_}) bytes += m->total() * m->elemSize();
    if (bytes < (size_t(64) << 20)) return;
    struct Buffers {
        cv::Mat pixels, hole, source, layer, output;
    };
    InpaintReleaseLater(Buffers{std::move(pixels_), std::move(hole_), std::move(source_), std::move(layer_),
                                std::move(output_)});
}

bool InpaintApplyJob::Prepare(const InpaintSession& s) {
    prepared_ = false;
    result_ = InpaintResult::Failed;
    if (!s.active || s.objectId.empty() || !SameSize(s.unfilled, s, CV_8UC4) || !SameSize(s.hole, s, CV_8UC1) ||
        !SameSize(s.source, s, CV_8UC1))
        return false;
    try {
        pixels_ = s.unfilled.clone();
        hole_ = s.hole.clone();
        source_ = s.source.clone();
        layer_ = SameSize(s.layer, s, CV_8UC4) ? s.layer.clone() : s.unfilled.clone();
        output_.create(s.cropHeight, s.cropWidth, CV_8UC4);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const cv::Exception&) {
        return false;
    }
    x_ = s.cropX;
    y_ = s.cropY;
    objectId_ = s.objectId;
    prepared_ = true;
    return true;
}

bool InpaintApplyJob::Run(const std::atomic<bool>* cancel) {
    if (!prepared_ || !fill_) return false;
    const InpaintPlane pixels{pixels_.data, pixels_.cols, pixels_.rows, int64_t(pixels_.step[0])};
    const InpaintPlane hole{hole_.data, hole_.cols, hole_.rows, int64_t(hole_.step[0])};
    const InpaintPlane source{source_.data, source_.cols, source_.rows, int64_t(source_.step[0])};
    const InpaintOutput out{output_.data, output_.cols, output_.rows, int64_t(output_.step[0])};
    ran_ = true;
    result_ = fill_(pixels, hole, &source, out, cancel, InpaintOptions{});
    return result_ == InpaintResult::Filled;
}

void InpaintApplyJob::Deliver(InpaintSession& session, CQuillfenEditorDoc& doc) const {
    if (!prepared_ || result_ != InpaintResult::Filled) return;
    // Outside the hole the object keeps its painted pixels as they are.
    cv::Mat written = layer_.clone();
    output_.copyTo(written, hole_);
    if (session.active && session.display.size() == output_.size()) output_.copyTo(session.display);
    doc.pendingInpaint.pixels = std::move(written);
    doc.pendingInpaint.x = x_;
    doc.pendingInpaint.y = y_;
    doc.pendingInpaint.objectId = objectId_;
}

namespace {

void ReturnToCanvas(CQuillfenEditorDoc& doc) {
    if (DocumentHost* host = doc.Host()) host->SetWorkspaceMode(kWorkspaceCanvas);
    if (doc.workspaceMode != kWorkspaceCanvas) doc.SetEditorMode(kWorkspaceCanvas);
}

}  // namespace

InpaintApplyOutcome ApplyInpaint(CQuillfenEditorDoc& doc, const InpaintTaskRunner& runner, InpaintFillFunction fill) {
    if (doc.workspaceMode != kWorkspaceInpaint) {
        ReturnToCanvas(doc);
        return InpaintApplyOutcome::Left;
    }
    InpaintSession* session = GetActiveInpaintSession(doc);
    if (!session) {
        doc.inpaintSession.reset();
        ReturnToCanvas(doc);
        return InpaintApplyOutcome::Left;
    }
    InpaintApplyJob job(fill);
    bool ok = job.Prepare(*session);
    bool cancelled = false;
    if (ok) ok = runner ? runner([&job](const std::atomic<bool>& cancel) { return job.Run(&cancel); }, cancelled)
                        : job.Run(nullptr);
    if (cancelled) return InpaintApplyOutcome::Cancelled;
    if (!ok) {
        if (job.Ran() && job.Result() != InpaintResult::Filled) LogError(std::string("Inpaint: ") + InpaintResultText(job.Result()));
        if (Prompts* prompts = doc.Host() ? doc.Host()->GetPrompts() : nullptr) prompts->Warn(kInpaintApplyFailed);
        return InpaintApplyOutcome::Failed;
    }
    job.Deliver(*session, doc);
    doc.inpaintSession.reset();
    ReturnToCanvas(doc);
    WritePendingInpaintResult(doc);
    return InpaintApplyOutcome::Applied;
}

void CancelInpaint(CQuillfenEditorDoc& doc) {
    if (doc.workspaceMode == kWorkspaceInpaint) doc.inpaintSession.reset();
    doc.pendingInpaint = PendingInpaintResult{};
    ReturnToCanvas(doc);
}

bool WritePendingInpaintResult(CQuillfenEditorDoc& doc, BitmapPaintSession* open,
                               bool (*encoder)(const Bitmap&, std::vector<uint8_t>&)) {
    PendingInpaintResult pending = std::move(doc.pendingInpaint);
    doc.pendingInpaint = PendingInpaintResult{};
    const cv::Mat& px = pending.pixels;
    if (pending.objectId.empty() || px.empty() || px.type() != CV_8UC4) return false;
    auto write = [&](BitmapPaintSession& s) {
        return s.WritePixels(pending.x, pending.y, px.cols, px.rows, px.data, int32_t(px.step[0]));
    };
    if (open && open->IsActive() && open->PaintedObjectId() == pending.objectId && !open->EditsMask())
        return write(*open);
    // Another session open (on another object) is finished first, as a press on
    // another object would. One whose painting cannot be stored stays open (its
    // commit said why) and the fill stays pending, so neither is lost.
    if (!doc.CommitPaintSession()) {
        doc.pendingInpaint = std::move(pending);
        return false;
    }
    BitmapPaintSession session;
    session.SetEncoder(encoder);
    if (!session.Begin(doc, pending.objectId, false)) {
        const char* message = "The filled object is no longer in the picture; the fill was not written.";
        if (Prompts* prompts = doc.Host() ? doc.Host()->GetPrompts() : nullptr) prompts->Warn(message);
        else LogError(message);
        return false;
    }
    const bool written = write(session);
    session.Commit(doc);
    if (session.IsActive()) {
        // The object could not be stored (the commit said why): the object
        // stays as it was and the fill stays pending, so it is not lost.
        session.Cancel(doc);
        doc.pendingInpaint = std::move(pending);
        return false;
    }
    return written;
}
