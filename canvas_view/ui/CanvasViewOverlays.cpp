// The paint session's headers come before any Qt header (keyword clash).
#include "brushes/BitmapPaintSession.h"
// What the canvas view draws over the canvas image for the current tool: the
// outlines of objects sticking out of the canvas, the transform frame or the
// warp quad, the hover outline, the marquee, the selection display and the
// brush cursor.
#include "canvas_view/CanvasObjectDraw.h"
#include "canvas_view/ToolDispatch.h"
#include "canvas_view/WarpDrag.h"
#include "brushes/StencilOverlay.h"
#include "brushes/ui/StencilOverlayDrawing.h"
#include "canvas_view/ui/CCanvasLayoutView.h"
#include "canvas_view/ui/TransformFrameDrawing.h"

#include "canvas_view/BrushCursor.h"
#include "canvas_view/BrushToolQueries.h"
#include "canvas_view/SelectionShapePreview.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentHost.h"
#include "platform/Profile.h"
#include "scene/SelectionMask.h"
#include "selection/SelectionToolController.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {
QColor Argb(uint32_t v) { return QColor::fromRgba(v); }

QPen DashPen(uint32_t colour, float width, float offset, qreal dash = 7, qreal gap = 5) {
    QPen pen(Argb(colour), width);
    // Qt measures dash patterns in pen widths.
    pen.setDashPattern({dash / width, gap / width});
    pen.setDashOffset(offset / width);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

void RotateAbout(QPainter& g, float px, float py, float angle) {
    g.translate(px, py);
    g.rotate(angle);
    g.translate(-px, -py);
}

QRectF Q(const FrameRect& r) { return QRectF(r.x, r.y, r.width, r.height); }

// "Settings"/"SelectionOverlay": 0 shows marching ants, anything else the tint.
int SelectionOverlayMode(CQuillfenEditorDoc& doc) {
    DocumentHost* host = doc.Host();
    Profile* profile = host ? host->GetProfile() : nullptr;
    return profile ? int(profile->GetAppDword("Settings", "SelectionOverlay", 0)) : 0;
}

}  // namespace

CanvasObjectPainter CCanvasLayoutView::ScenePainter(CanvasDocument& scene) {
    CanvasObjectPainter plain = MakeCanvasObjectPainter(scene);
    return [this, plain](CompositeSurface& target, CanvasObject& o, float s, float ox, float oy) {
        if (session_->IsActive()) {
            if (session_->HidesObject(o.id)) return;
            if (o.id == session_->PaintedObjectId()) {
                if (session_->Width() <= 0 || session_->Height() <= 0) return;
                CompositeRenderer renderer(target);
                renderer.world = Affine{s, 0, 0, s, ox, oy};
                session_->DrawLayer(renderer, target, o, 0, 0, float(session_->Width()), float(session_->Height()),
                                   session_->isolation());
                return;
            }
        }
        plain(target, o, s, ox, oy);
    };
}

void CCanvasLayoutView::DrawFrameFor(QPainter& g, const FrameRect& r, float angle, bool hasPivot, float px, float py,
                                     bool simple, const TransformHandleStyle& s) {
    if (simple) DrawObjectFrameSimple(g, s, r, angle, hasPivot, px, py);
    else DrawObjectTransformFrame(g, s, r, angle, hasPivot, px, py);
}

void CCanvasLayoutView::DrawDashedObjectOutline(QPainter& g, const FrameRect& r, float angle) {
    g.save();
    g.setRenderHint(QPainter::Antialiasing, true);
    RotateAbout(g, r.CentreX(), r.CentreY(), angle);
    g.setBrush(Qt::NoBrush);
    g.setPen(DashPen(0xEBFFFFFF, 1.6f, 0, 6, 4));
    g.drawRect(Q(r));
    g.setPen(DashPen(0xFFDC3C3C, 1.6f, 4.5f, 6, 4));
    g.drawRect(Q(r));
    g.restore();
}

void CCanvasLayoutView::DrawMarquee(QPainter& g) {
    if (!marqueeDragging_) return;
    const int x = std::min(marqueeStart_.x(), marqueeEnd_.x()), y = std::min(marqueeStart_.y(), marqueeEnd_.y());
    const int dw = std::abs(marqueeEnd_.x() - marqueeStart_.x()), dh = std::abs(marqueeEnd_.y() - marqueeStart_.y());
    const QRectF r(x, y, dw >= 2 ? dw : 1, dh >= 2 ? dh : 1);
    g.save();
    g.fillRect(r, Argb(0x205693CF));
    g.setBrush(Qt::NoBrush);
    g.setPen(DashPen(0xD7FFFFFF, 1.4f, 0, 6, 4));
    g.drawRect(r);
    g.setPen(DashPen(0xFF5693CF, 1.4f, 4.5f, 6, 4));
    g.drawRect(r);
    g.restore();
}

