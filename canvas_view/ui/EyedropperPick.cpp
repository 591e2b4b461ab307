#include "canvas_view/ui/EyedropperPick.h"

#include "document/DocumentHost.h"
#include "platform/CompositeSurface.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <QScreen>

#include <algorithm>
#include <cstring>

namespace {
// The paint colour when the colour wheel does not exist.
constexpr uint32_t kDefaultPaintColour = 0xFF1E74AA;
}  // namespace

// --- Loupe window ---

CColorPickerLoupe::CColorPickerLoupe()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput),
      image_(kLoupeSize, kLoupeSize, QImage::Format_ARGB32_Premultiplied) {
    setObjectName("ColorPickerLoupe");
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(kLoupeSize, kLoupeSize);
    // Without a compositor the transparent corners would show black: the
    // window is cut to its disc.
    if (QGuiApplication::platformName() != "offscreen")
        setMask(QRegion(0, 0, kLoupeSize, kLoupeSize, QRegion::Ellipse));
    image_.fill(Qt::transparent);
}

QRect CColorPickerLoupe::VirtualScreenArea() {
    QScreen* screen = QGuiApplication::primaryScreen();
    QRect r = screen ? screen->virtualGeometry() : QRect();
    if (r.width() < 1) r.setWidth(1);
    if (r.height() < 1) r.setHeight(1);
    return r;
}

void CColorPickerLoupe::CaptureScreen(const LoupeSnapshotFallback& fallback) {
    snapshot = LoupeSnapshot{};
    const QRect area = VirtualScreenArea();
    bool grabbed = false;
    // The offscreen platform can only hand back single windows, never the
    // screen; the fallback serves it.
    if (QGuiApplication::platformName() != "offscreen") {
        QImage shot(area.size(), QImage::Format_RGB32);
        shot.fill(Qt::black);
        QPainter p(&shot);
        for (QScreen* s : QGuiApplication::screens()) {
            const QPixmap pm = s->grabWindow(0);
            if (pm.isNull()) continue;
            p.drawPixmap(QRect(s->geometry().topLeft() - area.topLeft(), s->geometry().size()), pm);
            grabbed = true;
        }
        p.end();
        if (grabbed) {
            snapshot.left = area.left();
            snapshot.top = area.top();
            snapshot.width = shot.width();
            snapshot.height = shot.height();
            snapshot.pixels.resize(size_t(shot.width()) * size_t(shot.height()));
            for (int y = 0; y < shot.height(); ++y)
                std::memcpy(snapshot.pixels.data() + size_t(y) * size_t(shot.width()), shot.constScanLine(y),
                            size_t(shot.width()) * 4);
        }
    }
    if (!grabbed && fallback && !fallback(snapshot)) snapshot = LoupeSnapshot{};
}

void CColorPickerLoupe::MoveTo(QPoint p) {
    lastPoint = p;
    samples = SampleLoupe(snapshot, p.x(), p.y());
    picked = samples.Centre();
    const QRect area = VirtualScreenArea();
    const LoupePlace place = PlaceLoupe(p.x(), p.y(), area.left(), area.top(), area.width(), area.height());
    move(place.left, place.top);
    Render();
}

void CColorPickerLoupe::Render() {
    // The image's rows are exactly kLoupeSize words wide.
    RenderLoupe(samples, picked, previous, reinterpret_cast<uint32_t*>(image_.bits()));
    update();
}

void CColorPickerLoupe::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, image_);
}

// --- The pick ---

EyedropperPick& EyedropperPick::Instance() {
    static EyedropperPick pick;
    return pick;
}

bool EyedropperPick::IsActive() { return Instance().active_; }

CColorPickerLoupe* EyedropperPick::EnsureLoupe() {
    if (loupe_ || !QApplication::instance()) return loupe_;
    loupe_ = new CColorPickerLoupe();
    // A top-level window outlives no application: it goes when the program quits.
    QObject::connect(QApplication::instance(), &QCoreApplication::aboutToQuit, loupe_.data(),
                     [l = loupe_.data()] { delete l; });
    return loupe_;
}

void EyedropperPick::Begin(QPoint screenPoint, DocumentHost* host, QWidget* view,
                           const LoupeSnapshotFallback& fallback) {
    CColorPickerLoupe* loupe = EnsureLoupe();
    if (host && loupe) {
        uint32_t argb = kDefaultPaintColour;
        if (!host->GetPaintColour(argb)) argb = kDefaultPaintColour;
        loupe->previous = 0xFF000000u | argb;
        loupe->Render();
    }
    active_ = true;
    if (!cursorHidden_) {
        QGuiApplication::setOverrideCursor(Qt::BlankCursor);
        cursorHidden_ = true;
    }
    // The overlays leave the view before the screen is photographed.
    if (view) view->repaint();
    if (!loupe) return;
    loupe->CaptureScreen(fallback);
    loupe->MoveTo(screenPoint);
    loupe->show();
    loupe->shown = true;
    picked_ = loupe->picked;
}

void EyedropperPick::MoveTo(QPoint screenPoint) {
    if (!active_ || !loupe_) return;
    loupe_->MoveTo(screenPoint);
    picked_ = loupe_->picked;
}

void EyedropperPick::End(DocumentHost* host, QWidget* view) {
    if (!active_) return;
    if (loupe_) {
        loupe_->hide();
        loupe_->shown = false;
    }
    active_ = false;
    if (cursorHidden_) {
        QGuiApplication::restoreOverrideCursor();
        cursorHidden_ = false;
    }
    if (host) host->SetPaintColour(picked_);
    if (view) view->update();
}

LoupeSnapshotFallback BackBufferSnapshot(QWidget* view, const CompositeSurface& backBuffer,
                                         std::function<void()> render) {
    return [view, &backBuffer, render = std::move(render)](LoupeSnapshot& s) {
        render();
        if (!backBuffer.pixels) return false;
        const QPoint o = view->mapToGlobal(QPoint(0, 0));
        // A view on a dense screen draws device pixels; the loupe samples the
        // client pixels the pointer moves over, one buffer pixel each.
        if (backBuffer.width != view->width() || backBuffer.height != view->height()) {
            const QImage device(backBuffer.pixels, backBuffer.width, backBuffer.height, backBuffer.Pitch(),
                                QImage::Format_ARGB32_Premultiplied);
            const QImage client = device.scaled(std::max(view->width(), 1), std::max(view->height(), 1),
                                                Qt::IgnoreAspectRatio, Qt::FastTransformation);
            s = SnapshotFromPremultiplied(client.constBits(), client.width(), client.height(),
                                          int(client.bytesPerLine()), o.x(), o.y());
            return true;
        }
        s = SnapshotFromPremultiplied(backBuffer.pixels, backBuffer.width, backBuffer.height, backBuffer.Pitch(),
                                      o.x(), o.y());
        return true;
    };
}
