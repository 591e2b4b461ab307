#pragma once
// A main scene that sets every field the project file stores to a value
// other than its default, for byte-exact round trips.
#include "filters/EffectRegistry.h"
#include "scene/CanvasDocument.h"

inline ImagePart TestImagePart(int n) {
    ImagePart p;
    p.id = "image_" + std::to_string(n);
    p.name = "Part \xC3\xA9 " + std::to_string(n);
    p.source = "/tmp/source_" + std::to_string(n) + ".png";
    p.encoded = {0x89, 'P', 'N', 'G', uint8_t(n), 0, 255};
    p.pixelWidth = 64;
    p.pixelHeight = 32;
    p.offsetX = 1.5f;
    p.offsetY = -2.25f;
    p.displayWidth = 128;
    p.displayHeight = 64;
    p.opacity = 0.75f;
    p.visible = false;
    p.z = n;
    return p;
}

inline Bone TestBone(const std::string& id, const std::string& parent, float hx, float hy, float tx, float ty) {
    Bone b;
    b.id = id;
    b.name = "Bone " + id;
    b.hasParent = !parent.empty();
    b.parentId = parent;
    b.parentEnd = 1;
    b.headX = hx, b.headY = hy, b.tailX = tx, b.tailY = ty;
    b.stretchable = true;
    b.width = 0.3f;
    b.headCapLength = 0.2f;
    b.tailCapLength = 0.15f;
    b.headShift = -0.5f;
    b.tailShift = 0.25f;
    b.headOffset = 0.125f;
    b.tailOffset = -0.125f;
    b.headCapWidth = 0.4f;
    b.tailCapWidth = 0.35f;
    b.roundHeadCap = 0;
    b.roundTailCap = 1;
    b.feather = 0.02f;
    b.wholeImage = false;
    return b;
}

// One instance of every filter type with changed values, an instance whose
// record was never set (written with its type's defaults) and an unknown type.
inline std::vector<EffectInstance> TestEffectStack() {
    std::vector<EffectInstance> s;
    for (int t = 0; t < kEffectTypeCount; ++t) s.push_back(MakeEffectInstance(uint8_t(t)));
    s[kEffectDropShadow].params.Get<DropShadowParams>()->colour = 0xFF102030;
    s[kEffectInnerShadow].params.Get<InnerShadowParams>()->distance = 7;
    s[kEffectGlow].params.Get<GlowParams>()->softness = 3;
    s[kEffectInnerGlow].params.Get<InnerGlowParams>()->opacity = 0.5f;
    s[kEffectBlur].params.Get<BlurParams>()->radius = 0.1f;
    s[kEffectGaussianBlur].params.Get<GaussianBlurParams>()->radius = 0.2f;
    s[kEffectGaussianBevel].params.Get<GaussianBevelParams>()->angle = 45;
    auto* inner = s[kEffectInnerBevel].params.Get<InnerBevelParams>();
    inner->profile = kBevelCustom;
    inner->points = {{0, 0.1f}, {0.5f, 0.6f}, {1, 0.8f}};
    auto* outer = s[kEffectOuterBevel].params.Get<OuterBevelParams>();
    outer->useObjectColor = false;
    outer->color = 0xFF112233;
    outer->points = {{0, 0}, {0.25f, 0.5f}, {0.5f, 0.25f}, {0.75f, 1}, {1, 0.5f}};
    s[kEffectEmboss].params.Get<EmbossParams>()->profile = kBevelBall;
    s[kEffectKaleidoscopeBlur].params.Get<KaleidoscopeBlurParams>()->width = 12;
    s[kEffectBrightnessContrast].params.Get<BrightnessContrastParams>()->contrast = -0.25f;
    s[kEffectHueSaturation].params.Get<HueSaturationParams>()->colorize = 1;
    s[kEffectColorFill].params.Get<ColorFillParams>()->opacity = 0.5f;
    auto* levels = s[kEffectLevels].params.Get<LevelsParams>();
    levels->channel = kLevelsGreen;
    levels->green.gamma = 2;
    levels->blue.outputHigh = 128;
    auto* newton = s[kEffectNewtonianShadow].params.Get<NewtonianShadowParams>();
    newton->falloff = kFalloffSharp;
    newton->contact = -3;
    newton->tipColour = 0xFF0000FF;
    s[kEffectMotionBlur].params.Get<MotionBlurParams>()->angle = 33;
    s[kEffectMotionBlur].enabled = false;
    EffectInstance unknown;
    unknown.type = 25;
    unknown.enabled = false;
    s.push_back(unknown);
    return s;
}

