#include "DocumentFixture.h"

#include "document/ProjectFile.h"
#include "platform/Bitmap.h"
#include "platform/Codecs.h"
#include "platform/Files.h"
#include "scene/SelectionMask.h"

#include <filesystem>

#include <sys/stat.h>

namespace {

ObjectTransform TransformOf(const CanvasObject& o) { return {o.x, o.y, o.width, o.height, o.rotation, o.opacity}; }

std::string WritePng(const std::string& name, int w, int h) {
    BitmapPtr b = Bitmap::Create(w, h);
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(EncodePng(*b, bytes));
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    EXPECT_TRUE(WriteFileAtomic(path, bytes));
    return path;
}

}  // namespace

// --- Lifecycle and editor state ---

TEST_F(DocumentFixture, NewResetsScenesAndUndoButKeepsTheTool) {
    doc.activeTool = kToolEyedropper;
    doc.workspaceMode = kWorkspacePoseEditor;
    doc.poseEditorObjectId = "object_1";
    AddTo(doc.poseScene, "layer_1", MakeObject("object_1"));
    doc.SetCanvasColor(0xFF000000);
    doc.PushUndo(UndoStep{});
    doc.SetBoneSelection("object_1", "bone_1", 0);
    doc.poseLinkGroups.push_back(JointLink{});
    FakeSession session;
    doc.paintSession = &session;
    host.modeSwitches.clear();

    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(session.cancels, 1);  // its work belonged to the old scene
    EXPECT_EQ(session.commits, 0);
    EXPECT_EQ(doc.paintSession, nullptr);
    EXPECT_EQ(doc.workspaceMode, kWorkspaceCanvas);
    // The frame hosts the canvas view again, and nothing of the Pose Editor's
    // selection points into the old scenes.
    EXPECT_EQ(host.modeSwitches, std::vector<int>{kWorkspaceCanvas});
    EXPECT_FALSE(doc.boneSelection.selected);
    EXPECT_TRUE(doc.boneSelection.objectId.empty() && doc.boneSelection.boneId.empty());
    EXPECT_EQ(doc.boneSelection.handleIndex, 1);
    EXPECT_TRUE(doc.poseLinkGroups.empty());
    EXPECT_EQ(doc.activeTool, kToolEyedropper);
    EXPECT_TRUE(doc.poseEditorObjectId.empty());
    EXPECT_EQ(doc.mainScene.layers.size(), 2u);
    EXPECT_TRUE(doc.mainScene.layers[1].objects.empty());
    EXPECT_TRUE(doc.poseScene.layers[1].objects.empty());
    EXPECT_EQ(doc.mainScene.canvasColour, 0xFFFFFFFFu);
    EXPECT_TRUE(doc.mainUndo.undo.empty() && doc.poseUndo.undo.empty());
    EXPECT_FALSE(doc.IsModified());

    // The scenes still report to the document after being reset.
    const int refreshes = host.paneRefreshes;
    AddTo(doc.mainScene, "layer_1", MakeObject("object_1"));
    doc.mainScene.SetObjectTransform("object_1", {1, 1, 5, 5, 0, 1});
    EXPECT_EQ(host.paneRefreshes, refreshes + 1);
    EXPECT_GT(host.statusUpdates, 0);
}

TEST(Document, RefreshAllViewsCountsWithoutAHost) {
    CQuillfenEditorDoc doc;
    doc.RefreshAllViews();
    doc.RefreshAllViews();
    EXPECT_EQ(doc.changeCounter, 2u);
    doc.UpdateAllViews();
    doc.RefreshPropertiesPane();
    EXPECT_FALSE(doc.FinishBoneEditor());
}

TEST_F(DocumentFixture, ModeChangesCommitTheSessionToolChangesLeaveIt) {
    FakeSession session;
    doc.paintSession = &session;
    doc.SetEditorMode(kWorkspaceCanvas);  // the current mode: untouched
    EXPECT_EQ(session.commits, 0);
    EXPECT_EQ(host.updates, 0);

    doc.SetActiveTool(kToolPaintBrush);
    EXPECT_EQ(doc.paintSession, &session);
    EXPECT_EQ(host.updates, 1);
    EXPECT_EQ(host.paneRefreshes, 1);
    doc.SetActiveTool(kToolPaintBrush);  // again: nothing at all
    EXPECT_EQ(host.updates, 1);
    EXPECT_EQ(host.paneRefreshes, 1);

    doc.SetEditorMode(kWorkspacePoseEditor);
    EXPECT_EQ(session.commits, 1);
    EXPECT_EQ(doc.paintSession, nullptr);
    EXPECT_EQ(doc.workspaceMode, kWorkspacePoseEditor);
}