void CCanvasLayoutView::DrawToolOverlays(QPainter& g) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    CanvasDocument& scene = doc->mainScene;
    const int tool = doc->activeTool;
    const float z = geo_.zoom, ox = geo_.OriginX(), oy = geo_.OriginY();
    const RectF cr = geo_.CanvasScreenRect();
    const RectI v = geo_.Viewport();
    g.setClipRect(QRect(v.left, v.top, v.Width(), v.Height()));

    // 0. The placed stencil of the Stencil Kitbash tool and, between strokes, its gizmo.
    if (tool == kToolStencilKitbash) {
        if (StencilOverlay* overlay = GetCurrentStencilOverlay()) {
            overlay->SetCanvasSize(scene.width, scene.height);
            overlay->ShowIfTabReleased(IsKeyDown(VK_TAB));
            g.save();
            g.translate(ox, oy);
            g.scale(z, z);
            DrawStencilOverlay(g, *overlay);
            g.restore();
            if (overlay->HasStencil() && overlay->dragMode == 0 && !overlay->painting)
                DrawStencilGizmo(g, StencilGizmo::FrameRect(GetCanvasClientRect()));
        }
    }

    // 1. The parts of objects outside the canvas, in grey dashes.
    {
        QPen pen = DashPen(0xB48C96A5, 1, 0, 4, 3);
        for (Layer& layer : scene.layers) {
            if (!layer.visible) continue;
            for (CanvasObject& o : layer.objects) {
                if (!o.visible) continue;
                const SceneRect b = o.GetBounds();
                const float bx = b.x * z + ox, by = b.y * z + oy;
                const float bw = std::max(b.width * z, 1.0f), bh = std::max(b.height * z, 1.0f);
                if (bx >= cr.x && by >= cr.y && bx + bw <= cr.x + cr.width && by + bh <= cr.y + cr.height) continue;
                if (bx + bw <= v.left || by + bh <= v.top || bx >= v.right || by >= v.bottom) continue;
                const FrameRect q = GetObjectScreenRect(o);
                g.save();
                QPainterPath outside;
                outside.addRect(QRectF(v.left, v.top, v.Width(), v.Height()));
                QPainterPath canvas;
                canvas.addRect(QRectF(cr.x, cr.y, cr.width, cr.height));
                g.setClipPath(outside.subtracted(canvas));
                RotateAbout(g, q.CentreX(), q.CentreY(), o.rotation);
                g.setPen(pen);
                g.setBrush(Qt::NoBrush);
                g.drawRect(Q(q));
                g.restore();
            }
        }
    }

    // 3. The posed parts and bones of the canvas pose session.
    if (tool == 2 && pose_.open) DrawPoseSession(g);

    // 4. The frame for the tool.
    CanvasObject* primary = scene.primarySelectedId.empty() ? nullptr : scene.FindObject(scene.primarySelectedId);
    if (primary && !primary->visible) primary = nullptr;
    if ((tool == 6 || tool == 7) && primary) {
        const QuadHandles h = ComputeQuadHandles(*primary, z, ox, oy);
        QPolygonF poly;
        for (int k = 0; k < 4; ++k) poly << QPointF(h.cx[k], h.cy[k]);
        g.save();
        g.setRenderHint(QPainter::Antialiasing, true);
        g.setBrush(Qt::NoBrush);
        g.setPen(DashPen(0xEBFFFFFF, 1, 0, 3, 3));
        g.drawPolygon(poly);
        g.setPen(DashPen(0xFF5693CF, 1, 3, 3, 3));
        g.drawPolygon(poly);
        g.setBrush(Qt::white);
        g.setPen(QPen(Argb(0xFF5693CF), 1));
        for (int k = 0; k < 4; ++k) g.drawEllipse(QPointF(h.cx[k], h.cy[k]), 4, 4);
        for (int k = 0; k < 4; ++k) g.drawRect(QRectF(h.mx[k] - 3.5, h.my[k] - 3.5, 7, 7));
        g.restore();
    } else if (IsBrushTool(tool) && primary) {
        TransformHandleStyle s = style_;
        s.frameColour = 0xFFDC3C3C;
        const float w = std::max(primary->width, 1.0f), hgt = std::max(primary->height, 1.0f);
        float px, py;
        geo_.CanvasToClient(primary->x + w / 2, primary->y + hgt / 2, px, py);
        DrawFrameFor(g, GetObjectScreenRect(*primary), primary->rotation, true, px, py, true, s);
    } else if (tool == 2 && pose_.open) {
        // The posed parts show without a frame.
    } else if (scene.selectedIds.size() <= 1 && primary) {
        TransformHandleStyle s = style_;
        if (primary->kind == kObjectPosable) {
            s.frameColour = 0xFFD09658;
            s.handleOutline = 0xFFDEA86E;
        } else if (IsSelectionTool(tool)) {
            s.frameColour = 0xFFDC3C3C;
        }
        const float w = std::max(primary->width, 1.0f), hgt = std::max(primary->height, 1.0f);
        float px, py;
        geo_.CanvasToClient(primary->x + w / 2, primary->y + hgt / 2, px, py);
        DrawFrameFor(g, GetObjectScreenRect(*primary), primary->rotation, true, px, py,
                     tool >= 18 && tool <= 25, s);
    } else if (scene.selectedIds.size() >= 2 && dragArmed_ && handle_ == kHandleRotate && groupBox_.width > 0 &&
               groupBox_.height > 0) {
        const FrameRect r{z * groupBox_.x + ox, z * groupBox_.y + oy, std::max(1.0f, z * groupBox_.width),
                          std::max(1.0f, z * groupBox_.height)};
        float px, py;
        geo_.CanvasToClient(groupBox_.x + groupBox_.width / 2, groupBox_.y + groupBox_.height / 2, px, py);
        DrawFrameFor(g, r, groupAngle_, true, px, py, tool >= 18 && tool <= 25, style_);
    } else if (scene.selectedIds.size() >= 2) {
        FrameRect r;
        if (GetSelectionScreenBounds(r)) DrawFrameFor(g, r, 0, false, 0, 0, tool >= 18 && tool <= 25, style_);
        for (Layer& layer : scene.layers) {
            if (!layer.visible) continue;
            for (CanvasObject& o : layer.objects)
                if (o.visible && scene.IsSelected(o.id)) DrawDashedObjectOutline(g, GetObjectScreenRect(o), o.rotation);
        }
    }

    // 5. The hover outline of the Move tool.
    if (tool == 0 && !hoverId_.empty() && !dragArmed_ && !MarqueeActive()) {
        const CanvasObject* o = scene.FindObject(hoverId_);
        if (o && o->visible) {
            const FrameRect q = GetObjectScreenRect(*o);
            const float w = std::max(o->width, 1.0f), hgt = std::max(o->height, 1.0f);
            float px, py;
            geo_.CanvasToClient(o->x + w / 2, o->y + hgt / 2, px, py);
            g.save();
            g.setRenderHint(QPainter::Antialiasing, true);
            RotateAbout(g, px, py, o->rotation);
            g.setBrush(Qt::NoBrush);
            g.setPen(QPen(Argb(0xBE5693CF), 2));
            g.drawRect(Q(q));
            g.restore();
        }
    }

    // 5. The light cone gizmo.
    if (tool == 8 && primary && primary->kind == kObjectLightCone) {
        lightGeometry_ = ComputeLightGizmo(*primary, z, ox, oy);
        DrawLightConeGizmo(g, lightGeometry_);
    }

    // 6. The marquee.
    DrawMarquee(g);
    // 7. Where the clone brushes copy from.
    DrawCloneSourceMarker(g);
    // 9. The selection.
    DrawSelectionTint(g);
    DrawSelectionOutline(g);
    g.setClipping(false);
}

