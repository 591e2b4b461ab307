#include "brushes/BitmapPaintSession.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentCommands.h"
#include "scene/CanvasWriteViews.h"
#include "scene/SelectionMask.h"

#include "../document/BitmapObjects.h"
#include "../document/DocumentFixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

constexpr uint32_t kRed = 0xFF0000FF;  // colour word, R lowest

// A 200 x 100 canvas with a 40 x 20 opaque blue object at (50, 40).
struct SessionEnv {
    FakeHost host;
    CQuillfenEditorDoc doc;
    BitmapPaintSession session;
    SessionEnv() {
        doc.SetHost(&host);
        doc.mainScene.width = 200;
        doc.mainScene.height = 100;
        AddTo(doc.mainScene, "layer_1", MakeSolidObject("blue", "Blue", 50, 40, 40, 20, 0xFF0000FF));
        host.paintingView = &session;
        // Brushes of these tests: hard, opaque, 10 px.
        for (int tool : {int(kToolPaintBrush), int(kToolPaintMask)}) {
            BrushSettings& s = GetToolBrushSettings(tool)->ActiveSlot().settings;
            s = DefaultSlotBrushSettings();
            s.size = 10;
            s.hardness = 1.0f;
        }
    }
    CanvasObject& Obj(const std::string& id) { return *doc.mainScene.FindObject(id); }
    void Dab(float x, float y, uint32_t colour = kRed) {
        session.StrokeBegin(x, y, colour, 1.0f);
        session.StrokeEnd();
    }
    uint32_t LayerPixel(int x, int y) {
        uint32_t p = 0;
        session.LayerView()->ReadRect(x, y, 1, 1, &p);
        return p;
    }
};

}  // namespace

TEST(BitmapPaintSession, BeginRefusals) {
    SessionEnv env;
    CanvasObject light = MakeObject("light", "Light");
    light.kind = kObjectLightCone;
    AddTo(env.doc.mainScene, "layer_1", light);
    EXPECT_FALSE(env.session.Begin(env.doc, "", false));
    EXPECT_FALSE(env.session.Begin(env.doc, "missing", false));
    EXPECT_FALSE(env.session.Begin(env.doc, "light", false));
    EXPECT_FALSE(env.session.IsActive());
    ASSERT_TRUE(env.session.Begin(env.doc, "blue", false));
    EXPECT_FALSE(env.session.Begin(env.doc, "blue", false));
    EXPECT_EQ(env.doc.paintSession, &env.session);
    // The object's pixels are in the working layer at its placement.
    EXPECT_EQ(env.LayerPixel(60, 50), 0xFF0000FFu);
    EXPECT_EQ(env.LayerPixel(10, 10), 0u);
}

TEST(BitmapPaintSession, ClickOnAnObjectMadeForPaintingBecomesThatDab) {
    SessionEnv env;
    CanvasObject empty = MakeObject("new", "Untitled", 0, 0);
    empty.width = env.doc.mainScene.width;
    empty.height = env.doc.mainScene.height;
    AddTo(env.doc.mainScene, "layer_1", empty);
    ASSERT_TRUE(env.session.Begin(env.doc, "new", true));
    env.session.SetTool(kToolPaintBrush);
    env.Dab(150.0f, 20.0f);
    env.session.Commit(env.doc);
    EXPECT_FALSE(env.session.IsActive());
    const CanvasObject& o = env.Obj("new");
    EXPECT_EQ(o.x, 145.0f);
    EXPECT_EQ(o.y, 15.0f);
    EXPECT_EQ(o.width, 10.0f);
    EXPECT_EQ(o.height, 10.0f);
    ASSERT_EQ(o.parts.size(), 1u);
    EXPECT_EQ(PictureOf(o)->Pixel(5, 5), 0xFFFF0000u);
    EXPECT_EQ(env.doc.mainUndo.undo.size(), 1u);
    EXPECT_EQ(env.doc.paintSession, nullptr);
}

