#include "app/ui/CLayerListWnd.h"

#include "app/IconShapes.h"
#include "app/LayerListThumbnails.h"
#include "platform/DeviceScale.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/PaintSessionProvider.h"
#include "platform/Profile.h"
#include "platform/qt/IconImage.h"
#include "platform/qt/ShellFonts.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
QColor C(uint32_t argb) { return QColor::fromRgba(argb); }
QRect Q(const RectI& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

// The 14-pixel arrow of the active layer, drawn at the screen's resolution.
QImage ActiveLayerGlyph(qreal ratio) {
    const int side = DevicePixels(14, ratio);
    QImage glyph = ToQImage(RasterizePolygonMask(BuiltInIcon("arrow"), side, side, 0x5B9DDC));
    glyph.setDevicePixelRatio(SaneRatio(ratio));
    return glyph;
}

DocumentEditSession* ActiveSession(CQuillfenEditorDoc* doc, const std::string& objectId) {
    DocumentEditSession* s = doc ? doc->paintSession : nullptr;
    return s && s->IsActive() && s->PaintedObjectId() == objectId ? s : nullptr;
}

void Dot(QPainter& p, QPointF c, bool on, uint32_t onColor) {
    p.setPen(QPen(C(0xFF101319), 1));
    p.setBrush(C(on ? onColor : 0xFF404754));
    p.drawEllipse(c, 5, 5);
}

void RoundRect(QPainter& p, const QRectF& r, double radius, const QColor& fill) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    p.fillPath(path, fill);
}

QFont ListFont() {
    QFont f = UiFont(11);
    return f;
}
}  // namespace

CLayerListWnd::CLayerListWnd(QWidget* parent) : CDocumentListWnd(parent, 1002, kRepaintTimer) {
    setObjectName("Layer List");
    setMouseTracking(true);
}

bool CLayerListWnd::Compact() const {
    CQuillfenEditorDoc* doc = Document();
    Profile* profile = doc && doc->Host() ? doc->Host()->GetProfile() : nullptr;
    return profile && profile->GetAppDword("Settings", "LayerListCompact", 0) != 0;
}

LayerListView CLayerListWnd::View() const {
    LayerListView v;
    CQuillfenEditorDoc* doc = Document();
    v.scene = doc ? &doc->mainScene : nullptr;
    v.expanded = &expanded_;
    v.compact = Compact();
    v.scroll = scroll_;
    v.width = width();
    v.height = height();
    v.hasMaskRow = [doc](const CanvasObject& o) {
        if (o.HasUsableMask()) return true;
        DocumentEditSession* s = ActiveSession(doc, o.id);
        return s && s->EditsMask();
    };
    return v;
}

int CLayerListWnd::ClampScroll(int offset) const { return View().ClampScroll(offset); }

void CLayerListWnd::ClickRow(const LayerListRow& row, bool toggle) {
    CQuillfenEditorDoc* doc = Document();
    if (!doc) {
        ClampAndRepaint();
        return;
    }
    CanvasDocument& scene = doc->mainScene;
    auto layerOf = [&scene](const std::string& id) -> Layer* {
        for (Layer& l : scene.layers)
            if (l.id == id) return &l;
        return nullptr;
    };
    switch (row.kind) {
    case kRowLayerHeader:
        scene.SetActiveLayer(row.layerId);
        doc->UpdateAllViews();
        break;
    case kRowExpander: {
        auto it = expanded_.find(row.layerId);
        expanded_[row.layerId] = !(it == expanded_.end() || it->second);
        break;
    }
    case kRowLayerVisible:
        if (Layer* l = layerOf(row.layerId)) doc->SetLayerVisible(l->id, !l->visible);
        break;
    case kRowLayerLock:
        if (Layer* l = layerOf(row.layerId)) doc->SetLayerLocked(l->id, !l->locked);
        break;
    case kRowObjectVisible:
    case kRowObjectLock:
    case kRowObject:
    case kRowMask: {
        CanvasObject* o = scene.FindObject(row.objectId);
        if (!o) break;
        if (row.kind == kRowObjectVisible) doc->SetObjectVisible(o->id, !o->visible);
        else if (row.kind == kRowObjectLock) doc->SetObjectLocked(o->id, !o->locked);
        else if (row.kind == kRowObject) {
            if (toggle) scene.ToggleSelection(row.objectId);
            else scene.SelectObject(row.objectId);
            doc->UpdateAllViews();
        } else {
            scene.SelectObject(row.objectId);
            scene.selectedMaskObjectId = row.objectId;
            if (doc->activeTool == kToolEraser || doc->activeTool == kToolPaintMask || doc->activeTool == kToolEraseMask)
                doc->SetActiveTool(kToolPaintBrush);
            doc->UpdateAllViews();
        }
        update();
        return;
    }
    case kRowCanvasDot: doc->SetCanvasColor(ToggleCanvasTransparency(scene.canvasColour)); return;
    case kRowCanvas:
        scene.ClearSelection();
        doc->UpdateAllViews();
        break;
    default: break;
    }
    ClampAndRepaint();
}

