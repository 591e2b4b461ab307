#include "selection/ui/CInpaintView.h"

#include "document/CQuillfenEditorDoc.h"
#include "platform/DeviceScale.h"
#include "platform/qt/CMemDC2.h"
#include "platform/qt/ShellFonts.h"
#include "selection/InpaintSession.h"
#include "selection/InpaintViewGeometry.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kBarThickness = 20;

// 16 x 16, squares of 8 pixels, grey 255 at the top left and grey 204.
const QImage& CheckerTile() {
    static const QImage tile = [] {
        QImage t(16, 16, QImage::Format_ARGB32);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) t.setPixel(x, y, ((x / 8 + y / 8) % 2 == 0) ? 0xFFFFFFFF : 0xFFCCCCCC);
        return t;
    }();
    return tile;
}

int RoundHalfAway(double v) { return int(v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5)); }

}  // namespace

CInpaintView::CInpaintView(QWidget* parent) : CView(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    hbar_.Create(this, 1, true);
    hbar_.owner = this;
    hbar_.ApplyDarkTheme();
    vbar_.Create(this, 2, false);
    vbar_.owner = this;
    vbar_.ApplyDarkTheme();
    LayoutBars();
}

CInpaintView::~CInpaintView() = default;

InpaintSession* CInpaintView::Session() const {
    CQuillfenEditorDoc* doc = GetDocument();
    return doc ? GetActiveInpaintSession(*doc) : nullptr;
}

int CInpaintView::BrushRadius() const {
    InpaintSession* s = Session();
    return s ? std::max(1, s->brushRadius) : InpaintSession::kDefaultBrushRadius;
}

QSize CInpaintView::ClientSize() const {
    return {std::max(0, width() - kBarThickness), std::max(0, height() - kBarThickness)};
}

void CInpaintView::LayoutBars() {
    const QSize c = ClientSize();
    hbar_.setGeometry(0, c.height(), c.width(), kBarThickness);
    vbar_.setGeometry(c.width(), 0, kBarThickness, c.height());
    hbar_.show();
    vbar_.show();
}

void CInpaintView::OnUpdate(CView*, int) {
    overlay_ = QImage();
    update();
}

void CInpaintView::FitToWindow() {
    InpaintSession* s = Session();
    const QSize c = ClientSize();
    if (!s || s->cropWidth <= 0 || s->cropHeight <= 0 || c.width() < 1 || c.height() < 1) return;
    fittedW_ = s->cropWidth;
    fittedH_ = s->cropHeight;
    fitPending_ = false;
    InpaintViewGeometry g = Geometry();
    g.Fit(c.width(), c.height());
    zoom_ = g.zoom;
    offsetX_ = g.offsetX;
    offsetY_ = g.offsetY;
    ClampOffsets();
    UpdateScrollBars();
}

void CInpaintView::ClampOffsets() {
    InpaintSession* s = Session();
    if (!s) return;
    const QSize c = ClientSize();
    auto clampAxis = [](float& offset, float client, float scaled) {
        if (scaled <= client) offset = (client - scaled) / 2.0f;
        else offset = std::clamp(offset, client - scaled, 0.0f);
    };
    clampAxis(offsetX_, float(c.width()), zoom_ * float(s->cropWidth));
    clampAxis(offsetY_, float(c.height()), zoom_ * float(s->cropHeight));
}

void CInpaintView::UpdateScrollBars() {
    InpaintSession* s = Session();
    const QSize c = ClientSize();
    auto apply = [](CThemedScrollCtrl& bar, int maximum, int page, int position) {
        bar.minimum = 0;
        bar.maximum = maximum;
        bar.page = page;
        if (!bar.dragging) bar.position = position;
        bar.update();
    };
    if (!s) {
        apply(hbar_, 0, 1, 0);
        apply(vbar_, 0, 1, 0);
        return;
    }
    auto axis = [&](CThemedScrollCtrl& bar, int size, int client, float offset) {
        const double scaled = double(size) * zoom_;
        const int maximum = std::max(0, int(std::ceil(scaled)) - 1);
        const int position = scaled > client ? -int(std::lround(offset)) : 0;
        apply(bar, maximum, std::max(1, client), position);
    };
    axis(hbar_, s->cropWidth, c.width(), offsetX_);
    axis(vbar_, s->cropHeight, c.height(), offsetY_);
}

InpaintViewGeometry CInpaintView::Geometry() const {
    InpaintViewGeometry g;
    g.zoom = zoom_;
    g.offsetX = offsetX_;
    g.offsetY = offsetY_;
    g.ratio = float(SaneRatio(devicePixelRatioF()));
    if (InpaintSession* s = Session()) g.imageW = s->cropWidth, g.imageH = s->cropHeight;
    return g;
}

