// The dab renderer: places dabs along path pieces at the brush spacing and
// stamps paint, erase, mixer, smudge, clone and host dabs into a write view.
// Every dab reads the pixels under its clipped square, blends them in memory
// and writes them back with one WriteRect. Pixels are 0xAARRGGBB words with
// straight alpha; floats become bytes as clamp(v, 0, 1) x 255 + 0.5.
#include "brushes/DabRenderer.h"

#include "scene/CanvasWriteViews.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

inline float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }
inline uint8_t ToByte(float v) { return uint8_t(Clamp01(v) * 255.0f + 0.5f); }
inline float Channel(uint32_t argb, int shift) { return float((argb >> shift) & 0xFF) * (1.0f / 255.0f); }

// Dab centres farther than this from the canvas are treated as off the canvas
// outright (keeps the integer conversions of the dab square defined).
constexpr float kFarAway = 1.0e8f;

}  // namespace

uint32_t PackArgb(float r, float g, float b, float a) {
    return (uint32_t(ToByte(a)) << 24) | (uint32_t(ToByte(r)) << 16) | (uint32_t(ToByte(g)) << 8) |
           uint32_t(ToByte(b));
}

float SpacingFactor(const BrushSettings& s) {
    if (s.tipKind == kBrushTipBitmap || s.tipKind == kBrushTipTextured) return s.spacing;
    return s.spacing * std::min(std::max(s.hardness + 0.1f, 0.4f), 1.0f);
}

void BrushStrokeState::Reset() {
    nextDabDistance = 0.0f;
    angleAccumulator = 0.0f;
    std::random_device device;
    random.seed(device());
}

bool DabRenderer::ClipDab(const ICanvasWriteView& view, float x, float y, int n, DabRect& rect) {
    if (!(std::fabs(x) < kFarAway && std::fabs(y) < kFarAway) || n < 1) return false;
    rect.left = int(std::lround(x - float(n) * 0.5f));
    rect.top = int(std::lround(y - float(n) * 0.5f));
    rect.x0 = std::max(rect.left, 0);
    rect.y0 = std::max(rect.top, 0);
    rect.x1 = int(std::min<int64_t>(int64_t(rect.left) + n, view.Width()));
    rect.y1 = int(std::min<int64_t>(int64_t(rect.top) + n, view.Height()));
    return rect.x1 > rect.x0 && rect.y1 > rect.y0;
}

uint32_t* DabRenderer::ReadDestination(ICanvasWriteView& view, const DabRect& r) {
    const size_t count = size_t(r.Width()) * size_t(r.Height());
    if (destination_.size() < count) destination_.resize(count);
    std::fill_n(destination_.data(), count, 0u);
    view.ReadRect(r.x0, r.y0, r.Width(), r.Height(), destination_.data());
    return destination_.data();
}

void DabRenderer::WriteDestination(ICanvasWriteView& view, const DabRect& r) {
    view.WriteRect(r.x0, r.y0, r.Width(), r.Height(), destination_.data());
}

void DabRenderer::CompositeStraight(uint8_t& b, uint8_t& g, uint8_t& r, uint8_t& a, float sr, float sg, float sb,
                                    float coverage, float alpha) {
    if (alpha <= 0.001f) return;
    const float l = coverage * alpha;
    if (l <= 0.001f) return;
    const float ad = a * (1.0f / 255.0f);
    const float ao = l + ad * (1.0f - l);
    const float keep = ad * (1.0f - l);
    if (ao > 0.0001f) {
        const float inv = 1.0f / ao;
        b = ToByte((b * (1.0f / 255.0f) * keep + sb * l) * inv);
        g = ToByte((g * (1.0f / 255.0f) * keep + sg * l) * inv);
        r = ToByte((r * (1.0f / 255.0f) * keep + sr * l) * inv);
    } else {
        b = ToByte(sb);
        g = ToByte(sg);
        r = ToByte(sr);
    }
    a = ToByte(ao);
}

