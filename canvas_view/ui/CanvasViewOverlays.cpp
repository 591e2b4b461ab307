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

#include "canvas_view/BrushToolQueries.h"
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

void DrawHandleShape(QPainter& g, const TransformHandleStyle& s, const FrameRect& r, float radius) {
    g.setBrush(Argb(s.handleFill));
    g.setPen(QPen(Argb(s.handleOutline), 1.6));
    g.drawRoundedRect(Q(r), radius, radius);
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
    const FrameRect f = TransformFrameOf(s, r);
    if (!hasPivot) px = f.CentreX(), py = f.CentreY();
    g.save();
    g.setRenderHint(QPainter::Antialiasing, true);
    RotateAbout(g, px, py, angle);
    g.setBrush(Qt::NoBrush);
    if (simple) {
        g.setPen(DashPen((s.frameGap & 0x00FFFFFF) | 0x80000000u, 2.0f, 6));
        g.drawRect(Q(f));
        g.setPen(DashPen((s.frameColour & 0x00FFFFFF) | 0x80000000u, 2.0f, 0));
        g.drawRect(Q(f));
        g.restore();
        return;
    }
    g.setPen(DashPen(s.frameGap, 2.2f, 6));
    g.drawRect(Q(f));
    g.setPen(DashPen(s.frameColour, 2.2f, 0));
    g.drawRect(Q(f));
    g.setPen(QPen(Argb(s.frameColour), 1.9));
    g.drawLine(QPointF(f.CentreX(), f.y), QPointF(f.CentreX(), f.y - s.rotationStem));
    const HandleBoxes b = DrawnHandleBoxes(s, f);
    DrawHandleShape(g, s, b.box[kHandleRotate], s.rotationRadius);
    for (int h : {kHandleTopLeft, kHandleTopRight, kHandleBottomRight, kHandleBottomLeft})
        DrawHandleShape(g, s, b.box[h], s.cornerRadius);
    for (int h : {kHandleTop, kHandleRight, kHandleBottom, kHandleLeft})
        DrawHandleShape(g, s, b.box[h], s.edgeThickness / 2);
    g.restore();
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
        } else if (IsSelectionTool(tool) && tool != 25) {
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
    // 9. The selection.
    DrawSelectionDisplay(g);
    g.setClipping(false);
}