TEST_F(DocumentFixture, EndPaintModeLeavesOnlyPaintingTools) {
    struct Case {
        int tool;
        int expected;
    };
    for (Case c : {Case{kToolEraser, kToolMove}, Case{kToolPaintBrush, kToolMove}, Case{kToolRecolorBrush, kToolMove},
                   Case{kToolEraseMask, kToolMove}, Case{kToolStencilKitbash, kToolStencilKitbash},
                   Case{kToolMagicWand, kToolMagicWand}, Case{kToolRefine, kToolRefine}}) {
        doc.activeTool = c.tool;
        doc.EndPaintMode();
        EXPECT_EQ(doc.activeTool, c.expected) << c.tool;
    }
    EXPECT_EQ(host.paneRefreshes, 0);  // set directly, without the tool notifications

    // An open session is committed, never cancelled; one whose painting
    // cannot be stored stays open and keeps its tool.
    FakeSession session;
    doc.paintSession = &session;
    session.active = false;
    EXPECT_TRUE(doc.EndPaintMode());
    EXPECT_EQ(session.commits, 0);
    doc.paintSession = &session;
    session.active = true;
    session.failCommit = true;
    doc.activeTool = kToolPaintBrush;
    EXPECT_FALSE(doc.EndPaintMode());
    EXPECT_TRUE(session.active);
    EXPECT_EQ(doc.activeTool, kToolPaintBrush);
    session.failCommit = false;
    EXPECT_TRUE(doc.EndPaintMode());
    EXPECT_EQ(session.commits, 2);
    EXPECT_EQ(session.cancels, 0);
    EXPECT_EQ(doc.activeTool, kToolMove);
}

TEST_F(DocumentFixture, BoneSelection) {
    doc.SetBoneSelection("object_1", "bone_2", 0);
    EXPECT_TRUE(doc.boneSelection.selected);
    EXPECT_EQ(doc.boneSelection.handleIndex, 0);
    EXPECT_EQ(host.updates, 1);
    doc.ClearBoneSelection();
    EXPECT_FALSE(doc.boneSelection.selected);
    EXPECT_TRUE(doc.boneSelection.boneId.empty());
    EXPECT_EQ(doc.boneSelection.handleIndex, 1);
    EXPECT_EQ(host.updates, 1);  // clearing repaints nothing
    EXPECT_EQ(host.paneRefreshes, 2);
}

// --- Edit operations ---

TEST_F(DocumentFixture, UnchangedValuesRecordNothing) {
    const ObjectTransform t = TransformOf(Obj("object_1"));
    const std::vector<std::function<void()>> unchanged = {
        [&] { doc.SetLayerVisible("layer_1", true); },
        [&] { doc.SetLayerLocked("backdrop", true); },
        [&] { doc.SetLayerVisible("no_layer", false); },
        [&] { doc.SetObjectVisible("object_1", true); },
        [&] { doc.SetObjectLocked("object_1", false); },
        [&] { doc.SetObjectLocked("missing", true); },
        [&] { doc.SetObjectBlendMode("object_1", 0); },
        [&] { doc.SetObjectClipToBelow("object_1", false); },
        [&] { doc.SetCanvasColor(0xFFFFFFFF); },
        [&] { doc.CommitObjectTransform("object_1", t, t); },
        [&] { doc.CommitObjectTransform("", t, {0, 0, 1, 1, 0, 1}); },
        [&] { doc.CommitObjectTransforms({{"object_1", t, t}, {"", t, {0, 0, 1, 1, 0, 1}}}); },
        [&] { doc.CommitObjectTransforms({}); },
        [&] { doc.SetBoneDefinitions("object_1", {Bone{}}, {Bone{}}); },
        [&] { doc.CommitPhotoBashParams("object_1", {}, {}); },
        [&] { doc.CommitLightConeParams("object_1", {}, {}); },
        [&] { EXPECT_FALSE(doc.MoveObjectToLayer("object_1", "layer_1", 1)); },  // where it already is
        [&] { EXPECT_FALSE(doc.MoveObjectToLayer("missing", "layer_1", 0)); },
        [&] { EXPECT_FALSE(doc.RemoveBoneFromLinks("object_1", "bone_1")); },
    };
    const std::string scene = Main();
    for (size_t i = 0; i < unchanged.size(); ++i) {
        unchanged[i]();
        EXPECT_TRUE(doc.mainUndo.undo.empty()) << i;
    }
    EXPECT_EQ(Main(), scene);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(host.updates, 0);
}

