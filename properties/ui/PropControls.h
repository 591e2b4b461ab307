#pragma once
// What the owner-drawn property controls share: the notification codes they
// send their parent (CWndBase::OnCommand with the control's id and one of the
// PropNotify codes), the family's colours and font, the creation helpers and
// the grid layout every property tab and parameter view places them with.
//
// Protocol: a value control (slider, numeric edit, angle edit) brackets each
// user interaction with kPropBegin ... kPropEnd, sending kPropChanged inside
// it for every change; begin and end strictly alternate, and an interaction
// that loses the mouse capture ends as a release does. Buttons, checkboxes,
// dropdowns, pickers and wells send kPropClick. Values set from code send
// nothing.
#include "platform/qt/WindowBase.h"
#include "properties/PropGrid.h"

#include <QColor>
#include <QFont>
#include <QRect>

#include <cstdint>
#include <vector>

class QPainter;

enum PropNotify : int {
    kPropClick = 0,
    kPropChanged = 0x1000,
    kPropBegin = 0x1001,
    kPropEnd = 0x1002,
    kPropFirstSwatch = 0x2001,
    kPropSecondSwatch = 0x2002,
};

// 0xAARRGGBB as a colour.
inline QColor ArgbColor(uint32_t argb) { return QColor::fromRgba(argb); }
// A COLORREF (0x00BBGGRR) as an opaque colour, and back.
inline QColor ColorRefColor(uint32_t ref) { return QColor(int(ref & 0xFF), int((ref >> 8) & 0xFF), int((ref >> 16) & 0xFF)); }
inline uint32_t ArgbToColorRef(uint32_t argb) { return ((argb & 0xFF) << 16) | (argb & 0xFF00) | ((argb >> 16) & 0xFF); }
inline uint32_t ColorRefToArgb(uint32_t ref) { return 0xFF000000u | ((ref & 0xFF) << 16) | (ref & 0xFF00) | ((ref >> 16) & 0xFF); }

inline constexpr uint32_t kPropPanelBackground = 0xFF32363C;  // RGB(50, 54, 60)
inline constexpr uint32_t kPropFrame = 0xFF3C4046;
inline constexpr uint32_t kPropEditBackground = 0xFF2A2D32;  // RGB(42, 45, 50)
inline constexpr uint32_t kPropEditText = 0xFFDCE0E6;        // RGB(220, 224, 230)
inline constexpr uint32_t kPropEditTextDisabled = 0xFF6E747C;
inline constexpr uint32_t kPropCaption = 0xFFC8CCD2;

// "Segoe UI" (or its stand-in), regular, 11 px: every text of the family.
QFont CreateUiFont(int pixelSize = 11);
// Draws text with its top-left corner at (x, y).
void DrawPropText(QPainter& p, const QString& text, double x, double y, uint32_t argb, const QFont& font);
// 1-pixel lines along the four edges of r.
void DrawPropFrame(QPainter& p, const QRect& r, uint32_t argb);

// Makes control a visible child of parent with the id at rect. True when
// the control is a window afterwards (a control may refuse in OnCreate).
bool CreatePropChildWnd(CWndBase* control, QWidget* parent, int id, const QRect& rect);
// The same for controls that take the keyboard focus (dropdown, link button).
bool CreatePropControl(CWndBase* control, QWidget* parent, int id, const QRect& rect);

// A value control's interaction bracket, shared by the slider and the edits.
class CPropValueWnd : public CWndBase {
    Q_OBJECT
public:
    using CWndBase::CWndBase;
    bool InteractionOpen() const { return interactionOpen_; }

protected:
    // kPropBegin when no interaction is open; kPropEnd when one is.
    void NotifyBegin();
    void NotifyEnd();
    void NotifyParent(int code) { SendCommandToParent(code); }

private:
    bool interactionOpen_ = false;
};

// A value control with an in-place text field and a mouse drag, the numeric
// and angle edits: Enter or leaving the field commits the typed text,
// Escape puts the value back and ends the interaction, Up and Down step;
// the drag ends with the button or a lost capture.
class CPropTypedValueWnd : public CPropValueWnd {
    Q_OBJECT
public:
    using CPropValueWnd::CPropValueWnd;
    // Adds direction x step as one interaction.
    virtual void Step(int direction) = 0;
    bool dragging = false;

    void OnLButtonUp(unsigned flags, QPoint point) override;
    void OnCaptureLost() override;

protected:
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    virtual void CommitTyped() = 0;
    virtual void ShowValue() = 0;
    void EndDrag();
    class QLineEdit* edit_ = nullptr;
};

// --- Grid layout of the property tabs ---
// One control's place; a cell without a window (noWindow) is a caption or a
// drawing area its owner paints, found again by its kind tag.
struct PropCell {
    bool noWindow = false;
    int column = 0, row = 0, columnSpan = 1, rowSpan = 1;
    QWidget* window = nullptr;
    int kind = 0;
    PropRect rect;  // written by the layout
};
struct PropGroup {
    int rows = 4;
    std::vector<PropCell> cells;
};
// Places every cell of the groups, side by side from origin (the client's
// top-left corner), and moves and shows each cell's window.
void LayoutPropGroups(QPoint origin, std::vector<PropGroup>& groups);
// A convenience for building layouts: a caption cell and a window cell.
PropCell PropCaptionCell(int kind, int column, int row, int columnSpan = 1, int rowSpan = 1);
PropCell PropWindowCell(QWidget* window, int column, int row, int columnSpan = 1, int rowSpan = 1);
// The first cell carrying the tag, or null.
const PropCell* FindPropCell(const std::vector<PropGroup>& groups, int kind);
// Draws each caption tag once, in the first cell that carries it: right-
// aligned and vertically centred in the cell narrowed by 4 px on the right.
void DrawPropCaption(QPainter& p, const PropRect& cell, const QString& text, const QFont& font,
                     uint32_t argb = kPropCaption);

// The same grid for filter parameter views and tool tabs, in the panel form:
// panel k is the 208-px column starting 6 + 212 k px right of client.left.
struct PropGridCell {
    bool noWindow = false;
    int column = 0, row = 0, columnSpan = 1, rowSpan = 1;
    QWidget* window = nullptr;
    int label = 0;
    int left = 0, top = 0, right = 0, bottom = 0;  // written by the layout
};
struct PropGridPanel {
    int32_t rows = 1;
    std::vector<PropGridCell> cells;
};
void MoveChildWindow(const QRect& client, std::vector<PropGridPanel>& panels);
