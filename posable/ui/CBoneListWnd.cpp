#include "posable/ui/CBoneListWnd.h"

#include "document/CQuillfenEditorDoc.h"
#include "platform/qt/ShellFonts.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
QColor C(uint32_t argb) { return QColor::fromRgba(argb); }

void Dot(QPainter& p, QPointF c, uint32_t fill) {
    p.setPen(QPen(C(0xFF101319), 1));
    p.setBrush(C(fill));
    p.drawEllipse(c, 5, 5);
}

QPainterPath Rounded(const QRectF& r, double radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

void Text(QPainter& p, const QRectF& r, const QFont& font, uint32_t colour, const std::string& text,
          int align = Qt::AlignLeft | Qt::AlignVCenter) {
    p.setFont(font);
    p.setPen(C(colour));
    const QString s = QFontMetrics(font).elidedText(QString::fromStdString(text), Qt::ElideRight, int(r.width()));
    p.drawText(r, align, s);
}
}  // namespace

CBoneListWnd::CBoneListWnd(QWidget* parent) : CDocumentListWnd(parent, 1003, kRepaintTimer) {
    setObjectName("Bone List");
    setCursor(Qt::ArrowCursor);
}

CanvasDocument* CBoneListWnd::Scene() const {
    // The document's edits act on the scene in use, which is the Pose Editor
    // scene only while the Pose Editor workspace is the current one.
    CQuillfenEditorDoc* doc = Document();
    return doc && doc->IsPoseEditorOpen() ? &doc->poseScene : nullptr;
}

BoneListView CBoneListWnd::View() const {
    BoneListView v;
    v.scene = Scene();
    v.expanded = &expanded_;
    v.scroll = scroll_;
    v.width = width();
    v.height = height();
    return v;
}

int CBoneListWnd::ClampScroll(int offset) const { return View().ClampScroll(offset); }

void CBoneListWnd::ToggleExpanded(const std::string& partId) {
    if (partId.empty()) return;
    auto it = expanded_.find(partId);
    expanded_[partId] = !(it == expanded_.end() || it->second);
}

void CBoneListWnd::OnRowClick(const BoneListHit& hit) {
    CQuillfenEditorDoc* doc = Document();
    CanvasDocument* scene = Scene();
    if (!doc || !scene) return;
    switch (hit.kind) {
    case kBoneHitPartHeader:
        if (hit.partId.empty()) break;
        scene->SelectObject(hit.partId);
        doc->ClearBoneSelection();
        doc->UpdateAllViews();
        update();
        break;
    case kBoneHitArrow:
        ToggleExpanded(hit.partId);
        ClampAndRepaint();
        break;
    case kBoneHitVisible:
        // A display switch of the editing session: not an edit of the object.
        if (CanvasObject* o = scene->FindObject(hit.partId)) {
            o->visible = !o->visible;
            o->InvalidateCaches();
            doc->UpdateAllViews();
        }
        update();
        break;
    case kBoneHitLock:
        if (CanvasObject* o = scene->FindObject(hit.partId)) {
            o->locked = !o->locked;
            doc->UpdateAllViews();
        }
        update();
        break;
    case kBoneHitBone:
        scene->SelectObject(hit.partId);
        if (doc->activeTool == kToolSelectMoveJoint) {
            doc->SetBoneSelection(hit.partId, hit.boneId, 1);
        } else {
            doc->boneSelection.objectId = hit.partId;
            doc->boneSelection.boneId = hit.boneId;
            doc->boneSelection.selected = false;
            doc->boneSelection.handleIndex = 1;
            doc->UpdateAllViews();
            doc->RefreshPropertiesPane();
        }
        update();
        break;
    default: break;
    }
}

void CBoneListWnd::OnLButtonDown(unsigned, QPoint p) {
    setFocus(Qt::MouseFocusReason);
    mousePoint_ = p;
    const BoneListHit hit = HitTestRow(p);
    if (hit.kind == kBoneHitScrollBar) {
        thumbDragging_ = true;
        thumbStartY_ = p.y();
        thumbStartOffset_ = scroll_;
        SetCapture();
    } else if (hit.kind == kBoneHitPartHeader) {
        // The part is selected at button up, unless the press becomes a drag.
        headerPressed_ = true;
        partDragging_ = false;
        pressPoint_ = p;
        pressedPartId_ = hit.partId;
        SetCapture();
    } else {
        OnRowClick(hit);
    }
}

