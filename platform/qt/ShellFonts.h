#pragma once
// The interface font: "Segoe UI" where it is installed, else "DejaVu Sans",
// sized in pixels.
#include <QFont>
#include <QStringList>

QFont UiFont(int pixelSize, int weight = QFont::Normal);
