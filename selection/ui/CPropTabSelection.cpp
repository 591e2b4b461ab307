#include "selection/ui/CPropTabSelection.h"

#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentHost.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropNumericEdit.h"
#include "properties/ui/CPropSegmented.h"
#include "properties/ui/CPropSliderWnd.h"
#include "selection/InpaintSession.h"
#include "properties/ui/CPropertiesPane.h"
#include "selection/SelectionTabs.h"
#include "selection/SelectionToolController.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

PropGridCell Cell(QWidget* w, int column, int row, int span) {
    PropGridCell c;
    c.window = w;
    c.column = column;
    c.row = row;
    c.columnSpan = span;
    return c;
}

PropGridCell Caption(int tag, int column, int row) {
    PropGridCell c;
    c.noWindow = true;
    c.column = column;
    c.row = row;
    c.label = tag;
    return c;
}

CPropNumericEdit* MakeEdit(QWidget* parent, int id, const char* label, float hi, float step, float pixels,
                           int decimals) {
    auto* e = new CPropNumericEdit(parent);
    e->Create(parent, id, QRect(0, 0, 102, 25));
    e->SetLabel(label);
    e->SetLabelWidth(62);
    e->SetRange(0, hi);
    e->SetStep(step);
    e->SetPixelsPerStep(pixels);
    e->SetDragStep(step);
    e->SetDecimals(decimals);
    return e;
}

void PaintTab(QWidget* w, QPaintEvent* e, const std::vector<PropGridPanel>& panels) {
    QPainter p(w);
    p.fillRect(e->rect(), ArgbColor(kPropPanelBackground));
    p.setFont(CreateUiFont(10));
    p.setPen(ArgbColor(kPropCaption));
    for (const PropGridPanel& panel : panels)
        for (const PropGridCell& c : panel.cells)
            if (c.noWindow && c.label)
                p.drawText(QRect(c.left, c.top, c.right - c.left - 4, c.bottom - c.top),
                           Qt::AlignRight | Qt::AlignVCenter, c.label == 1 ? "Bool" : "Edge");
}

}  // namespace

CPropTabSelection::CPropTabSelection(QWidget* parent) : CWndBase(parent) {
    combine_ = new CPropCombineOpButtons(this);
    combine_->Create(this, kSelectionTabCombineOp, QRect(0, 0, 154, 25));
    antialias_ = new CPropCheckbox(this);
    antialias_->Create(this, kSelectionTabAntialias, "Antialias", QRect(0, 0, 154, 25));
    feather_ = MakeEdit(this, kSelectionTabFeather, "Feather", 50, 0.1f, 1, 1);
    tolerance_ = MakeEdit(this, kSelectionTabTolerance, "Tolerance", 255, 1, 2, 0);
    panels_ = {PropGridPanel{4, {Caption(1, 0, 0), Cell(combine_, 1, 0, 3), Caption(2, 0, 1), Cell(antialias_, 1, 1, 3)}},
               PropGridPanel{4, {Cell(feather_, 0, 0, 2), Cell(tolerance_, 0, 1, 2)}}};
    Refresh();
}

bool CPropTabSelection::ToleranceShown() const { return tool_ == kToolMagicWand; }

void CPropTabSelection::OnContext(const TabContext& ctx) {
    tool_ = ctx.tool;
    Refresh();
}

void CPropTabSelection::Refresh() {
    loading_ = true;
    const SelectionToolSettings& s = GetSelectionToolSettings();
    combine_->SetSelection(std::clamp(s.combineOp, 0, 3));
    antialias_->SetCheck(s.antialias);
    feather_->SetValue(s.feather);
    tolerance_->SetValue(float(s.tolerance));
    tolerance_->setVisible(ToleranceShown());
    loading_ = false;
    update();
}

bool CPropTabSelection::OnCommand(int id, int code, CWndBase* sender) {
    const bool known = id == kSelectionTabCombineOp || id == kSelectionTabAntialias || id == kSelectionTabFeather ||
                       id == kSelectionTabTolerance;
    if (!known) return CWndBase::OnCommand(id, code, sender);
    if (!SelectionTabActsOn(id, code, GetSelectionToolSettings().feather) || loading_) return true;
    CQuillfenEditorDoc* doc = GetActiveDocument();
    float value = 0;
    switch (id) {
    case kSelectionTabCombineOp: value = float(combine_->Selection()); break;
    case kSelectionTabAntialias: value = antialias_->checked ? 1.0f : 0.0f; break;
    case kSelectionTabFeather: value = feather_->value; break;
    default: value = tolerance_->value; break;
    }
    if (doc) {
        ApplySelectionTabControl(*doc, id, value);
        doc->RefreshAllViews();
    } else if (id == kSelectionTabCombineOp) {
        GetSelectionToolSettings().combineOp = int32_t(value);
    }
    return true;
}

void CPropTabSelection::resizeEvent(QResizeEvent*) {
    if (!rect().isEmpty()) MoveChildWindow(rect(), panels_);
    tolerance_->setVisible(ToleranceShown());  // the layout shows every placed window
    update();
}

void CPropTabSelection::paintEvent(QPaintEvent* e) { PaintTab(this, e, panels_); }

