// The enabled state of every document command in the editor states that
// decide it, as one table.
#include "CommandFixture.h"

namespace {

// States, in the order of the columns below.
enum State { kNone, kBitmap, kSeveral, kLightCone, kPoseEditor, kMaskRow, kInpaint, kStateCount };
const char* const kStateNames[] = {"nothing selected", "one bitmap painted", "several objects", "a light cone",
                                   "Pose Editor",      "mask row",           "inpaint workspace"};

struct Rules {
    CommandHost host;
    CQuillfenEditorDoc doc;
    CommandTable table;
    PaintingSession session;
    FakeInpaint inpaint;

    explicit Rules(State state) {
        doc.SetHost(&host);
        doc.SetPaintSessionProvider(&host);
        doc.SetDialogProvider(&host);
        doc.SetSmartFillProvider(&inpaint);
        doc.RegisterCommands(table);
        CanvasDocument& main = doc.mainScene;
        CanvasObject tree = MakeObject("object_1", "Tree");
        tree.warp.x1 = 0.9f;  // Reset Warp has something to reset
        AddTo(main, "layer_1", tree);
        CanvasObject figure = MakeObject("object_2", "Figure");
        figure.kind = kObjectPosable;
        AddTo(main, "layer_1", figure);
        CanvasObject cone = MakeObject("object_3", "Light Cone");
        cone.kind = kObjectLightCone;
        AddTo(main, "layer_1", cone);

        switch (state) {
            case kNone:
                break;
            case kBitmap:
                main.SelectObject("object_1");
                session.objectId = "object_1";
                doc.paintSession = &session;
                SelectRect(main, 0, 0, 4, 4);
                break;
            case kSeveral:
                main.selectedIds = {"object_1", "object_2"};
                main.primarySelectedId = "object_2";
                break;
            case kLightCone:
                main.SelectObject("object_3");
                break;
            case kPoseEditor: {
                main.SelectObject("object_2");
                doc.workspaceMode = kWorkspacePoseEditor;
                doc.poseEditorObjectId = "object_2";
                CanvasObject arm = MakeObject("object_1", "Arm");
                Bone upper, lower;
                upper.id = "bone_1";
                lower.id = "bone_2";
                lower.hasParent = true;
                lower.parentId = "bone_1";
                arm.bones = {upper, lower};
                AddTo(doc.poseScene, "layer_1", arm);
                CanvasObject hand = MakeObject("object_2", "Hand");
                hand.bones = {upper};
                AddTo(doc.poseScene, "layer_1", hand);
                doc.poseScene.SelectObject("object_1");
                doc.boneSelection = {"object_1", "bone_2", true, 0};
                doc.poseLinkGroups = {JointLink{"lj_1", "", {{"object_1", "bone_2", 1}, {"object_2", "bone_1", 0}}}};
                SelectRect(doc.poseScene, 0, 0, 2, 2);
                doc.poseScene.deselectedMask = std::make_unique<SelectionMask>(1024, 1024);
                break;
            }
            case kMaskRow:
                main.SelectObject("object_1");
                main.selectedMaskObjectId = "object_1";
                break;
            case kInpaint:
                doc.workspaceMode = kWorkspaceInpaint;
                doc.inpaintSession = inpaint.CreateSession();
                inpaint.Begin(*doc.inpaintSession, doc);
                break;
            case kStateCount:
                break;
        }
    }
};

struct Row {
    uint32_t id;
    const char* name;
    const char* enabled;  // one '1' or '0' per state
};

// clang-format off
const Row kRows[] = {
    // Edit and File.
    {kCmdEditCopy,            "Copy",                 "0111110"},
    {kCmdEditCut,             "Cut",                  "0111110"},
    {kCmdEditDelete,          "Delete",               "0111110"},
    {kCmdEditPaste,           "Paste (no clipboard)", "0000000"},
    {kCmdFileImportImage,     "Import Image",         "1111111"},
    {kCmdFileExportPng,       "Export as PNG",        "1111111"},
    // Canvas, Modify, Image.
    {kCmdDeleteLayer,         "Delete Layer",         "1111111"},
    {kCmdConvertToBitmap,     "Convert to Bitmap",    "0011000"},
    {kCmdSetCanvasSize,       "Set Canvas Size",      "1111010"},
    {kCmdAddLayer,            "Add Layer",            "1111111"},
    {kCmdInsertLightCone,     "Light Cone",           "1111111"},
    {kCmdBenchmark,           "Benchmark",            "1111111"},
    {kCmdResetWarp,           "Reset Warp",           "0100010"},
    {kCmdAddMask,             "Add Mask",             "0100010"},
    {kCmdInvert,              "Invert",               "0101010"},
    {kCmdBrightness,          "Brightness",           "0101010"},
    {kCmdInpaint,             "Inpaint",              "0100000"},
    // Selection.
    {kCmdDeselect,            "Deselect",             "0100100"},
    {kCmdInverse,             "Inverse",              "0100100"},
    {kCmdReselect,            "Reselect",             "0000100"},
    {kCmdSplitBitmap,         "Split Bitmap",         "0100000"},
    {kCmdObjectSelection,     "Object Selection",     "0100110"},
    // Tools.
    {kCmdToolMove,            "Move",                 "1111111"},
    {kCmdToolEyedropper,      "Eyedropper",           "1111111"},
    {kCmdToolPose,            "Pose",                 "0010000"},
    {kCmdToolAddBone,         "Add Bone",             "0000100"},
    {kCmdToolSelectMoveJoint, "Select/Move Joint",    "0000100"},
    {kCmdToolLinkJoints,      "Link Joints",          "0000100"},
    {kCmdToolSkew,            "Skew",                 "1111010"},
    {kCmdToolDistort,         "Distort",              "1111010"},
    {kCmdToolLight,           "Light",                "0001000"},
    {kCmdToolPaintBrush,      "Paint Brush",          "1100110"},
    {kCmdToolMixerBrush,      "Mixer Brush",          "1100110"},
    {kCmdToolBlendBrush,      "Blend Brush",          "1100110"},
    {kCmdToolSmudgeBrush,     "Smudge Brush",         "1100110"},
    {kCmdToolCloneBrush,      "Clone Brush",          "1100110"},
    {kCmdToolHealingCloneBrush, "Healing Clone",      "1100110"},
    {kCmdToolRecolorBrush,    "Recolor Brush",        "1100110"},
    {kCmdToolStencilKitbash,  "Stencil Kitbash",      "1100110"},
    {kCmdToolEraser,          "Eraser",               "1100100"},
    {kCmdToolRectangleMarquee, "Rectangle Marquee",   "0100110"},
    {kCmdToolEllipseMarquee,  "Ellipse Marquee",      "0100110"},
    {kCmdToolEllipseFromCenter, "Ellipse From Center", "0100110"},
    {kCmdToolPolygonLasso,    "Polygon Lasso",        "0100110"},
    {kCmdToolFreehandLasso,   "Freehand Lasso",       "0100110"},
    {kCmdToolMagicWand,       "Magic Wand",           "0100110"},
    {kCmdToolCurveLasso,      "Curve Lasso",          "0100110"},
    {kCmdToolRefine,          "Refine",               "0100100"},
    {kCmdToolPaintMask,       "Paint Mask",           "0100000"},
    {kCmdToolEraseMask,       "Erase Mask",           "0100000"},
    // Inpaint source tools.
    {kCmdInpaintAddSource,    "Add to Source",        "0000001"},
    {kCmdInpaintRemoveSource, "Remove from Source",   "0000001"},
    {kCmdInpaintSelectAllSource, "Select All Source", "0000001"},
    {kCmdInpaintClearSource,  "Clear Source",         "0000001"},
    // Posable Editor.
    {kCmdCreateMultiObject,   "Create Multi-Object",  "0000000"},
    {kCmdGoToBoneEditor,      "Go to Bone Editor",    "0101010"},
    {kCmdFinishBoneEditor,    "Finish",               "0000100"},
    {kCmdBoneStretchable,     "Stretchable",          "0000100"},
    {kCmdBoneRoundEndpoint,   "Round Endpoint",       "0000100"},
    {kCmdBoneRemove,          "Remove Bone",          "0000100"},
    {kCmdBoneCopyFromParent,  "Copy from Parent",     "0000100"},
    {kCmdDeleteBone,          "Delete Bone",          "0000100"},
    {kCmdBreakLink,           "Break Link",           "0000100"},
    {kCmdTestBones,           "Test Bones",           "0000100"},
    {kCmdUsePartialIK,        "Use Partial IK",       "0010100"},
    // Settings toggles are always available.
    {kCmdHideTopLayersOnBitmap, "Hide Top Layers",    "1111111"},
    {kCmdLayerListCompact,    "Compact Mode",         "1111111"},
    {kCmdHighlightObjectUnderMouse, "Highlight",      "1111111"},
    {kCmdSelectionOverlay,    "Selection overlay",    "1111111"},
    {kCmdBrushIsolation,      "Brush isolation",      "1111111"},
};
// clang-format on

}  // namespace

