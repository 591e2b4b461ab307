#include "app/ui/CWorkspaceArea.h"

#include "app/ShellMetrics.h"
#include "platform/qt/CView.h"

#include <QPainter>

CPanePlaceholder::CPanePlaceholder(QWidget* parent, int id, const char* name) : CWndBase(parent, id) {
    setObjectName(name);
}

void CPanePlaceholder::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x22, 0x26, 0x2C));
}

CWorkspaceArea::CWorkspaceArea(QWidget* parent) : CWndBase(parent, 0xE900) {}

bool CWorkspaceArea::Create(const ViewFactory& makeView, CQuillfenEditorDoc* doc) {
    if (makeView) {
        CView* v = makeView(this);
        if (!v) return false;
        v->SetDlgCtrlID(0xE900);
        v->SetDocument(doc);
        v->show();
        view_ = v;
    }
    rightPane_ = new CRightPane(this);
    propertiesPane_ = new CPropertiesPane();
    if (!propertiesPane_->CreateChildren(this, QRect())) return false;
    statusBar_ = new CThemedStatusBar(this);
    rightPane_->show();
    statusBar_->show();
    RecalcLayout();
    return true;
}

void CWorkspaceArea::SetRightPaneMode(int mode) {
    if (rightPane_ && rightPaneMode_ != mode) {
        rightPaneMode_ = mode;
        rightPane_->SetMode(mode);
    }
}

bool CWorkspaceArea::SwitchView(const ViewFactory& makeView, const std::function<bool(CView*)>& isWanted, int mode) {
    if (!makeView || !view_) return false;
    if (isWanted && isWanted(view_)) {
        SetRightPaneMode(mode);
        return true;
    }
    CQuillfenEditorDoc* doc = view_->GetDocument();
    if (!doc) return false;
    CView* v = makeView(this);
    if (!v) return false;
    CView* old = view_;
    old->SetDlgCtrlID(0xE901);
    old->hide();
    v->SetDlgCtrlID(0xE900);
    v->SetDocument(doc);
    view_ = v;
    RecalcLayout();
    v->show();
    v->OnInitialUpdate();
    SetRightPaneMode(mode);
    old->deleteLater();
    return true;
}

void CWorkspaceArea::RecalcLayout() {
    if (width() <= 0 || height() <= 0) return;
    if (!view_ && !rightPane_ && !propertiesPane_ && !statusBar_) return;
    WorkspaceLayout l = ComputeWorkspaceLayout({0, 0, width(), height()}, GetDpi(), statusBar_ != nullptr);
    auto place = [](QWidget* w, const PlaceI& r) {
        if (w) w->setGeometry(r.x, r.y, std::max(0, r.width), std::max(0, r.height));
    };
    place(view_, l.view);
    place(rightPane_, l.rightPane);
    place(propertiesPane_, l.propertiesPane);
    place(statusBar_, l.statusBar);
}

void CWorkspaceArea::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
}

void CWorkspaceArea::resizeEvent(QResizeEvent* e) {
    CWndBase::resizeEvent(e);
    RecalcLayout();
}
