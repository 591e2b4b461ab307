// Finishing the Pose Editor in the running application: a failure is said
// and keeps the Pose Editor open; a success is one undo step on the canvas
// that gives back the object exactly; the object keeps its place; painting
// in a part is undone stroke by stroke before the bone edits.
#include "app/ui/CMainFrame.h"
#include "app/ui/CQuillfenEditorApp.h"
#include "brushes/BitmapPaintSession.h"
#include "document/ClipboardFormats.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentCommands.h"
#include "platform/Clipboard.h"
#include "platform/Profile.h"
#include "platform/Prompts.h"
#include "posable/PoseEditorGeometry.h"
#include "posable/ui/CPosableImageEditorView.h"
#include "tests/app/ui/TestEditorApp.h"
#include "tests/posable/PosableFixtures.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A 200 x 160 picture whose opaque middle leaves a transparent margin of 13
// pixels on the left and top and 20 on the right and bottom.
uint32_t MarginPicture(int x, int y) {
    if (x < 13 || y < 13 || x >= 180 || y >= 140) return 0;
    return 0xFF000000u | (uint32_t(40 + x) << 16) | (uint32_t(30 + y) << 8) | 0x60u;
}

struct App : TestEditorApp {
    App() : TestEditorApp({"plindrow"}) {
        CanvasObject o = posable_test::PictureObject("object_1", 300, 200, 200, 160, MarginPicture);
        EXPECT_TRUE(doc->mainScene.AddObjectToLayer(*doc->mainScene.FindLayer("layer_1"), o));
        doc->mainScene.SelectObject("object_1");
    }
    ScriptedPrompts& Prompts() { return *static_cast<ScriptedPrompts*>(app.GetPrompts()); }
    CanvasObject& Object() { return *doc->mainScene.FindObject("object_1"); }
    std::vector<uint8_t> Saved() { return WriteObjectPayload(Object()); }
    CPosableImageEditorView* View() {
        return dynamic_cast<CPosableImageEditorView*>(app.MainFrame()->GetWorkspaceView());
    }
    CanvasObject* Part() { return doc->poseScene.FindObject("object_1_item"); }
    CPosableImageEditorView* Enter() {
        EXPECT_TRUE(app.Commands().Execute(kCmdGoToBoneEditor));
        CPosableImageEditorView* view = View();
        EXPECT_NE(view, nullptr);
        if (view) view->resize(900, 700);
        QCoreApplication::processEvents();
        return view;
    }
    void AddTwoBones() {
        CanvasObject* part = Part();
        ASSERT_NE(part, nullptr);
        const std::vector<Bone> before = part->bones;
        std::vector<Bone> after{posable_test::MakeBone("bone_1", 0.2f, 0.5f, 0.5f, 0.5f),
                                posable_test::MakeBone("bone_2", 0.5f, 0.5f, 0.8f, 0.5f)};
        part->bones = after;
        doc->SetBoneDefinitions(part->id, before, after);
    }
    void Finish() {
        ASSERT_TRUE(app.Commands().Execute(kCmdFinishBoneEditor));
        QCoreApplication::processEvents();
        ASSERT_EQ(doc->workspaceMode, kWorkspaceCanvas);
    }
    QPoint AtPart(float u, float v) {
        const PointF p = PartPointToView(*Part(), u, v, View()->View());
        return QPoint(int(std::lround(p.x)), int(std::lround(p.y)));
    }
    void Stroke(float u0, float u1, float v) {
        CPosableImageEditorView* view = View();
        const QPoint a = AtPart(u0, v), b = AtPart(u1, v);
        view->OnMouseMove(0, a);
        view->OnLButtonDown(1, a);
        view->OnMouseMove(1, QPoint((a.x() + b.x()) / 2, a.y()));
        view->OnMouseMove(1, b);
        view->OnLButtonUp(0, b);
    }
};

