#include "DocumentFixture.h"

#include "document/DocumentCommands.h"
#include "filters/EffectRegistry.h"
#include "platform/CommandTable.h"

namespace {

ObjectTransform TransformOf(const CanvasObject& o) { return {o.x, o.y, o.width, o.height, o.rotation, o.opacity}; }

// Steps whose recording operations come with other commands (delete, paste,
// multi-object, merge, pixel edits): the change is made on the main scene the
// way those operations make it and the step is pushed as they push it.
void ByHand(CQuillfenEditorDoc& doc, UndoStep step, const std::function<void(CanvasDocument&, UndoStep&)>& change) {
    CanvasDocument& s = doc.mainScene;
    StoreSelectionBefore(s, step);
    change(s, step);
    StoreSelectionAfter(s, step);
    doc.PushUndo(step);
}

CanvasObject WithBone(CanvasObject o, const std::string& boneId) {
    Bone b;
    b.id = boneId;
    o.bones.push_back(b);
    return o;
}

struct UndoCase {
    int kind;
    std::function<void(CQuillfenEditorDoc&)> act;
};

std::vector<UndoCase> UndoCases() {
    return {
        {kUndoLayerAdded, [](CQuillfenEditorDoc& d) { d.AddLayer(); }},
        {kUndoLayerDeleted,
         [](CQuillfenEditorDoc& d) {
             UndoStep st;
             st.kind = kUndoLayerDeleted;
             ByHand(d, st, [](CanvasDocument& s, UndoStep& step) {
                 step.layerId = "layer_1";
                 step.layerCopy = *s.FindLayer("layer_1");
                 RemoveLayerById(s, "layer_1");
                 s.ClearSelection();
                 s.activeLayerId = "backdrop";
             });
         }},
        {kUndoObjectAdded, [](CQuillfenEditorDoc& d) { ASSERT_TRUE(d.InsertObject(MakeObject("object_9"))); }},
        {kUndoObjectsAdded,
         [](CQuillfenEditorDoc& d) {
             UndoStep st;
             st.kind = kUndoObjectsAdded;
             ByHand(d, st, [](CanvasDocument& s, UndoStep& step) {
                 for (const char* id : {"object_7", "object_8"}) {
                     AddTo(s, "layer_1", MakeObject(id));
                     step.objectEntries.push_back({"layer_1", *s.FindObject(id)});
                 }
                 s.SelectObject("object_7");
                 s.AddToSelection("object_8");
             });
         }},
        {kUndoObjectTransform,
         [](CQuillfenEditorDoc& d) {
             const ObjectTransform before = TransformOf(*d.mainScene.FindObject("object_1"));
             d.mainScene.SetObjectTransform("object_1", {40, 60, 80, 90, 30, 0.5f});
             d.CommitObjectTransform("object_1", before, TransformOf(*d.mainScene.FindObject("object_1")));
         }},
        {kUndoObjectTransforms,
         [](CQuillfenEditorDoc& d) {
             std::vector<UndoTransformEntry> entries;
             for (const char* id : {"object_1", "object_2"}) {
                 UndoTransformEntry e{id, TransformOf(*d.mainScene.FindObject(id)), {}};
                 d.mainScene.SetObjectTransform(id, {e.before.x + 5, e.before.y, 70, 70, 0, 1});
                 e.after = TransformOf(*d.mainScene.FindObject(id));
                 entries.push_back(e);
             }
             d.CommitObjectTransforms(entries);
         }},
        {kUndoBones,
         [](CQuillfenEditorDoc& d) {
             CanvasObject& o = *d.mainScene.FindObject("object_1");
             const std::vector<Bone> before = o.bones;
             o = WithBone(o, "bone_1");
             o.bones[0].tailX = 0.5f;
             d.SetBoneDefinitions("object_1", before, o.bones);
         }},
        {kUndoJointLinks,
         [](CQuillfenEditorDoc& d) {
             const std::vector<JointLink> before = d.poseLinkGroups;
             JointLink link;
             link.id = "lj_1";
             link.ends = {{"object_1", "bone_1", 0}, {"object_2", "bone_1", 1}};
             d.poseLinkGroups.push_back(link);
             d.CommitLinks(before, d.poseLinkGroups);
         }},
        {kUndoLayerVisible, [](CQuillfenEditorDoc& d) { d.SetLayerVisible("layer_1", false); }},
        {kUndoLayerLocked, [](CQuillfenEditorDoc& d) { d.SetLayerLocked("layer_1", true); }},
        {kUndoObjectVisible, [](CQuillfenEditorDoc& d) { d.SetObjectVisible("object_2", false); }},
        {kUndoObjectLocked, [](CQuillfenEditorDoc& d) { d.SetObjectLocked("object_1", true); }},
        {kUndoObjectDeleted,
         [](CQuillfenEditorDoc& d) {
             UndoStep st;
             st.kind = kUndoObjectDeleted;
             ByHand(d, st, [](CanvasDocument& s, UndoStep& step) {
                 step.layerId = "layer_1";
                 step.objectId = "object_1";
                 step.objectA = *s.FindObject("object_1");
                 s.DeleteObject("object_1");
             });
         }},
        {kUndoObjectsDeleted,
         [](CQuillfenEditorDoc& d) {
             UndoStep st;
             st.kind = kUndoObjectsDeleted;
             ByHand(d, st, [](CanvasDocument& s, UndoStep& step) {
                 for (const char* id : {"object_2", "object_1"}) {
                     step.objectEntries.push_back({"layer_1", *s.FindObject(id)});
                     s.DeleteObject(id);
                 }
             });
         }},
        {kUndoObjectMoved, [](CQuillfenEditorDoc& d) { ASSERT_TRUE(d.MoveObjectToLayer("object_1", "layer_1", 0)); }},
        {kUndoCanvasColour, [](CQuillfenEditorDoc& d) { d.SetCanvasColor(0xFF112233); }},
        {kUndoObjectsToPosable,
         [](CQuillfenEditorDoc& d) {
             UndoStep st;
             st.kind = kUndoObjectsToPosable;
             ByHand(d, st, [](CanvasDocument& s, UndoStep& step) {
                 for (const char* id : {"object_1", "object_2"}) step.objectEntries.push_back({"layer_1", *s.FindObject(id)});
                 for (const UndoObjectEntry& e : step.objectEntries) s.DeleteObject(e.object.id);
                 CanvasObject posable = MakeObject("object_3", "Posable");
                 posable.kind = kObjectPosable;
                 AddTo(s, "layer_1", posable);
                 step.layerId = "layer_1";
                 step.objectId = "object_3";
                 step.objectA = *s.FindObject("object_3");
                 s.SelectObject("object_3");
             });
         }},
        {kUndoBlendMode, [](CQuillfenEditorDoc& d) { d.SetObjectBlendMode("object_1", 5); }},
        {kUndoClipToBelow, [](CQuillfenEditorDoc& d) { d.SetObjectClipToBelow("object_1", true); }},
        {kUndoPhotoBash,
         [](CQuillfenEditorDoc& d) {
             CanvasObject& o = *d.mainScene.FindObject("object_1");
             const PhotoBashParams before = o.photoBash;
             o.photoBash.mix = 0.25f;
             d.CommitPhotoBashParams("object_1", before, o.photoBash);
         }},
        {kUndoLightCone,
         [](CQuillfenEditorDoc& d) {
             CanvasObject& o = *d.mainScene.FindObject("object_1");
             const LightConeParams before = o.lightCone;
             o.lightCone.lightX = 0.3f;
             o.lightCone.tint = 0xFF00FF00;
             d.CommitLightConeParams("object_1", before, o.lightCone);
         }},
        {kUndoWholeObject,
         [](CQuillfenEditorDoc& d) {
             UndoStep st;
             st.kind = kUndoWholeObject;
             ByHand(d, st, [](CanvasDocument& s, UndoStep& step) {
                 CanvasObject& o = *s.FindObject("object_1");
                 step.objectId = o.id;
                 step.objectA = o;
                 o.maskPixels.assign(4, 255);
                 o.maskWidth = o.maskHeight = 2;
                 o.name = "Masked";
                 step.objectB = o;
             });
         }},
        {kUndoObjectCreated,
         [](CQuillfenEditorDoc& d) {
             UndoStep st;
             st.kind = kUndoObjectCreated;
             ByHand(d, st, [](CanvasDocument& s, UndoStep& step) {
                 AddTo(s, "layer_1", MakeObject("object_5", "Painted"));
                 step.layerId = "layer_1";
                 step.objectId = "object_5";
                 step.objectB = *s.FindObject("object_5");
                 s.SelectObject("object_5");
             });
         }},
        {kUndoObjectsMerged,
         [](CQuillfenEditorDoc& d) {
             UndoStep st;
             st.kind = kUndoObjectsMerged;
             ByHand(d, st, [](CanvasDocument& s, UndoStep& step) {
                 for (const char* id : {"object_2", "object_1"}) {
                     step.objectEntries.push_back({"layer_1", *s.FindObject(id)});
                     s.DeleteObject(id);
                 }
                 AddTo(s, "layer_1", MakeObject("object_3", "Merged"));
                 step.layerId = "layer_1";
                 step.objectId = "object_3";
                 step.objectA = *s.FindObject("object_3");
                 s.SelectObject("object_3");
             });
         }},
        {kUndoEffectStack,
         [](CQuillfenEditorDoc& d) {
             UndoStep st;
             st.kind = kUndoEffectStack;
             ByHand(d, st, [](CanvasDocument& s, UndoStep& step) {
                 CanvasObject& o = *s.FindObject("object_1");
                 step.objectId = o.id;
                 step.effectsBefore = o.effects;
                 o.effects.push_back(MakeEffectInstance(kEffectGlow));
                 o.BumpGeneration();
                 step.effectsAfter = o.effects;
             });
         }},
    };
}

}  // namespace

