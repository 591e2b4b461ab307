#include "selection/InpaintEngine.h"
#include "selection/InpaintFill.h"
#include "selection/InpaintRegion.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>

namespace {

// A straight BGRA image with its hole mask and an optional source mask, rows
// padded so that strides are longer than a row.
struct Fixture {
    int w, h;
    int64_t stride, maskStride;
    std::vector<uint8_t> pixels, hole, source;

    Fixture(int width, int height)
        : w(width), h(height), stride(int64_t(width) * 4 + 12), maskStride(width + 5),
          pixels(size_t(stride) * height, 0), hole(size_t(maskStride) * height, 0),
          source(size_t(maskStride) * height, 0) {}

    uint8_t* Px(int x, int y) { return &pixels[size_t(y) * stride + size_t(x) * 4]; }
    void Set(int x, int y, uint8_t b, uint8_t g, uint8_t r, uint8_t a = 255) {
        uint8_t* p = Px(x, y);
        p[0] = b, p[1] = g, p[2] = r, p[3] = a;
    }
    void HoleRect(int x0, int y0, int x1, int y1, uint8_t v = 255) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) hole[size_t(y) * maskStride + x] = v;
    }
    uint8_t HoleAt(int x, int y) const { return hole[size_t(y) * maskStride + x]; }
    InpaintPlane Pixels() const { return {pixels.data(), w, h, stride}; }
    InpaintPlane Hole() const { return {hole.data(), w, h, maskStride}; }
    InpaintPlane Source() const { return {source.data(), w, h, maskStride}; }
};

std::vector<uint8_t> Fill(const Fixture& f, InpaintResult expect = InpaintResult::Filled, bool withSource = false,
                         InpaintOptions options = {}, const std::atomic<bool>* cancel = nullptr) {
    std::vector<uint8_t> out(size_t(f.stride) * f.h, 0xCD);
    const InpaintPlane src = f.Source();
    const InpaintResult r = InpaintFill(f.Pixels(), f.Hole(), withSource ? &src : nullptr,
                                        {out.data(), f.w, f.h, f.stride}, cancel, options);
    EXPECT_EQ(r, expect) << InpaintResultText(r);
    return out;
}

// Vertical stripes 3 pixels red, 3 pixels blue, over a light noise so that
// patches are not all alike.
Fixture Stripes(int w, int h) {
    Fixture f(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if ((x / 3) % 2) f.Set(x, y, 200, 40, 30);
            else f.Set(x, y, 30, 40, 200);
        }
    return f;
}

// Smooth colour waves plus noise: every patch differs.
Fixture Texture(int w, int h, uint32_t seed) {
    Fixture f(w, h);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            f.Set(x, y, uint8_t(128 + 100 * std::sin(x * 0.3) + rng() % 20),
                  uint8_t(128 + 100 * std::cos(y * 0.23 + x * 0.05) + rng() % 20), uint8_t((x * 7 + y * 3) & 255));
    return f;
}

void ExpectOutsideUnchanged(const Fixture& f, const std::vector<uint8_t>& out) {
    for (int y = 0; y < f.h; ++y)
        for (int x = 0; x < f.w; ++x)
            if (!f.HoleAt(x, y)) {
                ASSERT_EQ(std::memcmp(&out[size_t(y) * f.stride + x * 4], &f.pixels[size_t(y) * f.stride + x * 4], 4), 0)
                    << x << "," << y;
            }
}

