#pragma once
// The double buffer every owner-drawn window paints through: an off-screen
// image of the area being repainted, drawn with the window's own client
// coordinates and copied to the window in one block when it goes out of scope.
#include <QImage>
#include <QPainter>
#include <QRect>

class QWidget;

class CMemDC2 {
public:
    // Buffers the part of the window given by clip (the paint event's
    // rectangle); an empty clip buffers nothing.
    CMemDC2(QWidget* target, const QRect& clip);
    ~CMemDC2();
    CMemDC2(const CMemDC2&) = delete;
    CMemDC2& operator=(const CMemDC2&) = delete;

    // Draws into the buffer in client coordinates.
    QPainter& Painter() { return painter_; }
    const QRect& Rect() const { return rect_; }
    const QImage& Image() const { return image_; }

private:
    QWidget* target_;
    QRect rect_;
    QImage image_;
    QPainter painter_;
};