TEST(Undo, EveryKindUndoesAndRedoes) {
    const std::vector<UndoCase> cases = UndoCases();
    ASSERT_EQ(int(cases.size()), kUndoKindCount);
    for (const UndoCase& c : cases) {
        SCOPED_TRACE("kind " + std::to_string(c.kind));
        DocumentEnv env;
        CQuillfenEditorDoc& doc = env.doc;
        // Link steps are repaired against the Pose Editor scene: give it the boned objects.
        AddTo(doc.poseScene, "layer_1", WithBone(MakeObject("object_1"), "bone_1"));
        AddTo(doc.poseScene, "layer_1", WithBone(MakeObject("object_2"), "bone_1"));
        if (c.kind == kUndoJointLinks) {
            // Link steps hold no selection: undo leaves the bottom layer active
            // and nothing selected, so start from there.
            doc.mainScene.ClearSelection();
            doc.mainScene.activeLayerId = "backdrop";
        }
        const std::string before = Signature(doc.mainScene, &doc.poseLinkGroups);
        c.act(doc);
        const std::string after = Signature(doc.mainScene, &doc.poseLinkGroups);
        ASSERT_EQ(doc.mainUndo.undo.size(), 1u);
        EXPECT_EQ(doc.mainUndo.undo.back().kind, c.kind);
        EXPECT_NE(before, after);
        doc.SetModifiedFlag(false);

        doc.OnEditUndo();
        EXPECT_EQ(Signature(doc.mainScene, &doc.poseLinkGroups), before);
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(doc.mainUndo.redo.size(), 1u);
        doc.OnEditRedo();
        EXPECT_EQ(Signature(doc.mainScene, &doc.poseLinkGroups), after);
        EXPECT_EQ(doc.mainUndo.undo.size(), 1u);
        EXPECT_TRUE(doc.mainUndo.redo.empty());
        EXPECT_FALSE(doc.applyingUndo);
    }
}