TEST(InpaintFill, BadArgumentsAreReportedAndLeaveTheOutputAlone) {
    Fixture f(20, 16);
    f.HoleRect(5, 5, 9, 9);
    std::vector<uint8_t> out(size_t(f.stride) * f.h, 0xCD);
    const std::vector<uint8_t> untouched = out;
    const InpaintPlane px = f.Pixels(), hole = f.Hole();
    const InpaintOutput o{out.data(), f.w, f.h, f.stride};
    struct Case {
        const char* name;
        InpaintPlane pixels, hole;
        const InpaintPlane* source;
        InpaintOutput out;
        InpaintResult want;
    };
    const InpaintPlane smallSource{f.source.data(), 19, 16, f.maskStride}, noSource{};
    const Case cases[] = {
        {"no pixels", {nullptr, 20, 16, f.stride}, hole, nullptr, o, InpaintResult::MissingBuffer},
        {"no hole", px, {nullptr, 20, 16, f.maskStride}, nullptr, o, InpaintResult::MissingBuffer},
        {"no output", px, hole, nullptr, {nullptr, 20, 16, f.stride}, InpaintResult::MissingBuffer},
        {"source without data", px, hole, &noSource, o, InpaintResult::MissingBuffer},
        {"zero width", {px.data, 0, 16, f.stride}, {hole.data, 0, 16, f.maskStride}, nullptr, {out.data(), 0, 16, f.stride}, InpaintResult::BadSize},
        {"negative height", {px.data, 20, -1, f.stride}, {hole.data, 20, -1, f.maskStride}, nullptr, {out.data(), 20, -1, f.stride}, InpaintResult::BadSize},
        {"too wide", {px.data, 40000, 1, 160000}, {hole.data, 40000, 1, 40000}, nullptr, {out.data(), 40000, 1, 160000}, InpaintResult::BadSize},
        {"hole of another size", px, {hole.data, 20, 15, f.maskStride}, nullptr, o, InpaintResult::SizeMismatch},
        {"output of another size", px, hole, nullptr, {out.data(), 21, 16, f.stride}, InpaintResult::SizeMismatch},
        {"source of another size", px, hole, &smallSource, o, InpaintResult::SizeMismatch},
        {"short pixel stride", {px.data, 20, 16, 79}, hole, nullptr, o, InpaintResult::BadStride},
        {"short hole stride", px, {hole.data, 20, 16, 19}, nullptr, o, InpaintResult::BadStride},
        {"short output stride", px, hole, nullptr, {out.data(), 20, 16, 60}, InpaintResult::BadStride},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InpaintFill(c.pixels, c.hole, c.source, c.out, nullptr), c.want) << c.name;
        EXPECT_EQ(out, untouched) << c.name;
        EXPECT_STRNE(InpaintResultText(c.want), "") << c.name;
    }
}

TEST(InpaintFill, EmptyHoleCopiesTheInputBitForBit) {
    Fixture f = Texture(37, 23, 5);
    f.Set(3, 4, 10, 20, 30, 0);  // transparent pixels are copied as they are
    f.Set(30, 20, 99, 98, 97, 0);
    const std::vector<uint8_t> out = Fill(f);
    ExpectOutsideUnchanged(f, out);
}

TEST(InpaintFill, TinyImagesKeepHoleColoursAndRaiseAlpha) {
    // With a side of 9 or less there is nothing coarser to synthesise from: the
    // hole keeps its colours and is blended to opaque by its value.
    for (const auto& [w, h] : {std::pair{9, 40}, std::pair{40, 9}, std::pair{1, 1}, std::pair{3, 2}}) {
        Fixture f = Texture(w, h, 11);
        f.Set(0, 0, 10, 20, 30, 60);
        f.HoleRect(0, 0, 1, 1, 128);
        const std::vector<uint8_t> out = Fill(f);
        const uint8_t* o = &out[0];
        EXPECT_EQ(o[0], 10);
        EXPECT_EQ(o[1], 20);
        EXPECT_EQ(o[2], 30);
        EXPECT_EQ(o[3], (128 * 255 + 127 * 60 + 127) / 255) << w << "x" << h;
        ExpectOutsideUnchanged(f, out);
    }
}

TEST(InpaintFill, WholeImageHoleFillsBlack) {
    Fixture f = Texture(24, 20, 3);
    f.HoleRect(0, 0, 24, 20);
    const std::vector<uint8_t> out = Fill(f);
    for (int y = 0; y < f.h; ++y)
        for (int x = 0; x < f.w; ++x) {
            const uint8_t* o = &out[size_t(y) * f.stride + x * 4];
            ASSERT_EQ(o[0] | o[1] | o[2], 0) << x << "," << y;
            ASSERT_EQ(o[3], 255);
        }
}

TEST(InpaintFill, FlatColourFillsWithThatColour) {
    Fixture f(48, 40);
    for (int y = 0; y < f.h; ++y)
        for (int x = 0; x < f.w; ++x) f.Set(x, y, 40, 150, 220);
    f.HoleRect(15, 12, 31, 26);
    for (int x = 20; x < 26; ++x) f.Set(x, 18, 0, 0, 0, 0);  // junk and transparency inside the hole
    const std::vector<uint8_t> out = Fill(f);
    for (int y = 12; y < 26; ++y)
        for (int x = 15; x < 31; ++x) {
            const uint8_t* o = &out[size_t(y) * f.stride + x * 4];
            ASSERT_EQ(o[0], 40);
            ASSERT_EQ(o[1], 150);
            ASSERT_EQ(o[2], 220);
            ASSERT_EQ(o[3], 255);
        }
    ExpectOutsideUnchanged(f, out);
}

