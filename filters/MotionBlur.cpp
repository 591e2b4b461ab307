#include "filters/MotionBlur.h"

#include "filters/EffectInstance.h"
#include "filters/FilterPixels.h"
#include "platform/CpuLevel.h"

void InitMotionBlurParams(EffectParams& p) { p.Set(MotionBlurParams{}); }

void ScaleMotionBlurParams(EffectParams& p, float f) {
    if (auto* r = p.Get<MotionBlurParams>()) r->length = f * r->length;
}

namespace {

constexpr float kInv255 = 0.003921569f;

// The shared set-up: the motion vector, the margins and the taps.
struct MotionSetup {
    float dx = 0, dy = 0;
    int px = 0, py = 0, n = 0;
    float step = 0;
};

bool SetUpMotion(const MotionBlurParams& rec, MotionSetup& m) {
    const float len = ClampParam(rec.length, 0, 500);
    if (len < 0.5f) return false;
    const float a = ClampParam(rec.angle, -1e6f, 1e6f) * kDegreesToRadians;
    m.dx = std::cos(a) * len;
    m.dy = -std::sin(a) * len;
    m.px = int(std::ceil(std::fabs(m.dx * 0.5f)));
    m.py = int(std::ceil(std::fabs(m.dy * 0.5f)));
    const int c = int(std::ceil(len));
    m.n = c + 1 > 256 ? 256 : (c >= 2 ? c + 1 : 3);
    m.step = 1.0f / float(m.n - 1);
    return true;
}

// Straight bytes from the premultiplied sums of n taps.
inline void FinishMotionPixel(const float sum[4], int n, uint8_t* d) {
    const float m = sum[3] * (1.0f / float(n));
    if (m > 0.5f) {
        const float k = 255.0f / sum[3];
        for (int c = 0; c < 3; ++c) d[c] = RoundByte(sum[c] * k);
    } else {
        d[0] = d[1] = d[2] = 0;
    }
    d[3] = RoundByte(m);
}

// acc[q] += weight x src[q]: the whole cost of the row path. The AVX2 variant
// is the same loop compiled for wider vectors, without fused multiply-add, so
// both give the same bytes.
using AccumulateRunFn = void (*)(float* acc, const float* src, int count, float weight);

void AccumulateRunBaseline(float* acc, const float* src, int count, float weight) {
    for (int q = 0; q < count; ++q) acc[q] += weight * src[q];
}

__attribute__((target("avx2"))) void AccumulateRunAvx2(float* acc, const float* src, int count, float weight) {
    for (int q = 0; q < count; ++q) acc[q] += weight * src[q];
}

AccumulateRunFn PickAccumulateRun() {
    return ActiveCpuLevel() >= CpuLevel::Avx2 ? &AccumulateRunAvx2 : &AccumulateRunBaseline;
}

}  // namespace