TEST(Undo, StepsOfVanishedObjectsAreSkippedButSelectionIsRestored) {
    DocumentEnv env;
    CQuillfenEditorDoc& doc = env.doc;
    doc.SetObjectBlendMode("object_2", 3);
    doc.mainScene.DeleteObject("object_2");
    doc.mainScene.SelectObject("object_1");
    doc.OnEditUndo();
    EXPECT_EQ(doc.mainScene.FindObject("object_2"), nullptr);
    EXPECT_EQ(doc.mainScene.primarySelectedId, "object_1");  // the stored primary, still there

    // A kind outside 0..23 changes nothing but the selection.
    UndoStep odd;
    odd.kind = 99;
    odd.activeLayerBefore = "nowhere";
    doc.ApplyUndoStep(odd, kUndoBackward);
    EXPECT_EQ(doc.mainScene.activeLayerId, "backdrop");  // unknown layer: the bottom one
    EXPECT_TRUE(doc.mainScene.selectedIds.empty());
}

TEST(Undo, RestoreSelectionPutsThePrimaryLast) {
    DocumentEnv env;
    CanvasDocument& s = env.doc.mainScene;
    RestoreSelection(s, "layer_1", {"object_1", "gone", "object_2"}, "object_1");
    EXPECT_EQ(s.selectedIds, (std::vector<std::string>{"object_2", "object_1"}));
    EXPECT_EQ(s.primarySelectedId, "object_1");
    RestoreSelection(s, "layer_1", {}, "object_2");
    EXPECT_EQ(s.selectedIds, std::vector<std::string>{"object_2"});
    RestoreSelection(s, "layer_1", {"object_1"}, "object_2");  // primary not in the list: last added wins
    EXPECT_EQ(s.primarySelectedId, "object_1");
}