namespace {
// CompositeStraight on a 0xAARRGGBB word.
inline void CompositeWord(uint32_t& px, float sr, float sg, float sb, float coverage, float alpha) {
    uint8_t b = px & 0xFF, g = (px >> 8) & 0xFF, r = (px >> 16) & 0xFF, a = px >> 24;
    DabRenderer::CompositeStraight(b, g, r, a, sr, sg, sb, coverage, alpha);
    px = (uint32_t(a) << 24) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
}

// Four pixels of CompositeStraight at once (SSE2 is the x86-64 baseline):
// the same operations in the same order, lane by lane, and the same
// thresholds as masks, so the bytes equal the one-pixel form exactly.
typedef float V4 __attribute__((vector_size(16)));
typedef int32_t I4 __attribute__((vector_size(16)));

inline V4 Splat(float f) { return V4{f, f, f, f}; }
inline V4 Channel4(const uint32_t* p, int shift) {
    return V4{float((p[0] >> shift) & 0xFF), float((p[1] >> shift) & 0xFF), float((p[2] >> shift) & 0xFF),
              float((p[3] >> shift) & 0xFF)};
}
inline I4 Byte4(V4 v) {
    v = v < Splat(0.0f) ? Splat(0.0f) : v;
    v = v > Splat(1.0f) ? Splat(1.0f) : v;
    return __builtin_convertvector(v * Splat(255.0f) + Splat(0.5f), I4);
}

// Source colour per lane (sr, sg, sb), coverage and alpha per lane.
inline void CompositeWords4(uint32_t* px, V4 sr, V4 sg, V4 sb, V4 coverage, V4 alpha) {
    const V4 l = coverage * alpha;
    const I4 apply = (alpha > Splat(0.001f)) & (l > Splat(0.001f));
    if (!(apply[0] | apply[1] | apply[2] | apply[3])) return;
    const V4 ad = Channel4(px, 24) * Splat(1.0f / 255.0f);
    const V4 ao = l + ad * (Splat(1.0f) - l);
    const V4 keep = ad * (Splat(1.0f) - l);
    const I4 solid = ao > Splat(0.0001f);
    const V4 inv = Splat(1.0f) / (solid ? ao : Splat(1.0f));
    const V4 b = solid ? (Channel4(px, 0) * Splat(1.0f / 255.0f) * keep + sb * l) * inv : sb;
    const V4 g = solid ? (Channel4(px, 8) * Splat(1.0f / 255.0f) * keep + sg * l) * inv : sg;
    const V4 r = solid ? (Channel4(px, 16) * Splat(1.0f / 255.0f) * keep + sr * l) * inv : sr;
    const I4 B = Byte4(b), G = Byte4(g), R = Byte4(r), A = Byte4(ao);
    for (int k = 0; k < 4; ++k)
        if (apply[k]) px[k] = (uint32_t(A[k]) << 24) | (uint32_t(R[k]) << 16) | (uint32_t(G[k]) << 8) | uint32_t(B[k]);
}
}  // namespace

namespace {
// Calls visit(tip index, canvas pixel, tip value) for every pixel of the
// clipped dab square whose tip value is above 0.001 (mixer and smudge dabs).
template <typename Visit>
void ForEachCoveredPixel(const std::vector<float>& tip, int n, int left, int top, int x0, int y0, int x1, int y1,
                         uint32_t* pixels, Visit&& visit) {
    const int w = x1 - x0;
    for (int py = y0; py < y1; ++py)
        for (int px = x0; px < x1; ++px) {
            const size_t ti = size_t(py - top) * n + (px - left);
            const float t = tip[ti];
            if (t > 0.001f) visit(ti, pixels[size_t(py - y0) * w + (px - x0)], t);
        }
}
}  // namespace

bool DabRenderer::vectorDabs = true;

