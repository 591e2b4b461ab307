#include "brushes/BrushEngine.h"

#include "scene/CanvasWriteViews.h"
#include "scene/SelectionMask.h"

#include <algorithm>
#include <cmath>

// --- StrokePath ---

StrokePoint StrokePath::Reset(float x, float y, float pressure) {
    points.assign(1, StrokePoint{x, y, pressure});
    return points.front();
}

std::vector<StrokePoint> StrokePath::Add(float x, float y, float pressure) {
    if (!points.empty()) {
        const StrokePoint& last = points.back();
        const float dx = x - last.x, dy = y - last.y;
        if (!(std::sqrt(dx * dx + dy * dy) >= minDistance)) return {};
    }
    points.push_back(StrokePoint{x, y, pressure});
    const size_t k = points.size();
    std::vector<StrokePoint> out;
    if (k == 3) {
        out = CatmullRomSegment(points[0], points[0], points[1], points[2]);
    } else if (k >= 4) {
        out = CatmullRomSegment(points[k - 4], points[k - 3], points[k - 2], points[k - 1]);
        if (k > 4) points.erase(points.begin(), points.end() - 4);
    }
    return out;
}

std::vector<StrokePoint> StrokePath::Finish() {
    const size_t k = points.size();
    std::vector<StrokePoint> out;
    if (k == 2) out = CatmullRomSegment(points[0], points[0], points[1], points[1]);
    else if (k >= 3) out = CatmullRomSegment(points[k - 3], points[k - 2], points[k - 1], points[k - 1]);
    points.clear();
    return out;
}

std::vector<StrokePoint> StrokePath::CatmullRomSegment(const StrokePoint& p0, const StrokePoint& p1,
                                                       const StrokePoint& p2, const StrokePoint& p3) const {
    const float dx = p2.x - p1.x, dy = p2.y - p1.y;
    const float d = std::sqrt(dx * dx + dy * dy);
    const float st = step > 0.0f ? step : 2.0f;
    // A piece is at most as long as the pointer moved; a bound keeps a
    // nonsense coordinate from asking for billions of points.
    const float mf = std::ceil(d / st);
    const int m = std::isfinite(mf) ? std::clamp(int(std::min(mf, 1.0e6f)), 1, 1000000) : 1;
    std::vector<StrokePoint> out;
    out.reserve(size_t(m));
    auto curve = [](float a0, float a1, float a2, float a3, float t) {
        return 0.5f * (2.0f * a1 + (a2 - a0) * t + (2.0f * a0 - 5.0f * a1 + 4.0f * a2 - a3) * t * t +
                       (3.0f * a1 - a0 - 3.0f * a2 + a3) * t * t * t);
    };
    for (int i = 1; i <= m; ++i) {
        const float t = float(i) / float(m);
        StrokePoint p;
        p.x = curve(p0.x, p1.x, p2.x, p3.x, t);
        p.y = curve(p0.y, p1.y, p2.y, p3.y, t);
        p.pressure = std::clamp(curve(p0.pressure, p1.pressure, p2.pressure, p3.pressure, t), 0.0f, 1.0f);
        out.push_back(p);
    }
    return out;
}

// --- BrushEngine ---

BrushEngine::BrushEngine() { state_.Reset(); }
BrushEngine::~BrushEngine() = default;

void BrushEngine::Init(DabRenderer* renderer, ICanvasWriteView* view) {
    if (renderer_ && strokeActive_) renderer_->UnpinImageHashes();
    renderer_ = renderer;
    target = view;
    state_.Reset();
    strokeActive_ = false;
    lastX_ = lastY_ = 0;
    colour_ = 0xFF000000u;
    settings_ = BrushSettings();
    path_ = StrokePath();
    kind = kBrushKindPaint;
    wetParams = WetPaintParams();
    reservoir_ = PixelReservoir();
    smudgeStrength = 0.8f;
    smudgePatch_ = PixelReservoir();
    aligned = true;
    allLayers = true;
    freezeSource = false;
    backdrop = nullptr;
    scratch_.reset();
    scratchOpacity_ = 1.0f;
    maskTarget = false;
    selection = nullptr;
    clip_.reset();
    cloneSourceX = cloneSourceY = 0;
    cloneSourceSet = false;
    cloneOffsetX = cloneOffsetY = 0;
    cloneOffsetValid = false;
    hostCallback_ = nullptr;
    needsSource_ = true;
}

