#include "InpaintFixture.h"

#include "scene/SelectionMask.h"

#include <atomic>

namespace {

// Runs the task on the calling thread, as the progress dialog would on its worker.
InpaintTaskRunner DirectRunner(bool cancelAfter = false) {
    return [cancelAfter](const InpaintTask& task, bool& cancelled) {
        std::atomic<bool> cancel{false};
        const bool ok = task(cancel);
        cancelled = cancelAfter;
        return ok && !cancelAfter;
    };
}

InpaintResult FailingFill(const InpaintPlane&, const InpaintPlane&, const InpaintPlane*, const InpaintOutput&,
                          const std::atomic<bool>*, const InpaintOptions&) {
    return InpaintResult::Failed;
}

}  // namespace

TEST(InpaintSession, BeginBuildsTheCropHoleAndSource) {
    InpaintEnv env;
    // A feathered selection (128) that reaches past the object's right edge.
    InpaintSession* s = env.Start(56, 20, 20, 10, 128);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(env.host.modeSwitches, (std::vector<int>{kWorkspaceInpaint}));
    EXPECT_EQ(env.doc.paintSession, nullptr);  // committed and closed
    EXPECT_EQ(s->objectId, "obj");
    EXPECT_EQ((std::vector<int>{s->cropX, s->cropY, s->cropWidth, s->cropHeight}), (std::vector<int>{16, 12, 48, 40}));
    int holes = 0, sources = 0;
    for (int y = 0; y < s->cropHeight; ++y)
        for (int x = 0; x < s->cropWidth; ++x) {
            const bool inSel = x + 16 >= 56 && y + 12 >= 20 && y + 12 < 30;
            ASSERT_EQ(s->hole.at<uint8_t>(y, x), inSel ? 128 : 0) << x << "," << y;
            ASSERT_EQ(s->source.at<uint8_t>(y, x), inSel ? 0 : 255);
            holes += s->hole.at<uint8_t>(y, x) != 0;
            sources += s->source.at<uint8_t>(y, x) != 0;
        }
    EXPECT_EQ(holes, 8 * 10);
    EXPECT_EQ(sources, 48 * 40 - 80);
    // The source brush: radius 1 covers the pixel and its four neighbours.
    s->ClearSource();
    s->brushRadius = 1;
    s->PaintSourceMask(0, 0);
    EXPECT_EQ(cv::countNonZero(s->source), 3);  // clipped at the corner
    s->erase = true;
    s->PaintSourceMask(0, 0);
    EXPECT_EQ(cv::countNonZero(s->source), 0);
}

TEST(InpaintSession, BeginRefusals) {
    InpaintEnv env;
    InpaintSession session;
    EXPECT_FALSE(session.Begin(env.doc));  // no paint session
    ASSERT_TRUE(env.paint.Begin(env.doc, "obj", false));
    EXPECT_FALSE(session.Begin(env.doc));  // no selection
    SelectRect(env.doc.mainScene, 0, 0, 4, 4);
    env.doc.mainScene.FindObject("obj")->x = 200;  // wholly outside the canvas
    EXPECT_FALSE(session.Begin(env.doc));
    EXPECT_FALSE(session.active);
}

TEST(InpaintSession, ApplyWritesTheFillIntoTheObjectAsOneUndoStep) {
    InpaintEnv env;
    InpaintSession* s = env.Start(30, 24, 12, 10);
    ASSERT_NE(s, nullptr);
    const size_t steps = env.doc.mainUndo.undo.size();
    BitmapPtr before = PictureOf(env.Obj());
    EXPECT_EQ(ApplyInpaint(env.doc, DirectRunner()), InpaintApplyOutcome::Applied);
    EXPECT_EQ(env.doc.inpaintSession, nullptr);
    EXPECT_EQ(env.doc.workspaceMode, kWorkspaceCanvas);
    EXPECT_TRUE(env.doc.pendingInpaint.objectId.empty());
    EXPECT_EQ(env.doc.mainUndo.undo.size(), steps + 1);
    BitmapPtr after = PictureOf(env.Obj());
    ASSERT_TRUE(after && before);
    ASSERT_EQ(after->Width(), 48);
    int blob = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 48; ++x) {
            const bool inHole = x >= 14 && x < 26 && y >= 12 && y < 22;
            if (!inHole) ASSERT_EQ(after->Pixel(x, y), before->Pixel(x, y)) << x << "," << y;
            else blob += after->Pixel(x, y) == kBlob;
        }
    EXPECT_EQ(blob, 0);  // the blob inside the hole is gone
    EXPECT_EQ(before->Pixel(20, 16), kBlob);
    env.doc.OnEditUndo();
    EXPECT_EQ(PictureOf(env.Obj())->Pixel(20, 16), before->Pixel(20, 16));
}

