#include "scene/SelectionMask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <tuple>
#include <vector>

namespace {

std::vector<uint8_t> ReadAll(const SelectionMask& m) {
    std::vector<uint8_t> out(size_t(m.Width()) * m.Height());
    m.ReadRect(0, 0, m.Width(), m.Height(), out.data());
    return out;
}

std::vector<uint8_t> Filled(int w, int h, uint8_t v) { return std::vector<uint8_t>(size_t(w) * h, v); }

// An undirected unit edge of the pixel-corner grid: (x, y, vertical).
using Edge = std::tuple<int, int, int>;

Edge EdgeOf(OutlinePoint a, OutlinePoint b) {
    EXPECT_EQ(std::abs(a.x - b.x) + std::abs(a.y - b.y), 1) << "not a unit step";
    return {std::min(a.x, b.x), std::min(a.y, b.y), a.x == b.x ? 1 : 0};
}

// Each polyline as the sorted edges it walks; the whole outline as a sorted list
// of those loops, so that start points and walking direction do not matter.
std::vector<std::vector<Edge>> LoopsOf(const SelectionOutline& o) {
    std::vector<std::vector<Edge>> loops;
    for (const auto& line : o.polylines) {
        EXPECT_GE(line.size(), 2u);
        std::vector<Edge> edges;
        for (size_t i = 1; i < line.size(); ++i) edges.push_back(EdgeOf(line[i - 1], line[i]));
        std::sort(edges.begin(), edges.end());
        loops.push_back(edges);
    }
    std::sort(loops.begin(), loops.end());
    return loops;
}

std::vector<Edge> RectLoop(int x0, int y0, int x1, int y1) {
    std::vector<Edge> e;
    for (int x = x0; x < x1; ++x) {
        e.push_back({x, y0, 0});
        e.push_back({x, y1, 0});
    }
    for (int y = y0; y < y1; ++y) {
        e.push_back({x0, y, 1});
        e.push_back({x1, y, 1});
    }
    std::sort(e.begin(), e.end());
    return e;
}

// Every boundary edge of the mask computed the plain way from its full coverage.
std::multiset<Edge> BruteForceEdges(const SelectionMask& m) {
    const int w = m.Width(), h = m.Height();
    const auto cov = ReadAll(m);
    auto sel = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h && cov[size_t(y) * w + x] >= 128; };
    std::multiset<Edge> edges;
    for (int y = 0; y <= h; ++y)
        for (int x = 0; x <= w; ++x) {
            if (x < w && sel(x, y - 1) != sel(x, y)) edges.insert({x, y, 0});
            if (y < h && sel(x - 1, y) != sel(x, y)) edges.insert({x, y, 1});
        }
    return edges;
}

void ExpectOutlineMatchesCoverage(SelectionMask& m) {
    SelectionOutline::Build(m);
    EXPECT_TRUE(m.OutlineValid());
    std::multiset<Edge> got;
    for (const auto& line : m.Outline().polylines) {
        ASSERT_GE(line.size(), 2u);
        for (size_t i = 1; i < line.size(); ++i) got.insert(EdgeOf(line[i - 1], line[i]));
        EXPECT_EQ(line.front(), line.back()) << "boundary loops close";
    }
    EXPECT_EQ(got, BruteForceEdges(m));
}

TEST(SelectionMask, NewMaskIsEmpty) {
    SelectionMask m(300, 200);
    EXPECT_EQ(m.Revision(), 1u);
    EXPECT_EQ(m.TileSize(), 256);
    EXPECT_FALSE(m.HasSelection());
    int x = -7, y = -7, w = -7, h = -7;
    EXPECT_FALSE(m.GetBounds(x, y, w, h));
    EXPECT_EQ(x, -7);
    auto all = ReadAll(m);
    EXPECT_TRUE(std::all_of(all.begin(), all.end(), [](uint8_t v) { return v == 0; }));
}

TEST(SelectionMask, InvertOfEmptySelectsAllWithoutTiles) {
    SelectionMask m(300, 200);
    m.Invert();
    EXPECT_EQ(m.TileCount(), 0u);
    EXPECT_TRUE(m.AllSelected());
    int x, y, w, h;
    ASSERT_TRUE(m.GetBounds(x, y, w, h));
    EXPECT_EQ(std::tie(x, y, w, h), std::make_tuple(0, 0, 300, 200));
    // Reads past the canvas stay 0 even while everything is selected.
    std::vector<uint8_t> px(4);
    m.ReadRect(298, 199, 2, 2, px.data());
    EXPECT_EQ(px, (std::vector<uint8_t>{255, 255, 0, 0}));
}