template <typename Dab>
void DabRenderer::WalkSegment(float x0, float y0, float x1, float y1, BrushStrokeState& state,
                              const BrushSettings& settings, float baseStep, float scatterHalf, float reach,
                              int viewWidth, int viewHeight, Dab&& dab) {
    const float dx = x1 - x0, dy = y1 - y0;
    const float len = std::sqrt(dx * dx + dy * dy);
    if (!(len > 0.0001f) || !std::isfinite(len)) return;
    float d = std::max(state.nextDabDistance, 0.0f);
    baseStep = std::max(baseStep, 0.5f);

    // Dabs whose squares cannot reach the canvas change nothing: jump over
    // the parts of the piece outside the canvas grown by the dab's reach, so
    // a long piece far off the canvas costs no time.
    const float grow = reach + settings.scatter * scatterHalf + 2.0f;
    float tEnter = 0.0f, tLeave = len;
    {
        float lo = 0.0f, hi = 1.0f;
        auto clip = [&](float p, float q) {  // p t <= q
            if (p == 0.0f) return q >= 0.0f;
            const float t = q / p;
            if (p < 0.0f) lo = std::max(lo, t);
            else hi = std::min(hi, t);
            return true;
        };
        const bool inside = clip(-dx, x0 + grow) && clip(dx, float(viewWidth) + grow - x0) &&
                            clip(-dy, y0 + grow) && clip(dy, float(viewHeight) + grow - y0) && lo <= hi;
        if (inside) {
            tEnter = lo * len;
            tLeave = hi * len;
        } else {
            tEnter = tLeave = len + 1.0f;
        }
    }
    auto skipTo = [&](float target) {
        if (d < target) d += std::ceil((target - d) / baseStep) * baseStep;
    };
    if (tEnter > len) {
        skipTo(len + 1e-3f);
        if (d <= len) d += baseStep;
        state.nextDabDistance = d - len;
        return;
    }
    skipTo(tEnter);

    while (d <= len) {
        if (d > tLeave) {
            skipTo(len + 1e-3f);
            if (d <= len) d += baseStep;
            break;
        }
        float cx = x0 + (d / len) * dx, cy = y0 + (d / len) * dy;
        if (settings.scatter > 0.0f) {
            const float r1 = state.NextRandom(), r2 = state.NextRandom();
            cx += (2.0f * r1 - 1.0f) * settings.scatter * scatterHalf;
            cy += (2.0f * r2 - 1.0f) * settings.scatter * scatterHalf;
        }
        dab(cx, cy);
        if (settings.spacingJitter > 0.0f) {
            const float r = state.NextRandom();
            d += std::max(((2.0f * r - 1.0f) * settings.spacingJitter + 1.0f) * baseStep, 0.5f);
        } else {
            d += baseStep;
        }
    }
    state.nextDabDistance = d - len;
}

// --- Paint and erase ---

uint32_t DabRenderer::JitterColor(uint32_t colour, const BrushSettings& s, BrushStrokeState& state) {
    const float R = (colour & 0xFF) / 255.0f, G = ((colour >> 8) & 0xFF) / 255.0f,
                B = ((colour >> 16) & 0xFF) / 255.0f;
    const float V = std::max({R, G, B});
    const float K = V - std::min({R, G, B});
    float H = 0.0f;
    if (K >= 0.0001f) {
        if (V == R) H = 60.0f * std::fmod((G - B) / K, 6.0f);
        else if (V == G) H = 60.0f * ((B - R) / K + 2.0f);
        else H = 60.0f * ((R - G) / K + 4.0f);
        if (H < 0.0f) H += 360.0f;
    }
    const float S = V > 0.0001f ? K / V : 0.0f;
    const float r1 = state.NextRandom(), r2 = state.NextRandom(), r3 = state.NextRandom();
    const float S2 = Clamp01(S + (2.0f * r2 - 1.0f) * s.saturationJitter);
    const float V2 = Clamp01(V + (2.0f * r3 - 1.0f) * s.brightnessJitter);
    float r, g, b;
    if (S2 < 0.0001f) {
        r = g = b = V2;
    } else {
        float H2 = std::fmod(std::fmod(H + (2.0f * r1 - 1.0f) * s.hueJitter * 180.0f + 360.0f, 360.0f), 360.0f);
        if (H2 < 0.0f) H2 += 360.0f;
        const float C = V2 * S2;
        const float hp = H2 / 60.0f;
        const float X = C * (1.0f - std::fabs(std::fmod(hp, 2.0f) - 1.0f));
        const float m = V2 - C;
        float r0 = 0, g0 = 0, b0 = 0;
        switch (std::min(int(hp), 5)) {
        case 0: r0 = C, g0 = X; break;
        case 1: r0 = X, g0 = C; break;
        case 2: g0 = C, b0 = X; break;
        case 3: g0 = X, b0 = C; break;
        case 4: r0 = X, b0 = C; break;
        default: r0 = C, b0 = X; break;
        }
        r = r0 + m, g = g0 + m, b = b0 + m;
    }
    return (colour & 0xFF000000u) | (uint32_t(ToByte(b)) << 16) | (uint32_t(ToByte(g)) << 8) | ToByte(r);
}

