#pragma once
// The Pose Editor view's geometry without a window: its zoom and scroll
// state and the mapping between view pixels and scene units, the scroll
// world parts can be pushed into, fitting the parts, where the handles of a
// bone lie on screen, and which joint, midpoint or handle lies under the
// mouse. Handle offsets are part pixels (they grow with the zoom); pick radii
// are view pixels.
//
// View pixels are the window's client pixels; on a screen with a device pixel
// ratio the zoom the user sets and reads counts device pixels, so 100 % shows
// one scene pixel per physical pixel, while pick radii keep their client sizes.
#include "platform/Raster.h"
#include "scene/CanvasDocument.h"

#include <string>

struct PoseViewState {
    static constexpr float kMinZoom = 0.1f;
    static constexpr float kMaxZoom = 8.0f;

    float zoom = 1.0f;     // view pixels per scene unit
    float ratio = 1.0f;    // device pixels per view pixel
    float scrollX = 0, scrollY = 0;  // the scene point at the viewport's top-left corner
    int viewportWidth = 0, viewportHeight = 0;
    float sceneWidth = 1024, sceneHeight = 1024;

    // The zoom the user sets and reads: device pixels per scene unit. The
    // limits (0.1 .. 8.0) apply to it.
    float DisplayZoom() const { return zoom * ratio; }
    // The smallest view zoom: the lower limit in view pixels.
    float MinViewZoom() const { return kMinZoom / ratio; }

    PointF SceneToView(PointF p) const { return {(p.x - scrollX) * zoom, (p.y - scrollY) * zoom}; }
    PointF ViewToScene(PointF p) const { return {(p.x + scrollX * zoom) / zoom, (p.y + scrollY * zoom) / zoom}; }
    // The viewport's size over 0.15 in scene units, centred on the scene.
    RectF ScrollWorld() const;
    PointF ClampScroll(PointF scroll) const;
    void ClampScroll();
    // Zooms to display zoom z (clamped) keeping the scene point under the view
    // point in place.
    void SetZoomAt(float z, PointF viewPoint);
    // Fits the rotated rectangles of the visible parts with a 32-pixel margin.
    void FitContent(const CanvasDocument& scene);
};

// The normalised part point (u, v) in view pixels.
PointF PartPointToView(const CanvasObject& part, float u, float v, const PoseViewState& view);
// A scene point in the part's normalised coordinates (may lie outside 0..1).
PointF CanvasToPartNormalized(const CanvasObject& part, PointF scene);

enum class BoneHandle { None = -1, CapLength = 0, Width, Feather, RoundCapOffset, RoundCapWidth };

// A handle of the bone for end (0 head, 1 tail) in view pixels; inner gets
// the point its connector starts from. False for a bone shorter than 0.0001
// part pixels and for the round-cap handles of an end that is not round.
bool GetBoneHandle(const CanvasObject& part, const Bone& bone, int end, BoneHandle handle, const PoseViewState& view,
                   PointF& position, PointF* inner = nullptr);
// The selected end's cap as drawn over the selected bone, in view pixels:
// a shape halfLength along the bone and halfWidth across it, centred on
// centre and turned by angle (degrees); an ellipse for a round cap, else a
// rectangle. A round cap also gets a guide line across the bone through the
// joint, 40 pixels past the cap on each side.
struct CapOutline {
    bool hasShape = false;  // false when the cap is too short to show
    bool round = false;
    PointF centre;
    float angle = 0, halfLength = 0, halfWidth = 0;
    bool hasGuide = false;
    PointF guideA, guideB;
};
// False for a bone shorter than one view pixel.
bool GetCapOutline(const CanvasObject& part, const Bone& bone, int end, const PoseViewState& view, CapOutline& out);
// The first of the five handles (in the order of BoneHandle) within 12 view
// pixels; the cap-length and round-cap handles need selectedFlag.
BoneHandle HitTestBoneHandles(const CanvasObject& part, const Bone& bone, int end, bool selectedFlag,
                              const PoseViewState& view, PointF viewPoint);
// The first bone of the part whose midpoint is within 10 view pixels.
bool HitTestBoneMidpoint(const CanvasObject& part, const PoseViewState& view, PointF viewPoint, std::string& boneId);
// The nearest joint of the part within 18 view pixels: heads first (the last
// equally near head wins), then tails (tieToHead: strictly nearer only).
bool HitTestJoint(const CanvasObject& part, const PoseViewState& view, PointF viewPoint, bool tieToHead,
                  std::string& boneId, int& end);
// The nearest joint of any visible part of a visible layer within 18 view
// pixels; per part heads win ties, tails must be strictly nearer.
bool HitTestAnyJoint(const CanvasDocument& scene, const PoseViewState& view, PointF viewPoint, JointLinkEnd& out);
// The first "bone_%d" (1..99999) no bone of the scene uses, else "bone".
std::string MakeUniqueSceneBoneId(const CanvasDocument& scene);
// The selection's bone of the part, or null.
const Bone* FindBone(const CanvasObject& part, const std::string& boneId);
Bone* FindBone(CanvasObject& part, const std::string& boneId);
