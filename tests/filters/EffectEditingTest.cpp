// Filter-stack edits with undo, parameter interactions as single steps, and
// the adjustment preview: Cancel gives back the exact bytes, OK one step.
#include "brushes/BitmapPaintSession.h"
#include "scene/CanvasWriteViews.h"
#include "filters/EffectPreviewSession.h"
#include "filters/EffectRegistry.h"
#include "filters/EffectStackEdits.h"

#include "../document/BitmapObjects.h"
#include "../document/DocumentFixture.h"

#include "scene/SelectionMask.h"

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> TypesOf(CQuillfenEditorDoc& doc, const std::string& id) {
    std::vector<uint8_t> types;
    for (const EffectInstance& e : *FindEffectStack(doc, id)) types.push_back(uint8_t(e.type * 2 + e.enabled));
    return types;
}

class EffectStackEditsTest : public DocumentFixture {
protected:
    void SetUp() override {
        Obj("object_1").effects = {MakeEffectInstance(kEffectBlur), MakeEffectInstance(kEffectGlow),
                                   MakeEffectInstance(kEffectInvert)};
    }
};

TEST_F(EffectStackEditsTest, EachOperationIsOneUndoStepAndRefusalsRecordNothing) {
    using Op = std::function<bool(CQuillfenEditorDoc&)>;
    struct Case {
        const char* name;
        Op op;
        bool changes;
        std::vector<uint8_t> after;  // type * 2 + enabled
    };
    const std::string id = "object_1";
    const std::vector<uint8_t> start = {kEffectBlur * 2 + 1, kEffectGlow * 2 + 1, kEffectInvert * 2 + 1};
    const Case cases[] = {
        {"add", [&](auto& d) { return AddObjectEffect(d, id, kEffectLevels); }, true,
         {9, 5, 31, kEffectLevels * 2 + 1}},
        {"add to a missing object", [&](auto& d) { return AddObjectEffect(d, "nope", kEffectLevels); }, false, start},
        {"remove middle", [&](auto& d) { return RemoveObjectEffect(d, id, 1); }, true, {9, 31}},
        {"remove past end", [&](auto& d) { return RemoveObjectEffect(d, id, 3); }, false, start},
        {"move first down", [&](auto& d) { return MoveObjectEffect(d, id, 0, 1); }, true, {5, 9, 31}},
        {"move last up", [&](auto& d) { return MoveObjectEffect(d, id, 2, 1); }, true, {9, 31, 5}},
        {"move first up", [&](auto& d) { return MoveObjectEffect(d, id, 0, -1); }, false, start},
        {"move last down", [&](auto& d) { return MoveObjectEffect(d, id, 2, 3); }, false, start},
        {"disable one", [&](auto& d) { return SetObjectEffectEnabled(d, id, 1, false); }, true, {9, 4, 31}},
        {"enable an enabled one", [&](auto& d) { return SetObjectEffectEnabled(d, id, 1, true); }, false, start},
        {"disable all", [&](auto& d) { return SetAllObjectEffectsEnabled(d, id, false); }, true, {8, 4, 30}},
        {"enable all when all are", [&](auto& d) { return SetAllObjectEffectsEnabled(d, id, true); }, false, start},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Obj(id).effects = {MakeEffectInstance(kEffectBlur), MakeEffectInstance(kEffectGlow),
                           MakeEffectInstance(kEffectInvert)};
        doc.ClearAllUndo();
        const uint64_t generation = Obj(id).generation;
        EXPECT_EQ(c.op(doc), c.changes);
        EXPECT_EQ(TypesOf(doc, id), c.after);
        EXPECT_EQ(doc.CanUndo(), c.changes);
        if (!c.changes) continue;
        EXPECT_NE(Obj(id).generation, generation);
        doc.OnEditUndo();
        EXPECT_EQ(TypesOf(doc, id), start);
        doc.OnEditRedo();
        EXPECT_EQ(TypesOf(doc, id), c.after);
    }
}

TEST_F(EffectStackEditsTest, AParameterInteractionIsOneStepAndAnUnchangedOneNone) {
    EffectParamsEditRecorder recorder;
    recorder.Begin(doc, "object_1");
    // A drag writes many values into the live instance, found again each time.
    for (float r : {0.06f, 0.08f, 0.1f}) FindEffectInstance(doc, "object_1", 0)->params.Get<BlurParams>()->radius = r;
    EXPECT_TRUE(recorder.End(doc));
    EXPECT_FLOAT_EQ(FindEffectInstance(doc, "object_1", 0)->params.Get<BlurParams>()->radius, 0.1f);
    doc.OnEditUndo();
    EXPECT_FLOAT_EQ(FindEffectInstance(doc, "object_1", 0)->params.Get<BlurParams>()->radius, 0.05f);
    EXPECT_FALSE(doc.CanUndo());
    doc.OnEditRedo();
    EXPECT_FLOAT_EQ(FindEffectInstance(doc, "object_1", 0)->params.Get<BlurParams>()->radius, 0.1f);

    recorder.Begin(doc, "object_1");
    EXPECT_FALSE(recorder.End(doc));  // nothing changed: no step
    doc.OnEditUndo();
    EXPECT_FLOAT_EQ(FindEffectInstance(doc, "object_1", 0)->params.Get<BlurParams>()->radius, 0.05f);

    // The object deleted mid-interaction: the end records nothing and is safe.
    recorder.Begin(doc, "object_1");
    doc.mainScene.DeleteObject("object_1");
    EXPECT_FALSE(recorder.End(doc));
    EXPECT_EQ(FindEffectInstance(doc, "object_1", 0), nullptr);
}

