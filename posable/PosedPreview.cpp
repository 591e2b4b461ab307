#include "posable/PosedPreview.h"

#include "document/CQuillfenEditorDoc.h"
#include "document/ClipboardFormats.h"
#include "posable/RuntimeScene.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

float RoundHalfAway(double v) { return float(std::round(v)); }

// The visible objects of the visible layers in layer and list order, and the
// union of their rotated bounds; false when there is none.
bool CollectForRender(CanvasDocument& scene, std::vector<CanvasObject*>& list, SceneRect& u) {
    list.clear();
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (Layer& layer : scene.layers) {
        if (!layer.visible) continue;
        for (CanvasObject& o : layer.objects) {
            if (!o.visible) continue;
            const SceneRect r = GetRotatedBounds(o);
            if (list.empty()) {
                minX = r.x, minY = r.y, maxX = r.x + r.width, maxY = r.y + r.height;
            } else {
                minX = std::min<double>(minX, r.x);
                minY = std::min<double>(minY, r.y);
                maxX = std::max<double>(maxX, r.x + r.width);
                maxY = std::max<double>(maxY, r.y + r.height);
            }
            list.push_back(&o);
        }
    }
    if (list.empty()) return false;
    u = SceneRect{float(minX), float(minY), float(maxX - minX), float(maxY - minY)};
    return std::isfinite(u.x) && std::isfinite(u.y) && std::isfinite(u.width) && std::isfinite(u.height);
}

// The runtime scene of a posable object's stored scene, posed as stored
// when withPose is set. The cut parts stay decoded only: nothing stores them.
void BuildObjectRuntime(const PosableScene& scene, const CanvasObject* posedBy, CanvasDocument& runtime) {
    CanvasDocument unfolded;
    std::vector<JointLink> links;
    CanvasDocument::LoadFromScene(scene, unfolded, links);
    std::vector<JointLink> runtimeLinks;
    BuildRuntimeDocument(unfolded, links, runtime, runtimeLinks, false);
    if (posedBy && posedBy->hasPose) ApplyPartPoses(runtime, posedBy->partPoses);
}

ImagePart MakePreviewPart(const PosePreviewImage& image) {
    ImagePart p;
    p.id = "posable_preview";
    p.name = "Preview";
    p.source = image.fileName;
    p.encoded = image.png;
    p.pixelWidth = p.displayWidth = image.width;
    p.pixelHeight = p.displayHeight = image.height;
    p.decoded = image.bitmap;
    p.decodeTried = image.bitmap != nullptr;
    return p;
}

// How many preview pixels the object shows per scene unit of its runtime
// scene: 1 for a preview rendered unscaled, more after it was re-rendered at
// a higher resolution. The callers' scale (object size over preview pixels)
// times this is the object's size per scene unit, which a re-render at rest
// or in a new pose must keep.
void PreviewPixelsPerUnit(const CanvasObject& object, double& fx, double& fy) {
    fx = fy = 1;
    if (object.kind != kObjectPosable || object.parts.empty()) return;
    const double pw = object.parts.front().pixelWidth, ph = object.parts.front().pixelHeight;
    if (!(pw > 0 && ph > 0) || !std::isfinite(pw) || !std::isfinite(ph)) return;
    CanvasDocument runtime;
    BuildObjectRuntime(object.posableScene, &object, runtime);
    std::vector<CanvasObject*> list;
    SceneRect u;
    if (!CollectForRender(runtime, list, u)) return;
    const double uw = std::ceil(std::max<double>(u.width, 1)), uh = std::ceil(std::max<double>(u.height, 1));
    fx = pw / uw;
    fy = ph / uh;
}

// After the picture of an object that had a sharper-than-unscaled preview is
// remade, render it again at the object's size so it stays as sharp.
void KeepSharpness(CanvasDocument& runtime, PosePreviewImage& image, double fx, double fy, float width, float height) {
    if (!(fx > 1 || fy > 1) || !(width > image.width || height > image.height)) return;
    PosePreviewImage sharp;
    SceneRect ignored;
    if (RenderPosedScene(runtime, sharp, ignored, width, height)) image = std::move(sharp);
}

}  // namespace

