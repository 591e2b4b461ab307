#include "filters/ui/LevelsControls.h"

#include "platform/qt/CMemDC2.h"

#include <QEvent>
#include <QImage>
#include <QPaintEvent>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kChange = 0x1000, kBegin = 0x1001, kEnd = 0x1002;

QColor Argb(uint32_t v) { return QColor::fromRgba(v); }

}  // namespace

int LevelsValueToX(int clientWidth, int level) {
    const int v = std::clamp(level, 0, 255);
    const int w = std::max(clientWidth - 17, 1);
    return (w * v + 127) / 255 + 8;
}

int LevelsXToValue(int clientWidth, int x) {
    const int w = std::max(clientWidth - 17, 1);
    const int a = std::clamp(x - 8, 0, w);
    return (a * 255 + w / 2) / w;
}

float GammaToMarkerFraction(float gamma) {
    if (gamma >= 1.0f) return std::clamp(0.5f - (gamma - 1.0f) * 0.5f / 8.99f, 0.0f, 0.5f);
    return std::clamp(1.0f - (gamma - 0.1f) * 0.5f / 0.9f, 0.5f, 1.0f);
}

float MarkerFractionToGamma(float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    float g = t <= 0.5f ? 9.99f - (t + t) * 8.99f : 1.0f - ((t - 0.5f) + (t - 0.5f)) * 0.9f;
    g = std::clamp(g, 0.1f, 9.99f);
    return float(std::lround(g * 100.0f)) * 0.01f;
}

LevelsCounts CountLevels(const Bitmap* source) {
    LevelsCounts c;
    if (!source || source->Width() < 1 || source->Height() < 1) return c;
    const int64_t pixels = int64_t(source->Width()) * source->Height();
    int step = 1;
    if (pixels > 250000) step = std::max(1, int(std::sqrt(double(pixels) / 250000.0)));
    for (int y = 0; y < source->Height(); y += step) {
        const uint8_t* row = source->Row(y);
        for (int x = 0; x < source->Width(); x += step) {
            const uint8_t* p = row + size_t(x) * 4;
            if (p[3] == 0) continue;
            const int b = p[0], g = p[1], r = p[2];
            ++c.bins[0][size_t(r)];
            ++c.bins[1][size_t(g)];
            ++c.bins[2][size_t(b)];
            ++c.bins[3][size_t((299 * r + 587 * g + 114 * b + 500) / 1000)];
        }
    }
    c.valid = true;
    return c;
}

void DrawLevelsMarker(QPainter& p, int x, int bottom, uint32_t fill, uint32_t outline) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    QPolygonF tri;
    tri << QPointF(x, bottom + 2) << QPointF(x - 7, bottom + 12) << QPointF(x + 7, bottom + 12);
    p.setBrush(Argb(fill));
    p.setPen(QPen(Argb(outline), 1));
    p.drawPolygon(tri);
    p.restore();
}

// --- Histogram ---

CPropLevelsHistogram::CPropLevelsHistogram(QWidget* parent, int controlId) : CLevelsMarkerWnd(parent, controlId) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void CPropLevelsHistogram::SetSource(const BitmapPtr& source) {
    if (source == source_ && countRuns_ > 0) return;
    source_ = source;
    counts_ = CountLevels(source_.get());
    ++countRuns_;
    update();
}

void CPropLevelsHistogram::SetChannel(uint8_t channel) {
    if (channel == channel_) return;
    channel_ = channel;
    update();
}

void CPropLevelsHistogram::SetInputLow(int level) {
    level = std::clamp(level, 0, 254);
    if (level == inputLow_) return;
    inputLow_ = level;
    if (inputHigh_ <= level) inputHigh_ = level + 1;
    update();
}

void CPropLevelsHistogram::SetInputHigh(int level) {
    level = std::clamp(level, 1, 255);
    if (level == inputHigh_) return;
    inputHigh_ = level;
    if (inputLow_ >= level) inputLow_ = level - 1;
    update();
}

void CPropLevelsHistogram::SetGamma(float gamma) {
    gamma = std::isfinite(gamma) ? std::clamp(gamma, 0.1f, 9.99f) : 1.0f;
    if (gamma == gamma_) return;
    gamma_ = gamma;
    update();
}

int CPropLevelsHistogram::PlotBottom() const {
    const int top = 2;
    int bottom = height() - 24;
    if (bottom - top < 4) bottom = top + 4;
    return bottom;
}

int CPropLevelsHistogram::MarkerX(int marker) const {
    const int xl = LevelsValueToX(width(), inputLow_), xh = LevelsValueToX(width(), inputHigh_);
    if (marker == kInputLow) return xl;
    if (marker == kInputHigh) return xh;
    return xl + int(GammaToMarkerFraction(gamma_) * float(xh - xl) + 0.5f);
}

