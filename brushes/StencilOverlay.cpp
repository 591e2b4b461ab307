#include "brushes/StencilOverlay.h"

#include "brushes/BitmapPaintSession.h"
#include "brushes/StencilLibraryStore.h"
#include "filters/BlurKernels.h"

#include <algorithm>
#include <cmath>
#include <new>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace {

constexpr float kDegToRad = 0.017453292f;
constexpr float kRadToDeg = 57.295776f;

StencilOverlay* currentOverlay = nullptr;

// The stencil brush reads the application's overlay; a pending rebuild is
// done first so a stroke never samples a stale placement.
const StencilImprintInput* CurrentStencilImprint() {
    if (!currentOverlay) return nullptr;
    currentOverlay->Refresh();
    return &currentOverlay->imprint;
}

}  // namespace

void SetCurrentStencilOverlay(StencilOverlay* overlay) {
    currentOverlay = overlay;
    BitmapPaintSession::stencilSource = overlay ? &CurrentStencilImprint : nullptr;
}

StencilOverlay* GetCurrentStencilOverlay() { return currentOverlay; }

// ---------------------------------------------------------------- gizmo

RectI StencilGizmo::FrameRect(const RectI& client) {
    const RectI inset{client.left + 80, client.top + 80, client.right - 80, client.bottom - 80};
    if (inset.IsEmpty()) return {};
    const int side = std::min(inset.Width(), inset.Height());
    if (side < 64) return {};
    const int half = side / 2;
    const int cx = inset.left + inset.Width() / 2, cy = inset.top + inset.Height() / 2;
    return {cx - half, cy - half, cx + half, cy + half};
}

PointF StencilGizmo::Center(const RectI& f) {
    return {float(f.left) + float(f.right - f.left) / 2.0f, float(f.top) + float(f.bottom - f.top) / 2.0f};
}

StencilGizmoHit StencilGizmo::HitTest(const RectI& f, PointF p) {
    if (f.IsEmpty()) return kGizmoNone;
    const float l = float(f.left), t = float(f.top), r = float(f.right), b = float(f.bottom);
    const PointF c = Center(f);
    auto near = [&](float x, float y, float rx, float ry) { return std::fabs(p.x - x) <= rx && std::fabs(p.y - y) <= ry; };
    if (p.x >= r - 62 && p.x < r - 12 && p.y >= b - 62 && p.y < b - 12) return kGizmoMove;
    if (near(c.x, t - 34, 8.4f, 8.4f)) return kGizmoRotate;
    if (near(l, t, 10.8f, 10.8f)) return kGizmoCornerTopLeft;
    if (near(r, t, 10.8f, 10.8f)) return kGizmoCornerTopRight;
    if (near(r, b, 10.8f, 10.8f)) return kGizmoCornerBottomRight;
    if (near(l, b, 10.8f, 10.8f)) return kGizmoCornerBottomLeft;
    if (near(c.x, t, 13.75f, 8.0f)) return kGizmoEdgeTop;
    if (near(r, c.y, 8.0f, 13.75f)) return kGizmoEdgeRight;
    if (near(c.x, b, 13.75f, 8.0f)) return kGizmoEdgeBottom;
    if (near(l, c.y, 8.0f, 13.75f)) return kGizmoEdgeLeft;
    return kGizmoNone;
}

// ---------------------------------------------------------------- overlay

StencilOverlay::StencilOverlay(StencilLibraryStore* store) : store_(store) {}

StencilLibraryStore& StencilOverlay::Store() const { return store_ ? *store_ : StencilLibraryStore::Instance(); }

BitmapPtr StencilOverlay::SourceImage() const { return HasStencil() ? Store().LoadEntryBitmap(activeIndex) : nullptr; }

void StencilOverlay::DropPlaced() {
    imprint.placedBitmap.reset();
    imprint.detailPixels.clear();
    imprint.detailPixels.shrink_to_fit();
}

