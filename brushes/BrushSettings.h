#pragma once
// The record that describes a brush, the per-tool slots holding the brush
// each tool paints with, the process-wide wet-paint, smudge and clone
// options, and the rule that turns a tool's slot into one stroke's settings.
// Everything here lives for the whole run, is used on the UI thread only and
// persists only through brush libraries.
#include <cstdint>
#include <vector>

enum BrushTipKind : uint8_t {
    kBrushTipRound = 0,     // procedural, round distance
    kBrushTipBitmap = 1,    // from tipImage; procedural round when it cannot be decoded
    kBrushTipSquare = 2,    // procedural, square distance (stored brushes only)
    kBrushTipTextured = 3,  // hard round core with a cosine edge, times the grain image
};

struct BrushSettings {
    float size = 20.0f;      // dab diameter in canvas pixels
    float opacity = 1.0f;    // stroke opacity 0..1
    float flow = 0.5f;       // per-dab strength 0..1
    float spacing = 0.25f;   // dab spacing as a fraction of the dab size
    uint8_t tipKind = kBrushTipRound;
    float hardness = 0.8f;   // 0..1: size of the solid core and steepness of the falloff
    float scaleX = 1.0f, scaleY = 1.0f;  // tip axis scales
    float angle = 0.0f;      // tip rotation in degrees
    std::vector<uint8_t> tipImage;       // encoded PNG, JPEG or BMP for the bitmap tip
    uint32_t tipAux1 = 0, tipAux2 = 0;   // kept and stored unchanged
    std::vector<uint8_t> grainImage;     // encoded image: the grain of the textured tip
    uint32_t grainAux1 = 0, grainAux2 = 0;
    uint64_t tipRevision = 0;  // bumped when an image is replaced or pressure changes hardness
    bool pressureSize = false, pressureOpacity = false, pressureFlow = false, pressureHardness = false;
    float scatter = 0.0f;          // random dab offset, fraction of half the dab size
    float spacingJitter = 0.0f;    // 0..1
    float sizeJitter = 0.0f;       // 0..1
    float angleJitter = 0.0f;      // 0..1, 1 = +-180 degrees
    float angleStep = 0.0f;        // 0..1 of a full turn per dab
    float hueJitter = 0.0f;        // 0..1, 1 = +-180 degrees of hue
    float saturationJitter = 0.0f;
    float brightnessJitter = 0.0f;
    float opacityJitter = 0.0f;
    bool erase = false;  // the paint dab removes alpha instead of adding colour
};

// One brush well of a tool: the brush and the library index it was loaded
// from (-1 when not from the library or edited since).
struct ToolBrushSlot {
    BrushSettings settings;
    int32_t presetIndex = -1;
};

struct ToolBrushSettings {
    ToolBrushSlot toolSlots[2];
    int32_t activeSlot = 0;

    // The slot in use: activeSlot limited to 0..1.
    ToolBrushSlot& ActiveSlot() { return toolSlots[activeSlot < 0 ? 0 : (activeSlot > 1 ? 1 : activeSlot)]; }
    const ToolBrushSlot& ActiveSlot() const {
        return toolSlots[activeSlot < 0 ? 0 : (activeSlot > 1 ? 1 : activeSlot)];
    }
};

// Wet paint, smudge and clone options shared by every tab showing them.
struct BrushToolOptions {
    float wet = 0.5f;
    float load = 1.0f;
    float mix = 0.5f;
    bool loadAfterStroke = true;
    bool cleanAfterStroke = true;
    float strength = 0.8f;  // smudge
    bool aligned = true;
    bool allLayers = true;
    bool freezeSource = false;
};

// The engine's copy of the wet options for the mixer and blend brushes.
struct WetPaintParams {
    float wet = 0.5f, load = 1.0f, mix = 0.5f;
    bool loadAfterStroke = true;
    bool cleanAfterStroke = false;
    bool smearOnly = false;
};

// The block of slots a tool paints with (mixer and blend share one, clone
// and healing clone share one; every other tool uses the default block).
// Never null; callers read and write the slots in place.
ToolBrushSettings* GetToolBrushSettings(int toolId);

// Every slot of every tool forgets its preset: the indices point into the
// library that was shown, and mean nothing in another.
void ClearBrushPresetIndices();

BrushToolOptions& GetBrushToolOptions();

// A fresh slot's brush: size 30 and flow 1.0, unlike a fresh BrushSettings.
BrushSettings DefaultSlotBrushSettings();

// The settings of one stroke of the tool: a copy of the slot in use, with the
// erase flag set for the erasing tools and, for the mask and eraser tools, a
// translucent opacity o raised to 1 - (1 - o)^0.25 so that partial erasing
// and mask painting reach useful strength in a few dabs.
BrushSettings BuildStrokeParams(int toolId);

// The wet options a mixer (10) or blend (11) brush stroke runs with.
WetPaintParams BuildWetPaintParams(int toolId);

// The settings modulated by pen pressure; unchanged at pressure 1.0 or when
// no pressure switch is on.
BrushSettings ApplyBrushPressure(const BrushSettings& settings, float pressure);
