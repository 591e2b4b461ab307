#include "filters/ui/CEffectStackListWnd.h"

#include "filters/EffectRegistry.h"
#include "platform/qt/CMemDC2.h"
#include "platform/qt/ShellFonts.h"

#include <QPaintEvent>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>

namespace {

// Rectangles with exclusive right and bottom edges.
QRect Box(int l, int t, int r, int b) { return QRect(l, t, std::max(0, r - l), std::max(0, b - t)); }
int Right(const QRect& r) { return r.x() + r.width(); }
int Bottom(const QRect& r) { return r.y() + r.height(); }

QColor Argb(uint32_t v) { return QColor::fromRgba(v); }

void DrawEnableBox(QPainter& p, const QRect& box, int state, bool enabled, bool hot) {
    // state: 0 empty, 1 check, 2 partial.
    p.setRenderHint(QPainter::Antialiasing, true);
    QRectF inner(box.x() + 0.5, box.y() + 0.5, box.width() - 1.0, box.height() - 1.0);
    p.setPen(QPen(Argb(!enabled ? 0xFF6E747C : hot ? 0xFFB4B8C0 : 0xFF8C9098), 1));
    p.setBrush(Argb(0xFF1C2026));
    p.drawRect(inner);
    const QColor mark = Argb(enabled ? 0xFF78AFE6 : 0xFF6E747C);
    const int cx = box.x() + box.width() / 2, cy = box.y() + box.height() / 2;
    if (state == 1) {
        const double s = 0.55 * box.width();
        QPen pen(mark, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        QPolygonF line;
        line << QPointF(cx - 0.5 * s, cy + 0.05 * s) << QPointF(cx - 0.1 * s, cy + 0.4 * s)
             << QPointF(cx + 0.5 * s, cy - 0.3 * s);
        p.drawPolyline(line);
    } else if (state == 2) {
        const int side = std::max(box.width() - 8, 4);
        p.fillRect(QRect(cx - side / 2, cy - side / 2, side, side), mark);
    }
}

}  // namespace

CEffectStackListWnd::CEffectStackListWnd(QWidget* parent, int controlId) : CWndBase(parent, controlId) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

int CEffectStackListWnd::Count() const {
    const std::vector<EffectInstance>* stack = getStack ? getStack() : nullptr;
    return stack ? int(stack->size()) : 0;
}

int CEffectStackListWnd::MaxScroll() const {
    ComputeLayout();
    return std::max(0, kRowHeight * Count() - rows_.height()); }

void CEffectStackListWnd::ComputeLayout() const {
    if (laidOut_ == size()) return;
    laidOut_ = size();
    const QRect c = rect();
    if (c.isEmpty()) {
        header_ = master_ = add_ = remove_ = up_ = down_ = rows_ = scrollBar_ = QRect();
        return;
    }
    const int L = c.x(), T = c.y(), R = Right(c), B = Bottom(c), mid = T + kHeaderHeight / 2;
    header_ = Box(L, T, R, T + kHeaderHeight);
    master_ = Box(L + 6, mid - 7, L + 20, mid + 7);
    add_ = Box(L + 28, mid - 9, L + 72, mid + 9);
    remove_ = Box(L + 76, mid - 9, L + 140, mid + 9);
    up_ = Box(L + 148, mid - 9, L + 166, mid + 9);
    down_ = Box(L + 170, mid - 9, L + 188, mid + 9);
    rows_ = Box(L, T + kHeaderHeight, R - kScrollBarWidth, B);
    scrollBar_ = Box(R - kScrollBarWidth, T + kHeaderHeight, R, B);
}

void CEffectStackListWnd::resizeEvent(QResizeEvent*) {
    ComputeLayout();
    SetScroll(scroll_);
    update();
}

void CEffectStackListWnd::SetScroll(int scroll) {
    scroll = std::clamp(scroll, 0, MaxScroll());
    if (scroll == scroll_) return;
    scroll_ = scroll;
    update();
}

QRect CEffectStackListWnd::ThumbRect() const {
    ComputeLayout();
    const int maxScroll = MaxScroll();
    if (maxScroll < 1 || scrollBar_.isEmpty()) return QRect();
    const int trackTop = scrollBar_.y(), trackHeight = scrollBar_.height();
    int thumb = int(int64_t(trackHeight) * rows_.height() / std::max(kRowHeight * Count(), 1));
    thumb = std::min(std::max(thumb, 20), trackHeight);
    const int top = trackTop + int(int64_t(trackHeight - thumb) * scroll_ / maxScroll);
    return Box(scrollBar_.x() + 2, top, Right(scrollBar_) - 1, top + thumb);
}

int CEffectStackListWnd::HitTest(QPoint pt, int& index) const {
    ComputeLayout();
    index = -1;
    if (master_.contains(pt)) return kZoneMaster;
    if (add_.contains(pt)) return kZoneAdd;
    if (remove_.contains(pt)) return kZoneRemove;
    if (up_.contains(pt)) return kZoneUp;
    if (down_.contains(pt)) return kZoneDown;
    if (MaxScroll() >= 1 && scrollBar_.contains(pt)) {
        const QRect thumb = ThumbRect();
        if (thumb.isEmpty()) return kZoneNone;
        if (pt.y() < thumb.y()) return kZoneTrackAbove;
        if (pt.y() >= Bottom(thumb)) return kZoneTrackBelow;
        return kZoneThumb;
    }
    if (!rows_.contains(pt)) return kZoneNone;
    const int offset = pt.y() + scroll_ - rows_.y();
    if (offset < 0) return kZoneNone;
    const int row = offset / kRowHeight;
    if (row >= Count()) return kZoneNone;
    index = row;
    const int rowTop = rows_.y() + kRowHeight * row - scroll_;
    if (pt.x() >= rows_.x() + 6 && pt.x() < rows_.x() + 20 && pt.y() >= rowTop + 4 && pt.y() < rowTop + 18)
        return kZoneRowBox;
    return kZoneRow;
}

void CEffectStackListWnd::SetSelection(int index) {
    ComputeLayout();
    const int count = Count();
    if (index < 0 || index >= count) index = -1;
    if (index == selection_) return;
    selection_ = index;
    if (index >= 0) {
        const int top = kRowHeight * index;
        if (top < scroll_)
            SetScroll(top);
        else if (top + kRowHeight > scroll_ + rows_.height())
            SetScroll(top + kRowHeight - rows_.height());
    }
    update();
}

void CEffectStackListWnd::Refresh() {
    const int count = Count();
    if (selection_ >= count) selection_ = count - 1;
    if (count == 0) selection_ = -1;
    const int clamped = std::clamp(scroll_, 0, MaxScroll());
    scroll_ = clamped;
    update();
}

void CEffectStackListWnd::OnLButtonDown(unsigned, QPoint pt) {
    ComputeLayout();
    int index = -1;
    const int zone = HitTest(pt, index);
    pressed_ = true;
    pressedZone_ = zone;
    pressedIndex_ = index;
    const std::vector<EffectInstance>* stack = getStack ? getStack() : nullptr;
    const int count = stack ? int(stack->size()) : 0;
    switch (zone) {
        case kZoneMaster:
            if (count > 0 && onEnableAll) {
                const bool anyEnabled = std::any_of(stack->begin(), stack->end(), [](auto& e) { return e.enabled; });
                onEnableAll(!anyEnabled);
            }
            break;
        case kZoneAdd:
            if (onAdd) onAdd(mapToGlobal(QPoint(add_.x(), Bottom(add_))));
            break;
        case kZoneRemove:
            if (selection_ >= 0 && onRemove) onRemove(selection_);
            break;
        case kZoneUp:
            if (selection_ >= 1 && onMove) onMove(selection_, -1);
            break;
        case kZoneDown:
            if (selection_ >= 0 && selection_ < count - 1 && onMove) onMove(selection_, +1);
            break;
        case kZoneRow:
            if (index != selection_) {
                SetSelection(index);
                if (onSelect) onSelect(index);
            }
            break;
        case kZoneRowBox:
            if (onEnableOne && index < count) onEnableOne(index, !(*stack)[size_t(index)].enabled);
            break;
        case kZoneThumb:
            thumbDrag_ = true;
            grabOffset_ = pt.y() - ThumbRect().y();
            SetCapture();
            break;
        case kZoneTrackAbove:
            SetScroll(scroll_ - std::max(rows_.height() - kRowHeight, kRowHeight));
            break;
        case kZoneTrackBelow:
            SetScroll(scroll_ + std::max(rows_.height() - kRowHeight, kRowHeight));
            break;
        default:
            break;
    }
    update();
}

void CEffectStackListWnd::EndThumbDrag() {
    thumbDrag_ = false;
    pressed_ = false;
    pressedZone_ = kZoneNone;
    pressedIndex_ = -1;
}

void CEffectStackListWnd::OnLButtonUp(unsigned, QPoint) {
    const bool dragging = thumbDrag_;
    EndThumbDrag();
    if (dragging) ReleaseCapture();
    update();
}

void CEffectStackListWnd::OnCaptureLost() {
    // A lost capture ends the thumb drag as a release does.
    EndThumbDrag();
    update();
}

void CEffectStackListWnd::OnMouseMove(unsigned, QPoint pt) {
    if (thumbDrag_) {
        const QRect thumb = ThumbRect();
        if (thumb.isEmpty()) return;
        const int trackTop = scrollBar_.y(), trackHeight = scrollBar_.height(), h = thumb.height();
        const int top = std::clamp(pt.y() - grabOffset_, trackTop, trackTop + trackHeight - h);
        int span = trackHeight - h;
        if (span < 2) span = 1;
        SetScroll(int(int64_t(MaxScroll()) * (top - trackTop) / span));
        return;
    }
    int index = -1;
    const int zone = HitTest(pt, index);
    if (zone != hoverZone_ || index != hoverIndex_) {
        hoverZone_ = zone;
        hoverIndex_ = index;
        update();
    }
}

void CEffectStackListWnd::OnMouseLeave() {
    if (hoverZone_ != kZoneNone || hoverIndex_ != -1) {
        hoverZone_ = kZoneNone;
        hoverIndex_ = -1;
        update();
    }
}

bool CEffectStackListWnd::OnMouseWheel(unsigned, int delta, QPoint) {
    SetScroll(scroll_ - (delta / 120) * kWheelStep);
    return true;
}

void CEffectStackListWnd::paintEvent(QPaintEvent* e) {
    CMemDC2 mem(this, e->rect());
    QPainter& p = mem.Painter();
    ComputeLayout();
    p.fillRect(rect(), Argb(0xFF22262C));
    if (header_.isEmpty()) return;
    p.fillRect(QRect(header_.x(), Bottom(header_) - 1, header_.width(), 1), Argb(0xFF30363F));

    const std::vector<EffectInstance>* stack = getStack ? getStack() : nullptr;
    const int count = stack ? int(stack->size()) : 0;
    int enabledCount = 0;
    for (int i = 0; i < count; ++i) enabledCount += (*stack)[size_t(i)].enabled;
    const int masterState = count == 0 || enabledCount == 0 ? 0 : enabledCount == count ? 1 : 2;
    DrawEnableBox(p, master_, masterState, count > 0, hoverZone_ == kZoneMaster);

    QFont font = UiFont(11);
    p.setFont(font);
    auto button = [&](const QRect& r, int zone, bool enabled, const char* text, int arrow) {
        p.setRenderHint(QPainter::Antialiasing, true);
        if (enabled && pressed_ && pressedZone_ == zone)
            p.fillRect(r, Argb(0xFF3B434E));
        else if (enabled && hoverZone_ == zone)
            p.fillRect(r, Argb(0xFF485F7E));
        const QColor ink = Argb(enabled ? 0xFFC8CCD2 : 0xFF6E747C);
        if (text) {
            p.setPen(ink);
            p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, QString::fromUtf8(text));
            return;
        }
        const double cx = r.x() + r.width() / 2.0, cy = r.y() + r.height() / 2.0;
        QPolygonF tri;
        if (arrow < 0)
            tri << QPointF(cx, cy - 3) << QPointF(cx - 4, cy + 3) << QPointF(cx + 4, cy + 3);
        else
            tri << QPointF(cx, cy + 3) << QPointF(cx - 4, cy - 3) << QPointF(cx + 4, cy - 3);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawPolygon(tri);
    };
    button(add_, kZoneAdd, true, "Add", 0);
    button(remove_, kZoneRemove, selection_ >= 0, "Remove", 0);
    button(up_, kZoneUp, selection_ > 0, nullptr, -1);
    button(down_, kZoneDown, selection_ >= 0 && selection_ < count - 1, nullptr, +1);

