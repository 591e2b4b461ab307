#pragma once
// The buttons of the property control family: a push button with a text, a
// checkbox with a label and the link toggle between two fields (width and
// height). Each sends kPropClick; setting a state from code sends nothing.
// A press that loses the mouse capture ends without a click.
#include "properties/ui/PropControls.h"

#include <QString>

class CPropTextButton : public CWndBase {
    Q_OBJECT
public:
    explicit CPropTextButton(QWidget* parent = nullptr) : CWndBase(parent) {}
    bool Create(QWidget* parent, int id, const QString& text, const QRect& rect);
    void SetText(const QString& t) { text = t, update(); }

    QString text;
    bool hover = false, pressed = false;

    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnLButtonUp(unsigned flags, QPoint point) override;
    void OnMouseMove(unsigned flags, QPoint point) override;
    void OnMouseLeave() override;
    void OnCaptureLost() override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;
};

// The press, release, Space and focus handling the checkbox and the link
// button share: a click released inside or Space toggles and sends kPropClick
// after the new state is stored.
class CPropToggleWnd : public CWndBase {
    Q_OBJECT
public:
    explicit CPropToggleWnd(QWidget* parent = nullptr) : CWndBase(parent) {}
    void SetCheck(bool b);
    void Toggle();

    bool checked = false, pressed = false, focused = false;

    void OnLButtonDown(unsigned flags, QPoint point) override;
    void OnLButtonUp(unsigned flags, QPoint point) override;
    void OnCaptureLost() override;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void changeEvent(QEvent* e) override;
};

class CPropCheckbox : public CPropToggleWnd {
    Q_OBJECT
public:
    explicit CPropCheckbox(QWidget* parent = nullptr) : CPropToggleWnd(parent) {}
    bool Create(QWidget* parent, int id, const QString& label, const QRect& rect);
    QString label;

protected:
    void paintEvent(QPaintEvent* e) override;
};

// Drawn as a bracket open to the right with a dot when linked, a cross when not.
class CPropLinkButton : public CPropToggleWnd {
    Q_OBJECT
public:
    explicit CPropLinkButton(QWidget* parent = nullptr) : CPropToggleWnd(parent) {}
    bool Create(QWidget* parent, int id, const QRect& rect);

protected:
    void paintEvent(QPaintEvent* e) override;
};
