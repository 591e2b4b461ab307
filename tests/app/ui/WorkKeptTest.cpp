#include "tests/platform/ui/QtTestApp.h"
// Commands that need the painting in the model, run through the real frame
// and canvas view while a brush is still chosen: the file, the clipboard and
// the export get what was painted, and painting goes on afterwards in a
// session the document knows.
#include "app/ui/CMainFrame.h"
#include "app/ui/CQuillfenEditorApp.h"
#include "brushes/BitmapPaintSession.h"
#include "canvas_view/ui/CCanvasLayoutView.h"
#include "document/ClipboardFormats.h"
#include "document/CommandIds.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/CanvasCommands.h"
#include "document/DialogProvider.h"
#include "document/ProjectFile.h"
#include "platform/Clipboard.h"
#include "platform/Codecs.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/Prompts.h"
#include "platform/qt/CommandUi.h"
#include "posable/PoseEditorGeometry.h"
#include "posable/ui/CPosableImageEditorView.h"
#include "properties/ui/CPropNumericEdit.h"
#include "properties/ui/CPropTabs.h"
#include "properties/ui/CPropertiesPane.h"
#include "app/ui/CWorkspaceArea.h"
#include "brushes/StencilOverlay.h"

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Editor {
    CQuillfenEditorApp app;
    ScriptedPrompts* prompts = nullptr;
    MemoryClipboard* clipboard = nullptr;
    QTemporaryDir programDir, dir;
    CMainFrame* frame = nullptr;
    CQuillfenEditorDoc* doc = nullptr;
    bool ok = false;

    Editor() {
        EnsureQtApp();
        auto p = std::make_unique<ScriptedPrompts>();
        auto c = std::make_unique<MemoryClipboard>();
        prompts = p.get();
        clipboard = c.get();
        app.UseServices(std::make_unique<MemoryProfile>(), std::move(p), std::move(c));
        app.showMainWindow = false;
        app.programFolder = programDir.path().toStdString();
        testing::internal::CaptureStdout();
        ok = app.InitInstance({"plindrow"});
        testing::internal::GetCapturedStdout();
        if (!ok) return;
        frame = app.MainFrame();
        doc = app.Document();
        frame->resize(1200, 860);
        frame->LayoutNow();
        // A grey picture at the canvas origin to paint on.
        BitmapPtr grey = Bitmap::Create(200, 150);
        grey->Clear(0xFF808080);
        std::vector<uint8_t> png;
        EncodePng(*grey, png);
        const std::string path = dir.filePath("grey.png").toStdString();
        WriteFileAtomic(path, png);
        std::string error;
        ok = doc->ImportImageFiles(path, -1, -1, error);
    }
    ~Editor() {
        testing::internal::CaptureStdout();
        if (ok || frame) app.ExitInstance(0);
        testing::internal::GetCapturedStdout();
    }
    CCanvasLayoutView* View() const { return dynamic_cast<CCanvasLayoutView*>(frame->GetWorkspaceView()); }
    std::string ObjectId() const { return doc->mainScene.primarySelectedId; }
    void Settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
        frame->CommandUiBinding().UpdateNow();
    }
    void ChooseBrush() {
        frame->CommandUiBinding().Execute(kCmdToolPaintBrush, CommandUiKind::ToolbarButton);
        Settle();
    }
    QPoint Client(float x, float y) {
        const CanvasObject* o = doc->mainScene.FindObject(ObjectId());
        const RectF r = View()->GetCanvasScreenRect();
        return QPoint(int(std::lround(r.x + (o->x + x) * View()->Zoom())),
                      int(std::lround(r.y + (o->y + y) * View()->Zoom())));
    }
    // A red stroke across the object's top rows.
    void Stroke(float y) {
        frame->SetPaintColour(0xFFFF0000);
        View()->OnLButtonDown(MK_LBUTTON, Client(20, y));
        for (int x = 30; x <= 180; x += 10) View()->OnMouseMove(MK_LBUTTON, Client(float(x), y));
        View()->OnLButtonUp(0, Client(180, y));
        Settle();
    }
    // Opens the Pose Editor on the selected object; its view at a set size,
    // or null when it did not open.
    CPosableImageEditorView* OpenPoseEditorView() {
        frame->ActionFor(kCmdGoToBoneEditor)->trigger();
        Settle();
        auto* view = dynamic_cast<CPosableImageEditorView*>(frame->GetWorkspaceView());
        if (view) view->resize(900, 700);
        return view;
    }
    std::string PathFor(const char* name) const { return dir.filePath(name).toStdString(); }
    // A second grey picture beside the first, which stays the one selected.
    std::string AddSecondObject() {
        const std::string first = ObjectId();
        BitmapPtr grey = Bitmap::Create(80, 60);
        grey->Clear(0xFF808080);
        std::vector<uint8_t> png;
        EncodePng(*grey, png);
        const std::string path = dir.filePath("second.png").toStdString();
        WriteFileAtomic(path, png);
        std::string error;
        if (!doc->ImportImageFiles(path, 600, 500, error)) return {};
        const std::string second = ObjectId();
        doc->mainScene.primarySelectedId = first;
        doc->mainScene.selectedIds = {first};
        doc->UpdateAllViews();
        Settle();
        return second;
    }
    void ChooseTool(uint32_t command) {
        frame->CommandUiBinding().Execute(command, CommandUiKind::ToolbarButton);
        Settle();
    }
    // A drag with the chosen tool between two canvas points.
    void DragOnCanvas(PointF from, PointF to) {
        const RectF r = View()->GetCanvasScreenRect();
        const auto at = [&](PointF p) {
            return QPoint(int(std::lround(r.x + p.x * View()->Zoom())), int(std::lround(r.y + p.y * View()->Zoom())));
        };
        View()->OnLButtonDown(MK_LBUTTON, at(from));
        for (int i = 1; i <= 10; ++i)
            View()->OnMouseMove(MK_LBUTTON, at({from.x + (to.x - from.x) * float(i) / 10,
                                                from.y + (to.y - from.y) * float(i) / 10}));
        View()->OnLButtonUp(0, at(to));
        Settle();
    }
    size_t FailureMessages() const {
        size_t n = 0;
        for (const ScriptedPrompts::Record& r : prompts->Records())
            n += r.kind == ScriptedPrompts::Kind::Message && r.message.text.find("could not be stored") != std::string::npos;
        return n;
    }
    void FailCommits(bool fail) {
        View()->PaintSession().SetEncoder(fail ? +[](const Bitmap&, std::vector<uint8_t>&) { return false; } : nullptr);
    }
};