TEST(InpaintFill, StripesContinueThroughTheHole) {
    Fixture f = Stripes(72, 64);
    f.HoleRect(28, 24, 42, 38);
    for (int y = 24; y < 38; ++y)
        for (int x = 28; x < 42; ++x) f.Set(x, y, 0, 255, 0);  // what the hole covers is never used
    const std::vector<uint8_t> out = Fill(f);
    const Fixture clean = Stripes(72, 64);
    int good = 0, total = 0;
    for (int y = 24; y < 38; ++y)
        for (int x = 28; x < 42; ++x, ++total) {
            const uint8_t* o = &out[size_t(y) * f.stride + x * 4];
            const uint8_t* want = &clean.pixels[size_t(y) * clean.stride + x * 4];
            if (std::abs(o[0] - want[0]) <= 16 && std::abs(o[1] - want[1]) <= 16 && std::abs(o[2] - want[2]) <= 16)
                ++good;
        }
    EXPECT_GE(good, total * 9 / 10) << good << " of " << total;
    ExpectOutsideUnchanged(f, out);
}

TEST(InpaintFill, SourceMaskLimitsWhereContentComesFrom) {
    // Two close shades side by side; the hole sits in the right one but only the
    // left one may be copied, so the hole takes the left shade.
    Fixture f(64, 48);
    for (int y = 0; y < f.h; ++y)
        for (int x = 0; x < f.w; ++x) {
            if (x < 32) f.Set(x, y, 90, 100, 110);
            else f.Set(x, y, 110, 100, 90);
            f.source[size_t(y) * f.maskStride + x] = x < 24 ? 255 : 0;
        }
    f.HoleRect(40, 16, 54, 32);
    const std::vector<uint8_t> out = Fill(f, InpaintResult::Filled, true);
    for (int y = 16; y < 32; ++y)
        for (int x = 40; x < 54; ++x) {
            const uint8_t* o = &out[size_t(y) * f.stride + x * 4];
            ASSERT_EQ(o[0], 90) << x << "," << y;
            ASSERT_EQ(o[2], 110) << x << "," << y;
        }
    ExpectOutsideUnchanged(f, out);

    // A source mask that allows nothing acts as no mask at all.
    std::fill(f.source.begin(), f.source.end(), 0);
    EXPECT_EQ(Fill(f, InpaintResult::Filled, true), Fill(f));
}

TEST(InpaintFill, SameInputAndSeedGiveTheSameOutputOnAnyThreadAndThreadCount) {
    // Large enough that level 1 takes the threaded paths (searches side by side,
    // banded votes, row loops).
    Fixture f = Texture(300, 220, 21);
    f.HoleRect(120, 80, 160, 116);
    f.HoleRect(20, 180, 40, 196, 128);
    for (int y = 0; y < f.h; ++y)
        for (int x = 0; x < f.w; ++x) f.source[size_t(y) * f.maskStride + x] = (x + y) % 3 ? 255 : 0;
    for (const bool withSource : {false, true}) {
        const InpaintOptions options{withSource ? 7u : 1u, true};
        const std::vector<uint8_t> first = Fill(f, InpaintResult::Filled, withSource, options);
        if (!withSource) {
            std::vector<uint8_t> onThread;
            std::thread([&] {
                omp_set_num_threads(3);  // another team size on another thread
                onThread = Fill(f, InpaintResult::Filled, withSource, options);
            }).join();
            EXPECT_EQ(first, onThread);
        }
        EXPECT_EQ(first, Fill(f, InpaintResult::Filled, withSource, InpaintOptions{options.seed, false}))
            << "threaded fill and one-thread reference differ";
        ExpectOutsideUnchanged(f, first);
    }
}

TEST(InpaintFill, SetCancelFlagReturnsCancelledWithoutWriting) {
    Fixture f = Texture(40, 30, 2);
    f.HoleRect(10, 10, 20, 20);
    std::atomic<bool> cancel{true};
    const std::vector<uint8_t> out = Fill(f, InpaintResult::Cancelled, false, {}, &cancel);
    EXPECT_EQ(out, std::vector<uint8_t>(out.size(), 0xCD));
}

