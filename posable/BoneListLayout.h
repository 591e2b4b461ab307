#pragma once
// The bone list's rows without a window: the Pose Editor scene's parts in
// stacking order (topmost first), each part's bones as an indented tree, where
// the rows lie for a scroll offset, what a point hits, where a dragged part
// header drops and the scroll bar's arithmetic. Sizes are pixels, unscaled.
#include "platform/RectI.h"
#include "scene/CanvasDocument.h"

#include <map>
#include <string>
#include <vector>

enum BoneListHitKind : int {
    kBoneHitNothing = 0,
    kBoneHitScrollBar = 1,
    kBoneHitPartHeader = 2,
    kBoneHitArrow = 3,
    kBoneHitVisible = 4,
    kBoneHitLock = 5,
    kBoneHitBone = 6,
};

struct BoneListHit {
    int kind = kBoneHitNothing;
    std::string partId;
    std::string boneId;
};

// A part of the list with the layer that holds it.
struct BoneListPart {
    const Layer* layer = nullptr;
    const CanvasObject* part = nullptr;
};

// A bone in tree order with its indentation depth.
struct BoneListBone {
    const Bone* bone = nullptr;
    int depth = 0;
};

// Every object of every layer, sorted by layer order x 10000 + z, largest
// first; equal keys keep their stored order.
std::vector<BoneListPart> CollectPartsByOrder(const CanvasDocument& scene);

// The bones as a tree: each root (in list order) followed by its children
// depth first. Bones the walk never reaches (a parent id naming no bone, or
// a parent cycle) follow at depth 0 in list order; every bone appears once.
std::vector<BoneListBone> OrderBonesAsTree(const std::vector<Bone>& bones);

// What the list shows: the Pose Editor scene (null without a document or
// outside the Pose Editor), the expanded map, the scroll offset and the
// client size.
struct BoneListView {
    static constexpr int kHeaderHeight = 42, kHeaderPitch = 44;
    static constexpr int kBoneHeight = 24, kBonePitch = 26;
    static constexpr int kMargin = 8, kIndent = 12, kScrollZone = 20;

    const CanvasDocument* scene = nullptr;
    const std::map<std::string, bool>* expanded = nullptr;
    int scroll = 0;
    int width = 0, height = 0;

    // A part without an entry counts as expanded.
    bool IsExpanded(const std::string& partId) const;
    // The width of a header row (client width - 28, at least 1).
    int RowWidth() const;
    // 8 + the rows' advances + 8; 0 without a scene.
    int ContentHeight() const;
    int MaxScroll() const;
    int ClampScroll(int offset) const;
};

// One laid-out row, for painting.
struct BoneListBox {
    enum Kind { Header, NoBones, BoneRow } kind = Header;
    RectI box;
    BoneListPart part;
    const Bone* bone = nullptr;
    int depth = 0;
};
std::vector<BoneListBox> LayoutBoneList(const BoneListView& v);

BoneListHit BoneListHitTest(const BoneListView& v, int x, int y);

// The insertion index among the parts for a drop at y (the count of parts:
// below the last), or -1 when there is no drop (no scene, no parts).
int BoneListDropIndexAt(const BoneListView& v, int y);
// The top of the header the index names, or where a further header would
// start for an index past the last part.
int BoneListDropLineY(const BoneListView& v, int index);

// Where a part dropped at index goes: the named part's layer and position
// (from the top), or the bottom of the last part's layer. Not valid for an
// index out of range or a layer without id.
struct BoneListDropTarget {
    std::string layerId;
    int position = 0;
    bool valid = false;
};
BoneListDropTarget BoneListDropTargetAt(const BoneListView& v, int index);

// The scroll bar, shown only when the content is taller than the client.
struct BoneListScrollBar {
    bool shown = false;
    RectI track, thumb;
};
BoneListScrollBar BoneListScrollBarRects(const BoneListView& v);
// The scroll offset while the thumb is dragged from startY (offset
// startOffset) to y, clamped.
int BoneListThumbDragOffset(const BoneListView& v, int startY, int startOffset, int y);

// Adds up wheel deltas (120ths of a notch) so that high-resolution wheels,
// which send parts of a notch, still scroll: returns the scroll change in
// pixels (40 a notch, negative for a forward turn) and keeps the rest.
class BoneListWheel {
public:
    static constexpr int kNotchPixels = 40;
    int Add(int delta);
    void Reset() { rest_ = 0; }

private:
    int rest_ = 0;
};
