#pragma once
// Icons on screen: a 32-bit B, G, R, A bitmap (straight alpha) as a QImage,
// and its greyed, faded form for disabled buttons.
#include "platform/Bitmap.h"
#include "platform/IconStore.h"

#include <QImage>
#include <QSizeF>

// A copy of the bitmap; a null image for a null bitmap.
QImage ToQImage(const BitmapPtr& bitmap);
// Grey (0.299 R + 0.587 G + 0.114 B) at 45 % of the alpha.
QImage DisabledIcon(const QImage& image);

// The icon height client pixels tall at the screen's resolution: scaled from
// its source to the device pixels that height covers and marked with the
// ratio, so it paints sharp at the same client size. Null when there is none.
QImage ScaledIconImage(IconStore& store, const IconRequest& icon, int height, qreal ratio);
// An image's size in client pixels (its pixel size over its device pixel ratio).
QSizeF ClientSize(const QImage& image);
