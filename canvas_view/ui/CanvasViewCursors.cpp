#include "canvas_view/ui/CanvasViewCursors.h"

#include "canvas_view/CanvasCursors.h"

#include <QImage>
#include <QPixmap>

const QCursor& EyedropperCursor() {
    static const QCursor cursor = [] {
        const BitmapPtr bmp = BuildEyedropperCursorBitmap();
        if (!bmp) return QCursor(Qt::CrossCursor);
        const QImage img(bmp->Data(), bmp->Width(), bmp->Height(), bmp->Stride(), QImage::Format_ARGB32);
        const QPixmap pixmap = QPixmap::fromImage(img.copy());
        if (pixmap.isNull()) return QCursor(Qt::CrossCursor);
        return QCursor(pixmap, kEyedropperHotX, kEyedropperHotY);
    }();
    return cursor;
}
