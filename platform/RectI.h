#pragma once
// An integer rectangle in window client coordinates: right and bottom are
// exclusive, as the layouts of the shell and the views compute them.
struct RectI {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const RectI&) const = default;
};

// A rectangle given by position and size, the form window placement uses.
struct PlaceI {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PlaceI&) const = default;
};
