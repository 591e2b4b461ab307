#include "brushes/BrushEngine.h"
#include "scene/SelectionMask.h"

#include "BrushTestViews.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

constexpr uint32_t kRedWord = 0xFF0000FF;  // colour word: R in the lowest byte

BrushSettings Hard(float size, float opacity = 1.0f, float flow = 1.0f) {
    BrushSettings s;
    s.size = size;
    s.opacity = opacity;
    s.flow = flow;
    s.hardness = 1.0f;
    return s;
}

// Counts host dabs and where they landed.
struct DabCounter {
    std::vector<std::pair<int, int>> origins;
    HostDabCallback Callback() {
        return [this](const HostDabRequest& r) { origins.emplace_back(r.originX, r.originY); };
    }
};

}  // namespace

TEST(DabRenderer, CompositeAndEraseFormulas) {
    // Opaque red at full coverage over anything gives opaque red.
    uint8_t b = 10, g = 20, r = 30, a = 40;
    DabRenderer::CompositeStraight(b, g, r, a, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(a, 255);
    // Half coverage over transparent: colour of the source, alpha half.
    b = g = r = a = 0;
    DabRenderer::CompositeStraight(b, g, r, a, 0.0f, 1.0f, 0.0f, 0.5f, 1.0f);
    EXPECT_EQ(g, 255);
    EXPECT_EQ(a, 128);
    // Below the thresholds nothing changes.
    b = g = r = a = 7;
    DabRenderer::CompositeStraight(b, g, r, a, 1, 1, 1, 1.0f, 0.0009f);
    DabRenderer::CompositeStraight(b, g, r, a, 1, 1, 1, 0.03f, 0.03f);
    EXPECT_EQ(a, 7);
    EXPECT_EQ(r, 7);

    // Erase with strength 1 and tip 1: alpha 0, colour bytes kept.
    BufferView view(4, 4, 0xFF123456);
    DabRenderer dab;
    std::vector<float> tip(16, 1.0f);
    dab.StampEraseDab(view, 2, 2, tip.data(), 4, 1.0f);
    EXPECT_EQ(view.At(1, 1), 0x00123456u);
    EXPECT_EQ(PackArgb(1.0f, 0.5f, 0.0f, 2.0f), 0xFFFF8000u);
}

TEST(DabRenderer, DabPlacementAndClipping) {
    DabRenderer dab;
    std::vector<float> tip(9);
    for (int i = 0; i < 9; ++i) tip[i] = float(i + 1) / 9.0f;
    {
        // Far off the canvas: nothing is read or written.
        BufferView view(8, 8);
        dab.StampPaintDab(view, -20, 4, kRedWord, tip.data(), 3, 1.0f, false);
        dab.StampPaintDab(view, 4, 1e20f, kRedWord, tip.data(), 3, 1.0f, false);
        dab.StampPaintDab(view, NAN, 4, kRedWord, tip.data(), 3, 1.0f, false);
        EXPECT_EQ(view.writes, 0);
    }
    {
        // At the corner only the overlapping pixel changes, with the tip value
        // of its place: left = round(0 - 1.5) = -2, so canvas (0, 0) is tip (2, 2).
        BufferView view(8, 8);
        dab.StampPaintDab(view, 0, 0, kRedWord, tip.data(), 3, 1.0f, false);
        EXPECT_EQ(view.Changed(0), 1);
        EXPECT_EQ(view.Alpha(0, 0), 255);  // tip 1.0 at full coverage
    }
    {
        BufferView view(8, 8);
        dab.StampPaintDab(view, 1, 0, kRedWord, tip.data(), 3, 1.0f, false);
        EXPECT_EQ(view.Changed(0), 2);
        EXPECT_EQ(view.Alpha(0, 0), uint8_t(8.0f / 9.0f * 255 + 0.5f));
    }
}

TEST(DabRenderer, SpacingAlongSegments) {
    // Round 20 px tip, hardness 0.8, spacing 0.25: a step of 20 x 0.25 x 0.9.
    BrushSettings s = Hard(20);
    s.hardness = 0.8f;
    EXPECT_NEAR(std::max(s.size * SpacingFactor(s), 0.5f), 4.5f, 1e-5f);
    s.tipKind = kBrushTipBitmap;
    EXPECT_NEAR(s.size * SpacingFactor(s), 5.0f, 1e-5f);

    BufferView view(200, 50);
    DabRenderer dab;
    DabCounter counter;
    BrushStrokeState state;
    state.Reset();
    BrushSettings host = Hard(20);
    host.spacing = 0.25f;  // hardness 1: factor 1, step 5
    dab.HostSegment(view, 10, 25, 60, 25, 0, 0, state, host, nullptr, false, 0, 0, counter.Callback(), false, 0);
    EXPECT_EQ(counter.origins.size(), 11u);  // d = 0, 5, ..., 50
    EXPECT_NEAR(state.nextDabDistance, 5.0f, 1e-4f);
    // The leftover distance carries into the next piece.
    state.nextDabDistance = 3.0f;
    counter.origins.clear();
    dab.HostSegment(view, 10, 25, 20, 25, 0, 0, state, host, nullptr, false, 0, 0, counter.Callback(), false, 0);
    EXPECT_EQ(counter.origins.size(), 2u);  // d = 3, 8
    EXPECT_NEAR(state.nextDabDistance, 3.0f, 1e-4f);
    // A piece shorter than 0.0001 px stamps nothing and keeps the distance.
    counter.origins.clear();
    dab.HostSegment(view, 10, 25, 10.00005f, 25, 0, 0, state, host, nullptr, false, 0, 0, counter.Callback(),
                    false, 0);
    EXPECT_TRUE(counter.origins.empty());
    EXPECT_NEAR(state.nextDabDistance, 3.0f, 1e-4f);
    // A piece far outside the canvas costs no dabs but keeps the rhythm.
    state.nextDabDistance = 0.0f;
    dab.HostSegment(view, -1e7f, -500, 1e7f, -500, 0, 0, state, host, nullptr, false, 0, 0, counter.Callback(),
                    false, 0);
    EXPECT_TRUE(counter.origins.empty());
    EXPECT_GE(state.nextDabDistance, 0.0f);
    EXPECT_LE(state.nextDabDistance, 5.0f + 1e-3f);
}

TEST(DabRenderer, JittersStayInRange) {
    BrushStrokeState state;
    state.Reset();
    BrushSettings s;
    s.hueJitter = 1.0f;
    s.brightnessJitter = 0.0f;
    for (int i = 0; i < 50; ++i) {
        // Grey has no hue to turn and, without saturation jitter, stays grey.
        const uint32_t c = DabRenderer::JitterColor(0x80808080u, s, state);
        EXPECT_EQ(c, 0x80808080u);
    }
    // Opacity jitter 1: alpha within (0, a0]; size jitter 1: never below 1 px.
    BufferView view(64, 64);
    DabRenderer dab;
    BrushSettings j = Hard(16);
    j.opacityJitter = 1.0f;
    j.sizeJitter = 1.0f;
    dab.PaintSegment(view, 5, 32, 60, 32, kRedWord, state, j);
    EXPECT_GT(view.MaxAlpha(), 0);
}

TEST(BrushEngine, ClickStampsOneDabAndPathThinning) {
    BufferView view(100, 100);
    DabRenderer dab;
    BrushEngine engine;
    engine.Init(&dab, &view);
    DabCounter counter;
    engine.kind = kBrushKindHost;
    engine.SetHostDabCallback(counter.Callback(), false);
    engine.BeginStroke(50, 50, kRedWord, Hard(10), 1.0f);
    EXPECT_EQ(counter.origins.size(), 1u);
    // Moves closer than 2 px to the last accepted point are ignored.
    EXPECT_FALSE(engine.StrokeTo(51, 50.5f, kRedWord, Hard(10), 1.0f).valid);
    engine.EndStroke();
    EXPECT_EQ(counter.origins.size(), 1u);
    EXPECT_FALSE(engine.StrokeActive());
    // Idle calls do nothing.
    EXPECT_FALSE(engine.StrokeTo(80, 80, kRedWord, Hard(10), 1.0f).valid);

    // A 10 px piece between accepted points is sampled at five sub-points,
    // emitted when the next point arrives (the curve lags one point).
    StrokePath path;
    path.Reset(0, 0, 1);
    EXPECT_TRUE(path.Add(10, 0, 1).empty());
    const std::vector<StrokePoint> piece = path.Add(20, 0, 1);
    ASSERT_EQ(piece.size(), 5u);
    EXPECT_NEAR(piece[0].x, 1.36f, 1e-4f);  // the first piece starts with a doubled end point
    EXPECT_NEAR(piece[4].x, 10.0f, 1e-4f);
    const std::vector<StrokePoint> last = path.Finish();
    ASSERT_EQ(last.size(), 5u);
    EXPECT_NEAR(last.back().x, 20.0f, 1e-4f);
    EXPECT_TRUE(path.points.empty());
}

TEST(BrushEngine, TranslucentStrokeNeverBuildsUpPastItsOpacity) {
    struct Case {
        float opacity;
        bool erase, mask;
        bool capped;  // coverage stays at the opacity
    };
    const Case cases[] = {
        {0.5f, false, false, true},
        {0.999f, false, false, false},
        {0.5f, false, true, false},  // a mask target paints directly
    };
    for (const Case& c : cases) {
        BufferView view(120, 60);
        DabRenderer dab;
        BrushEngine engine;
        engine.Init(&dab, &view);
        engine.maskTarget = c.mask;
        BrushSettings s = Hard(12, c.opacity, 1.0f);
        s.spacing = 0.05f;
        engine.BeginStroke(10, 30, kRedWord, s, 1.0f);
        for (int x = 12; x <= 100; x += 3) engine.StrokeTo(float(x), 30, kRedWord, s, 1.0f);
        engine.EndStroke();
        const int peak = view.Alpha(55, 30);
        if (c.capped) EXPECT_LE(peak, 128) << c.opacity;
        else EXPECT_GT(peak, 200) << c.opacity << " mask " << c.mask;
    }
}

TEST(BrushEngine, SecondBeginCommitsTheOpenTranslucentStroke) {
    BufferView view(60, 60);
    DabRenderer dab;
    BrushEngine engine;
    engine.Init(&dab, &view);
    const BrushSettings s = Hard(10, 0.5f);
    engine.BeginStroke(15, 15, kRedWord, s, 1.0f);
    ASSERT_NE(engine.Scratch(), nullptr);
    engine.BeginStroke(45, 45, kRedWord, s, 1.0f);
    EXPECT_GT(view.Alpha(15, 15), 100);  // the first stroke's dab reached the target
    engine.EndStroke();
    EXPECT_GT(view.Alpha(45, 45), 100);
}

TEST(BrushEngine, DirtyRectCoversScatteredDabs) {
    BufferView view(400, 400);
    DabRenderer dab;
    BrushEngine engine;
    engine.Init(&dab, &view);
    BrushSettings s = Hard(20);
    s.scatter = 2.0f;  // up to 20 px off the path
    engine.BeginStroke(100, 200, kRedWord, s, 1.0f);
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    auto grow = [&](const DirtyRect& r) {
        if (!r.valid) return;
        left = std::min(left, r.x), top = std::min(top, r.y);
        right = std::max(right, r.x + r.width), bottom = std::max(bottom, r.y + r.height);
    };
    for (int x = 104; x <= 300; x += 4) grow(engine.StrokeTo(float(x), 200, kRedWord, s, 1.0f));
    grow(engine.EndStroke());
    // Every pixel the stroke changed (beyond the first dab) lies inside.
    for (int y = 0; y < 400; ++y)
        for (int x = 115; x < 400; ++x)
            if (view.Alpha(x, y)) {
                ASSERT_GE(x, left);
                ASSERT_LT(x, right);
                ASSERT_GE(y, top);
                ASSERT_LT(y, bottom);
            }
}

TEST(BrushEngine, SelectionClipsOnlyANonEmptySelection) {
    for (bool empty : {true, false}) {
        BufferView view(40, 40);
        SelectionMask mask(40, 40);
        if (!empty) {
            const std::vector<uint8_t> left(20 * 40, 255);
            mask.WriteRect(0, 0, 20, 40, left.data());
        }
        DabRenderer dab;
        BrushEngine engine;
        engine.Init(&dab, &view);
        engine.selection = &mask;
        engine.BeginStroke(20, 20, kRedWord, Hard(30), 1.0f);
        engine.EndStroke();
        EXPECT_EQ(view.Alpha(30, 20) != 0, empty);
        EXPECT_NE(view.Alpha(10, 20), 0);
    }
}

TEST(BrushEngine, CloneNeedsSourceAndKeepsAlignedOffset) {
    BufferView view(100, 40);
    for (int x = 0; x < 20; ++x)
        for (int y = 0; y < 40; ++y) view.pixels[size_t(y) * 100 + x] = 0xFF00FF00;  // green strip on the left
    DabRenderer dab;
    BrushEngine engine;
    engine.Init(&dab, &view);
    engine.kind = kBrushKindClone;
    engine.allLayers = false;
    engine.BeginStroke(70, 20, kRedWord, Hard(6), 1.0f);
    engine.EndStroke();
    EXPECT_EQ(view.At(70, 20), 0u);  // no source, nothing painted

    engine.SetCloneSource(10, 20);
    engine.BeginStroke(70, 20, kRedWord, Hard(6), 1.0f);
    engine.EndStroke();
    EXPECT_EQ(view.At(70, 20), 0xFF00FF00u);
    EXPECT_TRUE(engine.cloneOffsetValid);
    EXPECT_EQ(engine.cloneOffsetX, 60.0f);
    // Aligned: a later stroke keeps the offset (samples x - 60 = 30: empty).
    engine.BeginStroke(90, 20, kRedWord, Hard(6), 1.0f);
    engine.EndStroke();
    EXPECT_EQ(view.At(90, 20), 0u);
    // Not aligned: every stroke starts at the source again.
    engine.aligned = false;
    engine.BeginStroke(90, 20, kRedWord, Hard(6), 1.0f);
    engine.EndStroke();
    EXPECT_EQ(view.At(90, 20), 0xFF00FF00u);
    EXPECT_FALSE(engine.cloneOffsetValid);
}

TEST(BrushEngine, SmudgeDabsEveryPixelAndMixerWithoutWetDeposits) {
    {
        BufferView view(100, 20);
        DabRenderer dab;
        BrushEngine engine;
        engine.Init(&dab, &view);
        engine.kind = kBrushKindSmudge;
        BrushSettings s = Hard(4);
        s.spacing = 2.0f;
        engine.BeginStroke(10, 10, kRedWord, s, 1.0f);
        const int before = view.writes;
        engine.StrokeTo(20, 10, kRedWord, s, 1.0f);
        engine.StrokeTo(30, 10, kRedWord, s, 1.0f);
        engine.EndStroke();
        EXPECT_GE(view.writes - before, 19);  // one dab per pixel over about 20 px
    }
    {
        // Wet 0: the reservoir never picks the canvas up; it deposits the
        // loaded colour at alpha x tip x flow.
        BufferView view(40, 40, 0xFF0000FF);  // opaque blue canvas
        DabRenderer dab;
        BrushEngine engine;
        engine.Init(&dab, &view);
        engine.kind = kBrushKindMixer;
        engine.wetParams.wet = 0.0f;
        engine.BeginStroke(20, 20, kRedWord, Hard(8, 1.0f, 1.0f), 1.0f);
        engine.EndStroke();
        EXPECT_EQ(view.At(20, 20), 0xFFFF0000u);  // red, as ARGB
    }
}

TEST(DabRenderer, FourPixelBlendEqualsOnePixelForm) {
    // Paint and clone dabs over every alignment, odd sizes, transparent,
    // opaque and random destinations and tips with zeros: the vector path
    // must give exactly the bytes of the one-pixel form.
    std::mt19937 random(5);
    auto word = [&](int mode) -> uint32_t {
        const uint32_t rgb = random() & 0xFFFFFF;
        if (mode == 0) return rgb;  // alpha 0
        if (mode == 1) return 0xFF000000u | rgb;
        return (random() << 24) | rgb;
    };
    for (int mode = 0; mode < 3; ++mode)
        for (int n : {1, 5, 7, 13}) {
            std::vector<float> tip(size_t(n) * n);
            for (float& t : tip) t = (random() % 4 == 0) ? 0.0f : float(random() % 1001) / 1000.0f;
            for (int offset = 0; offset < 4; ++offset) {
                BufferView fast(24, 24), reference(24, 24);
                for (size_t i = 0; i < fast.pixels.size(); ++i) fast.pixels[i] = reference.pixels[i] = word(mode);
                const uint32_t colour = word(2);
                const float x = 6.0f + offset + 0.3f, y = 8.0f;
                DabRenderer a, b;
                DabRenderer::vectorDabs = true;
                a.StampPaintDab(fast, x, y, colour, tip.data(), n, 0.8f, false);
                DabRenderer::vectorDabs = false;
                b.StampPaintDab(reference, x, y, colour, tip.data(), n, 0.8f, false);
                ASSERT_EQ(fast.pixels, reference.pixels) << "paint mode " << mode << " n " << n << " offset " << offset;

                BrushSettings s = Hard(float(n));
                s.opacity = 0.7f;
                DabRenderer::vectorDabs = true;
                a.StampCloneDab(fast, x, y, 3.0f, 15.0f, s, nullptr);
                DabRenderer::vectorDabs = false;
                b.StampCloneDab(reference, x, y, 3.0f, 15.0f, s, nullptr);
                DabRenderer::vectorDabs = true;
                ASSERT_EQ(fast.pixels, reference.pixels) << "clone mode " << mode << " n " << n << " offset " << offset;
            }
        }
}