CPropTabSelectionRefine::CPropTabSelectionRefine(QWidget* parent) : CWndBase(parent) {
    operation_ = new CPropTextSegmented(this);
    operation_->Create(this, kRefineTabOperation, QRect(0, 0, 206, 25));
    for (const char* s : {"Expand", "Contract", "Feather"}) operation_->AddSegment(s);
    pixels_ = MakeEdit(this, kRefineTabPixels, "Pixels", 250, 1, 2, 0);
    panels_ = {PropGridPanel{4, {Cell(operation_, 0, 0, 4)}}, PropGridPanel{4, {Cell(pixels_, 0, 0, 2)}}};
    Refresh();
}

void CPropTabSelectionRefine::Refresh() {
    loading_ = true;
    const RefineTabState& state = GetRefineTabState();
    operation_->SetSelection(std::clamp(state.operation, 0, 2));
    pixels_->SetValue(float(state.radius));
    loading_ = false;
    update();
}

bool CPropTabSelectionRefine::OnCommand(int id, int code, CWndBase* sender) {
    if (id != kRefineTabOperation && id != kRefineTabPixels) return CWndBase::OnCommand(id, code, sender);
    if (!RefineTabActsOn(id, code) || loading_) return true;
    const float value = id == kRefineTabOperation ? float(operation_->selected) : pixels_->value;
    if (CQuillfenEditorDoc* doc = GetActiveDocument()) {
        ApplyRefineTabControl(*doc, GetRefineTabState(), id, value);
        doc->RefreshAllViews();
    }
    return true;
}

void CPropTabSelectionRefine::resizeEvent(QResizeEvent*) {
    if (!rect().isEmpty()) MoveChildWindow(rect(), panels_);
    update();
}

void CPropTabSelectionRefine::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    p.fillRect(e->rect(), ArgbColor(kPropPanelBackground));
}

CPropTabInpaintBrush::CPropTabInpaintBrush(QWidget* parent) : CWndBase(parent) {
    size_ = new CPropSliderWnd(this);
    size_->Create(this, 803, QRect(0, 0, 206, 25));
    size_->SetRange(1, 200);
    size_->SetDecimals(0);
    size_->SetExponent(2.5f);
    size_->SetSuffix(" px");
    size_->ShowValueBox(true);
    PropGridCell preview;
    preview.noWindow = true;
    preview.columnSpan = 4;
    preview.rowSpan = 4;
    preview.label = 1;
    panels_ = {PropGridPanel{4, {preview}}, PropGridPanel{1, {Cell(size_, 0, 0, 4)}}};
    Refresh();
}

int CPropTabInpaintBrush::SessionRadius() {
    CQuillfenEditorDoc* doc = GetActiveDocument();
    return doc && doc->inpaintSession ? doc->inpaintSession->brushRadius : 24;
}

void CPropTabInpaintBrush::Refresh() {
    size_->SetValue(float(std::clamp(SessionRadius(), 1, 200)));
    update();
}

bool CPropTabInpaintBrush::OnCommand(int id, int code, CWndBase* sender) {
    if (id != 803 || code != kPropChanged) return CWndBase::OnCommand(id, code, sender);
    CQuillfenEditorDoc* doc = GetActiveDocument();
    if (doc && doc->inpaintSession) {
        doc->inpaintSession->brushRadius = std::max(1, int(std::lround(size_->value)));
        // The view's hover circle takes the new size at once; the pictures are unchanged.
        if (DocumentHost* host = doc->Host()) host->InvalidateAllViews();
    }
    update();
    return true;
}

void CPropTabInpaintBrush::resizeEvent(QResizeEvent*) {
    if (!rect().isEmpty()) MoveChildWindow(rect(), panels_);
    update();
}

void CPropTabInpaintBrush::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    p.fillRect(e->rect(), ArgbColor(kPropPanelBackground));
    const PropGridCell& cell = panels_.front().cells.front();
    const QRect r(cell.left, cell.top, cell.right - cell.left, cell.bottom - cell.top);
    p.setPen(ArgbColor(0xFF464B52));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    const int side = std::min(r.width(), r.height());
    const int radius = SessionRadius();
    if (side < 13 || radius <= 0) return;
    const double shown = std::min((side - 12) / 2.0, double(radius));
    const QPointF centre = QRectF(r).center();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(ArgbColor(0xB4E6E6E6));
    p.drawEllipse(centre, shown + 1, shown + 1);
    p.setBrush(ArgbColor(0xFF141418));
    p.drawEllipse(centre, shown, shown);
}

void RegisterSelectionTabs() {
    CPropertiesPane::RegisterTabFactory(PropTabKind::InpaintBrush,
                                        [](QWidget* pane) -> IPropertyTab* { return new CPropTabInpaintBrush(pane); });
    CPropertiesPane::RegisterTabFactory(PropTabKind::Selection,
                                        [](QWidget* pane) -> IPropertyTab* { return new CPropTabSelection(pane); });
    CPropertiesPane::RegisterTabFactory(PropTabKind::SelectionRefine, [](QWidget* pane) -> IPropertyTab* {
        return new CPropTabSelectionRefine(pane);
    });
}
