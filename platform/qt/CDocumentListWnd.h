#pragma once
// The shell the right pane's document lists share (the layer list and the
// bone list): where a list finds the active document, a scroll offset kept
// within what its rows allow, a repaint timer that follows changes made
// elsewhere, and a double-buffered paint of the rows.
#include "platform/qt/WindowBase.h"

#include <functional>

class CQuillfenEditorDoc;
class QPainter;

class CDocumentListWnd : public CWndBase {
    Q_OBJECT
public:
    CDocumentListWnd(QWidget* parent, int controlId, int repaintTimer);
    ~CDocumentListWnd() override;

    // Where the list finds the active document (null: none).
    std::function<CQuillfenEditorDoc*()> documentSource;
    CQuillfenEditorDoc* Document() const { return documentSource ? documentSource() : nullptr; }

    int ScrollOffset() const { return scroll_; }
    void SetScrollOffset(int offset);
    void OnTimer(int id) override;

protected:
    // The offset the rows allow nearest to offset.
    virtual int ClampScroll(int offset) const = 0;
    virtual void Draw(QPainter& p) = 0;
    void ClampAndRepaint();
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

    int scroll_ = 0;

private:
    int repaintTimer_;
};