// Answers the canvas size dialog with fixed values.
struct CanvasSizeAnswer : DialogProvider {
    CanvasSizeDialogValues values;
    bool RunCanvasSizeDialog(CanvasSizeDialogValues& v) override {
        v = values;
        return true;
    }
};

// Red pixels in the picture of a bitmap object.
int RedPixels(const CanvasObject& o) {
    if (o.kind != kObjectBitmap || o.parts.empty()) return -1;
    BitmapPtr b = DecodeImage(o.parts.front().encoded);
    if (!b) return -1;
    int red = 0;
    for (int y = 0; y < b->Height(); ++y)
        for (int x = 0; x < b->Width(); ++x) {
            const uint32_t p = b->Pixel(x, y);
            red += (p >> 16 & 0xFF) > 200 && (p >> 8 & 0xFF) < 80;
        }
    return red;
}

// Red pixels in the picture of a bitmap object of a saved project: the one
// with the id, or the first.
int RedPixelsInSavedObject(const std::string& path, const std::string& id = {}) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return -1;
    CanvasDocument scene;
    if (!ReadProjectBytes(bytes, scene)) return -1;
    for (const Layer& layer : scene.layers)
        for (const CanvasObject& o : layer.objects) {
            if (o.kind == kObjectBitmap && !o.parts.empty() && (id.empty() || o.id == id)) return RedPixels(o);
        }
    return -1;
}

}  // namespace

TEST(WorkKept, SaveSaveAsAndExitYesWriteThePaintingWithABrushChosen) {
    enum Way { kSave, kSaveAs, kExitYes };
    for (Way way : {kSave, kSaveAs, kExitYes}) {
        for (bool stroke : {true, false}) {
            SCOPED_TRACE(testing::Message() << "way " << way << " stroke " << stroke);
            Editor e;
            ASSERT_TRUE(e.ok);
            e.ChooseBrush();
            ASSERT_NE(e.doc->paintSession, nullptr);
            if (stroke) e.Stroke(20);
            const std::string path = e.PathFor("work.qvk");
            if (way == kExitYes) {
                e.prompts->QueueAnswer(PromptAnswer::Yes);
                e.prompts->QueueSaveFile(path);
                EXPECT_TRUE(e.frame->close());
            } else {
                e.prompts->QueueSaveFile(path);
                e.frame->ActionFor(way == kSave ? kCmdFileSave : kCmdFileSaveAs)->trigger();
            }
            ASSERT_TRUE(FileExists(path));
            EXPECT_EQ(RedPixelsInSavedObject(path) > 100, stroke);
            if (way == kExitYes) continue;
            EXPECT_FALSE(e.doc->IsModified());
            // Painting goes on: the session is open again, and the stroke
            // that went into the file is one undo step of the document.
            e.Settle();
            ASSERT_NE(e.doc->paintSession, nullptr);
            EXPECT_EQ(e.doc->paintSession, &e.View()->PaintSession());
            if (stroke) {
                EXPECT_TRUE(e.frame->ActionFor(kCmdEditUndo)->isEnabled());
            }
            e.Stroke(60);
            EXPECT_TRUE(e.doc->IsModified());
            e.frame->ActionFor(kCmdFileSave)->trigger();
            EXPECT_GT(RedPixelsInSavedObject(path), stroke ? 200 : 100);
        }
    }
}

