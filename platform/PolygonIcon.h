#pragma once
// Built-in vector icons: a polygon table is the number of polygons, then for
// each polygon its point count n and n (x, y) pairs in thousandths of the
// bitmap's width and height. Polygons are filled together with the winding
// rule, so a hole is a polygon running the other way.
#include "platform/Bitmap.h"

#include <cstdint>
#include <vector>

using PolygonTable = std::vector<int16_t>;

// The polygons filled anti-aliased in colour 0xRRGGBB on a transparent
// width x height bitmap. Polygons of fewer than 3 points are skipped (a
// negative count stands alone, without pairs); a table that ends early is read
// as far as it is whole. Null for a null or empty table, a polygon count below
// 1, or a size that is not positive or cannot be allocated.
BitmapPtr RasterizePolygonMask(const PolygonTable* table, int width, int height, uint32_t rgb);
