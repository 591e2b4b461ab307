#pragma once
// Repairs and edits of one object's bone list. Bones refer to their parents
// by id only, so lists from files, pastes and undo may hold duplicate ids,
// missing parents or parent cycles; these operations make such a list sound
// and keep child bones attached to their parents.
#include "scene/PosableRecords.h"

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct ObjectTransform;

namespace BoneList {

// What a renaming did to the ids that joint-link ends use to name bones. An
// id named the first bone carrying it; `renamed` maps an id whose first bone
// now carries another id to that id, and `unknown` holds fresh ids that named
// no bone before, so an end naming one meant no bone and must not start
// meaning one.
struct BoneIdRenames {
    std::unordered_map<std::string, std::string> renamed;
    std::unordered_set<std::string> unknown;
    bool Empty() const { return renamed.empty() && unknown.empty(); }
};

// Makes ids unique and non-empty ("bone_%d"), drops parent references that
// are empty, point at the bone itself or at no bone, breaks parent cycles,
// then snaps children onto their parents. With `renames`, it receives the id
// changes that the links on this list's object must follow.
void NormalizeIds(std::vector<Bone>& bones, BoneIdRenames* renames = nullptr);

// Makes the link ends on one object follow its bones' renames: an end naming
// a renamed bone takes the new id, an end naming an id that named no bone is
// removed, and a link left with fewer than two ends is removed.
void RemapLinkEnds(std::vector<JointLink>& links, const std::string& objectId, const BoneIdRenames& renames);

// Keeps the bones of an object on the same scene points and pixels when its
// placement changes from `from` to `to` (its bitmap replaced by a cropped,
// grown or turned one): heads and tails map from the old normalised frame
// through the scene into the new one, and the widths, cap widths, offsets and
// feather, fractions of the larger side, follow that side's change.
void MapToPlacement(std::vector<Bone>& bones, const ObjectTransform& from, const ObjectTransform& to);

// Moves each child's head onto the end of its parent it hangs from; repeated
// until nothing changes, at most once per bone. Tails stay where they are.
void SnapToParents(std::vector<Bone>& bones);

// Moves one end (1 tail, 0 head) of the first bone with the id to point and
// carries the bones attached to it along: a moved head takes the whole bone
// and its subtree, a moved tail only the subtrees hanging from the tail.
// Every bone moves at most once, so a parent cycle cannot loop.
void MoveBoneEnd(std::vector<Bone>& bones, const std::string& boneId, int32_t end, float x, float y);

}  // namespace BoneList
