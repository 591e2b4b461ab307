#include "platform/qt/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <cstdint>
#include <cstring>

namespace {
bool IsBitmapFormat(const std::string& f) {
    return f == "CF_DIBV5" || f == "CF_DIB" || f == "CF_BITMAP";
}
}  // namespace

std::string QtClipboard::MimeTypeOf(const std::string& format) {
    if (format == "PNG") return "image/png";
    if (IsBitmapFormat(format)) return {};
    return format;
}

bool QtClipboard::Empty() {
    QClipboard* cb = QGuiApplication::clipboard();
    if (!cb) return false;
    cb->clear();
    return true;
}

bool QtClipboard::SetData(const std::string& format, const std::vector<uint8_t>& bytes) {
    QClipboard* cb = QGuiApplication::clipboard();
    if (!cb || format.empty()) return false;
    auto* data = new QMimeData;
    const std::string mime = MimeTypeOf(format);
    if (mime.empty()) {
        QImage image;
        // The image reader takes an int length: a larger buffer is refused, not cut short.
        if (bytes.size() > size_t(INT32_MAX) || !image.loadFromData(bytes.data(), int(bytes.size()))) {
            delete data;
            return false;
        }
        data->setImageData(image);
    } else {
        data->setData(QString::fromStdString(mime),
                      QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
    }
    cb->setMimeData(data);  // takes ownership and replaces everything offered before
    return true;
}

bool QtClipboard::GetData(const std::string& format, std::vector<uint8_t>& out) const {
    const QClipboard* cb = QGuiApplication::clipboard();
    const QMimeData* data = cb ? cb->mimeData() : nullptr;
    const std::string mime = MimeTypeOf(format);
    if (!data || mime.empty()) return false;
    const QString type = QString::fromStdString(mime);
    if (!data->hasFormat(type)) return false;
    QByteArray bytes = data->data(type);
    out.assign(bytes.begin(), bytes.end());
    return true;
}

bool QtClipboard::HasFormat(const std::string& format) const {
    const QClipboard* cb = QGuiApplication::clipboard();
    const QMimeData* data = cb ? cb->mimeData() : nullptr;
    if (!data) return false;
    const std::string mime = MimeTypeOf(format);
    if (mime.empty()) return data->hasImage();
    return data->hasFormat(QString::fromStdString(mime));
}

BitmapPtr QtClipboard::GetImage() const {
    const QClipboard* cb = QGuiApplication::clipboard();
    const QMimeData* data = cb ? cb->mimeData() : nullptr;
    if (!data || !data->hasImage()) return nullptr;
    QImage image = qvariant_cast<QImage>(data->imageData());
    if (image.isNull() || !BitmapSizeAllowed(image.width(), image.height())) return nullptr;
    // Format_ARGB32 is straight alpha with B, G, R, A bytes on little-endian machines.
    image = image.convertToFormat(QImage::Format_ARGB32);
    BitmapPtr out = Bitmap::Create(image.width(), image.height());
    if (!out) return nullptr;
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(out->Row(y), image.constScanLine(y), size_t(image.width()) * 4);
    return out;
}