void CCanvasLayoutView::DrawSelectionTint(QPainter& g) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || SelectionOverlayMode(*doc) == 0 || !session_->IsActive()) return;
    SelectionMask* mask = doc->mainScene.selectionMask.get();
    if (!mask || !tint_.Update(*mask)) return;
    const QImage img(reinterpret_cast<const uchar*>(tint_.Pixels()), tint_.Width(), tint_.Height(),
                     qsizetype(tint_.Width()) * 4, QImage::Format_ARGB32_Premultiplied);
    const RectF r = geo_.CanvasScreenRect();
    g.drawImage(QRectF(r.x, r.y, r.width, r.height), img);
}

void CCanvasLayoutView::DrawSelectionOutline(QPainter& g) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || !session_->IsActive()) return;
    const int mode = SelectionOverlayMode(*doc);
    if (mode == 0) StartAntsTimerIfNeeded();
    CanvasDocument& scene = doc->mainScene;
    if (!scene.selectionMask) return;
    const float z = geo_.zoom, ox = geo_.OriginX(), oy = geo_.OriginY();
    // The ants come from a bitmap of the visible part of the selection only,
    // redrawn when the view, the phase or the mask changed.
    if (mode == 0 && ants_.Update(*scene.selectionMask, z, ox, oy, antsPhase_, geo_.Viewport())) {
        const RectI c = ants_.Clip();
        const QImage img(reinterpret_cast<const uchar*>(ants_.Pixels()), c.Width(), c.Height(),
                         qsizetype(c.Width()) * 4, QImage::Format_ARGB32_Premultiplied);
        g.drawImage(QPoint(c.left, c.top), img);
    }

    // The shape being dragged or clicked.
    scene.EnsureSelectionMask();
    const SelectionShapePreview shape =
        BuildSelectionShapePreview(doc->SelectionTool(scene), cursorCanvasX_, cursorCanvasY_, z, ox, oy);
    if (shape.kind == SelectionShapePreview::kNone && shape.squares.empty()) return;
    QPen white(Qt::white, 1);
    white.setDashPattern({4, 4});
    white.setCapStyle(Qt::FlatCap);
    white.setDashOffset(8 - std::fmod(antsPhase_, 8.0f));  // the ants' phase: -phase, kept positive
    const QPen blue(Argb(0xFF5693CF), 1);
    g.save();
    g.setRenderHint(QPainter::Antialiasing, true);
    g.setBrush(Qt::NoBrush);
    for (const QPen& pen : {blue, white}) {
        g.setPen(pen);
        const QRectF r(shape.rect.x, shape.rect.y, shape.rect.width, shape.rect.height);
        switch (shape.kind) {
        case SelectionShapePreview::kRectangle: g.drawRect(r); break;
        case SelectionShapePreview::kEllipse: g.drawEllipse(r); break;
        case SelectionShapePreview::kPolyline: {
            QPolygonF poly;
            for (const PointF& p : shape.points) poly << QPointF(p.x, p.y);
            g.drawPolyline(poly);
            break;
        }
        case SelectionShapePreview::kNone: break;
        }
    }
    g.setRenderHint(QPainter::Antialiasing, false);
    for (const PointF& q : shape.squares) g.fillRect(QRectF(q.x, q.y, 5, 5), Argb(0xFF5693CF));
    g.restore();
}