void CBoneListWnd::OnMouseMove(unsigned flags, QPoint p) {
    mousePoint_ = p;
    const bool left = flags & MK_LBUTTON;
    if (thumbDragging_ && left) {
        scroll_ = BoneListThumbDragOffset(View(), thumbStartY_, thumbStartOffset_, p.y());
        update();
        return;
    }
    if (headerPressed_ && left) {
        const QPoint d = p - pressPoint_;
        if (d.x() * d.x() + d.y() * d.y() > 16) partDragging_ = true;
    }
    if (headerPressed_ || partDragging_) update();
}

void CBoneListWnd::EndPress() {
    headerPressed_ = partDragging_ = false;
    pressedPartId_.clear();
    ReleaseCapture();
    update();
}

void CBoneListWnd::OnLButtonUp(unsigned, QPoint p) {
    mousePoint_ = p;
    if (thumbDragging_) {
        thumbDragging_ = false;
        ReleaseCapture();
        return;
    }
    if (!headerPressed_ && !partDragging_) return;
    const std::string partId = pressedPartId_;
    const bool dragged = partDragging_;
    EndPress();
    if (!dragged) {
        OnRowClick({kBoneHitPartHeader, partId, {}});
        return;
    }
    CQuillfenEditorDoc* doc = Document();
    if (!doc || partId.empty()) return;
    const BoneListView v = View();
    const BoneListDropTarget t = BoneListDropTargetAt(v, BoneListDropIndexAt(v, p.y()));
    if (t.valid) doc->MoveObjectToLayer(partId, t.layerId, t.position);
    ClampAndRepaint();
}

void CBoneListWnd::OnCaptureLost() {
    // Capture taken away mid-gesture (another window, a dialog): the gesture
    // ends as a release at the last known point would, so what the user saw
    // (the insertion line, the pressed header) is what happens.
    if (thumbDragging_ || headerPressed_ || partDragging_) OnLButtonUp(0, mousePoint_);
}

void CBoneListWnd::OnLButtonDblClk(unsigned, QPoint p) {
    const BoneListHit hit = HitTestRow(p);
    if (hit.kind != kBoneHitPartHeader && hit.kind != kBoneHitArrow) return;
    if (!Scene()) return;
    ToggleExpanded(hit.partId);
    ClampAndRepaint();
}

bool CBoneListWnd::OnMouseWheel(unsigned, int delta, QPoint) {
    scroll_ = View().ClampScroll(scroll_ + wheel_.Add(delta));
    update();
    return true;
}

void CBoneListWnd::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Delete) {
        if (CQuillfenEditorDoc* doc = Document(); doc && Scene()) {
            // Refuses a locked part, a bone other bones hang from and an empty selection.
            doc->OnDeleteBone();
            ClampAndRepaint();
        }
        return;
    }
    CWndBase::keyPressEvent(e);
}

void CBoneListWnd::Draw(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.fillRect(rect(), C(0xFF161A21));
    CQuillfenEditorDoc* doc = Document();
    const BoneListView v = View();
    if (!doc || !v.scene) {
        Text(p, QRectF(14, 14, std::max(1, width() - 28), 24), UiFont(12), 0xFF8B95A4, "No posable object active",
             Qt::AlignLeft | Qt::AlignTop);
        return;
    }
    const int H = height();
    for (const BoneListBox& row : LayoutBoneList(v)) {
        if (row.box.bottom < 0 || row.box.top > H) continue;
        const std::string& partId = row.part.part->id;
        if (row.kind == BoneListBox::Header) {
            DrawPartRow(p, row, v.scene->IsSelected(partId), v.IsExpanded(partId));
        } else if (row.kind == BoneListBox::NoBones) {
            Text(p, QRectF(row.box.left, row.box.top, row.box.Width(), row.box.Height()), UiFont(11), 0xFF8B95A4,
                 "no bones");
        } else {
            const BoneSelection& sel = doc->boneSelection;
            DrawBoneRow(p, row, sel.objectId == partId && sel.boneId == row.bone->id);
        }
    }
    const BoneListScrollBar bar = BoneListScrollBarRects(v);
    if (bar.shown) {
        const RectI& t = bar.track;
        const RectI& k = bar.thumb;
        p.fillPath(Rounded(QRectF(t.left, t.top, t.Width(), t.Height()), 4), C(0xFF232934));
        p.fillPath(Rounded(QRectF(k.left, k.top, k.Width(), k.Height()), 5), C(0xFF637184));
    }
    DrawDragFeedback(p, v);
}

