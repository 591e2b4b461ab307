#include "selection/SelectionRasterizers.h"

#include <gtest/gtest.h>

#include <queue>
#include <random>

namespace {

const SelectionEdgeOptions kHard{kSelectionEdgeHard, 0.0f};
const SelectionEdgeOptions kAntialias{kSelectionEdgeAntialias, 0.0f};

int At(const SelectionCoverage& c, int x, int y) {
    if (x < c.x || y < c.y || x >= c.x + c.width || y >= c.y + c.height) return 0;
    return c.bytes[size_t(y - c.y) * size_t(c.width) + size_t(x - c.x)];
}

void ExpectInsideClip(const SelectionCoverage& c, int clipW, int clipH) {
    EXPECT_GE(c.x, 0);
    EXPECT_GE(c.y, 0);
    EXPECT_LE(c.x + c.width, clipW);
    EXPECT_LE(c.y + c.height, clipH);
    EXPECT_EQ(c.bytes.size(), size_t(c.width) * size_t(c.height));
}

TEST(SelectionRasterizers, IntegerRectSelectsExactPixels) {
    for (const auto& o : {kHard, kAntialias}) {
        const SelectionCoverage c = RasterizeRectSelection(10, 10, 5, 5, o, 100, 100);
        ExpectInsideClip(c, 100, 100);
        for (int y = 8; y < 17; ++y)
            for (int x = 8; x < 17; ++x)
                EXPECT_EQ(At(c, x, y), (x >= 10 && x < 15 && y >= 10 && y < 15) ? 255 : 0) << x << "," << y;
    }
    const SelectionCoverage half = RasterizeRectSelection(0.5f, 0, 2, 1, kAntialias, 10, 10);
    EXPECT_EQ(At(half, 0, 0), 128);
    EXPECT_EQ(At(half, 1, 0), 255);
    EXPECT_EQ(At(half, 2, 0), 128);
}

TEST(SelectionRasterizers, FeatheredShapesStayInsideTheClip) {
    const SelectionEdgeOptions feather{kSelectionEdgeFeather, 6.5f};
    const SelectionCoverage r = RasterizeRectSelection(-3, 2, 20, 10, feather, 30, 14);
    ExpectInsideClip(r, 30, 14);
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.y + r.height, 14);
    EXPECT_GT(At(r, 0, 5), 0);
    EXPECT_GT(At(r, 20, 5), 0);  // the blur spreads past the hard edge
    const SelectionCoverage e = RasterizeEllipseSelection(20, -5, 30, 30, feather, 40, 40);
    ExpectInsideClip(e, 40, 40);
    const SelectionCoverage outside = RasterizeRectSelection(100, 100, 5, 5, feather, 40, 40);
    EXPECT_TRUE(outside.Empty());
    EXPECT_TRUE(outside.bytes.empty());
    EXPECT_TRUE(RasterizeRectSelection(NAN, 0, 5, 5, kHard, 40, 40).Empty());
    EXPECT_TRUE(RasterizeRectSelection(0, 0, 5, 5, kHard, 0, 0).Empty());
}

TEST(SelectionRasterizers, Ellipse) {
    const SelectionCoverage one = RasterizeEllipseSelection(3, 3, 1, 1, kHard, 10, 10);
    EXPECT_EQ(one.width * one.height, 1);
    EXPECT_EQ(At(one, 3, 3), 255);
    EXPECT_TRUE(RasterizeEllipseSelection(3, 3, 0, 4, kHard, 10, 10).Empty());
    // A 4 x 4 circle on the 4 x 4 sample grid: the corner pixels hold some samples.
    const SelectionCoverage aa = RasterizeEllipseSelection(0, 0, 4, 4, kAntialias, 10, 10);
    EXPECT_EQ(At(aa, 1, 1), 255);
    EXPECT_GT(At(aa, 0, 0), 0);
    EXPECT_LT(At(aa, 0, 0), 255);
    EXPECT_EQ(At(aa, 0, 0), At(aa, 3, 3));
    EXPECT_EQ(At(aa, 0, 1), At(aa, 1, 0));
}

// Even-odd coverage of one pixel by fine supersampling.
double ReferenceCover(const std::vector<SelectionPoint>& poly, int px, int py, int samplesY) {
    const int sx = 256;
    double total = 0;
    for (int j = 0; j < samplesY; ++j) {
        const double y = py + (j + 0.5) / samplesY;
        for (int i = 0; i < sx; ++i) {
            const double x = px + (i + 0.5) / sx;
            bool in = false;
            for (size_t k = 0, l = poly.size() - 1; k < poly.size(); l = k++) {
                const auto& a = poly[k];
                const auto& b = poly[l];
                if ((a.y <= y) != (b.y <= y) && x < a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y)) in = !in;
            }
            total += in;
        }
    }
    return total * 255.0 / (sx * samplesY);
}