TEST_F(DocumentFixture, ChangedValuesRecordAndNaNCountsAsChanged) {
    ObjectTransform t = TransformOf(Obj("object_1"));
    ObjectTransform opacityOnly = t;
    opacityOnly.opacity = 0.5f;
    doc.CommitObjectTransform("object_1", t, opacityOnly);
    ObjectTransform nan = t;
    nan.rotation = std::nanf("");
    doc.CommitObjectTransform("object_1", nan, nan);
    ASSERT_EQ(doc.mainUndo.undo.size(), 2u);
    EXPECT_FALSE(doc.IsModified());  // record-only commits
    EXPECT_EQ(host.updates, 0);

    doc.CommitObjectTransforms({{"object_1", t, t}, {"object_2", t, opacityOnly}});
    ASSERT_EQ(doc.mainUndo.undo.size(), 3u);
    EXPECT_EQ(doc.mainUndo.undo.back().transformEntries.size(), 1u);
    EXPECT_EQ(doc.mainUndo.undo.back().transformEntries[0].objectId, "object_2");
}

TEST_F(DocumentFixture, LockingClearsTheSelectionAndUndoSelectsThePrimaryAlone) {
    doc.mainScene.AddToSelection("object_2");  // object_2 primary, object_1 too
    doc.SetObjectLocked("object_1", true);  // selected but not primary: selection stays
    EXPECT_EQ(doc.mainScene.selectedIds.size(), 2u);

    doc.SetLayerLocked("layer_1", true);
    EXPECT_TRUE(doc.mainScene.selectedIds.empty());
    EXPECT_TRUE(doc.IsModified());
    doc.OnEditUndo();
    EXPECT_FALSE(doc.mainScene.FindLayer("layer_1")->locked);
    EXPECT_EQ(doc.mainScene.selectedIds, std::vector<std::string>{"object_2"});

    doc.SetObjectLocked("object_2", true);  // the primary: selection cleared
    EXPECT_TRUE(doc.mainScene.primarySelectedId.empty());
}

TEST_F(DocumentFixture, ObjectVisibilityUndoDropsCachesLockUndoDoesNot) {
    auto cached = [&](const char* id) {
        CanvasObject& o = Obj(id);
        o.caches.base = Bitmap::Create(1, 1);
        o.caches.baseValid = true;
    };
    doc.SetObjectVisible("object_1", false);
    doc.SetObjectLocked("object_2", true);
    cached("object_1");
    cached("object_2");
    doc.OnEditUndo();  // unlock object_2
    EXPECT_TRUE(Obj("object_2").caches.baseValid);
    doc.OnEditUndo();  // show object_1
    EXPECT_FALSE(Obj("object_1").caches.baseValid);
    EXPECT_TRUE(Obj("object_1").visible);
}

TEST_F(DocumentFixture, AddLayerRecordsOnlyOnTheCanvas) {
    doc.AddLayer();
    EXPECT_EQ(doc.mainScene.activeLayerId, "layer_2");
    ASSERT_EQ(doc.mainUndo.undo.size(), 1u);
    EXPECT_EQ(doc.mainUndo.undo[0].layerCopy.name, "Layer 2");
    EXPECT_EQ(doc.mainUndo.undo[0].activeLayerBefore, "layer_1");

    doc.workspaceMode = kWorkspacePoseEditor;
    doc.AddLayer();
    EXPECT_EQ(doc.poseScene.layers.size(), 3u);
    EXPECT_EQ(doc.mainScene.layers.size(), 3u);
    EXPECT_EQ(doc.mainUndo.undo.size(), 1u);
    EXPECT_TRUE(doc.poseUndo.undo.empty());
}

