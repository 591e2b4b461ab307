// The paint session's headers come before any Qt header (keyword clash).
#include "brushes/BitmapPaintSession.h"
// The Pose Editor view's drawing: the parts, their frames, the bones with
// their cached region tints and the selected bone's handles, the joint
// links, the overlay buttons, and the selection, clone-source and brush
// outlines of a paint session. A frame's pixels (the parts, then the primary
// part's region tints) are made in one pass over the back buffer's rows;
// the painter draws the vector work over them.


#include "posable/ui/CPosableImageEditorView.h"
#include "posable/ui/PosableEditorViewShared.h"
#include "canvas_view/ui/TransformFrameDrawing.h"

#include "brushes/BrushSettings.h"
#include "brushes/BrushEngine.h"
#include "canvas_view/BrushCursor.h"
#include "canvas_view/BrushToolQueries.h"
#include "canvas_view/SelectionShapePreview.h"
#include "canvas_view/ToolDispatch.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentHost.h"
#include "platform/Profile.h"
#include "platform/Raster.h"
#include "posable/BoneShape.h"
#include "posable/RuntimeRig.h"
#include "scene/SelectionMask.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

using namespace posable_view;

namespace {

QColor Argb(uint32_t v) { return QColor::fromRgba(v); }
QPointF Q(PointF p) { return QPointF(p.x, p.y); }

QPen DashedPen(uint32_t colour, double width, double offset = 0) {
    QPen pen(Argb(colour), width);
    pen.setDashPattern({6, 4});
    pen.setDashOffset(offset);
    return pen;
}

void DrawDisc(QPainter& p, PointF c, double radius, uint32_t fill, uint32_t pen1, double w1, uint32_t pen2,
              double w2) {
    const QRectF r(c.x - radius, c.y - radius, radius * 2, radius * 2);
    p.setPen(Qt::NoPen);
    p.setBrush(Argb(fill));
    p.drawEllipse(r);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Argb(pen1), w1));
    p.drawEllipse(r);
    if (w2 > 0) {
        p.setPen(QPen(Argb(pen2), w2));
        p.drawEllipse(r);
    }
}

void DrawBoneGlyph(QPainter& p, PointF h, PointF t, bool partSelected, bool preview, bool stretchable,
                   bool boneSelected) {
    const float dx = t.x - h.x, dy = t.y - h.y, len = std::hypot(dx, dy);
    if (len < 2) return;
    const float m = std::max(std::min(0.12f * len, 9.0f), 3.0f);
    const PointF P{h.x + 0.2f * dx, h.y + 0.2f * dy};
    const float nx = -dy / len, ny = dx / len;
    const QPointF poly[4] = {Q(h), QPointF(P.x + m * nx, P.y + m * ny), Q(t), QPointF(P.x - m * nx, P.y - m * ny)};
    uint32_t fill, line;
    if (preview) fill = 0xA0ACDCFF, line = 0xDC507896;
    else if (boneSelected) fill = stretchable ? 0xEBEC6E6E : 0xEBFFE06C, line = stretchable ? 0xFAA82A2A : 0xFF364254;
    else if (partSelected) fill = stretchable ? 0xDCD25858 : 0xD2ECC454, line = stretchable ? 0xF5782222 : 0xF01C2838;
    else fill = stretchable ? 0x91BC7676 : 0x6EA0AFC3, line = stretchable ? 0xA8783434 : 0x8C1E2C3A;
    p.setBrush(Argb(fill));
    p.setPen(QPen(Argb(line), 1.5));
    p.drawPolygon(poly, 4);
}

void DrawJointMarker(QPainter& p, PointF c, bool hovered, bool selected, bool leaf) {
    if (selected) DrawDisc(p, c, 8, 0xFFFFC850, 0xFFE66E00, 2.6, 0xFFFFF0A0, 1.0);
    else if (hovered && leaf) DrawDisc(p, c, 8, 0xFFFFE594, 0xFFDEA12A, 2.6, 0xFFFFF8DE, 1.0);
    else if (hovered) DrawDisc(p, c, 8, 0xFFFFC8BE, 0xFFC83C3C, 2.6, 0xFFFFF8DE, 1.0);
    else DrawDisc(p, c, 6, 0xFFFAFCFF, 0xFF364F6E, 2.0, 0xFF84BAEB, 1.0);
}

void DrawSelectionOutline(QPainter& p, const RectF& r, float rotation) {
    p.save();
    p.translate(r.x + r.width / 2, r.y + r.height / 2);
    p.rotate(rotation);
    const QRectF q(-r.width / 2, -r.height / 2, r.width, r.height);
    p.setBrush(Qt::NoBrush);
    p.setPen(DashedPen(0xEBFFFFFF, 1.6));
    p.drawRect(q);
    p.setPen(DashedPen(0xFF5693CF, 1.6, 4.5));
    p.drawRect(q);
    p.restore();
}

}  // namespace