// The canvas rectangle the object's opaque pixels cover.
struct Box {
    double left, top, right, bottom;
};
Box OpaqueBox(CanvasObject& o) {
    BitmapPtr picture = o.ComposeBitmap();
    EXPECT_TRUE(picture);
    if (!picture) return {};
    int x0 = picture->Width(), y0 = picture->Height(), x1 = -1, y1 = -1;
    for (int y = 0; y < picture->Height(); ++y)
        for (int x = 0; x < picture->Width(); ++x)
            if ((picture->Pixel(x, y) >> 24) > 128) {
                x0 = std::min(x0, x), y0 = std::min(y0, y);
                x1 = std::max(x1, x), y1 = std::max(y1, y);
            }
    const double kx = o.width / picture->Width(), ky = o.height / picture->Height();
    return {o.x + x0 * kx, o.y + y0 * ky, o.x + (x1 + 1) * kx, o.y + (y1 + 1) * ky};
}

}  // namespace

// Finish of a rigged object with nothing to show fails: the menu command and the button
// each say why once, and the Pose Editor stays open with the object, the
// part's scene and the canvas history as they were.
TEST(PoseEditorFinish, AFailureSaysWhyAndKeepsThePoseEditor) {
    for (const bool button : {false, true}) {
        SCOPED_TRACE(button ? "button" : "menu command");
        App t;
        const std::vector<uint8_t> object = t.Saved();
        CPosableImageEditorView* view = t.Enter();
        ASSERT_NE(view, nullptr);
        t.AddTwoBones();
        t.Part()->visible = false;  // the object's only part hidden
        const size_t poseSteps = t.doc->poseUndo.undo.size();
        t.Prompts().ClearRecords();
        if (button) {
            view->OnLButtonDown(1, QPoint(view->width() - 20 - 14 - 46, 14 + 17));
        } else {
            t.app.Commands().Execute(kCmdFinishBoneEditor);
        }
        QCoreApplication::processEvents();
        ASSERT_EQ(t.Prompts().MessageTexts().size(), 1u);
        EXPECT_NE(t.Prompts().MessageTexts()[0].find("visible"), std::string::npos);
        EXPECT_EQ(t.doc->workspaceMode, kWorkspacePoseEditor);
        EXPECT_EQ(t.doc->poseEditorObjectId, "object_1");
        EXPECT_EQ(t.View(), view);
        EXPECT_EQ(t.doc->poseUndo.undo.size(), poseSteps);
        EXPECT_EQ(t.Saved(), object);
        EXPECT_TRUE(t.doc->mainUndo.undo.empty());
        // Shown again, the part finishes.
        ASSERT_NE(t.Part(), nullptr);
        EXPECT_FALSE(t.Part()->visible);
        t.Part()->visible = true;
        t.Finish();
    }
}

// After an older whole-object step (a stroke on the canvas) or a move, the
// Pose Editor with two bones and Finish: Ctrl+Z gives back the object exactly
// as it was before the Pose Editor, Ctrl+Y exactly as Finish made it, and the
// older step then undoes on the object it was made for.
TEST(PoseEditorFinish, UndoAndRedoRoundTripTheObject) {
    enum Earlier { kCanvasStroke, kMove };
    for (const Earlier earlier : {kCanvasStroke, kMove}) {
        SCOPED_TRACE(earlier == kCanvasStroke ? "after a canvas stroke" : "after a move");
        App t;
        const std::vector<uint8_t> original = t.Saved();
        if (earlier == kCanvasStroke) {
            CanvasObject& o = t.Object();
            const ObjectTransform same{o.x, o.y, o.width, o.height, o.rotation, o.opacity};
            t.doc->ReplaceObjectBitmap("object_1", posable_test::PngOf(200, 160, [](int x, int y) {
                return (x - 100) * (x - 100) + (y - 80) * (y - 80) < 400 ? 0xFF2040E0u : MarginPicture(x, y);
            }), 200, 160, same, false, {});
        } else {
            CanvasObject& o = t.Object();
            const ObjectTransform before{o.x, o.y, o.width, o.height, o.rotation, o.opacity};
            ObjectTransform after = before;
            after.x += 150;
            after.y -= 40;
            after.width = 260;
            after.height = 260;
            t.doc->mainScene.SetObjectTransform("object_1", after);
            t.doc->CommitObjectTransform("object_1", before, after);
        }
        ASSERT_EQ(t.doc->mainUndo.undo.size(), 1u);
        const std::vector<uint8_t> beforeEditor = t.Saved();
        ASSERT_NE(t.Enter(), nullptr);
        t.AddTwoBones();
        t.Finish();
        ASSERT_EQ(t.Object().kind, kObjectPosable);
        ASSERT_EQ(t.Object().posableScene.parts.size(), 1u);
        ASSERT_EQ(t.Object().posableScene.parts[0].bones.size(), 2u);
        const std::vector<uint8_t> finished = t.Saved();
        ASSERT_EQ(t.doc->mainUndo.undo.size(), 2u);

        t.doc->OnEditUndo();
        EXPECT_EQ(t.Saved(), beforeEditor);
        t.doc->OnEditRedo();
        EXPECT_EQ(t.Saved(), finished);
        t.doc->OnEditUndo();
        t.doc->OnEditUndo();
        EXPECT_EQ(t.Saved(), original);
        t.doc->OnEditRedo();
        t.doc->OnEditRedo();
        EXPECT_EQ(t.Saved(), finished);
    }
}

