#include "posable/BoneListLayout.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <set>

namespace {
using V = BoneListView;

int ClampToInt(int64_t v) { return int(std::clamp<int64_t>(v, INT_MIN, INT_MAX)); }

// The height a part takes below its header's top: the header, and when
// expanded one row per bone or the "no bones" row.
int64_t PartAdvance(const BoneListView& v, const CanvasObject& part) {
    int64_t a = V::kHeaderPitch;
    if (v.IsExpanded(part.id)) a += int64_t(V::kBonePitch) * std::max<int64_t>(1, int64_t(part.bones.size()));
    return a;
}

RectI Box(int x, int64_t y, int w, int h) {
    const int top = ClampToInt(y);
    return {x, top, x + std::max(0, w), ClampToInt(int64_t(top) + h)};
}

bool Within(int x, int y, int cx, int cy, int r) {
    const int64_t dx = int64_t(x) - cx, dy = int64_t(y) - cy;
    return dx * dx + dy * dy <= int64_t(r) * r;
}
}  // namespace

std::vector<BoneListPart> CollectPartsByOrder(const CanvasDocument& scene) {
    struct Keyed {
        int64_t key;
        BoneListPart part;
    };
    std::vector<Keyed> all;
    for (const Layer& l : scene.layers)
        for (const CanvasObject& o : l.objects) all.push_back({int64_t(l.order) * 10000 + o.z, {&l, &o}});
    std::stable_sort(all.begin(), all.end(), [](const Keyed& a, const Keyed& b) { return a.key > b.key; });
    std::vector<BoneListPart> out;
    out.reserve(all.size());
    for (const Keyed& k : all) out.push_back(k.part);
    return out;
}

std::vector<BoneListBone> OrderBonesAsTree(const std::vector<Bone>& bones) {
    std::vector<BoneListBone> out;
    std::vector<bool> emitted(bones.size(), false);
    std::set<std::string> finished, inProgress;
    auto indexOf = [&](const std::string& id) -> int {
        for (size_t i = 0; i < bones.size(); ++i)
            if (bones[i].id == id) return int(i);
        return -1;
    };
    // Depth first with an explicit stack, so a deep chain cannot exhaust the
    // call stack. Each frame is a bone and the next list index to look at for
    // its children.
    struct Frame {
        int bone;
        size_t next;
        int depth;
    };
    auto visit = [&](const std::string& rootId) {
        std::vector<Frame> stack;
        auto enter = [&](const std::string& id, int depth) {
            if (finished.count(id) || inProgress.count(id)) return;
            const int i = indexOf(id);
            if (i < 0) return;
            inProgress.insert(id);
            out.push_back({&bones[size_t(i)], depth});
            emitted[size_t(i)] = true;
            stack.push_back({i, 0, depth});
        };
        enter(rootId, 0);
        while (!stack.empty()) {
            Frame& f = stack.back();
            const std::string& id = bones[size_t(f.bone)].id;
            while (f.next < bones.size() && !(bones[f.next].hasParent && bones[f.next].parentId == id)) ++f.next;
            if (f.next < bones.size()) {
                const size_t child = f.next++;
                const int depth = f.depth + 1;
                enter(bones[child].id, depth);  // may reallocate the stack: f is not used after this
                continue;
            }
            inProgress.erase(id);
            finished.insert(id);
            stack.pop_back();
        }
    };
    for (const Bone& b : bones)
        if (!b.hasParent) visit(b.id);
    for (size_t i = 0; i < bones.size(); ++i)
        if (!emitted[i]) out.push_back({&bones[i], 0});
    return out;
}

bool BoneListView::IsExpanded(const std::string& partId) const {
    if (!expanded) return true;
    auto it = expanded->find(partId);
    return it == expanded->end() || it->second;
}

int BoneListView::RowWidth() const { return std::max(1, width - 28); }

int BoneListView::ContentHeight() const {
    if (!scene) return 0;
    int64_t h = 2 * kMargin;
    for (const BoneListPart& p : CollectPartsByOrder(*scene)) h += PartAdvance(*this, *p.part);
    return ClampToInt(h);
}

int BoneListView::MaxScroll() const { return std::max(0, ContentHeight() - std::max(1, height)); }

int BoneListView::ClampScroll(int offset) const { return std::clamp(offset, 0, MaxScroll()); }

std::vector<BoneListBox> LayoutBoneList(const BoneListView& v) {
    std::vector<BoneListBox> out;
    if (!v.scene) return out;
    const int W = v.RowWidth();
    int64_t y = int64_t(V::kMargin) - v.scroll;
    for (const BoneListPart& p : CollectPartsByOrder(*v.scene)) {
        out.push_back({BoneListBox::Header, Box(V::kMargin, y, W, V::kHeaderHeight), p, nullptr, 0});
        y += V::kHeaderPitch;
        if (!v.IsExpanded(p.part->id)) continue;
        if (p.part->bones.empty()) {
            out.push_back({BoneListBox::NoBones, Box(38, y + 4, W - 30, 18), p, nullptr, 0});
            y += V::kBonePitch;
            continue;
        }
        for (const BoneListBone& b : OrderBonesAsTree(p.part->bones)) {
            const int indent = V::kIndent * b.depth;
            out.push_back({BoneListBox::BoneRow, Box(30 + indent, y, W - 22 - indent, V::kBoneHeight), p, b.bone,
                           b.depth});
            y += V::kBonePitch;
        }
    }
    return out;
}