TEST(WorkKept, CopyAndExportWithABrushChosenAndStrokesAfterwardsAreSaved) {
    Editor e;
    ASSERT_TRUE(e.ok);
    e.ChooseBrush();
    e.Stroke(20);
    e.frame->ActionFor(kCmdEditCopy)->trigger();
    EXPECT_TRUE(e.clipboard->HasFormat(kCanvasObjectClipFormat));

    const std::string png = e.PathFor("export.png");
    e.prompts->QueueSaveFile(png);
    e.frame->ActionFor(kCmdFileExportPng)->trigger();
    ASSERT_TRUE(FileExists(png));
    e.Settle();
    // The strokes after the export belong to this document and reach its file.
    ASSERT_EQ(e.doc->paintSession, &e.View()->PaintSession());
    e.Stroke(60);
    e.Stroke(100);
    const std::string path = e.PathFor("after.qvk");
    e.prompts->QueueSaveFile(path);
    e.frame->ActionFor(kCmdFileSaveAs)->trigger();
    EXPECT_GT(RedPixelsInSavedObject(path), 3 * 150);
    EXPECT_FALSE(e.doc->IsModified());
}

TEST(WorkKept, ACommitThatFailsStopsTheExportAndKeepsThePainting) {
    Editor e;
    ASSERT_TRUE(e.ok);
    e.ChooseBrush();
    e.Stroke(20);
    e.View()->PaintSession().SetEncoder([](const Bitmap&, std::vector<uint8_t>&) { return false; });
    e.prompts->ClearRecords();
    e.frame->ActionFor(kCmdFileExportPng)->trigger();
    // Said once, before any file is asked for; the painting is still open in
    // the session the document knows.
    ASSERT_EQ(e.prompts->Records().size(), 1u);
    EXPECT_EQ(e.prompts->Records()[0].kind, ScriptedPrompts::Kind::Message);
    EXPECT_TRUE(e.View()->PaintSession().IsActive());
    EXPECT_EQ(e.doc->paintSession, &e.View()->PaintSession());
    EXPECT_TRUE(e.doc->IsModified());

    // Once storing works again, Save writes the stroke.
    e.View()->PaintSession().SetEncoder(nullptr);
    const std::string path = e.PathFor("kept.qvk");
    e.prompts->QueueSaveFile(path);
    e.frame->ActionFor(kCmdFileSaveAs)->trigger();
    EXPECT_GT(RedPixelsInSavedObject(path), 100);
}

// Commands that remove, move or change the painted object store the painting
// first; an undo then gives the object back as it was painted.
TEST(WorkKept, DeleteDuringASessionThenUndoGivesBackThePaintedObject) {
    enum Way { kEditDelete, kDeleteKey, kDeleteLayer };
    for (Way way : {kEditDelete, kDeleteKey, kDeleteLayer}) {
        SCOPED_TRACE(testing::Message() << "way " << way);
        Editor e;
        ASSERT_TRUE(e.ok);
        const std::string id = e.ObjectId();
        e.ChooseBrush();
        e.Stroke(20);
        e.Stroke(60);
        switch (way) {
        case kEditDelete: e.frame->ActionFor(kCmdEditDelete)->trigger(); break;
        case kDeleteKey: EXPECT_TRUE(e.View()->OnKeyDown(Qt::Key_Delete)); break;
        case kDeleteLayer:
            e.prompts->QueueAnswer(PromptAnswer::Yes);
            e.frame->ActionFor(kCmdDeleteLayer)->trigger();
            break;
        }
        e.Settle();
        EXPECT_EQ(e.doc->mainScene.FindObject(id), nullptr);
        // Nothing stands in for the deleted object, on any layer.
        size_t objects = 0;
        for (const Layer& layer : e.doc->mainScene.layers) objects += layer.objects.size();
        EXPECT_EQ(objects, 0u);
        EXPECT_TRUE(e.doc->IsModified());

        e.frame->ActionFor(kCmdEditUndo)->trigger();
        e.Settle();
        const CanvasObject* back = e.doc->mainScene.FindObject(id);
        ASSERT_NE(back, nullptr);
        EXPECT_GT(RedPixels(*back), 2 * 150);
    }
}

