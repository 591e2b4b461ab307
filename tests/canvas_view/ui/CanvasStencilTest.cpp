// The Stencil Kitbash tool in the canvas view, offscreen: the right button
// drags the stencil from anywhere (a lost capture ends it), the cursor over
// the gizmo, and Tab hiding the stencil while it is held.
#include "brushes/BitmapPaintSession.h"
#include "brushes/StencilLibraryStore.h"
#include "brushes/StencilOverlay.h"
#include "canvas_view/ui/CCanvasLayoutView.h"
#include "document/CQuillfenEditorDoc.h"
#include "platform/Codecs.h"
#include "platform/Files.h"

#include "tests/platform/ui/QtTestApp.h"

#include <QApplication>
#include <QKeyEvent>

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct StencilViewFixture : ::testing::Test {
    fs::path base = fs::temp_directory_path() / ("canvas_stencil_" + std::to_string(::getpid()));
    StencilLibraryStore* store = nullptr;
    StencilOverlay* overlay = nullptr;
    CQuillfenEditorDoc* doc = nullptr;
    CCanvasLayoutView* view = nullptr;

    void SetUp() override {
        EnsureQtApp();
        fs::create_directories(base / "user" / "lib");
        BitmapPtr image = Bitmap::Create(40, 20);
        image->Clear(0xFFFF0000);
        std::vector<uint8_t> png;
        ASSERT_TRUE(EncodePng(*image, png));
        ASSERT_TRUE(WriteFileAtomic((base / "user" / "lib" / "s.png").string(), png));
        SetStencilPlaces({(base / "user").string(), (base / "installed").string(), nullptr});
        store = new StencilLibraryStore;
        store->Activate("lib");
        overlay = new StencilOverlay(store);
        SetCurrentStencilOverlay(overlay);
        doc = new CQuillfenEditorDoc;
        doc->mainScene.Reset();
        doc->mainScene.width = 400;
        doc->mainScene.height = 300;
        view = new CCanvasLayoutView;
        view->SetDocument(doc);
        view->resize(520, 420);
        view->OnInitialUpdate();
        view->OnZoomPresetPicked(100);
        doc->activeTool = kToolStencilKitbash;
        view->OnUpdate(nullptr, 0);
        overlay->SelectStencil(0);
        overlay->ResetTransform(PointF{400, 300});
    }
    void TearDown() override {
        delete view;
        delete doc;
        SetCurrentStencilOverlay(nullptr);
        delete overlay;
        delete store;
        SetStencilPlaces({});
        fs::remove_all(base);
    }
    void Key(QEvent::Type type, bool repeat = false) {
        QKeyEvent e(type, Qt::Key_Tab, Qt::NoModifier, QString(), repeat);
        QApplication::sendEvent(view, &e);
    }
};

}  // namespace

TEST_F(StencilViewFixture, RightDragMovesTheStencilFromAnywhere) {
    ASSERT_EQ(overlay->transform.centerX, 200);
    // 100 % counts device pixels: a client pixel is 1 / zoom canvas units at
    // any device pixel ratio.
    const float unit = 1.0f / view->Zoom();
    const int rebuilds = overlay->rebuildCount;
    view->OnRButtonDown(MK_RBUTTON, QPoint(5, 5));  // off the canvas and the gizmo
    EXPECT_EQ(overlay->dragMode, kStencilDragMove);
    EXPECT_EQ(view->cursor().shape(), Qt::SizeAllCursor);
    view->OnMouseMove(MK_RBUTTON, QPoint(35, 25));
    view->OnLButtonUp(0, QPoint(35, 25));  // another button's release leaves it running
    EXPECT_EQ(overlay->dragMode, kStencilDragMove);
    view->OnRButtonUp(0, QPoint(35, 25));
    EXPECT_EQ(overlay->dragMode, kStencilDragNone);
    EXPECT_FLOAT_EQ(overlay->transform.centerX, 200 + 30 * unit);
    EXPECT_FLOAT_EQ(overlay->transform.centerY, 150 + 20 * unit);
    EXPECT_EQ(overlay->rebuildCount, rebuilds + 1);
    // A drag whose capture is lost ends as a release does.
    view->OnRButtonDown(MK_RBUTTON, QPoint(5, 5));
    view->OnMouseMove(MK_RBUTTON, QPoint(15, 5));
    view->OnCaptureLost();
    EXPECT_EQ(overlay->dragMode, kStencilDragNone);
    EXPECT_FLOAT_EQ(overlay->transform.centerX, 200 + 40 * unit);
    EXPECT_FALSE(overlay->dirty);
    // Other tools leave the right button alone.
    doc->activeTool = 9;
    view->OnRButtonDown(MK_RBUTTON, QPoint(5, 5));
    EXPECT_EQ(overlay->dragMode, kStencilDragNone);
}

TEST_F(StencilViewFixture, GizmoCursorAndTabHidesWhileHeld) {
    const RectI frame = StencilGizmo::FrameRect(view->GetCanvasClientRect());
    ASSERT_FALSE(frame.IsEmpty());
    view->OnMouseMove(0, QPoint(frame.right - 37, frame.bottom - 37));
    EXPECT_EQ(view->cursor().shape(), Qt::SizeAllCursor);
    view->OnMouseMove(0, QPoint(frame.right, frame.top));
    EXPECT_EQ(view->cursor().shape(), Qt::SizeBDiagCursor);
    view->OnMouseMove(0, QPoint((frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2));
    EXPECT_EQ(view->cursor().shape(), Qt::BlankCursor);  // the brush cursor

    Key(QEvent::KeyPress);
    EXPECT_TRUE(overlay->hidden);
    EXPECT_TRUE(CWndBase::IsKeyDown(VK_TAB));
    Key(QEvent::KeyRelease, true);  // auto-repeat
    EXPECT_TRUE(overlay->hidden);
    Key(QEvent::KeyRelease);
    EXPECT_FALSE(overlay->hidden);
    EXPECT_FALSE(CWndBase::IsKeyDown(VK_TAB));
}
