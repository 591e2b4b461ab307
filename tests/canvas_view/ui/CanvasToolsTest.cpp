#include "tests/platform/ui/QtTestApp.h"
// The canvas view's tools driven through its mouse and key handlers,
// offscreen: a brush stroke that commits as one undo step, Escape that
// removes an object made only for painting, Move-tool drags with one undo
// step each, the marquee, and dropped image files.
#include "brushes/BitmapPaintSession.h"
#include "canvas_view/DropImport.h"
#include "canvas_view/ui/CCanvasLayoutView.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/ProjectFile.h"
#include "posable/PosedPreview.h"
#include "posable/RuntimeRig.h"
#include "scene/ObjectRender.h"
#include "selection/SelectionToolController.h"

#include "../../posable/PosableFixtures.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {
// The binary's one QApplication: a second one in the same process breaks Qt.
QApplication& App() { return EnsureQtApp(); }

struct AppFirst {
    AppFirst() { App(); }
};

struct ToolsFixture : ::testing::Test {
    AppFirst app;
    CQuillfenEditorDoc doc;
    CCanvasLayoutView view;
    void SetUp() override {
        doc.mainScene.Reset();
        doc.mainScene.width = 400;
        doc.mainScene.height = 300;
        view.SetDocument(&doc);
        view.resize(520, 420);
        view.OnInitialUpdate();
        view.OnZoomPresetPicked(100);
    }
    QPoint Client(float x, float y) {
        const RectF r = view.GetCanvasScreenRect();
        return QPoint(int(std::lround(r.x + x * view.Zoom())), int(std::lround(r.y + y * view.Zoom())));
    }
    // A grabbed view holds device pixels: the colour at the centre of a client pixel.
    static QRgb Shown(const QImage& shot, QPoint client) {
        const qreal r = shot.devicePixelRatio();
        return shot.pixel(int((client.x() + 0.5) * r), int((client.y() + 0.5) * r));
    }
    // How far a canvas result of whole client pixels may lie from the exact
    // distance: nothing where a client pixel is a whole number of canvas
    // pixels, else the one client pixel the rounded placement may take.
    float Slack() const {
        const float step = 1.0f / view.Zoom();
        return std::fabs(step - std::round(step)) < 1e-4f ? 1e-3f : step;
    }
    std::string AddObject(float x, float y, float w, float h) {
        CanvasObject o;
        o.id = doc.mainScene.MakeObjectId();
        o.name = o.id;
        o.x = x, o.y = y, o.width = w, o.height = h;
        doc.mainScene.AddObjectToLayer(*doc.mainScene.FindLayer("layer_1"), o);
        return o.id;
    }
    void SetTool(int tool) {
        doc.activeTool = tool;
        view.OnUpdate(nullptr, 0);
    }
};
}  // namespace

TEST_F(ToolsFixture, BrushStrokeThroughTheMouseCommitsAsOneUndoStep) {
    SetTool(9);  // Paint Brush with nothing selected: nothing changes until the first press
    EXPECT_FALSE(view.PaintSession().IsActive());
    EXPECT_TRUE(doc.mainScene.primarySelectedId.empty());
    EXPECT_FALSE(doc.IsModified());

    view.OnLButtonDown(MK_LBUTTON, Client(100, 100));
    EXPECT_TRUE(view.StrokeActive());
    ASSERT_TRUE(view.PaintSession().IsActive());
    const std::string id = doc.mainScene.primarySelectedId;
    ASSERT_EQ(doc.mainScene.FindObject(id)->name, "Untitled");
    EXPECT_EQ(doc.paintSession, &view.PaintSession());
    for (int i = 1; i <= 10; ++i) view.OnMouseMove(MK_LBUTTON, Client(100 + 10 * i, 100 + 5 * i));
    view.OnLButtonUp(0, Client(200, 150));
    EXPECT_FALSE(view.StrokeActive());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.mainUndo.undo.size(), 0u);  // strokes live in the session until it ends

    // The view draws the session's pixels in place of the object.
    view.RenderToBackBuffer();
    QImage shot = view.grab().toImage();
    const QColor c = QColor::fromRgba(Shown(shot, Client(150, 125)));
    EXPECT_LT(c.red(), 200) << "stroke not shown";

    SetTool(0);  // Move commits
    EXPECT_FALSE(view.PaintSession().IsActive());
    EXPECT_EQ(doc.mainUndo.undo.size(), 1u);
    ASSERT_NE(doc.mainScene.FindObject(id), nullptr);
    EXPECT_FALSE(doc.mainScene.FindObject(id)->parts.empty());
}