TEST(BitmapPaintSession, CommitWithoutPaintOrWithEverythingErased) {
    {  // Nothing painted: no undo step, the object unchanged.
        SessionEnv env;
        const std::string before = Signature(env.doc.mainScene);
        ASSERT_TRUE(env.session.Begin(env.doc, "blue", false));
        env.session.Commit(env.doc);
        EXPECT_EQ(Signature(env.doc.mainScene), before);
        EXPECT_TRUE(env.doc.mainUndo.undo.empty());
    }
    for (bool created : {false, true}) {
        // Erasing every pixel: an existing object keeps its pixels, one made
        // for painting goes away.
        SessionEnv env;
        const std::string before = Signature(env.doc.mainScene);
        ASSERT_TRUE(env.session.Begin(env.doc, "blue", created));
        env.session.SetTool(kToolEraser);
        GetToolBrushSettings(kToolEraser)->ActiveSlot().settings.size = 100;
        GetToolBrushSettings(kToolEraser)->ActiveSlot().settings.hardness = 1.0f;
        env.Dab(70, 50);
        env.session.Commit(env.doc);
        GetToolBrushSettings(kToolEraser)->ActiveSlot().settings = DefaultSlotBrushSettings();
        if (created) EXPECT_EQ(env.doc.mainScene.FindObject("blue"), nullptr);
        else EXPECT_EQ(Signature(env.doc.mainScene), before);
    }
}

TEST(BitmapPaintSession, PaintingPastARotatedObjectGrowsItUnrotated) {
    SessionEnv env;
    env.Obj("blue").rotation = 30;
    env.Obj("blue").opacity = 0.5f;
    ASSERT_TRUE(env.session.Begin(env.doc, "blue", false));
    env.session.SetTool(kToolPaintBrush);
    env.Dab(150, 80);
    env.session.Commit(env.doc);
    const CanvasObject& o = env.Obj("blue");
    EXPECT_EQ(o.rotation, 0.0f);
    EXPECT_EQ(o.opacity, 0.5f);
    EXPECT_LT(o.x, 50.0f);        // the old pixels, turned, reach left of 50
    EXPECT_GE(o.x + o.width, 155.0f);  // and the new dab
    EXPECT_EQ(env.doc.mainUndo.undo.size(), 1u);
}

TEST(BitmapPaintSession, MaskToolsAndMaskMode) {
    {  // Paint Mask at full strength in white keeps every byte 255: no mask.
        SessionEnv env;
        ASSERT_TRUE(env.session.Begin(env.doc, "blue", false));
        env.session.SetTool(kToolPaintMask);
        env.Dab(60, 50, 0xFFFFFFFF);
        env.session.Commit(env.doc);
        EXPECT_EQ(env.Obj("blue").maskWidth, 0);
    }
    {  // Erase Mask hides part of the object: a mask of the object's size.
        SessionEnv env;
        ASSERT_TRUE(env.session.Begin(env.doc, "blue", false));
        env.session.SetTool(kToolEraseMask);
        GetToolBrushSettings(kToolEraseMask)->ActiveSlot().settings.hardness = 1.0f;
        GetToolBrushSettings(kToolEraseMask)->ActiveSlot().settings.size = 10;
        env.Dab(60, 50);
        EXPECT_EQ(env.session.Mask()[50 * 200 + 60], 0);
        env.session.Commit(env.doc);
        const CanvasObject& o = env.Obj("blue");
        EXPECT_EQ(o.maskWidth, 40);
        EXPECT_EQ(o.maskHeight, 20);
        EXPECT_EQ(o.maskPixels[10 * 40 + 10], 0);
        EXPECT_EQ(o.maskPixels[0], 255);
    }
    {  // Mask mode: a red brush paints grey 76, which lands in the mask.
        SessionEnv env;
        env.doc.mainScene.selectedMaskObjectId = "blue";
        ASSERT_TRUE(env.session.Begin(env.doc, "blue", false));
        EXPECT_TRUE(env.session.maskMode());
        EXPECT_TRUE(env.session.EditsMask());
        EXPECT_EQ(env.LayerPixel(60, 50), 0xFFFFFFFFu);
        env.session.SetTool(kToolPaintBrush);
        env.Dab(60, 50, kRed);
        EXPECT_EQ(env.LayerPixel(60, 50), 0xFF4C4C4Cu);
        env.session.Commit(env.doc);
        const CanvasObject& o = env.Obj("blue");
        ASSERT_EQ(o.maskWidth, 40);
        EXPECT_EQ(o.maskPixels[10 * 40 + 10], 76);
        EXPECT_EQ(o.maskPixels[0], 255);
        EXPECT_EQ(o.x, 50.0f);  // the pixels are untouched
    }
    {  // Mask mode: Erase Mask and Paint Mask strokes reach the committed mask.
        SessionEnv env;
        env.doc.mainScene.selectedMaskObjectId = "blue";
        ASSERT_TRUE(env.session.Begin(env.doc, "blue", false));
        env.session.SetTool(kToolEraseMask);
        env.Dab(60, 50, kRed);
        env.session.SetTool(kToolPaintMask);
        env.Dab(80, 50, kRed);
        env.session.Commit(env.doc);
        const CanvasObject& o = env.Obj("blue");
        ASSERT_EQ(o.maskWidth, 40);
        EXPECT_EQ(o.maskPixels[10 * 40 + 10], 0);
        EXPECT_EQ(o.maskPixels[10 * 40 + 30], 255);
    }
}