Affine StencilOverlay::ImageToCanvas(int w, int h) const {
    const float a = transform.rotation * kDegToRad;
    const double cs = std::cos(a), sn = std::sin(a);
    const double sx = std::max(0.01f, transform.scale * transform.stretchX);
    const double sy = std::max(0.01f, transform.scale * transform.stretchY);
    Affine m{cs * sx, sn * sx, -sn * sy, cs * sy, 0, 0};
    m.tx = transform.centerX - m.a * w / 2.0 - m.c * h / 2.0;
    m.ty = transform.centerY - m.b * w / 2.0 - m.d * h / 2.0;
    return m;
}

void StencilOverlay::SelectStencil(int index) {
    StencilLibraryStore& store = Store();
    if (index < 0 || size_t(index) >= store.entries.size()) {
        activeIndex = -1;
        activePath.clear();
        DropPlaced();
        placeError.clear();
        dirty = false;
        return;
    }
    BitmapPtr image = store.LoadEntryBitmap(index);
    if (!image) return;
    activeIndex = index;
    activePath = store.entries[size_t(index)].path;
    transform.scale = 1;
    transform.rotation = 0;
    transform.stretchX = transform.stretchY = 1;
    if (transform.centerX == 0 && transform.centerY == 0) {
        transform.centerX = float(image->Width()) / 2;
        transform.centerY = float(image->Height()) / 2;
    }
    dirty = true;
    Rebuild();
    dirty = false;
}

void StencilOverlay::FindActiveAgain() {
    if (!HasStencil()) return;
    const std::vector<StencilEntry>& entries = Store().entries;
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].path == activePath) {
            activeIndex = int32_t(i);
            return;
        }
    SelectStencil(-1);
}

void StencilOverlay::ResetTransform(std::optional<PointF> canvasSize) {
    transform.scale = 1;
    transform.rotation = 0;
    transform.stretchX = transform.stretchY = 1;
    if (canvasSize) {
        transform.centerX = canvasSize->x / 2;
        transform.centerY = canvasSize->y / 2;
        canvasW_ = canvasSize->x;
        canvasH_ = canvasSize->y;
    }
    dirty = true;
    if (HasStencil()) Rebuild();
    else DropPlaced();
    dirty = false;
}

void StencilOverlay::SetCanvasSize(float width, float height) {
    if (width == canvasW_ && height == canvasH_) return;
    canvasW_ = width;
    canvasH_ = height;
    dirty = true;
}

void StencilOverlay::Refresh() {
    if (!dirty) return;
    if (HasStencil()) Rebuild();
    else DropPlaced();
    dirty = false;
}