TEST(Undo, LayerCopyComesBackOnlyWhenAbsent) {
    DocumentEnv env;
    CanvasDocument& s = env.doc.mainScene;
    Layer copy = *s.FindLayer("layer_1");
    EXPECT_FALSE(AddLayerIfAbsent(s, copy));
    EXPECT_TRUE(RemoveLayerById(s, "layer_1"));
    EXPECT_FALSE(RemoveLayerById(s, "layer_1"));
    EXPECT_TRUE(AddLayerIfAbsent(s, copy));
    EXPECT_EQ(s.layers.back().objects.size(), 2u);
    EXPECT_FALSE(InsertObjectEntries(s, {}));
}

TEST(Undo, EmptyStacksAndNewEditsAfterUndo) {
    DocumentEnv env;
    CQuillfenEditorDoc& doc = env.doc;
    doc.OnEditUndo();
    doc.OnEditRedo();
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(env.host.updates, 0);

    doc.SetCanvasColor(0xFF000001);
    doc.OnEditUndo();
    doc.SetCanvasColor(0xFF000002);
    EXPECT_TRUE(doc.mainUndo.redo.empty());
    EXPECT_FALSE(doc.CanRedo());
    EXPECT_TRUE(doc.CanUndo());
}

TEST(Undo, NothingIsRecordedWhileAStepIsApplied) {
    DocumentEnv env;
    CQuillfenEditorDoc& doc = env.doc;
    const ObjectTransform before = TransformOf(*doc.mainScene.FindObject("object_1"));
    doc.mainScene.SetObjectTransform("object_1", {200, 200, 100, 50, 0, 1});
    doc.CommitObjectTransform("object_1", before, TransformOf(*doc.mainScene.FindObject("object_1")));

    // A pane that commits whatever it is shown, as a careless tab might while
    // the step moves the object back.
    int attempts = 0;
    env.host.onPaneRefresh = [&] {
        ++attempts;
        doc.CommitObjectTransform("object_1", {1, 2, 3, 4, 5, 1}, {6, 7, 8, 9, 10, 1});
        doc.SetCanvasColor(0xFF445566);
        doc.AddLayer();
    };
    doc.OnEditUndo();
    EXPECT_GT(attempts, 0);
    EXPECT_TRUE(doc.mainUndo.undo.empty());
    EXPECT_EQ(doc.mainUndo.redo.size(), 1u);
}

