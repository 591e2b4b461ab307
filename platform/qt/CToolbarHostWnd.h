#pragma once
// The owner-drawn icon toolbar: one row of buttons, separators and text
// labels from a list of descriptors. A click sends the button's command
// through the command table like a menu item; enabled and checked states
// are asked of the table at idle time; tooltips show a bold title and a text.
#include "platform/IconStore.h"
#include "platform/ToolbarButtons.h"
#include "platform/qt/WindowBase.h"

#include <QColor>
#include <QFont>

#include <vector>

class CommandUi;

class CToolbarHostWnd : public CWndBase {
    Q_OBJECT
public:
    explicit CToolbarHostWnd(QWidget* parent = nullptr, int controlId = 0);

    // Commands go through ui and states come from its table; every idle
    // update of ui refreshes them. Without one, buttons keep their own states.
    void SetCommandUi(CommandUi* ui);
    void SetButtons(const std::vector<CToolbarButtonDesc>& buttons);
    // Icon size in 96-dpi pixels, at least 24; the owner makes the window this high.
    void SetIconSize(int size);
    int IconSize() const { return iconSize_; }
    void SetDarkTheme();
    // The colours of the toolbar's roles, each 0xRRGGBB: background, bottom
    // line, hover fill, hover frame, pressed fill, checked fill, checked frame.
    void SetThemeColours(const uint32_t (&rgb)[7]);
    // File icons drawn dark are shown light on a dark toolbar.
    void SetInvertIcons(bool invert);
    bool InvertIcons() const { return invertIcons_; }
    // The height owners give the window.
    int BarHeight() const { return MulDiv(iconSize_, GetDpi(), 96); }

    void UpdateCommandUI();
    void RecalcLayout();
    void ClearSizedIcons() { icons_.ClearScaled(); }
    IconStore& Icons() { return icons_; }

    const std::vector<ToolbarButtonEntry>& Entries() const { return entries_; }
    int HotIndex() const { return hot_; }
    int PressedIndex() const { return pressed_; }
    bool BackgroundIsDark() const;

    void OnLButtonDown(unsigned flags, QPoint p) override;
    void OnLButtonUp(unsigned flags, QPoint p) override;
    void OnMouseMove(unsigned flags, QPoint p) override;
    void OnMouseLeave() override;
    void OnCaptureLost() override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool event(QEvent* e) override;

private:
    struct Theme {
        QColor background, bottomLine, hoverFill, hoverFrame, pressedFill, checkedFill, checkedFrame;
    };
    IconRequest IconOf(const ToolbarButtonEntry& e) const;
    QImage IconFor(const ToolbarButtonEntry& e, int height);
    void DrawButton(QPainter& p, const ToolbarButtonEntry& e, bool hot, bool pressed);
    void InvalidateEntry(int index);

    std::vector<ToolbarButtonEntry> entries_;
    int iconSize_ = 36;
    Theme theme_;
    int hot_ = -1;
    int pressed_ = -1;
    bool invertIcons_ = false;
    IconStore icons_;
    CommandUi* commandUi_ = nullptr;
    QFont font_;
};
