// Commands on the canvas as a whole, the tool commands, Reset Warp and the
// compositor benchmark.
#include "document/CanvasCommands.h"

#include "document/CQuillfenEditorDoc.h"
#include "document/SelectionCommands.h"
#include "platform/Bitmap.h"
#include "platform/CompositeSurface.h"
#include "platform/Log.h"
#include "platform/Prompts.h"
#include "scene/SceneCompose.h"
#include "scene/SceneRender.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

int32_t CanvasSide(double value) {
    if (!std::isfinite(value)) return 1;
    const double r = std::round(value);
    return int32_t(std::clamp(r, 1.0, double(kMaxBitmapSide)));
}

CanvasSizeDialogValues CanvasSizeDialogFromScene(float width, float height, uint32_t argb) {
    CanvasSizeDialogValues v;
    // The dialog shows what the canvas is; only its result is limited.
    auto side = [](float f) {
        if (!std::isfinite(f)) return int32_t(1);
        return int32_t(std::clamp(std::round(double(f)), -2147483648.0, 2147483647.0));
    };
    v.width = side(width);
    v.height = side(height);
    v.anchor = 4;
    const uint32_t a = argb >> 24, r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    v.customColor = 0xFFFFFF;
    if (a == 0) {
        v.colorChoice = 1;
    } else if (r == 255 && g == 255 && b == 255) {
        v.colorChoice = 0;
    } else {
        v.colorChoice = 2;
        v.customColor = r | (g << 8) | (b << 16);
    }
    return v;
}

uint32_t CanvasColourFromDialog(const CanvasSizeDialogValues& values) {
    const uint32_t c = values.customColor;
    const uint32_t rgb = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    switch (values.colorChoice) {
        case 1:
            return rgb;
        case 2:
            return 0xFF000000u | rgb;
        default:
            return 0xFFFFFFFFu;
    }
}

void CQuillfenEditorDoc::OnModifySetCanvasSize() {
    // Always the main scene, also while the Pose Editor is open.
    CanvasDocument& scene = mainScene;
    CanvasSizeDialogValues values = CanvasSizeDialogFromScene(scene.width, scene.height, scene.canvasColour);
    if (!dialogs_ || !dialogs_->RunCanvasSizeDialog(values)) return;
    // The painted object moves with the others only once the painting is in
    // it; a painting that cannot be stored leaves the canvas as it is.
    if (!CommitPaintSession()) return;

    const float newW = float(CanvasSide(std::max(values.width, 1)));
    const float newH = float(CanvasSide(std::max(values.height, 1)));
    // The anchor's column and row say how much of the change goes before the
    // objects: none (left/top), half (centre) or all (right/bottom).
    const int32_t anchor = std::clamp(values.anchor, 0, 8);
    const float dx = float(anchor % 3) * (newW - scene.width) * 0.5f;
    const float dy = float(anchor / 3) * (newH - scene.height) * 0.5f;

    scene.width = newW;
    scene.height = newH;
    scene.ReleaseSelection();
    if (dx != 0 || dy != 0) {
        for (Layer& layer : scene.layers)
            for (CanvasObject& o : layer.objects) {
                o.x += dx;
                o.y += dy;
            }
    }
    scene.canvasColour = CanvasColourFromDialog(values);
    SetModifiedFlag(true);
    UpdateAllViews();
}

void CQuillfenEditorDoc::OnModifyAddLayer() { AddLayer(); }

bool CQuillfenEditorDoc::InsertLightCone() {
    const CanvasDocument& scene = SceneInUse();
    CanvasObject cone;
    cone.id = MakeUniqueObjectId();
    cone.name = "Light Cone";
    cone.kind = kObjectLightCone;
    cone.x = 0;
    cone.y = 0;
    // The cone covers the canvas.
    cone.width = float(CanvasSide(scene.width));
    cone.height = float(CanvasSide(scene.height));
    cone.blendMode = 15;  // Overlay
    cone.lightCone.lightX = -0.45f;
    cone.lightCone.lightY = -0.45f;
    cone.lightCone.targetX = 0;
    cone.lightCone.targetY = 0;
    return InsertObject(std::move(cone));
}

