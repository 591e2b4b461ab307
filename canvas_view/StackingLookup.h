#pragma once
// Where the primary selected object sits in its layer, for the stacking
// commands (Bring to Top, Raise, Lower, Send to Bottom).
#include <string>

class CanvasDocument;

struct SelectedObjectInLayer {
    std::string layerId;
    int index = -1;  // in the layer's object list, 0 the topmost
    int count = 0;   // objects in that layer
    bool found = false;
};

// Searches the layers and their objects in stored order for the primary
// selected id; not found without a scene or a primary selection.
SelectedObjectInLayer FindSelectedObjectInLayer(const CanvasDocument* mainScene);
