#pragma once
// An owner-drawn drop-down list. Its popup lists the items in columns (an
// empty item is a separator, the single character U+001F starts a column);
// picking an item other than the selected one selects it and sends
// kPropClick. The popup is closed from its own handlers and destroyed after
// they return.
#include "properties/ui/PropControls.h"

#include <QPointer>
#include <QWidget>

#include <string>
#include <vector>

class CPropDropdown;

class CPropDropdownPopup : public QWidget {
    Q_OBJECT
public:
    CPropDropdownPopup(CPropDropdown* owner, const std::vector<std::string>& items, int selected);
    // Shows the popup at the screen rectangle with the keyboard and mouse.
    bool Create(const QRect& screenRect);
    void Close(int index);  // a pick
    void Cancel();          // closed without a pick
    int HitTest(QPoint p) const;

    int hot = -1, opening = -1;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    QPointer<CPropDropdown> owner_;
    std::vector<std::string> items_;
};

class CPropDropdown : public CWndBase {
    Q_OBJECT
public:
    explicit CPropDropdown(QWidget* parent = nullptr) : CWndBase(parent) {}
    ~CPropDropdown() override;
    bool Create(QWidget* parent, int id, const QRect& rect) { return CreatePropControl(this, parent, id, rect); }

    void SetItems(const std::vector<std::string>& list);
    void SetCurSel(int i);  // sends nothing
    void OpenPopup();
    void ClosePopup();
    bool IsOpen() const { return open; }
    CPropDropdownPopup* Popup() const { return popup_; }

    std::vector<std::string> items;
    int selected = -1;
    bool focused = false, open = false;

    void OnLButtonDown(unsigned flags, QPoint point) override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    friend class CPropDropdownPopup;
    // The popup has ended: it is destroyed once its handler has returned.
    void PopupEnded(int pick);
    CPropDropdownPopup* popup_ = nullptr;
};