TEST(InpaintFill, CancelFromAnotherThreadEndsALargeFillPromptly) {
    Fixture f = Texture(1600, 1200, 9);
    f.HoleRect(500, 400, 1100, 800);
    struct Case {
        int delayMs;
        bool parallel;
    };
    for (const Case c : {Case{20, true}, Case{300, true}, Case{150, false}}) {
        const int delayMs = c.delayMs;
        std::atomic<bool> cancel{false};
        std::vector<uint8_t> out(size_t(f.stride) * f.h, 0xCD);
        std::atomic<bool> done{false};
        std::chrono::steady_clock::time_point returned;
        InpaintResult result = InpaintResult::Filled;
        std::thread worker([&] {
            result = InpaintFill(f.Pixels(), f.Hole(), nullptr, {out.data(), f.w, f.h, f.stride}, &cancel, {1, c.parallel});
            returned = std::chrono::steady_clock::now();
            done = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        const bool finishedEarly = done;
        const auto requested = std::chrono::steady_clock::now();
        cancel = true;
        worker.join();
        ASSERT_FALSE(finishedEarly) << "the fill ended before the cancel";
        EXPECT_EQ(result, InpaintResult::Cancelled);
        const double ms = std::chrono::duration<double, std::milli>(returned - requested).count();
        std::printf("cancel %d ms into a %s fill took %.2f ms to return\n", delayMs,
                    c.parallel ? "parallel" : "one-thread", ms);
        EXPECT_LT(ms, 1000.0);  // generous: the target is well under 100 ms
        EXPECT_EQ(out, std::vector<uint8_t>(out.size(), 0xCD));
    }
}

// Mean absolute difference over the hole between a fill and the clean image.
double HoleError(const Fixture& f, const std::vector<uint8_t>& out, const Fixture& clean) {
    double sum = 0;
    int n = 0;
    for (int y = 0; y < f.h; ++y)
        for (int x = 0; x < f.w; ++x)
            if (f.HoleAt(x, y)) {
                for (int c = 0; c < 3; ++c)
                    sum += std::abs(int(out[size_t(y) * f.stride + x * 4 + c]) - clean.pixels[size_t(y) * clean.stride + x * 4 + c]);
                n += 3;
            }
    return sum / n;
}

// The fill through the whole-image synthesis (every level's buffers at full size).
std::vector<uint8_t> WholeImageFill(const Fixture& f, bool withSource) {
    InpaintContext ctx(nullptr, 1, false);
    InpaintLevel l;
    l.width = f.w;
    l.height = f.h;
    l.image.resize(size_t(f.w) * f.h * 3);
    l.unknown.resize(size_t(f.w) * f.h);
    for (int y = 0; y < f.h; ++y)
        for (int x = 0; x < f.w; ++x) {
            std::memcpy(&l.image[l.Index(y, x) * 3], &f.pixels[size_t(y) * f.stride + x * 4], 3);
            l.unknown[l.Index(y, x)] = f.HoleAt(x, y) != 0 || f.pixels[size_t(y) * f.stride + x * 4 + 3] == 0;
        }
    if (withSource) {
        l.allowed.resize(l.unknown.size());
        for (int y = 0; y < f.h; ++y)
            for (int x = 0; x < f.w; ++x)
                l.allowed[l.Index(y, x)] = f.source[size_t(y) * f.maskStride + x] && !l.unknown[l.Index(y, x)] ? 255 : 0;
        InpaintCollectSourcePixels(l);
    }
    InpaintComputeGradients(l);
    InpaintBuildFeatures(l);
    const InpaintLevel filled = InpaintSynthesize(std::move(l), ctx);
    std::vector<uint8_t> out = f.pixels;
    for (int y = 0; y < f.h; ++y)
        for (int x = 0; x < f.w; ++x)
            if (f.HoleAt(x, y)) {
                uint8_t* o = &out[size_t(y) * f.stride + x * 4];
                std::memcpy(o, &filled.image[filled.Index(y, x) * 3], 3);
                o[3] = 255;
            }
    return out;
}

TEST(InpaintFill, SmallHoleInALargeImageIsFilledAsWellAsInItsNeighbourhood) {
    // The same texture and hole, once in a large image and once cropped to the
    // hole's neighbourhood. The fill of the large image works only around the
    // hole yet searches the whole image: on an opaque image without a source
    // mask it gives what the whole-image synthesis gives, and it is at least as
    // close to what the hole covers as the fill of the crop.
    struct Case {
        const char* name;
        int w, h, hx, hy, hw, hh;
        bool source;
    };
    for (const Case c : {Case{"square hole", 640, 480, 300, 220, 16, 16, false},
                         Case{"wide hole", 500, 400, 180, 200, 60, 12, false},
                         Case{"hole at an edge", 480, 360, 0, 100, 14, 30, false},
                         Case{"source mask", 520, 390, 200, 150, 24, 20, true}}) {
        const Fixture clean = Texture(c.w, c.h, 31);
        Fixture large = clean;
        large.HoleRect(c.hx, c.hy, c.hx + c.hw, c.hy + c.hh);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) large.source[size_t(y) * large.maskStride + x] = (x / 40 + y / 30) % 2 ? 255 : 0;
        const std::vector<uint8_t> out = Fill(large, InpaintResult::Filled, c.source);
        ExpectOutsideUnchanged(large, out);
        const std::vector<uint8_t> whole = WholeImageFill(large, c.source);
        const double err = HoleError(large, out, clean);
        if (c.source) {
            // Outside its window the bounded estimate shows the level where the
            // whole-image one shows colours carried down from coarser levels
            // (pixels outside the source get no votes), so the two may differ.
            const double wholeErr = HoleError(large, whole, clean);
            EXPECT_LE(err, wholeErr * 1.1 + 0.5) << c.name << ": hole error " << err << ", whole image " << wholeErr;
            continue;
        }
        int differ = 0;
        for (int y = 0; y < c.h; ++y)
            differ += std::memcmp(&out[size_t(y) * large.stride], &whole[size_t(y) * large.stride], size_t(c.w) * 4) != 0;
        EXPECT_EQ(differ, 0) << c.name << ": rows that differ from the whole-image synthesis";

        const int cx0 = std::max(0, c.hx - 48), cy0 = std::max(0, c.hy - 48);
        const int cw = std::min(c.w, c.hx + c.hw + 48) - cx0, ch = std::min(c.h, c.hy + c.hh + 48) - cy0;
        Fixture crop(cw, ch), cropClean(cw, ch);
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x) {
                std::memcpy(crop.Px(x, y), &clean.pixels[size_t(y + cy0) * clean.stride + (x + cx0) * 4], 4);
                std::memcpy(cropClean.Px(x, y), crop.Px(x, y), 4);
            }
        crop.HoleRect(c.hx - cx0, c.hy - cy0, c.hx - cx0 + c.hw, c.hy - cy0 + c.hh);
        const double cropErr = HoleError(crop, Fill(crop), cropClean);
        EXPECT_LE(err, cropErr + 0.5) << c.name << ": hole error " << err << ", in the crop " << cropErr;
    }
}