void BrushEngine::SetHostDabCallback(HostDabCallback callback, bool needsSource) {
    hostCallback_ = std::move(callback);
    needsSource_ = needsSource;
}

void BrushEngine::SetCloneSource(float x, float y) {
    cloneSourceX = x;
    cloneSourceY = y;
    cloneSourceSet = true;
    cloneOffsetValid = false;
}

ICanvasWriteView* BrushEngine::DabView() const {
    if (scratch_) return scratch_.get();
    if (clip_) return clip_.get();
    return target;
}

void BrushEngine::BeginStroke(float x, float y, uint32_t colour, const BrushSettings& settings, float pressure) {
    if (!renderer_ || !target) return;
    if (strokeActive_) EndStroke();
    state_.Reset();
    strokeActive_ = true;
    colour_ = colour;
    settings_ = settings;
    renderer_->PinImageHashes(settings);

    clip_.reset();
    if (selection && (selection->AllSelected() || selection->HasSelection()))
        clip_ = std::make_unique<SelectionClippingView>(target, selection);
    scratch_.reset();
    scratchOpacity_ = 1.0f;
    if (kind == kBrushKindPaint && !settings.erase && settings.opacity < 0.999f && !maskTarget) {
        scratch_ = std::make_unique<ScratchCanvasView>(target);
        scratchOpacity_ = settings.opacity;
    }

    const StrokePoint p = path_.Reset(x, y, pressure);
    BrushSettings s = ApplyPressure(settings, p.pressure);
    if (scratch_) s.opacity = 1.0f;
    lastX_ = p.x;
    lastY_ = p.y;
    ICanvasWriteView& view = *DabView();
    DabRenderer& r = *renderer_;

    auto startOffset = [&]() {
        if (!cloneOffsetValid || !aligned) {
            cloneOffsetX = std::round(p.x - cloneSourceX);
            cloneOffsetY = std::round(p.y - cloneSourceY);
            cloneOffsetValid = true;
        }
    };
    switch (kind) {
    case kBrushKindMixer:
        r.BeginMixer(view, p.x, p.y, colour, state_, reservoir_, s, wetParams);
        return;  // the mixer sets its own next-dab distance
    case kBrushKindSmudge:
        r.BeginSmudge(view, p.x, p.y, state_, smudgePatch_, s);
        return;
    case kBrushKindClone:
        if (cloneSourceSet) {
            startOffset();
            const float sx = freezeSource ? cloneSourceX : p.x - cloneOffsetX;
            const float sy = freezeSource ? cloneSourceY : p.y - cloneOffsetY;
            r.StampCloneDab(view, p.x, p.y, sx, sy, s, allLayers ? backdrop : nullptr);
        }
        break;
    case kBrushKindHost:
        if (hostCallback_ && (!needsSource_ || cloneSourceSet)) {
            float sx = p.x, sy = p.y;
            ICanvasWriteView* source = nullptr;
            if (needsSource_) {
                startOffset();
                sx = freezeSource ? cloneSourceX : p.x - cloneOffsetX;
                sy = freezeSource ? cloneSourceY : p.y - cloneOffsetY;
                source = allLayers ? backdrop : nullptr;
            }
            r.StampHostDab(view, p.x, p.y, sx, sy, s, hostCallback_, needsSource_, source, colour);
        }
        break;
    default: {
        r.BuildTip(s);
        const float alpha = std::clamp(s.flow * s.opacity, 0.0f, 1.0f);
        r.StampPaintDab(view, p.x, p.y, colour, r.Tip().data(), r.TipSize(), alpha, s.erase);
        break;
    }
    }
    state_.nextDabDistance = std::max(s.size * SpacingFactor(s), 0.5f);
}