TEST(WorkKept, SetCanvasSizeDuringASessionMovesThePaintedObjectLikeTheOthers) {
    struct Case {
        int dw, dh, anchor;
    };
    for (const Case c : {Case{200, 100, 8}, Case{-300, -200, 4}, Case{-100, 0, 2}}) {
        SCOPED_TRACE(testing::Message() << "size change " << c.dw << "," << c.dh << " anchor " << c.anchor);
        Editor e;
        ASSERT_TRUE(e.ok);
        const std::string id = e.ObjectId();
        const std::string other = e.AddSecondObject();
        ASSERT_FALSE(other.empty());
        e.ChooseBrush();
        e.Stroke(20);
        const CanvasObject* o = e.doc->mainScene.FindObject(id);
        const float x = o->x, y = o->y;
        const float ox = e.doc->mainScene.FindObject(other)->x, oy = e.doc->mainScene.FindObject(other)->y;
        const float w = e.doc->mainScene.width, h = e.doc->mainScene.height;

        DialogProvider* const appDialogs = e.doc->Dialogs();
        CanvasSizeAnswer dialog;
        dialog.values = CanvasSizeDialogFromScene(w, h, e.doc->mainScene.canvasColour);
        dialog.values.width = int(w) + c.dw;
        dialog.values.height = int(h) + c.dh;
        dialog.values.anchor = c.anchor;
        e.doc->SetDialogProvider(&dialog);
        e.frame->ActionFor(kCmdSetCanvasSize)->trigger();
        e.Settle();
        e.doc->SetDialogProvider(appDialogs);
        // The session ends (Move tool): the object holds what it will keep.
        e.frame->CommandUiBinding().Execute(kCmdToolMove, CommandUiKind::ToolbarButton);
        e.Settle();

        const float dx = float(c.anchor % 3) * float(c.dw) * 0.5f, dy = float(c.anchor / 3) * float(c.dh) * 0.5f;
        const CanvasObject* moved = e.doc->mainScene.FindObject(other);
        EXPECT_FLOAT_EQ(moved->x, ox + dx);
        EXPECT_FLOAT_EQ(moved->y, oy + dy);
        const CanvasObject* painted = e.doc->mainScene.FindObject(id);
        ASSERT_NE(painted, nullptr);
        EXPECT_FLOAT_EQ(painted->x, x + dx);
        EXPECT_FLOAT_EQ(painted->y, y + dy);
        EXPECT_GT(RedPixels(*painted), 150);
    }
}

TEST(WorkKept, AddMaskDuringASessionKeepsTheMask) {
    Editor e;
    ASSERT_TRUE(e.ok);
    const std::string id = e.ObjectId();
    e.ChooseBrush();
    e.Stroke(20);
    e.frame->ActionFor(kCmdAddMask)->trigger();
    e.Settle();
    EXPECT_TRUE(e.doc->mainScene.FindObject(id)->HasUsableMask());
    // Painting goes on, and the next commit keeps the mask too.
    e.Stroke(60);
    e.frame->CommandUiBinding().Execute(kCmdToolMove, CommandUiKind::ToolbarButton);
    e.Settle();
    const CanvasObject* o = e.doc->mainScene.FindObject(id);
    EXPECT_TRUE(o->HasUsableMask());
    EXPECT_GT(RedPixels(*o), 2 * 150);
}

// A painting that cannot be stored stops the command that needed it: said
// once, the session still open, nothing else changed; once storing works the
// painting reaches the file.
TEST(WorkKept, ACommitThatFailsStopsDeleteCanvasSizeAndAddMask) {
    enum Way { kEditDelete, kDeleteKey, kDeleteLayer, kCanvasSize, kAddMask };
    for (Way way : {kEditDelete, kDeleteKey, kDeleteLayer, kCanvasSize, kAddMask}) {
        SCOPED_TRACE(testing::Message() << "way " << way);
        Editor e;
        ASSERT_TRUE(e.ok);
        const std::string id = e.ObjectId();
        e.ChooseBrush();
        e.Stroke(20);
        const float x = e.doc->mainScene.FindObject(id)->x;
        const float w = e.doc->mainScene.width;
        DialogProvider* const appDialogs = e.doc->Dialogs();
        CanvasSizeAnswer dialog;
        dialog.values = CanvasSizeDialogFromScene(w, e.doc->mainScene.height, e.doc->mainScene.canvasColour);
        dialog.values.width = int(w) + 200;
        dialog.values.anchor = 5;
        e.doc->SetDialogProvider(&dialog);
        e.FailCommits(true);
        e.prompts->ClearRecords();
        switch (way) {
        case kEditDelete: e.frame->ActionFor(kCmdEditDelete)->trigger(); break;
        case kDeleteKey: e.View()->OnKeyDown(Qt::Key_Delete); break;
        case kDeleteLayer:
            e.prompts->QueueAnswer(PromptAnswer::Yes);
            e.frame->ActionFor(kCmdDeleteLayer)->trigger();
            break;
        case kCanvasSize: e.frame->ActionFor(kCmdSetCanvasSize)->trigger(); break;
        case kAddMask: e.frame->ActionFor(kCmdAddMask)->trigger(); break;
        }
        e.Settle();
        e.doc->SetDialogProvider(appDialogs);
        size_t failures = 0;
        for (const ScriptedPrompts::Record& r : e.prompts->Records())
            failures += r.kind == ScriptedPrompts::Kind::Message && r.message.text.find("could not be stored") != std::string::npos;
        EXPECT_EQ(failures, 1u);
        EXPECT_TRUE(e.View()->PaintSession().IsActive());
        EXPECT_EQ(e.doc->paintSession, &e.View()->PaintSession());
        const CanvasObject* o = e.doc->mainScene.FindObject(id);
        ASSERT_NE(o, nullptr);
        EXPECT_FLOAT_EQ(o->x, x);
        EXPECT_FALSE(o->HasUsableMask());
        EXPECT_FLOAT_EQ(e.doc->mainScene.width, w);

        e.FailCommits(false);
        const std::string path = e.PathFor("kept.qvk");
        e.prompts->QueueSaveFile(path);
        e.frame->ActionFor(kCmdFileSaveAs)->trigger();
        EXPECT_GT(RedPixelsInSavedObject(path), 100);
    }
}