TEST(InpaintFill, StripesFillTheSameInAnyImageSize) {
    // Exactly periodic content has one right answer; the bounded fill finds it
    // whether the image is small or large around the hole.
    for (const int size : {72, 400}) {
        Fixture f = Stripes(size, size * 7 / 8);
        const int hx = size / 2 - 7, hy = size / 3;
        f.HoleRect(hx, hy, hx + 14, hy + 14);
        const std::vector<uint8_t> out = Fill(f);
        const Fixture clean = Stripes(size, size * 7 / 8);
        int good = 0, total = 0;
        for (int y = hy; y < hy + 14; ++y)
            for (int x = hx; x < hx + 14; ++x, ++total) {
                const uint8_t* o = &out[size_t(y) * f.stride + x * 4];
                const uint8_t* want = &clean.pixels[size_t(y) * clean.stride + x * 4];
                good += std::abs(o[0] - want[0]) <= 16 && std::abs(o[1] - want[1]) <= 16 && std::abs(o[2] - want[2]) <= 16;
            }
        EXPECT_GE(good, total * 9 / 10) << size << ": " << good << " of " << total;
    }
}

// ---- building blocks --------------------------------------------------------

InpaintLevel MakeLevel(int w, int h, uint32_t seed, int unknownOneIn = 0, bool withMask = false) {
    std::mt19937 rng(seed);
    InpaintLevel l;
    l.width = w;
    l.height = h;
    l.image.resize(size_t(w) * h * 3);
    for (auto& b : l.image) b = uint8_t(rng());
    l.unknown.resize(size_t(w) * h);
    for (auto& u : l.unknown) u = (unknownOneIn && rng() % unknownOneIn == 0) ? 1 : 0;
    if (withMask) {
        l.allowed.resize(size_t(w) * h);
        for (auto& a : l.allowed) a = rng() % 4 ? 255 : 0;
        InpaintCollectSourcePixels(l);
    }
    InpaintComputeGradients(l);
    return l;
}

