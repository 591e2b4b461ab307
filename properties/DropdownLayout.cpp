#include "properties/DropdownLayout.h"

#include <algorithm>

bool IsDropdownColumnBreak(const std::string& item) { return item == "\x1F"; }
bool IsDropdownSeparator(const std::string& item) { return item.empty(); }
bool IsDropdownPickable(const std::string& item) { return !item.empty() && item != "\x1F"; }

void DropdownPopupSize(const std::vector<std::string>& items, int dropdownWidth, int& width, int& height) {
    std::vector<int> columns{0};
    for (const std::string& item : items) {
        if (IsDropdownColumnBreak(item)) columns.push_back(0);
        else columns.back() += IsDropdownSeparator(item) ? kDropdownSeparatorHeight : kDropdownRowHeight;
    }
    height = *std::max_element(columns.begin(), columns.end()) + 2;
    width = int(columns.size()) * dropdownWidth + 2;
}

std::vector<PropRect> DropdownItemRects(const std::vector<std::string>& items, int clientWidth) {
    const int breaks = int(std::count_if(items.begin(), items.end(), IsDropdownColumnBreak));
    const int columnWidth = (clientWidth - 2) / (breaks + 1);
    std::vector<PropRect> rects;
    rects.reserve(items.size());
    int column = 0, y = 1;
    for (const std::string& item : items) {
        const int x = 1 + column * columnWidth;
        if (IsDropdownColumnBreak(item)) {
            rects.push_back({x, y, x, y});
            ++column;
            y = 1;
            continue;
        }
        const int h = IsDropdownSeparator(item) ? kDropdownSeparatorHeight : kDropdownRowHeight;
        rects.push_back({1 + column * columnWidth, y, 1 + column * columnWidth + columnWidth, y + h});
        y += h;
    }
    return rects;
}

int DropdownHitTest(const std::vector<std::string>& items, int clientWidth, int clientHeight, int x, int y) {
    if (x < 0 || y < 0 || x >= clientWidth || y >= clientHeight) return -1;
    const int breaks = int(std::count_if(items.begin(), items.end(), IsDropdownColumnBreak));
    const int columnWidth = (clientWidth - 2) / (breaks + 1);
    if (columnWidth <= 0 || x < 1) return -1;
    const int column = std::min((x - 1) / columnWidth, breaks);
    const std::vector<PropRect> rects = DropdownItemRects(items, clientWidth);
    int c = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        if (IsDropdownColumnBreak(items[i])) {
            ++c;
            continue;
        }
        if (c != column) continue;
        if (y >= rects[i].top && y < rects[i].bottom) return IsDropdownPickable(items[i]) ? int(i) : -1;
    }
    return -1;
}

int DropdownStepHot(const std::vector<std::string>& items, int hot, int direction) {
    const int n = int(items.size());
    if (n == 0) return hot;
    if (direction < 0) {
        for (int i = std::max(hot - 1, 0); i >= 0; --i)
            if (IsDropdownPickable(items[i])) return i;
    } else {
        for (int i = std::min(hot + 1, n - 1); i < n; ++i)
            if (i >= 0 && IsDropdownPickable(items[i])) return i;
    }
    return hot;
}

PropRect DropdownPopupPlacement(const PropRect& dropdown, const PropRect& work, int width, int height) {
    int top = dropdown.bottom;
    if (dropdown.bottom + height > work.bottom && dropdown.top - height >= work.top) top = dropdown.top - height;
    int left = dropdown.left;
    if (left + width > work.right) left = std::max(work.left, work.right - width);
    return {left, top, left + width, top + height};
}
