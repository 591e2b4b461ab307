#include "brushes/HostDabs.h"

#include "filters/BlurKernels.h"
#include "filters/GaussianBlurRecursive.h"
#include "scene/BlendModes.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/photo.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

inline uint8_t ClampByte(float v) { return uint8_t(std::clamp(v, 0.0f, 255.0f)); }

}  // namespace

void HealCloneDab(const HostDabRequest& q) {
    if (!q.destination || q.width <= 0 || q.height <= 0 || !q.source || q.sourceStride <= 0 || !q.mask) return;
    const int n = q.sourceStride, w = q.width, h = q.height;
    // The destination is the dab square cut to the canvas; the source patch
    // always covers the whole square. Line them up at the cut so the healed
    // pixels come from the matching source pixels at the canvas edges too.
    const int ox = std::clamp(q.sourceOffsetX, 0, std::max(0, n - w));
    const int oy = std::clamp(q.sourceOffsetY, 0, std::max(0, n - h));
    if (ox + w > n || oy + h > n) return;
    try {
        const cv::Mat sourcePatch(n, n, CV_8UC4, const_cast<uint8_t*>(q.source), size_t(n) * 4);
        const cv::Mat destination(h, w, CV_8UC4, q.destination, size_t(w) * 4);
        cv::Mat src3, dst3;
        cv::cvtColor(sourcePatch(cv::Rect(ox, oy, w, h)), src3, cv::COLOR_BGRA2BGR);
        cv::cvtColor(destination, dst3, cv::COLOR_BGRA2BGR);
        // seamlessClone refuses masks that touch the image border and places
        // the clone centred on its mask's bounding box: pad every image by a
        // replicated margin and centre the clone on the box itself, so the
        // result stays aligned with the destination wherever the dab is cut.
        constexpr int kPad = 2;
        cv::Mat srcPad, dstPad;
        cv::copyMakeBorder(src3, srcPad, kPad, kPad, kPad, kPad, cv::BORDER_REPLICATE);
        cv::copyMakeBorder(dst3, dstPad, kPad, kPad, kPad, kPad, cv::BORDER_REPLICATE);
        cv::Mat mask = cv::Mat::zeros(h + 2 * kPad, w + 2 * kPad, CV_8UC1);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (q.mask[size_t(y) * w + x]) mask.at<uint8_t>(y + kPad, x + kPad) = 255;
        const cv::Rect box = cv::boundingRect(mask);
        if (box.width < 3 || box.height < 3) return;  // nothing survives the solver's erosion
        const cv::Point centre(box.x + box.width / 2, box.y + box.height / 2);
        cv::Mat output;
        cv::seamlessClone(srcPad, dstPad, mask, centre, output, cv::NORMAL_CLONE);
        if (output.rows != h + 2 * kPad || output.cols != w + 2 * kPad || output.type() != CV_8UC3) return;
        for (int y = 0; y < h; ++y) {
            const uint8_t* o = output.ptr<uint8_t>(y + kPad) + kPad * 3;
            uint8_t* d = q.destination + size_t(y) * w * 4;
            for (int x = 0; x < w; ++x) {
                const uint8_t m = q.mask[size_t(y) * w + x];
                if (!m) continue;
                const float v = m / 255.0f * q.strength;
                if (v <= 0.0f) continue;
                for (int c = 0; c < 3; ++c)
                    d[x * 4 + c] = ClampByte(float(o[x * 3 + c]) * v + float(d[x * 4 + c]) * (1.0f - v) + 0.5f);
            }
        }
    } catch (const cv::Exception&) {
        // The dab is abandoned; the destination goes back unchanged.
    }
}

void RecolorDab(const HostDabRequest& q) {
    if (!q.destination || q.width <= 0 || q.height <= 0 || !q.mask) return;
    const int w = q.width, h = q.height;
    try {
        const cv::Mat destination(h, w, CV_8UC4, q.destination, size_t(w) * 4);
        cv::Mat bgr, lab;
        cv::cvtColor(destination, bgr, cv::COLOR_BGRA2BGR);
        cv::cvtColor(bgr, lab, cv::COLOR_BGR2Lab);
        cv::Mat colour(1, 1, CV_8UC3, cv::Scalar((q.colour >> 16) & 0xFF, (q.colour >> 8) & 0xFF, q.colour & 0xFF));
        cv::Mat colourLab;
        cv::cvtColor(colour, colourLab, cv::COLOR_BGR2Lab);
        const cv::Vec3b ab = colourLab.at<cv::Vec3b>(0, 0);
        for (int y = 0; y < h; ++y) {
            cv::Vec3b* row = lab.ptr<cv::Vec3b>(y);
            for (int x = 0; x < w; ++x) row[x][1] = ab[1], row[x][2] = ab[2];
        }
        cv::Mat back, result;
        cv::cvtColor(lab, back, cv::COLOR_Lab2BGR);
        cv::cvtColor(back, result, cv::COLOR_BGR2BGRA);
        if (result.rows != h || result.cols != w || result.type() != CV_8UC4) return;
        for (int y = 0; y < h; ++y) {
            const uint8_t* r = result.ptr<uint8_t>(y);
            uint8_t* d = q.destination + size_t(y) * w * 4;
            for (int x = 0; x < w; ++x) {
                const float v = q.mask[size_t(y) * w + x] / 255.0f * q.strength;
                if (v <= 0.0f) continue;
                for (int c = 0; c < 3; ++c)
                    d[x * 4 + c] = ClampByte(std::nearbyint(float(r[x * 4 + c]) * v + float(d[x * 4 + c]) * (1.0f - v)));
            }
        }
    } catch (const cv::Exception&) {
    }
}