void CQuillfenEditorDoc::OnInsertLightCone() {
    InsertLightCone();
    SetActiveTool(kToolLight);
}

void CQuillfenEditorDoc::OnToolSelect(int tool) {
    if (tool == kToolPose) {
        if (workspaceMode != kWorkspaceCanvas || mainScene.primarySelectedId.empty()) return;
        const CanvasObject* o = mainScene.FindObject(mainScene.primarySelectedId);
        if (!o || o->kind != kObjectPosable) return;
    }
    SetActiveTool(tool);
}

void CQuillfenEditorDoc::OnToolSelectMoveJoint() {
    SetActiveTool(kToolSelectMoveJoint);
    const CanvasObject* o =
        poseScene.primarySelectedId.empty() ? nullptr : poseScene.FindObject(poseScene.primarySelectedId);
    if (o && !o->bones.empty())
        SetBoneSelection(o->id, o->bones.front().id, 0);
    else
        ClearBoneSelection();
    UpdateAllViews();
}

bool CQuillfenEditorDoc::CanResetWarp() const {
    if (workspaceMode != kWorkspaceCanvas || mainScene.primarySelectedId.empty()) return false;
    const CanvasObject* o = mainScene.FindObject(mainScene.primarySelectedId);
    return o && !o->warp.BitEquals(Quad{});
}

void CQuillfenEditorDoc::OnResetWarp() {
    if (mainScene.primarySelectedId.empty()) return;
    // A session paints the object as warped; its commit would bring the warp
    // back into the pixels.
    if (!CommitPaintSession()) return;
    CanvasObject* o = mainScene.FindObject(mainScene.primarySelectedId);
    if (!o || o->warp.BitEquals(Quad{})) return;
    o->warp = Quad{};
    o->InvalidateCaches();
    SetModifiedFlag(true);
    UpdateAllViews();
}

bool CQuillfenEditorDoc::CanUseBitmapTool() const {
    const CanvasDocument* scene = nullptr;
    if (IsPoseEditorOpen())
        scene = &poseScene;
    else if (workspaceMode == kWorkspaceCanvas)
        scene = &mainScene;
    else
        return false;
    const bool canvas = scene == &mainScene;
    if (scene->selectedIds.size() >= 2) return false;
    if (scene->selectedIds.size() == 1) {
        const CanvasObject* o =
            scene->primarySelectedId.empty() ? nullptr : scene->FindObject(scene->primarySelectedId);
        if (o) return o->kind == kObjectBitmap;
        return canvas;
    }
    return canvas;
}

bool CQuillfenEditorDoc::IsSingleBitmapSelected() const {
    const CanvasDocument* scene = nullptr;
    if (IsPoseEditorOpen())
        scene = &poseScene;
    else if (workspaceMode == kWorkspaceCanvas)
        scene = &mainScene;
    else
        return false;
    if (scene->selectedIds.size() != 1 || scene->primarySelectedId.empty()) return false;
    const CanvasObject* o = scene->FindObject(scene->primarySelectedId);
    return o && o->kind == kObjectBitmap;
}

