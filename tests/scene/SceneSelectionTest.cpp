#include "scene/CanvasDocument.h"
#include "scene/SelectionMask.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

std::vector<uint8_t> ReadAll(const SelectionMask& m) {
    std::vector<uint8_t> out(size_t(m.Width()) * m.Height());
    m.ReadRect(0, 0, m.Width(), m.Height(), out.data());
    return out;
}

void SelectBlock(SelectionMask& m, int x, int y, int w, int h, uint8_t v = 255) {
    std::vector<uint8_t> block(size_t(w) * h, v);
    m.Combine(kSelectionAdd, x, y, w, h, block.data());
}

TEST(SceneSelection, MaskSizeIsTheRoundedCanvas) {
    struct Case {
        float w, h;
        int mw, mh;
    };
    const Case cases[] = {{1024.5f, 0.3f, 1025, 1}, {2.49f, -5.f, 2, 1}, {0.f, 1.5f, 1, 2}};
    for (const auto& c : cases) {
        CanvasDocument scene;
        scene.width = c.w;
        scene.height = c.h;
        scene.EnsureSelectionMask();
        ASSERT_NE(scene.selectionMask, nullptr);
        EXPECT_EQ(scene.selectionMask->Width(), c.mw);
        EXPECT_EQ(scene.selectionMask->Height(), c.mh);
        EXPECT_EQ(scene.selectionMask->TileSize(), 256);
    }
}

TEST(SceneSelection, EnsureKeepsTheMaskUntilTheCanvasSizeChanges) {
    CanvasDocument scene;
    scene.width = 300;
    scene.height = 200;
    scene.EnsureSelectionMask();
    SelectionMask* mask = scene.selectionMask.get();
    const uint64_t serial = scene.selectionMaskSerial;
    EXPECT_NE(serial, 0u);
    SelectBlock(*mask, 10, 10, 5, 5);
    scene.PushSelectionUndo();
    scene.PushSelectionUndo();
    scene.deselectedMask = std::make_unique<SelectionMask>(300, 200);
    scene.refineBase = std::make_unique<SelectionMask>(300, 200);

    scene.EnsureSelectionMask();
    EXPECT_EQ(scene.selectionMask.get(), mask);
    EXPECT_EQ(scene.selectionMaskSerial, serial);
    EXPECT_TRUE(mask->HasSelection());
    EXPECT_EQ(scene.selectionUndo.size(), 2u);
    EXPECT_NE(scene.deselectedMask, nullptr);

    // Same rounded size: still kept.
    scene.width = 300.4f;
    scene.EnsureSelectionMask();
    EXPECT_EQ(scene.selectionMask.get(), mask);

    scene.width = 301;
    scene.EnsureSelectionMask();
    EXPECT_NE(scene.selectionMask.get(), nullptr);
    EXPECT_EQ(scene.selectionMask->Width(), 301);
    EXPECT_FALSE(scene.selectionMask->HasSelection());
    EXPECT_TRUE(scene.selectionUndo.empty());
    EXPECT_TRUE(scene.selectionRedo.empty());
    EXPECT_EQ(scene.deselectedMask, nullptr);
    // A refine base of the old size could not be applied to the new mask.
    EXPECT_EQ(scene.refineBase, nullptr);
    // Tool state kept on the old mask can tell the new one apart.
    EXPECT_NE(scene.selectionMaskSerial, serial);
}

TEST(SceneSelection, UndoCopiesAreIndependent) {
    CanvasDocument scene;
    scene.PushSelectionUndo();  // no mask: nothing
    EXPECT_TRUE(scene.selectionUndo.empty());

    scene.EnsureSelectionMask();
    SelectBlock(*scene.selectionMask, 250, 250, 10, 10);
    scene.selectionMask->Invert();
    scene.selectionRedo.push_back(std::make_unique<SelectionMask>(1024, 1024));
    scene.PushSelectionUndo();
    ASSERT_EQ(scene.selectionUndo.size(), 1u);
    EXPECT_TRUE(scene.selectionRedo.empty());
    const SelectionMask& copy = *scene.selectionUndo.back();
    EXPECT_EQ(copy.TileSize(), 256);
    EXPECT_EQ(ReadAll(copy), ReadAll(*scene.selectionMask));
    scene.selectionMask->Clear();
    EXPECT_TRUE(copy.AllSelected());
}