TEST(Undo, PaintingViewTakesUndoAndRedo) {
    DocumentEnv env;
    CQuillfenEditorDoc& doc = env.doc;
    doc.SetCanvasColor(0xFF000001);

    // Strokes of the open session come first, both ways; while some remain
    // to undo, Redo does not jump over them to the document's steps.
    FakeSession painting;
    doc.paintSession = env.host.paintingView = &painting;
    painting.undoable = 1;
    EXPECT_TRUE(doc.CanUndo());
    doc.OnEditUndo();
    EXPECT_EQ(painting.strokeUndos, 1);
    EXPECT_EQ(doc.mainUndo.undo.size(), 1u);
    EXPECT_TRUE(doc.CanRedo());
    doc.OnEditRedo();
    EXPECT_EQ(painting.strokeRedos, 1);
    EXPECT_FALSE(doc.CanRedo());

    // A session with no strokes of its own (as one a command has just
    // reopened) leaves Undo to the document: it closes, then the step undoes.
    FakeSession fresh;
    doc.paintSession = env.host.paintingView = &fresh;
    EXPECT_TRUE(doc.CanUndo());
    doc.OnEditUndo();
    EXPECT_EQ(fresh.commits, 1);
    EXPECT_EQ(fresh.strokeUndos, 0);
    EXPECT_EQ(doc.mainScene.canvasColour, 0xFFFFFFFFu);
    EXPECT_EQ(doc.mainUndo.redo.size(), 1u);

    // A session whose commit fails keeps the document's step where it is.
    FakeSession stuck;
    stuck.failCommit = true;
    doc.paintSession = env.host.paintingView = &stuck;
    doc.OnEditRedo();
    EXPECT_TRUE(stuck.IsActive());
    EXPECT_EQ(doc.mainScene.canvasColour, 0xFFFFFFFFu);

    env.host.paintingView = nullptr;
    doc.paintSession = nullptr;
    doc.OnEditRedo();
    EXPECT_EQ(doc.mainScene.canvasColour, 0xFF000001u);
}

TEST(Undo, PoseEditorStepsStayWithThePoseEditorScene) {
    DocumentEnv env;
    CQuillfenEditorDoc& doc = env.doc;
    AddTo(doc.poseScene, "layer_1", MakeObject("object_1", "Part"));
    doc.workspaceMode = kWorkspacePoseEditor;
    EXPECT_EQ(&doc.SceneInUse(), &doc.mainScene);  // mode 1 without an object: main scene
    doc.poseEditorObjectId = "object_1";
    ASSERT_EQ(&doc.SceneInUse(), &doc.poseScene);

    const ObjectTransform before = TransformOf(*doc.poseScene.FindObject("object_1"));
    doc.poseScene.SetObjectTransform("object_1", {500, 500, 10, 10, 0, 1});
    doc.CommitObjectTransform("object_1", before, TransformOf(*doc.poseScene.FindObject("object_1")));
    // An edit that names the main scene, made while the Pose Editor is open.
    doc.SetLayerVisible("layer_1", false);
    EXPECT_EQ(doc.poseUndo.undo.size(), 1u);
    ASSERT_EQ(doc.mainUndo.undo.size(), 1u);

    doc.OnEditUndo();  // the Pose Editor's step, on its scene
    EXPECT_EQ(doc.poseScene.FindObject("object_1")->x, before.x);
    EXPECT_EQ(doc.mainScene.FindObject("object_1")->x, 10);
    EXPECT_FALSE(doc.mainScene.FindLayer("layer_1")->visible);
    doc.OnEditUndo();  // nothing more in the Pose Editor pair
    EXPECT_FALSE(doc.mainScene.FindLayer("layer_1")->visible);

    doc.workspaceMode = kWorkspaceCanvas;
    doc.poseEditorObjectId.clear();
    doc.OnEditUndo();  // the main-scene step is replayed on the main scene
    EXPECT_TRUE(doc.mainScene.FindLayer("layer_1")->visible);
    EXPECT_TRUE(doc.poseScene.FindLayer("layer_1")->visible);
}

