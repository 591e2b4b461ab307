#pragma once
// One object of a layer and the records embedded in it. Copying an object
// copies every field deeply and shares its render caches, so a copy draws at
// once; dropping one object's caches never touches another's bitmaps.
#include "filters/EffectInstance.h"
#include "platform/Bitmap.h"
#include "scene/ImagePart.h"
#include "scene/PosableRecords.h"

#include <cstdint>
#include <string>
#include <vector>

enum CanvasObjectKind : uint8_t {
    kObjectBitmap = 0,
    kObjectPosable = 1,
    kObjectLightCone = 2,
};

// The warp's corners as fractions of the object's size: top-left, top-right,
// bottom-right, bottom-left.
struct Quad {
    float x0 = 0, y0 = 0, x1 = 1, y1 = 0, x2 = 1, y2 = 1, x3 = 0, y3 = 1;
    // Bit-for-bit comparison with the identity: -0 counts as a warp.
    bool IsIdentity() const;
    bool BitEquals(const Quad& o) const;
};

struct PhotoBashParams {
    float bgRadius = 50;
    float fgRadius = 60;
    float mix = 0.75f;
};

struct LightConeParams {
    float height = 200;
    float coneAngle = 25;
    float amount = 1.0f;
    float ambient = 0.5f;
    float falloff = 1.0f;
    float lightX = 0, lightY = 0;    // fractions of the object's size from its centre
    float targetX = 0, targetY = 0;  // same units
    uint32_t tint = 0xFFFFFFFF;
    // Floats compared as floats (0 == -0, NaN never equal), the tint as bits.
    bool operator==(const LightConeParams& o) const;
    bool operator!=(const LightConeParams& o) const { return !(*this == o); }
};

// Render caches of an object: shared bitmaps with their keys and valid flags.
struct ObjectRenderCaches {
    // Base image: the composed parts at the object's rounded pixel size.
    BitmapPtr base;
    bool baseValid = false;
    // A light cone's render, kept apart from the composed-parts image.
    BitmapPtr light;
    bool lightValid = false;
    // Base image warped through warpQuad; its top-left at (warpOriginX, warpOriginY)
    // from the object's top-left.
    BitmapPtr warp;
    Quad warpQuad;
    float warpOriginX = 0, warpOriginY = 0;
    BitmapPtr warpSource;
    bool warpValid = false;
    // The image with the mask plane applied, keyed on the bitmap it was made from.
    BitmapPtr masked;
    BitmapPtr maskedSource;
    bool maskedValid = false;
    // The filter stack's result, keyed on the input bitmap and the generation.
    BitmapPtr effect;
    float effectOffsetX = 0, effectOffsetY = 0;
    uint64_t effectGeneration = 0;
    BitmapPtr effectSource;
    bool effectValid = false;
    // Layer-list thumbnails (90 x 90): the picture, its dimmed form, the mask.
    BitmapPtr thumb, thumbDimmed, maskThumb;
    bool thumbsValid = false;
};

// --- Geometry and rendering types (object geometry, quad warp, rendering) ---
// A point in canvas or object units.
struct ScenePoint {
    float x = 0, y = 0;
};
// An axis-aligned box: top-left corner and size.
struct SceneRect {
    float x = 0, y = 0, width = 0, height = 0;
};
struct FloatImage;
// --- end geometry and rendering types ---

struct CanvasObject {
    std::string id;  // "object_%d", unique over the scene
    std::string name;
    float x = 0, y = 0;
    float width = 0, height = 0;
    float rotation = 0;  // degrees about the centre, clockwise on screen
    float opacity = 1.0f;
    uint8_t kind = kObjectBitmap;
    std::vector<ImagePart> parts;
    std::vector<Bone> bones;
    bool visible = true;
    bool locked = false;
    int32_t z = 0;
    bool hasPosableScene = false;
    PosableScene posableScene;
    bool hasPose = false;
    std::vector<PartPose> partPoses;
    Quad warp;
    uint8_t blendMode = 0;
    PhotoBashParams photoBash;
    bool clipToLayerBelow = false;
    LightConeParams lightCone;
    std::vector<EffectInstance> effects;
    uint64_t generation = 0;
    std::vector<uint8_t> maskPixels;  // maskWidth x maskHeight, 255 shown, 0 hidden
    int32_t maskWidth = 0, maskHeight = 0;
    bool maskEnabled = false;
    ObjectRenderCaches caches;

    // True when the mask plane is in force for drawing and saving: enabled,
    // both sides positive and exactly maskWidth x maskHeight bytes.
    bool HasUsableMask() const;
    // A light cone, a filter stack or a warp: images that are slow to remake,
    // so a resize drag stretches the frozen ones and defers dropping them.
    bool HasCostlyRender() const;

    // Cache operations; each lets go of this object's references only.
    void InvalidateEffectCache();
    void ReleaseMaskCaches();
    void BumpGeneration();
    void InvalidateCaches();
    void ClearMask();
    void NormalizePartZ();

    // --- Identifiers (SceneStructure.cpp) ---
    // First "image_%d" (1..99999) no part of this object uses, else "image".
    std::string MakeImagePartId() const;

    // --- Geometry, hit testing and rendering (ObjectGeometry.cpp, ObjectRender.cpp,
    // LightCone.cpp, SceneCompose.cpp) ---
    // Local frame: (0, 0) the unrotated top-left corner, object units, y down.
    ScenePoint LocalToCanvas(ScenePoint local) const;
    ScenePoint CanvasToLocal(ScenePoint canvas) const;
    // Axis-aligned box around the warped and rotated outline.
    SceneRect GetBounds() const;
    // Inside the (warped) outline, edges included.
    bool ContainsPoint(ScenePoint canvas) const;
    // Inside the outline and over a pixel of alpha 10 or more (objects without
    // parts, or whose image cannot be made, count as hit inside their outline).
    bool HitTestPixel(ScenePoint canvas);
    // The image parts composed at the object's rounded pixel size, cached.
    BitmapPtr ComposeBitmap();
    // A light cone's render at the object's rounded pixel size, cached in its
    // own slot; null for other kinds.
    BitmapPtr GetLightConeBitmap();
    // The base image a draw starts from: the light render or the composed parts.
    BitmapPtr GetBaseBitmap();
    // The bitmap with the mask plane stretched over it, or the input itself.
    BitmapPtr ApplyMaskPlane(const BitmapPtr& bitmap);
    // The filter stack's result and its offset, or the input with (0, 0).
    BitmapPtr GetEffectBitmap(const BitmapPtr& bitmap, float& offsetX, float& offsetY);
    // The base image as straight float RGBA for the software compositor.
    bool RenderToFloat(FloatImage& out);
    // --- end geometry, hit testing and rendering ---

    // --- Parts bounds (document/ClipboardFormats.cpp) ---
    // Union of the parts' stored rectangles (offset, display size), visible
    // or not; false for an object without parts.
    bool GetPartsBounds(SceneRect& out) const;
    // --- end parts bounds ---
};
