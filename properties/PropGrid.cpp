#include "properties/PropGrid.h"

#include <algorithm>

PropRect PropCellRect(int originX, int originY, int groupIndex, int rows, int column, int row, int columnSpan,
                      int rowSpan) {
    rows = std::max(1, rows);
    column = std::clamp(column, 0, 3);
    row = std::clamp(row, 0, rows - 1);
    columnSpan = std::clamp(columnSpan, 1, 4 - column);
    rowSpan = std::clamp(rowSpan, 1, rows - row);
    const int x = originX + kPropGridMargin + kPropGroupPitch * groupIndex;
    const int y = originY + kPropGridMargin;
    PropRect r;
    r.left = x + kPropCellWidth * column;
    r.top = y + kPropCellHeight * row;
    r.right = r.left + kPropCellWidth * columnSpan - 2;
    r.bottom = r.top + kPropCellHeight * rowSpan - 2;
    return r;
}
