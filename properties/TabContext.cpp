#include "properties/TabContext.h"

#include "document/CQuillfenEditorDoc.h"

TabContext BuildTabContext(const CQuillfenEditorDoc* doc) {
    TabContext ctx;
    if (!doc) return ctx;
    ctx.tool = doc->activeTool;
    ctx.mode = doc->workspaceMode;
    if (ctx.mode == kWorkspacePoseEditor) {
        if (!doc->poseEditorObjectId.empty()) {
            for (const Layer& layer : doc->poseScene.layers) {
                if (layer.objects.empty()) continue;
                ctx.poseObjectId = layer.objects.front().id;
                break;
            }
            ctx.poseSelectedObjectId = doc->boneSelection.objectId;
            ctx.poseBoneId = doc->boneSelection.boneId;
        }
        return ctx;
    }
    const CanvasDocument& scene = doc->mainScene;
    ctx.selectionCount = int32_t(scene.selectedIds.size());
    if (ctx.selectionCount == 1) {
        if (const CanvasObject* o = scene.FindObject(scene.primarySelectedId)) {
            ctx.objectId = o->id;
            ctx.objectKind = o->kind == kObjectPosable ? 2 : o->kind == kObjectLightCone ? 3 : 1;
        }
    }
    return ctx;
}

namespace {
bool IsBrushTool(int t) { return (t >= kToolPaintBrush && t <= kToolRecolorBrush) || t == kToolEraser || t == kToolPaintMask || t == kToolEraseMask; }
bool IsSelectTool(int t) { return t >= kToolRectangleMarquee && t <= kToolCurveLasso; }
// The tools whose own tab replaces the bone and pose tabs in the Pose Editor.
bool IsPoseEditorPaintOrSelectTool(int t) {
    return (t >= kToolPaintBrush && t <= kToolRecolorBrush) || t == kToolEraser || IsSelectTool(t);
}
}  // namespace

bool PropTabApplies(PropTabKind kind, const TabContext& c) {
    const bool notInpaint = c.mode != kWorkspaceInpaint;
    switch (kind) {
    case PropTabKind::Object:
        return c.mode == kWorkspaceCanvas && c.tool == kToolMove && c.selectionCount == 1 && c.objectKind != 0;
    case PropTabKind::LightCone:
        return notInpaint && c.tool == kToolLight && c.selectionCount == 1 && c.objectKind == 3;
    case PropTabKind::Brush:
    case PropTabKind::BrushAdvanced: return notInpaint && IsBrushTool(c.tool);
    case PropTabKind::Selection: return notInpaint && IsSelectTool(c.tool);
    case PropTabKind::SelectionRefine: return notInpaint && c.tool == kToolRefine;
    case PropTabKind::Eyedropper: return c.tool == kToolEyedropper;
    case PropTabKind::Bone:
        return c.mode == kWorkspacePoseEditor && c.tool != kToolMove && c.tool != kToolAddBone &&
               c.tool != kToolLinkJoints && !IsPoseEditorPaintOrSelectTool(c.tool) && !c.poseBoneId.empty() &&
               !c.poseSelectedObjectId.empty();
    case PropTabKind::PoseObject:
        return c.mode == kWorkspacePoseEditor && !c.poseObjectId.empty() &&
               (c.tool == kToolMove || (c.tool != kToolAddBone && c.tool != kToolLinkJoints &&
                                        !IsPoseEditorPaintOrSelectTool(c.tool) && c.poseBoneId.empty()));
    case PropTabKind::AddBone:
        return c.mode == kWorkspacePoseEditor && c.tool == kToolAddBone && !c.poseObjectId.empty();
    case PropTabKind::LinkJoints:
        return c.mode == kWorkspacePoseEditor && c.tool == kToolLinkJoints && !c.poseObjectId.empty();
    case PropTabKind::Pose:
        return c.mode == kWorkspaceCanvas && c.tool == kToolPose && c.objectKind == 2 && c.selectionCount == 1;
    case PropTabKind::InpaintBrush: return c.mode == kWorkspaceInpaint;
    case PropTabKind::StencilBrush: return notInpaint && c.tool == kToolStencilKitbash;
    case PropTabKind::Stencil: return c.tool == kToolStencilKitbash;
    case PropTabKind::Effect:
        return notInpaint && c.tool == kToolMove && c.selectionCount == 1 && c.objectKind != 3;
    case PropTabKind::Count: break;
    }
    return false;
}

const char* PropTabTitle(PropTabKind kind) {
    switch (kind) {
    case PropTabKind::Object: return "Info";
    case PropTabKind::LightCone: return "Light";
    case PropTabKind::Brush: return "Brush";
    case PropTabKind::BrushAdvanced: return "Advanced";
    case PropTabKind::Selection: return "Selection";
    case PropTabKind::SelectionRefine: return "Refine";
    case PropTabKind::Eyedropper: return "Picker";
    case PropTabKind::Bone: return "Bone";
    case PropTabKind::PoseObject: return "Pose";
    case PropTabKind::AddBone: return "Add Bone";
    case PropTabKind::LinkJoints: return "Links";
    case PropTabKind::Pose: return "Pose";
    case PropTabKind::InpaintBrush: return "Brush";
    case PropTabKind::StencilBrush: return "Brush";
    case PropTabKind::Stencil: return "Kitbash";
    case PropTabKind::Effect: return "Effect";
    case PropTabKind::Count: break;
    }
    return "";
}

int PropTabWidth(PropTabKind kind) {
    switch (kind) {
    case PropTabKind::Eyedropper: return 64;
    case PropTabKind::AddBone: return 110;
    case PropTabKind::Stencil: return 88;
    default: return 80;
    }
}

const char* PropMessageForContext(const TabContext& ctx) {
    if (ctx.selectionCount <= 0) return "No selection";
    if (ctx.selectionCount == 1) return "Tool has no properties";
    return "Multiple objects selected";
}
