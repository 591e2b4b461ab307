#include "platform/ScrollBarGeometry.h"

#include <algorithm>
#include <cmath>

RectI ScrollBarGeometry::LineUpRect() const {
    const RectI& c = client;
    return horizontal ? RectI{c.left, c.top, c.left + arrow, c.bottom} : RectI{c.left, c.top, c.right, c.top + arrow};
}

RectI ScrollBarGeometry::LineDownRect() const {
    const RectI& c = client;
    return horizontal ? RectI{c.right - arrow, c.top, c.right, c.bottom}
                      : RectI{c.left, c.bottom - arrow, c.right, c.bottom};
}

RectI ScrollBarGeometry::TrackRect() const {
    const RectI& c = client;
    return horizontal ? RectI{c.left + arrow, c.top, c.right - arrow, c.bottom}
                      : RectI{c.left, c.top + arrow, c.right, c.bottom - arrow};
}

int ScrollBarGeometry::TrackLength() const {
    RectI t = TrackRect();
    return horizontal ? t.Width() : t.Height();
}

RectI ScrollBarGeometry::ThumbRect() const {
    const long long range = (long long)maximum - minimum;
    const int L = TrackLength();
    if (range < 0 || page <= 0 || L <= 0) return {};
    const int T = std::max(arrow, int(double(page) / double(range + 1) * L));
    const long long movable = std::max(1LL, (long long)maximum + 1 - page - minimum);
    const int offset = int(double((long long)position - minimum) / double(movable) * (L - T));
    RectI t = TrackRect();
    if (horizontal) return {t.left + offset, t.top, t.left + offset + T, t.bottom};
    return {t.left, t.top + offset, t.right, t.top + offset + T};
}

ScrollBarPart ScrollBarGeometry::HitTest(int x, int y) const {
    if (LineUpRect().Contains(x, y)) return kPartLineUp;
    if (LineDownRect().Contains(x, y)) return kPartLineDown;
    RectI thumb = ThumbRect();
    if (!thumb.IsEmpty() && thumb.Contains(x, y)) return kPartThumb;
    if (TrackRect().Contains(x, y)) {
        if (thumb.IsEmpty()) return kPartPageDown;
        return (horizontal ? x >= thumb.left : y >= thumb.top) ? kPartPageDown : kPartPageUp;
    }
    return kPartNone;
}

int ScrollBarGeometry::Clamp(long long v) const {
    long long hi = std::max<long long>(minimum, (long long)maximum - page + 1);
    return int(std::max<long long>(minimum, std::min(hi, v)));
}

int ScrollBarGeometry::DragPosition(int delta, int startPosition) const {
    const long long d = (long long)maximum - minimum - page + 1;
    const int L = TrackLength();
    if (d <= 0 || L < 1) return startPosition;
    const int T = std::max(arrow, int(double(page) / double((long long)maximum - minimum + 1) * L));
    // A thumb as long as the track has nowhere to go.
    if (L - T <= 0) return startPosition;
    double moved = double(delta) / double(L - T) * double(d);
    return Clamp((long long)std::trunc(moved) + startPosition);
}