void DabRenderer::StampEraseDab(ICanvasWriteView& view, float x, float y, const float* tip, int n, float strength) {
    DabRect r;
    if (!tip || !ClipDab(view, x, y, n, r)) return;
    uint32_t* d = ReadDestination(view, r);
    const int w = r.Width();
    for (int py = r.y0; py < r.y1; ++py) {
        const float* trow = tip + size_t(py - r.top) * n - r.left;
        uint32_t* drow = d + size_t(py - r.y0) * w - r.x0;
        for (int px = r.x0; px < r.x1; ++px) {
            const float t = trow[px];
            if (t <= 0.0f) continue;
            const uint32_t p = drow[px];
            const float a = Clamp01(Channel(p, 24) * (1.0f - t * strength));
            drow[px] = (p & 0x00FFFFFFu) | (uint32_t(ToByte(a)) << 24);
        }
    }
    WriteDestination(view, r);
}

void DabRenderer::StampPaintDab(ICanvasWriteView& view, float x, float y, uint32_t colour, const float* tip, int n,
                                float alpha, bool erase) {
    if (erase) {
        StampEraseDab(view, x, y, tip, n, alpha);
        return;
    }
    DabRect r;
    if (!tip || !ClipDab(view, x, y, n, r)) return;
    const float a = Clamp01(((colour >> 24) & 0xFF) / 255.0f * alpha);
    const float sr = (colour & 0xFF) / 255.0f, sg = ((colour >> 8) & 0xFF) / 255.0f,
                sb = ((colour >> 16) & 0xFF) / 255.0f;
    uint32_t* d = ReadDestination(view, r);
    const int w = r.Width();
    for (int py = r.y0; py < r.y1; ++py) {
        const float* trow = tip + size_t(py - r.top) * n - r.left;
        uint32_t* drow = d + size_t(py - r.y0) * w - r.x0;
        int px = r.x0;
        if (vectorDabs) {
            for (; px + 4 <= r.x1; px += 4) {
                V4 t;
                std::memcpy(&t, trow + px, sizeof t);
                // Lanes with t <= 0 are left alone, as the one-pixel form skips them.
                CompositeWords4(drow + px, Splat(sr), Splat(sg), Splat(sb), Splat(a), t > Splat(0.0f) ? t : Splat(0.0f));
            }
        }
        for (; px < r.x1; ++px) {
            const float t = trow[px];
            if (t > 0.0f) CompositeWord(drow[px], sr, sg, sb, a, t);
        }
    }
    WriteDestination(view, r);
}

