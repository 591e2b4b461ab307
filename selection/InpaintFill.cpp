// Argument checks, level 0 and the final blend of the smart fill.
#include "selection/InpaintFill.h"

#include "selection/InpaintEngine.h"

#include <cstring>
#include <new>

const char* InpaintResultText(InpaintResult result) {
    switch (result) {
        case InpaintResult::Filled: return "The hole was filled.";
        case InpaintResult::Cancelled: return "The fill was cancelled.";
        case InpaintResult::MissingBuffer: return "The fill needs an image, a hole mask and an output buffer.";
        case InpaintResult::BadSize: return "The image is empty or too large to fill.";
        case InpaintResult::SizeMismatch: return "The masks and the output must have the image's size.";
        case InpaintResult::BadStride: return "A buffer's row stride is shorter than one row.";
        case InpaintResult::Failed: return "The fill ran out of memory or failed.";
    }
    return "Unknown fill result.";
}

namespace {

InpaintResult CheckArguments(const InpaintPlane& pixels, const InpaintPlane& hole, const InpaintPlane* source,
                             const InpaintOutput& output) {
    if (!pixels.data || !hole.data || !output.data || (source && !source->data)) return InpaintResult::MissingBuffer;
    const int32_t W = pixels.width, H = pixels.height;
    if (W < 1 || H < 1 || W > kInpaintMaxSide || H > kInpaintMaxSide || int64_t(W) * H > kInpaintMaxPixels)
        return InpaintResult::BadSize;
    const auto sameSize = [&](int32_t w, int32_t h) { return w == W && h == H; };
    if (!sameSize(hole.width, hole.height) || !sameSize(output.width, output.height) ||
        (source && !sameSize(source->width, source->height)))
        return InpaintResult::SizeMismatch;
    if (pixels.stride < 4 * int64_t(W) || output.stride < 4 * int64_t(W) || hole.stride < W ||
        (source && source->stride < W))
        return InpaintResult::BadStride;
    return InpaintResult::Filled;
}

// Level 0: BGR without alpha; unknown where the hole is non-zero or the pixel is
// fully transparent; with a source mask, patches only from known source pixels
// (or from every pixel when the mask allows none).
InpaintLevel BuildLevel0(const InpaintPlane& pixels, const InpaintPlane& hole, const InpaintPlane* source,
                         const InpaintContext& ctx) {
    InpaintLevel level;
    const int32_t W = pixels.width, H = pixels.height;
    level.width = W;
    level.height = H;
    level.image.resize(size_t(W) * size_t(H) * 3);
    level.unknown.resize(size_t(W) * size_t(H));
    for (int32_t y = 0; y < H; ++y) {
        ctx.PollCancel();
        const uint8_t* p = pixels.data + y * pixels.stride;
        const uint8_t* m = hole.data + y * hole.stride;
        for (int32_t x = 0; x < W; ++x) {
            const size_t i = level.Index(y, x);
            std::memcpy(&level.image[i * 3], p + size_t(x) * 4, 3);
            level.unknown[i] = (m[x] != 0 || p[size_t(x) * 4 + 3] == 0) ? 1 : 0;
        }
    }
    if (source) {
        InpaintBuffer<uint8_t> allowed(size_t(W) * size_t(H));
        bool any = false;
        for (int32_t y = 0; y < H; ++y) {
            ctx.PollCancel();
            const uint8_t* s = source->data + y * source->stride;
            for (int32_t x = 0; x < W; ++x) {
                const size_t i = level.Index(y, x);
                allowed[i] = (s[x] != 0 && !level.unknown[i]) ? 255 : 0;
                any = any || allowed[i];
            }
        }
        if (any) {
            level.allowed = std::move(allowed);
            InpaintCollectSourcePixels(level, &ctx);
        }
    }
    InpaintComputeGradients(level, &ctx);
    return level;
}

bool HoleIsEmpty(const InpaintPlane& hole, const InpaintContext& ctx) {
    for (int32_t y = 0; y < hole.height; ++y) {
        ctx.PollCancel();
        const uint8_t* m = hole.data + y * hole.stride;
        for (int32_t x = 0; x < hole.width; ++x)
            if (m[x]) return false;
    }
    return true;
}

}  // namespace

InpaintResult InpaintFill(const InpaintPlane& pixels, const InpaintPlane& holeMask, const InpaintPlane* sourceMask,
                          const InpaintOutput& output, const std::atomic<bool>* cancel, const InpaintOptions& options) {
    const InpaintResult check = CheckArguments(pixels, holeMask, sourceMask, output);
    if (check != InpaintResult::Filled) return check;
    const int32_t W = pixels.width, H = pixels.height;
    try {
        InpaintSimilarityTable();
        const InpaintContext ctx(cancel, options.seed, options.parallel);
        if (HoleIsEmpty(holeMask, ctx)) {
            if (output.data != pixels.data || output.stride != pixels.stride)
                for (int32_t y = 0; y < H; ++y)
                    std::memmove(output.data + y * output.stride, pixels.data + y * pixels.stride, size_t(W) * 4);
            return InpaintResult::Filled;
        }
        const InpaintLevel filled = InpaintSynthesize(BuildLevel0(pixels, holeMask, sourceMask, ctx), ctx);
        if (ctx.CancelRequested()) return InpaintResult::Cancelled;
        if (filled.width != W || filled.height != H || filled.image.size() != size_t(W) * size_t(H) * 3)
            return InpaintResult::Failed;
        // From here on the fill completes: the blend is a single quick pass.
#pragma omp parallel for schedule(static) if (options.parallel && int64_t(W) * H >= (int64_t(1) << 18))
        for (int32_t y = 0; y < H; ++y) {
            const uint8_t* p = pixels.data + y * pixels.stride;
            const uint8_t* m = holeMask.data + y * holeMask.stride;
            uint8_t* o = output.data + y * output.stride;
            const uint8_t* f = filled.image.data() + size_t(y) * size_t(W) * 3;
            for (int32_t x = 0; x < W; ++x) {
                const uint32_t v = m[x];
                const uint8_t* in = p + size_t(x) * 4;
                uint8_t* out = o + size_t(x) * 4;
                if (v == 0) {
                    std::memmove(out, in, 4);
                    continue;
                }
                const uint32_t alpha = in[3];
                for (int c = 0; c < 3; ++c) out[c] = uint8_t((v * f[x * 3 + c] + (255 - v) * in[c] + 127) / 255);
                out[3] = uint8_t((v * 255 + (255 - v) * alpha + 127) / 255);
            }
        }
        return InpaintResult::Filled;
    } catch (const InpaintCancelled&) {
        return InpaintResult::Cancelled;
    } catch (...) {
        return InpaintResult::Failed;
    }
}
