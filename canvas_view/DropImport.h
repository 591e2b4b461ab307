#pragma once
// Image files dropped on the canvas: each supported file becomes a new
// bitmap object centred on the drop point, every next one 24 canvas units
// further down and to the right; failures are gathered into one text.
#include <string>
#include <vector>

class CQuillfenEditorDoc;
class Prompts;

// True when the lower-cased name ends in ".png", ".jpg", ".jpeg" or ".bmp".
bool IsSupportedImageFile(const std::string& name);

// Imports the supported files in order at (x, y) + k * 24 for the k-th
// success; each failure appends "path: message\n" to errors. Unsupported
// names are skipped silently. Returns the number imported.
int ImportDroppedFiles(CQuillfenEditorDoc& doc, const std::vector<std::string>& paths, float x, float y,
                       std::string& errors);

// One warning box listing every failed file.
void ShowDropErrors(Prompts& prompts, const std::string& errors);

// What a view does with a drop: imports at (x, y) and shows the failures
// through the document's frame, when it has one.
int ImportDroppedFilesAndReport(CQuillfenEditorDoc& doc, const std::vector<std::string>& paths, float x,
                                float y);
