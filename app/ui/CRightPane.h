#pragma once
// The column along the right edge of the workspace: the colour wheel at the
// top and under it the page of the workspace mode (the canvas page with the
// layer list, the Pose Editor page), or, in the inpaint workspace, "Apply"
// and "Cancel" above that mode's page. Every page is a window the pane
// shows only in its mode; later subsystems put their own page in with SetPage.
#include "platform/qt/WindowBase.h"

#include <cstdint>
#include <functional>
#include <map>

class CColorWheelWnd;
class CLayerListWnd;
class CToolbarHostWnd;
class CPropTextButton;

// A page with an icon toolbar over a list window (40-pixel icons).
class CRightPaneListPage : public CWndBase {
    Q_OBJECT
public:
    CRightPaneListPage(QWidget* parent, int id, const char* name);
    CToolbarHostWnd* Toolbar() const { return toolbar_; }
    QWidget* List() const { return list_; }
    // Puts the list window in place (the page takes it over; the old one is deleted).
    void SetList(QWidget* list);
    void Layout();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    CToolbarHostWnd* toolbar_;
    QWidget* list_ = nullptr;
};

class CRightPane : public CWndBase {
    Q_OBJECT
public:
    static constexpr int kWheelId = 1001, kApplyId = 1101, kCancelId = 1102;

    explicit CRightPane(QWidget* parent = nullptr);

    // --- Pages: one window per workspace mode (0 canvas, 1 Pose Editor, 2 inpaint) ---
    // Makes page the page of mode (the pane takes it over; a page it had is
    // deleted) and shows it when that mode is current.
    void SetPage(int mode, QWidget* page);
    QWidget* Page(int mode) const;
    CRightPaneListPage* CanvasPage() const { return canvasPage_; }
    CRightPaneListPage* PosablePage() const { return posablePage_; }
    CLayerListWnd* LayerList() const { return layerList_; }
    CColorWheelWnd* ColorWheel() const { return wheel_; }
    CPropTextButton* ApplyButton() const { return apply_; }
    CPropTextButton* CancelButton() const { return cancel_; }

    int Mode() const { return mode_; }
    // Stores the mode, shows its children and places them.
    void SetMode(int mode);
    void ShowPageForMode();
    void RecalcLayout();
    // The wheel's height for a pane width (at 220: 347).
    static int WheelHeight(int width);

    // --- What the pane tells the frame ---
    // The wheel's colour (opaque 0xFFRRGGBB) after every change.
    std::function<void(uint32_t argb)> colorPicked;
    // A drag on the wheel begins and ends (released or capture lost): the
    // colours in between belong to one interaction.
    std::function<void()> colorDragBegan, colorDragEnded;
    std::function<void()> applyInpaint, cancelInpaint;

    bool OnCommand(int id, int code, CWndBase* sender) override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    CColorWheelWnd* wheel_;
    CRightPaneListPage* canvasPage_;
    CRightPaneListPage* posablePage_;
    CLayerListWnd* layerList_;
    std::map<int, QWidget*> pages_;
    CPropTextButton* apply_;
    CPropTextButton* cancel_;
    int mode_ = 0;
};
