#pragma once
// What the document asks of the main frame and its views. The document lives
// in the core library and never sees a window: the main frame implements this
// interface and hands it to the document (CQuillfenEditorDoc::SetHost).
//
// Services of other subsystems each have their own small provider interface,
// installed on the document by the application, so adding one never touches
// the others: DialogProvider.h (modal dialogs), PaintSessionProvider.h (the
// paint session of a view), PoseEditorProvider.h (the Pose Editor) and
// SmartFillProvider.h (the smart-fill session).
#include <cstdint>
#include <functional>
#include <string>

class Profile;
class Prompts;

// The main frame and its views, as the document sees them.
class DocumentHost {
public:
    virtual ~DocumentHost() = default;
    // Full update of every view of the document (layer list re-layout included).
    virtual void UpdateAllViews() = 0;
    // Repaint every view without an update notification.
    virtual void InvalidateAllViews() = 0;
    // The properties pane rebuilds its tab context, when the pane exists.
    virtual void RefreshPropertiesPane() = 0;
    // The status bar re-reads the selection and its placement.
    virtual void UpdateStatusText() = 0;
    // A hint a view shows in the status bar in place of the selection text
    // while an interaction lasts; empty ends it.
    virtual void SetStatusHint(const std::string& text) { (void)text; }
    // The paint colour (the colour wheel's, 0xAARRGGBB); false when there is
    // no wheel. SetPaintColour loads a picked colour into the wheel.
    virtual bool GetPaintColour(uint32_t& argb) {
        (void)argb;
        return false;
    }
    virtual void SetPaintColour(uint32_t argb) { (void)argb; }
    // The layer list highlights the object under the canvas pointer (empty: none).
    virtual void SetLayerListHoverObject(const std::string& objectId) { (void)objectId; }
    // Switches the hosted view to the workspace mode (and tells the document).
    virtual void SetWorkspaceMode(int mode) = 0;
    // Where messages and file dialogs go, and the per-user settings; null when
    // the host has none.
    // Runs task once the event loop is idle again (after the command in
    // progress has finished); false when the host cannot defer work.
    virtual bool PostIdleTask(std::function<void()> task) {
        (void)task;
        return false;
    }
    virtual Prompts* GetPrompts() = 0;
    virtual Profile* GetProfile() = 0;
};