void CPosableImageEditorView::DrawOverlayButton(QPainter& p, const RectF& r, const char* text, bool hovered,
                                                uint32_t fill, uint32_t hoverFill) {
    QPainterPath path;
    path.addRoundedRect(QRectF(r.x, r.y, r.width, r.height), 8, 8);
    p.fillPath(path, Argb(hovered ? hoverFill : fill));
    p.setPen(QPen(Argb(hovered ? 0xFFB8D4F4 : 0xFF748AA4), hovered ? 2.2 : 1.6));
    p.drawPath(path);
    QFont font = p.font();
    font.setPixelSize(13);
    font.setWeight(QFont::DemiBold);
    p.setFont(font);
    p.setPen(Argb(0xFFF4F8FC));
    p.drawText(QRectF(r.x, r.y, r.width, r.height), Qt::AlignCenter, QString::fromUtf8(text));
}

void CPosableImageEditorView::DrawScene(QPainter& p) {
    CQuillfenEditorDoc* doc = GetDocument();
    const RectF vp = Viewport();
    if (!doc) {
        p.fillRect(rect(), Argb(0xFF5C6068));
        return;
    }
    CanvasDocument& scene = doc->poseScene;
    const PoseViewState& v = tools_.view;
    const int tool = doc->activeTool;
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const uint32_t bg = (scene.canvasColour >> 24) ? scene.canvasColour : 0xFF5C6068;
    p.fillRect(rect(), Argb(bg));
    p.setClipRect(QRectF(vp.x, vp.y, vp.width, vp.height));
    for (auto& e : overlayCache_) e.drawnThisFrame = false;

    // Parts by layer order, then ascending z.
    std::vector<Layer*> layers;
    for (Layer& l : scene.layers)
        if (l.visible) layers.push_back(&l);
    std::stable_sort(layers.begin(), layers.end(), [](Layer* a, Layer* b) { return a->order < b->order; });
    const bool soleMove = tool == kToolMove && scene.selectedIds.size() <= 1;
    std::vector<CanvasObject*> visible;
    for (Layer* l : layers) {
        std::vector<CanvasObject*> objs;
        for (CanvasObject& o : l->objects)
            if (o.visible) objs.push_back(&o);
        std::stable_sort(objs.begin(), objs.end(), [](CanvasObject* a, CanvasObject* b) { return a->z < b->z; });
        for (CanvasObject* o : objs) visible.push_back(o);
    }
    CanvasObject* primary = scene.primarySelectedId.empty() ? nullptr : scene.FindObject(scene.primarySelectedId);
    const bool adding = primary && tool == kToolAddBone && tools_.addActive && tools_.addTarget == primary->id;
    // The pixels of the frame (every part, then the region tints of the
    // primary part's bones) go into the back buffer in one pass over its
    // rows; the painter has drawn only the background so far, straight into
    // the same memory, and draws the outlines, glyphs and buttons over them.
    BeginFrameDraws();
    for (CanvasObject* o : visible) QueuePart(*o);
    if (primary) QueueBoneRegions(*primary, adding);
    RunFrameDraws();
    for (CanvasObject* o : visible)
        if (scene.IsSelected(o->id) && !(soleMove && o->id == scene.primarySelectedId) && !(o->opacity <= 0)) {
            const PointF tl = v.SceneToView({o->x, o->y});
            DrawSelectionOutline(p, {tl.x, tl.y, o->width * v.zoom, o->height * v.zoom}, o->rotation);
        }
    // The frame around several selected parts.
    RectF bounds;
    const bool frameTool = tool == kToolMove || SelectionTool(tool);
    if (frameTool && scene.selectedIds.size() > 1 && tools_.SelectionSceneBounds(scene, bounds)) {
        const PointF tl = v.SceneToView({bounds.x, bounds.y});
        const FrameRect r{tl.x, tl.y, bounds.width * v.zoom, bounds.height * v.zoom};
        if (tool == kToolMove) DrawObjectTransformFrame(p, tools_.frameStyle, r, 0);
        else DrawObjectFrameSimple(p, tools_.frameStyle, r, 0);
    }
    for (CanvasObject* o : visible)
        if (!o->bones.empty() && o != primary) DrawBones(p, *o, false, false);
    if (primary) {
        if (!primary->bones.empty() || adding || tool == kToolSelectMoveJoint) DrawBones(p, *primary, true, adding);
    }
    DrawJointLinks(p);
    if (frameTool && scene.selectedIds.size() < 2 && primary && primary->visible) {
        const PointF tl = v.SceneToView({primary->x, primary->y});
        const FrameRect r{tl.x, tl.y, primary->width * v.zoom, primary->height * v.zoom};
        if (tool == kToolMove) DrawObjectTransformFrame(p, tools_.frameStyle, r, primary->rotation);
        else DrawObjectFrameSimple(p, tools_.frameStyle, r, primary->rotation);
    }
    if (tools_.marqueeActive) {
        const float x = std::min(tools_.marqueeStart.x, tools_.marqueeEnd.x);
        const float y = std::min(tools_.marqueeStart.y, tools_.marqueeEnd.y);
        float w = std::abs(tools_.marqueeEnd.x - tools_.marqueeStart.x);
        float h = std::abs(tools_.marqueeEnd.y - tools_.marqueeStart.y);
        if (w < 2) w = 1;
        if (h < 2) h = 1;
        const QRectF r(x, y, w, h);
        p.fillRect(r, Argb(0x205693CF));
        p.setBrush(Qt::NoBrush);
        p.setPen(DashedPen(0xD7FFFFFF, 1.4));
        p.drawRect(r);
        p.setPen(DashedPen(0xFF5693CF, 1.4, 4.5));
        p.drawRect(r);
    }
    DrawOverlayButton(p, PreviewButtonRect(), "Preview", previewHover_, 0xD63A4A5E, 0xEC5C8AC6);
    DrawOverlayButton(p, FinishButtonRect(), "Finish", finishHover_, 0xFF705761, 0xFF94727E);
    DrawSelectionTint(p);
    DrawSelectionOverlay(p);
    DrawCloneSourceMarker(p);
    DrawBrushCursor(p);
    // Rasters not drawn in this frame are dropped, so the cache never holds
    // more than what is on screen.
    overlayCache_.erase(std::remove_if(overlayCache_.begin(), overlayCache_.end(),
                                       [](const BoneOverlayCacheEntry& e) { return !e.drawnThisFrame; }),
                        overlayCache_.end());
}

