#include "properties/ui/CPropNumericEdit.h"

#include "platform/qt/CMemDC2.h"
#include "properties/PropNumbers.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPaintEvent>

#include <cmath>

void StylePropEdit(QLineEdit* edit) {
    edit->setFrame(false);
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edit->setFont(CreateUiFont());
    edit->setTextMargins(0, 0, 0, 0);
    edit->setContentsMargins(0, 0, 0, 0);
    edit->setStyleSheet(
        "QLineEdit { background: rgb(42,45,50); color: rgb(220,224,230); border: none; padding: 0px; "
        "selection-background-color: rgb(60,108,168); }"
        "QLineEdit:disabled { color: rgb(110,116,124); }");
}

CPropNumericEdit::CPropNumericEdit(QWidget* parent) : CPropTypedValueWnd(parent) {
    edit_ = new QLineEdit(this);
    edit_->setObjectName("PropNumericEditField");
    StylePropEdit(edit_);
    edit_->installEventFilter(this);
    FormatValue();
}

bool CPropNumericEdit::Create(QWidget* parent, int id, const QRect& rect) {
    if (!CreatePropChildWnd(this, parent, id, rect)) return false;
    FormatValue();
    LayoutEdit();
    return true;
}

void CPropNumericEdit::MeasureLabel() {
    if (!autoMeasureLabel) return;
    if (label.isEmpty()) {
        labelWidth = 0;
        return;
    }
    labelWidth = int(std::ceil(QFontMetricsF(CreateUiFont()).horizontalAdvance(label))) + 8;
}

void CPropNumericEdit::LayoutEdit() {
    const int h = height();
    const int x = labelWidth + 2;
    edit_->setGeometry(x, 2 + (h - 16) / 2, std::max(0, width() - x - 1), 16);
}

void CPropNumericEdit::SetLabel(const QString& text) {
    label = text;
    MeasureLabel();
    LayoutEdit();
    update();
}

void CPropNumericEdit::SetLabelWidth(int px) {
    autoMeasureLabel = false;
    labelWidth = px;
    LayoutEdit();
    update();
}

void CPropNumericEdit::SetSuffix(const QString& s) {
    suffix = s;
    FormatValue();
}

void CPropNumericEdit::SetRange(float lo, float hi) {
    minimum = lo;
    maximum = hi;
    SetValue(value);
}

void CPropNumericEdit::SetValue(float v) {
    v = ClampPropValue(v, minimum, maximum);
    if (v == value) return;
    value = v;
    if (!edit_->hasFocus()) FormatValue();
    update();
}

void CPropNumericEdit::SetDecimals(int n) {
    decimals = n;
    FormatValue();
}

void CPropNumericEdit::SetPivot(float p) { pivot = p, update(); }
void CPropNumericEdit::ShowFillBar(bool b) { showFillBar = b, update(); }
void CPropNumericEdit::SetBorderless(bool b) {
    if (borderless == b) return;
    borderless = b;
    update();
}

void CPropNumericEdit::FormatValue() {
    QString text = QString::fromStdString(FormatPropNumber(value, decimals));
    if (!suffix.isEmpty()) text += " " + suffix;
    edit_->setText(text);
}

float CPropNumericEdit::Normalize(float v) const { return NumericNormalize(v, minimum, maximum, pivot); }

void CPropNumericEdit::CommitEdit() {
    const QString text = edit_->text();
    if (!text.isEmpty()) {
        const float v = ClampPropValue(float(ParsePropNumber(text.toStdString())), minimum, maximum);
        if (v != value) {
            NotifyBegin();
            value = v;
            update();
            NotifyParent(kPropChanged);
            NotifyEnd();
        }
    }
    FormatValue();
}

void CPropNumericEdit::Step(int direction) {
    NotifyBegin();
    const float v = ClampPropValue(value + float(direction) * step, minimum, maximum);
    if (v != value) {
        value = v;
        FormatValue();
        update();
        NotifyParent(kPropChanged);
    }
    NotifyEnd();
}

QRect CPropNumericEdit::DragArea() const {
    if (labelWidth < 1) return {};
    return QRect(0, 0, labelWidth + 2, height());
}

void CPropNumericEdit::OnLButtonDown(unsigned, QPoint point) {
    if (!DragArea().contains(point)) return;
    // The owner may bring the value up to date when an edit begins.
    NotifyBegin();
    dragStartValue = value;
    dragStart = point;
    dragging = true;
    SetCapture();
}

void CPropNumericEdit::OnMouseMove(unsigned, QPoint point) {
    setCursor(DragArea().contains(point) || dragging ? Qt::SizeHorCursor : Qt::ArrowCursor);
    if (!dragging) return;
    const float v = NumericDragValue(dragStartValue, point.x() - dragStart.x(), pixelsPerStep, step, dragStep,
                                     minimum, maximum, pivot);
    if (v == value) return;
    value = v;
    FormatValue();
    update();
    NotifyParent(kPropChanged);
}

void CPropNumericEdit::resizeEvent(QResizeEvent* e) {
    CPropValueWnd::resizeEvent(e);
    LayoutEdit();
}

void CPropNumericEdit::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    const bool on = isEnabled();
    const int w = width(), h = height();
    p.fillRect(rect(), ArgbColor(0xFF24272C));
    if (labelWidth > 0) {
        const int areaW = labelWidth + 2;
        p.fillRect(QRect(0, 0, areaW, h), ArgbColor(on ? 0xFF1E2126 : 0xFF22252A));
        if (showFillBar && areaW > 32 && NumericRangeIsFinite(minimum, maximum)) {
            const float t = std::clamp(Normalize(value), 0.0f, 1.0f);
            const int bar = int(float(areaW) * t + 0.5f);
            if (bar > 0) p.fillRect(QRect(0, 0, bar, h), ArgbColor(on ? 0x505A8CD2 : 0x325A8CD2));
        }
        if (!label.isEmpty()) DrawPropText(p, label, 4, (h - 14) / 2.0, on ? 0xFFA0A4AA : 0xFF6E747C, CreateUiFont());
    }
    const int x0 = labelWidth + 2;
    if (x0 < w - 1) p.fillRect(QRect(x0, 1, w - x0 - 1, h - 2), ArgbColor(kPropEditBackground));
    if (!borderless) DrawPropFrame(p, rect(), kPropFrame);
}