uint32_t Gray(int x, int y) { return 0xFF000000u | uint32_t((x * 20 + y * 7) % 200) * 0x010101u; }

class PreviewTest : public DocumentFixture {
protected:
    void SetUp() override {
        doc.mainScene.DeleteObject("object_1");
        AddTo(doc.mainScene, "layer_1", MakeBitmapObject("bmp", "Pic", 0, 0, 8, 6, PngOf(8, 6, Gray)));
        doc.mainScene.SelectObject("bmp");
        doc.ClearAllUndo();
    }
    float amount = 50;
    EffectPixelOps ops{BrightnessMasked, BrightnessPlain};
};

TEST_F(PreviewTest, CancelAfterPreviewsLeavesTheObjectByteIdenticalAndOkRecordsOneStep) {
    const std::vector<uint8_t> bytes = Obj("bmp").parts[0].encoded;
    EffectPreviewSession session;
    ASSERT_TRUE(session.Open(doc));
    EXPECT_EQ(session.Mode(), kPreviewBitmap);
    for (float a : {50.f, 20.f, -30.f}) {
        amount = a;
        session.Apply(ops, &amount);
    }
    // The preview shows the snapshot changed by the last amount alone.
    BitmapPtr shown = Obj("bmp").parts[0].GetDecoded();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->Pixel(3, 2) & 0xFF, uint32_t(std::max(0, int(Gray(3, 2) & 0xFF) - 38)));
    session.Restore();
    EXPECT_FALSE(session.IsOpen());
    EXPECT_EQ(Obj("bmp").parts[0].encoded, bytes);
    EXPECT_EQ(Obj("bmp").parts[0].GetDecoded()->Pixel(3, 2), Gray(3, 2));
    EXPECT_FALSE(doc.CanUndo());

    ASSERT_TRUE(session.Open(doc));
    amount = 20;
    session.Apply(ops, &amount);
    EXPECT_EQ(session.Commit(ops, &amount), PreviewCommit::Done);
    BitmapPtr after = PictureOf(Obj("bmp"));
    EXPECT_EQ(after->Pixel(3, 2) & 0xFF, (Gray(3, 2) & 0xFF) + 25);
    ASSERT_TRUE(doc.CanUndo());
    doc.OnEditUndo();
    EXPECT_EQ(Obj("bmp").parts[0].encoded, bytes);
    EXPECT_FALSE(doc.CanUndo());
}

bool FailingEncoder(const Bitmap&, std::vector<uint8_t>&) { return false; }

TEST_F(PreviewTest, AFailedEncodeWritesNothingAndKeepsTheSessionOpen) {
    const std::vector<uint8_t> bytes = Obj("bmp").parts[0].encoded;
    EffectPreviewSession session;
    ASSERT_TRUE(session.Open(doc));
    session.SetEncoder(FailingEncoder);
    session.Apply(ops, &amount);
    EXPECT_EQ(session.Commit(ops, &amount), PreviewCommit::Failed);
    EXPECT_TRUE(session.IsOpen());
    EXPECT_EQ(Obj("bmp").parts[0].encoded, bytes);
    EXPECT_FALSE(doc.CanUndo());
    session.SetEncoder(nullptr);  // back to the real encoder: the retry succeeds
    EXPECT_EQ(session.Commit(ops, &amount), PreviewCommit::Done);
    EXPECT_TRUE(doc.CanUndo());
}

TEST_F(PreviewTest, TheSelectionLimitsTheChangeOnlyWhileTheObjectLiesOnTheCanvasAtPixelSize) {
    doc.mainScene.selectionMask = std::make_unique<SelectionMask>(int(doc.mainScene.width), int(doc.mainScene.height));
    const uint8_t full[4] = {255, 255, 255, 255};
    doc.mainScene.selectionMask->WriteRect(1, 1, 2, 2, full);
    for (float x : {0.f, 5.f}) {
        SCOPED_TRACE(x);
        Obj("bmp").x = x;
        EffectPreviewSession session;
        ASSERT_TRUE(session.Open(doc));
        EXPECT_EQ(session.Commit(ops, &amount), PreviewCommit::Done);
        BitmapPtr after = PictureOf(Obj("bmp"));
        EXPECT_NE(after->Pixel(1, 1), Gray(1, 1));
        EXPECT_EQ(after->Pixel(5, 4) == Gray(5, 4), x == 0);
        doc.OnEditUndo();
    }
}

