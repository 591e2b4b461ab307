#include "BitmapObjects.h"
#include "DocumentFixture.h"

namespace {

const char* kConvertTail = "Type-specific data (bones, light parameters, posable skeleton) will be discarded.";

}  // namespace

TEST_F(DocumentFixture, ConvertUpdateRule) {
    EXPECT_FALSE(doc.CanConvertToBitmap());  // one bitmap object
    doc.mainScene.AddToSelection("object_2");
    EXPECT_TRUE(doc.CanConvertToBitmap());  // two: merged
    Obj("object_2").visible = false;
    EXPECT_FALSE(doc.CanConvertToBitmap());
    doc.mainScene.SelectObject("object_1");
    Obj("object_1").kind = kObjectLightCone;
    EXPECT_TRUE(doc.CanConvertToBitmap());
    Obj("object_1").locked = true;
    EXPECT_FALSE(doc.CanConvertToBitmap());
}

TEST_F(DocumentFixture, ConvertRotatedLightConeToAnUnrotatedBitmap) {
    CanvasObject& light = Obj("object_1");
    light.kind = kObjectLightCone;
    light.width = 20.4f;
    light.height = 10;
    light.rotation = 30;
    light.lightCone.tint = 0xFF00FF00;
    BitmapPtr rendered = light.GetLightConeBitmap();
    ASSERT_NE(rendered, nullptr);
    const std::string before = Main();

    host.prompts.QueueAnswer(PromptAnswer::No);
    doc.OnModifyConvertToBitmap();
    EXPECT_EQ(Main(), before);
    ASSERT_EQ(host.prompts.MessageTexts().size(), 1u);
    EXPECT_EQ(host.prompts.MessageTexts()[0], std::string("Convert \"Tree\" to Bitmap?\n\n") + kConvertTail);

    host.prompts.QueueAnswer(PromptAnswer::Yes);
    doc.OnModifyConvertToBitmap();
    const CanvasObject& o = Obj("object_1");
    EXPECT_EQ(o.kind, kObjectBitmap);
    EXPECT_EQ(o.rotation, 0);
    EXPECT_EQ(o.width, 20);
    EXPECT_EQ(o.lightCone.tint, 0xFFFFFFFFu);
    BitmapPtr baked = PictureOf(o);
    ASSERT_NE(baked, nullptr);
    ASSERT_EQ(baked->Width(), 20);
    ASSERT_EQ(baked->Height(), 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(baked->Pixel(x, y), rendered->Pixel(x, y)) << x << "," << y;
    EXPECT_EQ(doc.mainUndo.undo.back().kind, kUndoWholeObject);
    doc.OnEditUndo();
    EXPECT_EQ(Main(), before);
    EXPECT_TRUE(doc.ConvertObjectForEffect("object_2"));  // already a bitmap: nothing to do
    EXPECT_EQ(doc.mainUndo.undo.size(), 0u);
}

TEST_F(DocumentFixture, MergeDrawsTheObjectsIntoTheUpperLayer) {
    Obj("object_1") = MakeSolidObject("object_1", "Red", 0, 0, 2, 2, 0xFFFF0000);
    Obj("object_2") = MakeSolidObject("object_2", "Locked", 0, 0, 2, 2, 0xFF00FF00);
    Obj("object_2").locked = true;
    const std::string upper = doc.mainScene.AddLayer().id;
    AddTo(doc.mainScene, upper, MakeSolidObject("object_3", "Under", 50, 50, 2, 2, 0xFFFFFFFF));
    AddTo(doc.mainScene, upper, MakeSolidObject("object_4", "Blue", 2, 1, 2, 2, 0xFF0000FF));
    CanvasObject cone;
    cone.id = "object_5";
    cone.kind = kObjectLightCone;
    cone.x = cone.y = 0;
    cone.width = cone.height = 4;
    AddTo(doc.mainScene, "layer_1", cone);
    doc.mainScene.SelectObject("object_1");
    for (const char* id : {"object_2", "object_4", "object_5"}) doc.mainScene.AddToSelection(id);

    host.prompts.QueueAnswer(PromptAnswer::Yes);
    doc.OnModifyConvertToBitmap();
    EXPECT_EQ(host.prompts.MessageTexts().at(0),
              std::string("Merge 4 selected objects into a single Bitmap?\n\nThe originals will be removed. ") +
                  kConvertTail);
    const std::string id = doc.mainScene.primarySelectedId;
    EXPECT_EQ(doc.mainScene.selectedIds, std::vector<std::string>{id});
    const Layer* layer = doc.mainScene.FindLayer(upper);
    ASSERT_EQ(layer->objects.size(), 2u);
    EXPECT_EQ(layer->objects.front().id, id);  // above the layer's other object
    EXPECT_NE(doc.mainScene.FindObject("object_2"), nullptr);  // locked: stays
    EXPECT_EQ(doc.mainScene.FindObject("object_5"), nullptr);  // the cone is gone
    const CanvasObject& merged = *doc.mainScene.FindObject(id);
    EXPECT_EQ(merged.name, "Blue");  // the last object merged
    EXPECT_EQ(merged.x, 0);
    EXPECT_EQ(merged.width, 4);
    EXPECT_EQ(merged.height, 4);
    BitmapPtr p = PictureOf(merged);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(p->Pixel(3, 2), 0xFF0000FFu);
    EXPECT_EQ(p->Pixel(3, 0), 0u);  // the cone left no pixels
    EXPECT_EQ(p->Pixel(0, 3), 0u);

    EXPECT_EQ(doc.mainUndo.undo.back().kind, kUndoObjectsMerged);
    doc.OnEditUndo();
    EXPECT_EQ(doc.mainScene.FindObject(id), nullptr);
    for (const char* back : {"object_1", "object_4", "object_5"}) EXPECT_NE(doc.mainScene.FindObject(back), nullptr);
    EXPECT_EQ(doc.mainScene.selectedIds.size(), 4u);
}

TEST_F(DocumentFixture, MergeOfARotatedObjectUsesItsRotatedBounds) {
    Obj("object_1") = MakeSolidObject("object_1", "Bar", 10, 10, 4, 2, 0xFFFF0000);
    Obj("object_1").rotation = 90;  // stands upright over x 11..13, y 9..13
    Obj("object_2") = MakeSolidObject("object_2", "Dot", 11, 13, 2, 1, 0xFF0000FF);
    doc.mainScene.AddToSelection("object_2");
    ASSERT_TRUE(doc.MergeObjectsToBitmap(doc.mainScene.selectedIds));
    const CanvasObject& merged = *doc.mainScene.FindObject(doc.mainScene.primarySelectedId);
    EXPECT_EQ(merged.x, 11);
    EXPECT_EQ(merged.y, 9);
    EXPECT_EQ(merged.width, 2);
    EXPECT_EQ(merged.height, 5);
    EXPECT_EQ(merged.rotation, 0);
    BitmapPtr p = PictureOf(merged);
    EXPECT_EQ(p->Pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(p->Pixel(1, 4), 0xFF0000FFu);

    EXPECT_FALSE(doc.MergeObjectsToBitmap({doc.mainScene.primarySelectedId}));  // one id
}

TEST_F(DocumentFixture, MergeThatCannotMakeTheBitmapSaysSoAndChangesNothing) {
    // Spans beyond a side of 32767, and beyond the pixel cap with both sides allowed.
    for (float far : {40000.0f, 20000.0f}) {
        Obj("object_1") = MakeSolidObject("object_1", "Near", 0, 0, 2, 2, 0xFFFF0000);
        Obj("object_2") = MakeSolidObject("object_2", "Far", far, far, 2, 2, 0xFF0000FF);
        doc.mainScene.SelectObject("object_1");
        doc.mainScene.AddToSelection("object_2");
        const std::string before = Main();
        host.prompts.QueueAnswer(PromptAnswer::Yes);
        doc.OnModifyConvertToBitmap();
        EXPECT_EQ(Main(), before) << far;
        EXPECT_EQ(host.prompts.MessageTexts().back(), "The merged bitmap would be too large.") << far;
        EXPECT_EQ(host.prompts.Records().back().message.icon, PromptIcon::Error);
        EXPECT_TRUE(doc.mainUndo.undo.empty());
    }
}
