// The properties pane's computing parts: which tabs a context shows, the
// controls' number texts and mappings, the dropdown popup geometry, the
// object and light tabs' models and the canvas size arithmetic.
#include "document/CQuillfenEditorDoc.h"
#include "properties/CanvasSizeMath.h"
#include "properties/DropdownLayout.h"
#include "properties/ObjectTabModel.h"
#include "properties/PropGrid.h"
#include "properties/PropNumbers.h"
#include "properties/TabContext.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

namespace {
std::string ShownTabs(const TabContext& c) {
    std::string s;
    for (int k = 0; k < int(PropTabKind::Count); ++k) {
        if (!PropTabApplies(PropTabKind(k), c)) continue;
        if (!s.empty()) s += ",";
        s += PropTabTitle(PropTabKind(k));
        if (PropTabKind(k) == PropTabKind::InpaintBrush) s += "(inpaint)";
        if (PropTabKind(k) == PropTabKind::StencilBrush) s += "(stencil)";
    }
    return s;
}

TabContext Ctx(int mode, int tool, int count = 0, int kind = 0, std::string poseObject = {}, std::string bone = {}) {
    TabContext c;
    c.mode = mode, c.tool = tool, c.selectionCount = count, c.objectKind = kind;
    if (kind) c.objectId = "object_1";
    c.poseObjectId = poseObject;
    c.poseBoneId = bone;
    if (!bone.empty()) c.poseSelectedObjectId = "object_1";
    return c;
}
}  // namespace

TEST(TabContextTest, TabsShownForContexts) {
    struct Case {
        const char* what;
        TabContext ctx;
        const char* tabs;
    } cases[] = {
        {"move, one light cone", Ctx(0, kToolMove, 1, 3), "Info"},
        {"move, one bitmap", Ctx(0, kToolMove, 1, 1), "Info,Effect"},
        {"move, one posable", Ctx(0, kToolMove, 1, 2), "Info,Effect"},
        {"move, two objects", Ctx(0, kToolMove, 2, 0), ""},
        {"move, nothing", Ctx(0, kToolMove), ""},
        {"light tool, light cone", Ctx(0, kToolLight, 1, 3), "Light"},
        {"light tool, bitmap", Ctx(0, kToolLight, 1, 1), ""},
        {"skew, bitmap", Ctx(0, kToolSkew, 1, 1), ""},
        {"paint brush", Ctx(0, kToolPaintBrush, 1, 1), "Brush,Advanced"},
        {"paint mask", Ctx(0, kToolPaintMask), "Brush,Advanced"},
        {"marquee", Ctx(0, kToolRectangleMarquee), "Selection"},
        {"refine", Ctx(0, kToolRefine), "Refine"},
        {"canvas pose on posable", Ctx(0, kToolPose, 1, 2), "Pose"},
        {"pose editor move, bone selected", Ctx(1, kToolMove, 0, 0, "object_1", "bone_1"), "Pose"},
        {"pose editor joint tool, bone", Ctx(1, kToolSelectMoveJoint, 0, 0, "object_1", "bone_1"), "Bone"},
        {"pose editor joint tool, no bone", Ctx(1, kToolSelectMoveJoint, 0, 0, "object_1"), "Pose"},
        {"pose editor add bone", Ctx(1, kToolAddBone, 0, 0, "object_1"), "Add Bone"},
        {"pose editor links", Ctx(1, kToolLinkJoints, 0, 0, "object_1"), "Links"},
        {"pose editor brush", Ctx(1, kToolPaintBrush, 0, 0, "object_1", "bone_1"), "Brush,Advanced"},
        {"kitbash, inpaint", Ctx(2, kToolStencilKitbash), "Brush(inpaint),Kitbash"},
        {"kitbash, canvas", Ctx(0, kToolStencilKitbash), "Brush(stencil),Kitbash"},
        {"kitbash, pose editor", Ctx(1, kToolStencilKitbash), "Brush(stencil),Kitbash"},
        {"eyedropper, inpaint", Ctx(2, kToolEyedropper), "Picker,Brush(inpaint)"},
        {"eyedropper, canvas", Ctx(0, kToolEyedropper), "Picker"},
        {"move, bitmap, inpaint", Ctx(2, kToolMove, 1, 1), "Brush(inpaint)"},
    };
    for (const Case& c : cases) EXPECT_EQ(ShownTabs(c.ctx), c.tabs) << c.what;
}

