#include "properties/ui/CColorWheelWnd.h"

#include "platform/Profile.h"
#include "platform/DeviceScale.h"
#include "platform/qt/CMemDC2.h"
#include "platform/qt/ShellFonts.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {
// The dark set: the wheel lives on the program's dark panels.
const QColor kBackground = QColor::fromRgba(0xFF282B31);
const QColor kTrackBase = QColor::fromRgba(0xFF14161A);
const QColor kKnob = QColor::fromRgba(0xFFECEEF4);
const QColor kLabel = QColor::fromRgba(0xB4949BA8);
const QColor kFieldText = QColor::fromRgba(0xD2ACB2C0);
const QColor kEditBack = QColor::fromRgba(0xE62C384E);
const QColor kFreshHighlight = QColor::fromRgba(0xC82260BE);
const QColor kEditText = QColor::fromRgba(0xFFFFFFFF);
const QColor kActiveMode = QColor::fromRgba(0xE6E1E6EE);

float Smoothstep(float x) { return x * x * (3 - 2 * x); }
QColor ToColor(uint32_t c) { return QColor::fromRgba(c); }
QFont Font(double px, bool bold = false) {
    QFont f = UiFont(12, bold ? QFont::Bold : QFont::Normal);
    f.setPixelSize(std::max(1, int(std::lround(px))));
    return f;
}
}  // namespace

CColorWheelWnd::CColorWheelWnd(QWidget* parent, int controlId) : CWndBase(parent, controlId) {
    setObjectName("ColorWheel");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
}

void CColorWheelWnd::SetProfile(Profile* profile) {
    profile_ = profile;
    if (profile_ && profile_->GetAppDword("ColorWheel", "SliderMode", 0) == 1) color_.rgbMode = true;
    update();
}

void CColorWheelWnd::SetHsl(float h, float s, float l) {
    color_.SetHsl(h, s, l);
    triangleDirty_ = true;
    update();
}

void CColorWheelWnd::SetColor(uint32_t colorref) {
    const Hsl h = RgbToHsl(uint8_t(colorref), uint8_t(colorref >> 8), uint8_t(colorref >> 16));
    SetHsl(h.hue, h.saturation, h.lightness);
}

void CColorWheelWnd::SetRgbMode(bool on) {
    if (on == color_.rgbMode) return;
    if (on) color_.UpdateRgbFromHsl();
    color_.rgbMode = on;
    if (profile_) profile_->WriteAppDword("ColorWheel", "SliderMode", on ? 1 : 0);
    editedField_ = 0;
    update();
}

void CColorWheelWnd::StartEdit(int field) {
    editedField_ = field;
    editText_ = std::to_string(color_.ShownValue(field - 1));
    fresh_ = true;
    update();
}

void CColorWheelWnd::CommitEdit() {
    if (editedField_ == 0) return;
    const int row = editedField_ - 1;
    const int v = editText_.empty() ? 0 : std::stoi(editText_);
    color_.SetComponent(row, v);
    if (row == 0 || color_.rgbMode) triangleDirty_ = true;
    editedField_ = 0;
    editText_.clear();
    Notify(kColorWheelChanged);
    update();
}

void CColorWheelWnd::OnLButtonDown(unsigned, QPoint p) {
    setFocus(Qt::MouseFocusReason);
    const ColorWheelLayout l = Layout();
    const ColorWheelHit hit = ColorWheelHitTest(l, float(p.x()), float(p.y()));
    if (hit.part == ColorWheelPart::ModeHsl || hit.part == ColorWheelPart::ModeRgb) {
        CommitEdit();
        SetRgbMode(hit.part == ColorWheelPart::ModeRgb);
        return;
    }
    if (hit.part == ColorWheelPart::Field) {
        if (editedField_ != 0 && editedField_ != hit.row + 1) CommitEdit();
        StartEdit(hit.row + 1);
        return;
    }
    CommitEdit();
    switch (hit.part) {
    case ColorWheelPart::Ring: dragTarget_ = 1; break;
    case ColorWheelPart::Triangle: dragTarget_ = 2; break;
    case ColorWheelPart::Slider: dragTarget_ = 3 + hit.row; break;
    default: return;
    }
    SetCapture();
    Notify(kColorWheelDragBegin);
    Drag(p);
}

void CColorWheelWnd::Drag(QPoint p) {
    const ColorWheelLayout l = Layout();
    const float x = float(p.x()), y = float(p.y());
    if (dragTarget_ == 1) {
        color_.DragRing(l, x, y);
        triangleDirty_ = true;
    } else if (dragTarget_ == 2) {
        color_.DragTriangle(l, x, y);
    } else if (dragTarget_ >= 3) {
        const int row = dragTarget_ - 3;
        color_.DragSlider(l, row, x);
        if (row == 0 || color_.rgbMode) triangleDirty_ = true;
    }
    repaint();
    Notify(kColorWheelChanged);
}

