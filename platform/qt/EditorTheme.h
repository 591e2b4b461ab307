#pragma once
// The editor's one dark look for everything Qt draws itself: dialogs, message
// boxes, the file dialogs, menus, pop-ups, tool tips. The editor's own windows
// paint their colours directly; this makes the stock widgets match them.
#include <QPalette>

QPalette EditorPalette();
// Sets the Fusion style and the palette on the
// application. Call once, after the QApplication exists.
void ApplyEditorTheme();