bool CInpaintView::ViewToImage(QPoint p, int& x, int& y) const {
    if (!Session()) return false;
    const InpaintViewGeometry g = Geometry();
    // On a dense screen the pointer resolves device pixels between client ones.
    const QPointF q = g.ratio == 1.0f ? QPointF(p) : PrecisePoint(p);
    return g.ViewToImage(float(q.x()), float(q.y()), x, y);
}

QRect CInpaintView::PaintStrokeTo(int x, int y) {
    InpaintSession* s = Session();
    const int r = BrushRadius();
    const int step = std::max(1, r / 2);
    const double dx = double(x) - lastX_, dy = double(y) - lastY_;
    const double d = std::sqrt(dx * dx + dy * dy);
    const int n = std::max(1, int(std::ceil(d / step)));
    if (s)
        for (int i = 1; i <= n; ++i)
            s->PaintSourceMask(lastX_ + RoundHalfAway(dx * i / n), lastY_ + RoundHalfAway(dy * i / n));
    const QRect dirty(QPoint(std::min(x, lastX_) - r, std::min(y, lastY_) - r),
                      QPoint(std::max(x, lastX_) + r, std::max(y, lastY_) + r));  // inclusive corners
    lastX_ = x;
    lastY_ = y;
    return dirty;
}

void CInpaintView::UpdateOverlayRect(const QRect& imageRect) {
    InpaintSession* s = Session();
    if (!s || overlay_.isNull() || overlay_.width() != s->cropWidth || overlay_.height() != s->cropHeight) {
        overlay_ = QImage();  // rebuilt whole at the next paint
        return;
    }
    const QRect r = imageRect.intersected(QRect(0, 0, s->cropWidth, s->cropHeight));
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const uint8_t* hole = s->hole.empty() ? nullptr : s->hole.ptr<uint8_t>(y);
        const uint8_t* source = s->source.empty() ? nullptr : s->source.ptr<uint8_t>(y);
        QRgb* out = reinterpret_cast<QRgb*>(overlay_.scanLine(y));
        for (int x = r.left(); x <= r.right(); ++x) {
            if (hole && hole[x]) out[x] = qRgba(240, 30, 30, 180);
            else if (source && source[x]) out[x] = qRgba(40, 220, 40, 150);
            else out[x] = 0;
        }
    }
}

void CInpaintView::InvalidateImageRect(const QRect& imageRect) {
    const float z = zoom_;
    if (z <= 0) {
        update();
        return;
    }
    const int x0 = int(std::lround(offsetX_)), y0 = int(std::lround(offsetY_));
    const int pad = int(std::ceil(z)) + 2;
    const int left = int(std::floor(imageRect.x() * z)) + x0 - pad;
    const int top = int(std::floor(imageRect.y() * z)) + y0 - pad;
    const int right = int(std::ceil((imageRect.x() + imageRect.width()) * z)) + x0 + pad;
    const int bottom = int(std::ceil((imageRect.y() + imageRect.height()) * z)) + y0 + pad;
    const QRect screen = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)).intersected(QRect(QPoint(0, 0), ClientSize()));
    if (!screen.isEmpty()) update(screen);
}

void CInpaintView::RefreshImageRect(const QRect& imageRect) {
    UpdateOverlayRect(imageRect);
    InvalidateImageRect(imageRect);
}

void CInpaintView::InvalidateHover() {
    const int r = BrushRadius() + 1;
    InvalidateImageRect(QRect(hoverX_ - r, hoverY_ - r, 2 * r + 1, 2 * r + 1));
}

void CInpaintView::OnLButtonDown(unsigned, QPoint point) {
    int x = 0, y = 0;
    InpaintSession* s = Session();
    if (!s || !ViewToImage(point, x, y)) return;
    SetCapture();
    painting_ = true;
    lastX_ = x;
    lastY_ = y;
    s->PaintSourceMask(x, y);
    const int r = BrushRadius();
    RefreshImageRect(QRect(x - r, y - r, 2 * r + 1, 2 * r + 1));
}

void CInpaintView::OnMouseMove(unsigned, QPoint point) {
    if (hover_) InvalidateHover();
    int x = 0, y = 0;
    const bool inside = ViewToImage(point, x, y);
    hoverX_ = x;
    hoverY_ = y;
    hover_ = inside;
    setCursor(hover_ ? Qt::BlankCursor : Qt::ArrowCursor);
    if (hover_) InvalidateHover();
    if (painting_ && inside) RefreshImageRect(PaintStrokeTo(x, y));
}

void CInpaintView::OnLButtonUp(unsigned, QPoint) {
    ReleaseCapture();
    painting_ = false;
}

void CInpaintView::OnCaptureLost() { painting_ = false; }