void CLayerListWnd::OnLButtonDown(unsigned, QPoint p) {
    setFocus(Qt::MouseFocusReason);
    const LayerListRow row = HitTest(p);
    if (row.kind == kRowScrollStrip) {
        scrollDragging_ = true;
        scrollDragStartY_ = p.y();
        scrollDragStartOffset_ = scroll_;
        SetCapture();
    } else if (row.kind == kRowObject) {
        rowPressed_ = true;
        rowDragging_ = false;
        pressPoint_ = mousePoint_ = p;
        dragObjectId_ = row.objectId;
        dragLayerId_ = row.layerId;
        SetCapture();
    } else {
        ClickRow(row);
    }
}

void CLayerListWnd::OnMouseMove(unsigned flags, QPoint p) {
    mousePoint_ = p;
    const bool left = flags & MK_LBUTTON;
    if (scrollDragging_ && left) {
        scroll_ = LayerListThumbDragOffset(View(), scrollDragStartY_, scrollDragStartOffset_, p.y());
        update();
    } else if (rowPressed_ && left) {
        const QPoint d = p - pressPoint_;
        if (d.x() * d.x() + d.y() * d.y() > 16) rowDragging_ = true;
        update();
    } else if (rowDragging_) {
        update();
    }
}

void CLayerListWnd::ResetRowDrag() {
    rowPressed_ = rowDragging_ = false;
    dragObjectId_.clear();
    dragLayerId_.clear();
    ReleaseCapture();
    update();
}

void CLayerListWnd::OnLButtonUp(unsigned flags, QPoint p) {
    if (scrollDragging_) {
        scrollDragging_ = false;
        ReleaseCapture();
        return;
    }
    if (rowPressed_ && !rowDragging_) {
        LayerListRow row;
        row.kind = kRowObject;
        row.layerId = dragLayerId_;
        row.objectId = dragObjectId_;
        ResetRowDrag();
        // Ctrl as the click carried it, not as the keyboard is when it is handled.
        ClickRow(row, (flags & MK_CONTROL) != 0);
        return;
    }
    if (rowDragging_) {
        const std::string objectId = dragObjectId_;
        const LayerListDropTarget t = LayerListDropTargetAt(View(), p.y());
        ResetRowDrag();
        if (CQuillfenEditorDoc* doc = Document(); doc && t.valid) doc->MoveObjectToLayer(objectId, t.layerId, t.position);
        ClampAndRepaint();
    }
}

void CLayerListWnd::OnCaptureLost() {
    // A drag whose capture is taken away ends where the mouse was last seen.
    if (scrollDragging_) {
        scrollDragging_ = false;
        return;
    }
    if (rowPressed_ || rowDragging_) OnLButtonUp(0, mousePoint_);
}