void CCanvasLayoutView::DrawPoseSession(QPainter& g) {
    CanvasDocument* scene = MainScene();
    if (!scene) return;
    const float z = geo_.zoom, ox = geo_.OriginX(), oy = geo_.OriginY();
    auto toClient = [&](PointF r, PointF& out) {
        PointF c;
        if (!pose_.RuntimeToCanvas(*scene, r, c)) return false;
        out = {c.x * z + ox, c.y * z + oy};
        return true;
    };
    // The parts, by z.
    {
        g.save();
        g.setRenderHint(QPainter::SmoothPixmapTransform, true);
        for (CanvasObject* part : CollectVisibleObjectsByZ(pose_.runtime)) {
            BitmapPtr bmp = part->ComposeBitmap();
            if (!bmp || bmp->Width() <= 0 || bmp->Height() <= 0) continue;
            PointF src[3];
            bool ok = true;
            if (part->bones.size() == 1 && part->bones[0].stretchable) {
                const PointF local[3] = {{0, 0}, {part->width, 0}, {0, part->height}};
                for (int i = 0; i < 3 && ok; ++i)
                    ok = pose_.rig.MapRestPointToPose(*part, part->bones[0], local[i], src[i]);
            } else {
                const ScenePoint a = part->LocalToCanvas({0, 0}), b = part->LocalToCanvas({part->width, 0}),
                                 c = part->LocalToCanvas({0, part->height});
                src[0] = {a.x, a.y}, src[1] = {b.x, b.y}, src[2] = {c.x, c.y};
            }
            PointF p[3];
            for (int i = 0; i < 3 && ok; ++i) ok = toClient(src[i], p[i]);
            if (!ok) continue;
            const QImage img(bmp->Data(), bmp->Width(), bmp->Height(), int(bmp->Stride()), QImage::Format_ARGB32);
            const float w = float(bmp->Width()), h = float(bmp->Height());
            g.save();
            g.setOpacity(std::clamp(part->opacity, 0.0f, 1.0f));
            g.setTransform(QTransform((p[1].x - p[0].x) / w, (p[1].y - p[0].y) / w, (p[2].x - p[0].x) / h,
                                      (p[2].y - p[0].y) / h, p[0].x, p[0].y));
            g.drawImage(QPointF(0, 0), img);
            g.restore();
        }
        g.restore();
    }
    // The bones.
    g.save();
    g.setRenderHint(QPainter::Antialiasing, true);
    for (Layer& layer : pose_.runtime.layers) {
        for (CanvasObject& part : layer.objects) {
            if (!part.visible || part.bones.size() != 1) continue;
            const Bone& bone = part.bones[0];
            PointF h, t;
            if (!toClient(NormalizedToCanvas(part, bone.headX, bone.headY), h) ||
                !toClient(NormalizedToCanvas(part, bone.tailX, bone.tailY), t))
                continue;
            const uint32_t c = bone.stretchable ? 0xFFDC4340 : 0xFF5693CF;
            QPen white(Qt::white, 2.2);
            white.setDashPattern({3 / 2.2, 3 / 2.2});
            white.setDashOffset(3 / 2.2);
            g.setPen(white);
            g.drawLine(QPointF(h.x, h.y), QPointF(t.x, t.y));
            g.setPen(DashPen(c, 2.2f, 0, 3, 3));
            g.drawLine(QPointF(h.x, h.y), QPointF(t.x, t.y));
            g.setBrush(Qt::white);
            g.setPen(QPen(Argb(c), 1.6));
            g.drawEllipse(QPointF(h.x, h.y), 7, 7);
            g.drawEllipse(QPointF(t.x, t.y), 7, 7);
        }
    }
    g.restore();
}