void MotionBlurReference(const Bitmap& source, const MotionBlurParams& rec, Bitmap& out) {
    MotionSetup m;
    if (!SetUpMotion(rec, m)) return;
    const int w = source.Width(), h = source.Height();
    for (int y = 0; y < out.Height(); ++y) {
        for (int x = 0; x < out.Width(); ++x) {
            float sum[4] = {0, 0, 0, 0};
            for (int k = 0; k < m.n; ++k) {
                const float f = float(k) * m.step - 0.5f;
                const float sx = float(x - m.px) + m.dx * f, sy = float(y - m.py) + m.dy * f;
                const int i = int(std::floor(sx)), j = int(std::floor(sy));
                const float fx = sx - float(i), fy = sy - float(j);
                const int ti[4] = {i, i + 1, i, i + 1}, tj[4] = {j, j, j + 1, j + 1};
                const float wt[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
                for (int t = 0; t < 4; ++t) {
                    if (ti[t] < 0 || tj[t] < 0 || ti[t] >= w || tj[t] >= h) continue;
                    const uint8_t* s = source.Row(tj[t]) + size_t(ti[t]) * 4;
                    const float A = s[3];
                    sum[0] += wt[t] * (float(s[0]) * A * kInv255);
                    sum[1] += wt[t] * (float(s[1]) * A * kInv255);
                    sum[2] += wt[t] * (float(s[2]) * A * kInv255);
                    sum[3] += wt[t] * A;
                }
            }
            FinishMotionPixel(sum, m.n, out.Row(y) + size_t(x) * 4);
        }
    }
}

// Every tap sits at the same fraction of a pixel for every output pixel, so
// the fast path splits each tap into its four texel terms once and adds each
// term along a whole row: a constant weight times a contiguous run of
// premultiplied source texels, clipped to the source instead of tested per
// texel. Only the splitting of the tap position differs from the reference
// (the integer part is taken before adding the pixel position), which moves
// a weight by a few units in the last place.
void MotionBlurRows(const Bitmap& source, const MotionBlurParams& rec, Bitmap& out) {
    MotionSetup m;
    if (!SetUpMotion(rec, m)) return;
    const int w = source.Width(), h = source.Height(), W = out.Width(), H = out.Height();
    const AccumulateRunFn accumulate = PickAccumulateRun();
    struct Term {
        int ox, oy;  // texel offset from the output pixel
        float weight;
    };
    std::vector<Term> terms;
    terms.reserve(size_t(m.n) * 4);
    for (int k = 0; k < m.n; ++k) {
        const float f = float(k) * m.step - 0.5f;
        const float ax = m.dx * f, ay = m.dy * f;
        const float fi = std::floor(ax), fj = std::floor(ay);
        const float fx = ax - fi, fy = ay - fj;
        const int i = int(fi) - m.px, j = int(fj) - m.py;
        terms.push_back({i, j, (1 - fx) * (1 - fy)});
        terms.push_back({i + 1, j, fx * (1 - fy)});
        terms.push_back({i, j + 1, (1 - fx) * fy});
        terms.push_back({i + 1, j + 1, fx * fy});
    }
    // The source premultiplied once, as the reference computes it per texel.
    const WorkPlane<float> pre = MakeWorkPlane<float>(size_t(w) * size_t(h) * 4);
#pragma omp parallel for schedule(static) if (int64_t(w) * h > kFilterParallelPixels)
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = source.Row(y);
        float* p = pre.get() + size_t(y) * size_t(w) * 4;
        for (int x = 0; x < w; ++x, s += 4, p += 4) {
            const float A = s[3];
            p[0] = float(s[0]) * A * kInv255;
            p[1] = float(s[1]) * A * kInv255;
            p[2] = float(s[2]) * A * kInv255;
            p[3] = A;
        }
    }
#pragma omp parallel if (int64_t(W) * H > kFilterParallelPixels)
    {
        std::vector<float> acc(size_t(W) * 4);
#pragma omp for schedule(static)
        for (int y = 0; y < H; ++y) {
            std::fill(acc.begin(), acc.end(), 0.0f);
            for (const Term& t : terms) {
                const int sy = y + t.oy;
                if (sy < 0 || sy >= h || t.weight == 0.0f) continue;
                // Output columns x whose texel x + t.ox lies inside the source.
                const int x0 = std::max(0, -t.ox), x1 = std::min(W, w - t.ox);
                if (x0 >= x1) continue;
                const float* s = pre.get() + (size_t(sy) * size_t(w) + size_t(x0 + t.ox)) * 4;
                accumulate(acc.data() + size_t(x0) * 4, s, (x1 - x0) * 4, t.weight);
            }
            uint8_t* d = out.Row(y);
            for (int x = 0; x < W; ++x) FinishMotionPixel(acc.data() + size_t(x) * 4, m.n, d + size_t(x) * 4);
        }
    }
}

BitmapPtr ApplyMotionBlur(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY) {
    offsetX = offsetY = 0;
    const auto* rec = params.Get<MotionBlurParams>();
    const int w = source.Width(), h = source.Height();
    if (!rec || w < 1 || h < 1) return nullptr;
    MotionSetup m;
    if (!SetUpMotion(*rec, m)) return CopyFilterSource(source);
    offsetX = float(-m.px);
    offsetY = float(-m.py);
    BitmapPtr out = CreateFilterOutput(int64_t(w) + 2 * m.px, int64_t(h) + 2 * m.py);
    if (!out) return nullptr;
    MotionBlurRows(source, *rec, *out);
    return out;
}
