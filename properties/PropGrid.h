#pragma once
// The grid every property tab places its controls on: groups (or panels)
// side by side, 212 px apart from 6 px inside the client's top-left corner,
// each four columns of 52 px and rows of 27 px; a control is 2 px smaller
// than the cells it spans. Fixed device pixels, never scaled.
#include <cstdint>

struct PropRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool operator==(const PropRect&) const = default;
};

inline constexpr int kPropGridMargin = 6;
inline constexpr int kPropGroupPitch = 212;
inline constexpr int kPropCellWidth = 52;
inline constexpr int kPropCellHeight = 27;

// The rectangle of a cell of group (panel) index groupIndex with rows rows
// (below 1 counts as 1); column, row and spans are clamped into the group.
PropRect PropCellRect(int originX, int originY, int groupIndex, int rows, int column, int row, int columnSpan,
                      int rowSpan);
