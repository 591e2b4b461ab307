#include "BitmapObjects.h"
#include "DocumentFixture.h"

#include "document/ClipboardFormats.h"
#include "platform/Clipboard.h"
#include "scene/SelectionMask.h"

namespace {

// A paint session that paints object_1 and offers a premultiplied surface.
struct SurfaceSession : FakeSession {
    std::vector<uint8_t> pixels;
    int w = 0, h = 0;
    std::string PaintedObjectId() const override { return "object_1"; }
    bool GetWorkingSurface(WorkingSurface& out) const override {
        out.pixels = pixels.data();
        out.width = w;
        out.height = h;
        out.stride = int64_t(w) * 4;
        out.premultiplied = true;
        return true;
    }
};

class CopyPasteFixture : public DocumentFixture {
protected:
    CopyPasteFixture() { doc.SetClipboard(&clipboard); }

    // object_1 becomes a 4 x 4 picture at the canvas origin, opaque except a
    // transparent top row; pixel (x, y) has blue x, green y.
    void MakePictureAtOrigin() {
        CanvasObject& o = Obj("object_1");
        o = MakeBitmapObject("object_1", "Tree", 0, 0, 4, 4,
                             PngOf(4, 4, [](int x, int y) { return (y == 0 ? 0u : 0xFF000000u) | 0x800000u | (uint32_t(y) << 8) | uint32_t(x); }));
        o.opacity = 0.75f;
        o.blendMode = 5;
    }

    void Select(int x, int y, int w, int h, uint8_t value = 255) {
        doc.mainScene.EnsureSelectionMask();
        std::vector<uint8_t> cov(size_t(w) * size_t(h), value);
        doc.mainScene.selectionMask->WriteRect(x, y, w, h, cov.data());
    }

    CanvasObject Copied() {
        CanvasObject out;
        EXPECT_TRUE(PasteObjectFromClipboard(clipboard, out));
        return out;
    }

    MemoryClipboard clipboard;
};

}  // namespace

TEST_F(CopyPasteFixture, CopyOfSelectedPixelsKeepsOnlyVisibleSelectedOnes) {
    MakePictureAtOrigin();
    Select(1, 0, 2, 3);  // columns 1-2, rows 0-2; row 0 is transparent
    std::vector<uint8_t> half(1, 128);
    doc.mainScene.selectionMask->WriteRect(2, 2, 1, 1, half.data());
    ASSERT_TRUE(doc.CopySelectionToClipboard());
    const CanvasObject c = Copied();
    EXPECT_EQ(c.x, 1);
    EXPECT_EQ(c.y, 1);
    EXPECT_EQ(c.width, 2);
    EXPECT_EQ(c.height, 2);
    EXPECT_EQ(c.name, "Tree");
    EXPECT_EQ(c.opacity, 0.75f);
    EXPECT_EQ(c.blendMode, 5);
    EXPECT_TRUE(c.id.empty());
    BitmapPtr p = PictureOf(c);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Pixel(0, 0), 0xFF800101u);  // canvas (1, 1), colour exact
    EXPECT_EQ(p->Pixel(1, 1), 0x80800202u);  // half coverage: (128 * 255 + 127) / 255 = 128
}

TEST_F(CopyPasteFixture, CopyFromPaintSessionUnpremultiplies) {
    MakePictureAtOrigin();
    SurfaceSession session;
    session.w = 3;
    session.h = 2;
    session.pixels.assign(3 * 2 * 4, 0);
    // Canvas (2, 1): straight (B 200, G 100, R 50) at alpha 128, premultiplied.
    uint8_t* px = &session.pixels[(1 * 3 + 2) * 4];
    px[0] = 100;
    px[1] = 50;
    px[2] = 25;
    px[3] = 128;
    doc.paintSession = &session;
    Select(0, 0, 4, 4);
    ASSERT_TRUE(doc.CopySelectionToClipboard());
    const CanvasObject c = Copied();
    EXPECT_EQ(c.x, 2);
    EXPECT_EQ(c.y, 1);
    EXPECT_EQ(c.width, 1);
    // Straight colour back from premultiplied: (v * 255 + 64) / 128.
    EXPECT_EQ(PictureOf(c)->Pixel(0, 0), 0x803264C7u);  // R 50, G 100, B 199, A 128
}

