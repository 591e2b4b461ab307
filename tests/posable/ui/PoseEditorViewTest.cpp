#include "app/ui/CMainFrame.h"
#include "app/ui/CQuillfenEditorApp.h"
#include "brushes/BitmapPaintSession.h"
#include "brushes/BrushEngine.h"
#include "canvas_view/ui/EyedropperPick.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentCommands.h"
#include "document/DocumentHost.h"
#include "platform/Clipboard.h"
#include "platform/DeviceScale.h"
#include "platform/Profile.h"
#include "platform/Prompts.h"
#include "posable/RuntimeRig.h"
#include "posable/RuntimeScene.h"
#include "posable/ui/CPosableImageEditorView.h"
#include "posable/ui/CTestBonesDlg.h"
#include "scene/SelectionMask.h"
#include "tests/app/ui/TestEditorApp.h"
#include "tests/posable/PosableFixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

// The running application with one object open in the Pose Editor.
struct PoseEditorApp : TestEditorApp {
    CPosableImageEditorView* view = nullptr;
    CanvasObject* part = nullptr;

    PoseEditorApp() : TestEditorApp({"plindrow"}) {
        CanvasObject o = posable_test::PictureObject("object_1", 100, 100, 200, 300, [](int x, int y) {
            return 0xFF000000u | (uint32_t(60 + x / 2) << 16) | (uint32_t(90 + y / 3) << 8) | 0x50u;
        });
        Layer* layer = doc->mainScene.FindLayer("layer_1");
        EXPECT_TRUE(doc->mainScene.AddObjectToLayer(*layer, o));
        doc->mainScene.SelectObject("object_1");
        EXPECT_TRUE(app.Commands().Execute(kCmdGoToBoneEditor));
        view = dynamic_cast<CPosableImageEditorView*>(app.MainFrame()->GetWorkspaceView());
        part = doc->poseScene.FindObject("object_1_item");
        view->resize(900, 700);
        QCoreApplication::processEvents();
        // The hidden main window is sized from the screen, so the view was
        // fitted at a size that depends on the screen's scale: fit again at
        // the size the tests use, so the parts fill it at any device pixel ratio.
        view->OnZoomPresetPicked(-1);
    }
    QPoint At(float u, float v) {
        const PointF p = PartPointToView(*part, u, v, view->View());
        return QPoint(int(std::lround(p.x)), int(std::lround(p.y)));
    }
    void Drag(QPoint a, QPoint b, unsigned flags = 0) {
        view->OnMouseMove(flags, a);
        view->OnLButtonDown(flags | 1, a);
        view->OnMouseMove(flags | 1, QPoint((a.x() + b.x()) / 2, (a.y() + b.y()) / 2));
        view->OnMouseMove(flags | 1, b);
        view->OnLButtonUp(flags, b);
    }
    void Shot(const char* name) {
        if (const char* dir = std::getenv("POSE_EDITOR_SHOTS")) {
            view->RenderToBackBuffer();
            view->grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
        }
    }
};

}  // namespace

// Add two bones with the mouse, move a joint, link nothing, and undo step by
// step: each gesture is one step and the bones draw over the part.
TEST(PoseEditorView, BoneGesturesThroughTheViewAndUndo) {
    PoseEditorApp t;
    ASSERT_NE(t.part, nullptr);
    t.doc->SetActiveTool(kToolAddBone);
    t.Drag(t.At(0.5f, 0.15f), t.At(0.5f, 0.5f));
    ASSERT_EQ(t.part->bones.size(), 1u);
    t.Drag(t.At(0.5f, 0.5f), t.At(0.5f, 0.85f));
    ASSERT_EQ(t.part->bones.size(), 2u);
    EXPECT_EQ(t.part->bones[1].parentId, t.part->bones[0].id);
    t.Shot("add_bone");
    t.doc->SetActiveTool(kToolSelectMoveJoint);
    t.doc->SetBoneSelection(t.part->id, t.part->bones[1].id, 1);
    t.Drag(t.At(0.5f, 0.85f), t.At(0.8f, 0.8f));
    EXPECT_GT(t.part->bones[1].tailX, 0.7f);
    t.view->OnMouseMove(0, t.At(0.8f, 0.8f));
    t.Shot("move_joint");
    const size_t steps = t.doc->poseUndo.undo.size();
    EXPECT_EQ(steps, 3u);
    // The bone region rasters of the selected part are cached and clipped:
    // at zoom 8 nothing larger than the viewport is made.
    t.view->SetZoomAt(8.0f, {450, 350});
    t.view->RenderToBackBuffer();
    EXPECT_LE(t.view->OverlayCacheSize(), 2u);
    const int made = t.view->OverlayRasterCount();
    t.view->RenderToBackBuffer();
    EXPECT_EQ(t.view->OverlayRasterCount(), made);  // a repaint reuses the rasters
    t.Shot("zoom8_overlay");
    t.doc->OnEditUndo();
    t.part = t.doc->poseScene.FindObject("object_1_item");
    EXPECT_NEAR(t.part->bones[1].tailX, 0.5f, 0.01);  // back where the Add Bone release put it
}

