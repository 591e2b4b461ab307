#pragma once
// The program's own icon set as polygon tables (thousandths of the icon's
// side): the tool strip's and the toolbars' icons by file name. The icon
// generator (app/tools/make_icons.cpp) draws resources/*.png from them, and
// the windows draw them directly when a file cannot be read.
#include "platform/PolygonIcon.h"

#include <string>
#include <vector>

// The table for an icon file name ("arrow.png", or "arrow"), or null.
const PolygonTable* BuiltInIcon(const std::string& name);
// Every icon name with a table, with ".png".
std::vector<std::string> BuiltInIconNames();
// Icons shown without inversion (the main toolbar): their files are drawn
// light; every other file is drawn dark, for toolbars that invert it.
bool IconFileIsLight(const std::string& name);
