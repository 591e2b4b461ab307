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

// acc[q] += weight x src[q] for the terms of a row clipped at the source's
// edges. The AVX2 variant is the same loop compiled for wider vectors, without
// fused multiply-add, so both give the same bytes.
using AccumulateRunFn = void (*)(float* acc, const float* src, int count, float weight);

void AccumulateRunBaseline(float* acc, const float* src, int count, float weight) {
    for (int q = 0; q < count; ++q) acc[q] += weight * src[q];
}

__attribute__((target("avx2"))) void AccumulateRunAvx2(float* acc, const float* src, int count, float weight) {
    for (int q = 0; q < count; ++q) acc[q] += weight * src[q];
}

// Where every term of a row covers a whole span of output values:
// out[q] = sum over t of weight[t] x src[t][q], added from 0 in term order
// (as the clipped path adds them), kept in registers over all the terms
// instead of loading and storing the sums once per term.
typedef float V8f __attribute__((vector_size(32)));
typedef float V8fu __attribute__((vector_size(32), aligned(4), may_alias));

[[gnu::always_inline]] inline void SumTermsSpan(float* out, const float* const* src, const float* weight, int terms,
                                                int count) {
    int q = 0;
    for (; q + 32 <= count; q += 32) {
        V8f a0 = V8f{}, a1 = a0, a2 = a0, a3 = a0;
        for (int t = 0; t < terms; ++t) {
            const V8fu* s = reinterpret_cast<const V8fu*>(src[t] + q);
            const V8f w = V8f{} + weight[t];
            a0 += w * s[0];
            a1 += w * s[1];
            a2 += w * s[2];
            a3 += w * s[3];
        }
        V8fu* o = reinterpret_cast<V8fu*>(out + q);
        o[0] = a0;
        o[1] = a1;
        o[2] = a2;
        o[3] = a3;
    }
    for (; q + 8 <= count; q += 8) {
        V8f a = V8f{};
        for (int t = 0; t < terms; ++t) a += (V8f{} + weight[t]) * *reinterpret_cast<const V8fu*>(src[t] + q);
        *reinterpret_cast<V8fu*>(out + q) = a;
    }
    for (; q < count; ++q) {
        float a = 0;
        for (int t = 0; t < terms; ++t) a += weight[t] * src[t][q];
        out[q] = a;
    }
}

using SumTermsFn = void (*)(float* out, const float* const* src, const float* weight, int terms, int count);
void SumTermsBaseline(float* out, const float* const* src, const float* weight, int terms, int count) {
    SumTermsSpan(out, src, weight, terms, count);
}
__attribute__((target("avx2"))) void SumTermsAvx2(float* out, const float* const* src, const float* weight, int terms,
                                                  int count) {
    SumTermsSpan(out, src, weight, terms, count);
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
    const bool avx2 = ActiveCpuLevel() >= CpuLevel::Avx2;
    const AccumulateRunFn accumulate = avx2 ? &AccumulateRunAvx2 : &AccumulateRunBaseline;
    const SumTermsFn sumTerms = avx2 ? &SumTermsAvx2 : &SumTermsBaseline;
    // Output columns in tiles whose sums stay in the first-level cache.
    constexpr int kTile = 256;
#pragma omp parallel if (int64_t(W) * H > kFilterParallelPixels)
    {
        std::vector<float> acc(size_t(kTile) * 4);
        std::vector<const Term*> active;
        std::vector<const float*> src;
        std::vector<float> weight;
        active.reserve(terms.size());
        src.reserve(terms.size());
        weight.reserve(terms.size());
#pragma omp for schedule(static)
        for (int y = 0; y < H; ++y) {
            // The terms that add anything to this row, and the columns over
            // which every one of them reads inside the source.
            active.clear();
            int full0 = 0, full1 = W;
            for (const Term& t : terms) {
                const int sy = y + t.oy;
                if (sy < 0 || sy >= h || t.weight == 0.0f) continue;
                const int x0 = std::max(0, -t.ox), x1 = std::min(W, w - t.ox);
                if (x0 >= x1) continue;
                active.push_back(&t);
                full0 = std::max(full0, x0);
                full1 = std::min(full1, x1);
            }
            uint8_t* d = out.Row(y);
            for (int tx0 = 0; tx0 < W; tx0 += kTile) {
                const int tx1 = std::min(W, tx0 + kTile);
                float* a = acc.data();
                if (!active.empty() && full0 <= tx0 && tx1 <= full1) {
                    src.clear();
                    weight.clear();
                    for (const Term* t : active) {
                        src.push_back(pre.get() + (size_t(y + t->oy) * size_t(w) + size_t(tx0 + t->ox)) * 4);
                        weight.push_back(t->weight);
                    }
                    sumTerms(a, src.data(), weight.data(), int(active.size()), (tx1 - tx0) * 4);
                } else {
                    std::fill(a, a + size_t(tx1 - tx0) * 4, 0.0f);
                    for (const Term* t : active) {
                        const int x0 = std::max(tx0, -t->ox), x1 = std::min(tx1, w - t->ox);
                        if (x0 >= x1) continue;
                        const float* s = pre.get() + (size_t(y + t->oy) * size_t(w) + size_t(x0 + t->ox)) * 4;
                        accumulate(a + size_t(x0 - tx0) * 4, s, (x1 - x0) * 4, t->weight);
                    }
                }
                for (int x = tx0; x < tx1; ++x) FinishMotionPixel(a + size_t(x - tx0) * 4, m.n, d + size_t(x) * 4);
            }
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