TEST(InpaintEngine, SimilarityWeights) {
    const struct {
        int32_t d;
        double w;
    } cases[] = {{0, 1.0}, {655, 1.0 - 0.01 * (65500.0 / 65536)}, {2293, 0.83 + (229300.0 / 65536 - 3) * (0.38 - 0.83)},
                 {6553, 0.0001 * (1 - 655300.0 / 65536 + 9)}, {6554, 0.0}, {65535, 0.0}, {70000, 0.0}, {-5, 1.0}};
    for (const auto& c : cases) EXPECT_NEAR(InpaintSimilarityWeight(c.d), c.w, 1e-12) << c.d;
    EXPECT_EQ(InpaintSimilarityTable()[2293], InpaintSimilarityWeight(2293));
}

TEST(InpaintEngine, GradientsAndPatchDistance) {
    InpaintLevel l = MakeLevel(20, 20, 1);
    // Gradients: halved differences around 128, ring at 128.
    const size_t i = l.Index(5, 7) * 3 + 1;
    EXPECT_EQ(l.gradV[i], uint8_t((int(l.image[l.Index(6, 7) * 3 + 1]) - l.image[l.Index(4, 7) * 3 + 1]) / 2 + 128));
    EXPECT_EQ(l.gradH[i], uint8_t((int(l.image[l.Index(5, 8) * 3 + 1]) - l.image[l.Index(5, 6) * 3 + 1]) / 2 + 128));
    EXPECT_EQ(l.gradV[l.Index(0, 7) * 3], 128);
    EXPECT_EQ(l.gradH[l.Index(7, 19) * 3], 128);

    EXPECT_EQ(InpaintPatchDistance(l, 10, 10, l, 10, 10, 4, 65536), 0);
    // Centre on row 4: the patch's top row lies on the ring and costs 1 for each of 9 pairs.
    EXPECT_EQ(InpaintPatchDistance(l, 4, 10, l, 4, 10, 4, 65536), 9 * 65535 / 81);
    // An unknown pixel costs 1 as well.
    l.unknown[l.Index(11, 12)] = 1;
    EXPECT_EQ(InpaintPatchDistance(l, 10, 10, l, 10, 10, 4, 65536), 65535 / 81);
    // A cutoff the distance cannot beat stops early; other levels' widths never match.
    const int32_t full = InpaintPatchDistance(l, 10, 10, l, 9, 8, 4, 65536);
    EXPECT_GT(full, 0);
    EXPECT_EQ(InpaintPatchDistance(l, 10, 10, l, 9, 8, 4, full), 65535);
    EXPECT_EQ(InpaintPatchDistance(l, 10, 10, l, 9, 8, 4, full + 1), full);
    EXPECT_EQ(InpaintPatchDistance(l, 10, 10, MakeLevel(21, 20, 1), 10, 10, 4, 65536), 65535);
    EXPECT_EQ(InpaintPatchDistance(l, 10, 10, l, 10, 10, 0, 65536), 65535);
}

TEST(InpaintEngine, PackedPatchDistanceMatchesTheReference) {
    // Positions all over two levels (borders, ring, outside), with unknown
    // pixels, random cutoffs and both radii the search could use.
    InpaintLevel a = MakeLevel(40, 31, 5, 6), b = MakeLevel(40, 27, 6, 4);
    InpaintBuildFeatures(a);
    InpaintBuildFeatures(b);
    std::mt19937 rng(7);
    int compared = 0;
    for (int k = 0; k < 20000; ++k) {
        const int ay = int(rng() % 37) - 3, ax = int(rng() % 46) - 3, by = int(rng() % 33) - 3, bx = int(rng() % 46) - 3;
        const int r = k % 5 == 0 ? 2 : 4;
        const int cutoff = k % 3 == 0 ? 65536 : int(rng() % 30000);
        ASSERT_EQ(InpaintPatchDistance(a, ay, ax, b, by, bx, r, cutoff),
                  InpaintPatchDistanceReference(a, ay, ax, b, by, bx, r, cutoff))
            << ay << "," << ax << " " << by << "," << bx << " r " << r << " cutoff " << cutoff;
        compared += InpaintPatchDistance(a, ay, ax, b, by, bx, r, 65536) < 65535;
    }
    EXPECT_GT(compared, 5000);
}

