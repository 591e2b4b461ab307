#pragma once
// One smart-fill edit: the crop of the bitmap object being painted, its hole
// (the selected, visible pixels) and the source region the fill may copy from,
// which the user paints in the inpaint workspace. Owned by the document from
// "Inpaint (Smart Fill)..." until Apply succeeds or the edit is cancelled.
//
// Images are straight-alpha B, G, R, A (CV_8UC4); masks are one byte per
// pixel (CV_8UC1), all of the crop's size.
#include "document/SmartFillProvider.h"

#include <opencv2/core.hpp>

#include <cstdint>
#include <string>

class CQuillfenEditorDoc;

class InpaintSession {
public:
    static constexpr int32_t kDefaultBrushRadius = 24;

    // Starts an edit from the document's open paint session and the main
    // scene's selection; false (and the session reset) when it cannot.
    bool Begin(CQuillfenEditorDoc& doc);
    // Inactive, no rectangle, no images, no object.
    void Reset();
    // One dab of the source brush at image pixel (x, y): opaque pixels within
    // the brush radius join the source, or leave it with the erase flag.
    void PaintSourceMask(int32_t x, int32_t y);
    // Everything visible outside the hole feeds the fill (the starting state).
    void SelectAllSource();
    void ClearSource();

    bool active = false;
    int32_t cropX = 0, cropY = 0, cropWidth = 0, cropHeight = 0;
    cv::Mat display;   // what the workspace shows; the fill's result after Apply
    cv::Mat unfilled;  // the pixels before the fill, as shown (an object's mask applied)
    cv::Mat layer;     // the painted pixels under the object's mask: what the result is written over
    cv::Mat hole;      // selection coverage on opaque pixels; also the blend weight
    cv::Mat source;    // 0 or 255: where the fill may copy from
    cv::Mat opaque;    // 0 or 255: where the display's alpha is not 0
    std::string objectId;
    bool erase = false;
    int32_t brushRadius = kDefaultBrushRadius;
};

// The document's session when it is active, else null.
InpaintSession* GetActiveInpaintSession(CQuillfenEditorDoc& doc);

// The provider the application installs on the document.
class InpaintSmartFillProvider : public SmartFillProvider {
public:
    std::shared_ptr<InpaintSession> CreateSession() override;
    bool Begin(InpaintSession& session, CQuillfenEditorDoc& doc) override;
    bool Access(InpaintSession& session, InpaintSourceAccess& out) override;
};
SmartFillProvider& GetInpaintSmartFillProvider();
