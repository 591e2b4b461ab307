// File > Import Image (any number of image files, each a new bitmap object
// of its own undo step) and File > Export as PNG (the main scene at canvas
// size as the canvas shows it, written atomically).
#include "document/CQuillfenEditorDoc.h"

#include "document/ClipboardFormats.h"
#include "platform/Files.h"
#include "platform/Prompts.h"
#include "scene/SceneRender.h"

#include <cmath>

namespace {

constexpr const char* kImportFilter =
    "Image Files (*.png;*.jpg;*.jpeg;*.bmp)|*.png;*.jpg;*.jpeg;*.bmp|PNG Files (*.png)|*.png|"
    "JPEG Files (*.jpg;*.jpeg)|*.jpg;*.jpeg|Bitmap Files (*.bmp)|*.bmp|All Files (*.*)|*.*||";
constexpr const char* kExportFilter = "PNG Image (*.png)|*.png||";

// A canvas side as an output side: nearest integer, at least 1 (NaN gives 1).
int64_t OutputSide(float v) {
    const double r = std::round(double(v));
    if (!(r >= 1)) return 1;
    return r < 2147483647.0 ? int64_t(r) : 2147483647;
}

}  // namespace

void CQuillfenEditorDoc::OnFileImportImage() {
    Prompts* prompts = GetPrompts();
    if (!prompts) return;
    OpenFileRequest request;
    request.filters = ParseFileFilters(kImportFilter);
    request.multiSelect = true;
    request.fileMustExist = true;
    const std::vector<std::string> paths = prompts->AskOpenFiles(request);
    if (paths.empty()) return;

    // Every file is tried; the failures are reported together at the end.
    int imported = 0;
    std::string failures;
    for (const std::string& path : paths) {
        std::string error;
        if (ImportImageFiles(path, -1, -1, error))
            ++imported;
        else
            failures += path + ": " + error + "\n";
    }
    if (!failures.empty())
        prompts->Warn("Imported " + std::to_string(imported) + " image(s).\n\nFailed imports:\n" + failures);
}

std::string CQuillfenEditorDoc::GetTitle() const {
    const std::string name = FileNameOf(GetPathName());
    return name.empty() ? std::string(kDefaultDocumentName) : name;
}

std::string CQuillfenEditorDoc::ProposedPngName(const std::string& title) {
    const size_t dot = title.rfind('.');
    if (dot != std::string::npos && dot != 0) return title.substr(0, dot) + ".png";
    return title + ".png";
}

void CQuillfenEditorDoc::OnFileExportPng() {
    // The export shows what was painted: an open session is committed first,
    // and a painting that cannot be stored stops the export (the session has
    // said why).
    if (!CommitPaintSession()) return;
    const int64_t width = OutputSide(mainScene.width);
    const int64_t height = OutputSide(mainScene.height);

    Prompts* prompts = GetPrompts();
    if (!prompts) return;
    SaveFileRequest request;
    request.filters = ParseFileFilters(kExportFilter);
    request.defaultExtension = "png";
    request.proposedName = ProposedPngName(GetTitle());
    request.promptOverwrite = true;
    const std::optional<std::string> path = prompts->AskSaveFile(request);
    if (!path) return;

    // Every failure names the file and says why; an object that cannot be
    // drawn is named by the composer's reason.
    auto fail = [&](const std::string& why) { prompts->Fail("Could not export \"" + *path + "\".\n\n" + why); };

    // Always the main scene, also while the Pose Editor is open.
    const std::string pixels = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    if (!BitmapSizeAllowed(width, height)) {
        fail("The canvas of " + pixels + " is too large for a picture.");
        return;
    }
    BitmapPtr image = Bitmap::Create(int(width), int(height));
    if (!image) {
        fail("Not enough memory for a picture of " + pixels + ".");
        return;
    }
    ComposeOutput out;
    out.pixels = image->Data();
    out.width = image->Width();
    out.height = image->Height();
    out.rowPitch = image->Stride();
    // The live compositor's picture, filters, warps and every blend mode
    // included. An image with objects missing is never written.
    std::string error;
    if (!RenderSceneImage(mainScene, out, &error)) {
        fail(error.empty() ? "The picture could not be composed." : error);
        return;
    }

    std::vector<uint8_t> png;
    if (!SaveImageToPngBytes(*image, png)) {
        fail("Not enough memory to encode the PNG.");
        return;
    }
    if (!WriteFileAtomic(*path, png, &error)) fail(error);
}