// A mask too large to be stored: the commit keeps the session with its
// strokes and says why, so the command that asked for it stops visibly.
TEST(BitmapPaintSession, AMaskTooLargeToStoreStaysOpenAndSaysWhy) {
    SessionEnv env;
    env.doc.mainScene.selectedMaskObjectId = "blue";
    ASSERT_TRUE(env.session.Begin(env.doc, "blue", false));
    env.session.SetTool(kToolEraseMask);
    env.Dab(60, 50);
    env.Obj("blue").maskWidth = kMaxBitmapSide;
    env.Obj("blue").maskHeight = kMaxBitmapSide;
    env.session.Commit(env.doc);
    EXPECT_TRUE(env.session.IsActive());
    EXPECT_EQ(env.session.EditCount(), 1);
    EXPECT_EQ(env.doc.paintSession, &env.session);
    const std::vector<std::string> texts = env.host.prompts.MessageTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("could not be stored"), std::string::npos);
    EXPECT_TRUE(env.Obj("blue").maskPixels.empty());
}

TEST(BitmapPaintSession, SessionUndoRedo) {
    SessionEnv env;
    ASSERT_TRUE(env.session.Begin(env.doc, "blue", false));
    env.session.SetTool(kToolPaintBrush);
    env.Dab(10, 10);
    env.Dab(30, 10);
    env.Dab(50, 10);
    EXPECT_EQ(env.session.UndoCount(), 3u);
    EXPECT_NE(env.LayerPixel(50, 10), 0u);
    env.session.UndoStroke();
    EXPECT_EQ(env.LayerPixel(50, 10), 0u);
    EXPECT_NE(env.LayerPixel(30, 10), 0u);
    EXPECT_EQ(env.session.RedoCount(), 1u);
    env.session.RedoStroke();
    EXPECT_NE(env.LayerPixel(50, 10), 0u);
    env.session.UndoStroke();
    env.Dab(70, 10);  // a new stroke empties the redo list
    EXPECT_EQ(env.session.RedoCount(), 0u);

    // The budget keeps the newest snapshots only.
    const size_t saved = BitmapPaintSession::snapshotBudget;
    BitmapPaintSession::snapshotBudget = 200 * 100 * 5 * 2;
    for (int i = 0; i < 4; ++i) env.Dab(10.0f + 20 * i, 80);
    EXPECT_EQ(env.session.UndoCount(), 2u);
    BitmapPaintSession::snapshotBudget = saved;
}

TEST(BitmapPaintSession, PixelEdits) {
    SessionEnv env;
    ASSERT_TRUE(env.session.Begin(env.doc, "blue", false));
    // WritePixels with a padded stride equals a tight write.
    std::vector<uint8_t> padded(3 * 16, 0);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 2; ++c) std::memcpy(&padded[r * 16 + c * 4], "\x01\x02\x03\xff", 4);
    EXPECT_TRUE(env.session.WritePixels(5, 5, 2, 3, padded.data(), 16));
    EXPECT_EQ(env.LayerPixel(6, 7), 0xFF030201u);
    EXPECT_EQ(env.LayerPixel(8, 7), 0u);
    EXPECT_FALSE(env.session.WritePixels(0, 0, 2, 2, padded.data(), 4));  // stride too small
    EXPECT_FALSE(env.session.WritePixels(0, 0, 0, 2, padded.data(), 16));

    // No selection: the operation sees the whole canvas and no coverage.
    static int seenW, seenH, seenStride;
    static const uint8_t* seenCoverage;
    env.session.ApplyPixelOp(env.doc, [](uint8_t*, int w, int h, int, const uint8_t* cov, int covStride, const void*) {
        seenW = w, seenH = h, seenCoverage = cov, seenStride = covStride;
    }, nullptr);
    EXPECT_EQ(seenW, 200);
    EXPECT_EQ(seenH, 100);
    EXPECT_EQ(seenCoverage, nullptr);
    EXPECT_EQ(seenStride, 0);

    // Erase with coverage 128 halves alpha; Undo brings it back.
    env.doc.mainScene.EnsureSelectionMask();
    const std::vector<uint8_t> half(40 * 20, 128);
    env.doc.mainScene.selectionMask->WriteRect(50, 40, 40, 20, half.data());
    env.session.EraseSelection(env.doc);
    EXPECT_EQ(env.LayerPixel(60, 50) >> 24, 127u);
    EXPECT_TRUE(env.doc.IsModified());
    env.session.UndoStroke();
    EXPECT_EQ(env.LayerPixel(60, 50), 0xFF0000FFu);
}