TEST_F(DocumentFixture, ImportCentresOnTheDropPoint) {
    const std::string path = WritePng("document_import_test.png", 80, 60);
    std::string error;
    ASSERT_TRUE(doc.ImportImageFiles(path, -1, -1, error)) << error;
    const std::string fitted = doc.mainScene.primarySelectedId;
    EXPECT_EQ(Obj(fitted).x, 472);  // fitted and centred: (1024 - 80) / 2
    ASSERT_TRUE(doc.ImportImageFiles(path, 0, 0, error));
    const std::string dropped = doc.mainScene.primarySelectedId;
    EXPECT_EQ(Obj(dropped).x, -40);  // centred on the origin, half outside
    EXPECT_EQ(Obj(dropped).y, -30);
    ASSERT_EQ(doc.mainUndo.undo.size(), 2u);
    EXPECT_EQ(doc.mainUndo.undo.back().objectA.x, -40);  // redo restores the dropped placement

    doc.OnEditUndo();
    EXPECT_EQ(doc.mainScene.FindObject(dropped), nullptr);
    EXPECT_EQ(doc.mainScene.primarySelectedId, fitted);
    doc.OnEditRedo();
    EXPECT_EQ(Obj(dropped).x, -40);
    EXPECT_EQ(Obj(dropped).parts.size(), 1u);

    EXPECT_FALSE(doc.ImportImageFiles(path + ".missing", 5, 5, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(doc.mainUndo.undo.size(), 2u);
    std::filesystem::remove(path);
}

TEST_F(DocumentFixture, RemoveBoneFromLinks) {
    auto link = [](const char* id, std::vector<JointLinkEnd> ends) {
        JointLink l;
        l.id = id;
        l.ends = std::move(ends);
        return l;
    };
    doc.poseLinkGroups = {link("lj_1", {{"a", "bone_1", 0}, {"b", "bone_1", 1}}),
                          link("lj_2", {{"a", "bone_1", 1}, {"b", "bone_2", 0}, {"c", "bone_1", 0}}),
                          link("lj_3", {{"b", "bone_3", 0}, {"c", "bone_3", 1}})};
    EXPECT_FALSE(doc.RemoveBoneFromLinks("a", "bone_9"));
    EXPECT_FALSE(doc.RemoveBoneFromLinks("", "bone_1"));
    EXPECT_TRUE(doc.RemoveBoneFromLinks("a", "bone_1"));
    ASSERT_EQ(doc.poseLinkGroups.size(), 2u);  // lj_1 fell below two ends
    EXPECT_EQ(doc.poseLinkGroups[0].id, "lj_2");
    EXPECT_EQ(doc.poseLinkGroups[0].ends.size(), 2u);
    ASSERT_EQ(doc.mainUndo.undo.size(), 1u);
    EXPECT_EQ(doc.mainUndo.undo[0].kind, kUndoJointLinks);
    EXPECT_EQ(doc.mainUndo.undo[0].linksBefore.size(), 3u);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(host.updates, 0);
}

TEST_F(DocumentFixture, FilterStackEditsAreNotRecorded) {
    EXPECT_TRUE(doc.AddEffect("object_1", kEffectBlur));
    EXPECT_TRUE(doc.AddEffect("object_1", kEffectGlow));
    EXPECT_TRUE(doc.AddEffect("object_1", kEffectInvert));
    EXPECT_TRUE(doc.AddEffect("object_1", 200));  // no row: empty parameters
    ASSERT_EQ(Obj("object_1").effects.size(), 4u);
    EXPECT_TRUE(Obj("object_1").effects[0].enabled);
    const uint64_t generation = Obj("object_1").generation;
    EXPECT_TRUE(doc.MoveEffect("object_1", 0, 2));  // A B C D -> B C A D
    EXPECT_GT(Obj("object_1").generation, generation);
    EXPECT_EQ(Obj("object_1").effects[0].type, kEffectGlow);
    EXPECT_EQ(Obj("object_1").effects[2].type, kEffectBlur);
    EXPECT_TRUE(doc.MoveEffect("object_1", 2, 0));
    EXPECT_EQ(Obj("object_1").effects[0].type, kEffectBlur);
    for (auto [from, to] : {std::pair{1, 1}, {0, 4}, {-1, 0}, {0, -1}})
        EXPECT_FALSE(doc.MoveEffect("object_1", from, to)) << from << "->" << to;
    AddTo(doc.poseScene, "layer_1", MakeObject("object_7"));
    EXPECT_FALSE(doc.AddEffect("object_7", kEffectBlur));  // the main scene only
    EXPECT_TRUE(doc.mainUndo.undo.empty());
}

// --- Identifiers, copy names and insertion ---

TEST_F(DocumentFixture, IdsAndCopyNames) {
    doc.mainScene.DeleteObject("object_1");
    AddTo(doc.mainScene, "layer_1", MakeObject("object_3", "Tree copy"));
    EXPECT_EQ(doc.MakeUniqueObjectId(), "object_1");
    AddTo(doc.mainScene, "layer_1", MakeObject("object_1", "Tree copy 3"));
    EXPECT_EQ(doc.MakeUniqueObjectId(), "object_4");

    EXPECT_EQ(doc.MakeCopyName("Tree"), "Tree copy 2");
    EXPECT_EQ(doc.MakeCopyName("tree"), "tree copy");  // case-sensitive
    EXPECT_EQ(doc.MakeCopyName(""), "Object copy");
    AddTo(doc.mainScene, "layer_1", MakeObject("object_9", "Object copy"));
    EXPECT_EQ(doc.MakeCopyName(""), "Object copy 2");

    // Only the scene in use counts.
    doc.workspaceMode = kWorkspacePoseEditor;
    doc.poseEditorObjectId = "object_2";
    EXPECT_EQ(doc.MakeUniqueObjectId(), "object_1");
    EXPECT_EQ(doc.MakeCopyName("Tree"), "Tree copy");
}

TEST_F(DocumentFixture, InsertObjectStacksSelectsAndRecords) {
    doc.mainScene.AddLayer();  // empty layer_2, active
    ASSERT_TRUE(doc.InsertObject(MakeObject("object_5")));
    EXPECT_EQ(Obj("object_5").z, 0);
    EXPECT_EQ(doc.mainScene.selectedIds, std::vector<std::string>{"object_5"});
    doc.mainScene.SetActiveLayer("layer_1");
    Obj("object_2").z = 7;
    ASSERT_TRUE(doc.InsertObject(MakeObject("object_6")));
    EXPECT_EQ(doc.mainScene.FindLayer("layer_1")->objects.front().id, "object_6");

    EXPECT_FALSE(doc.InsertObject(MakeObject("object_6")));  // id taken
    doc.mainScene.FindLayer("layer_1")->locked = true;
    EXPECT_FALSE(doc.InsertObject(MakeObject("object_8")));
    doc.mainScene.activeLayerId = "gone";
    EXPECT_FALSE(doc.InsertObject(MakeObject("object_8")));
    doc.mainScene.activeLayerId.clear();
    EXPECT_FALSE(doc.InsertObject(MakeObject("object_8")));
    EXPECT_EQ(doc.mainUndo.undo.size(), 2u);
}

TEST_F(DocumentFixture, InsertFlattenedBitmapPlacesUndoesAndRedoesWithItsPicture) {
    const std::vector<uint8_t> png = {1, 2, 3};
    EXPECT_FALSE(doc.InsertFlattenedBitmap({}, 10, 10, "x"));
    EXPECT_FALSE(doc.InsertFlattenedBitmap(png, 0, 10, "x"));
    EXPECT_FALSE(doc.InsertFlattenedBitmap(png, 10, std::nanf(""), "x"));

    ASSERT_TRUE(doc.InsertFlattenedBitmap(png, 10.6f, 3.2f, "Clipboard Image"));
    const CanvasObject& o = Obj("object_3");
    EXPECT_EQ(o.name, "Clipboard Image copy");
    EXPECT_EQ(o.x, 507);
    EXPECT_EQ(o.y, 510);
    EXPECT_EQ(o.width, 11);
    EXPECT_EQ(o.height, 3);
    ASSERT_EQ(o.parts.size(), 1u);
    EXPECT_EQ(o.parts[0].id, "image_1");
    EXPECT_EQ(o.parts[0].encoded, png);

    doc.OnEditUndo();
    EXPECT_EQ(doc.mainScene.FindObject("object_3"), nullptr);
    EXPECT_EQ(doc.mainScene.primarySelectedId, "object_1");
    doc.OnEditRedo();
    ASSERT_NE(doc.mainScene.FindObject("object_3"), nullptr);
    EXPECT_EQ(Obj("object_3").parts.size(), 1u);
    EXPECT_EQ(doc.mainScene.primarySelectedId, "object_3");
}

TEST_F(DocumentFixture, FailedFlattenedBitmapLeavesNoStep) {
    doc.SetCanvasColor(0xFF000001);
    doc.OnEditUndo();  // one step waiting to be redone
    // A view that reacts to the insertion by giving the new object a part of
    // the same id makes attaching the picture fail.
    host.onUpdate = [&] {
        if (CanvasObject* o = doc.mainScene.FindObject(doc.mainScene.primarySelectedId)) {
            ImagePart p;
            p.id = "image_1";
            if (o->parts.empty()) o->parts.push_back(p);
        }
    };
    EXPECT_FALSE(doc.InsertFlattenedBitmap({1, 2}, 5, 5, "x"));
    EXPECT_EQ(doc.mainScene.FindObject("object_3"), nullptr);
    EXPECT_TRUE(doc.mainUndo.undo.empty());
    EXPECT_EQ(doc.mainUndo.redo.size(), 1u);  // history as it was
}

TEST_F(DocumentFixture, RefineKeepsABaseMaskOnlyWithASelection) {
    CanvasDocument& s = doc.mainScene;
    doc.SetActiveTool(kToolRefine);  // no mask at all
    EXPECT_EQ(s.refineBase, nullptr);
    doc.SetActiveTool(kToolMove);

    s.EnsureSelectionMask();
    doc.SetActiveTool(kToolRefine);  // an empty mask
    EXPECT_EQ(s.refineBase, nullptr);
    EXPECT_TRUE(s.selectionUndo.empty());
    doc.SetActiveTool(kToolMove);

    s.selectionMask->Invert();  // everything selected, without a tile
    ASSERT_TRUE(s.selectionMask->HasSelection());
    doc.SetActiveTool(kToolRefine);
    ASSERT_NE(s.refineBase, nullptr);
    EXPECT_TRUE(s.refineBase->HasSelection());
    // A visit keeps no undo copy; the first refinement that changes the
    // selection keeps one, and later ones of the same visit add none.
    EXPECT_TRUE(s.selectionUndo.empty());
    s.RefineSelection(1, 0);
    EXPECT_TRUE(s.selectionUndo.empty());
    s.RefineSelection(1, 4);
    EXPECT_EQ(s.selectionUndo.size(), 1u);
    s.RefineSelection(2, 6);
    EXPECT_EQ(s.selectionUndo.size(), 1u);
    doc.SetActiveTool(kToolMagicWand);  // another selection tool still drops it
    EXPECT_EQ(s.refineBase, nullptr);
    doc.SetActiveTool(kToolRefine);  // a new visit: a new base, nothing kept
    EXPECT_EQ(s.selectionUndo.size(), 1u);
}

// --- Open and save ---

TEST_F(DocumentFixture, SaveAndOpenReplaceTheSceneAndHistory) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "document_open_save_test";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "a.qvk").string();
    doc.SetCanvasColor(0xFF102030);
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), path);

    DocumentEnv other;
    CQuillfenEditorDoc& o = other.doc;
    o.SetCanvasColor(0xFF000000);
    o.workspaceMode = kWorkspacePoseEditor;
    o.poseEditorObjectId = "object_1";
    AddTo(o.poseScene, "layer_1", MakeObject("object_1"));
    o.PushUndo(UndoStep{});
    o.SetBoneSelection("object_1", "bone_1", 0);
    o.poseLinkGroups.push_back(JointLink{});
    FakeSession session;
    o.paintSession = &session;
    other.host.modeSwitches.clear();
    ASSERT_TRUE(o.OnOpenDocument(path));
    EXPECT_EQ(session.cancels, 1);
    EXPECT_EQ(other.host.modeSwitches, std::vector<int>{kWorkspaceCanvas});
    EXPECT_EQ(o.workspaceMode, kWorkspaceCanvas);
    EXPECT_FALSE(o.boneSelection.selected);
    EXPECT_TRUE(o.poseLinkGroups.empty());
    EXPECT_EQ(o.paintSession, nullptr);
    EXPECT_EQ(o.mainScene.canvasColour, 0xFF102030u);
    EXPECT_NE(o.mainScene.FindObject("object_2"), nullptr);
    EXPECT_TRUE(o.mainUndo.undo.empty() && o.poseUndo.undo.empty());
    EXPECT_TRUE(o.poseEditorObjectId.empty());
    EXPECT_TRUE(o.poseScene.layers[1].objects.empty());
    EXPECT_FALSE(o.IsModified());
    // The loaded scene reports to its document.
    const int refreshes = other.host.paneRefreshes;
    o.mainScene.SetObjectTransform("object_2", {0, 0, 10, 10, 0, 1});
    EXPECT_EQ(other.host.paneRefreshes, refreshes + 1);
    std::filesystem::remove_all(dir);
}

