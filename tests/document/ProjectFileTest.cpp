#include "document/EffectPayload.h"
#include "document/ProjectFile.h"
#include "document/ProjectInfo.h"
#include "platform/Files.h"
#include "ProjectFileTestScene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A minimal object record written field by field, so tests can store values
// the production writer never would.
struct RawObject {
    std::string id = "object_1";
    float x = 0, y = 0, width = 10, height = 10, rotation = 0, opacity = 1;
    std::vector<float> warp = {0, 0, 1, 0, 1, 1, 0, 1};
    uint8_t blend = 0;
    uint8_t clip = 0;
    uint8_t kind = 0;
    std::vector<float> light;  // written after the kind byte when not empty
    uint8_t hasMask = 0;
    int32_t maskWidth = 0, maskHeight = 0;
    uint32_t maskCount = 0;  // bytes written: maskCount (all 7)
    std::vector<uint8_t> filters = {0, 0, 0, 0};  // the raw filter stack

    void Write(ArchiveWriter& ar, uint32_t version) const {
        ar.WriteString(id);
        ar.WriteString("name");
        for (float v : {x, y, width, height, rotation, opacity}) ar.WriteF32(v);
        ar.WriteFlag(true);
        ar.WriteFlag(false);
        ar.WriteI32(0);
        ar.WriteU32(0);  // parts
        ar.WriteU32(0);  // bones
        ar.WriteFlag(false);
        ar.WriteFlag(false);
        for (float v : warp) ar.WriteF32(v);
        ar.WriteU8(blend);
        if (version >= 14) ar.WriteU8(clip);
        for (float v : {50.0f, 60.0f, 0.75f}) ar.WriteF32(v);
        ar.WriteU8(kind);
        for (size_t i = 0; i < light.size(); ++i) {
            if (i == 7)
                ar.WriteU32(0xFF00FF00);
            else
                ar.WriteF32(light[i]);
        }
        ar.WriteU8(hasMask);
        ar.WriteI32(maskWidth);
        ar.WriteI32(maskHeight);
        ar.WriteU32(maskCount);
        for (uint32_t i = 0; i < maskCount; ++i) ar.WriteU8(7);
        ar.WriteBytes(filters.data(), filters.size());
    }
};

struct RawFile {
    uint32_t version = 14;
    float width = 640, height = 480;
    std::string active = "layer_1", primary;
    std::vector<RawObject> objects;  // one layer "layer_1" holding these
    bool noLayers = false;

    std::vector<uint8_t> Bytes() const {
        ArchiveWriter ar;
        ar.WriteMagic("QVK1");
        ar.WriteU32(version);
        ar.WriteF32(width);
        ar.WriteF32(height);
        ar.WriteU32(0xFF202020);
        ar.WriteString(active);
        ar.WriteString(primary);
        ar.WriteU32(noLayers ? 0 : 1);
        if (!noLayers) {
            ar.WriteString("layer_1");
            ar.WriteString("Layer 1");
            ar.WriteFlag(true);
            ar.WriteFlag(false);
            ar.WriteI32(0);
            ar.WriteU32(uint32_t(objects.size()));
            for (const RawObject& o : objects) o.Write(ar, version);
        }
        return ar.TakeBytes();
    }
};

CanvasObject LoadOne(const RawObject& o, uint32_t version = 14) {
    RawFile f;
    f.version = version;
    f.objects = {o};
    CanvasDocument scene;
    std::string error;
    EXPECT_TRUE(ReadProjectBytes(f.Bytes(), scene, &error)) << error;
    return scene.layers.at(0).objects.at(0);
}

