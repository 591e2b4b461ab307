#pragma once
// A JSON summary of a scene for scripts and checks: the canvas, each layer
// (bottom first) and each layer's objects (topmost first) with their
// placement, blending, mask, part and bone counts, filter stack and posable
// rig: its parts with their bones, its joint links and its stored pose.
#include <string>

class CanvasDocument;

std::string ProjectInfoJson(const CanvasDocument& scene);