void CInpaintView::OnMouseLeave() {
    if (hover_) InvalidateHover();
    hover_ = false;
    setCursor(Qt::ArrowCursor);
}

bool CInpaintView::OnMouseWheel(unsigned, int delta, QPoint p) {
    if (Session()) {
        InpaintViewGeometry g = Geometry();
        if (g.WheelZoom(delta > 0, float(p.x()), float(p.y()))) {
            zoom_ = g.zoom;
            offsetX_ = g.offsetX;
            offsetY_ = g.offsetY;
            ClampOffsets();
            UpdateScrollBars();
            update();
        }
    }
    if (hover_) update();
    return true;
}

void CInpaintView::Scroll(CThemedScrollCtrl& bar, int code, int position, float& offset) {
    int pos = bar.position;
    const int line = bar.page / 10 >= 2 ? bar.page / 10 : 1;
    switch (code) {
        case SB_LINEUP: pos -= line; break;
        case SB_LINEDOWN: pos += line; break;
        case SB_PAGEUP: pos -= bar.page; break;
        case SB_PAGEDOWN: pos += bar.page; break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: pos = position; break;
        case SB_TOP: pos = bar.minimum; break;
        case SB_BOTTOM: pos = bar.maximum; break;
        default: return;
    }
    pos = std::clamp(pos, 0, std::max(0, bar.maximum - bar.page + 1));
    offset = -float(pos);
    ClampOffsets();
    UpdateScrollBars();
    update();
}

void CInpaintView::OnHScroll(int code, int position, CWndBase*) { Scroll(hbar_, code, position, offsetX_); }
void CInpaintView::OnVScroll(int code, int position, CWndBase*) { Scroll(vbar_, code, position, offsetY_); }

void CInpaintView::resizeEvent(QResizeEvent* e) {
    CView::resizeEvent(e);
    LayoutBars();
    if (fitPending_) FitToWindow();
    else {
        ClampOffsets();
        UpdateScrollBars();
    }
}

void CInpaintView::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    const QSize c = ClientSize();
    p.fillRect(QRect(QPoint(0, 0), size()), QColor(22, 26, 30));
    InpaintSession* s = Session();
    if (!s || s->display.empty()) {
        p.setPen(QColor(150, 158, 168));
        p.setFont(UiFont(12));
        p.drawText(QRect(QPoint(0, 0), c), Qt::AlignCenter | Qt::TextSingleLine, "Inpaint workspace");
        return;
    }
    if (fitPending_ || s->cropWidth != fittedW_ || s->cropHeight != fittedH_) FitToWindow();
    // The image rectangle lies on device pixels, so at 100 % each image pixel
    // is one physical pixel.
    const InpaintViewGeometry g = Geometry();
    const RectI d = g.DeviceImageRect();
    if (d.IsEmpty()) return;
    const QRectF image(d.left / g.ratio, d.top / g.ratio, d.Width() / g.ratio, d.Height() / g.ratio);
    p.setClipRect(QRect(QPoint(0, 0), c));
    p.setRenderHint(QPainter::SmoothPixmapTransform, g.DisplayZoom() < 1.0f);
    // The checkerboard stays 8 screen pixels a square at any zoom.
    p.setBrushOrigin(0, 0);
    p.fillRect(image, QBrush(CheckerTile()));
    const QImage pixels(s->display.data, s->display.cols, s->display.rows, int(s->display.step[0]),
                        QImage::Format_ARGB32);  // straight B, G, R, A bytes
    p.drawImage(image, pixels);
    if (overlay_.isNull() || overlay_.width() != s->cropWidth || overlay_.height() != s->cropHeight) {
        overlay_ = QImage(s->cropWidth, s->cropHeight, QImage::Format_ARGB32);
        UpdateOverlayRect(QRect(0, 0, s->cropWidth, s->cropHeight));
    }
    p.drawImage(image, overlay_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor::fromRgba(0xFF6E7887));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(image.x() - 1, image.y() - 1, image.width() + 1, image.height() + 1));
    const int r = BrushRadius();
    if (hover_ && r > 0) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const double R = r * zoom_;
        const QPointF centre(image.x() + (hoverX_ + 0.5) * zoom_, image.y() + (hoverY_ + 0.5) * zoom_);
        p.setPen(QPen(QColor::fromRgba(0xDC141414), 1));
        p.drawEllipse(QRectF(centre.x() - R - 0.5, centre.y() - R - 0.5, 2 * R + 1, 2 * R + 1));
        p.setPen(QPen(QColor::fromRgba(0xDCF0F0F0), 1));
        p.drawEllipse(QRectF(centre.x() - R, centre.y() - R, 2 * R, 2 * R));
    }
}