// The frame's parts and the selected part's bone overlays queued on one
// batch give the frame of the same draws made one after another, byte for
// byte: a chain whose joints lie under the next bone's overlay, a branch,
// a bone crossing others, with every overlay and with the joint tool's
// single one, zoomed in and scrolled, and the part turned and see-through.
TEST(PoseEditorView, BatchedFrameEqualsItsDrawsOneAfterAnother) {
    PoseEditorApp t;
    ASSERT_NE(t.part, nullptr);
    auto bone = [](const char* id, const char* parent, float hx, float hy, float tx, float ty) {
        Bone b;
        b.id = id;
        b.hasParent = parent[0] != 0;
        b.parentId = parent;
        b.headX = hx, b.headY = hy, b.tailX = tx, b.tailY = ty;
        b.wholeImage = false;
        return b;
    };
    t.part->bones = {bone("bone_1", "", 0.5f, 0.1f, 0.5f, 0.4f), bone("bone_2", "bone_1", 0.5f, 0.4f, 0.45f, 0.7f),
                     bone("bone_3", "bone_2", 0.45f, 0.7f, 0.6f, 0.95f), bone("bone_4", "bone_1", 0.5f, 0.4f, 0.9f, 0.45f),
                     bone("bone_5", "", 0.1f, 0.6f, 0.9f, 0.55f)};
    t.part->bones[4].feather = 0.05f;
    t.part->bones[2].roundTailCap = 0;
    struct Case {
        int tool;
        float zoom;
        PointF at;
        float rotation = 0, opacity = 1;
    } cases[] = {{kToolMove, 0, {}},
                 {kToolSelectMoveJoint, 0, {}},
                 {kToolMove, 3, {450, 350}},
                 {kToolMove, 2.5f, {120, 640}},
                 {kToolMove, 0, {}, 23.5f, 0.6f}};
    for (const Case& c : cases) {
        t.part->rotation = c.rotation;
        t.part->opacity = c.opacity;
        t.doc->SetActiveTool(c.tool);
        t.doc->SetBoneSelection(t.part->id, "bone_2", 1);
        if (c.zoom > 0) t.view->SetZoomAt(c.zoom, c.at);
        t.view->SetOverlayBatching(true);
        t.view->RenderToBackBuffer();
        EXPECT_GE(t.view->OverlayCacheSize(), c.tool == kToolMove ? 5u : 1u);
        const CompositeSurface& b = t.view->BackBuffer();
        const std::vector<uint8_t> batched(b.pixels, b.pixels + size_t(b.Pitch()) * size_t(b.height));
        t.view->SetOverlayBatching(false);
        t.view->RenderToBackBuffer();
        ASSERT_EQ(batched.size(), size_t(b.Pitch()) * size_t(b.height));
        EXPECT_EQ(0, std::memcmp(batched.data(), b.pixels, batched.size())) << "tool " << c.tool << " zoom " << c.zoom;
    }
    t.view->SetOverlayBatching(true);
}