TEST_F(PreviewTest, WhileTheMaskIsEditedTheMaskValuesChange) {
    Obj("bmp").maskPixels.assign(8 * 6, 100);
    Obj("bmp").maskWidth = 8;
    Obj("bmp").maskHeight = 6;
    Obj("bmp").maskEnabled = true;
    doc.mainScene.selectedMaskObjectId = "bmp";
    const std::vector<uint8_t> pixels = Obj("bmp").parts[0].encoded;
    EffectPreviewSession session;
    ASSERT_TRUE(session.Open(doc));
    EXPECT_EQ(session.Mode(), kPreviewMask);
    session.Apply(ops, &amount);
    EXPECT_EQ(Obj("bmp").maskPixels[0], 164);
    session.Restore();
    EXPECT_EQ(Obj("bmp").maskPixels[0], 100);
    ASSERT_TRUE(session.Open(doc));
    EXPECT_EQ(session.Commit(ops, &amount), PreviewCommit::Done);
    EXPECT_EQ(Obj("bmp").maskPixels[0], 164);
    EXPECT_EQ(Obj("bmp").parts[0].encoded, pixels);
    doc.OnEditUndo();
    EXPECT_EQ(Obj("bmp").maskPixels[0], 100);
}

// With a paint session open on the object the preview is drawn over the
// session's display, and OK becomes one stroke of the session's own history.
// The canvas is wide enough that every row is adjusted in a band of its own.
TEST(PaintSessionPreview, PreviewOverTheDisplayCancelPutsItBackOkIsOneSessionStroke) {
    FakeHost host;
    CQuillfenEditorDoc doc;
    doc.SetHost(&host);
    doc.mainScene.width = 33000;
    doc.mainScene.height = 4;
    AddTo(doc.mainScene, "layer_1", MakeSolidObject("grey", "Grey", 0, 0, 40, 4, 0xFF404040));
    doc.mainScene.SelectObject("grey");
    doc.ClearAllUndo();
    BitmapPaintSession paint;
    host.paintingView = &paint;
    ASSERT_TRUE(paint.Begin(doc, "grey", false));
    doc.mainScene.selectionMask = std::make_unique<SelectionMask>(33000, 4);
    const uint8_t full[4] = {255, 255, 255, 255};
    doc.mainScene.selectionMask->WriteRect(2, 1, 2, 2, full);

    auto displayBytes = [&] {
        const CompositeSurface& d = paint.Display();
        return std::vector<uint8_t>(d.pixels, d.pixels + size_t(paint.Width()) * paint.Height() * 4);
    };
    auto blue = [&](int x, int y) { return int(paint.Display().pixels[(size_t(y) * paint.Width() + x) * 4]); };
    auto layerPixel = [&](int x, int y) {
        uint32_t p = 0;
        paint.LayerView()->ReadRect(x, y, 1, 1, &p);
        return p;
    };
    const std::vector<uint8_t> before = displayBytes();
    const int base = blue(3, 2);
    ASSERT_EQ(base, 0x40);

    EffectPreviewSession session;
    ASSERT_TRUE(session.Open(doc));
    EXPECT_EQ(session.Mode(), kPreviewPaintSession);
    const EffectPixelOps ops{BrightnessMasked, BrightnessPlain};
    float amount = 50;
    session.Apply(ops, &amount);
    EXPECT_EQ(blue(3, 2), base + 64);
    EXPECT_EQ(blue(2, 1), base + 64);
    EXPECT_EQ(blue(3, 0), base);  // outside the selection
    EXPECT_EQ(blue(4, 2), base);
    EXPECT_EQ(layerPixel(3, 2), 0xFF404040u);  // the painting itself is untouched
    amount = 20;
    session.Apply(ops, &amount);
    EXPECT_EQ(blue(3, 2), base + 25);  // from the snapshot, not on top of the last step
    session.Restore();
    EXPECT_EQ(displayBytes(), before);
    EXPECT_EQ(paint.UndoCount(), 0u);

    ASSERT_TRUE(session.Open(doc));
    amount = 50;
    session.Apply(ops, &amount);
    amount = 20;
    EXPECT_EQ(session.Commit(ops, &amount), PreviewCommit::Done);
    EXPECT_EQ(layerPixel(3, 2), 0xFF595959u);
    EXPECT_EQ(layerPixel(3, 0), 0xFF404040u);
    EXPECT_EQ(blue(3, 2), base + 25);
    EXPECT_EQ(paint.UndoCount(), 1u);
    EXPECT_FALSE(doc.CanUndo());  // the session's history, not the document's
    paint.UndoStroke();
    EXPECT_EQ(layerPixel(3, 2), 0xFF404040u);
    EXPECT_EQ(displayBytes(), before);
    paint.End();
}

TEST_F(PreviewTest, OpeningNeedsOneSelectedObjectWithSomethingToAdjust) {
    EffectPreviewSession session;
    doc.mainScene.selectedIds.clear();
    EXPECT_FALSE(session.Open(doc));
    doc.mainScene.SelectObject("object_2");  // no image part
    EXPECT_FALSE(session.Open(doc));
    Obj("bmp").parts[0].encoded = {1, 2, 3};
    doc.mainScene.SelectObject("bmp");
    EXPECT_FALSE(session.Open(doc));
    EXPECT_FALSE(session.IsOpen());
}

}  // namespace