// Leaving the brush while the painting cannot be stored: said once, not at
// every later update, the session stays open and painting elsewhere waits
// for it; once storing works the painting reaches the file.
TEST(WorkKept, ACommitThatFailsOnLeavingTheBrushIsSaidOnce) {
    Editor e;
    ASSERT_TRUE(e.ok);
    const std::string id = e.ObjectId();
    const std::string other = e.AddSecondObject();
    e.ChooseBrush();
    e.Stroke(20);
    e.FailCommits(true);
    e.prompts->ClearRecords();
    e.frame->CommandUiBinding().Execute(kCmdToolMove, CommandUiKind::ToolbarButton);
    e.Settle();
    for (int i = 0; i < 3; ++i) {
        e.doc->UpdateAllViews();
        e.Settle();
    }
    EXPECT_EQ(e.prompts->Records().size(), 1u);
    EXPECT_TRUE(e.View()->PaintSession().IsActive());
    EXPECT_EQ(e.View()->PaintSession().PaintedObjectId(), id);

    // A brush press on another object does not paint into this session.
    e.ChooseBrush();
    e.doc->mainScene.primarySelectedId = other;
    e.doc->mainScene.selectedIds = {other};
    e.doc->UpdateAllViews();
    e.Settle();
    const int before = e.View()->PaintSession().EditCount();
    const CanvasObject* second = e.doc->mainScene.FindObject(other);
    const RectF r = e.View()->GetCanvasScreenRect();
    const QPoint at(int(std::lround(r.x + (second->x + 40) * e.View()->Zoom())),
                    int(std::lround(r.y + (second->y + 30) * e.View()->Zoom())));
    e.View()->OnLButtonDown(MK_LBUTTON, at);
    e.View()->OnLButtonUp(0, at);
    e.Settle();
    EXPECT_EQ(e.View()->PaintSession().EditCount(), before);
    EXPECT_EQ(e.View()->PaintSession().PaintedObjectId(), id);

    e.FailCommits(false);
    const std::string path = e.PathFor("kept.qvk");
    e.prompts->QueueSaveFile(path);
    e.frame->ActionFor(kCmdFileSaveAs)->trigger();
    EXPECT_GT(RedPixelsInSavedObject(path, id), 100);
    EXPECT_FALSE(e.doc->IsModified());
}

// With a brush chosen, New and Open make no object to paint on and leave the
// untouched document unmodified; Pose Editor and back leaves the object the
// user chose selected, with nothing made in its place.
TEST(WorkKept, NewOpenAndThePoseEditorWithABrushChosenMakeNoObject) {
    Editor e;
    ASSERT_TRUE(e.ok);
    const auto objectCount = [&] {
        size_t n = 0;
        for (const Layer& layer : e.doc->mainScene.layers) n += layer.objects.size();
        return n;
    };
    const std::string path = e.PathFor("one.qvk");
    e.prompts->QueueSaveFile(path);
    e.frame->ActionFor(kCmdFileSaveAs)->trigger();
    ASSERT_TRUE(FileExists(path));
    e.ChooseBrush();

    e.frame->ActionFor(kCmdFileNew)->trigger();
    e.Settle();
    EXPECT_EQ(objectCount(), 0u);
    EXPECT_FALSE(e.doc->IsModified());

    e.prompts->QueueOpenFiles({path});
    e.frame->ActionFor(kCmdFileOpen)->trigger();
    e.Settle();
    EXPECT_EQ(objectCount(), 1u);
    EXPECT_FALSE(e.doc->IsModified());

    const std::string id = e.doc->mainScene.layers.back().objects.front().id;
    e.doc->mainScene.primarySelectedId = id;
    e.doc->mainScene.selectedIds = {id};
    e.doc->UpdateAllViews();
    e.Settle();
    e.frame->ActionFor(kCmdGoToBoneEditor)->trigger();
    e.Settle();
    ASSERT_TRUE(e.doc->IsPoseEditorOpen());
    e.frame->ActionFor(kCmdFinishBoneEditor)->trigger();
    e.Settle();
    EXPECT_FALSE(e.doc->IsPoseEditorOpen());
    EXPECT_EQ(objectCount(), 1u);
    EXPECT_EQ(e.doc->mainScene.primarySelectedId, id);
}