void CBoneListWnd::DrawPartRow(QPainter& p, const BoneListBox& row, bool selected, bool expanded) {
    const CanvasObject& o = *row.part.part;
    const int x = row.box.left, y = row.box.top, w = row.box.Width(), h = row.box.Height();
    const double cy = y + h / 2;
    const uint32_t back = o.locked ? 0xFF5C373C : !o.visible ? 0xFF34383E : selected ? 0xFF446A9E : 0xFF2A323F;
    p.fillRect(QRect(x, y, w, h), C(back));
    Dot(p, QPointF(x + 10, cy), o.visible ? 0xFF5B9DDC : 0xFF404754);
    Dot(p, QPointF(x + 30, cy), o.locked ? 0xFFDC434A : 0xFF404754);
    QPainterPath tri;
    if (expanded) {
        tri.moveTo(x + 45, cy - 4), tri.lineTo(x + 55, cy - 4), tri.lineTo(x + 50, cy + 4);
    } else {
        tri.moveTo(x + 47, cy - 5), tri.lineTo(x + 55, cy), tri.lineTo(x + 47, cy + 5);
    }
    tri.closeSubpath();
    p.fillPath(tri, C(0xFF8B95A4));
    const bool badge = !o.bones.empty();
    // The name stops short of the bone-count badge.
    const int nameWidth = std::max(1, w - 68 - (badge ? 24 : 0));
    Text(p, QRectF(x + 64, y + 8, nameWidth, 20), UiFont(12, QFont::DemiBold), o.visible ? 0xFFE2E7EE : 0xFF8B95A4,
         o.name);
    if (badge) {
        const int bx = x + w - 24, by = y + (h - 16) / 2;
        p.fillPath(Rounded(QRectF(bx, by, 20, 16), 4), C(0xFF947A36));
        Text(p, QRectF(bx, by + 1, 20, 14), UiFont(10), 0xFFFFDC78, std::to_string(o.bones.size()),
             Qt::AlignHCenter | Qt::AlignVCenter);
    }
}

void CBoneListWnd::DrawBoneRow(QPainter& p, const BoneListBox& row, bool selected) {
    const Bone& b = *row.bone;
    const int x = row.box.left, y = row.box.top, w = row.box.Width(), h = row.box.Height();
    const double cy = y + h / 2.0;
    const bool child = b.hasParent;
    p.fillRect(QRect(x, y, w, h), C(selected ? 0xFF464F5C : child ? 0xFF1A202A : 0xFF1E242F));
    QPainterPath diamond;
    diamond.moveTo(x + 8, cy - 4.5), diamond.lineTo(x + 12.5, cy), diamond.lineTo(x + 8, cy + 4.5),
        diamond.lineTo(x + 3.5, cy);
    diamond.closeSubpath();
    p.fillPath(diamond, C(child ? 0xFF947A36 : 0xFFD2AF50));
    // The name stops short of the tags at the right end.
    const int tags = (child ? 16 : 0) + (b.stretchable ? 16 : 0);
    Text(p, QRectF(x + 16, y + 4, std::max(1, w - 20 - tags), 16), UiFont(11),
         selected || !child ? 0xFFE2E7EE : 0xFF8B95A4, b.name);
    if (child)
        Text(p, QRectF(x + w - 14, y + 6, 12, 12), UiFont(9), 0xB45B9DDC, b.parentEnd == 0 ? "H" : "T",
             Qt::AlignLeft | Qt::AlignTop);
    if (b.stretchable) {
        const QRectF s(x + w - (child ? 30 : 16), y + 5, 12, 12);
        p.fillPath(Rounded(s, 3), C(0xFFC47E2A));
        Text(p, s, UiFont(8, QFont::Bold), 0xFFFFF4DC, "S", Qt::AlignCenter);
    }
}

void CBoneListWnd::DrawDragFeedback(QPainter& p, const BoneListView& v) {
    if (!partDragging_ || pressedPartId_.empty() || !v.scene) return;
    const CanvasObject* o = v.scene->FindObject(pressedPartId_);
    if (!o) return;
    const int W = width(), my = mousePoint_.y();
    const int index = BoneListDropIndexAt(v, my);
    if (index >= 0) {
        const int yi = BoneListDropLineY(v, index);
        p.setPen(QPen(C(0xFF5B9DDC), 2));
        p.drawLine(10, yi, W - 26, yi);
        p.setPen(Qt::NoPen);
        p.setBrush(C(0xFF5B9DDC));
        p.drawEllipse(QPointF(10, yi), 4, 4);
        p.drawEllipse(QPointF(W - 26, yi), 4, 4);
    }
    const int gw = std::max(W - 36, 1);
    const QPainterPath ghost = Rounded(QRectF(8, my - 21, gw, 42), 6);
    p.fillPath(ghost, C(0xC8374455));
    p.setPen(QPen(C(0xC85B9DDC), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(ghost);
    Text(p, QRectF(24, my - 13, std::max(gw - 20, 1), 20), UiFont(12, QFont::DemiBold), 0xFFE2E7EE, o->name);
}