TEST_F(CopyPasteFixture, CopyFallsBackToWholeObjects) {
    MakePictureAtOrigin();
    Select(0, 0, 2, 2);
    Obj("object_1").x = 1;  // no longer at the origin: the whole object goes
    ASSERT_TRUE(doc.CopySelectionToClipboard());
    EXPECT_EQ(Copied().id, "object_1");
    EXPECT_EQ(Copied().width, 4);

    doc.mainScene.AddToSelection("object_2");  // two objects: a set, pixels ignored
    ASSERT_TRUE(doc.CopySelectionToClipboard());
    std::vector<CanvasObject> set;
    ASSERT_TRUE(PasteObjectSetFromClipboard(clipboard, set));
    ASSERT_EQ(set.size(), 2u);
    EXPECT_EQ(set[0].id, "object_1");
    EXPECT_EQ(set[1].id, "object_2");

    doc.mainScene.ClearSelection();
    EXPECT_FALSE(doc.CanCopySelection());
    EXPECT_FALSE(doc.CopySelectionToClipboard());
}

TEST_F(CopyPasteFixture, PasteSetGetsFreshIdsNamesAndOneUndoStep) {
    std::vector<CanvasObject> set = {MakeObject("object_1", "A", 10.4f, 20), MakeObject("object_2", "B", 30, 40),
                                     MakeObject("object_3", "C", 50, 60)};
    ASSERT_TRUE(CopyObjectSetToClipboard(clipboard, set));
    doc.mainScene.DeleteObject("object_2");  // the scene holds object_1 only
    const std::string before = Main();
    ASSERT_TRUE(doc.CanPasteFromClipboard());
    ASSERT_TRUE(doc.PasteFromClipboard());
    const CanvasObject* a = doc.mainScene.FindObject("object_2");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->name, "A copy");
    EXPECT_EQ(a->x, 10);  // inside the canvas: rounded, not moved
    ASSERT_NE(doc.mainScene.FindObject("object_4"), nullptr);
    EXPECT_EQ(doc.mainScene.FindObject("object_4")->name, "C copy");
    EXPECT_EQ(doc.mainScene.selectedIds, (std::vector<std::string>{"object_2", "object_3", "object_4"}));
    EXPECT_EQ(doc.mainScene.primarySelectedId, "object_4");
    // Pasted objects land on top, in paste order.
    EXPECT_EQ(doc.mainScene.FindLayer("layer_1")->objects.front().id, "object_4");
    ASSERT_EQ(doc.mainUndo.undo.size(), 1u);
    EXPECT_EQ(doc.mainUndo.undo.back().kind, kUndoObjectsAdded);
    const std::string after = Main();
    doc.OnEditUndo();
    EXPECT_EQ(Main(), before);
    doc.OnEditRedo();
    EXPECT_EQ(Main(), after);
}

TEST_F(CopyPasteFixture, PastedSetReachingPastTheCanvasIsCentred) {
    doc.mainScene.width = 200;
    doc.mainScene.height = 100;
    std::vector<CanvasObject> set = {MakeObject("x", "A", 150, 10), MakeObject("y", "B", 170, 30)};
    // Bounds 150..270 x 10..80: 120 wide, so x moves to (200 - 120) / 2 = 40.
    ASSERT_TRUE(CopyObjectSetToClipboard(clipboard, set));
    ASSERT_TRUE(doc.PasteFromClipboard());
    const CanvasObject* a = doc.mainScene.FindObject(doc.mainScene.selectedIds[0]);
    const CanvasObject* b = doc.mainScene.FindObject(doc.mainScene.selectedIds[1]);
    EXPECT_EQ(a->x, 40);
    EXPECT_EQ(b->x, 60);
    EXPECT_EQ(a->y, 15);  // (100 - 70) / 2 = 15
    EXPECT_EQ(b->y, 35);
}