int CPropLevelsHistogram::HitTestMarker(QPoint pt) const {
    const int s = PlotBottom();
    if (pt.y() < s - 2 || pt.y() > std::min(s + 22, height()) + 2) return kNone;
    int best = kNone, bestDistance = 14;
    for (int m : {kInputLow, kGamma, kInputHigh}) {
        const int d = std::abs(pt.x() - MarkerX(m));
        if (d < bestDistance) {
            best = m;
            bestDistance = d;
        }
    }
    return best;
}

void CPropLevelsHistogram::DragTo(int x) {
    const int W = width();
    if (drag_ == kInputLow) {
        const int level = std::min(std::clamp(LevelsXToValue(W, x), 0, 254), inputHigh_ - 1);
        if (level == inputLow_) return;
        inputLow_ = level;
    } else if (drag_ == kInputHigh) {
        const int level = std::max(std::clamp(LevelsXToValue(W, x), 1, 255), inputLow_ + 1);
        if (level == inputHigh_) return;
        inputHigh_ = level;
    } else if (drag_ == kGamma) {
        const int xl = LevelsValueToX(W, inputLow_), xh = LevelsValueToX(W, inputHigh_);
        const int xc = std::clamp(x, xl, std::max(xl, xh));
        const float g = MarkerFractionToGamma(float(xc - xl) / float(std::max(xh - xl, 1)));
        if (g == gamma_) return;
        gamma_ = g;
    } else {
        return;
    }
    update();
    SendCommandToParent(kChange);
}

// --- Marker controls ---

void CLevelsMarkerWnd::OnLButtonDown(unsigned, QPoint pt) {
    int marker = HitTestMarker(pt);
    const bool hit = marker != kNoMarker;
    if (!hit) marker = NearestMarker(pt.x());
    drag_ = uint8_t(marker);
    SetCapture();
    if (!beginSent_) {
        beginSent_ = true;
        SendCommandToParent(kBegin);
    }
    if (!hit) DragTo(pt.x());
}

void CLevelsMarkerWnd::OnMouseMove(unsigned, QPoint pt) {
    if (drag_ != kNoMarker) {
        DragTo(pt.x());
        return;
    }
    setCursor(HitTestMarker(pt) != kNoMarker ? Qt::SizeHorCursor : Qt::ArrowCursor);
}

void CLevelsMarkerWnd::EndDrag(bool notify) {
    if (drag_ == kNoMarker) return;
    drag_ = kNoMarker;
    if (beginSent_) {
        beginSent_ = false;
        if (notify) SendCommandToParent(kEnd);
    }
}

void CLevelsMarkerWnd::OnLButtonUp(unsigned, QPoint) {
    if (drag_ == kNoMarker) return;
    ReleaseCapture();
    EndDrag(true);
}

void CLevelsMarkerWnd::OnCaptureLost() { EndDrag(true); }

void CLevelsMarkerWnd::changeEvent(QEvent* e) {
    CWndBase::changeEvent(e);
    if (e->type() == QEvent::EnabledChange) {
        if (drag_ != kNoMarker) {
            // Disabling stops a drag quietly.
            drag_ = kNoMarker;
            beginSent_ = false;
            if (HasCapture()) ReleaseCapture();
        }
        update();
    }
}

int CPropLevelsHistogram::NearestMarker(int x) const {
    const int dl = std::abs(x - MarkerX(kInputLow)), dg = std::abs(x - MarkerX(kGamma)),
              dh = std::abs(x - MarkerX(kInputHigh));
    return dh < dl && dh < dg ? kInputHigh : dg < dl ? kGamma : kInputLow;
}

int CPropLevelsOutput::NearestMarker(int x) const {
    const int dl = std::abs(x - LevelsValueToX(width(), outputLow_));
    const int dh = std::abs(x - LevelsValueToX(width(), outputHigh_));
    return dl > dh ? kOutputHigh : kOutputLow;
}