void CLayerListWnd::OnLButtonDblClk(unsigned, QPoint p) {
    const LayerListRow row = HitTest(p);
    if (row.kind == kRowLayerHeader || row.kind == kRowExpander) {
        auto it = expanded_.find(row.layerId);
        expanded_[row.layerId] = !(it == expanded_.end() || it->second);
        ClampAndRepaint();
    } else if (row.kind == kRowCanvasDot || row.kind == kRowCanvas) {
        CQuillfenEditorDoc* doc = Document();
        if (!doc || !pickColor) return;
        uint32_t c = doc->mainScene.canvasColour;
        if ((c & 0xFFFFFF) == 0) c = 0xFFFFFFFF;
        const uint32_t shown = c;
        // OK on the colour the dialog opened with changes nothing.
        if (pickColor(c) && (c & 0xFFFFFF) != (shown & 0xFFFFFF)) doc->SetCanvasColor(0xFF000000u | (c & 0xFFFFFF));
    }
}

bool CLayerListWnd::OnMouseWheel(unsigned, int delta, QPoint) {
    // High-resolution wheels send parts of a notch: they add up to whole ones.
    const int notches = wheel_.Add(delta);
    scroll_ += -notches * 54;
    ClampAndRepaint();
    return true;
}

void CLayerListWnd::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Delete) {
        if (CQuillfenEditorDoc* doc = Document(); doc && doc->DeleteSelected()) {
            update();
            return;
        }
    }
    CWndBase::keyPressEvent(e);
}

