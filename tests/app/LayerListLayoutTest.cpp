#include "app/LayerListLayout.h"

#include <gtest/gtest.h>

namespace {
CanvasObject Obj(const std::string& id, int z, bool mask = false) {
    CanvasObject o;
    o.id = id;
    o.z = z;
    if (mask) {
        o.maskEnabled = true;
        o.maskWidth = o.maskHeight = 2;
        o.maskPixels.assign(4, 255);
    }
    return o;
}

// Layer "top" (order 2) holds a (masked, topmost) and b; layer "bottom"
// (order 1) holds c. Stored in drawing order, so the list shows them reversed.
CanvasDocument Scene() {
    CanvasDocument s;
    s.layers.clear();
    Layer bottom;
    bottom.id = "bottom";
    bottom.order = 1;
    bottom.objects.push_back(Obj("c", 0));
    Layer top;
    top.id = "top";
    top.order = 2;
    top.objects.push_back(Obj("b", 0));
    top.objects.push_back(Obj("a", 1, true));
    s.layers.push_back(bottom);
    s.layers.push_back(top);
    return s;
}
}  // namespace

TEST(LayerListLayout, HeightsAndScroll) {
    CanvasDocument s = Scene();
    std::map<std::string, bool> expanded;
    LayerListView v{&s, &expanded, false, 0, 220, 300, {}};
    EXPECT_EQ(v.ObjectBlockHeight(s.layers[1].objects[1]), 108 + 58);  // with its Mask row
    EXPECT_EQ(v.ContentHeight(), 10 + 36 + (166 + 108) + 36 + 108 + 46);
    EXPECT_EQ(v.MaximumScroll(), v.ContentHeight() - 300);
    v.compact = true;
    EXPECT_EQ(v.ObjectBlockHeight(s.layers[1].objects[1]), 58 + 36);
    // All collapsed: 56 + 36 per layer.
    expanded = {{"top", false}, {"bottom", false}};
    EXPECT_EQ(v.ContentHeight(), 56 + 72);
    EXPECT_EQ(LayerListView{}.ContentHeight(), 0);
    // Content exactly as high as the client: no scroll bar; one pixel more shows it.
    v.height = v.ContentHeight();
    EXPECT_FALSE(LayerListScrollBarRects(v).shown);
    v.height -= 1;
    EXPECT_TRUE(LayerListScrollBarRects(v).shown);
    EXPECT_EQ(LayerListScrollBarRects(v).thumb.top, 6);
}

TEST(LayerListLayout, HitTestTable) {
    CanvasDocument s = Scene();
    std::map<std::string, bool> expanded;
    const LayerListView v{&s, &expanded, false, 0, 220, 800, {}};
    // Rows from y = 8: header "top" 8..42, a 44..150 (its Mask 152..208), b
    // 210..316, header "bottom" 318..352, c 354..460, canvas 462..496.
    struct Case {
        int x, y, kind;
        const char* layer;
        const char* object;
        int position;
    } cases[] = {
        {210, 100, kRowScrollStrip, "", "", -1},
        {18, 25, kRowLayerVisible, "top", "", -1},  {44, 25, kRowLayerLock, "top", "", -1},
        {60, 25, kRowExpander, "top", "", -1},      {120, 25, kRowLayerHeader, "top", "", -1},
        {18, 97, kRowObjectVisible, "top", "a", -1}, {36, 97, kRowObjectLock, "top", "a", -1},
        {120, 97, kRowObject, "top", "a", 0},       {120, 180, kRowMask, "top", "a", 0},
        {120, 209, kRowNothing, "", "", -1},        {120, 250, kRowObject, "top", "b", 1},
        {120, 400, kRowObject, "bottom", "c", 0},   {18, 479, kRowCanvasDot, "", "", -1},
        {120, 479, kRowCanvas, "", "", -1},         {120, 600, kRowNothing, "", "", -1},
    };
    for (const Case& c : cases) {
        const LayerListRow r = LayerListHitTest(v, c.x, c.y);
        EXPECT_EQ(r.kind, c.kind) << c.x << "," << c.y;
        EXPECT_EQ(r.layerId, c.layer) << c.x << "," << c.y;
        EXPECT_EQ(r.objectId, c.object) << c.x << "," << c.y;
        EXPECT_EQ(r.position, c.position) << c.x << "," << c.y;
    }
    // Without a document only the scroll strip answers.
    const LayerListView none{nullptr, nullptr, false, 0, 220, 800, {}};
    EXPECT_EQ(LayerListHitTest(none, 100, 20).kind, kRowNothing);
    EXPECT_EQ(LayerListHitTest(none, 205, 20).kind, kRowScrollStrip);
}

TEST(LayerListLayout, DropTargetsAndLines) {
    CanvasDocument s = Scene();
    std::map<std::string, bool> expanded;
    const LayerListView v{&s, &expanded, false, 0, 220, 800, {}};
    struct Case {
        int y;
        const char* layer;
        int position;
        int lineY;
    } cases[] = {
        {20, "top", 0, 44},      // the header: top of the layer
        {60, "top", 0, 44},      // upper half of a's block (44..210)
        {200, "top", 1, 210},    // lower half of a
        {300, "top", 2, 318},    // lower half of b: after its block
        {330, "bottom", 0, 354},  // the second header
        {470, "bottom", 1, 462},  // the canvas row: end of the bottom layer
        {2, "bottom", 1, 462},    // above everything: also the end of the bottom layer
    };
    for (const Case& c : cases) {
        const LayerListDropTarget t = LayerListDropTargetAt(v, c.y);
        EXPECT_TRUE(t.valid);
        EXPECT_EQ(t.layerId, c.layer) << c.y;
        EXPECT_EQ(t.position, c.position) << c.y;
        EXPECT_EQ(LayerListDropLineY(v, t), c.lineY) << c.y;
    }
    CanvasDocument empty;
    empty.layers.clear();
    EXPECT_FALSE(LayerListDropTargetAt({&empty, &expanded, false, 0, 220, 800, {}}, 30).valid);
}

TEST(LayerListLayout, WheelAndThumbAndCanvasDot) {
    WheelNotches w;
    EXPECT_EQ(w.Add(60), 0);   // half a notch scrolls nothing yet ...
    EXPECT_EQ(w.Add(60), 1);   // ... the second half completes it
    EXPECT_EQ(w.Add(-240), -2);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(w.Add(15), 0);
    EXPECT_EQ(w.Add(15), 1);

    CanvasDocument s = Scene();
    std::map<std::string, bool> expanded;
    LayerListView v{&s, &expanded, false, 0, 220, 200, {}};
    EXPECT_EQ(LayerListThumbDragOffset(v, 50, 0, 50), 0);
    EXPECT_EQ(LayerListThumbDragOffset(v, 50, 0, 5000), v.MaximumScroll());
    EXPECT_EQ(LayerListThumbDragOffset(v, 50, 0, -500), 0);

    EXPECT_EQ(ToggleCanvasTransparency(0x00000000), 0xFFFFFFFFu);
    EXPECT_EQ(ToggleCanvasTransparency(0xFFFFFFFF), 0x00FFFFFFu);
    EXPECT_EQ(ToggleCanvasTransparency(0x00123456), 0xFF123456u);
    EXPECT_EQ(ToggleCanvasTransparency(0x80FF0000), 0x00FF0000u);
}
