// Draws the program's icon files (resources/*.png) from the built-in icon
// tables: dark icons for toolbars that invert them on their dark background,
// light ones for the main toolbar, which shows them as they are. 64 pixels
// square: the toolbars scale them down to 22 .. 40 pixels.
#include "app/IconShapes.h"
#include "platform/Codecs.h"
#include "platform/Files.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icons <resources folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    int failed = 0;
    for (const std::string& name : BuiltInIconNames()) {
        const uint32_t rgb = IconFileIsLight(name) ? 0xE8ECF2u : 0x181A1Cu;
        BitmapPtr bmp = RasterizePolygonMask(BuiltInIcon(name), 64, 64, rgb);
        std::vector<uint8_t> png;
        if (!bmp || !EncodePng(*bmp, png) || !WriteFileAtomic(folder + "/" + name, png)) {
            std::fprintf(stderr, "cannot write %s\n", name.c_str());
            ++failed;
        }
    }
    return failed ? 1 : 0;
}