void CColorWheelWnd::OnMouseMove(unsigned, QPoint p) {
    if (dragTarget_ != 0) Drag(p);
}

void CColorWheelWnd::EndDrag() {
    if (dragTarget_ == 0) return;
    dragTarget_ = 0;
    Notify(kColorWheelDragEnd);
}

void CColorWheelWnd::OnLButtonUp(unsigned, QPoint) {
    ReleaseCapture();
    EndDrag();
}

void CColorWheelWnd::OnCaptureLost() { EndDrag(); }

void CColorWheelWnd::keyPressEvent(QKeyEvent* e) {
    if (editedField_ == 0) {
        CWndBase::keyPressEvent(e);
        return;
    }
    const int key = e->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        CommitEdit();
    } else if (key == Qt::Key_Tab) {
        const int next = editedField_ % 3 + 1;
        CommitEdit();
        StartEdit(next);
    } else if (key == Qt::Key_Escape) {
        editedField_ = 0;
        editText_.clear();
        update();
    } else if (key == Qt::Key_Backspace || key == Qt::Key_Delete) {
        if (fresh_) editText_.clear(), fresh_ = false;
        else if (!editText_.empty()) editText_.pop_back();
        update();
    } else if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        if (fresh_) editText_.clear(), fresh_ = false;
        if (editText_.size() < 3) editText_ += char('0' + (key - Qt::Key_0));
        update();
    }
}

void CColorWheelWnd::focusOutEvent(QFocusEvent* e) {
    CommitEdit();
    CWndBase::focusOutEvent(e);
}

void CColorWheelWnd::resizeEvent(QResizeEvent* e) {
    CWndBase::resizeEvent(e);
    ringDirty_ = triangleDirty_ = true;
    update();
}

QSize CColorWheelWnd::PictureSize() const {
    const double r = SaneRatio(devicePixelRatioF());
    return QSize(std::max(1, DevicePixels(width(), r)), std::max(1, DevicePixels(height(), r)));
}

// The ring and the triangle are rendered in device pixels; positions are
// measured in client pixels, and the soft edges stay 3 and 1.2 device pixels
// wide so the outlines are as crisp on a dense screen as on a plain one.
void CColorWheelWnd::RenderRing() {
    const float ratio = float(SaneRatio(devicePixelRatioF()));
    const QSize size = PictureSize();
    const int W = size.width(), H = size.height();
    ring_ = QImage(W, H, QImage::Format_ARGB32);
    ring_.fill(0);
    ring_.setDevicePixelRatio(ratio);
    const ColorWheelLayout l = Layout();
    const float R = l.outerRadius, inner = l.innerRadius, band = 1.5f / ratio;
    for (int y = 0; y < H; ++y) {
        auto* row = reinterpret_cast<QRgb*>(ring_.scanLine(y));
        for (int x = 0; x < W; ++x) {
            const float dx = (x + 0.5f) / ratio - l.centreX, dy = (y + 0.5f) / ratio - l.centreY;
            const float d = std::hypot(dx, dy);
            if (d < inner - band || d > R + band) continue;
            const float hue = std::fmod(std::atan2(dy, dx) * 180.0f / 3.14159265f + 360.0f, 360.0f);
            const uint32_t c = HslToArgb(hue, 1, 0.5f);
            const float a = Smoothstep(std::clamp((d - inner + band) / (2 * band), 0.0f, 1.0f)) *
                            Smoothstep(std::clamp((R + band - d) / (2 * band), 0.0f, 1.0f)) * 255;
            row[x] = (uint32_t(a) << 24) | (c & 0xFFFFFF);
        }
    }
    ringDirty_ = false;
}