void CPosableImageEditorView::QueuePart(CanvasObject& part) {
    if (!part.visible || part.opacity <= 0) return;
    const PoseViewState& v = tools_.view;
    const float ratio = v.ratio;
    // Bilinear, as the painter's smooth transform drew the parts before, with
    // exact-area edges; the straight source goes onto the premultiplied buffer.
    ImageDrawOptions opt;
    opt.interpolation = Interpolation::Bilinear;
    opt.compositing = Compositing::SourceOver;
    opt.antiAlias = true;
    if (session_->IsActive() && session_->PaintedObjectId() == part.id && session_->Display().pixels) {
        // The session's display holds the whole scene's extent with the part
        // already placed on it (rotation included), straight alpha.
        const CompositeSurface& d = session_->Display();
        BitmapPtr wrapped = Bitmap::Wrap(d.pixels, d.width, d.height, d.Pitch());
        if (!wrapped) return;
        const PointF o = v.SceneToView({0, 0});
        opt.opacity = session_->isolation() ? 1.0f : part.opacity;
        QueueBitmap(std::move(wrapped),
                    {(o.x - frameOrigin_.x) * ratio, (o.y - frameOrigin_.y) * ratio, d.width * v.zoom * ratio,
                     d.height * v.zoom * ratio},
                    opt, Affine{});
    } else if (BitmapPtr bmp = part.ComposeBitmap()) {
        const PointF tl = v.SceneToView({part.x, part.y});
        const RectF r{(tl.x - frameOrigin_.x) * ratio, (tl.y - frameOrigin_.y) * ratio, part.width * v.zoom * ratio,
                      part.height * v.zoom * ratio};
        opt.opacity = part.opacity;
        QueueBitmap(std::move(bmp), r, opt,
                    Affine::RotationAbout(part.rotation, double(r.x) + double(r.width) / 2,
                                          double(r.y) + double(r.height) / 2));
    }
}

void CPosableImageEditorView::QueueBitmap(BitmapPtr src, const RectF& dest, ImageDrawOptions opt, const Affine& world) {
    // The transform must outlive the draw when it is made by Run.
    frameWorlds_.push_back(world);
    frameSources_.push_back(std::move(src));
    opt.world = &frameWorlds_.back();
    if (overlayBatching_) frameBatch_.AddBitmapRect(*frameSources_.back(), dest, opt);
    else DrawBitmapRect(frameTarget_, *frameSources_.back(), dest, opt);
}

void CPosableImageEditorView::QueueTints(const std::vector<TintMaskDraw>& draws) {
    if (draws.empty()) return;
    // In the frame target's pixels (the viewport's), which clip them.
    std::vector<TintMaskDraw> shifted(draws);
    const float r = tools_.view.ratio;
    for (TintMaskDraw& d : shifted) d.x -= frameOrigin_.x * r, d.y -= frameOrigin_.y * r;
    if (overlayBatching_) {
        frameBatch_.AddTintMasks(shifted.data(), int(shifted.size()));
    } else {
        for (const TintMaskDraw& d : shifted) DrawTintMask(frameTarget_, d.mask, d.x, d.y, d.scale, d.argb);
    }
}

void CPosableImageEditorView::BeginFrameDraws() {
    // The viewport's device pixels: what lies beyond (under the scroll bars)
    // keeps the background, as under the painter's clip.
    const RectF vp = Viewport();
    const float r = tools_.view.ratio;
    const int x0 = std::clamp(int(std::floor(vp.x * r + 0.5f)), 0, backBuffer_.width);
    const int y0 = std::clamp(int(std::floor(vp.y * r + 0.5f)), 0, backBuffer_.height);
    const int x1 = std::clamp(int(std::floor((vp.x + vp.width) * r + 0.5f)), x0, backBuffer_.width);
    const int y1 = std::clamp(int(std::floor((vp.y + vp.height) * r + 0.5f)), y0, backBuffer_.height);
    RasterTarget t = RasterTarget::Of(backBuffer_);
    if (t.pixels) t.pixels += int64_t(y0) * t.stride + int64_t(x0) * 4;
    t.width = x1 - x0;
    t.height = y1 - y0;
    frameTarget_ = t;
    frameOrigin_ = {float(x0) / r, float(y0) / r};
    frameSources_.clear();
    frameWorlds_.clear();
    frameBatch_.Begin(frameTarget_);
}

void CPosableImageEditorView::RunFrameDraws() {
    if (overlayBatching_) frameBatch_.Run();
    frameSources_.clear();
}

