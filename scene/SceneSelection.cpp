// The scene's pixel selection: its mask, the undo copies and the refine
// operations. The tool that draws into the mask is the document's.
#include "filters/GaussianBlurRecursive.h"
#include "platform/Bitmap.h"
#include "scene/CanvasDocument.h"
#include "scene/SelectionMask.h"
#include "selection/MaskRefine.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A canvas side in whole pixels: rounded half away from zero, at least 1. The
// upper limit keeps every later x + width sum inside 32 bits.
int MaskSide(float side) {
    if (!std::isfinite(side)) return 1;
    const double r = std::round(double(side));
    return int(std::clamp(r, 1.0, double(1 << 30)));
}

}  // namespace

void CanvasDocument::EnsureSelectionMask() {
    const int w = MaskSide(width), h = MaskSide(height);
    if (!selectionMask || selectionMask->Width() != w || selectionMask->Height() != h) {
        selectionMaskSerial = NextSelectionMaskSerial();
        selectionMask = std::make_unique<SelectionMask>(w, h, SelectionMask::kDefaultTileSize);
        selectionUndo.clear();
        selectionRedo.clear();
        deselectedMask.reset();
        // A base of the old size could never be assigned to the new mask.
        if (refineBase && (refineBase->Width() != w || refineBase->Height() != h)) refineBase.reset();
    }
}

void CanvasDocument::PushSelectionUndo() {
    if (!selectionMask) return;
    auto copy = std::make_unique<SelectionMask>(selectionMask->Width(), selectionMask->Height(),
                                                selectionMask->TileSize());
    copy->Assign(*selectionMask);
    selectionUndo.push_back(std::move(copy));
    selectionRedo.clear();
}

void CanvasDocument::RefineSelection(int32_t operation, int32_t radius) {
    if (!refineBase || !selectionMask) return;
    // The first refinement that can change the selection keeps the selection
    // as it was chosen for undo; a visit of the tool alone keeps nothing.
    if (!refineUndoTaken && radius > 0) {
        PushSelectionUndo();
        refineUndoTaken = true;
    }
    // Each result is the base refined once, so radii never accumulate.
    if (!selectionMask->Assign(*refineBase)) return;
    SelectionMask& mask = *selectionMask;
    const int r = radius;
    int bx = 0, by = 0, bw = 0, bh = 0;
    // The mask is never empty: EnsureSelectionMask makes both sides at least 1.
    if (r > 0 && refineBase->GetBounds(bx, by, bw, bh)) {
        const int64_t x0 = std::max<int64_t>(int64_t(bx) - r, 0), y0 = std::max<int64_t>(int64_t(by) - r, 0);
        const int64_t x1 = std::min<int64_t>(int64_t(bx) + bw + r, mask.Width());
        const int64_t y1 = std::min<int64_t>(int64_t(by) + bh + r, mask.Height());
        const int64_t rw = x1 - x0, rh = y1 - y0;
        // The work buffer obeys the same cap as any bitmap; a larger region is
        // left as the base rather than failing the allocation.
        if (rw > 0 && rh > 0 && rw * rh <= kMaxBitmapPixels) {
            std::vector<uint8_t> buf(size_t(rw * rh));
            mask.ReadRect(int(x0), int(y0), int(rw), int(rh), buf.data());
            switch (operation) {
            case 0:
                MaskDilate(buf.data(), int32_t(rw), int32_t(rh), r);
                break;
            case 1:
                MaskErode(buf.data(), int32_t(rw), int32_t(rh), r);
                break;
            case 2:
                GaussianBlurRecursive(buf.data(), int(rw), int(rh), double(r), double(r), 1);
                break;
            default:
                break;
            }
            mask.WriteRect(int(x0), int(y0), int(rw), int(rh), buf.data());
        }
    }
}