void CColorWheelWnd::RenderTriangle() {
    const float ratio = float(SaneRatio(devicePixelRatioF()));
    const QSize size = PictureSize();
    const int W = size.width(), H = size.height();
    triangle_ = QImage(W, H, QImage::Format_ARGB32);
    triangle_.fill(0);
    triangle_.setDevicePixelRatio(ratio);
    const ColorWheelLayout l = Layout();
    const ColorWheelPoint* v = l.vertex;
    const float band = 1.2f / ratio;
    const int x0 = std::max(0, int(std::floor(std::min({v[0].x, v[1].x, v[2].x}) * ratio)) - 2);
    const int x1 = std::min(W - 1, int(std::ceil(std::max({v[0].x, v[1].x, v[2].x}) * ratio)) + 2);
    const int y0 = std::max(0, int(std::floor(std::min({v[0].y, v[1].y, v[2].y}) * ratio)) - 2);
    const int y1 = std::min(H - 1, int(std::ceil(std::max({v[0].y, v[1].y, v[2].y}) * ratio)) + 2);
    const uint32_t pure = HslToArgb(color_.hue, 1, 0.5f);
    const float pr = float((pure >> 16) & 0xFF), pg = float((pure >> 8) & 0xFF), pb = float(pure & 0xFF);
    auto edgeDistance = [](ColorWheelPoint a, ColorWheelPoint b, ColorWheelPoint c, float px, float py) {
        const float len = std::hypot(b.x - a.x, b.y - a.y);
        if (len < 1e-6f) return -1000000.0f;
        // Positive on the side of the third vertex.
        float d = ((b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x)) / len;
        const float side = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
        return side < 0 ? -d : d;
    };
    for (int y = y0; y <= y1; ++y) {
        auto* row = reinterpret_cast<QRgb*>(triangle_.scanLine(y));
        for (int x = x0; x <= x1; ++x) {
            const float px = (x + 0.5f) / ratio, py = (y + 0.5f) / ratio;
            const float m = std::min({edgeDistance(v[0], v[1], v[2], px, py), edgeDistance(v[1], v[2], v[0], px, py),
                                      edgeDistance(v[2], v[0], v[1], px, py)});
            if (m < -band) continue;
            const float a = Smoothstep(std::clamp((m + band) / band, 0.0f, 1.0f)) * 255;
            float w[3];
            TriangleWeights(l, {px, py}, w);
            for (float& k : w) k = std::max(k, 0.0f);
            const float sum = w[0] + w[1] + w[2];
            if (sum > 0)
                for (float& k : w) k /= sum;
            const int r = std::min(255, int(w[0] * pr + w[1] * 255));
            const int g = std::min(255, int(w[0] * pg + w[1] * 255));
            const int b = std::min(255, int(w[0] * pb + w[1] * 255));
            row[x] = qRgba(r, g, b, int(a));
        }
    }
    triangleDirty_ = false;
}