// The one recording path of the commands: selection around the edit, one
// step, modified flag and view update, and nothing at all for an edit that
// changed nothing.
TEST(Undo, RecordEditStoresTheSelectionAroundOneStep) {
    DocumentEnv env;
    CQuillfenEditorDoc& doc = env.doc;
    doc.mainScene.AddToSelection("object_2");
    const int updates = env.host.updates;

    EXPECT_FALSE(doc.RecordEdit(kUndoWholeObject, [](UndoStep&) { return false; }));
    EXPECT_TRUE(doc.mainUndo.undo.empty());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(env.host.updates, updates);

    EXPECT_TRUE(doc.RecordEdit(kUndoObjectDeleted, [&](UndoStep& step) {
        step.layerId = "layer_1";
        step.objectId = "object_2";
        step.objectA = *doc.mainScene.FindObject("object_2");
        doc.mainScene.DeleteObject("object_2");
    }));
    ASSERT_EQ(doc.mainUndo.undo.size(), 1u);
    const UndoStep& step = doc.mainUndo.undo.back();
    EXPECT_EQ(step.selectionBefore, (std::vector<std::string>{"object_1", "object_2"}));
    EXPECT_EQ(step.selectionAfter, std::vector<std::string>{"object_1"});
    EXPECT_EQ(step.activeLayerBefore, "layer_1");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(env.host.updates, updates + 1);
    doc.OnEditUndo();
    ASSERT_NE(doc.mainScene.FindObject("object_2"), nullptr);
    EXPECT_EQ(doc.mainScene.selectedIds, (std::vector<std::string>{"object_1", "object_2"}));

    // Record-only, active layer and primary only.
    doc.SetModifiedFlag(false);
    const int before = env.host.updates;
    doc.RecordEdit(kUndoCanvasColour, [&](UndoStep& s) { s.colourAfter = 1; },
                   {.selection = StoredSelection::ActiveAndPrimary, .recordOnly = true});
    ASSERT_EQ(doc.mainUndo.undo.size(), 1u);
    EXPECT_TRUE(doc.mainUndo.undo.back().selectionBefore.empty());
    EXPECT_EQ(doc.mainUndo.undo.back().primaryAfter, doc.mainScene.primarySelectedId);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(env.host.updates, before);

    // While a step is applied the change happens but is not recorded.
    doc.applyingUndo = true;
    bool ran = false;
    doc.RecordEdit(kUndoCanvasColour, [&](UndoStep&) { ran = true; });
    doc.applyingUndo = false;
    EXPECT_TRUE(ran);
    EXPECT_EQ(doc.mainUndo.undo.size(), 1u);
}

TEST(Undo, CommandTableFollowsTheStacks) {
    DocumentEnv env;
    CommandTable table;
    env.doc.RegisterCommands(table);
    EXPECT_FALSE(table.QueryState(kCmdEditUndo).enabled);
    EXPECT_FALSE(table.Execute(kCmdEditUndo));
    env.doc.SetCanvasColor(0xFF000001);
    EXPECT_TRUE(table.QueryState(kCmdEditUndo).enabled);
    EXPECT_TRUE(table.Execute(kCmdEditUndo));
    EXPECT_EQ(env.doc.mainScene.canvasColour, 0xFFFFFFFFu);
    EXPECT_TRUE(table.QueryState(kCmdEditRedo).enabled);
    EXPECT_FALSE(table.QueryState(kCmdEditUndo).enabled);
}

