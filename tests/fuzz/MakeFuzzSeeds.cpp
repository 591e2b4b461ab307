// Writes seeds for the fuzz targets that fit under their -max_len, so every
// seed is seen whole: a project made from the demonstration project with its
// pictures shrunk (the demo itself, with its full-size pictures, is far
// longer), and clipboard inputs for each of the clipboard target's readers
// (a first byte choosing the reader, then a well-formed payload).
// Usage: fuzz_seeds DEMO.qvk PROJECT_DIR CLIPBOARD_DIR
#include "document/ClipboardFormats.h"
#include "document/ProjectFile.h"
#include "platform/Codecs.h"
#include "platform/Files.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Every picture of the project at most side pixels on its longer edge.
void ShrinkPictures(std::vector<ImagePart>& parts, int side) {
    for (ImagePart& part : parts) {
        const BitmapPtr image = DecodeImage(part.encoded);
        if (!image) continue;
        const int w = std::max(1, image->Width() * side / std::max(image->Width(), image->Height()));
        const int h = std::max(1, image->Height() * side / std::max(image->Width(), image->Height()));
        const BitmapPtr small = Bitmap::Create(w, h);
        if (!small) continue;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                small->SetPixel(x, y, image->Pixel(x * image->Width() / w, y * image->Height() / h));
        std::vector<uint8_t> png;
        if (!EncodePng(*small, png)) continue;
        part.encoded = std::move(png);
        part.pixelWidth = float(w);
        part.pixelHeight = float(h);
        part.InvalidateDecoded();
    }
}

// Positions and sizes of the canvas, the objects and their parts times f.
void ScaleScene(CanvasDocument& scene, float f) {
    scene.width *= f;
    scene.height *= f;
    for (Layer& layer : scene.layers)
        for (CanvasObject& o : layer.objects) {
            o.x *= f;
            o.y *= f;
            o.width *= f;
            o.height *= f;
            for (ImagePart& p : o.parts) {
                p.offsetX *= f;
                p.offsetY *= f;
                p.displayWidth *= f;
                p.displayHeight *= f;
            }
        }
}

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string error;
    if (WriteFileAtomic(path, bytes, &error)) return true;
    std::fprintf(stderr, "Could not write %s. %s\n", path.c_str(), error.c_str());
    return false;
}

std::vector<uint8_t> WithReader(uint8_t reader, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> out{reader};
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

// A packed 2 x 2 bitmap: 40-byte info header, 32 bits a pixel, bottom-up.
std::vector<uint8_t> SmallDib() {
    std::vector<uint8_t> d(40 + 16, 0);
    auto put32 = [&](size_t o, uint32_t v) {
        for (int i = 0; i < 4; ++i) d[o + size_t(i)] = uint8_t(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, 2);
    put32(8, 2);
    d[12] = 1;   // planes
    d[14] = 32;  // bits a pixel
    put32(20, 16);
    for (size_t i = 0; i < 4; ++i) put32(40 + 4 * i, 0xFF204080u + uint32_t(i) * 0x10);
    return d;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: fuzz_seeds DEMO.qvk PROJECT_DIR CLIPBOARD_DIR\n");
        return 1;
    }
    CanvasDocument scene;
    std::string error;
    if (LoadProjectFile(argv[1], scene, &error) != ProjectLoadResult::kLoaded) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    for (Layer& layer : scene.layers)
        for (CanvasObject& o : layer.objects) {
            ShrinkPictures(o.parts, 16);
            for (PosablePart& p : o.posableScene.parts)
                for (ImagePartRecord& r : p.parts) {
                    std::vector<ImagePart> one(1);
                    one[0].encoded = r.encoded;
                    ShrinkPictures(one, 16);
                    r.encoded = one[0].encoded;
                    r.pixelWidth = one[0].pixelWidth;
                    r.pixelHeight = one[0].pixelHeight;
                }
        }
    const std::string projects = argv[2], clipboard = argv[3];
    bool ok = Write(JoinPath(projects, "seed-demo-small-pictures.qvk"), WriteProjectBytes(scene));

    // One object, a set of all objects, packed bitmap data, and the paste path.
    std::vector<CanvasObject> objects;
    for (const Layer& layer : scene.layers)
        for (const CanvasObject& o : layer.objects) objects.push_back(o);
    if (!objects.empty()) {
        ok &= Write(JoinPath(clipboard, "seed-object.bin"), WithReader(0, WriteObjectPayload(objects.front())));
        ok &= Write(JoinPath(clipboard, "seed-object-set.bin"), WithReader(1, WriteObjectSetPayload(objects)));
        ok &= Write(JoinPath(clipboard, "seed-paste-object.bin"), WithReader(3, WriteObjectPayload(objects.back())));
    }
    ok &= Write(JoinPath(clipboard, "seed-dib.bin"), WithReader(2, SmallDib()));
    ok &= Write(JoinPath(clipboard, "seed-paste-dib.bin"), WithReader(3, SmallDib()));
    // The same scene at a sixteenth of its size, within what the rendering
    // target draws.
    ScaleScene(scene, 1.0f / 16);
    ok &= Write(JoinPath(projects, "seed-demo-small-scene.qvk"), WriteProjectBytes(scene));
    return ok ? 0 : 1;
}
