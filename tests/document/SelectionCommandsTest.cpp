#include "CommandFixture.h"

#include "document/SelectionCommands.h"
#include "scene/PixelOps.h"
#include "selection/SelectionToolController.h"

namespace {

uint8_t CoverageAt(const CanvasDocument& scene, int x, int y) {
    uint8_t b = 0;
    scene.selectionMask->ReadRect(x, y, 1, 1, &b);
    return b;
}

struct SelectionEnv : CommandEnv {
    PaintingSession session;
    SelectionEnv() {
        doc.mainScene.width = 300;
        doc.mainScene.height = 300;
        AddTo(doc.mainScene, "layer_1", MakeObject("object_1"));
        doc.mainScene.SelectObject("object_1");
        session.objectId = "object_1";
        doc.paintSession = &session;
    }
};

}  // namespace

TEST(SelectionCommands, DeselectKeepsACopyThatReselectBringsBack) {
    SelectionEnv env;
    CanvasDocument& scene = env.doc.mainScene;
    SelectRect(scene, 10, 10, 5, 5);
    env.doc.SelectionTool(scene).pending.kind = kSelectionShapeRectangle;

    env.doc.OnSelectionDeselect();
    EXPECT_FALSE(scene.selectionMask->HasSelection());
    ASSERT_NE(scene.deselectedMask, nullptr);
    EXPECT_EQ(scene.selectionUndo.size(), 1u);
    EXPECT_EQ(env.doc.SelectionTool(scene).pending.kind, kSelectionShapeNone);

    // A second Deselect finds nothing to clear and keeps the first copy.
    env.doc.OnSelectionDeselect();
    EXPECT_EQ(scene.selectionUndo.size(), 1u);
    ASSERT_NE(scene.deselectedMask, nullptr);
    EXPECT_TRUE(scene.deselectedMask->HasSelection());

    for (int i = 0; i < 2; ++i) {
        env.doc.OnSelectionReselect();
        EXPECT_EQ(CoverageAt(scene, 12, 12), 255);
        EXPECT_EQ(CoverageAt(scene, 20, 12), 0);
        int x, y, w, h;
        ASSERT_TRUE(scene.selectionMask->GetBounds(x, y, w, h));
        EXPECT_EQ(x * 1000 + y * 100 + w * 10 + h, 10 * 1000 + 10 * 100 + 5 * 10 + 5);
    }
    EXPECT_EQ(scene.selectionUndo.size(), 3u);  // Deselect and two Reselects
}

TEST(SelectionCommands, WithoutAPaintSessionTheCanvasSelectionStays) {
    SelectionEnv env;
    env.doc.paintSession = nullptr;
    SelectRect(env.doc.mainScene, 0, 0, 4, 4);
    env.doc.OnSelectionDeselect();
    env.doc.OnSelectionInverse();
    EXPECT_EQ(CoverageAt(env.doc.mainScene, 1, 1), 255);
    EXPECT_TRUE(env.doc.mainScene.selectionUndo.empty());
    EXPECT_EQ(env.doc.mainScene.deselectedMask, nullptr);

    // The Pose Editor's scene takes them without a session.
    env.doc.workspaceMode = kWorkspacePoseEditor;
    env.doc.poseEditorObjectId = "object_1";
    SelectRect(env.doc.poseScene, 0, 0, 4, 4);
    env.doc.OnSelectionDeselect();
    EXPECT_FALSE(env.doc.poseScene.selectionMask->HasSelection());
    EXPECT_EQ(CoverageAt(env.doc.mainScene, 1, 1), 255);
}