// A session whose edits leave the pixels and the mask as they were commits
// nothing: a rotated object keeps its placement and its bytes, no step is
// recorded and the modified flag stays clear. Edits that change something
// store the working layer the same way for every brush: upright, grown to the
// turned picture's bounds.
TEST(WorkKept, ASessionThatChangesNothingLeavesARotatedObjectAsItWas) {
    // Three drags with room for one undo snapshot: the state the session
    // began with is no longer among them.
    enum Edit { kAcross, kOutside, kAcrossUndone, kThricePastTheUndoBudget };
    struct Case {
        const char* name;
        uint32_t tool;
        Edit edit;
        bool changes;
    };
    const Case cases[] = {
        {"stencil brush without a stencil", kCmdToolStencilKitbash, kAcross, false},
        {"mask paint on a white mask", kCmdToolPaintMask, kAcross, false},
        {"eraser beside the object", kCmdToolEraser, kOutside, false},
        {"paint brush stroke undone", kCmdToolPaintBrush, kAcrossUndone, false},
        {"stencil brush past the undo budget", kCmdToolStencilKitbash, kThricePastTheUndoBudget, false},
        {"paint brush", kCmdToolPaintBrush, kAcross, true},
        {"mask erase", kCmdToolEraseMask, kAcross, true},
        {"paint brush past the undo budget", kCmdToolPaintBrush, kThricePastTheUndoBudget, true},
    };
    const size_t budget = BitmapPaintSession::snapshotBudget;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Editor e;
        ASSERT_TRUE(e.ok);
        if (StencilOverlay* overlay = GetCurrentStencilOverlay()) {
            ASSERT_FALSE(overlay->HasStencil());
        }
        const std::string id = e.ObjectId();
        e.doc->mainScene.SetObjectTransform(id, ObjectTransform{300, 200, 200, 150, 12, 1});
        e.doc->ClearAllUndo();
        e.doc->SetModifiedFlag(false);
        e.doc->UpdateAllViews();
        e.Settle();
        const std::vector<uint8_t> before = WriteObjectPayload(*e.doc->mainScene.FindObject(id));

        e.frame->SetPaintColour(0xFFFF0000);
        e.ChooseTool(c.tool);
        ASSERT_EQ(e.doc->paintSession, &e.View()->PaintSession());
        if (c.edit == kThricePastTheUndoBudget)
            BitmapPaintSession::snapshotBudget = size_t(e.View()->PaintSession().Width()) *
                                                 size_t(e.View()->PaintSession().Height()) * 5;
        for (int i = 0; i < (c.edit == kThricePastTheUndoBudget ? 3 : 1); ++i) {
            if (c.edit == kOutside) e.DragOnCanvas({40, 40}, {200, 60});
            else e.DragOnCanvas({340, 260.0f + 10 * float(i)}, {460, 260.0f + 10 * float(i)});
        }
        BitmapPaintSession::snapshotBudget = budget;
        if (c.edit == kAcrossUndone) {
            e.frame->ActionFor(kCmdEditUndo)->trigger();
            e.Settle();
        }
        EXPECT_EQ(e.doc->IsModified(), c.changes || c.edit == kAcrossUndone);
        e.ChooseTool(kCmdToolMove);
        ASSERT_FALSE(e.View()->PaintSession().IsActive());

        const CanvasObject& o = *e.doc->mainScene.FindObject(id);
        if (!c.changes) {
            EXPECT_EQ(WriteObjectPayload(o), before);
            EXPECT_FLOAT_EQ(o.rotation, 12);
            EXPECT_TRUE(e.doc->mainUndo.undo.empty());
            continue;
        }
        EXPECT_TRUE(e.doc->IsModified());
        ASSERT_EQ(e.doc->mainUndo.undo.size(), 1u);
        EXPECT_FLOAT_EQ(o.rotation, 0);
        // 200 x 150 turned by 12 degrees spans 226.8 x 188.3.
        EXPECT_NEAR(o.width, 227, 2);
        EXPECT_NEAR(o.height, 188, 2);
        EXPECT_EQ(o.HasUsableMask(), c.tool == kCmdToolEraseMask);
    }
}

// The Pose Editor's Preview button stores the painting through the one
// commit path: a commit that fails is said once, shows no preview and keeps
// the session; one that works shows the painted part.
TEST(WorkKept, TestBonesPreviewStoresThePaintingOrStopsSayingWhyOnce) {
    struct PreviewSeen : DialogProvider {
        int runs = 0;
        int red = -1;
        std::string partId;
        void RunTestBonesDialog(const CanvasDocument& poseScene, const std::vector<JointLink>&) override {
            ++runs;
            if (const CanvasObject* part = poseScene.FindObject(partId)) red = RedPixels(*part);
        }
    };
    Editor e;
    ASSERT_TRUE(e.ok);
    auto* view = e.OpenPoseEditorView();
    ASSERT_TRUE(e.doc->IsPoseEditorOpen());
    ASSERT_NE(view, nullptr);
    e.Settle();
    PreviewSeen preview;
    preview.partId = e.doc->poseScene.primarySelectedId;
    const CanvasObject* part = e.doc->poseScene.FindObject(preview.partId);
    ASSERT_NE(part, nullptr);
    DialogProvider* const appDialogs = e.doc->Dialogs();
    e.doc->SetDialogProvider(&preview);

    e.ChooseBrush();
    BitmapPaintSession& session = view->PaintSession();
    ASSERT_TRUE(session.IsActive());
    e.frame->SetPaintColour(0xFFFF0000);
    const auto at = [&](float u, float v) {
        const PointF p = PartPointToView(*part, u, v, view->View());
        return QPoint(int(std::lround(p.x)), int(std::lround(p.y)));
    };
    view->OnMouseMove(0, at(0.1f, 0.5f));
    view->OnLButtonDown(MK_LBUTTON, at(0.1f, 0.5f));
    for (int i = 2; i <= 9; ++i) view->OnMouseMove(MK_LBUTTON, at(0.1f * float(i), 0.5f));
    view->OnLButtonUp(0, at(0.9f, 0.5f));
    e.Settle();
    QPoint button;
    for (int y = 0; y < 100 && button.isNull(); ++y)
        for (int x = view->width() - 1; x > 0 && button.isNull(); --x)
            if (view->HitTestPreviewButton({float(x), float(y)})) button = QPoint(x - 4, y + 4);
    ASSERT_FALSE(button.isNull());

    session.SetEncoder([](const Bitmap&, std::vector<uint8_t>&) { return false; });
    e.prompts->ClearRecords();
    view->OnLButtonDown(MK_LBUTTON, button);
    view->OnLButtonUp(0, button);
    e.Settle();
    EXPECT_EQ(e.prompts->Records().size(), 1u);
    EXPECT_EQ(e.FailureMessages(), 1u);
    EXPECT_EQ(preview.runs, 0);
    EXPECT_TRUE(session.IsActive());
    EXPECT_EQ(e.doc->paintSession, &session);

    session.SetEncoder(nullptr);
    view->OnLButtonDown(MK_LBUTTON, button);
    view->OnLButtonUp(0, button);
    e.Settle();
    EXPECT_EQ(preview.runs, 1);
    EXPECT_GT(preview.red, 100);
    e.doc->SetDialogProvider(appDialogs);
}