BitmapPtr RenderPlacedStencil(const Bitmap& image, const StencilTransform& t, float originX, float originY, int width,
                              int height, bool reference) {
    if (!BitmapSizeAllowed(width, height)) return nullptr;
    const float s = std::max(t.scale, 0.01f), sx = s * std::max(t.stretchX, 0.01f), sy = s * std::max(t.stretchY, 0.01f);
    const float a = t.rotation * kDegToRad;
    const float cs = std::cos(a), sn = std::sin(a);
    const float w = float(image.Width()), h = float(image.Height());
    if (!reference && sx >= 1.0f && sy >= 1.0f) {
        // Enlarging (the common case, and the costly one): OpenCV's bicubic
        // warp on premultiplied colour, so transparent texels lend no colour,
        // then back to straight alpha. Shrinking needs the prefiltered draw.
        try {
            // The warp writes every pixel, so the raster is not cleared first:
            // a canvas-sized memset costs as much as a third of the warp.
            const size_t bytes = size_t(width) * size_t(height) * 4;
            std::shared_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[bytes]);
            if (!buffer) return nullptr;
            BitmapPtr view = Bitmap::Wrap(buffer.get(), width, height, width * 4);
            if (!view) return nullptr;
            BitmapPtr placed(view.get(), [view, buffer](Bitmap*) {});
            std::vector<uint8_t> premul(image.Data(), image.Data() + size_t(image.Stride()) * size_t(image.Height()));
            PremultiplyAlpha(premul.data(), size_t(image.Stride() / 4) * size_t(image.Height()));
            const cv::Mat src(image.Height(), image.Width(), CV_8UC4, premul.data(), size_t(image.Stride()));
            cv::Mat dst(height, width, CV_8UC4, placed->Data(), size_t(placed->Stride()));
            // Image pixel centres (x + 0.5) map to placed pixel centres (X + 0.5).
            const double m00 = double(cs) * sx, m01 = -double(sn) * sy, m10 = double(sn) * sx, m11 = double(cs) * sy;
            const double tx = t.centerX - originX - m00 * w / 2 - m01 * h / 2, ty = t.centerY - originY - m10 * w / 2 - m11 * h / 2;
            const cv::Mat m = (cv::Mat_<double>(2, 3) << m00, m01, tx + (m00 + m01) * 0.5 - 0.5, m10, m11,
                               ty + (m10 + m11) * 0.5 - 0.5);
            cv::warpAffine(src, dst, m, dst.size(), cv::INTER_CUBIC, cv::BORDER_CONSTANT, cv::Scalar(0, 0, 0, 0));
            UnpremultiplyAlpha(placed->Data(), size_t(width) * size_t(height));
            return placed;
        } catch (const cv::Exception&) {
        } catch (const std::bad_alloc&) {
        }
    }
    BitmapPtr placed = Bitmap::Create(width, height);
    if (!placed) return nullptr;
    // Image corner (x, y) on the placed image's own pixel grid.
    auto map = [&](float x, float y) {
        const float dx = (x - w / 2) * sx, dy = (y - h / 2) * sy;
        return PointF{t.centerX + dx * cs - dy * sn - originX, t.centerY + dx * sn + dy * cs - originY};
    };
    ImageDrawOptions o;
    o.interpolation = Interpolation::Bicubic;
    o.compositing = Compositing::SourceCopy;
    if (!DrawBitmapToPoints(RasterTarget::Of(*placed), image, RectF{0, 0, w, h}, map(0, 0), map(w, 0), map(0, h), o))
        placed->Clear(0);
    return placed;
}

void StencilOverlay::Rebuild() {
    ++rebuildCount;
    placeError.clear();
    DropPlaced();
    BitmapPtr image = SourceImage();
    if (!image) return;
    const float s = std::max(transform.scale, 0.01f);
    const double hw = image->Width() * 0.5 * s * std::max(transform.stretchX, 0.01f);
    const double hh = image->Height() * 0.5 * s * std::max(transform.stretchY, 0.01f);
    const double a = transform.rotation * kDegToRad;
    const double cs = std::cos(a), sn = std::sin(a);
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    const double corners[4][2] = {{-hw, -hh}, {hw, -hh}, {hw, hh}, {-hw, hh}};
    for (int i = 0; i < 4; ++i) {
        const double x = corners[i][0] * cs - corners[i][1] * sn, y = corners[i][0] * sn + corners[i][1] * cs;
        if (i == 0 || x < minX) minX = x;
        if (i == 0 || x > maxX) maxX = x;
        if (i == 0 || y < minY) minY = y;
        if (i == 0 || y > maxY) maxY = y;
    }
    // The whole transformed stencil, in 64-bit (doubles hold these exactly).
    double x0 = 0, y0 = 0;
    double x1 = std::max(1.0, std::ceil(maxX - minX)), y1 = std::max(1.0, std::ceil(maxY - minY));
    const double ox = transform.centerX + minX, oy = transform.centerY + minY;
    if (!std::isfinite(ox) || !std::isfinite(oy) || !std::isfinite(x1) || !std::isfinite(y1)) return;
    // Only what a dab can reach: the canvas plus a margin. Whole pixels are
    // cut so the kept part stays on the same sampling grid.
    if (canvasW_ > 0 && canvasH_ > 0) {
        x0 = std::max(0.0, std::floor(-kStencilClipMargin - ox));
        y0 = std::max(0.0, std::floor(-kStencilClipMargin - oy));
        x1 = std::min(x1, std::ceil(double(canvasW_) + kStencilClipMargin - ox));
        y1 = std::min(y1, std::ceil(double(canvasH_) + kStencilClipMargin - oy));
        if (x1 <= x0 || y1 <= y0) return;  // entirely off the canvas: nothing to imprint
    }
    const double pw = x1 - x0, ph = y1 - y0;
    if (pw * ph > double(kMaxPlacedStencilPixels) || !BitmapSizeAllowed(int64_t(pw), int64_t(ph))) {
        placeError = "The stencil is too large to place at this size.";
        return;
    }
    const int w = int(pw), h = int(ph);
    const float originX = float(ox + x0), originY = float(oy + y0);
    BitmapPtr placed = RenderPlacedStencil(*image, transform, originX, originY, w, h);
    if (!placed) {
        placeError = "There is not enough memory to place the stencil.";
        return;
    }
    try {
        std::vector<uint8_t> detail(placed->Data(), placed->Data() + size_t(w) * size_t(h) * 4);
        PremultiplyAlpha(detail.data(), size_t(w) * h);
        const double radius = std::max(1.0, double(imprint.detailRadius));
        GaussianBlurRecursive(detail.data(), w, h, radius, radius, 4);
        UnpremultiplyAlpha(detail.data(), size_t(w) * h);
        imprint.detailPixels = std::move(detail);
    } catch (const std::bad_alloc&) {
        placeError = "There is not enough memory to place the stencil.";
        return;
    }
    imprint.placedBitmap = std::move(placed);
    imprint.placedOriginX = originX;
    imprint.placedOriginY = originY;
}