void CPropLevelsHistogram::paintEvent(QPaintEvent* e) {
    CMemDC2 mem(this, e->rect());
    QPainter& p = mem.Painter();
    const bool on = isEnabled();
    p.fillRect(rect(), Argb(0xFF282C32));
    const int L = 8, T = 2, R = width() - 8, B = PlotBottom();
    const QRect plot(L, T, std::max(0, R - L), B - T);
    p.fillRect(plot, Argb(on ? 0xFF383C44 : 0xFF2E3238));
    p.setPen(Argb(on ? 0xFF484E56 : 0xFF3C4046));
    p.drawRect(QRect(L, T, std::max(0, plot.width() - 1), plot.height() - 1));
    if (counts_.valid && plot.width() > 0) {
        const size_t channel = channel_ >= 1 && channel_ <= 3 ? size_t(channel_ - 1) : 3;
        const auto& bins = counts_.bins[channel];
        int32_t mx = 0, mn = 0;
        for (int32_t n : bins) {
            mx = std::max(mx, n);
            if (n > 0 && (mn == 0 || n < mn)) mn = n;
        }
        if (mx > 0) {
            int32_t lo = mn >= mx ? mx - 1 : mn;
            lo = std::max(lo, 1);
            const float logLo = std::log(float(lo)), logHi = std::log(float(mx));
            const float scale = logHi > logLo ? 1.0f / (logHi - logLo) : 1.0f;
            const int h = std::max(B - T - 2, 1);
            const uint32_t background = on ? 0xFF383C44 : 0xFF2E3238, bar = on ? 0xFFAAB2BA : 0xFF60646A;
            QImage image(256, h, QImage::Format_ARGB32);
            image.fill(QColor::fromRgba(background));
            for (int j = 0; j < 256; ++j) {
                const int32_t n = bins[size_t(j)];
                if (n <= 0) continue;
                const int k = int(std::clamp((std::log(float(n)) - logLo) * scale, 0.0f, 1.0f) * float(h) + 0.5f);
                if (k <= 0) continue;
                for (int y = h - std::min(k, h); y < h; ++y) image.setPixel(j, y, bar);
            }
            p.setRenderHint(QPainter::SmoothPixmapTransform, true);
            p.drawImage(QRect(L, T + 1, R - L, h), image);
        }
    }
    p.fillRect(QRect(L, B, std::max(0, R - L), 1), Argb(on ? 0xFF6E747C : 0xFF4C525A));
    const uint32_t outline = on ? 0xFF14161A : 0xFF3C4046;
    DrawLevelsMarker(p, MarkerX(kGamma), B, on ? 0xFF969AA0 : 0xFF6E7278, outline);
    DrawLevelsMarker(p, MarkerX(kInputLow), B, on ? 0xFF14161A : 0xFF3C4046, outline);
    DrawLevelsMarker(p, MarkerX(kInputHigh), B, on ? 0xFFEBEEF4 : 0xFFA0A4AA, outline);
}

// --- Output strip ---

CPropLevelsOutput::CPropLevelsOutput(QWidget* parent, int controlId) : CLevelsMarkerWnd(parent, controlId) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void CPropLevelsOutput::SetOutputLow(int level) {
    level = std::clamp(level, 0, 255);
    if (level == outputLow_) return;
    outputLow_ = level;
    update();
}

void CPropLevelsOutput::SetOutputHigh(int level) {
    level = std::clamp(level, 0, 255);
    if (level == outputHigh_) return;
    outputHigh_ = level;
    update();
}

int CPropLevelsOutput::StripBottom() const {
    const int top = 2;
    int bottom = height() - 14;
    if (bottom - top < 4) bottom = top + 4;
    return bottom;
}

int CPropLevelsOutput::HitTestMarker(QPoint pt) const {
    if (pt.y() < StripBottom() - 2) return kNone;
    const int dl = std::abs(pt.x() - LevelsValueToX(width(), outputLow_));
    const int dh = std::abs(pt.x() - LevelsValueToX(width(), outputHigh_));
    if (dl <= 13 && dl <= dh) return kOutputLow;
    if (dh <= 13) return kOutputHigh;
    return kNone;
}

void CPropLevelsOutput::DragTo(int x) {
    const int level = LevelsXToValue(width(), x);
    int& marker = drag_ == kOutputLow ? outputLow_ : outputHigh_;
    if (drag_ == kNone || level == marker) return;
    marker = level;
    update();
    SendCommandToParent(kChange);
}

void CPropLevelsOutput::paintEvent(QPaintEvent* e) {
    CMemDC2 mem(this, e->rect());
    QPainter& p = mem.Painter();
    const bool on = isEnabled();
    p.fillRect(rect(), Argb(0xFF282C32));
    const int L = 8, T = 2, R = width() - 8, B = StripBottom();
    const int n = R - L;
    if (n > 0) {
        const int base = on ? 0 : 70, span = on ? 255 : 80;
        QImage ramp(n, 1, QImage::Format_ARGB32);
        for (int i = 0; i < n; ++i) {
            const int v = n == 1 ? base : base + int(float(i) / float(n - 1) * float(span) + 0.5f);
            ramp.setPixel(i, 0, 0xFF000000u | uint32_t(v) * 0x010101u);
        }
        p.drawImage(QRect(L, T, n, B - T), ramp);
        p.setPen(Argb(on ? 0xFF484E56 : 0xFF3C4046));
        p.drawRect(QRect(L, T, n - 1, B - T - 1));
    }
    const uint32_t outline = on ? 0xFF14161A : 0xFF3C4046;
    DrawLevelsMarker(p, LevelsValueToX(width(), outputLow_), B, on ? 0xFF14161A : 0xFF3C4046, outline);
    DrawLevelsMarker(p, LevelsValueToX(width(), outputHigh_), B, on ? 0xFFEBEEF4 : 0xFFA0A4AA, outline);
}