TEST_F(CopyPasteFixture, PasteRefusalsAndFallbacks) {
    ASSERT_TRUE(CopyObjectToClipboard(clipboard, MakeObject("object_1", "Tree", -5, 0)));
    doc.mainScene.FindLayer("layer_1")->locked = true;
    EXPECT_FALSE(doc.CanPasteFromClipboard());
    const std::string before = Main();
    doc.OnEditPaste();
    EXPECT_EQ(Main(), before);
    doc.mainScene.FindLayer("layer_1")->locked = false;

    // One object outside the canvas: centred, made whole.
    doc.activeTool = kToolEyedropper;
    doc.OnEditPaste();
    EXPECT_EQ(doc.activeTool, kToolMove);
    const CanvasObject* pasted = doc.mainScene.FindObject("object_3");
    ASSERT_NE(pasted, nullptr);
    EXPECT_EQ(pasted->x, 462);  // (1024 - 100) / 2
    EXPECT_EQ(pasted->name, "Tree copy");
    EXPECT_EQ(doc.mainUndo.undo.back().kind, kUndoObjectAdded);

    // A foreign payload under our name falls through to a picture.
    clipboard.Empty();
    clipboard.AddFormat(kCanvasObjectClipFormat, {'Q', 'V', 'O', '1', 13, 0, 0, 0});
    clipboard.AddFormat("PNG", SolidPng(3, 3, 0xFFFFFFFF));
    ASSERT_TRUE(doc.PasteFromClipboard());
    EXPECT_EQ(doc.mainScene.FindObject(doc.mainScene.primarySelectedId)->name, "Clipboard Image copy");

    clipboard.Empty();
    clipboard.AddFormat(kCanvasObjectClipFormat, {1, 2, 3});
    EXPECT_TRUE(doc.CanPasteFromClipboard());
    EXPECT_FALSE(doc.PasteFromClipboard());
}

TEST_F(CopyPasteFixture, CutDeletesOnlyAfterASuccessfulCopy) {
    doc.SetClipboard(nullptr);
    doc.OnEditCut();
    EXPECT_NE(doc.mainScene.FindObject("object_1"), nullptr);
    doc.SetClipboard(&clipboard);
    doc.OnEditCut();
    EXPECT_EQ(doc.mainScene.FindObject("object_1"), nullptr);
    EXPECT_EQ(Copied().name, "Tree");
}

TEST_F(CopyPasteFixture, PasteInThePoseEditorResetsLookAndBoneIds) {
    doc.workspaceMode = kWorkspacePoseEditor;
    doc.poseEditorObjectId = "object_1";
    CanvasObject part = MakeObject("object_1", "Arm");
    Bone bone;
    bone.id = "bone_1";
    part.bones = {bone};
    AddTo(doc.poseScene, "layer_1", part);
    CanvasObject pasted = part;
    pasted.opacity = 0.3f;
    pasted.blendMode = 7;
    pasted.clipToLayerBelow = true;
    ASSERT_TRUE(CopyObjectToClipboard(clipboard, pasted));
    ASSERT_TRUE(doc.PasteFromClipboard());
    const CanvasObject* o = doc.poseScene.FindObject("object_2");
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->opacity, 1.0f);
    EXPECT_EQ(o->blendMode, 0);
    EXPECT_FALSE(o->clipToLayerBelow);
    ASSERT_EQ(o->bones.size(), 1u);
    EXPECT_EQ(o->bones[0].id, "bone_2");
    EXPECT_EQ(doc.poseUndo.undo.size(), 1u);
}