TEST(SelectionCommands, InverseFlipsStoredBytesAndMissingTiles) {
    SelectionEnv env;
    CanvasDocument& scene = env.doc.mainScene;
    SelectRect(scene, 0, 0, 1, 1, 0);
    SelectRect(scene, 1, 0, 1, 1, 255);
    SelectRect(scene, 2, 0, 1, 1, 128);
    env.doc.OnSelectionInverse();
    EXPECT_EQ(CoverageAt(scene, 0, 0), 255);
    EXPECT_EQ(CoverageAt(scene, 1, 0), 0);
    EXPECT_EQ(CoverageAt(scene, 2, 0), 127);
    EXPECT_EQ(CoverageAt(scene, 299, 299), 255);  // a tile never written
    EXPECT_EQ(scene.selectionUndo.size(), 1u);

    // Everything selected without tiles inverts to nothing.
    scene.selectionMask->Clear();
    scene.selectionMask->Invert();
    ASSERT_EQ(scene.selectionMask->TileCount(), 0u);
    env.doc.OnSelectionInverse();
    EXPECT_FALSE(scene.selectionMask->HasSelection());
}

// --- Split Bitmap ---

namespace {

// A 4 x 2 canvas painted in one bitmap object: the left column opaque red,
// the next one opaque green, the rest transparent except an opaque blue pixel
// at (3, 1).
struct SplitEnv : CommandEnv {
    PaintingSession session;
    SplitEnv() {
        doc.mainScene.width = 4;
        doc.mainScene.height = 2;
        CanvasObject o = MakeObject("object_1", "Tree", 0, 0);
        o.width = 4;
        o.height = 2;
        o.blendMode = 3;
        o.opacity = 0.5f;
        BitmapPtr b = Bitmap::Create(4, 2);
        ImagePart part;
        part.id = "image_1";
        EncodeBitmapToPng(*b, part.encoded);
        part.pixelWidth = 4;
        part.pixelHeight = 2;
        o.parts.push_back(part);
        AddTo(doc.mainScene, "layer_1", o);
        doc.mainScene.SelectObject("object_1");
        session.objectId = "object_1";
        session.width = 4;
        session.height = 2;
        session.pixels.assign(4 * 2 * 4, 0);
        auto put = [&](int x, int y, uint32_t argb) {
            uint8_t* p = &session.pixels[size_t(y * 4 + x) * 4];
            p[0] = argb & 0xFF, p[1] = (argb >> 8) & 0xFF, p[2] = (argb >> 16) & 0xFF, p[3] = argb >> 24;
        };
        for (int y = 0; y < 2; ++y) {
            put(0, y, 0xFFFF0000);
            put(1, y, 0xFF00FF00);
        }
        put(3, 1, 0xFF0000FF);
        doc.paintSession = &session;
        doc.activeTool = kToolPaintBrush;
    }
};

BitmapPtr PartPixels(const CanvasObject& o) { return DecodePngToBitmap(o.parts.at(0).encoded); }

}  // namespace

TEST(SplitBitmap, SelectedPixelsStayAndTheRestBecomeACutObject) {
    SplitEnv env;
    CanvasDocument& scene = env.doc.mainScene;
    SelectRect(scene, 0, 0, 1, 2);       // the red column
    SelectRect(scene, 1, 0, 1, 2, 128);  // half of the green one
    const std::string before = Signature(scene);

    EXPECT_TRUE(env.table.Execute(kCmdSplitBitmap));
    EXPECT_EQ(env.session.strokeEnds, 1);
    EXPECT_EQ(env.session.hiddenRestored, 1);
    EXPECT_EQ(env.doc.activeTool, kToolMove);

    const CanvasObject* kept = scene.FindObject("object_1");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->x, 0);
    EXPECT_EQ(kept->width, 2);
    EXPECT_EQ(kept->height, 2);
    EXPECT_EQ(kept->name, "Tree");
    BitmapPtr inside = PartPixels(*kept);
    ASSERT_TRUE(inside);
    EXPECT_EQ(inside->Pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(inside->Pixel(1, 1), 0x8000FF00u);  // coverage 128 of alpha 255

    const CanvasObject* cut = scene.FindObject(scene.primarySelectedId);
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->name, "Tree (cut)");
    EXPECT_EQ(cut->x, 1);
    EXPECT_EQ(cut->y, 0);
    EXPECT_EQ(cut->width, 3);
    EXPECT_EQ(cut->blendMode, 3);
    EXPECT_FLOAT_EQ(cut->opacity, 0.5f);
    BitmapPtr outside = PartPixels(*cut);
    ASSERT_TRUE(outside);
    EXPECT_EQ(outside->Pixel(0, 0), 0x7F00FF00u);
    EXPECT_EQ(outside->Pixel(2, 1), 0xFF0000FFu);
    EXPECT_EQ(outside->Pixel(1, 0), 0u);

    // Two steps: the replacement, then the insertion.
    env.doc.paintSession = nullptr;
    env.doc.OnEditUndo();
    env.doc.OnEditUndo();
    EXPECT_EQ(Signature(scene), before);
}

