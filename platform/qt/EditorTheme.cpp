#include "platform/qt/EditorTheme.h"

#include <QApplication>
#include <QMenu>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

namespace {

// Fusion with menus drawn the way the editor's own menus are meant to look: a
// check mark beside a checked item and nothing beside an unchecked one (Fusion
// draws an empty box for every checkable item).
class EditorStyle : public QProxyStyle {
public:
    EditorStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if ((element == PE_IndicatorCheckBox || element == PE_IndicatorRadioButton) && qobject_cast<const QMenu*>(widget) &&
            !(option->state & State_On))
            return;
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

}  // namespace

QPalette EditorPalette() {
    const QColor window(0x22, 0x26, 0x2C), base(0x1A, 0x1D, 0x22), button(0x30, 0x35, 0x3D), text(0xDC, 0xE0, 0xE6);
    const QColor disabled(0x6A, 0x72, 0x7D), highlight(0x3C, 0x6E, 0xA8);
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0x26, 0x2A, 0x30));
    p.setColor(QPalette::ToolTipBase, QColor(0x2C, 0x30, 0x36));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabled);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(0xFF, 0x6B, 0x6B));
    // The bevel shades Fusion draws frames, check boxes and separators with.
    p.setColor(QPalette::Light, QColor(0x4A, 0x50, 0x5A));
    p.setColor(QPalette::Midlight, QColor(0x3C, 0x42, 0x4B));
    p.setColor(QPalette::Mid, QColor(0x2A, 0x2E, 0x35));
    p.setColor(QPalette::Dark, QColor(0x16, 0x18, 0x1C));
    p.setColor(QPalette::Shadow, QColor(0x0C, 0x0D, 0x10));
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, QColor(0xFF, 0xFF, 0xFF));
    p.setColor(QPalette::Link, QColor(0x6F, 0xA8, 0xDC));
    p.setColor(QPalette::LinkVisited, QColor(0x9A, 0x8F, 0xD6));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText})
        p.setColor(QPalette::Disabled, role, disabled);
    p.setColor(QPalette::Disabled, QPalette::Button, QColor(0x2A, 0x2E, 0x35));
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x3A, 0x3F, 0x47));
    return p;
}

void ApplyEditorTheme() {
    // Fusion draws every control from the palette, so the same dark colours
    // hold whatever desktop theme the user runs.
    QApplication::setStyle(new EditorStyle);
    QApplication::setPalette(EditorPalette());
}