// Preview opens Test Bones on a copy: dragging a joint there and closing the
// dialog leaves the Pose Editor scene as it was.
TEST(PoseEditorView, TestBonesLeavesTheRigOnCancel) {
    PoseEditorApp t;
    t.part->bones = {posable_test::MakeBone("bone_1", 0.5f, 0.1f, 0.5f, 0.5f),
                     posable_test::MakeBone("bone_2", 0.5f, 0.5f, 0.5f, 0.9f)};
    t.part->bones[1].hasParent = true;
    t.part->bones[1].parentId = "bone_1";
    const std::vector<Bone> before = t.part->bones;
    const float x = t.part->x;
    CTestBonesDlg dlg(t.doc->poseScene, t.doc->poseLinkGroups);
    dlg.show();
    QCoreApplication::processEvents();
    CArticulationPreviewCanvasWnd* canvas = dlg.Canvas();
    size_t parts = 0;
    for (const Layer& l : canvas->Scene().layers) parts += l.objects.size();
    ASSERT_EQ(parts, 2u);
    // Grab the lower bone's tail and swing it.
    CanvasObject* lower = canvas->Scene().FindObject(RuntimePartId("object_1_item", "bone_2"));
    ASSERT_NE(lower, nullptr);
    const PointF tail = NormalizedToCanvas(*lower, lower->bones[0].tailX, lower->bones[0].tailY);
    const float z = canvas->Zoom();
    canvas->RenderToBackBuffer();
    // The preview is drawn in device pixels, so parts are sharp on a dense screen.
    EXPECT_EQ(canvas->BackBuffer().width, DevicePixels(canvas->width(), canvas->DeviceRatio()));
    EXPECT_EQ(canvas->BackBuffer().height, DevicePixels(canvas->height(), canvas->DeviceRatio()));
    std::string id;
    int end = 0;
    const float rot0 = lower->rotation;
    // The view mapping is zoom * scene + offset; FitView centred the content.
    const RectF content = canvas->GetContentBounds();
    const float cw = float(canvas->width()), ch = float(canvas->height());
    const float ox = (cw - z * std::max(content.width, 1.0f)) / 2 - z * content.x;
    const float oy = (ch - z * std::max(content.height, 1.0f)) / 2 - z * content.y;
    const PointF tv{z * tail.x + ox, z * tail.y + oy};
    ASSERT_TRUE(canvas->HitTestJoint(tv, id, end));
    EXPECT_EQ(end, 1);
    ASSERT_TRUE(canvas->Press(tv));
    canvas->DragTo({tv.x + 80, tv.y - 20});
    canvas->Release();
    EXPECT_NE(canvas->Scene().FindObject(id)->rotation, rot0);
    if (const char* dir = std::getenv("POSE_EDITOR_SHOTS")) dlg.grab().save(QString::fromUtf8(dir) + "/test_bones.png");
    dlg.reject();
    ASSERT_EQ(t.part->bones.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(t.part->bones[i].tailX, before[i].tailX);
        EXPECT_EQ(t.part->bones[i].tailY, before[i].tailY);
    }
    EXPECT_EQ(t.part->x, x);
    EXPECT_TRUE(t.doc->poseUndo.undo.empty());
}

// The overlay buttons take the press before any tool: Finish returns to the
// canvas with the bones kept.
TEST(PoseEditorView, FinishButtonReturnsToTheCanvas) {
    PoseEditorApp t;
    t.part->bones = {posable_test::MakeBone("bone_1", 0.5f, 0.1f, 0.5f, 0.9f)};
    t.doc->SetActiveTool(kToolAddBone);
    t.Shot("parts_and_bones");
    const QPoint finish(t.view->width() - 20 - 14 - 46, 14 + 17);
    EXPECT_TRUE(t.view->HitTestFinishButton({float(finish.x()), float(finish.y())}));
    EXPECT_FALSE(t.view->HitTestFinishButton({float(t.view->width() - 20 - 14 + 1), 20}));
    t.view->OnLButtonDown(1, finish);
    QCoreApplication::processEvents();
    EXPECT_EQ(t.doc->workspaceMode, kWorkspaceCanvas);
    const CanvasObject* o = t.doc->mainScene.FindObject("object_1");
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->kind, kObjectPosable);
}

