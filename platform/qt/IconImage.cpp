#include "platform/qt/IconImage.h"

#include "platform/DeviceScale.h"

QImage ToQImage(const BitmapPtr& b) {
    if (!b || b->Width() <= 0 || b->Height() <= 0) return {};
    return QImage(b->Row(0), b->Width(), b->Height(), b->Stride(), QImage::Format_ARGB32).copy();
}

QImage DisabledIcon(const QImage& src) {
    QImage img = src.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = row[x];
            const int g = std::min(255, int(0.299 * qRed(p) + 0.587 * qGreen(p) + 0.114 * qBlue(p)));
            row[x] = qRgba(g, g, g, int(qAlpha(p) * 0.45));
        }
    }
    return img;
}

QImage ScaledIconImage(IconStore& store, const IconRequest& icon, int height, qreal ratio) {
    const double r = SaneRatio(ratio);
    QImage image = ToQImage(store.Scaled(icon, DevicePixels(height, r)));
    if (!image.isNull()) image.setDevicePixelRatio(r);
    return image;
}

QSizeF ClientSize(const QImage& image) { return image.deviceIndependentSize(); }