TEST(DocumentCommandRules, EnabledStateOfEveryCommandInEachState) {
    for (int s = 0; s < kStateCount; ++s) {
        Rules env{State(s)};
        for (const Row& row : kRows) {
            const bool expected = row.enabled[s] == '1';
            EXPECT_EQ(env.table.QueryState(row.id).enabled, expected)
                << row.name << " (" << row.id << ") with " << kStateNames[s];
        }
    }
}

TEST(DocumentCommandRules, ChecksFollowToolBoneAndSourceState) {
    Rules pose(kPoseEditor);
    pose.doc.activeTool = kToolSelectMoveJoint;
    EXPECT_EQ(pose.table.QueryState(kCmdToolSelectMoveJoint).checked, true);
    EXPECT_EQ(pose.table.QueryState(kCmdToolMove).checked, false);
    EXPECT_EQ(pose.table.QueryState(kCmdBoneStretchable).checked, false);
    EXPECT_EQ(pose.table.QueryState(kCmdBoneRoundEndpoint).checked, true);  // head cap of bone_2 is round
    EXPECT_EQ(pose.table.QueryState(kCmdBoneRemove).checked, false);
    // A lock disables the toggle but its check still shows the bone.
    pose.doc.poseScene.FindObject("object_1")->bones[1].stretchable = true;
    pose.doc.poseScene.FindObject("object_1")->locked = true;
    const CommandState locked = pose.table.QueryState(kCmdBoneStretchable);
    EXPECT_FALSE(locked.enabled);
    EXPECT_EQ(locked.checked, true);
    EXPECT_EQ(pose.table.QueryState(kCmdUsePartialIK).checked, false);
    pose.doc.mainScene.FindObject("object_2")->posableScene.usePartialIK = true;
    EXPECT_EQ(pose.table.QueryState(kCmdUsePartialIK).checked, true);

    Rules inpaint(kInpaint);
    EXPECT_EQ(inpaint.table.QueryState(kCmdInpaintAddSource).checked, true);
    EXPECT_EQ(inpaint.table.QueryState(kCmdInpaintRemoveSource).checked, false);
    EXPECT_FALSE(inpaint.table.QueryState(kCmdInpaintSelectAllSource).checked.has_value());
    EXPECT_TRUE(inpaint.table.Execute(kCmdInpaintRemoveSource));
    EXPECT_EQ(inpaint.table.QueryState(kCmdInpaintRemoveSource).checked, true);
}

TEST(DocumentCommandRules, EveryToolCommandChoosesItsTool) {
    Rules env(kNone);
    // Tools whose rule is open with nothing selected in the canvas.
    for (uint32_t id : {kCmdToolEyedropper, kCmdToolSkew, kCmdToolDistort, kCmdToolPaintBrush, kCmdToolEraser,
                        kCmdToolStencilKitbash, kCmdToolMove}) {
        EXPECT_TRUE(env.table.Execute(id));
        EXPECT_EQ(env.doc.activeTool, ToolForCommand(id));
    }
}
