#include "app/ui/CRightPane.h"

#include "app/IconShapes.h"
#include "app/ui/CLayerListWnd.h"
#include "document/CommandIds.h"
#include "platform/qt/CToolbarHostWnd.h"
#include "posable/ui/CBoneListWnd.h"
#include "platform/qt/ShellFonts.h"
#include "properties/ui/CColorWheelWnd.h"
#include "properties/ui/CPropButtons.h"

#include <QPainter>

#include <cmath>

namespace {
const QColor kPanel(0x22, 0x26, 0x2C);

// A page whose content comes with a later part of the program.
class CEmptyPage : public CWndBase {
public:
    CEmptyPage(QWidget* parent, int id, const char* name) : CWndBase(parent, id) { setObjectName(name); }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), kPanel); }
};

CToolbarButtonDesc PageButton(int id, const char* icon, const char* text, const char* tip) {
    CToolbarButtonDesc d = CToolbarButtonDesc::Command(id, icon, text, tip);
    d.face.polygon = BuiltInIcon(icon);
    return d;
}

}  // namespace

// ---------------------------------------------------------------- list page

CRightPaneListPage::CRightPaneListPage(QWidget* parent, int id, const char* name) : CWndBase(parent, id) {
    setObjectName(name);
    toolbar_ = new CToolbarHostWnd(this, 2);
    toolbar_->SetIconSize(40);
    toolbar_->SetDarkTheme();
    toolbar_->SetInvertIcons(true);
    toolbar_->show();
}

void CRightPaneListPage::SetList(QWidget* list) {
    if (list_ == list) return;
    delete list_;
    list_ = list;
    if (list_) {
        list_->setParent(this);
        list_->show();
    }
    Layout();
}

void CRightPaneListPage::Layout() {
    const int t = toolbar_->BarHeight();
    toolbar_->setGeometry(0, 0, width(), t);
    if (list_) list_->setGeometry(0, t, width(), std::max(0, height() - t));
}

void CRightPaneListPage::paintEvent(QPaintEvent*) { QPainter(this).fillRect(rect(), kPanel); }

void CRightPaneListPage::resizeEvent(QResizeEvent* e) {
    CWndBase::resizeEvent(e);
    Layout();
}

void CRightPaneListPage::showEvent(QShowEvent* e) {
    CWndBase::showEvent(e);
    Layout();
}

// ---------------------------------------------------------------- pane

CRightPane::CRightPane(QWidget* parent) : CWndBase(parent, 150) {
    setObjectName("RightPane");
    wheel_ = new CColorWheelWnd(this, kWheelId);
    wheel_->SetHsl(200, 0.85f, 0.45f);

    canvasPage_ = new CRightPaneListPage(this, 1002, "RightPaneCanvasPage");
    layerList_ = new CLayerListWnd(canvasPage_);
    canvasPage_->SetList(layerList_);
    layerList_->SetTimer(CLayerListWnd::kRepaintTimer, 300);
    canvasPage_->Toolbar()->SetButtons(
        {PageButton(kCmdAddLayer, "addlayer.png", "Add Layer", "Add a new canvas layer"),
         PageButton(kCmdDeleteLayer, "removelayer.png", "Remove Layer",
                    "Remove the selected layer (prompts when it contains items)"),
         PageButton(kCmdAddMask, "addmask.png", "Add Mask", "Attach a white mask to the selected Bitmap"),
         PageButton(kCmdLayerListCompact, "thumbnail.png", "Compact Mode",
                    "Toggle small thumbnails with names (saves vertical space)")});

    posablePage_ = new CRightPaneListPage(this, 1003, "RightPanePosablePage");
    auto* boneList = new CBoneListWnd(posablePage_);
    posablePage_->SetList(boneList);
    boneList->SetTimer(CBoneListWnd::kRepaintTimer, 300);
    posablePage_->Toolbar()->SetButtons({PageButton(kCmdDeleteBone, "garbage.png", "Delete Bone",
                                                    "Delete the selected bone (only allowed when it's at the end of the chain)")});
    pages_[0] = canvasPage_;
    pages_[1] = posablePage_;
    pages_[2] = new CEmptyPage(this, 1004, "RightPaneInpaintPage");

    // Each sends its id to this pane (OnCommand) when clicked.
    apply_ = new CPropTextButton(this);
    apply_->Create(this, kApplyId, "Apply", QRect());
    cancel_ = new CPropTextButton(this);
    cancel_->Create(this, kCancelId, "Cancel", QRect());
    ShowPageForMode();
    RecalcLayout();
}

void CRightPane::SetPage(int mode, QWidget* page) {
    auto it = pages_.find(mode);
    QWidget* old = it == pages_.end() ? nullptr : it->second;
    if (old == page) return;
    if (old == canvasPage_) canvasPage_ = nullptr, layerList_ = nullptr;
    if (old == posablePage_) posablePage_ = nullptr;
    delete old;
    if (page) {
        page->setParent(this);
        pages_[mode] = page;
    } else {
        pages_.erase(mode);
    }
    ShowPageForMode();
    RecalcLayout();
}

QWidget* CRightPane::Page(int mode) const {
    auto it = pages_.find(mode);
    return it == pages_.end() ? nullptr : it->second;
}

void CRightPane::SetMode(int mode) {
    mode_ = mode;
    ShowPageForMode();
    RecalcLayout();
}

void CRightPane::ShowPageForMode() {
    wheel_->setVisible(mode_ != 2);
    apply_->setVisible(mode_ == 2);
    cancel_->setVisible(mode_ == 2);
    for (auto& [m, page] : pages_) page->setVisible(m == mode_);
}

int CRightPane::WheelHeight(int width) {
    const float c = 0.92f * float(std::max(0, std::max(0, width) - 16)) + 30;
    return std::max(0, int(std::ceil(c + 12 + 18 + 4 + 78 + 8.5f + 8)));
}

void CRightPane::RecalcLayout() {
    const int W = width(), H = height();
    int y = 0;
    if (mode_ == 2) {
        const int w = std::max(0, W - 20);
        apply_->setGeometry(10, 10, w, 32);
        cancel_->setGeometry(10, 48, w, 32);
        y = 90;
        wheel_->setGeometry(0, y, W, 0);
    } else {
        const int h = WheelHeight(W);
        wheel_->setGeometry(0, 0, W, h);
        y = h;
    }
    for (auto& [m, page] : pages_) page->setGeometry(0, y, W, std::max(0, H - y));
}

bool CRightPane::OnCommand(int id, int code, CWndBase* sender) {
    if (sender && sender == wheel_) {
        if (code == kColorWheelDragBegin && colorDragBegan) colorDragBegan();
        else if (code == kColorWheelChanged && colorPicked) colorPicked(0xFF000000u | wheel_->Argb());
        else if (code == kColorWheelDragEnd && colorDragEnded) colorDragEnded();
        return true;
    }
    if (code == 0 && id == kApplyId) {
        if (applyInpaint) applyInpaint();
        return true;
    }
    if (code == 0 && id == kCancelId) {
        if (cancelInpaint) cancelInpaint();
        return true;
    }
    return CWndBase::OnCommand(id, code, sender);
}

void CRightPane::paintEvent(QPaintEvent*) { QPainter(this).fillRect(rect(), kPanel); }

void CRightPane::resizeEvent(QResizeEvent* e) {
    CWndBase::resizeEvent(e);
    RecalcLayout();
}