namespace {

// What a bone region's overlay needs this frame: its plan against the
// viewport, the key a cached mask must match, and its tint.
struct BoneRegionJob {
    BoneShape::OverlayPlan plan;
    PointF head;
    float key[16] = {};
    int clip[5] = {};
    bool jointTool = false;
    uint32_t tint = 0;
};

bool PlanBoneRegion(const CanvasObject& part, const Bone& bone, bool selectedTint, bool jointTool,
                    const PoseViewState& v, const RectF& vp, BoneRegionJob& job) {
    const PointF h = PartPointToView(part, bone.headX, bone.headY, v);
    const PointF t = PartPointToView(part, bone.tailX, bone.tailY, v);
    const float dx = t.x - h.x, dy = t.y - h.y, n = std::hypot(dx, dy);
    if (!(n >= 1)) return false;
    const double s = std::max(std::max<double>(part.width, 1), std::max<double>(part.height, 1));
    const double z = v.zoom;
    BoneShapeParams sp;
    sp.headX = 0, sp.headY = 0, sp.tailX = dx, sp.tailY = dy;
    sp.halfWidth = std::max(s * bone.width * z, 1.0) / 2;
    sp.headCapLength = n * bone.headCapLength;
    sp.tailCapLength = n * bone.tailCapLength;
    sp.headShift = n * bone.headShift;
    sp.tailShift = n * bone.tailShift;
    sp.headOffset = s * bone.headOffset * z;
    sp.tailOffset = s * bone.tailOffset * z;
    sp.headCapHalfWidth = std::max(s * bone.headCapWidth * z, 1.0) / 2;
    sp.tailCapHalfWidth = std::max(s * bone.tailCapWidth * z, 1.0) / 2;
    sp.roundHead = bone.roundHeadCap == 1;
    sp.roundTail = bone.roundTailCap == 1;
    // Feather in view pixels, bounded so the raster's margin stays small.
    sp.feather = std::min(std::max(s * bone.feather * z, 1.0), 254.0);
    // Only what the viewport shows is rasterised, and coarser when the
    // feather hides it, so a deep zoom costs no more than the viewport.
    job.plan = BoneShape::PlanOverlay(sp, vp.x - h.x, vp.y - h.y, vp.x + vp.width - h.x, vp.y + vp.height - h.y);
    if (job.plan.empty) return false;
    const BoneShapeBox& box = job.plan.box;
    job.head = h;
    job.jointTool = jointTool;
    const uint8_t alpha = selectedTint ? 132 : (jointTool ? 124 : 96);
    const uint8_t gb = selectedTint ? 110 : 96;
    job.tint = (uint32_t(alpha) << 24) | 0xFF0000u | (uint32_t(gb) << 8) | gb;
    const float key[16] = {dx, dy, float(sp.halfWidth), float(sp.headCapLength), float(sp.tailCapLength),
                           bone.headShift, bone.tailShift, bone.headOffset, bone.tailOffset,
                           float(sp.headCapHalfWidth), float(sp.tailCapHalfWidth), float(sp.feather),
                           float(bone.roundHeadCap), float(bone.roundTailCap), float(selectedTint), float(alpha)};
    std::copy(key, key + 16, job.key);
    const int clip[5] = {int(box.left), int(box.top), box.width, box.height, job.plan.scale};
    std::copy(clip, clip + 5, job.clip);
    return true;
}

// The cache entry of the bone, if any, and whether its mask fits the job.
BoneOverlayCacheEntry* FindOverlay(std::vector<BoneOverlayCacheEntry>& cache, const std::string& partId,
                                   const std::string& boneId, const BoneRegionJob& job, bool& match) {
    BoneOverlayCacheEntry* entry = nullptr;
    for (auto& e : cache)
        if (e.partId == partId && e.boneId == boneId) entry = &e;
    match = entry && entry->jointTool == job.jointTool && std::equal(job.clip, job.clip + 5, entry->clip);
    if (match)
        for (int i = 0; i < 16 && match; ++i) match = std::abs(entry->key[i] - job.key[i]) <= 0.01f;
    return entry;
}

}  // namespace

void CPosableImageEditorView::StoreOverlay(const std::string& partId, const std::string& boneId,
                                           const BoneShape::OverlayPlan& plan, const float key[16],
                                           const int clip[5], bool jointTool, ByteMaskRect&& mask) {
    BoneOverlayCacheEntry* entry = nullptr;
    for (auto& e : overlayCache_)
        if (e.partId == partId && e.boneId == boneId) entry = &e;
    if (!entry) {
        overlayCache_.push_back({});
        entry = &overlayCache_.back();
        entry->partId = partId;
        entry->boneId = boneId;
    }
    entry->jointTool = jointTool;
    std::copy(key, key + 16, entry->key);
    std::copy(clip, clip + 5, entry->clip);
    entry->offsetX = float(plan.box.left * plan.scale);
    entry->offsetY = float(plan.box.top * plan.scale);
    entry->scale = plan.scale;
    entry->mask = std::move(mask);
}

