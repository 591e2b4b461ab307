// The property controls' notifications: each value control brackets a user
// interaction with begin (0x1001) and end (0x1002), sends its changes inside,
// and ends on a lost mouse capture as on a release; code changes send nothing.
#include "properties/ui/CPropAngleEdit.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropColorWell.h"
#include "properties/ui/CPropDropdown.h"
#include "properties/ui/CPropNumericEdit.h"
#include "properties/ui/CPropSegmented.h"
#include "properties/ui/CPropSliderWnd.h"
#include "../../platform/ui/QtTestApp.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// A parent that records every notification as "id:code".
class Recorder : public CWndBase {
public:
    Recorder() {
        resize(600, 200);
        show();
    }
    bool OnCommand(int id, int code, CWndBase*) override {
        log.push_back(std::to_string(id) + ":" + Code(code));
        return true;
    }
    static std::string Code(int code) {
        switch (code) {
        case kPropBegin: return "begin";
        case kPropChanged: return "changed";
        case kPropEnd: return "end";
        case kPropClick: return "click";
        case kPropFirstSwatch: return "first";
        case kPropSecondSwatch: return "second";
        default: return std::to_string(code);
        }
    }
    std::string Take() {
        std::string s;
        for (const auto& e : log) s += (s.empty() ? "" : " ") + e;
        log.clear();
        return s;
    }
    std::vector<std::string> log;
};

void Type(QLineEdit* edit, const QString& text, Qt::Key key = Qt::Key_Return) {
    edit->setFocus();
    edit->setText(text);
    QTest::keyClick(edit, key);
}
}  // namespace

TEST(PropControlsTest, SliderBracketsDragsAndEndsOnCaptureLoss) {
    EnsureQtApp();
    Recorder parent;
    CPropSliderWnd slider;
    ASSERT_TRUE(slider.Create(&parent, 7, QRect(0, 0, 100, 25)));
    slider.SetValue(40);  // from code: nothing
    EXPECT_EQ(parent.Take(), "");

    slider.OnLButtonDown(0, QPoint(80, 10));  // the value box: the maximum
    EXPECT_FLOAT_EQ(slider.value, 100);
    slider.OnMouseMove(MK_LBUTTON, QPoint(81, 10));  // no change: nothing
    slider.OnMouseMove(MK_LBUTTON, QPoint(24, 10));
    slider.OnLButtonUp(0, QPoint(24, 10));
    EXPECT_EQ(parent.Take(), "7:begin 7:changed 7:changed 7:end");
    EXPECT_FLOAT_EQ(slider.value, 50);

    // A press that does not move the value, then the capture is lost.
    slider.OnLButtonDown(0, QPoint(24, 10));
    slider.hide();
    EXPECT_EQ(parent.Take(), "7:begin 7:end");
    EXPECT_FALSE(slider.dragging);
    EXPECT_FALSE(slider.InteractionOpen());
    slider.OnLButtonUp(0, QPoint(24, 10));  // a late release sends nothing more
    EXPECT_EQ(parent.Take(), "");
}

TEST(PropControlsTest, NumericEditTypingStepsAndLabelDrag) {
    EnsureQtApp();
    Recorder parent;
    CPropNumericEdit edit;
    ASSERT_TRUE(edit.Create(&parent, 3, QRect(0, 0, 120, 25)));
    edit.SetLabel("W");
    edit.SetRange(1, 1000);
    edit.SetValue(10);
    EXPECT_EQ(parent.Take(), "");

    // Enter on a new number: one interaction; on the same number: nothing.
    Type(edit.Edit(), "25");
    EXPECT_EQ(parent.Take(), "3:begin 3:changed 3:end");
    EXPECT_FLOAT_EQ(edit.value, 25);
    Type(edit.Edit(), "25");
    EXPECT_EQ(parent.Take(), "");
    // Below the range clamps; text without a number commits 0, clamped.
    Type(edit.Edit(), "0.2");
    EXPECT_FLOAT_EQ(edit.value, 1);
    EXPECT_EQ(edit.Edit()->text(), "1");
    parent.Take();

    // Up and Down: a whole interaction each; at the minimum Down moves nothing.
    QTest::keyClick(edit.Edit(), Qt::Key_Up);
    EXPECT_EQ(parent.Take(), "3:begin 3:changed 3:end");
    QTest::keyClick(edit.Edit(), Qt::Key_Down);
    QTest::keyClick(edit.Edit(), Qt::Key_Down);
    EXPECT_EQ(parent.Take(), "3:begin 3:changed 3:end 3:begin 3:end");

    // Escape after typing restores the text, sends nothing (no open
    // interaction) and the focus loss commits the restored text: nothing.
    edit.Edit()->setFocus();
    edit.Edit()->setText("77");
    QTest::keyClick(edit.Edit(), Qt::Key_Escape);
    EXPECT_EQ(edit.Edit()->text(), "1");
    EXPECT_EQ(parent.Take(), "");

    // Dragging the label: 2 px per step, measured from the press.
    edit.SetValue(10);
    const QPoint press(2, 10);
    edit.OnLButtonDown(0, press);
    edit.OnMouseMove(MK_LBUTTON, press + QPoint(7, 0));
    EXPECT_FLOAT_EQ(edit.value, 13);
    edit.OnMouseMove(MK_LBUTTON, press + QPoint(-7, 0));
    EXPECT_FLOAT_EQ(edit.value, 7);
    edit.OnMouseMove(MK_LBUTTON, press);
    EXPECT_FLOAT_EQ(edit.value, 10);
    edit.OnCaptureLost();
    EXPECT_EQ(parent.Take(), "3:begin 3:changed 3:changed 3:changed 3:end");
    EXPECT_FALSE(edit.dragging);

    // A press outside the label is no drag; a drag lost by hiding ends too.
    edit.OnLButtonDown(0, QPoint(100, 10));
    EXPECT_EQ(parent.Take(), "");
    edit.OnLButtonDown(0, press);
    edit.hide();
    EXPECT_EQ(parent.Take(), "3:begin 3:end");
}