// Painting a turned part past its edge replaces its bitmap by an upright,
// grown one: the bones stay on their pixels, in the paint's one undo step.
// A part reaching off the canvas is refused with a message, not cut.
TEST(PoseEditorView, PaintingKeepsBonesOnTheirPixelsAndRefusesPartsOffTheCanvas) {
    PoseEditorApp t;
    t.part->bones = {posable_test::MakeBone("bone_1", 0.3f, 0.2f, 0.6f, 0.8f)};
    t.part->rotation = 30;
    t.part->InvalidateCaches();
    const std::vector<Bone> before = t.part->bones;
    const PointF head = NormalizedToCanvas(*t.part, 0.3f, 0.2f), tail = NormalizedToCanvas(*t.part, 0.6f, 0.8f);
    const float side = std::max(t.part->width, t.part->height);
    const float widthPx = before[0].width * side;
    t.doc->SetActiveTool(kToolPaintBrush);
    ASSERT_TRUE(t.view->PaintSession().IsActive());
    // A stroke from inside the part to well past its right edge.
    t.Drag(t.At(0.5f, 0.5f), t.At(1.6f, 0.5f));
    t.doc->SetActiveTool(kToolMove);
    ASSERT_FALSE(t.view->PaintSession().IsActive());
    t.part = t.doc->poseScene.FindObject("object_1_item");
    ASSERT_NE(t.part, nullptr);
    EXPECT_EQ(t.part->rotation, 0);
    ASSERT_EQ(t.part->bones.size(), 1u);
    const Bone& b = t.part->bones[0];
    auto dist = [](PointF a, PointF c) { return std::hypot(a.x - c.x, a.y - c.y); };
    EXPECT_LT(dist(NormalizedToCanvas(*t.part, b.headX, b.headY), head), 0.5f);
    EXPECT_LT(dist(NormalizedToCanvas(*t.part, b.tailX, b.tailY), tail), 0.5f);
    EXPECT_NEAR(b.width * std::max(t.part->width, t.part->height), widthPx, 0.5f);
    t.Shot("painted_part");
    t.doc->OnEditUndo();
    t.part = t.doc->poseScene.FindObject("object_1_item");
    EXPECT_EQ(t.part->rotation, 30);
    EXPECT_EQ(t.part->bones[0].headX, before[0].headX);
    t.doc->OnEditRedo();
    t.part = t.doc->poseScene.FindObject("object_1_item");
    EXPECT_LT(dist(NormalizedToCanvas(*t.part, t.part->bones[0].tailX, t.part->bones[0].tailY), tail), 0.5f);

    // Off the canvas's left edge: no session, and a press warns and moves nothing.
    t.part->x = -40;
    t.part->y = 500;
    t.doc->SetActiveTool(kToolPaintBrush);
    EXPECT_FALSE(t.view->PaintSession().IsActive());
    auto* prompts = static_cast<ScriptedPrompts*>(t.app.GetPrompts());
    prompts->ClearRecords();
    const std::string pixels = std::string(t.part->parts[0].encoded.begin(), t.part->parts[0].encoded.end());
    t.Drag(t.At(0.5f, 0.5f), t.At(0.7f, 0.5f));
    ASSERT_EQ(prompts->MessageTexts().size(), 1u);
    EXPECT_NE(prompts->MessageTexts()[0].find("outside the Pose Editor canvas"), std::string::npos);
    EXPECT_EQ(t.part->x, -40);
    EXPECT_EQ(std::string(t.part->parts[0].encoded.begin(), t.part->parts[0].encoded.end()), pixels);
}

