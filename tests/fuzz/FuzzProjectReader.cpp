// Feeds arbitrary bytes to the project reader. A refused input must leave
// the scene untouched; an accepted one must hold only bone lists whose parent
// chains end, and must save and read back to the same bytes.
#include "document/ProjectFile.h"

#include <cstdlib>
#include <unordered_map>

namespace {

bool ParentChainsEnd(const std::vector<Bone>& bones) {
    std::unordered_map<std::string, const Bone*> byId;
    for (const Bone& b : bones) byId.emplace(b.id, &b);
    if (byId.size() != bones.size()) return false;  // duplicate ids make chains ambiguous
    for (const Bone& b : bones) {
        const Bone* cur = &b;
        for (size_t steps = 0; cur->hasParent; ++steps) {
            if (steps > bones.size()) return false;
            auto it = byId.find(cur->parentId);
            if (it == byId.end()) break;
            cur = it->second;
        }
    }
    return true;
}

void CheckBones(const CanvasDocument& scene) {
    for (const Layer& l : scene.layers)
        for (const CanvasObject& o : l.objects) {
            if (!ParentChainsEnd(o.bones)) std::abort();
            for (const PosablePart& p : o.posableScene.parts)
                if (!ParentChainsEnd(p.bones)) std::abort();
        }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CanvasDocument scene;
    const std::vector<uint8_t> before = WriteProjectBytes(scene);
    if (!ReadProjectBytes(data, size, scene)) {
        if (WriteProjectBytes(scene) != before) std::abort();
        return 0;
    }
    CheckBones(scene);
    // What was read is well formed: writing and reading it again is stable.
    const std::vector<uint8_t> saved = WriteProjectBytes(scene);
    CanvasDocument again;
    if (!ReadProjectBytes(saved, again)) std::abort();
    if (WriteProjectBytes(again) != saved) std::abort();
    return 0;
}