void BrushEngine::WalkPoints(const std::vector<StrokePoint>& pts, DirtyRect& dirty) {
    ICanvasWriteView& view = *DabView();
    DabRenderer& r = *renderer_;
    float left = 0, top = 0, right = 0, bottom = 0;
    bool any = dirty.valid;
    if (any) {
        left = float(dirty.x), top = float(dirty.y);
        right = float(dirty.x) + float(dirty.width), bottom = float(dirty.y) + float(dirty.height);
    }
    for (const StrokePoint& q : pts) {
        BrushSettings s = ApplyPressure(settings_, q.pressure);
        if (scratch_) s.opacity = 1.0f;
        switch (kind) {
        case kBrushKindMixer:
            r.MixerSegment(view, lastX_, lastY_, q.x, q.y, state_, reservoir_, s, wetParams);
            break;
        case kBrushKindSmudge:
            r.SmudgeSegment(view, lastX_, lastY_, q.x, q.y, state_, smudgePatch_, s, smudgeStrength);
            break;
        case kBrushKindClone:
            if (cloneOffsetValid)
                r.CloneSegment(view, lastX_, lastY_, q.x, q.y, cloneOffsetX, cloneOffsetY, state_, s,
                               allLayers ? backdrop : nullptr, freezeSource, cloneSourceX, cloneSourceY);
            break;
        case kBrushKindHost:
            if (hostCallback_ && (!needsSource_ || cloneOffsetValid)) {
                if (needsSource_)
                    r.HostSegment(view, lastX_, lastY_, q.x, q.y, cloneOffsetX, cloneOffsetY, state_, s,
                                  allLayers ? backdrop : nullptr, freezeSource, cloneSourceX, cloneSourceY,
                                  hostCallback_, true, colour_);
                else
                    r.HostSegment(view, lastX_, lastY_, q.x, q.y, 0, 0, state_, s, nullptr, false, 0, 0,
                                  hostCallback_, false, colour_);
            }
            break;
        default:
            r.PaintSegment(view, lastX_, lastY_, q.x, q.y, colour_, state_, s);
            break;
        }
        // Scattered dabs land up to scatter x half the size off the path, so
        // the changed area grows by that much too.
        const float grow = s.size * 0.5f * (1.0f + std::max(s.scatter, 0.0f));
        const float l = std::floor(std::min(lastX_, q.x) - grow), t = std::floor(std::min(lastY_, q.y) - grow);
        const float rr = std::ceil(std::max(lastX_, q.x) + grow), b = std::ceil(std::max(lastY_, q.y) + grow);
        if (!any) {
            left = l, top = t, right = rr, bottom = b;
            any = true;
        } else {
            left = std::min(left, l), top = std::min(top, t);
            right = std::max(right, rr), bottom = std::max(bottom, b);
        }
        lastX_ = q.x;
        lastY_ = q.y;
    }
    if (!any) return;
    // Clamp into int range before converting; sizes are limited elsewhere.
    auto toInt = [](float v) { return int32_t(std::clamp(v, -1.0e9f, 1.0e9f)); };
    dirty.x = toInt(left);
    dirty.y = toInt(top);
    dirty.width = toInt(right) - dirty.x;
    dirty.height = toInt(bottom) - dirty.y;
    dirty.valid = dirty.width > 0 && dirty.height > 0;
}

DirtyRect BrushEngine::StrokeTo(float x, float y, uint32_t colour, const BrushSettings& settings, float pressure) {
    DirtyRect dirty;
    if (!strokeActive_ || !renderer_ || !target) return dirty;
    colour_ = colour;
    settings_ = settings;
    const std::vector<StrokePoint> pts = path_.Add(x, y, pressure);
    if (pts.empty()) return dirty;
    WalkPoints(pts, dirty);
    return dirty;
}

DirtyRect BrushEngine::EndStroke() {
    DirtyRect dirty;
    if (!strokeActive_ || !renderer_ || !target) return dirty;
    WalkPoints(path_.Finish(), dirty);
    if (scratch_) {
        scratch_->CommitToInner(clip_ ? static_cast<ICanvasWriteView*>(clip_.get()) : target, scratchOpacity_);
        scratch_.reset();
        scratchOpacity_ = 1.0f;
    }
    clip_.reset();
    strokeActive_ = false;
    renderer_->UnpinImageHashes();
    if (!aligned) cloneOffsetValid = false;
    return dirty;
}