// Selecting pixels of a part shows marching ants that advance on the timer;
// Delete then erases the pixels even under Select/Move Joint, and deletes
// the bone once nothing is selected. Dropped images land in the Pose Editor
// scene at the drop point.
TEST(PoseEditorView, SelectedPixelsAntsDeleteAndDroppedFiles) {
    PoseEditorApp t;
    t.part->bones = {posable_test::MakeBone("bone_1", 0.5f, 0.1f, 0.5f, 0.9f)};
    t.doc->SetActiveTool(kToolRectangleMarquee);
    ASSERT_TRUE(t.view->PaintSession().IsActive());
    t.Drag(t.At(0.3f, 0.3f), t.At(0.7f, 0.7f));
    CanvasDocument& scene = t.doc->poseScene;
    ASSERT_TRUE(scene.selectionMask && scene.selectionMask->HasSelection());
    EXPECT_TRUE(t.view->HasTimer(CPosableImageEditorView::kAntsTimer));
    t.view->OnTimer(CPosableImageEditorView::kAntsTimer);
    EXPECT_EQ(t.view->AntsPhase(), 1.0f);
    t.Shot("selection_ants");

    const std::vector<uint8_t> pixels = t.part->parts[0].encoded;
    t.doc->SetActiveTool(kToolSelectMoveJoint);
    t.doc->SetBoneSelection(t.part->id, "bone_1", 1);
    t.view->OnDeleteKey();
    t.doc->SetActiveTool(kToolMove);  // commits the erase
    t.part = scene.FindObject("object_1_item");
    ASSERT_NE(t.part, nullptr);
    EXPECT_EQ(t.part->bones.size(), 1u);
    EXPECT_NE(t.part->parts[0].encoded, pixels);
    scene.selectionMask->Clear();
    t.doc->SetActiveTool(kToolSelectMoveJoint);
    t.doc->SetBoneSelection(t.part->id, "bone_1", 1);
    t.view->OnDeleteKey();
    EXPECT_TRUE(t.part->bones.empty());

    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("drop.png");
    QImage img(40, 20, QImage::Format_ARGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(path, "PNG"));
    const QPoint at(300, 200);
    const PointF q = t.view->View().ViewToScene({300, 200});
    EXPECT_EQ(t.view->DropFiles({path.toStdString()}, at), 1);
    const CanvasObject* dropped = scene.FindObject(scene.primarySelectedId);
    ASSERT_NE(dropped, nullptr);
    EXPECT_NE(dropped->id, "object_1_item");
    EXPECT_NEAR(dropped->x + dropped->width / 2, q.x, 1);
    EXPECT_NEAR(dropped->y + dropped->height / 2, q.y, 1);
}

// The first press with the Clone Brush on a fresh session sets the source and
// paints nothing; the next press paints.
TEST(PoseEditorView, CloneBrushFirstPressSetsTheSource) {
    PoseEditorApp t;
    t.doc->SetActiveTool(13);
    ASSERT_TRUE(t.view->PaintSession().IsActive());
    BrushEngine* engine = t.view->PaintSession().Engine();
    ASSERT_NE(engine, nullptr);
    EXPECT_FALSE(engine->cloneSourceSet);
    t.view->OnLButtonDown(1, t.At(0.3f, 0.3f));
    t.view->OnLButtonUp(0, t.At(0.3f, 0.3f));
    EXPECT_TRUE(engine->cloneSourceSet);
    EXPECT_EQ(t.view->PaintSession().UndoCount(), 0u);
    t.Drag(t.At(0.6f, 0.6f), t.At(0.7f, 0.6f));
    EXPECT_EQ(t.view->PaintSession().UndoCount(), 1u);
}

