// The paint session comes before any Qt header: its brush settings use a
// member name Qt defines as a keyword macro.
#include "brushes/BitmapPaintSession.h"
#include "posable/ui/CPosableImageEditorView.h"
#include "posable/ui/PosableEditorViewShared.h"

#include "canvas_view/ToolDispatch.h"
#include "canvas_view/ui/EyedropperPick.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentHost.h"
#include "platform/DeviceScale.h"
#include "platform/Profile.h"
#include "scene/SelectionMask.h"

#include <QImage>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

using namespace posable_view;

namespace {

constexpr float kButtonW = 92, kButtonH = 34, kButtonMargin = 14, kButtonGap = 10;

// The back buffer holds device pixels; a painter on it draws in view pixels.
QImage ImageOf(CompositeSurface& s, float ratio) {
    QImage image(s.pixels, s.width, s.height, s.Pitch(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    return image;
}

}  // namespace

CPosableImageEditorView::CPosableImageEditorView(QWidget* parent)
    : CView(parent), session_(std::make_unique<BitmapPaintSession>()) {
    setObjectName("PosableImageEditorView");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAcceptDrops(true);
}

CPosableImageEditorView::~CPosableImageEditorView() {
    readout_.zoomCallback = nullptr;
    // A pick must not outlive its view: the cursor would stay hidden.
    if (picking_) {
        picking_ = false;
        CQuillfenEditorDoc* doc = GetDocument();
        EyedropperPick::Instance().End(doc ? doc->Host() : nullptr, nullptr);
    }
    if (CQuillfenEditorDoc* doc = GetDocument())
        if (doc->paintSession == session_.get()) doc->paintSession = nullptr;
    session_->End();
}

// --- Navigation ---

RectF CPosableImageEditorView::Viewport() const {
    const int b = MulDiv(20, GetDpi(), 96);
    return {0, 0, float(std::max(width() - b, 0)), float(std::max(height() - b, 0))};
}

void CPosableImageEditorView::SyncView() {
    tools_.view.ratio = float(SaneRatio(devicePixelRatioF()));
    const RectF v = Viewport();
    tools_.view.viewportWidth = int(v.width);
    tools_.view.viewportHeight = int(v.height);
    if (CQuillfenEditorDoc* doc = GetDocument()) {
        tools_.view.sceneWidth = doc->poseScene.width;
        tools_.view.sceneHeight = doc->poseScene.height;
    } else {
        tools_.view.sceneWidth = tools_.view.sceneHeight = 1024;
    }
}

void CPosableImageEditorView::ShowZoomChange() {
    UpdateScrollBars();
    update();
    if (DocumentHost* host = GetFrameHost()) host->UpdateStatusText();
    if (std::fabs(readout_.zoom - tools_.view.DisplayZoom()) > 0.0001f) {
        readout_.zoom = tools_.view.DisplayZoom();
        readout_.update();
    }
}

void CPosableImageEditorView::SetZoomAt(float zoom, PointF p) {
    SyncView();
    tools_.view.SetZoomAt(zoom, p);
    overlayCache_.clear();
    ShowZoomChange();
}

void CPosableImageEditorView::ZoomToFitContent() {
    SyncView();
    if (CQuillfenEditorDoc* doc = GetDocument())
        tools_.view.FitContent(doc->poseScene);
    else
        tools_.view.zoom = 1, tools_.view.scrollX = tools_.view.scrollY = 0;
    overlayCache_.clear();
    ShowZoomChange();
}

void CPosableImageEditorView::UpdateScrollBars() {
    SyncView();
    PoseViewState& v = tools_.view;
    if (v.viewportWidth <= 0 || v.viewportHeight <= 0) return;
    v.ClampScroll();
    if (!childrenCreated_) return;
    const RectF w = v.ScrollWorld();
    const float z = std::max(v.zoom, v.MinViewZoom());
    auto apply = [](CThemedScrollCtrl& bar, float origin, float size, float viewport, float z, float pos) {
        bar.minimum = int(std::floor(origin));
        bar.maximum = int(std::ceil(origin + size)) - 1;
        bar.page = std::max(1, int(std::ceil(viewport / z)));
        if (!bar.dragging)
            bar.position = std::clamp(int(std::floor(pos)), bar.minimum, std::max(bar.minimum, bar.maximum - bar.page));
        bar.update();
    };
    apply(hbar_, w.x, w.width, float(v.viewportWidth), z, v.scrollX);
    apply(vbar_, w.y, w.height, float(v.viewportHeight), z, v.scrollY);
}

void CPosableImageEditorView::LayoutChildWindows() {
    if (!childrenCreated_) return;
    const int b = MulDiv(20, GetDpi(), 96), c = MulDiv(70, GetDpi(), 96);
    const int w = width(), h = height();
    vbar_.setGeometry(w - b, 0, b, std::max(0, h - b));
    hbar_.setGeometry(0, h - b, std::max(0, w - c - b), b);
    readout_.setGeometry(w - c - b, h - b, c + b, b);
    vbar_.show();
    hbar_.show();
}

void CPosableImageEditorView::UpdatePlacementBounds() {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc) return;
    SyncView();
    CanvasDocument& scene = doc->poseScene;
    if (tools_.view.viewportWidth > 0 && tools_.view.viewportHeight > 0) {
        const RectF w = tools_.view.ScrollWorld();
        scene.hasPlacementArea = true;
        scene.placementX = w.x;
        scene.placementY = w.y;
        scene.placementWidth = w.width;
        scene.placementHeight = w.height;
    } else {
        scene.hasPlacementArea = false;
    }
}

void CPosableImageEditorView::OnZoomPresetPicked(int percent) {
    if (percent < 0) {
        ZoomToFitContent();
    } else {
        const RectF v = Viewport();
        SetZoomAt(float(percent) * 0.01f, {float(int(v.width) / 2), float(int(v.height) / 2)});
    }
}

bool CPosableImageEditorView::OnMouseWheel(unsigned, int delta, QPoint p) {
    SyncView();
    SetZoomAt(tools_.view.DisplayZoom() * (delta > 0 ? 1.1f : 0.9090909f), {float(p.x()), float(p.y())});
    return true;
}

void CPosableImageEditorView::OnHScroll(int code, int position, CWndBase*) {
    float& s = tools_.view.scrollX;
    const int page = hbar_.page;
    switch (code) {
        case 0: s -= 32; break;
        case 1: s += 32; break;
        case 2: s -= float(page); break;
        case 3: s += float(page); break;
        case 4:
        case 5: s = float(position); break;
        default: return;
    }
    s = std::floor(s);
    UpdateScrollBars();
    update();
}

void CPosableImageEditorView::OnVScroll(int code, int position, CWndBase*) {
    float& s = tools_.view.scrollY;
    const int page = vbar_.page;
    switch (code) {
        case 0: s -= 32; break;
        case 1: s += 32; break;
        case 2: s -= float(page); break;
        case 3: s += float(page); break;
        case 4:
        case 5: s = float(position); break;
        default: return;
    }
    s = std::floor(s);
    UpdateScrollBars();
    update();
}

void CPosableImageEditorView::resizeEvent(QResizeEvent* e) {
    CView::resizeEvent(e);
    LayoutChildWindows();
    UpdatePlacementBounds();
    UpdateScrollBars();
    if (DocumentHost* host = GetFrameHost()) host->UpdateStatusText();
}

// --- Lifecycle ---

void CPosableImageEditorView::OnInitialUpdate() {
    CView::OnInitialUpdate();
    if (CQuillfenEditorDoc* doc = GetDocument()) {
        doc->SetEditorMode(1);
        CanvasDocument& scene = doc->poseScene;
        if (scene.primarySelectedId.empty()) {
            for (const Layer& layer : scene.layers)
                if (!layer.objects.empty()) {
                    scene.SelectObject(layer.objects.front().id);
                    doc->UpdateAllViews();
                    break;
                }
        }
    }
    if (!childrenCreated_) {
        vbar_.Create(this, 0xC020, false);
        vbar_.owner = this;
        vbar_.ApplyDarkTheme();
        hbar_.Create(this, 0xC021, true);
        hbar_.owner = this;
        hbar_.ApplyDarkTheme();
        readout_.setParent(this);
        readout_.SetDlgCtrlID(0xC022);
        readout_.show();
        readout_.zoom = tools_.view.DisplayZoom();
        readout_.zoomCallback = [this](int percent) { OnZoomPresetPicked(percent); };
        childrenCreated_ = true;
    }
    LayoutChildWindows();
    tools_.view.zoom = 1.0f;
    ZoomToFitContent();
    UpdatePlacementBounds();
    if (GetDocument())
        if (DocumentHost* host = GetFrameHost()) host->UpdateStatusText();
}

uint32_t CPosableImageEditorView::PaintColourWord() const {
    uint32_t argb = 0xFF1E74AA;
    CQuillfenEditorDoc* doc = GetDocument();
    if (DocumentHost* host = doc ? doc->Host() : nullptr) {
        uint32_t c = 0;
        if (host->GetPaintColour(c)) argb = 0xFF000000u | c;
    }
    // The engine's word: R in the lowest byte, then G, B, A.
    const uint32_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    return r | (g << 8) | (b << 16) | 0xFF000000u;
}

bool CPosableImageEditorView::BrushTool(int tool) const {
    return (tool >= kToolPaintBrush && tool <= 15) || tool == 17;
}

bool CPosableImageEditorView::SelectionTool(int tool) const {
    return tool >= kToolRectangleMarquee && tool <= kToolCurveLasso;
}

bool CPosableImageEditorView::CommitSession() {
    CQuillfenEditorDoc* doc = GetDocument();
    if (!doc || !session_->IsActive()) return true;
    // The bones follow the part's pixels when the painted bitmap replaces
    // the part's (ReplaceObjectBitmap), in the same undo step.
    const std::string id = session_->PaintedObjectId();
    session_->Commit(*doc);
    // The commit updates the views, which may open a session on the selected
    // part at once; that one stays registered with the document.
    const bool refused = session_->IsActive() && session_->PaintedObjectId() == id;
    // A painting that could not be stored (the session has said why) stays
    // open and known to the document, so Save and Finish stop instead of
    // going on without it.
    if (refused) doc->paintSession = session_.get();
    return !refused;
}

void CPosableImageEditorView::OnUpdate(CView* sender, int hint) {
    CView::OnUpdate(sender, hint);
    ants_.Invalidate();
    tint_.Invalidate();
    CQuillfenEditorDoc* doc = GetDocument();
    if (session_->IsActive() && HasMarchingAnts()) StartAntsTimerIfNeeded();
    else if (HasTimer(kAntsTimer)) KillTimer(kAntsTimer);
    if (!session_->IsActive()) sessionCommitRefused_ = false;
    // A painting whose commit was refused is not tried again at every update:
    // the user was told once; the next command that needs it tries again.
    const auto commit = [this] {
        if (!sessionCommitRefused_) sessionCommitRefused_ = !CommitSession();
    };
    if (session_->IsActive()) {
        if (!doc) {
            session_->RestoreHiddenLayers();
        } else if (BrushTool(doc->activeTool) || SelectionTool(doc->activeTool)) {
            const std::string id = session_->PaintedObjectId();
            if (id == doc->poseScene.primarySelectedId) {
                const CanvasObject* o = doc->poseScene.FindObject(id);
                if (!o || o->kind != kObjectBitmap) {
                    session_->Cancel(*doc);
                    if (doc->paintSession == session_.get()) doc->paintSession = nullptr;
                } else if (session_->toolId() != doc->activeTool) {
                    session_->SetTool(doc->activeTool);
                }
            } else {
                commit();
            }
        } else {
            commit();
        }
    }
    if (!session_->IsActive() && doc && !doc->PaintSessionsHeld() &&
        (BrushTool(doc->activeTool) || SelectionTool(doc->activeTool)) && !doc->poseEditorObjectId.empty() &&
        !strokeActive_) {
        CanvasObject* o = doc->poseScene.primarySelectedId.empty()
                              ? nullptr
                              : doc->poseScene.FindObject(doc->poseScene.primarySelectedId);
        if (o && o->kind == kObjectBitmap && PartFitsScene(*o, doc->poseScene) &&
            session_->Begin(*doc, o->id, false)) {
            doc->paintSession = session_.get();
            session_->SetTool(doc->activeTool);
            StartAntsTimerIfNeeded();
            doc->RefreshAllViews();
        }
    }
    if (underMouse()) {
        const QPoint c = mapFromGlobal(QCursor::pos());
        UpdateCursor({float(c.x()), float(c.y())});
    }
    update();
}

// --- Painting ---

void CPosableImageEditorView::paintEvent(QPaintEvent*) {
    RenderToBackBuffer();
    if (!backBuffer_.pixels) return;
    QPainter p(this);
    p.drawImage(0, 0, ImageOf(backBuffer_, tools_.view.ratio));
}

void CPosableImageEditorView::RenderToBackBuffer() {
    SyncView();
    // Device pixels, so part pixels meet physical ones.
    const float ratio = tools_.view.ratio;
    const int w = std::max(DevicePixels(width(), ratio), 1), h = std::max(DevicePixels(height(), ratio), 1);
    if (backBuffer_.width != w || backBuffer_.height != h || !backBuffer_.pixels)
        if (!backBuffer_.Create(w, h)) return;
    QImage img = ImageOf(backBuffer_, ratio);
    QPainter p(&img);
    DrawScene(p);
}

RectF CPosableImageEditorView::FinishButtonRect() const {
    const RectF v = Viewport();
    return {v.x + v.width - kButtonMargin - kButtonW, v.y + kButtonMargin, kButtonW, kButtonH};
}

RectF CPosableImageEditorView::PreviewButtonRect() const {
    const RectF f = FinishButtonRect();
    return {f.x - kButtonGap - kButtonW, f.y, kButtonW, kButtonH};
}

bool CPosableImageEditorView::HitTestFinishButton(PointF p) const {
    const RectF r = FinishButtonRect();
    return p.x >= r.x && p.x <= r.x + r.width && p.y >= r.y && p.y <= r.y + r.height;
}

bool CPosableImageEditorView::HitTestPreviewButton(PointF p) const {
    const RectF r = PreviewButtonRect();
    return p.x >= r.x && p.x <= r.x + r.width && p.y >= r.y && p.y <= r.y + r.height;
}
