#include "canvas_view/CanvasCompositeCache.h"

#include "canvas_view/CanvasViewGeometry.h"
#include "scene/CanvasDocument.h"
#include "scene/ObjectRender.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <vector>

void WalkDrawOrder(CanvasDocument& scene, const std::function<bool(CanvasObject&)>& visit) {
    for (const Drawable& d : CompositeRenderer::CollectDrawables(scene))
        if (!visit(*d.object)) return;
}

std::string GetCacheSplitObjectId(const CanvasDocument& constScene) {
    if (constScene.selectedIds.empty()) return {};
    if (constScene.selectedIds.size() == 1) return constScene.primarySelectedId;
    // The walk does not change the scene; it only needs mutable access to hand out objects.
    CanvasDocument& scene = const_cast<CanvasDocument&>(constScene);
    std::string found;
    WalkDrawOrder(scene, [&](CanvasObject& o) {
        if (std::find(scene.selectedIds.begin(), scene.selectedIds.end(), o.id) != scene.selectedIds.end()) {
            found = o.id;
            return false;
        }
        return true;
    });
    return found;
}

uint64_t CanvasTickCount() {
    using namespace std::chrono;
    uint64_t ms = uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    return ms == 0 ? 1 : ms;
}

void CanvasCompositeCache::Release() {
    cache.Release();
    live.Release();
    cacheValid = liveValid = false;
}

void CanvasCompositeCache::Rebuild(CanvasDocument& scene, int cw, int ch, const std::string& split,
                                   const CanvasObjectPainter& paint, const std::string& skipId) {
    cacheValid = false;
    if (cw < 1 || ch < 1) {
        cache.Release();
        return;
    }
    if (cache.width != cw || cache.height != ch || !cache.pixels) {
        if (!cache.Create(cw, ch)) return;
    }
    const auto start = std::chrono::steady_clock::now();
    cache.Clear(0);
    cache.dirty = true;
    const uint32_t colour = scene.canvasColour;
    if ((colour >> 24) != 0) {
        // The canvas colour is straight ARGB; the surface wants it premultiplied.
        const uint32_t a = colour >> 24;
        auto pm = [a](uint32_t c) { return (c * a + 127) / 255; };
        cache.Clear((a << 24) | (pm((colour >> 16) & 255) << 16) | (pm((colour >> 8) & 255) << 8) | pm(colour & 255));
    }
    WalkDrawOrder(scene, [&](CanvasObject& o) {
        if (!split.empty() && o.id == split) return false;
        if (!skipId.empty() && o.id == skipId) return true;
        paint(cache, o, 1.0f, 0.0f, 0.0f);
        return true;
    });
    cacheValid = true;
    cacheSplit = split;
    cacheWidth = cw;
    cacheHeight = ch;
    lastRebuildMs =
        float(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    ++rebuildCount;
    lastRebuildTick = CanvasTickCount();
}

void ComposeLiveLayers(CanvasDocument& scene, CompositeSurface& target, const std::string& split, float scale,
                       float ox, float oy, const CanvasObjectPainter& paint, const std::string& skipId) {
    if (split.empty()) return;
    bool reached = false;
    WalkDrawOrder(scene, [&](CanvasObject& o) {
        if (!reached && o.id == split) reached = true;
        if (reached && (skipId.empty() || o.id != skipId)) paint(target, o, scale, ox, oy);
        return true;
    });
}

bool CanvasCompositeCache::Prepare(CanvasDocument& scene, uint64_t changeCounter, const CanvasObjectPainter& paint,
                                   const std::string& skipId) {
    const std::string split = GetCacheSplitObjectId(scene);
    const int cw = CanvasPixelSize(scene.width), ch = CanvasPixelSize(scene.height);
    bool rebuilt = false;
    if (!(cacheValid && cache.pixels && split == cacheSplit && cw == cacheWidth && ch == cacheHeight)) {
        Rebuild(scene, cw, ch, split, paint, skipId);
        rebuilt = true;
    }
    if (!cacheValid || !cache.pixels) return false;
    if (live.width != cw || live.height != ch || !live.pixels) {
        if (!live.Create(cw, ch)) return false;
        liveValid = false;
    }
    if (!liveValid || rebuilt || changeCounter != liveCounter) {
        std::memcpy(live.pixels, cache.pixels, size_t(cw) * size_t(ch) * 4);
        live.dirty = cache.dirty;
        ComposeLiveLayers(scene, live, split, 1.0f, 0.0f, 0.0f, paint, skipId);
        liveValid = true;
        liveCounter = changeCounter;
        ++composeCount;
    }
    return true;
}

void DrawTransparencyChecker(CompositeSurface& s, float rx, float ry, float rw, float rh) {
    if (!s.pixels) return;
    const int x0 = int(std::floor(rx)), y0 = int(std::floor(ry));
    const int x1 = int(std::ceil(rx + rw)), y1 = int(std::ceil(ry + rh));
    const int cx0 = std::max(0, x0), cx1 = std::min(x1, s.width);
    const int cy0 = std::max(0, y0), cy1 = std::min(y1, s.height);
    if (cx0 >= cx1 || cy0 >= cy1) return;
#pragma omp parallel for schedule(static)
    for (int row = cy0; row < cy1; ++row) {
        uint8_t* p = s.Row(row) + size_t(cx0) * 4;
        for (int col = cx0; col < cx1; ++col, p += 4) {
            const int a = p[3];
            if (a == 255) continue;
            const int v = (((col - x0) / 8 + (row - y0) / 8) & 1) ? 204 : 255;
            const int c = (v * (255 - a) + 127) / 255;
            for (int k = 0; k < 3; ++k) p[k] = uint8_t(std::min(255, p[k] + c));
            p[3] = 255;
        }
    }
}
