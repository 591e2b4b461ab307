#pragma once
// Small queries the Pose Editor view's drawing and input both need.
#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentHost.h"
#include "platform/Profile.h"
#include "scene/SelectionMask.h"

namespace posable_view {

// The paint session covers the scene's canvas only, and its commit keeps
// only what lies on it: a part reaching past the canvas would lose pixels.
inline bool PartFitsScene(const CanvasObject& part, const CanvasDocument& scene) {
    const SceneRect b = part.GetBounds();
    return b.x >= -0.5f && b.y >= -0.5f && b.x + b.width <= scene.width + 0.5f &&
           b.y + b.height <= scene.height + 0.5f;
}

// "Settings"/"SelectionOverlay": 0 shows marching ants, anything else the tint.
inline int SelectionOverlayMode(CQuillfenEditorDoc& doc) {
    DocumentHost* host = doc.Host();
    Profile* profile = host ? host->GetProfile() : nullptr;
    return profile ? int(profile->GetAppDword("Settings", "SelectionOverlay", 0)) : 0;
}

inline bool MaskSelectsAnything(const CanvasDocument& scene) {
    return scene.selectionMask && scene.selectionMask->HasSelection();
}

}  // namespace posable_view