void CColorWheelWnd::paintEvent(QPaintEvent* ev) {
    if (width() <= 0 || height() <= 0) return;
    CMemDC2 dc(this, ev->rect());
    QPainter& p = dc.Painter();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const int W = width();
    p.fillRect(rect(), kBackground);
    if (ringDirty_ || ring_.size() != PictureSize()) RenderRing();
    if (triangleDirty_ || triangle_.size() != PictureSize()) RenderTriangle();
    p.drawImage(0, 0, ring_);
    p.drawImage(0, 0, triangle_);
    const ColorWheelLayout l = Layout();

    auto marker = [&p](QPointF c, double r) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor::fromRgba(0xC8000000), 3));
        p.drawEllipse(c, r, r);
        p.setPen(QPen(Qt::white, 2));
        p.drawEllipse(c, r, r);
    };
    const float a = color_.hue * 3.14159265f / 180.0f, mid = (l.innerRadius + l.outerRadius) / 2;
    marker(QPointF(l.centreX + std::cos(a) * mid, l.centreY + std::sin(a) * mid), 6);
    const float L = color_.lightness, S = color_.saturation;
    const float V = L + S * std::min(L, 1 - L);
    const float Sv = V <= 1e-6f ? 0 : 2 * (1 - L / V);
    const ColorWheelPoint* v = l.vertex;
    const float mx = v[1].x * (1 - Sv) * V + v[0].x * V * Sv + v[2].x * (1 - V);
    const float my = v[1].y * (1 - Sv) * V + v[0].y * V * Sv + v[2].y * (1 - V);
    marker(QPointF(mx, my), 6.5);

    // Swatches: previous behind, current in front.
    const QPointF prevCentre = showPrevious ? QPointF(36.35, 36.35) : QPointF(25.5, 25.5);
    p.setBrush(ToColor(HslToArgb(color_.prevHue, color_.prevSaturation, color_.prevLightness)));
    p.setPen(QPen(QColor::fromRgba(0xB45A6270), 2.4));
    p.drawEllipse(prevCentre, 17.5, 17.5);
    p.setBrush(ToColor(color_.Argb()));
    p.setPen(QPen(QColor::fromRgba(0xDCA0A8B9), 2.8));
    p.drawEllipse(QPointF(25.5, 25.5), 17.5, 17.5);

    // Mode switch.
    const QRectF hslBox(8, l.modeTop - 2, 28, 18), rgbBox(40, l.modeTop - 2, 28, 18);
    p.setFont(Font(10, !color_.rgbMode));
    p.setPen(color_.rgbMode ? kLabel : kActiveMode);
    p.drawText(hslBox, Qt::AlignLeft | Qt::AlignVCenter, "HSL");
    p.setFont(Font(10, color_.rgbMode));
    p.setPen(color_.rgbMode ? kActiveMode : kLabel);
    p.drawText(rgbBox, Qt::AlignLeft | Qt::AlignVCenter, "RGB");

    // Slider rows.
    static const char* const hslLabels[3] = {"H", "S", "L"};
    static const char* const rgbLabels[3] = {"R", "G", "B"};
    for (int i = 0; i < 3; ++i) {
        const float cy = l.rowCentreY[i];
        p.setFont(Font(10));
        p.setPen(kLabel);
        // The letter ends left of where the knob reaches at the track's start,
        // so a knob at its minimum never hides it.
        p.drawText(QRectF(0, cy - 9, 11, 18), Qt::AlignRight | Qt::AlignVCenter,
                   color_.rgbMode ? rgbLabels[i] : hslLabels[i]);
        const QRectF track(22, cy - 5, W - 70, 10);
        if (track.width() > 0) {
            QPainterPath path;
            path.addRoundedRect(track, 5, 5);
            p.setPen(Qt::NoPen);
            p.fillPath(path, kTrackBase);
            QLinearGradient g(track.left(), 0, track.right(), 0);
            if (color_.rgbMode) {
                g.setColorAt(0, Qt::black);
                g.setColorAt(1, i == 0 ? QColor(255, 0, 0) : i == 1 ? QColor(0, 255, 0) : QColor(0, 0, 255));
            } else if (i == 0) {
                for (int k = 0; k <= 6; ++k) g.setColorAt(k / 6.0, ToColor(HslToArgb(k * 60.0f, 1, 0.5f)));
            } else if (i == 1) {
                g.setColorAt(0, ToColor(HslToArgb(color_.hue, 0, color_.lightness)));
                g.setColorAt(1, ToColor(HslToArgb(color_.hue, 1, color_.lightness)));
            } else {
                g.setColorAt(0, Qt::black);
                g.setColorAt(0.5, ToColor(HslToArgb(color_.hue, color_.saturation, 0.5f)));
                g.setColorAt(1, Qt::white);
            }
            p.fillPath(path, g);
            float t = 0;
            if (color_.rgbMode) t = (i == 0 ? color_.red : i == 1 ? color_.green : color_.blue) / 255.0f;
            else t = i == 0 ? color_.hue / 360.0f : i == 1 ? color_.saturation : color_.lightness;
            const QPointF knob(22 + t * (W - 70), cy);
            p.setBrush(QColor::fromRgba(0x5A000000));
            p.drawEllipse(knob + QPointF(1, 1.5), 8.5, 8.5);
            p.setBrush(kKnob);
            p.setPen(QPen(QColor::fromRgba(0x8C505868), 1));
            p.drawEllipse(knob, 8.5, 8.5);
        }
        const QRectF field(W - 44, cy - 10, 42, 20);
        if (editedField_ == i + 1) {
            QPainterPath back;
            back.addRoundedRect(field, 3, 3);
            p.fillPath(back, kEditBack);
            if (fresh_) {
                QPainterPath hi;
                hi.addRoundedRect(field.adjusted(2, 2, -2, -2), 2, 2);
                p.fillPath(hi, kFreshHighlight);
            }
            p.setFont(Font(10.5, true));
            p.setPen(kEditText);
            const QString text = QString::fromStdString(editText_);
            if (!text.isEmpty()) p.drawText(field, Qt::AlignCenter, text);
            if (!fresh_) {
                const int tw = p.fontMetrics().horizontalAdvance(text.isEmpty() ? QString("0") : text);
                const double cx = field.x() + (field.width() + tw) / 2 + 1;
                p.setPen(QPen(kEditText, 1.5));
                p.drawLine(QPointF(cx, cy - 7), QPointF(cx, cy + 7));
            }
        } else {
            p.setFont(Font(10.5));
            p.setPen(kFieldText);
            p.drawText(field, Qt::AlignCenter, QString::number(color_.ShownValue(i)));
        }
    }
    if (!caption.empty()) {
        p.setFont(Font(11));
        p.setPen(QColor::fromRgba(0xFFB4BCC8));
        const QString c = QString::fromStdString(caption);
        const int cw = p.fontMetrics().horizontalAdvance(c);
        p.drawText(QPointF(W - cw - 8, 6 + p.fontMetrics().ascent()), c);
    }
}