void CPosableImageEditorView::PrepareBoneRegions(const CanvasObject& part, const std::vector<const Bone*>& bones) {
    CQuillfenEditorDoc* doc = GetDocument();
    const bool jointTool = doc && doc->activeTool == kToolSelectMoveJoint;
    const RectF vp = Viewport();
    std::vector<BoneRegionJob> jobs;
    std::vector<const Bone*> missing;
    for (const Bone* b : bones) {
        BoneRegionJob job;
        bool match = false;
        if (!PlanBoneRegion(part, *b, false, jointTool, tools_.view, vp, job)) continue;
        FindOverlay(overlayCache_, part.id, b->id, job, match);
        if (match) continue;
        jobs.push_back(job);
        missing.push_back(b);
    }
    if (missing.size() < 2) return;  // BoneRegionDraw makes a lone one
    // Each mask is small enough to be made on one thread; the bones go
    // side by side instead. A bone's stale mask lends its buffer to the new
    // one (given back if the new one cannot be made).
    std::vector<ByteMaskRect> masks(missing.size());
    std::vector<char> made(missing.size(), 0);
    const int count = int(missing.size());
    auto staleEntry = [&](int i) {
        bool match = false;
        return FindOverlay(overlayCache_, part.id, missing[size_t(i)]->id, jobs[size_t(i)], match);
    };
    for (int i = 0; i < count; ++i)
        if (BoneOverlayCacheEntry* e = staleEntry(i)) masks[size_t(i)] = std::move(e->mask);
#pragma omp parallel for schedule(dynamic, 1)
    for (int i = 0; i < count; ++i)
        made[size_t(i)] = BoneShape::RasterizeMask(jobs[size_t(i)].plan.scaled, jobs[size_t(i)].plan.box,
                                                   masks[size_t(i)]);
    for (int i = 0; i < count; ++i)
        if (!made[size_t(i)])
            if (BoneOverlayCacheEntry* e = staleEntry(i)) e->mask = std::move(masks[size_t(i)]);
    for (int i = 0; i < count; ++i) {
        ++overlayRasters_;
        if (made[size_t(i)])
            StoreOverlay(part.id, missing[size_t(i)]->id, jobs[size_t(i)].plan, jobs[size_t(i)].key,
                         jobs[size_t(i)].clip, jointTool, std::move(masks[size_t(i)]));
    }
}

bool CPosableImageEditorView::BoneRegionDraw(const CanvasObject& part, const Bone& bone, bool selectedTint,
                                             TintMaskDraw& out) {
    CQuillfenEditorDoc* doc = GetDocument();
    const bool jointTool = doc && doc->activeTool == kToolSelectMoveJoint;
    const RectF vp = Viewport();
    BoneRegionJob job;
    if (!PlanBoneRegion(part, bone, selectedTint, jointTool, tools_.view, vp, job)) return false;
    bool match = false;
    BoneOverlayCacheEntry* entry = FindOverlay(overlayCache_, part.id, bone.id, job, match);
    if (!match) {
        // The tint's colour is not part of the mask: only the coverage is
        // kept, and drawn in the colour of the frame. A stale mask lends
        // its buffer.
        ByteMaskRect mask;
        if (entry) mask = std::move(entry->mask);
        ++overlayRasters_;
        if (!BoneShape::RasterizeMask(job.plan.scaled, job.plan.box, mask)) {
            if (entry) entry->mask = std::move(mask);
            return false;
        }
        StoreOverlay(part.id, bone.id, job.plan, job.key, job.clip, jointTool, std::move(mask));
        entry = nullptr;
        for (auto& e : overlayCache_)
            if (e.partId == part.id && e.boneId == bone.id) entry = &e;
        if (!entry) return false;
    }
    entry->drawnThisFrame = true;
    // Into the back buffer's device pixels, magnified with filtering (the
    // mask is in view pixels). Its bytes stay where they are while other
    // entries are added and until the frame's draws are made.
    const ByteMaskRect& m = entry->mask;
    const float r = tools_.view.ratio;
    out.mask = {m.bytes.data(), m.width, m.height, m.width};
    out.x = (job.head.x + entry->offsetX) * r;
    out.y = (job.head.y + entry->offsetY) * r;
    out.scale = float(entry->scale) * r;
    out.argb = job.tint;
    return true;
}

void CPosableImageEditorView::QueueBoneRegions(const CanvasObject& part, bool addPreview) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    const int tool = doc->activeTool;
    if (part.bones.empty() && !addPreview && tool != kToolSelectMoveJoint) return;
    // Every bone's region, or with the joint tool the selected bone's only;
    // the masks the cache lacks are made side by side first.
    const bool t4 = tool == kToolSelectMoveJoint;
    const BoneSelection& sel = doc->boneSelection;
    const bool selPart = sel.objectId == part.id;
    std::vector<const Bone*> regions;
    for (const Bone& bone : part.bones)
        if (!t4 || (selPart && sel.boneId == bone.id)) regions.push_back(&bone);
    PrepareBoneRegions(part, regions);
    std::vector<TintMaskDraw> draws;
    for (const Bone* b : regions) {
        TintMaskDraw d;
        if (BoneRegionDraw(part, *b, false, d)) draws.push_back(d);
    }
    if (addPreview) {
        TintMaskDraw d;
        if (BoneRegionDraw(part, PreviewBone(), true, d)) draws.push_back(d);
    }
    QueueTints(draws);
}

Bone CPosableImageEditorView::PreviewBone() const {
    Bone preview;
    preview.headX = tools_.addStart.x;
    preview.headY = tools_.addStart.y;
    preview.tailX = tools_.addEnd.x;
    preview.tailY = tools_.addEnd.y;
    return preview;
}

