#include "selection/InpaintSession.h"

#include "brushes/BitmapPaintSession.h"
#include "document/CQuillfenEditorDoc.h"
#include "scene/CanvasWriteViews.h"
#include "scene/SelectionMask.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

void InpaintSession::Reset() {
    active = false;
    cropX = cropY = cropWidth = cropHeight = 0;
    display.release();
    unfilled.release();
    layer.release();
    hole.release();
    source.release();
    opaque.release();
    objectId.clear();
}

namespace {

// The crop covers the object's rotated and warped outline, so that every
// canvas pixel of the object (and so every selected pixel it holds) lies in it.
bool CropRect(const CanvasObject& object, int32_t layerW, int32_t layerH, int32_t& x0, int32_t& y0, int32_t& w,
              int32_t& h) {
    const SceneRect b = object.GetBounds();
    if (!std::isfinite(b.x) || !std::isfinite(b.y) || !std::isfinite(b.width) || !std::isfinite(b.height))
        return false;
    const double left = std::floor(double(b.x)), top = std::floor(double(b.y));
    const double right = std::ceil(double(b.x) + b.width), bottom = std::ceil(double(b.y) + b.height);
    const double cx0 = std::max(0.0, left), cy0 = std::max(0.0, top);
    const double cx1 = std::min(double(layerW), right), cy1 = std::min(double(layerH), bottom);
    if (cx1 - cx0 < 1 || cy1 - cy0 < 1) return false;
    x0 = int32_t(cx0);
    y0 = int32_t(cy0);
    w = int32_t(cx1 - cx0);
    h = int32_t(cy1 - cy0);
    return true;
}

}  // namespace

bool InpaintSession::Begin(CQuillfenEditorDoc& doc) {
    Reset();
    DocumentEditSession* paint = doc.paintSession;
    const SelectionMask* selection = doc.mainScene.selectionMask.get();
    if (!paint || !paint->IsActive() || paint->EditsMask() || !selection || !selection->HasSelection()) return false;
    DocumentEditSession::WorkingSurface surface;
    if (!paint->GetWorkingSurface(surface) || !surface.pixels || surface.premultiplied || surface.width <= 0 ||
        surface.height <= 0 || surface.stride < int64_t(surface.width) * 4)
        return false;
    const std::string id = paint->PaintedObjectId();
    const CanvasObject* object = id.empty() ? nullptr : doc.mainScene.FindObject(id);
    if (!object) return false;
    int32_t x0 = 0, y0 = 0, w = 0, h = 0;
    if (!CropRect(*object, surface.width, surface.height, x0, y0, w, h)) return false;

    try {
        unfilled.create(h, w, CV_8UC4);
        opaque.create(h, w, CV_8UC1);
        hole.create(h, w, CV_8UC1);
        source.create(h, w, CV_8UC1);
        for (int32_t r = 0; r < h; ++r) {
            const uint8_t* in = surface.pixels + int64_t(y0 + r) * surface.stride + int64_t(x0) * 4;
            uint8_t* out = unfilled.ptr<uint8_t>(r);
            uint8_t* op = opaque.ptr<uint8_t>(r);
            for (int32_t c = 0; c < w; ++c) {
                const uint8_t* p = in + c * 4;
                if (p[3] == 0) {
                    std::memset(out + c * 4, 0, 4);
                    op[c] = 0;
                } else {
                    std::memcpy(out + c * 4, p, 4);
                    op[c] = 255;
                }
            }
        }
        display = unfilled.clone();
        // The result goes back into the working layer, which the object's mask
        // plane is applied over again: outside the hole it keeps the layer's
        // own pixels, so the mask never applies twice.
        layer = unfilled.clone();
        if (auto* bitmap = dynamic_cast<BitmapPaintSession*>(paint); bitmap && bitmap->LayerView() && w > 0)
            bitmap->LayerView()->ReadRect(x0, y0, w, h, layer.ptr<uint32_t>(0));
        selection->ReadRect(x0, y0, w, h, hole.ptr<uint8_t>(0));
        cv::bitwise_and(hole, opaque, hole);
    } catch (const std::bad_alloc&) {
        Reset();
        return false;
    } catch (const cv::Exception&) {
        Reset();
        return false;
    }
    cropX = x0;
    cropY = y0;
    cropWidth = w;
    cropHeight = h;
    objectId = id;
    active = true;
    SelectAllSource();
    return true;
}

void InpaintSession::SelectAllSource() {
    if (!active || source.empty() || opaque.empty() || hole.empty()) return;
    for (int32_t r = 0; r < cropHeight; ++r) {
        const uint8_t* op = opaque.ptr<uint8_t>(r);
        const uint8_t* ho = hole.ptr<uint8_t>(r);
        uint8_t* so = source.ptr<uint8_t>(r);
        for (int32_t c = 0; c < cropWidth; ++c) so[c] = (op[c] != 0 && ho[c] == 0) ? 255 : 0;
    }
}

void InpaintSession::ClearSource() {
    if (active && !source.empty()) source.setTo(0);
}

void InpaintSession::PaintSourceMask(int32_t x, int32_t y) {
    if (!active || source.empty() || opaque.empty()) return;
    const int64_t r = std::max<int32_t>(1, brushRadius);
    const int64_t i0 = std::max<int64_t>(0, int64_t(y) - r), i1 = std::min<int64_t>(int64_t(y) + r + 1, cropHeight);
    const int64_t j0 = std::max<int64_t>(0, int64_t(x) - r), j1 = std::min<int64_t>(int64_t(x) + r + 1, cropWidth);
    const uint8_t value = erase ? 0 : 255;
    for (int64_t i = i0; i < i1; ++i) {
        const uint8_t* op = opaque.ptr<uint8_t>(int(i));
        uint8_t* so = source.ptr<uint8_t>(int(i));
        for (int64_t j = j0; j < j1; ++j) {
            const int64_t dy = i - y, dx = j - x;
            if (dx * dx + dy * dy <= r * r && op[j] != 0) so[j] = value;
        }
    }
}

InpaintSession* GetActiveInpaintSession(CQuillfenEditorDoc& doc) {
    InpaintSession* s = doc.inpaintSession.get();
    return s && s->active ? s : nullptr;
}

std::shared_ptr<InpaintSession> InpaintSmartFillProvider::CreateSession() {
    return std::make_shared<InpaintSession>();
}

bool InpaintSmartFillProvider::Begin(InpaintSession& session, CQuillfenEditorDoc& doc) { return session.Begin(doc); }

bool InpaintSmartFillProvider::Access(InpaintSession& s, InpaintSourceAccess& out) {
    out = InpaintSourceAccess{};
    out.active = s.active;
    out.eraseFlag = &s.erase;
    if (!s.active) return true;
    out.cropWidth = s.cropWidth;
    out.cropHeight = s.cropHeight;
    if (!s.hole.empty()) out.hole = s.hole.data, out.holeStride = int64_t(s.hole.step[0]);
    if (!s.source.empty()) out.source = s.source.data, out.sourceStride = int64_t(s.source.step[0]);
    if (!s.opaque.empty()) out.alpha = s.opaque.data, out.alphaStride = int64_t(s.opaque.step[0]);
    return true;
}

SmartFillProvider& GetInpaintSmartFillProvider() {
    static InpaintSmartFillProvider provider;
    return provider;
}