void CCanvasLayoutView::DrawLightConeGizmo(QPainter& g, const LightGizmoGeometry& geo) {
    const LightGizmoStyle& s = lightStyle_;
    g.save();
    g.setRenderHint(QPainter::Antialiasing, true);
    g.setBrush(Qt::NoBrush);
    const QPointF light(geo.lightX, geo.lightY), target(geo.targetX, geo.targetY);
    if (geo.coneShown) {
        if (geo.ellipseW > 1 && geo.ellipseH > 1) {
            const QRectF e(geo.ellipseX, geo.ellipseY, geo.ellipseW, geo.ellipseH);
            g.setPen(DashPen(s.coneEllipseGap, 1.4f, 6));
            g.drawEllipse(e);
            g.setPen(DashPen(s.coneEllipseDash, 1.4f, 0));
            g.drawEllipse(e);
        }
        for (int i = 0; i < 4; ++i) {
            const QPointF end(geo.lineX[i], geo.lineY[i]);
            g.setPen(DashPen(s.coneLineGap, 1.4f, 6));
            g.drawLine(light, end);
            g.setPen(DashPen(s.coneLineDash, 1.4f, 0));
            g.drawLine(light, end);
        }
    }
    g.setPen(QPen(Argb(s.lightLine), 1.8));
    g.drawLine(light, target);
    const float r = s.handleRadius;
    g.setBrush(Argb(s.positionFill));
    g.setPen(QPen(Argb(s.positionOutline), 1.6));
    g.drawEllipse(light, r, r);
    g.setBrush(Argb(s.targetFill));
    g.setPen(QPen(Argb(s.targetOutline), 1.6));
    g.drawEllipse(target, r, r);
    if (geo.coneShown) {
        g.setBrush(Argb(s.thirdFill));
        g.setPen(QPen(Argb(s.thirdOutline), 1.4));
        g.drawEllipse(QPointF(geo.thirdX, geo.thirdY), 0.75 * r, 0.75 * r);
    }
    g.restore();
}

float CCanvasLayoutView::BrushSize() const {
    CQuillfenEditorDoc* doc = GetDocument();
    return BrushSizeForTool(doc ? doc->activeTool : kToolPaintBrush);
}

