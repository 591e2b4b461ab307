#include "posable/ui/CPosableImageEditorView.h"

#include "document/CQuillfenEditorDoc.h"
#include "document/ClipboardFormats.h"
#include "posable/RuntimeRig.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

CPosableImageEditorView::CPosableImageEditorView(QWidget* parent) : CView(parent) {
    setObjectName("PosableImageEditorView");
}

void CPosableImageEditorView::RenderToBackBuffer() {
    const int w = std::max(width(), 1), h = std::max(height(), 1);
    if (backBuffer_.width != w || backBuffer_.height != h) {
        if (!backBuffer_.Create(w, h)) return;
    }
    CQuillfenEditorDoc* doc = GetDocument();
    RasterTarget target = RasterTarget::Of(backBuffer_);
    const RectF all{0, 0, float(w), float(h)};
    if (!doc || !doc->IsPoseEditorOpen()) {
        ClearTarget(target, 0xFF383C42);
        return;
    }
    // Fit the parts (not the whole working canvas) with a margin around them.
    CanvasDocument& scene = doc->poseScene;
    bool any = false;
    float minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (const Layer& layer : scene.layers)
        for (const CanvasObject& o : layer.objects) {
            if (!o.visible) continue;
            const SceneRect r = GetRotatedBounds(o);
            minX = any ? std::min(minX, r.x) : r.x;
            minY = any ? std::min(minY, r.y) : r.y;
            maxX = any ? std::max(maxX, r.x + r.width) : r.x + r.width;
            maxY = any ? std::max(maxY, r.y + r.height) : r.y + r.height;
            any = true;
        }
    if (!any) {
        minX = minY = 0;
        maxX = scene.width;
        maxY = scene.height;
    }
    const float spanX = std::max(maxX - minX, 1.0f) * 1.2f, spanY = std::max(maxY - minY, 1.0f) * 1.2f;
    const float zoom = std::clamp(std::min(w / spanX, h / spanY), 0.1f, 8.0f);
    const PointF offset{w / 2.0f - zoom * (minX + maxX) / 2, h / 2.0f - zoom * (minY + maxY) / 2};
    RuntimeRig::Draw(target, scene, nullptr, zoom, offset, all);
}

void CPosableImageEditorView::paintEvent(QPaintEvent*) {
    RenderToBackBuffer();
    if (!backBuffer_.pixels) return;
    QPainter p(this);
    p.drawImage(0, 0,
                QImage(backBuffer_.pixels, backBuffer_.width, backBuffer_.height, backBuffer_.Pitch(),
                       QImage::Format_ARGB32_Premultiplied));
}
