// Brush tips: procedural round and square tips with a hardness falloff, the
// hard round tip of the textured brush, image tips and grains, rotated
// resampling, and the renderer's one-entry tip cache.
#include "brushes/DabRenderer.h"

#include "platform/Bitmap.h"
#include "platform/Codecs.h"
#include "platform/Raster.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kDegToRad = 0.017453292f;
// Tips up to this side are built on the calling thread; forking costs more.
constexpr int kParallelTipSide = 48;

// Tip coordinates of pixel (x, y): the pixel's offset from the centre turned
// by the tip angle and divided by the axis scales.
struct TipFrame {
    float c, cosT, sinT, invScaleX, invScaleY;
    TipFrame(int n, float scaleX, float scaleY, float angle) {
        c = float(n - 1) * 0.5f;
        const float theta = -angle * kDegToRad;
        cosT = std::cos(theta);
        sinT = std::sin(theta);
        invScaleX = scaleX != 0.0f ? 1.0f / scaleX : 0.0f;
        invScaleY = scaleY != 0.0f ? 1.0f / scaleY : 0.0f;
    }
    void Map(int x, int y, float& u, float& v) const {
        const float dx = float(x) - c, dy = float(y) - c;
        u = (dx * cosT - dy * sinT) * invScaleX;
        v = (dy * cosT + dx * sinT) * invScaleY;
    }
};

// The falloff f(t) averaged over four samples per step: 1 at the centre, 0.5
// halfway, 0 at the rim; t = x^g steepens with the hardness.
void BuildFalloffTable(float hardness, float table[256]) {
    const float g = 0.4f / (1.0f - std::min(hardness, 0.999f));
    for (int i = 0; i < 256; ++i) {
        float sum = 0.0f;
        for (int j = 0; j < 4; ++j) {
            const float x = std::min(((float(j) + 0.5f) * 0.25f + float(i)) / 256.0f, 1.0f);
            const float t = std::pow(x, g);
            sum += t < 0.5f ? 1.0f - 2.0f * t * t : 2.0f * (1.0f - t) * (1.0f - t);
        }
        table[i] = sum * 0.25f;
    }
}

// 64-bit FNV-1a over the bytes, eight at a time: the tip cache's notion of
// "the same image".
uint64_t ContentHash(const std::vector<uint8_t>& bytes) {
    uint64_t h = 1469598103934665603ull ^ bytes.size();
    const size_t n = bytes.size();
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w = 0;
        for (int k = 0; k < 8; ++k) w |= uint64_t(bytes[i + k]) << (8 * k);
        h = (h ^ w) * 1099511628211ull;
    }
    for (; i < n; ++i) h = (h ^ bytes[i]) * 1099511628211ull;
    return h;
}

// Decodes the image and draws it stretched to n x n (bicubic, copied over a
// cleared square); calls each(index, luma, alpha) for every pixel.
template <typename Each>
bool ForEachImagePixel(const std::vector<uint8_t>& image, int n, Each&& each) {
    if (image.empty() || n <= 0) return false;
    BitmapPtr decoded = DecodeTipImage(image);
    if (!decoded) return false;
    BitmapPtr square = Bitmap::Create(n, n);
    if (!square) return false;
    const RasterTarget target = RasterTarget::Of(*square);
    ClearTarget(target, 0);
    ImageDrawOptions options;
    options.interpolation = Interpolation::Bicubic;
    options.compositing = Compositing::SourceCopy;
    if (!DrawBitmapRect(target, *decoded, RectF{0, 0, float(n), float(n)}, options)) return false;
    for (int y = 0; y < n; ++y) {
        const uint8_t* row = square->Row(y);
        for (int x = 0; x < n; ++x) {
            const uint8_t* p = row + x * 4;
            const float luma = (0.299f * p[2] + 0.587f * p[1] + 0.114f * p[0]) / 255.0f;
            each(size_t(y) * n + x, luma, p[3] / 255.0f);
        }
    }
    return true;
}

}  // namespace