TEST_F(ToolsFixture, EscapeEndsOnlyWhatIsInProgressAndKeepsTheStrokes) {
    SetTool(9);
    auto stroke = [&](float y, bool release) {
        view.OnLButtonDown(MK_LBUTTON, Client(50, y));
        for (int i = 1; i <= 5; ++i) view.OnMouseMove(MK_LBUTTON, Client(50 + 20 * i, y + 4 * i));
        if (release) view.OnLButtonUp(0, Client(150, y + 20));
    };
    // Escape in the middle of a stroke ends that stroke; it stays painted.
    stroke(50, false);
    const std::string id = doc.mainScene.primarySelectedId;
    EXPECT_TRUE(view.OnKeyDown(Qt::Key_Escape));
    EXPECT_FALSE(view.StrokeActive());
    ASSERT_TRUE(view.PaintSession().IsActive());
    EXPECT_EQ(view.PaintSession().UndoCount(), 1u);
    stroke(120, true);
    stroke(190, true);
    // Escape with nothing in progress keeps the session and every stroke.
    EXPECT_FALSE(view.OnKeyDown(Qt::Key_Escape));
    ASSERT_TRUE(view.PaintSession().IsActive());
    EXPECT_EQ(view.PaintSession().UndoCount(), 3u);
    // A polygon being drawn is what Escape ends, not the painting.
    doc.mainScene.EnsureSelectionMask();
    SetTool(21);
    view.OnLButtonDown(MK_LBUTTON, Client(20, 20));
    view.OnLButtonUp(0, Client(20, 20));
    view.OnLButtonDown(MK_LBUTTON, Client(200, 20));
    view.OnLButtonUp(0, Client(200, 20));
    ASSERT_TRUE(doc.SelectionTool(doc.mainScene).polygonOpen);
    EXPECT_TRUE(view.OnKeyDown(Qt::Key_Escape));
    EXPECT_FALSE(doc.SelectionTool(doc.mainScene).polygonOpen);
    ASSERT_TRUE(view.PaintSession().IsActive());
    EXPECT_EQ(view.PaintSession().UndoCount(), 3u);
    // The strokes are undone one by one.
    struct ViewSessions : PaintSessionProvider {
        CCanvasLayoutView* v;
        explicit ViewSessions(CCanvasLayoutView* view) : v(view) {}
        DocumentEditSession* FindPaintingView() override { return v->ActivePaintSession(); }
    } sessions(&view);
    doc.SetPaintSessionProvider(&sessions);
    doc.OnEditUndo();
    doc.SetPaintSessionProvider(nullptr);
    EXPECT_EQ(view.PaintSession().UndoCount(), 2u);
    SetTool(0);
    ASSERT_NE(doc.mainScene.FindObject(id), nullptr);
    EXPECT_FALSE(doc.mainScene.FindObject(id)->parts.empty());
    EXPECT_GE(doc.mainScene.FindObject(id)->height, 80);  // the first two strokes, 70 px apart
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(ToolsFixture, EscapeRemovesAnObjectMadeForPaintingWithNothingOnIt) {
    // The Clone Brush's first press only sets its source: the object made for
    // it holds nothing, and Escape takes it away without marking anything.
    SetTool(13);
    view.OnLButtonDown(MK_LBUTTON, Client(50, 50));
    view.OnLButtonUp(0, Client(50, 50));
    ASSERT_TRUE(view.PaintSession().IsActive());
    const std::string id = doc.mainScene.primarySelectedId;
    ASSERT_NE(doc.mainScene.FindObject(id), nullptr);
    EXPECT_TRUE(view.OnKeyDown(Qt::Key_Escape));
    EXPECT_FALSE(view.PaintSession().IsActive());
    EXPECT_EQ(doc.mainScene.FindObject(id), nullptr);
    EXPECT_TRUE(doc.mainUndo.undo.empty());
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(ToolsFixture, BrushPressOnAPosableObjectDoesNothing) {
    const std::string id = AddObject(10, 10, 100, 100);
    doc.mainScene.FindObject(id)->kind = kObjectPosable;
    doc.mainScene.SelectObject(id);
    doc.activeTool = 9;
    view.OnLButtonDown(MK_LBUTTON, Client(50, 50));
    EXPECT_FALSE(view.StrokeActive());
    EXPECT_EQ(doc.mainScene.primarySelectedId, id);
}

TEST_F(ToolsFixture, ClickSelectsWithoutMovingThenDragMovesAsOneStep) {
    const std::string a = AddObject(50, 50, 100, 80);
    SetTool(0);
    // A click with a 3-pixel wobble selects and moves nothing.
    view.OnLButtonDown(MK_LBUTTON, Client(100, 90));
    view.OnMouseMove(MK_LBUTTON, Client(103, 92));
    view.OnLButtonUp(0, Client(103, 92));
    EXPECT_EQ(doc.mainScene.primarySelectedId, a);
    EXPECT_FLOAT_EQ(doc.mainScene.FindObject(a)->x, 50);
    EXPECT_TRUE(doc.mainUndo.undo.empty());

    // A drag of the selected object moves it at once; one undo step.
    // (Client points are whole client pixels: the move is their distance in
    // canvas units, 30 x 10 at a whole device pixel ratio.)
    const QPoint from = Client(100, 90), to = Client(130, 100);
    view.OnLButtonDown(MK_LBUTTON, from);
    view.OnMouseMove(MK_LBUTTON, Client(110, 90));
    view.OnMouseMove(MK_LBUTTON, to);
    view.OnLButtonUp(0, to);
    EXPECT_NEAR(doc.mainScene.FindObject(a)->x, 50 + (to.x() - from.x()) / view.Zoom(), Slack());
    EXPECT_NEAR(doc.mainScene.FindObject(a)->y, 50 + (to.y() - from.y()) / view.Zoom(), Slack());
    EXPECT_EQ(doc.mainUndo.undo.size(), 1u);
}

TEST_F(ToolsFixture, ResizeDragEndsWhenTheCaptureIsLost) {
    const std::string a = AddObject(50, 50, 100, 80);
    doc.mainScene.SelectObject(a);
    SetTool(0);
    // The bottom-right corner handle lies 14 client pixels outside the object.
    const QPoint corner = Client(150, 130) + QPoint(14, 14);
    view.OnLButtonDown(MK_LBUTTON, corner);
    ASSERT_TRUE(view.DragArmed());
    EXPECT_TRUE(ScaleDragActive);
    const QPoint to = corner + Client(100, 90) - Client(50, 50);  // 50 x 40 canvas units, in whole client pixels
    view.OnMouseMove(MK_LBUTTON, to);
    view.OnCaptureLost();
    EXPECT_FALSE(view.DragArmed());
    EXPECT_FALSE(ScaleDragActive);
    EXPECT_FALSE(doc.mainScene.deferInvalidation);
    EXPECT_NEAR(doc.mainScene.FindObject(a)->width, 100 + (to.x() - corner.x()) / view.Zoom(), Slack());
    EXPECT_NEAR(doc.mainScene.FindObject(a)->height, 80 + (to.y() - corner.y()) / view.Zoom(), Slack());
    EXPECT_EQ(doc.mainUndo.undo.size(), 1u);
}

TEST_F(ToolsFixture, MarqueeSelectsByOverlapAndEmptyClickClears) {
    const std::string a = AddObject(20, 20, 60, 60);
    const std::string b = AddObject(200, 150, 60, 60);
    SetTool(0);
    view.OnLButtonDown(MK_LBUTTON, Client(5, 5));
    view.OnMouseMove(MK_LBUTTON, Client(40, 40));
    EXPECT_TRUE(view.MarqueeActive());
    view.OnLButtonUp(0, Client(40, 40));
    ASSERT_EQ(doc.mainScene.selectedIds.size(), 1u);
    EXPECT_EQ(doc.mainScene.selectedIds[0], a);

    // Ctrl-click adds the second; a plain click on empty canvas clears.
    view.OnLButtonDown(MK_LBUTTON | MK_CONTROL, Client(230, 180));
    EXPECT_EQ(doc.mainScene.selectedIds.size(), 2u);
    view.OnLButtonDown(MK_LBUTTON, Client(350, 280));
    view.OnLButtonUp(0, Client(350, 280));
    EXPECT_TRUE(doc.mainScene.selectedIds.empty());
    (void)b;
}

TEST_F(ToolsFixture, DroppedFilesLandAtTheDropPointAndStepBy24) {
    QTemporaryDir dir;
    QImage img(40, 20, QImage::Format_ARGB32);
    img.fill(Qt::red);
    const std::string good1 = QDir(dir.path()).filePath("A.PNG").toStdString();
    const std::string good2 = QDir(dir.path()).filePath("c.jpeg").toStdString();
    ASSERT_TRUE(img.save(QString::fromStdString(good1), "PNG"));
    ASSERT_TRUE(img.save(QString::fromStdString(good2), "JPG"));
    const std::string text = QDir(dir.path()).filePath("b.txt").toStdString();
    const std::string broken = QDir(dir.path()).filePath("broken.png").toStdString();
    {
        QFile f(QString::fromStdString(broken));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not an image");
    }
    std::string errors;
    const int n = ImportDroppedFiles(doc, {good1, text, broken, good2}, 200, 100, errors);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(errors.rfind(broken + ": ", 0), 0u);
    EXPECT_EQ(errors.find("b.txt"), std::string::npos);
    const CanvasObject* second = doc.mainScene.FindObject(doc.mainScene.primarySelectedId);
    ASSERT_NE(second, nullptr);
    // The failed file did not advance the offset: the second lands 24 further.
    EXPECT_FLOAT_EQ(second->x + second->width / 2, 224);
    EXPECT_FLOAT_EQ(second->y + second->height / 2, 124);
    EXPECT_TRUE(IsSupportedImageFile("x.BMP"));
    EXPECT_FALSE(IsSupportedImageFile(".pn"));
}

TEST_F(ToolsFixture, LightDragAimsTheConeWithOneUndoStepAndMissesFallBackToMove) {
    const std::string light = AddObject(100, 50, 200, 100);
    CanvasObject* o = doc.mainScene.FindObject(light);
    o->kind = kObjectLightCone;
    o->lightCone.lightX = -0.25f, o->lightCone.targetX = 0.25f;
    doc.mainScene.SelectObject(light);
    SetTool(8);
    // The target handle at canvas (250, 100).
    view.OnLButtonDown(MK_LBUTTON, Client(250, 100));
    ASSERT_TRUE(view.LightDragActive());
    view.OnMouseMove(MK_LBUTTON, Client(250, 130));
    view.OnLButtonUp(0, Client(250, 130));
    EXPECT_FALSE(view.LightDragActive());
    EXPECT_NEAR(doc.mainScene.FindObject(light)->lightCone.targetY, 0.3f, 0.02f);
    EXPECT_EQ(doc.mainUndo.undo.size(), 1u);

    // A press on a bitmap object becomes a Move-tool press, finished by its release.
    const std::string bitmap = AddObject(20, 200, 50, 50);
    view.OnLButtonDown(MK_LBUTTON, Client(40, 220));
    EXPECT_TRUE(view.DragArmed());
    EXPECT_EQ(doc.mainScene.primarySelectedId, bitmap);
    view.OnLButtonUp(0, Client(40, 220));
    EXPECT_FALSE(view.DragArmed());
}

TEST_F(ToolsFixture, PoseToolDragsAJointAndLeavingTheObjectKeepsThePose) {
    CanvasObject o;
    o.id = "object_9";
    o.name = "Posable";
    o.x = 50, o.y = 50;
    PosableScene scene;
    scene.width = scene.height = 3000;
    scene.parts.push_back(posable_test::BonedPart("left", 100, 100, 50, 50, 0xFFFF0000));
    scene.parts.push_back(posable_test::BonedPart("right", 200, 100, 50, 50, 0xFF0000FF));
    ASSERT_TRUE(ApplyPosableScene(o, scene, 1, 1));
    doc.mainScene.FindLayer("layer_1")->objects.push_back(o);
    const std::string other = AddObject(300, 200, 40, 40);
    doc.mainScene.SelectObject("object_9");
    SetTool(2);
    ASSERT_TRUE(view.PoseSession().open);

    // The left part's tail lies at canvas (100, 75); drag it down.
    view.OnLButtonDown(MK_LBUTTON, Client(100, 75));
    ASSERT_TRUE(view.PoseSession().dragActive);
    view.OnMouseMove(MK_LBUTTON, Client(100, 110));
    view.OnLButtonUp(0, Client(100, 110));
    EXPECT_FALSE(view.PoseSession().dragActive);
    view.RenderToBackBuffer();

    // Selecting another object ends the session and keeps the pose as one step.
    doc.mainScene.SelectObject(other);
    view.OnUpdate(nullptr, 0);
    EXPECT_FALSE(view.PoseSession().open);
    EXPECT_TRUE(doc.mainScene.FindObject("object_9")->hasPose);
    EXPECT_EQ(doc.mainUndo.undo.size(), 1u);
}

TEST_F(ToolsFixture, EyedropperPicksTheDisplayedColour) {
    doc.mainScene.canvasColour = 0xFF336699;
    SetTool(1);
    view.RenderToBackBuffer();
    view.OnLButtonDown(MK_LBUTTON, Client(200, 150));
    view.OnMouseMove(MK_LBUTTON, Client(210, 150));
    view.OnLButtonUp(0, Client(210, 150));
    EXPECT_EQ(view.PickedColour(), 0xFF336699u);
    EXPECT_FALSE(view.HasCapture());
}

namespace {
// A posable object of two 50 x 50 boned parts side by side, rendered at one
// pixel per scene unit.
std::string AddPosable(CQuillfenEditorDoc& doc, float x, float y) {
    CanvasObject o;
    o.id = "object_9";
    o.name = "Posable";
    o.x = x, o.y = y;
    PosableScene scene;
    scene.width = scene.height = 3000;
    scene.parts.push_back(posable_test::BonedPart("left", 100, 100, 50, 50, 0xFFFF0000));
    scene.parts.push_back(posable_test::BonedPart("right", 200, 100, 50, 50, 0xFF0000FF));
    EXPECT_TRUE(ApplyPosableScene(o, scene, 1, 1));
    doc.mainScene.FindLayer("layer_1")->objects.push_back(o);
    return o.id;
}
}  // namespace

TEST_F(ToolsFixture, EnlargingAPosableObjectRendersItAgainAtItsNewSize) {
    const std::string id = AddPosable(doc, 20, 20);
    CanvasObject* o = doc.mainScene.FindObject(id);
    ASSERT_FALSE(o->parts.empty());
    const float startW = o->width, startH = o->height, startPixels = o->parts[0].pixelWidth;
    ASSERT_EQ(startPixels, startW);
    doc.mainScene.SelectObject(id);
    SetTool(0);
    // Drag the bottom-right handle (14 px outside) to double the size.
    const float right = 20 + startW, bottom = 20 + startH;
    view.OnLButtonDown(MK_LBUTTON, Client(right + 14, bottom + 14));
    ASSERT_TRUE(view.DragArmed());
    view.OnMouseMove(MK_LBUTTON, Client(right + startW + 14, bottom + startH + 14));
    view.OnLButtonUp(0, Client(right + startW + 14, bottom + startH + 14));
    o = doc.mainScene.FindObject(id);
    ASSERT_NEAR(o->width, 2 * startW, 1);
    EXPECT_GE(o->parts[0].pixelWidth, o->width) << "preview left stretched";
    EXPECT_GE(o->parts[0].pixelHeight, o->height);

    // A plain move keeps the preview it has.
    const float pixels = o->parts[0].pixelWidth;
    view.OnLButtonDown(MK_LBUTTON, Client(40, 40));
    view.OnMouseMove(MK_LBUTTON, Client(60, 50));
    view.OnLButtonUp(0, Client(60, 50));
    EXPECT_EQ(doc.mainScene.FindObject(id)->parts[0].pixelWidth, pixels);
}

TEST_F(ToolsFixture, EachPoseDragIsOneUndoStepStoredAtItsRelease) {
    const std::string id = AddPosable(doc, 50, 50);
    doc.mainScene.SelectObject(id);
    // Visiting the tool without moving a joint records nothing.
    SetTool(2);
    ASSERT_TRUE(view.PoseSession().open);
    SetTool(0);
    EXPECT_TRUE(doc.mainUndo.undo.empty());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(doc.mainScene.FindObject(id)->hasPose);

    SetTool(2);
    view.OnLButtonDown(MK_LBUTTON, Client(100, 75));  // the left part's tail
    ASSERT_TRUE(view.PoseSession().dragActive);
    view.OnMouseMove(MK_LBUTTON, Client(100, 110));
    view.OnLButtonUp(0, Client(100, 110));
    // The release stored the pose with the tool still chosen.
    EXPECT_EQ(doc.mainUndo.undo.size(), 1u);
    EXPECT_TRUE(doc.IsModified());
    ASSERT_TRUE(doc.mainScene.FindObject(id)->hasPose);
    EXPECT_TRUE(view.PoseSession().open);
    const std::vector<PartPose> posed = doc.mainScene.FindObject(id)->partPoses;

    // Saved as it stands, the file holds the pose.
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath("posed.qvk").toStdString();
    ASSERT_TRUE(doc.OnSaveDocument(path));
    CanvasDocument reopened;
    ASSERT_EQ(LoadProjectFile(path, reopened, nullptr), ProjectLoadResult::kLoaded);
    ASSERT_NE(reopened.FindObject(id), nullptr);
    EXPECT_TRUE(reopened.FindObject(id)->hasPose);
    EXPECT_EQ(reopened.FindObject(id)->partPoses.size(), posed.size());

    // A second drag is a second step; Undo takes back one at a time, and the
    // session follows the object.
    const CanvasPoseSession& pose = view.PoseSession();
    const CanvasObject* left = nullptr;  // the part posed first, now the one further down
    for (const Layer& layer : pose.runtime.layers)
        for (const CanvasObject& part : layer.objects)
            if (part.bones.size() == 1 && (!left || part.y > left->y)) left = &part;
    ASSERT_NE(left, nullptr);
    PointF tail;
    ASSERT_TRUE(pose.RuntimeToCanvas(doc.mainScene,
                                     NormalizedToCanvas(*left, left->bones[0].tailX, left->bones[0].tailY), tail));
    view.OnLButtonDown(MK_LBUTTON, Client(tail.x, tail.y));
    ASSERT_TRUE(view.PoseSession().dragActive);
    view.OnMouseMove(MK_LBUTTON, Client(tail.x + 30, tail.y - 30));
    view.OnLButtonUp(0, Client(tail.x + 30, tail.y - 30));
    EXPECT_EQ(doc.mainUndo.undo.size(), 2u);
    doc.OnEditUndo();
    EXPECT_EQ(doc.mainScene.FindObject(id)->partPoses.size(), posed.size());
    EXPECT_EQ(doc.mainScene.FindObject(id)->partPoses[0].tailY, posed[0].tailY);
    doc.OnEditUndo();
    EXPECT_FALSE(doc.mainScene.FindObject(id)->hasPose);
    EXPECT_TRUE(view.PoseSession().open);
    // Leaving the tool afterwards records nothing more.
    SetTool(0);
    EXPECT_EQ(doc.mainUndo.undo.size(), 0u);
    EXPECT_EQ(doc.mainUndo.redo.size(), 2u);
}

TEST_F(ToolsFixture, PoseToolShowsTheHandOverAJointAndNoResizeArrows) {
    const std::string id = AddPosable(doc, 50, 50);
    doc.mainScene.SelectObject(id);
    const CanvasObject* o = doc.mainScene.FindObject(id);
    // Under the Move tool the frame's corner handle shows a resize arrow.
    SetTool(0);
    const QPoint corner = Client(50 + o->width + 14, 50 + o->height + 14);
    view.OnMouseMove(0, corner);
    ASSERT_EQ(view.cursor().shape(), Qt::SizeFDiagCursor);

    SetTool(2);
    ASSERT_TRUE(view.PoseSession().open);
    view.OnMouseMove(0, corner);
    EXPECT_EQ(view.cursor().shape(), Qt::ArrowCursor);
    view.OnMouseMove(0, Client(100, 75));  // the left part's tail
    EXPECT_EQ(view.cursor().shape(), Qt::PointingHandCursor);
    view.OnMouseMove(0, Client(100 + 30, 75 + 30));
    EXPECT_EQ(view.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(ToolsFixture, PicksReadThePictureNotTheOverlaysOverIt) {
    // The canvas fills the view, so the statistics line lies over it.
    doc.mainScene.canvasColour = 0xFF336699;
    view.OnZoomPresetPicked(300);
    const QPoint underStats(view.width() - 40, 14);
    view.RenderToBackBuffer();
    {
        const QImage shown = view.grab().toImage();
        ASSERT_NE(Shown(shown, underStats) | 0xFF000000u, 0xFF336699u) << "the statistics line is not there";
    }
    SetTool(1);
    view.OnLButtonDown(MK_LBUTTON, underStats);
    view.OnLButtonUp(0, underStats);
    EXPECT_EQ(view.PickedColour(), 0xFF336699u);

    // Alt-click with the Paint Brush: the painted object's red frame lies under the point.
    // The frame lies 14 client pixels outside the object, over the canvas at
    // any device pixel ratio since the object sits 60 canvas pixels in.
    const std::string id = AddObject(60, 60, 100, 80);
    doc.mainScene.SelectObject(id);
    SetTool(9);
    view.OnZoomPresetPicked(100);
    view.RenderToBackBuffer();
    // The object has no pixels: whatever differs from the canvas left of its edge is the frame.
    const QImage shown = view.grab().toImage();
    // The frame may be thinner than a client pixel: search the device pixels
    // and press at the client pixel that holds the one found.
    const qreal ratio = shown.devicePixelRatio();
    const QPoint edge = Client(60, 80);
    QPoint onFrame(-1, -1);
    for (int y = int(edge.y() * ratio); y <= int(Client(0, 120).y() * ratio) && onFrame.x() < 0; ++y)
        for (int x = int((edge.x() - 20) * ratio); x < int(edge.x() * ratio) && onFrame.x() < 0; ++x)
            if ((shown.pixel(x, y) | 0xFF000000u) != 0xFF336699u) onFrame = QPoint(int(x / ratio), int(y / ratio));
    ASSERT_GE(onFrame.x(), 0) << "no frame drawn";
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QTest::keyPress(view.windowHandle(), Qt::Key_Alt, Qt::AltModifier);
    ASSERT_TRUE(CWndBase::IsKeyDown(VK_MENU));
    view.OnLButtonDown(MK_LBUTTON, onFrame);
    QTest::keyRelease(view.windowHandle(), Qt::Key_Alt);
    EXPECT_FALSE(view.StrokeActive());
    EXPECT_EQ(view.PickedColour(), 0xFF336699u);
}