TEST(InpaintSession, FailureAndCancelLeaveTheWorkspaceAsItWas) {
    struct Case {
        const char* name;
        InpaintTaskRunner runner;
        InpaintFillFunction fill;
        InpaintApplyOutcome outcome;
        bool message;
    };
    const Case cases[] = {
        {"engine failure", DirectRunner(), &FailingFill, InpaintApplyOutcome::Failed, true},
        {"cancel after the fill succeeded", DirectRunner(true), &InpaintFill, InpaintApplyOutcome::Cancelled, false},
        {"worker never ran", [](const InpaintTask&, bool& c) { return c = false; }, &InpaintFill,
         InpaintApplyOutcome::Failed, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InpaintEnv env;
        InpaintSession* s = env.Start(30, 24, 12, 10);
        ASSERT_NE(s, nullptr);
        const cv::Mat display = s->display.clone();
        const size_t steps = env.doc.mainUndo.undo.size();
        EXPECT_EQ(ApplyInpaint(env.doc, c.runner, c.fill), c.outcome);
        EXPECT_EQ(GetActiveInpaintSession(env.doc), s);
        EXPECT_EQ(env.doc.workspaceMode, kWorkspaceInpaint);
        EXPECT_EQ(cv::norm(display, s->display, cv::NORM_INF), 0.0);
        EXPECT_TRUE(env.doc.pendingInpaint.pixels.empty());
        EXPECT_EQ(env.doc.mainUndo.undo.size(), steps);
        const std::vector<std::string> texts = env.host.prompts.MessageTexts();
        if (c.message) {
            ASSERT_EQ(texts.size(), 1u);
            EXPECT_EQ(texts[0], kInpaintApplyFailed);
            EXPECT_NE(texts[0].find("\xE2\x80\x94"), std::string::npos);
        } else {
            EXPECT_TRUE(texts.empty());
        }
    }
}

TEST(InpaintSession, CancelDropsTheSessionAndAnyPendingResult) {
    InpaintEnv env;
    ASSERT_NE(env.Start(30, 24, 12, 10), nullptr);
    env.doc.pendingInpaint.pixels = cv::Mat(2, 2, CV_8UC4, cv::Scalar(1, 2, 3, 255));
    env.doc.pendingInpaint.objectId = "obj";
    CancelInpaint(env.doc);
    EXPECT_EQ(env.doc.inpaintSession, nullptr);
    EXPECT_TRUE(env.doc.pendingInpaint.pixels.empty());
    EXPECT_EQ(env.doc.workspaceMode, kWorkspaceCanvas);
    // A later paint session finds nothing to write.
    EXPECT_FALSE(WritePendingInpaintResult(env.doc, &env.paint));
}

// A pending fill that cannot be written says why and loses nothing: a
// painting on another object whose commit fails keeps its session (and the
// fill stays pending); a filled object that is gone is said, not only logged.
TEST(InpaintSession, APendingFillThatCannotBeWrittenSaysWhy) {
    struct Case {
        const char* name;
        std::string target;
        bool otherCommitFails;
        const char* said;
    };
    const Case cases[] = {
        {"commit of another object's painting fails", "obj", true, "could not be stored"},
        {"filled object gone", "gone", false, "the fill was not written"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InpaintEnv env;
        AddTo(env.doc.mainScene, "layer_1", MakeSolidObject("other", "Other", 70, 50, 20, 20, 0xFF00FF00));
        if (c.otherCommitFails) {
            ASSERT_TRUE(env.paint.Begin(env.doc, "other", false));
            ASSERT_TRUE(env.paint.WritePixels(72, 52, 1, 1, reinterpret_cast<const uint8_t*>(&kBlob), 4));
            env.paint.SetEncoder([](const Bitmap&, std::vector<uint8_t>&) { return false; });
        }
        const std::vector<uint8_t> picture = env.Obj().parts.front().encoded;
        env.doc.pendingInpaint.pixels = cv::Mat(2, 2, CV_8UC4, cv::Scalar(1, 2, 3, 255));
        env.doc.pendingInpaint.objectId = c.target;
        EXPECT_FALSE(WritePendingInpaintResult(env.doc));
        EXPECT_EQ(env.Obj().parts.front().encoded, picture);
        const std::vector<std::string> texts = env.host.prompts.MessageTexts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_NE(texts[0].find(c.said), std::string::npos);
        EXPECT_EQ(env.paint.IsActive(), c.otherCommitFails);
        EXPECT_EQ(env.doc.paintSession, c.otherCommitFails ? &env.paint : nullptr);
        EXPECT_EQ(env.doc.pendingInpaint.pixels.empty(), !c.otherCommitFails);
    }
}

TEST(InpaintSession, AFillWhoseObjectCannotBeStoredStaysPending) {
    InpaintEnv env;
    const std::vector<uint8_t> picture = env.Obj().parts.front().encoded;
    const size_t steps = env.doc.mainUndo.undo.size();
    env.doc.pendingInpaint.pixels = cv::Mat(2, 2, CV_8UC4, cv::Scalar(1, 2, 3, 255));
    env.doc.pendingInpaint.objectId = "obj";
    EXPECT_FALSE(WritePendingInpaintResult(env.doc, nullptr, [](const Bitmap&, std::vector<uint8_t>&) { return false; }));
    EXPECT_EQ(env.Obj().parts.front().encoded, picture);
    EXPECT_EQ(env.doc.mainUndo.undo.size(), steps);
    EXPECT_EQ(env.doc.paintSession, nullptr);
    EXPECT_FALSE(env.doc.pendingInpaint.pixels.empty());
    EXPECT_EQ(env.doc.pendingInpaint.objectId, "obj");
    EXPECT_EQ(env.host.prompts.MessageTexts().size(), 1u);
    // Once storing works again the pending fill is written.
    EXPECT_TRUE(WritePendingInpaintResult(env.doc));
    EXPECT_NE(env.Obj().parts.front().encoded, picture);
}

TEST(InpaintSession, RotatedObjectHoleIsFilledCompletely) {
    InpaintEnv env(30.0f);
    // The whole canvas is selected: every visible pixel of the object is hole.
    InpaintSession* s = env.Start(0, 0, 96, 72);
    ASSERT_NE(s, nullptr);
    const SceneRect b = env.Obj().GetBounds();
    EXPECT_LE(s->cropX, int(b.x));
    EXPECT_GE(s->cropX + s->cropWidth, int(b.x + b.width));
    EXPECT_GT(s->cropWidth, 48);  // the rotated outline is wider than the object
    // Every opaque pixel of the object on the canvas is in the hole.
    ASSERT_TRUE(env.paint.Begin(env.doc, "obj", false));
    DocumentEditSession::WorkingSurface surface;
    ASSERT_TRUE(env.paint.GetWorkingSurface(surface));
    int visible = 0;
    for (int y = 0; y < surface.height; ++y)
        for (int x = 0; x < surface.width; ++x) visible += surface.pixels[y * surface.stride + x * 4 + 3] != 0;
    env.paint.Cancel(env.doc);
    EXPECT_EQ(cv::countNonZero(s->hole), visible);
    EXPECT_EQ(ApplyInpaint(env.doc, DirectRunner()), InpaintApplyOutcome::Applied);
}
