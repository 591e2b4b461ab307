#include "app/ui/CMainFrame.h"
#include "app/ui/CQuillfenEditorApp.h"
#include "canvas_view/ui/CCanvasLayoutView.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentCommands.h"
#include "platform/Clipboard.h"
#include "platform/Profile.h"
#include "platform/Prompts.h"
#include "posable/ui/CPosableImageEditorView.h"
#include "tests/platform/ui/QtTestApp.h"
#include "tests/posable/PosableFixtures.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Go to Bone Editor and Finish through the running application's command
// table: the frame hosts the Pose Editor view on the object's parts, and
// finishing writes the object back and returns to the canvas view.
TEST(PoseEditorViewSwitch, GoToBoneEditorAndFinish) {
    EnsureQtApp();
    QTemporaryDir programDir;
    CQuillfenEditorApp app;
    app.UseServices(std::make_unique<MemoryProfile>(), std::make_unique<ScriptedPrompts>(),
                    std::make_unique<MemoryClipboard>());
    app.showMainWindow = false;
    app.programFolder = programDir.path().toStdString();
    testing::internal::CaptureStdout();
    ASSERT_TRUE(app.InitInstance({"plindrow"}));
    testing::internal::GetCapturedStdout();
    CQuillfenEditorDoc& doc = *app.Document();
    CMainFrame& frame = *app.MainFrame();

    CanvasObject o = posable_test::SolidObject("object_1", 100, 100, 60, 40, 0xFFFF8000);
    Layer* layer = doc.mainScene.FindLayer("layer_1");
    ASSERT_NE(layer, nullptr);
    ASSERT_TRUE(doc.mainScene.AddObjectToLayer(*layer, o));
    doc.mainScene.SelectObject("object_1");

    ASSERT_TRUE(app.Commands().Execute(kCmdGoToBoneEditor));
    EXPECT_EQ(doc.workspaceMode, kWorkspacePoseEditor);
    EXPECT_EQ(doc.poseEditorObjectId, "object_1");
    auto* view = dynamic_cast<CPosableImageEditorView*>(frame.GetWorkspaceView());
    ASSERT_NE(view, nullptr);
    ASSERT_NE(doc.poseScene.FindObject("object_1_item"), nullptr);
    QCoreApplication::processEvents();
    // The hidden main window is sized from the screen and its scale: give the
    // view one size at every device pixel ratio and fit the part into it.
    view->resize(400, 300);
    view->OnZoomPresetPicked(-1);
    // The part shows in the middle of the view, on the editor's background.
    view->RenderToBackBuffer();
    const CompositeSurface& buffer = view->BackBuffer();
    ASSERT_GT(buffer.width, 10);
    auto pixel = [&](int x, int y) { return *reinterpret_cast<const uint32_t*>(buffer.Row(y) + size_t(x) * 4); };
    // The buffer holds device pixels; the part is fitted into the viewport
    // (the view less its scroll bars), so its middle is the viewport's.
    const float ratio = view->View().ratio;
    EXPECT_EQ(pixel(int(view->View().viewportWidth / 2 * ratio), int(view->View().viewportHeight / 2 * ratio)),
              0xFFFF8000u);
    EXPECT_EQ(pixel(1, 1), doc.poseScene.canvasColour);

    doc.poseScene.FindObject("object_1_item")->bones.push_back(posable_test::MakeBone("bone_1", 0.1f, 0.5f, 0.9f, 0.5f));
    ASSERT_TRUE(app.Commands().Execute(kCmdFinishBoneEditor));
    QCoreApplication::processEvents();
    EXPECT_EQ(doc.workspaceMode, kWorkspaceCanvas);
    EXPECT_TRUE(doc.poseEditorObjectId.empty());
    EXPECT_NE(dynamic_cast<CCanvasLayoutView*>(frame.GetWorkspaceView()), nullptr);
    const CanvasObject* after = doc.mainScene.FindObject("object_1");
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->kind, kObjectPosable);
    EXPECT_EQ(after->width, 60);
    testing::internal::CaptureStdout();
    app.ExitInstance(0);
    testing::internal::GetCapturedStdout();
}
