// The bone list's geometry on small scenes: tree order with broken parents,
// what each point hits, where a dragged header drops, and the scroll
// arithmetic at its edges (no parts, a list shorter than the window, a
// window too short for the thumb).
#include "posable/BoneListLayout.h"

#include <gtest/gtest.h>

namespace {

Bone B(const std::string& id, const std::string& parent = "") {
    Bone b;
    b.id = b.name = id;
    b.hasParent = !parent.empty();
    b.parentId = parent;
    return b;
}

CanvasObject Part(const std::string& id, int z, std::vector<Bone> bones = {}) {
    CanvasObject o;
    o.id = o.name = id;
    o.z = z;
    o.bones = std::move(bones);
    return o;
}

// layer_2 (on top) holds A with a root and a child bone; layer_1 holds B
// (no bones, above) and C (one bone, collapsed). Rows at scroll 0:
//   A header 8..50, A's bones 52..76 and 78..102, B header 104..146,
//   "no bones" row advancing to 174, C header 174..216; content 226.
struct Fixture {
    CanvasDocument scene;
    std::map<std::string, bool> expanded{{"C", false}};

    Fixture() {
        Layer l1, l2;
        l1.id = "layer_1", l1.order = 0;
        l2.id = "layer_2", l2.order = 1;
        l2.objects.push_back(Part("A", 0, {B("root"), B("child", "root")}));
        l1.objects.push_back(Part("B", 1));
        l1.objects.push_back(Part("C", 0, {B("c1")}));
        scene.layers = {l1, l2};
    }
    BoneListView View(int scroll = 0, int width = 220, int height = 400) const {
        BoneListView v;
        v.scene = &scene;
        v.expanded = &expanded;
        v.scroll = scroll;
        v.width = width;
        v.height = height;
        return v;
    }
};

std::vector<std::pair<std::string, int>> Order(const std::vector<Bone>& bones) {
    std::vector<std::pair<std::string, int>> out;
    for (const BoneListBone& b : OrderBonesAsTree(bones)) out.emplace_back(b.bone->id, b.depth);
    return out;
}

}  // namespace

TEST(BoneListLayout, TreeOrderPutsOrphansAndCyclesAfterTheTreeOnce) {
    using V = std::vector<std::pair<std::string, int>>;
    // Children follow their parent depth first, in list order, wherever they are listed.
    EXPECT_EQ(Order({B("leaf", "mid"), B("root"), B("mid", "root"), B("b", "root")}),
              (V{{"root", 0}, {"mid", 1}, {"leaf", 2}, {"b", 1}}));
    // A parent naming no bone, a two-bone cycle and a bone hanging from the
    // cycle are listed after the tree at depth 0, in list order.
    EXPECT_EQ(Order({B("x", "y"), B("orphan", "gone"), B("root"), B("y", "x"), B("z", "x")}),
              (V{{"root", 0}, {"x", 0}, {"orphan", 0}, {"y", 0}, {"z", 0}}));
    // A bone that is its own parent is unreachable; a second bone reusing a
    // root's id is not visited again but still listed.
    EXPECT_EQ(Order({B("self", "self"), B("r"), B("r")}), (V{{"r", 0}, {"self", 0}, {"r", 0}}));
    EXPECT_TRUE(OrderBonesAsTree({}).empty());
}

