#include "properties/ui/CPropSliderWnd.h"

#include "platform/qt/CMemDC2.h"
#include "properties/PropNumbers.h"

#include <QPaintEvent>

bool CPropSliderWnd::Create(QWidget* parent, int id, const QRect& rect) {
    if (!CreatePropChildWnd(this, parent, id, rect)) return false;
    setFocusPolicy(Qt::NoFocus);  // no keyboard input
    return true;
}

void CPropSliderWnd::SetRange(float lo, float hi) {
    minimum = lo;
    maximum = hi;
    SetValue(value);
    update();
}

void CPropSliderWnd::SetValue(float v) {
    v = ClampPropValue(v, minimum, maximum);
    if (v == value) return;
    value = v;
    update();
}

void CPropSliderWnd::SetDecimals(int n) { decimals = n, update(); }
void CPropSliderWnd::SetExponent(float e) { exponent = e, update(); }
void CPropSliderWnd::SetSuffix(const QString& s) { suffix = s, update(); }
void CPropSliderWnd::ShowValueBox(bool show) { showValueBox = show, update(); }

QString CPropSliderWnd::FormatValue() const {
    return QString::fromStdString(FormatPropNumber(value, decimals)) + suffix;
}

void CPropSliderWnd::TrackTo(QPoint point) {
    const float v = ClampPropValue(SliderValueFromX(point.x(), width(), showValueBox, minimum, maximum, exponent),
                                   minimum, maximum);
    if (v == value) return;
    value = v;
    update();
    NotifyParent(kPropChanged);
}

void CPropSliderWnd::OnLButtonDown(unsigned, QPoint point) {
    SetCapture();
    dragging = true;
    NotifyBegin();
    TrackTo(point);
}

void CPropSliderWnd::OnMouseMove(unsigned, QPoint point) {
    if (dragging) TrackTo(point);
}

void CPropSliderWnd::EndDrag() {
    if (!dragging) return;
    dragging = false;
    ReleaseCapture();
    NotifyEnd();
}

void CPropSliderWnd::OnLButtonUp(unsigned, QPoint) { EndDrag(); }
void CPropSliderWnd::OnCaptureLost() { EndDrag(); }

void CPropSliderWnd::changeEvent(QEvent* e) {
    CPropValueWnd::changeEvent(e);
    if (e->type() == QEvent::EnabledChange) update();
}

void CPropSliderWnd::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    const bool on = isEnabled();
    const int w = width(), h = height();
    p.fillRect(rect(), ArgbColor(kPropPanelBackground));
    const int right = SliderTrackRight(w, showValueBox);
    const int trackY = (h - 4) / 2;
    p.fillRect(QRect(8, trackY, right - 8, 4), ArgbColor(on ? 0xFF24272C : 0xFF2A2D32));
    int knobX = 8;
    if (minimum < maximum) {
        const int fill = SliderFillWidth(value, w, showValueBox, minimum, maximum, exponent);
        knobX = 8 + fill;
        if (fill > 0) p.fillRect(QRect(8, trackY, fill, 4), ArgbColor(on ? 0xFF5A8CD2 : 0xFF4E545C));
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ArgbColor(on ? 0xFF788CAA : 0xFF565C64), 1));
    p.setBrush(ArgbColor(on ? 0xFFC8CCD2 : 0xFF6E747C));
    p.drawEllipse(QRectF(knobX - 6, trackY - 4, 12, 12));
    if (showValueBox)
        DrawPropText(p, FormatValue(), right + 12, h / 2.0 - 7, on ? 0xFFC8CCD2 : 0xFF6E747C, CreateUiFont());
}
