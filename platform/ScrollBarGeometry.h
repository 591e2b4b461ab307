#pragma once
// The geometry and position arithmetic of the themed scroll bar: arrow,
// track and thumb rectangles, hit testing, clamping, stepping and the thumb
// drag. Kept apart from the window so it is checked without a display.
#include "platform/RectI.h"

enum ScrollBarPart : int {
    kPartNone = 0,
    kPartLineUp = 1,
    kPartLineDown = 2,
    kPartThumb = 3,
    kPartPageUp = 4,
    kPartPageDown = 5,
};

struct ScrollBarGeometry {
    RectI client;
    bool horizontal = false;
    int arrow = 20;  // arrow length, already scaled to the screen
    int minimum = 0, maximum = 0, page = 0, position = 0;

    RectI LineUpRect() const;
    RectI LineDownRect() const;
    RectI TrackRect() const;
    // Empty (0, 0, 0, 0) when there is no range, no page or no track.
    RectI ThumbRect() const;
    int TrackLength() const;
    ScrollBarPart HitTest(int x, int y) const;
    // max(minimum, min(max(minimum, maximum - page + 1), v)).
    int Clamp(long long v) const;
    // True when the thumb is drawn: 0 < page <= maximum - minimum.
    bool HasThumb() const { return page > 0 && page <= maximum - minimum; }
    // The position a thumb drag gives for a mouse travel of delta pixels from
    // startPosition. When the thumb fills the track the drag cannot move
    // anything and the start position comes back.
    int DragPosition(int delta, int startPosition) const;
};