inline CanvasDocument TestScene() {
    CanvasDocument scene;
    scene.width = 800;
    scene.height = 600.5f;
    scene.canvasColour = 0x80123456;

    CanvasObject bitmap;
    bitmap.id = "object_1";
    bitmap.name = "Bitmap \xE2\x80\x94 \xED\xA0\x80";  // a dash and a lone surrogate
    bitmap.x = -10, bitmap.y = 20, bitmap.width = 300, bitmap.height = 200;
    bitmap.rotation = 12.5f;
    bitmap.opacity = 0.5f;
    bitmap.locked = true;
    bitmap.visible = false;
    bitmap.z = 1;
    bitmap.parts = {TestImagePart(1), TestImagePart(2)};
    bitmap.bones = {TestBone("bone_1", "", 0.1f, 0.1f, 0.5f, 0.5f), TestBone("bone_2", "bone_1", 0.5f, 0.5f, 0.9f, 0.2f)};
    bitmap.hasPosableScene = true;
    PosablePart part;
    part.id = "object_7";
    part.name = "Arm";
    part.x = 5, part.y = -6, part.width = 70, part.height = 80;
    part.rotation = 90;
    part.opacity = 0.25f;
    part.visible = false;
    part.locked = true;
    part.z = 3;
    ImagePartRecord record;
    record.id = "image_1";
    record.encoded = {1, 2, 3};
    record.pixelWidth = 70;
    record.opacity = 0.5f;
    part.parts = {record};
    // Stored as is: a child whose head is not on its parent's tail.
    part.bones = {TestBone("bone_1", "", 0, 0, 1, 1), TestBone("bone_2", "bone_1", 0.3f, 0.3f, 0.6f, 0.6f)};
    bitmap.posableScene.width = 0;
    bitmap.posableScene.height = 512;
    bitmap.posableScene.colour = 0xFF010203;
    bitmap.posableScene.parts = {part, part};
    bitmap.posableScene.parts[1].id = "object_8";
    bitmap.posableScene.links = {JointLink{"lj_1", "Elbow", {{"object_7", "bone_1", 1}, {"object_8", "bone_2", 0}}}};
    bitmap.posableScene.usePartialIK = true;
    bitmap.hasPose = true;
    bitmap.partPoses = {PartPose{"object_7", 1, 2, 3, 4, 5, 0.5f, 0.1f, 0.2f, 0.3f, 0.4f}};
    bitmap.warp = Quad{0.1f, 0, 0.9f, 0.1f, 1, 1, -0.1f, 0.9f};
    bitmap.blendMode = 45;
    bitmap.clipToLayerBelow = true;
    bitmap.photoBash = {10, 20, 0.3f};
    bitmap.maskEnabled = true;
    bitmap.maskWidth = 3;
    bitmap.maskHeight = 2;
    bitmap.maskPixels = {0, 255, 128, 1, 2, 3};
    bitmap.effects = TestEffectStack();

    CanvasObject light;
    light.id = "object_2";
    light.name = "Light";
    light.kind = kObjectLightCone;
    light.x = 1, light.y = 2, light.width = 3, light.height = 4;
    light.lightCone = {150, 30, 0.8f, 0.4f, 2, 0.1f, -0.2f, 0.3f, -0.4f, 0xFF00FF00};
    light.effects = {MakeEffectInstance(kEffectInvert)};
    light.effects[0].params.Set(EmptyEffectParams{});
    EffectInstance emptyShadow;  // written with Drop Shadow defaults
    emptyShadow.type = kEffectDropShadow;
    light.effects.push_back(emptyShadow);

    CanvasObject posable;
    posable.id = "object_3";
    posable.name = "";
    posable.kind = kObjectPosable;
    posable.width = posable.height = 1;

    scene.layers[0].objects = {light};
    scene.layers[1].objects = {bitmap, posable};
    scene.layers[1].objects[0].z = 1;
    scene.layers[1].objects[1].z = 0;
    Layer extra;
    extra.id = "layer_2";
    extra.name = "\xE5\xB1\x82";
    extra.visible = false;
    extra.order = 7;
    scene.layers.push_back(extra);
    scene.activeLayerId = "layer_2";
    scene.primarySelectedId = "object_1";
    scene.selectedIds = {"object_1"};
    return scene;
}
