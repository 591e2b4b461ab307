#include "brushes/BrushSettings.h"

#include "document/CQuillfenEditorDoc.h"

#include <algorithm>
#include <cmath>

BrushSettings DefaultSlotBrushSettings() {
    BrushSettings s;
    s.size = 30.0f;
    s.flow = 1.0f;
    return s;
}

namespace {

ToolBrushSettings MakeBlock() {
    ToolBrushSettings block;
    for (ToolBrushSlot& slot : block.toolSlots) slot.settings = DefaultSlotBrushSettings();
    return block;
}

struct ToolBlocks {
    ToolBrushSettings defaults = MakeBlock();
    ToolBrushSettings mixer = MakeBlock();
    ToolBrushSettings smudge = MakeBlock();
    ToolBrushSettings clone = MakeBlock();
    ToolBrushSettings recolor = MakeBlock();
    ToolBrushSettings stencil = MakeBlock();
};

ToolBlocks& Blocks() {
    static ToolBlocks blocks;
    return blocks;
}

bool IsMaskOrEraserTool(int toolId) {
    return toolId == kToolEraser || toolId == kToolPaintMask || toolId == kToolEraseMask;
}

}  // namespace

ToolBrushSettings* GetToolBrushSettings(int toolId) {
    ToolBlocks& b = Blocks();
    switch (toolId) {
    case kToolMixerBrush:
    case kToolBlendBrush: return &b.mixer;
    case kToolSmudgeBrush: return &b.smudge;
    case kToolCloneBrush:
    case kToolHealingCloneBrush: return &b.clone;
    case kToolRecolorBrush: return &b.recolor;
    case kToolStencilKitbash: return &b.stencil;
    default: return &b.defaults;
    }
}

void ClearBrushPresetIndices() {
    ToolBlocks& b = Blocks();
    for (ToolBrushSettings* block : {&b.defaults, &b.mixer, &b.smudge, &b.clone, &b.recolor, &b.stencil})
        for (ToolBrushSlot& slot : block->toolSlots) slot.presetIndex = -1;
}

BrushToolOptions& GetBrushToolOptions() {
    static BrushToolOptions options;
    return options;
}

BrushSettings BuildStrokeParams(int toolId) {
    BrushSettings s = GetToolBrushSettings(toolId)->ActiveSlot().settings;
    s.erase = toolId == kToolEraser || toolId == kToolEraseMask;
    if (IsMaskOrEraserTool(toolId)) {
        const float o = std::clamp(s.opacity, 0.0f, 1.0f);
        if (o < 0.999f) s.opacity = 1.0f - std::pow(1.0f - o, 0.25f);
    }
    return s;
}

WetPaintParams BuildWetPaintParams(int toolId) {
    const BrushToolOptions& o = GetBrushToolOptions();
    WetPaintParams p;
    p.wet = o.wet;
    p.load = o.load;
    p.mix = o.mix;
    if (toolId == kToolBlendBrush) {
        p.loadAfterStroke = false;
        p.cleanAfterStroke = true;
        p.smearOnly = true;
    } else {
        p.loadAfterStroke = o.loadAfterStroke;
        p.cleanAfterStroke = o.cleanAfterStroke;
        p.smearOnly = false;
    }
    return p;
}

BrushSettings ApplyBrushPressure(const BrushSettings& settings, float pressure) {
    BrushSettings s = settings;
    if (pressure == 1.0f ||
        !(s.pressureSize || s.pressureOpacity || s.pressureFlow || s.pressureHardness))
        return s;
    if (s.pressureSize) s.size = std::max(pressure * s.size, 0.5f);
    if (s.pressureOpacity) s.opacity = std::clamp(pressure * s.opacity, 0.0f, 1.0f);
    if (s.pressureFlow) s.flow = std::clamp(pressure * s.flow, 0.0f, 1.0f);
    if (s.pressureHardness) {
        const float h = std::clamp(pressure * s.hardness, 0.0f, 1.0f);
        if (h != s.hardness) ++s.tipRevision;
        s.hardness = h;
    }
    return s;
}
