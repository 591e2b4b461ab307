#pragma once
// The colour picker: a hue ring around a saturation/lightness triangle,
// previous and current swatches, an HSL/RGB switch, three slider rows with
// typed fields and a caption. It tells its parent (OnCommand with its own id)
// about every change, and about the beginning and end of each drag, so that
// the receiver can make one undo step of a whole drag.
#include "properties/ColorWheelModel.h"
#include "platform/qt/WindowBase.h"

#include <QImage>

#include <string>

class Profile;

// Notification codes the wheel sends to its parent.
enum ColorWheelNotify : int {
    kColorWheelChanged = 0x8065,    // the colour changed (a press, a drag step or a typed value)
    kColorWheelDragBegin = 0x8066,  // a press on the ring, triangle or a slider starts a drag
    kColorWheelDragEnd = 0x8067,    // the drag ended: released, or its mouse capture was lost
};

class CColorWheelWnd : public CWndBase {
    Q_OBJECT
public:
    explicit CColorWheelWnd(QWidget* parent = nullptr, int controlId = 0);

    // Reads the slider mode last chosen in any wheel from the profile.
    void SetProfile(Profile* profile);
    void SetHsl(float hue, float saturation, float lightness);
    // 0x00BBGGRR, red in the low byte.
    void SetColor(uint32_t colorref);
    float Hue() const { return color_.hue; }
    float Saturation() const { return color_.saturation; }
    float Lightness() const { return color_.lightness; }
    // Opaque 0xFFRRGGBB of the current colour.
    uint32_t Argb() const { return color_.Argb(); }
    const ColorWheelColor& Color() const { return color_; }
    bool Dragging() const { return dragTarget_ != 0; }
    int EditedField() const { return editedField_; }
    const std::string& EditText() const { return editText_; }

    std::string caption;
    bool showPrevious = true;

    void OnLButtonDown(unsigned flags, QPoint p) override;
    void OnLButtonUp(unsigned flags, QPoint p) override;
    void OnMouseMove(unsigned flags, QPoint p) override;
    void OnCaptureLost() override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    bool focusNextPrevChild(bool) override { return editedField_ == 0 && CWndBase::focusNextPrevChild(true); }

private:
    ColorWheelLayout Layout() const { return ComputeColorWheelLayout(width(), height(), color_.hue); }
    void Drag(QPoint p);
    void EndDrag();
    void CommitEdit();
    void StartEdit(int field);
    void SetRgbMode(bool on);
    void RenderRing();
    void RenderTriangle();
    void Notify(int code) { SendCommandToParent(code); }

    ColorWheelColor color_;
    Profile* profile_ = nullptr;
    int dragTarget_ = 0;  // 0 none, 1 ring, 2 triangle, 3..5 slider rows
    int editedField_ = 0;  // 0 none, 1..3
    std::string editText_;
    bool fresh_ = false;
    // Device-pixel size of the ring and triangle pictures.
    QSize PictureSize() const;
    QImage ring_, triangle_;
    bool ringDirty_ = true, triangleDirty_ = true;
};
