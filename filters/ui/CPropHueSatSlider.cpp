#include "filters/ui/CPropHueSatSlider.h"

#include "platform/qt/CMemDC2.h"

#include <QEvent>
#include <QImage>
#include <QPaintEvent>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace {

uint8_t ToByte(float x) { return uint8_t(std::clamp(x * 255.0f + 0.5f, 0.0f, 255.0f)); }

}  // namespace

void HsvToRgbBytes(float h, float s, float v, uint8_t& r, uint8_t& g, uint8_t& b) {
    const float h6 = h * 6.0f, c1 = s * v, c2 = c1 * (1.0f - std::fabs(std::fmod(h6, 2.0f) - 1.0f));
    float rr = 0, gg = 0, bb = 0;
    if (h6 < 1)
        rr = c1, gg = c2;
    else if (h6 < 2)
        rr = c2, gg = c1;
    else if (h6 < 3)
        gg = c1, bb = c2;
    else if (h6 < 4)
        gg = c2, bb = c1;
    else if (h6 < 5)
        rr = c2, bb = c1;
    else
        rr = c1, bb = c2;
    r = ToByte(v - c1 + rr);
    g = ToByte(v - c1 + gg);
    b = ToByte(v - c1 + bb);
}

CPropHueSatSlider::CPropHueSatSlider(QWidget* parent, int controlId, int kind, float minimum, float maximum)
    : CWndBase(parent, controlId), kind_(kind), min_(minimum), max_(maximum) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::PointingHandCursor);
}

void CPropHueSatSlider::SetValue(float value) {
    value = std::clamp(value, min_, max_);
    if (value == value_) return;
    value_ = value;
    update();
}

float CPropHueSatSlider::ValueFromX(int x) const {
    const int W = width();
    if (W < 17) return min_;
    const float t = std::clamp(float(x - 8) / float(W - 16), 0.0f, 1.0f);
    return float(std::lround((max_ - min_) * t + min_));
}

void CPropHueSatSlider::OnLButtonDown(unsigned, QPoint pt) {
    SetCapture();
    dragging_ = true;
    if (!beginSent_) {
        beginSent_ = true;
        SendCommandToParent(0x1001);
    }
    const float v = ValueFromX(pt.x());
    if (v != value_) {
        value_ = v;
        update();
        SendCommandToParent(0x1000);
    }
    update();
}

void CPropHueSatSlider::OnMouseMove(unsigned, QPoint pt) {
    if (!dragging_) return;
    const float v = ValueFromX(pt.x());
    if (v == value_) return;
    value_ = v;
    update();
    SendCommandToParent(0x1000);
}

void CPropHueSatSlider::EndDrag(bool notify) {
    if (!dragging_) return;
    dragging_ = false;
    if (beginSent_) {
        beginSent_ = false;
        if (notify) SendCommandToParent(0x1002);
    }
    update();
}

void CPropHueSatSlider::OnLButtonUp(unsigned, QPoint) {
    if (!dragging_) return;
    ReleaseCapture();
    EndDrag(true);
}

void CPropHueSatSlider::OnCaptureLost() { EndDrag(true); }

void CPropHueSatSlider::changeEvent(QEvent* e) {
    CWndBase::changeEvent(e);
    if (e->type() == QEvent::EnabledChange) {
        if (dragging_) {
            dragging_ = false;
            beginSent_ = false;
            if (HasCapture()) ReleaseCapture();
        }
        update();
    }
}

const std::vector<uint32_t>& CPropHueSatSlider::Gradient(int n) {
    float hue = 0;
    if (kind_ != 0 && hueSource_) {
        const float u = (hueSource_->Value() + 180.0f) / 360.0f;
        hue = u - std::floor(u);
    }
    if (!cache_.empty() && cacheWidth_ == n && std::fabs(hue - cacheHue_) < 1e-4f) return cache_;
    cache_.assign(size_t(n), 0xFF000000u);
    for (int i = 0; i < n; ++i) {
        const float a = n > 1 ? float(i) / float(n - 1) : 0.0f;
        uint8_t r = 0, g = 0, b = 0;
        if (kind_ == 0) {
            HsvToRgbBytes(a, 1, 1, r, g, b);
        } else if (kind_ == 1) {
            HsvToRgbBytes(hue, a, 0.85f, r, g, b);
        } else {
            HsvToRgbBytes(hue, 1, 1, r, g, b);
            auto mix = [a](uint8_t c) {
                if (a < 0.5f) return ToByte(float(c) * (a + a) * (1.0f / 255.0f));
                const float k = (a - 0.5f) * 2.0f;
                return ToByte(float(c) / 255.0f * (1.0f - k) + k);
            };
            r = mix(r), g = mix(g), b = mix(b);
        }
        cache_[size_t(i)] = 0xFF000000u | uint32_t(r) << 16 | uint32_t(g) << 8 | b;
    }
    cacheWidth_ = n;
    cacheHue_ = hue;
    return cache_;
}

void CPropHueSatSlider::paintEvent(QPaintEvent* e) {
    CMemDC2 mem(this, e->rect());
    QPainter& p = mem.Painter();
    p.fillRect(rect(), QColor::fromRgba(0xFF32363C));
    const int cy = height() / 2, left = 8, right = width() - 8, top = cy - 4;
    const bool on = isEnabled();
    if (right - left >= 2) {
        if (!on) {
            p.fillRect(QRect(left, top, right - left, 4), QColor::fromRgba(0xFF484E56));
        } else {
            const std::vector<uint32_t>& g = Gradient(right - left);
            QImage row(reinterpret_cast<const uchar*>(g.data()), int(g.size()), 1, QImage::Format_ARGB32);
            p.drawImage(QRect(left, top, right - left, 4), row);
        }
    }
    const int x = min_ >= max_ ? left : int((value_ - min_) / (max_ - min_) * float(right - left) + 0.5f) + left;
    p.setRenderHint(QPainter::Antialiasing, true);
    QPolygonF tri;
    tri << QPointF(x, top + 2) << QPointF(x - 7, top + 12) << QPointF(x + 7, top + 12);
    p.setBrush(QColor::fromRgba(on ? 0xFFDCDCDC : 0xFF82868C));
    p.setPen(QPen(QColor::fromRgba(on ? 0xFF1E1E1E : 0xFF3C4046), 1));
    p.drawPolygon(tri);
}