TEST(SelectionRasterizers, PolygonMatchesSupersampledReference) {
    const std::vector<std::vector<SelectionPoint>> polys = {
        {{1.2f, 1.0f}, {14.7f, 3.3f}, {6.1f, 12.8f}},
        {{0, 0}, {12, 12}, {12, 0}, {0, 12}},                       // bow-tie: both lobes
        {{2.5f, 1.5f}, {13.25f, 2}, {11, 9.75f}, {7, 4}, {3, 11}},  // concave
    };
    for (const auto& poly : polys)
        for (const auto& o : {kHard, kAntialias}) {
            const SelectionCoverage c = RasterizePolygonSelection(poly, o, 16, 16);
            const int n = o.edgeMode == kSelectionEdgeAntialias ? 4 : 1;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    EXPECT_NEAR(At(c, x, y), ReferenceCover(poly, x, y, n), 3.5) << x << "," << y;
        }
}

TEST(SelectionRasterizers, PolygonEdgeCases) {
    const std::vector<SelectionPoint> halfEdge = {{10.5f, 0}, {20, 0}, {20, 4}, {10.5f, 4}};
    const SelectionCoverage c = RasterizePolygonSelection(halfEdge, kHard, 30, 30);
    EXPECT_EQ(At(c, 10, 1), 128);
    EXPECT_EQ(At(c, 11, 1), 255);
    const std::vector<SelectionPoint> twice = {{0, 0}, {8, 0}, {8, 8}, {0, 8}, {0, 0}, {8, 0}, {8, 8}, {0, 8}};
    const SelectionCoverage d = RasterizePolygonSelection(twice, kAntialias, 30, 30);
    EXPECT_EQ(At(d, 4, 4), 0);
    EXPECT_TRUE(RasterizePolygonSelection(std::vector<SelectionPoint>{{0, 0}, {5, 5}}, kHard, 30, 30).Empty());
    const std::vector<SelectionPoint> huge = {{-1e30f, -1e30f}, {1e30f, 0}, {0, 1e30f}};
    ExpectInsideClip(RasterizePolygonSelection(huge, kAntialias, 30, 30), 30, 30);
}