TEST_F(DocumentFixture, AFileThatCannotBeOpenedLeavesTheModifiedDocumentAsItWas) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "document_bad_open_test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    doc.SetCanvasColor(0xFF000001);
    ASSERT_TRUE(doc.IsModified());
    FakeSession session;
    doc.paintSession = &session;
    doc.SetPathName("/somewhere/kept.qvk");
    const std::string scene = Main();

    // Files that are no project, each after the user chose not to save.
    std::vector<uint8_t> project = WriteProjectBytes(doc.mainScene);
    auto withVersion = [&](uint8_t v) {
        std::vector<uint8_t> b = project;
        b[4] = v;
        return b;
    };
    const std::string text = "just some notes\nnot a picture\n";
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty.qvk", {}},
        {"x.qvk", std::vector<uint8_t>(text.begin(), text.end())},
        {"truncated.qvk", std::vector<uint8_t>(project.begin(), project.end() - 1)},
        {"header_only.qvk", {'Q', 'V', 'K', '1', 14, 0, 0, 0, 1}},
        {"magic.qvk", [&] { auto b = project; b[3] = '2'; return b; }()},
        {"version12.qvk", withVersion(12)},
        {"version15.qvk", withVersion(15)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = (dir / c.name).string();
        ASSERT_TRUE(WriteFileAtomic(path, c.bytes.data(), c.bytes.size()));
        host.prompts.ClearRecords();
        EXPECT_FALSE(doc.OnOpenDocument(path));
        EXPECT_EQ(host.prompts.MessageTexts(),
                  std::vector<std::string>{"Failed to open document.\n\n" + path + "\nUnexpected file format."});
        EXPECT_EQ(Main(), scene);
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(doc.GetPathName(), "/somewhere/kept.qvk");
        EXPECT_EQ(doc.mainUndo.undo.size(), 1u);
        EXPECT_EQ(doc.paintSession, &session);
        EXPECT_EQ(session.cancels + session.commits, 0);
    }

    // Nor does anything that cannot be opened as a file: a missing file, a
    // folder, a named pipe (refused at once, never waited on).
    const std::string pipe = (dir / "pipe.qvk").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {(dir / "missing.qvk").string(), dir.string(), pipe}) {
        EXPECT_FALSE(doc.OnOpenDocument(path)) << path;
        EXPECT_EQ(Main(), scene) << path;
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(doc.mainUndo.undo.size(), 1u);
        EXPECT_EQ(session.cancels, 0);
        EXPECT_EQ(doc.GetPathName(), "/somewhere/kept.qvk");
        ASSERT_FALSE(host.prompts.MessageTexts().empty());
        EXPECT_EQ(host.prompts.MessageTexts().back().rfind("Failed to open document.\n\n", 0), 0u);
        EXPECT_NE(host.prompts.MessageTexts().back().find(path), std::string::npos);
    }
    EXPECT_NE(host.prompts.MessageTexts().back().find("not a regular file"), std::string::npos);
    doc.paintSession = nullptr;
    doc.SetCanvasColor(0xFF000001);

    // A save that cannot be written reports it and keeps the modified flag.
    EXPECT_FALSE(doc.OnSaveDocument((dir / "no_such_folder" / "x.qvk").string()));
    EXPECT_EQ(host.prompts.MessageTexts().back().rfind("Failed to save document.\n\n", 0), 0u);
    EXPECT_TRUE(doc.IsModified());

    // With an object open in the Pose Editor and no Pose Editor to finish it,
    // nothing is written, and the message says why.
    doc.poseEditorObjectId = "object_1";
    const std::string target = (dir / "pose.qvk").string();
    host.prompts.ClearRecords();
    EXPECT_FALSE(doc.OnSaveDocument(target));
    EXPECT_FALSE(FileExists(target));
    EXPECT_EQ(host.prompts.MessageTexts(),
              std::vector<std::string>{"Failed to save document.\n\nThe object open in the Pose Editor cannot be "
                                       "written back: no Pose Editor is available."});
    std::filesystem::remove_all(dir);
}