// Stored image bytes of a whole-object step: what the history's size is made of.
TEST(UndoHistory, ReportsItsBytesAndDropsItsOldestStepsToKeepWithinItsBudget) {
    DocumentEnv env;
    CQuillfenEditorDoc& doc = env.doc;
    constexpr size_t kImage = 1 << 20;
    // Each recording replaces object_1's 1 MiB picture: a step holds two copies.
    auto replacePicture = [&](uint8_t fill) {
        return doc.RecordEdit(kUndoWholeObject, [&](UndoStep& step) {
            CanvasObject& o = *doc.mainScene.FindObject("object_1");
            step.objectId = o.id;
            step.objectA = o;
            o.parts.assign(1, ImagePart{});
            o.parts[0].encoded.assign(kImage, fill);
            step.objectB = o;
        });
    };
    EXPECT_EQ(doc.HistoryBytes(), 0u);
    ASSERT_TRUE(replacePicture(1));
    const size_t first = doc.HistoryBytes();
    EXPECT_GE(first, kImage);
    EXPECT_LT(first, kImage + 64 * 1024);
    ASSERT_TRUE(replacePicture(2));  // before and after pictures
    const size_t second = doc.HistoryBytes() - first;
    EXPECT_GE(second, 2 * kImage);
    EXPECT_LT(second, 2 * kImage + 64 * 1024);

    // Room for two full steps: each new one pushes out the oldest, never itself.
    doc.historyBudget = 2 * second + second / 2;
    for (uint8_t fill = 3; fill <= 6; ++fill) {
        ASSERT_TRUE(replacePicture(fill));
        EXPECT_LE(doc.HistoryBytes(), doc.historyBudget);
        EXPECT_EQ(doc.mainUndo.undo.back().objectB.parts[0].encoded[0], fill);
    }
    EXPECT_EQ(doc.mainUndo.undo.size(), 2u);
    EXPECT_EQ(doc.mainUndo.undo.front().objectB.parts[0].encoded[0], 5);
    // The oldest goes first also when it is a Pose Editor step.
    doc.poseUndo.undo.push_back(doc.mainUndo.undo.front());
    doc.poseUndo.undo.back().serial = 0;
    ASSERT_TRUE(replacePicture(7));
    EXPECT_TRUE(doc.poseUndo.undo.empty());
    EXPECT_EQ(doc.mainUndo.undo.size(), 2u);

    // A step larger than the whole budget is refused: nothing changes and
    // the user is told why.
    doc.historyBudget = kImage;
    const std::string before = Signature(doc.mainScene);
    const uint8_t shown = doc.mainScene.FindObject("object_1")->parts[0].encoded[0];
    doc.SetModifiedFlag(false);
    EXPECT_FALSE(replacePicture(8));
    EXPECT_EQ(Signature(doc.mainScene), before);
    EXPECT_EQ(doc.mainScene.FindObject("object_1")->parts[0].encoded[0], shown);
    EXPECT_EQ(doc.mainUndo.undo.size(), 2u);
    EXPECT_FALSE(doc.IsModified());
    ASSERT_EQ(env.host.prompts.MessageTexts().size(), 1u);
    EXPECT_NE(env.host.prompts.MessageTexts()[0].find("undo history"), std::string::npos);
}

TEST(UndoHistory, DefaultBudgetIsAtMostTwoGiB) {
    const size_t budget = DefaultHistoryBudget();
    EXPECT_GT(budget, 0u);
    EXPECT_LE(budget, size_t(2) << 30);
}

TEST(UndoHistory, StoredStepsHoldNoRenderCaches) {
    DocumentEnv env;
    CQuillfenEditorDoc& doc = env.doc;
    CanvasObject& o = *doc.mainScene.FindObject("object_1");
    o.parts.assign(1, ImagePart{});
    o.parts[0].decoded = Bitmap::Create(2, 2);
    o.parts[0].decodeTried = true;
    o.caches.effect = Bitmap::Create(2, 2);
    ASSERT_TRUE(doc.RecordEdit(kUndoWholeObject, [&](UndoStep& step) {
        step.objectId = o.id;
        step.objectA = o;
        o.name = "Renamed";
        step.objectB = o;
    }));
    const UndoStep& step = doc.mainUndo.undo.back();
    EXPECT_EQ(step.objectA.parts[0].decoded, nullptr);
    EXPECT_FALSE(step.objectA.parts[0].decodeTried);
    EXPECT_EQ(step.objectB.caches.effect, nullptr);
    EXPECT_NE(o.parts[0].decoded, nullptr);  // the live object keeps its own
}
