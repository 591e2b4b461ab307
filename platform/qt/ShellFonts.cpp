#include "platform/qt/ShellFonts.h"

QFont UiFont(int pixelSize, int weight) {
    QFont f;
    f.setFamilies(QStringList{QStringLiteral("Segoe UI"), QStringLiteral("DejaVu Sans")});
    f.setPixelSize(pixelSize > 0 ? pixelSize : 1);
    f.setWeight(QFont::Weight(weight));
    return f;
}
