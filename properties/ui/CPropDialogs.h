#pragma once
// The small modal dialogs of the property pane: the colour dialog "Color"
// (a colour wheel for colours outside the paint colour) and the canvas size
// dialog "Set Canvas" with its anchor grid, and the dialog provider that
// runs the canvas size dialog for the document's Set Canvas command.
#include "document/DialogProvider.h"
#include "properties/CanvasSizeMath.h"
#include "properties/ui/PropControls.h"

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class CColorWellWnd;
class CColorWheelWnd;

// Dialog units of the dialogs' layouts, from the dialog font.
struct DialogUnits {
    double x = 1.5, y = 1.625;
    QRect Rect(int left, int top, int width, int height) const;
};
DialogUnits DialogUnitsOf(const QFont& font);

class CMyColorSelectDlg : public QDialog {
    Q_OBJECT
public:
    explicit CMyColorSelectDlg(QWidget* parent = nullptr);
    ~CMyColorSelectDlg() override;
    // Before running: the starting colour and, when given, the previous one.
    uint32_t color = 0xFFFFFF;
    uint32_t previousColor = 0xFFFFFF;
    bool hasPrevious = false;
    // Creates the wheel where the placeholder is and loads the colours.
    void InitDialog();
    CColorWheelWnd* Wheel() const { return wheel_; }
    void accept() override;
    int exec() override;

private:
    QWidget* placeholder_ = nullptr;
    CWndBase* client_ = nullptr;
    CColorWheelWnd* wheel_ = nullptr;
    bool changed_ = false;  // the user changed the colour in the wheel
};

// The 3 x 3 anchor: which part of the picture stays in place.
class CAnchorGridWnd : public CWndBase {
    Q_OBJECT
public:
    explicit CAnchorGridWnd(QWidget* parent = nullptr);
    int selected = 4;  // column + 3 x row, row 0 at the top
    QRectF CellRect(int i) const;
    void OnLButtonDown(unsigned flags, QPoint point) override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool focusNextPrevChild(bool next) override { return QWidget::focusNextPrevChild(next); }
};

class CSetCanvasSizeDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSetCanvasSizeDlg(QWidget* parent = nullptr);
    // In: the current canvas size and colour choice; out on OK: the choice.
    int32_t resultWidth = 0, resultHeight = 0;
    int32_t colorMode = 0;  // 0 White, 1 Transparent, 2 Custom
    uint32_t customColor = 0xFFFFFF;
    int initialAnchor = 4;
    int Anchor() const { return grid_ ? grid_->selected : initialAnchor; }
    int Unit() const { return unit_; }

    void InitDialog();
    void accept() override;
    int exec() override;
    // Told when OK meets a size that is not an integer; a message box by default.
    std::function<void(const QString&)> onInvalidInput;
    // Runs the colour dialog for the custom colour; the real dialog by default.
    std::function<bool(uint32_t& colorRef)> runColorDialog;

    QLineEdit* widthEdit = nullptr;
    QLineEdit* heightEdit = nullptr;
    QComboBox* unitCombo = nullptr;
    QCheckBox* linkedCheck = nullptr;
    QLabel* widthPreview = nullptr;
    QLabel* heightPreview = nullptr;
    QRadioButton* colorRadios[3] = {};
    CAnchorGridWnd* grid() const { return grid_; }
    CColorWellWnd* swatch() const { return swatch_; }
    void PickColor();

private:
    void OnUnitChange();
    void OnSizeChange(bool widthTyped);
    void OnColorMode();
    void UpdateSizeLabels();
    void UpdateSwatch();
    int32_t oldWidth_ = 1, oldHeight_ = 1;
    int unit_ = kCanvasUnitPixels;
    bool updating_ = false;
    bool initialised_ = false;
    CAnchorGridWnd* grid_ = nullptr;
    CColorWellWnd* swatch_ = nullptr;
};

// The dialogs the document runs, installed on it by the application.
class PropDialogProvider : public DialogProvider {
public:
    bool RunCanvasSizeDialog(CanvasSizeDialogValues& values) override;
    // Called with the dialog once it runs (tests script it from here).
    std::function<void(CSetCanvasSizeDlg&)> onDialogShown;
    QWidget* parent = nullptr;
};
