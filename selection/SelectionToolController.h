#pragma once
// One per scene: the selection tool in use, its options and the shape being drawn.
class SelectionToolController {
public:
    SelectionToolController() = default;
};