// The eyedropper through the view's mouse handlers (offscreen, where the
// loupe samples the view's own displayed image): the release delivers the
// colour under the pointer once; a lost capture ends the pick as a release.
TEST(PoseEditorView, EyedropperPicksWhatTheViewShows) {
    PoseEditorApp t;
    DocumentHost* host = t.doc->Host();
    ASSERT_NE(host, nullptr);
    t.doc->SetActiveTool(kToolEyedropper);
    t.view->RenderToBackBuffer();
    const CompositeSurface& shown = t.view->BackBuffer();
    // Offscreen the loupe samples the view's device pixels brought to client
    // pixels, one buffer pixel per client pixel (nearest); the same here.
    const QImage client = QImage(shown.pixels, shown.width, shown.height, shown.Pitch(),
                                 QImage::Format_ARGB32_Premultiplied)
                              .scaled(t.view->width(), t.view->height(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    auto shownAt = [&](QPoint p) { return uint32_t(client.pixel(p)) | 0xFF000000u; };
    const QPoint a = t.At(0.2f, 0.2f), b = t.At(0.8f, 0.9f);
    ASSERT_NE(shownAt(a), shownAt(b));
    const uint32_t atB = shownAt(b);
    // The colour wheel holds colours as hue, saturation and lightness: a
    // colour comes back within a step per channel.
    auto near = [](uint32_t x, uint32_t y) {
        for (int sh = 0; sh < 24; sh += 8)
            if (std::abs(int((x >> sh) & 0xFF) - int((y >> sh) & 0xFF)) > 1) return false;
        return true;
    };
    const uint32_t before = 0xFF102030u;
    const bool couldUndo = t.doc->CanUndo();

    for (bool loseCapture : {false, true}) {
        SCOPED_TRACE(loseCapture ? "capture lost" : "release");
        host->SetPaintColour(before);
        t.view->OnMouseMove(0, a);
        t.view->OnLButtonDown(1, a);
        ASSERT_TRUE(EyedropperPick::IsActive());
        EXPECT_TRUE(t.view->HasCapture());
        EXPECT_EQ(EyedropperPick::Instance().PickedColour(), shownAt(a));
        EXPECT_PRED2(near, EyedropperPick::Instance().Loupe()->previous, before);
        t.view->OnMouseMove(1, b);
        EXPECT_EQ(EyedropperPick::Instance().PickedColour(), atB);
        uint32_t paint = 0;
        ASSERT_TRUE(host->GetPaintColour(paint));
        EXPECT_PRED2(near, paint, before);  // nothing is delivered before the end
        if (loseCapture) {
            t.view->ReleaseCapture();
            t.view->OnCaptureLost();
        } else {
            t.view->OnLButtonUp(0, b);
        }
        EXPECT_FALSE(EyedropperPick::IsActive());
        EXPECT_FALSE(EyedropperPick::Instance().Loupe()->isVisible());
        EXPECT_FALSE(t.view->HasCapture());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        ASSERT_TRUE(host->GetPaintColour(paint));
        EXPECT_PRED2(near, paint, atB);
        // Once: a later release or capture loss delivers nothing again.
        host->SetPaintColour(before);
        t.view->OnLButtonUp(0, a);
        t.view->OnCaptureLost();
        ASSERT_TRUE(host->GetPaintColour(paint));
        EXPECT_PRED2(near, paint, before);
    }
    EXPECT_EQ(t.doc->CanUndo(), couldUndo);  // a pick is no edit
}

// Switching to Select/Move Joint selects the first bone; the first drag of
// another bone's joint must still move that joint, as one undo step.
TEST(PoseEditorView, FirstJointDragAfterAddBoneMovesTheJoint) {
    PoseEditorApp t;
    ASSERT_TRUE(t.app.Commands().Execute(kCmdToolAddBone));
    t.Drag(t.At(0.5f, 0.15f), t.At(0.5f, 0.5f));
    t.Drag(t.At(0.5f, 0.5f), t.At(0.5f, 0.85f));
    ASSERT_EQ(t.part->bones.size(), 2u);
    ASSERT_TRUE(t.app.Commands().Execute(kCmdToolSelectMoveJoint));
    EXPECT_EQ(t.doc->boneSelection.boneId, t.part->bones[0].id);
    const size_t steps = t.doc->poseUndo.undo.size();
    t.Drag(t.At(0.5f, 0.85f), t.At(0.8f, 0.8f));
    EXPECT_NEAR(t.part->bones[1].tailX, 0.8f, 0.01f);
    EXPECT_EQ(t.doc->boneSelection.boneId, t.part->bones[1].id);
    EXPECT_EQ(t.doc->poseUndo.undo.size(), steps + 1);
    // The next drag grabs the now selected joint again; the shared joint
    // between the bones stays shared.
    t.Drag(t.At(0.8f, 0.8f), t.At(0.7f, 0.7f));
    EXPECT_NEAR(t.part->bones[1].tailX, 0.7f, 0.01f);
    EXPECT_FLOAT_EQ(t.part->bones[0].tailX, t.part->bones[1].headX);
}

// Delete with the Move tool removes the selected parts as one undo step;
// the last part of the object stays.
TEST(PoseEditorView, DeleteWithTheMoveToolRemovesTheSelectedParts) {
    PoseEditorApp t;
    ASSERT_TRUE(t.app.Commands().Execute(kCmdToolMove));
    CanvasObject second = *t.part;
    second.id = "part_2";
    second.x += 40;
    const std::string first = t.part->id;
    ASSERT_TRUE(t.doc->poseScene.AddObjectToLayer(*t.doc->poseScene.FindLayer("layer_1"), second));
    t.doc->poseScene.SelectObject("part_2");
    const size_t steps = t.doc->poseUndo.undo.size();
    t.view->OnDeleteKey();
    EXPECT_EQ(t.doc->poseScene.FindObject("part_2"), nullptr);
    EXPECT_EQ(t.doc->poseUndo.undo.size(), steps + 1);
    EXPECT_TRUE(t.doc->poseScene.selectedIds.empty());
    t.view->RenderToBackBuffer();  // draws with nothing selected
    // The sole remaining part is not deleted.
    t.doc->poseScene.SelectObject(first);
    t.view->OnDeleteKey();
    EXPECT_NE(t.doc->poseScene.FindObject(first), nullptr);
    EXPECT_EQ(t.doc->poseUndo.undo.size(), steps + 1);
    t.doc->OnEditUndo();
    EXPECT_NE(t.doc->poseScene.FindObject("part_2"), nullptr);
}

// Select/Move Joint's feedback: the move cursor over the selected bone's
// shape handles and over any joint, the round-cap width handle's key hint
// while it is dragged, and the keyboard's bone menu at the cap handle.
TEST(PoseEditorView, JointToolCursorHintAndKeyboardMenuPoint) {
    PoseEditorApp t;
    t.part->bones = {posable_test::MakeBone("bone_1", 0.5f, 0.1f, 0.5f, 0.5f),
                     posable_test::MakeBone("bone_2", 0.5f, 0.5f, 0.5f, 0.9f)};
    t.part->bones[1].hasParent = true;
    t.part->bones[1].parentId = "bone_1";
    t.doc->SetActiveTool(kToolSelectMoveJoint);
    t.doc->SetBoneSelection(t.part->id, "bone_1", 1);
    const Bone& b = t.part->bones[0];
    auto handle = [&](BoneHandle h) {
        PointF at;
        EXPECT_TRUE(GetBoneHandle(*t.part, b, 1, h, t.view->View(), at));
        return QPoint(int(std::lround(at.x)), int(std::lround(at.y)));
    };
    struct Case {
        const char* name;
        QPoint at;
        Qt::CursorShape shape;
    } cases[] = {
        {"width handle", handle(BoneHandle::Width), Qt::SizeAllCursor},
        {"feather handle", handle(BoneHandle::Feather), Qt::SizeAllCursor},
        {"round-cap width handle", handle(BoneHandle::RoundCapWidth), Qt::SizeAllCursor},
        {"another bone's joint", t.At(0.5f, 0.9f), Qt::SizeAllCursor},
        {"empty part", t.At(0.1f, 0.9f), Qt::ArrowCursor},
    };
    for (const Case& c : cases) {
        t.view->OnMouseMove(0, c.at);
        EXPECT_EQ(t.view->cursor().shape(), c.shape) << c.name;
    }
    const std::string& hint = t.app.MainFrame()->StatusHint();
    const QPoint capWidth = handle(BoneHandle::RoundCapWidth);
    t.view->OnLButtonDown(1, capWidth);
    EXPECT_EQ(hint, kCapWidthHint);
    t.view->OnMouseMove(1, capWidth + QPoint(6, 0));
    t.view->OnLButtonUp(0, capWidth + QPoint(6, 0));
    EXPECT_EQ(hint, "");
    t.view->OnLButtonDown(1, handle(BoneHandle::RoundCapWidth));
    EXPECT_EQ(hint, kCapWidthHint);
    t.view->ResetInteraction();
    EXPECT_EQ(hint, "");
    t.Shot("selected_bone_cap");

    EXPECT_EQ(t.view->KeyboardBoneMenuPoint(), handle(BoneHandle::CapLength));
    // A zero-length bone has no handle: the menu opens at the view's centre.
    t.part->bones[0].tailX = t.part->bones[0].headX;
    t.part->bones[0].tailY = t.part->bones[0].headY;
    EXPECT_EQ(t.view->KeyboardBoneMenuPoint(), QPoint(t.view->width() / 2, t.view->height() / 2));
}