TEST(SelectionMask, SubtractFromAllSelectedCutsHoleAcrossTiles) {
    SelectionMask m(600, 600);
    m.Invert();
    // A 4 x 4 block straddling the corner of four tiles, with zero corners.
    std::vector<uint8_t> hole = {0, 255, 255, 0, 255, 255, 255, 255, 255, 255, 255, 255, 0, 255, 255, 0};
    const uint64_t rev = m.Revision();
    m.Combine(kSelectionSubtract, 254, 254, 4, 4, hole.data());
    EXPECT_GT(m.Revision(), rev);
    EXPECT_TRUE(m.AllSelected());
    EXPECT_EQ(m.TileCount(), 4u);
    auto all = ReadAll(m);
    for (int y = 250; y < 262; ++y)
        for (int x = 250; x < 262; ++x) {
            const bool inHole = x >= 254 && x < 258 && y >= 254 && y < 258 && hole[(y - 254) * 4 + (x - 254)];
            EXPECT_EQ(all[size_t(y) * 600 + x], inHole ? 0 : 255) << x << "," << y;
        }
    // Zero coverage in a tile's part of the rectangle creates no tile.
    std::vector<uint8_t> oneCorner = {255, 0, 0, 0};
    SelectionMask n(600, 600);
    n.Combine(kSelectionAdd, 255, 255, 2, 2, oneCorner.data());
    EXPECT_EQ(n.TileCount(), 1u);
}

TEST(SelectionMask, IntersectWithAllSelectedKeepsExactlyTheRectangle) {
    SelectionMask m(1000, 800);
    m.Invert();
    auto far = Filled(10, 10, 255);
    m.Combine(kSelectionSubtract, 900, 700, 10, 10, far.data());  // a tile far away
    ASSERT_EQ(m.TileCount(), 1u);
    std::vector<uint8_t> cov(20 * 10);
    for (size_t i = 0; i < cov.size(); ++i) cov[i] = uint8_t(i % 251 + 1);
    m.Combine(kSelectionIntersect, 250, 300, 20, 10, cov.data());
    EXPECT_FALSE(m.AllSelected());
    EXPECT_EQ(m.TileCount(), 2u);  // columns 0 and 1 of tile row 1
    auto all = ReadAll(m);
    for (int y = 0; y < 800; ++y)
        for (int x = 0; x < 1000; ++x) {
            const bool in = x >= 250 && x < 270 && y >= 300 && y < 310;
            const uint8_t want = in ? cov[size_t(y - 300) * 20 + (x - 250)] : 0;
            if (all[size_t(y) * 1000 + x] != want) {
                ADD_FAILURE() << "at " << x << "," << y;
                return;
            }
        }
}

TEST(SelectionMask, ReplaceDropsEarlierTiles) {
    SelectionMask m(600, 600);
    auto block = Filled(8, 8, 200);
    m.Combine(kSelectionAdd, 500, 500, 8, 8, block.data());
    m.Invert();
    m.Combine(kSelectionReplace, 10, 10, 8, 8, block.data());
    EXPECT_FALSE(m.AllSelected());
    EXPECT_EQ(m.TileCount(), 1u);
    int x, y, w, h;
    ASSERT_TRUE(m.GetBounds(x, y, w, h));
    EXPECT_EQ(std::tie(x, y, w, h), std::make_tuple(10, 10, 8, 8));
}

TEST(SelectionMask, WritesAndCombinesAreClippedToTheCanvas) {
    SelectionMask m(300, 300);
    auto big = Filled(40, 40, 255);
    // Wholly outside: still counts as a change.
    SelectionOutline::Build(m);
    uint64_t rev = m.Revision();
    m.WriteRect(400, 400, 40, 40, big.data());
    EXPECT_EQ(m.Revision(), rev + 1);
    EXPECT_FALSE(m.OutlineValid());
    EXPECT_EQ(m.TileCount(), 0u);

    // Partly outside: only the canvas part lands; bytes of the edge tile past
    // the canvas keep the missing-tile value.
    m.Invert();
    m.Combine(kSelectionIntersect, 280, -10, 40, 40, big.data());
    int x, y, w, h;
    ASSERT_TRUE(m.GetBounds(x, y, w, h));
    EXPECT_EQ(std::tie(x, y, w, h), std::make_tuple(280, 0, 20, 30));
    for (const auto& [key, bytes] : m.Tiles())
        for (int ty = 0; ty < 256; ++ty)
            for (int tx = 0; tx < 256; ++tx) {
                const int px = int(uint32_t(key)) * 256 + tx, py = int(key >> 32) * 256 + ty;
                if ((px >= 300 || py >= 300) && bytes[size_t(ty) * 256 + tx] != 0) {
                    ADD_FAILURE() << "byte past the canvas at " << px << "," << py;
                    return;
                }
            }
    ExpectOutlineMatchesCoverage(m);

    // Empty rectangles and missing data change nothing at all.
    rev = m.Revision();
    for (int op = 0; op < 4; ++op) {
        m.Combine(op, 0, 0, 0, 5, big.data());
        m.Combine(op, 0, 0, 5, -1, big.data());
        m.Combine(op, 0, 0, 5, 5, nullptr);
    }
    m.Combine(7, 0, 0, 5, 5, big.data());
    EXPECT_EQ(m.Revision(), rev);
    EXPECT_TRUE(m.HasSelection());

    // An intersection with a rectangle off the canvas leaves nothing selected.
    m.Invert();
    m.Combine(kSelectionIntersect, -100, 50, 40, 40, big.data());
    EXPECT_FALSE(m.HasSelection());
    EXPECT_FALSE(m.AllSelected());
    EXPECT_EQ(m.TileCount(), 0u);
    EXPECT_GT(m.Revision(), rev);
}