TEST(TabContextTest, BuiltFromTheDocument) {
    EXPECT_EQ(BuildTabContext(nullptr), TabContext{});
    CQuillfenEditorDoc doc;
    CanvasObject light;
    light.id = "object_7";
    light.kind = kObjectLightCone;
    light.width = light.height = 10;
    ASSERT_FALSE(doc.mainScene.layers.empty());
    doc.mainScene.layers[0].objects.push_back(light);
    doc.activeTool = kToolLight;
    doc.mainScene.selectedIds = {"object_7"};
    doc.mainScene.primarySelectedId = "object_7";
    TabContext c = BuildTabContext(&doc);
    EXPECT_EQ(c.tool, kToolLight);
    EXPECT_EQ(c.objectKind, 3);
    EXPECT_EQ(c.objectId, "object_7");
    EXPECT_EQ(c.selectionCount, 1);

    // A primary id naming no object: counted, but no kind and no id.
    doc.mainScene.primarySelectedId = "object_99";
    c = BuildTabContext(&doc);
    EXPECT_EQ(c.selectionCount, 1);
    EXPECT_EQ(c.objectKind, 0);
    EXPECT_TRUE(c.objectId.empty());
    EXPECT_STREQ(PropMessageForContext(c), "Tool has no properties");

    // In the Pose Editor the main selection does not count.
    doc.workspaceMode = kWorkspacePoseEditor;
    c = BuildTabContext(&doc);
    EXPECT_EQ(c.selectionCount, 0);
    EXPECT_STREQ(PropMessageForContext(c), "No selection");
}