void CPosableImageEditorView::DrawBones(QPainter& p, CanvasObject& part, bool partSelected, bool addPreview) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    const PoseViewState& v = tools_.view;
    const bool t4 = doc->activeTool == kToolSelectMoveJoint;
    const BoneSelection& sel = doc->boneSelection;
    const bool selPart = sel.objectId == part.id;
    // The region tints were drawn with the parts, under every glyph.
    for (size_t k = 0; k < part.bones.size(); ++k) {
        const Bone& bone = part.bones[k];
        const bool isSel = selPart && sel.boneId == bone.id;
        const PointF h = PartPointToView(part, bone.headX, bone.headY, v);
        const PointF t = PartPointToView(part, bone.tailX, bone.tailY, v);
        DrawBoneGlyph(p, h, t, partSelected, false, bone.stretchable, t4 && isSel);
        if (partSelected) {
            bool leaf = true;
            if (t4)
                for (const Bone& o : part.bones)
                    if (o.hasParent && o.parentId == bone.id) leaf = false;
            const bool hovHead = tools_.hoverBone == bone.id && tools_.hoverEnd == 0;
            const bool hovTail = tools_.hoverBone == bone.id && tools_.hoverEnd == 1;
            const bool selHead = isSel && (!sel.selected || sel.handleIndex == 0);
            const bool selTail = isSel && (!sel.selected || sel.handleIndex != 0);
            DrawJointMarker(p, h, hovHead, selHead, leaf);
            DrawJointMarker(p, t, hovTail, selTail, leaf);
            if (t4) {
                const PointF m{(h.x + t.x) / 2, (h.y + t.y) / 2};
                if (isSel) DrawDisc(p, m, 5.5, 0xFFFFE664, 0xFF5693CF, 2.0, 0xC8FFF8B4, 1.0);
                else if (tools_.hoverMidpoint == bone.id) DrawDisc(p, m, 5, 0xE6DCEBFF, 0xDC5693CF, 1.5, 0x6EC8DCFF, 1.0);
                else DrawDisc(p, m, 4, 0x5ADCEBFF, 0x645693CF, 1.5, 0x32C8DCFF, 1.0);
            }
        } else {
            DrawDisc(p, h, 4, 0x82A0AFC3, 0xA0283746, 1.0, 0, 0);
            DrawDisc(p, t, 4, 0x82A0AFC3, 0xA0283746, 1.0, 0, 0);
        }
    }
    if (partSelected && addPreview) {
        const Bone preview = PreviewBone();
        const PointF h = PartPointToView(part, preview.headX, preview.headY, v);
        const PointF t = PartPointToView(part, preview.tailX, preview.tailY, v);
        DrawBoneGlyph(p, h, t, true, true, false, false);
        if (!tools_.addParent.empty()) DrawDisc(p, h, 8, 0xFFFFE594, 0xFFDEA12A, 2.0, 0, 0);
        else DrawDisc(p, h, 6, 0xE6F8FAFF, 0xFF5693CF, 2.0, 0, 0);
        DrawDisc(p, t, 6, 0xE6F8FAFF, 0xFF5693CF, 2.0, 0, 0);
    }
    if (t4 && selPart && sel.selected)
        if (const Bone* b = FindBone(part, sel.boneId)) DrawSelectedBoneHandles(p, part, *b);
}

void CPosableImageEditorView::DrawSelectedBoneHandles(QPainter& p, const CanvasObject& part, const Bone& bone) {
    CQuillfenEditorDoc* doc = GetDocument();
    const PoseViewState& v = tools_.view;
    const int e = doc->boneSelection.handleIndex == 0 ? 0 : 1;
    const PointF joint = e == 0 ? PartPointToView(part, bone.headX, bone.headY, v)
                                : PartPointToView(part, bone.tailX, bone.tailY, v);
    const bool round = (e == 0 ? bone.roundHeadCap : bone.roundTailCap) == 1;
    auto connector = [&](PointF a, PointF b) {
        p.setPen(DashedPen(0xD7FFFFFF, 1.4));
        p.drawLine(Q(a), Q(b));
        p.setPen(DashedPen(0xFF5693CF, 1.4, 4.5));
        p.drawLine(Q(a), Q(b));
    };
    auto disc = [&](PointF c, BoneHandle h, uint32_t fill, uint32_t pen1, uint32_t pen2) {
        DrawDisc(p, c, tools_.activeHandle == h ? 9 : 7, fill, pen1, 2.0, pen2, 1.0);
    };
    // The selected end's cap: a guide across a round cap, then its outline.
    CapOutline cap;
    if (GetCapOutline(part, bone, e, v, cap)) {
        p.setBrush(Qt::NoBrush);
        if (cap.hasGuide) {
            QPen guide(Argb(0xDC64FF64), 1.2);
            guide.setDashPattern({5, 4});
            p.setPen(guide);
            p.drawLine(Q(cap.guideA), Q(cap.guideB));
        }
        if (cap.hasShape) {
            p.save();
            p.translate(cap.centre.x, cap.centre.y);
            p.rotate(cap.angle);
            const QRectF r(-cap.halfLength, -cap.halfWidth, 2 * cap.halfLength, 2 * cap.halfWidth);
            for (const auto& [colour, offset] : {std::pair{0xD2FFFFFFu, 0.0}, std::pair{0xFFE87676u, 4.0}}) {
                QPen pen(Argb(colour), 1.4);
                pen.setDashPattern({5, 4});
                pen.setDashOffset(offset);
                p.setPen(pen);
                if (cap.round) p.drawEllipse(r);
                else p.drawRect(r);
            }
            p.restore();
        }
    }
    PointF at, inner;
    if (GetBoneHandle(part, bone, e, BoneHandle::CapLength, v, at)) {
        connector(joint, at);
        disc(at, BoneHandle::CapLength, 0xFFFFFFFF, 0xFF5693CF, 0xFFD2E9FF);
    }
    if (round && GetBoneHandle(part, bone, e, BoneHandle::RoundCapWidth, v, at)) {
        connector(joint, at);
        disc(at, BoneHandle::RoundCapWidth, 0xFFFFFFFF, 0xFF5693CF, 0xFFD2E9FF);
    }
    if (GetBoneHandle(part, bone, e, BoneHandle::Width, v, at, &inner)) {
        connector(inner, at);
        disc(at, BoneHandle::Width, 0xFFFFFFFF, 0xFF5693CF, 0xFFD2E9FF);
    }
    if (GetBoneHandle(part, bone, e, BoneHandle::Feather, v, at, &inner)) {
        connector(inner, at);
        disc(at, BoneHandle::Feather, 0xFFFF5454, 0xFFDC2828, 0xFFFFB4B4);
    }
    if (round && GetBoneHandle(part, bone, e, BoneHandle::RoundCapOffset, v, at))
        disc(at, BoneHandle::RoundCapOffset, 0xFF78B0FF, 0xFFDC9614, 0xFFFFFAB4);
}