TEST(SelectionMask, AssignCopiesOnlyFromAMaskOfTheSameSize) {
    SelectionMask a(300, 300), b(300, 300), other(301, 300);
    auto block = Filled(5, 5, 99);
    a.Combine(kSelectionAdd, 254, 254, 5, 5, block.data());
    a.Invert();
    ASSERT_TRUE(b.Assign(a));
    EXPECT_EQ(ReadAll(b), ReadAll(a));
    EXPECT_TRUE(b.AllSelected());
    a.Clear();  // the copy is deep
    EXPECT_TRUE(b.HasSelection());
    EXPECT_EQ(ReadAll(b)[size_t(255) * 300 + 255], 255 - 99);

    const uint64_t rev = other.Revision();
    EXPECT_FALSE(other.Assign(b));
    EXPECT_EQ(other.Revision(), rev);
    EXPECT_FALSE(other.HasSelection());
    EXPECT_FALSE(b.Assign(SelectionMask(300, 300, 128)));
    EXPECT_TRUE(b.Assign(b));  // self-assignment keeps the content
    EXPECT_TRUE(b.AllSelected());
    EXPECT_EQ(b.TileCount(), 4u);
}

TEST(SelectionMask, BoundsAcrossTileSeams) {
    struct Case {
        std::vector<std::pair<int, int>> pixels;
        uint8_t value;
        int x, y, w, h;
    };
    const Case cases[] = {
        {{{255, 255}, {256, 256}}, 255, 255, 255, 2, 2},
        {{{0, 0}}, 1, 0, 0, 1, 1},
        {{{599, 10}, {3, 511}}, 7, 3, 10, 597, 502},
        {{{300, 599}}, 255, 300, 599, 1, 1},
    };
    for (const auto& c : cases) {
        SelectionMask m(600, 600);
        for (auto [px, py] : c.pixels) m.Combine(kSelectionAdd, px, py, 1, 1, &c.value);
        EXPECT_TRUE(m.HasSelection());
        int x, y, w, h;
        ASSERT_TRUE(m.GetBounds(x, y, w, h));
        EXPECT_EQ(std::tie(x, y, w, h), std::tie(c.x, c.y, c.w, c.h));
    }
    // Tiles whose bytes are all zero are not a selection.
    SelectionMask m(600, 600);
    m.GetTile(1, 1);
    EXPECT_FALSE(m.HasSelection());
    int x, y, w, h;
    EXPECT_FALSE(m.GetBounds(x, y, w, h));
    EXPECT_EQ(m.GetTile(3, 0), nullptr);  // past the canvas
    EXPECT_EQ(m.GetTile(-1, 0), nullptr);
}

TEST(SelectionMask, OverlayTint) {
    SelectionMask m(4, 1);
    const uint8_t cov[4] = {0, 255, 128, 1};
    m.WriteRect(0, 0, 4, 1, cov);
    std::vector<uint8_t> px(4 * 4 + 8, 0xEE);  // stride with padding
    m.RenderOverlay(4, 1, px.data(), 24);
    const uint8_t want[16] = {0, 0, 128, 128, 0, 0, 0, 0, 0, 0, 64, 64, 0, 0, 127, 127};
    EXPECT_TRUE(std::equal(want, want + 16, px.begin()));
    EXPECT_EQ(px[16], 0xEE);
    // A stride shorter than a row is refused rather than overrun.
    std::vector<uint8_t> small(8, 0xEE);
    m.RenderOverlay(2, 2, small.data(), 4);
    EXPECT_EQ(small, std::vector<uint8_t>(8, 0xEE));
}

