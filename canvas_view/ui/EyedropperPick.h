#pragma once
// The eyedropper: one pick per process, started by a view's press and ended
// by its release. While it lasts the mouse cursor is hidden, the views leave
// out their tool overlays, and a round loupe follows the pointer showing the
// 11 x 11 pixels around it enlarged ten times, with the colour under the
// pointer in the upper half of its ring and the paint colour from before the
// press in the lower half. The release makes the centre colour the paint
// colour.
//
// The screen is photographed once, at the press, before the loupe shows, so
// the loupe never samples itself. Where the window system gives no picture
// of the screen (offscreen, or a display that refuses), the view that
// started the pick supplies its displayed composite instead.
#include "canvas_view/EyedropperColor.h"

#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>

class CompositeSurface;
class DocumentHost;

// Fills a snapshot from what a view displays; false when it has nothing.
using LoupeSnapshotFallback = std::function<bool(LoupeSnapshot&)>;

// The fallback of a view that shows a premultiplied back buffer: `render`
// brings the buffer up to date, which is then read at the view's screen
// position.
LoupeSnapshotFallback BackBufferSnapshot(QWidget* view, const CompositeSurface& backBuffer,
                                         std::function<void()> render);

// The magnifier window: frameless, topmost, never activated and transparent
// to the mouse.
class CColorPickerLoupe : public QWidget {
    Q_OBJECT
public:
    CColorPickerLoupe();

    // The whole virtual screen, photographed; fallback when that fails.
    void CaptureScreen(const LoupeSnapshotFallback& fallback = {});
    // Samples around a screen point, moves the window there (kept on the
    // screen) and renders.
    void MoveTo(QPoint screenPoint);
    void Render();
    // The area the loupe may cover, in screen coordinates (at least 1 x 1).
    static QRect VirtualScreenArea();

    QPoint lastPoint;
    LoupeSamples samples;
    uint32_t picked = 0xFF000000u;    // the centre sample
    uint32_t previous = 0xFF000000u;  // the paint colour when the pick began
    bool shown = false;
    LoupeSnapshot snapshot;
    const QImage& Image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QImage image_;
};

class EyedropperPick {
public:
    static EyedropperPick& Instance();
    // The process-wide picking-active flag.
    static bool IsActive();

    // The loupe, made on first use; it lives until the application quits.
    CColorPickerLoupe* EnsureLoupe();
    CColorPickerLoupe* Loupe() const { return loupe_; }

    // Starts a pick at a screen point. host gives the paint colour (null: no
    // main frame); view is repainted without its overlays before the
    // photograph; fallback stands in for a screen that cannot be read.
    void Begin(QPoint screenPoint, DocumentHost* host, QWidget* view, const LoupeSnapshotFallback& fallback = {});
    // Follows the pointer; the pick's colour becomes the loupe's.
    void MoveTo(QPoint screenPoint);
    // Ends a pick in progress: the loupe hides, the overlays come back and
    // the picked colour becomes the paint colour through host.
    void End(DocumentHost* host, QWidget* view);

    // 0xFFRRGGBB of the last sample.
    uint32_t PickedColour() const { return picked_; }

private:
    EyedropperPick() = default;
    QPointer<CColorPickerLoupe> loupe_;
    uint32_t picked_ = 0xFF000000u;
    bool active_ = false;
    bool cursorHidden_ = false;
};