BitmapPtr DecodeTipImage(const std::vector<uint8_t>& bytes, DecodeError* why) {
    return DecodeImage(bytes, why, kMaxTipImagePixels);
}

int TipSizeFor(float size) {
    if (!(size > 1.0f)) return 1;  // also NaN
    const float c = std::ceil(size);
    return c > float(kMaxTipSide) ? kMaxTipSide : int(c);
}

void GenerateRoundTip(std::vector<float>& dest, int n, float size, float hardness, float scaleX, float scaleY,
                      float angle, bool square) {
    if (n <= 0 || dest.size() < size_t(n) * n) return;
    const float r = size * 0.5f;
    const float ir = r > 0.0f ? 1.0f / r : 0.0f;
    float table[256];
    BuildFalloffTable(hardness, table);
    const TipFrame frame(n, scaleX, scaleY, angle);
    float* out = dest.data();
#pragma omp parallel for schedule(static) if (n > kParallelTipSide)
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            float u, v;
            frame.Map(x, y, u, v);
            const float d = square ? std::max(std::fabs(u), std::fabs(v)) : std::sqrt(u * u + v * v);
            const float s = d * ir;
            float value = 0.0f;
            if (s < 1.0f) {
                const float p = s * 255.0f;
                const int i = int(p);
                const float f = p - float(i);
                value = (1.0f - f) * table[i] + f * table[std::min(i + 1, 255)];
            }
            out[size_t(y) * n + x] = value;
        }
    }
}

void GenerateHardRoundTip(std::vector<float>& dest, int n, float size, float hardness, float scaleX,
                          float scaleY, float angle) {
    if (n <= 0 || dest.size() < size_t(n) * n) return;
    const float r = size * 0.5f;
    const float core = r * hardness;
    const float feather = r - core;
    const bool hard = hardness >= 1.0f || feather <= 0.0f;
    const float invFeather = feather > 0.0f ? 1.0f / feather : 0.0f;
    const TipFrame frame(n, scaleX, scaleY, angle);
    float* out = dest.data();
#pragma omp parallel for schedule(static) if (n > kParallelTipSide)
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            float u, v;
            frame.Map(x, y, u, v);
            const float d2 = u * u + v * v;
            float value;
            if (d2 > r * r) {
                value = 0.0f;
            } else {
                const float d = std::sqrt(d2);
                if (hard || d <= core) {
                    value = 1.0f;
                } else {
                    const float c = std::cos((d - core) * invFeather * 1.5707964f);
                    value = c * c;
                }
            }
            out[size_t(y) * n + x] = value;
        }
    }
}

void RotateScaleTip(const std::vector<float>& src, int a, std::vector<float>& dest, int b, float angle) {
    if (a < 1 || b < 1 || src.size() < size_t(a) * a) return;
    dest.assign(size_t(b) * b, 0.0f);
    const float cs = float(a - 1) * 0.5f, cd = float(b - 1) * 0.5f;
    const float scale = b >= 2 ? float(a - 1) / float(b - 1) : 0.0f;
    const float theta = -angle * kDegToRad;
    const float cosT = std::cos(theta), sinT = std::sin(theta);
    const float* in = src.data();
    float* out = dest.data();
    auto at = [&](int x, int y) -> float {
        return (x < 0 || y < 0 || x >= a || y >= a) ? 0.0f : in[size_t(y) * a + x];
    };
#pragma omp parallel for schedule(static) if (b > kParallelTipSide)
    for (int y = 0; y < b; ++y) {
        for (int x = 0; x < b; ++x) {
            const float p = (float(x) - cd) * scale, q = (float(y) - cd) * scale;
            const float sx = p * cosT - q * sinT + cs;
            const float sy = q * cosT + p * sinT + cs;
            const float fx0 = std::floor(sx), fy0 = std::floor(sy);
            const int x0 = int(fx0), y0 = int(fy0);
            const float fx = sx - fx0, fy = sy - fy0;
            out[size_t(y) * b + x] = (1 - fx) * (1 - fy) * at(x0, y0) + fx * (1 - fy) * at(x0 + 1, y0) +
                                     (1 - fx) * fy * at(x0, y0 + 1) + fx * fy * at(x0 + 1, y0 + 1);
        }
    }
}

