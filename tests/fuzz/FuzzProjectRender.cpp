// Feeds arbitrary bytes to the project reader and, when they read, decodes
// every embedded image and renders the scene as the canvas and the export do:
// each object's composed parts, mask and hit test, then the whole scene into a
// small output. Objects and pictures are kept small so that each run is
// quick and within the fuzzer's memory limit.
#include "document/ProjectFile.h"
#include "platform/Codecs.h"
#include "scene/SceneCompose.h"

#include <cstdlib>

namespace {

constexpr float kMaxSide = 128;

bool SmallPicture(const std::vector<uint8_t>& encoded) {
    int w = 0, h = 0;
    return !ReadImageSize(encoded.data(), encoded.size(), w, h) || (w <= kMaxSide && h <= kMaxSide);
}

bool Small(const CanvasObject& o) {
    if (!(o.width >= 0 && o.width <= kMaxSide && o.height >= 0 && o.height <= kMaxSide)) return false;
    for (const ImagePart& p : o.parts) {
        if (!(p.displayWidth <= kMaxSide && p.displayHeight <= kMaxSide)) return false;
        if (!SmallPicture(p.encoded)) return false;
    }
    for (const PosablePart& pp : o.posableScene.parts)
        for (const ImagePartRecord& r : pp.parts)
            if (!SmallPicture(r.encoded)) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CanvasDocument scene;
    if (!ReadProjectBytes(data, size, scene)) return 0;
    for (const Layer& l : scene.layers)
        for (const CanvasObject& o : l.objects)
            if (!Small(o)) return 0;
    for (Layer& l : scene.layers)
        for (CanvasObject& o : l.objects) {
            for (ImagePart& p : o.parts) {
                const BitmapPtr d = p.GetDecoded();
                if (d && (d->Width() <= 0 || d->Height() <= 0)) std::abort();
            }
            if (const BitmapPtr base = o.GetBaseBitmap()) o.ApplyMaskPlane(base);
            o.HitTestPixel(ScenePoint{o.x + o.width / 2, o.y + o.height / 2});
        }
    std::vector<uint8_t> pixels(64 * 64 * 4);
    ComposeOutput out;
    out.pixels = pixels.data();
    out.width = out.height = 64;
    out.rowPitch = 64 * 4;
    std::string error;
    if (!scene_compose(scene, out, &error) && error.empty()) std::abort();
    return 0;
}
