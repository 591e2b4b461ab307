#include "QtTestApp.h"
#include "platform/qt/CMemDC2.h"
#include "platform/qt/CThemedScrollCtrl.h"
#include "platform/qt/CZoomReadoutWnd.h"

#include <QAction>
#include <QMenu>
#include <QPaintEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace {
struct Note {
    int code, pos;
};

// The owner of a bar: records its notifications.
class Owner : public CWndBase {
public:
    std::vector<Note> notes;
    void OnVScroll(int code, int position, CWndBase*) override { notes.push_back({code, position}); }
};

struct BarFixture : ::testing::Test {
    QApplication& app = EnsureQtApp();
    Owner owner;
    CThemedScrollCtrl bar;
    void SetUp() override {
        owner.resize(40, 300);
        bar.Create(&owner, 49168, false);
        bar.owner = &owner;
        bar.setGeometry(0, 0, 20, 240);
        bar.minimum = 0;
        bar.maximum = 999;
        bar.page = 100;
        bar.position = 0;
        owner.show();
        bar.show();
    }
};
}  // namespace

TEST_F(BarFixture, ArrowStepsAtOnceThenRepeats) {
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(10, 230));  // second arrow
    ASSERT_EQ(owner.notes.size(), 1u);
    EXPECT_EQ(owner.notes[0].code, SB_LINEDOWN);
    EXPECT_EQ(bar.position, 1);
    EXPECT_TRUE(bar.HasTimer(CThemedScrollCtrl::kRepeatTimer));
    EXPECT_TRUE(QTest::qWaitFor([&] { return owner.notes.size() >= 3; }, 3000));  // 300 ms, then every 50 ms
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(10, 230));
    EXPECT_FALSE(bar.HasTimer(CThemedScrollCtrl::kRepeatTimer));
    const size_t n = owner.notes.size();
    for (const Note& note : owner.notes) EXPECT_EQ(note.code, SB_LINEDOWN);  // no notification ends the press
    QTest::qWait(120);
    EXPECT_EQ(owner.notes.size(), n);
}

TEST_F(BarFixture, ThumbDragTracksAndEnds) {
    // Track 200, thumb 20 at the top; 180 pixels of travel cover 900 positions.
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(10, 25));
    EXPECT_TRUE(bar.dragging);
    QTest::mouseMove(&bar, QPoint(10, 115));
    ASSERT_FALSE(owner.notes.empty());
    EXPECT_EQ(owner.notes.back().code, SB_THUMBTRACK);
    EXPECT_EQ(owner.notes.back().pos, 450);
    EXPECT_EQ(bar.position, 450);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(10, 115));
    EXPECT_EQ(owner.notes.back().code, SB_ENDSCROLL);
    EXPECT_FALSE(bar.dragging);
}

TEST_F(BarFixture, DragWithAThumbFillingTheTrackMovesNothing) {
    bar.maximum = 99;  // range 100, page 100
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(10, 100));
    EXPECT_TRUE(bar.dragging);
    QTest::mouseMove(&bar, QPoint(10, 180));
    EXPECT_EQ(bar.position, 0);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(10, 180));
    ASSERT_EQ(owner.notes.size(), 1u);
    EXPECT_EQ(owner.notes[0].code, SB_ENDSCROLL);
}

TEST_F(BarFixture, PositionsBeyondSixteenBitsReachTheOwner) {
    bar.maximum = 1999999;
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(10, 25));
    QTest::mouseMove(&bar, QPoint(10, 200));
    ASSERT_FALSE(owner.notes.empty());
    EXPECT_GT(owner.notes.back().pos, 65535);
    EXPECT_EQ(owner.notes.back().pos, bar.position);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(10, 200));
}

TEST(ZoomReadout, PresetMenuAndCallback) {
    EnsureQtApp();
    CZoomReadoutWnd readout;
    EXPECT_EQ(readout.BuildZoomMenu(), nullptr);  // no callback, no menu
    std::vector<int> picked;
    readout.zoomCallback = [&](int p) { picked.push_back(p); };
    readout.zoom = 0.999f;
    QMenu* menu = readout.BuildZoomMenu();
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    QString checked;
    for (QAction* a : menu->actions()) {
        texts << (a->isSeparator() ? QString("-") : a->text());
        if (a->isChecked()) checked = a->text();
    }
    EXPECT_EQ(texts, (QStringList{"10%", "30%", "50%", "80%", "100%", "150%", "200%", "400%", "800%", "-",
                                  "Fit to View"}));
    EXPECT_EQ(checked, "100%");
    delete menu;
    readout.OnZoomMenuChoice(9999);
    readout.OnZoomMenuChoice(150);
    readout.OnZoomMenuChoice(0);  // dismissed
    EXPECT_EQ(picked, (std::vector<int>{-1, 150}));
}

namespace {
// Paints one dot through the double buffer at client (120, 60).
class DotWindow : public QWidget {
public:
    QRect lastClip;
    void paintEvent(QPaintEvent* e) override {
        lastClip = e->rect();
        CMemDC2 dc(this, e->rect());
        dc.Painter().fillRect(rect(), Qt::black);
        dc.Painter().fillRect(QRect(120, 60, 1, 1), Qt::red);
    }
};
}  // namespace

TEST(CMemDC2, DrawsInClientCoordinatesInsideTheClipBox) {
    EnsureQtApp();
    DotWindow w;
    w.resize(300, 200);
    QImage img(300, 200, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    // Only the box (100, 50)-(200, 150) is repainted, at the same place in the image.
    w.render(&img, QPoint(100, 50), QRegion(QRect(100, 50, 100, 100)));
    EXPECT_EQ(w.lastClip, QRect(100, 50, 100, 100));
    EXPECT_EQ(img.pixel(120, 60), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(110, 60), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(20, 20), qRgb(255, 255, 255));  // outside the box: untouched
}