// ---------------------------------------------------------------- drags

StencilGizmoHit StencilOverlay::HitTestGizmo(const RectI& canvasClient, PointF p) const {
    if (!HasStencil()) return kGizmoNone;
    const RectI frame = StencilGizmo::FrameRect(canvasClient);
    if (frame.IsEmpty()) return kGizmoNone;
    return StencilGizmo::HitTest(frame, p);
}

bool StencilOverlay::OnButtonDown(const StencilViewGeometry& view, PointF p) {
    if (!HasStencil() || dragMode != kStencilDragNone) return false;
    const RectI frame = StencilGizmo::FrameRect(view.canvasClient);
    if (frame.IsEmpty()) return false;
    const StencilGizmoHit hit = StencilGizmo::HitTest(frame, p);
    if (hit == kGizmoNone) return false;
    dragMode = hit <= kGizmoCornerBottomLeft ? kStencilDragScale
               : hit <= kGizmoEdgeLeft       ? kStencilDragStretch
               : hit == kGizmoRotate         ? kStencilDragRotate
                                             : kStencilDragMove;
    dragHandle = hit;
    dragStart = transform;
    pressPoint = p;
    gizmoCenter = {float((frame.left + frame.right) / 2), float((frame.top + frame.bottom) / 2)};
    dragZoom = view.zoom;
    pivotCanvas = view.zoom > 0 ? PointF{(gizmoCenter.x - view.canvasScreen.x) / view.zoom,
                                         (gizmoCenter.y - view.canvasScreen.y) / view.zoom}
                                : PointF{0, 0};
    const BitmapPtr image = SourceImage();
    const float w = image ? float(image->Width()) : 0.0f, h = image ? float(image->Height()) : 0.0f;
    const float dx = pivotCanvas.x - transform.centerX, dy = pivotCanvas.y - transform.centerY;
    const float a = transform.rotation * kDegToRad;
    const float cs = std::cos(a), sn = std::sin(a);
    pivotLocal = {(dx * cs + dy * sn) / std::max(0.01f, transform.scale * transform.stretchX) + w / 2,
                  (dy * cs - dx * sn) / std::max(0.01f, transform.scale * transform.stretchY) + h / 2};
    return true;
}

