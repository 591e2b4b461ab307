#pragma once
// The popup geometry of the property dropdown: rows of 22 px, separators
// (an empty item) of 7 px, and a column break (the single character U+001F)
// that starts a new column of the dropdown's width.
#include "properties/PropGrid.h"

#include <string>
#include <vector>

inline constexpr int kDropdownRowHeight = 22;
inline constexpr int kDropdownSeparatorHeight = 7;

bool IsDropdownColumnBreak(const std::string& item);
bool IsDropdownSeparator(const std::string& item);
// A row the user can pick (neither separator nor column break).
bool IsDropdownPickable(const std::string& item);

// The popup's size for items under a dropdown of dropdownWidth.
void DropdownPopupSize(const std::vector<std::string>& items, int dropdownWidth, int& width, int& height);
// Where each item lies in a popup client of the given width (the column
// break's own rectangle is empty).
std::vector<PropRect> DropdownItemRects(const std::vector<std::string>& items, int clientWidth);
// The pickable row under (x, y), or -1 (separators, breaks, margins).
int DropdownHitTest(const std::vector<std::string>& items, int clientWidth, int clientHeight, int x, int y);
// The next pickable row from hot in direction +1 or -1; hot when none.
int DropdownStepHot(const std::vector<std::string>& items, int hot, int direction);
// The popup's screen rectangle: below the dropdown, above it when it does not
// fit below but fits above, shifted left to end at the work area's right edge.
PropRect DropdownPopupPlacement(const PropRect& dropdown, const PropRect& workArea, int width, int height);