void DabRenderer::PaintSegment(ICanvasWriteView& view, float x0, float y0, float x1, float y1, uint32_t colour,
                               BrushStrokeState& state, const BrushSettings& s) {
    BuildTip(s);
    const int n = keySize_;
    const float base = std::max(s.size * SpacingFactor(s), 0.5f);
    const float a0 = Clamp01(s.flow * s.opacity);
    const bool colourJitter = s.hueJitter > 0.0f || s.saturationJitter > 0.0f || s.brightnessJitter > 0.0f;
    const bool shapeJitter = s.sizeJitter > 0.0f || s.angleJitter > 0.0f || s.angleStep > 0.0f;
    WalkSegment(x0, y0, x1, y1, state, s, base, s.size * 0.5f, float(n), view.Width(), view.Height(),
                [&](float cx, float cy) {
                    const uint32_t c = colourJitter ? JitterColor(colour, s, state) : colour;
                    float alpha = a0;
                    if (s.opacityJitter > 0.0f) {
                        const float r = state.NextRandom();
                        alpha = std::max(std::min(1.0f - r * s.opacityJitter, 1.0f), 0.0f) * a0;
                    }
                    const float* tip = tip_.data();
                    int m = n;
                    if (shapeJitter) {
                        float size = s.size, angle = s.angle;
                        if (s.sizeJitter > 0.0f) {
                            const float r = state.NextRandom();
                            size = std::max((1.0f - r * s.sizeJitter) * s.size, 1.0f);
                        }
                        if (s.angleJitter > 0.0f) {
                            const float r = state.NextRandom();
                            angle += (2.0f * r - 1.0f) * s.angleJitter * 180.0f;
                        }
                        if (s.angleStep > 0.0f) angle += state.angleAccumulator;
                        m = TipSizeFor(size);
                        switch (s.tipKind) {
                        case kBrushTipBitmap:
                            RotateScaleTip(tip_, n, dabTip_, m, angle);
                            break;
                        case kBrushTipTextured:
                            dabTip_.assign(size_t(m) * m, 0.0f);
                            GenerateHardRoundTip(dabTip_, m, size, s.hardness, s.scaleX, s.scaleY, angle);
                            if (!grain_.empty()) {
                                RotateScaleTip(grain_, n, dabGrain_, m, angle);
                                for (size_t i = 0; i < dabTip_.size(); ++i) dabTip_[i] *= dabGrain_[i];
                            }
                            break;
                        default:
                            dabTip_.assign(size_t(m) * m, 0.0f);
                            GenerateRoundTip(dabTip_, m, size, s.hardness, s.scaleX, s.scaleY, angle,
                                             s.tipKind == kBrushTipSquare);
                            break;
                        }
                        tip = dabTip_.data();
                    }
                    StampPaintDab(view, cx, cy, c, tip, m, alpha, s.erase);
                    if (s.angleStep > 0.0f) {
                        state.angleAccumulator += s.angleStep * 360.0f;
                        while (state.angleAccumulator >= 360.0f) state.angleAccumulator -= 360.0f;
                        while (state.angleAccumulator < -360.0f) state.angleAccumulator += 360.0f;
                    }
                });
}

// --- Mixer ---

namespace {
// The reservoir pixel p takes up the canvas pixel q by u; returns the new
// reservoir alpha and writes its straight channels.
inline float PickUp(uint32_t p, uint32_t q, float u, float& r, float& g, float& b) {
    const float pa = Channel(p, 24), qa = Channel(q, 24);
    const float va = pa + (qa - pa) * u;
    if (va > 0.001f) {
        const float inv = 1.0f / va;
        r = (Channel(p, 16) * pa + (Channel(q, 16) * qa - Channel(p, 16) * pa) * u) * inv;
        g = (Channel(p, 8) * pa + (Channel(q, 8) * qa - Channel(p, 8) * pa) * u) * inv;
        b = (Channel(p, 0) * pa + (Channel(q, 0) * qa - Channel(p, 0) * pa) * u) * inv;
    } else {
        r = g = b = 0.0f;
    }
    return va;
}
}  // namespace

