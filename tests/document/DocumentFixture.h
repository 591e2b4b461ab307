#pragma once
// A document with a recording host and a few small objects, shared by the
// document and undo tests.
#include "document/CQuillfenEditorDoc.h"
#include "platform/Profile.h"
#include "platform/Prompts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

// The frame double also names the painting view, as the frame does.
struct FakeHost : DocumentHost, PaintSessionProvider {
    int updates = 0, invalidates = 0, paneRefreshes = 0, statusUpdates = 0;
    DocumentEditSession* paintingView = nullptr;
    std::function<void()> onUpdate;
    std::function<void()> onPaneRefresh;
    ScriptedPrompts prompts;
    MemoryProfile profile;

    void UpdateAllViews() override {
        ++updates;
        if (onUpdate) onUpdate();
    }
    void InvalidateAllViews() override { ++invalidates; }
    void RefreshPropertiesPane() override {
        ++paneRefreshes;
        if (onPaneRefresh) onPaneRefresh();
    }
    void UpdateStatusText() override { ++statusUpdates; }
    DocumentEditSession* FindPaintingView() override { return paintingView; }
    std::vector<int> modeSwitches;  // every SetWorkspaceMode asked of the frame
    void SetWorkspaceMode(int mode) override { modeSwitches.push_back(mode); }
    Prompts* GetPrompts() override { return &prompts; }
    Profile* GetProfile() override { return &profile; }
};

// A paint session double that counts what the document asks of it.
// Ends as a real session does: a commit closes it, unless failCommit makes it
// fail the way a commit that cannot store the painting does (open, in place).
struct FakeSession : DocumentEditSession {
    bool active = true;
    bool failCommit = false;
    int commits = 0, cancels = 0, strokeUndos = 0, strokeRedos = 0;
    int undoable = 0, redoable = 0;
    bool IsActive() const override { return active; }
    void Commit(CQuillfenEditorDoc& doc) override {
        ++commits;
        if (failCommit) return;
        active = false;
        doc.paintSession = nullptr;
    }
    void Cancel(CQuillfenEditorDoc& doc) override {
        ++cancels;
        active = false;
        doc.paintSession = nullptr;
    }
    bool CanUndoStroke() const override { return undoable > 0; }
    bool CanRedoStroke() const override { return redoable > 0; }
    void UndoStroke() override {
        ++strokeUndos;
        if (undoable > 0) --undoable, ++redoable;
    }
    void RedoStroke() override {
        ++strokeRedos;
        if (redoable > 0) --redoable, ++undoable;
    }
};

inline CanvasObject MakeObject(const std::string& id, const std::string& name = "obj", float x = 10, float y = 20) {
    CanvasObject o;
    o.id = id;
    o.name = name;
    o.x = x;
    o.y = y;
    o.width = 100;
    o.height = 50;
    return o;
}

inline void AddTo(CanvasDocument& scene, const std::string& layerId, CanvasObject o) {
    Layer* layer = scene.FindLayer(layerId);
    ASSERT_NE(layer, nullptr);
    int32_t top = -1;
    for (const CanvasObject& x : layer->objects) top = std::max(top, x.z);
    o.z = top + 1;
    ASSERT_TRUE(scene.AddObjectToLayer(*layer, o));
}

// Everything undo must put back, as text: layers in drawing order (by their
// order numbers), their objects in stacking order, the canvas colour and the
// selection.
inline std::string Signature(const CanvasDocument& s, const std::vector<JointLink>* links = nullptr) {
    std::ostringstream out;
    out << "canvas " << s.width << "x" << s.height << " " << std::hex << s.canvasColour << std::dec << "\n";
    std::vector<const Layer*> layers;
    for (const Layer& l : s.layers) layers.push_back(&l);
    std::stable_sort(layers.begin(), layers.end(), [](const Layer* a, const Layer* b) { return a->order < b->order; });
    for (const Layer* l : layers) {
        out << "layer " << l->id << " '" << l->name << "' v" << l->visible << " l" << l->locked << " o" << l->order
            << "\n";
        for (const CanvasObject& o : l->objects) {
            out << "  " << o.id << " '" << o.name << "' " << o.x << "," << o.y << " " << o.width << "x" << o.height
                << " r" << o.rotation << " a" << o.opacity << " k" << int(o.kind) << " v" << o.visible << " l"
                << o.locked << " z" << o.z << " b" << int(o.blendMode) << " c" << o.clipToLayerBelow << " pb"
                << o.photoBash.bgRadius << "/" << o.photoBash.fgRadius << "/" << o.photoBash.mix << " lc"
                << o.lightCone.height << "/" << o.lightCone.lightX << "/" << std::hex << o.lightCone.tint << std::dec
                << " parts" << o.parts.size() << " mask" << o.maskWidth << "x" << o.maskHeight << " bones";
            for (const Bone& b : o.bones) out << " " << b.id << "(" << b.headX << "," << b.tailX << ")";
            out << " effects";
            for (const EffectInstance& e : o.effects) out << " " << int(e.type) << (e.enabled ? "+" : "-");
            out << "\n";
        }
    }
    out << "active " << s.activeLayerId << " primary " << s.primarySelectedId << " selected";
    for (const std::string& id : s.selectedIds) out << " " << id;
    if (links) {
        out << "\nlinks";
        for (const JointLink& l : *links) {
            out << " [" << l.id;
            for (const JointLinkEnd& e : l.ends) out << " " << e.objectId << ":" << e.boneId << ":" << e.end;
            out << "]";
        }
    }
    return out.str();
}

// A host and a document whose main scene holds object_1 "Tree" (selected)
// under object_2 "Rock" on layer_1.
struct DocumentEnv {
    FakeHost host;
    CQuillfenEditorDoc doc;
    DocumentEnv() {
        doc.SetHost(&host);
        doc.SetPaintSessionProvider(&host);
        AddTo(doc.mainScene, "layer_1", MakeObject("object_1", "Tree"));
        AddTo(doc.mainScene, "layer_1", MakeObject("object_2", "Rock", 300, 300));
        doc.mainScene.SelectObject("object_1");
    }
};

class DocumentFixture : public ::testing::Test {
protected:
    std::string Main() const { return Signature(doc.mainScene); }
    CanvasObject& Obj(const std::string& id) { return *doc.mainScene.FindObject(id); }

    DocumentEnv env;
    FakeHost& host = env.host;
    CQuillfenEditorDoc& doc = env.doc;
};