// Plain 4-connected flood fill with a queue.
std::vector<uint8_t> WandReference(const std::vector<uint32_t>& px, int w, int h, int sx, int sy, int tol) {
    std::vector<uint8_t> out(px.size(), 0);
    auto match = [&](uint32_t p) {
        for (int s = 0; s < 32; s += 8)
            if (std::abs(int((p >> s) & 255) - int((px[size_t(sy) * w + sx] >> s) & 255)) > tol) return false;
        return true;
    };
    std::queue<std::pair<int, int>> q;
    q.push({sx, sy});
    out[size_t(sy) * w + sx] = 255;
    while (!q.empty()) {
        auto [x, y] = q.front();
        q.pop();
        const int nb[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
        for (auto& n : nb) {
            if (n[0] < 0 || n[1] < 0 || n[0] >= w || n[1] >= h) continue;
            const size_t i = size_t(n[1]) * w + n[0];
            if (!out[i] && match(px[i])) {
                out[i] = 255;
                q.push({n[0], n[1]});
            }
        }
    }
    return out;
}

TEST(SelectionRasterizers, WandMatchesFloodFill) {
    std::mt19937 rng(3);
    for (int round = 0; round < 40; ++round) {
        const int w = 1 + int(rng() % 23), h = 1 + int(rng() % 19);
        std::vector<uint32_t> px(size_t(w) * h);
        for (auto& p : px) p = 0x40404040u * (rng() % 3) + (rng() % 4);  // few colours, small noise
        const int sx = int(rng() % w), sy = int(rng() % h), tol = int(rng() % 5);
        const auto ref = WandReference(px, w, h, sx, sy, tol);
        const SelectionCoverage c = MagicWandFillPixels(px.data(), w, h, sx, sy, tol, kHard);
        ExpectInsideClip(c, w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) ASSERT_EQ(At(c, x, y), ref[size_t(y) * w + x]) << round;
    }
}

TEST(SelectionRasterizers, WandEdgeCases) {
    // Two transparent squares touching at a corner; the seed's colour bytes count too.
    const int w = 6, h = 6;
    std::vector<uint32_t> px(w * h, 0xFF102030u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            px[size_t(y) * w + x] = 0x00000000u;
            px[size_t(y + 3) * w + x + 3] = 0x00000000u;
        }
    px[1 * w + 1] = 0x00000001u;  // transparent but a different colour
    const SelectionCoverage c = MagicWandFillPixels(px.data(), w, h, 0, 0, 0, kHard);
    EXPECT_EQ(c.x, 0);
    EXPECT_EQ(c.width, 3);
    EXPECT_EQ(At(c, 1, 1), 0);
    EXPECT_EQ(At(c, 2, 2), 255);
    EXPECT_EQ(At(c, 3, 3), 0);
    const SelectionCoverage loose = MagicWandFillPixels(px.data(), w, h, 0, 0, 1, kHard);
    EXPECT_EQ(At(loose, 1, 1), 255);
    EXPECT_TRUE(MagicWandFillPixels(px.data(), w, h, 6, 0, 10, kHard).Empty());
    EXPECT_TRUE(MagicWandFillPixels(px.data(), w, h, 0, -1, 10, kHard).Empty());
    // Antialias grows the rectangle by one pixel where the image allows.
    const SelectionCoverage aa = MagicWandFillPixels(px.data(), w, h, 4, 4, 0, kAntialias);
    ExpectInsideClip(aa, w, h);
    EXPECT_EQ(aa.x, 2);
    EXPECT_EQ(aa.width, 4);
    EXPECT_GT(At(aa, 2, 4), 0);
}

TEST(SelectionRasterizers, WandReadsThroughAView) {
    struct View {
        int Width() const { return 3; }
        int Height() const { return 2; }
        void ReadRect(int, int, int w, int h, uint32_t* out) {
            for (int i = 0; i < w * h; ++i) out[i] = i < 4 ? 7u : 9u;
        }
    } view;
    const SelectionCoverage c = MagicWandFill(&view, 0, 0, 0, kHard);
    EXPECT_EQ(c.width, 3);
    EXPECT_EQ(At(c, 0, 1), 255);
    EXPECT_EQ(At(c, 1, 1), 0);
    EXPECT_TRUE(MagicWandFill<View>(nullptr, 0, 0, 0, kHard).Empty());
}

TEST(SelectionRasterizers, BoxBlurMatchesReference) {
    std::mt19937 rng(11);
    for (const auto& size : {std::pair{1, 1}, {1, 5}, {6, 1}, {7, 4}}) {
        const int w = size.first, h = size.second;  // plain names: lambdas below capture them
        std::vector<uint8_t> src(size_t(w) * h);
        for (auto& b : src) b = uint8_t(rng());
        std::vector<uint8_t> horiz(src.size()), ref(src.size());
        auto at = [&](const std::vector<uint8_t>& v, int x, int y) {
            return int(v[size_t(std::clamp(y, 0, h - 1)) * w + std::clamp(x, 0, w - 1)]);
        };
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                horiz[size_t(y) * w + x] = uint8_t((at(src, x - 1, y) + at(src, x, y) + at(src, x + 1, y)) / 3);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ref[size_t(y) * w + x] = uint8_t((at(horiz, x, y - 1) + at(horiz, x, y) + at(horiz, x, y + 1)) / 3);
        BoxBlur3x3(src.data(), w, h);
        EXPECT_EQ(src, ref);
    }
}

}  // namespace

namespace {

TEST(SelectionRasterizers, AnyShapeStaysInsideTheClip) {
    std::mt19937 rng(17);
    auto coord = [&] { return float(int(rng() % 1500) - 500) / 10.0f; };
    for (int round = 0; round < 200; ++round) {
        const int clipW = int(rng() % 60), clipH = int(rng() % 60);
        const SelectionEdgeOptions o{int32_t(rng() % 3), float(rng() % 50) / 7.0f};
        ExpectInsideClip(RasterizeRectSelection(coord(), coord(), coord(), coord(), o, clipW, clipH), clipW, clipH);
        ExpectInsideClip(RasterizeEllipseSelection(coord(), coord(), coord(), coord(), o, clipW, clipH), clipW, clipH);
        std::vector<SelectionPoint> poly(3 + rng() % 6);
        for (auto& p : poly) p = {coord(), coord()};
        ExpectInsideClip(RasterizePolygonSelection(poly, o, clipW, clipH), clipW, clipH);
    }
}

}  // namespace