bool RenderPosedScene(CanvasDocument& runtime, PosePreviewImage& image, SceneRect& bounds, float targetWidth,
                      float targetHeight) {
    std::vector<CanvasObject*> list;
    SceneRect u;
    if (!CollectForRender(runtime, list, u)) return false;
    std::stable_sort(list.begin(), list.end(), [](const CanvasObject* a, const CanvasObject* b) { return a->z < b->z; });
    const double uw = std::max<double>(u.width, 1), uh = std::max<double>(u.height, 1);
    const bool scaled = targetWidth > 0 && targetHeight > 0 && std::isfinite(targetWidth) && std::isfinite(targetHeight);
    const double fw = scaled ? std::ceil(double(targetWidth)) : std::ceil(uw);
    const double fh = scaled ? std::ceil(double(targetHeight)) : std::ceil(uh);
    if (!(fw <= kMaxBitmapSide && fh <= kMaxBitmapSide)) return false;
    const int W = std::max(int(fw), 1), H = std::max(int(fh), 1);
    BitmapPtr bmp = Bitmap::Create(W, H);
    if (!bmp) return false;
    const double kx = scaled ? W / uw : 1.0, ky = scaled ? H / uh : 1.0;
    const RasterTarget target = RasterTarget::Of(*bmp);
    for (CanvasObject* o : list) {
        BitmapPtr picture = o->ComposeBitmap();
        if (!picture || picture->Width() <= 0 || picture->Height() <= 0) continue;
        const double w = o->width, h = o->height;
        // Each part rigidly: turned about its centre, moved into the union's
        // frame, then stretched to the target size.
        const Affine world = Affine{kx, 0, 0, ky, 0, 0}
                                 .After(Affine::Translation(o->x + w / 2 - u.x, o->y + h / 2 - u.y))
                                 .After(Affine::RotationAbout(o->rotation, 0, 0))
                                 .After(Affine::Translation(-w / 2, -h / 2));
        ImageDrawOptions options;
        options.interpolation = Interpolation::Bicubic;
        options.compositing = Compositing::SourceOver;
        options.antiAlias = true;
        options.opacity = o->opacity;
        options.world = &world;
        DrawBitmapRect(target, *picture, RectF{0, 0, float(w), float(h)}, options);
    }
    std::vector<uint8_t> png;
    if (!SaveImageToPngBytes(*bmp, png)) return false;
    image.fileName = "posable_preview.png";
    image.png = std::move(png);
    image.bitmap = std::move(bmp);
    image.width = float(W);
    image.height = float(H);
    bounds = SceneRect{u.x, u.y, float(W), float(H)};
    return true;
}

void ApplyPartPoses(CanvasDocument& runtime, const std::vector<PartPose>& poses) {
    for (const PartPose& pose : poses) {
        CanvasObject* o = runtime.FindObject(pose.objectId);
        if (!o || o->bones.size() != 1) continue;
        o->x = pose.x;
        o->y = pose.y;
        o->width = pose.width;
        o->height = pose.height;
        o->rotation = pose.rotation;
        o->opacity = pose.opacity;
        Bone& b = o->bones.front();
        b.headX = pose.headX;
        b.headY = pose.headY;
        b.tailX = pose.tailX;
        b.tailY = pose.tailY;
    }
}

bool ApplyPosableScene(CanvasObject& object, const PosableScene& scene, float scaleX, float scaleY) {
    double fx = 1, fy = 1;
    PreviewPixelsPerUnit(object, fx, fy);
    CanvasDocument runtime;
    BuildObjectRuntime(scene, nullptr, runtime);
    PosePreviewImage image;
    SceneRect bounds;
    if (!RenderPosedScene(runtime, image, bounds)) return false;
    const float width = std::max(RoundHalfAway(image.width * double(scaleX) * fx), 1.0f);
    const float height = std::max(RoundHalfAway(image.height * double(scaleY) * fy), 1.0f);
    KeepSharpness(runtime, image, fx, fy, width, height);

    object.kind = kObjectPosable;
    object.hasPosableScene = true;
    if (&object.posableScene != &scene) object.posableScene = scene;
    object.hasPose = false;
    object.partPoses.clear();
    object.parts.clear();
    object.ClearMask();
    object.parts.push_back(MakePreviewPart(image));
    object.x = RoundHalfAway(object.x);
    object.y = RoundHalfAway(object.y);
    object.width = width;
    object.height = height;
    object.InvalidateCaches();
    return true;
}

namespace {

// Renders the runtime scene and puts its picture on the object, sized as the
// render times the scale and moved so that what stood at the runtime point
// origin (the object's top-left corner before) stays where it was on the
// canvas. The object turns about its centre, so the centre moves by that
// local shift turned by the rotation. The box keeps its fractions: posing
// and resetting then come back to the very same box.
bool PlaceRuntimePicture(CanvasObject& object, CanvasDocument& runtime, double fx, double fy, float scaleX,
                         float scaleY, float originX, float originY) {
    PosePreviewImage image;
    SceneRect bounds;
    if (!RenderPosedScene(runtime, image, bounds)) return false;
    const double ex = double(scaleX) * fx, ey = double(scaleY) * fy;
    const double width = std::max(image.width * ex, 1.0), height = std::max(image.height * ey, 1.0);
    const double dx = (bounds.x - double(originX)) * ex + (width - double(object.width)) / 2;
    const double dy = (bounds.y - double(originY)) * ey + (height - double(object.height)) / 2;
    const double th = object.rotation * kPi / 180.0;
    const double c = std::cos(th), s = std::sin(th);
    const double cx = object.x + object.width / 2.0 + dx * c - dy * s;
    const double cy = object.y + object.height / 2.0 + dx * s + dy * c;
    KeepSharpness(runtime, image, fx, fy, float(width), float(height));
    object.parts.clear();
    object.parts.push_back(MakePreviewPart(image));
    object.x = float(cx - width / 2.0);
    object.y = float(cy - height / 2.0);
    object.width = float(width);
    object.height = float(height);
    object.InvalidateCaches();
    return true;
}

}  // namespace

