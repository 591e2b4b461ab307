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
#include "document/ProjectFile.h"
#include "platform/Clipboard.h"
#include "platform/Codecs.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/Prompts.h"
#include "platform/qt/CommandUi.h"

#include <QAction>
#include <QCoreApplication>
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
    std::string PathFor(const char* name) const { return dir.filePath(name).toStdString(); }
};

// Red pixels in the picture of the only bitmap object of a saved project.
int RedPixelsInSavedObject(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return -1;
    CanvasDocument scene;
    if (!ReadProjectBytes(bytes, scene)) return -1;
    for (const Layer& layer : scene.layers)
        for (const CanvasObject& o : layer.objects) {
            if (o.kind != kObjectBitmap || o.parts.empty()) continue;
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