TEST(PropNumbersTest, TextsInTheCLocaleWhateverTheUserLocale) {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    // A decimal-comma locale where one is installed; the texts must not change.
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(FormatPropNumber(2.5, 0), "3");
    EXPECT_EQ(FormatPropNumber(-2.5, 0), "-3");
    EXPECT_EQ(FormatPropNumber(-0.4, 0), "0");
    EXPECT_EQ(FormatPropNumber(1.5, 2), "1.50");
    EXPECT_EQ(FormatPropNumber(std::numeric_limits<float>::lowest(), 0).substr(0, 4), "-340");
    EXPECT_DOUBLE_EQ(ParsePropNumber("1.25"), 1.25);
    EXPECT_DOUBLE_EQ(ParsePropNumber("  -3.5 px"), -3.5);
    EXPECT_DOUBLE_EQ(ParsePropNumber("+7"), 7);
    EXPECT_DOUBLE_EQ(ParsePropNumber("12abc"), 12);
    EXPECT_DOUBLE_EQ(ParsePropNumber("abc"), 0);
    EXPECT_DOUBLE_EQ(ParsePropNumber("nan"), 0);
    EXPECT_DOUBLE_EQ(ParsePropNumber("1,5"), 1);
    EXPECT_TRUE(std::isinf(ParsePropNumber("1e999")));
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(PropNumbersTest, SliderTrackMapping) {
    // 100 px with the value box: the track runs from 8 to 40.
    EXPECT_EQ(SliderTrackRight(100, true), 40);
    EXPECT_FLOAT_EQ(SliderValueFromX(80, 100, true, 0, 100, 1), 100);
    EXPECT_FLOAT_EQ(SliderValueFromX(0, 100, true, 0, 100, 1), 0);
    EXPECT_FLOAT_EQ(SliderValueFromX(24, 100, true, 0, 100, 1), 50);
    // Exponent 2.5: the middle of the track gives 0.5^2.5 of the range and
    // the knob is drawn back at the middle.
    const float v = SliderValueFromX(24, 100, true, 0, 100, 2.5f);
    EXPECT_NEAR(v, 17.68, 0.01);
    EXPECT_EQ(SliderFillWidth(v, 100, true, 0, 100, 2.5f), 16);
    // No track: every press gives the minimum; an empty range fills nothing.
    EXPECT_FLOAT_EQ(SliderValueFromX(30, 60, true, 5, 10, 1), 5);
    EXPECT_EQ(SliderFillWidth(7, 100, true, 10, 10, 1), 0);
}

TEST(PropNumbersTest, NumericDragAndPivot) {
    const float lo = std::numeric_limits<float>::lowest(), hi = std::numeric_limits<float>::max();
    const float none = std::numeric_limits<float>::quiet_NaN();
    // 2 px per step, step 1: 7 px is 3 steps either way, back at the press is the start.
    EXPECT_FLOAT_EQ(NumericDragValue(10, 7, 2, 1, -1, lo, hi, none), 13);
    EXPECT_FLOAT_EQ(NumericDragValue(10, -7, 2, 1, -1, lo, hi, none), 7);
    EXPECT_FLOAT_EQ(NumericDragValue(10, 0, 2, 1, -1, lo, hi, none), 10);
    // Pivot 1 over 0.1..9.99, drag step 0.005, 1 px per step, from 1.
    EXPECT_FLOAT_EQ(NumericDragValue(1, 100, 1, 1, 0.005f, 0.1f, 9.99f, 1), 9.99f);
    EXPECT_FLOAT_EQ(NumericDragValue(1, -100, 1, 1, 0.005f, 0.1f, 9.99f, 1), 0.1f);
    EXPECT_NEAR(NumericDragValue(1, 20, 1, 1, 0.005f, 0.1f, 9.99f, 1), 2.798f, 1e-4);
    EXPECT_FLOAT_EQ(NumericNormalize(1, 0.1f, 9.99f, 1), 0.5f);
    // Unbounded: no fill bar scale, and a pivot has no effect.
    EXPECT_FALSE(NumericRangeIsFinite(lo, hi));
    EXPECT_FLOAT_EQ(NumericNormalize(5, lo, hi, none), 0);
    EXPECT_FLOAT_EQ(NumericDragValue(5, 4, 2, 1, -1, lo, hi, 3), 7);
    // Clamped at the range.
    EXPECT_FLOAT_EQ(NumericDragValue(2, -50, 1, 1, -1, 1, 100, none), 1);
}

TEST(PropNumbersTest, AngleWrapsOnFullTurnsAndClampsOtherwise) {
    EXPECT_FLOAT_EQ(AngleFromOffset(0, -10), 90);
    EXPECT_FLOAT_EQ(AngleFromOffset(-10, 0), 180);
    EXPECT_FLOAT_EQ(AngleFromOffset(0, 10), 270);
    EXPECT_FLOAT_EQ(AngleClampValue(360, 0, 360), 0);
    EXPECT_FLOAT_EQ(AngleClampValue(359 + 1, 0, 360), 0);
    EXPECT_FLOAT_EQ(AngleClampValue(-30, 0, 360), 330);
    EXPECT_FLOAT_EQ(AngleClampValue(270, -180, 180), -90);
    EXPECT_FLOAT_EQ(AngleClampValue(120, 0, 90), 90);
    EXPECT_FLOAT_EQ(AngleClampValue(-10, 0, 90), 0);
    EXPECT_FLOAT_EQ(AngleClampValue(std::numeric_limits<float>::infinity(), 0, 360), 0);
}

TEST(PropGridTest, CellsClampedIntoTheirGroup) {
    // Column 3 with span 4 becomes span 1; row 5 of a 4-row group is row 3.
    EXPECT_EQ(PropCellRect(0, 0, 0, 4, 3, 0, 4, 1), (PropRect{162, 6, 212, 31}));
    EXPECT_EQ(PropCellRect(0, 0, 0, 4, 0, 5, 1, 1), (PropRect{6, 87, 56, 112}));
    // The object tab's link button (0, 0, 1 x 2) and its dropdown in group 2.
    EXPECT_EQ(PropCellRect(0, 0, 0, 4, 0, 0, 1, 2), (PropRect{6, 6, 56, 58}));
    EXPECT_EQ(PropCellRect(0, 0, 1, 4, 1, 0, 3, 1), (PropRect{270, 6, 424, 31}));
    // Rows below 1 count as 1.
    EXPECT_EQ(PropCellRect(10, 20, 0, 0, 0, 2, 1, 3), (PropRect{16, 26, 66, 51}));
}

TEST(DropdownLayoutTest, ColumnsSeparatorsAndKeys) {
    const std::vector<std::string> items = {"North", "", "East", "\x1F", "West"};
    int w = 0, h = 0;
    DropdownPopupSize(items, 100, w, h);
    EXPECT_EQ(h, 53);
    EXPECT_EQ(w, 202);
    EXPECT_EQ(DropdownHitTest(items, w, h, 10, 5), 0);
    EXPECT_EQ(DropdownHitTest(items, w, h, 10, 26), -1);  // the separator
    EXPECT_EQ(DropdownHitTest(items, w, h, 10, 35), 2);
    EXPECT_EQ(DropdownHitTest(items, w, h, 150, 5), 4);
    EXPECT_EQ(DropdownHitTest(items, w, h, 150, 30), -1);  // below the last row
    EXPECT_EQ(DropdownHitTest(items, w, h, 0, 5), -1);
    EXPECT_EQ(DropdownStepHot(items, 0, +1), 2);
    EXPECT_EQ(DropdownStepHot(items, 2, +1), 4);
    EXPECT_EQ(DropdownStepHot(items, 4, +1), 4);
    EXPECT_EQ(DropdownStepHot(items, 4, -1), 2);

    const PropRect work{0, 0, 1000, 800};
    // Room below: below; near the bottom with room above: above; neither: below.
    EXPECT_EQ(DropdownPopupPlacement({10, 100, 110, 125}, work, 102, 200).top, 125);
    EXPECT_EQ(DropdownPopupPlacement({10, 700, 110, 725}, work, 102, 200).top, 500);
    EXPECT_EQ(DropdownPopupPlacement({10, 100, 110, 725}, work, 102, 700).top, 725);
    // Near the right edge shifted left, never past the left edge.
    EXPECT_EQ(DropdownPopupPlacement({950, 100, 1000, 125}, work, 102, 50).left, 898);
    EXPECT_EQ(DropdownPopupPlacement({950, 100, 1000, 125}, work, 1200, 50).left, 0);
}

TEST(ObjectTabModelTest, BlendListHasEveryModeOnce) {
    const BlendListItems& l = ObjectTabBlendItems();
    ASSERT_EQ(l.texts.size(), 55u);
    ASSERT_EQ(l.values.size(), 55u);
    int modes = 0, separators = 0, breaks = 0;
    for (size_t i = 0; i < l.texts.size(); ++i) {
        if (l.texts[i].empty()) ++separators;
        else if (l.texts[i] == "\x1F") ++breaks;
        else ++modes;
    }
    EXPECT_EQ(modes, 46);
    EXPECT_EQ(separators, 8);
    EXPECT_EQ(breaks, 1);
    for (int m = 0; m < 46; ++m) EXPECT_EQ(l.values[size_t(BlendItemIndexForMode(uint8_t(m)))], m);
    EXPECT_EQ(BlendItemIndexForMode(200), 0);
    EXPECT_EQ(l.texts[size_t(BlendItemIndexForMode(45))], "Photo-Bash Blend");
}

TEST(ObjectTabModelTest, InfoTextNamesStoredAndShownSizes) {
    CanvasObject o;
    ImagePart part;
    part.pixelWidth = 512, part.pixelHeight = 512;
    o.parts.push_back(part);
    struct Case {
        float w, h;
        const char* text;
    } cases[] = {
        {512, 512, "Bitmap"},
        {513, 511, "Bitmap"},
        {1024, 1024, "Bitmap (upscaled \u2014 stored 512\u00D7512)"},
        {256, 256, "Bitmap (downscaled \u2014 stored 512\u00D7512)"},
        {1024, 256, "Bitmap (displayed 1024\u00D7256, stored 512\u00D7512)"},
    };
    for (const Case& c : cases) {
        o.width = c.w, o.height = c.h;
        EXPECT_EQ(ObjectInfoText(o), c.text) << c.w << "x" << c.h;
    }
    o.kind = kObjectLightCone;
    EXPECT_EQ(ObjectInfoText(o), "Light Cone");
    o.kind = kObjectPosable;
    EXPECT_EQ(ObjectInfoText(o), "Posable Object");
}

TEST(ObjectTabModelTest, LightSlidersMapToParameters) {
    LightConeParams p;
    struct Case {
        int slider;
        float value;
        float LightConeParams::*field;
        float expected;
    } cases[] = {
        {kLightSliderHeight, 120, &LightConeParams::height, 120},
        {kLightSliderCone, 40, &LightConeParams::coneAngle, 40},
        {kLightSliderAmount, 150, &LightConeParams::amount, 1.5f},
        {kLightSliderAmbient, -100, &LightConeParams::ambient, 0},
        {kLightSliderAmbient, 0, &LightConeParams::ambient, 0.5f},
        {kLightSliderAmbient, 100, &LightConeParams::ambient, 1.0f},
        {kLightSliderFalloff, 250, &LightConeParams::falloff, 2.5f},
    };
    for (const Case& c : cases) {
        const LightConeParams out = LightParamsWithSlider(p, c.slider, c.value);
        EXPECT_FLOAT_EQ(out.*c.field, c.expected) << c.slider << " " << c.value;
    }
    // Ambient 0.25 shows -50; a height set elsewhere shows clamped at 255
    // but moving the cone keeps the light's own height.
    p.ambient = 0.25f;
    p.height = 300;
    const LightSliderValues v = LightSlidersFromParams(p);
    EXPECT_FLOAT_EQ(v.ambient, -50);
    EXPECT_FLOAT_EQ(v.height, 255);
    const LightConeParams moved = LightParamsWithSlider(p, kLightSliderCone, 30);
    EXPECT_FLOAT_EQ(moved.height, 300);
    EXPECT_FLOAT_EQ(moved.coneAngle, 30);
    EXPECT_EQ(moved.tint, p.tint);
}

TEST(CanvasSizeMathTest, PercentLinkedAndClamped) {
    // 800 x 600 to percent: 100 and 100; 50 % is 400 x 300.
    EXPECT_EQ(CanvasSideConverted(800u, 800, kCanvasUnitPercent), 100);
    EXPECT_EQ(CanvasSideConverted(600u, 600, kCanvasUnitPercent), 100);
    EXPECT_EQ(CanvasLinkedSide(50, 800, 600, kCanvasUnitPercent), 50u);
    EXPECT_EQ(CanvasSidePreview(50u, 800, kCanvasUnitPercent), 400);
    EXPECT_EQ(CanvasSidePreview(50u, 600, kCanvasUnitPercent), 300);
    EXPECT_EQ(CanvasSideResult(50, 800, kCanvasUnitPercent), 400);
    // Linked in pixels: 400 wide gives 300 high; 1 gives round(0.75) = 1.
    EXPECT_EQ(CanvasLinkedSide(400, 800, 600, kCanvasUnitPixels), 300u);
    EXPECT_EQ(CanvasLinkedSide(1, 800, 600, kCanvasUnitPixels), 1u);
    // 150 % of 801 x 601 back to pixels: halves round away from zero.
    EXPECT_EQ(CanvasSideConverted(150u, 801, kCanvasUnitPixels), 1202);
    EXPECT_EQ(CanvasSideConverted(150u, 601, kCanvasUnitPixels), 902);
    // Unreadable numbers stand for the old size (100 %).
    EXPECT_EQ(CanvasSideConverted(std::nullopt, 640, kCanvasUnitPixels), 640);
    EXPECT_EQ(CanvasSideConverted(std::nullopt, 640, kCanvasUnitPercent), 100);
    EXPECT_EQ(CanvasSidePreview(std::nullopt, 640, kCanvasUnitPixels), 640);
    // Clamps: 40000 px is 32767, 0 % and negative sizes are 1.
    EXPECT_EQ(CanvasSidePreview(40000u, 800, kCanvasUnitPixels), 32767);
    EXPECT_EQ(CanvasSideResult(40000, 800, kCanvasUnitPixels), 32767);
    EXPECT_EQ(CanvasSideResult(0, 800, kCanvasUnitPercent), 1);
    EXPECT_EQ(CanvasSideResult(-5, 800, kCanvasUnitPixels), 1);
    // Edit texts.
    EXPECT_EQ(ParseCanvasSizeNumber(" 42 "), 42u);
    EXPECT_FALSE(ParseCanvasSizeNumber("4x2"));
    EXPECT_FALSE(ParseCanvasSizeNumber("-3"));
    EXPECT_FALSE(ParseCanvasSizeNumber("99999999999"));
    EXPECT_EQ(ParseCanvasSizeInteger("-3"), -3);
    EXPECT_FALSE(ParseCanvasSizeInteger("1.5"));
    EXPECT_FALSE(ParseCanvasSizeInteger(""));
}