TEST(SelectionOutline, SimpleShapesAsLoops) {
    {
        SelectionMask m(10, 10);
        const uint8_t v = 255;
        m.Combine(kSelectionAdd, 3, 4, 1, 1, &v);
        SelectionOutline::Build(m);
        ASSERT_EQ(m.Outline().polylines.size(), 1u);
        EXPECT_EQ(m.Outline().polylines[0].size(), 5u);
        EXPECT_EQ(LoopsOf(m.Outline()), std::vector<std::vector<Edge>>{RectLoop(3, 4, 4, 5)});
    }
    {
        // Below the half-way mark nothing is outlined, yet it is a selection.
        SelectionMask m(10, 10);
        const uint8_t v = 127;
        m.Combine(kSelectionAdd, 3, 4, 1, 1, &v);
        SelectionOutline::Build(m);
        EXPECT_TRUE(m.Outline().polylines.empty());
        EXPECT_TRUE(m.HasSelection());
    }
    {
        // A ring across four tiles: the outer and the inner loop.
        SelectionMask m(40, 40, 16);
        auto ring = Filled(20, 20, 255);
        for (int y = 5; y < 15; ++y)
            for (int x = 5; x < 15; ++x) ring[size_t(y) * 20 + x] = 0;
        m.Combine(kSelectionAdd, 8, 8, 20, 20, ring.data());
        SelectionOutline::Build(m);
        auto want = std::vector<std::vector<Edge>>{RectLoop(8, 8, 28, 28), RectLoop(13, 13, 23, 23)};
        std::sort(want.begin(), want.end());
        EXPECT_EQ(LoopsOf(m.Outline()), want);
    }
    {
        // Everything selected without tiles: the canvas border.
        SelectionMask m(37, 21, 16);
        m.Invert();
        SelectionOutline::Build(m);
        EXPECT_EQ(LoopsOf(m.Outline()), std::vector<std::vector<Edge>>{RectLoop(0, 0, 37, 21)});
    }
}

TEST(SelectionOutline, MatchesCoverageOnTileSeamsAndBorders) {
    std::mt19937 rng(7);
    for (int round = 0; round < 6; ++round) {
        const int w = 40 + round * 7, h = 35 + round * 5;
        SelectionMask m(w, h, 16);
        if (round % 2) m.Invert();
        for (int k = 0; k < 12; ++k) {
            const int bw = 1 + int(rng() % 20), bh = 1 + int(rng() % 20);
            std::vector<uint8_t> cov(size_t(bw) * bh);
            for (auto& c : cov) c = uint8_t(rng() % 4 == 0 ? 0 : 100 + rng() % 156);
            m.Combine(k % 3 == 0 ? kSelectionSubtract : kSelectionAdd, int(rng() % (w + 10)) - 5,
                      int(rng() % (h + 10)) - 5, bw, bh, cov.data());
        }
        ExpectOutlineMatchesCoverage(m);
    }
    // Whole tiles on one side of the threshold, inside and outside a shape.
    for (bool all : {false, true}) {
        SelectionMask m(70, 64, 16);
        if (all) m.Invert();
        auto block = Filled(50, 40, 200);
        m.Combine(all ? kSelectionSubtract : kSelectionAdd, 5, 8, 50, 40, block.data());
        auto pin = Filled(1, 1, 255);
        m.Combine(all ? kSelectionAdd : kSelectionSubtract, 30, 30, 1, 1, pin.data());
        ExpectOutlineMatchesCoverage(m);
    }
    // All-selected with tiles only along the right edge of a 1000-wide canvas:
    // the border at x = 1000 is still there.
    SelectionMask m(1000, 600);
    m.Invert();
    const uint8_t v = 255;
    for (int y = 0; y < 600; y += 100) m.Combine(kSelectionSubtract, 900, y, 1, 1, &v);
    ExpectOutlineMatchesCoverage(m);
}

TEST(SelectionOutline, WideCanvasKeepsFullCoordinates) {
    // Coordinates beyond 16 bits must not alias: x = 70000 and x = 4464 differ
    // only above bit 15.
    SelectionMask m(70001, 3);
    const uint8_t v = 255;
    m.Combine(kSelectionAdd, 70000, 1, 1, 1, &v);
    m.Combine(kSelectionAdd, 70000 - 65536, 1, 1, 1, &v);
    SelectionOutline::Build(m);
    auto want = std::vector<std::vector<Edge>>{RectLoop(70000, 1, 70001, 2), RectLoop(4464, 1, 4465, 2)};
    std::sort(want.begin(), want.end());
    EXPECT_EQ(LoopsOf(m.Outline()), want);
}

}  // namespace
