#include "posable/ui/CTestBonesDlg.h"

#include "platform/DeviceScale.h"
#include "posable/PoseEditorGeometry.h"
#include "posable/RuntimeScene.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>
#include <cmath>

CArticulationPreviewCanvasWnd::CArticulationPreviewCanvasWnd(QWidget* parent) : QWidget(parent) {
    setObjectName("ArticulationPreviewCanvas");
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CArticulationPreviewCanvasWnd::SetRig(const CanvasDocument& poseScene, const std::vector<JointLink>& userLinks) {
    BuildRuntimeDocument(poseScene, userLinks, scene_, links_, false);
    rig_.doc = &scene_;
    rig_.links = &links_;
    rig_.CaptureRest();
    dragging_ = false;
    grabbedId_.clear();
    grabbedEnd_ = 1;
    bounds_ = GetContentBounds();
    FitView();
    update();
}

RectF CArticulationPreviewCanvasWnd::GetContentBounds() const {
    bool any = false;
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    for (const Layer& layer : scene_.layers) {
        if (!layer.visible) continue;
        for (const CanvasObject& o : layer.objects) {
            if (!o.visible) continue;
            const double cx = o.x + o.width / 2.0, cy = o.y + o.height / 2.0;
            const double r = o.rotation * 3.14159265358979323846 / 180.0, c = std::cos(r), s = std::sin(r);
            for (int i = 0; i < 4; ++i) {
                const double dx = (i & 1 ? 0.5 : -0.5) * o.width, dy = (i & 2 ? 0.5 : -0.5) * o.height;
                const float px = float(cx + dx * c - dy * s), py = float(cy + dx * s + dy * c);
                x0 = any ? std::min(x0, px) : px;
                y0 = any ? std::min(y0, py) : py;
                x1 = any ? std::max(x1, px) : px;
                y1 = any ? std::max(y1, py) : py;
                any = true;
            }
        }
    }
    if (!any) return {0, 0, 1, 1};
    return {x0, y0, x1 - x0, y1 - y0};
}

void CArticulationPreviewCanvasWnd::FitView() {
    const float cw = float(width()), ch = float(height());
    const float w = std::max(bounds_.width, 1.0f), h = std::max(bounds_.height, 1.0f);
    zoom_ = std::max(std::min(std::max(cw - 48, 1.0f) / w, std::max(ch - 48, 1.0f) / h), 0.05f);
    offset_ = {(cw - zoom_ * w) / 2 - zoom_ * bounds_.x, (ch - zoom_ * h) / 2 - zoom_ * bounds_.y};
}

bool CArticulationPreviewCanvasWnd::HitTestJoint(PointF p, std::string& partId, int& end) const {
    partId.clear();
    end = 1;
    float best = 196;
    std::vector<const CanvasObject*> parts;
    for (const Layer& layer : scene_.layers)
        for (const CanvasObject& o : layer.objects)
            if (o.visible && o.bones.size() == 1) parts.push_back(&o);
    std::stable_sort(parts.begin(), parts.end(), [](const CanvasObject* a, const CanvasObject* b) { return a->z > b->z; });
    auto view = [&](PointF q) { return PointF{zoom_ * q.x + offset_.x, zoom_ * q.y + offset_.y}; };
    for (const CanvasObject* o : parts) {
        const Bone& b = o->bones.front();
        const PointF h = view(NormalizedToCanvas(*o, b.headX, b.headY));
        const PointF t = view(NormalizedToCanvas(*o, b.tailX, b.tailY));
        const float dh = (h.x - p.x) * (h.x - p.x) + (h.y - p.y) * (h.y - p.y);
        const float dt = (t.x - p.x) * (t.x - p.x) + (t.y - p.y) * (t.y - p.y);
        if (dh <= best) {
            partId = o->id;
            end = 0;
            best = dh;
        }
        if (dt < best) {
            partId = o->id;
            end = 1;
            best = dt;
        }
    }
    return !partId.empty();
}

bool CArticulationPreviewCanvasWnd::Press(PointF p) {
    std::string id;
    int end = 1;
    if (!HitTestJoint(p, id, end)) return false;
    dragging_ = true;
    grabbedId_ = id;
    grabbedEnd_ = end;
    return true;
}

void CArticulationPreviewCanvasWnd::DragTo(PointF p) {
    if (!dragging_) return;
    const CanvasObject* part = scene_.FindObject(grabbedId_);
    if (!part || part->bones.size() != 1) return;
    const PointF target{(p.x - offset_.x) / zoom_, (p.y - offset_.y) / zoom_};
    rig_.MoveJoint(JointLinkEnd{grabbedId_, part->bones.front().id, grabbedEnd_}, target);
    rig_.SatisfyLinks();
    FitView();
    update();
}

void CArticulationPreviewCanvasWnd::Release() {
    dragging_ = false;
    grabbedId_.clear();
}

float CArticulationPreviewCanvasWnd::DeviceRatio() const { return float(SaneRatio(devicePixelRatioF())); }

void CArticulationPreviewCanvasWnd::RenderToBackBuffer() {
    // Device pixels, so the parts' pixels meet physical ones; the view mapping
    // and the joint sizes are scaled onto them.
    const float r = DeviceRatio();
    const int w = std::max(DevicePixels(width(), r), 1), h = std::max(DevicePixels(height(), r), 1);
    if (backBuffer_.width != w || backBuffer_.height != h || !backBuffer_.pixels)
        if (!backBuffer_.Create(w, h)) return;
    RuntimeRig::Draw(RasterTarget::Of(backBuffer_), scene_, &rig_, zoom_ * r, {offset_.x * r, offset_.y * r},
                     RectF{0, 0, float(w), float(h)}, r);
}

void CArticulationPreviewCanvasWnd::paintEvent(QPaintEvent*) {
    RenderToBackBuffer();
    if (!backBuffer_.pixels) return;
    QImage image(backBuffer_.pixels, backBuffer_.width, backBuffer_.height, backBuffer_.Pitch(),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(DeviceRatio());
    QPainter p(this);
    p.drawImage(0, 0, image);
}

void CArticulationPreviewCanvasWnd::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    FitView();
}

void CArticulationPreviewCanvasWnd::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) Press({float(e->position().x()), float(e->position().y())});
}

void CArticulationPreviewCanvasWnd::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() & Qt::LeftButton) DragTo({float(e->position().x()), float(e->position().y())});
}

void CArticulationPreviewCanvasWnd::mouseReleaseEvent(QMouseEvent*) { Release(); }

CTestBonesDlg::CTestBonesDlg(const CanvasDocument& poseScene, const std::vector<JointLink>& poseLinks,
                             QWidget* parent)
    : QDialog(parent) {
    setWindowTitle("Articulation Preview");
    setFixedSize(716, 639);
    ok_ = new QPushButton("OK", this);
    ok_->setDefault(true);
    ok_->setGeometry(width() - 83, height() - 34, 75, 24);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    canvas_ = new CArticulationPreviewCanvasWnd(this);
    canvas_->setGeometry(8, 8, width() - 16, std::max(ok_->geometry().top() - 16, 1));
    canvas_->SetRig(poseScene, poseLinks);
}

void CTestBonesDlg::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    if (canvas_) {
        canvas_->setGeometry(8, 8, std::max(width() - 16, 1), std::max(ok_->geometry().top() - 16, 1));
        canvas_->FitView();
    }
}

void TestBonesDialogProvider::RunTestBonesDialog(const CanvasDocument& poseScene, const std::vector<JointLink>& links) {
    CTestBonesDlg dlg(poseScene, links, QApplication::activeWindow());
    dlg.exec();
}