QRect CCanvasLayoutView::BrushCursorRect() const {
    if (!cursorShown_) return {};
    const float size = BrushSize(), z = geo_.zoom;
    RectI r = BrushCursorBounds(size, z, cursorClient_.x(), cursorClient_.y());
    CQuillfenEditorDoc* doc = GetDocument();
    const int tool = doc ? doc->activeTool : kToolPaintBrush;
    const BrushEngine* engine = session_->IsActive() ? session_->Engine() : nullptr;
    if ((tool == 13 || tool == 14) && engine) {
        PointF s;
        if (CloneSourcePoint(*engine, cursorCanvasX_, cursorCanvasY_, s))
            r = UniteRects(r, BrushCursorBoundsAt(size, z, s.x * z + geo_.OriginX(), s.y * z + geo_.OriginY()));
        // The source preview under the cursor can reach past the circle by a
        // canvas pixel at high zoom.
        const int n = ClonePatchSide(size);
        const RectF p = ClonePatchClientRect(cursorCanvasX_, cursorCanvasY_, n, z, geo_.OriginX(), geo_.OriginY());
        r = UniteRects(r, RectI{int(std::floor(p.x)) - 1, int(std::floor(p.y)) - 1,
                                int(std::ceil(p.x + p.width)) + 2, int(std::ceil(p.y + p.height)) + 2});
    }
    return QRect(r.left, r.top, r.Width(), r.Height());
}

float CCanvasLayoutView::SampleCursorLuminance(int x, int y) const {
    // The back buffer holds device pixels.
    const int dx = int(std::floor(float(x) * geo_.ratio)), dy = int(std::floor(float(y) * geo_.ratio));
    return MeanLuminanceAround(backBuffer_.pixels, backBuffer_.width, backBuffer_.height, backBuffer_.Pitch(), dx, dy);
}

void CCanvasLayoutView::DrawBrushCursor(QPainter& g) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || !cursorShown_) return;
    const int tool = doc->activeTool;
    const int x = cursorClient_.x(), y = cursorClient_.y();
    const bool overGizmo = tool == kToolStencilKitbash && StencilGizmoAt(QPoint(x, y)) != kGizmoNone;
    const BrushCursorLook look = BrushCursorLookFor(tool, IsKeyDown(VK_MENU), overGizmo);
    if (!look.circle) return;
    const float r = BrushCursorRadius(BrushSize(), geo_.zoom);
    // Pixel centres lie half a pixel in from the client point.
    const QPointF c(x + 0.5, y + 0.5);
    g.save();
    g.setRenderHint(QPainter::Antialiasing, true);
    g.setBrush(Qt::NoBrush);
    g.setPen(QPen(Argb(BrushCursorPenColour(SampleCursorLuminance(x, y))), 1));
    g.drawEllipse(c, r, r);
    if (look.crossArm > 0) {
        const int a = look.crossArm;
        g.drawLine(c - QPointF(a, 0), c + QPointF(a, 0));
        g.drawLine(c - QPointF(0, a), c + QPointF(0, a));
    }
    g.restore();
}

void CCanvasLayoutView::DrawCloneSourceMarker(QPainter& g) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || !cursorShown_ || !session_->IsActive() || IsKeyDown(VK_MENU)) return;
    const int tool = doc->activeTool;
    if (tool != 13 && tool != 14) return;
    const float z = geo_.zoom, ox = geo_.OriginX(), oy = geo_.OriginY();
    if (const BrushEngine* engine = session_->Engine()) {
        PointF s;
        if (CloneSourcePoint(*engine, cursorCanvasX_, cursorCanvasY_, s)) {
            const QPointF c(s.x * z + ox, s.y * z + oy);
            const float r = BrushCursorRadius(BrushSize(), z);
            g.save();
            g.setRenderHint(QPainter::Antialiasing, true);
            g.setBrush(Qt::NoBrush);
            g.setPen(QPen(Argb(0xDCFF8C00), 1.5));
            g.drawLine(c - QPointF(14, 0), c + QPointF(14, 0));
            g.drawLine(c - QPointF(0, 14), c + QPointF(0, 14));
            g.setPen(QPen(Argb(0xB4FF8C00), 1));
            g.drawEllipse(c, r, r);
            g.restore();
        }
    }
    // The source pixels under the brush, so the user sees what a stroke copies.
    if (strokeActive_) return;
    std::vector<uint8_t> patch;
    int32_t n = 0;
    float origin[2] = {0, 0};
    if (!session_->GetCloneSourcePatch(cursorCanvasX_, cursorCanvasY_, patch, n, origin) || n <= 0 ||
        patch.size() < size_t(n) * size_t(n) * 4)
        return;
    const QImage img(patch.data(), n, n, qsizetype(n) * 4, QImage::Format_ARGB32);
    const RectF p = ClonePatchClientRect(cursorCanvasX_, cursorCanvasY_, n, z, ox, oy);
    g.drawImage(QRectF(p.x, p.y, p.width, p.height), img);
}
