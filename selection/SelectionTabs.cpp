#include "selection/SelectionTabs.h"

#include "document/CQuillfenEditorDoc.h"
#include "selection/SelectionToolController.h"

#include <algorithm>
#include <cmath>

bool SelectionTabActsOn(int id, int code, float feather) {
    switch (id) {
        case kSelectionTabCombineOp:
        case kSelectionTabAntialias: return code == kPropNotifyClick;
        case kSelectionTabFeather: return code == kPropNotifyEnd;
        case kSelectionTabTolerance: return code == (feather > 0.0f ? kPropNotifyEnd : kPropNotifyChange);
        default: return false;
    }
}

void ApplySelectionTabControl(CQuillfenEditorDoc& doc, int id, float value) {
    SelectionToolSettings& settings = GetSelectionToolSettings();
    if (!std::isfinite(value)) return;
    CanvasDocument& scene = doc.SceneInUse();
    switch (id) {
        case kSelectionTabCombineOp:
            // Takes effect at the next press.
            settings.combineOp = std::clamp(int32_t(std::lround(value)), 0, 3);
            return;
        case kSelectionTabAntialias:
            settings.antialias = value != 0.0f;
            break;
        case kSelectionTabFeather:
            settings.feather = std::clamp(value, 0.0f, 50.0f);
            break;
        case kSelectionTabTolerance: {
            const int32_t t = std::clamp(int32_t(std::lround(value)), 0, 255);
            settings.tolerance = t;
            scene.EnsureSelectionMask();
            SelectionToolController& controller = doc.SelectionTool(scene);
            controller.tolerance = t;
            if (controller.pending.kind == kSelectionShapeMagicWand) {
                controller.pending.tolerance = t;
                controller.Commit();
            }
            doc.RefreshAllViews();
            return;
        }
        default: return;
    }
    ApplySelectionEdgeOptions(doc.SelectionTool(scene), scene);
    doc.RefreshAllViews();
}

bool RefineTabActsOn(int id, int code) {
    if (id == kRefineTabOperation) return code == kPropNotifyClick;
    if (id == kRefineTabPixels) return code == kPropNotifyEnd;
    return false;
}

RefineTabState& GetRefineTabState() {
    static RefineTabState state;
    return state;
}

void ApplyRefineTabControl(CQuillfenEditorDoc& doc, RefineTabState& state, int id, float value) {
    if (!std::isfinite(value)) return;
    if (id == kRefineTabOperation) state.operation = std::clamp(int32_t(std::lround(value)), 0, 2);
    else if (id == kRefineTabPixels) state.radius = std::clamp(int32_t(std::lround(value)), 0, 250);
    else return;
    doc.SceneInUse().RefineSelection(state.operation, state.radius);
    doc.RefreshAllViews();
}
