// The paint session's headers come before any Qt header (keyword clash).
#include "brushes/BitmapPaintSession.h"
#include "canvas_view/ui/CCanvasLayoutView.h"
#include "canvas_view/ui/EyedropperPick.h"

#include "canvas_view/CanvasObjectDraw.h"
#include "canvas_view/ToolDispatch.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/CommandIds.h"
#include "document/DocumentHost.h"
#include "platform/CommandTable.h"
#include "platform/DeviceScale.h"
#include "platform/qt/ShellFonts.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QResizeEvent>

#include <cmath>
#include <cstdio>

namespace {
constexpr QRgb kBackground = 0xFF181B1F;
constexpr QRgb kShadow = 0x6E000000;
constexpr QRgb kBorder = 0xFF3C4046;

// A premultiplied surface of device pixels seen as a Qt image over the same
// memory; a painter on it draws in client coordinates.
QImage ImageOf(CompositeSurface& s, float ratio) {
    QImage image(s.pixels, s.width, s.height, s.Pitch(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    return image;
}

QColor Argb(QRgb v) { return QColor::fromRgba(v); }
}  // namespace

CCanvasLayoutView::CCanvasLayoutView(QWidget* parent)
    : CView(parent), session_(std::make_unique<BitmapPaintSession>()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    setMouseTracking(true);
    SyncGeometry();
}

CCanvasLayoutView::~CCanvasLayoutView() {
    readout_.zoomCallback = nullptr;
    // Never leave the process-wide resize flag on behind a destroyed view.
    if (dragArmed_ && handle_ >= kHandleTopLeft && handle_ <= kHandleLeft) ScaleDragActive = false;
    session_->End();
    pose_.Close(nullptr, false);
    caches_.Release();
    backBuffer_.Release();
    pickBuffer_.Release();
}

DocumentEditSession* CCanvasLayoutView::ActivePaintSession() {
    return session_->IsActive() ? session_.get() : nullptr;
}

CanvasDocument* CCanvasLayoutView::MainScene() const {
    CQuillfenEditorDoc* doc = GetDocument();
    return doc ? &doc->mainScene : nullptr;
}

uint64_t CCanvasLayoutView::ChangeCounter() const {
    CQuillfenEditorDoc* doc = GetDocument();
    return doc ? doc->changeCounter : 0;
}

// The geometry reads the client size, the canvas size and the bar thickness
// afresh before every use.
void CCanvasLayoutView::SyncGeometry() {
    geo_.client = {0, 0, width(), height()};
    geo_.ratio = float(SaneRatio(devicePixelRatioF()));
    geo_.barThickness = ScaledBarThickness();
    if (CanvasDocument* scene = MainScene()) {
        geo_.canvasW = scene->width;
        geo_.canvasH = scene->height;
    } else {
        geo_.canvasW = geo_.canvasH = 1024;
    }
}

RectI CCanvasLayoutView::GetCanvasClientRect() const {
    const_cast<CCanvasLayoutView*>(this)->SyncGeometry();
    return geo_.Viewport();
}

RectF CCanvasLayoutView::GetCanvasScreenRect() const {
    const_cast<CCanvasLayoutView*>(this)->SyncGeometry();
    return geo_.CanvasScreenRect();
}

void CCanvasLayoutView::SyncReadout() {
    if (std::fabs(geo_.DisplayZoom() - readout_.zoom) > 0.0001f) {
        readout_.zoom = geo_.DisplayZoom();
        readout_.update();
    }
}

void CCanvasLayoutView::RefreshStatusBar() {
    if (DocumentHost* host = GetFrameHost()) host->UpdateStatusText();
}

void CCanvasLayoutView::ShowZoomChange() {
    UpdateScrollBars();
    update();
    RefreshStatusBar();
    SyncReadout();
}

void CCanvasLayoutView::SetZoomAt(float zoom, QPoint p) {
    SyncGeometry();
    if (!geo_.SetZoomAt(zoom, p.x(), p.y())) return;
    ShowZoomChange();
}

void CCanvasLayoutView::ZoomToFit() {
    SyncGeometry();
    geo_.ZoomToFit();
    ShowZoomChange();
}

// The viewport starts at the client's top-left, so its centre is half its size.
void CCanvasLayoutView::ZoomAtViewportCentre(float zoom) {
    int x, y;
    SyncGeometry();
    geo_.ViewportCentre(x, y);
    SetZoomAt(zoom, QPoint(x, y));
}

void CCanvasLayoutView::UpdateScrollBars() {
    SyncGeometry();
    geo_.ClampScroll();
    auto apply = [](CThemedScrollCtrl& bar, const ScrollBarSetting& s) {
        bar.minimum = s.minimum;
        bar.maximum = s.maximum;
        bar.page = s.page;
        if (!bar.dragging) bar.position = s.position;
        bar.update();
    };
    if (childrenCreated_) {
        apply(hbar_, geo_.HorizontalBar());
        apply(vbar_, geo_.VerticalBar());
    }
}

void CCanvasLayoutView::LayoutChildWindows() {
    if (!childrenCreated_) return;
    CanvasChildLayout l = LayoutCanvasChildren({0, 0, width(), height()}, ScaledBarThickness(), ScaledReadoutWidth());
    auto place = [](QWidget& w, const PlaceI& r, bool show) {
        w.setGeometry(r.x, r.y, std::max(0, r.width), std::max(0, r.height));
        if (show) w.show();
    };
    place(vbar_, l.verticalBar, true);
    place(hbar_, l.horizontalBar, true);
    place(readout_, l.zoomReadout, false);
}

void CCanvasLayoutView::UpdatePlacementBounds() {
    CanvasDocument* scene = MainScene();
    if (!scene) return;
    SyncGeometry();
    PlacementBounds b = ComputePlacementBounds(geo_.Viewport(), geo_.canvasW, geo_.canvasH);
    scene->hasPlacementArea = b.valid;
    scene->placementX = b.x;
    scene->placementY = b.y;
    scene->placementWidth = b.width;
    scene->placementHeight = b.height;
}

void CCanvasLayoutView::OnZoomPresetPicked(int percent) {
    if (percent < 0) {
        ZoomToFit();
    } else {
        ZoomAtViewportCentre(float(percent) * 0.01f);
    }
    SyncReadout();
}

void CCanvasLayoutView::OnViewZoomIn() { ZoomAtViewportCentre(DisplayZoom() * 1.1f); }

void CCanvasLayoutView::OnViewZoomOut() { ZoomAtViewportCentre(DisplayZoom() / 1.1f); }

void CCanvasLayoutView::OnViewZoomActual() { ZoomAtViewportCentre(1.0f); }

void CCanvasLayoutView::OnViewZoomFit() { ZoomToFit(); }

void CCanvasLayoutView::RegisterCommands(CommandTable& table) {
    table.Add(CommandTarget::ActiveView, kCmdViewZoomIn, [this] { OnViewZoomIn(); });
    table.Add(CommandTarget::ActiveView, kCmdViewZoomOut, [this] { OnViewZoomOut(); });
    table.Add(CommandTarget::ActiveView, kCmdViewZoomActual, [this] { OnViewZoomActual(); });
    table.Add(CommandTarget::ActiveView, kCmdViewZoomFit, [this] { OnViewZoomFit(); });
    table.Add(CommandTarget::ActiveView, kCmdObjectRaise, [this] { OnObjectRaise(); },
              [this](CommandUpdate& u) { u.Enable(CanRaise()); });
    table.Add(CommandTarget::ActiveView, kCmdObjectLower, [this] { OnObjectLower(); },
              [this](CommandUpdate& u) { u.Enable(CanLower()); });
    table.Add(CommandTarget::ActiveView, kCmdObjectBringToTop, [this] { OnObjectBringToTop(); },
              [this](CommandUpdate& u) { u.Enable(CanRaise()); });
    table.Add(CommandTarget::ActiveView, kCmdObjectSendToBottom, [this] { OnObjectSendToBottom(); },
              [this](CommandUpdate& u) { u.Enable(CanLower()); });
}

void CCanvasLayoutView::OnHScroll(int code, int position, CWndBase*) {
    SyncGeometry();
    if (code == 100) {
        // A zoom drag: the low 16 bits of the position, signed, scale the zoom.
        const int16_t p = int16_t(position & 0xFFFF);
        if (p != 0) ZoomAtViewportCentre(DisplayZoom() * std::exp(float(p) * 0.01f));
        return;
    }
    const int n = ComputeScrollPosition(code, position, geo_.scrollX, hbar_.page, hbar_.maximum);
    if (n != geo_.scrollX) {
        geo_.scrollX = n;
        UpdateScrollBars();
        update();
    }
}

void CCanvasLayoutView::OnVScroll(int code, int position, CWndBase*) {
    SyncGeometry();
    const int n = ComputeScrollPosition(code, position, geo_.scrollY, vbar_.page, vbar_.maximum);
    if (n != geo_.scrollY) {
        geo_.scrollY = n;
        UpdateScrollBars();
        update();
    }
}

bool CCanvasLayoutView::OnMouseWheel(unsigned, int delta, QPoint p) {
    SetZoomAt(DisplayZoom() * (delta > 0 ? 1.1f : 0.9090909f), p);
    return true;
}

void CCanvasLayoutView::resizeEvent(QResizeEvent* e) {
    CView::resizeEvent(e);
    LayoutChildWindows();
    UpdatePlacementBounds();
    UpdateScrollBars();
    if (GetDocument()) RefreshStatusBar();
}

void CCanvasLayoutView::OnInitialUpdate() {
    CView::OnInitialUpdate();
    if (CQuillfenEditorDoc* doc = GetDocument()) doc->SetEditorMode(0);
    if (!childrenCreated_) {
        vbar_.Create(this, 49168, false);
        vbar_.owner = this;
        vbar_.ApplyDarkTheme();
        hbar_.Create(this, 49169, true);
        hbar_.owner = this;
        hbar_.ApplyDarkTheme();
        readout_.setParent(this);
        readout_.SetDlgCtrlID(49170);
        readout_.show();
        readout_.zoomCallback = [this](int percent) { OnZoomPresetPicked(percent); };
        childrenCreated_ = true;
        SyncReadout();
    }
    LayoutChildWindows();
    ZoomToFit();
    UpdatePlacementBounds();
    UpdateScrollBars();
    SyncPoseSession();
    if (GetDocument()) RefreshStatusBar();
}

void CCanvasLayoutView::OnUpdate(CView* sender, int hint) {
    CView::OnUpdate(sender, hint);
    caches_.OnUpdate(hint);
    ants_.Invalidate();
    tint_.Invalidate();
    CQuillfenEditorDoc* doc = GetDocument();
    if (doc && !IsBrushTool(doc->activeTool) && cursorShown_) {
        const QRect r = BrushCursorRect();
        cursorShown_ = false;
        if (!r.isEmpty()) update(r);
    }
    if (session_->IsActive() && HasMarchingAnts()) {
        if (!HasTimer(37633)) SetTimer(37633, 300);
    } else if (HasTimer(37633)) {
        KillTimer(37633);
    }
    if (!doc) {
        if (session_->IsActive()) session_->RestoreHiddenLayers();
        return;
    }
    // A drag of a tool that is no longer active ends here, so the process-wide
    // resize flag never stays on.
    if (doc->activeTool != 0 && doc->activeTool != 8 && RouteForTool(doc->activeTool) != CanvasInputRoute::Move &&
        (dragArmed_ || MarqueeActive()))
        OnMoveToolUp();
    if (!inSync_) {
        inSync_ = true;
        SyncPaintSession(*doc);
        inSync_ = false;
    }
    SyncPoseSession();
    RefreshStatusBar();
}

bool CCanvasLayoutView::PaintCachedCanvas(CompositeSurface& target, const RectI& client) {
    CanvasDocument* scene = MainScene();
    if (!scene) return false;
    if (!caches_.Prepare(*scene, ChangeCounter(), ScenePainter(*scene), pose_.open ? pose_.objectId : std::string()))
        return false;
    QImage out = ImageOf(target, geo_.ratio);
    QPainter p(&out);
    p.fillRect(QRect(client.left, client.top, client.Width(), client.Height()), Argb(kBackground));
    const RectF r = geo_.CanvasScreenRect();
    const QRectF rq(r.x, r.y, r.width, r.height);
    p.fillRect(rq.translated(8, 10), Argb(kShadow));
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rq, Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QImage live = ImageOf(caches_.live, 1);
    if (!live.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.drawImage(rq, live, QRectF(0, 0, live.width(), live.height()));
    }
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(Argb(kBorder), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rq);
    return true;
}

void CCanvasLayoutView::PaintUncached(CompositeSurface& target) {
    CanvasDocument* scene = MainScene();
    if (!scene) return;
    const RectI v = geo_.Viewport();
    const RectF r = geo_.CanvasScreenRect();
    {
        QImage out = ImageOf(target, geo_.ratio);
        QPainter p(&out);
        p.fillRect(QRect(v.left, v.top, v.Width(), v.Height()), Argb(kBackground));
        const QRectF rq(r.x, r.y, r.width, r.height);
        p.fillRect(rq.translated(8, 10), Argb(kShadow));
        if ((scene->canvasColour >> 24) != 0) {
            p.fillRect(rq, Argb(scene->canvasColour));
        } else {
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.fillRect(rq, Qt::transparent);
        }
    }
    CanvasObjectPainter paint = ScenePainter(*scene);
    WalkDrawOrder(*scene, [&](CanvasObject& o) {
        if (pose_.open && o.id == pose_.objectId) return true;
        // Objects draw straight into the device pixels.
        paint(target, o, geo_.DeviceZoom(), geo_.DeviceOriginX(), geo_.DeviceOriginY());
        return true;
    });
    QImage out = ImageOf(target, geo_.ratio);
    QPainter p(&out);
    p.setPen(QPen(Argb(kBorder), 1));
    p.drawRect(QRectF(r.x, r.y, r.width, r.height));
}

void CCanvasLayoutView::DrawCacheStats(CompositeSurface& target, const RectI& v) {
    const uint64_t now = CanvasTickCount();
    const bool recent = caches_.lastRebuildTick != 0 && now - caches_.lastRebuildTick < 600;
    char text[96];
    std::snprintf(text, sizeof text, "cache rebuild #%d  (%.1f ms)", caches_.rebuildCount,
                  double(caches_.lastRebuildMs));
    QImage out = ImageOf(target, geo_.ratio);
    QPainter p(&out);
    QFont font = UiFont(11);
    p.setFont(font);
    QFontMetrics fm(font);
    const QString s = QString::fromLatin1(text);
    const int tw = fm.horizontalAdvance(s), th = fm.height();
    const QRect box(v.right - (tw + 16) - 8, v.top + 8, tw + 16, th + 8);
    p.fillRect(box, Argb(recent ? 0xDCC83C3C : 0xB4282C32));
    p.setPen(Argb(0xFFE6E6E6));
    p.drawText(QPoint(box.left() + 8, box.top() + 4 + fm.ascent()), s);
    if (recent) update(box);
}

int CCanvasLayoutView::RenderPicture(CompositeSurface& target) {
    SyncGeometry();
    // The buffer holds device pixels, so image pixels meet physical ones.
    const int w = DevicePixels(width(), geo_.ratio), h = DevicePixels(height(), geo_.ratio);
    if (w <= 0 || h <= 0) return 0;
    if (target.width != w || target.height != h || !target.pixels)
        if (!target.Create(w, h)) return 0;
    const bool cached = PaintCachedCanvas(target, {0, 0, width(), height()});
    if (!cached) PaintUncached(target);
    CanvasDocument* scene = MainScene();
    if (scene && (scene->canvasColour >> 24) == 0) {
        const RectF r = geo_.CanvasScreenRect();
        DrawTransparencyChecker(target, r.x * geo_.ratio, r.y * geo_.ratio, r.width * geo_.ratio,
                                r.height * geo_.ratio);
    }
    return cached ? 2 : 1;
}

void CCanvasLayoutView::RenderToBackBuffer() {
    const int drawn = RenderPicture(backBuffer_);
    // While a colour is picked the view shows the bare picture, so the
    // screen photograph holds no overlay colours.
    if (drawn == 0 || EyedropperPick::IsActive()) return;
    if (drawn == 2) DrawCacheStats(backBuffer_, geo_.Viewport());
    if (MainScene()) {
        QImage out = ImageOf(backBuffer_, geo_.ratio);
        QPainter g(&out);
        DrawToolOverlays(g);
        DrawBrushCursor(g);
    }
}

void CCanvasLayoutView::paintEvent(QPaintEvent*) {
    RenderToBackBuffer();
    if (!backBuffer_.pixels) return;
    QPainter p(this);
    p.drawImage(0, 0, ImageOf(backBuffer_, geo_.ratio));
}
