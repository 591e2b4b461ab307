#include "brushes/StencilLibraryStore.h"
#include "brushes/ui/StencilOverlayDrawing.h"
#include "platform/Codecs.h"
#include "platform/Files.h"

#include "tests/platform/ui/QtTestApp.h"
#include <QApplication>
#include <QPainter>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The binary's one QApplication: a second one in the same process breaks Qt.
QApplication& App() { return EnsureQtApp(); }

// Saved for looking at when STENCIL_SHOTS names a folder.
void Shot(const QImage& image, const char* name) {
    if (const char* dir = std::getenv("STENCIL_SHOTS")) image.save(QString(dir) + "/" + name);
}

}  // namespace

TEST(StencilDrawing, GizmoHandlesWhereTheHitTestFindsThem) {
    App();
    QImage view(1000, 800, QImage::Format_ARGB32_Premultiplied);
    view.fill(0xFF202428);
    const RectI frame = StencilGizmo::FrameRect({0, 0, 1000, 800});
    {
        QPainter p(&view);
        DrawStencilGizmo(p, frame);
    }
    Shot(view, "gizmo.png");
    const PointF c = StencilGizmo::Center(frame);
    // Handle interiors are white; the middle of the frame is untouched.
    for (const QPoint pt : {QPoint(int(c.x), frame.top - 34), QPoint(frame.left, frame.top), QPoint(frame.right, frame.bottom),
                            QPoint(int(c.x), frame.top), QPoint(frame.left, int(c.y)), QPoint(frame.right - 55, frame.bottom - 55)})
        EXPECT_EQ(view.pixel(pt), 0xFFFFFFFFu) << pt.x() << ", " << pt.y();
    EXPECT_EQ(view.pixel(int(c.x), int(c.y)), 0xFF202428u);
    // The move arrow's arm crosses the move square's centre.
    EXPECT_NE(view.pixel(frame.right - 37, frame.bottom - 37), 0xFFFFFFFFu);
}

TEST(StencilDrawing, CursorPerGizmoPart) {
    const struct {
        StencilGizmoHit hit;
        Qt::CursorShape shape;
    } cases[] = {
        {kGizmoCornerTopLeft, Qt::SizeFDiagCursor}, {kGizmoCornerBottomRight, Qt::SizeFDiagCursor},
        {kGizmoCornerTopRight, Qt::SizeBDiagCursor}, {kGizmoCornerBottomLeft, Qt::SizeBDiagCursor},
        {kGizmoEdgeTop, Qt::SizeVerCursor},         {kGizmoEdgeBottom, Qt::SizeVerCursor},
        {kGizmoEdgeRight, Qt::SizeHorCursor},       {kGizmoEdgeLeft, Qt::SizeHorCursor},
        {kGizmoRotate, Qt::PointingHandCursor},     {kGizmoMove, Qt::SizeAllCursor},
    };
    for (const auto& c : cases) {
        Qt::CursorShape shape = Qt::ArrowCursor;
        EXPECT_TRUE(StencilGizmoCursor(c.hit, shape)) << int(c.hit);
        EXPECT_EQ(shape, c.shape) << int(c.hit);
    }
    Qt::CursorShape shape = Qt::ArrowCursor;
    EXPECT_FALSE(StencilGizmoCursor(kGizmoNone, shape));  // the brush cursor then
    EXPECT_FALSE(StencilGizmoCursor(StencilGizmoHit(11), shape));
    EXPECT_EQ(shape, Qt::ArrowCursor);
}

TEST(StencilDrawing, PreviewAtTheOverlayOpacityAndHiddenWithTab) {
    App();
    const fs::path base = fs::temp_directory_path() / ("stencil_draw_" + std::to_string(::getpid()));
    fs::create_directories(base / "user" / "lib");
    BitmapPtr red = Bitmap::Create(20, 10);
    red->Clear(0xFFFF0000);
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodePng(*red, png));
    ASSERT_TRUE(WriteFileAtomic((base / "user" / "lib" / "r.png").string(), png));
    SetStencilPlaces({(base / "user").string(), (base / "installed").string(), nullptr});
    StencilLibraryStore store;
    store.Activate("lib");
    StencilOverlay overlay(&store);
    overlay.SelectStencil(0);
    overlay.ResetTransform(PointF{100, 100});

    auto render = [&] {
        QImage canvas(100, 100, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(0xFFFFFFFF);
        QPainter p(&canvas);
        DrawStencilOverlay(p, overlay);
        return canvas;
    };
    QImage shown = render();
    EXPECT_EQ(qRed(shown.pixel(50, 50)), 255);
    EXPECT_NEAR(qGreen(shown.pixel(50, 50)), 128, 2);  // half opacity over white
    EXPECT_EQ(shown.pixel(50, 30), 0xFFFFFFFFu);        // outside the 20 x 10 stencil
    overlay.hidden = true;
    EXPECT_EQ(render().pixel(50, 50), 0xFFFFFFFFu);
    overlay.hidden = false;
    // While dragging the source image is drawn with the live transform.
    overlay.dragMode = kStencilDragMove;
    overlay.transform.centerX = 20;
    QImage dragged = render();
    EXPECT_NEAR(qGreen(dragged.pixel(20, 50)), 128, 2);
    EXPECT_EQ(dragged.pixel(50, 50), 0xFFFFFFFFu);
    SetStencilPlaces({});
    fs::remove_all(base);
}
