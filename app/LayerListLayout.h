#pragma once
// The layer list's rows without a window: which rows the main scene gives
// (layer headers, object rows, "Mask" sub-rows, the canvas row), where they
// lie for a scroll offset, what a point hits, where a dragged object drops
// and the scroll bar's track and thumb. Sizes are pixels and not scaled.
#include "platform/RectI.h"
#include "scene/CanvasDocument.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

enum LayerListRowKind : int {
    kRowNothing = 0,
    kRowScrollStrip = 1,
    kRowLayerHeader = 2,
    kRowExpander = 3,
    kRowLayerVisible = 4,
    kRowLayerLock = 5,
    kRowObjectVisible = 6,
    kRowObjectLock = 7,
    kRowObject = 8,
    kRowMask = 9,
    kRowCanvasDot = 10,
    kRowCanvas = 11,
};

struct LayerListRow {
    int kind = kRowNothing;
    std::string layerId;
    std::string objectId;
    int position = -1;  // object rows and sub-rows: display position in the layer
};

struct LayerListDropTarget {
    std::string layerId;
    int position = 0;  // 0 = above the topmost object
    bool valid = false;
};

// What the list shows and how: the scene (null without a document), the
// expanded map, compact mode, the scroll offset and the client size.
struct LayerListView {
    const CanvasDocument* scene = nullptr;
    const std::map<std::string, bool>* expanded = nullptr;
    bool compact = false;
    int scroll = 0;
    int width = 0, height = 0;
    // True when the object shows a "Mask" sub-row; null: a usable mask plane.
    std::function<bool(const CanvasObject&)> hasMaskRow;

    bool IsExpanded(const std::string& layerId) const;
    int SubRowCount(const CanvasObject& o) const;
    int ObjectRowHeight() const { return compact ? 56 : 106; }
    int ObjectBlockHeight(const CanvasObject& o) const;
    int SubRowHeight() const { return compact ? 34 : 56; }
    int SubRowPitch() const { return compact ? 36 : 58; }
    int ContentHeight() const;
    int MaximumScroll() const;
    int ClampScroll(int offset) const;
};

// Layers top first (descending order number) and a layer's objects topmost
// first (descending z); equal keys keep their stored order.
std::vector<const Layer*> LayersInDisplayOrder(const CanvasDocument& scene);
std::vector<const CanvasObject*> ObjectsInDisplayOrder(const Layer& layer);

// One laid-out row, for painting.
struct LayerListBox {
    enum Kind { Header, Object, Mask, Canvas } kind = Header;
    RectI box;
    const Layer* layer = nullptr;
    const CanvasObject* object = nullptr;
};
std::vector<LayerListBox> LayoutLayerList(const LayerListView& v);

LayerListRow LayerListHitTest(const LayerListView& v, int x, int y);
LayerListDropTarget LayerListDropTargetAt(const LayerListView& v, int y);
int LayerListDropLineY(const LayerListView& v, const LayerListDropTarget& t);

// The scroll bar, shown only when the content is taller than the client.
struct LayerListScrollBar {
    bool shown = false;
    RectI track, thumb;
};
LayerListScrollBar LayerListScrollBarRects(const LayerListView& v);
// The scroll offset while the thumb is dragged from startY (offset startOffset) to y.
int LayerListThumbDragOffset(const LayerListView& v, int startY, int startOffset, int y);

// The canvas colour after a click on the canvas row's dot: a transparent
// canvas becomes opaque (white when it was black), an opaque one transparent.
uint32_t ToggleCanvasTransparency(uint32_t argb);

// Collects wheel deltas so that high-resolution wheels, which send steps
// smaller than a notch, still scroll: returns the whole notches (signed, in
// the wheel's direction) reached so far and keeps the rest.
class WheelNotches {
public:
    int Add(int delta);
    void Reset() { rest_ = 0; }

private:
    int rest_ = 0;
};