TEST(InpaintEngine, DownsampleAveragesKnownTapsOnly) {
    InpaintLevel l = MakeLevel(9, 7, 4, 0, true);
    for (size_t i = 0; i < l.unknown.size(); ++i) {
        l.image[i * 3] = 100, l.image[i * 3 + 1] = 50, l.image[i * 3 + 2] = 7;
    }
    // Unknown pixels carry colours that must not leak into the average.
    for (int y = 0; y < 7; ++y) l.unknown[l.Index(y, 0)] = 1, l.image[l.Index(y, 0) * 3] = 255;
    l.unknown[l.Index(2, 2)] = 1, l.unknown[l.Index(2, 3)] = 1;
    InpaintContext ctx(nullptr, 1, false);
    const InpaintLevel d = InpaintDownsample(l, ctx);
    ASSERT_EQ(d.width, 4);
    ASSERT_EQ(d.height, 3);
    for (size_t i = 0; i < d.unknown.size(); ++i) {
        EXPECT_EQ(d.unknown[i], 0);
        EXPECT_EQ(d.image[i * 3], 100);
        EXPECT_EQ(d.image[i * 3 + 2], 7);
    }
    EXPECT_EQ(d.allowed.size(), 12u);
    EXPECT_EQ(d.allowedList.size(), size_t(std::count(d.allowed.begin(), d.allowed.end(), 255)));

    // A weighted mean with integer division: a lone bright known tap among dark ones.
    InpaintLevel two = MakeLevel(2, 2, 0);
    std::fill(two.image.begin(), two.image.end(), 0);
    two.image[two.Index(1, 1) * 3] = 255;  // tap weight 10 * 10 of the total (5 + 10 + 10 + ... ) restricted to the image
    const InpaintLevel one = InpaintDownsample(two, ctx);
    ASSERT_EQ(one.width, 1);
    // Taps at rows/columns 0 and 1 carry weights 10 and 10 (offsets 2 and 3 of the kernel).
    EXPECT_EQ(one.image[0], 255 * 100 / 400);
    // Nothing known: 0 and unknown.
    std::fill(two.unknown.begin(), two.unknown.end(), 1);
    const InpaintLevel none = InpaintDownsample(two, ctx);
    EXPECT_EQ(none.unknown[0], 1);
    EXPECT_EQ(none.image[0], 0);
    EXPECT_TRUE(InpaintDownsample(MakeLevel(1, 8, 0), ctx).Empty());
}

TEST(InpaintEngine, UpscaleIsNearestNeighbourAndKeepsUnknown) {
    InpaintLevel l = MakeLevel(3, 2, 8, 0, true);
    l.unknown[l.Index(1, 2)] = 1;
    InpaintContext ctx(nullptr, 1, false);
    const InpaintLevel u = InpaintUpscale(l, 5, 7, ctx);
    ASSERT_EQ(u.width, 7);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 7; ++j) {
            const size_t s = l.Index(i * 2 / 5, j * 3 / 7), o = u.Index(i, j);
            EXPECT_EQ(u.unknown[o], l.unknown[s]);
            EXPECT_EQ(u.allowed[o], l.allowed[s]);
            EXPECT_EQ(u.image[o * 3 + 1], l.unknown[s] ? 0 : l.image[s * 3 + 1]);
        }
}