TEST(PropControlsTest, NumericEditKeepsTypedTextWhenSetFromCode) {
    EnsureQtApp();
    Recorder parent;
    CPropNumericEdit edit;
    ASSERT_TRUE(edit.Create(&parent, 3, QRect(0, 0, 120, 25)));
    QApplication::setActiveWindow(&parent);
    edit.Edit()->setFocus();
    if (!edit.Edit()->hasFocus()) GTEST_SKIP() << "no keyboard focus on this platform";
    edit.Edit()->setText("4");
    edit.SetValue(9);
    EXPECT_FLOAT_EQ(edit.value, 9);
    EXPECT_EQ(edit.Edit()->text(), "4");
}

TEST(PropControlsTest, AngleEditDialTypingAndWrap) {
    EnsureQtApp();
    Recorder parent;
    CPropAngleEdit angle;
    ASSERT_TRUE(angle.Create(&parent, 5, QRect(0, 0, 120, 50)));
    const QRect dial = angle.DialRect();
    const QPoint c(dial.width() / 2, dial.top() + dial.height() / 2);
    angle.OnLButtonDown(0, c + QPoint(0, -10));  // straight up: 90
    EXPECT_FLOAT_EQ(angle.value, 90);
    angle.OnMouseMove(MK_LBUTTON, c + QPoint(-10, 0));
    EXPECT_FLOAT_EQ(angle.value, 180);
    angle.OnMouseMove(MK_LBUTTON, c + QPoint(0, 10));
    EXPECT_FLOAT_EQ(angle.value, 270);
    angle.OnCaptureLost();
    EXPECT_EQ(parent.Take(), "5:begin 5:changed 5:changed 5:changed 5:end");

    Type(angle.Edit(), "360");
    EXPECT_FLOAT_EQ(angle.value, 0);
    EXPECT_EQ(parent.Take(), "5:begin 5:changed 5:end");
    angle.SetValue(359);
    QTest::keyClick(angle.Edit(), Qt::Key_Up);
    EXPECT_FLOAT_EQ(angle.value, 0);
    EXPECT_EQ(parent.Take(), "5:begin 5:changed 5:end");

    angle.SetRange(-180, 180);
    angle.OnLButtonDown(0, c + QPoint(0, 10));
    EXPECT_FLOAT_EQ(angle.value, -90);
    angle.OnLButtonUp(0, c + QPoint(0, 10));
    angle.SetRange(0, 90);
    Type(angle.Edit(), "120");
    EXPECT_FLOAT_EQ(angle.value, 90);
    Type(angle.Edit(), "-10");
    EXPECT_FLOAT_EQ(angle.value, 0);
}

