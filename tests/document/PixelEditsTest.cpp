#include "BitmapObjects.h"
#include "DocumentFixture.h"

namespace {

std::vector<uint8_t> Bytes(size_t n, uint8_t v = 200) { return std::vector<uint8_t>(n, v); }

}  // namespace

TEST_F(DocumentFixture, ReplaceObjectBitmapKeepsOnlyAMaskOfTheRoundedPixelSize) {
    struct Case {
        float w, h;
        size_t maskBytes;
        bool kept;
    };
    const Case cases[] = {
        {0, 0, 1, true},       // a 0 x 0 picture counts as 1 x 1
        {2.5f, 2, 6, true},    // 2.5 rounds to 3
        {3, 2, 5, false},      // wrong count: the old mask goes too
        {3, 2, 0, false},
    };
    for (const Case& c : cases) {
        CanvasObject& o = Obj("object_1");
        o.maskPixels = Bytes(4);
        o.maskWidth = o.maskHeight = 2;
        o.maskEnabled = true;
        o.warp.x1 = 0.5f;
        std::vector<uint8_t> png = SolidPng(3, 2, 0xFF0000FF);
        std::vector<uint8_t> mask = Bytes(c.maskBytes);
        doc.ReplaceObjectBitmap("object_1", std::move(png), c.w, c.h, {5, 6, 30, 20, 0, 1}, false, std::move(mask));
        EXPECT_TRUE(png.empty());
        EXPECT_TRUE(mask.empty());
        const CanvasObject& after = Obj("object_1");
        EXPECT_EQ(after.maskEnabled, c.kept) << c.w << " " << c.maskBytes;
        EXPECT_EQ(after.maskPixels.size(), c.kept ? c.maskBytes : 0u);
        EXPECT_TRUE(after.warp.IsIdentity());
        EXPECT_EQ(after.x, 5);
        EXPECT_EQ(after.width, 30);
        ASSERT_EQ(after.parts.size(), 1u);
        EXPECT_EQ(after.parts[0].name, "Tree");
    }
    ASSERT_EQ(doc.mainUndo.undo.size(), 4u);
    EXPECT_EQ(doc.mainUndo.undo.back().kind, kUndoWholeObject);
    EXPECT_EQ(doc.mainUndo.undo.back().layerId, "layer_1");
}

TEST_F(DocumentFixture, ReplaceObjectBitmapUndoAndMissingObject) {
    const std::string before = Main();
    std::vector<uint8_t> png = SolidPng(2, 2, 0xFFFFFFFF);
    doc.ReplaceObjectBitmap("nobody", std::move(png), 2, 2, {0, 0, 2, 2, 0, 1}, false, {});
    EXPECT_TRUE(png.empty());  // consumed even when nothing happens
    EXPECT_TRUE(doc.mainUndo.undo.empty());

    doc.ReplaceObjectBitmap("object_1", SolidPng(2, 2, 0xFFFFFFFF), 2, 2, {1, 2, 2, 2, 45, 0.5f}, false, {});
    EXPECT_NE(Main(), before);
    EXPECT_TRUE(doc.IsModified());
    doc.OnEditUndo();
    EXPECT_EQ(Main(), before);
    EXPECT_TRUE(Obj("object_1").parts.empty());
}

TEST_F(DocumentFixture, SetObjectMaskAndReplacePartImage) {
    // Empty bytes on an object without a mask still records a step.
    EXPECT_TRUE(doc.SetObjectMask("object_1", {}, 4, 4));
    EXPECT_EQ(doc.mainUndo.undo.size(), 1u);
    EXPECT_FALSE(doc.SetObjectMask("object_1", Bytes(3), 2, 2));  // count differs
    EXPECT_FALSE(doc.SetObjectMask("object_1", Bytes(4), 0, 4));
    EXPECT_FALSE(doc.SetObjectMask("ghost", Bytes(4), 2, 2));
    ASSERT_TRUE(doc.SetObjectMask("object_1", Bytes(4, 9), 2, 2));
    EXPECT_TRUE(Obj("object_1").HasUsableMask());
    doc.OnEditUndo();
    EXPECT_FALSE(Obj("object_1").maskEnabled);

    CanvasObject& o = Obj("object_2");
    ImagePart a, b;
    a.id = "image_1";
    b.id = "image_2";
    o.parts = {a, b};
    EXPECT_TRUE(doc.ReplacePartImage("object_2", "image_9", {1, 2, 3}));  // unknown id: the first part
    EXPECT_EQ(Obj("object_2").parts[0].encoded, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_TRUE(doc.ReplacePartImage("object_2", "image_2", {4}));
    EXPECT_EQ(Obj("object_2").parts[1].encoded, (std::vector<uint8_t>{4}));
    EXPECT_FALSE(doc.ReplacePartImage("object_1", "", {4}));  // no parts
    doc.OnEditUndo();
    EXPECT_TRUE(Obj("object_2").parts[1].encoded.empty());
}

TEST_F(DocumentFixture, SetLightTintForcesOpaqueAlphaAndIgnoresRepeats) {
    CanvasObject& light = Obj("object_1");
    light.kind = kObjectLightCone;
    EXPECT_TRUE(doc.SetLightTint(0x00123456));
    EXPECT_EQ(Obj("object_1").lightCone.tint, 0xFF123456u);
    ASSERT_EQ(doc.mainUndo.undo.size(), 1u);
    EXPECT_EQ(doc.mainUndo.undo.back().kind, kUndoLightCone);
    EXPECT_FALSE(doc.SetLightTint(0x7F123456));  // same colour, other alpha
    EXPECT_EQ(doc.mainUndo.undo.size(), 1u);

    doc.mainScene.AddToSelection("object_2");
    EXPECT_FALSE(doc.SetLightTint(0xFF000000));  // two selected
    doc.mainScene.SelectObject("object_1");
    doc.workspaceMode = kWorkspacePoseEditor;
    EXPECT_FALSE(doc.SetLightTint(0xFF000000));
}