    p.save();
    p.setClipRect(rows_);
    if (count == 0) {
        p.setPen(Argb(0xFF8C9098));
        p.drawText(rows_, Qt::AlignCenter | Qt::TextSingleLine, "No filters");
    }
    QFontMetrics metrics(font);
    for (int i = 0; i < count; ++i) {
        const int top = rows_.y() + kRowHeight * i - scroll_;
        if (top + kRowHeight <= rows_.y() || top >= Bottom(rows_)) continue;
        const EffectInstance& e = (*stack)[size_t(i)];
        const QRect row(rows_.x(), top, rows_.width(), kRowHeight);
        if (i == selection_ || (hoverZone_ == kZoneRow && hoverIndex_ == i)) p.fillRect(row, Argb(0xFF485F7E));
        const QRect box = Box(rows_.x() + 6, top + 4, rows_.x() + 20, top + 18);
        DrawEnableBox(p, box, e.enabled ? 1 : 0, true, hoverZone_ == kZoneRowBox && hoverIndex_ == i);
        const QRect textRect = Box(Right(box) + 6, top, Right(rows_) - 6, top + kRowHeight);
        const uint32_t ink = !e.enabled ? 0xFF8C9098 : i == selection_ ? 0xFFFFFFFF : 0xFFDCE0E6;
        p.setPen(Argb(ink));
        const QString name =
            metrics.elidedText(QString::fromUtf8(FindEffectTypeInfo(e.type).name), Qt::ElideRight, textRect.width());
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, name);
    }
    p.restore();

    if (MaxScroll() >= 1) {
        p.fillRect(scrollBar_, Argb(0xFF1C2026));
        const QRect thumb = ThumbRect();
        const uint32_t c = thumbDrag_ ? 0xFF8C9BAF : hoverZone_ == kZoneThumb ? 0xFF788291 : 0xFF505660;
        p.fillRect(thumb, Argb(c));
    }
}