// A value typed in the Info tab while a session is open on the object stays:
// the painting goes in first and the typed value applies to it, one undo step
// each. When the painting cannot be stored the edit is refused, said once.
TEST(WorkKept, AValueTypedInTheInfoTabDuringASessionStays) {
    enum Field { kX, kY, kRotation };
    struct Case {
        Field field;
        float value;
        bool stroke, failCommit;
    };
    const Case cases[] = {{kX, 300, true, false},  {kY, 250, true, false},  {kRotation, 30, true, false},
                          {kX, 300, false, false}, {kRotation, 30, false, false}, {kX, 300, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "field " << c.field << " stroke " << c.stroke << " fail " << c.failCommit);
        Editor e;
        ASSERT_TRUE(e.ok);
        const std::string id = e.ObjectId();
        CPropertiesPane* pane = e.frame->Workspace()->PropertiesPane();
        pane->UpdateForContext();
        auto* tab = dynamic_cast<CPropTabObject*>(pane->FindTab(PropTabKind::Object));
        ASSERT_NE(tab, nullptr);
        ASSERT_EQ(tab->ObjectId(), id);
        const auto fieldOf = [&](const CanvasObject& o) {
            return c.field == kX ? o.x : c.field == kY ? o.y : o.rotation;
        };
        const float old = fieldOf(*e.doc->mainScene.FindObject(id));

        e.ChooseBrush();
        ASSERT_EQ(e.doc->paintSession, &e.View()->PaintSession());
        if (c.stroke) e.Stroke(20);
        if (c.failCommit) e.FailCommits(true);
        e.prompts->ClearRecords();
        // As the field's focus going elsewhere would commit what was typed.
        CPropNumericEdit* edit = c.field == kX ? tab->x : c.field == kY ? tab->y : tab->r;
        edit->Edit()->setText(QString::number(c.value));
        edit->CommitEdit();
        e.Settle();
        if (c.failCommit) {
            EXPECT_EQ(e.FailureMessages(), 1u);
            EXPECT_EQ(fieldOf(*e.doc->mainScene.FindObject(id)), old);
            EXPECT_EQ(edit->value, old);
            EXPECT_TRUE(e.View()->PaintSession().IsActive());
            e.FailCommits(false);
        } else {
            EXPECT_EQ(e.FailureMessages(), 0u);
            // Painting goes on, on the object where it now is.
            EXPECT_EQ(e.doc->paintSession, &e.View()->PaintSession());
        }
        e.ChooseTool(kCmdToolMove);
        ASSERT_FALSE(e.View()->PaintSession().IsActive());
        const CanvasObject& o = *e.doc->mainScene.FindObject(id);
        EXPECT_FLOAT_EQ(fieldOf(o), c.failCommit ? old : c.value);
        if (c.stroke) {
            EXPECT_GT(RedPixels(o), 150);
        }
        if (c.failCommit) continue;

        // One step for the typed value; the painting is kept under it.
        e.frame->ActionFor(kCmdEditUndo)->trigger();
        e.Settle();
        const CanvasObject& undone = *e.doc->mainScene.FindObject(id);
        EXPECT_FLOAT_EQ(fieldOf(undone), old);
        if (c.stroke) {
            EXPECT_GT(RedPixels(undone), 150);
        }
    }
}