void CLayerListWnd::Draw(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.fillRect(rect(), C(0xFF161A21));
    p.setFont(ListFont());
    CQuillfenEditorDoc* doc = Document();
    if (!doc) {
        p.setFont(UiFont(13));
        p.setPen(C(0xFF8B95A4));
        p.drawText(QRect(14, 14, 180, 24), Qt::AlignLeft | Qt::AlignTop, "No document");
        return;
    }
    const LayerListView v = View();
    const CanvasDocument& scene = doc->mainScene;
    const bool compact = v.compact;
    for (const LayerListBox& box : LayoutLayerList(v)) {
        const int x = box.box.left, y = box.box.top, w = box.box.Width(), h = box.box.Height();
        if (box.box.bottom < 0 || y > height()) continue;
        if (box.kind == LayerListBox::Header) {
            const Layer& l = *box.layer;
            p.fillRect(QRect(x, y, w, h), C(l.locked ? 0xFF5C373C : l.visible ? 0xFF2A323F : 0xFF34383E));
            Dot(p, QPointF(x + 10, y + 17), l.visible, 0xFF5B9DDC);
            Dot(p, QPointF(x + 28, y + 17), l.locked, 0xFFDC434A);
            QPainterPath tri;
            if (v.IsExpanded(l.id)) {
                tri.moveTo(x + 51, y + 13), tri.lineTo(x + 61, y + 13), tri.lineTo(x + 56, y + 21);
            } else {
                tri.moveTo(x + 53, y + 11), tri.lineTo(x + 61, y + 17), tri.lineTo(x + 53, y + 23);
            }
            tri.closeSubpath();
            p.fillPath(tri, C(0xFF8B95A4));
            const bool active = l.id == scene.activeLayerId;
            p.setPen(C(l.visible ? 0xFFE2E7EE : 0xFF8B95A4));
            const QRect nameBox(x + 70, y + 8, w - 76 - (active ? 18 : 0), 18);
            p.drawText(nameBox, Qt::AlignLeft | Qt::AlignVCenter,
                       p.fontMetrics().elidedText(QString::fromStdString(l.name), Qt::ElideRight, nameBox.width()));
            if (active) p.drawImage(QPointF(x + w - 22, y + 10), ActiveLayerGlyph(devicePixelRatioF()));
        } else if (box.kind == LayerListBox::Object) {
            CanvasObject& o = const_cast<CanvasObject&>(*box.object);
            const Layer& l = *box.layer;
            const bool selected =
                std::find(scene.selectedIds.begin(), scene.selectedIds.end(), o.id) != scene.selectedIds.end();
            const bool visible = l.visible && o.visible, locked = l.locked || o.locked;
            p.fillRect(QRect(x + 42, y, std::max(0, w - 42), h),
                       C(locked ? 0xFF5C373C : !visible ? 0xFF34383E : selected ? 0xFF446A9E : 0xFF222833));
            if (!selected && !hoverObjectId.empty() && hoverObjectId == o.id) {
                p.setPen(QPen(C(0xDC5693CF), 1.5));
                p.setBrush(Qt::NoBrush);
                p.drawRect(QRectF(x + 43, y + 1, std::max(0, w - 44), std::max(0, h - 2)));
            }
            Dot(p, QPointF(x + 10, y + h / 2.0), o.visible, 0xFF5B9DDC);
            Dot(p, QPointF(x + 28, y + h / 2.0), o.locked, 0xFFDC434A);
            if (o.clipToLayerBelow) {
                const double X = x + 56, cy = y + h / 2.0;
                QPen pen(C(0xFFE2E7EE), 1.2);
                pen.setCapStyle(Qt::RoundCap);
                p.setPen(pen);
                p.drawLine(QPointF(X - 3.5, cy - 5), QPointF(X, cy - 5));
                p.drawLine(QPointF(X, cy - 5), QPointF(X, cy + 5));
                p.drawLine(QPointF(X, cy + 5), QPointF(X - 2.5, cy + 2.5));
                p.drawLine(QPointF(X, cy + 5), QPointF(X + 2.5, cy + 2.5));
            }
            const int S = compact ? 48 : 90;
            const int L = x + 50 + (o.clipToLayerBelow ? 14 : 0);
            const QRect square(L, y + ((compact ? 56 : 106) - S) / 2, S, S);
            p.fillRect(square, C(0xFF12161D));
            ThumbnailSessionSource src;
            if (DocumentEditSession* s = ActiveSession(doc, o.id); s && !s->EditsMask()) {
                DocumentEditSession::WorkingSurface ws;
                if (s->GetWorkingSurface(ws) && !ws.premultiplied) src = {ws.pixels, ws.width, ws.height, ws.stride};
                if (src.pixels) o.caches.thumbsValid = false;  // follows the painting
            }
            UpdateObjectThumbnails(o, src, DevicePixels(90, devicePixelRatioF()));
            const QImage img = ToQImage(visible ? o.caches.thumb : o.caches.thumbDimmed);
            p.setRenderHint(QPainter::SmoothPixmapTransform, img.width() != int(square.width() * devicePixelRatioF()));
            if (!img.isNull()) p.drawImage(square, img);
            p.setRenderHint(QPainter::SmoothPixmapTransform, false);
            p.setPen(QPen(C(0xFF586273), 1));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(square).adjusted(0.5, 0.5, -0.5, -0.5));
            if (compact) {
                const int nx = L + S + 10;
                const QRect nameBox(nx, y + (h - 16) / 2, std::max(1, x + w - nx - 8), 18);
                p.setPen(C(visible ? 0xFFE2E7EE : 0xFF8B95A4));
                p.drawText(nameBox, Qt::AlignLeft | Qt::AlignVCenter,
                           p.fontMetrics().elidedText(QString::fromStdString(o.name), Qt::ElideRight, nameBox.width()));
            }
        } else if (box.kind == LayerListBox::Mask) {
            CanvasObject& o = const_cast<CanvasObject&>(*box.object);
            const Layer& l = *box.layer;
            const bool visible = l.visible && o.visible;
            const bool lit = !scene.selectedMaskObjectId.empty() && scene.selectedMaskObjectId == o.id;
            p.fillRect(QRect(x + 62, y, std::max(0, w - 62), h), C(lit ? 0xFF446A9E : 0xFF22262E));
            if (lit) {
                p.setPen(QPen(C(0xFFDC3C3C), 2));
                p.setBrush(Qt::NoBrush);
                p.drawRect(QRectF(x + 63, y + 1, std::max(0, w - 64), std::max(0, h - 2)));
            }
            const int S = compact ? 26 : 48;
            const QRect B(x + 70, y + (h - S) / 2, S, S);
            p.fillRect(B, C(0xFF16181C));
            if (BitmapPtr m = MaskThumbnail(o)) {
                QImage img = ToQImage(m);
                const double f = std::min(double(S) / std::max(1, img.height()), double(S) / std::max(1, img.width()));
                const QRectF fit(B.x() + (S - img.width() * f) / 2, B.y() + (S - img.height() * f) / 2,
                                 img.width() * f, img.height() * f);
                if (!visible) p.setOpacity(0.6);
                p.drawImage(fit, img);
                p.setOpacity(1);
            }
            p.setPen(QPen(C(0xFF586273), 1));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(B).adjusted(0.5, 0.5, -0.5, -0.5));
            p.setPen(C(visible ? 0xFFE2E7EE : 0xFF8B95A4));
            p.drawText(QRect(x + 80 + S, y + (h - 16) / 2, std::max(1, w - 80 - S - 8), 18),
                       Qt::AlignLeft | Qt::AlignVCenter, "Mask");
        } else {
            const uint32_t c = scene.canvasColour;
            const bool transparent = (c >> 24) == 0;
            RoundRect(p, QRectF(x, y, w, h), 8, C(transparent ? 0xFF34383E : 0xFF2A323F));
            Dot(p, QPointF(x + 10, y + 17), !transparent, 0xFF5B9DDC);
            const QRectF sw(x + 46, y + 7, 20, 20);
            if (transparent) {
                p.fillRect(sw, C(0xFF3C424C));
                p.fillRect(QRectF(sw.x(), sw.y(), 10, 10), C(0xFF5A6170));
                p.fillRect(QRectF(sw.x() + 10, sw.y() + 10, 10, 10), C(0xFF5A6170));
            } else {
                RoundRect(p, sw, 3, C(0xFF000000u | c));
            }
            p.setPen(QPen(C(0xB4586273), 1));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(sw, 3, 3);
            p.setPen(C(transparent ? 0xFF8B95A4 : 0xFFE2E7EE));
            p.drawText(QRect(x + 74, y + 8, std::max(1, w - 78), 18), Qt::AlignLeft | Qt::AlignVCenter, "Canvas");
        }
    }
    DrawDragFeedback(p, v);
    const LayerListScrollBar bar = LayerListScrollBarRects(v);
    if (bar.shown) {
        RoundRect(p, Q(bar.track), 4, C(0xFF232934));
        RoundRect(p, Q(bar.thumb), 5, C(0xFF637184));
    }
}