void CPosableImageEditorView::DrawJointLinks(QPainter& p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || doc->poseEditorObjectId.empty()) return;
    const int tool = doc->activeTool;
    if (doc->poseLinkGroups.empty() && !(tool == kToolLinkJoints && tools_.linkDrag)) return;
    CanvasDocument& scene = doc->poseScene;
    auto resolve = [&](const JointLinkEnd& e, PointF& out) {
        const CanvasObject* o = scene.FindObject(e.objectId);
        const Bone* b = o ? FindBone(*o, e.boneId) : nullptr;
        if (!b) return false;
        out = e.end == 0 ? PartPointToView(*o, b->headX, b->headY, tools_.view)
                         : PartPointToView(*o, b->tailX, b->tailY, tools_.view);
        return true;
    };
    QPen pen(Argb(tool == kToolLinkJoints ? 0xDCDC1E1E : 0xDC00C8DC), 2.0);
    pen.setDashPattern({6, 4});
    p.setPen(pen);
    for (const JointLink& g : doc->poseLinkGroups) {
        if (g.ends.size() < 2) continue;
        std::vector<PointF> pts;
        for (const JointLinkEnd& e : g.ends) {
            PointF q;
            if (resolve(e, q)) pts.push_back(q);
        }
        for (size_t i = 0; i < pts.size(); ++i)
            for (size_t j = i + 1; j < pts.size(); ++j) p.drawLine(Q(pts[i]), Q(pts[j]));
    }
    if (tool == kToolLinkJoints && tools_.linkDrag && !tools_.linkSource.boneId.empty()) {
        PointF src, dst = tools_.linkLast;
        if (!resolve(tools_.linkSource, src)) return;
        bool targetFound = false;
        if (!tools_.linkTarget.boneId.empty()) targetFound = resolve(tools_.linkTarget, dst);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Argb(0xFFE61414), 2.0));
        p.drawLine(Q(src), Q(dst));
        p.setPen(QPen(Argb(0xFFE63CD2), 2.5));
        p.drawEllipse(Q(src), 10, 10);
        if (!tools_.linkTarget.boneId.empty()) {
            p.setPen(QPen(Argb(targetFound ? 0xFF50E664 : 0xC8E65050), 2.5));
            p.drawEllipse(Q(dst), 10, 10);
        }
    }
}

void CPosableImageEditorView::DrawSelectionTint(QPainter& p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || SelectionOverlayMode(*doc) == 0 || !session_->IsActive()) return;
    CanvasDocument& scene = doc->poseScene;
    if (!scene.selectionMask || !tint_.Update(*scene.selectionMask)) return;
    const QImage img(reinterpret_cast<const uchar*>(tint_.Pixels()), tint_.Width(), tint_.Height(),
                     qsizetype(tint_.Width()) * 4, QImage::Format_ARGB32_Premultiplied);
    const PoseViewState& v = tools_.view;
    const PointF o = v.SceneToView({0, 0});
    p.drawImage(QRectF(o.x, o.y, scene.width * v.zoom, scene.height * v.zoom), img);
}

