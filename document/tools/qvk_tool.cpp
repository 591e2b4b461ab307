// qvk-tool: command-line access to project files.
//   qvk-tool info IN.qvk           JSON summary of the scene on standard output
//   qvk-tool resave IN.qvk OUT.qvk read and write back (atomically)
//   qvk-tool render IN.qvk OUT.png the picture Export as PNG writes (the display
//                                  compositor at canvas size, straight alpha)
//   qvk-tool live IN.qvk OUT.png   the display compositor onto a transparent surface
// Exit status: 0 on success, 2 when the project is refused (its message on
// standard error), 1 for any other failure; a render or live picture that
// could not be made whole (an object that could not be drawn, memory that
// ran out) is a failure and no file is written.
#include "document/ProjectFile.h"
#include "document/ProjectInfo.h"
#include "platform/Codecs.h"
#include "platform/CompositeSurface.h"
#include "platform/Files.h"
#include "scene/SceneCompose.h"
#include "scene/ObjectRender.h"
#include "scene/SceneRender.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: qvk-tool info IN.qvk\n"
                 "       qvk-tool resave IN.qvk OUT.qvk\n"
                 "       qvk-tool render IN.qvk OUT.png\n"
                 "       qvk-tool live IN.qvk OUT.png\n");
    return 1;
}

// Loads the project; on failure prints why and gives the exit status.
int Load(const std::string& path, CanvasDocument& scene) {
    std::string error;
    switch (LoadProjectFile(path, scene, &error)) {
    case ProjectLoadResult::kLoaded: {
        // Said once, as the editor does on opening the project.
        const std::string warning = UnshowableObjectsWarning(scene);
        if (!warning.empty()) std::fprintf(stderr, "Warning: %s\n", warning.c_str());
        return 0;
    }
    case ProjectLoadResult::kBadFormat: std::fprintf(stderr, "%s\n", error.c_str()); return 2;
    case ProjectLoadResult::kCannotOpen: break;
    }
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
}

// The export size: each canvas side rounded to the nearest integer, at least 1.
int CanvasPixels(float side) {
    const float r = std::round(side);
    return std::isfinite(r) && r >= 1 ? int(std::min(r, float(kMaxBitmapSide))) : 1;
}

int WritePng(const Bitmap& image, const std::string& path) {
    std::vector<uint8_t> png;
    std::string error;
    if (!EncodePng(image, png) || !WriteFileAtomic(path, png, &error)) {
        std::fprintf(stderr, "Could not write %s. %s\n", path.c_str(), error.c_str());
        return 1;
    }
    return 0;
}

int Render(CanvasDocument& scene, const std::string& out) {
    const BitmapPtr image = Bitmap::Create(CanvasPixels(scene.width), CanvasPixels(scene.height));
    if (!image) {
        std::fprintf(stderr, "The canvas is too large to render.\n");
        return 1;
    }
    std::string error;
    if (!RenderSceneImage(scene, ComposeOutput{image->Data(), image->Width(), image->Height(), image->Stride()},
                          &error)) {
        std::fprintf(stderr, "Could not render the project. %s\n", error.c_str());
        return 1;
    }
    return WritePng(*image, out);
}

int Live(CanvasDocument& scene, const std::string& out) {
    CompositeSurface surface;
    if (!surface.Create(CanvasPixels(scene.width), CanvasPixels(scene.height))) {
        std::fprintf(stderr, "The canvas is too large to render.\n");
        return 1;
    }
    surface.Clear(0);
    std::string error;
    if (!sceneRender(surface, scene, nullptr, &error)) {
        std::fprintf(stderr, "Could not render the project. %s\n", error.c_str());
        return 1;
    }
    const BitmapPtr image = Bitmap::Create(surface.width, surface.height);
    if (!image) {
        std::fprintf(stderr, "Not enough memory for the picture.\n");
        return 1;
    }
    // Premultiplied to straight: c' = round(c x 255 / a), clamped.
    for (int y = 0; y < surface.height; ++y) {
        const uint8_t* s = surface.Row(y);
        uint8_t* d = image->Row(y);
        for (int x = 0; x < surface.width; ++x, s += 4, d += 4) {
            const unsigned a = s[3];
            for (int c = 0; c < 3; ++c) d[c] = a ? uint8_t(std::min(255u, (s[c] * 255u + a / 2) / a)) : 0;
            d[3] = uint8_t(a);
        }
    }
    return WritePng(*image, out);
}

}  // namespace

int main(int argc, char** argv) {
    // A write past the file-size limit fails (and is cleaned up) rather than
    // killing the tool.
    IgnoreFileSizeLimitSignal();
    if (argc < 3) return Usage();
    const std::string command = argv[1];
    CanvasDocument scene;
    if (command == "info" && argc == 3) {
        if (int status = Load(argv[2], scene)) return status;
        std::fputs(ProjectInfoJson(scene).c_str(), stdout);
        return 0;
    }
    if (argc != 4) return Usage();
    if (command == "resave") {
        if (int status = Load(argv[2], scene)) return status;
        std::string error;
        if (!SaveProjectFile(argv[3], scene, &error)) {
            std::fprintf(stderr, "Could not save %s. %s\n", argv[3], error.c_str());
            return 1;
        }
        return 0;
    }
    if (command == "render") {
        if (int status = Load(argv[2], scene)) return status;
        return Render(scene, argv[3]);
    }
    if (command == "live") {
        if (int status = Load(argv[2], scene)) return status;
        return Live(scene, argv[3]);
    }
    return Usage();
}