TEST(ProjectFile, RoundTripIsByteExact) {
    const CanvasDocument original = TestScene();
    const std::vector<uint8_t> first = WriteProjectBytes(original);
    CanvasDocument loaded;
    ASSERT_TRUE(ReadProjectBytes(first, loaded));
    EXPECT_EQ(WriteProjectBytes(loaded), first);

    EXPECT_EQ(loaded.width, 800);
    EXPECT_EQ(loaded.activeLayerId, "layer_2");
    EXPECT_EQ(loaded.selectedIds, std::vector<std::string>{"object_1"});
    const CanvasObject& b = *loaded.FindObject("object_1");
    const CanvasObject& ref = original.layers[1].objects[0];
    EXPECT_EQ(b.name, ref.name);
    EXPECT_EQ(b.effects, ref.effects);
    EXPECT_EQ(b.maskPixels, ref.maskPixels);
    EXPECT_TRUE(b.clipToLayerBelow);
    EXPECT_EQ(b.posableScene.parts[0].bones[1].headX, 0.3f);  // not snapped
    EXPECT_EQ(b.posableScene.links[0].ends[1].boneId, "bone_2");
    EXPECT_EQ(b.partPoses[0].tailY, 0.4f);
    const CanvasObject& light = *loaded.FindObject("object_2");
    EXPECT_EQ(light.lightCone, original.layers[0].objects[0].lightCone);
    EXPECT_EQ(light.effects[1].params.Get<DropShadowParams>()->distance, 0.04f);
    EXPECT_EQ(loaded.FindObject("object_3")->kind, kObjectPosable);
}

TEST(ProjectFile, SaveIsAtomicAndLoadsBack) {
    const auto dir = std::filesystem::temp_directory_path() / "persist_project_test";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "scene.qvk").string();
    std::string error;
    ASSERT_TRUE(SaveProjectFile(path, TestScene(), &error)) << error;
    CanvasDocument scene;
    EXPECT_EQ(LoadProjectFile(path, scene, &error), ProjectLoadResult::kLoaded);
    EXPECT_EQ(scene.layers.size(), 3u);
    EXPECT_FALSE(SaveProjectFile((dir / "missing" / "x.qvk").string(), scene, &error));
    EXPECT_EQ(LoadProjectFile((dir / "none.qvk").string(), scene, &error), ProjectLoadResult::kCannotOpen);
    std::filesystem::remove_all(dir);
}

TEST(ProjectFile, Version13HasNoClipByte) {
    RawObject o;
    o.blend = 5;
    o.x = 3;
    RawFile f;
    f.version = 13;
    f.objects = {o, o};
    f.objects[1].id = "object_2";
    CanvasDocument scene;
    ASSERT_TRUE(ReadProjectBytes(f.Bytes(), scene));
    ASSERT_EQ(scene.layers[0].objects.size(), 2u);
    for (const CanvasObject& obj : scene.layers[0].objects) {
        EXPECT_FALSE(obj.clipToLayerBelow);
        EXPECT_EQ(obj.blendMode, 5);
        EXPECT_EQ(obj.x, 3);
    }
    // Saved again, it is a version 14 file.
    const auto saved = WriteProjectBytes(scene);
    uint32_t version;
    std::memcpy(&version, saved.data() + 4, 4);
    EXPECT_EQ(version, 14u);
}