void CPosableImageEditorView::DrawSelectionOverlay(QPainter& p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || !session_->IsActive()) return;
    CanvasDocument& scene = doc->poseScene;
    const int mode = SelectionOverlayMode(*doc);
    if (mode == 0) StartAntsTimerIfNeeded();
    const PoseViewState& v = tools_.view;
    const PointF o = v.SceneToView({0, 0});
    const RectF vp = Viewport();
    const RectI viewport{int(vp.x), int(vp.y), int(vp.x + vp.width), int(vp.y + vp.height)};
    // The ants come from a bitmap of the visible part of the selection only.
    if (mode == 0 && scene.selectionMask && ants_.Update(*scene.selectionMask, v.zoom, o.x, o.y, antsPhase_, viewport)) {
        const RectI c = ants_.Clip();
        const QImage img(reinterpret_cast<const uchar*>(ants_.Pixels()), c.Width(), c.Height(),
                         qsizetype(c.Width()) * 4, QImage::Format_ARGB32_Premultiplied);
        p.drawImage(QPoint(c.left, c.top), img);
    }
    // The shape being dragged or clicked, with the lasso's rubber band to the pointer.
    scene.EnsureSelectionMask();
    const SelectionShapePreview shape = BuildSelectionShapePreview(
        doc->SelectionTool(scene), brushCursorScene_.x, brushCursorScene_.y, v.zoom, o.x, o.y);
    if (shape.kind == SelectionShapePreview::kNone && shape.squares.empty()) return;
    QPen white(Qt::white, 1);
    white.setDashPattern({4, 4});
    white.setCapStyle(Qt::FlatCap);
    white.setDashOffset(8 - std::fmod(antsPhase_, 8.0f));
    const QPen blue(Argb(0xFF5693CF), 1);
    p.save();
    p.setBrush(Qt::NoBrush);
    for (const QPen& pen : {blue, white}) {
        p.setPen(pen);
        const QRectF r(shape.rect.x, shape.rect.y, shape.rect.width, shape.rect.height);
        switch (shape.kind) {
        case SelectionShapePreview::kRectangle: p.drawRect(r); break;
        case SelectionShapePreview::kEllipse: p.drawEllipse(r); break;
        case SelectionShapePreview::kPolyline: {
            QPolygonF poly;
            for (const PointF& q : shape.points) poly << QPointF(q.x, q.y);
            p.drawPolyline(poly);
            break;
        }
        case SelectionShapePreview::kNone: break;
        }
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    for (const PointF& q : shape.squares) p.fillRect(QRectF(q.x, q.y, 5, 5), Argb(0xFF5693CF));
    p.restore();
}

void CPosableImageEditorView::DrawCloneSourceMarker(QPainter& p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || !brushCursorShown_ || !session_->IsActive() || IsKeyDown(VK_MENU)) return;
    const int tool = doc->activeTool;
    if (tool != 13 && tool != 14) return;
    const float z = tools_.view.zoom;
    const float size = GetToolBrushSettings(tool)->ActiveSlot().settings.size;
    const PointF origin = tools_.view.SceneToView({0, 0});
    p.save();
    // The cross and the brush circle where the brush copies from.
    PointF source;
    if (const BrushEngine* engine = session_->Engine();
        engine && CloneSourcePoint(*engine, brushCursorScene_.x, brushCursorScene_.y, source)) {
        const PointF c = tools_.view.SceneToView(source);
        const float r = BrushCursorRadius(size, z);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Argb(0xDCFF8C00), 1.5));
        p.drawLine(QPointF(c.x - 14, c.y), QPointF(c.x + 14, c.y));
        p.drawLine(QPointF(c.x, c.y - 14), QPointF(c.x, c.y + 14));
        p.setPen(QPen(Argb(0xB4FF8C00), 1));
        p.drawEllipse(QRectF(c.x - r, c.y - r, 2 * r, 2 * r));
    }
    // The source pixels under the brush, so the user sees what a stroke
    // copies; the patch's pixels sit on the part's pixels below.
    std::vector<uint8_t> patch;
    int32_t n = 0;
    float patchOrigin[2] = {0, 0};
    if (!strokeActive_ &&
        session_->GetCloneSourcePatch(brushCursorScene_.x, brushCursorScene_.y, patch, n, patchOrigin) && n > 0 &&
        patch.size() >= size_t(n) * size_t(n) * 4) {
        const QImage img(patch.data(), n, n, qsizetype(n) * 4, QImage::Format_ARGB32);
        const RectF r = ClonePatchClientRect(brushCursorScene_.x, brushCursorScene_.y, n, z, origin.x, origin.y);
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        p.drawImage(QRectF(r.x, r.y, r.width, r.height), img);
    }
    p.restore();
}

void CPosableImageEditorView::DrawBrushCursor(QPainter& p) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || !brushCursorShown_ || !BrushTool(doc->activeTool)) return;
    const float size = GetToolBrushSettings(doc->activeTool)->ActiveSlot().settings.size;
    const float r = std::max(size * 0.5f * tools_.view.zoom, 1.0f);
    const float cx = brushCursorView_.x, cy = brushCursorView_.y;
    // A dark and a light ring: readable on any background.
    p.save();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Argb(0xDC1E1E1E), 1));
    p.drawEllipse(QRectF(cx - r, cy - r, 2 * r, 2 * r));
    const QPen light(Argb(0xDCE6E6E6), 1);
    p.setPen(light);
    p.drawEllipse(QRectF(cx - r + 1, cy - r + 1, 2 * r - 2, 2 * r - 2));
    const int tool = doc->activeTool;
    if ((tool == 13 || tool == 14) && IsKeyDown(VK_MENU)) {
        p.drawLine(QPointF(cx - 10, cy), QPointF(cx + 10, cy));
        p.drawLine(QPointF(cx, cy - 10), QPointF(cx, cy + 10));
    }
    p.restore();
}
