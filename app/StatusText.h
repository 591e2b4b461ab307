#pragma once
// The two texts of the status bar, composed from a scene: the selection on
// the left (or a tool's hint while one is set), canvas size and the selected
// object's position on the right.
#include <string>

class CanvasDocument;

struct StatusTexts {
    std::string left, right;
    bool operator==(const StatusTexts&) const = default;
};

// scene may be null (no document): both texts empty.
StatusTexts ComposeStatusTexts(const CanvasDocument* scene, const std::string& hint);
