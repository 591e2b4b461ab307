// Feeds arbitrary bytes to the project reader. A refused input must leave
// the scene untouched; an accepted one must save and read back to the same bytes.
#include "document/ProjectFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CanvasDocument scene;
    const std::vector<uint8_t> before = WriteProjectBytes(scene);
    if (!ReadProjectBytes(data, size, scene)) {
        if (WriteProjectBytes(scene) != before) std::abort();
        return 0;
    }
    // What was read is well formed: writing and reading it again is stable.
    const std::vector<uint8_t> saved = WriteProjectBytes(scene);
    CanvasDocument again;
    if (!ReadProjectBytes(saved, again)) std::abort();
    if (WriteProjectBytes(again) != saved) std::abort();
    return 0;
}