void DabRenderer::BeginMixer(ICanvasWriteView& view, float x, float y, uint32_t colour, BrushStrokeState& state,
                             PixelReservoir& res, const BrushSettings& s, const WetPaintParams& wet) {
    const int n = TipSizeFor(s.size);
    if (res.size != n || res.pixels.size() != size_t(n) * n) {
        res.pixels.assign(size_t(n) * n, 0u);
        res.size = n;
        res.loaded = false;
    }
    const bool wasLoaded = res.loaded;
    if (wet.cleanAfterStroke || !wasLoaded) {
        uint32_t fill = 0;
        if (!wet.smearOnly) {
            const uint32_t alpha = uint32_t(std::lround(Clamp01(wet.load) * float((colour >> 24) & 0xFF)));
            fill = (alpha << 24) | ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
        }
        std::fill(res.pixels.begin(), res.pixels.end(), fill);
    }
    if (wet.loadAfterStroke || !wasLoaded) {
        DabRect r;
        if (ClipDab(view, x, y, n, r)) {
            const float k = Clamp01(wet.wet) * Clamp01(wet.mix);
            const uint32_t* d = ReadDestination(view, r);
            const int w = r.Width();
            for (int py = r.y0; py < r.y1; ++py)
                for (int px = r.x0; px < r.x1; ++px) {
                    uint32_t& p = res.pixels[size_t(py - r.top) * n + (px - r.left)];
                    float cr, cg, cb;
                    const float va = PickUp(p, d[size_t(py - r.y0) * w + (px - r.x0)], k, cr, cg, cb);
                    p = va > 0.001f ? PackArgb(cr, cg, cb, va) : 0u;
                }
        }
    }
    res.loaded = true;
    state.nextDabDistance = 0.0f;
    StampMixerDab(view, x, y, res, s, wet);
    state.nextDabDistance = std::max(float(n) * SpacingFactor(s), 0.5f);
}

void DabRenderer::StampMixerDab(ICanvasWriteView& view, float x, float y, PixelReservoir& res,
                                const BrushSettings& settings, const WetPaintParams& wet) {
    const int c = res.size;
    if (c < 1 || res.pixels.size() != size_t(c) * c) return;
    BrushSettings s = settings;
    s.size = float(c);
    BuildTip(s);
    DabRect r;
    if (!ClipDab(view, x, y, c, r)) return;
    const float k = Clamp01(wet.wet) * Clamp01(wet.mix);
    const float fl = Clamp01(settings.flow);
    uint32_t* d = ReadDestination(view, r);
    ForEachCoveredPixel(tip_, c, r.left, r.top, r.x0, r.y0, r.x1, r.y1, d, [&](size_t ti, uint32_t& canvas, float t) {
        float cr, cg, cb;
        const float va = PickUp(res.pixels[ti], canvas, t * k, cr, cg, cb);
        res.pixels[ti] = va > 0.001f ? PackArgb(cr, cg, cb, va) : 0u;
        CompositeWord(canvas, cr, cg, cb, va, t * fl);
    });
    WriteDestination(view, r);
}

void DabRenderer::MixerSegment(ICanvasWriteView& view, float x0, float y0, float x1, float y1,
                               BrushStrokeState& state, PixelReservoir& res, const BrushSettings& s,
                               const WetPaintParams& wet) {
    const int n = res.size;
    if (n < 1) return;
    const float base = std::max(float(n) * SpacingFactor(s), 0.5f);
    WalkSegment(x0, y0, x1, y1, state, s, base, float(n) * 0.5f, float(n), view.Width(), view.Height(),
                [&](float cx, float cy) { StampMixerDab(view, cx, cy, res, s, wet); });
}

// --- Smudge ---

void DabRenderer::BeginSmudge(ICanvasWriteView& view, float x, float y, BrushStrokeState& state,
                              PixelReservoir& patch, const BrushSettings& s) {
    const int n = TipSizeFor(s.size);
    if (patch.size != n || patch.pixels.size() != size_t(n) * n) {
        patch.size = n;
        patch.loaded = false;
    }
    patch.pixels.assign(size_t(n) * n, 0u);
    DabRect r;
    if (ClipDab(view, x, y, n, r)) {
        const uint32_t* d = ReadDestination(view, r);
        const int w = r.Width();
        for (int py = r.y0; py < r.y1; ++py)
            std::memcpy(&patch.pixels[size_t(py - r.top) * n + (r.x0 - r.left)], d + size_t(py - r.y0) * w,
                        size_t(w) * 4);
    }
    patch.loaded = true;
    state.nextDabDistance = 0.0f;
}