bool DabRenderer::TipFromImage(const std::vector<uint8_t>& image, int n, std::vector<float>& tip) {
    if (image.empty() || n <= 0) return false;
    std::vector<float> out(size_t(n) * n, 0.0f);
    if (!ForEachImagePixel(image, n, [&](size_t i, float luma, float alpha) { out[i] = (1.0f - luma) * alpha; }))
        return false;
    tip.swap(out);
    return true;
}

bool DabRenderer::GrainFromImage(const std::vector<uint8_t>& image, int n, std::vector<float>& grain) {
    if (image.empty() || n <= 0) return false;
    std::vector<float> out(size_t(n) * n, 1.0f);
    if (!ForEachImagePixel(image, n,
                           [&](size_t i, float luma, float alpha) { out[i] = luma * alpha + (1.0f - alpha); }))
        return false;
    grain.swap(out);
    return true;
}

void DabRenderer::PinImageHashes(const BrushSettings& s) {
    pinned_ = true;
    pinnedTipLength_ = s.tipImage.size();
    pinnedGrainLength_ = s.grainImage.size();
    pinnedTipHash_ = s.tipKind == kBrushTipBitmap ? ContentHash(s.tipImage) : 0;
    pinnedGrainHash_ = s.tipKind == kBrushTipTextured ? ContentHash(s.grainImage) : 0;
    imageHashes_ += (s.tipKind == kBrushTipBitmap) + (s.tipKind == kBrushTipTextured);
}

DabRenderer& DabRenderer::BuildTip(const BrushSettings& s) {
    const int n = TipSizeFor(s.size);
    auto hashOf = [&](const std::vector<uint8_t>& image, size_t pinnedLength, uint64_t pinnedHash) {
        if (pinned_ && image.size() == pinnedLength) return pinnedHash;
        ++imageHashes_;
        return ContentHash(image);
    };
    const uint64_t tipHash = s.tipKind == kBrushTipBitmap ? hashOf(s.tipImage, pinnedTipLength_, pinnedTipHash_) : 0;
    const uint64_t grainHash =
        s.tipKind == kBrushTipTextured ? hashOf(s.grainImage, pinnedGrainLength_, pinnedGrainHash_) : 0;
    if (valid_ && keySize_ == n && keyKind_ == s.tipKind && keyHardness_ == s.hardness && keyScaleX_ == s.scaleX &&
        keyScaleY_ == s.scaleY && keyAngle_ == s.angle && keyRevision_ == s.tipRevision &&
        keyTipImageHash_ == tipHash && keyGrainImageHash_ == grainHash && tip_.size() == size_t(n) * n)
        return *this;
    keySize_ = n;
    keyKind_ = s.tipKind;
    keyHardness_ = s.hardness;
    keyScaleX_ = s.scaleX;
    keyScaleY_ = s.scaleY;
    keyAngle_ = s.angle;
    keyRevision_ = s.tipRevision;
    keyTipImageHash_ = tipHash;
    keyGrainImageHash_ = grainHash;
    valid_ = true;
    tip_.assign(size_t(n) * n, 0.0f);
    grain_.clear();
    switch (s.tipKind) {
    case kBrushTipBitmap:
        if (!TipFromImage(s.tipImage, n, tip_))
            GenerateRoundTip(tip_, n, s.size, s.hardness, s.scaleX, s.scaleY, s.angle, false);
        break;
    case kBrushTipTextured:
        GenerateHardRoundTip(tip_, n, s.size, s.hardness, s.scaleX, s.scaleY, s.angle);
        if (GrainFromImage(s.grainImage, n, grain_)) {
            for (size_t i = 0; i < tip_.size(); ++i) tip_[i] *= grain_[i];
        } else {
            grain_.clear();
        }
        break;
    default:
        GenerateRoundTip(tip_, n, s.size, s.hardness, s.scaleX, s.scaleY, s.angle, s.tipKind == kBrushTipSquare);
        break;
    }
    return *this;
}
