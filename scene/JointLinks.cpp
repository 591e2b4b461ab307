#include "scene/JointLinks.h"

#include "scene/CanvasDocument.h"
#include "scene/IdNumbers.h"

#include <algorithm>
#include <unordered_set>

namespace JointLinkList {

const JointLink* Find(const std::vector<JointLink>& links, const std::string& objectId, const std::string& boneId,
                      int32_t end) {
    for (const JointLink& l : links)
        for (const JointLinkEnd& e : l.ends)
            if (e.objectId == objectId && e.boneId == boneId && e.end == end) return &l;
    return nullptr;
}

JointLink* Find(std::vector<JointLink>& links, const std::string& objectId, const std::string& boneId, int32_t end) {
    return const_cast<JointLink*>(Find(static_cast<const std::vector<JointLink>&>(links), objectId, boneId, end));
}

}  // namespace JointLinkList

std::string MakeJointLinkId(const std::vector<JointLink>& links) {
    std::unordered_set<std::string> used;
    for (const JointLink& l : links) used.insert(l.id);
    return FirstFreeId("lj", used);
}

void CanvasDocument::ResolveJointLinks(std::vector<JointLink>& links) const {
    for (JointLink& link : links) {
        std::vector<JointLinkEnd> kept;
        for (JointLinkEnd& e : link.ends) {
            const CanvasObject* o = FindObject(e.objectId);
            if (!o) continue;
            const bool hasBone =
                std::any_of(o->bones.begin(), o->bones.end(), [&](const Bone& b) { return b.id == e.boneId; });
            if (!hasBone) continue;
            const bool duplicate = std::any_of(kept.begin(), kept.end(), [&](const JointLinkEnd& k) {
                return k.objectId == e.objectId && k.boneId == e.boneId && k.end == e.end;
            });
            if (!duplicate) kept.push_back(std::move(e));
        }
        link.ends = std::move(kept);
    }
    links.erase(std::remove_if(links.begin(), links.end(), [](const JointLink& l) { return l.ends.size() < 2; }),
                links.end());
}
