#pragma once
// A document with one textured bitmap object open in a paint session and the
// real smart-fill provider installed, for the inpaint session and Apply tests.
#include "brushes/BitmapPaintSession.h"
#include "document/CQuillfenEditorDoc.h"
#include "selection/InpaintApply.h"
#include "selection/InpaintSession.h"

#include "../document/BitmapObjects.h"
#include "../document/CommandFixture.h"

#include <gtest/gtest.h>

// A 96 x 72 canvas; the object "obj" is 48 x 40 at (16, 12), a texture of
// stripes with a red blob at object pixels (18..23, 14..19), optionally
// rotated about its centre.
inline constexpr uint32_t kBlob = 0xFFFF0000u;

struct InpaintEnv {
    FakeHost host;
    CQuillfenEditorDoc doc;
    BitmapPaintSession paint;

    explicit InpaintEnv(float rotation = 0.0f) {
        doc.SetHost(&host);
        doc.SetSmartFillProvider(&GetInpaintSmartFillProvider());
        doc.mainScene.width = 96;
        doc.mainScene.height = 72;
        CanvasObject o = MakeBitmapObject("obj", "Obj", 16, 12, 48, 40, PngOf(48, 40, [](int x, int y) {
                                              if (x >= 18 && x < 24 && y >= 14 && y < 20) return kBlob;
                                              return ((x / 3 + y / 5) % 2) ? 0xFF2060C0u : 0xFFE0C040u;
                                          }));
        o.rotation = rotation;
        AddTo(doc.mainScene, "layer_1", o);
        host.paintingView = &paint;
    }
    // Opens the paint session, selects the rectangle and runs "Inpaint (Smart
    // Fill)..."; the host's mode switch is played on the document.
    InpaintSession* Start(int x, int y, int w, int h, uint8_t value = 255) {
        if (!paint.IsActive() && !paint.Begin(doc, "obj", false)) return nullptr;
        SelectRect(doc.mainScene, x, y, w, h, value);
        doc.OnImageInpaint();
        if (!host.modeSwitches.empty()) doc.SetEditorMode(host.modeSwitches.back());
        return GetActiveInpaintSession(doc);
    }
    const CanvasObject& Obj() { return *doc.mainScene.FindObject("obj"); }
};