bool PosableSceneRenderOrigin(const PosableScene& scene, const CanvasObject* posedBy, float& x, float& y) {
    CanvasDocument runtime;
    BuildObjectRuntime(scene, posedBy, runtime);
    std::vector<CanvasObject*> list;
    SceneRect u;
    if (!CollectForRender(runtime, list, u)) return false;
    x = u.x;
    y = u.y;
    return true;
}

bool ApplyPosableSceneInPlace(CanvasObject& object, const PosableScene& scene, float scaleX, float scaleY,
                              float originX, float originY) {
    double fx = 1, fy = 1;
    PreviewPixelsPerUnit(object, fx, fy);
    CanvasDocument runtime;
    BuildObjectRuntime(scene, nullptr, runtime);
    CanvasObject result = object;
    if (!PlaceRuntimePicture(result, runtime, fx, fy, scaleX, scaleY, originX, originY)) return false;
    if (!std::isfinite(result.x) || !std::isfinite(result.y)) return false;
    result.kind = kObjectPosable;
    result.hasPosableScene = true;
    if (&object.posableScene != &scene) result.posableScene = scene;
    result.hasPose = false;
    result.partPoses.clear();
    result.ClearMask();
    result.InvalidateCaches();
    object = std::move(result);
    return true;
}

bool CommitPose(CQuillfenEditorDoc& doc, const std::string& objectId, const std::vector<PartPose>& poses,
                float scaleX, float scaleY, float originX, float originY) {
    if (doc.workspaceMode != kWorkspaceCanvas || objectId.empty()) return false;
    CanvasObject* object = doc.mainScene.FindObject(objectId);
    if (!object || object->kind != kObjectPosable) return false;
    double fx = 1, fy = 1;
    PreviewPixelsPerUnit(*object, fx, fy);
    CanvasDocument runtime;
    BuildObjectRuntime(object->posableScene, nullptr, runtime);
    ApplyPartPoses(runtime, poses);
    if (!PlaceRuntimePicture(*object, runtime, fx, fy, scaleX, scaleY, originX, originY)) return false;
    object->hasPose = true;
    if (&object->partPoses != &poses) object->partPoses = poses;
    doc.SetModifiedFlag(true);
    doc.UpdateAllViews();
    return true;
}

bool ResetPoseInPlace(CanvasObject& object, float scaleX, float scaleY) {
    if (object.kind != kObjectPosable || !object.hasPosableScene) return false;
    double fx = 1, fy = 1;
    PreviewPixelsPerUnit(object, fx, fy);
    // The runtime point the object's corner shows now: the posed render's origin.
    CanvasDocument posed;
    BuildObjectRuntime(object.posableScene, &object, posed);
    std::vector<CanvasObject*> list;
    SceneRect origin;
    if (!CollectForRender(posed, list, origin)) return false;
    CanvasDocument rest;
    BuildObjectRuntime(object.posableScene, nullptr, rest);
    if (!PlaceRuntimePicture(object, rest, fx, fy, scaleX, scaleY, origin.x, origin.y)) return false;
    object.hasPose = false;
    object.partPoses.clear();
    object.ClearMask();
    return true;
}

bool UpdatePosableImageResolution(CanvasObject& object) {
    if (object.kind != kObjectPosable) return false;
    const float pw = object.parts.empty() ? 0 : object.parts.front().pixelWidth;
    const float ph = object.parts.empty() ? 0 : object.parts.front().pixelHeight;
    if (pw > 0 && ph > 0 && pw >= object.width && ph >= object.height) return false;
    CanvasDocument runtime;
    BuildObjectRuntime(object.posableScene, &object, runtime);
    PosePreviewImage image;
    SceneRect bounds;
    if (!RenderPosedScene(runtime, image, bounds, object.width, object.height)) return false;
    if (object.parts.empty()) {
        ImagePart p;
        p.id = "posable_preview";
        p.name = "Preview";
        object.parts.push_back(std::move(p));
    }
    ImagePart& p = object.parts.front();
    p.source = image.fileName;
    p.encoded = std::move(image.png);
    p.pixelWidth = p.displayWidth = image.width;
    p.pixelHeight = p.displayHeight = image.height;
    p.offsetX = p.offsetY = 0;
    p.decoded = image.bitmap;
    p.decodeTried = image.bitmap != nullptr;
    object.InvalidateCaches();
    return true;
}
