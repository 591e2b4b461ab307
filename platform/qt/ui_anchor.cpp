// Keeps the editor_ui library non-empty; the windows of the UI live beside it.
namespace platform_qt { int ui_anchor = 0; }