// In the Pose Editor, leaving a painted part while its painting cannot be
// stored: said once, not at every update; the session stays open and known
// to the document; a brush press on another part and Delete leave it alone;
// Save writes nothing and the Pose Editor stays open. Once storing works,
// Save writes the painting.
TEST(WorkKept, APoseEditorCommitThatFailsIsSaidOnceAndStopsTheSave) {
    Editor e;
    ASSERT_TRUE(e.ok);
    const std::string path = e.PathFor("pose.qvk");
    e.prompts->QueueSaveFile(path);
    e.frame->ActionFor(kCmdFileSaveAs)->trigger();
    std::vector<uint8_t> saved;
    ASSERT_TRUE(ReadWholeFile(path, saved));
    const auto redInFile = [&] {
        std::vector<uint8_t> bytes;
        CanvasDocument scene;
        if (!ReadWholeFile(path, bytes) || !ReadProjectBytes(bytes, scene)) return -1;
        int red = 0;
        for (const Layer& layer : scene.layers)
            for (const CanvasObject& o : layer.objects)
                for (const PosablePart& part : o.posableScene.parts)
                    for (const ImagePartRecord& image : part.parts)
                        if (BitmapPtr b = DecodeImage(image.encoded))
                            for (int y = 0; y < b->Height(); ++y)
                                for (int x = 0; x < b->Width(); ++x) {
                                    const uint32_t p = b->Pixel(x, y);
                                    red += (p >> 16 & 0xFF) > 200 && (p >> 8 & 0xFF) < 80;
                                }
        return red;
    };

    auto* view = e.OpenPoseEditorView();
    ASSERT_TRUE(e.doc->IsPoseEditorOpen());
    ASSERT_NE(view, nullptr);
    CanvasDocument& scene = e.doc->poseScene;
    const std::string first = scene.primarySelectedId;
    CanvasObject copy = *scene.FindObject(first);
    copy.id = scene.MakeObjectId();
    copy.x -= copy.width + 20;
    const std::string second = copy.id;
    scene.FindLayerOfObject(first)->objects.push_back(copy);
    e.doc->UpdateAllViews();
    e.Settle();
    const auto at = [&](const std::string& id, float u, float v) {
        const PointF p = PartPointToView(*scene.FindObject(id), u, v, view->View());
        return QPoint(int(std::lround(p.x)), int(std::lround(p.y)));
    };
    const auto drag = [&](const std::string& id, float u0, float v0, float u1, float v1) {
        view->OnMouseMove(0, at(id, u0, v0));
        view->OnLButtonDown(MK_LBUTTON, at(id, u0, v0));
        for (int i = 1; i <= 8; ++i)
            view->OnMouseMove(MK_LBUTTON, at(id, u0 + (u1 - u0) * float(i) / 8, v0 + (v1 - v0) * float(i) / 8));
        view->OnLButtonUp(0, at(id, u1, v1));
        e.Settle();
    };
    e.ChooseBrush();
    BitmapPaintSession& session = view->PaintSession();
    ASSERT_TRUE(session.IsActive());
    e.frame->SetPaintColour(0xFFFF0000);
    drag(first, 0.1f, 0.5f, 0.9f, 0.5f);
    // Pixels selected in the painted part, for Delete.
    e.ChooseTool(kCmdToolRectangleMarquee);
    drag(first, 0.2f, 0.2f, 0.8f, 0.8f);
    ASSERT_TRUE(scene.selectionMask && scene.selectionMask->HasSelection());
    const int edits = session.EditCount();

    session.SetEncoder([](const Bitmap&, std::vector<uint8_t>&) { return false; });
    e.prompts->ClearRecords();
    e.ChooseTool(kCmdToolMove);
    for (int i = 0; i < 3; ++i) {
        e.doc->UpdateAllViews();
        e.Settle();
    }
    e.ChooseBrush();
    scene.primarySelectedId = second;
    scene.selectedIds = {second};
    e.doc->UpdateAllViews();
    e.Settle();
    EXPECT_EQ(e.prompts->Records().size(), 1u);
    EXPECT_EQ(e.FailureMessages(), 1u);
    EXPECT_EQ(e.doc->paintSession, &session);

    drag(second, 0.1f, 0.5f, 0.9f, 0.5f);
    view->OnDeleteKey();
    e.Settle();
    EXPECT_TRUE(session.IsActive());
    EXPECT_EQ(session.PaintedObjectId(), first);
    EXPECT_EQ(session.EditCount(), edits);

    e.prompts->ClearRecords();
    e.frame->ActionFor(kCmdFileSave)->trigger();
    e.Settle();
    std::vector<uint8_t> after;
    ASSERT_TRUE(ReadWholeFile(path, after));
    EXPECT_EQ(after, saved);
    EXPECT_EQ(e.FailureMessages(), 1u);
    EXPECT_TRUE(e.doc->IsPoseEditorOpen());
    EXPECT_TRUE(e.doc->IsModified());
    EXPECT_EQ(e.doc->paintSession, &session);

    session.SetEncoder(nullptr);
    e.frame->ActionFor(kCmdFileSave)->trigger();
    e.Settle();
    EXPECT_FALSE(e.doc->IsPoseEditorOpen());
    EXPECT_FALSE(e.doc->IsModified());
    EXPECT_GT(redInFile(), 100);
}