TEST(SceneSelection, ReleaseDropsEverythingAndRenumbersTheMask) {
    CanvasDocument scene;
    scene.EnsureSelectionMask();
    const uint64_t serial = scene.selectionMaskSerial;
    scene.PushSelectionUndo();
    scene.refineBase = std::make_unique<SelectionMask>(1024, 1024);

    scene.ReleaseSelection();
    EXPECT_EQ(scene.selectionMask, nullptr);
    EXPECT_TRUE(scene.selectionUndo.empty());
    EXPECT_EQ(scene.refineBase, nullptr);
    const uint64_t released = scene.selectionMaskSerial;
    EXPECT_NE(released, serial);

    scene.EnsureSelectionMask();
    EXPECT_FALSE(scene.selectionMask->HasSelection());
    EXPECT_NE(scene.selectionMaskSerial, released);
    // Numbers never repeat across scenes, so a scene moved in (Open) is new too.
    CanvasDocument other;
    other.EnsureSelectionMask();
    EXPECT_NE(other.selectionMaskSerial, scene.selectionMaskSerial);
}

// A 100 x 60 scene whose refine base is a block touching the left canvas edge.
struct RefineFixture : ::testing::Test {
    CanvasDocument scene;
    void SetUp() override {
        scene.width = 100;
        scene.height = 60;
        scene.EnsureSelectionMask();
        SelectBlock(*scene.selectionMask, 0, 20, 10, 10);
        scene.refineBase = std::make_unique<SelectionMask>(100, 60);
        scene.refineBase->Assign(*scene.selectionMask);
    }
    std::tuple<int, int, int, int> Bounds() {
        int x = 0, y = 0, w = 0, h = 0;
        EXPECT_TRUE(scene.selectionMask->GetBounds(x, y, w, h));
        return {x, y, w, h};
    }
};

TEST_F(RefineFixture, ExpandAndContractAtTheCanvasEdge) {
    scene.RefineSelection(0, 10);
    // Disk rows: half-width 10 in the middle, 3 at the top and bottom rows.
    EXPECT_EQ(Bounds(), std::make_tuple(0, 10, 20, 30));
    std::vector<uint8_t> row(100);
    scene.selectionMask->ReadRect(0, 10, 100, 1, row.data());
    EXPECT_EQ(row[12], 255);
    EXPECT_EQ(row[13], 0);

    // Contract starts again from the base, and the canvas edge does not eat.
    scene.RefineSelection(1, 2);
    EXPECT_EQ(Bounds(), std::make_tuple(0, 22, 8, 6));

    scene.RefineSelection(0, 0);  // radius 0: the base itself
    EXPECT_EQ(ReadAll(*scene.selectionMask), ReadAll(*scene.refineBase));
    scene.RefineSelection(7, 5);  // unknown operation: the base itself
    EXPECT_EQ(ReadAll(*scene.selectionMask), ReadAll(*scene.refineBase));
}

TEST_F(RefineFixture, FeatherNeverAccumulates) {
    CanvasDocument once;
    once.width = 100;
    once.height = 60;
    once.EnsureSelectionMask();
    once.refineBase = std::make_unique<SelectionMask>(100, 60);
    once.refineBase->Assign(*scene.refineBase);
    once.selectionMask->Assign(*scene.refineBase);
    once.RefineSelection(2, 2);

    scene.RefineSelection(2, 5);
    scene.RefineSelection(2, 2);
    EXPECT_EQ(ReadAll(*scene.selectionMask), ReadAll(*once.selectionMask));
    EXPECT_NE(ReadAll(*scene.selectionMask), ReadAll(*scene.refineBase));
}

TEST_F(RefineFixture, RefineStartsFromTheBaseEachTime) {
    // An empty base leaves the mask empty; no base or no mask: no change.
    scene.refineBase->Clear();
    scene.RefineSelection(0, 4);
    EXPECT_FALSE(scene.selectionMask->HasSelection());
    scene.refineBase.reset();
    SelectBlock(*scene.selectionMask, 1, 1, 2, 2);
    const uint64_t rev = scene.selectionMask->Revision();
    scene.RefineSelection(0, 4);
    EXPECT_EQ(scene.selectionMask->Revision(), rev);
}

}  // namespace
