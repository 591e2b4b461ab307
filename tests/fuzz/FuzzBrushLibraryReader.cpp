// Feeds arbitrary bytes to the brush library reader. A refused file must
// leave the entries untouched; an accepted one must save and read back to
// the same bytes, and every brush in it must be safe to build a tip from.
#include "brushes/BrushLibrary.h"
#include "brushes/DabRenderer.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<BrushEntry> entries(1);
    entries[0].name = "before";
    if (!BrushLibrary::Parse(data, size, entries)) {
        if (entries.size() != 1 || entries[0].name != "before") std::abort();
        return 0;
    }
    BrushLibrary library;
    library.entries = entries;
    std::vector<uint8_t> saved;
    if (!library.Serialize(saved)) std::abort();
    std::vector<BrushEntry> again;
    if (!BrushLibrary::Parse(saved.data(), saved.size(), again) || again.size() != entries.size()) std::abort();
    DabRenderer renderer;
    for (const BrushEntry& e : entries)
        if (e.settings.size > 64) continue;  // keep each run quick; sizes are capped at 500 anyway
        else renderer.BuildTip(e.settings);
    return 0;
}
