#include "app/LayerListLayout.h"

#include <algorithm>

namespace {
constexpr int kTop = 8, kLeft = 8;
constexpr int kHeaderHeight = 34, kHeaderPitch = 36;
constexpr int kCanvasRowHeight = 34;

bool WithinDot(int x, int dy, int cx) { return (x - cx) * (x - cx) + dy * dy <= 64; }
}  // namespace

bool LayerListView::IsExpanded(const std::string& layerId) const {
    if (!expanded) return true;
    auto it = expanded->find(layerId);
    return it == expanded->end() || it->second;
}

int LayerListView::SubRowCount(const CanvasObject& o) const {
    return (hasMaskRow ? hasMaskRow(o) : o.HasUsableMask()) ? 1 : 0;
}

int LayerListView::ObjectBlockHeight(const CanvasObject& o) const {
    return (compact ? 58 : 108) + SubRowCount(o) * SubRowPitch();
}

int LayerListView::ContentHeight() const {
    if (!scene) return 0;
    int h = 10;
    for (const Layer& layer : scene->layers) {
        h += kHeaderPitch;
        if (IsExpanded(layer.id))
            for (const CanvasObject& o : layer.objects) h += ObjectBlockHeight(o);
    }
    return h + 46;
}

int LayerListView::MaximumScroll() const { return std::max(0, ContentHeight() - std::max(1, height)); }

int LayerListView::ClampScroll(int offset) const { return std::max(0, std::min(offset, MaximumScroll())); }

std::vector<const Layer*> LayersInDisplayOrder(const CanvasDocument& scene) {
    std::vector<const Layer*> out;
    for (const Layer& l : scene.layers) out.push_back(&l);
    std::stable_sort(out.begin(), out.end(), [](const Layer* a, const Layer* b) { return a->order > b->order; });
    return out;
}

std::vector<const CanvasObject*> ObjectsInDisplayOrder(const Layer& layer) {
    std::vector<const CanvasObject*> out;
    for (const CanvasObject& o : layer.objects) out.push_back(&o);
    std::stable_sort(out.begin(), out.end(), [](const CanvasObject* a, const CanvasObject* b) { return a->z > b->z; });
    return out;
}

std::vector<LayerListBox> LayoutLayerList(const LayerListView& v) {
    std::vector<LayerListBox> out;
    if (!v.scene) return out;
    const int w = std::max(1, v.width - 26);
    int y = kTop - v.scroll;
    for (const Layer* layer : LayersInDisplayOrder(*v.scene)) {
        out.push_back({LayerListBox::Header, {kLeft, y, kLeft + w, y + kHeaderHeight}, layer, nullptr});
        y += kHeaderPitch;
        if (!v.IsExpanded(layer->id)) continue;
        for (const CanvasObject* o : ObjectsInDisplayOrder(*layer)) {
            out.push_back({LayerListBox::Object, {kLeft, y, kLeft + w, y + v.ObjectRowHeight()}, layer, o});
            const int subTop = y + (v.compact ? 58 : 108);
            for (int i = 0; i < v.SubRowCount(*o); ++i) {
                const int t = subTop + i * v.SubRowPitch();
                out.push_back({LayerListBox::Mask, {kLeft, t, kLeft + w, t + v.SubRowHeight()}, layer, o});
            }
            y += v.ObjectBlockHeight(*o);
        }
    }
    out.push_back({LayerListBox::Canvas, {kLeft, y, kLeft + w, y + kCanvasRowHeight}, nullptr, nullptr});
    return out;
}

