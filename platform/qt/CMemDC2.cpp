#include "platform/qt/CMemDC2.h"

#include <QWidget>

CMemDC2::CMemDC2(QWidget* target, const QRect& clip) : target_(target), rect_(clip) {
    if (rect_.isEmpty()) return;
    const qreal ratio = target_ ? target_->devicePixelRatioF() : 1.0;
    image_ = QImage(QSize(int(rect_.width() * ratio + 0.5), int(rect_.height() * ratio + 0.5)),
                    QImage::Format_ARGB32_Premultiplied);
    if (image_.isNull()) return;
    image_.setDevicePixelRatio(ratio);
    image_.fill(Qt::transparent);
    painter_.begin(&image_);
    painter_.translate(-rect_.topLeft());
}

CMemDC2::~CMemDC2() {
    if (!painter_.isActive()) return;
    painter_.end();
    if (!target_) return;
    QPainter screen(target_);
    screen.setClipRect(rect_);
    screen.drawImage(rect_.topLeft(), image_);
}
