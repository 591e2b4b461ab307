#pragma once
// Doubles for the document's commands: a host with scripted dialogs, a paint
// session with a working surface, and a smart-fill service.
#include "DocumentFixture.h"

#include "document/DialogProvider.h"
#include "document/DocumentCommands.h"
#include "document/SmartFillProvider.h"
#include "platform/CommandTable.h"
#include "scene/SelectionMask.h"

#include <deque>
#include <optional>

struct CommandHost : FakeHost, DialogProvider {
    // Answers of the "Set Canvas" dialog in order: nullopt cancels.
    std::deque<std::optional<CanvasSizeDialogValues>> canvasAnswers;
    std::vector<CanvasSizeDialogValues> canvasShown;
    int brightnessRuns = 0, testBonesRuns = 0;
    std::vector<int> modes;

    bool RunCanvasSizeDialog(CanvasSizeDialogValues& values) override {
        canvasShown.push_back(values);
        if (canvasAnswers.empty()) return false;
        auto answer = canvasAnswers.front();
        canvasAnswers.pop_front();
        if (!answer) return false;
        values = *answer;
        return true;
    }
    void RunBrightnessDialog(CQuillfenEditorDoc&) override { ++brightnessRuns; }
    void RunTestBonesDialog(const CanvasDocument&, const std::vector<JointLink>&) override { ++testBonesRuns; }
    void SetWorkspaceMode(int mode) override { modes.push_back(mode); }
};

// A paint session over a canvas-sized premultiplied surface.
struct PaintingSession : FakeSession {
    std::string objectId;
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    bool isolated = false;
    int strokeEnds = 0, hiddenRestored = 0, pixelOps = 0;

    std::string PaintedObjectId() const override { return objectId; }
    bool GetWorkingSurface(WorkingSurface& out) const override {
        if (pixels.empty()) return false;
        out.pixels = pixels.data();
        out.width = width;
        out.height = height;
        out.stride = int64_t(width) * 4;
        out.premultiplied = true;
        return true;
    }
    void SetIsolation(bool on) override { isolated = on; }
    void StrokeEnd() override { ++strokeEnds; }
    void RestoreHiddenLayers() override { ++hiddenRestored; }
    void ApplyPixelOp(CQuillfenEditorDoc&, PixelOp32, const void*) override { ++pixelOps; }
};

// Stands in for the smart-fill subsystem. The document only passes its
// sessions back here, so the record behind the handle is this test's own.
struct FakeInpaint : SmartFillProvider {
    struct Record {
        bool active = false;
        int32_t w = 0, h = 0;
        std::vector<uint8_t> hole, source, alpha;
        bool erase = false;
    };
    bool beginSucceeds = true;
    int begins = 0;
    Record* last = nullptr;

    std::shared_ptr<InpaintSession> CreateSession() override {
        auto record = std::make_shared<Record>();
        last = record.get();
        return std::shared_ptr<InpaintSession>(record, reinterpret_cast<InpaintSession*>(record.get()));
    }
    static Record& Of(InpaintSession& s) { return *reinterpret_cast<Record*>(&s); }
    bool Begin(InpaintSession& s, CQuillfenEditorDoc&) override {
        ++begins;
        if (!beginSucceeds) return false;
        Record& r = Of(s);
        r.active = true;
        r.w = 3;
        r.h = 2;
        r.hole = {0, 255, 0, 0, 0, 0};
        r.alpha = {255, 255, 0, 255, 255, 255};
        r.source.assign(6, 7);
        return true;
    }
    bool Access(InpaintSession& s, InpaintSourceAccess& out) override {
        Record& r = Of(s);
        out.active = r.active;
        out.cropWidth = r.w;
        out.cropHeight = r.h;
        out.hole = r.hole.empty() ? nullptr : r.hole.data();
        out.holeStride = r.w;
        out.source = r.source.empty() ? nullptr : r.source.data();
        out.sourceStride = r.w;
        out.alpha = r.alpha.empty() ? nullptr : r.alpha.data();
        out.alphaStride = r.w;
        out.eraseFlag = &r.erase;
        return true;
    }
};

// Coverage rectangle written into a scene's selection (made at canvas size).
inline void SelectRect(CanvasDocument& scene, int x, int y, int w, int h, uint8_t value = 255) {
    scene.EnsureSelectionMask();
    std::vector<uint8_t> bytes(size_t(w) * size_t(h), value);
    scene.selectionMask->WriteRect(x, y, w, h, bytes.data());
}

struct CommandEnv {
    CommandHost host;
    CQuillfenEditorDoc doc;
    CommandTable table;
    CommandEnv() {
        doc.SetHost(&host);
        doc.SetPaintSessionProvider(&host);
        doc.SetDialogProvider(&host);
        doc.RegisterCommands(table);
    }
};