void SampleBilinearRgba(const uint8_t* pixels, int stride, int width, int height, float x, float y, float out[4]) {
    out[0] = out[1] = out[2] = out[3] = 0.0f;
    if (!pixels || !(x >= -1.0f) || !(y >= -1.0f) || !(x < float(width)) || !(y < float(height))) return;
    const float fx0 = std::floor(x), fy0 = std::floor(y);
    const int x0 = int(fx0), y0 = int(fy0);
    const float fx = x - fx0, fy = y - fy0;
    const float weights[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
    const int xs[4] = {x0, x0 + 1, x0, x0 + 1}, ys[4] = {y0, y0, y0 + 1, y0 + 1};
    for (int k = 0; k < 4; ++k) {
        if (xs[k] < 0 || ys[k] < 0 || xs[k] >= width || ys[k] >= height) continue;
        const uint8_t* p = pixels + int64_t(ys[k]) * stride + int64_t(xs[k]) * 4;
        for (int c = 0; c < 4; ++c) out[c] += weights[k] * p[c];
    }
}

void StencilImprintDab(const HostDabRequest& q, const StencilImprintInput& st) {
    if (!q.destination || q.width <= 0 || q.height <= 0 || !q.mask) return;
    const Bitmap* stencil = st.placedBitmap.get();
    if (!stencil || stencil->Width() < 1 || stencil->Height() < 1) return;
    const int w = q.width, h = q.height;
    const int sw = stencil->Width(), sh = stencil->Height();
    const bool detail = st.detailTransfer && st.detailPixels.size() == size_t(sw) * sh * 4;

    std::vector<uint8_t> lowPass;
    if (detail) {
        lowPass.assign(q.destination, q.destination + size_t(w) * h * 4);
        PremultiplyAlpha(lowPass.data(), size_t(w) * h);
        const double radius = std::max(1.0, double(st.detailRadius));
        GaussianBlurRecursive(lowPass.data(), w, h, radius, radius, 4);
        UnpremultiplyAlpha(lowPass.data(), size_t(w) * h);
    }

    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const uint8_t m = q.mask[size_t(j) * w + i];
            if (!m) continue;
            float s[4];
            const float sx = float(q.originX + i) - st.placedOriginX, sy = float(q.originY + j) - st.placedOriginY;
            SampleBilinearRgba(stencil->Data(), stencil->Stride(), sw, sh, sx, sy, s);
            if (s[3] <= 0.5f) continue;
            float c = m / 255.0f * (s[3] / 255.0f) * q.strength;
            if (c <= 0.0f) continue;
            uint8_t* d = q.destination + (size_t(j) * w + i) * 4;
            const float a = d[3] / 255.0f;
            if (st.eraseMode) {
                const float lum = (0.299f * s[2] + 0.587f * s[1] + 0.114f * s[0]) / 255.0f;
                const float target = (st.lockTransparency && a < lum) ? a : lum;
                d[3] = ClampByte((a + (target - a) * c) * 255.0f + 0.5f);
                continue;
            }
            if (detail) {
                float k[4];
                SampleBilinearRgba(st.detailPixels.data(), sw * 4, sw, sh, sx, sy, k);
                const uint8_t* lp = lowPass.data() + (size_t(j) * w + i) * 4;
                if (st.lockTransparency) {
                    c *= a;
                    if (a <= 0.0f) continue;
                }
                for (int ch = 0; ch < 3; ++ch) {
                    const float nv = std::clamp(s[ch] - k[ch] + float(lp[ch]), 0.0f, 255.0f);
                    d[ch] = ClampByte(float(d[ch]) * (1.0f - c) + nv * c + 0.5f);
                }
                if (!st.lockTransparency) d[3] = ClampByte((a * (1.0f - c) + c) * 255.0f + 0.5f);
                continue;
            }
            if (st.lockTransparency) {
                if (d[3] == 0) continue;
                c *= a;
            }
            float r, g, b, ao;
            CompositePixelWithBlend(r, g, b, ao, d[2] / 255.0f, d[1] / 255.0f, d[0] / 255.0f, a, s[2] / 255.0f,
                                    s[1] / 255.0f, s[0] / 255.0f, c, st.blendMode);
            d[0] = ClampByte(b * 255.0f + 0.5f);
            d[1] = ClampByte(g * 255.0f + 0.5f);
            d[2] = ClampByte(r * 255.0f + 0.5f);
            if (!st.lockTransparency) d[3] = ClampByte(ao * 255.0f + 0.5f);
        }
}