TEST(PropControlsTest, ButtonsSendOneClick) {
    EnsureQtApp();
    Recorder parent;
    CPropTextButton button;
    ASSERT_TRUE(button.Create(&parent, 9, "Go", QRect(0, 0, 80, 25)));
    // Leaving before the release sends nothing; coming back inside clicks.
    button.OnLButtonDown(0, QPoint(5, 5));
    button.OnMouseMove(MK_LBUTTON, QPoint(200, 5));
    button.OnLButtonUp(0, QPoint(200, 5));
    EXPECT_EQ(parent.Take(), "");
    button.OnLButtonDown(0, QPoint(5, 5));
    button.OnMouseMove(MK_LBUTTON, QPoint(200, 5));
    button.OnMouseMove(MK_LBUTTON, QPoint(6, 5));
    button.OnLButtonUp(0, QPoint(6, 5));
    EXPECT_EQ(parent.Take(), "9:click");
    button.OnLButtonDown(0, QPoint(5, 5));
    button.OnCaptureLost();
    button.OnLButtonUp(0, QPoint(5, 5));
    EXPECT_EQ(parent.Take(), "");

    // The checkbox's click arrives with the new state already stored.
    struct CheckRecorder : Recorder {
        CPropCheckbox* box = nullptr;
        std::vector<bool> seen;
        bool OnCommand(int id, int code, CWndBase* w) override {
            seen.push_back(box->checked);
            return Recorder::OnCommand(id, code, w);
        }
    } checkParent;
    CPropCheckbox box;
    checkParent.box = &box;
    ASSERT_TRUE(box.Create(&checkParent, 4, "Clip", QRect(0, 0, 100, 25)));
    box.SetCheck(true);
    EXPECT_EQ(checkParent.Take(), "");
    QTest::keyClick(&box, Qt::Key_Space);
    box.OnLButtonDown(0, QPoint(3, 3));
    box.OnLButtonUp(0, QPoint(3, 3));
    EXPECT_EQ(checkParent.Take(), "4:click 4:click");
    EXPECT_EQ(checkParent.seen, (std::vector<bool>{false, true}));
}

TEST(PropControlsTest, DropdownPicksOnlyNewItemsAndDefersDestroyingItsPopup) {
    EnsureQtApp();
    Recorder parent;
    CPropDropdown drop;
    ASSERT_TRUE(drop.Create(&parent, 30, QRect(0, 0, 100, 25)));
    drop.SetItems({"North", "", "East", "\x1F", "West"});
    drop.SetCurSel(0);
    drop.OpenPopup();
    ASSERT_TRUE(drop.IsOpen());
    QPointer<CPropDropdownPopup> popup = drop.Popup();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->height(), 53);
    EXPECT_EQ(popup->width(), 202);
    // Down from North to East, then Enter: one pick. The popup window is
    // still alive right after its own handler and gone once events run.
    QTest::keyClick(popup, Qt::Key_Down);
    EXPECT_EQ(popup->hot, 2);
    QTest::keyClick(popup, Qt::Key_Return);
    EXPECT_EQ(parent.Take(), "30:click");
    EXPECT_EQ(drop.selected, 2);
    EXPECT_FALSE(drop.IsOpen());
    EXPECT_TRUE(popup);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(popup);

    // Picking the selected item, clicking a separator, Escape: no notification.
    drop.OpenPopup();
    popup = drop.Popup();
    popup->Close(2);
    drop.OpenPopup();
    QTest::mouseClick(drop.Popup(), Qt::LeftButton, {}, QPoint(10, 26));
    EXPECT_FALSE(drop.IsOpen());
    drop.OpenPopup();
    QTest::keyClick(drop.Popup(), Qt::Key_Escape);
    EXPECT_FALSE(drop.IsOpen());
    // The popup lost from outside cancels.
    drop.OpenPopup();
    drop.Popup()->hide();
    EXPECT_FALSE(drop.IsOpen());
    EXPECT_EQ(parent.Take(), "");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(PropControlsTest, SegmentsAndWellPairs) {
    EnsureQtApp();
    Recorder parent;
    CPropCombineOpButtons ops;
    ASSERT_TRUE(ops.Create(&parent, 11, QRect(0, 0, 200, 25)));
    // Pressing on one segment and releasing over another changes nothing.
    ops.OnLButtonDown(0, QPoint(60, 5));
    ops.OnLButtonUp(0, QPoint(110, 5));
    EXPECT_EQ(ops.Selection(), 0);
    QTest::keyClick(&ops, Qt::Key_3);
    EXPECT_EQ(ops.Selection(), 2);
    ops.SetSelection(0);
    QTest::keyClick(&ops, Qt::Key_Left);
    EXPECT_EQ(parent.Take(), "11:click");

    CPropTextSegmented seg;
    ASSERT_TRUE(seg.Create(&parent, 12, QRect(0, 30, 150, 25)));
    for (const char* s : {"Expand", "Contract", "Feather"}) seg.AddSegment(s);
    QTest::keyClick(&seg, Qt::Key_5);
    QTest::keyClick(&seg, Qt::Key_3);
    QTest::keyClick(&seg, Qt::Key_Right);
    EXPECT_EQ(seg.selected, 2);
    EXPECT_EQ(parent.Take(), "12:click");

    // A pair 101 px wide: x 50 chooses the first swatch, 51 the second; every
    // press reports its swatch, also when the choice stays.
    CPropColorWellPair pair;
    ASSERT_TRUE(pair.Create(&parent, 13));
    pair.setGeometry(0, 60, 101, 25);
    pair.OnLButtonDown(0, QPoint(50, 5));
    pair.OnLButtonDown(0, QPoint(51, 5));
    pair.OnLButtonDown(0, QPoint(90, 5));
    EXPECT_EQ(parent.Take(), "13:first 13:second 13:second");
}