LayerListRow LayerListHitTest(const LayerListView& v, int x, int y) {
    LayerListRow r;
    if (x >= v.width - 20) {
        r.kind = kRowScrollStrip;
        return r;
    }
    if (!v.scene) return r;
    int top = kTop - v.scroll;
    for (const Layer* layer : LayersInDisplayOrder(*v.scene)) {
        if (y >= top && y < top + kHeaderHeight) {
            const int dy = y - (top + 17);
            r.kind = WithinDot(x, dy, 18)   ? kRowLayerVisible
                     : WithinDot(x, dy, 36) ? kRowLayerLock
                     : (x >= 48 && x <= 71) ? kRowExpander
                                            : kRowLayerHeader;
            r.layerId = layer->id;
            return r;
        }
        top += kHeaderPitch;
        if (!v.IsExpanded(layer->id)) continue;
        int p = 0;
        for (const CanvasObject* o : ObjectsInDisplayOrder(*layer)) {
            const int h = v.ObjectRowHeight();
            if (y >= top && y < top + h) {
                const int dy = y - (top + h / 2);
                r.kind = WithinDot(x, dy, 18) ? kRowObjectVisible : WithinDot(x, dy, 36) ? kRowObjectLock : kRowObject;
                r.position = r.kind == kRowObject ? p : -1;
                r.layerId = layer->id;
                r.objectId = o->id;
                return r;
            }
            for (int i = 0; i < v.SubRowCount(*o); ++i) {
                const int t = top + (v.compact ? 58 : 108) + i * v.SubRowPitch();
                if (y >= t && y < t + v.SubRowHeight()) {
                    r.kind = kRowMask;
                    r.position = p;
                    r.layerId = layer->id;
                    r.objectId = o->id;
                    return r;
                }
            }
            top += v.ObjectBlockHeight(*o);
            ++p;
        }
    }
    if (y >= top && y < top + kCanvasRowHeight) r.kind = WithinDot(x, y - (top + 17), 18) ? kRowCanvasDot : kRowCanvas;
    return r;
}

LayerListDropTarget LayerListDropTargetAt(const LayerListView& v, int y) {
    LayerListDropTarget fallback;
    if (!v.scene) return fallback;
    int top = kTop - v.scroll;
    for (const Layer* layer : LayersInDisplayOrder(*v.scene)) {
        if (y >= top && y < top + kHeaderHeight) return {layer->id, 0, true};
        fallback = {layer->id, 0, true};
        top += kHeaderPitch;
        if (!v.IsExpanded(layer->id)) continue;
        int j = 0;
        for (const CanvasObject* o : ObjectsInDisplayOrder(*layer)) {
            const int b = v.ObjectBlockHeight(*o);
            if (y >= top && y < top + b) return {layer->id, y < top + b / 2 ? j : j + 1, true};
            fallback = {layer->id, j + 1, true};
            top += b;
            ++j;
        }
    }
    return fallback;
}

int LayerListDropLineY(const LayerListView& v, const LayerListDropTarget& t) {
    int y = kTop - v.scroll;
    if (!v.scene) return y;
    for (const Layer* layer : LayersInDisplayOrder(*v.scene)) {
        y += kHeaderPitch;
        const bool expanded = v.IsExpanded(layer->id);
        if (layer->id == t.layerId) {
            if (t.position <= 0) return y;
            if (expanded) {
                int j = 0;
                for (const CanvasObject* o : ObjectsInDisplayOrder(*layer)) {
                    if (j == t.position) return y;
                    y += v.ObjectBlockHeight(*o);
                    ++j;
                }
            }
            return y;
        }
        if (expanded)
            for (const CanvasObject& o : layer->objects) y += v.ObjectBlockHeight(o);
    }
    return y;
}

LayerListScrollBar LayerListScrollBarRects(const LayerListView& v) {
    LayerListScrollBar s;
    const int content = v.ContentHeight();
    const int H = std::max(1, v.height);
    if (!v.scene || content <= H) return s;
    s.shown = true;
    const int t = std::max(1, v.height - 12);
    s.track = {v.width - 14, 6, v.width - 7, 6 + t};
    const int k = std::max(28, H * t / content);
    const int top = 6 + std::max(1, t - k) * v.scroll / std::max(1, v.MaximumScroll());
    s.thumb = {v.width - 15, top, v.width - 6, top + k};
    return s;
}

int LayerListThumbDragOffset(const LayerListView& v, int startY, int startOffset, int y) {
    const int H = std::max(1, v.height);
    const int content = v.ContentHeight();
    const int t = std::max(1, v.height - 12);
    const int k = H * t / std::max(H, content);
    const int m = content - H;
    const int offset = (m < 1 ? 0 : (y - startY) * m) / std::max(1, t - std::max(28, k)) + startOffset;
    return v.ClampScroll(offset);
}

uint32_t ToggleCanvasTransparency(uint32_t c) {
    if ((c >> 24) == 0) return (c & 0xFFFFFF) == 0 ? 0xFFFFFFFFu : (0xFF000000u | (c & 0xFFFFFF));
    return c & 0xFFFFFF;
}

int WheelNotches::Add(int delta) {
    rest_ += delta;
    const int notches = rest_ / 120;  // truncates toward zero
    rest_ -= notches * 120;
    return notches;
}