TEST(ProjectFile, ObjectFieldRulesOnLoad) {
    struct Case {
        const char* what;
        RawObject raw;
        std::function<void(const CanvasObject&)> check;
    };
    auto with = [](auto mutate) {
        RawObject o;
        mutate(o);
        return o;
    };
    const Case cases[] = {
        {"halves round away from zero", with([](RawObject& o) { o.x = 10.5f, o.y = -10.5f; }),
         [](const CanvasObject& c) { EXPECT_EQ(c.x, 11); EXPECT_EQ(c.y, -11); }},
        {"sizes at least 1", with([](RawObject& o) { o.width = 0.3f, o.height = -7; }),
         [](const CanvasObject& c) { EXPECT_EQ(c.width, 1); EXPECT_EQ(c.height, 1); }},
        {"non-finite placement", with([](RawObject& o) { o.x = kNaN, o.y = kInf, o.width = kNaN, o.height = -kInf; }),
         [](const CanvasObject& c) { EXPECT_EQ(c.x, 0); EXPECT_EQ(c.y, 0); EXPECT_EQ(c.width, 1); EXPECT_EQ(c.height, 1); }},
        {"non-finite rotation and opacity", with([](RawObject& o) { o.rotation = kNaN, o.opacity = kInf; }),
         [](const CanvasObject& c) { EXPECT_EQ(c.rotation, 0); EXPECT_EQ(c.opacity, 1); }},
        {"rotation and opacity as stored", with([](RawObject& o) { o.rotation = 725, o.opacity = 3; }),
         [](const CanvasObject& c) { EXPECT_EQ(c.rotation, 725); EXPECT_EQ(c.opacity, 3); }},
        {"non-finite warp corner", with([](RawObject& o) { o.warp[2] = kNaN, o.warp[7] = 0.5f; }),
         [](const CanvasObject& c) { EXPECT_EQ(c.warp.x1, 1); EXPECT_EQ(c.warp.y3, 0.5f); }},
        {"blend 45 kept", with([](RawObject& o) { o.blend = 45; }),
         [](const CanvasObject& c) { EXPECT_EQ(c.blendMode, 45); }},
        {"blend 46 normal", with([](RawObject& o) { o.blend = 46; }),
         [](const CanvasObject& c) { EXPECT_EQ(c.blendMode, 0); }},
        {"blend 200 normal", with([](RawObject& o) { o.blend = 200; }),
         [](const CanvasObject& c) { EXPECT_EQ(c.blendMode, 0); }},
        {"clip 1", with([](RawObject& o) { o.clip = 1; }),
         [](const CanvasObject& c) { EXPECT_TRUE(c.clipToLayerBelow); }},
        {"clip 2 is not clipped", with([](RawObject& o) { o.clip = 2; }),
         [](const CanvasObject& c) { EXPECT_FALSE(c.clipToLayerBelow); }},
        {"kind 3 is a bitmap", with([](RawObject& o) { o.kind = 3; }),
         [](const CanvasObject& c) { EXPECT_EQ(c.kind, kObjectBitmap); }},
        {"light cone values in file order",
         with([](RawObject& o) { o.kind = 2, o.light = {150, 0.1f, 0.2f, 30, 0.9f, 0.4f, 2, 0, 0.3f, 0.4f}; }),
         [](const CanvasObject& c) {
             EXPECT_EQ(c.kind, kObjectLightCone);
             EXPECT_EQ(c.lightCone.height, 150); EXPECT_EQ(c.lightCone.targetX, 0.1f);
             EXPECT_EQ(c.lightCone.targetY, 0.2f); EXPECT_EQ(c.lightCone.coneAngle, 30);
             EXPECT_EQ(c.lightCone.falloff, 2); EXPECT_EQ(c.lightCone.tint, 0xFF00FF00u);
             EXPECT_EQ(c.lightCone.lightX, 0.3f); EXPECT_EQ(c.lightCone.lightY, 0.4f);
         }},
        {"non-finite light values default",
         with([](RawObject& o) { o.kind = 2, o.light = {kNaN, 0, 0, kInf, 1, 0.5f, 1, 0, 0, 0}; }),
         [](const CanvasObject& c) { EXPECT_EQ(c.lightCone.height, 200); EXPECT_EQ(c.lightCone.coneAngle, 25); }},
        {"mask kept", with([](RawObject& o) { o.hasMask = 1, o.maskWidth = 4, o.maskHeight = 2, o.maskCount = 8; }),
         [](const CanvasObject& c) {
             EXPECT_TRUE(c.maskEnabled); EXPECT_EQ(c.maskWidth, 4); EXPECT_EQ(c.maskPixels.size(), 8u);
         }},
        {"mask 4x4 with 15 bytes dropped",
         with([](RawObject& o) { o.hasMask = 1, o.maskWidth = 4, o.maskHeight = 4, o.maskCount = 15; }),
         [](const CanvasObject& c) {
             EXPECT_FALSE(c.maskEnabled); EXPECT_EQ(c.maskWidth, 0); EXPECT_TRUE(c.maskPixels.empty());
         }},
        {"mask flag off drops bytes",
         with([](RawObject& o) { o.hasMask = 0, o.maskWidth = 2, o.maskHeight = 1, o.maskCount = 2; }),
         [](const CanvasObject& c) { EXPECT_FALSE(c.maskEnabled); EXPECT_TRUE(c.maskPixels.empty()); }},
        {"mask size whose 32-bit product wraps",
         with([](RawObject& o) { o.hasMask = 1, o.maskWidth = 65536, o.maskHeight = 65536, o.maskCount = 0; }),
         [](const CanvasObject& c) { EXPECT_FALSE(c.maskEnabled); EXPECT_EQ(c.maskHeight, 0); }},
        {"mask side above the bitmap cap",
         with([](RawObject& o) { o.hasMask = 1, o.maskWidth = 40000, o.maskHeight = 1, o.maskCount = 40000; }),
         [](const CanvasObject& c) { EXPECT_FALSE(c.maskEnabled); }},
        {"negative mask sides", with([](RawObject& o) { o.hasMask = 1, o.maskWidth = -2, o.maskHeight = -2; o.maskCount = 4; }),
         [](const CanvasObject& c) { EXPECT_FALSE(c.maskEnabled); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.check(LoadOne(c.raw));
    }
}

TEST(ProjectFile, SceneRulesOnLoad) {
    struct Case {
        const char* what;
        RawFile file;
        float width, height;
        const char* active;
        std::vector<std::string> selected;
    };
    RawFile base;
    base.objects = {RawObject{}};
    auto with = [&](auto mutate) {
        RawFile f = base;
        mutate(f);
        return f;
    };
    const Case cases[] = {
        {"as stored", base, 640, 480, "layer_1", {}},
        {"width 0.4", with([](RawFile& f) { f.width = 0.4f; }), 1, 480, "layer_1", {}},
        {"negative width", with([](RawFile& f) { f.width = -20; }), 1, 480, "layer_1", {}},
        {"NaN height", with([](RawFile& f) { f.height = kNaN; }), 640, 1, "layer_1", {}},
        {"huge sides capped", with([](RawFile& f) { f.width = 1e9f, f.height = kInf; }), 32767, 32767, "layer_1", {}},
        {"no layers: default scene", with([](RawFile& f) { f.noLayers = true, f.active = "nothing"; }), 1024, 1024,
         "backdrop", {}},
        {"no layers, active layer_1", with([](RawFile& f) { f.noLayers = true; }), 1024, 1024, "layer_1", {}},
        {"unknown active layer", with([](RawFile& f) { f.active = "layer_9"; }), 640, 480, "layer_1", {}},
        {"primary names an object", with([](RawFile& f) { f.primary = "object_1"; }), 640, 480, "layer_1",
         {"object_1"}},
        {"primary names nothing", with([](RawFile& f) { f.primary = "object_5"; }), 640, 480, "layer_1", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CanvasDocument scene;
        scene.selectedIds = {"stale"};
        scene.selectedMaskObjectId = "stale";
        ASSERT_TRUE(ReadProjectBytes(c.file.Bytes(), scene));
        EXPECT_EQ(scene.width, c.width);
        EXPECT_EQ(scene.height, c.height);
        EXPECT_EQ(scene.activeLayerId, c.active);
        EXPECT_EQ(scene.selectedIds, c.selected);
        EXPECT_EQ(scene.primarySelectedId, c.selected.empty() ? "" : c.selected[0]);
        EXPECT_TRUE(scene.selectedMaskObjectId.empty());
    }
}

std::vector<uint8_t> StackBytes(const std::vector<std::vector<uint8_t>>& records) {
    ArchiveWriter ar;
    ar.WriteU32(uint32_t(records.size()));
    for (const auto& r : records) ar.WriteBytes(r.data(), r.size());
    return ar.TakeBytes();
}

std::vector<uint8_t> FilterRecord(uint8_t type, uint32_t length, const std::function<void(ArchiveWriter&)>& payload) {
    ArchiveWriter ar;
    ar.WriteU8(type);
    ar.WriteFlag(true);
    ar.WriteU32(length);
    payload(ar);
    return ar.TakeBytes();
}

std::vector<uint8_t> Written(const EffectInstance& e) {
    ArchiveWriter ar;
    WriteEffectInstance(ar, e);
    return ar.TakeBytes();
}

void WriteBevel(ArchiveWriter& ar, uint8_t profile, const std::vector<CurvePoint>& points, uint32_t count) {
    for (float v : {8.0f, 8.0f, 1.0f, 135.0f}) ar.WriteF32(v);
    ar.WriteU8(profile);
    ar.WriteU32(count);
    for (const CurvePoint& p : points) ar.WriteF32(p.x), ar.WriteF32(p.y);
}

TEST(EffectPayload, StoredCurvesAreHeldToWhatTheCurveEditorAllows) {
    struct Case {
        std::vector<CurvePoint> stored, read;
    };
    const Case cases[] = {
        // Unsorted, y out of range, a non-finite x dropped, a non-finite y at 0.
        {{{0.7f, 1.5f}, {kNaN, 0.2f}, {0.2f, -0.3f}, {0.5f, kInf}}, {{0, 0}, {0.5f, 0}, {1, 1}}},
        // x beyond the ends is held to them.
        {{{0.9f, 0.4f}, {-2, 0.3f}, {kInf, 0.1f}}, {{0, 0.3f}, {1, 0.4f}}},
        // One usable point is no curve.
        {{{kNaN, 0.5f}, {0.4f, 0.5f}}, DefaultBevelCurve()},
    };
    for (const Case& c : cases) {
        const uint32_t n = uint32_t(c.stored.size());
        const auto bytes = StackBytes(
            {FilterRecord(kEffectInnerBevel, 21 + 8 * n, [&](ArchiveWriter& ar) { WriteBevel(ar, 4, c.stored, n); })});
        ArchiveReader ar(bytes);
        const auto stack = ReadEffectStack(ar);
        ASSERT_EQ(stack.size(), 1u);
        EXPECT_EQ(stack[0].params.Get<InnerBevelParams>()->points, c.read);
    }
}

TEST(EffectPayload, WrittenLengths) {
    EffectInstance emptyShadow;
    emptyShadow.type = kEffectDropShadow;
    const auto shadow = Written(emptyShadow);
    ASSERT_EQ(shadow.size(), 26u);
    EXPECT_EQ(shadow[2], 20);
    EXPECT_EQ(Written(MakeEffectInstance(kEffectInvert)), (std::vector<uint8_t>{15, 1, 0, 0, 0, 0}));
    EffectInstance unknown;
    unknown.type = 25;
    EXPECT_EQ(Written(unknown).size(), 6u);

    EffectInstance outer = MakeEffectInstance(kEffectOuterBevel);
    outer.params.Get<OuterBevelParams>()->points.resize(5);
    EXPECT_EQ(Written(outer)[2], 66);
    EXPECT_EQ(Written(outer).size(), 6u + 66u);
    for (uint8_t t : {kEffectInnerBevel, kEffectOuterBevel, kEffectEmboss}) {
        EffectInstance e;
        e.type = t;  // empty record: the default curve's length
        EXPECT_EQ(Written(e)[2], t == kEffectOuterBevel ? 42 : 37);
        EXPECT_EQ(Written(e).size(), 6u + Written(e)[2]);
    }
    for (int t = 0; t < kEffectTypeCount; ++t) {
        const auto bytes = Written(MakeEffectInstance(uint8_t(t)));
        uint32_t length;
        std::memcpy(&length, bytes.data() + 2, 4);
        EXPECT_EQ(bytes.size(), 6u + length) << t;
    }
}

TEST(EffectPayload, ReaderRules) {
    const auto levels = FilterRecord(kEffectLevels, 81, [](ArchiveWriter& ar) {
        ar.WriteU8(9);
        for (int i = 0; i < 4; ++i) WriteLevelsChannel(ar, LevelsChannel{1, 200, i == 2 ? kNaN : 2.0f, 3, 250});
    });
    const auto newton = FilterRecord(kEffectNewtonianShadow, 37, [](ArchiveWriter& ar) {
        for (int i = 0; i < 5; ++i) ar.WriteF32(1);
        ar.WriteI32(5);
        ar.WriteU8(3);
        ar.WriteU32(1), ar.WriteU32(2), ar.WriteF32(0.5f);
    });
    const auto innerOnePoint =
        FilterRecord(kEffectInnerBevel, 29, [](ArchiveWriter& ar) { WriteBevel(ar, 4, {{0.3f, 0.3f}}, 1); });
    const auto innerThree = FilterRecord(kEffectInnerBevel, 45, [](ArchiveWriter& ar) {
        WriteBevel(ar, 5, {{0.2f, 0.1f}, {0.5f, 0.6f}, {0.9f, 0.8f}}, 3);
    });
    // 300 points: 256 kept and the rest skipped, so the colour after them is read right.
    std::vector<CurvePoint> many(300, CurvePoint{0.5f, 0.5f});
    const auto outerMany = FilterRecord(kEffectOuterBevel, 26 + 8 * 300, [&](ArchiveWriter& ar) {
        WriteBevel(ar, 4, many, 300);
        ar.WriteU8(0);
        ar.WriteU32(0xFF445566);
    });
    const auto unknown = FilterRecord(25, 12, [](ArchiveWriter& ar) { ar.WriteBytes("twelve bytes", 12); });
    const auto surplus = FilterRecord(kEffectBlur, 9, [](ArchiveWriter& ar) {
        ar.WriteF32(0.25f);
        ar.WriteBytes("extra", 5);
    });
    const auto emptyPayload = FilterRecord(kEffectGlow, 0, [](ArchiveWriter&) {});
    const auto nanHue = FilterRecord(kEffectHueSaturation, 13, [](ArchiveWriter& ar) {
        ar.WriteF32(kNaN), ar.WriteF32(0.5f), ar.WriteF32(kInf), ar.WriteU8(7);
    });

    const auto bytes = StackBytes({levels, newton, innerOnePoint, innerThree, outerMany, unknown, surplus,
                                   emptyPayload, nanHue});
    ArchiveReader ar(bytes);
    const auto stack = ReadEffectStack(ar);
    EXPECT_TRUE(ar.AtEnd());
    ASSERT_EQ(stack.size(), 9u);

    const auto* l = stack[0].params.Get<LevelsParams>();
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->channel, 0);
    EXPECT_EQ(l->red.inputHigh, 200);
    EXPECT_EQ(l->green.gamma, 1.0f);  // non-finite: default
    EXPECT_EQ(l->blue.outputHigh, 250);
    EXPECT_EQ(stack[1].params.Get<NewtonianShadowParams>()->falloff, 0);
    EXPECT_EQ(stack[1].params.Get<NewtonianShadowParams>()->opacity, 0.5f);
    const auto* one = stack[2].params.Get<InnerBevelParams>();
    EXPECT_EQ(one->profile, 4);
    EXPECT_EQ(one->points, DefaultBevelCurve());
    const auto* three = stack[3].params.Get<InnerBevelParams>();
    EXPECT_EQ(three->profile, 0);
    EXPECT_EQ(three->points, (std::vector<CurvePoint>{{0, 0.1f}, {0.5f, 0.6f}, {1, 0.8f}}));
    const auto* outer = stack[4].params.Get<OuterBevelParams>();
    EXPECT_EQ(outer->points.size(), 256u);
    EXPECT_EQ(outer->points.back(), (CurvePoint{1, 0.5f}));
    EXPECT_FALSE(outer->useObjectColor);
    EXPECT_EQ(outer->color, 0xFF445566u);
    EXPECT_EQ(stack[5].type, 25);
    EXPECT_EQ(stack[5].params.Alternative(), 0);
    EXPECT_EQ(Written(stack[5]).size(), 6u);
    EXPECT_EQ(stack[6].params.Get<BlurParams>()->radius, 0.25f);
    EXPECT_EQ(stack[7].type, kEffectGlow);
    EXPECT_EQ(stack[7].params.Alternative(), 0);
    const auto* hs = stack[8].params.Get<HueSaturationParams>();
    EXPECT_EQ(hs->hue, 0); EXPECT_EQ(hs->saturation, 0.5f); EXPECT_EQ(hs->lightness, 0); EXPECT_EQ(hs->colorize, 1);
}

TEST(EffectPayload, PayloadsThatDoNotFitAreErrors) {
    const std::vector<std::vector<uint8_t>> broken = {
        // Drop Shadow payload that stops after one field.
        StackBytes({FilterRecord(kEffectDropShadow, 4, [](ArchiveWriter& ar) { ar.WriteF32(1); }),
                    FilterRecord(kEffectInvert, 0, [](ArchiveWriter&) {})}),
        // Length beyond the data.
        StackBytes({FilterRecord(kEffectBlur, 1000, [](ArchiveWriter& ar) { ar.WriteF32(1); })}),
        // A curve count larger than the payload.
        StackBytes({FilterRecord(kEffectEmboss, 21, [](ArchiveWriter& ar) { WriteBevel(ar, 0, {}, 0x10000000); })}),
        // A stack count larger than the data.
        {0xFF, 0xFF, 0xFF, 0xFF, 15, 1, 0, 0, 0, 0},
    };
    for (const auto& b : broken) {
        ArchiveReader ar(b);
        EXPECT_THROW(ReadEffectStack(ar), ArchiveError);
    }
}

TEST(ProjectFile, BoneAndPoseRecords) {
    ArchiveWriter w;
    Bone root;
    root.id = "bone_1";
    WriteBone(w, root);
    EXPECT_EQ(w.Size(), 20u + 1 + 16 + 1 + 20 + 8 + 4 + 1 + 16);  // no parent fields
    ArchiveReader r(w.Bytes());
    const Bone back = ReadBone(r);
    EXPECT_TRUE(back.parentId.empty());
    EXPECT_EQ(back.parentEnd, 1);

    Bone odd = root;
    odd.hasParent = true;
    odd.parentId = "bone_0";
    odd.parentEnd = 7;
    odd.roundHeadCap = -1;
    odd.roundTailCap = 0;
    ArchiveWriter w2;
    WriteBone(w2, odd);
    ArchiveReader r2(w2.Bytes());
    const Bone b2 = ReadBone(r2);
    EXPECT_EQ(b2.parentEnd, 1);
    EXPECT_EQ(b2.roundHeadCap, 1);
    EXPECT_EQ(b2.roundTailCap, 0);

    ArchiveWriter w3;
    WriteJointLink(w3, JointLink{"lj_1", "", {{"a", "b", 2}, {"c", "d", 0}}});
    ArchiveReader r3(w3.Bytes());
    const JointLink link = ReadJointLink(r3);
    EXPECT_EQ(link.ends[0].end, 1);
    EXPECT_EQ(link.ends[1].end, 0);

    PosablePart part;
    part.x = 2.5f;
    part.width = 0.2f;
    part.height = kNaN;
    ArchiveWriter w4;
    WritePosablePart(w4, part);
    ArchiveReader r4(w4.Bytes());
    const PosablePart p = ReadPosablePart(r4);
    EXPECT_EQ(p.x, 3);
    EXPECT_EQ(p.width, 1);
    EXPECT_EQ(p.height, 1);

    ArchiveWriter w5;
    WritePartPoses(w5, {});
    EXPECT_EQ(w5.Bytes(), (std::vector<uint8_t>{0, 0, 0, 0}));
    ArchiveWriter w6;
    WritePartPoses(w6, {PartPose{"o", -0.5f, 1.5f, 0.4f, 9.6f, 1, 1, 0, 0, 0, 0}});
    ArchiveReader r6(w6.Bytes());
    const auto poses = ReadPartPoses(r6);
    EXPECT_EQ(poses[0].x, -1);
    EXPECT_EQ(poses[0].y, 2);
    EXPECT_EQ(poses[0].width, 1);
    EXPECT_EQ(poses[0].height, 10);
}

// Parent cycles and duplicate ids in stored bones are repaired so that no
// later walk over them can loop; sound lists of parts are kept as stored.
TEST(ProjectFile, StoredBoneCyclesAreBroken) {
    CanvasDocument scene = TestScene();
    CanvasObject& o = scene.layers[1].objects[0];
    o.bones = {TestBone("a", "b", 0, 0, 1, 1), TestBone("b", "a", 0, 0, 1, 1)};
    PosablePart& part = o.posableScene.parts[0];
    part.bones = {TestBone("x", "y", 0, 0, 1, 1), TestBone("y", "x", 0.5f, 0.5f, 1, 1),
                  TestBone("y", "", 0, 0, 1, 1)};
    CanvasDocument loaded;
    ASSERT_TRUE(ReadProjectBytes(WriteProjectBytes(scene), loaded));
    auto acyclic = [](const std::vector<Bone>& bones) {
        for (const Bone& b : bones) {
            const Bone* cur = &b;
            for (size_t steps = 0; cur && cur->hasParent; ++steps) {
                if (steps > bones.size()) return false;
                const Bone* next = nullptr;
                for (const Bone& c : bones)
                    if (c.id == cur->parentId) next = &c;
                cur = next;
            }
        }
        return true;
    };
    const CanvasObject& lo = *loaded.FindObject("object_1");
    EXPECT_TRUE(acyclic(lo.bones));
    const auto& pb = lo.posableScene.parts[0].bones;
    EXPECT_TRUE(acyclic(pb));
    EXPECT_NE(pb[1].id, pb[2].id);
    EXPECT_EQ(lo.posableScene.parts[1].bones[1].headX, 0.3f);  // the sound part is untouched
}

}  // namespace

namespace {

// The stored fixture was written by an earlier build: reading and writing it
// again gives the same bytes, so the format has not drifted.
TEST(ProjectFile, StoredFixtureStillRoundTrips) {
    std::vector<uint8_t> stored;
    ASSERT_TRUE(ReadWholeFile(std::string(TEST_FIXTURES_DIR) + "/qvk/full_scene.qvk", stored));
    CanvasDocument scene;
    ASSERT_TRUE(ReadProjectBytes(stored, scene));
    EXPECT_EQ(WriteProjectBytes(scene), stored);
    EXPECT_EQ(WriteProjectBytes(TestScene()), stored);
}

TEST(ProjectInfo, JsonSummary) {
    CanvasDocument scene = TestScene();
    const std::string json = ProjectInfoJson(scene);
    for (const char* piece : {
             "\"canvas\": {\"width\": 800, \"height\": 600.5, \"colour\": \"0x80123456\"}",
             "{\"id\": \"backdrop\", \"name\": \"Backdrop\", \"order\": 0, \"visible\": true, \"locked\": true, "
             "\"active\": false, \"objects\": [",
             "{\"id\": \"layer_2\", \"name\": \"\xE5\xB1\x82\", \"order\": 7, \"visible\": false, \"locked\": false, "
             "\"active\": true, \"objects\": []}",
             "{\"id\": \"object_1\", \"name\": \"Bitmap \xE2\x80\x94 \\ud800\", \"kind\": 0, \"x\": -10, \"y\": 20, "
             "\"width\": 300, \"height\": 200, \"rotation\": 12.5, \"opacity\": 0.5, \"blendMode\": 45, "
             "\"clipToLayerBelow\": true, \"maskEnabled\": true, \"imageParts\": 2, \"bones\": 2, \"filters\": [[0, "
             "true], [1, true]",
             "[17, false], [25, false]], \"posableParts\": [{\"id\": \"object_7\"",
             "\"bones\": [{\"id\": \"bone_1\", \"name\": \"Bone bone_1\", \"parent\": null, \"head\": [0, 0], "
             "\"tail\": [1, 1]}, {\"id\": \"bone_2\", \"name\": \"Bone bone_2\", \"parent\": \"bone_1\", "
             "\"head\": [0.300000012, 0.300000012], \"tail\": [0.600000024, 0.600000024]}]}, {\"id\": \"object_8\"",
             "\"jointLinks\": 1, \"hasPose\": true, \"poses\": [{\"part\": \"object_7\", \"x\": 1, \"y\": 2, "
             "\"width\": 3, \"height\": 4, \"rotation\": 5, \"opacity\": 0.5, \"head\": [0.100000001, "
             "0.200000003], \"tail\": [0.300000012, 0.400000006]}]}",
             "\"kind\": 2",
         }) {
        EXPECT_NE(json.find(piece), std::string::npos) << piece << "\n" << json;
    }
    // Objects are listed from the top: object_1 (z 1) before object_3.
    EXPECT_LT(json.find("object_1"), json.find("object_3"));
}

}  // namespace