void CCanvasLayoutView::DrawSelectionDisplay(QPainter& g) {
    CanvasDocument* scene = MainScene();
    if (!scene || !session_->IsActive()) return;
    const float z = geo_.zoom, ox = geo_.OriginX(), oy = geo_.OriginY();
    SelectionMask* mask = scene->selectionMask.get();
    if (mask && mask->HasSelection()) {
        CQuillfenEditorDoc* doc = GetDocument();
        DocumentHost* host = doc ? doc->Host() : nullptr;
        Profile* profile = host ? host->GetProfile() : nullptr;
        const bool tint = profile && profile->GetAppDword("Settings", "SelectionOverlay", 0) != 0;
        if (tint) {
            QImage img(mask->Width(), mask->Height(), QImage::Format_ARGB32_Premultiplied);
            if (!img.isNull()) {
                mask->RenderOverlay(img.width(), img.height(), img.bits(), int(img.bytesPerLine()));
                g.drawImage(QRectF(ox, oy, img.width() * z, img.height() * z), img);
            }
        } else {
            if (!mask->OutlineValid()) SelectionOutline::Build(*mask);
            QPainterPath path;
            for (const std::vector<OutlinePoint>& line : mask->Outline().polylines) {
                if (line.empty()) continue;
                path.moveTo(line[0].x * z + ox, line[0].y * z + oy);
                for (size_t i = 1; i < line.size(); ++i) path.lineTo(line[i].x * z + ox, line[i].y * z + oy);
            }
            g.save();
            g.setBrush(Qt::NoBrush);
            g.setPen(QPen(Qt::white, 1));
            g.drawPath(path);
            QPen ants(Qt::black, 1);
            ants.setDashPattern({4, 4});
            ants.setDashOffset(antsPhase_);
            g.setPen(ants);
            g.drawPath(path);
            g.restore();
        }
    }
    // The shape being dragged or clicked.
    CQuillfenEditorDoc* owner = GetDocument();
    if (!owner) return;
    SelectionToolController* c = &owner->SelectionTool(*scene);
    g.save();
    g.setRenderHint(QPainter::Antialiasing, true);
    g.setBrush(Qt::NoBrush);
    QPen pen(Argb(0xFF5693CF), 1.2);
    pen.setDashPattern({4, 3});
    g.setPen(pen);
    auto P = [&](float x, float y) { return QPointF(x * z + ox, y * z + oy); };
    if (c->dragging) {
        const float x0 = float(c->dragStartX), y0 = float(c->dragStartY);
        const float x1 = float(c->dragCurrentX), y1 = float(c->dragCurrentY);
        if (c->kind == kSelectionToolFreehand) {
            QPolygonF poly;
            for (const SelectionPoint& sp : c->freehandPoints) poly << P(sp.x, sp.y);
            g.drawPolyline(poly);
        } else if (c->kind == kSelectionToolEllipseFromCenter) {
            const float rx = std::fabs(x1 - x0), ry = std::fabs(y1 - y0);
            g.drawEllipse(QRectF(P(x0 - rx, y0 - ry), P(x0 + rx, y0 + ry)));
        } else if (c->kind == kSelectionToolEllipse) {
            g.drawEllipse(QRectF(P(x0, y0), P(x1, y1)).normalized());
        } else {
            g.drawRect(QRectF(P(x0, y0), P(x1, y1)).normalized());
        }
    } else if (c->polygonOpen && !c->polygonPoints.empty()) {
        QPolygonF poly;
        for (const SelectionPoint& sp : c->polygonPoints) poly << P(sp.x, sp.y);
        poly << QPointF(cursorClient_);
        g.drawPolyline(poly);
    }
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
    g.save();
    g.setRenderHint(QPainter::Antialiasing, true);
    g.setBrush(Qt::NoBrush);
    const QPointF light(geo.lightX, geo.lightY), target(geo.targetX, geo.targetY);
    if (geo.coneShown) {
        if (geo.ellipseW > 1 && geo.ellipseH > 1) {
            const QRectF e(geo.ellipseX, geo.ellipseY, geo.ellipseW, geo.ellipseH);
            g.setPen(DashPen(0xEBFFFFFF, 1.4f, 6));
            g.drawEllipse(e);
            g.setPen(DashPen(0xFFFFDC8C, 1.4f, 0));
            g.drawEllipse(e);
        }
        for (int i = 0; i < 4; ++i) {
            const QPointF end(geo.lineX[i], geo.lineY[i]);
            g.setPen(DashPen(0xEBFFFFFF, 1.4f, 6));
            g.drawLine(light, end);
            g.setPen(DashPen(0xFFFFDC8C, 1.4f, 0));
            g.drawLine(light, end);
        }
    }
    g.setPen(QPen(Argb(0xFFFFC878), 1.8));
    g.drawLine(light, target);
    const float r = 7.0f;
    g.setBrush(Argb(0xFFFFDC8C));
    g.setPen(QPen(Argb(0xFFC87800), 1.6));
    g.drawEllipse(light, r, r);
    g.setBrush(Argb(0xFFFFFFFF));
    g.setPen(QPen(Argb(0xFF5693CF), 1.6));
    g.drawEllipse(target, r, r);
    if (geo.coneShown) {
        g.setBrush(Argb(0xFFDCF0C8));
        g.setPen(QPen(Argb(0xFFBEDC8C), 1.4));
        g.drawEllipse(QPointF(geo.thirdX, geo.thirdY), 0.75 * r, 0.75 * r);
    }
    g.restore();
}

float CCanvasLayoutView::BrushDiameter() const {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return 0;
    return std::max(BrushSizeForTool(doc->activeTool) * geo_.zoom, 2.0f);
}

QRect CCanvasLayoutView::BrushCursorRect() const {
    if (!cursorShown_) return {};
    // At least the stencil cursor's cross of 4 pixels each way.
    const int r = std::max(int(std::ceil(BrushDiameter() / 2)), 4) + 3;
    return QRect(cursorClient_.x() - r, cursorClient_.y() - r, 2 * r + 1, 2 * r + 1);
}

void CCanvasLayoutView::DrawBrushCursor(QPainter& g) {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || !cursorShown_ || !IsBrushTool(doc->activeTool)) return;
    const float r = BrushDiameter() / 2;
    // A grey that stands out from the pixels below the cursor.
    int lum = 128;
    const int x = cursorClient_.x(), y = cursorClient_.y();
    if (backBuffer_.pixels && x >= 0 && y >= 0 && x < backBuffer_.width && y < backBuffer_.height) {
        const uint8_t* p = backBuffer_.pixels + int64_t(y) * backBuffer_.Pitch() + int64_t(x) * 4;
        lum = (p[2] * 299 + p[1] * 587 + p[0] * 114) / 1000;
    }
    const int grey = lum > 127 ? 40 : 220;
    g.save();
    g.setRenderHint(QPainter::Antialiasing, true);
    g.setBrush(Qt::NoBrush);
    g.setPen(QPen(QColor(grey, grey, grey), 1.2));
    g.drawEllipse(QPointF(x + 0.5, y + 0.5), r, r);
    if (doc->activeTool == kToolStencilKitbash) {  // a small cross marks the imprint point
        g.drawLine(QPointF(x + 0.5 - 4, y + 0.5), QPointF(x + 0.5 + 4, y + 0.5));
        g.drawLine(QPointF(x + 0.5, y + 0.5 - 4), QPointF(x + 0.5, y + 0.5 + 4));
    }
    g.restore();
}
