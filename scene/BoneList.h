#pragma once
// Repairs and edits of one object's bone list. Bones refer to their parents
// by id only, so lists from files, pastes and undo may hold duplicate ids,
// missing parents or parent cycles; these operations make such a list sound
// and keep child bones attached to their parents.
#include "scene/PosableRecords.h"

#include <string>
#include <vector>

namespace BoneList {

// Makes ids unique and non-empty ("bone_%d"), drops parent references that
// are empty, point at the bone itself or at no bone, breaks parent cycles,
// then snaps children onto their parents.
void NormalizeIds(std::vector<Bone>& bones);

// Moves each child's head onto the end of its parent it hangs from; repeated
// until nothing changes, at most once per bone. Tails stay where they are.
void SnapToParents(std::vector<Bone>& bones);

// Moves one end (1 tail, 0 head) of the first bone with the id to point and
// carries the bones attached to it along: a moved head takes the whole bone
// and its subtree, a moved tail only the subtrees hanging from the tail.
// Every bone moves at most once, so a parent cycle cannot loop.
void MoveBoneEnd(std::vector<Bone>& bones, const std::string& boneId, int32_t end, float x, float y);

}  // namespace BoneList
