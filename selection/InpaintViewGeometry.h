#pragma once
// Where the crop lies in the inpaint view: the zoom, the image offset, the
// image rectangle on screen, the pixel under a pointer, fitting and zooming
// with the wheel. The view keeps these values; this needs no window.
//
// zoom counts client pixels per image pixel and ratio device pixels per client
// pixel. The limits count device pixels per image pixel, as on a DPI-aware
// program: a fit never enlarges past one image pixel per physical pixel, and
// the image rectangle starts and ends on physical pixels.
#include "platform/RectI.h"

struct InpaintViewGeometry {
    static constexpr float kMinZoom = 0.05f, kMaxZoom = 32.0f;

    float zoom = 1.0f;
    float offsetX = 0, offsetY = 0;  // client pixels
    float ratio = 1.0f;
    int imageW = 0, imageH = 0;

    float DisplayZoom() const { return zoom * ratio; }
    // (round(offset x ratio), round(size x zoom x ratio)) per axis, halves away
    // from zero: the image rectangle in device pixels.
    RectI DeviceImageRect() const;
    // The image pixel under client point (px, py); false outside the image or
    // when the image shows no pixel.
    bool ViewToImage(float px, float py, int& x, int& y) const;
    // Fits the image into a client of cw x ch with a 24-pixel margin, never
    // enlarging, and centres it; false (nothing changed) without an image or
    // client.
    bool Fit(int cw, int ch);
    // One wheel step about client point (px, py): x 1.15 in, / 1.15 out, within
    // the limits, keeping the image point under the pointer; false at a limit.
    bool WheelZoom(bool in, float px, float py);
};