TEST(BitmapPaintSession, TopObjectsHiddenAtDrawTimeOnly) {
    SessionEnv env;
    AddTo(env.doc.mainScene, "layer_1", MakeSolidObject("top", "Top", 0, 0, 20, 20, 0xFF00FF00));
    CanvasObject hidden = MakeSolidObject("hidden", "Hidden", 0, 0, 20, 20, 0xFF00FF00);
    hidden.visible = false;
    AddTo(env.doc.mainScene, "layer_1", hidden);
    ASSERT_TRUE(env.session.Begin(env.doc, "blue", false));
    EXPECT_TRUE(env.session.HidesObject("top"));
    EXPECT_FALSE(env.session.HidesObject("blue"));
    EXPECT_FALSE(env.session.HidesObject("hidden"));
    EXPECT_TRUE(env.Obj("top").visible);  // the model is never changed

    CompositeSurface surface;
    ASSERT_TRUE(surface.Create(200, 100));
    sceneRender(surface, env.doc.mainScene, env.session.ForScene());
    EXPECT_EQ(surface.Row(5)[5 * 4 + 1], 255);  // canvas white shows through "top"
    EXPECT_EQ(surface.Row(5)[5 * 4 + 0], 255);
    env.session.Cancel(env.doc);
    EXPECT_TRUE(env.Obj("top").visible);
    EXPECT_FALSE(env.Obj("hidden").visible);
}

TEST(BitmapPaintSession, SaveAndCopyCommitTheSessionFirst) {
    SessionEnv env;
    ASSERT_TRUE(env.session.Begin(env.doc, "blue", false));
    env.session.SetTool(kToolPaintBrush);
    env.Dab(150, 20);
    EXPECT_TRUE(env.doc.IsModified());
    const std::string path = (std::filesystem::temp_directory_path() / "paint_session_save.qvk").string();
    ASSERT_TRUE(env.doc.OnSaveDocument(path));
    std::filesystem::remove(path);
    EXPECT_FALSE(env.session.IsActive());
    EXPECT_GE(env.Obj("blue").x + env.Obj("blue").width, 155.0f);
}

TEST(BitmapPaintSession, CloneSourcePatchAndBackdrop) {
    SessionEnv env;
    ASSERT_TRUE(env.session.Begin(env.doc, "blue", false));
    env.session.SetTool(kToolCloneBrush);
    std::vector<uint8_t> patch;
    int32_t size = 0;
    float origin[2];
    EXPECT_FALSE(env.session.GetCloneSourcePatch(0, 0, patch, size, origin));  // no source yet
    GetToolBrushSettings(kToolCloneBrush)->ActiveSlot().settings.size = 10;
    env.session.Engine()->SetCloneSource(0, 0);  // at the corner: cells off the canvas stay clear
    ASSERT_TRUE(env.session.GetCloneSourcePatch(100, 100, patch, size, origin));
    EXPECT_EQ(size, 10);
    EXPECT_EQ(origin[0], -5.0f);
    EXPECT_EQ(patch[3], 0);
    env.session.BuildCloneBackdrop();
    EXPECT_TRUE(env.session.BackdropValid());
    env.Dab(20, 20);
    EXPECT_FALSE(env.session.BackdropValid());
    GetToolBrushSettings(kToolCloneBrush)->ActiveSlot().settings = DefaultSlotBrushSettings();
}
