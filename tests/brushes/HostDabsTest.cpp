#include "brushes/HostDabs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

// A w x h destination of one colour, a full mask and (optionally) an n x n
// source patch, wired into a request.
struct Dab {
    std::vector<uint8_t> dst, mask, src;
    HostDabRequest req;
    Dab(int w, int h, uint32_t argb, int n = 0, uint32_t srcArgb = 0) {
        dst.resize(size_t(w) * h * 4);
        for (size_t i = 0; i < size_t(w) * h; ++i) std::memcpy(&dst[i * 4], &argb, 4);
        mask.assign(size_t(w) * h, 255);
        req.destination = dst.data();
        req.width = w;
        req.height = h;
        req.mask = mask.data();
        req.strength = 1.0f;
        if (n > 0) {
            src.resize(size_t(n) * n * 4);
            for (size_t i = 0; i < size_t(n) * n; ++i) std::memcpy(&src[i * 4], &srcArgb, 4);
            req.source = src.data();
            req.sourceStride = n;
        }
    }
    uint8_t* Px(int x, int y) { return &dst[(size_t(y) * req.width + x) * 4]; }
};

}  // namespace

TEST(HostDabs, RecolorKeepsLightnessAndAlpha) {
    Dab d(6, 6, 0x80FF2020);  // half-transparent saturated red
    d.req.colour = 0xFF808080;  // grey: neutral chroma
    d.mask[0] = 0;
    RecolorDab(d.req);
    const uint8_t* p = d.Px(3, 3);
    EXPECT_LE(std::abs(p[0] - p[2]), 3);  // desaturated
    EXPECT_LE(std::abs(p[1] - p[2]), 3);
    EXPECT_EQ(p[3], 0x80);
    EXPECT_EQ(d.Px(0, 0)[2], 0xFF);  // unmasked pixel untouched
}

TEST(HostDabs, HealingTakesSourceDetailOnDestinationTone) {
    const int n = 24;
    // Source: grey 100 with a dark 4 x 4 dot; destination: flat 200.
    Dab d(n, n, 0xFFC8C8C8, n, 0xFF646464);
    for (int y = 10; y < 14; ++y)
        for (int x = 10; x < 14; ++x) std::memcpy(&d.src[(size_t(y) * n + x) * 4], "\x14\x14\x14\xff", 4);
    // Round mask.
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            d.mask[size_t(y) * n + x] = ((x - 11.5) * (x - 11.5) + (y - 11.5) * (y - 11.5) < 100) ? 255 : 0;
    HealCloneDab(d.req);
    EXPECT_LT(d.Px(11, 11)[0], 170);            // the dot came across
    EXPECT_NEAR(d.Px(4, 11)[0], 200, 12);       // the tone stayed the destination's
    EXPECT_EQ(d.Px(0, 0)[0], 200);              // outside the mask nothing changes
    EXPECT_EQ(d.Px(11, 11)[3], 255);

    // Cut at the canvas edge: the mask touches the rectangle's border, which
    // the solver refuses unless padded; the dab must still heal.
    Dab edge(10, n, 0xFFC8C8C8, n, 0xFF141414);
    edge.req.sourceOffsetX = n - 10;
    HealCloneDab(edge.req);
    EXPECT_LT(edge.Px(5, 12)[0], 200);
    // Missing source: no-op.
    Dab none(4, 4, 0xFFC8C8C8);
    HealCloneDab(none.req);
    EXPECT_EQ(none.Px(1, 1)[0], 200);
}

TEST(HostDabs, StencilImprintModes) {
    StencilImprintInput st;
    st.placedBitmap = Bitmap::Create(8, 8);
    st.placedBitmap->Clear(0xFFFFFFFF);  // white, opaque
    st.placedOriginX = 0;
    st.placedOriginY = 0;

    {  // Blend mode Normal at full strength paints the stencil colour.
        Dab d(4, 4, 0xFF000000);
        d.req.originX = 2, d.req.originY = 2;
        StencilImprintDab(d.req, st);
        EXPECT_EQ(d.Px(1, 1)[0], 255);
    }
    {  // Transparent stencil or outside the stencil: unchanged.
        StencilImprintInput clear = st;
        clear.placedBitmap = Bitmap::Create(8, 8);
        Dab d(4, 4, 0xFF000000);
        StencilImprintDab(d.req, clear);
        EXPECT_EQ(d.Px(1, 1)[0], 0);
        Dab far(4, 4, 0xFF000000);
        far.req.originX = 100;
        StencilImprintDab(far.req, st);
        EXPECT_EQ(far.Px(1, 1)[0], 0);
    }
    {  // Erase mode: white restores alpha, unless lock transparency holds it.
        StencilImprintInput erase = st;
        erase.eraseMode = true;
        Dab d(4, 4, 0x80000000);
        d.req.originX = 2, d.req.originY = 2;
        StencilImprintDab(d.req, erase);
        EXPECT_EQ(d.Px(1, 1)[3], 255);
        erase.lockTransparency = true;
        Dab locked(4, 4, 0x80000000);
        locked.req.originX = 2, locked.req.originY = 2;
        StencilImprintDab(locked.req, erase);
        EXPECT_EQ(locked.Px(1, 1)[3], 0x80);
    }
    {  // Detail transfer with a flat stencil: the painting becomes its own low-pass.
        StencilImprintInput detail = st;
        detail.detailTransfer = true;
        detail.detailRadius = 2;
        detail.detailPixels.assign(8 * 8 * 4, 0xFF);
        Dab d(6, 6, 0xFF000000);
        std::memcpy(d.Px(3, 3), "\xff\xff\xff\xff", 4);  // one bright pixel
        StencilImprintDab(d.req, detail);
        EXPECT_LT(d.Px(3, 3)[0], 255);
        EXPECT_GT(d.Px(2, 3)[0], 0);
    }
}

TEST(HostDabs, BilinearSampleEdges) {
    const uint8_t px[4] = {10, 20, 30, 40};
    float s[4];
    SampleBilinearRgba(px, 4, 1, 1, 0, 0, s);
    EXPECT_EQ(s[3], 40.0f);
    SampleBilinearRgba(px, 4, 1, 1, -0.5f, 0, s);
    EXPECT_EQ(s[3], 20.0f);  // half the weight falls outside
    SampleBilinearRgba(px, 4, 1, 1, -1.5f, 0, s);
    EXPECT_EQ(s[3], 0.0f);
    SampleBilinearRgba(px, 4, 1, 1, 1.0f, 0, s);
    EXPECT_EQ(s[3], 0.0f);
}