// Painting inside the part trims it to its painted bounds; after Finish the
// object's pixels stay where they were on the canvas. Opening and finishing
// without a change records nothing.
TEST(PoseEditorFinish, TheObjectStaysWhereItsPixelsWere) {
    App t;
    const Box before = OpaqueBox(t.Object());
    ASSERT_NE(t.Enter(), nullptr);
    t.doc->SetActiveTool(kToolPaintBrush);
    ASSERT_TRUE(t.View()->PaintSession().IsActive());
    t.Stroke(0.4f, 0.6f, 0.5f);
    t.doc->SetActiveTool(kToolMove);
    ASSERT_FALSE(t.View()->PaintSession().IsActive());
    ASSERT_NE(t.Part(), nullptr);
    EXPECT_LT(t.Part()->width, 200);  // trimmed to the opaque pixels
    t.Finish();
    const Box after = OpaqueBox(t.Object());
    EXPECT_NEAR(after.left, before.left, 1.0);
    EXPECT_NEAR(after.top, before.top, 1.0);
    EXPECT_NEAR(after.right, before.right, 1.0);
    EXPECT_NEAR(after.bottom, before.bottom, 1.0);
    ASSERT_EQ(t.doc->mainUndo.undo.size(), 1u);

    // The object is posable now: opened and finished untouched, it stays so
    // exactly, with no step and no change.
    const std::vector<uint8_t> posable = t.Saved();
    ASSERT_NE(t.Enter(), nullptr);
    t.Finish();
    EXPECT_EQ(t.Saved(), posable);
    EXPECT_EQ(t.doc->mainUndo.undo.size(), 1u);
}

// While a paint session is open on a part, Ctrl+Z and Ctrl+Y step through
// its strokes first; only with no stroke left do they reach the bone edits.
TEST(PoseEditorFinish, PaintingInAPartIsUndoneStrokeByStroke) {
    App t;
    ASSERT_NE(t.Enter(), nullptr);
    t.AddTwoBones();
    ASSERT_EQ(t.doc->poseUndo.undo.size(), 1u);
    t.doc->SetActiveTool(kToolPaintBrush);
    BitmapPaintSession& session = t.View()->PaintSession();
    ASSERT_TRUE(session.IsActive());
    t.Stroke(0.3f, 0.4f, 0.3f);
    t.Stroke(0.3f, 0.4f, 0.7f);
    ASSERT_TRUE(t.doc->CanUndo());

    t.doc->OnEditUndo();  // the second stroke goes
    EXPECT_TRUE(session.IsActive());
    EXPECT_TRUE(session.CanUndoStroke());
    EXPECT_TRUE(session.CanRedoStroke());
    EXPECT_EQ(t.Part()->bones.size(), 2u);
    EXPECT_EQ(t.doc->poseUndo.undo.size(), 1u);
    t.doc->OnEditRedo();  // and comes back
    EXPECT_FALSE(session.CanRedoStroke());
    t.doc->OnEditUndo();
    t.doc->OnEditUndo();  // the first stroke goes
    EXPECT_FALSE(session.CanUndoStroke());
    EXPECT_EQ(t.Part()->bones.size(), 2u);

    t.doc->OnEditUndo();  // no stroke left: the bone edit
    QCoreApplication::processEvents();
    ASSERT_NE(t.Part(), nullptr);
    EXPECT_TRUE(t.Part()->bones.empty());
    t.doc->OnEditRedo();
    QCoreApplication::processEvents();
    EXPECT_EQ(t.Part()->bones.size(), 2u);
}
