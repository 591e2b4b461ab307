// Argument checks, level 0 and the final blend of the smart fill.
#include "selection/InpaintFill.h"

#include "selection/InpaintEngine.h"
#include "selection/InpaintRegion.h"

#include <algorithm>
#include <vector>

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

// One pass over the masks: the bounding box of the hole and whether the
// source mask allows at least one known pixel (a mask that allows none acts
// as no mask).
struct MaskScan {
    InpaintRect hole;
    bool anyAllowed = false;
};

MaskScan ScanMasks(const InpaintPlane& pixels, const InpaintPlane& hole, const InpaintPlane* source,
                   const InpaintContext& ctx) {
    const int32_t W = pixels.width, H = pixels.height;
    std::vector<int32_t> first(size_t(H), W), last(size_t(H), -1);
    std::vector<uint8_t> allowed(size_t(H), 0);
    const bool threads = ctx.Parallel() && int64_t(W) * H >= (int64_t(1) << 18);
#pragma omp parallel for schedule(static) if (threads)
    for (int32_t y = 0; y < H; ++y) {
        if (ctx.CancelRequested()) continue;
        const uint8_t* p = pixels.data + y * pixels.stride;
        const uint8_t* m = hole.data + y * hole.stride;
        const uint8_t* s = source ? source->data + y * source->stride : nullptr;
        int32_t f = W, l = -1;
        bool any = false;
        for (int32_t x = 0; x < W; ++x) {
            if (m[x]) {
                f = std::min(f, x);
                l = x;
            } else if (s && !any && s[x] && p[size_t(x) * 4 + 3]) {
                any = true;
            }
        }
        first[size_t(y)] = f;
        last[size_t(y)] = l;
        allowed[size_t(y)] = any ? 1 : 0;
    }
    ctx.PollCancel();
    MaskScan scan;
    scan.hole = {W, H, 0, 0};
    for (int32_t y = 0; y < H; ++y) {
        scan.anyAllowed = scan.anyAllowed || allowed[size_t(y)];
        if (last[size_t(y)] < 0) continue;
        scan.hole.x0 = std::min(scan.hole.x0, first[size_t(y)]);
        scan.hole.x1 = std::max(scan.hole.x1, last[size_t(y)] + 1);
        scan.hole.y0 = std::min(scan.hole.y0, y);
        scan.hole.y1 = y + 1;
    }
    return scan;
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
        const MaskScan scan = ScanMasks(pixels, holeMask, sourceMask, ctx);
        const bool copies = output.data != pixels.data || output.stride != pixels.stride;
        if (scan.hole.Empty()) {
            if (copies)
                for (int32_t y = 0; y < H; ++y)
                    std::memmove(output.data + y * output.stride, pixels.data + y * pixels.stride, size_t(W) * 4);
            return InpaintResult::Filled;
        }
        InpaintBase base;
        base.pixels = pixels.data;
        base.pixelStride = pixels.stride;
        base.hole = holeMask.data;
        base.holeStride = holeMask.stride;
        if (sourceMask && scan.anyAllowed) {
            base.source = sourceMask->data;
            base.sourceStride = sourceMask->stride;
        }
        base.width = W;
        base.height = H;
        const InpaintRect box = scan.hole;
        const InpaintBuffer<uint8_t> filled = InpaintSynthesizeRegion(base, box, ctx);
        if (ctx.CancelRequested()) return InpaintResult::Cancelled;
        if (filled.size() != size_t(box.Width()) * size_t(box.Height()) * 3) return InpaintResult::Failed;
        // From here on the fill completes: the blend is a single quick pass.
#pragma omp parallel for schedule(static) if (options.parallel && int64_t(W) * H >= (int64_t(1) << 18))
        for (int32_t y = 0; y < H; ++y) {
            const uint8_t* p = pixels.data + y * pixels.stride;
            uint8_t* o = output.data + y * output.stride;
            if (copies) std::memmove(o, p, size_t(W) * 4);
            if (y < box.y0 || y >= box.y1) continue;
            const uint8_t* m = holeMask.data + y * holeMask.stride;
            const uint8_t* f = filled.data() + size_t(y - box.y0) * size_t(box.Width()) * 3;
            for (int32_t x = box.x0; x < box.x1; ++x) {
                const uint32_t v = m[x];
                if (v == 0) continue;
                const uint8_t* in = p + size_t(x) * 4;
                uint8_t* out = o + size_t(x) * 4;
                const uint8_t* fx = f + size_t(x - box.x0) * 3;
                const uint32_t alpha = in[3];
                for (int c = 0; c < 3; ++c) out[c] = uint8_t((v * fx[c] + (255 - v) * in[c] + 127) / 255);
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
