#include "CommandFixture.h"

#include "document/CanvasCommands.h"

namespace {

CanvasSizeDialogValues Answer(int w, int h, int anchor, int choice = 0, uint32_t custom = 0xFFFFFF) {
    CanvasSizeDialogValues v;
    v.width = w;
    v.height = h;
    v.anchor = anchor;
    v.colorChoice = choice;
    v.customColor = custom;
    return v;
}

}  // namespace

TEST(CanvasCommands, CanvasSizeMovesObjectsByTheAnchorShare) {
    struct Case {
        int anchor;
        float dx;
    };
    for (const Case& c : {Case{4, 100}, Case{0, 0}, Case{8, 200}, Case{5, 200}}) {
        CommandEnv env;
        env.doc.mainScene.width = 1000;
        env.doc.mainScene.height = 800;
        AddTo(env.doc.mainScene, "layer_1", MakeObject("object_1", "A", 10.25f, 20));
        AddTo(env.doc.mainScene, "backdrop", MakeObject("object_2", "B", -5, 7));
        SelectRect(env.doc.mainScene, 0, 0, 10, 10);
        env.host.canvasAnswers.push_back(Answer(1200, 800, c.anchor));

        EXPECT_TRUE(env.table.Execute(kCmdSetCanvasSize));
        EXPECT_EQ(env.doc.mainScene.width, 1200);
        EXPECT_EQ(env.doc.mainScene.height, 800);
        EXPECT_FLOAT_EQ(env.doc.mainScene.FindObject("object_1")->x, 10.25f + c.dx) << c.anchor;
        EXPECT_FLOAT_EQ(env.doc.mainScene.FindObject("object_2")->x, -5 + c.dx) << c.anchor;
        EXPECT_FLOAT_EQ(env.doc.mainScene.FindObject("object_1")->y, 20);
        EXPECT_EQ(env.doc.mainScene.selectionMask, nullptr);  // released
        EXPECT_TRUE(env.doc.IsModified());
        EXPECT_TRUE(env.doc.mainUndo.undo.empty());
    }
}

TEST(CanvasCommands, CanvasSizeDialogOpensOnTheCanvasColourAndReturnsTheChoice) {
    struct Case {
        uint32_t canvas;
        int shownChoice;
        uint32_t shownCustom;
        int answerChoice;
        uint32_t result;
    };
    const Case cases[] = {
        {0x80FFFFFF, 0, 0xFFFFFF, 0, 0xFFFFFFFF},  // translucent white opens on White
        {0x00123456, 1, 0xFFFFFF, 1, 0x00FFFFFF},  // alpha 0 opens on Transparent, custom left white
        {0xFF10204A, 2, 0x4A2010, 2, 0xFF10204A},  // dark blue opens on Custom and comes back unchanged
        {0xFF10204A, 2, 0x4A2010, 1, 0x0010204A},  // Transparent keeps red, green and blue
    };
    for (const Case& c : cases) {
        CommandEnv env;
        env.doc.mainScene.canvasColour = c.canvas;
        env.host.canvasAnswers.push_back(std::nullopt);
        env.doc.OnModifySetCanvasSize();
        ASSERT_EQ(env.host.canvasShown.size(), 1u);
        const CanvasSizeDialogValues shown = env.host.canvasShown[0];
        EXPECT_EQ(shown.colorChoice, c.shownChoice) << std::hex << c.canvas;
        EXPECT_EQ(shown.customColor, c.shownCustom) << std::hex << c.canvas;
        EXPECT_EQ(shown.width, 1024);
        EXPECT_EQ(shown.anchor, 4);
        EXPECT_EQ(env.doc.mainScene.canvasColour, c.canvas);  // cancelled: nothing changed
        EXPECT_FALSE(env.doc.IsModified());

        CanvasSizeDialogValues answer = shown;
        answer.colorChoice = c.answerChoice;
        env.host.canvasAnswers.push_back(answer);
        env.doc.OnModifySetCanvasSize();
        EXPECT_EQ(env.doc.mainScene.canvasColour, c.result) << std::hex << c.canvas;
    }
}

TEST(CanvasCommands, CanvasSizeRaisesZeroAndWorksOnTheMainSceneFromThePoseEditor) {
    CommandEnv env;
    env.doc.workspaceMode = kWorkspacePoseEditor;
    env.doc.poseEditorObjectId = "object_9";
    env.host.canvasAnswers.push_back(Answer(0, -3, 4));
    env.doc.OnModifySetCanvasSize();
    EXPECT_EQ(env.doc.mainScene.width, 1);
    EXPECT_EQ(env.doc.mainScene.height, 1);
    EXPECT_EQ(env.doc.poseScene.width, 1024);
}