void DabRenderer::StampSmudgeDab(ICanvasWriteView& view, float x, float y, PixelReservoir& patch,
                                 const BrushSettings& settings, float strength) {
    const int c = patch.size;
    if (c < 1 || patch.pixels.size() != size_t(c) * c) return;
    BrushSettings s = settings;
    s.size = float(c);
    BuildTip(s);
    DabRect r;
    if (!ClipDab(view, x, y, c, r)) return;
    const float st = Clamp01(strength);
    uint32_t* d = ReadDestination(view, r);
    ForEachCoveredPixel(tip_, c, r.left, r.top, r.x0, r.y0, r.x1, r.y1, d, [&](size_t ti, uint32_t& canvas, float t) {
            const uint32_t v = canvas, p = patch.pixels[ti];
            float cv[4], pv[4];
            for (int k = 0; k < 4; ++k) {
                const float vk = Channel(v, 8 * k), pk = Channel(p, 8 * k);
                cv[k] = Clamp01(vk + (pk - vk) * t * st);
                pv[k] = Clamp01(vk + (pk - vk) * (1.0f - (1.0f - st) * t));
            }
            canvas = (uint32_t(ToByte(cv[3])) << 24) | (uint32_t(ToByte(cv[2])) << 16) |
                     (uint32_t(ToByte(cv[1])) << 8) | ToByte(cv[0]);
            patch.pixels[ti] = PackArgb(pv[2], pv[1], pv[0], pv[3]);
    });
    WriteDestination(view, r);
}

void DabRenderer::SmudgeSegment(ICanvasWriteView& view, float x0, float y0, float x1, float y1,
                                BrushStrokeState& state, PixelReservoir& patch, const BrushSettings& s,
                                float strength) {
    const int n = patch.size;
    if (n < 1) return;
    // One dab per pixel whatever the spacing: the smudge must carry colour
    // continuously or it leaves a trail of separate imprints.
    WalkSegment(x0, y0, x1, y1, state, s, 1.0f, float(n) * 0.5f, float(n), view.Width(), view.Height(),
                [&](float cx, float cy) { StampSmudgeDab(view, cx, cy, patch, s, strength); });
}

// --- Clone and host dabs ---

const std::vector<uint8_t>& DabRenderer::ReadSourcePatch(ICanvasWriteView& source, float x, float y, int n) {
    n = std::max(n, 1);
    sourcePatch_.assign(size_t(n) * n * 4, 0);
    DabRect r;
    if (ClipDab(source, x, y, n, r)) {
        const size_t count = size_t(r.Width()) * r.Height();
        if (sourceScratch_.size() < count) sourceScratch_.resize(count);
        std::fill_n(sourceScratch_.data(), count, 0u);
        source.ReadRect(r.x0, r.y0, r.Width(), r.Height(), sourceScratch_.data());
        for (int py = r.y0; py < r.y1; ++py)
            std::memcpy(&sourcePatch_[(size_t(py - r.top) * n + (r.x0 - r.left)) * 4],
                        sourceScratch_.data() + size_t(py - r.y0) * r.Width(), size_t(r.Width()) * 4);
    }
    return sourcePatch_;
}

void DabRenderer::StampCloneDab(ICanvasWriteView& view, float x, float y, float sourceX, float sourceY,
                                const BrushSettings& s, ICanvasWriteView* sourceView) {
    BuildTip(s);
    const int n = keySize_;
    DabRect r;
    if (!ClipDab(view, x, y, n, r)) return;
    ReadSourcePatch(sourceView ? *sourceView : view, sourceX, sourceY, n);
    const float a = Clamp01(s.flow * s.opacity);
    uint32_t* d = ReadDestination(view, r);
    const uint32_t* patch = reinterpret_cast<const uint32_t*>(sourcePatch_.data());
    const int w = r.Width();
    for (int py = r.y0; py < r.y1; ++py) {
        int px = r.x0;
        const size_t trow = size_t(py - r.top) * n - r.left;
        uint32_t* drow = d + size_t(py - r.y0) * w - r.x0;
        if (vectorDabs) {
            for (; px + 4 <= r.x1; px += 4) {
                V4 t;
                std::memcpy(&t, &tip_[trow + px], sizeof t);
                const uint32_t* sp = patch + trow + px;
                const V4 k = Splat(1.0f / 255.0f);
                CompositeWords4(drow + px, Channel4(sp, 16) * k, Channel4(sp, 8) * k, Channel4(sp, 0) * k,
                                Channel4(sp, 24) * k, (t > Splat(0.0f) ? t : Splat(0.0f)) * Splat(a));
            }
        }
        for (; px < r.x1; ++px) {
            const float t = tip_[trow + px];
            if (t <= 0.0f) continue;
            const uint32_t sp = patch[trow + px];
            CompositeWord(drow[px], Channel(sp, 16), Channel(sp, 8), Channel(sp, 0), Channel(sp, 24), t * a);
        }
    }
    WriteDestination(view, r);
}