bool CQuillfenEditorDoc::IsToolAvailable(int tool) const {
    const bool canvas = workspaceMode == kWorkspaceCanvas;
    const bool poseOpen = IsPoseEditorOpen();
    const bool maskRow = !mainScene.selectedMaskObjectId.empty();
    switch (tool) {
        case kToolMove:
        case kToolEyedropper:
            return true;
        case kToolPose: {
            const CanvasObject* o = FindPrimaryObject(mainScene);
            return canvas && o && o->kind == kObjectPosable;
        }
        case kToolAddBone:
            return poseOpen && FindPrimaryObject(poseScene);
        case kToolSelectMoveJoint: {
            const CanvasObject* o = FindPrimaryObject(poseScene);
            return poseOpen && o && !o->bones.empty();
        }
        case kToolLinkJoints:
            if (!poseOpen) return false;
            for (const Layer& l : poseScene.layers)
                for (const CanvasObject& o : l.objects)
                    if (!o.bones.empty()) return true;
            return false;
        case kToolSkew:
        case kToolDistort:
            return canvas;
        case kToolLight: {
            const CanvasObject* o = FindPrimaryObject(mainScene);
            return canvas && mainScene.selectedIds.size() == 1 && o && o->kind == kObjectLightCone;
        }
        case kToolPaintBrush:
        case kToolMixerBrush:
        case kToolBlendBrush:
        case kToolSmudgeBrush:
        case kToolCloneBrush:
        case kToolHealingCloneBrush:
        case kToolRecolorBrush:
        case kToolStencilKitbash:
            return CanUseBitmapTool();
        case kToolEraser:
            return CanUseBitmapTool() && !maskRow;
        case kToolRectangleMarquee:
        case kToolEllipseMarquee:
        case kToolEllipseFromCenter:
        case kToolPolygonLasso:
        case kToolFreehandLasso:
        case kToolMagicWand:
        case kToolCurveLasso:
            return IsSingleBitmapSelected();
        case kToolRefine:
            return (paintSession || poseOpen) && HasPixelSelection(SceneInUse());
        case kToolPaintMask:
        case kToolEraseMask: {
            const CanvasObject* o = FindPrimaryObject(mainScene);
            return canvas && mainScene.selectedIds.size() == 1 && o && o->kind == kObjectBitmap && !maskRow;
        }
        default:
            return false;
    }
}

// --- Compositor benchmark ---

namespace {

constexpr int kBenchmarkRuns = 10;

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

void CQuillfenEditorDoc::OnBenchmark() {
    CanvasDocument& scene = mainScene;
    int total = 0, visible = 0, blended = 0, masked = 0, warped = 0;
    for (const Layer& layer : scene.layers)
        for (const CanvasObject& o : layer.objects) {
            ++total;
            if (!o.visible || !layer.visible) continue;
            ++visible;
            if (o.blendMode != 0) ++blended;
            if (o.HasUsableMask()) ++masked;
            if (!o.warp.IsIdentity()) ++warped;
        }

    if (!CommitPaintSession()) return;

    const int32_t w = CanvasSide(scene.width), h = CanvasSide(scene.height);
    if (!BitmapSizeAllowed(w, h)) {
        LogError("Benchmark: canvas too large");
        return;
    }
    std::vector<uint8_t> buffer;
    try {
        buffer.assign(size_t(w) * size_t(h) * 4, 0);
    } catch (const std::bad_alloc&) {
        LogError("Benchmark: out of memory");
        return;
    }
    const ComposeOutput out{buffer.data(), w, h, int64_t(w) * 4};
    scene_compose(scene, out);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kBenchmarkRuns; ++i) scene_compose(scene, out);
    const double t1 = MillisecondsSince(start) / kBenchmarkRuns;

    CompositeSurface surface;
    if (!surface.Create(w, h)) {
        LogError("Benchmark: cannot create the composite surface");
        return;
    }
    sceneRender(surface, scene, nullptr);
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kBenchmarkRuns; ++i) sceneRender(surface, scene, nullptr);
    const double t2 = MillisecondsSince(start) / kBenchmarkRuns;
    surface.Release();
    buffer = {};

    const double budget = 16.67;
    char text[1024];
    std::snprintf(text, sizeof text,
                  "Compositor Benchmark\n\n"
                  "Canvas: %d x %d\n"
                  "Objects: %d visible / %d total\n"
                  "Blended: %d, masked: %d, warped: %d\n\n"
                  "scene_compose: %.2f ms/frame (%d runs, %.0f fps)\n"
                  "sceneRender: %.2f ms/frame (%d runs, %.0f fps)\n\n"
                  "scene_compose / sceneRender: %.1fx %s\n"
                  "Headroom at 60 fps (16.67 ms): scene_compose %.1f ms, sceneRender %.1f ms",
                  w, h, visible, total, blended, masked, warped, t1, kBenchmarkRuns, t1 > 0 ? 1000.0 / t1 : 0.0, t2,
                  kBenchmarkRuns, t2 > 0 ? 1000.0 / t2 : 0.0, t2 > 0 ? t1 / t2 : 0.0, t1 > t2 ? "slower" : "faster",
                  budget - t1, budget - t2);
    LogInfo(text);
    if (Prompts* prompts = GetPrompts()) prompts->Inform(text);
}
