#pragma once
// The "Tools" pane: two columns of square tool buttons under small group
// headings, one set per workspace mode. A click sends the tool's command
// through the command table; holding a button that stands for a family of
// tools for 400 ms opens a flyout list beside it, and the tool picked there
// becomes the button's face and is sent.
#include "app/ToolTable.h"
#include "platform/IconStore.h"
#include "platform/qt/WindowBase.h"

#include <QColor>

#include <memory>
#include <vector>

class CommandUi;
class CVerticalToolStripWnd;

class CVerticalToolFlyoutWnd : public CWndBase {
    Q_OBJECT
public:
    explicit CVerticalToolFlyoutWnd(CVerticalToolStripWnd* strip);
    ~CVerticalToolFlyoutWnd() override;

    // Shows the list beside button (global coordinates) and takes the mouse.
    bool Open(int entry, const std::vector<ToolFlyoutItem>& items, const std::vector<bool>& enabled, int current,
              const QRect& button);
    // Ends the flyout; row -1 picks nothing.
    void Close(int row);
    int HoverRow() const { return hover_; }
    int RowAt(QPoint p) const;

    void OnLButtonDown(unsigned flags, QPoint p) override;
    void OnLButtonUp(unsigned flags, QPoint p) override;
    void OnMouseMove(unsigned flags, QPoint p) override;
    void OnCaptureLost() override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    CVerticalToolStripWnd* strip_;
    int entry_ = -1;
    std::vector<ToolFlyoutItem> items_;
    std::vector<bool> enabled_;
    int hover_ = -1, current_ = -1;
    bool closing_ = false;
};

class CVerticalToolStripWnd : public CWndBase {
    Q_OBJECT
public:
    static constexpr int kHoldTimer = 37377;

    explicit CVerticalToolStripWnd(QWidget* parent = nullptr);
    ~CVerticalToolStripWnd() override;

    void SetCommandUi(CommandUi* ui);
    // Empties the strip and fills it with the tools of the workspace mode.
    void SetMode(int mode, int iconSize);
    int ButtonSize() const { return buttonSize_; }

    void AddGroup(const std::string& heading);
    void AddTool(const ToolItem& item);
    void AddToolWithFlyout(const ToolItem& head, std::vector<ToolFlyoutItem> items);
    void RebuildButtons();
    void RecalcLayout();
    // The height the strip's buttons need at a given width.
    int ContentHeight(int width) const;
    void UpdateCommandUI();

    struct Button {
        int entry = -1;
        int kind = 0;
        RectI rect, mark;
        ToolItem item;
        bool hasFlyout = false, enabled = true, checked = false;
    };
    const std::vector<ToolStripEntry>& Entries() const { return entries_; }
    const std::vector<Button>& Buttons() const { return buttons_; }
    int HitTest(QPoint p) const;
    CVerticalToolFlyoutWnd* Flyout() const { return flyout_; }
    bool HoldTimerRunning() const { return holding_; }

    void OpenFlyout(int button);
    void CloseFlyout();
    // From the flyout: picks row of the entry (-1 nothing) and forgets the flyout.
    void PickFlyoutItem(int entry, int row);
    bool QueryToolEnabled(const ToolItem& item);
    // Draws a tool's icon centred in rect (greyed when disabled).
    void DrawToolIcon(QPainter& p, const ToolItem& item, const QRect& rect, bool enabled);
    IconStore& Icons() { return icons_; }

    void OnLButtonDown(unsigned flags, QPoint p) override;
    void OnLButtonUp(unsigned flags, QPoint p) override;
    void OnMouseMove(unsigned flags, QPoint p) override;
    void OnMouseLeave() override;
    void OnTimer(int id) override;
    void OnCaptureLost() override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool event(QEvent* e) override;

private:
    void SendCommand(uint32_t id);
    void StopHold();
    void InvalidateButton(int index);
    IconRequest IconOf(const ToolItem& item) const;

    std::vector<ToolStripEntry> entries_;
    std::vector<Button> buttons_;
    int buttonSize_ = 36;
    QColor palette_[9];
    int hover_ = -1, pressed_ = -1;
    bool holding_ = false;
    int flyoutButton_ = -1;
    CVerticalToolFlyoutWnd* flyout_ = nullptr;  // deleted later: it may be inside its own handler
    IconStore icons_;
    CommandUi* commandUi_ = nullptr;
};

// The docking pane's content: the strip over the whole pane, 78 wide at 96 dpi.
// A strip taller than the pane scrolls with the wheel and a thin bar along the
// right edge, so every tool stays reachable at any size and scale.
class CVerticalToolsPane : public CWndBase {
    Q_OBJECT
public:
    explicit CVerticalToolsPane(QWidget* parent = nullptr);
    CVerticalToolStripWnd* Strip() const { return strip_; }
    int Mode() const { return mode_; }
    int IconSize() const { return iconSize_; }
    void SetIconSize(int size) { iconSize_ = size; }
    // Stores the mode and rebuilds the strip for it.
    void SetMode(int mode);
    void AdjustLayout();
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // Scrolls the strip to an offset (kept in range); the current scroll.
    void ScrollTo(int offset);
    const ToolStripScroll& Scroll() const { return scroll_; }
    QWidget* ScrollBar() const { return bar_; }
    bool OnMouseWheel(unsigned flags, int delta, QPoint p) override;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    CVerticalToolStripWnd* strip_;
    QWidget* bar_ = nullptr;
    ToolStripScroll scroll_;
    int iconSize_ = 32;
    int mode_ = 0;
};
