#pragma once
// Lookups over a scene's joint links. Repairing links against the scene's
// objects is CanvasDocument::ResolveJointLinks.
#include "scene/PosableRecords.h"

#include <string>
#include <vector>

namespace JointLinkList {

// The first link with an end on exactly this joint, or null.
const JointLink* Find(const std::vector<JointLink>& links, const std::string& objectId, const std::string& boneId,
                      int32_t end);
JointLink* Find(std::vector<JointLink>& links, const std::string& objectId, const std::string& boneId, int32_t end);

}  // namespace JointLinkList

// First "lj_%d" (1..99999) no link uses, else "lj".
std::string MakeJointLinkId(const std::vector<JointLink>& links);