void DabRenderer::CloneSegment(ICanvasWriteView& view, float x0, float y0, float x1, float y1, float offsetX,
                               float offsetY, BrushStrokeState& state, const BrushSettings& s,
                               ICanvasWriteView* sourceView, bool freeze, float fixedX, float fixedY) {
    BuildTip(s);
    const float base = std::max(s.size * SpacingFactor(s), 0.5f);
    WalkSegment(x0, y0, x1, y1, state, s, base, s.size * 0.5f, float(keySize_), view.Width(), view.Height(),
                [&](float cx, float cy) {
                    const float sx = freeze ? fixedX : cx - offsetX, sy = freeze ? fixedY : cy - offsetY;
                    StampCloneDab(view, cx, cy, sx, sy, s, sourceView);
                });
}

void DabRenderer::StampHostDab(ICanvasWriteView& view, float x, float y, float sourceX, float sourceY,
                               const BrushSettings& s, const HostDabCallback& callback, bool needsSource,
                               ICanvasWriteView* sourceView, uint32_t colour) {
    if (!callback) return;
    BuildTip(s);
    const int n = keySize_;
    DabRect r;
    if (!ClipDab(view, x, y, n, r)) return;
    uint32_t* d = ReadDestination(view, r);
    const int w = r.Width(), h = r.Height();
    if (maskScratch_.size() < size_t(w) * h) maskScratch_.resize(size_t(w) * h);
    for (int py = r.y0; py < r.y1; ++py)
        for (int px = r.x0; px < r.x1; ++px)
            maskScratch_[size_t(py - r.y0) * w + (px - r.x0)] = ToByte(tip_[size_t(py - r.top) * n + (px - r.left)]);
    HostDabRequest request;
    if (needsSource) {
        ReadSourcePatch(sourceView ? *sourceView : view, sourceX, sourceY, n);
        request.source = sourcePatch_.data();
        request.sourceStride = n;
    }
    request.destination = reinterpret_cast<uint8_t*>(d);
    request.width = w;
    request.height = h;
    request.originX = r.x0;
    request.originY = r.y0;
    request.mask = maskScratch_.data();
    request.radius = s.size * 0.5f;
    request.strength = Clamp01(s.flow * s.opacity);
    request.unit = 1.0f;
    request.colour = colour;
    request.sourceOffsetX = r.x0 - r.left;
    request.sourceOffsetY = r.y0 - r.top;
    callback(request);
    WriteDestination(view, r);
}

void DabRenderer::HostSegment(ICanvasWriteView& view, float x0, float y0, float x1, float y1, float offsetX,
                              float offsetY, BrushStrokeState& state, const BrushSettings& s,
                              ICanvasWriteView* sourceView, bool freeze, float fixedX, float fixedY,
                              const HostDabCallback& callback, bool needsSource, uint32_t colour) {
    BuildTip(s);
    const float base = std::max(s.size * SpacingFactor(s), 0.5f);
    WalkSegment(x0, y0, x1, y1, state, s, base, s.size * 0.5f, float(keySize_), view.Width(), view.Height(),
                [&](float cx, float cy) {
                    float sx = cx, sy = cy;
                    if (needsSource) {
                        sx = freeze ? fixedX : cx - offsetX;
                        sy = freeze ? fixedY : cy - offsetY;
                    }
                    StampHostDab(view, cx, cy, sx, sy, s, callback, needsSource, sourceView, colour);
                });
}
