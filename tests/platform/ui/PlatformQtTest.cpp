#include "QtTestApp.h"
#include "platform/qt/CommandUi.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtProfile.h"
#include "platform/qt/QtPrompts.h"
#include "platform/qt/WindowBase.h"

#include <QAction>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(WindowBase, MulDivRoundsHalfAwayFromZero) {
    EXPECT_EQ(MulDiv(220, 144, 96), 330);
    EXPECT_EQ(MulDiv(3, 1, 2), 2);
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);
    EXPECT_EQ(MulDiv(5, 5, 0), -1);
    EXPECT_EQ(MulDiv(1 << 30, 8, 4), -1);  // does not fit 32 bits
}

namespace {
// Records what the window base hands an owner-drawn window.
class Recorder : public CWndBase {
public:
    using CWndBase::CWndBase;
    std::vector<std::string> log;
    bool OnCommand(int id, int code, CWndBase* sender) override {
        log.push_back("cmd " + std::to_string(id) + " " + std::to_string(code) + (sender ? " s" : ""));
        return true;
    }
    void OnLButtonDown(unsigned, QPoint) override { log.push_back("down"); }
    void OnLButtonUp(unsigned, QPoint) override { log.push_back("up"); }
    void OnLButtonDblClk(unsigned, QPoint) override { log.push_back("dbl"); }
    void OnTimer(int id) override { log.push_back("timer " + std::to_string(id)); }
    void OnCaptureLost() override { log.push_back("lost"); }
};
}  // namespace

TEST(WindowBase, CommandsTimersAndDoubleClickOrder) {
    EnsureQtApp();
    Recorder parent;
    auto* child = new Recorder(&parent, 4104);
    EXPECT_TRUE(child->SendCommandToParent(0x1001));
    ASSERT_EQ(parent.log.size(), 1u);
    EXPECT_EQ(parent.log[0], "cmd 4104 4097 s");
    EXPECT_FALSE(parent.SendCommandToParent(1));  // no parent window

    parent.resize(50, 50);
    parent.show();
    parent.log.clear();
    // A double click arrives as press, release, double-click, release; the
    // double-click must not show up as a second press.
    QTest::mousePress(&parent, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&parent, Qt::LeftButton, {}, QPoint(5, 5));
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5), parent.mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&parent, &dbl);
    QTest::mouseRelease(&parent, Qt::LeftButton, {}, QPoint(5, 5));
    std::vector<std::string> expected{"down", "up", "dbl", "up"};
    EXPECT_EQ(parent.log, expected);

    parent.log.clear();
    parent.SetTimer(7, 5);
    EXPECT_TRUE(parent.HasTimer(7));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !parent.log.empty(); }, 5000));
    parent.KillTimer(7);
    EXPECT_FALSE(parent.HasTimer(7));
    ASSERT_FALSE(parent.log.empty());
    EXPECT_EQ(parent.log.front(), "timer 7");

    parent.log.clear();
    parent.SetCapture();
    parent.hide();  // losing the window loses the capture
    EXPECT_FALSE(parent.HasCapture());
    EXPECT_EQ(parent.log, std::vector<std::string>{"lost"});
}

TEST(QtProfile, KeepsValueTypesAcrossReopen) {
    EnsureQtApp();
    QTemporaryDir dir;
    const std::string path = dir.filePath("profile.ini").toStdString();
    {
        QtProfile p(path);
        EXPECT_TRUE(p.WriteDword(kBrushesProfileKey, "BrushSeedVersion", 1));
        EXPECT_TRUE(p.WriteAppString("Settings", "Name", "a=b; c"));
        EXPECT_TRUE(p.WriteAppDword("Settings", "Big", 0xFFFFFFFFu));
        EXPECT_FALSE(p.WriteDword("bad//key", "x", 1));
    }
    QtProfile p(path);
    EXPECT_EQ(p.ReadDword(kBrushesProfileKey, "BrushSeedVersion"), 1u);
    EXPECT_EQ(p.ReadString(kBrushesProfileKey, "BrushSeedVersion"), std::nullopt);
    EXPECT_EQ(p.GetAppString("Settings", "Name", ""), "a=b; c");
    EXPECT_EQ(p.ReadDword(AppProfileSection("Settings"), "Name"), std::nullopt);
    EXPECT_EQ(p.GetAppDword("Settings", "Big", 0), 0xFFFFFFFFu);
    EXPECT_TRUE(p.DeleteValue(AppProfileSection("Settings"), "Big"));
    EXPECT_EQ(p.GetAppDword("Settings", "Big", 7), 7u);
}

TEST(QtClipboard, OneFormatPerCopyAndPngAsMime) {
    EnsureQtApp();
    QtClipboard cb;
    EXPECT_EQ(QtClipboard::MimeTypeOf("PNG"), "image/png");
    EXPECT_EQ(QtClipboard::MimeTypeOf("QuillfenEditor.CanvasObject.v1"), "QuillfenEditor.CanvasObject.v1");
    EXPECT_EQ(QtClipboard::MimeTypeOf("CF_DIB"), "");

    const std::vector<uint8_t> a{'Q', 'V', 'O', '1'}, b{'Q', 'V', 'S', '1'};
    ASSERT_TRUE(cb.SetData("QuillfenEditor.CanvasObject.v1", a));
    ASSERT_TRUE(cb.SetData("QuillfenEditor.CanvasObjectSet.v1", b));
    EXPECT_FALSE(cb.HasFormat("QuillfenEditor.CanvasObject.v1"));
    std::vector<uint8_t> out;
    ASSERT_TRUE(cb.GetData("QuillfenEditor.CanvasObjectSet.v1", out));
    EXPECT_EQ(out, b);
    EXPECT_TRUE(cb.Empty());
    EXPECT_FALSE(cb.HasFormat("QuillfenEditor.CanvasObjectSet.v1"));
    EXPECT_EQ(cb.GetImage(), nullptr);
}

TEST(QtPrompts, FilterTextForTheFileDialogs) {
    std::vector<FileFilter> f{{"Plindrow Documents (*.qvk)", {"*.qvk"}}, {"Images", {"*.png", "*.jpg"}}};
    EXPECT_EQ(QtPrompts::QtFilterText(f), "Plindrow Documents (*.qvk);;Images (*.png *.jpg)");
}

TEST(CommandUi, MenuStatesFollowTheTableWhenIdle) {
    EnsureQtApp();
    CommandTable table;
    CommandUi ui(table);
    QAction handled("a"), unhandled("b"), toggle("c");
    bool on = false;
    int runs = 0;
    table.Add(CommandTarget::Document, 1, [&] { ++runs; });
    table.Add(CommandTarget::Document, 3, [&] { on = !on; }, [&](CommandUpdate& u) { u.SetCheck(on); });
    ui.BindAction(&handled, 1);
    ui.BindAction(&unhandled, 2);
    ui.BindAction(&toggle, 3);
    const int before = ui.UpdateCount();
    QCoreApplication::processEvents();  // the zero-delay idle update
    EXPECT_GT(ui.UpdateCount(), before);
    EXPECT_TRUE(handled.isEnabled());
    EXPECT_FALSE(unhandled.isEnabled());
    EXPECT_FALSE(toggle.isChecked());

    handled.trigger();
    EXPECT_EQ(runs, 1);
    toggle.trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(toggle.isChecked());
}
