#pragma once
// Icons on screen: a 32-bit B, G, R, A bitmap (straight alpha) as a QImage,
// and its greyed, faded form for disabled buttons.
#include "platform/Bitmap.h"

#include <QImage>

// A copy of the bitmap; a null image for a null bitmap.
QImage ToQImage(const BitmapPtr& bitmap);
// Grey (0.299 R + 0.587 G + 0.114 B) at 45 % of the alpha.
QImage DisabledIcon(const QImage& image);