TEST(CanvasCommands, LightConeCoversTheCanvasAndSelectsTheLightTool) {
    CommandEnv env;
    env.doc.mainScene.width = 1920.6f;
    env.doc.mainScene.height = 1080;
    EXPECT_TRUE(env.table.Execute(kCmdInsertLightCone));
    const CanvasObject* cone = env.doc.mainScene.FindObject(env.doc.mainScene.primarySelectedId);
    ASSERT_NE(cone, nullptr);
    EXPECT_EQ(cone->name, "Light Cone");
    EXPECT_EQ(cone->kind, kObjectLightCone);
    EXPECT_EQ(cone->width, 1921);
    EXPECT_EQ(cone->height, 1080);
    EXPECT_EQ(cone->x, 0);
    EXPECT_EQ(cone->blendMode, 15);
    EXPECT_FLOAT_EQ(cone->lightCone.lightX, -0.45f);
    EXPECT_EQ(env.doc.activeTool, kToolLight);
    const std::string id = cone->id;
    env.doc.OnEditUndo();
    EXPECT_EQ(env.doc.mainScene.FindObject(id), nullptr);

    // A locked active layer refuses the cone, and the tool still changes.
    env.doc.activeTool = kToolMove;
    env.doc.mainScene.FindLayer("layer_1")->locked = true;
    env.doc.OnInsertLightCone();
    EXPECT_EQ(env.doc.activeTool, kToolLight);
    EXPECT_TRUE(env.doc.mainScene.FindLayer("layer_1")->objects.empty());
}

TEST(CanvasCommands, PoseToolNeedsASelectedPosableInTheCanvas) {
    CommandEnv env;
    AddTo(env.doc.mainScene, "layer_1", MakeObject("object_1"));
    env.doc.mainScene.SelectObject("object_1");
    env.doc.OnToolSelect(kToolPose);
    EXPECT_EQ(env.doc.activeTool, kToolMove);
    env.doc.mainScene.FindObject("object_1")->kind = kObjectPosable;
    env.doc.workspaceMode = kWorkspacePoseEditor;
    env.doc.OnToolSelect(kToolPose);
    EXPECT_EQ(env.doc.activeTool, kToolMove);
    env.doc.workspaceMode = kWorkspaceCanvas;
    env.doc.OnToolSelect(kToolPose);
    EXPECT_EQ(env.doc.activeTool, kToolPose);
}

TEST(CanvasCommands, ResetWarpIsNotRecordedAndSkipsAnIdentityQuad) {
    CommandEnv env;
    AddTo(env.doc.mainScene, "layer_1", MakeObject("object_1"));
    env.doc.mainScene.SelectObject("object_1");
    env.doc.OnResetWarp();
    EXPECT_FALSE(env.doc.IsModified());
    env.doc.mainScene.FindObject("object_1")->warp.x2 = 1.5f;
    env.doc.OnResetWarp();
    EXPECT_TRUE(env.doc.mainScene.FindObject("object_1")->warp.IsIdentity());
    EXPECT_TRUE(env.doc.IsModified());
    EXPECT_TRUE(env.doc.mainUndo.undo.empty());
}

TEST(CanvasCommands, BenchmarkReportsWithoutChangingTheScene) {
    CommandEnv env;
    env.doc.mainScene.width = 64;
    env.doc.mainScene.height = 32;
    CanvasObject hidden = MakeObject("object_1");
    hidden.visible = false;  // counted, and keeps the timing runs short
    AddTo(env.doc.mainScene, "layer_1", hidden);
    FakeSession session;
    env.doc.paintSession = &session;
    const std::string before = Signature(env.doc.mainScene);
    env.doc.OnBenchmark();
    EXPECT_EQ(session.commits, 1);
    EXPECT_EQ(env.doc.paintSession, nullptr);
    ASSERT_EQ(env.host.prompts.MessageTexts().size(), 1u);
    const std::string text = env.host.prompts.MessageTexts()[0];
    EXPECT_EQ(text.rfind("Compositor Benchmark\n", 0), 0u);
    EXPECT_NE(text.find("64 x 32"), std::string::npos);
    EXPECT_NE(text.find("0 visible / 1 total"), std::string::npos);
    EXPECT_EQ(Signature(env.doc.mainScene), before);
    EXPECT_FALSE(env.doc.IsModified());
}