TEST(BoneListLayout, PartsAreOrderedByLayerThenZTopmostFirst) {
    Fixture f;
    std::vector<std::string> ids;
    for (const BoneListPart& p : CollectPartsByOrder(f.scene)) ids.push_back(p.part->id);
    EXPECT_EQ(ids, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(f.View().ContentHeight(), 226);
}

TEST(BoneListLayout, HitTestTable) {
    Fixture f;
    const BoneListView v = f.View();
    struct Case {
        int x, y;
        int kind;
        const char* part;
        const char* bone;
    } cases[] = {
        {200, 29, kBoneHitScrollBar, "", ""},    // the rightmost 20 px, with no bar shown
        {219, 999, kBoneHitScrollBar, "", ""},   // whatever the y
        {18, 29, kBoneHitVisible, "A", ""},
        {26, 29, kBoneHitVisible, "A", ""},      // 8 px from the dot's centre
        {38, 29, kBoneHitLock, "A", ""},
        {38, 37, kBoneHitLock, "A", ""},
        {48, 29, kBoneHitArrow, "A", ""},
        {69, 10, kBoneHitArrow, "A", ""},
        {70, 29, kBoneHitPartHeader, "A", ""},
        {2, 8, kBoneHitPartHeader, "A", ""},     // left of the header box, on its rows
        {100, 50, kBoneHitNothing, "", ""},      // the gap under a header
        {100, 52, kBoneHitBone, "A", "root"},
        {100, 76, kBoneHitNothing, "", ""},      // the gap between bone rows
        {100, 101, kBoneHitBone, "A", "child"},
        {100, 110, kBoneHitPartHeader, "B", ""},
        {100, 160, kBoneHitNothing, "", ""},     // the "no bones" row
        {100, 174, kBoneHitPartHeader, "C", ""}, // collapsed: no rows under it
        {100, 220, kBoneHitNothing, "", ""},
        {100, 3, kBoneHitNothing, "", ""},
    };
    for (const Case& c : cases) {
        const BoneListHit h = BoneListHitTest(v, c.x, c.y);
        EXPECT_EQ(h.kind, c.kind) << c.x << "," << c.y;
        EXPECT_EQ(h.partId, c.part) << c.x << "," << c.y;
        EXPECT_EQ(h.boneId, c.bone) << c.x << "," << c.y;
    }
    // Scrolled by 100 the first rows move up by as much.
    EXPECT_EQ(BoneListHitTest(f.View(100), 100, 10).partId, "B");
    // Without a scene only the scroll zone answers.
    BoneListView none = v;
    none.scene = nullptr;
    EXPECT_EQ(BoneListHitTest(none, 100, 29).kind, kBoneHitNothing);
    EXPECT_EQ(BoneListHitTest(none, 210, 29).kind, kBoneHitScrollBar);
}

TEST(BoneListLayout, DropIndexLineAndTargetTable) {
    Fixture f;
    const BoneListView v = f.View();
    struct Case {
        int y, index, lineY;
        const char* layer;
        int position;
    } cases[] = {
        {-50, 0, 8, "layer_2", 0},   {28, 0, 8, "layer_2", 0},     // upper half of A's header
        {29, 1, 104, "layer_1", 0},  {124, 1, 104, "layer_1", 0},  // A's lower half and bones: above B
        {125, 2, 174, "layer_1", 1}, {194, 2, 174, "layer_1", 1},  // B's lower half and "no bones"
        {195, 3, 218, "layer_1", 2}, {5000, 3, 218, "layer_1", 2}, // past the last part: its layer's bottom
    };
    for (const Case& c : cases) {
        const int index = BoneListDropIndexAt(v, c.y);
        EXPECT_EQ(index, c.index) << c.y;
        EXPECT_EQ(BoneListDropLineY(v, index), c.lineY) << c.y;
        const BoneListDropTarget t = BoneListDropTargetAt(v, index);
        EXPECT_TRUE(t.valid) << c.y;
        EXPECT_EQ(t.layerId, c.layer) << c.y;
        EXPECT_EQ(t.position, c.position) << c.y;
    }
    // No scene or no parts: no drop.
    BoneListView none = v;
    none.scene = nullptr;
    EXPECT_EQ(BoneListDropIndexAt(none, 10), -1);
    CanvasDocument empty;
    none.scene = &empty;
    EXPECT_EQ(BoneListDropIndexAt(none, 10), -1);
    EXPECT_FALSE(BoneListDropTargetAt(v, -1).valid);
    EXPECT_FALSE(BoneListDropTargetAt(v, 4).valid);
}

TEST(BoneListLayout, ScrollArithmeticAtTheEdges) {
    // No parts: 16 px of margins, nothing to scroll, no bar, a thumb drag and
    // the wheel stay at 0.
    CanvasDocument empty;
    BoneListView v;
    v.scene = &empty;
    v.width = 220, v.height = 400;
    EXPECT_EQ(v.ContentHeight(), 16);
    EXPECT_EQ(v.MaxScroll(), 0);
    EXPECT_FALSE(BoneListScrollBarRects(v).shown);
    EXPECT_EQ(BoneListThumbDragOffset(v, 10, 0, 300), 0);
    EXPECT_EQ(v.ClampScroll(-5), 0);
    EXPECT_EQ(v.ClampScroll(40), 0);

    // The fixture (226 px) in a 400 px window: shorter than the window.
    Fixture f;
    EXPECT_EQ(f.View().MaxScroll(), 0);
    EXPECT_FALSE(BoneListScrollBarRects(f.View()).shown);
    // In a 100 px window: 126 to scroll; track 88, thumb max(88*100/226, 28) = 38.
    BoneListView s = f.View(0, 220, 100);
    EXPECT_EQ(s.MaxScroll(), 126);
    BoneListScrollBar bar = BoneListScrollBarRects(s);
    ASSERT_TRUE(bar.shown);
    EXPECT_EQ(bar.track, (RectI{206, 6, 213, 94}));
    EXPECT_EQ(bar.thumb, (RectI{205, 6, 214, 44}));
    s.scroll = 126;
    EXPECT_EQ(BoneListScrollBarRects(s).thumb, (RectI{205, 56, 214, 94}));  // at the track's end
    // Dragging the thumb its free 50 px covers the whole range; half of it half.
    EXPECT_EQ(BoneListThumbDragOffset(s, 20, 0, 45), 63);
    EXPECT_EQ(BoneListThumbDragOffset(s, 20, 0, 70), 126);
    EXPECT_EQ(BoneListThumbDragOffset(s, 20, 0, 5000), 126);
    EXPECT_EQ(BoneListThumbDragOffset(s, 20, 126, -5000), 0);
    // A window shorter than the thumb: no division by zero, offsets still clamped.
    BoneListView tiny = f.View(0, 220, 5);
    EXPECT_EQ(tiny.MaxScroll(), 221);
    EXPECT_TRUE(BoneListScrollBarRects(tiny).shown);
    EXPECT_EQ(BoneListThumbDragOffset(tiny, 0, 0, 1), 221);
    tiny.height = 0;  // counts as 1
    EXPECT_EQ(tiny.MaxScroll(), 225);

    // At the largest offset the last row ("no bones" of a last part without
    // bones) lies inside the window.
    f.expanded.clear();
    f.scene.layers[0].objects.pop_back();  // B, without bones, is now the last part
    BoneListView last = f.View(0, 220, 100);
    last.scroll = last.MaxScroll();
    const std::vector<BoneListBox> rows = LayoutBoneList(last);
    ASSERT_EQ(rows.back().kind, BoneListBox::NoBones);
    EXPECT_LE(rows.back().box.bottom, 100);
    EXPECT_GE(rows.back().box.top, 0);
}

TEST(BoneListLayout, WheelScrollsWholeNotchesOnly) {
    BoneListWheel w;
    EXPECT_EQ(w.Add(60), 0);     // less than a notch does not scroll...
    EXPECT_EQ(w.Add(60), -40);   // ...but two halves make one
    EXPECT_EQ(w.Add(-119), 0);
    EXPECT_EQ(w.Add(-1), 40);
    EXPECT_EQ(w.Add(-360), 120);
    w.Reset();
    EXPECT_EQ(w.Add(2147483647), -17895697 * 40);  // no overflow on a wild delta
    EXPECT_EQ(w.Add(113), -40);                      // its rest of 7 carries
}