BoneListHit BoneListHitTest(const BoneListView& v, int x, int y) {
    BoneListHit hit;
    if (x >= v.width - V::kScrollZone) {
        hit.kind = kBoneHitScrollBar;
        return hit;
    }
    for (const BoneListBox& b : LayoutBoneList(v)) {
        const int t = b.box.top;
        if (b.kind == BoneListBox::Header && y >= t && y < t + V::kHeaderHeight) {
            const int cy = t + V::kHeaderHeight / 2;
            hit.partId = b.part.part->id;
            if (Within(x, y, 18, cy, 8)) hit.kind = kBoneHitVisible;
            else if (Within(x, y, 38, cy, 8)) hit.kind = kBoneHitLock;
            else if (x >= 48 && x <= 69) hit.kind = kBoneHitArrow;
            else hit.kind = kBoneHitPartHeader;
            return hit;
        }
        if (b.kind == BoneListBox::BoneRow && y >= t && y < t + V::kBoneHeight) {
            hit.kind = kBoneHitBone;
            hit.partId = b.part.part->id;
            hit.boneId = b.bone->id;
            return hit;
        }
    }
    return hit;
}

int BoneListDropIndexAt(const BoneListView& v, int y) {
    if (!v.scene) return -1;
    const std::vector<BoneListPart> parts = CollectPartsByOrder(*v.scene);
    if (parts.empty()) return -1;
    int64_t top = int64_t(V::kMargin) - v.scroll;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (y < top + V::kHeaderHeight / 2) return int(i);
        top += PartAdvance(v, *parts[i].part);
        if (y < top) return int(i + 1);
    }
    return int(parts.size());
}

int BoneListDropLineY(const BoneListView& v, int index) {
    int64_t top = int64_t(V::kMargin) - v.scroll;
    if (!v.scene) return ClampToInt(top);
    const std::vector<BoneListPart> parts = CollectPartsByOrder(*v.scene);
    for (int i = 0; i < index && i < int(parts.size()); ++i) top += PartAdvance(v, *parts[size_t(i)].part);
    return ClampToInt(top);
}

BoneListDropTarget BoneListDropTargetAt(const BoneListView& v, int index) {
    BoneListDropTarget t;
    if (!v.scene || index < 0) return t;
    const std::vector<BoneListPart> parts = CollectPartsByOrder(*v.scene);
    if (parts.empty() || index > int(parts.size())) return t;
    if (index < int(parts.size())) {
        const BoneListPart& p = parts[size_t(index)];
        t.layerId = p.layer->id;
        t.position = std::max(0, p.layer->IndexOfObject(p.part->id));
    } else {
        const Layer* l = parts.back().layer;
        t.layerId = l->id;
        t.position = int(l->objects.size());
    }
    t.valid = !t.layerId.empty();
    return t;
}

BoneListScrollBar BoneListScrollBarRects(const BoneListView& v) {
    BoneListScrollBar s;
    const int content = v.ContentHeight();
    const int viewH = std::max(1, v.height);
    if (!v.scene || content <= viewH) return s;
    s.shown = true;
    const int track = std::max(1, v.height - 12);
    s.track = {v.width - 14, 6, v.width - 7, 6 + track};
    const int thumb = std::max(28, int(int64_t(viewH) * track / content));
    const int top = 6 + int(int64_t(std::max(1, track - thumb)) * v.scroll / std::max(1, v.MaxScroll()));
    s.thumb = {v.width - 15, top, v.width - 6, top + thumb};
    return s;
}

int BoneListThumbDragOffset(const BoneListView& v, int startY, int startOffset, int y) {
    const int viewH = std::max(1, v.height);
    const int content = v.ContentHeight();
    const int track = std::max(1, v.height - 12);
    const int thumb = std::max(28, int(int64_t(track) * viewH / std::max(viewH, content)));
    const int64_t range = std::max(0, content - viewH);
    const int64_t offset = int64_t(startOffset) + (int64_t(y) - startY) * range / std::max(1, track - thumb);
    return v.ClampScroll(ClampToInt(offset));
}

int BoneListWheel::Add(int delta) {
    const int64_t sum = int64_t(rest_) + delta;
    const int64_t notches = sum / 120;  // truncates toward zero
    rest_ = int(sum - notches * 120);
    return ClampToInt(-notches * kNotchPixels);
}