bool StencilOverlay::OnRightButtonDown(const StencilViewGeometry& view, PointF p) {
    if (dragMode != kStencilDragNone || painting) return false;
    Refresh();
    // Not only a placed image: a stencil moved off the canvas or refused as
    // too large has none, and must still be draggable back.
    if (!imprint.placedBitmap && !SourceImage()) return false;
    dragMode = kStencilDragMove;
    dragHandle = kGizmoMove;
    rightDrag = true;
    dragStart = transform;
    pressPoint = p;
    dragZoom = view.zoom;
    return true;
}

void StencilOverlay::KeepPivot() {
    const BitmapPtr image = SourceImage();
    if (!image) return;
    const float w = float(image->Width()), h = float(image->Height());
    const float lx = (pivotLocal.x - w / 2) * std::max(0.01f, transform.scale * transform.stretchX);
    const float ly = (pivotLocal.y - h / 2) * std::max(0.01f, transform.scale * transform.stretchY);
    const float a = transform.rotation * kDegToRad;
    const float cs = std::cos(a), sn = std::sin(a);
    transform.centerX = pivotCanvas.x - (lx * cs - ly * sn);
    transform.centerY = pivotCanvas.y - (lx * sn + ly * cs);
}

bool StencilOverlay::OnMouseMove(PointF p) {
    if (dragMode == kStencilDragNone) return false;
    const PointF q = pressPoint, g = gizmoCenter;
    switch (dragMode) {
    case kStencilDragMove: {
        const float z = dragZoom > 0 ? dragZoom : 1.0f;
        transform.centerX = dragStart.centerX + (p.x - q.x) / z;
        transform.centerY = dragStart.centerY + (p.y - q.y) / z;
        break;
    }
    case kStencilDragRotate: {
        float delta = (std::atan2(p.y - g.y, p.x - g.x) - std::atan2(q.y - g.y, q.x - g.x)) * kRadToDeg;
        while (delta > 180) delta -= 360;
        while (delta < -180) delta += 360;
        transform.rotation = dragStart.rotation + delta;
        break;
    }
    case kStencilDragScale: {
        const float d0 = std::hypot(q.x - g.x, q.y - g.y);
        const float f = d0 > 1 ? std::hypot(p.x - g.x, p.y - g.y) / d0 : 1.0f;
        transform.scale = std::clamp(dragStart.scale * f, kStencilMinScale, kStencilMaxScale);
        break;
    }
    case kStencilDragStretch: {
        const float dirs[4][2] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}};
        const float* dir = dirs[std::clamp(int(dragHandle) - int(kGizmoEdgeTop), 0, 3)];
        const float o = (q.x - g.x) * dir[0] + (q.y - g.y) * dir[1];
        float t = o > 1 ? ((p.x - g.x) * dir[0] + (p.y - g.y) * dir[1]) / o : 1.0f;
        t = std::clamp(t, kStencilMinStretch, kStencilMaxStretch);
        if (dragHandle == kGizmoEdgeRight || dragHandle == kGizmoEdgeLeft)
            transform.stretchX = std::clamp(dragStart.stretchX * t, kStencilMinStretch, kStencilMaxStretch);
        else
            transform.stretchY = std::clamp(dragStart.stretchY * t, kStencilMinStretch, kStencilMaxStretch);
        break;
    }
    default: break;
    }
    if (dragMode != kStencilDragMove) KeepPivot();
    dirty = true;
    return true;
}

bool StencilOverlay::OnButtonUp() {
    if (dragMode == kStencilDragNone) return false;
    dragMode = kStencilDragNone;
    dragHandle = kGizmoNone;
    rightDrag = false;
    pressPoint = gizmoCenter = pivotCanvas = pivotLocal = PointF{};
    dragStart = StencilTransform{};
    dragZoom = 1;
    Refresh();
    return true;
}

bool StencilOverlay::OnTabKey(bool down) {
    if (hidden == down) return false;
    hidden = down;
    return true;
}

bool StencilOverlay::ShowIfTabReleased(bool tabDown) {
    if (!hidden || tabDown) return false;
    hidden = false;
    return true;
}