TEST(InpaintEngine, SeparableDownsampleMatchesTheTapLoop) {
    // The packed levels of the bounded fill against the 36-tap reference, with
    // unknown pixels, an allowed mask or none, and odd sizes.
    struct Case {
        int w, h;
        bool mask;
    };
    for (const Case c : {Case{37, 29, false}, Case{37, 29, true}, Case{300, 11, true}, Case{10, 10, false}}) {
        Fixture f = Texture(c.w, c.h, 13);
        std::mt19937 rng(2);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                if (rng() % 7 == 0) f.hole[size_t(y) * f.maskStride + x] = 200;
                if (rng() % 11 == 0) f.Px(x, y)[3] = 0;
                f.source[size_t(y) * f.maskStride + x] = rng() % 5 == 0 ? 255 : 0;
            }
        f.HoleRect(3, 4, 12, 9);  // a patch of nothing known
        InpaintBase base;
        base.pixels = f.pixels.data();
        base.pixelStride = f.stride;
        base.hole = f.hole.data();
        base.holeStride = f.maskStride;
        base.source = c.mask ? f.source.data() : nullptr;
        base.sourceStride = f.maskStride;
        base.width = c.w;
        base.height = c.h;
        InpaintLevel ref;
        ref.width = c.w;
        ref.height = c.h;
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                ref.image.insert(ref.image.end(), f.Px(x, y), f.Px(x, y) + 3);
                ref.unknown.push_back(base.Unknown(y, x) ? 1 : 0);
                if (c.mask) ref.allowed.push_back(base.Allowed(y, x) ? 255 : 0);
            }
        InpaintContext ctx(nullptr, 1, false);
        InpaintFeatureLevel packed = InpaintDownsampleBase(base, ctx);
        for (int level = 1; !packed.features.empty(); ++level) {
            ref = InpaintDownsample(ref, ctx);
            ASSERT_EQ(packed.width, ref.width);
            ASSERT_EQ(packed.height, ref.height);
            for (int y = 0; y < ref.height; ++y)
                for (int x = 0; x < ref.width; ++x) {
                    const uint8_t* p = packed.Px(y, x);
                    const size_t i = ref.Index(y, x);
                    ASSERT_EQ(std::memcmp(p, &ref.image[i * 3], 3), 0) << level << ": " << x << "," << y;
                    ASSERT_EQ(std::memcmp(p + 3, &ref.gradV[i * 3], 3), 0) << level << ": " << x << "," << y;
                    ASSERT_EQ(std::memcmp(p + 6, &ref.gradH[i * 3], 3), 0) << level << ": " << x << "," << y;
                    ASSERT_EQ(p[InpaintFeatureLevel::kUnknown], ref.unknown[i]);
                    ASSERT_EQ(p[InpaintFeatureLevel::kFlag], ref.features[i * 16 + 15]);
                    ASSERT_EQ(p[InpaintFeatureLevel::kAllowed], c.mask ? ref.allowed[i] : 255);
                }
            ASSERT_EQ(packed.AllowedCount(), int64_t(ref.allowedList.size()));
            for (size_t k = 0; k < ref.allowedList.size(); ++k) {
                const InpaintPoint p = packed.AllowedPixel(int64_t(k));
                ASSERT_TRUE(p.x == ref.allowedList[k].x && p.y == ref.allowedList[k].y) << level << ": " << k;
            }
            packed = InpaintDownsampleFeatures(packed, ctx);
        }
        EXPECT_TRUE(ref.width <= 1 || ref.height <= 1 || InpaintDownsample(ref, ctx).Empty());
    }
}

TEST(InpaintEngine, BandedVoteMatchesTheReferenceExactly) {
    // Random fields over levels with unknown pixels and an allowed mask, in both
    // modes, plain and doubled; the sums must be equal as doubles.
    for (const bool doubled : {false, true})
        for (const InpaintVoteMode mode : {kVoteTarget, kVoteSource}) {
            const InpaintLevel a = MakeLevel(150, 133, 1, 7), b = MakeLevel(150, 133, 2, 5);
            const InpaintLevel colour = doubled ? MakeLevel(301, 266, 3, 9, true) : MakeLevel(150, 133, 3, 9, true);
            InpaintContext ctx(nullptr, 1, true);
            NearestNeighborField field(&a, &b, ctx);
            field.InitRandom();
            std::mt19937 rng(4);
            for (int y = 0; y < field.Height(); ++y)
                for (int x = 0; x < field.Width(); ++x)
                    if (rng() % 3 == 0) field.At(y, x).dist = int32_t(rng() % 7000);
            InpaintAccumulator banded(colour.width, colour.height), reference(colour.width, colour.height);
            field.Vote(mode, banded, colour, doubled);
            field.VoteReference(mode, reference, colour, doubled);
            ASSERT_EQ(banded.sums, reference.sums) << "mode " << mode << " doubled " << doubled;
            EXPECT_GT(std::count_if(reference.sums.begin(), reference.sums.end(), [](double v) { return v > 0; }), 1000);
        }
}

}  // namespace