void CLayerListWnd::DrawDragFeedback(QPainter& p, const LayerListView& v) {
    if (!rowDragging_ || dragObjectId_.empty()) return;
    CQuillfenEditorDoc* doc = Document();
    CanvasObject* o = doc ? doc->mainScene.FindObject(dragObjectId_) : nullptr;
    if (!o) return;
    const int W = width(), my = mousePoint_.y();
    const LayerListDropTarget t = LayerListDropTargetAt(v, my);
    if (t.valid) {
        const int y = LayerListDropLineY(v, t);
        p.setPen(QPen(C(0xFF5B9DDC), 2));
        p.drawLine(10, y, W - 26, y);
        p.setPen(Qt::NoPen);
        p.setBrush(C(0xFF5B9DDC));
        p.drawEllipse(QRectF(6, y - 4, 8, 8));
        p.drawEllipse(QRectF(W - 30, y - 4, 8, 8));
    }
    const QRectF card(12, my - 28, std::max(120, W - 44), 56);
    QPainterPath path;
    path.addRoundedRect(card, 8, 8);
    p.fillPath(path, C(0xCD374455));
    p.setPen(QPen(QColor(117, 178, 235, 0xE6), 1));
    p.drawPath(path);
    const QRectF thumbBox(20, my - 21, 42, 42);
    RoundRect(p, thumbBox, 5, C(0xFF12161D));
    UpdateObjectThumbnails(*o, {}, DevicePixels(90, devicePixelRatioF()));
    const QImage img = ToQImage(o->caches.thumb);
    if (!img.isNull()) p.drawImage(thumbBox, img);
    p.setPen(QPen(C(0xFF6F7C8F), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(thumbBox, 5, 5);
    p.setPen(C(0xFFE2E7EE));
    p.drawText(QRectF(72, my - 9, card.width() - 70, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromStdString(o->name));
}