TEST(SplitBitmap, ASelectionOverTransparentPixelsMovesEverythingAndUndoBringsTheObjectBack) {
    SplitEnv env;
    CanvasDocument& scene = env.doc.mainScene;
    SelectRect(scene, 2, 0, 1, 2);
    const std::string before = Signature(scene);
    env.doc.OnSelectionSplitBitmap();
    // The painted object is gone; its freed id goes to the new one.
    ASSERT_EQ(scene.FindLayer("layer_1")->objects.size(), 1u);
    const CanvasObject* cut = scene.FindObject(scene.primarySelectedId);
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->name, "Tree (cut)");
    EXPECT_EQ(cut->width, 4);

    env.doc.paintSession = nullptr;
    env.doc.OnEditUndo();
    env.doc.OnEditUndo();
    EXPECT_EQ(Signature(scene), before);
    EXPECT_EQ(scene.FindObject("object_1")->name, "Tree");
}

TEST(SplitBitmap, NothingHappensWithoutASelectionOrOnAnotherKind) {
    SplitEnv env;
    const std::string before = Signature(env.doc.mainScene);
    env.doc.OnSelectionSplitBitmap();  // no selection
    EXPECT_EQ(Signature(env.doc.mainScene), before);
    SelectRect(env.doc.mainScene, 0, 0, 1, 1);
    env.doc.mainScene.FindObject("object_1")->kind = kObjectLightCone;
    const std::string cone = Signature(env.doc.mainScene);
    env.doc.OnSelectionSplitBitmap();
    EXPECT_EQ(Signature(env.doc.mainScene), cone);
    EXPECT_EQ(env.session.strokeEnds, 0);
    EXPECT_TRUE(env.doc.mainUndo.undo.empty());
}

TEST(SplitBitmap, ExtractRoundsWeightedAlphaAndDividesPremultipliedColour) {
    // Premultiplied (B, G, R, A): half-transparent grey-blue, and a pixel that fades out.
    const uint8_t pixels[] = {40, 60, 100, 128, 200, 200, 200, 255};
    const uint8_t coverage[] = {255, 1};
    BitmapPtr in = ExtractSelectionBitmap(2, 1, pixels, 8, coverage, true);
    ASSERT_TRUE(in);
    const uint8_t* p = in->Row(0);
    EXPECT_EQ(p[0], (40 * 255 + 64) / 128);
    EXPECT_EQ(p[2], (100 * 255 + 64) / 128);
    EXPECT_EQ(p[3], 128);
    EXPECT_EQ(in->Pixel(1, 0), 0x01C8C8C8u);  // 1 * 255 + 127 reaches 255: alpha 1
    const uint8_t faint[] = {2, 2, 2, 2};
    const uint8_t half[] = {63};  // 63 * 2 + 127 < 255
    BitmapPtr gone = ExtractSelectionBitmap(1, 1, faint, 4, half, true);
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->Pixel(0, 0), 0u);  // weighted alpha rounds to 0
}
